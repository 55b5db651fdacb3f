#include "platform/random.h"

#include <random>

namespace platform {
namespace {

std::mt19937 generator(0);

}  // namespace

void SeedRandom(uint32_t seed) {
    generator.seed(seed);
}

int32_t RandomInt() {
    return static_cast<int32_t>(generator() >> 1);
}

}  // namespace platform
