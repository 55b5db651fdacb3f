// Entry names crafted against an unkeyed name table: their 64-bit FNV-1a
// hashes, taken with a-z upper-cased, all end in the same zero bits, so a
// table that hashes them so sends every one to the same slot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/ascii.h"

namespace testkit {

// `count` names, distinct ignoring case, whose hashes end in
// `zeroBits` (9 to 24) zero bits.
inline std::vector<std::string> CollidingNames(size_t count, int zeroBits) {
    constexpr uint64_t kBasis = 14695981039346656037u, kPrime = 1099511628211u;
    auto isLower = [](unsigned c) { return c >= 'a' && c <= 'z'; };
    // Two bytes steer the low bits: the first zeroes bits 8 and up, the last
    // the low eight.
    const uint64_t steered = ((uint64_t{1} << zeroBits) - 1) & ~uint64_t{0xFF};
    std::vector<std::string> names;
    for (uint32_t i = 0; names.size() < count; ++i) {
        std::string name = "Data\\Image\\picture_" + std::to_string(10000000 + i);
        uint64_t hash = kBasis;
        for (char c : name)
            hash = (hash ^ static_cast<unsigned char>(platform::AsciiUpper(c))) * kPrime;
        for (unsigned first = 1; first < 256; ++first) {
            uint64_t next = (hash ^ first) * kPrime;
            unsigned last = next & 0xFF;
            if ((next & steered) == 0 && last != 0 && !isLower(first) && !isLower(last)) {
                names.push_back(name + static_cast<char>(first) + static_cast<char>(last));
                break;
            }
        }
    }
    return names;
}

}  // namespace testkit
