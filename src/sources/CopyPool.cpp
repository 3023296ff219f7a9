#include "sources/CopyPool.h"

#include "platform/FileOps.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <unistd.h>

namespace velmar {

namespace {
std::atomic<int> threadsForTesting{-1};
} // namespace

void CopyPool::SetThreadsForTesting(int threads) {
    threadsForTesting.store(threads);
}

int CopyPool::Threads() {
    if (const int forced = threadsForTesting.load(); forced >= 0) return forced;
    // The worker copies too while it waits: with it, one thread per core, at most four.
    const unsigned cores = std::thread::hardware_concurrency();
    return int(std::clamp(cores, 1u, 4u)) - 1;
}

bool CopyPool::CoreFree() {
    if (threadsForTesting.load() >= 0) return true;
    // The fourth field of /proc/loadavg, "running/total", counts the threads ready to run
    // (this one among them) at this instant.
    const int fd = ::open("/proc/loadavg", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;
    char text[128];
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (n <= 0) return true;
    text[n] = 0;
    int running = 0;
    if (std::sscanf(text, "%*s %*s %*s %d/", &running) != 1) return true;
    return running <= int(std::thread::hardware_concurrency());
}

CopyPool::CopyPool(const std::atomic<int>* running, int threads)
    : running_(running), slots_(std::make_unique<Slot[]>(kWindow)),
      runs_(std::make_unique<Run[]>(kWindow)) {
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
    slot.run = sealedRuns_;
    slot.done.store(0, std::memory_order_relaxed);
    if (++submitted_ - sealedFiles_ == kRun) Seal();
}

void CopyPool::Seal() {
    if (submitted_ == sealedFiles_) return;
    Run& run = runs_[sealedRuns_ % kWindow];
    run.next.store(sealedFiles_);
    run.end.store(submitted_);
    sealedFiles_ = submitted_;
    published_.store(++sealedRuns_);
    bell_.fetch_add(1);
    bell_.notify_one();
}

CopyPool::File* CopyPool::Next(bool wait) {
    if (Empty()) return nullptr;
    Slot& slot = slots_[collected_ % kWindow];
    if (slot.done.load(std::memory_order_acquire) == 0) {
        if (!wait) return nullptr;
        // Rather than wait, copy what no thread took yet, first from the run of the file
        // waited for (its thread may be off the processor); wait only for a file a thread is
        // copying. The folders are held only meanwhile on this thread.
        Seal();
        Guarded here;
        while (slot.done.load(std::memory_order_acquire) == 0 &&
               (TakeFrom(runs_[slot.run % kWindow], here) || Claim(here))) {
        }
        here = {};
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

bool CopyPool::Claim(Guarded& guarded) {
    uint64_t next = claimed_.load();
    do {
        if (next >= published_.load()) return false;
    } while (!claimed_.compare_exchange_weak(next, next + 1));
    Run& run = runs_[next % kWindow];
    while (TakeFrom(run, guarded)) {
    }
    return true;
}

bool CopyPool::TakeFrom(Run& run, Guarded& guarded) {
    const uint64_t end = run.end.load();
    uint64_t index = run.next.load();
    do {
        if (index >= end) return false;
    } while (!run.next.compare_exchange_weak(index, index + 1));
    Slot& slot = slots_[index % kWindow];
    File& file = slot.file;
    if (file.roots != guarded.roots) {
        // Another pair of folders: reached as the walk reached them.
        guarded.guard = std::make_unique<platform::TreeGuard>();
        if (file.roots) guarded.guard->Take(*file.roots);
        guarded.roots = file.roots;
    }
    const std::function<bool(uint64_t)> sized = [&file](uint64_t size) {
        return TakesRoom(file, size);
    };
    // After a stop the rest is only handed back.
    file.copied =
        running_->load(std::memory_order_relaxed) != 0 &&
        platform::CopyLocalFile(file.src, file.dst, false, running_, nullptr, &sized) == 0;
    slot.done.store(1, std::memory_order_release);
    slot.done.notify_one();
    return true;
}

void CopyPool::Work() {
    Guarded guarded;
    for (;;) {
        const uint64_t bell = bell_.load();
        if (quit_.load()) return;
        if (!Claim(guarded)) bell_.wait(bell);
    }
}

} // namespace velmar
