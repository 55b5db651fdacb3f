#include <gtest/gtest.h>
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

// A suite file (32 x 32 RGB) whose header claims width x height pixels.
std::string ClaimedSize(uint32_t width, uint32_t height) {
    std::string png = testkit::ReadFile(kSuite + "basn2c08.png");
    png.replace(16, 8, BigEndian(width) + BigEndian(height));
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17);  // type and data
    return png.replace(29, 4, BigEndian(uint32_t(crc)));
}

void ExpectUnchanged(const TLasGraphic& picture, const TLasGraphic& before) {
    EXPECT_EQ(picture.Mode(), before.Mode());
    EXPECT_EQ(picture.Width(), before.Width());
    EXPECT_EQ(graphics::ToRgba(picture), graphics::ToRgba(before));
}

}  // namespace

// ImageMagick's decodes, kept as 8-bit RGBA without colour chunks, so that
// libpng's simplified reader hands them over unconverted. An alpha channel
// makes a picture Alpha, a tRNS chunk Keyed.
TEST(Png, SuiteDecodesLikeTheReference) {
    int decoded = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kSuite)) {
        std::string name = entry.path().stem().string();
        if (entry.path().extension() != ".png" || name[0] == 'x') continue;
        TLasGraphic picture;
        ASSERT_TRUE(picture.LoadPngFile(entry.path().string())) << name;
        testkit::ExpectLooksLike(picture, kData + "/pngsuite-ref/" + name + ".png");
        std::string file = testkit::ReadFile(entry.path());
        bool alpha = file[25] & 4;  // the colour type in the header
        bool keyed = file.find("tRNS") != std::string::npos;
        EXPECT_EQ(picture.Mode(), alpha   ? TransparencyMode::Alpha
                                  : keyed ? TransparencyMode::Keyed
                                          : TransparencyMode::Opaque)
            << name;
        EXPECT_EQ(picture.Row(0)[0] >> 24, 0u) << name << ": colour words carry no alpha";
        ++decoded;
    }
    EXPECT_EQ(decoded, 160);
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
    // The same file with its own size decodes, so the refusal above was the size.
    std::string same = ClaimedSize(32, 32);
    TLasGraphic picture;
    EXPECT_TRUE(LoadBytes(picture, same, same.size()));
}
