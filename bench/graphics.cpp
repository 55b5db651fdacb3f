// Composing a 640 x 480 screen: five full-size layers drawn in turn (one
// opaque, two keyed, two alpha), beside five frame-sized memcpys, the floor
// that composition can approach. Each layer mode is also timed alone.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "graphics/Las_grf.h"

using graphics::TLasGraphic;
using graphics::TransparencyMode;

namespace {

constexpr int32_t kWidth = 640;
constexpr int32_t kHeight = 480;
constexpr size_t kFrameBytes = size_t(kWidth) * kHeight * sizeof(uint32_t);

// Noise colours; keyed layers are covered in runs like sprites, alpha layers
// carry every coverage from clear to full.
TLasGraphic Layer(TransparencyMode mode, uint32_t seed) {
    std::mt19937 random(seed);
    TLasGraphic layer;
    layer.SetTransparencyMode(mode);
    layer.SetSize(kWidth, kHeight);
    for (int32_t y = 0; y < kHeight; ++y) {
        uint32_t* row = layer.Row(y);
        uint8_t* mask = layer.MaskRow(y);
        for (int32_t x = 0; x < kWidth; ++x) {
            row[x] = random() & 0xFFFFFF;
            if (mode == TransparencyMode::Keyed) mask[x] = ((x / 40 + y / 30) % 3 == 0) ? 0 : 255;
            if (mode == TransparencyMode::Alpha) mask[x] = uint8_t(x + y);
        }
    }
    return layer;
}

void DrawWhole(const TLasGraphic& layer, TLasGraphic& screen) {
    layer.Draw(screen, 0, 0, kWidth, kHeight, 0, 0);
}

void BM_ComposeFiveLayers(benchmark::State& state) {
    std::vector<TLasGraphic> layers;
    layers.push_back(Layer(TransparencyMode::Opaque, 1));
    layers.push_back(Layer(TransparencyMode::Keyed, 2));
    layers.push_back(Layer(TransparencyMode::Alpha, 3));
    layers.push_back(Layer(TransparencyMode::Keyed, 4));
    layers.push_back(Layer(TransparencyMode::Alpha, 5));
    TLasGraphic screen;
    screen.SetSize(kWidth, kHeight);
    for (auto _ : state) {
        for (const TLasGraphic& layer : layers) DrawWhole(layer, screen);
        benchmark::DoNotOptimize(screen.Row(0));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 5 * kFrameBytes);
}
BENCHMARK(BM_ComposeFiveLayers);

void BM_FiveFrameMemcpys(benchmark::State& state) {
    std::vector<std::vector<uint32_t>> sources;
    for (uint32_t seed = 1; seed <= 5; ++seed) {
        sources.emplace_back(size_t(kWidth) * kHeight, seed);
    }
    std::vector<uint32_t> screen(size_t(kWidth) * kHeight);
    for (auto _ : state) {
        for (const auto& source : sources) std::memcpy(screen.data(), source.data(), kFrameBytes);
        benchmark::DoNotOptimize(screen.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 5 * kFrameBytes);
}
BENCHMARK(BM_FiveFrameMemcpys);

// One layer of the given mode onto a screen; Arg is the mode's value.
void BM_DrawOneLayer(benchmark::State& state) {
    TLasGraphic layer = Layer(TransparencyMode(state.range(0)), 7);
    TLasGraphic screen;
    screen.SetSize(kWidth, kHeight);
    for (auto _ : state) {
        DrawWhole(layer, screen);
        benchmark::DoNotOptimize(screen.Row(0));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFrameBytes);
}
BENCHMARK(BM_DrawOneLayer)->ArgName("mode")->Arg(0)->Arg(1)->Arg(3);

// The fade's constant-alpha blend of a whole frame.
void BM_BlendOpaqueFrame(benchmark::State& state) {
    TLasGraphic target = Layer(TransparencyMode::Opaque, 8);
    TLasGraphic screen;
    screen.SetSize(kWidth, kHeight);
    for (auto _ : state) {
        target.BlendOpaque(screen, 0, 0, kWidth, kHeight, 0, 0, 127);
        benchmark::DoNotOptimize(screen.Row(0));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kFrameBytes);
}
BENCHMARK(BM_BlendOpaqueFrame);

}  // namespace
