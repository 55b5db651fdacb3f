// The music and sound-effect channels against players that log every call:
// how often music plays for its loop count, the order in which sounds follow
// one another, and what waiting for a sound does to time and to events.
#include <gtest/gtest.h>

#include "common/fake_media.h"
#include "sound/Mus_ctrl.h"

using namespace testkit;
using platform::MediaChannel;
using sound::TMusicCtrl;

namespace {

using Lines = std::vector<std::string>;

class MusicCtrl : public ::testing::Test {
protected:
    void SetUp() override {
        host.media.lengths = {{"theme.wav", FakeMedia::kForever},
                              {"long.wav", 300},
                              {"short.wav", 100},
                              {"forever.wav", FakeMedia::kForever}};
    }

    // Plays "theme.wav" with `loops`, then lets it reach its end `ends`
    // times, polling after each; how many times it started.
    int PlaysOf(int32_t loops, int ends) {
        TMusicCtrl music(host.media, true, true);
        EXPECT_TRUE(music.PlayMusic("theme.wav", loops));
        for (int i = 0; i < ends; ++i) {
            music.PollMusic();  // not at its end yet: nothing happens
            host.media.End(MediaChannel::Music);
            music.PollMusic();
        }
        int plays = 0;
        for (const std::string& line : host.media.log) {
            plays += line.ends_with(" open theme.wav") || line.ends_with(" resume");
        }
        stillPlaying = music.MusicPlaying();
        return plays;
    }

    uint32_t Now() { return platform::TickCount(); }

    FakeMediaPlatform host;
    bool stillPlaying = false;
};

TEST_F(MusicCtrl, LoopCountsPlayOnceNTimesOrForever) {
    EXPECT_EQ(PlaysOf(1, 4), 1);
    EXPECT_FALSE(stillPlaying);
    EXPECT_EQ(host.media.log, (Lines{"0 music open theme.wav", "0 music stop", "0 music close"}));

    host.media.log.clear();
    EXPECT_EQ(PlaysOf(2, 4), 2);
    EXPECT_FALSE(stillPlaying);
    EXPECT_EQ(host.media.log, (Lines{"0 music open theme.wav", "0 music seek 0", "0 music resume",
                                     "0 music stop", "0 music close"}));

    for (int32_t forever : {0, -1}) {
        host.media.log.clear();
        EXPECT_EQ(PlaysOf(forever, 4), 5) << forever;
        EXPECT_TRUE(stillPlaying) << forever;
    }
}

TEST_F(MusicCtrl, NewMusicReplacesTheOldAndUnplayableFilesAreRecordedAnyway) {
    TMusicCtrl music(host.media, true, true);
    EXPECT_TRUE(music.PlayMusic("theme.wav", 3));
    EXPECT_FALSE(music.PlayMusic("broken.wav", 2));
    EXPECT_EQ(host.media.log, (Lines{"0 music open theme.wav", "0 music stop", "0 music close",
                                     "0 music fail broken.wav"}));
    // What was asked for is kept though nothing plays...
    EXPECT_EQ(music.MusicFile(), "broken.wav");
    EXPECT_TRUE(music.MusicPlaying());
    EXPECT_EQ(music.LoopsLeft(), 2);
    // ...and counts down its loops at the polls without touching a player.
    host.media.log.clear();
    music.PollMusic();
    EXPECT_EQ(music.LoopsLeft(), 1);
    music.PollMusic();
    EXPECT_FALSE(music.MusicPlaying());
    EXPECT_EQ(host.media.log, Lines{});

    // Stopping with nothing playing does nothing at all.
    music.StopMusic();
    EXPECT_EQ(host.media.log, Lines{});
}

TEST_F(MusicCtrl, ASoundWaitsForTheOneBeforeIt) {
    TMusicCtrl music(host.media, true, true);
    music.PlaySound("long.wav", false);
    EXPECT_EQ(Now(), 0u) << "a sound not waited for returns at once";
    music.PlaySound("short.wav", false);
    EXPECT_EQ(Now(), 300u);
    EXPECT_TRUE(music.SoundPlaying());
    // Ended long ago: the next one finds it ended at once.
    host.headless.Virtual().Advance(1000);
    music.PlaySound("long.wav", false);
    EXPECT_EQ(host.media.log, (Lines{"0 sound open long.wav", "300 sound stop", "300 sound close",
                                     "300 sound open short.wav", "1300 sound stop",
                                     "1300 sound close", "1300 sound open long.wav"}));
}

TEST_F(MusicCtrl, AWaitedSoundReturnsAtItsEndHandlingEventsMeanwhile) {
    TMusicCtrl music(host.media, true, true);
    platform::EventManager& events = platform::Events();
    int ticks = 0;
    platform::EventManager::TimerId timer = events.StartTimer(100, [&] { ++ticks; });
    music.PlaySound("short.wav", false);
    music.PlaySound("long.wav", true);  // after short.wav's 100 ms, 300 ms of its own
    EXPECT_EQ(Now(), 400u);
    EXPECT_EQ(ticks, 4) << "timers fire while the sound plays";
    EXPECT_FALSE(music.SoundPlaying());
    EXPECT_EQ(host.media.log, (Lines{"0 sound open short.wav", "100 sound stop", "100 sound close",
                                     "100 sound open long.wav", "400 sound stop"}));
    events.StopTimer(timer);

    // A sound that cannot be played is over at once.
    music.PlaySound("broken.wav", true);
    EXPECT_EQ(Now(), 400u);

    // Quitting ends the wait of a sound that would never end.
    events.StartTimer(200, [&] { events.Terminate(0); });
    music.PlaySound("forever.wav", true);
    EXPECT_EQ(Now(), 600u);
}

TEST_F(MusicCtrl, SwitchedOffChannelsPlayNothing) {
    TMusicCtrl music(host.media, false, false);
    EXPECT_TRUE(music.PlayMusic("theme.wav", 2)) << "switched off is not a failure";
    EXPECT_EQ(music.MusicFile(), "theme.wav");
    EXPECT_TRUE(music.MusicPlaying());
    music.PollMusic();
    music.StopMusic();
    music.PlaySound("long.wav", true);
    EXPECT_EQ(Now(), 0u);
    EXPECT_FALSE(music.SoundPlaying());
    EXPECT_EQ(host.media.log, Lines{});

    // Each switch holds for its own channel only.
    TMusicCtrl soundOnly(host.media, false, true);
    soundOnly.PlayMusic("theme.wav", 0);
    soundOnly.PlaySound("short.wav", false);
    EXPECT_EQ(host.media.log, Lines{"0 sound open short.wav"});
}

TEST_F(MusicCtrl, FreeingEndsBothChannelsWithoutStoppingThem) {
    {
        TMusicCtrl music(host.media, true, true);
        music.PlayMusic("theme.wav", 0);
        music.PlaySound("forever.wav", false);
    }
    EXPECT_EQ(host.media.log, (Lines{"0 music open theme.wav", "0 sound open forever.wav",
                                     "0 sound close", "0 music close"}));
}

}  // namespace
