// The headless backend: no window; events come from a queue that the caller
// fills (scripted input), and time is the virtual clock, which waits move
// forward at once instead of sleeping.
#pragma once

#include <deque>

#include "platform/app.h"

namespace platform {

struct WindowEvent {
    enum class Kind { MouseDown, MouseMove, MouseUp, Close };
    Kind kind;
    MouseButton button = MouseButton::Left;
    int x = 0;
    int y = 0;
};

class HeadlessApplication : public Application {
public:
    // The event is pending from now on.
    void Post(const WindowEvent& event) { pending_.push_back(event); }
    bool HasPendingEvents() const { return !pending_.empty(); }

    void ProcessMessages() override;
    void WaitForEvents(uint32_t deadline) override;

private:
    std::deque<WindowEvent> pending_;
};

}  // namespace platform
