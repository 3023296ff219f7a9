#pragma once
// A stop request that also wakes a thread blocked in a wait: the stopping thread calls
// Cancel(), and every wait of the cancelled thread that watches WakeHandle() returns at
// once. A thread names the token its waits watch with ScopedCancel.

#include <atomic>

namespace velmar::platform {

class CancelToken {
public:
    CancelToken();
    ~CancelToken();
    CancelToken(const CancelToken&) = delete;
    CancelToken& operator=(const CancelToken&) = delete;

    // From any thread; stays cancelled until Reset.
    void Cancel();
    // Only while no thread waits on the token.
    void Reset();
    bool IsCancelled() const { return cancelled_.load(std::memory_order_acquire); }
    // Readable while cancelled (an event descriptor); -1 when none could be made, and
    // then only IsCancelled tells.
    int WakeHandle() const { return wake_; }

private:
    std::atomic<bool> cancelled_{false};
    int wake_ = -1;
};

// The token the calling thread's blocking waits watch, or none.
CancelToken* CurrentCancelToken();

// Waits `ms` unless `token` (may be none) fires first; false when it fired.
bool PauseUnlessCancelled(const CancelToken* token, int ms);

// Names `token` as the calling thread's for its lifetime.
class ScopedCancel {
public:
    explicit ScopedCancel(CancelToken* token);
    ~ScopedCancel();
    ScopedCancel(const ScopedCancel&) = delete;
    ScopedCancel& operator=(const ScopedCancel&) = delete;

private:
    CancelToken* previous_;
};

} // namespace velmar::platform
