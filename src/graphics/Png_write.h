// Writing a picture as a PNG file (tools and screenshots).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "graphics/Las_grf.h"

namespace graphics {

// R, G, B and A bytes of every pixel, rows top-down, the mask as alpha.
std::vector<uint8_t> ToRgba(const TLasGraphic& picture);

// 8-bit RGBA, the mask as the alpha channel (fully opaque without a mask).
// False when the file cannot be written.
bool SavePngFile(const TLasGraphic& picture, const std::string& path);

}  // namespace graphics
