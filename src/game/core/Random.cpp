#include "game/core/Random.h"

namespace velmar::lines {

quint32 Random::FreshSeed() {
    std::random_device device;
    return quint32(device());
}

} // namespace velmar::lines
