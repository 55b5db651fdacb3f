// The font engine: faces found through fontconfig, glyphs drawn by SDL_ttf at
// sizes given in points on a 96-dpi display and rounded to whole pixels, without
// anti-aliasing, so that coverage is exactly 0 or 255. Face names and texts are
// CP932, as the player holds them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

// Sizes are clamped to this range when drawn; markup can push them anywhere.
constexpr int32_t kMinFontSize = 1;
constexpr int32_t kMaxFontSize = 256;

// clang-format off
// "ＭＳ ゴシック": the face the authoring tool sets by default for messages,
// labels and the player's own default font.
inline constexpr std::string_view kDefaultFaceName = "\x82l\x82r \x83S\x83V\x83" "b\x83N";
// clang-format on

struct FontStyle {
    std::string face;   // CP932; "" for the default face
    int32_t size = 10;  // points at 96 dpi
    bool bold = false;
    bool italic = false;

    bool operator==(const FontStyle&) const = default;
};

struct TextExtent {
    int32_t width = 0;
    int32_t height = 0;  // the font's line height, also for an empty text
};

// The face used when a named face is not installed ("System.DefaultFont").
void SetDefaultFontFace(std::string_view cp932);

// Draws every face with the first face of the font file at `path` instead of
// looking faces up, so that tests lay out alike on every machine; "" looks
// faces up again.
void UseFontFileForEveryFace(const std::string& path);

// The family (UTF-8) that text in `faceCp932` is drawn with: the named face
// if it is installed and has Japanese, else the default face on the same
// terms, else the best installed face for Japanese. "" when there is no font.
std::string FontFamilyFor(std::string_view faceCp932);

// Widths add up: a text is as wide as the sum of its characters' advances (no
// kerning), and a lead byte always takes the byte after it as one character.
TextExtent MeasureText(const FontStyle& style, std::string_view cp932);

// A run of covered pixels: `length` pixels rightwards from (x, y).
using InkSink = std::function<void(int32_t x, int32_t y, int32_t length)>;

// Draws the text with its first character's pen at x and the top of its line
// cell at y, calling `sink` for every covered run, cut to the clip area
// 0 <= x < clipWidth, 0 <= y < clipHeight. Ink may reach outside the cells
// (italic overhang, tall glyphs). Glyphs outside the clip are not rendered.
void DrawText(const FontStyle& style, std::string_view cp932, int32_t x, int32_t y,
              int32_t clipWidth, int32_t clipHeight, const InkSink& sink);

}  // namespace platform
