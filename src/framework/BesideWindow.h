#pragma once
// Long work that runs beside the window instead of freezing it: the window keeps painting,
// the wait cursor shows, Esc stops the work and other input waits until it has ended.

#include <atomic>
#include <functional>

namespace velmar {

// Runs `work` on a worker thread and returns once it has ended. Esc stores 0 in `running`,
// which `work` watches. Refused (false, nothing run) while another such work runs.
bool RunBesideWindow(std::atomic<int>& running, const std::function<void()>& work);

} // namespace velmar
