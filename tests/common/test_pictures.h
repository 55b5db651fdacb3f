// Pictures in tests: small ones painted pixel by pixel, canvases that record
// what they show, and whole pictures compared with PNG files, their mask as
// alpha (255 without a mask): reference decodes of test pictures, and the
// golden images of tests/data/golden. Run a test with ORV_UPDATE_GOLDEN=1 to
// write its golden images from the pictures instead, then look at them before
// committing them.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/Dyna_lst.h"
#include "graphics/Las_grf.h"
#include "graphics/Png_write.h"
#include "platform/canvas.h"

namespace testkit {

// An image dynamic layer at (left, top) showing `picture` cut into frames x
// rows cells.
inline std::unique_ptr<graphics::TDynamicLayerList> ImageItem(const graphics::TLasGraphic& picture,
                                                              int32_t left, int32_t top,
                                                              int32_t frames = 1,
                                                              int32_t rows = 1) {
    auto item = std::make_unique<graphics::TDynamicLayerList>();
    item->ImageFileName = "button.png";
    item->FrameCount = frames;
    item->RowCount = rows;
    item->Left = left;
    item->Top = top;
    EXPECT_TRUE(item->SetupPicture(&picture));
    return item;
}

// An opaque width x height picture whose pixel (x, y) is colour(x, y).
inline graphics::TLasGraphic Painted(int32_t width, int32_t height,
                                     const std::function<uint32_t(int32_t, int32_t)>& colour) {
    graphics::TLasGraphic picture;
    picture.SetSize(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) picture.Row(y)[x] = colour(x, y);
    }
    return picture;
}

// A width x height picture of these pixel words, rows top-down.
inline graphics::TLasGraphic PictureOf(int32_t width, int32_t height,
                                       const std::vector<uint32_t>& pixels) {
    return Painted(width, height,
                   [&](int32_t x, int32_t y) { return pixels[size_t(y) * width + x]; });
}

// The pixel words, rows top-down, as a canvas records them.
inline std::vector<uint32_t> PixelsOf(const graphics::TLasGraphic& picture) {
    return {picture.Row(0), picture.Row(0) + size_t(picture.Width()) * picture.Height()};
}

// Keeps a copy of every upload (an effect's frames), then calls onUpload.
class RecordingCanvas : public platform::Canvas {
public:
    struct Frame {
        int32_t width;
        int32_t height;
        int32_t x;
        int32_t y;
        std::vector<uint32_t> pixels;
    };

    void Upload(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch, int32_t x,
                int32_t y) override {
        Frame frame{width, height, x, y, {}};
        for (int32_t row = 0; row < height; ++row) {
            const uint32_t* from = pixels + size_t(row) * pitch;
            frame.pixels.insert(frame.pixels.end(), from, from + width);
        }
        frames.push_back(std::move(frame));
        if (onUpload) onUpload();
    }
    void Flush() override { ++flushes; }

    std::vector<Frame> frames;
    int flushes = 0;
    std::function<void()> onUpload;
};

// Fails the test, naming the first differing pixel, unless the picture
// matches the PNG file.
inline void ExpectLooksLike(const graphics::TLasGraphic& picture, const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << "cannot read " << path;
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> expected(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, expected.data(), 0, nullptr)) << path;
    ASSERT_EQ(int32_t(image.width), picture.Width()) << path;
    ASSERT_EQ(int32_t(image.height), picture.Height()) << path;
    std::vector<uint8_t> actual = graphics::ToRgba(picture);
    auto [wrong, _] = std::mismatch(actual.begin(), actual.end(), expected.begin());
    if (wrong == actual.end()) return;
    size_t at = wrong - actual.begin();
    ADD_FAILURE() << path << ": first difference at (" << at / 4 % image.width << ", "
                  << at / 4 / image.width << ") channel " << at % 4 << ": expected "
                  << int(expected[at]) << ", got " << int(*wrong);
}

inline void ExpectGolden(const graphics::TLasGraphic& picture, const std::string& name) {
    std::string path = std::string(ORV_TEST_DATA) + "/golden/" + name + ".png";
    if (const char* update = std::getenv("ORV_UPDATE_GOLDEN"); update && *update == '1') {
        ASSERT_TRUE(graphics::SavePngFile(picture, path)) << path;
    } else {
        ExpectLooksLike(picture, path);
    }
}

}  // namespace testkit
