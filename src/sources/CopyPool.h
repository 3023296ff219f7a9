#pragma once
// Small files of a local tree copy, copied on a few threads while the copy worker walks the
// tree: most of a small file's copy is the kernel's work on its names and data, which other
// cores can share. A thread here copies only what needs no question: a new name, at most kLargest
// bytes, within the room the worker set aside for the folder. Anything else (a taken name, a
// failure, a larger file, a folder running out of room, a stop) comes back undone, and the
// worker copies that file itself, asking and telling as it always does. Results come back in
// the order the files went in, so the worker's count, its progress and its questions follow
// the tree's order. A thread takes the files of one folder at a time (a run): two threads
// making names in one folder mostly wait for each other in the kernel.

#include "platform/TreeGuard.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace velmar {

class CopyPool {
public:
    // Bytes a folder may still take; the threads copying into it draw on it.
    using Room = std::atomic<uint64_t>;

    struct File {
        QString src;
        QString dst;
        QString name;   // as the progress shows it
        QString folder; // the target folder
        std::shared_ptr<Room> room;
        // The source and target folders as the walk reaches them (its guard's descriptors).
        std::shared_ptr<const platform::HeldRoots> roots;
        // Set by the pool: whether the file stands complete under its name, and its size.
        bool copied = false;
        uint64_t size = 0;
    };

    // Files larger than this are left to the worker, which shows their bytes as they move.
    static constexpr uint64_t kLargest = 1u << 20;

    // How many threads a pool takes here besides the worker's own (0 on one core).
    static int Threads();
    // Whether a core is free for the pool now: on a machine whose cores are all busy with
    // others' work, threads of ours only take turns with each other.
    static bool CoreFree();
    // Tests: `threads` pool threads whatever the machine and its load (-1: as it comes).
    static void SetThreadsForTesting(int threads);

    // The threads stop between two blocks once `running` (not null) clears.
    CopyPool(const std::atomic<int>* running, int threads);
    ~CopyPool(); // after Drain (files not taken yet are not copied)
    CopyPool(const CopyPool&) = delete;
    CopyPool& operator=(const CopyPool&) = delete;

    bool Full() const { return submitted_ - collected_ == kWindow; }
    bool Empty() const { return submitted_ == collected_; }
    // The pool must not be full. Files given one after another form a run, which a thread
    // copies at once, until Seal (the files of one folder end) or the run is long enough.
    void Submit(File&& file);
    // The run given so far may be taken.
    void Seal();
    // Takes back the oldest file given, once it is done (waiting for it when `wait`, else
    // null while it is not done); null when none is out. Valid until the next Submit.
    File* Next(bool wait);

private:
    static constexpr uint64_t kWindow = 512; // files out at once
    static constexpr uint64_t kRun = 128;    // files in a run at most
    // Files [next, end) of a run are still to be taken; a thread takes one by moving next.
    // Indices only grow, so a thread that read a run whose entry is meanwhile reused for a
    // later run takes nothing from it.
    struct Run {
        std::atomic<uint64_t> next{0};
        std::atomic<uint64_t> end{0};
    };
    struct Slot {
        File file;
        uint64_t run = 0; // the run it belongs to (the walk's thread only)
        std::atomic<int> done{0};
    };
    // A copying thread's hold of the tree's roots.
    struct Guarded {
        std::unique_ptr<platform::TreeGuard> guard;
        std::shared_ptr<const platform::HeldRoots> roots;
    };
    // Copies the next run no thread took yet; false when there is none. `guarded` holds
    // the folders the thread last worked in.
    bool Claim(Guarded& guarded);
    // Copies one file of `run` not taken yet; false when none is left.
    bool TakeFrom(Run& run, Guarded& guarded);
    void Work();

    const std::atomic<int>* running_;
    std::unique_ptr<Slot[]> slots_;
    std::unique_ptr<Run[]> runs_; // as many as slots: a run has a file at least
    // The engine's side of the ring: only its thread reads or writes these.
    uint64_t submitted_ = 0;
    uint64_t collected_ = 0;
    uint64_t sealedFiles_ = 0; // files in the runs sealed
    uint64_t sealedRuns_ = 0;
    // Shared with the threads.
    std::atomic<uint64_t> published_{0}; // runs the threads may take
    std::atomic<uint64_t> claimed_{0};   // runs a thread took
    std::atomic<uint64_t> bell_{0};      // rung at each file and at the end
    std::atomic<bool> quit_{false};
    std::vector<std::thread> threads_;
};

} // namespace velmar
