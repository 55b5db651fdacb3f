// What a sound file is and how long it plays, read from its headers without
// decoding it and without an audio device: WAV (PCM, float, A-law, mu-law, MS
// and IMA ADPCM), Ogg Vorbis and Opus, MP3 (and MPEG layers I and II), FLAC,
// and Standard MIDI Files (plain or in RIFF RMID) with their tempo maps. The
// players that run on a clock (headless runs, a machine without sound) play
// each file for this long; the audio player checks files with it before the
// libraries see them.
//
// Files come from strangers: every read is bounded, nothing is read whole
// except a MIDI file of at most kMaxMidiBytes, and a damaged or absurd file is
// refused rather than guessed at. What the headers cannot tell: a chained Ogg
// file counts as its last link (SDL_mixer plays only the first), and past
// 32 MB an MP3 file is taken to go on at the bitrate it had.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

enum class MediaFormat { Wave, OggVorbis, OggOpus, Mpeg, Flac, Midi };

struct MediaInfo {
    MediaFormat format;
    uint32_t milliseconds;  // more than 0, at most kMaxMediaMilliseconds
};

// Longer claims are cut to this: a day is more than any game plays one file,
// and tick deadlines stay well within their 24 days.
constexpr uint32_t kMaxMediaMilliseconds = 24u * 60 * 60 * 1000;
// No song comes near this, and a synthesizer reads the whole file.
constexpr uint64_t kMaxMidiBytes = 16u << 20;

// A file's bytes by offset.
class MediaBytes {
public:
    virtual ~MediaBytes() = default;
    virtual uint64_t Size() const = 0;
    // Copies up to `count` bytes from `offset` (fewer at the end); how many.
    virtual size_t Read(uint64_t offset, void* into, size_t count) const = 0;
};

class MemoryBytes final : public MediaBytes {
public:
    MemoryBytes(const void* data, size_t size)
        : data_(static_cast<const unsigned char*>(data)), size_(size) {}
    uint64_t Size() const override { return size_; }
    size_t Read(uint64_t offset, void* into, size_t count) const override;

private:
    const unsigned char* data_;
    size_t size_;
};

// Nothing when the bytes are no sound file this reader knows, are damaged,
// or play for no time at all. `recognized`, where given, tells whether they
// start like one of its formats (and so, given nothing, are damaged).
std::optional<MediaInfo> ReadMediaInfo(const MediaBytes& bytes, bool* recognized = nullptr);
// The same for a regular file on disk (a UTF-8 path); directories, devices
// and files that cannot be opened give nothing, unrecognized.
std::optional<MediaInfo> ReadMediaInfoFile(const std::string& path, bool* recognized = nullptr);

// Whether the file's name says it is of a format this reader knows (.wav,
// .ogg, .opus, .mp3, .flac, .mid and the like, in any case): the audio
// library takes such a file for that format by its name alone.
bool HasMediaName(const std::string& path);

}  // namespace platform
