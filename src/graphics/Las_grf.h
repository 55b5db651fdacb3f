// TLasGraphic: the player's one picture type. A 32-bit colour surface (pixel
// words 0x00RRGGBB, rows top-down), an optional 8-bit coverage mask, and a
// transparency mode that decides how it is drawn onto another picture. Layers,
// composed screens, message text, button images and effect frames are all
// TLasGraphic. It also carries the small text engine of message windows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/canvas.h"

namespace graphics {

enum class TransparencyMode : uint8_t { Opaque = 0, Keyed = 1, Alpha = 3 };

// Pictures larger than this are refused before anything is allocated.
constexpr int32_t kMaxPictureSide = 16384;
constexpr int64_t kMaxPicturePixels = int64_t{1} << 26;

// A rectangle of a picture that drawing is limited to. It may reach past the
// picture or be empty; only its part on the picture counts.
struct TClip {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;

    bool IsEmpty() const { return Width <= 0 || Height <= 0; }
};

// The smallest rectangle holding both (an empty one holds nothing); where it
// would reach past the 32-bit range it ends at its edge.
TClip Enclosing(const TClip& a, const TClip& b);

// The font the text engine starts from and changes with markup.
struct TTextFont {
    std::string Name;   // CP932 face name; "" for the default face
    int32_t Size = 10;  // points at 96 dpi
    bool Bold = false;
    bool Italic = false;
    uint32_t Colour = 0;  // 0x00RRGGBB
};

// Reveal codes, as the message window reads them.
enum TRevealCode : int32_t {
    kEnd = 0,
    kCursorY = 1,
    kCursorX = 2,
    kCursorWidth = 3,
    kCursorHeight = 4,
    kCharacter = 5,
    kWaitNormal = 7,
    kWaitFast = 8,
    kWaitSlow = 9,
    kShowMarker = 10,
    kRemoveMarker = 11,
    kWaitClick = 12,
    kPause = 13,
    kPageFull = 14,
};

// What NextRevealStep yields: the code and, for a character, its cell.
struct TRevealStep {
    int32_t Code = 0;
    int32_t Value = 0;
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Height = 0;
    int32_t Width = 0;
    int32_t CharWait = 60;
};

class TLasGraphic {
public:
    static constexpr int32_t kRevealCapacity = 4096;

    // A 10 x 10 white opaque picture.
    TLasGraphic();

    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    TransparencyMode Mode() const { return mode_; }
    bool HasMask() const { return !mask_.empty(); }
    uint32_t* Row(int32_t y) { return colour_.data() + size_t(y) * width_; }
    const uint32_t* Row(int32_t y) const { return colour_.data() + size_t(y) * width_; }
    // nullptr when the picture has no mask (Opaque).
    uint8_t* MaskRow(int32_t y) { return HasMask() ? mask_.data() + size_t(y) * width_ : nullptr; }
    const uint8_t* MaskRow(int32_t y) const {
        return HasMask() ? mask_.data() + size_t(y) * width_ : nullptr;
    }

    // Recreates the surface filled with white; the mask, when the mode keeps
    // one, is recreated filled with 0. Sizes beyond the limits, or negative,
    // give an empty picture.
    void SetSize(int32_t width, int32_t height);
    void SetTransparencyMode(TransparencyMode mode);
    void Assign(const TLasGraphic& source);
    // A picture decoded elsewhere (BMP, MAG, plug-ins): opaque, rows top-down.
    void LoadFromGraphic(int32_t width, int32_t height, const uint32_t* pixels);
    // False unless the name ends in ".png" (any case) and the file decodes.
    bool LoadPngFile(const std::string& path);
    // Decodes a PNG starting at the file's position, reading at most
    // `maxBytes` (a package entry's size). A tRNS chunk makes the picture
    // Keyed, an RGB image with alpha Alpha; any other keeps the picture's
    // mode. A mask takes the file's alpha, 255 where it has none. A file
    // refused by its header leaves the picture as it was; one refused later
    // leaves it at the file's size and mode, white.
    bool LoadPngFromFile(FILE* file, uint64_t maxBytes);

    // Draws a rectangle of this picture onto `destination`, clipped to both.
    // Opaque copies; Keyed copies where the mask is not 0; Alpha blends
    // ((255 - m) * dest + m * src) >> 8 per channel where it is not 0. A
    // destination mask takes this mask ORed in (all 255 when there is none).
    void Draw(TLasGraphic& destination, int32_t destX, int32_t destY, int32_t width, int32_t height,
              int32_t sourceX, int32_t sourceY) const;
    // dest = ((255 - alpha) * dest + alpha * src) >> 8 per channel; only for
    // an opaque picture, alpha 0 to 255. Clipped like Draw.
    void BlendOpaque(TLasGraphic& destination, int32_t destX, int32_t destY, int32_t width,
                     int32_t height, int32_t sourceX, int32_t sourceY, int32_t alpha) const;
    // Uploads the picture to the canvas with its top-left corner at (x, y).
    void Present(platform::Canvas& canvas, int32_t x, int32_t y) const;
    // Fills the clipped rectangle with a pixel word (0x00RRGGBB, not a
    // platform colour value); the mask there becomes fully covered.
    void FillRect(int32_t x, int32_t y, int32_t width, int32_t height, uint32_t colour);
    // The pixel word; a point outside gives the nearest pixel inside (0 for
    // an empty picture).
    uint32_t GetPixel(int32_t x, int32_t y) const;
    bool HitTest(int32_t x, int32_t y) const;
    // The "Transparent" request: the bottom-left pixel's colour becomes clear.
    void ApplyColourKey();
    // The "Translucent" request: coverage above 128 is lowered to 128.
    void MakeTranslucent();
    void ClearMask();

    // The text engine: the text still to be rendered, its font, the reveal script.
    TTextFont TextFont;
    std::string Text;  // CP932
    // Lays the text out in lines at most maxWidth wide, sizes the picture to
    // them and draws them; returns the height. maxHeight > 0 limits the lines.
    int32_t RenderText(int32_t maxWidth, int32_t maxHeight);
    // The same within the current size, without resizing.
    int32_t RenderTextInPlace();
    void AddRevealCode(int32_t code, int32_t value);
    void ResetReveal();
    TRevealStep NextRevealStep();

private:
    struct RevealEntry {
        int32_t code;
        int32_t value;
    };

    int32_t width_ = 0;
    int32_t height_ = 0;
    TransparencyMode mode_ = TransparencyMode::Opaque;
    std::vector<uint32_t> colour_;
    std::vector<uint8_t> mask_;
    // Empty until text is laid out: most pictures never carry any.
    std::vector<RevealEntry> reveal_;
    TRevealStep cursor_;
    size_t revealRead_ = 0;
};

}  // namespace graphics
