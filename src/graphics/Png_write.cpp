#include "graphics/Png_write.h"

#include <png.h>

#include <vector>

namespace graphics {

std::vector<uint8_t> ToRgba(const TLasGraphic& picture) {
    std::vector<uint8_t> rgba;
    rgba.reserve(size_t(picture.Width()) * picture.Height() * 4);
    for (int32_t y = 0; y < picture.Height(); ++y) {
        const uint32_t* row = picture.Row(y);
        const uint8_t* mask = picture.MaskRow(y);
        for (int32_t x = 0; x < picture.Width(); ++x) {
            rgba.push_back(uint8_t(row[x] >> 16));
            rgba.push_back(uint8_t(row[x] >> 8));
            rgba.push_back(uint8_t(row[x]));
            rgba.push_back(mask ? mask[x] : 255);
        }
    }
    return rgba;
}

bool SavePngFile(const TLasGraphic& picture, const std::string& path) {
    if (picture.Width() <= 0 || picture.Height() <= 0) return false;
    std::vector<uint8_t> rgba = ToRgba(picture);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(picture.Width());
    image.height = static_cast<png_uint_32>(picture.Height());
    image.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr) != 0;
}

}  // namespace graphics
