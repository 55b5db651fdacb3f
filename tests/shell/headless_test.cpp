// Whole scenarios played by the headless runner: traces, message logs and
// variable dumps are what a game author's regression test would check.
#include <sys/wait.h>

#include <cstdlib>

#include "graphics/Las_scrn.h"
#include "shell/Rtm_run.h"
#include "shell/play.h"

using namespace testkit;

namespace {

// One @ValueCtrl: variable = left calc right.
std::string Calc(const std::string& variable, const std::string& left, const std::string& calc,
                 const std::string& right) {
    return "ValueCtrl.ValueVar=" + variable + "\nValueCtrl.LeftValue=" + left +
           "\nValueCtrl.RightValue=" + right + "\nValueCtrl.Calc=" + calc + "\n@ValueCtrl\n";
}

class Headless : public PlayTest {};

// The built player's exit status with these arguments.
int ExitStatusOf(const std::string& arguments) {
    std::string command = std::string(ORVANTA3) + " " + arguments + " >/dev/null 2>&1";
    int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST_F(Headless, ArithmeticWrapsAndReportsDivisionByZero) {
    Outcome run =
        Play(Game("<Page=\"p\">\n" + Calc("%div%", "-7", "Div", "2") +
                  Calc("%mod%", "-7", "Mod", "2") + Calc("%mul%", "65536", "Mul", "65536") +
                  Calc("%min%", "-2147483648", "Div", "-1") + Calc("%other%", "x", "Pow", "5") +
                  Calc("%div%", "1", "Mod", "%zero%") + "@rem\n<Page End>\n"));
    EXPECT_EQ(run.status, shell::kExitDone);
    EXPECT_EQ(run.vars, (Lines{"ValueFlag:div=-3", "ValueFlag:mod=-1", "ValueFlag:mul=0",
                               "ValueFlag:min=-2147483648", "ValueFlag:other=0"}));
    EXPECT_EQ(run.messages, Lines{"plain ok ok debug: error report:\\n ０で除算しました"});
    EXPECT_EQ(run.trace.back(), "400 b/p#6 @rem") << "the failed command ends the tick";
}

// An unbalanced block is reported; play goes on after the command next tick.
TEST_F(Headless, BlocksWithoutEndifAreReported) {
    Outcome run =
        Play(Game("<Page=\"p\">\n@if\n@rem\n@else\n@rem\nif.Variable1=1\n@if\n@rem\n"
                  "<Page End>\n"));
    EXPECT_EQ(run.trace,
              (Lines{"200 _system/_init#0 @Return", "200 b/p#0 @if", "200 b/p#1 @rem",
                     "200 b/p#2 @else", "400 b/p#3 @rem", "400 b/p#4 @if", "600 b/p#5 @rem"}));
    const std::string error = "error ok ok ブロック構文エラー\\r\\n";
    EXPECT_EQ(run.messages, (Lines{error + "ＥＬＳＥコマンドに対応するＥＮＤＩＦがありません",
                                   error + "ＩＦコマンドに対応するＥＮＤＩＦがありません"}));
}

// A typed name is played in the demo and the window test.
TEST_F(Headless, CancelledInputKeepsTheTextAndUnknownCommandsAreReported) {
    Outcome run = Play(Game(R"(<Page="p">
StringCtrl.StringVar=$name$ | StringCtrl.Text=名無し | @StringCtrl
StringInput.StringVar=$name$ | StringInput.Text=お名前は？ | @StringInput
System.Command=messageskip | @System
@SaveCtrl
<Page End>
)"),
                       "cancel\n");
    EXPECT_EQ(run.vars, Lines{"StringFlag:name=名無し"});
    EXPECT_EQ(run.messages,
              (Lines{"plain ok ok debug: error report:\\n不明なシステムコマンド「messageskip」"
                     "が発行されました",
                     "plain ok ok debug error : unknown command - MainLoop_Step()"}));
}

// The access tests check each way a package fails to open; any of them
// ends the run with an error.
TEST_F(Headless, OpeningFailuresAndRunawayScenarios) {
    Outcome run = Play(Path("missing.vp3"));
    EXPECT_EQ(run.status, shell::kExitError);
    EXPECT_EQ(run.messages, Lines{"error ok ok " + Path("missing.vp3") + "が見つかりません"});
    EXPECT_TRUE(run.trace.empty());

    // A loop without waits still ends at the time limit.
    run =
        Play(Game("<Page=\"p\">\nMove.BookName=b\nMove.PageName=p\n@Move\n<Page End>\n"), "", 5000);
    EXPECT_EQ(run.status, shell::kExitStuck);

    std::filesystem::remove(Path("veltort3.vlb"));
    run = Play(Game("<Page=\"p\">\n@rem\n<Page End>\n"));
    EXPECT_EQ(run.trace, Lines{"200 b/p#0 @rem"}) << "no system page without the library";
    EXPECT_EQ(run.messages.back(),
              "error ok ok Veltoライブラリが開けません\\r\\nCan't open - \"veltort3.vlb\"");
}

// MainTimer keeps ticking while a handler waits in a nested event loop (a
// dialog, an effect's frames) and while events are processed between two
// steps; those ticks must not start a step of their own.
TEST_F(Headless, TicksDuringNestedWaitsRunNoStep) {
    std::string game = Game(R"(<Page="p">
StringInput.StringVar=$name$ | @StringInput
@rem
@rem
@rem
<Page End>
)",
                            "Title=入れ子\n");
    Write("game.cfg", "MainForm.Left=33\r\nMainForm.Top=44\r\n");
    testkit::ScopedPlatform host;
    shell::TfrmMain form;
    bool nested = false;
    Lines trace;
    form.onCommand = [&](int32_t index, const scenario::TVeltoCommand&) {
        trace.push_back(std::to_string(platform::TickCount()) + " #" + std::to_string(index) +
                        (nested ? " nested" : ""));
        if (index == 1) {
            // A transition effect of nine 200 ms frames on the main window.
            nested = true;
            graphics::TLasScreen screen(8, 8);
            screen.SetCanvas(&form.MainWindow());
            screen.RunEffect(7, 0, 0, 0, 0);
            nested = false;
        } else if (index == 2) {
            host.backend.Virtual().Advance(1000);  // a slow command: a tick comes due
        }
    };
    form.betweenSteps = [&] { trace.push_back("|"); };
    // The player takes a second to answer the input box.
    host.boxes.whileOpen = [&] {
        nested = true;
        host.backend.Virtual().Advance(1000);
        platform::Events().ProcessMessages();
        nested = false;
    };
    std::string library = Path("veltort3.vlb");
    EXPECT_EQ(shell::RunPlayer(form, {game, library, 1}), shell::kExitDone);
    EXPECT_EQ(trace, (Lines{"200 #0", "|", "200 #0", "|", "1200 #1", "|", "3000 #2", "|", "4000 #3",
                            "|"}));
    EXPECT_EQ(form.MainWindow().Caption(), Cp932("入れ子"));
    EXPECT_EQ(form.MainWindow().Left(), 33);
    EXPECT_EQ(form.MainWindow().Top(), 44);
    EXPECT_TRUE(form.MainWindow().Visible());
}

// Arguments are checked before anything is played.
TEST(CommandLine, BadArgumentsExitWithTwo) {
    EXPECT_EQ(ExitStatusOf("--help"), 0);
    EXPECT_EQ(ExitStatusOf("--version"), 0);
    for (const char* arguments :
         {"--headless --bogus", "--headless --seed", "--headless --seed -1 x.vp3",
          "--headless --max-time 99999999999 x.vp3", "--headless a.vp3 b.vp3",
          "--headless --input /nonexistent/script x.vp3", "--media-log /dev/null x.vp3",
          "--headless --media-log /nonexistent/log x.vp3"}) {
        EXPECT_EQ(ExitStatusOf(arguments), 2) << arguments;
    }
    EXPECT_EQ(ExitStatusOf("--headless /nonexistent/game.vp3"), 1);
}
