#include "storage/Mag_conv.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "common/test_files.h"
#include "common/test_package.h"
#include "common/test_pictures.h"
#include "common/test_platform.h"

using namespace storage;
using namespace testkit;

namespace {

const std::string kMagDir = std::string(ORV_TEST_DATA) + "/mag/";

const uint8_t* BytesOf(const std::string& text) {
    return reinterpret_cast<const uint8_t*>(text.data());
}

void PutLe(std::string& bytes, size_t at, uint32_t value, int size) {
    bytes.replace(at, size, Le(value, size));
}

// A MAG file laid out in the usual order: palette, flag A, flag B, pixels.
// The comment is empty, so the header starts at kHeader.
constexpr size_t kHeader = 32;

struct MagParts {
    bool wide = false;  // 256 colours
    uint16_t x0 = 0, y0 = 0, x1 = 7, y1 = 0;
    std::vector<bool> flagA = {};  // one bit per flag byte, running on across rows
    std::string flagB = {};
    std::string pixels = {};
};

std::string MagFile(const MagParts& parts) {
    std::string palette;
    for (int i = 0; i < (parts.wide ? 256 : 16); ++i)
        palette += {char(i), char(i + 1), char(i + 2)};
    std::string flagA((parts.flagA.size() + 7) / 8, '\0');
    for (size_t i = 0; i < parts.flagA.size(); ++i) {
        if (parts.flagA[i]) flagA[i / 8] = char(flagA[i / 8] | 0x80 >> i % 8);
    }
    const size_t flagAOffset = kMagHeaderSize + palette.size();
    std::string header = std::string(3, '\0') + char(parts.wide ? 0x80 : 0) + Le16(parts.x0) +
                         Le16(parts.y0) + Le16(parts.x1) + Le16(parts.y1) + Le32(flagAOffset) +
                         Le32(flagAOffset + flagA.size()) + Le32(parts.flagB.size()) +
                         Le32(flagAOffset + flagA.size() + parts.flagB.size()) +
                         Le32(parts.pixels.size());
    return std::string("MAKI02  TEST") + std::string(19, ' ') + '\x1A' + header + palette + flagA +
           parts.flagB + parts.pixels;
}

// Flag A and flag B for the flag bytes of each row, top row first.
void SetFlags(MagParts& parts, const std::vector<std::vector<uint8_t>>& rows) {
    std::vector<uint8_t> flags(rows.front().size(), 0);
    for (const std::vector<uint8_t>& row : rows) {
        for (size_t j = 0; j < row.size(); ++j) {
            parts.flagA.push_back(row[j] != flags[j]);
            if (row[j] != flags[j]) parts.flagB += char(row[j] ^ flags[j]);
            flags[j] = row[j];
        }
    }
}

// MMAG_DecodeToBmp into a buffer of exactly the size the header asks for,
// so that AddressSanitizer sees any write beyond it. The buffer starts out
// dirty: what was there before must not show through.
int Decode(const std::string& mag, std::string* bmp = nullptr) {
    MagInfo info;
    const int parsed = MMAG_ParseHeader(BytesOf(mag), mag.size(), &info);
    if (parsed != kMagComplete && parsed != kMagTruncated) return -1;
    std::vector<uint8_t> buffer(MMAG_BmpSizeOf(&info), 0xA5);
    const int result = MMAG_DecodeToBmp(BytesOf(mag), mag.size(), buffer.data(), buffer.size());
    if (bmp) bmp->assign(buffer.begin(), buffer.end());
    return result;
}

class MagDecoder : public TempDirTest {};

}  // namespace

// Pictures made by other encoders, against their decodes by another decoder.
TEST_F(MagDecoder, TestPicturesDecodeLikeTheReference) {
    testkit::ScopedPlatform host;
    for (const char* name : {"basn2c08_16c_32x32", "basn2c08_256c_32x32", "logo_16c_640x400",
                             "pal4_16c_128x64", "rgb24_256c_dither_128x64"}) {
        DecodedPicture bitmap;
        ASSERT_TRUE(TM2BC().Convert((kMagDir + name + ".mag").c_str(), bitmap)) << name;
        graphics::TLasGraphic picture;
        picture.LoadFromGraphic(bitmap.width, bitmap.height, bitmap.pixels.data());
        ExpectLooksLike(picture, kMagDir + name + ".png");
    }
    EXPECT_TRUE(host.boxes.Records().empty());
}

// Cut and damaged real pictures are among the hostile files below.
TEST_F(MagDecoder, AlignsUnitsAndRefusesImpossibleHeaders) {
    MagInfo info;
    // 16 colours from x 3 to 10: whole units of 8 pixels make it 16 wide.
    MagParts parts{.x0 = 3, .x1 = 10, .y1 = 1};
    parts.flagA.assign(4, false);
    parts.pixels =
        "\x01\x23\x45\x67\x89\xAB\xCD\xEF"
        "FEDCBA98";
    const std::string aligned = MagFile(parts);
    // Flags all 0 read the pixel stream straight; BMP rows run bottom-up.
    std::string bmp;
    ASSERT_EQ(Decode(aligned, &bmp), 0);
    EXPECT_EQ(bmp.substr(118), "FEDCBA98\x01\x23\x45\x67\x89\xAB\xCD\xEF");
    EXPECT_EQ(MMAG_ParseHeader(BytesOf(aligned), kHeader + 31, &info), kMagNoHeader);
    // Four flag A bits still need a whole byte.
    std::string flagAAtEnd = aligned;
    PutLe(flagAAtEnd, kHeader + 12, uint32_t(aligned.size() - kHeader), 4);
    EXPECT_EQ(MMAG_ParseHeader(BytesOf(flagAAtEnd), flagAAtEnd.size(), &info), kMagTruncated);

    const std::pair<size_t, uint32_t> kInvalid[] = {
        {kHeader, 1},           // top marker
        {kHeader + 4, 16},      // x0 a whole unit right of x1
        {kHeader + 6, 2},       // y0 below y1
        {kHeader + 8, 16384},   // wider than a picture may be
        {kHeader + 10, 16384},  // taller than a picture may be
        {kHeader + 10, 0xFFFF},
    };
    for (const auto& [at, value] : kInvalid) {
        std::string bad = aligned;
        PutLe(bad, at, value, at == kHeader ? 1 : 2);
        EXPECT_EQ(MMAG_ParseHeader(BytesOf(bad), bad.size(), &info), kMagInvalid) << at;
    }
}

// Every copy nibble, checked against units taken from the table independently:
// 17 rows of distinct raw units, then rows whose last two units copy,
// the flag row carried from row to row and changed through flag B.
TEST_F(MagDecoder, CopiesFromEveryOffset) {
    constexpr int kUnitsLeft[16] = {0, 1, 2, 4, 0, 1, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0};
    constexpr int kRowsUp[16] = {0, 0, 0, 0, 1, 1, 2, 2, 2, 4, 4, 4, 8, 8, 8, 16};
    const uint8_t kPairs[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF1};
    constexpr int kRawRows = 17, kUnits = 8;
    const int rows = kRawRows + int(std::size(kPairs));

    MagParts parts{.wide = true, .x1 = 15, .y1 = uint16_t(rows - 1)};
    std::vector<std::array<uint16_t, kUnits>> expected(rows);
    uint8_t flag = 0;
    for (int row = 0; row < rows; ++row) {
        const uint8_t next = row < kRawRows ? 0 : kPairs[row - kRawRows];
        parts.flagA.insert(parts.flagA.end(), {false, false, false, next != flag});
        if (next != flag) parts.flagB += char(next ^ flag);
        flag = next;
        for (int unit = 0; unit < kUnits; ++unit) {
            const int nibble = unit < 6 ? 0 : unit == 6 ? flag >> 4 : flag & 15;
            uint16_t& value = expected[row][unit];
            if (nibble == 0) {
                value = uint16_t(row * 16 + unit + 0x100);
                parts.pixels += {char(value), char(value >> 8)};
            } else {
                value = expected[row - kRowsUp[nibble]][unit - kUnitsLeft[nibble]];
            }
        }
    }
    std::string bmp;
    ASSERT_EQ(Decode(MagFile(parts), &bmp), 0);
    for (int row = 0; row < rows; ++row) {
        for (int unit = 0; unit < kUnits; ++unit) {
            const size_t at = 1078 + (rows - 1 - row) * 16 + unit * 2;
            EXPECT_EQ(uint8_t(bmp[at]) | uint8_t(bmp[at + 1]) << 8, expected[row][unit])
                << "row " << row << " unit " << unit;
        }
    }
}

// Copies at the first units of a row read the bytes at their linear
// distance in the bottom-up rows though those are not decoded yet: from the
// left, the end of the row below; one unit left and one row up, the end of
// the row itself. Such bytes are 0, but for the flag row in the end of the
// bottom row, whose flag bytes change one at a time as the units go.
TEST_F(MagDecoder, CopiesAtTheStartOfARowReadAtTheirLinearDistance) {
    // 256 colours, 8 pixels (four units, two flag bytes) by four rows.
    MagParts parts{.wide = true, .x1 = 7, .y1 = 3};
    SetFlags(parts, {{0x50, 0x00}, {0x10, 0x03}, {0x11, 0x00}, {0x50, 0x40}});
    parts.pixels =
        "a1a2a3"
        "b1b2"
        "c2c3"
        "d1d3";
    std::string bmp;
    ASSERT_EQ(Decode(MagFile(parts), &bmp), 0);
    const std::string rowsBottomUp = std::string("\x50\0d1c2d3", 8) +  // flag 1 not yet changed
                                     "\x11\x03\x11\x03" + "c2c3" +     // the same, repeated
                                     std::string("\0\0b1b2\0\0", 8) +  // the row below
                                     std::string("\0\0a1a2a3", 8);     // the row's own end
    EXPECT_EQ(bmp.substr(1078), rowsBottomUp);
}

TEST_F(MagDecoder, RejectsHostileFiles) {
    // 256 colours, 4 pixels (two units, one flag byte) by two rows.
    auto twoRows = [](uint8_t firstFlag, uint8_t secondFlag) {
        MagParts parts{.wide = true, .x1 = 3, .y1 = 1};
        SetFlags(parts, {{firstFlag}, {secondFlag}});
        parts.pixels = std::string(8, 'p');
        return MagFile(parts);
    };
    EXPECT_EQ(Decode(twoRows(0x00, 0x40)), 0);   // the row above
    EXPECT_EQ(Decode(twoRows(0x01, 0x00)), 0);   // the unit to the left
    EXPECT_EQ(Decode(twoRows(0x40, 0x00)), -1);  // above the top row
    EXPECT_EQ(Decode(twoRows(0xF0, 0x00)), -1);  // far above it
    EXPECT_EQ(Decode(twoRows(0x44, 0x00)), -1);  // both units above it
    EXPECT_EQ(Decode(twoRows(0x00, 0x10)), -1);  // left of the start of the buffer
    EXPECT_EQ(Decode(twoRows(0x00, 0x11)), -1);  // both units from there
    EXPECT_EQ(Decode(twoRows(0x00, 0x03)), -1);  // four units left of the second

    // Streams that run past their declared sizes, though the file goes on.
    const std::string sound = twoRows(0x00, 0x44);
    ASSERT_EQ(Decode(sound), 0);
    std::string shortFlagB = sound;
    PutLe(shortFlagB, kHeader + 20, 0, 4);
    EXPECT_EQ(Decode(shortFlagB), -1);
    std::string shortPixels = twoRows(0x00, 0x00);
    ASSERT_EQ(Decode(shortPixels), 0);
    PutLe(shortPixels, kHeader + 28, 7, 4);
    EXPECT_EQ(Decode(shortPixels), -1);

    // Regions past the end of the file, also where 32-bit sums would wrap.
    MagInfo info;
    const std::pair<size_t, uint32_t> kBeyond[] = {{kHeader + 12, 0xFFFFFFFF},
                                                   {kHeader + 16, 0xFFFFFFF0},
                                                   {kHeader + 20, 0xFFFFFFFF},
                                                   {kHeader + 24, 0xFFFFFFE0},
                                                   {kHeader + 28, 9}};
    for (const auto& [at, value] : kBeyond) {
        std::string beyond = sound;
        PutLe(beyond, at, value, 4);
        EXPECT_EQ(MMAG_ParseHeader(BytesOf(beyond), beyond.size(), &info), kMagTruncated) << at;
        EXPECT_EQ(Decode(beyond), -1) << at;
    }

    // Every cut of a real picture, and a buffer one byte short.
    const std::string dither = ReadFile(kMagDir + "rgb24_256c_dither_128x64.mag");
    for (size_t size = 0; size < dither.size(); ++size) {
        ASSERT_EQ(Decode(dither.substr(0, size)), -1) << size;
    }
    ASSERT_EQ(MMAG_ParseHeader(BytesOf(dither), dither.size(), &info), kMagComplete);
    std::vector<uint8_t> buffer(MMAG_BmpSizeOf(&info) - 1);
    EXPECT_EQ(MMAG_DecodeToBmp(BytesOf(dither), dither.size(), buffer.data(), buffer.size()), -1);
}

TEST_F(MagDecoder, ReportsFilesThatFailToDecode) {
    testkit::ScopedPlatform host;
    platform::HeadlessDialogs& boxes = host.boxes;
    const std::string logo = ReadFile(kMagDir + "logo_16c_640x400.mag");
    const std::string cut = Write("cut.mag", logo.substr(0, logo.size() - 10));
    const std::string notMag = Write("not.mag", "BM not a MAG at all \x1A" + std::string(40, '\0'));

    std::string bmp = "kept";
    EXPECT_FALSE(TM2BC().MagToBmpStream(cut.c_str(), bmp));
    EXPECT_EQ(bmp, "kept");
    EXPECT_EQ(Shown(boxes), std::vector<std::string>{"warning ok Failed by MMAG_MagtoBmp"});

    boxes.Clear();
    EXPECT_FALSE(TM2BC().MagToBmpStream(notMag.c_str(), bmp));
    EXPECT_FALSE(TM2BC().MagToBmpStream(Path("missing.mag").c_str(), bmp));
    EXPECT_EQ(bmp, "kept");
    EXPECT_TRUE(boxes.Records().empty());
}
