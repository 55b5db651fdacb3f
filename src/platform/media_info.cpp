#include "platform/media_info.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/ascii.h"

namespace platform {

size_t MemoryBytes::Read(uint64_t offset, void* into, size_t count) const {
    if (offset >= size_) return 0;
    const size_t n = std::min<uint64_t>(count, size_ - offset);
    if (n) std::memcpy(into, data_ + offset, n);
    return n;
}

namespace {

// Reads through a window of the file, so that walking many small headers
// (MP3 frames, RIFF chunks) costs few system calls.
class Reader {
public:
    explicit Reader(const MediaBytes& bytes) : bytes_(bytes), size_(bytes.Size()) {}

    uint64_t Size() const { return size_; }

    // Exactly `count` bytes at `offset`, or false.
    bool Get(uint64_t offset, void* into, size_t count) {
        if (offset > size_ || count > size_ - offset) return false;
        if (count == 0) return true;
        if (count > kWindow) return bytes_.Read(offset, into, count) == count;
        if (offset < base_ || offset + count > base_ + window_.size()) {
            window_.resize(kWindow);
            window_.resize(bytes_.Read(offset, window_.data(), kWindow));
            base_ = offset;
            if (window_.size() < count) return false;
        }
        std::memcpy(into, window_.data() + (offset - base_), count);
        return true;
    }

    template <size_t N>
    bool Get(uint64_t offset, std::array<uint8_t, N>& into) {
        return Get(offset, into.data(), N);
    }

private:
    static constexpr size_t kWindow = 64 * 1024;
    const MediaBytes& bytes_;
    uint64_t size_;
    uint64_t base_ = 0;
    std::vector<uint8_t> window_;
};

uint16_t Le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint64_t Le64(const uint8_t* p) {
    return uint64_t(Le32(p)) | uint64_t(Le32(p + 4)) << 32;
}
uint32_t Be32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
bool Is(const uint8_t* p, const char* tag) {
    return std::memcmp(p, tag, std::strlen(tag)) == 0;
}

std::optional<MediaInfo> Made(MediaFormat format, double milliseconds) {
    if (!(milliseconds >= 0.5)) return std::nullopt;  // also NaN
    return MediaInfo{format, milliseconds >= kMaxMediaMilliseconds
                                 ? kMaxMediaMilliseconds
                                 : static_cast<uint32_t>(std::lround(milliseconds))};
}

std::optional<MediaInfo> Made(MediaFormat format, uint64_t frames, uint64_t rate) {
    if (rate == 0) return std::nullopt;
    return Made(format, double(frames) * 1000.0 / double(rate));
}

// --- RIFF WAVE ---------------------------------------------------------------

// Beyond this many chunks a file is no sound a game ships.
constexpr int kMaxRiffChunks = 4096;

struct RiffChunk {
    uint64_t body;  // offset of the contents
    uint64_t size;  // as much of the stated size as the file holds
};

// The first chunk called `id` in a RIFF file's list.
std::optional<RiffChunk> FindRiffChunk(Reader& reader, const char* id) {
    uint64_t pos = 12;
    for (int i = 0; i < kMaxRiffChunks; ++i) {
        std::array<uint8_t, 8> head;
        if (!reader.Get(pos, head)) return std::nullopt;
        const uint64_t body = pos + 8;
        const uint32_t size = Le32(&head[4]);
        if (Is(head.data(), id))
            return RiffChunk{body, std::min<uint64_t>(size, reader.Size() - body)};
        pos = body + size + (size & 1);
    }
    return std::nullopt;
}

enum WaveTag : uint16_t {
    kPcm = 1,
    kMsAdpcm = 2,
    kFloat = 3,
    kALaw = 6,
    kMuLaw = 7,
    kImaAdpcm = 0x11,
    kExtensible = 0xFFFE,
};

std::optional<MediaInfo> ReadWave(Reader& reader) {
    const std::optional<RiffChunk> fmt = FindRiffChunk(reader, "fmt ");
    const std::optional<RiffChunk> data = FindRiffChunk(reader, "data");
    if (!fmt || !data || fmt->size < 16) return std::nullopt;
    std::array<uint8_t, 40> f{};
    if (!reader.Get(fmt->body, f.data(), std::min<uint64_t>(fmt->size, f.size()))) {
        return std::nullopt;
    }
    uint16_t tag = Le16(&f[0]);
    const uint32_t channels = Le16(&f[2]);
    const uint32_t rate = Le32(&f[4]);
    const uint32_t blockAlign = Le16(&f[12]);
    const uint32_t bits = Le16(&f[14]);
    if (tag == kExtensible && fmt->size >= 40) tag = Le16(&f[24]);
    if (channels == 0 || channels > 8 || rate == 0 || blockAlign == 0) return std::nullopt;

    uint64_t frames = 0;
    const uint64_t blocks = data->size / blockAlign;
    const uint64_t rest = data->size % blockAlign;
    switch (tag) {
        case kPcm:
        case kFloat:
        case kALaw:
        case kMuLaw: {
            const bool bitsFit = tag == kPcm ? bits == 8 || bits == 16 || bits == 24 || bits == 32
                                 : tag == kFloat ? bits == 32 || bits == 64
                                                 : bits == 8;
            if (!bitsFit || blockAlign != channels * bits / 8) return std::nullopt;
            frames = blocks;
            break;
        }
        case kMsAdpcm:
        case kImaAdpcm: {
            // Each block starts with a header per channel that holds one
            // sample (two for MS ADPCM), then two samples a byte.
            const uint32_t header = (tag == kMsAdpcm ? 7 : 4) * channels;
            const uint32_t inHeader = tag == kMsAdpcm ? 2 : 1;
            if (bits != 4 || blockAlign < header) return std::nullopt;
            const auto samples = [&](uint64_t bytes) {
                return bytes < header ? 0 : inHeader + (bytes - header) * 2 / channels;
            };
            frames = blocks * samples(blockAlign) + samples(rest);
            break;
        }
        default:
            return std::nullopt;
    }
    return Made(MediaFormat::Wave, frames, rate);
}

// --- Ogg ---------------------------------------------------------------------

uint32_t OggCrc(const uint8_t* data, size_t size) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t r = i << 24;
            for (int k = 0; k < 8; ++k) r = r & 0x80000000u ? (r << 1) ^ 0x04C11DB7u : r << 1;
            t[i] = r;
        }
        return t;
    }();
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xFF];
    return crc;
}

struct OggPage {
    uint64_t granule;
    uint32_t serial;
    std::vector<uint8_t> body;
};

// The page at `offset`, if its checksum holds.
std::optional<OggPage> ReadOggPage(Reader& reader, uint64_t offset) {
    constexpr size_t kMaxPage = 27 + 255 + 255 * 255;
    std::vector<uint8_t> page(kMaxPage);
    if (!reader.Get(offset, page.data(), 27) || !Is(page.data(), "OggS") || page[4] != 0) {
        return std::nullopt;
    }
    const size_t segments = page[26];
    if (!reader.Get(offset + 27, page.data() + 27, segments)) return std::nullopt;
    size_t size = 27 + segments;
    for (size_t i = 0; i < segments; ++i) size += page[27 + i];
    if (!reader.Get(offset + 27 + segments, page.data() + 27 + segments, size - 27 - segments)) {
        return std::nullopt;
    }
    const uint32_t stated = Le32(&page[22]);
    std::memset(&page[22], 0, 4);
    if (OggCrc(page.data(), size) != stated) return std::nullopt;
    OggPage result{Le64(&page[6]), Le32(&page[14]), {}};
    result.body.assign(page.begin() + std::ptrdiff_t(27 + segments),
                       page.begin() + std::ptrdiff_t(size));
    return result;
}

// The granule position of the stream's last page: the file's end in
// samples. Searched backwards from the end, at most this far.
constexpr uint64_t kOggSearchBytes = 1 << 20;
constexpr int kOggCandidates = 512;

std::optional<uint64_t> LastGranule(Reader& reader, uint32_t serial) {
    constexpr uint64_t kStep = 64 * 1024;
    const uint64_t size = reader.Size();
    std::vector<uint8_t> window;
    int candidates = 0;
    for (uint64_t end = size; end > 0 && size - end < kOggSearchBytes;) {
        const uint64_t start = end > kStep ? end - kStep : 0;
        window.resize(end - start);
        if (!reader.Get(start, window.data(), window.size())) return std::nullopt;
        for (size_t i = window.size() >= 4 ? window.size() - 4 + 1 : 0; i-- > 0;) {
            if (!Is(&window[i], "OggS")) continue;
            if (++candidates > kOggCandidates) return std::nullopt;
            const std::optional<OggPage> page = ReadOggPage(reader, start + i);
            // A page where no packet ends has no position (all ones).
            if (page && page->serial == serial && page->granule != ~uint64_t{0}) {
                return page->granule;
            }
        }
        if (start == 0) break;
        end = start + 3;  // a capture pattern across the step is seen whole
    }
    return std::nullopt;
}

std::optional<MediaInfo> ReadOgg(Reader& reader) {
    const std::optional<OggPage> first = ReadOggPage(reader, 0);
    if (!first) return std::nullopt;
    const std::vector<uint8_t>& id = first->body;
    if (id.size() >= 16 && Is(id.data(), "\x01vorbis")) {
        const uint32_t channels = id[11];
        const uint32_t rate = Le32(&id[12]);
        if (Le32(&id[7]) != 0 || channels == 0 || rate == 0) return std::nullopt;
        const std::optional<uint64_t> end = LastGranule(reader, first->serial);
        if (!end || *end > (uint64_t{1} << 62)) return std::nullopt;
        return Made(MediaFormat::OggVorbis, *end, rate);
    }
    if (id.size() >= 19 && Is(id.data(), "OpusHead")) {
        // Opus always counts at 48 kHz, the first samples being pre-skip.
        const uint32_t channels = id[9];
        const uint32_t preSkip = Le16(&id[10]);
        if ((id[8] & 0xF0) != 0 || channels == 0) return std::nullopt;
        const std::optional<uint64_t> end = LastGranule(reader, first->serial);
        if (!end || *end > (uint64_t{1} << 62) || *end <= preSkip) return std::nullopt;
        return Made(MediaFormat::OggOpus, *end - preSkip, 48000);
    }
    return std::nullopt;
}

// --- ID3v2 (before MP3 and sometimes FLAC) -----------------------------------

// Where the audio starts after any ID3v2 tags.
uint64_t SkipId3(Reader& reader) {
    uint64_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        std::array<uint8_t, 10> tag;
        if (!reader.Get(pos, tag) || !Is(tag.data(), "ID3") || tag[3] == 0xFF) break;
        if ((tag[6] | tag[7] | tag[8] | tag[9]) & 0x80) break;
        const uint64_t size = uint64_t(tag[6]) << 21 | tag[7] << 14 | tag[8] << 7 | tag[9];
        pos += 10 + size + ((tag[5] & 0x10) ? 10 : 0);
    }
    return pos;
}

// --- FLAC --------------------------------------------------------------------

std::optional<MediaInfo> ReadFlac(Reader& reader, uint64_t start) {
    std::array<uint8_t, 4 + 4 + 34> head;
    if (!reader.Get(start, head) || !Is(head.data(), "fLaC")) return std::nullopt;
    const uint8_t* block = &head[4];
    const uint32_t length = uint32_t(block[1]) << 16 | block[2] << 8 | block[3];
    if ((block[0] & 0x7F) != 0 || length < 34) return std::nullopt;  // STREAMINFO comes first
    const uint8_t* info = &head[8];
    const uint32_t rate = uint32_t(info[10]) << 12 | info[11] << 4 | info[12] >> 4;
    const uint64_t samples = uint64_t(info[13] & 0x0F) << 32 | Be32(&info[14]);
    return Made(MediaFormat::Flac, samples, rate);
}

// --- MPEG audio --------------------------------------------------------------

struct MpegFrame {
    int version;  // 1 MPEG-1, 2 MPEG-2, 3 MPEG-2.5
    int layer;    // 1 to 3
    uint32_t rate;
    uint32_t bytes;
    uint32_t samples;
    bool mono;
};

bool ParseMpegHeader(const uint8_t* h, MpegFrame& frame) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return false;
    static const int kVersions[4] = {3, 0, 2, 1};
    static const int kLayers[4] = {0, 3, 2, 1};
    static const uint16_t kBitrates[5][16] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    };
    static const uint32_t kRates[3] = {44100, 48000, 32000};
    frame.version = kVersions[(h[1] >> 3) & 3];
    frame.layer = kLayers[(h[1] >> 1) & 3];
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    // Free-format streams are left out: their frame size is nowhere stated.
    if (frame.version == 0 || frame.layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3 || (h[3] & 3) == 2) {
        return false;
    }
    const int table = frame.version == 1 ? frame.layer - 1 : frame.layer == 1 ? 3 : 4;
    const uint32_t bitrate = kBitrates[table][bitrateIndex] * 1000u;
    frame.rate = kRates[rateIndex] >> (frame.version - 1);
    const uint32_t padding = (h[2] >> 1) & 1;
    frame.mono = (h[3] >> 6) == 3;
    if (frame.layer == 1) {
        frame.samples = 384;
        frame.bytes = (12 * bitrate / frame.rate + padding) * 4;
    } else if (frame.layer == 2 || frame.version == 1) {
        frame.samples = 1152;
        frame.bytes = 144 * bitrate / frame.rate + padding;
    } else {
        frame.samples = 576;
        frame.bytes = 72 * bitrate / frame.rate + padding;
    }
    return frame.bytes >= 4;
}

bool SameStream(const MpegFrame& a, const MpegFrame& b) {
    return a.version == b.version && a.layer == b.layer && a.rate == b.rate;
}

// A frame at `pos` that another of its stream follows (or that ends the
// audio): one sync word alone is too easily found by chance.
bool FrameAt(Reader& reader, uint64_t pos, uint64_t end, MpegFrame& frame) {
    std::array<uint8_t, 4> h;
    if (!reader.Get(pos, h) || !ParseMpegHeader(h.data(), frame)) return false;
    const uint64_t next = pos + frame.bytes;
    if (next == end) return true;
    MpegFrame following;
    return reader.Get(next, h) && ParseMpegHeader(h.data(), following) &&
           SameStream(frame, following);
}

constexpr uint64_t kMpegResync = 4 * 1024;
// Past this many bytes of frames the rest is taken at the same bitrate.
constexpr uint64_t kMpegWalkBytes = 32 << 20;

// Whether the frame holds a Xing/Info or VBRI header instead of sound. The
// frame count such a header states is not taken: the frames are counted, so
// that a file cannot claim less than it plays.
bool IsInfoFrame(Reader& reader, uint64_t pos, const MpegFrame& frame) {
    if (frame.layer != 3) return false;
    const uint64_t side = frame.version == 1 ? (frame.mono ? 17 : 32) : (frame.mono ? 9 : 17);
    std::array<uint8_t, 4> tag;
    if (reader.Get(pos + 4 + side, tag) && (Is(tag.data(), "Xing") || Is(tag.data(), "Info"))) {
        return true;
    }
    return reader.Get(pos + 4 + 32, tag) && Is(tag.data(), "VBRI");
}

std::optional<MediaInfo> ReadMpeg(Reader& reader, uint64_t start) {
    uint64_t end = reader.Size();
    std::array<uint8_t, 3> tail;
    if (end >= start + 128 && reader.Get(end - 128, tail) && Is(tail.data(), "TAG")) end -= 128;
    MpegFrame first{};
    uint64_t pos = start;
    // Only a file that starts with its audio (after its tags) is taken for
    // MPEG: anything can hold a sync word somewhere.
    if (!FrameAt(reader, pos, end, first)) return std::nullopt;
    uint64_t samples = 0;
    if (IsInfoFrame(reader, pos, first)) pos += first.bytes;
    MpegFrame frame = first;
    while (pos < end && pos - start < kMpegWalkBytes) {
        std::array<uint8_t, 4> h;
        if (reader.Get(pos, h) && ParseMpegHeader(h.data(), frame) && SameStream(frame, first) &&
            pos + frame.bytes <= end) {
            samples += frame.samples;
            pos += frame.bytes;
            continue;
        }
        // Damage: go on at the next pair of frames close by, else stop.
        uint64_t found = 0;
        for (uint64_t at = pos + 1; at < end && at - pos < kMpegResync && !found; ++at) {
            if (FrameAt(reader, at, end, frame) && SameStream(frame, first)) found = at;
        }
        if (!found) break;
        pos = found;
    }
    if (pos < end && pos - start >= kMpegWalkBytes) {
        return Made(MediaFormat::Mpeg, double(samples) * 1000.0 / first.rate *
                                           (double(end - start) / double(pos - start)));
    }
    return Made(MediaFormat::Mpeg, samples, first.rate);
}

// --- Standard MIDI File ------------------------------------------------------

constexpr size_t kMaxTempoChanges = 1 << 20;

class SmfReader {
public:
    explicit SmfReader(const std::vector<uint8_t>& smf) : smf_(smf) {}

    std::optional<MediaInfo> Read() {
        if (smf_.size() < 14 || !Is(smf_.data(), "MThd")) return std::nullopt;
        const uint32_t headerSize = Be32(&smf_[4]);
        const uint32_t format = smf_[8] << 8 | smf_[9];
        const uint32_t tracks = smf_[10] << 8 | smf_[11];
        const uint32_t division = smf_[12] << 8 | smf_[13];
        if (headerSize < 6 || headerSize > smf_.size() - 8 || format > 2 || tracks == 0 ||
            division == 0) {
            return std::nullopt;
        }
        double secondsPerTick = 0;  // with SMPTE time the tempo plays no part
        if (division & 0x8000) {
            const int fps = -static_cast<int8_t>(division >> 8);
            const uint32_t ticksPerFrame = division & 0xFF;
            if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || ticksPerFrame == 0) {
                return std::nullopt;
            }
            secondsPerTick = 1.0 / ((fps == 29 ? 29.97 : fps) * ticksPerFrame);
        }
        // Tracks follow one another; other chunks are skipped, as the format
        // asks. A track that runs past the end of the file before its
        // end-of-track event is damage the synthesizer refuses too.
        size_t pos = 8 + size_t(headerSize);
        uint32_t found = 0;
        uint64_t endTick = 0;
        while (found < tracks) {
            if (smf_.size() - pos < 8) return std::nullopt;
            const uint64_t size = Be32(&smf_[pos + 4]);
            const size_t body = pos + 8;
            if (Is(&smf_[pos], "MTrk")) {
                std::optional<uint64_t> end = ReadTrack(body, body + size);
                if (!end) return std::nullopt;
                endTick = std::max(endTick, *end);
                ++found;
            }
            if (size >= smf_.size() - body) break;
            pos = body + size;
        }
        if (found < tracks) return std::nullopt;
        if (secondsPerTick > 0) return Made(MediaFormat::Midi, endTick * secondsPerTick * 1000.0);
        return Made(MediaFormat::Midi, TempoMapMilliseconds(endTick, division));
    }

private:
    // The tick of the track's end, or nothing when it is damaged.
    std::optional<uint64_t> ReadTrack(size_t pos, uint64_t statedEnd) {
        const size_t end = std::min<uint64_t>(statedEnd, smf_.size());
        uint64_t tick = 0;
        uint8_t running = 0;
        while (pos < end) {
            const std::optional<uint32_t> delta = Vlq(pos, end);
            if (!delta || pos >= end) return std::nullopt;
            tick += *delta;
            uint8_t status = smf_[pos];
            if (status & 0x80) {
                ++pos;
            } else if (running) {
                status = running;
            } else {
                return std::nullopt;
            }
            if (status == 0xFF) {
                running = 0;
                if (pos >= end) return std::nullopt;
                const uint8_t type = smf_[pos++];
                const std::optional<uint32_t> length = Vlq(pos, end);
                if (!length || *length > end - pos) return std::nullopt;
                if (type == 0x2F) return tick;
                if (type == 0x51 && *length == 3) {
                    const uint32_t tempo = smf_[pos] << 16 | smf_[pos + 1] << 8 | smf_[pos + 2];
                    if (tempo > 0) {
                        if (tempos_.size() >= kMaxTempoChanges) return std::nullopt;
                        tempos_.push_back({tick, tempo});
                    }
                }
                pos += *length;
            } else if (status == 0xF0 || status == 0xF7) {
                running = 0;
                const std::optional<uint32_t> length = Vlq(pos, end);
                if (!length || *length > end - pos) return std::nullopt;
                pos += *length;
            } else if (status < 0xF0) {
                running = status;
                const size_t data = (status & 0xE0) == 0xC0 ? 1 : 2;
                if (end - pos < data) return std::nullopt;
                for (size_t i = 0; i < data; ++i) {
                    if (smf_[pos + i] & 0x80) return std::nullopt;
                }
                pos += data;
            } else {
                return std::nullopt;  // system messages have no place in a file
            }
        }
        // Ended exactly where it said, without its end-of-track event.
        return statedEnd <= smf_.size() ? std::optional(tick) : std::nullopt;
    }

    // A variable-length number of at most four bytes.
    std::optional<uint32_t> Vlq(size_t& pos, size_t end) const {
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            if (pos >= end) return std::nullopt;
            const uint8_t byte = smf_[pos++];
            value = value << 7 | (byte & 0x7F);
            if (!(byte & 0x80)) return value;
        }
        return std::nullopt;
    }

    // Every track's tempo changes apply to all (format 1 keeps them in the
    // first, format 0 has one track, and a synthesizer plays format 2 alike).
    double TempoMapMilliseconds(uint64_t endTick, uint32_t ticksPerQuarter) {
        std::stable_sort(tempos_.begin(), tempos_.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        double microseconds = 0;
        uint64_t tick = 0;
        uint32_t tempo = 500000;  // 120 beats a minute until told otherwise
        for (const auto& [at, next] : tempos_) {
            if (at >= endTick) break;
            microseconds += double(at - tick) * tempo / ticksPerQuarter;
            tick = at;
            tempo = next;
        }
        microseconds += double(endTick - tick) * tempo / ticksPerQuarter;
        return microseconds / 1000.0;
    }

    const std::vector<uint8_t>& smf_;
    std::vector<std::pair<uint64_t, uint32_t>> tempos_;
};

std::optional<MediaInfo> ReadMidi(Reader& reader, uint64_t offset, uint64_t size) {
    if (size > kMaxMidiBytes) return std::nullopt;
    std::vector<uint8_t> smf(size);
    if (!reader.Get(offset, smf.data(), smf.size())) return std::nullopt;
    return SmfReader(smf).Read();
}

}  // namespace

std::optional<MediaInfo> ReadMediaInfo(const MediaBytes& bytes, bool* recognized) {
    Reader reader(bytes);
    std::array<uint8_t, 12> magic{};
    if (!reader.Get(0, magic.data(), std::min<uint64_t>(reader.Size(), magic.size()))) {
        return std::nullopt;
    }
    bool claimed = true;
    bool& known = recognized ? *recognized : claimed;
    known = true;
    if (Is(magic.data(), "RIFF") && Is(&magic[8], "WAVE")) return ReadWave(reader);
    if (Is(magic.data(), "RIFF") && Is(&magic[8], "RMID")) {
        const std::optional<RiffChunk> data = FindRiffChunk(reader, "data");
        return data ? ReadMidi(reader, data->body, data->size) : std::nullopt;
    }
    if (Is(magic.data(), "MThd")) return ReadMidi(reader, 0, reader.Size());
    if (Is(magic.data(), "OggS")) return ReadOgg(reader);
    known = Is(magic.data(), "ID3") || Is(magic.data(), "fLaC") ||
            (magic[0] == 0xFF && (magic[1] & 0xE0) == 0xE0);
    const uint64_t audio = SkipId3(reader);
    if (std::optional<MediaInfo> flac = ReadFlac(reader, audio)) return flac;
    return ReadMpeg(reader, audio);
}

namespace {

class FileBytes final : public MediaBytes {
public:
    FileBytes(int fd, uint64_t size) : fd_(fd), size_(size) {}
    uint64_t Size() const override { return size_; }
    size_t Read(uint64_t offset, void* into, size_t count) const override {
        size_t done = 0;
        while (done < count && offset + done < size_) {
            const ssize_t n = pread(fd_, static_cast<char*>(into) + done, count - done,
                                    static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += size_t(n);
        }
        return done;
    }

private:
    int fd_;
    uint64_t size_;
};

}  // namespace

std::optional<MediaInfo> ReadMediaInfoFile(const std::string& path, bool* recognized) {
    if (recognized) *recognized = false;
    // Non-blocking, so that a FIFO in the file's place cannot hold the open.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st;
    std::optional<MediaInfo> info;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        info = ReadMediaInfo(FileBytes(fd, uint64_t(st.st_size)), recognized);
    }
    close(fd);
    return info;
}

bool HasMediaName(const std::string& path) {
    for (const char* extension : {".wav", ".wave", ".ogg", ".oga", ".opus", ".mp3", ".mp2", ".mpga",
                                  ".flac", ".mid", ".midi", ".rmi", ".kar"}) {
        if (HasExtension(path, extension)) return true;
    }
    return false;
}

}  // namespace platform
