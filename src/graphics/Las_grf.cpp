#include "graphics/Las_grf.h"

#include <png.h>

#include <algorithm>
#include <bit>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/ascii.h"

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
        uint32_t take = 0u - uint32_t(mask[x] != 0);
        dest[x] = (src[x] & take) | (dest[x] & ~take);
    }
}

ORV_ROW_LOOP void AlphaRow(uint32_t* __restrict dest, const uint32_t* __restrict src,
                           const uint8_t* __restrict mask, int32_t count) {
    for (int32_t x = 0; x < count; ++x) {
        uint32_t m = mask[x];
        uint32_t take = 0u - uint32_t(m != 0);
        dest[x] = (BlendPixel(dest[x], src[x], m) & take) | (dest[x] & ~take);
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

// PNG decoding. libpng reports errors by longjmp, so every object that must
// survive an error lives in a caller's frame, never in the one that calls
// setjmp: the jump then skips no destructor.

struct PngSource {
    FILE* file;
    uint64_t remaining;  // the byte budget: a package entry ends here
};

void ReadPngBytes(png_structp png, png_bytep data, size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->remaining || std::fread(data, 1, length, source->file) != length) {
        png_error(png, "truncated");
    }
    source->remaining -= length;
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void OnPngWarning(png_structp, png_const_charp) {}

class PngReader {
public:
    explicit PngReader(PngSource& source)
        : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning)),
          info_(png_ ? png_create_info_struct(png_) : nullptr) {
        if (png_) png_set_read_fn(png_, &source, ReadPngBytes);
    }
    ~PngReader() { png_destroy_read_struct(&png_, info_ ? &info_ : nullptr, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    bool Valid() const { return png_ && info_; }
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_;
    png_infop info_;
};

// What the header asks for, known before anything of the image's size is
// allocated.
struct PngHeader {
    int32_t width = 0;
    int32_t height = 0;
    std::optional<TransparencyMode> mode;  // none: the picture keeps its own
};

// Every colour type, bit depth and interlacing ends as 8-bit BGRA words, the
// alpha 0xFF where the file has none. Only a tRNS chunk (Keyed) and an RGB
// image with alpha (Alpha) choose the mode; grey with alpha keeps the
// picture's mode like any other file, so its alpha only reaches a mask the
// picture already has. No gamma correction: pictures show their stored values.
void RequestBgra(png_structp png, png_infop info, PngHeader& header) {
    int depth = png_get_bit_depth(png, info);
    int colourType = png_get_color_type(png, info);
    if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) {
        png_set_tRNS_to_alpha(png);
        header.mode = TransparencyMode::Keyed;
    }
    if (colourType == PNG_COLOR_TYPE_RGB_ALPHA) header.mode = TransparencyMode::Alpha;
    if (depth == 16) png_set_scale_16(png);
    if (!(colourType & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
}

// Reads the chunks up to the image data. False for a damaged one or a size
// beyond the limits.
bool ReadPngHeader(png_structp png, png_infop info, PngHeader& header) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_sig_bytes(png, 8);
    png_set_user_limits(png, kMaxPictureSide, kMaxPictureSide);
    png_read_info(png, info);
    if (!SizeAllowed(png_get_image_width(png, info), png_get_image_height(png, info))) {
        return false;
    }
    header.width = int32_t(png_get_image_width(png, info));
    header.height = int32_t(png_get_image_height(png, info));
    RequestBgra(png, info, header);
    return png_get_rowbytes(png, info) == size_t(header.width) * 4;
}

// Decodes the image data into the rows, then reads the chunks after it.
bool ReadPngImage(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

TClip Enclosing(const TClip& a, const TClip& b) {
    if (a.IsEmpty()) return b;
    if (b.IsEmpty()) return a;
    const int64_t left = std::min(a.X, b.X);
    const int64_t top = std::min(a.Y, b.Y);
    const int64_t right = std::max(int64_t{a.X} + a.Width, int64_t{b.X} + b.Width);
    const int64_t bottom = std::max(int64_t{a.Y} + a.Height, int64_t{b.Y} + b.Height);
    const int64_t widest = INT32_MAX;
    return {int32_t(left), int32_t(top), int32_t(std::min(right - left, widest)),
            int32_t(std::min(bottom - top, widest))};
}

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

bool TLasGraphic::LoadPngFile(const std::string& path) {
    if (!platform::HasExtension(path, ".png")) return false;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return false;
    bool loaded = LoadPngFromFile(file, UINT64_MAX);
    std::fclose(file);
    return loaded;
}

bool TLasGraphic::LoadPngFromFile(FILE* file, uint64_t maxBytes) {
    static_assert(std::endian::native == std::endian::little, "BGRA bytes read as 0xAARRGGBB");
    png_byte signature[8];
    if (!file || maxBytes < sizeof signature ||
        std::fread(signature, 1, sizeof signature, file) != sizeof signature ||
        png_sig_cmp(signature, 0, sizeof signature) != 0) {
        return false;
    }
    PngSource source{file, maxBytes - sizeof signature};
    PngReader reader(source);
    PngHeader header;
    if (!reader.Valid() || !ReadPngHeader(reader.png(), reader.info(), header)) return false;

    // Past the header the picture has the file's size and mode, whatever the
    // image data holds: a file damaged there leaves it blank.
    SetSize(header.width, header.height);
    if (header.mode) SetTransparencyMode(*header.mode);
    // Straight into the surface, no second copy of a large picture; each
    // word's top byte holds the alpha until it moves to the mask.
    auto rows = std::make_unique_for_overwrite<png_bytep[]>(size_t(height_));
    for (int32_t y = 0; y < height_; ++y) rows[y] = reinterpret_cast<png_bytep>(Row(y));
    if (!ReadPngImage(reader.png(), rows.get())) {
        std::fill(colour_.begin(), colour_.end(), kWhite);
        return false;
    }
    for (size_t i = 0; i < mask_.size(); ++i) mask_[i] = uint8_t(colour_[i] >> 24);
    for (uint32_t& word : colour_) word &= kColourBits;
    return true;
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
    canvas.Upload(colour_.data(), width_, height_, width_, x, y);
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
