#include "platform/dialog_view.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <utility>

#include "platform/cp932.h"
#include "platform/encoding.h"
#include "platform/fonts.h"

namespace platform {
namespace {

using Rect = DialogView::Rect;

// The classic grey dialog colours.
constexpr uint32_t kFace = 0xD4D0C8;
constexpr uint32_t kHighlight = 0xFFFFFF;
constexpr uint32_t kShadow = 0x808080;
constexpr uint32_t kDarkShadow = 0x404040;
constexpr uint32_t kInk = 0x000000;
constexpr uint32_t kFieldBack = 0xFFFFFF;
constexpr uint32_t kSelectionBack = 0x0A246A;
constexpr uint32_t kSelectionInk = 0xFFFFFF;
constexpr uint32_t kNoteInk = 0xA00000;

constexpr int32_t kTextPoints = 12;  // 16 pixels
constexpr int32_t kMargin = 12;
constexpr int32_t kSpacing = 8;
constexpr int32_t kMaxTextWidth = 480;
// Enough to read a report, small enough to fit a screen.
constexpr size_t kMaxMessageLines = 32;
constexpr size_t kMaxPromptLines = 8;
constexpr int32_t kMinMessageWidth = 240;
constexpr int32_t kFieldWidth = 320;
constexpr int32_t kIconSize = 32;
constexpr int32_t kMinButtonWidth = 80;
constexpr int32_t kButtonGap = 8;

// clang-format off
constexpr std::string_view kOk = "OK";
constexpr std::string_view kYes = "\x82\xCD\x82\xA2";                          // はい
constexpr std::string_view kNo = "\x82\xA2\x82\xA2\x82\xA6";                   // いいえ
constexpr std::string_view kAbort = "\x92\x86\x8E\x7E";                        // 中止
constexpr std::string_view kIgnore = "\x96\xB3\x8E\x8B";                       // 無視
constexpr std::string_view kCancel = "\x83\x4C\x83\x83\x83\x93\x83\x5A\x83\x8B";  // キャンセル
constexpr std::string_view kEllipsis = "\x81\x63";                             // …
// この文字は使えません
constexpr std::string_view kUnusableNote =
    "\x82\xB1\x82\xCC\x95\xB6\x8E\x9A\x82\xCD\x8E\x67\x82\xA6\x82\xDC\x82\xB9\x82\xF1";
// これ以上入力できません
constexpr std::string_view kTooLongNote =
    "\x82\xB1\x82\xEA\x88\xC8\x8F\xE3\x93\xFC\x97\xCD\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1";
// clang-format on

const FontStyle& DialogFont() {
    static const FontStyle font{std::string(kDefaultFaceName), kTextPoints};
    return font;
}

int32_t TextWidth(std::string_view cp932) {
    return MeasureText(DialogFont(), cp932).width;
}

// Without any font the layout still holds together.
int32_t LineHeight() {
    return std::max(MeasureText(DialogFont(), "").height, 16);
}

int32_t Bottom(const Rect& rect) {
    return rect.y + rect.height;
}

Rect Inset(const Rect& rect, int32_t by) {
    return {rect.x + by, rect.y + by, rect.width - 2 * by, rect.height - 2 * by};
}

Rect Intersect(const Rect& a, const Rect& b) {
    int32_t left = std::max(a.x, b.x);
    int32_t top = std::max(a.y, b.y);
    int32_t right = std::min(a.x + a.width, b.x + b.width);
    int32_t bottom = std::min(Bottom(a), Bottom(b));
    return {left, top, std::max(0, right - left), std::max(0, bottom - top)};
}

std::string_view CharAt(std::string_view text, size_t at) {
    return text.substr(at, Cp932CharLength(text.substr(at)));
}

// Japanese text may break between any two characters, other text after spaces.
bool IsWide(std::string_view character) {
    return character.size() == 2 || static_cast<unsigned char>(character[0]) >= 0x80;
}

// The bytes of `text` that go on a line at most `maxWidth` wide: up to the
// last place a line may break, or up to any character when one word fills
// the line. Spaces may hang over the edge; every line takes a character.
size_t LineLength(std::string_view text, int32_t maxWidth) {
    int32_t width = 0;
    size_t lastBreak = 0;
    bool breakAfterPrevious = false;
    for (size_t at = 0; at < text.size();) {
        std::string_view character = CharAt(text, at);
        bool wide = IsWide(character);
        if (at > 0 && (breakAfterPrevious || wide)) lastBreak = at;
        width += TextWidth(character);
        if (width > maxWidth && character != " " && at > 0) return lastBreak > 0 ? lastBreak : at;
        breakAfterPrevious = wide || character == " ";
        at += character.size();
    }
    return text.size();
}

void WrapParagraph(std::string_view text, int32_t maxWidth, size_t maxLines,
                   std::vector<std::string>& lines) {
    do {
        size_t length = LineLength(text, maxWidth);
        std::string_view line = text.substr(0, length);
        // A space is never a trail byte, so trimming cannot split a character.
        line.remove_suffix(line.size() - std::min(line.size(), line.find_last_not_of(' ') + 1));
        lines.emplace_back(line);
        text.remove_prefix(length);
        text.remove_prefix(std::min(text.size(), text.find_first_not_of(' ')));
    } while (!text.empty() && lines.size() <= maxLines);
}

// The longest run of whole characters from the start no wider than `width`.
size_t FittingLength(std::string_view text, int32_t width) {
    size_t at = 0;
    for (int32_t used = 0; at < text.size();) {
        std::string_view character = CharAt(text, at);
        used += TextWidth(character);
        if (used > width) break;
        at += character.size();
    }
    return at;
}

// The lines of a CP932 text broken at CR LF, CR or LF and wrapped to
// `maxWidth`. Past `maxLines` the last line ends in an ellipsis and the rest
// is not even looked at, so a huge text costs no more than a short one.
std::vector<std::string> WrapText(std::string_view text, int32_t maxWidth, size_t maxLines) {
    std::vector<std::string> lines;
    while (lines.size() <= maxLines) {
        // CR and LF are never trail bytes: searching bytes is safe.
        size_t end = std::min(text.find_first_of("\r\n"), text.size());
        WrapParagraph(text.substr(0, end), maxWidth, maxLines, lines);
        if (end == text.size()) break;
        text.remove_prefix(text.substr(end, 2) == "\r\n" ? end + 2 : end + 1);
    }
    if (lines.size() > maxLines) {
        lines.resize(maxLines);
        std::string& last = lines.back();
        last.resize(FittingLength(last, maxWidth - TextWidth(kEllipsis)));
        last += kEllipsis;
    }
    return lines;
}

int32_t WidestLine(const std::vector<std::string>& lines) {
    int32_t widest = 0;
    for (const std::string& line : lines) widest = std::max(widest, TextWidth(line));
    return widest;
}

int32_t ButtonHeight() {
    return LineHeight() + 10;
}

int32_t ButtonWidth(const std::vector<std::string_view>& labels) {
    int32_t widest = 0;
    for (std::string_view label : labels) widest = std::max(widest, TextWidth(label));
    return std::max(kMinButtonWidth, widest + 24);
}

int32_t ButtonRowWidth(const std::vector<std::string_view>& labels) {
    auto count = static_cast<int32_t>(labels.size());
    return count * ButtonWidth(labels) + (count - 1) * kButtonGap;
}

// The start of the character before the one at `at` (> 0). CP932 cannot be
// read backwards, so this walks from the start.
size_t PreviousBoundary(std::string_view text, size_t at) {
    size_t previous = 0;
    for (size_t next = 0; next < at; next += Cp932CharLength(text.substr(next))) previous = next;
    return previous;
}

size_t NextBoundary(std::string_view text, size_t at) {
    return at + Cp932CharLength(text.substr(at));
}

// The boundary after `count` characters, or the end.
size_t BoundaryAfter(std::string_view text, int32_t count) {
    size_t at = 0;
    for (; count > 0 && at < text.size(); --count) at = NextBoundary(text, at);
    return at;
}

// The character boundary closest to `offset` pixels from the text's start.
size_t BoundaryNear(std::string_view text, int32_t offset) {
    int32_t pen = 0;
    for (size_t at = 0; at < text.size();) {
        std::string_view character = CharAt(text, at);
        int32_t advance = TextWidth(character);
        if (offset < pen + advance / 2) return at;
        pen += advance;
        at += character.size();
    }
    return text.size();
}

// The longest prefix of whole characters within `limit` bytes.
size_t BoundaryWithin(std::string_view text, size_t limit) {
    size_t at = 0;
    while (at < text.size() && NextBoundary(text, at) <= limit) at = NextBoundary(text, at);
    return at;
}

bool IsControl(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

// Draws into a view's pixels, everything cut to the picture.
class DialogPainter {
public:
    DialogPainter(std::vector<uint32_t>& pixels, int32_t width, int32_t height)
        : pixels_(pixels), bounds_{0, 0, width, height} {}

    void Fill(const Rect& rect, uint32_t colour) {
        Rect cut = Intersect(rect, bounds_);
        for (int32_t y = cut.y; y < Bottom(cut); ++y) {
            std::fill_n(&pixels_[Index(cut.x, y)], cut.width, colour);
        }
    }

    // A one-pixel edge: top and left in one colour, bottom and right in another.
    void Edge(const Rect& rect, uint32_t topLeft, uint32_t bottomRight) {
        Fill({rect.x, rect.y, rect.width - 1, 1}, topLeft);
        Fill({rect.x, rect.y, 1, rect.height - 1}, topLeft);
        Fill({rect.x, Bottom(rect) - 1, rect.width, 1}, bottomRight);
        Fill({rect.x + rect.width - 1, rect.y, 1, rect.height}, bottomRight);
    }

    // The dotted frame of the focused button.
    void FocusFrame(const Rect& rect) {
        for (int32_t x = rect.x; x < rect.x + rect.width; x += 2) {
            Dot(x, rect.y);
            Dot(x, Bottom(rect) - 1);
        }
        for (int32_t y = rect.y; y < Bottom(rect); y += 2) {
            Dot(rect.x, y);
            Dot(rect.x + rect.width - 1, y);
        }
    }

    void Dot(int32_t x, int32_t y, uint32_t colour = kInk) {
        if (bounds_.Contains(x, y)) pixels_[Index(x, y)] = colour;
    }

    // The top of the text's line at y, cut to `clip`.
    void Text(std::string_view cp932, int32_t x, int32_t y, uint32_t colour, const Rect& clip) {
        Rect cut = Intersect(clip, bounds_);
        DrawText(DialogFont(), cp932, x - cut.x, y - cut.y, cut.width, cut.height,
                 [&](int32_t runX, int32_t runY, int32_t length) {
                     std::fill_n(&pixels_[Index(cut.x + runX, cut.y + runY)], length, colour);
                 });
    }
    void Text(std::string_view cp932, int32_t x, int32_t y) { Text(cp932, x, y, kInk, bounds_); }

private:
    size_t Index(int32_t x, int32_t y) const { return size_t(y) * bounds_.width + x; }

    std::vector<uint32_t>& pixels_;
    Rect bounds_;
};

namespace {

void DrawLines(DialogPainter& painter, const std::vector<std::string>& lines, const Rect& area) {
    int32_t lineHeight = LineHeight();
    for (size_t i = 0; i < lines.size(); ++i) {
        painter.Text(lines[i], area.x, area.y + static_cast<int32_t>(i) * lineHeight);
    }
}

void DrawButton(DialogPainter& painter, const Rect& rect, std::string_view label, bool isDefault,
                bool focused, bool pushed) {
    painter.Fill(rect, kFace);
    Rect face = rect;
    if (isDefault) {
        painter.Edge(face, kInk, kInk);
        face = Inset(face, 1);
    }
    if (pushed) {
        painter.Edge(face, kShadow, kShadow);
    } else {
        painter.Edge(face, kHighlight, kDarkShadow);
        painter.Edge(Inset(face, 1), kFace, kShadow);
    }
    int32_t shift = pushed ? 1 : 0;
    int32_t x = rect.x + (rect.width - TextWidth(label)) / 2 + shift;
    int32_t y = rect.y + (rect.height - LineHeight()) / 2 + shift;
    painter.Text(label, x, y, kInk, Inset(face, 2));
    if (focused) painter.FocusFrame(Inset(rect, 4));
}

// Fills a shape within `box`, given by `inside` in box coordinates, with a
// one-pixel outline in `edge`.
template <typename Inside>
void DrawShape(DialogPainter& painter, const Rect& box, Inside inside, uint32_t fill,
               uint32_t edge) {
    for (int32_t y = 0; y < box.height; ++y) {
        for (int32_t x = 0; x < box.width; ++x) {
            if (!inside(x, y)) continue;
            bool inner =
                inside(x - 1, y) && inside(x + 1, y) && inside(x, y - 1) && inside(x, y + 1);
            painter.Dot(box.x + x, box.y + y, inner ? fill : edge);
        }
    }
}

// A yellow warning triangle with an exclamation mark.
void DrawWarningIcon(DialogPainter& painter, const Rect& box) {
    auto triangle = [](int32_t x, int32_t y) {
        double fromAxis = x + 0.5 - kIconSize / 2.0;
        return y >= 2 && y <= 29 && std::abs(fromAxis) <= (y - 1) * 0.52;
    };
    DrawShape(painter, box, triangle, 0xFFD21E, 0x5A4300);
    painter.Fill({box.x + 14, box.y + 10, 4, 11}, kInk);
    painter.Fill({box.x + 14, box.y + 23, 4, 4}, kInk);
}

// A red disc with a white cross.
void DrawErrorIcon(DialogPainter& painter, const Rect& box) {
    auto centred = [](int32_t at) { return at + 0.5 - kIconSize / 2.0; };
    auto disc = [&](int32_t x, int32_t y) {
        double dx = centred(x);
        double dy = centred(y);
        return dx * dx + dy * dy <= 15.2 * 15.2;
    };
    auto cross = [&](int32_t x, int32_t y) {
        double dx = std::abs(centred(x));
        double dy = std::abs(centred(y));
        return dx <= 7 && dy <= 7 && std::abs(dx - dy) <= 1.5;
    };
    DrawShape(painter, box, disc, 0xD92B1F, 0x7A0F08);
    DrawShape(painter, box, cross, kHighlight, kHighlight);
}

struct Choice {
    MessageAnswer answer;
    std::string_view label;
};

// The harmless answer comes last.
std::vector<Choice> ChoicesOf(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::YesNo:
            return {{MessageAnswer::Yes, kYes}, {MessageAnswer::No, kNo}};
        case MessageButtons::AbortIgnore:
            return {{MessageAnswer::Abort, kAbort}, {MessageAnswer::Ignore, kIgnore}};
        case MessageButtons::Ok:
            break;
    }
    return {{MessageAnswer::Ok, kOk}};
}

}  // namespace

const std::vector<uint32_t>& DialogView::Pixels() {
    if (changed_) {
        pixels_.assign(size_t(width_) * height_, kFace);
        DialogPainter painter(pixels_, width_, height_);
        Draw(painter);
        changed_ = false;
    }
    return pixels_;
}

void DialogView::PointerMove(int32_t x, int32_t y) {
    if (held_ == kNoButton) return;
    bool inside = buttons_[held_].rect.Contains(x, y);
    if (inside == heldInside_) return;
    heldInside_ = inside;
    Invalidate();
}

void DialogView::PointerDown(int32_t x, int32_t y) {
    held_ = ButtonAt(x, y);
    heldInside_ = held_ != kNoButton;
    if (heldInside_) FocusButton(held_);
}

void DialogView::PointerUp(int32_t x, int32_t y) {
    if (held_ == kNoButton) return;
    int32_t released = std::exchange(held_, kNoButton);
    Invalidate();
    if (buttons_[released].rect.Contains(x, y)) Press(released);
}

void DialogView::SetSize(int32_t width, int32_t height) {
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    Invalidate();
}

void DialogView::PlaceButtons(const std::vector<std::string_view>& labels, int32_t top) {
    int32_t width = ButtonWidth(labels);
    int32_t x = (width_ - ButtonRowWidth(labels)) / 2;
    buttons_.clear();
    for (std::string_view label : labels) {
        buttons_.push_back({{x, top, width, ButtonHeight()}, label});
        x += width + kButtonGap;
    }
}

void DialogView::FocusButton(int32_t index) {
    focus_ = index;
    Invalidate();
}

void DialogView::StepFocus(int32_t step, bool withNone) {
    int32_t first = withNone ? kNoButton : 0;
    int32_t places = static_cast<int32_t>(buttons_.size()) - first;
    FocusButton(first + ((focus_ - first + step) % places + places) % places);
}

void DialogView::Finish() {
    done_ = true;
}

void DialogView::DrawButtons(DialogPainter& painter) const {
    // While a text field has the focus, Enter presses the first button.
    int32_t defaultButton = focus_ == kNoButton ? 0 : focus_;
    for (int32_t i = 0; i < static_cast<int32_t>(buttons_.size()); ++i) {
        DrawButton(painter, buttons_[i].rect, buttons_[i].label, i == defaultButton, i == focus_,
                   i == held_ && heldInside_);
    }
}

int32_t DialogView::ButtonAt(int32_t x, int32_t y) const {
    for (int32_t i = 0; i < static_cast<int32_t>(buttons_.size()); ++i) {
        if (buttons_[i].rect.Contains(x, y)) return i;
    }
    return kNoButton;
}

MessageBoxView::MessageBoxView(MessageKind kind, MessageButtons buttons, std::string_view text)
    : kind_(kind), lines_(WrapText(text, kMaxTextWidth, kMaxMessageLines)) {
    std::vector<std::string_view> labels;
    for (const Choice& choice : ChoicesOf(buttons)) {
        answers_.push_back(choice.answer);
        labels.push_back(choice.label);
    }
    answer_ = answers_.back();

    int32_t iconSize = kind == MessageKind::Plain ? 0 : kIconSize;
    icon_ = {kMargin, kMargin, iconSize, iconSize};
    int32_t textLeft = iconSize > 0 ? icon_.x + iconSize + kMargin : kMargin;
    int32_t textHeight = static_cast<int32_t>(lines_.size()) * LineHeight();
    // A text shorter than the icon stands centred beside it.
    text_ = {textLeft, kMargin + std::max(0, (iconSize - textHeight) / 2), WidestLine(lines_),
             textHeight};
    int32_t buttonsTop = std::max(Bottom(icon_), Bottom(text_)) + kMargin + kSpacing;
    int32_t width = std::max(
        {text_.x + text_.width + kMargin, ButtonRowWidth(labels) + 2 * kMargin, kMinMessageWidth});
    SetSize(width, buttonsTop + ButtonHeight() + kMargin);
    PlaceButtons(labels, buttonsTop);
}

void MessageBoxView::Key(DialogKey key) {
    switch (key) {
        case DialogKey::Enter:
            Press(FocusedButton());
            break;
        case DialogKey::Escape:
            Press(static_cast<int32_t>(answers_.size()) - 1);
            break;
        case DialogKey::Tab:
        case DialogKey::Right:
        case DialogKey::Down:
            StepFocus(1, false);
            break;
        case DialogKey::BackTab:
        case DialogKey::Left:
        case DialogKey::Up:
            StepFocus(-1, false);
            break;
        default:
            break;
    }
}

void MessageBoxView::Press(int32_t index) {
    answer_ = answers_[index];
    Finish();
}

void MessageBoxView::Draw(DialogPainter& painter) const {
    if (kind_ == MessageKind::Warning) DrawWarningIcon(painter, icon_);
    if (kind_ == MessageKind::Error) DrawErrorIcon(painter, icon_);
    DrawLines(painter, lines_, text_);
    DrawButtons(painter);
}

InputBoxView::InputBoxView(std::string_view prompt, std::string_view defaultText,
                           std::function<std::string()> clipboard)
    : prompt_(WrapText(prompt, kMaxTextWidth, kMaxPromptLines)),
      clipboard_(std::move(clipboard)),
      value_(defaultText.substr(0, BoundaryWithin(defaultText, kMaxTextBytes))),
      caret_(value_.size()),
      selected_(!value_.empty()) {
    std::vector<std::string_view> labels{kOk, kCancel};
    int32_t lineHeight = LineHeight();
    int32_t inner = std::max({WidestLine(prompt_), kFieldWidth, ButtonRowWidth(labels)});
    promptArea_ = {kMargin, kMargin, inner, static_cast<int32_t>(prompt_.size()) * lineHeight};
    field_ = {kMargin, Bottom(promptArea_) + kSpacing, inner, lineHeight + 10};
    noteArea_ = {kMargin, Bottom(field_) + 4, inner, lineHeight};
    int32_t buttonsTop = Bottom(noteArea_) + kSpacing;
    SetSize(inner + 2 * kMargin, buttonsTop + ButtonHeight() + kMargin);
    PlaceButtons(labels, buttonsTop);
    FocusButton(kNoButton);
    Edited();
}

void InputBoxView::PointerDown(int32_t x, int32_t y) {
    if (!field_.Contains(x, y)) return DialogView::PointerDown(x, y);
    if (!composition_.empty()) return;
    FocusButton(kNoButton);
    caret_ = BoundaryNear(value_, x - TextArea().x + scroll_);
    selected_ = false;
    note_ = {};
    Edited();
}

void InputBoxView::Key(DialogKey key) {
    // While composing, keys belong to the input method, which may let some
    // through (Enter that ends the composition must not answer the box).
    if (!composition_.empty()) return;
    switch (key) {
        case DialogKey::Enter:
            Press(std::max(FocusedButton(), 0));
            return;
        case DialogKey::Escape:
            Press(1);
            return;
        case DialogKey::Tab:
            StepFocus(1, true);
            return;
        case DialogKey::BackTab:
            StepFocus(-1, true);
            return;
        default:
            break;
    }
    if (WantsText()) {
        EditKey(key);
    } else if (key == DialogKey::Left || key == DialogKey::Up) {
        StepFocus(-1, false);
    } else if (key == DialogKey::Right || key == DialogKey::Down) {
        StepFocus(1, false);
    }
}

void InputBoxView::EditKey(DialogKey key) {
    if (key == DialogKey::Up || key == DialogKey::Down) return;
    note_ = {};
    bool erase = key == DialogKey::Backspace || key == DialogKey::Delete;
    if (key == DialogKey::Paste) {
        if (clipboard_) Insert(clipboard_());
    } else if (selected_ && erase) {
        Erase(0, value_.size());
    } else if (key == DialogKey::Backspace) {
        if (caret_ > 0) Erase(PreviousBoundary(value_, caret_), caret_);
    } else if (key == DialogKey::Delete) {
        if (caret_ < value_.size()) Erase(caret_, NextBoundary(value_, caret_));
    } else if (key == DialogKey::Left) {
        caret_ = selected_ || caret_ == 0 ? 0 : PreviousBoundary(value_, caret_);
    } else if (key == DialogKey::Right) {
        caret_ =
            selected_ || caret_ == value_.size() ? value_.size() : NextBoundary(value_, caret_);
    } else if (key == DialogKey::Home) {
        caret_ = 0;
    } else if (key == DialogKey::End) {
        caret_ = value_.size();
    }
    if (key != DialogKey::Paste) selected_ = false;
    Edited();
}

void InputBoxView::Text(std::string_view utf8) {
    if (!WantsText()) return;
    composition_.clear();
    compositionCaret_ = 0;
    note_ = {};
    Insert(utf8);
    Edited();
}

void InputBoxView::Composition(std::string_view utf8, int32_t cursor) {
    if (!WantsText()) return;
    // Shown only: what CP932 lacks shows as "?" until the text is committed.
    composition_ = Utf8ToCp932(utf8);
    compositionCaret_ = BoundaryAfter(composition_, cursor);
    Edited();
}

DialogView::Rect InputBoxView::CaretRect() const {
    Rect area = TextArea();
    int32_t x = area.x + TextWidth(std::string_view(value_).substr(0, caret_)) - scroll_;
    return {std::clamp(x, area.x, area.x + area.width - 1), area.y, 1, area.height};
}

void InputBoxView::Press(int32_t index) {
    if (index == 0) result_ = value_;
    Finish();
}

// Replaces the selection or goes in at the caret, whole or not at all.
void InputBoxView::Insert(std::string_view utf8) {
    // A one-line value never holds line breaks or other control characters.
    std::string typed;
    std::copy_if(utf8.begin(), utf8.end(), std::back_inserter(typed),
                 [](char c) { return !IsControl(c); });
    std::optional<std::string> cp932 = Utf8ToCp932Exactly(typed);
    if (!cp932) {
        note_ = kUnusableNote;
        return;
    }
    size_t kept = selected_ ? 0 : value_.size();
    if (kept + cp932->size() > kMaxTextBytes) {
        note_ = kTooLongNote;
        return;
    }
    if (cp932->empty()) return;
    if (selected_) Erase(0, value_.size());
    value_.insert(caret_, *cp932);
    caret_ += cp932->size();
}

void InputBoxView::Erase(size_t from, size_t to) {
    value_.erase(from, to - from);
    caret_ = from;
    selected_ = false;
}

void InputBoxView::Edited() {
    int32_t caret = CaretOffset();
    // One pixel more for the caret after the last character.
    int32_t visible = TextArea().width - 1;
    int32_t total = TextWidth(value_) + TextWidth(composition_);
    scroll_ = std::clamp(scroll_, caret - visible, caret);
    scroll_ = std::max(0, std::min(scroll_, total - visible));
    Invalidate();
}

// The line, a pixel to part it from the composition's underline, and that.
DialogView::Rect InputBoxView::TextArea() const {
    return {field_.x + 4, field_.y + 3, field_.width - 8, LineHeight() + 2};
}

int32_t InputBoxView::CaretOffset() const {
    return TextWidth(std::string_view(value_).substr(0, caret_)) +
           TextWidth(std::string_view(composition_).substr(0, compositionCaret_));
}

void InputBoxView::Draw(DialogPainter& painter) const {
    DrawLines(painter, prompt_, promptArea_);
    painter.Edge(field_, kShadow, kHighlight);
    painter.Edge(Inset(field_, 1), kDarkShadow, kFace);
    painter.Fill(Inset(field_, 2), kFieldBack);

    Rect area = TextArea();
    std::string_view before = std::string_view(value_).substr(0, caret_);
    std::string_view after = std::string_view(value_).substr(caret_);
    uint32_t ink = selected_ ? kSelectionInk : kInk;
    int32_t x = area.x - scroll_;
    if (selected_) {
        painter.Fill(Intersect({x, area.y, TextWidth(value_), area.height}, area), kSelectionBack);
    }
    painter.Text(before, x, area.y, ink, area);
    x += TextWidth(before);
    int32_t caretX = x + TextWidth(std::string_view(composition_).substr(0, compositionCaret_));
    int32_t compositionWidth = TextWidth(composition_);
    painter.Text(composition_, x, area.y, kInk, area);
    painter.Fill(Intersect({x, Bottom(area) - 1, compositionWidth, 1}, area), kInk);
    painter.Text(after, x + compositionWidth, area.y, ink, area);
    if (WantsText()) painter.Fill(Intersect({caretX, area.y, 1, area.height}, area), kInk);

    if (!note_.empty()) painter.Text(note_, noteArea_.x, noteArea_.y, kNoteInk, noteArea_);
    DrawButtons(painter);
}

}  // namespace platform
