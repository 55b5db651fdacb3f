#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/test_files.h"
#include "common/test_font.h"
#include "common/test_pictures.h"
#include "graphics/Col_name.h"
#include "graphics/Las_grf.h"

using graphics::TLasGraphic;
using graphics::TRevealStep;
using testkit::Cp932;

namespace {

const std::string kFace = "IPAGothic";

platform::FontStyle Style(int32_t size = 16) {
    return {kFace, size};
}

int32_t WidthOf(const std::string& cp932) {
    return platform::MeasureText(Style(), cp932).width;
}

TLasGraphic Message(const std::string& text) {
    TLasGraphic picture;
    picture.TextFont.Name = kFace;
    picture.TextFont.Size = 16;
    picture.Text = text;
    return picture;
}

std::string Step(int32_t code, int32_t value, int32_t x, int32_t y, int32_t width, int32_t height,
                 int32_t wait) {
    return std::to_string(code) + "/" + std::to_string(value) + " at " + std::to_string(x) + "," +
           std::to_string(y) + " " + std::to_string(width) + "x" + std::to_string(height) +
           " wait " + std::to_string(wait);
}

std::string Step(const TRevealStep& s) {
    return Step(s.Code, s.Value, s.X, s.Y, s.Width, s.Height, s.CharWait);
}

// The steps the message window reads, up to and including the end.
std::vector<TRevealStep> Steps(TLasGraphic& picture) {
    std::vector<TRevealStep> steps{picture.NextRevealStep()};
    while (steps.back().Code != 0 && steps.size() < 10000)
        steps.push_back(picture.NextRevealStep());
    return steps;
}

std::vector<std::string> Described(TLasGraphic& picture) {
    std::vector<std::string> described;
    for (const TRevealStep& step : Steps(picture)) described.push_back(Step(step));
    return described;
}

std::vector<int32_t> Codes(TLasGraphic& picture) {
    std::vector<int32_t> codes;
    for (const TRevealStep& step : Steps(picture)) codes.push_back(step.Code);
    return codes;
}

template <typename T>
std::vector<T> Tail(const std::vector<T>& items, size_t count) {
    return {items.end() - std::min(count, items.size()), items.end()};
}

TLasGraphic Laid(const std::string& text, int32_t maxWidth = 400, int32_t maxHeight = 0) {
    TLasGraphic picture = Message(text);
    picture.RenderText(maxWidth, maxHeight);
    return picture;
}

std::vector<uint8_t> Rendered(const std::string& text) {
    return graphics::ToRgba(Laid(text));
}

class TextEngine : public testkit::WithTestFont<> {
protected:
    const int32_t full = WidthOf(Cp932("あ"));
    const int32_t h = platform::MeasureText(Style(), "").height;
};

}  // namespace

TEST(ColourNames, NamesAndNumbersBecomePixelWords) {
    struct Case {
        std::string text;
        std::optional<uint32_t> pixel;
    };
    const Case cases[] = {
        {"CLRED", 0xFF0000},
        // Numbers are platform colour values, 0x00BBGGRR.
        {"$00FF8040", 0x4080FF},
        {"0x000000FF", 0xFF0000},
        {"16711680", 0x0000FF},
        // The top bit set: a system colour by index, button face (15) here;
        // an index beyond the scheme is black.
        {"-2147483633", 0xC0C0C0},
        {"-2147483393", 0x000000},
        {"clNoSuch", std::nullopt},
        {"clRed ", std::nullopt},
        {"0xZZ", std::nullopt},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(graphics::ColourFromText(c.text), c.pixel) << c.text;
}

// The lookup itself goes by the fonts installed with the player's dependencies.
TEST(FontEngine, FacesFallBackToJapanese) {
    EXPECT_EQ(platform::FontFamilyFor("IPAGothic"), "IPAGothic");
    EXPECT_EQ(platform::FontFamilyFor(Cp932("IPAゴシック")), "IPAGothic");  // its Japanese name
    std::string fallback = platform::FontFamilyFor("No Such Face");
    EXPECT_FALSE(fallback.empty());
    EXPECT_NE(platform::FontFamilyFor("DejaVu Sans"), "DejaVu Sans");  // installed, but no Japanese
    platform::SetDefaultFontFace("IPAPGothic");
    EXPECT_EQ(platform::FontFamilyFor("No Such Face"), "IPAPGothic");
    EXPECT_EQ(platform::FontFamilyFor(""), "IPAPGothic");
    platform::SetDefaultFontFace("Not Installed Either");
    EXPECT_EQ(platform::FontFamilyFor("No Such Face"), fallback);
    platform::SetDefaultFontFace("");
}

// The demo's golden screens show the sizes and faces as laid out.
TEST_F(TextEngine, SizesAreClamped) {
    // Sizes markup pushed out of range are clamped, not refused.
    EXPECT_EQ(platform::MeasureText(Style(-30), "a").height,
              platform::MeasureText(Style(platform::kMinFontSize), "a").height);
    EXPECT_EQ(platform::MeasureText(Style(100000), "a").width,
              platform::MeasureText(Style(platform::kMaxFontSize), "a").width);
    // A line of size 16 is 21 pixels: a message window of 84 holds four.
    TLasGraphic page = Message("a#b#c#d#e");
    EXPECT_EQ(page.RenderText(50, 84), 84);
    EXPECT_EQ(page.Text, "e");
}

// The demo's messages use the tags as meant.
TEST_F(TextEngine, MalformedTagsChangeNothing) {
    TLasGraphic junk = Message("<+x>a<-->b");
    EXPECT_EQ(junk.RenderText(400, 0), h);

    // Unknown tags, and known words in the wrong case, do nothing.
    TLasGraphic unknown = Laid("<XYZ><key><b>a<>b");
    EXPECT_EQ(Codes(unknown), (std::vector<int32_t>{5, 5, 5, 0}));
    EXPECT_EQ(graphics::ToRgba(unknown), Rendered("ab"));
    TLasGraphic pause = Laid("<W><W12345>");
    EXPECT_EQ(Step(Steps(pause)[1]), Step(13, 1200, 0, 0, 0, h, 60));

    // A "<" without a ">" is drawn as it is, and so is the rest.
    TLasGraphic open = Laid("a<b>c<d");
    EXPECT_EQ(Codes(open), (std::vector<int32_t>{5, 5, 5, 5, 5, 0}));
    EXPECT_EQ(graphics::ToRgba(open), Rendered("ac<d"));
    // Colour names are read in any case; junk keeps the colour.
    EXPECT_EQ(Rendered("<clRed>a<clnosuch>b<0xZZ>c"), Rendered("<clred>abc"));
}

// Pages turned in a message window are played in the demo, with their reveal
// script timed in its trace.
TEST_F(TextEngine, LinesAndPages) {
    // A line narrower than one character still takes one; the next one
    // first shows as a cell over empty space, then starts the next line.
    TLasGraphic narrow = Message(Cp932("あいう"));
    EXPECT_EQ(narrow.RenderText(5, 0), 3 * h);
    std::vector<std::string> cells = Described(narrow);
    EXPECT_EQ(cells.front(), Step(5, full, 0, 0, full, h, 60));
    EXPECT_EQ(cells[1], Step(5, 2 * full, full, 0, full, h, 60));
    EXPECT_EQ(cells[2], Step(5, full, 0, h, full, h, 60));
    EXPECT_EQ(cells.size(), 7u);

    // 300 lines at most; the rest is left for the next page.
    TLasGraphic tall = Message(testkit::Repeated("a#", 301));
    EXPECT_EQ(tall.RenderText(50, 0), 300 * h);
    EXPECT_EQ(tall.Text, "a#");
    EXPECT_EQ(Tail(Codes(tall), 6), (std::vector<int32_t>{5, 10, 12, 11, 14, 0}));

    // A first line taller than the page still makes the page, so that every
    // page change takes text and the pages come to an end.
    TLasGraphic big = Laid("<+40>a#b", 50, 10);
    EXPECT_EQ(Tail(Codes(big), 2), (std::vector<int32_t>{14, 0}));
    EXPECT_EQ(big.Text, "b");
    big.RenderTextInPlace();
    EXPECT_TRUE(big.Text.empty());

    // Drawing is clipped to a picture smaller than the text.
    TLasGraphic tiny = Message(Cp932("<+40><I>あ"));
    tiny.SetSize(3, 3);
    tiny.RenderTextInPlace();
    EXPECT_EQ(tiny.Text, "");
}

TEST_F(TextEngine, DoubleByteCharactersStayWhole) {
    TLasGraphic line = Message(Cp932("ああああ"));
    EXPECT_EQ(line.RenderText(full * 5 / 2, h), h);
    EXPECT_EQ(line.Text, Cp932("ああ"));

    // A lead byte takes the byte after it, a "#" too; a lone one at the end
    // is a character of its own.
    TLasGraphic broken = Message("\x82#b<\x82");
    EXPECT_EQ(broken.RenderText(400, 0), h);
    EXPECT_EQ(Codes(broken), (std::vector<int32_t>{5, 5, 5, 5, 5, 0}));
    EXPECT_TRUE(broken.Text.empty());
}

TEST_F(TextEngine, RevealScriptCapacity) {
    // 16 entries a line: 4 for the cursor, "a", ten pauses and the line end.
    const std::string text = testkit::Repeated("a<W1><W1><W1><W1><W1><W1><W1><W1><W1><W1>#", 300);

    // Text without a page height is all drawn; its script stops at 4096
    // entries and reads as ended there, again and again.
    TLasGraphic unpaged = Message(text);
    EXPECT_EQ(unpaged.RenderText(100, 0), 300 * h);
    std::vector<int32_t> codes = Codes(unpaged);
    EXPECT_EQ(codes.size(), 255u * 12 + 11 + 1);
    EXPECT_EQ(Step(unpaged.NextRevealStep()).substr(0, 4), "0/0 ");

    // A page ends before its script would overflow, page change included.
    TLasGraphic paged = Message(text);
    EXPECT_EQ(paged.RenderText(100, 400 * h), 255 * h);
    EXPECT_EQ(Tail(Codes(paged), 6), (std::vector<int32_t>{5, 10, 12, 11, 14, 0}));
}
