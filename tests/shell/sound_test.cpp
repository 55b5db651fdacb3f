// The music and sound commands in whole games, with players that log every
// call: what the user's sound switches leave out, and what a click does while
// a sound is waited for.
#include "common/fake_media.h"
#include "shell/play.h"

using namespace testkit;

namespace {

class Sound : public PlayTest {
protected:
    // Plays `package` with fake players; the trace, and the media log in `media`.
    Lines PlayWithMedia(const std::string& package, const std::string& input = "") {
        shell::HeadlessOptions options;
        if (!input.empty()) options.inputPath = Write("input.txt", input);
        options.packagePath = package;
        options.libraryPath = Path("veltort3.vlb");
        options.tracePath = Path("trace.txt");
        options.messagesPath = Path("messages.txt");
        options.seed = 1;
        status = shell::RunHeadless(options, host.headless);
        media = host.media.log;
        EXPECT_EQ(Read("messages.txt"), "") << "nothing is ever reported";
        return SplitLines(Read("trace.txt"));
    }

    void SetUp() override {
        PlayTest::SetUp();
        host.media.lengths = {{"theme.wav", 300}, {"chime.wav", 500}};
        Write("theme.wav", "");
        Write("chime.wav", "");
    }

    FakeMediaPlatform host;
    int status = -1;
    Lines media;
};

TEST_F(Sound, TheUsersSwitchesTurnTheChannelsOff) {
    std::string game = Game(R"(<Page="p">
Music.FileName=theme.wav | @Music
Sound.FileName=chime.wav | Sound.Wait=1 | @Sound
@MusicStop
<Page End>
)");
    Write("game.cfg", "System.UseMusic=0\r\nSystem.UseSound=0\r\n");
    Lines trace = PlayWithMedia(game);
    EXPECT_EQ(media, Lines{});
    EXPECT_EQ(trace, (Lines{"200 _system/_init#0 @Return", "200 b/p#0 @Music", "200 b/p#1 @Sound",
                            "200 b/p#2 @MusicStop"}))
        << "a waited sound that is off takes no time";
}

// The click is handled while the sound plays - it is no one's to take - and
// is not kept for the click wait after the sound.
TEST_F(Sound, AClickDuringAWaitedSoundIsSpentThere) {
    std::string game = Game(R"(<Page="p">
Sound.FileName=chime.wav | Sound.Wait=1 | @Sound
Wait.InputBreak=1 | @Wait
<Page End>
)");
    platform::EventManager& events = platform::Events();
    int clicks = 0;
    platform::EventManager::TimerId click = events.StartTimer(400, [&] {
        if (clicks++ > 0) return;
        const platform::Window& main = *platform::Windows().Live().front();
        for (auto kind :
             {platform::WindowEvent::Kind::MouseDown, platform::WindowEvent::Kind::MouseUp}) {
            host.headless.Post(main, {kind, platform::MouseButton::Left, 100, 100});
        }
    });
    // Time enough for a click kept back to end the wait.
    Lines trace = PlayWithMedia(game, "sleep 1000\n");
    events.StopTimer(click);
    EXPECT_EQ(status, shell::kExitStuck) << "still waiting for a click";
    EXPECT_EQ(trace, (Lines{"200 _system/_init#0 @Return", "200 b/p#0 @Sound", "700 b/p#1 @Wait"}));
    EXPECT_EQ(media, (Lines{"200 sound open chime.wav", "700 sound stop", "1800 sound close"}));
}

}  // namespace
