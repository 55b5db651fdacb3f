// The music and sound-effect channels against players that log every call:
// how often music plays for its loop count, what an unplayable file leaves,
// and what quitting and freeing do to what plays.
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

    for (int32_t forever : {0, -1}) {
        host.media.log.clear();
        EXPECT_EQ(PlaysOf(forever, 4), 5) << forever;
        EXPECT_TRUE(stillPlaying) << forever;
    }
}

// Sounds following one another, waited for and failing in a whole game are
// in the media log test, the switches and a click during a wait in the sound
// test. Quitting ends the wait of a sound that would never end.
TEST_F(MusicCtrl, QuittingEndsTheWaitOfAnEndlessSound) {
    TMusicCtrl music(host.media, true, true);
    platform::Events().StartTimer(200, [] { platform::Events().Terminate(0); });
    music.PlaySound("forever.wav", true);
    EXPECT_EQ(Now(), 200u);
}

}  // namespace
