#include "platform/SystemChecks.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velmar::platform {

bool SocketsAvailable() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

bool ProcessesReadable() {
    const int fd = ::open("/proc/self/stat", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

} // namespace velmar::platform
