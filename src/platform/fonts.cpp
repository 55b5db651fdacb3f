#include "platform/fonts.h"

#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/cp932.h"
#include "platform/encoding.h"

namespace platform {
namespace {

// Sizes are points on a 96-dpi display, turned into whole pixels as the
// games' platform did; faces are then opened at 72 dpi, where a point is a
// pixel, so that glyphs and line heights come from that whole pixel size.
constexpr int32_t kDotsPerInch = 96;
constexpr int32_t kPointsPerInch = 72;
// Beyond these counts the caches start afresh, so that markup cycling through
// sizes or a text of many distinct characters cannot hold unbounded memory.
constexpr size_t kMaxOpenFonts = 16;
constexpr size_t kMaxGlyphsPerFont = 2048;

// A run of covered pixels relative to the pen and the top of the line cell.
struct InkRun {
    int32_t x;
    int32_t y;
    int32_t length;
};

struct Box {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

struct Glyph {
    char32_t codepoint = 0;
    int32_t advance = 0;
    Box bounds;  // where ink can lie, from the glyph's metrics
    bool rendered = false;
    std::vector<InkRun> ink;
};

// Calls `visit` with each character.
template <typename Visit>
void ForEachChar(std::string_view text, Visit visit) {
    while (!text.empty()) {
        size_t length = Cp932CharLength(text);
        visit(text.substr(0, length));
        text.remove_prefix(length);
    }
}

// The character as one Unicode code point; a broken pair stands for the
// replacement character, since the text engine treats it as one character.
char32_t CodepointOf(std::string_view character) {
    std::string utf8 = Cp932ToUtf8(character);
    auto lead = static_cast<unsigned char>(utf8[0]);
    size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t codepoint = length == 1 ? lead : lead & (0x3F >> (length - 1));
    for (size_t i = 1; i < length && i < utf8.size(); ++i) {
        codepoint = codepoint << 6 | (static_cast<unsigned char>(utf8[i]) & 0x3F);
    }
    return codepoint;
}

uint16_t KeyOf(std::string_view character) {
    auto first = static_cast<unsigned char>(character[0]);
    if (character.size() == 1) return first;
    return static_cast<uint16_t>(first << 8 | static_cast<unsigned char>(character[1]));
}

// One face at one size and style, with the glyphs it has measured and drawn.
class OpenFont {
public:
    explicit OpenFont(TTF_Font* font)
        : font_(font), height_(TTF_FontHeight(font)), ascent_(TTF_FontAscent(font)) {}
    ~OpenFont() { TTF_CloseFont(font_); }
    OpenFont(const OpenFont&) = delete;
    OpenFont& operator=(const OpenFont&) = delete;

    int32_t Height() const { return height_; }

    // Called between texts only: references handed out stay valid meanwhile.
    void TrimGlyphs() {
        if (glyphs_.size() >= kMaxGlyphsPerFont) glyphs_.clear();
    }

    Glyph& GlyphOf(std::string_view character) {
        auto [it, added] = glyphs_.try_emplace(KeyOf(character));
        if (added) Measure(it->second, CodepointOf(character));
        return it->second;
    }

    const std::vector<InkRun>& InkOf(Glyph& glyph) {
        if (!glyph.rendered) {
            glyph.ink = Render(glyph.codepoint);
            glyph.rendered = true;
        }
        return glyph.ink;
    }

private:
    // SDL_ttf widens a glyph's surface leftwards for ink left of the pen and
    // upwards for ink above the ascent; the bounds follow the same rule.
    void Measure(Glyph& glyph, char32_t codepoint) const {
        glyph.codepoint = codepoint;
        int minX, maxX, minY, maxY, advance;
        if (TTF_GlyphMetrics32(font_, codepoint, &minX, &maxX, &minY, &maxY, &advance) != 0) return;
        glyph.advance = advance;
        int32_t above = std::max(0, maxY - ascent_);
        glyph.bounds = {std::min(0, minX), -above, std::max(maxX, advance),
                        std::max(height_, ascent_ - minY)};
    }

    std::vector<InkRun> Render(char32_t codepoint) const {
        int minX, maxY;
        if (TTF_GlyphMetrics32(font_, codepoint, &minX, nullptr, nullptr, &maxY, nullptr) != 0) {
            return {};
        }
        SDL_Surface* surface = TTF_RenderGlyph32_Solid(font_, codepoint, SDL_Color{0, 0, 0, 255});
        if (!surface) return {};  // nothing to draw, a space of zero width say
        int32_t left = std::min(0, minX);
        int32_t top = -std::max(0, maxY - ascent_);
        std::vector<InkRun> runs;
        for (int y = 0; y < surface->h; ++y) {
            // Solid surfaces are 8-bit: index 0 is the background, 1 the ink.
            const auto* row = static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch;
            for (int x = 0; x < surface->w;) {
                if (!row[x]) {
                    ++x;
                    continue;
                }
                int start = x;
                while (x < surface->w && row[x]) ++x;
                runs.push_back({left + start, top + y, x - start});
            }
        }
        SDL_FreeSurface(surface);
        return runs;
    }

    TTF_Font* font_;
    int32_t height_;
    int32_t ascent_;
    std::unordered_map<uint16_t, Glyph> glyphs_;
};

struct FaceFile {
    std::string path;
    int index = 0;
    std::string family;  // UTF-8
};

struct FontKey {
    std::string path;
    int index;
    int32_t pixels;
    bool bold;
    bool italic;

    auto operator<=>(const FontKey&) const = default;
};

// The character height of a size, rounded to the nearest pixel.
int32_t PixelsOf(int32_t points) {
    points = std::clamp(points, kMinFontSize, kMaxFontSize);
    return (points * kDotsPerInch + kPointsPerInch / 2) / kPointsPerInch;
}

using Pattern = std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)>;

const FcChar8* FcText(const std::string& text) {
    return reinterpret_cast<const FcChar8*>(text.c_str());
}

// The installed font fontconfig offers for `pattern`.
Pattern BestMatch(Pattern pattern) {
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result;
    return Pattern(FcFontMatch(nullptr, pattern.get(), &result), FcPatternDestroy);
}

// Fontconfig substitutes a similar font for a missing one; only a font of the
// very family asked for (any of its names, any letter case) counts.
bool HasFamily(const FcPattern* font, const std::string& family) {
    FcChar8* name;
    for (int i = 0; FcPatternGetString(font, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        if (FcStrCmpIgnoreCase(name, FcText(family)) == 0) return true;
    }
    return false;
}

bool HasJapanese(const FcPattern* font) {
    FcLangSet* languages;
    return FcPatternGetLangSet(font, FC_LANG, 0, &languages) == FcResultMatch &&
           FcLangSetHasLang(languages, FcText("ja")) == FcLangEqual;
}

std::optional<FaceFile> FileOf(const FcPattern* font) {
    FcChar8* path;
    FcChar8* family;
    if (FcPatternGetString(font, FC_FILE, 0, &path) != FcResultMatch) return std::nullopt;
    FaceFile face{reinterpret_cast<const char*>(path), 0, ""};
    FcPatternGetInteger(font, FC_INDEX, 0, &face.index);
    if (FcPatternGetString(font, FC_FAMILY, 0, &family) == FcResultMatch) {
        face.family = reinterpret_cast<const char*>(family);
    }
    return face;
}

std::optional<FaceFile> InstalledFace(std::string_view cp932) {
    std::string family = Cp932ToUtf8(cp932);
    Pattern pattern(FcPatternCreate(), FcPatternDestroy);
    FcPatternAddString(pattern.get(), FC_FAMILY, FcText(family));
    Pattern match = BestMatch(std::move(pattern));
    if (!match || !HasFamily(match.get(), family) || !HasJapanese(match.get())) return std::nullopt;
    return FileOf(match.get());
}

std::optional<FaceFile> FaceInFile(const std::string& path) {
    int count;
    Pattern face(FcFreeTypeQuery(FcText(path), 0, nullptr, &count), FcPatternDestroy);
    if (!face) return std::nullopt;
    return FileOf(face.get());
}

// When no installed face has Japanese this is still the best there is.
std::optional<FaceFile> JapaneseFace() {
    Pattern pattern(FcPatternCreate(), FcPatternDestroy);
    FcPatternAddString(pattern.get(), FC_LANG, FcText("ja"));
    Pattern match = BestMatch(std::move(pattern));
    if (!match) return std::nullopt;
    return FileOf(match.get());
}

class FontEngine {
public:
    FontEngine() : ttf_(TTF_Init() == 0), fontconfig_(FcInit()) {
        // Fonts do not come and go while a game plays; fontconfig's periodic
        // rescan of the font folders would only cost time in a frame.
        if (fontconfig_) FcConfigSetRescanInterval(nullptr, 0);
    }
    // Releases the libraries' caches too, so that leak checkers stay quiet.
    ~FontEngine() {
        lastFont_ = nullptr;
        fonts_.clear();
        if (ttf_) TTF_Quit();
        if (fontconfig_) FcFini();
    }
    FontEngine(const FontEngine&) = delete;
    FontEngine& operator=(const FontEngine&) = delete;

    void SetDefaultFace(std::string_view cp932) {
        defaultFace_ = cp932;
        ForgetFaces();
    }

    void UseFontFile(const std::string& path) {
        fontFile_ = path;
        ForgetFaces();
    }

    const std::optional<FaceFile>& FaceFor(std::string_view cp932) {
        auto it = faces_.find(cp932);
        if (it == faces_.end()) it = faces_.emplace(cp932, Resolve(cp932)).first;
        return it->second;
    }

    // nullptr when there is no font to draw with.
    OpenFont* FontFor(const FontStyle& style) {
        if (!lastFont_ || style != lastStyle_) {
            lastFont_ = Open(style);
            lastStyle_ = style;
        }
        if (lastFont_) lastFont_->TrimGlyphs();
        return lastFont_;
    }

private:
    void ForgetFaces() {
        faces_.clear();
        lastFont_ = nullptr;
    }

    std::optional<FaceFile> Resolve(std::string_view cp932) const {
        if (!fontconfig_) return std::nullopt;
        if (!fontFile_.empty()) return FaceInFile(fontFile_);
        if (!cp932.empty()) {
            if (auto face = InstalledFace(cp932)) return face;
        }
        if (!defaultFace_.empty()) {
            if (auto face = InstalledFace(defaultFace_)) return face;
        }
        return JapaneseFace();
    }

    OpenFont* Open(const FontStyle& style) {
        const std::optional<FaceFile>& face = FaceFor(style.face);
        if (!ttf_ || !face) return nullptr;
        FontKey key{face->path, face->index, PixelsOf(style.size), style.bold, style.italic};
        auto it = fonts_.find(key);
        if (it != fonts_.end()) return it->second.get();
        if (fonts_.size() >= kMaxOpenFonts) fonts_.clear();
        TTF_Font* font = TTF_OpenFontIndexDPI(key.path.c_str(), key.pixels, key.index,
                                              kPointsPerInch, kPointsPerInch);
        if (!font) return nullptr;
        TTF_SetFontStyle(font,
                         (style.bold ? TTF_STYLE_BOLD : 0) | (style.italic ? TTF_STYLE_ITALIC : 0));
        return fonts_.emplace(key, std::make_unique<OpenFont>(font)).first->second.get();
    }

    bool ttf_;
    bool fontconfig_;
    std::string defaultFace_;
    std::string fontFile_;
    std::map<std::string, std::optional<FaceFile>, std::less<>> faces_;
    std::map<FontKey, std::unique_ptr<OpenFont>> fonts_;
    FontStyle lastStyle_;
    OpenFont* lastFont_ = nullptr;
};

FontEngine& Engine() {
    static FontEngine engine;
    return engine;
}

bool Intersects(const Box& box, int32_t width, int32_t height) {
    return box.right > 0 && box.bottom > 0 && box.left < width && box.top < height;
}

}  // namespace

void SetDefaultFontFace(std::string_view cp932) {
    Engine().SetDefaultFace(cp932);
}

void UseFontFileForEveryFace(const std::string& path) {
    Engine().UseFontFile(path);
}

std::string FontFamilyFor(std::string_view faceCp932) {
    const std::optional<FaceFile>& face = Engine().FaceFor(faceCp932);
    return face ? face->family : std::string();
}

TextExtent MeasureText(const FontStyle& style, std::string_view cp932) {
    OpenFont* font = Engine().FontFor(style);
    if (!font) return {};
    TextExtent extent{0, font->Height()};
    ForEachChar(cp932, [&](std::string_view character) {
        extent.width += font->GlyphOf(character).advance;
    });
    return extent;
}

void DrawText(const FontStyle& style, std::string_view cp932, int32_t x, int32_t y,
              int32_t clipWidth, int32_t clipHeight, const InkSink& sink) {
    OpenFont* font = Engine().FontFor(style);
    if (!font) return;
    int32_t pen = x;
    ForEachChar(cp932, [&](std::string_view character) {
        Glyph& glyph = font->GlyphOf(character);
        Box box{pen + glyph.bounds.left, y + glyph.bounds.top, pen + glyph.bounds.right,
                y + glyph.bounds.bottom};
        if (Intersects(box, clipWidth, clipHeight)) {
            for (const InkRun& run : font->InkOf(glyph)) {
                int32_t runY = y + run.y;
                int32_t left = std::max(pen + run.x, 0);
                int32_t right = std::min(pen + run.x + run.length, clipWidth);
                if (runY >= 0 && runY < clipHeight && left < right) sink(left, runY, right - left);
            }
        }
        pen += glyph.advance;
    });
}

}  // namespace platform
