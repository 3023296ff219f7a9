#include "platform/Cancel.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace velmar::platform {

namespace {
thread_local CancelToken* t_current = nullptr;
}

CancelToken::CancelToken() : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CancelToken::~CancelToken() {
    if (wake_ >= 0) ::close(wake_);
}

void CancelToken::Cancel() {
    cancelled_.store(true, std::memory_order_release);
    if (wake_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
    }
}

void CancelToken::Reset() {
    cancelled_.store(false, std::memory_order_release);
    if (wake_ >= 0) {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(wake_, &count, sizeof count);
    }
}

CancelToken* CurrentCancelToken() {
    return t_current;
}

ScopedCancel::ScopedCancel(CancelToken* token) : previous_(t_current) {
    t_current = token;
}

ScopedCancel::~ScopedCancel() {
    t_current = previous_;
}

} // namespace velmar::platform
