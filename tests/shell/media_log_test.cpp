// Music and sounds played by the headless runner's own players, which play
// WAV files on the virtual clock, as its media log tells: "TICK CHANNEL EVENT
// FILE", CHANNEL music or sound, EVENT open, fail, end, rewind or stop. An
// "end" line comes at the tick the file reaches its end, whether or not
// anyone looks.
#include <sys/wait.h>

#include <cstdlib>

#include "shell/play.h"

using namespace testkit;

namespace {

// A silent 8-bit mono WAV file at 8000 samples a second.
std::string Wav(uint32_t milliseconds) {
    uint32_t size = milliseconds * 8;
    return "RIFF" + Le32(36 + size) + "WAVEfmt " + Le32(16) + Le16(1) + Le16(1) + Le32(8000) +
           Le32(8000) + Le16(1) + Le16(8) + "data" + Le32(size) + std::string(size, '\x80');
}

class MediaLog : public PlayTest {
protected:
    // Runs the player on `package`; the media log with each file by its name.
    Lines Run(const std::string& package) {
        std::string command = std::string(ORVANTA3) + " --headless --seed 1 --library " +
                              Path("veltort3.vlb") + " --trace " + Path("trace.txt") +
                              " --messages " + Path("messages.txt") + " --media-log " +
                              Path("media.txt") + " " + package + " >/dev/null 2>&1";
        int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
        EXPECT_EQ(Read("messages.txt"), "");
        Lines log;
        for (const std::string& line : SplitLines(Read("media.txt"))) {
            size_t file = line.find(' ', line.find(' ', line.find(' ') + 1) + 1);
            size_t name = line.rfind('/');
            log.push_back(name != std::string::npos && name > file
                              ? line.substr(0, file + 1) + line.substr(name + 1)
                              : line);
        }
        return log;
    }
};

TEST_F(MediaLog, MusicLoopsAndAWaitedSoundHoldsTheGameUntilItsEnd) {
    Write("theme.wav", Wav(300));
    Write("media/chime.wav", Wav(500));
    Write("pop.wav", Wav(100));
    Write("broken.wav", "not a sound");
    std::string game = Game(R"(<Page="p">
Music.FileName=theme.wav | Music.Loop=2 | @Music
Music.FileName=missing.wav | @Music
Sound.FileName=chime.wav | Sound.Wait=1 | @Sound
Sound.FileName=pop.wav | @Sound
Sound.FileName=broken.wav | @Sound
Wait.TimeBreak=1 | Wait.Time=1000 | @Wait
Music.FileName=theme.wav | @Music
Wait.TimeBreak=1 | Wait.Time=1000 | @Wait
@MusicStop
@MusicStop
<Page End>
)",
                            "DataDirectory=media\n");
    Lines media = Run(game);
    EXPECT_EQ(SplitLines(Read("trace.txt")),
              (Lines{"200 _system/_init#0 @Return", "200 b/p#0 @Music", "200 b/p#1 @Music",
                     "200 b/p#2 @Sound", "700 b/p#3 @Sound", "700 b/p#4 @Sound", "800 b/p#5 @Wait",
                     "1800 b/p#6 @Music", "1800 b/p#7 @Wait", "2800 b/p#8 @MusicStop",
                     "2800 b/p#9 @MusicStop"}));
    EXPECT_EQ(
        media,
        (Lines{"200 music open theme.wav", "200 sound open chime.wav", "500 music end theme.wav",
               "700 sound end chime.wav", "700 sound stop chime.wav",
               // Noticed at the first step after the wait.
               "700 music rewind theme.wav", "700 sound open pop.wav",
               // The broken file waits for the pop, then fails.
               "800 sound end pop.wav", "800 sound stop pop.wav", "800 sound fail broken.wav",
               "1000 music end theme.wav", "1000 music stop theme.wav", "1800 music open theme.wav",
               "2100 music end theme.wav", "2200 music rewind theme.wav",
               "2500 music end theme.wav", "2600 music rewind theme.wav",
               "2800 music stop theme.wav"}));
}

}  // namespace
