#include "platform/Cancel.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
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

bool PauseUnlessCancelled(const CancelToken* token, int ms) {
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::milliseconds(std::max(ms, 0));
    for (;;) {
        if (token && token->IsCancelled()) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0) return true;
        if (token && token->WakeHandle() >= 0) {
            pollfd wake{token->WakeHandle(), POLLIN, 0};
            ::poll(&wake, 1, int(left));
        } else {
            // Without a wake-up descriptor the token is looked at now and then.
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(left, 10)));
        }
    }
}

ScopedCancel::ScopedCancel(CancelToken* token) : previous_(t_current) {
    t_current = token;
}

ScopedCancel::~ScopedCancel() {
    t_current = previous_;
}

} // namespace velmar::platform
