// Sound files' lengths from their headers: each format against what other
// tools measured, MIDI tempo maps, damaged and absurd files, and huge ones.
#include "platform/media_info.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "common/test_files.h"
#include "common/test_package.h"

using namespace platform;
using testkit::Le;

namespace {

const std::string kMedia = ORV_TEST_DATA "/media/";

std::optional<MediaInfo> InfoOf(const std::string& bytes) {
    return ReadMediaInfo(MemoryBytes(bytes.data(), bytes.size()));
}

// The length in milliseconds, 0 when refused.
uint32_t LengthOf(const MediaBytes& bytes) {
    std::optional<MediaInfo> info = ReadMediaInfo(bytes);
    return info ? info->milliseconds : 0;
}
uint32_t LengthOf(const std::string& bytes) {
    return LengthOf(MemoryBytes(bytes.data(), bytes.size()));
}

// --- Standard MIDI Files, written out ----------------------------------------

std::string Be(uint32_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out += char((value >> (8 * i)) & 0xFF);
    return out;
}

std::string Vlq(uint32_t value) {
    std::string out(1, char(value & 0x7F));
    while (value >>= 7) out.insert(out.begin(), char(0x80 | (value & 0x7F)));
    return out;
}

std::string Tempo(uint32_t delta, uint32_t microsecondsPerQuarter) {
    return Vlq(delta) + "\xFF\x51\x03" + Be(microsecondsPerQuarter, 3);
}
std::string Note(uint32_t delta) {
    return Vlq(delta) + "\x90\x3C\x40";
}
std::string EndOfTrack(uint32_t delta) {
    return Vlq(delta) + std::string("\xFF\x2F\x00", 3);
}
std::string Track(const std::string& events) {
    return "MTrk" + Be(uint32_t(events.size()), 4) + events;
}
std::string Smf(int format, int tracks, uint16_t division, const std::string& body) {
    return "MThd" + Be(6, 4) + Be(format, 2) + Be(tracks, 2) + Be(division, 2) + body;
}

// A file of `size` bytes that starts with `start` and is zeros after it, or
// repeats `start` throughout; it counts what is read of it.
class LargeFile final : public MediaBytes {
public:
    LargeFile(std::string start, uint64_t size, bool repeat)
        : start_(std::move(start)), size_(size), repeat_(repeat) {}
    uint64_t Size() const override { return size_; }
    size_t Read(uint64_t offset, void* into, size_t count) const override {
        auto* out = static_cast<char*>(into);
        size_t n = 0;
        for (; n < count && offset + n < size_; ++n) {
            const uint64_t at = offset + n;
            out[n] = repeat_ ? start_[at % start_.size()] : at < start_.size() ? start_[at] : 0;
        }
        read += n;
        return n;
    }
    mutable uint64_t read = 0;

private:
    std::string start_;
    uint64_t size_;
    bool repeat_;
};

constexpr uint64_t kGigabyte = uint64_t{1} << 30;

// A WAV file's headers up to its data.
std::string Wave(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t blockAlign, uint16_t bits,
                 uint32_t dataSize) {
    return "RIFF" + Le(0, 4) + "WAVE" + "fmt " + Le(16, 4) + Le(tag, 2) + Le(channels, 2) +
           Le(rate, 4) + Le(rate * blockAlign, 4) + Le(blockAlign, 2) + Le(bits, 2) + "data" +
           Le(dataSize, 4);
}

}  // namespace

// The reference lengths are what other decoders report for these files.
TEST(MediaInfo, EachFormatPlaysForItsLength) {
    struct Case {
        const char* file;
        MediaFormat format;
        uint32_t milliseconds;
        uint32_t tolerance;
    } cases[] = {
        {"music21_test10_fmt0_tempo-changes.mid", MediaFormat::Midi, 10100, 5},
        {"music21_test11_fmt1_4trk_tempo-changes.mid", MediaFormat::Midi, 10600, 15},
        {"jazzsoft_multichannel-chords-1_fmt1_3trk.mid", MediaFormat::Midi, 4000, 5},
        {"raylib_target_stereo_22k.ogg", MediaFormat::OggVorbis, 2000, 5},
        {"sdlmixer_splash_pcm8_mono_11k.wav", MediaFormat::Wave, 2029, 5},
        // The blocks hold 53025 samples; the fact chunk claims 53499.
        {"wavefile_ima-adpcm_mono_8k.wav", MediaFormat::Wave, 6628, 1},
        {"flixel_splash_cbr128_stereo_44k.mp3", MediaFormat::Mpeg, 2475, 15},
        {"flixel_beep_id3v23_stereo_44k.mp3", MediaFormat::Mpeg, 330, 15},
    };
    for (const Case& c : cases) {
        std::optional<MediaInfo> info = ReadMediaInfoFile(kMedia + c.file);
        ASSERT_TRUE(info) << c.file;
        EXPECT_EQ(info->format, c.format) << c.file;
        EXPECT_NEAR(info->milliseconds, c.milliseconds, c.tolerance) << c.file;
    }
}

// What decoders refuse is refused; a MIDI track that claims more bytes than
// the file holds but ends properly is played, as synthesizers do.
TEST(MediaInfo, DamagedFilesAreRefused) {
    for (const char* file :
         {"jazzsoft_missing-last-byte.mid", "jazzsoft_not-a-midi-file.mid",
          "nfroidure_bad-header-chunk-id.mid", "tinytag_invalid-zeros.mp3",
          "tinytag_magic-bytes-only.ogg", "tinytag_magic-bytes-only.wav",
          "tinytag_zero-value-properties.ogg", "tinytag_zero-value-properties.wav"}) {
        EXPECT_FALSE(ReadMediaInfoFile(kMedia + "broken/" + file)) << file;
    }
    EXPECT_EQ(ReadMediaInfoFile(kMedia + "broken/nfroidure_bad-track-length.mid")
                  .value_or(MediaInfo{})
                  .milliseconds,
              2000u);

    bool recognized = false;
    EXPECT_FALSE(
        ReadMediaInfoFile(kMedia + "broken/tinytag_zero-value-properties.ogg", &recognized));
    EXPECT_TRUE(recognized) << "an Ogg file, damaged";
    EXPECT_FALSE(ReadMediaInfoFile(kMedia + "broken/jazzsoft_not-a-midi-file.mid", &recognized));
    EXPECT_FALSE(recognized) << "text, whatever its name says";
    EXPECT_TRUE(HasMediaName("/x/SONG.MID"));
    EXPECT_FALSE(HasMediaName("/x.mid/song.aiff"));
}

// Tempo maps over several tracks are in the files above.
TEST(MediaInfo, MidiTimeBasesAndRareEvents) {
    // Half a second at 120 beats a minute, the default, wrapped in RIFF RMID.
    const std::string song = Smf(0, 1, 480, Track(Note(0) + EndOfTrack(480)));
    EXPECT_EQ(LengthOf("RIFF" + Le(0, 4) + "RMID" + "data" + Le(song.size(), 4) + song), 500u);

    // SMPTE time, 25 frames of 40 ticks a second: tempo changes nothing.
    const uint16_t smpte = uint16_t((uint8_t(-25) << 8) | 40);
    EXPECT_EQ(LengthOf(Smf(0, 1, smpte, Track(Tempo(0, 1000000) + Note(0) + EndOfTrack(3000)))),
              3000u);
    // Running status, a system-exclusive message and a zero tempo (ignored)
    // on the way.
    const std::string running = Note(0) + Vlq(240) + std::string("\x3C\x00", 2) + Vlq(0) +
                                "\xF0\x02\x01\xF7" + Tempo(0, 0) + Note(0) + EndOfTrack(240);
    EXPECT_EQ(LengthOf(Smf(0, 1, 480, Track(running))), 500u);
    // A chunk of another kind among the tracks is passed over.
    EXPECT_EQ(LengthOf(Smf(0, 1, 480, "XFIH" + Be(2, 4) + "ab" + Track(Note(0) + EndOfTrack(480)))),
              500u);
    // Enormous delta times end at a day.
    EXPECT_EQ(
        LengthOf(Smf(0, 1, 1, Track(testkit::Repeated(Note(0x0FFFFFFF), 100) + EndOfTrack(0)))),
        kMaxMediaMilliseconds);
}

TEST(MediaInfo, AbsurdMidiIsRefused) {
    const std::string track = Track(Note(0) + EndOfTrack(480));
    const std::string refused[] = {
        Smf(1, 65535, 480, track),                                           // tracks missing
        Smf(0, 0, 480, ""),                                                  // no track
        Smf(0, 1, 0, track),                                                 // no time base
        Smf(3, 1, 480, track),                                               // no such format
        Smf(0, 1, 480, Track(EndOfTrack(0))),                                // plays no time
        Smf(0, 1, 480, Track("\x8F\xFF\xFF\xFF\x7F" + EndOfTrack(0))),       // five-byte number
        Smf(0, 1, 480, Track(Vlq(0) + "\x3C\x40" + EndOfTrack(0))),          // data without status
        Smf(0, 1, 480, Track(Vlq(0) + "\x90\x3C\xC0" + EndOfTrack(0))),      // status as data
        Smf(0, 1, 480, Track(Vlq(0) + "\xF2\x00\x00" + EndOfTrack(0))),      // system common
        Smf(0, 1, 480, Track(Note(0) + Vlq(0) + "\xFF\x01\x7F" + "short")),  // text past end
        Smf(0, 1, 480, track.substr(0, track.size() - 1)),                   // cut short
    };
    for (size_t i = 0; i < std::size(refused); ++i) {
        EXPECT_FALSE(InfoOf(refused[i])) << "case " << i;
    }
}

TEST(MediaInfo, DamagedWavesAndTruncatedData) {
    // 16-bit stereo at 1000 Hz: a frame of 4 bytes a millisecond.
    const auto wave = [](uint16_t tag, uint16_t channels, uint16_t blockAlign, uint16_t bits,
                         uint32_t dataSize, size_t present) {
        return Wave(tag, channels, 1000, blockAlign, bits, dataSize) + std::string(present, '\x11');
    };
    EXPECT_EQ(LengthOf(wave(1, 2, 4, 16, 4000, 4000)), 1000u);
    EXPECT_EQ(LengthOf(wave(1, 2, 4, 16, 0xFFFFFFFF, 2000)), 500u) << "plays what is there";
    EXPECT_FALSE(InfoOf(wave(1, 2, 3, 16, 4000, 4000))) << "frames of the wrong size";
    EXPECT_FALSE(InfoOf(wave(1, 0, 4, 16, 4000, 4000))) << "no channel";
    EXPECT_FALSE(InfoOf(wave(1, 2, 4, 12, 4000, 4000))) << "12 bits";
    EXPECT_FALSE(InfoOf(wave(0x55, 2, 4, 16, 4000, 4000))) << "a codec no decoder here has";
    EXPECT_FALSE(InfoOf(wave(1, 2, 4, 16, 0, 0))) << "nothing to play";
    EXPECT_FALSE(InfoOf("")) << "zero bytes";
}

// Files of any size are read in bounded pieces: the figures are bytes read.
TEST(MediaInfo, HugeFilesAreNotReadWhole) {
    // A 16-bit stereo 44.1 kHz WAV whose data runs for a gigabyte.
    LargeFile wave(Wave(1, 2, 44100, 4, 16, 0xFFFFFFF0), kGigabyte, false);
    EXPECT_NEAR(LengthOf(wave), (kGigabyte - 44) / 4 * 1000 / 44100, 1);
    EXPECT_LT(wave.read, 1u << 20);

    // Ogg: its first pages, then a gigabyte without another page.
    LargeFile ogg(testkit::ReadFile(kMedia + "raylib_target_stereo_22k.ogg").substr(0, 4096),
                  kGigabyte, false);
    EXPECT_EQ(LengthOf(ogg), 0u);
    EXPECT_LT(ogg.read, 4u << 20);

    // MP3 frames over a whole gigabyte: counted over the first part only.
    const std::string mp3 = testkit::ReadFile(kMedia + "flixel_splash_cbr128_stereo_44k.mp3");
    LargeFile frames(mp3, kGigabyte, true);
    const double expected = 2482.0 * kGigabyte / mp3.size();
    EXPECT_NEAR(LengthOf(frames), expected, expected / 100);
    EXPECT_LT(frames.read, 40u << 20);

    // MP3 frames, then zeros.
    LargeFile cut(mp3.substr(0, 8192), kGigabyte, false);
    EXPECT_GT(LengthOf(cut), 0u);
    EXPECT_LT(LengthOf(cut), 600u);
    EXPECT_LT(cut.read, 2u << 20);

    // A MIDI file of a gigabyte is no song; chunk after empty chunk neither.
    LargeFile midi(Smf(0, 1, 480, Track(Note(0) + EndOfTrack(480))), kGigabyte, false);
    LargeFile chunks("RIFF\xF0\xFF\xFF\xFFWAVE", kGigabyte, false);
    EXPECT_EQ(LengthOf(midi) + LengthOf(chunks), 0u);
    EXPECT_LT(midi.read + chunks.read, 2u << 20);
}

class MediaFiles : public testkit::TempDirTest {};

TEST_F(MediaFiles, OnlyRegularFilesAreRead) {
    EXPECT_FALSE(ReadMediaInfoFile(Path("missing.wav")));
    EXPECT_FALSE(ReadMediaInfoFile(base)) << "a folder";
    EXPECT_FALSE(ReadMediaInfoFile(Write("empty.mid", "")));
    ASSERT_EQ(mkfifo(Path("pipe.wav").c_str(), 0600), 0);
    EXPECT_FALSE(ReadMediaInfoFile(Path("pipe.wav"))) << "and no wait for a writer";
    const std::string copy =
        Write("a b\xE3\x81\x82.ogg", testkit::ReadFile(kMedia + "raylib_target_stereo_22k.ogg"));
    EXPECT_EQ(ReadMediaInfoFile(copy).value_or(MediaInfo{}).milliseconds, 2000u);
}
