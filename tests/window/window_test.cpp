// The player in real windows on a private X server, driven as a user would:
// what the windows show against the headless runner's screenshots of the
// same moment, clicks against headless traces, window moves, resizing, the
// close button and the settings it leaves behind.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/dialog_view.h"
#include "shell/play.h"
#include "window/x_session.h"

using namespace testkit;

namespace {

constexpr int32_t kWidth = 160;
constexpr int32_t kHeight = 120;
// The choices' rows: two items of 21-pixel lines from the top of their area.
constexpr int32_t kChoiceTop = 10;
constexpr int32_t kFirstChoiceY = kChoiceTop + 10;
constexpr int32_t kSecondChoiceY = kChoiceTop + 31;

// "TICK BOOK/PAGE#INDEX COMMAND" without the tick: windowed ticks are real time.
Lines WithoutTicks(const Lines& trace) {
    Lines commands;
    for (const std::string& line : trace) commands.push_back(line.substr(line.find(' ') + 1));
    return commands;
}

// "" when the window shows `picture` enlarged `scale` times at (left, top)
// with black around it; else where it first differs.
std::string Difference(const Screenshot& shot, const graphics::TLasGraphic& picture, int32_t scale,
                       int32_t left, int32_t top, int32_t width, int32_t height) {
    if (shot.width != width || shot.height != height) {
        return "the window is " + std::to_string(shot.width) + "x" + std::to_string(shot.height) +
               ", not " + std::to_string(width) + "x" + std::to_string(height);
    }
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
            const int32_t gx = (x - left) / scale, gy = (y - top) / scale;
            const bool inside =
                x >= left && y >= top && gx < picture.Width() && gy < picture.Height();
            const uint32_t expected = inside ? picture.Row(gy)[gx] & 0xFFFFFF : 0;
            if (shot.At(x, y) != expected) {
                char text[120];
                std::snprintf(text, sizeof text, "window pixel (%d, %d) is %06X, not %06X", x, y,
                              shot.At(x, y), expected);
                return text;
            }
        }
    }
    return "";
}

class Windowed : public PlayTest {
protected:
    static void SetUpTestSuite() { x_ = new XSession; }
    static void TearDownTestSuite() {
        delete x_;
        x_ = nullptr;
    }

    void SetUp() override {
        PlayTest::SetUp();
        ASSERT_TRUE(x_->Ready()) << "Xvfb did not start; scripts/install-deps.sh installs it";
    }

    // A button strip and a background of squares, so that any shift, scaling
    // or colour error shows.
    std::vector<PackageEntry> Pictures() const {
        auto background = Painted(kWidth, kHeight, [](int32_t x, int32_t y) {
            return uint32_t(0x203040 + (x / 10 + y / 10) % 2 * 0x402010 + x % 3 * 0x10);
        });
        auto character = Painted(40, 60, [](int32_t x, int32_t y) { return 0xC08060u + x + y; });
        return {{"bg.png", PngBytes(background)}, {"person.png", PngBytes(character)}};
    }

    static std::string Velto(const std::string& more = "") {
        return "Title=窓\nImageWidth=" + std::to_string(kWidth) +
               "\nImageHeight=" + std::to_string(kHeight) + "\n" + more;
    }

    // The player in a window, writing its trace.
    Child StartPlayer(const std::string& game, std::vector<std::string> options = {}) {
        std::vector<std::string> args = {ORVANTA3, "--library", Path("veltort3.vlb"), "--seed",
                                         "1",      "--trace",   Path("trace.txt")};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(game);
        Write("trace.txt", "");
        return Child(args, x_->ChildEnvironment(), Path("output.txt"));
    }

    Lines Trace() const { return WithoutTicks(SplitLines(Read("trace.txt"))); }

    // Waits until the windowed trace has reached `line`: the command has run
    // once the player waits after it.
    void ReachTrace(const std::string& line) {
        ASSERT_TRUE(WaitUntil([&] {
            Lines trace = Trace();
            return std::find(trace.begin(), trace.end(), line) != trace.end();
        })) << "never ran "
            << line << "; ran:\n"
            << Read("trace.txt") << Read("output.txt");
    }

    // The newest shown window of the player that `wanted` accepts, once there is one.
    XWindowInfo WindowOf(Child& player, const std::function<bool(const XWindowInfo&)>& wanted) {
        XWindowInfo found;
        EXPECT_TRUE(WaitUntil([&] {
            for (const XWindowInfo& window : x_->WindowsOf(player.Pid())) {
                if (window.viewable && wanted(window)) found = window;
            }
            return found.id != 0;
        })) << "no such window; "
            << Read("output.txt");
        return found;
    }
    XWindowInfo MainWindow(Child& player) {
        return WindowOf(player, [](const XWindowInfo& window) { return window.name == "窓"; });
    }
    // The box the player opened over its main window.
    XWindowInfo Dialog(Child& player, const XWindowInfo& main) {
        return WindowOf(player, [&](const XWindowInfo& window) { return window.id != main.id; });
    }

    // The user answers the box with `key`; it has gone once this returns.
    void Answer(const XWindowInfo& box, const char* key) {
        ASSERT_TRUE(x_->Xdo("windowfocus", "--sync", box.id, "key", key));
        EXPECT_TRUE(WaitUntil([&] {
            std::optional<XWindowInfo> info = x_->Info(box.id);
            return !info || !info->viewable;
        })) << "the box stayed after "
            << key;
    }

    // Waits until `window` stands at (left, top).
    void ExpectAt(::Window window, int32_t left, int32_t top) {
        std::optional<XWindowInfo> info;
        EXPECT_TRUE(WaitUntil(
            [&] {
                info = x_->Info(window);
                return info && info->left == left && info->top == top;
            },
            5))
            << "expected at " << left << "," << top << ", stands at "
            << (info ? std::to_string(info->left) + "," + std::to_string(info->top) : "?");
    }

    // Waits until the window shows `picture` enlarged `scale` times at
    // (left, top) of a window of width x height (0: the picture's).
    void ExpectShows(::Window window, const graphics::TLasGraphic& picture, int32_t scale,
                     int32_t left = 0, int32_t top = 0, int32_t width = 0, int32_t height = 0) {
        if (!width) width = picture.Width() * scale;
        if (!height) height = picture.Height() * scale;
        std::string difference;
        EXPECT_TRUE(WaitUntil([&] {
            difference = Difference(x_->Shot(window), picture, scale, left, top, width, height);
            return difference.empty();
        })) << difference;
    }
    graphics::TLasGraphic HeadlessShot(const std::string& png) {
        graphics::TLasGraphic picture;
        EXPECT_TRUE(picture.LoadPngFile(Path(png))) << png;
        return picture;
    }

    static XSession* x_;
};

XSession* Windowed::x_ = nullptr;

// The scenario of the comparisons: pictures and a message, a click wait, a
// choice, and a page for each answer.
const std::string kPicturesMessageAndChoice = R"(<Page="p">
GraphicDraw.FileName=bg.png | @GraphicDraw
GraphicDraw.FileName=person.png | GraphicDraw.Area.Left=100 | GraphicDraw.Area.Top=50
GraphicDraw.Layer=人物 | GraphicDraw.Layer.Move=1 | @GraphicDraw
MessageDraw.Text=やあ、<clRed>世界 | MessageDraw.Area.Top=80 | MessageDraw.Area.Height=40
@MessageDraw
Wait.InputBreak=1 | @Wait
Select.Text1=はい | Select.Page1=yes | Select.Text2=<clYellow>いいえ | Select.Page2=no
Select.Area.Left=0 | Select.Area.Top=10 | Select.Area.Width=160 | @Select
<Page End>
)";

// The pages the choices lead to.
const std::string kAnswers = "<Page=\"yes\">\n@rem\n<Page End>\n<Page=\"no\">\n@rem\n<Page End>\n";

const char* const kLayers =
    "<Head End>\n<Head=\"LayerList\">\nLayerCount=2\nLayer.1.LayerName=人物\n";

}  // namespace

// Twice enlarged, the window shows the headless screenshot of the same
// moment exactly, each game pixel as a 2x2 block. Resized to a shape of its
// own, it letterboxes the game; clicks map through the letterbox to game
// pixels, and a click on a black bar is no click at all, not even beside the
// picture's edge, where the items reach. Clicks lead where they lead headless.
TEST_F(Windowed, ShowsAndPlaysAsHeadlessEnlargedAndLetterboxed) {
    const int32_t scale = 2;
    std::string game = Game(kPicturesMessageAndChoice + kAnswers, Velto(kLayers), Pictures());
    // The click's pause before the next command is a wait too: the script
    // sleeps through it.
    Outcome headless =
        Play(game, "shot " + Path("wait.png") + "\nclick 150 5\nsleep 1000\nshot " +
                       Path("select.png") + "\nmove 20 " + std::to_string(kSecondChoiceY) +
                       "\nshot " + Path("choice.png") + "\nclick\n");
    ASSERT_EQ(headless.status, shell::kExitDone);
    const Lines expected = WithoutTicks(headless.trace);
    ASSERT_EQ(expected.back(), "b/no#0 @rem") << "the script chose the second item";

    Child player = StartPlayer(game, {"--scale", std::to_string(scale)});
    XWindowInfo main = MainWindow(player);
    ASSERT_NE(main.id, 0u);
    ReachTrace("b/p#3 @Wait");
    ExpectShows(main.id, HeadlessShot("wait.png"), scale);
    // The middle of the game pixel's block.
    ASSERT_TRUE(x_->ClickAt(main.left + 150 * scale + 1, main.top + 5 * scale + 1));
    ReachTrace("b/p#4 @Select");

    // 1000 x 600 holds the 4:3 picture five times enlarged between bars of 100.
    ASSERT_TRUE(x_->Xdo("windowsize", main.id, 1000, 600));
    ExpectShows(main.id, HeadlessShot("select.png"), 5, 100, 0, 1000, 600);
    for (int32_t barX : {50, 99, 900, 960}) {
        ASSERT_TRUE(x_->ClickAt(main.left + barX, main.top + 5 * kFirstChoiceY));
    }
    const int32_t x = main.left + 100 + 5 * 20 + 2, y = main.top + 5 * kSecondChoiceY + 2;
    ASSERT_TRUE(x_->Xdo("mousemove", x, y));
    ExpectShows(main.id, HeadlessShot("choice.png"), 5, 100, 0, 1000, 600);
    ASSERT_TRUE(x_->ClickAt(x, y));
    EXPECT_EQ(player.Exit(), std::optional<int>(0)) << Read("output.txt");
    EXPECT_EQ(Trace(), expected);
}

// Closed with the close button or interrupted from outside, the player ends
// with status 0 and keeps where the user left its window for the next start.
TEST_F(Windowed, TheLastPositionIsKept) {
    std::string game = Game("<Page=\"p\">\nWait.InputBreak=1\n@Wait\n<Page End>\n", Velto());
    Write("game.cfg", "MainForm.Left=30\r\nMainForm.Top=40\r\n");
    for (bool closeButton : {true, false}) {
        SCOPED_TRACE(closeButton ? "close button" : "SIGTERM");
        Child player = StartPlayer(game);
        XWindowInfo main = MainWindow(player);
        ASSERT_NE(main.id, 0u);
        const int32_t left = closeButton ? 200 : 230, top = closeButton ? 150 : 170;
        ExpectAt(main.id, closeButton ? 30 : 200, closeButton ? 40 : 150);
        ReachTrace("b/p#0 @Wait");
        ASSERT_TRUE(x_->Xdo("windowmove", main.id, left, top));
        ExpectAt(main.id, left, top);
        if (closeButton) {
            x_->Close(main.id);
        } else {
            player.Signal(SIGTERM);
        }
        EXPECT_EQ(player.Exit(), std::optional<int>(0)) << Read("output.txt");
        const std::string settings = Read("game.cfg");
        EXPECT_NE(settings.find("MainForm.Left=" + std::to_string(left) + "\r\n"),
                  std::string::npos)
            << settings;
        EXPECT_NE(settings.find("MainForm.Top=" + std::to_string(top) + "\r\n"), std::string::npos)
            << settings;
    }
}

// Without a display the player says in one line how to play without one.
TEST_F(Windowed, WithoutADisplayItPointsToHeadless) {
    std::string game = Game("<Page=\"p\">\n@rem\n<Page End>\n", Velto());
    Child player({ORVANTA3, "--library", Path("veltort3.vlb"), game},
                 Environment({"DISPLAY", "WAYLAND_DISPLAY"}), Path("output.txt"));
    EXPECT_EQ(player.Exit(), std::optional<int>(2));
    const Lines output = SplitLines(Read("output.txt"));
    ASSERT_EQ(output.size(), 1u) << Read("output.txt");
    EXPECT_NE(output[0].find("--headless"), std::string::npos) << output[0];
}

// Message boxes drawn by the player: what the font engine draws for their
// text, Enter for the default (first) button and Escape for the harmless one.
TEST_F(Windowed, MessageBoxesShowTheirTextAndTakeKeys) {
    std::string game = Game(R"(<Page="p">
System.Command=不明 | @System
GraphicDraw.FileName=missing.png | @GraphicDraw
@rem
<Page End>
)",
                            Velto(), Pictures());
    for (const char* abortKey : {"Escape", "Return"}) {
        Child player = StartPlayer(game);
        const XWindowInfo main = MainWindow(player);
        XWindowInfo box = Dialog(player, main);
        platform::MessageBoxView expected(
            platform::MessageKind::Plain, platform::MessageButtons::Ok,
            Cp932("debug: error report:\n不明なシステムコマンド「不明」が発行されました"));
        ExpectShows(box.id, PictureOf(expected.Width(), expected.Height(), expected.Pixels()), 1);
        EXPECT_EQ(box.name, "窓") << "boxes carry the game's title";

        Answer(box, "Return");
        ReachTrace("b/p#1 @GraphicDraw");
        Answer(Dialog(player, main), abortKey);
        if (std::string(abortKey) == "Escape") {
            // Ignored, the failure is reported once more.
            Answer(Dialog(player, main), "Return");
            ReachTrace("b/p#2 @rem");
            EXPECT_EQ(player.Exit(), std::optional<int>(0)) << "Ignore plays on to the end";
        } else {
            EXPECT_EQ(player.Exit(), std::optional<int>(1)) << "Abort quits";
            EXPECT_EQ(Trace().back(), "b/p#1 @GraphicDraw");
        }
    }
}

// The text-input box takes typed Japanese as CP932; what CP932 cannot hold is
// refused.
TEST_F(Windowed, TheInputBoxTakesTypedTextAsCp932) {
    std::string game = Game(R"(<Page="p">
StringInput.StringVar=$name$ | StringInput.Text=お名前は？ | StringInput.Caption=名前
@StringInput
if.Variable1=$name$ | if.Variable2=山田 | @if
@rem
@endif
<Page End>
)",
                            Velto());
    Child player = StartPlayer(game);
    const XWindowInfo main = MainWindow(player);
    const XWindowInfo box = Dialog(player, main);
    EXPECT_EQ(box.name, "名前");
    ASSERT_TRUE(x_->Xdo("windowfocus", "--sync", box.id, "type", "山田ü"));
    Answer(box, "Return");
    EXPECT_EQ(player.Exit(), std::optional<int>(0));
    EXPECT_EQ(Trace(), (Lines{"_system/_init#0 @Return", "b/p#0 @StringInput", "b/p#1 @if",
                              "b/p#2 @rem", "b/p#3 @endif"}))
        << "the name typed, without the character CP932 has not";
}
