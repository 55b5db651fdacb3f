// The application's event loop, as the player sees it: pending window events
// are dispatched to the main window's handlers, waits block in the system until
// an event or a deadline, and a terminate request ends the loop. Two backends:
// a real window (SDL) and headless runs on the virtual clock.
#pragma once

#include <cstdint>

namespace platform {

enum class MouseButton { Left, Right, Middle };

// Implemented by the main window; the loop calls these for the events it takes.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    virtual void MouseDown(MouseButton button, int x, int y) = 0;
    virtual void MouseMove(int x, int y) = 0;
    virtual void MouseUp(MouseButton button, int x, int y) = 0;
    // The user closes the main window.
    virtual void CloseRequested() = 0;
    virtual void Paint() = 0;
};

class Application {
public:
    virtual ~Application() = default;

    void SetEventHandler(WindowEvents* handler) { handler_ = handler; }
    WindowEvents* EventHandler() const { return handler_; }

    // Dispatches every pending event to the handler, then returns.
    virtual void ProcessMessages() = 0;
    // Blocks until an event is pending or the tick count reaches `deadline`
    // (compared wrap-safely). On the virtual clock this moves time forward
    // instead of sleeping.
    virtual void WaitForEvents(uint32_t deadline) = 0;

    // The message loop ends after the current event. A quit because of an
    // error gives a non-zero exit status; the first request's status stands.
    void Terminate(int exitStatus = 0) {
        if (!terminated_) exitStatus_ = exitStatus;
        terminated_ = true;
    }
    bool Terminated() const { return terminated_; }
    int ExitStatus() const { return exitStatus_; }

private:
    WindowEvents* handler_ = nullptr;
    bool terminated_ = false;
    int exitStatus_ = 0;
};

// The application every part of the player uses; set once at start-up.
Application& App();
void SetApp(Application* app);

// True when `tick` has reached `deadline`, across the 32-bit wrap: deadlines
// are never more than 24 days ahead.
inline bool TickReached(uint32_t tick, uint32_t deadline) {
    return static_cast<int32_t>(tick - deadline) >= 0;
}

}  // namespace platform
