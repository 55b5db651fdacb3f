// Screen composition and transition effects. Refresh of a 640x480 screen with
// five full-size visible layers (one opaque, two keyed, two alpha) beside five
// memcpys of a frame; one frame of each effect at 800x600 beside a memcpy of
// one frame. Effects run on the virtual clock, so only the drawing is timed:
// the figure is each run's slowest frame, in the thread's processor time
// between two frames shown (wall time on a busy machine is mostly other
// programs' time slices).
#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "graphics/Las_eff.h"
#include "graphics/Las_scrn.h"
#include "platform/headless.h"

using graphics::TLasGraphic;
using graphics::TransparencyMode;

namespace {

double ThreadSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// A picture with a little of everything: gradients and a pattern that the
// colour key can pick out.
void Paint(TLasGraphic& picture, int32_t width, int32_t height, uint32_t seed) {
    picture.SetSize(width, height);
    for (int32_t y = 0; y < height; ++y) {
        uint32_t* row = picture.Row(y);
        for (int32_t x = 0; x < width; ++x) {
            bool key = ((x + seed) / 16 + y / 16) % 3 == 0;
            row[x] = key ? 0xFFFFFFu
                         : (uint32_t(x + seed) & 0xFF) << 16 | (uint32_t(y) & 0xFF) << 8 | seed;
        }
    }
}

void Refresh640x480(benchmark::State& state) {
    constexpr int32_t kWidth = 640, kHeight = 480;
    graphics::TLasScreen screen(kWidth, kHeight);
    Paint(screen.BaseLayer().Picture(), kWidth, kHeight, 0);
    graphics::TLasLayer* below = &screen.BaseLayer();
    for (uint32_t i = 1; i < 5; ++i) {
        graphics::TLasLayer& layer = screen.AddLayerAfter(*below);
        layer.SetExtent(kWidth, kHeight);
        layer.SetVisible(true);
        Paint(layer.Picture(), kWidth, kHeight, 40 * i);
        if (i <= 2) {
            layer.Picture().ApplyColourKey();
        } else {
            layer.Picture().SetTransparencyMode(TransparencyMode::Alpha);
            for (int32_t y = 0; y < kHeight; ++y) {
                uint8_t* mask = layer.Picture().MaskRow(y);
                for (int32_t x = 0; x < kWidth; ++x) mask[x] = uint8_t(x + y);
            }
        }
        below = &layer;
    }
    for (auto _ : state) {
        screen.Refresh();
        benchmark::DoNotOptimize(screen.Display().Row(0));
    }
}
BENCHMARK(Refresh640x480)->Unit(benchmark::kMicrosecond);

void CopyFrames(benchmark::State& state, int32_t width, int32_t height, int count) {
    size_t words = size_t(width) * height;
    std::vector<std::vector<uint32_t>> sources(count, std::vector<uint32_t>(words, 0x123456));
    std::vector<uint32_t> frame(words);
    for (auto _ : state) {
        for (const auto& source : sources) {
            std::memcpy(frame.data(), source.data(), words * sizeof(uint32_t));
            benchmark::ClobberMemory();
        }
    }
}

void Memcpy640x480x5(benchmark::State& state) {
    CopyFrames(state, 640, 480, 5);
}
BENCHMARK(Memcpy640x480x5)->Unit(benchmark::kMicrosecond);

// Notes when each frame is shown; nothing is drawn.
class TimingCanvas : public platform::Canvas {
public:
    void Upload(const uint32_t*, int32_t, int32_t, int32_t, int32_t, int32_t) override {}
    void Flush() override {
        double now = ThreadSeconds();
        slowest = std::max(slowest, now - last);
        last = now;
    }
    double last = ThreadSeconds();
    double slowest = 0;
};

void EffectFrame800x600(benchmark::State& state) {
    constexpr int32_t kWidth = 800, kHeight = 600;
    platform::HeadlessBackend backend;
    platform::ScopedBackend installed(backend);
    TLasGraphic old, target, work;
    Paint(old, kWidth, kHeight, 7);
    Paint(target, kWidth, kHeight, 99);
    auto number = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        work.Assign(old);
        TimingCanvas canvas;
        graphics::RunEffectByNumber(number, canvas, work, target, {0, 0, kWidth, kHeight});
        state.SetIterationTime(canvas.slowest);
    }
}
BENCHMARK(EffectFrame800x600)
    ->DenseRange(0, graphics::kEffectCount - 1)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

void Memcpy800x600(benchmark::State& state) {
    CopyFrames(state, 800, 600, 1);
}
BENCHMARK(Memcpy800x600)->Unit(benchmark::kMicrosecond);

}  // namespace
