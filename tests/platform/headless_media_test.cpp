// The headless players on the virtual clock: how long files play, what the
// media log says and when, and waits that end exactly at a file's end.
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

// As a sound wait does it.
void WaitForEnd(const MediaPlayer& player) {
    while (!player.IsEnded()) {
        Events().Wait();
        Events().ProcessMessages();
    }
}

}  // namespace

TEST(HeadlessMedia, ASoundPlaysForItsLength) {
    Host host;
    std::unique_ptr<MediaPlayer> sound = Media().CreatePlayer(MediaChannel::Sound);
    EXPECT_TRUE(sound->IsEnded()) << "nothing open";
    host.clock.Set(100);
    ASSERT_TRUE(sound->Open(kSplash));
    host.clock.Set(2124);
    EXPECT_FALSE(sound->IsEnded());
    host.clock.Set(2125);
    EXPECT_TRUE(sound->IsEnded());
    sound->Stop();
    EXPECT_FALSE(sound->IsEnded()) << "stopped, not ended";
    EXPECT_EQ(host.log, (Lines{"100 sound open " + kSplash, "2125 sound end " + kSplash,
                               "2125 sound stop " + kSplash}));
}

// The end is logged at its own tick, noticed at the next step; the loop
// plays on from the rewind.
TEST(HeadlessMedia, MusicLoopsAndStops) {
    Host host;
    std::unique_ptr<MediaPlayer> music = Media().CreatePlayer(MediaChannel::Music);
    ASSERT_TRUE(music->Open(kSong));
    host.clock.Set(10200);
    ASSERT_TRUE(music->IsEnded());
    music->SetPosition(0);
    music->Resume();
    EXPECT_FALSE(music->IsEnded());
    host.clock.Set(15000);
    music->SetPosition(0);  // a seek while it plays logs nothing
    host.clock.Set(25097);
    EXPECT_FALSE(music->IsEnded());
    music->Stop();
    music->Resume();
    music->Resume();  // already playing
    host.clock.Set(35194);
    EXPECT_FALSE(music->IsEnded());
    host.clock.Set(35195);
    EXPECT_TRUE(music->IsEnded());
    music->Resume();  // an ended player stays so
    EXPECT_TRUE(music->IsEnded());
    music->SetPosition(8.0);  // 2098 ms from its end
    EXPECT_FALSE(music->IsEnded());
    host.clock.Set(37293);
    EXPECT_TRUE(music->IsEnded());
    EXPECT_EQ(host.log, (Lines{
                            "0 music open " + kSong,
                            "10098 music end " + kSong,
                            "10200 music rewind " + kSong,
                            "25097 music stop " + kSong,
                            "25097 music rewind " + kSong,
                            "35195 music end " + kSong,
                            "35195 music rewind " + kSong,
                            "37293 music end " + kSong,
                        }));
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

// A wait wakes at the end of a sound even between timer ticks, and a file
// that has ended holds no wait up.
TEST(HeadlessMedia, WaitsEndAtTheEnd) {
    Host host;
    int ticks = 0;
    Events().StartTimer(200, [&] { ++ticks; });
    std::unique_ptr<MediaPlayer> sound = Media().CreatePlayer(MediaChannel::Sound);
    host.clock.Set(30);
    ASSERT_TRUE(sound->Open(kSplash));
    WaitForEnd(*sound);
    EXPECT_EQ(host.clock.TickCount(), 2055u);
    EXPECT_EQ(ticks, 10);
    EXPECT_EQ(host.log.back(), "2055 sound end " + kSplash);

    Events().WaitUntil(2100);
    EXPECT_EQ(host.clock.TickCount(), 2100u) << "not held at the sound's end";
    Events().WaitUntil(3000);
    EXPECT_EQ(host.clock.TickCount(), 2200u) << "the timer's next tick";
}

TEST(HeadlessMedia, WhatCannotBePlayedFails) {
    Host host;
    std::unique_ptr<MediaPlayer> sound = Media().CreatePlayer(MediaChannel::Sound);
    const std::string bad[] = {kMedia + "broken/tinytag_zero-value-properties.wav",
                               kMedia + "broken/jazzsoft_not-a-midi-file.mid", kMedia,
                               kMedia + "missing.ogg", kMedia + "README.md"};
    Lines expected;
    for (const std::string& path : bad) {
        EXPECT_FALSE(sound->Open(path)) << path;
        EXPECT_TRUE(sound->IsEnded());
        sound->SetPosition(0);
        sound->Resume();
        sound->Stop();
        EXPECT_TRUE(sound->IsEnded());
        expected.push_back("0 sound fail " + path);
    }
    // A failed open lets go of the file before it.
    ASSERT_TRUE(sound->Open(kSplash));
    EXPECT_FALSE(sound->Open(kMedia + "missing.ogg"));
    host.clock.Set(5000);
    EXPECT_TRUE(sound->IsEnded());
    expected.push_back("0 sound open " + kSplash);
    expected.push_back("0 sound fail " + kMedia + "missing.ogg");
    EXPECT_EQ(host.log, expected);
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
