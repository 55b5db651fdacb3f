// A picture decoded from a file format (BMP, MAG, plug-ins), ready for
// TLasGraphic::LoadFromGraphic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace storage {

// Picture files larger than this are refused unread: twice the largest plain
// picture the player takes (2^26 pixels of 32 bits).
constexpr size_t kMaxPictureFileBytes = size_t{1} << 29;

struct DecodedPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, rows top-down
};

}  // namespace storage
