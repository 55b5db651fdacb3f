#include "storage/Mag_conv.h"

#include <cstring>
#include <optional>

#include "graphics/Las_grf.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "storage/Bmp_dec.h"

namespace storage {

namespace {

constexpr char kMagId[] = "MAKI02  ";
constexpr size_t kMagIdSize = 8;
constexpr uint8_t kCommentEnd = 0x1A;

// Copy sources of the flag nibbles 1 to 15 as (units to the left, rows up);
// nibble 0 takes a unit from the pixel stream instead.
constexpr struct {
    int units;
    int rows;
} kCopyOffsets[16] = {{0, 0}, {1, 0}, {2, 0}, {4, 0}, {0, 1}, {1, 1}, {0, 2}, {1, 2},
                      {2, 2}, {0, 4}, {1, 4}, {2, 4}, {0, 8}, {1, 8}, {2, 8}, {0, 16}};

uint16_t GetLe16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

uint32_t GetLe32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

void PutLe16(uint8_t* bytes, uint32_t value) {
    bytes[0] = static_cast<uint8_t>(value);
    bytes[1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(uint8_t* bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

const uint8_t* BytesOf(const std::string& text) {
    return reinterpret_cast<const uint8_t*>(text.data());
}

void CopyName(char* name, const uint8_t* bytes, size_t size) {
    std::memcpy(name, bytes, size);
    name[size] = '\0';
}

// Widens the edges to whole pixel units (8 pixels at 16 colours, 4 at 256)
// and derives the BMP geometry. False for a header no decoder should follow,
// including pictures too large for the player to hold.
bool SetGeometry(MagInfo* info) {
    const bool wide = MMAG_Is256Colours(info);
    const int32_t align = wide ? 4 : 8;
    const int32_t alignedX0 = info->x0 / align * align;
    const int32_t alignedX1 = (info->x1 / align + 1) * align - 1;
    if (info->topMarker != 0 || alignedX1 - alignedX0 < 1 || info->y1 < info->y0) return false;
    const int64_t width = alignedX1 + 1 - alignedX0;
    const int64_t height = info->y1 - info->y0 + 1;
    if (width > graphics::kMaxPictureSide || height > graphics::kMaxPictureSide ||
        width * height > graphics::kMaxPicturePixels) {
        return false;
    }
    info->alignedX0 = static_cast<uint16_t>(alignedX0);
    info->alignedX1 = static_cast<uint16_t>(alignedX1);
    info->lineBytes = static_cast<uint16_t>(wide ? width : width / 2);
    info->height = static_cast<uint16_t>(height);
    return true;
}

// One flag A bit per flag byte, four BMP bytes to a flag byte, the bits
// running on from row to row.
uint64_t FlagABytes(const MagInfo* info) {
    const uint64_t bits = uint64_t{info->lineBytes} / 4 * info->height;
    return (bits + 7) / 8;
}

// A stretch of the MAG data that a decoder reads forward.
struct Span {
    const uint8_t* next;
    const uint8_t* end;
};

// The `size` bytes at `offset` from the header, when the data holds them all.
bool Region(const uint8_t* data, size_t length, const MagInfo* info, uint32_t offset, uint64_t size,
            Span* span) {
    const uint64_t start = uint64_t{info->headerOffset} + offset;
    if (start > length || size > length - start) return false;
    span->next = data + start;
    span->end = span->next + size;
    return true;
}

bool HasAllData(const uint8_t* data, size_t length, const MagInfo* info) {
    Span span;
    return Region(data, length, info, info->flagAOffset, FlagABytes(info), &span) &&
           Region(data, length, info, info->flagBOffset, info->flagBSize, &span) &&
           Region(data, length, info, info->pixelOffset, info->pixelSize, &span);
}

uint16_t Load16(const uint8_t* bytes) {
    uint16_t value;
    std::memcpy(&value, bytes, 2);
    return value;
}

// The number of flag bytes from `start` on that equal the one at `start`,
// compared eight at a time.
size_t RunLength(const uint8_t* flags, size_t start, size_t count) {
    const uint64_t pattern = flags[start] * uint64_t{0x0101010101010101};
    size_t end = start + 1;
    for (uint64_t word; count - end >= 8; end += 8) {
        std::memcpy(&word, flags + end, 8);
        if (word != pattern) break;
    }
    while (end < count && flags[end] == flags[start]) ++end;
    return end - start;
}

// Flag bytes whose two units can be written a run at a time: raw pixels,
// both units from straight above, or both repeating the unit to the left
// (flat areas).
bool IsRunFlag(uint8_t flag) {
    const unsigned high = flag >> 4;
    return flag == 0 || ((flag & 15) == high && (high == 1 || kCopyOffsets[high].units == 0));
}

// Writes one BMP row. A copy reads the unit at its linear distance wherever
// that lies in the pixel buffer, as the original decoder did: a copy from
// the left at the start of a row reads the end of the row below (not yet
// decoded), one unit left and one row up at the first unit reads the end of
// this very row. Only sources outside the buffer, before its start or above
// the top row, are refused.
// Made afresh for each row as a local, so that its positions stay in
// registers: the output is bytes, which may alias anything, and the fields of
// a longer-lived object would be reloaded after every unit written.
class RowWriter {
public:
    RowWriter(uint8_t* pixels, size_t rowStart, size_t total, const ptrdiff_t* distance,
              Span stream)
        : pixels_(pixels),
          rowStart_(rowStart),
          total_(total),
          distance_(distance),
          stream_(stream),
          out_(rowStart) {}

    Span Stream() const { return stream_; }

    // Bytes straight from the pixel stream.
    bool Take(size_t size) {
        if (static_cast<size_t>(stream_.end - stream_.next) < size) return false;
        std::memcpy(pixels_ + out_, stream_.next, size);
        out_ += size;
        stream_.next += size;
        last_ = Load16(pixels_ + out_ - 2);
        return true;
    }

    // One unit by its nibble.
    bool Unit(unsigned nibble) {
        if (nibble == 0) return Take(2);
        if (nibble == 1 && out_ != rowStart_) {
            Put(last_);
            return true;
        }
        const ptrdiff_t source = static_cast<ptrdiff_t>(out_) + distance_[nibble];
        if (source < 0 || static_cast<size_t>(source) + 2 > total_) return false;
        Put(Load16(pixels_ + source));
        return true;
    }

    // Units from straight above, `rows` rows up.
    bool CopyRun(unsigned nibble, size_t size) {
        const size_t source = out_ + distance_[nibble];
        if (source + size > total_) return false;
        std::memcpy(pixels_ + out_, pixels_ + source, size);
        out_ += size;
        last_ = Load16(pixels_ + out_ - 2);
        return true;
    }

    // Units repeating the one to the left.
    bool RepeatRun(size_t size) {
        const size_t end = out_ + size;
        if (!Unit(1)) return false;  // at the start of a row, from the row below
        while (out_ < end) Put(last_);
        return true;
    }

private:
    void Put(uint16_t unit) {
        std::memcpy(pixels_ + out_, &unit, 2);
        out_ += 2;
        last_ = unit;
    }

    uint8_t* pixels_;
    size_t rowStart_;
    size_t total_;
    const ptrdiff_t* distance_;
    Span stream_;
    size_t out_;
    uint16_t last_ = 0;  // the unit written last, at hand for copies from the left
};

// Copies at the first units of a row can read the last units of the rows
// below and of the row itself before they are written: those read 0,
// whatever the buffer held. The flag row starts out 0 as well.
void ClearUnwritten(uint8_t* pixels, size_t lineBytes, size_t height) {
    const size_t tail = lineBytes < 8 ? lineBytes : 8;
    for (size_t end = lineBytes; end <= lineBytes * height; end += lineBytes) {
        std::memset(pixels + end - tail, 0, tail);
    }
    std::memset(pixels + lineBytes - lineBytes / 4, 0, lineBytes / 4);
}

// The flag and copy scheme, writing the BMP rows top image row first. The
// rows are bottom-up, so the rows above the current one lie after it in memory.
class MagDecoder {
public:
    MagDecoder(uint8_t* pixels, size_t lineBytes, size_t height, Span flagA, Span flagB,
               Span stream)
        : pixels_(pixels),
          lineBytes_(lineBytes),
          total_(lineBytes * height),
          flagA_(flagA.next),
          flagB_(flagB),
          stream_(stream),
          // The flag row lives in the end of the bottom row, which is written
          // last, as in the original decoder: copies that read bytes not yet
          // written there see the flag bytes. Each flag byte is read before
          // the bytes over it are written.
          flags_(pixels + lineBytes - lineBytes / 4),
          flagCount_(lineBytes / 4) {
        for (int nibble = 0; nibble < 16; ++nibble) {
            distance_[nibble] = static_cast<ptrdiff_t>(kCopyOffsets[nibble].rows * lineBytes) -
                                kCopyOffsets[nibble].units * 2;
        }
        ClearUnwritten(pixels, lineBytes, height);
    }

    bool Run() {
        for (size_t rowStart = total_; rowStart > 0;) {
            rowStart -= lineBytes_;
            if (!DecodeRow(rowStart)) return false;
        }
        return true;
    }

private:
    // XORs the flag B bytes that flag A asks for into flag bytes [begin, end)
    // of the flag row. A flag A byte of 0 passes eight flag bytes at once.
    // Flag A holds exactly the bits the rows use, so it needs no bounds check.
    bool ReadFlags(size_t begin, size_t end) {
        const uint8_t* flagA = flagA_;
        uint8_t bit = bit_;
        Span flagB = flagB_;
        uint8_t* const flags = flags_;
        for (size_t j = begin; j < end;) {
            if (bit == 0x80 && *flagA == 0 && end - j >= 8) {
                ++flagA;
                j += 8;
                continue;
            }
            if (*flagA & bit) {
                if (flagB.next == flagB.end) return false;
                flags[j] ^= *flagB.next++;
            }
            bit >>= 1;
            if (bit == 0) {
                bit = 0x80;
                ++flagA;
            }
            ++j;
        }
        flagA_ = flagA;
        bit_ = bit;
        flagB_ = flagB;
        return true;
    }

    bool DecodeRow(size_t rowStart) {
        RowWriter row(pixels_, rowStart, total_, distance_, stream_);
        const uint8_t* const flags = flags_;
        const size_t count = flagCount_;
        size_t j = 0;
        // In the two bottom rows the copies at the first four units can read
        // the flag row, which must then hold what it holds mid-row: the flag
        // bytes up to the current one changed, the later ones not yet. So
        // there the first two change one at a time, each before its units.
        if (rowStart < 2 * lineBytes_) {
            for (; j < count && j < 2; ++j) {
                if (!ReadFlags(j, j + 1) || !row.Unit(flags[j] >> 4) || !row.Unit(flags[j] & 15)) {
                    return false;
                }
            }
        }
        if (!ReadFlags(j, count)) return false;
        while (j < count) {
            const uint8_t flag = flags[j];
            bool ok;
            if (IsRunFlag(flag)) {
                const size_t run = RunLength(flags, j, count);
                ok = flag == 0      ? row.Take(run * 4)
                     : flag == 0x11 ? row.RepeatRun(run * 4)
                                    : row.CopyRun(flag >> 4, run * 4);
                j += run;
            } else {
                ok = row.Unit(flag >> 4) && row.Unit(flag & 15);
                ++j;
            }
            if (!ok) return false;
        }
        stream_ = row.Stream();
        return true;
    }

    uint8_t* pixels_;
    size_t lineBytes_;
    size_t total_;
    const uint8_t* flagA_;
    uint8_t bit_ = 0x80;  // flag A bits run on from row to row
    Span flagB_;
    Span stream_;
    uint8_t* flags_;
    size_t flagCount_;
    ptrdiff_t distance_[16];
};

void WriteBmpHeaders(const MagInfo* info, uint8_t* bmp) {
    const uint32_t offBits = static_cast<uint32_t>(kBmpHeadersSize + MMAG_ColourTableSize(info));
    std::memset(bmp, 0, kBmpHeadersSize);
    bmp[0] = 'B';
    bmp[1] = 'M';
    PutLe32(bmp + 2, static_cast<uint32_t>(MMAG_BmpSizeOf(info)));
    PutLe32(bmp + 10, offBits);
    PutLe32(bmp + 14, 40);
    PutLe32(bmp + 18, info->alignedX1 - info->alignedX0 + 1u);
    PutLe32(bmp + 22, info->height);  // positive: rows bottom-up
    PutLe16(bmp + 26, 1);
    PutLe16(bmp + 28, MMAG_Is256Colours(info) ? 8 : 4);
}

}  // namespace

size_t MMAG_ColourTableSize(const MagInfo* info) {
    return MMAG_Is256Colours(info) ? 1024 : 64;
}

size_t MMAG_BmpSizeOf(const MagInfo* info) {
    return size_t{info->lineBytes} * info->height + MMAG_ColourTableSize(info) + kBmpHeadersSize;
}

int MMAG_ParseHeader(const uint8_t* data, size_t length, MagInfo* info) {
    const void* commentEnd = length > 0 ? std::memchr(data, kCommentEnd, length) : nullptr;
    if (!commentEnd) return kMagNoHeader;
    const size_t headerOffset = static_cast<const uint8_t*>(commentEnd) - data + 1;
    if (length - headerOffset < kMagHeaderSize) return kMagNoHeader;
    if (std::memcmp(data, kMagId, kMagIdSize) != 0) return kMagNotMag;

    // The names sit before the header, so at least 33 bytes are there.
    *info = MagInfo{};
    CopyName(info->machineName, data + 8, 4);
    CopyName(info->userName, data + 12, 19);
    const uint8_t* header = data + headerOffset;
    info->topMarker = header[0];
    info->machineCode = header[1];
    info->machineFlags = header[2];
    info->screenMode = header[3];
    info->x0 = GetLe16(header + 4);
    info->y0 = GetLe16(header + 6);
    info->x1 = GetLe16(header + 8);
    info->y1 = GetLe16(header + 10);
    info->flagAOffset = GetLe32(header + 12);
    info->flagBOffset = GetLe32(header + 16);
    info->flagBSize = GetLe32(header + 20);
    info->pixelOffset = GetLe32(header + 24);
    info->pixelSize = GetLe32(header + 28);
    info->headerOffset = static_cast<uint32_t>(headerOffset);
    if (!SetGeometry(info)) return kMagInvalid;
    return HasAllData(data, length, info) ? kMagComplete : kMagTruncated;
}

int MMAG_ReadPalette(const uint8_t* data, size_t length, uint8_t* bmpColours, const MagInfo* info) {
    const size_t colours = MMAG_ColourTableSize(info) / 4;
    Span palette;
    if (!Region(data, length, info, kMagHeaderSize, colours * 3, &palette)) return 1;
    for (size_t i = 0; i < colours; ++i, palette.next += 3, bmpColours += 4) {
        bmpColours[0] = palette.next[2];  // blue
        bmpColours[1] = palette.next[0];  // green
        bmpColours[2] = palette.next[1];  // red
        bmpColours[3] = 0;
    }
    return 0;
}

bool MMAG_DecodePixels(const uint8_t* data, size_t length, uint8_t* bmpPixels, size_t bmpSize,
                       const MagInfo* info) {
    const size_t lineBytes = info->lineBytes;
    const size_t height = info->height;
    if (lineBytes == 0 || lineBytes % 4 != 0 || bmpSize / lineBytes < height) return false;
    Span flagA, flagB, stream;
    if (!Region(data, length, info, info->flagAOffset, FlagABytes(info), &flagA) ||
        !Region(data, length, info, info->flagBOffset, info->flagBSize, &flagB) ||
        !Region(data, length, info, info->pixelOffset, info->pixelSize, &stream)) {
        return false;
    }

    return MagDecoder(bmpPixels, lineBytes, height, flagA, flagB, stream).Run();
}

int MMAG_DecodeToBmp(const uint8_t* data, size_t length, uint8_t* buffer, size_t bufferSize) {
    MagInfo info;
    if (MMAG_ParseHeader(data, length, &info) != kMagComplete) return -1;
    if (bufferSize < MMAG_BmpSizeOf(&info)) return -1;
    WriteBmpHeaders(&info, buffer);
    uint8_t* colours = buffer + kBmpHeadersSize;
    if (MMAG_ReadPalette(data, length, colours, &info) != 0) return -1;
    uint8_t* pixels = colours + MMAG_ColourTableSize(&info);
    const size_t pixelBytes = size_t{info.lineBytes} * info.height;
    return MMAG_DecodePixels(data, length, pixels, pixelBytes, &info) ? 0 : -1;
}

size_t MMAG_GetBmpSize(const char* path) {
    const std::optional<std::string> bytes = platform::ReadFile(path, kMagMaxFileSize);
    if (!bytes) return 0;
    MagInfo info;
    const int result = MMAG_ParseHeader(BytesOf(*bytes), bytes->size(), &info);
    return result == kMagComplete || result == kMagTruncated ? MMAG_BmpSizeOf(&info) : 0;
}

int MMAG_MagtoBmp(const char* path, uint8_t* buffer, size_t bufferSize) {
    const std::optional<std::string> bytes = platform::ReadFile(path, kMagMaxFileSize);
    if (!bytes) return -1;
    return MMAG_DecodeToBmp(BytesOf(*bytes), bytes->size(), buffer, bufferSize);
}

bool TM2BC::Convert(const char* path, DecodedPicture& bitmap) {
    std::string image;
    return MagToBmpStream(path, image) &&
           DecodeBmp(reinterpret_cast<const uint8_t*>(image.data()), image.size(), bitmap);
}

bool TM2BC::MagToBmpStream(const char* path, std::string& bmpImage) {
    const size_t size = MMAG_GetBmpSize(path);
    if (size == 0) return false;
    const size_t start = bmpImage.size();
    bmpImage.resize(start + size);
    uint8_t* buffer = reinterpret_cast<uint8_t*>(bmpImage.data() + start);
    if (MMAG_MagtoBmp(path, buffer, size) != 0) {
        bmpImage.resize(start);
        platform::ShowMessage(platform::MessageKind::Warning, platform::MessageButtons::Ok,
                              "Failed by MMAG_MagtoBmp");
        return false;
    }
    return true;
}

}  // namespace storage
