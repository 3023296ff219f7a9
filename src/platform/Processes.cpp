#include "platform/Processes.h"

#include "platform/NameCodec.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/types.h>
#include <thread>
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
        const std::string exe = ReadLink(folder + "/exe");
        if (!exe.empty()) {
            info.path = DecodeName(exe);
            const size_t slash = exe.rfind('/');
            info.name = DecodeName(slash == std::string::npos ? exe : exe.substr(slash + 1));
        } else {
            // No executable: a kernel thread, another user's process, or one that has
            // ended and waits for its parent (not a row: it is no longer running).
            if (!ProcessAlive(info.pid)) continue;
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

bool ProcessAlive(int pid) {
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno == ESRCH)) return false;
    // kill(0) succeeds for a zombie: the state letter in stat tells.
    const int fd = ::open(("/proc/" + std::to_string(pid) + "/stat").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buf[512];
    const ssize_t n = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (n <= 0) return false;
    buf[n] = '\0';
    const char* close = std::strrchr(buf, ')');
    return !(close && close[1] == ' ' && (close[2] == 'Z' || close[2] == 'X'));
}

KillResult KillProcess(int pid, int waitMs) {
    if (pid <= 0) return KillResult::NoSuchProcess;
    if (::kill(pid, SIGKILL) != 0)
        return errno == EPERM ? KillResult::NotPermitted : KillResult::NoSuchProcess;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (ProcessAlive(pid)) {
        if (std::chrono::steady_clock::now() >= deadline) return KillResult::StillRunning;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return KillResult::Ended;
}

} // namespace velmar::platform
