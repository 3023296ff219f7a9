#pragma once
// Processes from /proc: the task manager's list and its Kill.

#include <QString>
#include <vector>

namespace velmar::platform {

struct ProcessInfo {
    int pid = 0;
    // When the process started (clock ticks since boot, /proc/PID/stat): with the id it
    // names the process, since an ended process's id is given to later ones.
    unsigned long long startTime = 0;
    QString name; // the executable's file name (the kernel's short name when it has none)
    QString path; // the executable's full path; empty when it cannot be read
};

// Every process under `procRoot`, in ascending id order. False when the folder cannot be
// read at all (no /proc).
bool ListProcesses(std::vector<ProcessInfo>& out,
                   const QString& procRoot = QStringLiteral("/proc"));
// The full path of one process's executable, empty when unknown.
QString ProcessExecutable(int pid);
// The start time of `pid` (see ProcessInfo); 0 when there is no such process.
unsigned long long ProcessStartTime(int pid, const QString& procRoot = QStringLiteral("/proc"));
// Whether the process is there and not already ended (a zombie counts as ended).
bool ProcessAlive(int pid);
// Whether the process that started at `startTime` still runs under `pid`.
bool ProcessAlive(int pid, unsigned long long startTime);

enum class KillResult { Sent, NotPermitted, NoSuchProcess, Replaced };
// SIGKILL to the process `pid` that started at `startTime`, without waiting. When that
// process has ended and its id now names another (Replaced), nothing is signalled: the
// process is pinned with a pidfd before its start time is checked, so the id cannot change
// hands between the check and the signal.
KillResult KillProcess(int pid, unsigned long long startTime);

} // namespace velmar::platform
