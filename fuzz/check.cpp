// Arbitrary scenario text run through `vp3tool check` as a plain scenario
// file, with the system library the build makes and a few pictures beside
// it: whatever the pages say, the check must end without a crash or hang.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "graphics/Las_grf.h"
#include "graphics/Png_write.h"
#include "vp3tool.h"

namespace {

// A start position the fuzzer's pages can reach without guessing the
// Japanese default names.
constexpr char kHeader[] =
    "/// fuzz\r\n<Head=\"Velto\">\r\nFileType=OV3\r\nStartBook=b\r\nStartPage=p\r\n<Head End>\r\n";

void WritePicture(const std::string& path, int32_t width, int32_t height) {
    graphics::TLasGraphic picture;
    picture.SetSize(width, height);
    graphics::SavePngFile(picture, path);
}

// One folder per process for the scenario and its pictures (one wider than
// any screen), removed at exit.
struct GameFolder {
    std::string path;
    GameFolder() {
        char name[] = "/tmp/orv_fuzz_checkXXXXXX";
        if (!mkdtemp(name)) return;
        path = name;
        WritePicture(path + "/bg.png", 320, 240);
        WritePicture(path + "/wide.png", 1200, 8);
        std::FILE* broken = std::fopen((path + "/broken.bmp").c_str(), "wb");
        if (broken) std::fclose(broken);
    }
    ~GameFolder() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
};

bool WriteScenario(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fputs(kHeader, file);
    std::fwrite(data, 1, size, file);
    return std::fclose(file) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The findings are of no interest here, only that they can be made.
    if (!std::freopen("/dev/null", "w", stdout)) return 1;
    static platform::ScopedBackend installed(vp3tool::Platform());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const GameFolder folder;
    if (folder.path.empty()) return 0;
    const std::string path = folder.path + "/game.vp3";
    if (!WriteScenario(path, data, size)) return 0;
    vp3tool::Check({path, "--library", SYSTEM_LIBRARY});
    return 0;
}
