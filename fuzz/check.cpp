// Arbitrary scenario text run through `vp3tool check` as a plain scenario
// file, with the system library the build makes and a few pictures beside
// it: whatever the pages say, the check must end without a crash or hang.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "scratch_folder.h"
#include "vp3tool.h"

namespace {

// The scenario and its pictures, one wider than any screen.
struct GameFolder : ScratchFolder {
    GameFolder() : ScratchFolder("orv_fuzz_check") {
        if (path.empty()) return;
        WritePicture("bg.png", 320, 240);
        WritePicture("wide.png", 1200, 8);
        WriteFile(path + "/broken.bmp", "", 0);
    }
};

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
    if (!WriteFile(path, data, size, kScenarioHeader)) return 0;
    vp3tool::Check({path, "--library", SYSTEM_LIBRARY});
    return 0;
}
