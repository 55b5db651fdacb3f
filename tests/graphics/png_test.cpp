#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "common/test_files.h"
#include "common/test_pictures.h"

using graphics::TLasGraphic;
using graphics::TransparencyMode;
using Row = std::vector<uint32_t>;
using Mask = std::vector<uint8_t>;

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

const std::string kData = ORV_TEST_DATA;
const std::string kSuite = kData + "/pngsuite/";

// Loads from a memory file with the given budget.
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

// Length, type, data and the CRC of type and data.
std::string Chunk(const std::string& type, const std::string& data) {
    std::string typed = type + data;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size()));
    return BigEndian(uint32_t(data.size())) + typed + BigEndian(uint32_t(crc));
}

// The header chunk lies right after the 8-byte signature.
constexpr size_t kHeaderAt = 8, kHeaderEnd = 33;

// A suite file (32 x 32 RGB) whose header claims width x height pixels.
std::string ClaimedSize(uint32_t width, uint32_t height) {
    std::string png = testkit::ReadFile(kSuite + "basn2c08.png");
    std::string header = BigEndian(width) + BigEndian(height) + png.substr(24, 5);
    return png.replace(kHeaderAt, kHeaderEnd - kHeaderAt, Chunk("IHDR", header));
}

// A 2 x 1 PNG in libpng's simplified `format`; a colour-mapped one takes
// `pixels` as indices into `colours`.
std::string Encoded(png_uint_32 format, std::vector<uint8_t> pixels,
                    std::vector<uint8_t> colours = {}) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 2;
    image.height = 1;
    image.format = format;
    image.colormap_entries = png_uint_32(colours.size() / PNG_IMAGE_SAMPLE_CHANNELS(format));
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, colours.data());
    std::string png(size, '\0');
    EXPECT_TRUE(
        png_image_write_to_memory(&image, png.data(), &size, 0, pixels.data(), 0, colours.data()));
    return png;
}

// Empty without a mask.
Mask MaskOf(const TLasGraphic& picture) {
    if (!picture.HasMask()) return {};
    return {picture.MaskRow(0), picture.MaskRow(0) + size_t(picture.Width()) * picture.Height()};
}

void ExpectSame(const TLasGraphic& picture, const TLasGraphic& expected) {
    EXPECT_EQ(picture.Mode(), expected.Mode());
    EXPECT_EQ(picture.Width(), expected.Width());
    EXPECT_EQ(graphics::ToRgba(picture), graphics::ToRgba(expected));
}

}  // namespace

// ImageMagick's decodes, kept as 8-bit RGBA without colour chunks, so that
// libpng's simplified reader hands them over unconverted. Each file goes into
// an Alpha picture, whose mask then holds the file's alpha (255 where it has
// none); a tRNS chunk makes it Keyed.
TEST(Png, SuiteDecodesLikeTheReference) {
    int decoded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kSuite)) {
        std::string name = entry.path().stem().string();
        if (entry.path().extension() != ".png" || name[0] == 'x') continue;
        TLasGraphic picture;
        picture.SetTransparencyMode(TransparencyMode::Alpha);
        ASSERT_TRUE(picture.LoadPngFile(entry.path().string())) << name;
        testkit::ExpectLooksLike(picture, kData + "/pngsuite-ref/" + name + ".png");
        bool keyed = testkit::ReadFile(entry.path()).find("tRNS") != std::string::npos;
        EXPECT_EQ(picture.Mode(), keyed ? TransparencyMode::Keyed : TransparencyMode::Alpha)
            << name;
        EXPECT_EQ(picture.Row(0)[0] >> 24, 0u) << name << ": colour words carry no alpha";
        ++decoded;
    }
    EXPECT_EQ(decoded, 160);
}

// Only a tRNS chunk makes a picture Keyed and only an RGB image with alpha
// makes it Alpha. Any other file leaves the mode as it was, and a mask then
// takes the file's alpha, 255 where it has none, so that such a picture in
// Alpha draws its white as 254.
TEST(Png, TransparencyComesFromTheFileOrStaysAsItWas) {
    using enum TransparencyMode;
    // White fully covered, then black half covered where the format can tell.
    const std::string rgb = Encoded(PNG_FORMAT_RGB, {255, 255, 255, 0, 0, 0});
    const std::string keyedRgb =
        rgb.substr(0, kHeaderEnd) + Chunk("tRNS", std::string(6, '\0')) + rgb.substr(kHeaderEnd);
    const std::string grey = Encoded(PNG_FORMAT_GRAY, {255, 0});
    const std::string palette =
        Encoded(PNG_FORMAT_RGBA_COLORMAP, {0, 1}, {255, 255, 255, 255, 0, 0, 0, 128});
    const std::string rgba = Encoded(PNG_FORMAT_RGBA, {255, 255, 255, 255, 0, 0, 0, 128});
    const std::string greyAlpha = Encoded(PNG_FORMAT_GA, {255, 255, 0, 128});
    constexpr uint32_t white = 0xFFFFFF, under = 0x808080, blended = 0x3F3F3F;
    struct Case {
        const std::string& png;
        TransparencyMode before, after;
        Mask mask;
        Row drawn;  // onto `under`
    };
    const Case cases[] = {
        {rgb, Opaque, Opaque, {}, {white, 0}},
        {rgb, Keyed, Keyed, {255, 255}, {white, 0}},
        {rgb, Alpha, Alpha, {255, 255}, {0xFEFEFE, 0}},
        {grey, Alpha, Alpha, {255, 255}, {0xFEFEFE, 0}},
        {keyedRgb, Opaque, Keyed, {255, 0}, {white, under}},
        {keyedRgb, Alpha, Keyed, {255, 0}, {white, under}},
        {palette, Opaque, Keyed, {255, 128}, {white, 0}},
        {palette, Alpha, Keyed, {255, 128}, {white, 0}},
        {rgba, Opaque, Alpha, {255, 128}, {0xFEFEFE, blended}},
        {rgba, Keyed, Alpha, {255, 128}, {0xFEFEFE, blended}},
        {greyAlpha, Opaque, Opaque, {}, {white, 0}},
        {greyAlpha, Keyed, Keyed, {255, 128}, {white, 0}},
        {greyAlpha, Alpha, Alpha, {255, 128}, {0xFEFEFE, blended}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        TLasGraphic picture;
        picture.SetTransparencyMode(c.before);
        ASSERT_TRUE(LoadBytes(picture, c.png, c.png.size())) << "case " << i;
        EXPECT_EQ(picture.Mode(), c.after) << "case " << i;
        EXPECT_EQ(MaskOf(picture), c.mask) << "case " << i;
        TLasGraphic screen;
        screen.SetSize(2, 1);
        screen.FillRect(0, 0, 2, 1, under);
        picture.Draw(screen, 0, 0, 2, 1, 0, 0);
        EXPECT_EQ(testkit::PixelsOf(screen), c.drawn) << "case " << i;
    }
}

// A file refused before its image data leaves the picture as it was. By then
// the picture has taken the file's size and mode, so one refused in its image
// data or after it leaves the picture as that sizing made it: white, the mask
// 0 in a mode that had one, 255 in one the file chose.
TEST(Png, DamagedFilesAreRefused) {
    TLasGraphic before;
    before.SetTransparencyMode(TransparencyMode::Keyed);
    ASSERT_TRUE(before.LoadPngFile(kSuite + "s09n3p02.png"));
    ASSERT_EQ(before.Width(), 9);
    TLasGraphic sized;  // for a 32 x 32 file without transparency
    sized.Assign(before);
    sized.SetSize(32, 32);

    int refused = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kSuite)) {
        std::string name = entry.path().stem().string();
        if (name[0] != 'x') continue;
        TLasGraphic picture;
        picture.Assign(before);
        EXPECT_FALSE(picture.LoadPngFile(entry.path().string())) << name;
        SCOPED_TRACE(name);
        ExpectSame(picture, name == "xcsn0g01" ? sized : before);  // only its image data is bad
        ++refused;
    }
    EXPECT_EQ(refused, 14);

    // Every cut of a good file fails, down to an empty one.
    std::string whole = testkit::ReadFile(kSuite + "basi2c08.png");
    size_t imageData = whole.find("IDAT") + 4;
    for (size_t length = 0; length < whole.size(); ++length) {
        TLasGraphic picture;
        picture.Assign(before);
        ASSERT_FALSE(LoadBytes(picture, whole.substr(0, length), length)) << "cut at " << length;
        SCOPED_TRACE(length);
        ExpectSame(picture, length < imageData ? before : sized);
    }

    std::string rgba = testkit::ReadFile(kSuite + "basn6a08.png");
    rgba.resize(rgba.find("IDAT") + 100);
    TLasGraphic picture;
    EXPECT_FALSE(LoadBytes(picture, rgba, rgba.size()));
    TLasGraphic covered;
    covered.SetSize(32, 32);
    covered.SetTransparencyMode(TransparencyMode::Alpha);
    ExpectSame(picture, covered);
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
    // The same file with its own size decodes, so the refusal above was the size.
    std::string same = ClaimedSize(32, 32);
    TLasGraphic picture;
    EXPECT_TRUE(LoadBytes(picture, same, same.size()));
}
