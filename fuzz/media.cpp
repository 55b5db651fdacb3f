// Reads arbitrary bytes as a sound file: its length from memory, then as a
// file on disk opened by a headless player on a virtual clock. Unless the
// last byte has its top bit set, the checksums of the Ogg pages that follow
// one another from the start are made right first, so that mutations reach
// the parsers behind them.
// Besides crashes it checks that a length is within its bounds, that the
// player opens exactly what the reader reads, and that it ends exactly after
// that length.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "platform/media_info.h"

using namespace platform;

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

uint32_t OggCrc(const uint8_t* data, size_t size) {
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= uint32_t(data[i]) << 24;
        for (int k = 0; k < 8; ++k) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

void FixOggChecksums(std::vector<uint8_t>& bytes) {
    size_t pos = 0;
    while (bytes.size() - pos >= 27 && std::equal(bytes.begin() + pos, bytes.begin() + pos + 4,
                                                  reinterpret_cast<const uint8_t*>("OggS"))) {
        const size_t segments = bytes[pos + 26];
        if (bytes.size() - pos < 27 + segments) return;
        size_t size = 27 + segments;
        for (size_t i = 0; i < segments; ++i) size += bytes[pos + 27 + i];
        if (bytes.size() - pos < size) return;
        for (int i = 0; i < 4; ++i) bytes[pos + 22 + i] = 0;
        const uint32_t crc = OggCrc(&bytes[pos], size);
        for (int i = 0; i < 4; ++i) bytes[pos + 22 + i] = uint8_t(crc >> (8 * i));
        pos += size;
    }
}

// One file per process, removed at its exit.
const std::string& FilePath() {
    static const struct File {
        std::string path = "/tmp/orv-fuzz-media-" + std::to_string(getpid()) + ".bin";
        ~File() { unlink(path.c_str()); }
    } file;
    return file.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    if (size == 0 || !(bytes.back() & 0x80)) FixOggChecksums(bytes);

    const std::optional<MediaInfo> info = ReadMediaInfo(MemoryBytes(bytes.data(), bytes.size()));
    if (info) Check(info->milliseconds > 0 && info->milliseconds <= kMaxMediaMilliseconds);

    FILE* file = std::fopen(FilePath().c_str(), "wb");
    Check(file != nullptr);
    Check(std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size());
    std::fclose(file);

    VirtualClock clock(0xFFFFFF00u);  // across the wrap of the tick count
    HeadlessMedia media(clock);
    int records = 0;
    media.onEvent = [&](const MediaRecord&) { ++records; };
    std::unique_ptr<MediaPlayer> player = media.CreatePlayer(MediaChannel::Sound);
    Check(player->Open(FilePath()) == info.has_value());
    if (info) {
        clock.Advance(info->milliseconds - 1);
        Check(!player->IsEnded() && media.NextEnd() == clock.TickCount() + 1);
        clock.Advance(1);
        Check(player->IsEnded() && !media.NextEnd());
        player->SetPosition(0);
        Check(!player->IsEnded());
        player->Stop();
    }
    Check(records == (info ? 4 : 1));  // open, end, rewind, stop - or fail
    return 0;
}
