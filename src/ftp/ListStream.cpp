#include "ftp/ListStream.h"

#include "platform/Cancel.h"

#include <cstdint>
#include <cstring>
#include <pthread.h>
#include <system_error>
#include <utility>

namespace velmar::ftp {

using Mode = ListLineSplitter::Mode;

ListStream::ListStream(Parse parse, Take take, const std::atomic<bool>* stop, size_t inlineBytes,
                       size_t parseBesideFrom)
    : parse_(std::move(parse)), take_(std::move(take)), stop_(stop),
      cancel_(platform::CurrentCancelToken()), inlineLeft_(inlineBytes),
      parseBesideFrom_(parseBesideFrom) {}

ListStream::~ListStream() {
    Abandon();
}

bool ListStream::Stopped() const {
    return abandoned_.load(std::memory_order_acquire) || (stop_ && stop_->load()) ||
           (cancel_ && cancel_->IsCancelled());
}

void ListStream::Line(std::string_view line) {
    if (parse_(line, record_)) take_(record_);
}

void ListStream::Follow(const char* data, size_t size) {
    // The splitter's rule: the first line end of the answer tells the form.
    if (form_ == Mode::Unknown) {
        if (const auto* nl = static_cast<const char*>(std::memchr(data, '\n', size)))
            form_ = (nl > data ? nl[-1] : lastByte_) == '\r' ? Mode::CrLf : Mode::Lf;
    }
    lastByte_ = data[size - 1];
}

bool ListStream::MakeBeside(const char* data, size_t size, Block& out) const {
    if (form_ == Mode::Unknown) return false;
    const char* const end = data + size;
    const auto endsLine = [&](const char* nl) {
        return form_ == Mode::Lf || (nl > data ? nl[-1] : lastByte_) == '\r';
    };
    const char* first = nullptr;
    for (const char* scan = data; scan < end;) {
        const auto* nl = static_cast<const char*>(std::memchr(scan, '\n', size_t(end - scan)));
        if (!nl) break;
        if (endsLine(nl)) {
            first = nl;
            break;
        }
        scan = nl + 1;
    }
    if (!first) return false;
    const char* last = nullptr;
    for (const char* scan = end; scan > first + 1;) {
        const auto* nl =
            static_cast<const char*>(::memrchr(first + 1, '\n', size_t(scan - (first + 1))));
        if (!nl) break;
        if (endsLine(nl)) {
            last = nl;
            break;
        }
        scan = nl;
    }
    if (!last) return false;
    // The lines between are whole: a splitter of their own cuts them as the parsing thread's
    // would, which is left the first line's end and the last line's start.
    out.made = true;
    out.bytes.assign(data, size_t(first + 1 - data));
    out.tail.assign(last + 1, size_t(end - (last + 1)));
    out.records.reserve(size_t(last - first) / 48 + 1);
    ListLineSplitter middle(ListLineSplitter::kLongestLine, form_);
    FindRecord record;
    middle.Feed(first + 1, size_t(last - first), [&](std::string_view line) {
        if (parse_(line, record)) out.records.push_back(std::move(record));
    });
    return true;
}

void ListStream::Feed(const char* data, size_t size) {
    if (size == 0) return;
    if (!thread_.joinable()) {
        if (size <= inlineLeft_) {
            inlineLeft_ -= size;
            splitter_.Feed(data, size, Lines());
            Follow(data, size);
            return;
        }
        inlineLeft_ = 0;
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            // No thread to be had: the lines are cut here, as for a small answer.
            inlineLeft_ = SIZE_MAX;
            splitter_.Feed(data, size, Lines());
            Follow(data, size);
            return;
        }
    }
    std::unique_lock lock(mutex_);
    // A block not yet taken takes more while it has room: fewer hand-overs.
    if (!queue_.empty() && !queue_.back().made && queue_.back().bytes.size() + size <= kBlockBytes) {
        queue_.back().bytes.append(data, size);
        lock.unlock();
        Follow(data, size);
        return;
    }
    Block block;
    // Rather than wait for room, this thread makes the records of its block itself.
    if (queue_.size() >= parseBesideFrom_ && !ended_) {
        lock.unlock();
        if (Stopped() || !MakeBeside(data, size, block)) block = Block();
        lock.lock();
    }
    room_.wait(lock, [this] { return queue_.size() < kQueuedBlocks || ended_; });
    if (ended_) return;
    if (!block.made) {
        if (!spare_.empty()) {
            block.bytes = std::move(spare_.back());
            spare_.pop_back();
        } else {
            block.bytes.reserve(kBlockBytes);
        }
        block.bytes.assign(data, size);
    }
    const bool wasEmpty = queue_.empty();
    queue_.push_back(std::move(block));
    lock.unlock();
    if (wasEmpty) queued_.notify_one();
    Follow(data, size);
}

void ListStream::Consume(Block& block) {
    splitter_.Feed(block.bytes.data(), block.bytes.size(), Lines());
    if (!block.made) return;
    for (FindRecord& record : block.records)
        take_(record);
    splitter_.Feed(block.tail.data(), block.tail.size(), Lines());
}

void ListStream::Run() {
    pthread_setname_np(pthread_self(), "list-parse");
    Block block;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (block.bytes.capacity() >= kBlockBytes) {
                block.bytes.clear();
                spare_.push_back(std::move(block.bytes));
            }
            block = Block();
            queued_.wait(lock, [this] { return !queue_.empty() || ended_; });
            if (queue_.empty()) break;
            const bool wasFull = queue_.size() >= kQueuedBlocks;
            block = std::move(queue_.front());
            queue_.pop_front();
            lock.unlock();
            if (wasFull) room_.notify_one();
        }
        // Once stopped, the blocks still coming are only drained.
        if (!Stopped()) Consume(block);
    }
    if (whole_ && !Stopped()) splitter_.Finish(Lines());
}

void ListStream::End(bool whole) {
    if (!thread_.joinable()) {
        if (whole && !Stopped()) splitter_.Finish(Lines());
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
