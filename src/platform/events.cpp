#include "platform/events.h"

#include <algorithm>

#include "platform/clock.h"

namespace platform {

EventManager::TimerId EventManager::StartTimer(uint32_t interval, std::function<void()> onTick) {
    interval = std::max<uint32_t>(interval, 1);
    TimerId id = nextTimerId_++;
    timers_.push_back({id, interval, clock_.TickCount() + interval, std::move(onTick)});
    return id;
}

void EventManager::StopTimer(TimerId id) {
    std::erase_if(timers_, [id](const Timer& timer) { return timer.id == id; });
}

void EventManager::Terminate(int exitStatus) {
    if (!terminated_) exitStatus_ = exitStatus;
    terminated_ = true;
}

std::optional<uint32_t> EventManager::NextTimerDue() const {
    // Compared as signed distances from now, which survive the wrap.
    std::optional<uint32_t> next;
    int32_t nearest = 0;
    uint32_t now = clock_.TickCount();
    for (const Timer& timer : timers_) {
        auto distance = static_cast<int32_t>(timer.due - now);
        if (!next || distance < nearest) {
            next = timer.due;
            nearest = distance;
        }
    }
    return next;
}

std::optional<uint32_t> EventManager::EarliestOf(std::optional<uint32_t> deadline) const {
    std::optional<uint32_t> earliest = deadline;
    for (std::optional<uint32_t> other :
         {NextTimerDue(), media_ ? media_->NextEnd() : std::nullopt}) {
        if (other && (!earliest || !TickReached(*other, *earliest))) earliest = other;
    }
    return earliest;
}

void EventManager::FireDueTimers() {
    // Oldest timer first; each fires at most once here. A callback may start
    // or stop timers or process events (and so fire timers) itself, so every
    // timer is looked up again by its id.
    std::vector<TimerId> due;
    uint32_t now = clock_.TickCount();
    for (const Timer& timer : timers_) {
        if (TickReached(now, timer.due)) due.push_back(timer.id);
    }
    for (TimerId id : due) {
        auto timer = std::find_if(timers_.begin(), timers_.end(),
                                  [id](const Timer& t) { return t.id == id; });
        now = clock_.TickCount();
        if (timer == timers_.end() || !TickReached(now, timer->due)) continue;
        uint32_t missed = (now - timer->due) / timer->interval;
        timer->due += (missed + 1) * timer->interval;
        std::function<void()> onTick = timer->onTick;
        onTick();
        if (terminated_) return;
    }
}

void EventManager::Dispatch(Window& window, const WindowEvent& event) {
    if (InModal() && event.IsInput() && !window.Style().dialog) return;
    window.Deliver(event);
}

}  // namespace platform
