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

uint64_t SecretRandom64() {
    std::random_device entropy;
    return uint64_t{entropy()} << 32 | entropy();
}

}  // namespace platform
