// The text engine of TLasGraphic: message text with inline markup is laid out
// in lines, drawn into the picture (colour and coverage), and described by a
// reveal script that the message window replays character by character.
//
// Markup: "#" ends a line; "<...>" is a tag: "+n" / "-n" change the font size
// (n: up to two digits), "B", "I", "N" bold, italic, plain; "FAST", "NORMAL",
// "SLOW" the character wait; "KEY" waits for a click; "Wn" pauses n x 100 ms;
// "cl..." names and "0x00BBGGRR" numbers set the colour. Unknown tags are
// ignored. A "<" with no ">" after it is an ordinary character.
#include <algorithm>
#include <limits>
#include <string_view>
#include <vector>

#include "graphics/Col_name.h"
#include "graphics/Las_grf.h"
#include "platform/cp932.h"
#include "platform/fonts.h"
#include "scenario/Text_util.h"

namespace graphics {
namespace {

constexpr int32_t kMaxLines = 300;
// Entries every page needs besides its lines: the opening wait code, the page
// change (marker, click, marker, page full) and the end.
constexpr int32_t kPageEntries = 6;
constexpr int32_t kLineEntries = 4;  // cursor x, width, y, height

constexpr uint32_t kWhite = 0xFFFFFF;

// The up to two digits after a tag's first character; anything else is 0.
int32_t TagNumber(std::string_view body) {
    return scenario::ParseIntDef(body.substr(1, 2), 0);
}

// Markup can push the size anywhere; the font engine clamps what it draws.
int32_t AddToSize(int32_t size, int32_t delta) {
    int64_t sum = int64_t{size} + delta;
    return static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

platform::FontStyle StyleOf(const TTextFont& font) {
    return {font.Name, font.Size, font.Bold, font.Italic};
}

// Lays out lines of markup text one at a time, with the font changes of the
// tags carried from line to line. When drawing, it also draws the lines into
// the picture and writes their reveal codes; either way it counts the codes,
// so that the measuring pass knows how much script a line needs.
class LineLayout {
public:
    LineLayout(TLasGraphic& picture, int32_t maxWidth, bool drawing)
        : picture_(picture),
          font_(picture.TextFont),
          style_(StyleOf(font_)),
          maxWidth_(maxWidth),
          drawing_(drawing) {
        size_t close = picture.Text.rfind('>');
        lastClose_ = close == std::string::npos ? nullptr : picture.Text.data() + close;
    }

    int32_t CodesWritten() const { return codes_; }

    // Lays out the line at the front of `text` and removes it from there.
    // Returns the line's height; when drawing, its bottom lies on `baseline`.
    // A line always takes something from a text that is not empty: its first
    // character even when that alone is wider than the line.
    int32_t Line(std::string_view& text, int32_t baseline) {
        baseline_ = baseline;
        penX_ = 0;
        lineHeight_ = 1;
        bool lineHasCharacter = false;
        StartSegment(text);
        while (!text.empty() && text[0] != '#') {
            if (size_t close = TagEnd(text); close != std::string_view::npos) {
                FinishSegment();
                ApplyTag(text.substr(1, close - 1));
                text.remove_prefix(close + 1);
                StartSegment(text);
                continue;
            }
            size_t length = platform::Cp932CharLength(text);
            int32_t right = penX_ + segmentWidth_ + Measure(text.substr(0, length));
            Reveal(kCharacter, right);
            if (right > maxWidth_ && lineHasCharacter) {
                FinishSegment();
                return lineHeight_;
            }
            segment_ = std::string_view(segment_.data(), segment_.size() + length);
            segmentWidth_ = right - penX_;
            lineHasCharacter = true;
            text.remove_prefix(length);
        }
        // The end of the line is a cell of width 0 after the last character.
        Reveal(kCharacter, penX_ + segmentWidth_ + Measure({}));
        FinishSegment();
        if (!text.empty()) text.remove_prefix(1);  // the "#"
        return lineHeight_;
    }

private:
    // Where the tag at the front of `text` closes; npos when it is no tag.
    // Past the text's last ">" no "<" opens a tag: no need to search again.
    size_t TagEnd(std::string_view text) const {
        if (text[0] != '<' || !lastClose_ || text.data() > lastClose_) {
            return std::string_view::npos;
        }
        return text.find('>');
    }

    void StartSegment(std::string_view text) {
        segment_ = text.substr(0, 0);
        segmentWidth_ = 0;
    }

    // The width of `characters` in the current font; the line grows to the
    // font's height.
    int32_t Measure(std::string_view characters) {
        platform::TextExtent extent = platform::MeasureText(style_, characters);
        lineHeight_ = std::max(lineHeight_, extent.height);
        return extent.width;
    }

    void FinishSegment() {
        if (drawing_ && !segment_.empty()) DrawSegment();
        penX_ += segmentWidth_;
    }

    // The segment's cell stands on the baseline; the ink goes on the colour
    // surface in the font colour and on the mask as full coverage.
    void DrawSegment() {
        int32_t top = baseline_ - platform::MeasureText(style_, {}).height;
        uint32_t colour = font_.Colour & kWhite;
        platform::DrawText(style_, segment_, penX_, top, picture_.Width(), picture_.Height(),
                           [&](int32_t x, int32_t y, int32_t length) {
                               std::fill_n(picture_.Row(y) + x, length, colour);
                               if (uint8_t* mask = picture_.MaskRow(y)) {
                                   std::fill_n(mask + x, length, uint8_t{255});
                               }
                           });
    }

    void ApplyTag(std::string_view body) {
        if (body == "B") {
            font_.Bold = true;
            font_.Italic = false;
        } else if (body == "I") {
            font_.Bold = false;
            font_.Italic = true;
        } else if (body == "N") {
            font_.Bold = false;
            font_.Italic = false;
        } else if (body == "FAST") {
            Reveal(kWaitFast, 0);
        } else if (body == "NORMAL") {
            Reveal(kWaitNormal, 0);
        } else if (body == "SLOW") {
            Reveal(kWaitSlow, 0);
        } else if (body == "KEY") {
            Reveal(kShowMarker, 0);
            Reveal(kWaitClick, 0);
            Reveal(kRemoveMarker, 0);
        } else if (body.starts_with('+')) {
            font_.Size = AddToSize(font_.Size, TagNumber(body));
        } else if (body.starts_with('-')) {
            font_.Size = AddToSize(font_.Size, -TagNumber(body));
        } else if (body.starts_with('W')) {
            Reveal(kPause, TagNumber(body) * 100);
        } else if (body.starts_with("cl") || body.starts_with("0x")) {
            font_.Colour = ColourFromText(body).value_or(font_.Colour);
        }
        style_ = StyleOf(font_);
    }

    void Reveal(int32_t code, int32_t value) {
        ++codes_;
        if (drawing_) picture_.AddRevealCode(code, value);
    }

    TLasGraphic& picture_;
    TTextFont font_;
    platform::FontStyle style_;
    int32_t maxWidth_;
    bool drawing_;
    const char* lastClose_;  // the last ">" of the picture's text, if any
    int32_t codes_ = 0;

    int32_t baseline_ = 0;
    int32_t penX_ = 0;
    int32_t lineHeight_ = 1;
    std::string_view segment_;  // the characters since the line start or the last tag
    int32_t segmentWidth_ = 0;
};

// The bottoms of the lines that fit: at most kMaxLines, within maxHeight when
// it is above 0, and for such paged text within the reveal script, so that
// every character of the page keeps its reveal and the page change is never
// dropped. The first line always counts, so each page takes some text and a
// page change can never repeat forever.
std::vector<int32_t> MeasureLines(TLasGraphic& picture, int32_t maxWidth, int32_t maxHeight) {
    std::vector<int32_t> bottoms;
    LineLayout layout(picture, maxWidth, false);
    std::string_view text = picture.Text;
    int32_t total = 0;
    int32_t codes = kPageEntries;
    while (!text.empty() && bottoms.size() < kMaxLines) {
        int32_t before = layout.CodesWritten();
        int32_t height = layout.Line(text, 0);
        int32_t lineCodes = kLineEntries + layout.CodesWritten() - before;
        bool full = maxHeight > 0 && (total + height > maxHeight ||
                                      codes + lineCodes > TLasGraphic::kRevealCapacity);
        if (full && !bottoms.empty()) break;
        total += height;
        codes += lineCodes;
        bottoms.push_back(total);
    }
    return bottoms;
}

// Lays out, draws and scripts one page of the picture's text; what does not
// fit stays in Text. Returns the height of the lines drawn.
int32_t RenderPage(TLasGraphic& picture, int32_t maxWidth, int32_t maxHeight, bool resize) {
    picture.SetTransparencyMode(TransparencyMode::Keyed);
    std::vector<int32_t> bottoms = MeasureLines(picture, maxWidth, maxHeight);
    int32_t total = bottoms.empty() ? 0 : bottoms.back();
    if (resize) {
        picture.SetSize(maxWidth, total);
    } else {
        picture.FillRect(0, 0, picture.Width(), picture.Height(), kWhite);
        picture.ClearMask();
    }

    picture.ResetReveal();
    picture.AddRevealCode(kWaitNormal, 0);
    LineLayout layout(picture, maxWidth, true);
    std::string_view text = picture.Text;
    int32_t top = 0;
    for (int32_t bottom : bottoms) {
        picture.AddRevealCode(kCursorX, 0);
        picture.AddRevealCode(kCursorWidth, 0);
        picture.AddRevealCode(kCursorY, top);
        picture.AddRevealCode(kCursorHeight, bottom - top);
        layout.Line(text, bottom);
        top = bottom;
    }
    if (!text.empty()) {
        picture.AddRevealCode(kShowMarker, 0);
        picture.AddRevealCode(kWaitClick, 0);
        picture.AddRevealCode(kRemoveMarker, 0);
        picture.AddRevealCode(kPageFull, maxHeight);
    }
    picture.AddRevealCode(kEnd, 0);
    picture.Text.erase(0, picture.Text.size() - text.size());
    return total;
}

// Wraps instead of overflowing: script values come from anyone's AddRevealCode.
int32_t Wrapped(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

}  // namespace

int32_t TLasGraphic::RenderText(int32_t maxWidth, int32_t maxHeight) {
    return RenderPage(*this, maxWidth, maxHeight, true);
}

int32_t TLasGraphic::RenderTextInPlace() {
    return RenderPage(*this, width_, height_, false);
}

void TLasGraphic::AddRevealCode(int32_t code, int32_t value) {
    if (reveal_.size() < size_t{kRevealCapacity}) reveal_.push_back({code, value});
}

void TLasGraphic::ResetReveal() {
    cursor_ = TRevealStep{};
    reveal_.clear();
    revealRead_ = 0;
}

// Reads up to the next code the message window acts on. Past the last entry
// written (a script cut short at its capacity, or one never ended) it is the
// end of the text.
TRevealStep TLasGraphic::NextRevealStep() {
    auto stepOf = [this](int32_t code, int32_t value) {
        TRevealStep step = cursor_;
        step.Code = code;
        step.Value = value;
        return step;
    };
    for (; revealRead_ < reveal_.size(); ++revealRead_) {
        auto [code, value] = reveal_[revealRead_];
        switch (code) {
            case kEnd:
                return stepOf(kEnd, value);  // stays put: the end is read again and again
            case kCursorY:
                cursor_.Y = value;
                break;
            case kCursorX:
                cursor_.X = value;
                break;
            case kCursorWidth:
                cursor_.Width = value;
                break;
            case kCursorHeight:
                cursor_.Height = value;
                break;
            case kWaitNormal:
                cursor_.CharWait = 60;
                break;
            case kWaitFast:
                cursor_.CharWait = 20;
                break;
            case kWaitSlow:
                cursor_.CharWait = 120;
                break;
            case kCharacter:
                cursor_.X = Wrapped(int64_t{cursor_.X} + cursor_.Width);
                cursor_.Width = Wrapped(int64_t{value} - cursor_.X);
                [[fallthrough]];
            default:
                ++revealRead_;
                return stepOf(code, value);
        }
    }
    return stepOf(kEnd, 0);
}

}  // namespace graphics
