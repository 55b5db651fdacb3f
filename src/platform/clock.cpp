#include "platform/clock.h"

#include <chrono>

namespace platform {
namespace {

bool virtualActive = false;
uint32_t virtualTick = 0;

}  // namespace

uint32_t TickCount() {
    if (virtualActive) return virtualTick;
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    // Truncation to 32 bits is the wrap every tick comparison is written for.
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void UseVirtualClock(uint32_t startTick) {
    virtualActive = true;
    virtualTick = startTick;
}

void UseRealClock() {
    virtualActive = false;
}

bool IsVirtualClock() {
    return virtualActive;
}

void SetVirtualTick(uint32_t tick) {
    virtualTick = tick;
}

void AdvanceVirtualClock(uint32_t milliseconds) {
    virtualTick += milliseconds;
}

}  // namespace platform
