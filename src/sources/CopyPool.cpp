#include "sources/CopyPool.h"

#include "platform/FileOps.h"

#include <algorithm>
#include <functional>

namespace velmar {

int CopyPool::Threads() {
    // The worker copies too while it waits: with it, one thread per core, at most four.
    const unsigned cores = std::thread::hardware_concurrency();
    return int(std::clamp(cores, 1u, 4u)) - 1;
}

CopyPool::CopyPool(const std::atomic<int>* running, int threads)
    : running_(running), slots_(std::make_unique<Slot[]>(kWindow)) {
    threads_.reserve(size_t(threads));
    for (int i = 0; i < threads; ++i)
        threads_.emplace_back([this] { Work(); });
}

CopyPool::~CopyPool() {
    quit_.store(true);
    bell_.fetch_add(1);
    bell_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

void CopyPool::Submit(File&& file) {
    Slot& slot = slots_[submitted_ % kWindow];
    slot.file = std::move(file);
    slot.file.copied = false;
    slot.file.size = 0;
    slot.done.store(0, std::memory_order_relaxed);
    published_.store(++submitted_);
    bell_.fetch_add(1);
    bell_.notify_one();
}

CopyPool::File* CopyPool::Next(bool wait) {
    if (Empty()) return nullptr;
    Slot& slot = slots_[collected_ % kWindow];
    if (slot.done.load(std::memory_order_acquire) == 0) {
        if (!wait) return nullptr;
        // Rather than wait, copy what no thread took yet (this thread holds the tree's roots
        // already); wait only for a file a thread is copying.
        while (slot.done.load(std::memory_order_acquire) == 0 && Claim(nullptr)) {
        }
        slot.done.wait(0, std::memory_order_acquire);
    }
    ++collected_;
    return &slot.file;
}

namespace {

// Told the size once the source is open: only a small file that fits the folder's room is
// copied by the pool.
bool TakesRoom(CopyPool::File& file, uint64_t size) {
    if (size > CopyPool::kLargest) return false;
    CopyPool::Room& room = *file.room;
    uint64_t left = room.load(std::memory_order_relaxed);
    do {
        if (left <= size) return false;
    } while (!room.compare_exchange_weak(left, left - size, std::memory_order_relaxed));
    file.size = size;
    return true;
}

} // namespace

bool CopyPool::Claim(Guarded* guarded) {
    uint64_t next = claimed_.load();
    do {
        if (next >= published_.load()) return false;
    } while (!claimed_.compare_exchange_weak(next, next + 1));
    Slot& slot = slots_[next % kWindow];
    File& file = slot.file;
    // The file's folders, reached as the walk reached them; on the walk's own thread only
    // while this file is copied.
    Guarded here;
    if (!guarded) guarded = &here;
    if (file.roots != guarded->roots) {
        guarded->guard = std::make_unique<platform::TreeGuard>();
        if (file.roots) guarded->guard->Take(*file.roots);
        guarded->roots = file.roots;
    }
    const std::function<bool(uint64_t)> sized = [&file](uint64_t size) {
        return TakesRoom(file, size);
    };
    file.copied = platform::CopyLocalFile(file.src, file.dst, false, running_, nullptr, &sized) == 0;
    slot.done.store(1, std::memory_order_release);
    slot.done.notify_one();
    return true;
}

void CopyPool::Work() {
    Guarded guarded;
    for (;;) {
        const uint64_t bell = bell_.load();
        if (quit_.load()) return;
        if (!Claim(&guarded)) bell_.wait(bell);
    }
}

} // namespace velmar
