#include "platform/app.h"

#include "platform/clock.h"
#include "platform/headless.h"

namespace platform {
namespace {

HeadlessApplication fallback;
Application* current = &fallback;

}  // namespace

Application& App() { return *current; }

void SetApp(Application* app) { current = app ? app : &fallback; }

void HeadlessApplication::ProcessMessages() {
    while (!pending_.empty() && !Terminated()) {
        WindowEvent event = pending_.front();
        pending_.pop_front();
        WindowEvents* handler = EventHandler();
        if (!handler) continue;
        switch (event.kind) {
            case WindowEvent::Kind::MouseDown: handler->MouseDown(event.button, event.x, event.y); break;
            case WindowEvent::Kind::MouseMove: handler->MouseMove(event.x, event.y); break;
            case WindowEvent::Kind::MouseUp: handler->MouseUp(event.button, event.x, event.y); break;
            case WindowEvent::Kind::Close: handler->CloseRequested(); break;
        }
    }
}

void HeadlessApplication::WaitForEvents(uint32_t deadline) {
    if (!pending_.empty() || TickReached(TickCount(), deadline)) return;
    if (IsVirtualClock()) {
        SetVirtualTick(deadline);
    } else {
        // Only tests run headless on the real clock; they never wait long.
        while (!TickReached(TickCount(), deadline)) {
        }
    }
}

}  // namespace platform
