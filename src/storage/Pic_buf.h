// A picture decoded from a file format (BMP, MAG, plug-ins), ready for
// TLasGraphic::LoadFromGraphic.
#pragma once

#include <cstdint>
#include <vector>

namespace storage {

struct DecodedPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top-down
};

}  // namespace storage
