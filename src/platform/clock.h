// The millisecond tick count and the local date and time. Games compare ticks
// in unsigned 32-bit arithmetic, so the count wraps after about 49.7 days like
// the original's.
#pragma once

#include <cstdint>
#include <optional>

namespace platform {

struct LocalDateTime {
    int year;     // e.g. 2026
    int month;    // 1 to 12
    int day;      // 1 to 31
    int hour;     // 0 to 23
    int minute;   // 0 to 59
    int second;   // 0 to 59 (60 on a leap second)
    int weekday;  // 0 Sunday to 6 Saturday
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t TickCount() const = 0;
    virtual LocalDateTime Now() const = 0;
};

// The system's monotonic millisecond count and its local date and time.
class RealClock final : public Clock {
public:
    uint32_t TickCount() const override;
    LocalDateTime Now() const override;
};

// Time that moves only when told to (headless runs, tests). The date is the
// system's unless it is pinned.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(uint32_t startTick = 0) : tick_(startTick) {}
    uint32_t TickCount() const override { return tick_; }
    LocalDateTime Now() const override;

    void Set(uint32_t tick) { tick_ = tick; }
    void Advance(uint32_t milliseconds) { tick_ += milliseconds; }
    // std::nullopt returns to the system's date and time.
    void PinDateTime(std::optional<LocalDateTime> fixed) { pinned_ = fixed; }

private:
    uint32_t tick_;
    std::optional<LocalDateTime> pinned_;
};

// The installed backend's clock.
uint32_t TickCount();
LocalDateTime Now();

// True when `tick` has reached `deadline`, across the 32-bit wrap: deadlines
// are never more than 24 days ahead.
inline bool TickReached(uint32_t tick, uint32_t deadline) {
    return static_cast<int32_t>(tick - deadline) >= 0;
}

}  // namespace platform
