#include "platform/window.h"

#include <algorithm>

namespace platform {

Window::Window(WindowManager& manager, WindowSink& sink, const WindowStyle& style)
    : manager_(manager), sink_(sink), style_(style), id_(manager.Register(this)) {}

Window::~Window() {
    manager_.Unregister(this);
}

void Window::SetCaption(std::string_view cp932) {
    caption_ = cp932;
    ApplyCaption();
}

void Window::SetClientSize(int32_t width, int32_t height) {
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    ApplyClientSize();
    dirty_ = true;
}

void Window::Move(int32_t left, int32_t top) {
    left_ = left;
    top_ = top;
    ApplyPosition();
    sink_.Moved(left_, top_);
}

void Window::SetVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    ApplyVisible();
    dirty_ = visible;
}

void Window::Upload(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch, int32_t x,
                    int32_t y) {
    // Cut to the client area in 64 bits: positions come from scenarios.
    int64_t left = std::max<int64_t>(x, 0);
    int64_t top = std::max<int64_t>(y, 0);
    int64_t right = std::min<int64_t>(int64_t{x} + width, width_);
    int64_t bottom = std::min<int64_t>(int64_t{y} + height, height_);
    if (left >= right || top >= bottom) return;
    const uint32_t* first = pixels + (top - y) * pitch + (left - x);
    CopyPixels(first, int32_t(right - left), int32_t(bottom - top), pitch, int32_t(left),
               int32_t(top));
    dirty_ = true;
}

void Window::Flush() {
    if (!dirty_) return;
    dirty_ = false;
    if (visible_) PresentNow();
}

void Window::Deliver(const WindowEvent& event) {
    switch (event.kind) {
        case WindowEvent::Kind::MouseDown:
            sink_.MouseDown(event.button, event.x, event.y);
            break;
        case WindowEvent::Kind::MouseMove:
            sink_.MouseMove(event.x, event.y);
            break;
        case WindowEvent::Kind::MouseUp:
            sink_.MouseUp(event.button, event.x, event.y);
            break;
        case WindowEvent::Kind::Moved:
            left_ = event.x;
            top_ = event.y;
            sink_.Moved(left_, top_);
            break;
        case WindowEvent::Kind::Close:
            sink_.CloseRequested();
            break;
    }
}

Window* WindowManager::Find(uint32_t id) const {
    auto found = std::find_if(windows_.begin(), windows_.end(),
                              [id](const Window* window) { return window->Id() == id; });
    return found == windows_.end() ? nullptr : *found;
}

void WindowManager::PresentDirty() {
    // By id: a backend's present could end up closing a window.
    std::vector<uint32_t> ids;
    for (const Window* window : windows_) ids.push_back(window->Id());
    for (uint32_t id : ids) {
        if (Window* window = Find(id)) window->Flush();
    }
}

uint32_t WindowManager::Register(Window* window) {
    windows_.push_back(window);
    return nextId_++;
}

void WindowManager::Unregister(Window* window) {
    std::erase(windows_, window);
}

}  // namespace platform
