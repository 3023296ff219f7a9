#pragma once
// Other programs' top-level windows, as the window manager lists them, and bringing one
// to the front. On X11 that is the client list (_NET_CLIENT_LIST with _NET_WM_PID) and
// _NET_ACTIVE_WINDOW; where no window manager shows other programs' windows the list is
// empty.

#include <QByteArray>
#include <cstdint>
#include <memory>
#include <vector>

namespace velmar::platform {

struct TopWindow {
    uint32_t id = 0;
    int pid = 0; // 0 when the window does not say
    // WM_CLIENT_MACHINE: the host the window's program runs on. The pid names a process
    // there (a program shown through ssh -X runs elsewhere).
    QByteArray machine;
};

// Whether a window's client machine is this host (a short name matches its long form).
bool IsThisMachine(const QByteArray& machine);

class WindowSystem {
public:
    virtual ~WindowSystem() = default;
    // In the window manager's order (oldest first).
    virtual std::vector<TopWindow> TopLevelWindows() = 0;
    // Asks the window manager to bring `window` to the front; false when it cannot be asked.
    virtual bool Activate(uint32_t window) = 0;
    // The window the window manager reports active, 0 when none or unknown.
    virtual uint32_t ActiveWindow() = 0;
};

// A connection to the X server `display` ($DISPLAY when empty); nullptr without one.
std::unique_ptr<WindowSystem> ConnectX11(const QByteArray& display = QByteArray());

// The window system in force: X11 when one answers, else one without windows. Tests put
// their own in place; nullptr returns to the system's.
WindowSystem& CurrentWindowSystem();
void SetWindowSystemForTesting(WindowSystem* system);

} // namespace velmar::platform
