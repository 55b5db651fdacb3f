// A game window of 640 x 480 shown through the SDL backend, for the
// benchmarks that need a real display (make bench gives them an Xvfb).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/backend.h"
#include "platform/sdl_backend.h"

namespace bench {

constexpr int32_t kWindowWidth = 640;
constexpr int32_t kWindowHeight = 480;

class ShownSdlWindow {
public:
    explicit ShownSdlWindow(int scale) : backend_(platform::OpenSdlBackend({scale}, problem_)) {
        if (!backend_) return;
        installed_.emplace(*backend_);
        window_ = platform::Windows().Create(sink_, {});
        window_->SetClientSize(kWindowWidth, kWindowHeight);
        window_->SetVisible(true);
        platform::Events().ProcessMessages();
    }

    // Nothing shown when the display could not be opened; Problem() says why.
    bool Shown() const { return window_ != nullptr; }
    const std::string& Problem() const { return problem_; }
    platform::Window& Window() { return *window_; }

private:
    std::string problem_;
    std::unique_ptr<platform::Backend> backend_;
    std::optional<platform::ScopedBackend> installed_;
    platform::WindowSink sink_;
    std::unique_ptr<platform::Window> window_;
};

}  // namespace bench
