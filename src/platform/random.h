// Random numbers: the C library's generator in the original, a seeded
// Mersenne twister here, so that headless runs repeat exactly.
#pragma once

#include <cstdint>

namespace platform {

void SeedRandom(uint32_t seed);
// A pseudo-random integer from 0 to 0x7FFFFFFF.
int32_t RandomInt();

// 64 bits from the system's entropy source, different in every run and never
// touched by SeedRandom: keys for hashes that a package must not be able to
// predict.
uint64_t SecretRandom64();

}  // namespace platform
