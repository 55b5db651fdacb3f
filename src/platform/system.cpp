#include "platform/system.h"

#include <ctime>
#include <random>

namespace platform {
namespace {

std::mt19937 generator(0);
std::optional<LocalDateTime> fixedDateTime;

}  // namespace

void SeedRandom(uint32_t seed) {
    generator.seed(seed);
}

int32_t RandomInt() {
    return static_cast<int32_t>(generator() >> 1);
}

LocalDateTime Now() {
    if (fixedDateTime) return *fixedDateTime;
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
            local.tm_min,         local.tm_sec,     local.tm_wday};
}

void SetFixedDateTime(std::optional<LocalDateTime> fixed) {
    fixedDateTime = fixed;
}

}  // namespace platform
