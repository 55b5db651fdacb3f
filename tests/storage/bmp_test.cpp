#include "storage/Bmp_dec.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>

#include "common/test_files.h"

namespace fs = std::filesystem;

namespace {

// The reference decode (made once with ImageMagick) as 0x00RRGGBB words.
std::vector<uint32_t> Reference(const fs::path& png, int32_t& width, int32_t& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, png.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    width = int32_t(image.width);
    height = int32_t(image.height);
    std::vector<uint32_t> pixels;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        pixels.push_back(uint32_t(rgb[i]) << 16 | uint32_t(rgb[i + 1]) << 8 | rgb[i + 2]);
    }
    return pixels;
}

}  // namespace

TEST(Bitmap, EveryGoodBmpSuiteFileDecodesLikeTheReference) {
    fs::path dir = fs::path(ORV_TEST_DATA) / "bmpsuite";
    int checked = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() != ".bmp") continue;
        std::string bytes = testkit::ReadFile(entry.path());
        int32_t refWidth = 0, refHeight = 0;
        storage::DecodedPicture picture;
        ASSERT_TRUE(storage::DecodeBmp(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                                       picture))
            << entry.path();
        std::vector<uint32_t> expected =
            Reference(fs::path(ORV_TEST_DATA) / "bmpsuite-ref" / entry.path().stem().concat(".png"),
                      refWidth, refHeight);
        EXPECT_EQ(picture.width, refWidth) << entry.path();
        EXPECT_EQ(picture.height, refHeight) << entry.path();
        EXPECT_TRUE(picture.pixels == expected) << entry.path();
        ++checked;
    }
    EXPECT_EQ(checked, 27);
}

TEST(Bitmap, DamagedAndAbsurdFilesAreRefused) {
    std::string bytes = testkit::ReadFile(fs::path(ORV_TEST_DATA) / "bmpsuite" / "pal8rle.bmp");
    auto data = reinterpret_cast<const uint8_t*>(bytes.data());
    storage::DecodedPicture picture;
    for (size_t cut : {size_t{0}, size_t{2}, size_t{20}, size_t{60}, bytes.size() - 2}) {
        EXPECT_FALSE(storage::DecodeBmp(data, cut, picture)) << cut;
    }
    std::string huge = bytes;
    huge[18] = '\xA0';  // width 100000
    huge[19] = '\x86';
    huge[20] = '\x01';
    EXPECT_FALSE(
        storage::DecodeBmp(reinterpret_cast<const uint8_t*>(huge.data()), huge.size(), picture));
    EXPECT_TRUE(picture.pixels.empty());
}
