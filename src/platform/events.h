// The application's event loop as the player sees it: pending events go to the
// windows they belong to, timers fire, waits block in the system until
// something happens, and a terminate request ends the loop. While a dialog is
// open it holds the input: no mouse event or close request reaches another
// window (they still redraw).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/clock.h"
#include "platform/media.h"
#include "platform/window.h"

namespace platform {

class EventManager {
public:
    using TimerId = uint32_t;

    explicit EventManager(Clock& clock) : clock_(clock) {}
    virtual ~EventManager() = default;

    // Dispatches every pending event to its window, then fires the timers
    // that have come due. Handlers may call it again from within (nested
    // waits); a timer whose tick comes then fires there.
    virtual void ProcessMessages() = 0;
    // Presents the dirty windows, then blocks until an event is pending,
    // Wake() is called, a timer comes due or the tick count reaches
    // `deadline`. On a virtual clock it moves the clock instead of sleeping.
    virtual void WaitUntil(uint32_t deadline) = 0;
    // The same with no deadline of its own.
    virtual void Wait() = 0;
    // Ends the current wait, or the next one if none is going on. Safe from
    // any thread (the audio thread's "finished").
    virtual void Wake() = 0;

    // Calls `onTick` every `interval` milliseconds (at least 1) from
    // ProcessMessages. Ticks missed while nobody processed events are not
    // made up: one tick, then the regular cadence.
    TimerId StartTimer(uint32_t interval, std::function<void()> onTick);
    void StopTimer(TimerId id);

    // The loop ends after the current event. A quit because of an error
    // gives a non-zero exit status; the first request's status stands.
    void Terminate(int exitStatus = 0);
    bool Terminated() const { return terminated_; }
    int ExitStatus() const { return exitStatus_; }

    // While one lives, a dialog holds the input.
    class ModalScope {
    public:
        explicit ModalScope(EventManager& events) : events_(events) { ++events_.modalDepth_; }
        ~ModalScope() { --events_.modalDepth_; }
        ModalScope(const ModalScope&) = delete;
        ModalScope& operator=(const ModalScope&) = delete;

    private:
        EventManager& events_;
    };
    bool InModal() const { return modalDepth_ > 0; }

    // The backend's media, whose ends by the clock end waits too.
    void WatchMedia(MediaManager* media) { media_ = media; }

protected:
    Clock& Time() const { return clock_; }
    // The tick at which the next timer is due, if any runs.
    std::optional<uint32_t> NextTimerDue() const;
    // The deadline a wait really has: its own, the next timer's or the next
    // end of a playing file, whichever comes first.
    std::optional<uint32_t> EarliestOf(std::optional<uint32_t> deadline) const;
    void FireDueTimers();
    // Hands the event to the window unless a dialog holds the input.
    void Dispatch(Window& window, const WindowEvent& event);

private:
    struct Timer {
        TimerId id;
        uint32_t interval;
        uint32_t due;
        std::function<void()> onTick;
    };

    Clock& clock_;
    MediaManager* media_ = nullptr;
    std::vector<Timer> timers_;
    TimerId nextTimerId_ = 1;
    int modalDepth_ = 0;
    bool terminated_ = false;
    int exitStatus_ = 0;
};

}  // namespace platform
