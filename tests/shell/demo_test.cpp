// The bundled demo game, played whole by its committed playthrough script as
// `make run` plays it headless: the trace, the media log, the variables and
// the screen at the five moments the script marks; and once more taking the
// other item of its choice.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "common/test_files.h"
#include "common/test_pictures.h"
#include "common/test_platform.h"
#include "platform/fonts.h"
#include "shell/Headless.h"

using namespace testkit;

namespace {

using Lines = std::vector<std::string>;

// Where the playthrough's pointer would light the second item of the choice.
constexpr std::string_view kFirstChoiceItem = "move 150 138";
constexpr std::string_view kSecondChoiceItem = "move 150 165";
// The playthrough marks a moment for a screenshot with a comment line.
constexpr std::string_view kShotMark = "# [shot ";
const char* const kShots[] = {"message", "forest", "buttons", "town", "fortune"};

struct Outcome {
    int status;
    Lines trace;
    Lines messages;
    Lines media;
    Lines vars;
};

// "TICK BOOK/PAGE#INDEX COMMAND" -> "BOOK/PAGE" and "COMMAND".
std::string PageOf(const std::string& traceLine) {
    size_t start = traceLine.find(' ') + 1;
    return traceLine.substr(start, traceLine.find('#') - start);
}
std::string CommandOf(const std::string& traceLine) {
    std::string command = traceLine.substr(traceLine.find(' ', traceLine.find('#')) + 1);
    return command.substr(0, command.find(' '));
}

std::set<std::string> PagesOf(const Lines& trace) {
    std::set<std::string> pages;
    for (const std::string& line : trace) pages.insert(PageOf(line));
    return pages;
}

uint32_t TickOf(const std::string& line) {
    return static_cast<uint32_t>(std::stoul(line));
}

size_t CountEnding(const Lines& lines, const std::string& end) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.ends_with(end); });
}

class Demo : public TempDirTest {
protected:
    // The items of the choice and the buttons are as large as the font makes
    // them, and the playthrough points at them.
    static void SetUpTestSuite() {
        platform::UseFontFileForEveryFace(std::string(ORV_TEST_DATA) + "/fonts/ipag.ttf");
    }
    static void TearDownTestSuite() { platform::UseFontFileForEveryFace(""); }

    // The committed playthrough, its marks turned into screenshots here.
    std::string Playthrough(std::string_view choice = kFirstChoiceItem) const {
        std::string script;
        for (std::string line :
             SplitLines(ReadFile(std::string(ORV_DEMO_DATA) + "/playthrough.txt"))) {
            if (line.starts_with(kShotMark)) {
                line = "shot " +
                       Path(line.substr(kShotMark.size(), line.size() - kShotMark.size() - 1) +
                            ".png");
            }
            if (line == kFirstChoiceItem) line = choice;
            script += line + "\n";
        }
        return script;
    }

    Outcome Play(const std::string& script) {
        // A copy, so that the settings file written at exit lands here, with
        // the music and sounds where the build puts them beside it.
        Write("demo.vp3", ReadFile(ORV_DEMO_PACKAGE));
        for (const auto& file : fs::directory_iterator(ORV_DEMO_MEDIA)) {
            Write("demo/" + file.path().filename().string(), ReadFile(file.path()));
        }
        shell::HeadlessOptions options;
        options.packagePath = Path("demo.vp3");
        options.libraryPath = ORV_SYSTEM_LIBRARY;
        options.inputPath = Write("input.txt", script);
        options.tracePath = Path("trace.txt");
        options.messagesPath = Path("messages.txt");
        options.mediaLogPath = Path("media.txt");
        options.dumpVarsPath = Path("vars.txt");
        options.seed = 1;
        ScopedPlatform host;
        int status = shell::RunHeadless(options, host.backend);
        // Files as the game names them, under its data directory.
        Lines media = SplitLines(Read("media.txt"));
        for (std::string& line : media) {
            if (size_t folder = line.find(Path("")); folder != std::string::npos) {
                line.erase(folder, Path("").size());
            }
        }
        return {status, SplitLines(Read("trace.txt")), SplitLines(Read("messages.txt")), media,
                SplitLines(Read("vars.txt"))};
    }

    // Played to its last page without a message box.
    static void ExpectPlayedThrough(const Outcome& run) {
        EXPECT_EQ(run.status, shell::kExitDone) << "the script ran out while the game waited";
        EXPECT_EQ(run.messages, Lines{});
        ASSERT_FALSE(run.trace.empty());
        EXPECT_EQ(PageOf(run.trace.back()), "デモ/おわり") << run.trace.back();
    }
};

}  // namespace

TEST_F(Demo, ThePlaythroughShowsEverySceneOfTheForestBranch) {
    Outcome run = Play(Playthrough());
    ExpectPlayedThrough(run);
    std::set<std::string> expected;
    for (const char* page : {"はじめに", "森", "合流", "案内", "ひとこと", "くすぐったい",
                             "ボタンの先", "数える", "港町", "見わたす", "おみくじ", "おわり"}) {
        expected.insert(std::string("デモ/") + page);
    }
    expected.insert("_system/_init");
    EXPECT_EQ(PagesOf(run.trace), expected) << "every button was taken, the sea left out";

    for (const char* var : {"StringFlag:名前=太郎", "StringFlag:行き先=森", "ValueFlag:回数=3",
                            "ValueFlag:視点=240", "StringFlag:運勢=中吉"}) {
        EXPECT_NE(std::find(run.vars.begin(), run.vars.end(), var), run.vars.end()) << var;
    }
    for (const char* shot : kShots) {
        graphics::TLasGraphic picture;
        ASSERT_TRUE(picture.LoadPngFile(Path(std::string(shot) + ".png"))) << shot;
        ExpectGolden(picture, std::string("demo_") + shot);
    }

    // The tune loops until the chime, which the game waits for; a pop for the
    // guide's face and one for each count; the tune again for the farewell.
    ASSERT_FALSE(run.media.empty());
    EXPECT_EQ(run.media.front(), "200 music open demo/theme.wav");
    EXPECT_GE(CountEnding(run.media, "music rewind demo/theme.wav"), 2u);
    EXPECT_EQ(CountEnding(run.media, "music stop demo/theme.wav"), 1u);
    EXPECT_EQ(CountEnding(run.media, "sound open demo/pop.wav"), 4u);
    EXPECT_EQ(run.media.back().substr(run.media.back().find(' ')), " music open demo/theme.wav");
    auto chime = std::find_if(run.trace.begin(), run.trace.end(), [](const std::string& line) {
        return line.ends_with("@Sound") && PageOf(line) == "デモ/ボタンの先";
    });
    ASSERT_NE(chime, run.trace.end());
    ASSERT_NE(chime + 1, run.trace.end());
    EXPECT_EQ(TickOf(*(chime + 1)) - TickOf(*chime), 900u) << "as long as chime.wav";
}

TEST_F(Demo, TheSeaBranchToAndBothTogetherUseEveryCommand) {
    Outcome forest = Play(Playthrough());
    Outcome sea = Play(Playthrough(kSecondChoiceItem));
    ExpectPlayedThrough(sea);
    std::set<std::string> pages = PagesOf(sea.trace);
    EXPECT_TRUE(pages.contains("デモ/海"));
    EXPECT_FALSE(pages.contains("デモ/森"));

    std::set<std::string> used;
    for (const Lines* trace : {&forest.trace, &sea.trace}) {
        for (const std::string& line : *trace) used.insert(CommandOf(line));
    }
    EXPECT_EQ(used, (std::set<std::string>{"@rem",        "@if",           "@else",
                                           "@endif",      "@MessageDraw",  "@GraphicDraw",
                                           "@Effect",     "@Music",        "@Sound",
                                           "@MusicStop",  "@ValueCtrl",    "@StringCtrl",
                                           "@LayerCtrl",  "@GraphicCtrl",  "@Wait",
                                           "@Select",     "@Move",         "@Call",
                                           "@Return",     "@DynamicLayer", "@DynamicLayerClear",
                                           "@WindowShow", "@StringInput",  "@System"}));
}
