// The headless players on the virtual clock, beyond what the media log of a
// whole game shows: ends nobody asked about, a failed open, and players that
// outlive their manager. The player only ever seeks to the start of an ended
// file, as the media log shows.
#include <gtest/gtest.h>

#include "common/test_files.h"
#include "common/test_platform.h"

using namespace platform;
using testkit::ScopedPlatform;

namespace {

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
