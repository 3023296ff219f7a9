#include "platform/Windows.h"

#include <QtGlobal>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unistd.h>
#include <xcb/xcb.h>

namespace velmar::platform {

namespace {

class NoWindows : public WindowSystem {
public:
    std::vector<TopWindow> TopLevelWindows() override { return {}; }
    bool Activate(uint32_t) override { return false; }
    uint32_t ActiveWindow() override { return 0; }
};

class X11Windows : public WindowSystem {
public:
    explicit X11Windows(xcb_connection_t* c) : c_(c) {
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        clientList_ = Atom("_NET_CLIENT_LIST");
        wmPid_ = Atom("_NET_WM_PID");
        active_ = Atom("_NET_ACTIVE_WINDOW");
    }
    ~X11Windows() override { xcb_disconnect(c_); }

    std::vector<TopWindow> TopLevelWindows() override {
        std::vector<TopWindow> out;
        std::vector<uint32_t> ids = Windows(root_, clientList_);
        // Ask for every window's process id and machine first, then collect: one round trip.
        std::vector<xcb_get_property_cookie_t> cookies;
        std::vector<xcb_get_property_cookie_t> machines;
        cookies.reserve(ids.size());
        machines.reserve(ids.size());
        for (uint32_t id : ids) {
            cookies.push_back(xcb_get_property(c_, 0, id, wmPid_, XCB_ATOM_CARDINAL, 0, 1));
            machines.push_back(
                xcb_get_property(c_, 0, id, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING, 0, 64));
        }
        for (size_t i = 0; i < ids.size(); ++i) {
            TopWindow w;
            w.id = ids[i];
            if (xcb_get_property_reply_t* r = xcb_get_property_reply(c_, machines[i], nullptr)) {
                if (r->format == 8) {
                    w.machine = QByteArray(static_cast<const char*>(xcb_get_property_value(r)),
                                           xcb_get_property_value_length(r));
                    // A STRING property may end in a zero byte.
                    while (w.machine.endsWith('\0'))
                        w.machine.chop(1);
                }
                std::free(r);
            }
            if (xcb_get_property_reply_t* r = xcb_get_property_reply(c_, cookies[i], nullptr)) {
                if (r->format == 32 && xcb_get_property_value_length(r) >= 4) {
                    uint32_t pid = 0;
                    std::memcpy(&pid, xcb_get_property_value(r), 4);
                    w.pid = int(pid);
                }
                std::free(r);
            }
            out.push_back(w);
        }
        return out;
    }

    bool Activate(uint32_t window) override {
        if (active_ == XCB_ATOM_NONE) return false;
        xcb_client_message_event_t ev{};
        ev.response_type = XCB_CLIENT_MESSAGE;
        ev.format = 32;
        ev.window = window;
        ev.type = active_;
        ev.data.data32[0] = 2; // from a pager: the window manager honours it at once
        ev.data.data32[1] = XCB_CURRENT_TIME;
        const uint32_t mask =
            XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
        const xcb_void_cookie_t cookie =
            xcb_send_event_checked(c_, 0, root_, mask, reinterpret_cast<const char*>(&ev));
        if (xcb_generic_error_t* e = xcb_request_check(c_, cookie)) {
            std::free(e);
            return false;
        }
        return true;
    }

    uint32_t ActiveWindow() override {
        const std::vector<uint32_t> w = Windows(root_, active_);
        return w.empty() ? 0 : w.front();
    }

private:
    xcb_atom_t Atom(const char* name) {
        // Made when missing: the window manager may start after we connect.
        const xcb_intern_atom_cookie_t cookie =
            xcb_intern_atom(c_, 0, uint16_t(std::strlen(name)), name);
        xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(c_, cookie, nullptr);
        const xcb_atom_t atom = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(r);
        return atom;
    }

    std::vector<uint32_t> Windows(xcb_window_t window, xcb_atom_t property) {
        std::vector<uint32_t> out;
        if (property == XCB_ATOM_NONE) return out;
        const xcb_get_property_cookie_t cookie =
            xcb_get_property(c_, 0, window, property, XCB_ATOM_WINDOW, 0, 65536);
        xcb_get_property_reply_t* r = xcb_get_property_reply(c_, cookie, nullptr);
        if (!r) return out;
        if (r->format == 32) {
            const int n = xcb_get_property_value_length(r) / 4;
            const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(r));
            out.assign(v, v + n);
        }
        std::free(r);
        return out;
    }

    xcb_connection_t* c_;
    xcb_window_t root_ = 0;
    xcb_atom_t clientList_ = XCB_ATOM_NONE;
    xcb_atom_t wmPid_ = XCB_ATOM_NONE;
    xcb_atom_t active_ = XCB_ATOM_NONE;
};

std::atomic<WindowSystem*> g_testSystem{nullptr};

} // namespace

bool IsThisMachine(const QByteArray& machine) {
    if (machine.isEmpty()) return false;
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0) return false;
    const QByteArray host(buf);
    auto shortName = [](const QByteArray& n) {
        const qsizetype dot = n.indexOf('.');
        return dot < 0 ? n : n.left(dot);
    };
    // "box" and "box.example.org" are one machine when either side gives only the short name.
    if (machine.compare(host, Qt::CaseInsensitive) == 0) return true;
    if (machine.contains('.') && host.contains('.')) return false;
    return shortName(machine).compare(shortName(host), Qt::CaseInsensitive) == 0;
}

std::unique_ptr<WindowSystem> ConnectX11(const QByteArray& display) {
    const QByteArray name = display.isEmpty() ? qgetenv("DISPLAY") : display;
    if (name.isEmpty()) return nullptr;
    xcb_connection_t* c = xcb_connect(name.constData(), nullptr);
    if (!c || xcb_connection_has_error(c)) {
        if (c) xcb_disconnect(c);
        return nullptr;
    }
    return std::make_unique<X11Windows>(c);
}

WindowSystem& CurrentWindowSystem() {
    if (WindowSystem* t = g_testSystem.load()) return *t;
    // Connected once, on first use, from the window thread.
    static std::unique_ptr<WindowSystem> system = [] {
        std::unique_ptr<WindowSystem> x = ConnectX11();
        return x ? std::move(x) : std::unique_ptr<WindowSystem>(new NoWindows);
    }();
    return *system;
}

void SetWindowSystemForTesting(WindowSystem* system) {
    g_testSystem = system;
}

} // namespace velmar::platform
