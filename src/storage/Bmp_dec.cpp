#include "storage/Bmp_dec.h"

#include <algorithm>
#include <bit>
#include <optional>

namespace storage {
namespace {

constexpr int64_t kMaxSide = 16384;
constexpr int64_t kMaxPixels = int64_t{1} << 26;
constexpr size_t kFileHeaderSize = 14;

enum Compression : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6 };

uint32_t Read16(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t Read32(const uint8_t* p) {
    return Read16(p) | Read16(p + 2) << 16;
}

struct DibLayout {
    int32_t width = 0;
    int32_t height = 0;  // rows, always positive
    bool topDown = false;
    uint32_t bitCount = 0;
    uint32_t compression = kRgb;
    uint32_t masks[3] = {};
    std::vector<uint32_t> palette;  // 0x00RRGGBB
};

bool SaneSize(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide &&
           width * height <= kMaxPixels;
}

bool KnownFormat(uint32_t bitCount, uint32_t compression) {
    switch (compression) {
        case kRgb:
            return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
                   bitCount == 24 || bitCount == 32;
        case kRle8:
            return bitCount == 8;
        case kRle4:
            return bitCount == 4;
        case kBitFields:
        case kAlphaBitFields:
            return bitCount == 16 || bitCount == 32;
        default:
            return false;
    }
}

// The header, its bit-field masks and its colour table, all inside `size`.
std::optional<DibLayout> ReadLayout(const uint8_t* info, size_t size) {
    if (size < 12) return std::nullopt;
    uint32_t headerSize = Read32(info);
    if (headerSize > size || headerSize < 12) return std::nullopt;
    DibLayout layout;
    int64_t width, height;
    bool os2 = headerSize == 12;
    if (os2) {  // OS/2 1.x: 16-bit sizes, 3-byte colours
        width = Read16(info + 4);
        height = Read16(info + 6);
        layout.bitCount = Read16(info + 10);
    } else {
        if (headerSize < 16) return std::nullopt;
        width = static_cast<int32_t>(Read32(info + 4));
        height = static_cast<int32_t>(Read32(info + 8));
        layout.bitCount = Read16(info + 14);
        if (headerSize >= 20) layout.compression = Read32(info + 16);
    }
    layout.topDown = height < 0;
    if (layout.topDown) height = -height;
    // OS/2 2.x uses 3 and 4 for Huffman and RLE24, which no game needs.
    if (headerSize == 64 && layout.compression > kRle4) return std::nullopt;
    if (!SaneSize(width, height) || !KnownFormat(layout.bitCount, layout.compression) ||
        (layout.topDown && (layout.compression == kRle8 || layout.compression == kRle4))) {
        return std::nullopt;
    }
    layout.width = static_cast<int32_t>(width);
    layout.height = static_cast<int32_t>(height);

    size_t tableStart = headerSize;
    if (layout.compression == kBitFields || layout.compression == kAlphaBitFields) {
        // Masks stand in the larger headers, or follow a 40-byte one.
        size_t at = headerSize >= 52 ? 40 : headerSize;
        if (at + 12 > size) return std::nullopt;
        for (int i = 0; i < 3; ++i) layout.masks[i] = Read32(info + at + 4 * i);
        if (headerSize < 52) tableStart += layout.compression == kAlphaBitFields ? 16 : 12;
    } else if (layout.bitCount == 16) {
        layout.masks[0] = 0x7C00, layout.masks[1] = 0x03E0, layout.masks[2] = 0x001F;
    } else {
        layout.masks[0] = 0xFF0000, layout.masks[1] = 0x00FF00, layout.masks[2] = 0x0000FF;
    }

    if (layout.bitCount <= 8) {
        uint32_t entries = 1u << layout.bitCount;
        uint32_t used = headerSize >= 36 ? Read32(info + 32) : 0;
        if (used > 0 && used < entries) entries = used;
        size_t entrySize = os2 ? 3 : 4;
        if (tableStart > size || (size - tableStart) / entrySize < entries) return std::nullopt;
        for (uint32_t i = 0; i < entries; ++i) {
            const uint8_t* colour = info + tableStart + i * entrySize;
            layout.palette.push_back(uint32_t(colour[2]) << 16 | uint32_t(colour[1]) << 8 |
                                     colour[0]);
        }
    }
    return layout;
}

// A masked channel widened to 8 bits by repeating its bits, as Windows shows
// 5- and 6-bit colours (31 becomes 255, 16 becomes 132); wider ones keep their
// top 8 bits.
uint32_t Channel(uint32_t raw, uint32_t mask) {
    if (mask == 0) return 0;
    uint32_t value = (raw & mask) >> std::countr_zero(mask);
    int bits = std::popcount(mask);
    if (bits >= 8) return value >> (bits - 8);
    uint32_t wide = 0;
    for (int shift = 8 - bits; shift > -bits; shift -= bits) {
        wide |= shift >= 0 ? value << shift : value >> -shift;
    }
    return wide & 0xFF;
}

uint32_t MaskedColour(uint32_t raw, const DibLayout& layout) {
    return Channel(raw, layout.masks[0]) << 16 | Channel(raw, layout.masks[1]) << 8 |
           Channel(raw, layout.masks[2]);
}

uint32_t PaletteColour(uint32_t index, const DibLayout& layout) {
    return index < layout.palette.size() ? layout.palette[index] : 0;
}

void ConvertRow(const uint8_t* source, const DibLayout& layout, uint32_t* out) {
    for (int32_t x = 0; x < layout.width; ++x) {
        switch (layout.bitCount) {
            case 1:
                out[x] = PaletteColour((source[x / 8] >> (7 - x % 8)) & 1, layout);
                break;
            case 4:
                out[x] = PaletteColour((source[x / 2] >> (x % 2 ? 0 : 4)) & 15, layout);
                break;
            case 8:
                out[x] = PaletteColour(source[x], layout);
                break;
            case 16:
                out[x] = MaskedColour(Read16(source + 2 * x), layout);
                break;
            case 24:
                out[x] = uint32_t(source[3 * x + 2]) << 16 | uint32_t(source[3 * x + 1]) << 8 |
                         source[3 * x];
                break;
            default:
                out[x] = MaskedColour(Read32(source + 4 * x), layout);
                break;
        }
    }
}

uint64_t StrideOf(const DibLayout& layout) {
    return (uint64_t(layout.width) * layout.bitCount + 31) / 32 * 4;
}

// The rows must all be there; checked before the picture is allocated.
bool HoldsEveryRow(const DibLayout& layout, size_t size) {
    bool runLengths = layout.compression == kRle8 || layout.compression == kRle4;
    return runLengths || StrideOf(layout) * uint64_t(layout.height) <= size;
}

void DecodeRows(const DibLayout& layout, const uint8_t* bits, uint32_t* pixels) {
    uint64_t stride = StrideOf(layout);
    for (int32_t y = 0; y < layout.height; ++y) {
        int32_t stored = layout.topDown ? y : layout.height - 1 - y;
        ConvertRow(bits + stride * stored, layout, pixels + size_t(y) * layout.width);
    }
}

// Run-length rows, the bottom row first; pixels a run skips keep colour 0.
// False when the data ends before the end-of-picture mark.
bool DecodeRunLengths(const DibLayout& layout, const uint8_t* bits, size_t size, uint32_t* pixels) {
    std::fill_n(pixels, size_t(layout.width) * layout.height, PaletteColour(0, layout));
    bool four = layout.compression == kRle4;
    int64_t x = 0, y = 0;
    auto put = [&](uint32_t index) {
        if (x < layout.width && y < layout.height) {
            pixels[size_t(layout.height - 1 - y) * layout.width + x] = PaletteColour(index, layout);
        }
        ++x;
    };
    size_t at = 0;
    while (at + 2 <= size) {
        uint8_t count = bits[at], value = bits[at + 1];
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i) put(four ? (i % 2 ? value & 15 : value >> 4) : value);
        } else if (value == 0) {
            x = 0, ++y;
        } else if (value == 1) {
            return true;
        } else if (value == 2) {
            if (at + 2 > size) return false;
            x += bits[at], y += bits[at + 1];
            at += 2;
        } else {
            size_t bytes = four ? (value + 1) / 2 : value;
            if (at + bytes > size) return false;
            for (int i = 0; i < value; ++i) {
                uint8_t byte = bits[at + (four ? i / 2 : i)];
                put(four ? (i % 2 ? byte & 15 : byte >> 4) : byte);
            }
            at += bytes + bytes % 2;  // runs end on a 16-bit boundary
        }
    }
    return false;
}

}  // namespace

bool DecodeDib(const void* info, size_t infoSize, const void* bits, size_t bitsSize,
               DecodedPicture& picture) {
    if (!info || !bits) return false;
    auto layout = ReadLayout(static_cast<const uint8_t*>(info), infoSize);
    if (!layout || !HoldsEveryRow(*layout, bitsSize)) return false;
    DecodedPicture result{layout->width, layout->height,
                          std::vector<uint32_t>(size_t(layout->width) * layout->height)};
    const auto* data = static_cast<const uint8_t*>(bits);
    if (layout->compression == kRle8 || layout->compression == kRle4) {
        if (!DecodeRunLengths(*layout, data, bitsSize, result.pixels.data())) return false;
    } else {
        DecodeRows(*layout, data, result.pixels.data());
    }
    picture = std::move(result);
    return true;
}

bool DecodeBmp(const uint8_t* data, size_t size, DecodedPicture& picture) {
    if (!data || size < kFileHeaderSize + 12 || data[0] != 'B' || data[1] != 'M') return false;
    size_t bitsOffset = Read32(data + 10);
    if (bitsOffset < kFileHeaderSize || bitsOffset > size) return false;
    return DecodeDib(data + kFileHeaderSize, size - kFileHeaderSize, data + bitsOffset,
                     size - bitsOffset, picture);
}

}  // namespace storage
