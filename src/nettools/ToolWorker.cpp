#include "nettools/ToolWorker.h"

#include <QMetaObject>

namespace velmar {

ToolWorker::~ToolWorker() {
    StopAndWait();
}

void ToolWorker::Start(std::function<void(ToolWorker&)> job) {
    StopAndWait();
    token_.Reset();
    running_ = true;
    const unsigned run = ++generation_;
    thread_ = std::thread([this, run, job = std::move(job)] {
        {
            const platform::ScopedCancel scope(&token_);
            job(*this);
        }
        // The run ends on the dialog's thread, after every line it posted, so that the
        // dialog never sees "not running" with its Start button still disabled. A late
        // end of a run that was replaced by a newer one is ignored.
        QMetaObject::invokeMethod(
            this,
            [this, run] {
                if (run != generation_) return;
                running_ = false;
                emit finished();
            },
            Qt::QueuedConnection);
    });
}

void ToolWorker::Stop() {
    token_.Cancel();
}

void ToolWorker::StopAndWait() {
    if (!thread_.joinable()) return;
    Stop();
    thread_.join();
    running_ = false;
}

} // namespace velmar
