#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "common/test_files.h"
#include "common/test_package.h"
#include "storage/Tsplug.h"

using namespace storage;
using namespace testkit;

namespace {

using namespace std::string_literals;
using Pixels = std::vector<uint32_t>;

std::string Bgr(uint32_t colour) {
    return {char(colour & 0xFF), char(colour >> 8 & 0xFF), char(colour >> 16 & 0xFF)};
}

struct Tga {
    std::string id = {};
    unsigned imageType = 2;
    unsigned width = 1, height = 1, pixelBits = 24, descriptor = 0;
    unsigned mapFirst = 0, mapLength = 0, mapBits = 0;

    std::string Header() const {
        std::string header{char(id.size()), char(mapLength > 0), char(imageType)};
        header += Le16(mapFirst) + Le16(mapLength) + char(mapBits) + Le32(0);
        header += Le16(width) + Le16(height) + char(pixelBits) + char(descriptor);
        return header + id;
    }
};

// A device-independent bitmap header as a plug-in hands it over.
std::string DibHeader(int32_t width, int32_t height, unsigned bitCount, uint32_t clrUsed = 0) {
    return Le32(40) + Le32(uint32_t(width)) + Le32(uint32_t(height)) + Le16(1) + Le16(bitCount) +
           Le32(0) + Le32(0) + Le32(0) + Le32(0) + Le32(clrUsed) + Le32(0);
}

bool Decode(const std::string& info, const std::string& bits, DecodedPicture& picture) {
    return storage::DecodeDib(info.data(), info.size(), bits.data(), bits.size(), picture);
}

// What a failed decode must leave alone.
DecodedPicture Sentinel() {
    return {7, 1, Pixels(7, 42)};
}

void ExpectSentinel(const DecodedPicture& picture) {
    EXPECT_TRUE(picture.width == 7 && picture.height == 1 && picture.pixels == Pixels(7, 42));
}

class PlugInHost : public testkit::TempDirTest {
protected:
    void Install(const std::string& source, const std::string& name) const {
        testkit::fs::copy_file(source, Path(name));
    }
    static std::string Fake(const std::string& name) {
        return std::string(TEST_PLUGINS) + "/" + name + ".spi";
    }
    std::string Mask() const { return Path("*.spi"); }
    int32_t Load(const std::string& bytes, DecodedPicture& picture) {
        return host.LoadFromMemory(bytes.data(), bytes.size(), picture);
    }

    TSusiePlugIn host;
};

}  // namespace

TEST_F(PlugInHost, DecodesTgaPicturesThroughThePlugIn) {
    Install(TGA_SPI, "tga.spi");
    ASSERT_EQ(host.OpenPlugIn(Mask()), 1);
    // True colour from the bottom row up, 3 pixels a row: the rows need padding.
    std::string plain = Tga{.id = "abc", .width = 3, .height = 2}.Header() + Bgr(0x112233) +
                        Bgr(0x445566) + Bgr(0x778899) + Bgr(0xAABBCC) + Bgr(0xDDEEFF) + Bgr(1);
    DecodedPicture picture;
    ASSERT_EQ(host.LoadFromFile(Write("plain.tga", plain), picture), -1);
    EXPECT_EQ(picture.width, 3);
    EXPECT_EQ(picture.pixels, (Pixels{0xAABBCC, 0xDDEEFF, 0x000001, 0x112233, 0x445566, 0x778899}));

    // Run-length 32-bit from the top down, a run carrying on into the next row.
    Tga packed{.imageType = 10, .width = 3, .height = 2, .pixelBits = 32, .descriptor = 0x28};
    std::string runs = packed.Header() + "\x83" + Bgr(0x102030) + "\x80\x01" + Bgr(0x405060) +
                       '\0' + Bgr(0x708090) + "\xFF";
    ASSERT_EQ(Load(runs, picture), -1);
    EXPECT_EQ(picture.pixels, (Pixels{0x102030, 0x102030, 0x102030, 0x102030, 0x405060, 0x708090}));

    // Colour-mapped, the map starting at index 2: index 0 has no colour.
    Tga mapped{.imageType = 9, .width = 2, .height = 2, .pixelBits = 8};
    mapped.mapFirst = 2, mapped.mapLength = 2, mapped.mapBits = 24;
    std::string indexed = mapped.Header() + Bgr(0xFF0000) + Bgr(0x00FF00) + "\x03\x02\x03\x00\x03"s;
    ASSERT_EQ(Load(indexed, picture), -1);
    EXPECT_EQ(picture.pixels, (Pixels{0x000000, 0x00FF00, 0xFF0000, 0x00FF00}));
}

TEST_F(PlugInHost, DamagedTgaFilesFailAndLeaveThePictureAlone) {
    Install(TGA_SPI, "tga.spi");
    ASSERT_EQ(host.OpenPlugIn(Mask()), 1);
    Tga plain{.width = 2, .height = 2};
    Tga packed{.imageType = 10, .width = 2, .height = 2};
    Tga huge{.imageType = 10, .width = 16384, .height = 4096};
    Tga mapped{.imageType = 1, .pixelBits = 8, .mapLength = 200, .mapBits = 24};
    Tga noWidth{.width = 0};
    Tga mirrored{.descriptor = 0x10};
    const std::string damaged[] = {
        plain.Header() + std::string(11, '\x7F'),               // one byte short
        packed.Header() + "\x03" + Bgr(1) + Bgr(2),             // raw packet cut off
        packed.Header() + "\x81" + Bgr(1) + "\x80",             // run without its pixel
        huge.Header() + std::string(100, '\xFF'),               // far too little data
        mapped.Header() + std::string(300, '\0'),               // map past the end
        Tga{.id = std::string(9, 'i')}.Header().substr(0, 20),  // id past the end
        noWidth.Header() + Bgr(1),
        mirrored.Header() + Bgr(1),
        "\0\0\2\0\0"s,
    };
    for (const std::string& bytes : damaged) {
        DecodedPicture picture = Sentinel();
        EXPECT_EQ(Load(bytes, picture), 0) << testing::PrintToString(bytes);
        ExpectSentinel(picture);
    }
}

TEST_F(PlugInHost, AdmitsOnlyImportPlugInsThatCanDecode) {
    std::string picture1x1 = Tga{}.Header() + Bgr(0x123456);
    DecodedPicture picture = Sentinel();
    EXPECT_EQ(host.OpenPlugIn(Path("missing/*.spi")), 0);
    EXPECT_EQ(host.OpenPlugIn(Mask()), 0);
    EXPECT_EQ(Load(picture1x1, picture), 0);
    ExpectSentinel(picture);

    Install(TGA_SPI, "TGA.SPI");
    Install(Fake("fake_archive"), "archive.spi");
    Install(Fake("fake_no_picture"), "half.spi");
    Write("junk.spi", "not a shared object");
    Write("folder.spi/inside", "");
    Install(TGA_SPI, "tga.spi.off");
    EXPECT_EQ(host.OpenPlugIn(Mask()), 1);
    ASSERT_EQ(host.GetPlugNum(), 1);
    EXPECT_EQ(host.GetPlugInInfo(0)->path, Path("TGA.SPI"));
    EXPECT_EQ(host.OpenPlugIn(Mask()), 0) << "nothing new the second time";
    EXPECT_EQ(host.GetPlugNum(), 1);
    EXPECT_EQ(Load(picture1x1, picture), -1);
    EXPECT_EQ(picture.pixels, Pixels{0x123456});

    EXPECT_TRUE(host.ClosePlugIn());
    EXPECT_EQ(host.GetPlugNum(), 0);
    EXPECT_EQ(Load(picture1x1, picture), 0);
    EXPECT_EQ(host.OpenPlugIn(Mask()), 1) << "loaded again after closing";
}

TEST_F(PlugInHost, TheFirstPlugInByNameThatDecodesWins) {
    // Created against name order, so a directory listed as created shows up.
    Install(Fake("fake_red"), "c_red.spi");
    Install(Fake("fake_blue"), "b_blue.spi");
    Install(Fake("fake_failing"), "a_failing.spi");
    ASSERT_EQ(host.OpenPlugIn(Mask()), 3);
    EXPECT_EQ(host.GetPlugInInfo(0)->path, Path("a_failing.spi"));
    EXPECT_EQ(host.GetPlugInInfo(2)->path, Path("c_red.spi"));

    DecodedPicture picture;
    ASSERT_EQ(Load("FAKET", picture), -1);
    EXPECT_EQ(picture.width, 1);
    EXPECT_EQ(picture.height, 2) << "a negative height means rows top-down";
    EXPECT_EQ(picture.pixels, (Pixels{0x0000FF, 0x123456}));
}

TEST_F(PlugInHost, RefusesPlugInOutputThatDoesNotHoldTogether) {
    Install(Fake("fake_red"), "red.spi");
    ASSERT_EQ(host.OpenPlugIn(Mask()), 1);
    // More rows than the bits block holds, a colour table past the header's
    // block, no bits at all, and a picture nobody supports.
    for (const char* bytes : {"FAKES", "FAKEP", "FAKEN", "TGA?"}) {
        DecodedPicture picture = Sentinel();
        EXPECT_EQ(Load(bytes, picture), 0) << bytes;
        ExpectSentinel(picture);
    }
    DecodedPicture picture = Sentinel();
    EXPECT_EQ(host.LoadFromMemory(nullptr, 5, picture), 0);
    ExpectSentinel(picture);
}

TEST(DecodeDib, ReadsAShortColourTableAndRefusesHeadersThatDoNotFit) {
    DecodedPicture picture;
    // Two entries in the table; index 15 has none and reads as black.
    ASSERT_TRUE(
        Decode(DibHeader(3, -1, 4, 2) + Le32(0x0000FF) + Le32(0x00FF00), "\x01\xF0\0\0"s, picture));
    EXPECT_EQ(picture.pixels, (Pixels{0x0000FF, 0x00FF00, 0x000000}));

    std::string row(4, '\0');
    std::string wide = DibHeader(8193, 8193, 8);
    const std::pair<std::string, std::string> refused[] = {
        {DibHeader(1, 1, 2), row},                           // unsupported depth
        {DibHeader(1, 1, 24).replace(16, 4, Le32(1)), row},  // compressed
        {DibHeader(16385, 1, 24), std::string(16385 * 3 + 1, '\0')},
        {DibHeader(1, INT_MIN, 24), row},
        {wide + std::string(1024, '\0'), std::string(8196 * 8193, '\0')},  // too many pixels
        {DibHeader(1, 1, 24).replace(0, 4, Le32(8)), row},                 // header too small
        {DibHeader(1, 1, 24).replace(0, 4, Le32(41)), row},                // header past block
        {DibHeader(1, 1, 8) + std::string(1020, '\0'), row},               // short colour table
        {DibHeader(2, 2, 24), std::string(15, '\0')},                      // one byte short
        {DibHeader(1, 0, 24), row},
    };
    for (const auto& [info, bits] : refused) {
        picture = Sentinel();
        EXPECT_FALSE(Decode(info, bits, picture)) << testing::PrintToString(info);
        ExpectSentinel(picture);
    }
}
