#include "graphics/Las_grf.h"

#include <algorithm>
#include <cstring>

namespace graphics {

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kColourBits = 0xFFFFFF;
constexpr uint8_t kCovered = 255;
constexpr uint8_t kTranslucent = 128;
constexpr uint8_t kHitThreshold = 15;

bool SizeAllowed(int64_t width, int64_t height) {
    return width >= 0 && height >= 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
           width * height <= kMaxPicturePixels;
}

// ((255 - m) * dest + m * src) >> 8 for each colour channel. Red and blue
// share one multiply (each product stays below 2^16), green takes another.
inline uint32_t BlendPixel(uint32_t dest, uint32_t src, uint32_t m) {
    uint32_t keep = 255 - m;
    uint32_t redBlue = ((dest & 0xFF00FF) * keep + (src & 0xFF00FF) * m) >> 8;
    uint32_t green = ((dest & 0x00FF00) * keep + (src & 0x00FF00) * m) >> 8;
    return (redBlue & 0xFF00FF) | (green & 0x00FF00);
}

// The row loops are where composition spends its time; the clones let GCC
// use AVX2 where the CPU has it while the binary still runs everywhere.
#if defined(__x86_64__)
#define ORV_ROW_LOOP __attribute__((target_clones("avx2", "default")))
#else
#define ORV_ROW_LOOP
#endif

ORV_ROW_LOOP void KeyedRow(uint32_t* __restrict dest, const uint32_t* __restrict src,
                           const uint8_t* __restrict mask, int32_t count) {
    for (int32_t x = 0; x < count; ++x) {
        dest[x] = mask[x] != 0 ? src[x] : dest[x];
    }
}

ORV_ROW_LOOP void AlphaRow(uint32_t* __restrict dest, const uint32_t* __restrict src,
                           const uint8_t* __restrict mask, int32_t count) {
    for (int32_t x = 0; x < count; ++x) {
        uint32_t m = mask[x];
        uint32_t blended = BlendPixel(dest[x], src[x], m);
        dest[x] = m != 0 ? blended : dest[x];
    }
}

ORV_ROW_LOOP void ConstantAlphaRow(uint32_t* __restrict dest, const uint32_t* __restrict src,
                                   uint32_t alpha, int32_t count) {
    for (int32_t x = 0; x < count; ++x) {
        dest[x] = BlendPixel(dest[x], src[x], alpha);
    }
}

ORV_ROW_LOOP void OrRow(uint8_t* __restrict dest, const uint8_t* __restrict src, int32_t count) {
    for (int32_t x = 0; x < count; ++x) {
        dest[x] |= src[x];
    }
}

// The part of a width x height request at (destX, destY), read from
// (sourceX, sourceY), that lies inside both pictures.
struct Clip {
    int32_t destX, destY, sourceX, sourceY, width, height;
};

bool ClipRect(const TLasGraphic& source, const TLasGraphic& destination, int32_t destX,
              int32_t destY, int32_t width, int32_t height, int32_t sourceX, int32_t sourceY,
              Clip& clip) {
    // 64-bit edges: callers' sums must not wrap.
    int64_t left = destX, top = destY;
    int64_t right = left + width, bottom = top + height;  // exclusive
    int64_t srcLeft = sourceX, srcTop = sourceY;
    // A start left of or above either picture moves both starts on together.
    int64_t skipX = std::max({int64_t{0}, -left, -srcLeft});
    int64_t skipY = std::max({int64_t{0}, -top, -srcTop});
    left += skipX;
    srcLeft += skipX;
    top += skipY;
    srcTop += skipY;
    right = std::min({right, int64_t{destination.Width()}, left + source.Width() - srcLeft});
    bottom = std::min({bottom, int64_t{destination.Height()}, top + source.Height() - srcTop});
    if (right <= left || bottom <= top) return false;
    clip = {int32_t(left),   int32_t(top),          int32_t(srcLeft),
            int32_t(srcTop), int32_t(right - left), int32_t(bottom - top)};
    return true;
}

}  // namespace

TLasGraphic::TLasGraphic() {
    SetSize(10, 10);
}

void TLasGraphic::SetSize(int32_t width, int32_t height) {
    if (!SizeAllowed(width, height)) width = height = 0;
    width_ = width;
    height_ = height;
    size_t pixels = size_t(width) * height;
    colour_.assign(pixels, kWhite);
    mask_.clear();
    if (mode_ != TransparencyMode::Opaque) mask_.assign(pixels, 0);
}

void TLasGraphic::SetTransparencyMode(TransparencyMode mode) {
    if (mode == TransparencyMode::Opaque) {
        mask_.clear();
        mask_.shrink_to_fit();
    } else if (mode_ == TransparencyMode::Opaque) {
        mask_.assign(colour_.size(), kCovered);
    }
    mode_ = mode;
}

void TLasGraphic::Assign(const TLasGraphic& source) {
    if (&source == this) return;
    mode_ = source.mode_;
    width_ = source.width_;
    height_ = source.height_;
    colour_ = source.colour_;
    mask_ = source.mask_;
}

void TLasGraphic::LoadFromGraphic(int32_t width, int32_t height, const uint32_t* pixels) {
    SetTransparencyMode(TransparencyMode::Opaque);
    SetSize(width, height);
    for (size_t i = 0; i < colour_.size(); ++i) colour_[i] = pixels[i] & kColourBits;
}

void TLasGraphic::Draw(TLasGraphic& destination, int32_t destX, int32_t destY, int32_t width,
                       int32_t height, int32_t sourceX, int32_t sourceY) const {
    if (&destination == this) {
        // Overlapping rows would read pixels already drawn over.
        TLasGraphic copy;
        copy.Assign(*this);
        copy.Draw(destination, destX, destY, width, height, sourceX, sourceY);
        return;
    }
    Clip c;
    if (!ClipRect(*this, destination, destX, destY, width, height, sourceX, sourceY, c)) return;
    for (int32_t y = 0; y < c.height; ++y) {
        uint32_t* dest = destination.Row(c.destY + y) + c.destX;
        const uint32_t* src = Row(c.sourceY + y) + c.sourceX;
        const uint8_t* mask = HasMask() ? MaskRow(c.sourceY + y) + c.sourceX : nullptr;
        if (!mask) {
            std::memcpy(dest, src, size_t(c.width) * sizeof(uint32_t));
        } else if (mode_ == TransparencyMode::Keyed) {
            KeyedRow(dest, src, mask, c.width);
        } else {
            AlphaRow(dest, src, mask, c.width);
        }
        if (uint8_t* destMask = destination.MaskRow(c.destY + y)) {
            if (mask) {
                OrRow(destMask + c.destX, mask, c.width);
            } else {
                std::memset(destMask + c.destX, kCovered, size_t(c.width));
            }
        }
    }
}

void TLasGraphic::BlendOpaque(TLasGraphic& destination, int32_t destX, int32_t destY, int32_t width,
                              int32_t height, int32_t sourceX, int32_t sourceY,
                              int32_t alpha) const {
    if (mode_ != TransparencyMode::Opaque || &destination == this) return;
    Clip c;
    if (!ClipRect(*this, destination, destX, destY, width, height, sourceX, sourceY, c)) return;
    uint32_t a = uint32_t(std::clamp(alpha, 0, 255));
    for (int32_t y = 0; y < c.height; ++y) {
        ConstantAlphaRow(destination.Row(c.destY + y) + c.destX, Row(c.sourceY + y) + c.sourceX, a,
                         c.width);
    }
}

void TLasGraphic::Present(platform::Canvas& canvas, int32_t x, int32_t y) const {
    if (width_ == 0 || height_ == 0) return;
    canvas.Show(colour_.data(), width_, height_, width_, x, y);
}

void TLasGraphic::FillRect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour) {
    int64_t left = std::max(x, 0), top = std::max(y, 0);
    int64_t right = std::min(int64_t{x} + width, int64_t{width_});
    int64_t bottom = std::min(int64_t{y} + height, int64_t{height_});
    if (right <= left || bottom <= top) return;
    for (int64_t row = top; row < bottom; ++row) {
        std::fill(Row(int32_t(row)) + left, Row(int32_t(row)) + right, colour & kColourBits);
        if (uint8_t* mask = MaskRow(int32_t(row))) {
            std::memset(mask + left, kCovered, size_t(right - left));
        }
    }
}

uint32_t TLasGraphic::GetPixel(int32_t x, int32_t y) const {
    if (width_ == 0 || height_ == 0) return 0;
    return Row(std::clamp(y, 0, height_ - 1))[std::clamp(x, 0, width_ - 1)] & kColourBits;
}

bool TLasGraphic::HitTest(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return false;
    if (!HasMask()) return true;
    return MaskRow(y)[x] > kHitThreshold;
}

void TLasGraphic::ApplyColourKey() {
    if (mode_ == TransparencyMode::Opaque) SetTransparencyMode(TransparencyMode::Keyed);
    if (width_ == 0 || height_ == 0) return;
    uint32_t key = Row(height_ - 1)[0] & kColourBits;
    for (size_t i = 0; i < colour_.size(); ++i) {
        if ((colour_[i] & kColourBits) == key) mask_[i] = 0;
    }
}

void TLasGraphic::MakeTranslucent() {
    SetTransparencyMode(TransparencyMode::Alpha);
    for (uint8_t& m : mask_) m = std::min(m, kTranslucent);
}

void TLasGraphic::ClearMask() {
    if (mode_ == TransparencyMode::Opaque) SetTransparencyMode(TransparencyMode::Keyed);
    std::fill(mask_.begin(), mask_.end(), 0);
}

}  // namespace graphics
