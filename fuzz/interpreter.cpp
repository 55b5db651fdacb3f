// Arbitrary scenario text played by the headless runner for a bounded
// virtual time, on a game folder with a few pictures: no input may crash or
// hang the interpreter. Bytes after the first NUL become pointer moves,
// clicks, sleeps, message-box answers and window drags, three bytes an action.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "graphics/Las_grf.h"
#include "graphics/Png_write.h"
#include "shell/Headless.h"

namespace {

// A start position the fuzzer's pages can reach without guessing the
// Japanese default names.
constexpr char kHeader[] =
    "/// fuzz\r\n<Head=\"Velto\">\r\nFileType=OV3\r\nStartBook=b\r\nStartPage=p\r\n<Head End>\r\n";

void WritePicture(const std::string& path, int32_t width, int32_t height, bool alpha) {
    graphics::TLasGraphic picture;
    picture.SetSize(width, height);
    if (alpha) picture.SetTransparencyMode(graphics::TransparencyMode::Alpha);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            picture.Row(y)[x] = uint32_t(x * 7 + y * 0x300) & 0xFFFFFF;
            if (alpha) picture.MaskRow(y)[x] = uint8_t(x * 255 / width);
        }
    }
    graphics::SavePngFile(picture, path);
}

// One folder per process for the scenario, its pictures and the settings
// file the player writes beside it, removed at exit.
struct GameFolder {
    std::string path;
    GameFolder() {
        char name[] = "/tmp/orv_fuzz_interpreterXXXXXX";
        if (!mkdtemp(name)) return;
        path = name;
        WritePicture(path + "/bg.png", 320, 240, false);
        WritePicture(path + "/chr.png", 48, 96, true);
        WritePicture(path + "/btn.png", 60, 60, false);  // three rows
        WritePicture(path + "/_inputchar.png", 16, 8, false);
    }
    ~GameFolder() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
};

std::string Action(uint8_t kind, uint8_t a, uint8_t b) {
    static const char* const answers[] = {"ok", "yes", "no", "abort", "ignore"};
    const std::string at = std::to_string(a * 3) + " " + std::to_string(b * 2);
    switch (kind % 7) {
        case 0:
        case 1:
            return "move " + at;
        case 2:
            return "click " + at;
        case 3:
            return "click";
        case 4:
            return "sleep " + std::to_string(a * 8);
        case 5:
            return std::string("answer ") + answers[a % 5];
        default:
            return "dragwindow " + std::to_string(a % 5 + 1) + " " + at;
    }
}

std::string InputScript(const uint8_t* data, size_t size) {
    std::string script;
    for (size_t i = 0; i + 3 <= size; i += 3)
        script += Action(data[i], data[i + 1], data[i + 2]) + "\n";
    return script;
}

bool WriteFile(const std::string& path, const void* data, size_t size, const char* prefix = "") {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fputs(prefix, file);
    std::fwrite(data, 1, size, file);
    return std::fclose(file) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const GameFolder folder;
    if (folder.path.empty()) return 0;
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t textSize = end ? size_t(end - data) : size;
    const std::string path = folder.path + "/game.vp3";
    const std::string inputPath = folder.path + "/input.txt";
    const std::string script = end ? InputScript(end + 1, size - textSize - 1) : "";
    if (!WriteFile(path, data, textSize, kHeader) ||
        !WriteFile(inputPath, script.data(), script.size())) {
        return 0;
    }

    shell::HeadlessOptions options;
    options.packagePath = path;
    options.libraryPath = "/nonexistent/veltort3.vlb";
    options.inputPath = inputPath;
    options.seed = 1;
    options.maxTime = 20'000;
    platform::HeadlessBackend backend;
    platform::ScopedBackend installed(backend);
    shell::RunHeadless(options, backend);
    // Each input starts without the settings an earlier one left.
    std::remove((folder.path + "/game.cfg").c_str());
    return 0;
}
