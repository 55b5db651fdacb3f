// Presenting a 640 x 480 frame in a real window through the SDL backend -
// upload, then flush to the screen - at scale 1 and 2, beside a frame-sized
// memcpy, the floor any present stands on. Needs a display (make bench runs
// it under its own Xvfb).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sdl_window.h"

namespace {

constexpr int32_t kWidth = bench::kWindowWidth;
constexpr int32_t kHeight = bench::kWindowHeight;
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * sizeof(uint32_t);

// Two different frames, so that no present could be skipped as unchanged.
std::vector<uint32_t> Frame(uint32_t seed) {
    std::vector<uint32_t> pixels(size_t(kWidth) * kHeight);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint32_t(i * 2654435761u + seed) >> 8;
    return pixels;
}

void BM_Memcpy640x480(benchmark::State& state) {
    const std::vector<uint32_t> from = Frame(1);
    std::vector<uint32_t> to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), kFrameBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFrameBytes);
}
BENCHMARK(BM_Memcpy640x480)->Unit(benchmark::kMicrosecond);

void BM_Present640x480(benchmark::State& state) {
    bench::ShownSdlWindow shown(int(state.range(0)));
    if (!shown.Shown()) {
        state.SkipWithError(shown.Problem().c_str());
        return;
    }
    platform::Window& window = shown.Window();
    const std::vector<uint32_t> frames[2] = {Frame(1), Frame(2)};
    size_t frame = 0;
    for (auto _ : state) {
        window.Upload(frames[++frame % 2].data(), kWidth, kHeight, kWidth, 0, 0);
        window.Flush();
        // The player handles its events between frames; so does the benchmark,
        // or they pile up.
        if (frame % 64 == 0) platform::Events().ProcessMessages();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFrameBytes);
}
BENCHMARK(BM_Present640x480)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace
