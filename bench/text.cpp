// Laying out and drawing a full message: 20 lines of Japanese text with a few
// tags into a 640 x 480 picture, the reveal script included. Copying a
// 640 x 480 screen of 32-bit pixels gives a reference figure.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/Las_grf.h"
#include "platform/encoding.h"

namespace {

constexpr int32_t kScreenWidth = 640;
constexpr int32_t kScreenHeight = 480;

// 20 lines, each a little narrower than the screen at size 16.
std::string Message() {
    const char* lines[] = {
        "「こんにちは」と<clRed>彼女<clBlack>は言った。今日は良い天気ですね。",
        "明日も晴れるでしょうか。<W5>空には白い雲が流れていく。",
        "<B>遠くの山々<N>が青く霞んで見える。風が少し冷たくなってきた。",
        "私たちは駅前の喫茶店に入り、窓際の席に腰を下ろした。<KEY>",
        "<+4>静かな午後<-4>だった。店の奥からコーヒーの香りが漂ってくる。",
    };
    std::string message;
    for (int i = 0; i < 20; ++i) message += std::string(lines[i % 5]) + (i < 19 ? "#" : "");
    return platform::Utf8ToCp932(message);
}

void BM_RenderMessage(benchmark::State& state) {
    const std::string message = Message();
    graphics::TLasGraphic picture;
    picture.TextFont.Size = 16;
    for (auto _ : state) {
        picture.Text = message;
        benchmark::DoNotOptimize(picture.RenderText(kScreenWidth, kScreenHeight));
    }
    if (!picture.Text.empty()) state.SkipWithError("the message did not fit on one page");
}
BENCHMARK(BM_RenderMessage)->Unit(benchmark::kMicrosecond);

void BM_CopyScreen(benchmark::State& state) {
    std::vector<uint32_t> from(size_t{kScreenWidth} * kScreenHeight, 0xFFFFFF);
    std::vector<uint32_t> to(from.size());
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * sizeof(uint32_t));
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_CopyScreen)->Unit(benchmark::kMicrosecond);

}  // namespace
