// The MAG picture decoder: a MAKI02 file (16 or 256 colours) into the image of
// an uncompressed BMP file (4 or 8 bits per pixel, rows bottom-up), which the
// picture loader then reads like any other BMP.
//
// Plain functions over a header record, returning result codes in the manner
// of zlib. The decoding core works on bytes in memory; the path-based
// functions read the file and hand it to the core. MAG files come from
// strangers: every read is checked against its declared region and the data,
// every copy against the pixel buffer, and a file that breaks any of that
// fails to decode rather than being trusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "storage/Pic_buf.h"

namespace storage {

// MMAG_ParseHeader results.
constexpr int kMagComplete = 0;
constexpr int kMagTruncated = 1;  // the header is sound, the data behind it short
constexpr int kMagNoHeader = 2;   // no 0x1A ending the comment, or no room for the header after it
constexpr int kMagNotMag = 3;     // does not start with "MAKI02  "
constexpr int kMagInvalid = 4;    // a header no decoder should follow

constexpr size_t kMagMaxFileSize = size_t{64} << 20;
constexpr size_t kMagHeaderSize = 32;
constexpr size_t kBmpHeadersSize = 54;  // file header and info header

struct MagInfo {
    uint8_t topMarker;
    uint8_t machineCode;
    uint8_t machineFlags;
    uint8_t screenMode;  // bit 7: 256 colours
    uint16_t x0, y0, x1, y1;
    // Edges widened to whole pixel units; the BMP is as wide as they are apart.
    uint16_t alignedX0, alignedX1;
    uint16_t lineBytes;  // one BMP row, a multiple of 4
    uint16_t height;
    // Offsets count from headerOffset.
    uint32_t flagAOffset;
    uint32_t flagBOffset;
    uint32_t flagBSize;
    uint32_t pixelOffset;
    uint32_t pixelSize;
    uint32_t headerOffset;  // just past the first 0x1A
    char machineName[5];
    char userName[20];
};

inline bool MMAG_Is256Colours(const MagInfo* info) {
    return (info->screenMode & 0x80) != 0;
}
// 64 or 1024 bytes of BMP colour table.
size_t MMAG_ColourTableSize(const MagInfo* info);
// The whole BMP file image.
size_t MMAG_BmpSizeOf(const MagInfo* info);

// One of the kMag* results. `info` is filled from kMagTruncated on.
int MMAG_ParseHeader(const uint8_t* data, size_t length, MagInfo* info);
// The MAG palette (green, red, blue) as BMP colours (blue, green, red, 0) into
// `bmpColours`, which holds MMAG_ColourTableSize bytes. 0, or 1 when the
// palette lies beyond the data.
int MMAG_ReadPalette(const uint8_t* data, size_t length, uint8_t* bmpColours, const MagInfo* info);
// Runs the flag and copy scheme into the BMP rows. A copy reads its source
// at the linear distance of its offset in the bottom-up rows, even where
// that is not decoded yet (such bytes read 0, or the flag row kept in the
// end of the bottom row). False, with the rows partly written, for a stream
// that runs past its region or the data, or a copy from outside the rows.
bool MMAG_DecodePixels(const uint8_t* data, size_t length, uint8_t* bmpPixels, size_t bmpSize,
                       const MagInfo* info);
// The complete BMP file image of a MAG held in memory into `buffer`: 0, or -1
// when the header is not complete, the buffer too small or the data damaged.
int MMAG_DecodeToBmp(const uint8_t* data, size_t length, uint8_t* buffer, size_t bufferSize);

// The size of the file's BMP image, or 0 when its header is missing, not MAG
// or invalid. Data missing behind a sound header still gives the size.
size_t MMAG_GetBmpSize(const char* path);
// MMAG_DecodeToBmp on the file's bytes: 0 or -1.
int MMAG_MagtoBmp(const char* path, uint8_t* buffer, size_t bufferSize);

// Made for one conversion.
class TM2BC {
public:
    // The MAG file at `path` decoded into `bitmap`; false, leaving it alone,
    // when MagToBmpStream fails.
    bool Convert(const char* path, DecodedPicture& bitmap);
    // Appends the BMP file image of the MAG file at `path` to `bmpImage`.
    // False without a word for a file that is not a MAG picture; false after
    // a warning box for one that fails to decode.
    bool MagToBmpStream(const char* path, std::string& bmpImage);
};

}  // namespace storage
