// The platform seam through its headless backend: what every part of the
// player relies on, whichever backend is installed.
#include <gtest/gtest.h>

#include "common/test_platform.h"

using namespace platform;
using testkit::ScopedPlatform;

namespace {

// Remembers what a window was told, as one line per event.
struct EventLog : WindowSink {
    void MouseDown(MouseButton button, int32_t x, int32_t y) override {
        lines.push_back("down " + std::to_string(int(button)) + " " + std::to_string(x) + " " +
                        std::to_string(y));
    }
    void MouseMove(int32_t x, int32_t y) override {
        lines.push_back("move " + std::to_string(x) + " " + std::to_string(y));
    }
    void Moved(int32_t left, int32_t top) override {
        lines.push_back("moved " + std::to_string(left) + " " + std::to_string(top));
    }
    void CloseRequested() override { lines.push_back("close"); }
    std::vector<std::string> lines;
};

using Lines = std::vector<std::string>;
using Kind = WindowEvent::Kind;

}  // namespace

// While a box is open, clicks and close requests meant for the game's
// windows go nowhere, also after it closes; moves still arrive.
TEST(MessageBoxes, AnOpenBoxHoldsTheInput) {
    ScopedPlatform host;
    EventLog game, dialog;
    std::unique_ptr<Window> gameWindow = Windows().Create(game, {});
    std::unique_ptr<Window> dialogWindow = Windows().Create(dialog, {.dialog = true});
    host.boxes.whileOpen = [&] {
        host.backend.Post(*gameWindow, {Kind::MouseDown, MouseButton::Left, 5, 6});
        host.backend.Post(*gameWindow, {Kind::Close});
        host.backend.Post(*gameWindow, {Kind::Moved, MouseButton::Left, 30, 40});
        host.backend.Post(*dialogWindow, {Kind::MouseDown, MouseButton::Left, 1, 2});
    };
    ShowMessage(MessageKind::Plain, MessageButtons::Ok, "busy");
    EXPECT_EQ(game.lines, Lines{"moved 30 40"});
    EXPECT_EQ(gameWindow->Left(), 30);
    EXPECT_EQ(dialog.lines, Lines{"down 0 1 2"});

    host.boxes.whileOpen = nullptr;
    host.backend.Post(*gameWindow, {Kind::MouseDown, MouseButton::Right, 7, 8});
    Events().ProcessMessages();
    EXPECT_EQ(game.lines.back(), "down 1 7 8") << "the game has the input again";
}

TEST(Windows, EventsOfGoneWindowsAreDropped) {
    ScopedPlatform host;
    EventLog log;
    std::unique_ptr<Window> window = Windows().Create(log, {});
    host.backend.Post(*window, {Kind::MouseMove, MouseButton::Left, 1, 1});
    window.reset();
    Events().ProcessMessages();
    EXPECT_TRUE(log.lines.empty());
}

TEST(Events, TimersFireFromProcessMessagesWithoutMakingUpMissedTicks) {
    ScopedPlatform host(0xFFFFFF00u);  // across the wrap
    VirtualClock& clock = host.backend.Virtual();
    std::vector<uint32_t> fired;
    Events().StartTimer(200, [&] { fired.push_back(TickCount() - 0xFFFFFF00u); });
    Events().StartTimer(1000, [] { Events().Terminate(3); });
    Events().StopTimer(Events().StartTimer(100, [&] { fired.push_back(0); }));

    Events().WaitUntil(0xFFFFFF00u + 150);
    EXPECT_EQ(clock.TickCount(), 0xFFFFFF00u + 150) << "the wait's own deadline came first";
    Events().Wait();
    EXPECT_EQ(clock.TickCount(), 0xFFFFFF00u + 200) << "then the timer's";
    Events().ProcessMessages();
    clock.Advance(650);  // a handler kept the loop busy
    Events().ProcessMessages();
    Events().Wait();
    Events().ProcessMessages();
    // At the same tick the older timer fires first.
    EXPECT_EQ(fired, (std::vector<uint32_t>{200, 850, 1000}));
    EXPECT_TRUE(Events().Terminated());
    EXPECT_EQ(Events().ExitStatus(), 3);

    Events().Terminate(0);
    EXPECT_EQ(Events().ExitStatus(), 3) << "the first request's status stands";
}
