// Arbitrary scenario text played by the headless runner for a bounded
// virtual time: no input may crash or hang the interpreter.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "shell/Headless.h"

namespace {

// A start position the fuzzer's pages can reach without guessing the
// Japanese default names.
constexpr char kHeader[] =
    "/// fuzz\r\n<Head=\"Velto\">\r\nFileType=OV3\r\nStartBook=b\r\nStartPage=p\r\n<Head End>\r\n";

// One folder per process for the scenario and the settings file the player
// writes beside it, removed at exit.
struct ScratchFolder {
    std::string path;
    ScratchFolder() {
        char name[] = "/tmp/orv_fuzz_interpreterXXXXXX";
        if (mkdtemp(name)) path = name;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchFolder folder;
    if (folder.path.empty()) return 0;
    const std::string path = folder.path + "/game.vp3";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(kHeader, 1, sizeof kHeader - 1, file);
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    shell::HeadlessOptions options;
    options.packagePath = path;
    options.libraryPath = "/nonexistent/veltort3.vlb";
    options.seed = 1;
    options.maxTime = 20'000;
    platform::HeadlessBackend backend;
    platform::ScopedBackend installed(backend);
    shell::RunHeadless(options, backend);
    // Each input starts without the settings an earlier one left.
    std::remove((folder.path + "/game.cfg").c_str());
    return 0;
}
