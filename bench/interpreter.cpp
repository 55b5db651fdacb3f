// The interpreter's own speed: a page of 499 "@ValueCtrl" commands looped by
// "@Move", run headless one step after another, beside the same arithmetic
// in a plain loop.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/headless.h"
#include "shell/Rtm_main.h"
#include "temp_path.h"

namespace {

constexpr int kValueCommands = 499;
constexpr int64_t kCommands = 1'000'000;

struct LoopScenario {
    std::string path;
    LoopScenario() {
        path = TempPath("orv_bench_loop");
        std::ofstream out(path, std::ios::binary);
        out << "/// benchmark\r\n<Head=\"Velto\">\r\nFileType=OV3\r\nStartBook=b\r\n"
               "StartPage=p\r\n<Head End>\r\n<Book=\"b\">\r\n<Page=\"p\">\r\n";
        for (int i = 0; i < kValueCommands; ++i) {
            out << "ValueCtrl.ValueVar=%v" << i % 10 << "%\r\nValueCtrl.LeftValue=%v" << i % 10
                << "%\r\nValueCtrl.RightValue=" << i << "\r\nValueCtrl.Calc=Add\r\n@ValueCtrl\r\n";
        }
        out << "Move.BookName=b\r\nMove.PageName=p\r\n@Move\r\n<Page End>\r\n<Book End>\r\n";
    }
    ~LoopScenario() {
        std::remove(path.c_str());
        std::remove((path + ".cfg").c_str());
    }
};

void InterpreterLoop(benchmark::State& state) {
    LoopScenario scenario;
    platform::HeadlessBackend backend;  // the missing library is reported to it
    platform::ScopedBackend installed(backend);
    shell::TfrmMain form;
    form.FormCreate(scenario.path, "/nonexistent/veltort3.vlb", 1);
    for (auto _ : state) {
        for (int64_t i = 0; i < kCommands; ++i) benchmark::DoNotOptimize(form.MainLoop_Step());
    }
    state.SetItemsProcessed(state.iterations() * kCommands);
    form.FormDestroy();
}
BENCHMARK(InterpreterLoop)->Unit(benchmark::kMillisecond);

// Reference: the same additions on ten variables in a plain loop.
void PlainLoop(benchmark::State& state) {
    int32_t v[10] = {};
    for (auto _ : state) {
        for (int64_t i = 0; i < kCommands; ++i) {
            int n = static_cast<int>(i % (kValueCommands + 1));
            if (n < kValueCommands) v[n % 10] += n;
            benchmark::DoNotOptimize(v);
        }
    }
    state.SetItemsProcessed(state.iterations() * kCommands);
}
BENCHMARK(PlainLoop)->Unit(benchmark::kMillisecond);

}  // namespace
