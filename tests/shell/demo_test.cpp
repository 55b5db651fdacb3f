// The bundled demo game, played whole by its committed playthrough script as
// `make run` plays it, and once more taking the other item of its choice.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/test_files.h"
#include "common/test_platform.h"
#include "platform/fonts.h"
#include "shell/Headless.h"

using namespace testkit;

namespace {

using Lines = std::vector<std::string>;

// Where the playthrough's pointer would light the second item of the choice.
constexpr std::string_view kSecondChoiceItem = "move 150 165";

struct Outcome {
    int status;
    Lines trace;
    Lines messages;
    Lines windows;
};

// "TICK BOOK/PAGE#INDEX COMMAND" -> "BOOK/PAGE".
std::string PageOf(const std::string& traceLine) {
    size_t start = traceLine.find(' ') + 1;
    return traceLine.substr(start, traceLine.find('#') - start);
}

bool Visited(const Lines& trace, const std::string& page) {
    return std::any_of(trace.begin(), trace.end(),
                       [&](const std::string& line) { return PageOf(line) == page; });
}

class Demo : public TempDirTest {
protected:
    // The items of the choice are as tall as the font makes them, and the
    // playthrough points at them.
    static void SetUpTestSuite() {
        platform::UseFontFileForEveryFace(std::string(ORV_TEST_DATA) + "/fonts/ipag.ttf");
    }
    static void TearDownTestSuite() { platform::UseFontFileForEveryFace(""); }

    static std::string Playthrough() {
        return ReadFile(std::string(ORV_DEMO_DATA) + "/playthrough.txt");
    }

    Outcome Play(const std::string& script) {
        // A copy, so that the settings file written at exit lands here.
        Write("demo.vp3", ReadFile(ORV_DEMO_PACKAGE));
        shell::HeadlessOptions options;
        options.packagePath = Path("demo.vp3");
        options.libraryPath = ORV_SYSTEM_LIBRARY;
        options.inputPath = Write("input.txt", script);
        options.tracePath = Path("trace.txt");
        options.messagesPath = Path("messages.txt");
        options.windowsPath = Path("windows.txt");
        options.screenshotPath = Path("end.png");
        options.seed = 1;
        ScopedPlatform host;
        int status = shell::RunHeadless(options, host.backend);
        return {status, SplitLines(Read("trace.txt")), SplitLines(Read("messages.txt")),
                SplitLines(Read("windows.txt"))};
    }

    // Played to the end without a message box, on a 640 x 480 screen.
    static void ExpectPlayedThrough(const Outcome& run) {
        EXPECT_EQ(run.status, shell::kExitDone) << "the script ran out while the game waited";
        EXPECT_EQ(run.messages, Lines{});
        ASSERT_FALSE(run.trace.empty());
        EXPECT_EQ(PageOf(run.trace.back()), "デモ/おわり") << run.trace.back();
        ASSERT_FALSE(run.windows.empty());
        EXPECT_TRUE(run.windows.front().starts_with("0 1 0 0 640 480 ")) << run.windows.front();
    }
};

}  // namespace

TEST_F(Demo, ThePlaythroughTakesTheFirstBranchToTheEnd) {
    Outcome run = Play(Playthrough());
    ExpectPlayedThrough(run);
    EXPECT_TRUE(Visited(run.trace, "デモ/森"));
    EXPECT_FALSE(Visited(run.trace, "デモ/海"));
    EXPECT_TRUE(Visited(run.trace, "デモ/ボタンの先")) << "the image button was taken";
    EXPECT_NE(Read("end.png"), "<missing>");
}

TEST_F(Demo, TheOtherItemOfTheChoiceReachesTheEndToo) {
    // The playthrough's first pointer move picks the choice item.
    Lines script = SplitLines(Playthrough());
    auto choice = std::find_if(script.begin(), script.end(),
                               [](const std::string& line) { return line.starts_with("move "); });
    ASSERT_NE(choice, script.end());
    *choice = kSecondChoiceItem;
    std::string text;
    for (const std::string& line : script) text += line + "\n";

    Outcome run = Play(text);
    ExpectPlayedThrough(run);
    EXPECT_TRUE(Visited(run.trace, "デモ/海"));
    EXPECT_FALSE(Visited(run.trace, "デモ/森"));
}
