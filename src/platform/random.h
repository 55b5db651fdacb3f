// Random numbers: the C library's generator in the original, a seeded
// Mersenne twister here, so that headless runs repeat exactly.
#pragma once

#include <cstdint>

namespace platform {

void SeedRandom(uint32_t seed);
// A pseudo-random integer from 0 to 0x7FFFFFFF.
int32_t RandomInt();

}  // namespace platform
