// Arbitrary scenario text played by the headless runner for a bounded
// virtual time: no input may crash or hang the interpreter.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "shell/Headless.h"

namespace {

// A start position the fuzzer's pages can reach without guessing the
// Japanese default names.
constexpr char kHeader[] =
    "/// fuzz\r\n<Head=\"Velto\">\r\nFileType=OV3\r\nStartBook=b\r\nStartPage=p\r\n<Head End>\r\n";

std::string TempPath() {
    char name[] = "/tmp/orv_fuzz_scenarioXXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) close(fd);
    return name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = TempPath();
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
    return 0;
}
