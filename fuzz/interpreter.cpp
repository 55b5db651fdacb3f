// Arbitrary scenario text played by the headless runner for a bounded
// virtual time, on a game folder with a few pictures: no input may crash or
// hang the interpreter. Bytes after the first NUL become pointer moves,
// clicks, sleeps, message-box answers and window drags, three bytes an action.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "scratch_folder.h"
#include "shell/Headless.h"

namespace {

// The scenario, its pictures and the settings file the player writes beside it.
struct GameFolder : ScratchFolder {
    GameFolder() : ScratchFolder("orv_fuzz_interpreter") {
        if (path.empty()) return;
        WritePicture("bg.png", 320, 240);
        WritePicture("chr.png", 48, 96, true);
        WritePicture("btn.png", 60, 60);  // three rows
        WritePicture("_inputchar.png", 16, 8);
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const GameFolder folder;
    if (folder.path.empty()) return 0;
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t textSize = end ? size_t(end - data) : size;
    const std::string path = folder.path + "/game.vp3";
    const std::string inputPath = folder.path + "/input.txt";
    const std::string script = end ? InputScript(end + 1, size - textSize - 1) : "";
    if (!WriteFile(path, data, textSize, kScenarioHeader) ||
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
