// Loading a large scenario: read, split, index, then fetch every command of
// every page, beside the bare cost of reading the file and splitting it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "scenario/Cmdctrl3.h"
#include "scenario/Velto_file.h"
#include "temp_path.h"

namespace {

constexpr int kBooks = 20;
constexpr int kPagesPerBook = 100;
constexpr int kCommandsPerPage = 49;  // each with one parameter line: 98 inner lines

struct ScenarioFile {
    std::string path;
    std::vector<std::pair<std::string, std::string>> pages;

    ScenarioFile() {
        path = TempPath("orv_bench_scenario");
        std::ofstream out(path, std::ios::binary);
        out << "/// benchmark scenario\r\n/// generated\r\n";
        for (int b = 0; b < kBooks; ++b) {
            std::string book = "book" + std::to_string(b);
            out << "<Book=\"" << book << "\">\r\n";
            for (int p = 0; p < kPagesPerBook; ++p) {
                std::string page = "page" + std::to_string(p);
                pages.emplace_back(book, page);
                out << "<Page=\"" << page << "\">\r\n";
                for (int c = 0; c < kCommandsPerPage; ++c) {
                    out << "MessageDraw.Text=line " << c << " of a message in the benchmark\r\n"
                        << "@MessageDraw\r\n";
                }
                out << "<Page End>\r\n";
            }
            out << "<Book End>\r\n";
        }
    }
    ~ScenarioFile() { std::remove(path.c_str()); }
};

const ScenarioFile& Scenario() {
    static ScenarioFile file;
    return file;
}

void LoadIndexAndFetchEveryCommand(benchmark::State& state) {
    const ScenarioFile& file = Scenario();
    int64_t commands = 0;
    for (auto _ : state) {
        scenario::TVeltoFile doc;
        doc.LoadFromFile(file.path);
        scenario::TCommandCtrl cache;
        cache.File = &doc;
        for (const auto& [book, page] : file.pages) {
            cache.SetBook(book);
            cache.SetPage(page);
            int32_t count = cache.GetCount();
            for (int32_t i = 0; i < count; ++i) {
                scenario::TVeltoCommand command;
                cache.GetCommand(i, command);
                benchmark::DoNotOptimize(command);
                ++commands;
            }
        }
    }
    state.counters["lines"] = static_cast<double>(Scenario().pages.size() * 100);
    state.SetItemsProcessed(commands);
}
BENCHMARK(LoadIndexAndFetchEveryCommand)->Unit(benchmark::kMillisecond);

// Reference: read the same file and split it into lines.
void ReadFileAndSplitLines(benchmark::State& state) {
    const ScenarioFile& file = Scenario();
    for (auto _ : state) {
        std::ifstream in(file.path, std::ios::binary);
        std::stringstream buffer;
        buffer << in.rdbuf();
        std::vector<std::string> lines;
        for (std::string line; std::getline(buffer, line);) lines.push_back(std::move(line));
        benchmark::DoNotOptimize(lines.data());
    }
}
BENCHMARK(ReadFileAndSplitLines)->Unit(benchmark::kMillisecond);

}  // namespace
