#include "ftp/ListStream.h"

#include "platform/Cancel.h"

#include <cstdint>
#include <system_error>
#include <utility>

namespace velmar::ftp {

ListStream::ListStream(Line line, const std::atomic<bool>* stop, size_t inlineBytes)
    : line_(std::move(line)), stop_(stop), cancel_(platform::CurrentCancelToken()),
      inlineLeft_(inlineBytes) {}

ListStream::~ListStream() {
    Abandon();
}

bool ListStream::Stopped() const {
    return abandoned_.load(std::memory_order_acquire) || (stop_ && stop_->load()) ||
           (cancel_ && cancel_->IsCancelled());
}

void ListStream::Feed(const char* data, size_t size) {
    if (size == 0) return;
    if (!thread_.joinable()) {
        if (size <= inlineLeft_) {
            inlineLeft_ -= size;
            splitter_.Feed(data, size, line_);
            return;
        }
        inlineLeft_ = 0;
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            // No thread to be had: the lines are cut here, as for a small answer.
            inlineLeft_ = SIZE_MAX;
            splitter_.Feed(data, size, line_);
            return;
        }
    }
    std::unique_lock lock(mutex_);
    // A block not yet taken takes more while it has room: fewer hand-overs.
    if (!queue_.empty() && queue_.back().size() + size <= kBlockBytes) {
        queue_.back().append(data, size);
        return;
    }
    room_.wait(lock, [this] { return queue_.size() < kQueuedBlocks || ended_; });
    if (ended_) return;
    std::string block;
    if (!spare_.empty()) {
        block = std::move(spare_.back());
        spare_.pop_back();
    } else {
        block.reserve(kBlockBytes);
    }
    block.assign(data, size);
    const bool wasEmpty = queue_.empty();
    queue_.push_back(std::move(block));
    lock.unlock();
    if (wasEmpty) queued_.notify_one();
}

void ListStream::Run() {
    std::string block;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (block.capacity() != 0) {
                block.clear();
                spare_.push_back(std::move(block));
                block = std::string();
            }
            queued_.wait(lock, [this] { return !queue_.empty() || ended_; });
            if (queue_.empty()) break;
            const bool wasFull = queue_.size() >= kQueuedBlocks;
            block = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            if (wasFull) room_.notify_one();
        }
        // Once stopped, the blocks still coming are only drained.
        if (!Stopped()) splitter_.Feed(block.data(), block.size(), line_);
    }
    if (whole_ && !Stopped()) splitter_.Finish(line_);
}

void ListStream::End(bool whole) {
    if (!thread_.joinable()) {
        if (whole && !Stopped()) splitter_.Finish(line_);
        abandoned_.store(!whole, std::memory_order_release);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
        whole_ = whole;
        if (!whole) {
            abandoned_.store(true, std::memory_order_release);
            queue_.clear();
        }
    }
    queued_.notify_one();
    room_.notify_one();
    thread_.join();
}

void ListStream::Finish() {
    End(true);
}

void ListStream::Abandon() {
    if (abandoned_.load() && !thread_.joinable()) return;
    End(false);
}

} // namespace velmar::ftp
