#include "platform/Processes.h"

#include "platform/NameCodec.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

namespace velmar::platform {

namespace {

bool AllDigits(const char* s) {
    if (!*s) return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9') return false;
    return true;
}

// The short name the kernel keeps (/proc/PID/comm), for processes without a readable exe.
QString ShortName(const std::string& folder) {
    const int fd = ::open((folder + "/comm").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return QString();
    char buf[64];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    if (n <= 0) return QString();
    size_t len = size_t(n);
    while (len && (buf[len - 1] == '\n' || buf[len - 1] == '\0'))
        --len;
    return DecodeName(std::string_view(buf, len));
}

// The state letter and the start time from a /proc/PID/stat file; false when unreadable.
bool ReadStat(const std::string& file, char& state, unsigned long long& startTime) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[1024];
    const ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (n <= 0) return false;
    buf[n] = '\0';
    // The name in parentheses may hold spaces and ')': the fields follow the last ')'.
    const char* p = std::strrchr(buf, ')');
    if (!p || p[1] != ' ' || !p[2]) return false;
    state = p[2];
    p += 2;
    // Field 3 is the state; the start time is field 22.
    for (int field = 3; field < 22; ++field) {
        p = std::strchr(p, ' ');
        if (!p) return false;
        ++p;
    }
    char* end = nullptr;
    startTime = std::strtoull(p, &end, 10);
    return end != p;
}

std::string StatPath(int pid) {
    return "/proc/" + std::to_string(pid) + "/stat";
}

std::string ReadLink(const std::string& link) {
    char buf[4096];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf);
    return n > 0 ? std::string(buf, size_t(n)) : std::string();
}

} // namespace

bool ListProcesses(std::vector<ProcessInfo>& out, const QString& procRoot) {
    out.clear();
    const std::string root = procRoot.toStdString();
    DIR* dir = ::opendir(root.c_str());
    if (!dir) return false;
    while (dirent* e = ::readdir(dir)) {
        if (!AllDigits(e->d_name)) continue;
        const std::string folder = root + '/' + e->d_name;
        ProcessInfo info;
        info.pid = std::atoi(e->d_name);
        char state = 0;
        if (!ReadStat(folder + "/stat", state, info.startTime)) continue; // gone meanwhile
        const std::string exe = ReadLink(folder + "/exe");
        if (!exe.empty()) {
            info.path = DecodeName(exe);
            const size_t slash = exe.rfind('/');
            info.name = DecodeName(slash == std::string::npos ? exe : exe.substr(slash + 1));
        } else {
            // No executable: a kernel thread, another user's process, or one that has
            // ended and waits for its parent (not a row: it is no longer running).
            if (state == 'Z' || state == 'X') continue;
            info.name = ShortName(folder);
        }
        out.push_back(std::move(info));
    }
    ::closedir(dir);
    std::sort(out.begin(), out.end(),
              [](const ProcessInfo& a, const ProcessInfo& b) { return a.pid < b.pid; });
    return true;
}

QString ProcessExecutable(int pid) {
    return DecodeName(ReadLink("/proc/" + std::to_string(pid) + "/exe"));
}

unsigned long long ProcessStartTime(int pid, const QString& procRoot) {
    char state = 0;
    unsigned long long start = 0;
    if (pid <= 0 ||
        !ReadStat(procRoot.toStdString() + '/' + std::to_string(pid) + "/stat", state, start))
        return 0;
    return start;
}

bool ProcessAlive(int pid) {
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno == ESRCH)) return false;
    // kill(0) succeeds for a zombie: the state letter in stat tells.
    char state = 0;
    unsigned long long start = 0;
    return ReadStat(StatPath(pid), state, start) && state != 'Z' && state != 'X';
}

bool ProcessAlive(int pid, unsigned long long startTime) {
    char state = 0;
    unsigned long long start = 0;
    return pid > 0 && ReadStat(StatPath(pid), state, start) && start == startTime &&
           state != 'Z' && state != 'X';
}

KillResult KillProcess(int pid, unsigned long long startTime) {
    if (pid <= 0) return KillResult::NoSuchProcess;
    // Pin the process first: from here on the descriptor names this one process, whatever
    // happens to its id. Kernels before 5.3 have no pidfd; there the check and the signal
    // follow each other as closely as they can.
    const int pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd < 0 && errno == ESRCH) return KillResult::NoSuchProcess;
    char state = 0;
    unsigned long long start = 0;
    KillResult result = KillResult::Sent;
    if (!ReadStat(StatPath(pid), state, start))
        result = KillResult::NoSuchProcess;
    else if (start != startTime)
        result = KillResult::Replaced;
    else if ((pidfd >= 0 ? ::syscall(SYS_pidfd_send_signal, pidfd, SIGKILL, nullptr, 0)
                         : ::kill(pid, SIGKILL)) != 0)
        result = errno == EPERM ? KillResult::NotPermitted : KillResult::NoSuchProcess;
    if (pidfd >= 0) ::close(pidfd);
    return result;
}

} // namespace velmar::platform
