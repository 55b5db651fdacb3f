// Decodes arbitrary bytes as a PNG package entry: the bytes lie in an open
// file between others, and the decoder gets the entry's size as its budget.
// A decoded picture is then drawn and blended onto a screen-like picture.
// Unless the last byte has its top bit set, every chunk's CRC is made right
// first, so that mutations reach the decoder instead of the CRC check.
// Besides crashes it checks that the decoder stays within its budget, that an
// input refused by its header leaves the picture as it was and one refused
// later leaves it white at its new size, and that a picture has a mask
// exactly when it is not opaque.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <zlib.h>

#include "graphics/Las_grf.h"

using graphics::TLasGraphic;
using graphics::TransparencyMode;

namespace {

constexpr size_t kPadding = 16;  // bytes before and after the entry
constexpr uint32_t kMarker = 0x123456;

void Check(bool condition) {
    if (!condition) __builtin_trap();
}

uint32_t ReadBigEndian(const uint8_t* bytes) {
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

// Chunks: length, type, data, CRC of type and data; the first 8 bytes are the signature.
void FixCrcs(uint8_t* png, size_t size) {
    size_t at = 8;
    while (at + 12 <= size) {
        uint32_t length = ReadBigEndian(png + at);
        if (length > size - at - 12) break;
        uint32_t crc = uint32_t(crc32(0, png + at + 4, length + 4));
        uint8_t* stored = png + at + 8 + length;
        for (int i = 0; i < 4; ++i) stored[i] = uint8_t(crc >> (24 - 8 * i));
        at += 12 + size_t(length);
    }
}

void CheckShape(const TLasGraphic& picture) {
    Check(picture.Width() > 0 && picture.Height() > 0);
    Check(picture.Width() <= graphics::kMaxPictureSide);
    Check(int64_t{picture.Width()} * picture.Height() <= graphics::kMaxPicturePixels);
    Check(picture.HasMask() == (picture.Mode() != TransparencyMode::Opaque));
}

// The corner pixels, where rows would first go wrong.
template <typename F>
void ForCorners(const TLasGraphic& picture, F check) {
    for (int32_t y : {0, picture.Height() - 1}) {
        for (int32_t x : {0, picture.Width() - 1}) check(x, y);
    }
}

void CheckRefused(const TLasGraphic& picture) {
    if (picture.GetPixel(3, 4) == kMarker) {
        Check(picture.Width() == 10 && picture.Height() == 10);
        Check(picture.Mode() == TransparencyMode::Opaque && !picture.HasMask());
        Check(picture.GetPixel(0, 0) == 0xFFFFFF);
        return;
    }
    // Sized from an opaque picture: a mode the file chose covers it fully.
    CheckShape(picture);
    ForCorners(picture, [&](int32_t x, int32_t y) {
        Check(picture.Row(y)[x] == 0xFFFFFF);
        Check(!picture.HasMask() || picture.MaskRow(y)[x] == 255);
    });
}

void CheckDecoded(const TLasGraphic& picture) {
    CheckShape(picture);
    ForCorners(picture, [&](int32_t x, int32_t y) { Check(picture.Row(y)[x] >> 24 == 0); });
}

void DrawOnto(const TLasGraphic& picture, int32_t offset) {
    TLasGraphic screen;
    screen.SetTransparencyMode(TransparencyMode::Keyed);
    screen.SetSize(64, 48);
    picture.Draw(screen, offset, -offset, picture.Width(), picture.Height(), 0, 0);
    picture.BlendOpaque(screen, -offset, offset, 64, 48, offset, offset, 127);
    Check(picture.HitTest(0, 0) == (!picture.HasMask() || picture.MaskRow(0)[0] > 15));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> file(kPadding, 0xAA);
    file.insert(file.end(), data, data + size);
    file.insert(file.end(), kPadding, 0x55);
    if (size > 0 && data[size - 1] < 0x80) FixCrcs(file.data() + kPadding, size);
    FILE* stream = fmemopen(file.data(), file.size(), "rb");
    Check(stream && std::fseek(stream, kPadding, SEEK_SET) == 0);

    TLasGraphic picture;
    picture.FillRect(3, 4, 1, 1, kMarker);
    bool loaded = picture.LoadPngFromFile(stream, size);
    Check(std::ftell(stream) <= long(kPadding + size));
    std::fclose(stream);

    if (!loaded) {
        CheckRefused(picture);
        return 0;
    }
    CheckDecoded(picture);
    DrawOnto(picture, size > 0 ? int32_t(data[size - 1] % 32) - 16 : 0);
    return 0;
}
