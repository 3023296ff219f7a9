#include "platform/SocketCancel.h"

#include <sys/socket.h>

namespace velmar::platform {

void SocketCanceller::Attach(int fd) {
    std::lock_guard lock(mutex_);
    fd_ = fd;
    if (stop_ && fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

void SocketCanceller::Detach() {
    std::lock_guard lock(mutex_);
    fd_ = -1;
}

void SocketCanceller::Cancel() {
    stop_ = true;
    std::lock_guard lock(mutex_);
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

} // namespace velmar::platform
