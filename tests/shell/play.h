// Games played whole by the headless runner, as a game author's regression
// test would: a package made in a temporary folder, an input script, and the
// trace, message log, variable dump, window list and screenshots it leaves.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/test_files.h"
#include "common/test_package.h"
#include "common/test_pictures.h"
#include "common/test_platform.h"
#include "graphics/Png_write.h"
#include "shell/Headless.h"

namespace testkit {

using Lines = std::vector<std::string>;

struct Outcome {
    int status;
    Lines trace;
    Lines messages;
    Lines vars;
    Lines windows;
};

class PlayTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        // The click marker: two frames of 8 x 8, red then blue.
        const std::string marker = PngBytes(
            Painted(16, 8, [](int32_t x, int32_t) { return x < 8 ? 0xE00000u : 0x0000E0u; }));
        Write("veltort3.vlb",
              PackageBytes({{"system.vf3", ScenarioText("/// system\n<Book=\"_system\">\n"
                                                        "<Page=\"_init\">\n@Return\n<Page End>\n"
                                                        "<Book End>\n")},
                            {"_inputchar.png", marker}},
                           "OV3LIB"));
    }

    // The bytes of a PNG file of the picture.
    std::string PngBytes(const graphics::TLasGraphic& picture) const {
        EXPECT_TRUE(graphics::SavePngFile(picture, Path("picture.png")));
        return Read("picture.png");
    }

    // A game starting at book "b", page "p": a plain scenario, or a package
    // holding the scenario and `files`.
    std::string Game(const std::string& pages, const std::string& velto = "",
                     std::vector<PackageEntry> files = {}) {
        std::string scenario = ScenarioText(
            "/// test game\n<Head=\"Velto\">\nFileType=OV3\nStartBook=b\nStartPage=p\n" + velto +
            "<Head End>\n<Book=\"b\">\n" + pages + "<Book End>\n");
        if (files.empty()) return Write("game.vp3", scenario);
        files.insert(files.begin(), {"velto.vf3", scenario});
        return Write("game.vp3", PackageBytes(files));
    }

    Outcome Play(const std::string& package, const std::string& input = "",
                 uint32_t maxTime = 3'600'000) {
        shell::HeadlessOptions options;
        options.packagePath = package;
        options.libraryPath = Path("veltort3.vlb");
        options.tracePath = Path("trace.txt");
        options.messagesPath = Path("messages.txt");
        options.dumpVarsPath = Path("vars.txt");
        options.windowsPath = Path("windows.txt");
        options.screenshotPath = Path("end.png");
        options.seed = 1;
        options.maxTime = maxTime;
        if (!input.empty()) options.inputPath = Write("input.txt", input);
        ScopedPlatform host;
        int status = shell::RunHeadless(options, host.backend);
        return {status, SplitLines(Read("trace.txt")), SplitLines(Read("messages.txt")),
                SplitLines(Read("vars.txt")), SplitLines(Read("windows.txt"))};
    }
};

}  // namespace testkit
