// The music and sound commands in whole games, with players that log every
// call: which files they find, when a waited sound lets the game go on, and
// what the user's sound switches leave out.
#include "common/fake_media.h"
#include "shell/play.h"

using namespace testkit;

namespace {

class Sound : public PlayTest {
protected:
    // Plays `package` with fake players; the trace, and the media log in `media`.
    Lines PlayWithMedia(const std::string& package) {
        FakeMediaPlatform host;
        host.media.lengths = {{"theme.wav", 300}, {"chime.wav", 500}, {"pop.wav", 100}};
        shell::HeadlessOptions options;
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

    std::string SoundGame() {
        // The chime is in the data directory, the rest beside the package.
        Write("media/chime.wav", "");
        Write("theme.wav", "");
        Write("pop.wav", "");
        return Game(R"(<Page="p">
Music.FileName=theme.wav
Music.Loop=2
@Music
Music.FileName=missing.wav
Music.Loop=1
@Music
Sound.FileName=chime.wav
Sound.Wait=1
@Sound
Sound.FileName=pop.wav
@Sound
Wait.TimeBreak=1
Wait.Time=1000
@Wait
@MusicStop
Music.FileName=THEME.WAV
@Music
Wait.TimeBreak=1
Wait.Time=1000
@Wait
@MusicStop
<Page End>
)",
                    "DataDirectory=media\n");
    }

    int status = -1;
    Lines media;
};

TEST_F(Sound, MusicLoopsAndWaitedSoundsHoldTheGame) {
    Lines trace = PlayWithMedia(SoundGame());
    EXPECT_EQ(status, shell::kExitDone);
    EXPECT_EQ(trace, (Lines{
                         "200 _system/_init#0 @Return",
                         "200 b/p#0 @Music",
                         "200 b/p#1 @Music",  // not found: theme.wav plays on
                         "200 b/p#2 @Sound",  // the ticks at 400 and 600 run no step
                         "700 b/p#3 @Sound",
                         "700 b/p#4 @Wait",
                         "1800 b/p#5 @MusicStop",  // played twice already
                         "1800 b/p#6 @Music",
                         "1800 b/p#7 @Wait",
                         "2800 b/p#8 @MusicStop",
                     }));
    EXPECT_EQ(media, (Lines{
                         "200 music open theme.wav",
                         "200 sound open chime.wav",
                         "700 sound stop",
                         // The first step after the sound notices the music's end.
                         "700 music seek 0",
                         "700 music resume",
                         "700 sound close",
                         "700 sound open pop.wav",
                         "1000 music stop",
                         "1800 music close",
                         "1800 music open theme.wav",  // forever
                         "2200 music seek 0",
                         "2200 music resume",
                         "2600 music seek 0",
                         "2600 music resume",
                         "2800 music stop",
                         "2800 sound close",
                         "2800 music close",
                     }));
}

TEST_F(Sound, TheUsersSwitchesTurnTheChannelsOff) {
    std::string game = SoundGame();
    Write("game.cfg", "System.UseMusic=0\r\nSystem.UseSound=0\r\n");
    Lines trace = PlayWithMedia(game);
    EXPECT_EQ(media, Lines{});
    ASSERT_GE(trace.size(), 5u);
    EXPECT_EQ(trace[4], "200 b/p#3 @Sound") << "a waited sound that is off takes no time";
}

}  // namespace
