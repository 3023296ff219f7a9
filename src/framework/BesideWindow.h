#pragma once
// Long work that runs beside the window instead of freezing it: the window keeps painting,
// the wait cursor shows, Esc stops the work and other input waits until it has ended.

#include <atomic>
#include <functional>

namespace velmar {

namespace platform {
class CancelToken;
}

// Runs `work` on a worker thread and returns once it has ended. Esc stores 0 in `running`,
// which `work` watches. Refused (false, nothing run) while another such work runs.
// With `cancel`, the worker's socket waits watch it and Esc or a Close of a window fires it,
// so work blocked on a server ends at once instead of waiting out its time-out.
bool RunBesideWindow(std::atomic<int>& running, const std::function<void()>& work,
                     platform::CancelToken* cancel = nullptr);

} // namespace velmar
