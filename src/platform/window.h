// Windows: the main window and the tool windows of a game, and the dialogs'
// own windows. Each window has a sink that takes its events, keeps its caption,
// client size, position and visibility, and shows what is uploaded to it.
// Presenting is apart from drawing: an upload marks the window dirty, and the
// event loop presents dirty windows once, just before it blocks. Redrawing an
// exposed window is the backend's job; the game never handles paint.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/canvas.h"

namespace platform {

enum class MouseButton { Left, Right, Middle };

// What a window tells its owner. Positions are client coordinates.
class WindowSink {
public:
    virtual ~WindowSink() = default;
    virtual void MouseDown(MouseButton, int32_t /*x*/, int32_t /*y*/) {}
    virtual void MouseMove(int32_t /*x*/, int32_t /*y*/) {}
    virtual void MouseUp(MouseButton, int32_t /*x*/, int32_t /*y*/) {}
    // The window now stands at (left, top) of the screen, moved by the user
    // or by the program (reported from within Window::Move).
    virtual void Moved(int32_t /*left*/, int32_t /*top*/) {}
    // The user asks to close the window.
    virtual void CloseRequested() {}
};

struct WindowEvent {
    enum class Kind { MouseDown, MouseMove, MouseUp, Moved, Close };
    Kind kind;
    MouseButton button = MouseButton::Left;
    int32_t x = 0;  // the new left and top for Moved
    int32_t y = 0;

    bool IsInput() const { return kind != Kind::Moved; }
};

struct WindowStyle {
    bool toolWindow = false;   // small caption, no caption buttons
    bool alwaysOnTop = false;  // above the application's other windows
    bool dialog = false;       // takes the input while it is open
};

class WindowManager;

class Window : public Canvas {
public:
    Window(WindowManager& manager, WindowSink& sink, const WindowStyle& style);
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Unique among the windows of a run; events name their window by it.
    uint32_t Id() const { return id_; }
    const WindowStyle& Style() const { return style_; }

    // CP932, as the game gives it; the backend shows it as UTF-8.
    void SetCaption(std::string_view cp932);
    const std::string& Caption() const { return caption_; }
    // Sizes below 1 become 1. The content after a resize is black until uploaded.
    void SetClientSize(int32_t width, int32_t height);
    int32_t ClientWidth() const { return width_; }
    int32_t ClientHeight() const { return height_; }
    // Moves the window's top-left corner and reports Moved to the sink at
    // once, as a move the program made itself.
    void Move(int32_t left, int32_t top);
    int32_t Left() const { return left_; }
    int32_t Top() const { return top_; }
    void SetVisible(bool visible);
    bool Visible() const { return visible_; }

    void Upload(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch, int32_t x,
                int32_t y) override;
    void Flush() override;
    bool Dirty() const { return dirty_; }

    // Backends hand every event of this window here; a Moved event records
    // the new position before the sink hears of it.
    void Deliver(const WindowEvent& event);

protected:
    // The backend makes each change real.
    virtual void ApplyCaption() = 0;
    virtual void ApplyClientSize() = 0;
    virtual void ApplyPosition() = 0;
    virtual void ApplyVisible() = 0;
    // A rectangle already cut to the client area.
    virtual void CopyPixels(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch,
                            int32_t x, int32_t y) = 0;
    virtual void PresentNow() = 0;

private:
    WindowManager& manager_;
    WindowSink& sink_;
    WindowStyle style_;
    uint32_t id_;
    std::string caption_;
    int32_t width_ = 1;
    int32_t height_ = 1;
    int32_t left_ = 0;
    int32_t top_ = 0;
    bool visible_ = false;
    bool dirty_ = false;
};

class WindowManager {
public:
    virtual ~WindowManager() = default;

    // A new hidden window of 1 x 1 pixels at (0, 0) with an empty caption;
    // the caller sizes, places and shows it. The sink must outlive it.
    virtual std::unique_ptr<Window> Create(WindowSink& sink, const WindowStyle& style) = 0;

    // The live window with this id, or nullptr once it is gone.
    Window* Find(uint32_t id) const;
    // Every live window, oldest first.
    const std::vector<Window*>& Live() const { return windows_; }
    // Presents every window drawn since its last present.
    void PresentDirty();

private:
    friend class Window;
    uint32_t Register(Window* window);
    void Unregister(Window* window);

    std::vector<Window*> windows_;
    uint32_t nextId_ = 1;
};

}  // namespace platform
