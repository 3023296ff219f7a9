#pragma once
// The game's random source: 32-bit numbers from a seeded generator. The game draws every
// colour and every placement from one source, so a game started from a given seed plays
// the same way each time; tests hand in their own source.

#include <QtGlobal>
#include <random>

namespace velmar::lines {

class RandomSource {
public:
    virtual ~RandomSource() = default;
    // The next uniformly distributed 32-bit number.
    virtual quint32 Next() = 0;
};

class Random : public RandomSource {
public:
    explicit Random(quint32 seed) : engine_(seed) {}
    quint32 Next() override { return quint32(engine_()); }

    // A seed that differs from run to run, for the program's own games.
    static quint32 FreshSeed();

private:
    std::mt19937 engine_;
};

} // namespace velmar::lines
