// Writing a picture as a PNG file (tools and screenshots).
#pragma once

#include <string>

#include "graphics/Las_grf.h"

namespace graphics {

// 8-bit RGBA, the mask as the alpha channel (fully opaque without a mask).
// False when the file cannot be written.
bool SavePngFile(const TLasGraphic& picture, const std::string& path);

}  // namespace graphics
