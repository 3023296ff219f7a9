#pragma once
// Processes from /proc: the task manager's list and its Kill.

#include <QString>
#include <vector>

namespace velmar::platform {

struct ProcessInfo {
    int pid = 0;
    QString name; // the executable's file name (the kernel's short name when it has none)
    QString path; // the executable's full path; empty when it cannot be read
};

// Every process under `procRoot`, in ascending id order. False when the folder cannot be
// read at all (no /proc).
bool ListProcesses(std::vector<ProcessInfo>& out,
                   const QString& procRoot = QStringLiteral("/proc"));
// The full path of one process's executable, empty when unknown.
QString ProcessExecutable(int pid);
// Whether the process is there and not already ended (a zombie counts as ended).
bool ProcessAlive(int pid);

enum class KillResult { Ended, NotPermitted, NoSuchProcess, StillRunning };
// SIGKILL, then waits up to waitMs for the process to end.
KillResult KillProcess(int pid, int waitMs);

} // namespace velmar::platform
