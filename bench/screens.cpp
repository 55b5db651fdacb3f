// Revealing a 400-character message through the screen control to its end,
// as the main loop does, presenting to a headless window: CPU per character.
// Copying a 640 x 480 screen of 32-bit pixels gives the reference.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "graphics/Scrnctrl.h"
#include "platform/encoding.h"
#include "platform/headless.h"

namespace {

constexpr int kCharacters = 400;

class NoPictures : public graphics::TPictureSource {
public:
    bool LoadImage(std::string_view, graphics::TLasGraphic&) override { return false; }
};

// 400 characters in lines of 25, each line a little narrower than the screen.
std::string Message() {
    const std::string kana = "あいうえおかきくけこさしすせそたちつてとなにぬねの";
    std::string message;
    for (int line = 0; line < kCharacters / 25; ++line) message += kana + "#";
    return platform::Utf8ToCp932(message);
}

void RevealMessage640x480(benchmark::State& state) {
    platform::HeadlessBackend backend;
    platform::ScopedBackend installed(backend);
    scenario::TVeltoFile document;
    graphics::TLayerCtrl layers;
    layers.SetDocument(&document);
    NoPictures pictures;
    scenario::TVeltoProcess process;
    graphics::TScreenControl screens({document, layers, pictures, process});
    screens.InitScreens();
    platform::WindowSink sink;
    std::unique_ptr<platform::Window> window = platform::Windows().Create(sink, {});
    window->SetClientSize(640, 480);
    window->SetVisible(true);
    screens.SetCanvas(window.get(), 0);
    const std::string message = Message();
    for (auto _ : state) {
        screens.RenderMessage(0, message, graphics::kTextLayerName);
        while (screens.DrawMessageStep(0, graphics::kTextLayerName)) {
        }
        platform::Events().WaitUntil(platform::TickCount());  // the window is presented
    }
    state.counters["per_character"] =
        benchmark::Counter(double(state.iterations()) * kCharacters,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(RevealMessage640x480)->Unit(benchmark::kMillisecond);

// Reference: one 640 x 480 screen copied.
void Memcpy640x480(benchmark::State& state) {
    std::vector<uint32_t> from(640 * 480, 0x123456), to(640 * 480);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * sizeof(uint32_t));
        benchmark::DoNotOptimize(to.data());
    }
}
BENCHMARK(Memcpy640x480)->Unit(benchmark::kMicrosecond);

}  // namespace
