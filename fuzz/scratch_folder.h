// What the targets that play or check whole scenarios share: a folder per
// fuzzing process, removed at exit, the pictures put in it, and a header
// that makes the fuzzer's bytes a game.
#pragma once

#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "graphics/Las_grf.h"
#include "graphics/Png_write.h"

// A start position the fuzzer's pages can reach without guessing the
// Japanese default names.
constexpr char kScenarioHeader[] =
    "/// fuzz\r\n<Head=\"Velto\">\r\nFileType=OV3\r\nStartBook=b\r\nStartPage=p\r\n<Head End>\r\n";

inline bool WriteFile(const std::string& path, const void* data, size_t size,
                      const char* prefix = "") {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    std::fputs(prefix, file);
    std::fwrite(data, 1, size, file);
    return std::fclose(file) == 0;
}

struct ScratchFolder {
    std::string path;  // empty when it could not be made
    explicit ScratchFolder(const std::string& prefix) {
        std::string pattern = "/tmp/" + prefix + "XXXXXX";
        if (mkdtemp(pattern.data())) path = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // A patterned PNG picture, its alpha a ramp from left to right when asked.
    void WritePicture(const std::string& name, int32_t width, int32_t height,
                      bool alpha = false) const {
        graphics::TLasGraphic picture;
        picture.SetSize(width, height);
        if (alpha) picture.SetTransparencyMode(graphics::TransparencyMode::Alpha);
        for (int32_t y = 0; y < height; ++y) {
            for (int32_t x = 0; x < width; ++x) {
                picture.Row(y)[x] = uint32_t(x * 7 + y * 0x300) & 0xFFFFFF;
                if (alpha) picture.MaskRow(y)[x] = uint8_t(x * 255 / width);
            }
        }
        graphics::SavePngFile(picture, path + "/" + name);
    }
};
