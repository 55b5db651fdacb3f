#include "graphics/Las_eff.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <numeric>

#include "platform/backend.h"
#include "platform/random.h"

namespace graphics {
namespace {

// Shows frames at a fixed period. The deadline accumulates from the first
// frame, so a slow frame shortens the next wait instead of slowing the effect.
// Once the application is told to end (the window was closed meanwhile), the
// effect stops at its next frame instead of playing out.
class FramePacer {
public:
    explicit FramePacer(platform::Canvas& canvas)
        : canvas_(canvas), deadline_(platform::TickCount()) {}

    // False when the effect should stop.
    [[nodiscard]] bool Show(const TLasGraphic& frame, uint32_t period) {
        frame.Present(canvas_, 0, 0);
        canvas_.Flush();
        deadline_ += period;
        platform::EventManager& events = platform::Events();
        // Events are handled every frame, even one that overran its deadline.
        events.ProcessMessages();
        while (!events.Terminated() && !platform::TickReached(platform::TickCount(), deadline_)) {
            events.WaitUntil(deadline_);
            events.ProcessMessages();
        }
        return !events.Terminated();
    }

private:
    platform::Canvas& canvas_;
    uint32_t deadline_;
};

// One axis of a copy from one picture onto another, cut as Draw cuts it: a
// start before either picture moves both starts on together, and the copy
// ends where either picture does.
struct Span {
    int64_t dest;
    int64_t source;
    int64_t length;

    bool CutTo(int64_t destLength, int64_t sourceLength) {
        int64_t skip = std::max({int64_t{0}, -dest, -source});
        dest += skip;
        source += skip;
        length = std::min({length - skip, destLength - dest, sourceLength - source});
        return length > 0;
    }
};

// Calls draw(destX, destY, width, height, sourceX, sourceY) with the part of
// the copy that lies on both pictures, if any. Cutting in 64 bits first gives
// Draw numbers it can take however far a scenario's rectangle reaches.
template <typename DrawCall>
void CutAndDraw(const TLasGraphic& from, const TLasGraphic& to, Span x, Span y, DrawCall draw) {
    if (!x.CutTo(to.Width(), from.Width()) || !y.CutTo(to.Height(), from.Height())) return;
    draw(int32_t(x.dest), int32_t(y.dest), int32_t(x.length), int32_t(y.length), int32_t(x.source),
         int32_t(y.source));
}

void Copy(const TLasGraphic& from, TLasGraphic& to, Span x, Span y) {
    CutAndDraw(from, to, x, y, [&](auto... rect) { from.Draw(to, rect...); });
}

// The target's rectangle drawn onto the same place of the working picture.
void Copy(const TLasGraphic& target, TLasGraphic& work, int64_t x, int64_t y, int64_t width,
          int64_t height) {
    Copy(target, work, {x, x, width}, {y, y, height});
}

int64_t FloorDiv(int64_t value, int64_t divisor) {
    return value >= 0 ? value / divisor : -((-value + divisor - 1) / divisor);
}

// The indices [begin, end) out of [0, count) of runs `length` long starting at
// origin + step * index that reach into [0, limit). A scenario's rectangle may
// hold a billion bands; only the few on the picture are visited.
struct IndexRange {
    int64_t begin;
    int64_t end;
};
IndexRange OnPicture(int64_t origin, int64_t step, int64_t length, int64_t count, int64_t limit) {
    return {std::max<int64_t>(0, FloorDiv(-length - origin, step) + 1),
            std::min(count, FloorDiv(limit - 1 - origin, step) + 1)};
}

// Both wipes: strip j is drawn in frame (9 - j % 10) + j / 10.
template <typename CopyStrip>
void Wipe(platform::Canvas& canvas, const TLasGraphic& work, int64_t strips, CopyStrip copyStrip) {
    FramePacer pacer(canvas);
    std::array<int64_t, 10> next;  // the strip each of the ten runs draws next
    next.fill(-1);
    int32_t started = 0;
    while (next[0] < strips) {
        if (started <= 9) {
            next[9 - started] = 9 - started;
            ++started;
        }
        for (int64_t& strip : next) {
            if (strip >= 0 && strip < strips) {
                copyStrip(strip);
                strip += 10;
            }
        }
        if (!pacer.Show(work, 40)) return;
    }
}

// Target rows band and band + 1 of the area, rotated right by `shift` columns.
void RotateBand(const TLasGraphic& target, TLasGraphic& work, const TEffectArea& area, int64_t band,
                int64_t shift) {
    // Taken modulo the width, so a rotation wider than a narrow area stays inside it.
    shift %= area.Width;
    if (shift < 0) shift += area.Width;
    Copy(target, work, {area.X + shift, area.X, area.Width - shift}, {band, band, 2});
    if (shift > 0) {
        Copy(target, work, {area.X, area.X + area.Width - shift, shift}, {band, band, 2});
    }
}

// Covers the area with size x size blocks from its top-left corner, each the
// colour of the source pixel at the block's centre (the nearest pixel inside
// the picture where the centre lies past its edge). Only blocks on the frame
// are visited, so their coordinates fit the picture calls.
void Pixelate(const TLasGraphic& source, TLasGraphic& frame, const TEffectArea& area,
              int32_t size) {
    IndexRange rows =
        OnPicture(area.Y, size, size, (area.Height + size - 1) / size, frame.Height());
    IndexRange columns =
        OnPicture(area.X, size, size, (area.Width + size - 1) / size, frame.Width());
    for (int64_t row = rows.begin; row < rows.end; ++row) {
        int64_t y = area.Y + row * size;
        auto height = int32_t(std::min<int64_t>(size, area.Y + area.Height - y));
        for (int64_t column = columns.begin; column < columns.end; ++column) {
            int64_t x = area.X + column * size;
            auto width = int32_t(std::min<int64_t>(size, area.X + area.Width - x));
            uint32_t colour = source.GetPixel(int32_t(x + size / 2), int32_t(y + size / 2));
            frame.FillRect(int32_t(x), int32_t(y), width, height, colour);
        }
    }
}

}  // namespace

void EffectFade(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                const TEffectArea& area) {
    FramePacer pacer(canvas);
    TLasGraphic frame;
    for (int32_t k = 1; k <= 8; ++k) {
        frame.Assign(work);
        // Only an opaque target blends; any other leaves the old screen in view.
        if (target.Mode() == TransparencyMode::Opaque) {
            CutAndDraw(target, frame, {area.X, area.X, area.Width}, {area.Y, area.Y, area.Height},
                       [&](auto... rect) { target.BlendOpaque(frame, rect..., 32 * k - 1); });
        }
        if (!pacer.Show(frame, 150)) return;
    }
}

void EffectWipeLeft(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                    const TEffectArea& area) {
    // An odd last column is left to the screen's next Present.
    Wipe(canvas, work, area.Width / 2,
         [&](int64_t strip) { Copy(target, work, area.X + 2 * strip, area.Y, 2, area.Height); });
}

void EffectWipeTop(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                   const TEffectArea& area) {
    Wipe(canvas, work, area.Height / 2,
         [&](int64_t strip) { Copy(target, work, area.X, area.Y + 2 * strip, area.Width, 2); });
}

void EffectRandomPanels(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                        const TEffectArea& area) {
    // Tile t is column t / 12, row t % 12; the shuffle swaps with a position
    // below 143, as the effect always has.
    std::array<int32_t, 144> tiles;
    std::iota(tiles.begin(), tiles.end(), 0);
    for (int32_t& tile : tiles) std::swap(tile, tiles[platform::RandomInt() % 143]);

    FramePacer pacer(canvas);
    int64_t tileWidth = area.Width / 12;
    int64_t tileHeight = area.Height / 12;
    for (size_t i = 0; i < tiles.size(); ++i) {
        int32_t column = tiles[i] / 12;
        int32_t row = tiles[i] % 12;
        // The last column and row take the remainder of the division.
        int64_t width = tileWidth + (column == 11 ? area.Width % 12 : 0);
        int64_t height = tileHeight + (row == 11 ? area.Height % 12 : 0);
        Copy(target, work, area.X + column * tileWidth, area.Y + row * tileHeight, width, height);
        if (i % 12 == 11 && !pacer.Show(work, 30)) return;
    }
    target.Present(canvas, 0, 0);
}

void EffectBlind(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                 const TEffectArea& area) {
    // Rows past the last full band of 20 wait for the screen's next Present.
    FramePacer pacer(canvas);
    for (int32_t k = 0; k < 10; ++k) {
        int64_t top = area.Y + 2 * k;
        IndexRange bands = OnPicture(top, 20, 2, area.Height / 20, work.Height());
        for (int64_t band = bands.begin; band < bands.end; ++band) {
            Copy(target, work, area.X, top + 20 * band, area.Width, 2);
        }
        if (!pacer.Show(work, 40)) return;
    }
}

void EffectSquare(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                  const TEffectArea& area) {
    // One line more than the blind's bands, so a partial last band is covered
    // too; that line may reach past the area, and does where it is on screen.
    FramePacer pacer(canvas);
    for (int32_t k = 0; k < 10; ++k) {
        IndexRange lines = OnPicture(area.X + 2 * k, 20, 2, area.Width / 20 + 1, work.Width());
        for (int64_t line = lines.begin; line < lines.end; ++line) {
            Copy(target, work, area.X + 2 * k + 20 * line, area.Y, 2, area.Height);
        }
        lines = OnPicture(area.Y + 2 * k, 20, 2, area.Height / 20 + 1, work.Height());
        for (int64_t line = lines.begin; line < lines.end; ++line) {
            Copy(target, work, area.X, area.Y + 2 * k + 20 * line, area.Width, 2);
        }
        if (!pacer.Show(work, 40)) return;
    }
}

void EffectWave(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                const TEffectArea& area) {
    // One full period of the sine in twenty steps.
    static const std::array<double, 20> sine = [] {
        std::array<double, 20> table;
        for (size_t i = 0; i < table.size(); ++i) table[i] = std::sin(i * std::numbers::pi * 0.1);
        return table;
    }();

    FramePacer pacer(canvas);
    for (int32_t step = 19; step >= 0; --step) {
        int32_t amplitude = 2 * step;
        int32_t phase = 2 * step;
        IndexRange bands = OnPicture(area.Y, 2, 2, area.Height / 2, work.Height());
        for (int64_t band = bands.begin; band < bands.end && area.Width > 0; ++band) {
            auto shift = static_cast<int32_t>(amplitude * sine[(phase + band) % 20]);
            RotateBand(target, work, area, area.Y + 2 * band, shift);
        }
        if (!pacer.Show(work, 100)) return;
    }
    // The last frame had no amplitude; the odd last row comes with the target.
    target.Present(canvas, 0, 0);
}

void EffectMosaic(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                  const TEffectArea& area) {
    // Blocks are drawn over a copy of the old screen, so around a partial area
    // the old screen stays in view.
    FramePacer pacer(canvas);
    TLasGraphic frame;
    frame.Assign(work);
    for (int32_t size = 2; size <= 32; size *= 2) {
        Pixelate(work, frame, area, size);
        if (!pacer.Show(frame, 200)) return;
    }
    for (int32_t size = 32; size > 2; size /= 2) {
        Pixelate(target, frame, area, size);
        if (!pacer.Show(frame, 200)) return;
    }
}

bool RunEffectByNumber(int32_t number, platform::Canvas& canvas, TLasGraphic& work,
                       const TLasGraphic& target, const TEffectArea& area) {
    using Routine =
        void (*)(platform::Canvas&, TLasGraphic&, const TLasGraphic&, const TEffectArea&);
    static constexpr std::array<Routine, kEffectCount> routines = {
        EffectFade,  EffectWipeLeft, EffectWipeTop, EffectRandomPanels,
        EffectBlind, EffectSquare,   EffectWave,    EffectMosaic};
    if (!IsEffectNumber(number)) return false;
    routines[number](canvas, work, target, area);
    return true;
}

}  // namespace graphics
