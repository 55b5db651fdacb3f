// TfrmWindow: a small always-on-top tool window that shows one of the screens
// 1 to 5 - the message window, the select window or a user window. It keeps
// its offset from the main window and follows it when the main window moves;
// a window the user drags keeps its new offset.
#pragma once

#include <cstdint>
#include <memory>

#include "graphics/Scrnctrl.h"
#include "platform/window.h"

namespace graphics {

class TfrmWindow : public platform::WindowSink {
public:
    // Created hidden, at the size it was designed with.
    TfrmWindow();
    TfrmWindow(const TfrmWindow&) = delete;
    TfrmWindow& operator=(const TfrmWindow&) = delete;

    // Set by the main window before Attach.
    TScreenControl* ScreenControl = nullptr;
    int32_t ScreenIndex = -1;
    // The main window's last known position.
    int32_t MainLeft = 0;
    int32_t MainTop = 0;
    // This window's offset from the main window.
    int32_t RelativeX = 0;
    int32_t RelativeY = 0;

    // Takes the screen's size and offset, shows the screen, and moves into place.
    void Attach();
    // Moves to the main window's position plus the offset.
    void Reposition();

    platform::Window& Window() { return *window_; }

    void Moved(int32_t left, int32_t top) override;

private:
    std::unique_ptr<platform::Window> window_;
    bool positioning_ = false;  // set while the window moves itself
};

}  // namespace graphics
