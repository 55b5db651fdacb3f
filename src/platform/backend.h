// The platform backend: the one object through which the player reaches the
// system, with a manager per concern - events and timers, windows, dialogs,
// media, and the clock. main() installs one (SDL for a real window, headless
// for runs without one) and each test fixture its own; nothing else in the
// player can tell them apart. Using any of it before a backend is installed
// stops the program with a message: there is no silent stand-in.
#pragma once

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/media.h"
#include "platform/window.h"

namespace platform {

class Backend {
public:
    virtual ~Backend() = default;
    virtual EventManager& Events() = 0;
    virtual WindowManager& Windows() = 0;
    virtual DialogManager& Dialogs() = 0;
    virtual MediaManager& Media() = 0;
    virtual Clock& Time() = 0;
};

// Installs `backend` for everything that follows; nullptr uninstalls.
void InstallBackend(Backend* backend);
Backend& CurrentBackend();

// The installed backend's managers.
inline EventManager& Events() {
    return CurrentBackend().Events();
}
inline WindowManager& Windows() {
    return CurrentBackend().Windows();
}
inline DialogManager& Dialogs() {
    return CurrentBackend().Dialogs();
}
inline MediaManager& Media() {
    return CurrentBackend().Media();
}

// Installs a backend for a scope (a test fixture, a tool's main).
class ScopedBackend {
public:
    explicit ScopedBackend(Backend& backend) { InstallBackend(&backend); }
    ~ScopedBackend() { InstallBackend(nullptr); }
    ScopedBackend(const ScopedBackend&) = delete;
    ScopedBackend& operator=(const ScopedBackend&) = delete;
};

}  // namespace platform
