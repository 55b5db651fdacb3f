// Random numbers and the local date and time, the other things the player
// takes from the system.
#pragma once

#include <cstdint>
#include <optional>

namespace platform {

void SeedRandom(uint32_t seed);
// A pseudo-random integer from 0 to 0x7FFFFFFF.
int32_t RandomInt();

struct LocalDateTime {
    int year;     // e.g. 2026
    int month;    // 1 to 12
    int day;      // 1 to 31
    int hour;     // 0 to 23
    int minute;   // 0 to 59
    int second;   // 0 to 59 (60 on a leap second)
    int weekday;  // 0 Sunday to 6 Saturday
};

LocalDateTime Now();
// Tests pin the date and time; std::nullopt returns to the system's.
void SetFixedDateTime(std::optional<LocalDateTime> fixed);

}  // namespace platform
