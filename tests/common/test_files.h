// Files on disk for tests: a fresh folder per test, whole-file reads and
// writes, and CP932 text written readably as UTF-8.
#pragma once

#include <gtest/gtest.h>

#include <stdlib.h>
#include <cstdio>
#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/encoding.h"

namespace testkit {

namespace fs = std::filesystem;

// The whole file, or "<missing>" when it cannot be opened.
inline std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Creates the folders on the way.
inline void WriteFile(const fs::path& path, const std::string& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every file below `folder` by its path relative to it, with its bytes.
inline std::map<std::string, std::string> FilesBelow(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[entry.path().lexically_relative(folder).string()] = ReadFile(entry.path());
        }
    }
    return files;
}

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline std::string Repeated(std::string_view piece, size_t count) {
    std::string text;
    text.reserve(piece.size() * count);
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
}

// The player holds every text as CP932 bytes.
inline std::string Cp932(std::string_view utf8) {
    return platform::Utf8ToCp932(utf8);
}

// A scenario file as the authoring tool writes it: CP932, CR LF. Here lines
// may also be parted by " | ", so that a command stands on one line with its
// parameters.
inline std::string ScenarioText(const std::string& utf8) {
    std::string text;
    for (const std::string& line : SplitLines(utf8)) {
        for (size_t start = 0, end;; start = end + 3) {
            end = line.find(" | ", start);
            text += line.substr(start, end - start) + "\r\n";
            if (end == std::string::npos) break;
        }
    }
    return Cp932(text);
}

// A fresh temporary folder for each test, removed after it.
class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = (fs::temp_directory_path() / "orv-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        dir = name;
        base = name + "/";
    }
    // ORV_KEEP_TEMP=1 keeps the folder, to look at what a failing test left.
    void TearDown() override {
        if (const char* keep = std::getenv("ORV_KEEP_TEMP"); keep && *keep == '1') {
            std::fprintf(stderr, "kept %s\n", dir.c_str());
        } else {
            fs::remove_all(dir);
        }
    }

    std::string Path(const std::string& relative) const { return base + relative; }
    // Returns the file's path.
    std::string Write(const std::string& relative, const std::string& bytes) const {
        WriteFile(Path(relative), bytes);
        return Path(relative);
    }
    std::string Read(const std::string& relative) const { return ReadFile(Path(relative)); }

    fs::path dir;
    std::string base;  // the folder's path ending in "/"
};

}  // namespace testkit
