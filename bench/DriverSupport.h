#pragma once
// What the bench drivers share: the best time of repeated runs, and the reproducible random
// stream their data makers draw from (the same files on every machine).

#include <QElapsedTimer>
#include <algorithm>
#include <cstdint>

namespace velmar::bench {

// The best wall time in seconds of `runs` calls of `run` (at least one).
template <class Run> double BestOf(int runs, Run run) {
    double best = 1e9;
    for (int i = 0; i < std::max(runs, 1); ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

// xorshift64 from a fixed seed.
class Random {
public:
    uint64_t operator()() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }

private:
    uint64_t state_ = 0x9e3779b97f4a7c15ULL;
};

} // namespace velmar::bench
