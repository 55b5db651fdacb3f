// Dynamic layers on a 640 x 480 screen shown in a headless window, beside a
// memcpy of one frame. An animation tick: a two-frame looping marker and ten
// image buttons, the frame advanced, the display updated and uploaded (goal:
// under 100 us). A pointer move over twenty buttons: the hit test and, when a
// button lights up or goes out, the update and the upload (goal: under
// 200 us). Each is timed with the whole screen and with only the changed
// rectangle.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "graphics/Dyna_lay.h"
#include "graphics/Las_scrn.h"
#include "platform/headless.h"

using graphics::TClip;
using graphics::TDynamicLayerList;
using graphics::TLasGraphic;

namespace {

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;

// A keyed picture of `frames` x `rows` cells, each a framed block with a
// transparent corner.
TLasGraphic Strip(int32_t cellWidth, int32_t cellHeight, int32_t frames, int32_t rows) {
    TLasGraphic picture;
    picture.SetSize(cellWidth * frames, cellHeight * rows);
    for (int32_t y = 0; y < picture.Height(); ++y) {
        for (int32_t x = 0; x < picture.Width(); ++x) {
            int32_t cx = x % cellWidth, cy = y % cellHeight;
            bool corner = cx < 4 && cy < 4;
            bool frame = cx < 8 || cy < 8 || cx >= cellWidth - 8 || cy >= cellHeight - 8;
            picture.Row(y)[x] = corner  ? 0xFFFFFFu
                                : frame ? 0x204080u + uint32_t(y / cellHeight * 0x200000)
                                        : uint32_t(x * 3 + y) & 0xFFFFFF;
        }
    }
    picture.ApplyColourKey();
    return picture;
}

std::unique_ptr<TDynamicLayerList> Button(const TLasGraphic& strip, int32_t frames, int32_t rows,
                                          int32_t left, int32_t top) {
    auto item = std::make_unique<TDynamicLayerList>();
    item->ImageFileName = "button.png";
    item->FrameCount = frames;
    item->RowCount = rows;
    item->Left = left;
    item->Top = top;
    item->SetupPicture(&strip);
    return item;
}

// A screen with a painted background in a headless window of its size.
class WindowedScreen {
public:
    WindowedScreen() : window_(platform::Windows().Create(sink_, {})), screen_(kWidth, kHeight) {
        window_->SetClientSize(kWidth, kHeight);
        screen_.SetCanvas(window_.get());
        TLasGraphic& background = screen_.BaseLayer().Picture();
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) background.Row(y)[x] = uint32_t(x << 8 | y);
        }
    }

    graphics::TLasScreen& Screen() { return screen_; }

private:
    platform::HeadlessBackend backend_;
    platform::ScopedBackend installed_{backend_};
    struct : platform::WindowSink {
    } sink_;
    std::unique_ptr<platform::Window> window_;
    graphics::TLasScreen screen_;
};

// The marker and ten 120 x 40 buttons of three rows, in two columns.
void AnimationTick(benchmark::State& state) {
    const bool partial = state.range(0) != 0;
    WindowedScreen windowed;
    graphics::TLasScreen& screen = windowed.Screen();
    const TLasGraphic buttons = Strip(120, 40, 1, 3);
    for (int32_t i = 0; i < 10; ++i) {
        screen.DynamicLayers().Add(Button(buttons, 1, 3, 60 + i % 2 * 300, 40 + i / 2 * 60));
    }
    auto marker = Button(Strip(24, 24, 2, 1), 2, 1, 580, 420);
    marker->AnimationMode = TDynamicLayerList::kAnimationLoop;
    const TClip markerArea = marker->Area();
    screen.DynamicLayers().Add(std::move(marker));
    screen.Refresh();
    for (auto _ : state) {
        if (!screen.DynamicLayers().AnimateStep()) state.SkipWithError("no frame changed");
        if (partial) {
            screen.UpdateDisplay(markerArea);
            screen.Present(markerArea);
        } else {
            screen.UpdateDisplay();
            screen.Present();
        }
    }
}
BENCHMARK(AnimationTick)->ArgName("partial")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// The smallest rectangle holding both.
TClip Union(const TClip& a, const TClip& b) {
    int32_t left = std::min(a.X, b.X), top = std::min(a.Y, b.Y);
    int32_t right = std::max(a.X + a.Width, b.X + b.Width);
    int32_t bottom = std::max(a.Y + a.Height, b.Y + b.Height);
    return {left, top, right - left, bottom - top};
}

// Twenty 140 x 60 buttons in a 4 x 5 grid; the pointer moves from one button
// to the next, so every move lights one up and puts another out.
void PointerMove(benchmark::State& state) {
    const bool partial = state.range(0) != 0;
    WindowedScreen windowed;
    graphics::TLasScreen& screen = windowed.Screen();
    const TLasGraphic buttons = Strip(140, 60, 1, 3);
    for (int32_t i = 0; i < 20; ++i) {
        auto button = Button(buttons, 1, 3, 20 + i % 4 * 155, 20 + i / 4 * 90);
        button->ClickableMode = graphics::TClickableMode::Opaque;
        button->RowActive = 2;
        screen.DynamicLayers().Add(std::move(button));
    }
    screen.Refresh();
    const auto& items = screen.DynamicLayers().Items();
    size_t at = 0;
    for (auto _ : state) {
        const size_t next = (at + 7) % items.size();
        const TDynamicLayerList& target = *items[next];
        if (!screen.DynamicLayers().HitTest(target.Left + 50, target.Top + 30, true)) {
            state.SkipWithError("no state changed");
        }
        if (partial) {
            const TClip changed = Union(items[at]->Area(), target.Area());
            screen.UpdateDisplay(changed);
            screen.Present(changed);
        } else {
            screen.UpdateDisplay();
            screen.Present();
        }
        at = next;
    }
}
BENCHMARK(PointerMove)->ArgName("partial")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void Memcpy640x480(benchmark::State& state) {
    const size_t words = size_t(kWidth) * kHeight;
    std::vector<uint32_t> source(words, 0x123456), frame(words);
    for (auto _ : state) {
        std::memcpy(frame.data(), source.data(), words * sizeof(uint32_t));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Memcpy640x480)->Unit(benchmark::kMicrosecond);

}  // namespace
