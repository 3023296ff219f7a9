#pragma once
// Stops a blocking socket exchange from another thread: the worker attaches its socket,
// the window thread cancels, and any wait on that socket ends at once (shutdown wakes
// connect, send and receive alike). The socket itself is closed only by its owner.

#include <atomic>
#include <mutex>

namespace velmar::platform {

class SocketCanceller {
public:
    void Attach(int fd);
    // Before the owner closes the socket, so Cancel never touches a reused number.
    void Detach();
    void Cancel();
    void Reset() { stop_ = false; }
    bool Cancelled() const { return stop_.load(); }
    const std::atomic<bool>& Flag() const { return stop_; }

private:
    std::mutex mutex_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
};

} // namespace velmar::platform
