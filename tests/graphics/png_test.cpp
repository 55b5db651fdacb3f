#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "common/golden.h"
#include "common/test_files.h"
#include "graphics/Las_grf.h"

using graphics::TLasGraphic;
using graphics::TransparencyMode;

// The largest single request made through operator new since the last reset:
// shows that a refused picture allocated nothing of its claimed size.
static size_t largestAllocation = 0;

void* operator new(size_t size) {
    largestAllocation = std::max(largestAllocation, size);
    if (void* block = std::malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}
// Not inlined: GCC would see operator new's block reach free and take it for
// a mismatch, not knowing both sides were replaced together.
[[gnu::noinline]] void operator delete(void* block) noexcept {
    std::free(block);
}
[[gnu::noinline]] void operator delete(void* block, size_t) noexcept {
    std::free(block);
}

namespace {

const std::string kSuite = std::string(ORV_TEST_DATA) + "/pngsuite/";

// ImageMagick's decode of a suite image, kept as 8-bit RGBA without colour
// chunks, so libpng's simplified reader hands it over unconverted.
std::vector<uint8_t> Reference(const std::string& name, int32_t& width, int32_t& height) {
    std::string path = std::string(ORV_TEST_DATA) + "/pngsuite-ref/" + name + ".png";
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return {};
    width = int32_t(image.width);
    height = int32_t(image.height);
    return rgba;
}

// Loads bytes through a memory stream with the given budget.
bool LoadBytes(TLasGraphic& picture, std::string bytes, uint64_t budget) {
    bytes.push_back('\0');  // fmemopen wants at least one byte
    FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
    bool loaded = picture.LoadPngFromFile(file, budget);
    std::fclose(file);
    return loaded;
}

std::string BigEndian(uint32_t value) {
    return {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
}

void AppendChunk(std::string& png, const std::string& type, const std::string& data) {
    std::string body = type + data;
    png += BigEndian(uint32_t(data.size())) + body;
    png += BigEndian(
        uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

// A valid PNG header claiming width x height RGB pixels, with one small IDAT.
std::string ClaimedSize(uint32_t width, uint32_t height) {
    std::string png = "\x89PNG\r\n\x1A\n";
    AppendChunk(png, "IHDR",
                BigEndian(width) + BigEndian(height) + std::string("\x08\x02\0\0\0", 5));
    std::vector<Bytef> zeros(std::min<uint64_t>(uint64_t{height} * (1 + 3 * width), 64), 0);
    std::string packed(compressBound(uLong(zeros.size())), '\0');
    uLongf packedSize = uLongf(packed.size());
    compress(reinterpret_cast<Bytef*>(packed.data()), &packedSize, zeros.data(),
             uLong(zeros.size()));
    packed.resize(packedSize);
    AppendChunk(png, "IDAT", packed);
    AppendChunk(png, "IEND", "");
    return png;
}

void ExpectUnchanged(const TLasGraphic& picture, const TLasGraphic& before) {
    ASSERT_EQ(picture.Width(), before.Width());
    ASSERT_EQ(picture.Height(), before.Height());
    EXPECT_EQ(picture.Mode(), before.Mode());
    EXPECT_EQ(graphics::ToRgba(picture), graphics::ToRgba(before));
}

}  // namespace

TEST(Png, SuiteDecodesLikeTheReference) {
    int decoded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kSuite)) {
        std::string name = entry.path().stem().string();
        if (entry.path().extension() != ".png" || name[0] == 'x') continue;
        int32_t width = 0, height = 0;
        std::vector<uint8_t> expected = Reference(name, width, height);
        ASSERT_FALSE(expected.empty()) << "no reference for " << name;
        TLasGraphic picture;
        ASSERT_TRUE(picture.LoadPngFile(entry.path().string())) << name;
        ASSERT_EQ(picture.Width(), width) << name;
        ASSERT_EQ(picture.Height(), height) << name;
        std::vector<uint8_t> actual = graphics::ToRgba(picture);
        auto [first, _] = std::mismatch(actual.begin(), actual.end(), expected.begin());
        EXPECT_TRUE(first == actual.end())
            << name << ": first difference at byte " << first - actual.begin();
        ++decoded;
    }
    EXPECT_EQ(decoded, 160);
}

TEST(Png, TransparencyDecidesTheMode) {
    const std::pair<const char*, TransparencyMode> cases[] = {
        {"basn2c16", TransparencyMode::Opaque}, {"basn0g01", TransparencyMode::Opaque},
        {"basn3p08", TransparencyMode::Opaque}, {"tbbn3p08", TransparencyMode::Keyed},
        {"tbwn0g16", TransparencyMode::Keyed},  {"tbrn2c08", TransparencyMode::Keyed},
        {"basn6a08", TransparencyMode::Alpha},  {"basi4a16", TransparencyMode::Alpha},
    };
    for (auto [name, mode] : cases) {
        TLasGraphic picture;
        ASSERT_TRUE(picture.LoadPngFile(kSuite + name + ".png")) << name;
        EXPECT_EQ(picture.Mode(), mode) << name;
        EXPECT_EQ(picture.HasMask(), mode != TransparencyMode::Opaque) << name;
        EXPECT_EQ(picture.Row(0)[0] >> 24, 0u) << name << ": colour words carry no alpha";
    }
}

TEST(Png, DamagedFilesAreRefusedAndChangeNothing) {
    TLasGraphic before;
    ASSERT_TRUE(before.LoadPngFile(kSuite + "tbbn3p08.png"));

    int refused = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kSuite)) {
        if (entry.path().stem().string()[0] != 'x') continue;
        TLasGraphic picture;
        picture.Assign(before);
        EXPECT_FALSE(picture.LoadPngFile(entry.path().string())) << entry.path();
        ExpectUnchanged(picture, before);
        ++refused;
    }
    EXPECT_EQ(refused, 14);

    // Every cut of a good file fails, down to an empty one.
    std::string whole = testkit::ReadFile(kSuite + "basi2c08.png");
    for (size_t length = 0; length < whole.size(); ++length) {
        TLasGraphic picture;
        picture.Assign(before);
        ASSERT_FALSE(LoadBytes(picture, whole.substr(0, length), length)) << "cut at " << length;
        ExpectUnchanged(picture, before);
    }
}

TEST(Png, AbsurdSizesAreRefusedBeforeAllocating) {
    for (auto [width, height] :
         {std::pair{100000u, 100000u}, {16384u, 16384u}, {16385u, 1u}, {0x7FFFFFFFu, 1u}}) {
        std::string png = ClaimedSize(width, height);
        TLasGraphic picture;
        largestAllocation = 0;
        EXPECT_FALSE(LoadBytes(picture, png, png.size())) << width << "x" << height;
        EXPECT_LT(largestAllocation, 1u << 20) << width << "x" << height;
        EXPECT_EQ(picture.Width(), 10);
    }
    // The same header with a sane size decodes, so the refusal above was the size.
    std::string small = ClaimedSize(4, 4);
    TLasGraphic picture;
    EXPECT_TRUE(LoadBytes(picture, small, small.size()));
    EXPECT_EQ(picture.Width(), 4);
    EXPECT_EQ(picture.GetPixel(3, 3), 0u);
}

TEST(Png, ReadsAnEntryInsideALargerFileWithinItsBudget) {
    std::string png = testkit::ReadFile(kSuite + "basn6a08.png");
    std::string archive = std::string(100, '\xAB') + png + std::string(50, '\xCD');
    TLasGraphic expected;
    ASSERT_TRUE(expected.LoadPngFile(kSuite + "basn6a08.png"));

    auto loadEntry = [&](TLasGraphic& picture, uint64_t budget, long& end) {
        FILE* file = fmemopen(archive.data(), archive.size(), "rb");
        std::fseek(file, 100, SEEK_SET);
        bool loaded = picture.LoadPngFromFile(file, budget);
        end = std::ftell(file);
        std::fclose(file);
        return loaded;
    };
    long end = 0;
    for (uint64_t budget :
         {uint64_t(png.size()), uint64_t(png.size()) + 50, uint64_t(UINT64_MAX)}) {
        TLasGraphic picture;
        EXPECT_TRUE(loadEntry(picture, budget, end)) << budget;
        ExpectUnchanged(picture, expected);
    }
    // One byte short of the entry: the IEND chunk lies beyond the budget.
    TLasGraphic picture;
    EXPECT_FALSE(loadEntry(picture, png.size() - 1, end));
    EXPECT_LE(end, long(100 + png.size() - 1)) << "read past the budget";
    EXPECT_FALSE(picture.LoadPngFromFile(nullptr, 1000));
}

using PngFiles = testkit::TempDirTest;

TEST_F(PngFiles, NamesMustEndInPng) {
    std::string png = testkit::ReadFile(kSuite + "basn0g08.png");
    TLasGraphic picture;
    EXPECT_TRUE(picture.LoadPngFile(Write("a.PNG", png)));
    EXPECT_TRUE(picture.LoadPngFile(Write("b.Png", png)));
    EXPECT_FALSE(picture.LoadPngFile(Write("c.bmp", png)));
    EXPECT_FALSE(picture.LoadPngFile(Write("png", png)));
    EXPECT_FALSE(picture.LoadPngFile(Path("missing.png")));
    EXPECT_FALSE(picture.LoadPngFile("No Entry"));
}
