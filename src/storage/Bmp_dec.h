// BMP pictures: 1, 4, 8, 16, 24 and 32 bits, RLE4 and RLE8, bit fields, rows
// bottom-up or top-down, OS/2 and Windows headers of every version. SDL's
// loader refuses bit-field masks outside the layouts SDL knows and truncates
// 5- and 6-bit channels; games were drawn on Windows, which keeps neither
// limit, so the player reads BMP itself.
#pragma once

#include <cstddef>
#include <cstdint>

#include "storage/Pic_buf.h"

namespace storage {

// A device-independent bitmap: `info` holds the bitmap header, its bit-field
// masks and its colour table, `bits` the rows. This is also what image
// plug-ins return. False, leaving `picture` unchanged, when the header is not
// one the player reads or describes more than the blocks hold.
bool DecodeDib(const void* info, size_t infoSize, const void* bits, size_t bitsSize,
               DecodedPicture& picture);

// False, leaving `picture` unchanged, for anything but a sound BMP file image.
// Pictures over 16384 pixels a side or 2^26 pixels are refused before
// anything is allocated for them.
bool DecodeBmp(const uint8_t* data, size_t size, DecodedPicture& picture);

}  // namespace storage
