// Golden images: a picture is compared pixel for pixel with a PNG kept in
// tests/data/golden, its mask as the alpha channel (255 without a mask). Run
// a test with ORV_UPDATE_GOLDEN=1 to write the PNG from the picture instead,
// then look at it before committing it.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/Las_grf.h"
#include "graphics/Png_write.h"

namespace golden {

inline std::string PathOf(const std::string& name) {
    return std::string(ORV_TEST_DATA) + "/golden/" + name + ".png";
}

// Fails the test (with the first differing pixel) unless the picture matches.
inline void ExpectMatches(const graphics::TLasGraphic& picture, const std::string& name) {
    std::vector<uint8_t> actual = graphics::ToRgba(picture);
    std::string path = PathOf(name);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (const char* update = std::getenv("ORV_UPDATE_GOLDEN"); update && *update == '1') {
        image.width = picture.Width();
        image.height = picture.Height();
        image.format = PNG_FORMAT_RGBA;
        ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, actual.data(), 0, nullptr))
            << path;
        return;
    }
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << "missing golden " << path;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> expected(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, expected.data(), 0, nullptr)) << path;
    ASSERT_EQ(int32_t(image.width), picture.Width()) << name;
    ASSERT_EQ(int32_t(image.height), picture.Height()) << name;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] != actual[i]) {
            size_t pixel = i / 4;
            FAIL() << name << ": first difference at (" << pixel % image.width << ", "
                   << pixel / image.width << ") channel " << i % 4 << ": expected "
                   << int(expected[i]) << ", got " << int(actual[i]);
        }
    }
}

}  // namespace golden
