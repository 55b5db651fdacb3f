// The millisecond tick count. Games compare ticks in unsigned 32-bit
// arithmetic, so the count wraps after about 49.7 days like the original's.
#pragma once

#include <cstdint>

namespace platform {

uint32_t TickCount();

// Headless runs and tests replace the real clock with a virtual one that only
// moves when told to.
void UseVirtualClock(uint32_t startTick);
void UseRealClock();
bool IsVirtualClock();
void SetVirtualTick(uint32_t tick);
void AdvanceVirtualClock(uint32_t milliseconds);

// Switches to the virtual clock for a scope (tests), restoring the real one after.
class ScopedVirtualClock {
public:
    explicit ScopedVirtualClock(uint32_t startTick = 0) { UseVirtualClock(startTick); }
    ~ScopedVirtualClock() { UseRealClock(); }
    ScopedVirtualClock(const ScopedVirtualClock&) = delete;
    ScopedVirtualClock& operator=(const ScopedVirtualClock&) = delete;
};

}  // namespace platform
