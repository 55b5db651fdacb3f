// The screens at 640 x 480 through the screen control, as the main loop uses
// it, presenting to a headless window; a memcpy of one frame is the reference.
// - Revealing a 400-character message to its end: CPU per character (goal:
//   under 50 us).
// - An animation tick with the blinking input marker and ten image buttons on
//   screen (goal: under 100 us).
// - A pointer move over twenty buttons: the hit test and the redraw it causes
//   (goal: under 200 us).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "graphics/Scrnctrl.h"
#include "platform/encoding.h"
#include "platform/headless.h"

namespace {

using graphics::TDynamicLayerList;
using graphics::TLasGraphic;

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;
constexpr int kCharacters = 400;

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

// Every picture asked for is the input marker's two 24 x 24 frames.
class MarkerPictures : public graphics::TPictureSource {
public:
    bool LoadImage(std::string_view, TLasGraphic& picture) override {
        picture.Assign(Strip(24, 24, 2, 1));
        return true;
    }
};

std::unique_ptr<TDynamicLayerList> Button(const TLasGraphic& strip, int32_t left, int32_t top) {
    auto item = std::make_unique<TDynamicLayerList>();
    item->ImageFileName = "button.png";
    item->RowCount = 3;
    item->RowActive = 2;
    item->ClickableMode = graphics::TClickableMode::Opaque;
    item->Left = left;
    item->Top = top;
    item->SetupPicture(&strip);
    return item;
}

// Screen 0 of a screen control shown in a headless window, its background painted.
class ShownScreens {
public:
    ShownScreens() : window_(platform::Windows().Create(sink_, {})) {
        layers_.SetDocument(&document_);
        screens_.InitScreens();
        window_->SetClientSize(kWidth, kHeight);
        window_->SetVisible(true);
        screens_.SetCanvas(window_.get(), 0);
        TLasGraphic& background = screens_.ScreenOf(0)->BaseLayer().Picture();
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) background.Row(y)[x] = uint32_t(x << 8 | y);
        }
        screens_.Refresh(0);
    }

    graphics::TScreenControl& Screens() { return screens_; }

    // The window presented, as the loop does before it waits.
    void Present() { platform::Events().WaitUntil(platform::TickCount()); }

private:
    platform::HeadlessBackend backend_;
    platform::ScopedBackend installed_{backend_};
    scenario::TVeltoFile document_;
    graphics::TLayerCtrl layers_;
    MarkerPictures pictures_;
    scenario::TVeltoProcess process_;
    graphics::TScreenControl screens_{{document_, layers_, pictures_, process_}};
    platform::WindowSink sink_;
    std::unique_ptr<platform::Window> window_;
};

// 400 characters in lines of 25, each line a little narrower than the screen.
std::string Message() {
    const std::string kana = "あいうえおかきくけこさしすせそたちつてとなにぬねの";
    std::string message;
    for (int line = 0; line < kCharacters / 25; ++line) message += kana + "#";
    return platform::Utf8ToCp932(message);
}

void RevealMessage640x480(benchmark::State& state) {
    ShownScreens shown;
    graphics::TScreenControl& screens = shown.Screens();
    const std::string message = Message();
    for (auto _ : state) {
        screens.RenderMessage(0, message, graphics::kTextLayerName);
        while (screens.DrawMessageStep(0, graphics::kTextLayerName)) {
        }
        shown.Present();
    }
    state.counters["per_character"] =
        benchmark::Counter(double(state.iterations()) * kCharacters,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(RevealMessage640x480)->Unit(benchmark::kMillisecond);

// The marker and ten 120 x 40 buttons of three rows, in two columns.
void AnimationTick(benchmark::State& state) {
    ShownScreens shown;
    graphics::TScreenControl& screens = shown.Screens();
    const TLasGraphic buttons = Strip(120, 40, 1, 3);
    for (int32_t i = 0; i < 10; ++i) {
        screens.AddDynamicLayer(0, Button(buttons, 60 + i % 2 * 300, 40 + i / 2 * 60));
    }
    screens.ShowInputMarker(0, 580, 420);
    screens.AnimateDynamicLayers();  // the marker comes in whole
    for (auto _ : state) {
        screens.AnimateDynamicLayers();
        shown.Present();
    }
}
BENCHMARK(AnimationTick)->Unit(benchmark::kMicrosecond);

// Twenty 140 x 60 buttons in a 4 x 5 grid; the pointer moves from one button
// to another, so every move lights one up and puts another out.
void PointerMove(benchmark::State& state) {
    ShownScreens shown;
    graphics::TScreenControl& screens = shown.Screens();
    const TLasGraphic buttons = Strip(140, 60, 1, 3);
    for (int32_t i = 0; i < 20; ++i) {
        screens.AddDynamicLayer(0, Button(buttons, 20 + i % 4 * 155, 20 + i / 4 * 90));
    }
    screens.UpdateAndPresent(0);
    graphics::TDynamicLayer& layers = *screens.DynamicLayersOf(0);
    size_t at = 0;
    for (auto _ : state) {
        at = (at + 7) % layers.Items().size();
        const TDynamicLayerList& target = *layers.Items()[at];
        if (!layers.HitTest(target.Left + 50, target.Top + 30, true)) {
            state.SkipWithError("no button lit up");
        }
        screens.UpdateChangedDynamicLayers(0);
        shown.Present();
    }
}
BENCHMARK(PointerMove)->Unit(benchmark::kMicrosecond);

void Memcpy640x480(benchmark::State& state) {
    std::vector<uint32_t> from(size_t(kWidth) * kHeight, 0x123456), to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * sizeof(uint32_t));
        benchmark::ClobberMemory();
    }
}
BENCHMARK(Memcpy640x480)->Unit(benchmark::kMicrosecond);

}  // namespace
