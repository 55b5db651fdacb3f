// The platform seam through its headless backend: what every part of the
// player relies on, whichever backend is installed; and the headless players
// on the virtual clock, beyond what the media log of a whole game shows.
#include <gtest/gtest.h>

#include "common/test_platform.h"

using namespace platform;
using testkit::ScopedPlatform;

namespace {

// Remembers what a window was told, as one line per event.
struct EventLog : WindowSink {
    void MouseDown(MouseButton button, int32_t x, int32_t y) override {
        Add("down " + std::to_string(int(button)), x, y);
    }
    void MouseMove(int32_t x, int32_t y) override { Add("move", x, y); }
    void Moved(int32_t left, int32_t top) override { Add("moved", left, top); }
    void CloseRequested() override { lines.push_back("close"); }
    void Add(const std::string& what, int32_t x, int32_t y) {
        lines.push_back(what + " " + std::to_string(x) + " " + std::to_string(y));
    }
    std::vector<std::string> lines;
};

using Kind = WindowEvent::Kind;

const std::string kMedia = ORV_TEST_DATA "/media/";
const std::string kSplash = kMedia + "sdlmixer_splash_pcm8_mono_11k.wav";    // 2025 ms
const std::string kSong = kMedia + "music21_test10_fmt0_tempo-changes.mid";  // 10098 ms

using Lines = std::vector<std::string>;

struct Host : ScopedPlatform {
    Host() {
        backend.Sounds().onEvent = [this](const MediaRecord& record) {
            log.push_back(FormatMediaRecord(record));
        };
    }
    VirtualClock& clock = backend.Virtual();
    Lines log;
};

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

// Two channels end while nobody looks; their ends come in tick order, also
// the end of a player let go before anyone asked, and at the end of a run
// the ends passed are written out.
TEST(HeadlessMedia, EndsAreLoggedInTheOrderOfTheirTicks) {
    Host host;
    std::unique_ptr<MediaPlayer> music = Media().CreatePlayer(MediaChannel::Music);
    std::unique_ptr<MediaPlayer> sound = Media().CreatePlayer(MediaChannel::Sound);
    ASSERT_TRUE(music->Open(kSong));
    host.clock.Set(50);
    ASSERT_TRUE(sound->Open(kSplash));
    host.clock.Set(20000);
    ASSERT_TRUE(sound->Open(kSplash));
    host.clock.Set(30000);
    sound.reset();
    host.clock.Set(40000);
    host.backend.Sounds().Flush();
    EXPECT_EQ(host.log, (Lines{"0 music open " + kSong, "50 sound open " + kSplash,
                               "2075 sound end " + kSplash, "10098 music end " + kSong,
                               "20000 sound open " + kSplash, "22025 sound end " + kSplash}));
}

// Files that cannot be played are refused by their lengths' reader; a failed
// open lets go of the file before it, which then never ends.
TEST(HeadlessMedia, AFailedOpenLetsGoOfTheFileBefore) {
    Host host;
    std::unique_ptr<MediaPlayer> sound = Media().CreatePlayer(MediaChannel::Sound);
    ASSERT_TRUE(sound->Open(kSplash));
    EXPECT_FALSE(sound->Open(kMedia + "missing.ogg"));
    EXPECT_TRUE(sound->IsEnded());
    host.clock.Set(5000);
    host.backend.Sounds().Flush();
    EXPECT_EQ(host.log,
              (Lines{"0 sound open " + kSplash, "0 sound fail " + kMedia + "missing.ogg"}));
}

TEST(HeadlessMedia, LogLinesKeepToOneLine) {
    EXPECT_EQ(FormatMediaRecord({7, MediaChannel::Sound, MediaEvent::Rewind, "a\\b\nc\r.wav"}),
              "7 sound rewind a\\\\b\\nc\\r.wav");
    EXPECT_EQ(FormatMediaRecord({4294967295u, MediaChannel::Music, MediaEvent::Fail, "曲.mid"}),
              "4294967295 music fail 曲.mid");
}

// Players outlive their manager harmlessly.
TEST(HeadlessMedia, PlayersOutliveTheirManager) {
    std::unique_ptr<MediaPlayer> sound;
    {
        VirtualClock clock;
        HeadlessMedia media(clock);
        sound = media.CreatePlayer(MediaChannel::Sound);
        ASSERT_TRUE(sound->Open(kSplash));
    }
    EXPECT_TRUE(sound->IsEnded());
    EXPECT_FALSE(sound->Open(kSplash));
    sound->Stop();
}
