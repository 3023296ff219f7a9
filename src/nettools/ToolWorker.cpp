#include "nettools/ToolWorker.h"

namespace velmar {

ToolWorker::~ToolWorker() {
    StopAndWait();
}

void ToolWorker::Start(std::function<void(ToolWorker&)> job) {
    StopAndWait();
    token_.Reset();
    running_ = true;
    thread_ = std::thread([this, job = std::move(job)] {
        {
            const platform::ScopedCancel scope(&token_);
            job(*this);
        }
        running_ = false;
        emit finished();
    });
}

void ToolWorker::Stop() {
    token_.Cancel();
}

void ToolWorker::StopAndWait() {
    if (!thread_.joinable()) return;
    Stop();
    thread_.join();
}

} // namespace velmar
