// Arbitrary bytes as a BMP file: a decode either fails or yields exactly the
// pixels its size promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "storage/Bmp_dec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    storage::DecodedPicture picture;
    if (storage::DecodeBmp(data, size, picture) &&
        picture.pixels.size() != size_t(picture.width) * size_t(picture.height)) {
        std::abort();
    }
    return 0;
}
