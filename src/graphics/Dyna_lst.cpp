#include "graphics/Dyna_lst.h"

#include <algorithm>

namespace graphics {

namespace {

// The bar under an active text item: blue, the platform colour 0xFF0000.
constexpr uint32_t kBarColour = 0x0000FF;

// [from, to) on one axis. 64 bits: areas, rows and clips come from scenarios,
// and their sums must not wrap.
struct Span {
    int64_t from;
    int64_t to;

    bool Empty() const { return to <= from; }
};

Span SpanOf(int64_t start, int64_t length) {
    return {start, start + length};
}

Span Intersect(Span a, Span b) {
    return {std::max(a.from, b.from), std::min(a.to, b.to)};
}

// The part of the area, on one axis, that Draw would cover: inside the
// destination and where the source, read from `cell` on, lies inside the
// picture; then cut to the clip.
Span DrawnSpan(int64_t start, int64_t length, int64_t cell, int64_t pictureSide,
               int64_t destinationSide, int64_t clipStart, int64_t clipLength) {
    Span drawn = Intersect(SpanOf(start, length), SpanOf(start - cell, pictureSide));
    drawn = Intersect(drawn, SpanOf(0, destinationSide));
    return Intersect(drawn, SpanOf(clipStart, clipLength));
}

}  // namespace

bool TDynamicLayerList::SetupPicture(const TLasGraphic* loaded) {
    Picture.reset();
    if (!ImageFileName.empty()) return SetupImage(loaded);
    if (!Text.empty()) return SetupTextStrip();
    FrameCount = 1;
    RowCount = 1;
    return true;
}

bool TDynamicLayerList::SetupImage(const TLasGraphic* loaded) {
    FrameCount = std::max(FrameCount, 1);
    RowCount = std::max(RowCount, 1);
    if (!loaded) return false;
    Picture = std::make_unique<TLasGraphic>();
    Picture->Assign(*loaded);
    Width = Picture->Width() / FrameCount;
    Height = Picture->Height() / RowCount;
    return true;
}

// Row 0 is the text alone, row 1 the text over a translucent blue bar: an
// active item is highlighted.
bool TDynamicLayerList::SetupTextStrip() {
    // Refused before laying out: no strip that wide can be made.
    if (Width < 1 || Width > kMaxPictureSide) return false;
    TLasGraphic text;
    text.TextFont = Font;
    text.Text = Text;
    const int32_t h = text.RenderText(Width, 0);
    if (h < 1 || int64_t{h} * 2 > kMaxPictureSide || int64_t{Width} * h * 2 > kMaxPicturePixels) {
        return false;
    }
    auto strip = std::make_unique<TLasGraphic>();
    strip->SetSize(Width, 2 * h);
    strip->ClearMask();
    strip->FillRect(0, h, Width, h, kBarColour);
    strip->MakeTranslucent();
    text.Draw(*strip, 0, 0, Width, h, 0, 0);
    text.Draw(*strip, 0, h, Width, h, 0, 0);
    Picture = std::move(strip);
    Height = h;
    FrameCount = 1;
    RowCount = 2;
    RowDisabled = 0;
    RowEnabled = 0;
    RowActive = 1;
    return true;
}

int32_t TDynamicLayerList::ShownFrame() const {
    return Frame >= 0 && Frame < FrameCount ? Frame : 0;
}

int32_t TDynamicLayerList::ShownRow() const {
    switch (State) {
        case kDisabled:
            return RowDisabled;
        case kEnabled:
            return RowEnabled;
        case kActive:
            return RowActive;
        default:
            return 0;
    }
}

void TDynamicLayerList::Draw(TLasGraphic& destination, const TClip& clip) const {
    if (!Picture) return;
    // Counts are at least 1 once set up; the guard keeps an item that never
    // was from dividing by 0.
    const int64_t cellX = int64_t{Picture->Width() / std::max(FrameCount, 1)} * ShownFrame();
    const int64_t cellY = int64_t{Picture->Height() / std::max(RowCount, 1)} * ShownRow();
    Span xs =
        DrawnSpan(Left, Width, cellX, Picture->Width(), destination.Width(), clip.X, clip.Width);
    Span ys =
        DrawnSpan(Top, Height, cellY, Picture->Height(), destination.Height(), clip.Y, clip.Height);
    if (xs.Empty() || ys.Empty()) return;
    // Inside both pictures now: every value fits 32 bits.
    Picture->Draw(destination, int32_t(xs.from), int32_t(ys.from), int32_t(xs.to - xs.from),
                  int32_t(ys.to - ys.from), int32_t(xs.from - Left + cellX),
                  int32_t(ys.from - Top + cellY));
}

bool TDynamicLayerList::Hit(int32_t x, int32_t y) const {
    const int64_t dx = int64_t{x} - Left;
    const int64_t dy = int64_t{y} - Top;
    if (dx < 0 || dy < 0 || dx >= Width || dy >= Height) return false;
    switch (ClickableMode) {
        case TClickableMode::All:
            return true;
        case TClickableMode::Opaque:
            // dx and dy are below Width and Height, so they fit 32 bits.
            return Picture && Picture->HitTest(int32_t(dx), int32_t(dy));
        default:
            return false;
    }
}

}  // namespace graphics
