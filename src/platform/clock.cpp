#include "platform/clock.h"

#include <chrono>
#include <ctime>

#include "platform/backend.h"

namespace platform {
namespace {

LocalDateTime SystemNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
            local.tm_min,         local.tm_sec,     local.tm_wday};
}

}  // namespace

uint32_t RealClock::TickCount() const {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    // Truncation to 32 bits is the wrap every tick comparison is written for.
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

LocalDateTime RealClock::Now() const {
    return SystemNow();
}

LocalDateTime VirtualClock::Now() const {
    return pinned_ ? *pinned_ : SystemNow();
}

uint32_t TickCount() {
    return CurrentBackend().Time().TickCount();
}

LocalDateTime Now() {
    return CurrentBackend().Time().Now();
}

}  // namespace platform
