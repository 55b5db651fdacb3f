// Sound through SDL_mixer, heard through SDL's disk audio driver: it writes
// what a sound card would play to a file, faster than real time here. No
// display is needed.
#include "platform/sdl_media.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>

#include "common/test_files.h"
#include "common/test_platform.h"
#include "platform/media_info.h"

using namespace platform;

namespace {

const std::string kMedia = ORV_TEST_DATA "/media/";
// A file of each kind with how much of its length is heard: the target
// sound dies away. The lengths' reader has all the test files to itself.
const std::pair<const char*, double> kPlayable[] = {
    {"music21_test11_fmt1_4trk_tempo-changes.mid", 0.9}, {"raylib_target_stereo_22k.ogg", 0.75},
    {"sdlmixer_splash_pcm8_mono_11k.wav", 0.9},          {"wavefile_ima-adpcm_mono_8k.wav", 0.9},
    {"flixel_splash_cbr128_stereo_44k.mp3", 0.9},
};
constexpr int kRate = 44100;  // the device is opened at this rate, 16-bit stereo

uint32_t LengthOf(const std::string& path) {
    std::optional<MediaInfo> info = ReadMediaInfoFile(path);
    return info ? info->milliseconds : 0;
}

// Where the device played something louder than -50 dB, in milliseconds.
struct Heard {
    double from = 0;
    double to = 0;
    double Length() const { return to - from; }
};

Heard HeardIn(const std::string& raw) {
    const auto* samples = reinterpret_cast<const int16_t*>(raw.data());
    const size_t count = raw.size() / sizeof(int16_t);
    size_t first = count, last = 0;
    for (size_t i = 0; i < count; ++i) {
        if (std::abs(int(samples[i])) > 100) {
            first = std::min(first, i);
            last = i;
        }
    }
    if (first == count) return {};
    return {first / 2 * 1000.0 / kRate, (last / 2 + 1) * 1000.0 / kRate};
}

class SdlSound : public testkit::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        // A buffer of 46 ms every 10 ms: what the player does on an end
        // (stop, start again) comes later in the sound by 4.6 times its delay.
        setenv("SDL_DISKAUDIODELAY", "10", 1);
        // Nothing ever waits longer, should a wake-up go missing.
        Events().StartTimer(60000, [] { Events().Terminate(1); });
    }

    // What the device played while `play` ran with a fresh manager.
    Heard Play(const std::function<void(MediaManager&)>& play) {
        const std::string out = Path("out" + std::to_string(++runs_) + ".raw");
        setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
        {
            SdlMedia media(Events(), host.backend.Time());
            EXPECT_TRUE(media.Audible());
            play(media);
        }
        return HeardIn(Read("out" + std::to_string(runs_) + ".raw"));
    }

    // As a sound wait does it.
    static void WaitForEnd(const MediaPlayer& player) {
        while (!player.IsEnded() && !Events().Terminated()) {
            Events().Wait();
            Events().ProcessMessages();
        }
        EXPECT_FALSE(Events().Terminated()) << "the end never woke the wait";
    }

    testkit::ScopedPlatform host{testkit::ScopedPlatform::Clock::Real};

private:
    int runs_ = 0;
};

}  // namespace

// Music streams, sound effects are chunks; MIDI ends with its last event on
// both, not with the synthesizer's echo three seconds later.
TEST_F(SdlSound, EveryFileSoundsForItsLengthOnBothChannels) {
    for (const auto& [file, heardFraction] : kPlayable) {
        const std::string path = kMedia + file;
        const double length = LengthOf(path);
        for (MediaChannel channel : {MediaChannel::Music, MediaChannel::Sound}) {
            const Heard heard = Play([&](MediaManager& media) {
                std::unique_ptr<MediaPlayer> player = media.CreatePlayer(channel);
                ASSERT_TRUE(player->Open(path));
                EXPECT_FALSE(player->IsEnded());
                WaitForEnd(*player);
                player->Stop();
            });
            const char* name = channel == MediaChannel::Music ? "music " : "sound ";
            EXPECT_GT(heard.Length(), heardFraction * length) << name << file;
            // A chunk ends by itself; the music's stream plays on until the
            // wait has woken and stopped it.
            EXPECT_LT(heard.Length(), length + (channel == MediaChannel::Music ? 250 : 100))
                << name << file;
        }
    }
}

// A loop comes round at once: twice the file, with no gap worth the name.
// The IMA ADPCM WAV, which SDL_mixer cannot stream, loops as a chunk.
TEST_F(SdlSound, MusicLoopsOnTheBeat) {
    for (const char* file :
         {"wavefile_ima-adpcm_mono_8k.wav", "jazzsoft_multichannel-chords-1_fmt1_3trk.mid"}) {
        const std::string path = kMedia + file;
        const Heard heard = Play([&](MediaManager& media) {
            std::unique_ptr<MediaPlayer> music = media.CreatePlayer(MediaChannel::Music);
            ASSERT_TRUE(music->Open(path));
            WaitForEnd(*music);
            music->SetPosition(0);
            music->Resume();
            EXPECT_FALSE(music->IsEnded());
            WaitForEnd(*music);
            music->Stop();
        });
        EXPECT_GT(heard.Length(), 2 * LengthOf(path) - 300.0) << file;
        EXPECT_LT(heard.Length(), 2 * LengthOf(path) + 400.0) << file;
    }
}

// A MIDI file, sound in form, that the synthesizer refuses when it plays
// ends at once and for good: polling restarts nothing. What the lengths'
// reader refuses does not open.
TEST_F(SdlSound, WhatCannotPlayIsNotStartedAgain) {
    const std::string song = testkit::ReadFile(kMedia + "music21_test10_fmt0_tempo-changes.mid");
    // An unknown chunk before the track: allowed by the format, refused by
    // the synthesizer.
    const std::string refused =
        Write("refused.mid",
              song.substr(0, 14) + "XFIH" + std::string("\0\0\0\2ab", 6) + song.substr(14));
    ASSERT_TRUE(ReadMediaInfoFile(refused));
    const Heard heard = Play([&](MediaManager& media) {
        std::unique_ptr<MediaPlayer> music = media.CreatePlayer(MediaChannel::Music);
        if (music->Open(refused)) WaitForEnd(*music);
        for (int step = 0; step < 5; ++step) {
            music->SetPosition(0);
            music->Resume();
            EXPECT_TRUE(music->IsEnded()) << step;
            Events().WaitUntil(TickCount() + 20);
        }
        music->Stop();
        music->Resume();
        EXPECT_TRUE(music->IsEnded());
    });
    EXPECT_EQ(heard.Length(), 0) << "the refused song made no sound";

    Play([&](MediaManager& media) {
        for (MediaChannel channel : {MediaChannel::Music, MediaChannel::Sound}) {
            std::unique_ptr<MediaPlayer> player = media.CreatePlayer(channel);
            EXPECT_TRUE(player->Open(kMedia + "broken/nfroidure_bad-track-length.mid"));
            EXPECT_FALSE(player->Open(kMedia + "broken/jazzsoft_missing-last-byte.mid"));
            EXPECT_FALSE(player->Open(kMedia));
            EXPECT_FALSE(player->Open(Write("empty.wav", "")));
            EXPECT_FALSE(player->Open(Path("missing.ogg")));
            EXPECT_TRUE(player->IsEnded());
        }
    });
}

// An organ note held past the end of its track: the synthesizer would
// sound it for ever. As music it ends with its track; as a sound effect it
// is decoded up to a bound and no further (ending with its track, or not
// opened at all).
TEST_F(SdlSound, AHeldNoteEndsWithItsTrack) {
    const std::string organ =
        Write("organ.mid", std::string("MThd\0\0\0\6\0\0\0\1\1\xE0"
                                       "MTrk\0\0\0\x0C"
                                       "\0\xC0\x13"             // organ
                                       "\0\x90\x3C\x64"         // a note on, never off
                                       "\x87\x40\xFF\x2F\x00",  // the end, 960 ticks on
                                       34));
    ASSERT_EQ(LengthOf(organ), 1000u);
    for (MediaChannel channel : {MediaChannel::Music, MediaChannel::Sound}) {
        const Heard heard = Play([&](MediaManager& media) {
            std::unique_ptr<MediaPlayer> player = media.CreatePlayer(channel);
            if (!player->Open(organ)) return;
            WaitForEnd(*player);
            player->Stop();
        });
        EXPECT_LT(heard.Length(), 1100) << (channel == MediaChannel::Music ? "music" : "sound");
    }
}

// No sound device: one line says so, and sounds take their time in silence.
TEST_F(SdlSound, WithoutADeviceSoundsTakeTheirTime) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    testing::internal::CaptureStderr();
    SdlMedia media(Events(), host.backend.Time());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(media.Audible());
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    Events().WatchMedia(&media);

    const std::string beep = kMedia + "flixel_beep_id3v23_stereo_44k.mp3";
    std::unique_ptr<MediaPlayer> sound = media.CreatePlayer(MediaChannel::Sound);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(sound->Open(beep));
    WaitForEnd(*sound);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(LengthOf(beep)));
    EXPECT_FALSE(sound->Open(kMedia + "broken/tinytag_zero-value-properties.wav"));
    Events().WatchMedia(&host.backend.Sounds());
}
