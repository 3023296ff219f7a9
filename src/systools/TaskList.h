#pragma once
// The rows of the "Active tasks" list: every process, or only those that own a top-level
// window (each once, in the order of its first window).

#include <QString>
#include <vector>

namespace velmar {

namespace platform {
class WindowSystem;
struct TopWindow;
}

struct TaskRow {
    QString process;  // "Process": the executable's name
    QString fileName; // "File Name": its full path
    int pid = 0;
    unsigned long long startTime = 0; // with pid, names the process (see platform/Processes.h)
};

// False (and no rows) when the process list cannot be read at all.
bool BuildTaskList(bool onlyWindows, platform::WindowSystem& windows, std::vector<TaskRow>& rows);

// Windows whose process id names a process of this machine.
bool IsLocalWindow(const platform::TopWindow& window);

// Brings the first window of `pid` to the front; false when it has none.
bool ActivateProcess(int pid, platform::WindowSystem& windows);

} // namespace velmar
