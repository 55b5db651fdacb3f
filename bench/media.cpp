// What the player costs while it waits for a click, with and without Ogg
// music looping: the SDL backend with its window shown, the 200 ms step
// polling the music and restarting it at its end as the music control does,
// and the loop blocking in WaitUntil in between. Sound goes to SDL's disk
// driver (into /dev/null unless SDL_DISKAUDIOFILE says otherwise), which
// takes buffers as fast as a sound card plays them. Needs a display (make
// bench runs it under its own Xvfb).
//
// cpu_% is the process's time (all its threads: the audio thread decodes
// and mixes) over the time waited, in % of one core; the goal is under 2 %.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "sdl_window.h"

namespace {

constexpr uint32_t kStepMilliseconds = 200;
constexpr uint32_t kWaitMilliseconds = 10000;
constexpr double kGoalPercent = 2.0;
const char* const kMusic = ORV_TEST_DATA "/media/raylib_target_stereo_22k.ogg";

double ProcessSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_WaitForClick(benchmark::State& state) {
    const bool withMusic = state.range(0) != 0;
    setenv("SDL_AUDIODRIVER", "disk", 0);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 0);
    bench::ShownSdlWindow shown(1);
    if (!shown.Shown()) {
        state.SkipWithError(shown.Problem().c_str());
        return;
    }
    const std::vector<uint32_t> frame(size_t(bench::kWindowWidth) * bench::kWindowHeight,
                                      0x00336699);
    shown.Window().Upload(frame.data(), bench::kWindowWidth, bench::kWindowHeight,
                          bench::kWindowWidth, 0, 0);

    std::unique_ptr<platform::MediaPlayer> music =
        platform::Media().CreatePlayer(platform::MediaChannel::Music);
    if (withMusic && !music->Open(kMusic)) {
        state.SkipWithError("the music does not play");
        return;
    }
    int rounds = 0;
    const auto step = platform::Events().StartTimer(kStepMilliseconds, [&] {
        if (withMusic && music->IsEnded()) {
            music->SetPosition(0);
            music->Resume();
            ++rounds;
        }
    });
    double cpu = 0;
    for (auto _ : state) {
        const double before = ProcessSeconds();
        const auto start = std::chrono::steady_clock::now();
        const uint32_t until = platform::TickCount() + kWaitMilliseconds;
        while (!platform::TickReached(platform::TickCount(), until)) {
            platform::Events().WaitUntil(until);
            platform::Events().ProcessMessages();
        }
        const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - start;
        cpu = (ProcessSeconds() - before) / waited.count() * 100;
    }
    platform::Events().StopTimer(step);
    state.counters["cpu_%"] = cpu;
    state.counters["goal_%"] = kGoalPercent;
    state.counters["loops"] = rounds;
}
BENCHMARK(BM_WaitForClick)
    ->ArgName("music")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
