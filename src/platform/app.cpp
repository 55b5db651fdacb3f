#include "platform/app.h"

#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "platform/headless.h"

namespace platform {
namespace {

HeadlessApplication fallback;
Application* current = &fallback;

}  // namespace

Application& App() {
    return *current;
}

void SetApp(Application* app) {
    current = app ? app : &fallback;
}

void HeadlessApplication::ProcessMessages() {
    while (!pending_.empty() && !Terminated()) {
        WindowEvent event = pending_.front();
        pending_.pop_front();
        WindowEvents* handler = EventHandler();
        if (!handler) continue;
        switch (event.kind) {
            case WindowEvent::Kind::MouseDown:
                handler->MouseDown(event.button, event.x, event.y);
                break;
            case WindowEvent::Kind::MouseMove:
                handler->MouseMove(event.x, event.y);
                break;
            case WindowEvent::Kind::MouseUp:
                handler->MouseUp(event.button, event.x, event.y);
                break;
            case WindowEvent::Kind::Close:
                handler->CloseRequested();
                break;
        }
    }
}

void HeadlessApplication::WaitForEvents(uint32_t deadline) {
    if (!pending_.empty() || TickReached(TickCount(), deadline)) return;
    if (IsVirtualClock()) {
        SetVirtualTick(deadline);
    } else {
        auto remaining = static_cast<int32_t>(deadline - TickCount());
        if (remaining > 0) std::this_thread::sleep_for(std::chrono::milliseconds(remaining));
    }
}

}  // namespace platform
