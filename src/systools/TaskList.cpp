#include "systools/TaskList.h"

#include "platform/Processes.h"
#include "platform/Windows.h"

#include <unordered_set>

namespace velmar {

bool BuildTaskList(bool onlyWindows, platform::WindowSystem& windows, std::vector<TaskRow>& rows) {
    rows.clear();
    if (onlyWindows) {
        std::unordered_set<int> seen;
        for (const platform::TopWindow& w : windows.TopLevelWindows()) {
            if (!IsLocalWindow(w) || !seen.insert(w.pid).second) continue;
            TaskRow row;
            row.pid = w.pid;
            row.startTime = platform::ProcessStartTime(w.pid);
            if (row.startTime == 0) continue; // ended since the window was listed
            row.fileName = platform::ProcessExecutable(w.pid);
            const qsizetype slash = row.fileName.lastIndexOf(QLatin1Char('/'));
            row.process = slash < 0 ? row.fileName : row.fileName.mid(slash + 1);
            rows.push_back(std::move(row));
        }
        return true;
    }
    std::vector<platform::ProcessInfo> processes;
    if (!platform::ListProcesses(processes)) return false;
    rows.reserve(processes.size());
    for (platform::ProcessInfo& p : processes)
        rows.push_back(TaskRow{std::move(p.name), std::move(p.path), p.pid, p.startTime});
    return true;
}

bool IsLocalWindow(const platform::TopWindow& window) {
    return window.pid > 0 && platform::IsThisMachine(window.machine);
}

bool ActivateProcess(int pid, platform::WindowSystem& windows) {
    for (const platform::TopWindow& w : windows.TopLevelWindows())
        if (w.pid == pid && IsLocalWindow(w)) return windows.Activate(w.id);
    return false;
}

} // namespace velmar
