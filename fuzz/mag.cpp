// Decodes arbitrary bytes as a MAG picture into a BMP image of exactly the
// size the header asks for, so that the sanitizers see any access outside it.
// Besides crashes it checks that only a complete header decodes, that the BMP
// headers agree with the parsed one, that the picture does not depend on what
// the buffer held before (copies may read bytes not decoded yet), and that a
// buffer one byte short is refused.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "storage/Mag_conv.h"

using namespace storage;

namespace {

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

uint32_t GetLe32(const uint8_t* bytes) {
    return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
           uint32_t{bytes[3]} << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MagInfo info;
    const int parsed = MMAG_ParseHeader(data, size, &info);
    Check(parsed >= kMagComplete && parsed <= kMagInvalid);
    if (parsed != kMagComplete && parsed != kMagTruncated) return 0;

    // A complete header has flag A bits for every flag byte, so the picture
    // stays within what the input can describe; a truncated one must fail
    // before its buffer is touched.
    const size_t bmpSize = parsed == kMagComplete ? MMAG_BmpSizeOf(&info) : 0;
    std::vector<uint8_t> bmp(bmpSize);
    const int result = MMAG_DecodeToBmp(data, size, bmp.data(), bmp.size());
    Check(result == 0 || result == -1);
    if (parsed == kMagTruncated) {
        Check(result == -1);
        return 0;
    }
    if (result == 0) {
        Check(bmp[0] == 'B' && bmp[1] == 'M' && GetLe32(&bmp[2]) == bmpSize);
        Check(GetLe32(&bmp[10]) == (MMAG_Is256Colours(&info) ? 1078u : 118u));
        std::vector<uint8_t> dirty(bmpSize, 0xA5);
        Check(MMAG_DecodeToBmp(data, size, dirty.data(), dirty.size()) == 0 && dirty == bmp);
        bmp.pop_back();
        Check(MMAG_DecodeToBmp(data, size, bmp.data(), bmp.size()) == -1);
    }
    return 0;
}
