// The eight transition effects. Each animates the change from the old screen
// (the working picture, which the effect changes and shows) to the new one
// (the target, only read) inside a rectangle, showing frame after frame on the
// canvas at a fixed period. Frame waits sleep in the event loop, handling
// window events meanwhile; on the virtual clock they cost no real time. An
// effect stops at its next frame once the application is told to end.
#pragma once

#include <cstdint>

#include "graphics/Las_grf.h"
#include "platform/canvas.h"

namespace graphics {

// The animated rectangle as the scenario gave it: it may reach past the
// pictures (which have the screen's size) on any side, and its strips, tiles
// and bands are counted from it all the same; only what falls on the pictures
// is drawn. 64-bit, so that sums of 32-bit positions and sizes cannot wrap.
struct TEffectArea {
    int64_t X = 0;
    int64_t Y = 0;
    int64_t Width = 0;
    int64_t Height = 0;
};

// 8 frames, 150 ms: the new screen blended over the old in eighths.
void EffectFade(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                const TEffectArea& area);
// 40 ms frames: 2-pixel strips, each group of ten filling right to left, the
// groups starting one frame apart from the left (or top).
void EffectWipeLeft(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                    const TEffectArea& area);
void EffectWipeTop(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                   const TEffectArea& area);
// 12 frames, 30 ms: a 12 x 12 grid of tiles in shuffled order, twelve a frame.
void EffectRandomPanels(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                        const TEffectArea& area);
// 10 frames, 40 ms: bands of 20 rows filling from their top in 2-row steps.
void EffectBlind(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                 const TEffectArea& area);
// 10 frames, 40 ms: a grid of 2-pixel lines every 20 pixels growing to fill.
void EffectSquare(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                  const TEffectArea& area);
// 20 frames, 100 ms: 2-row bands rotated sideways along a shrinking sine.
void EffectWave(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                const TEffectArea& area);
// 9 frames, 200 ms: the old screen in ever coarser blocks, then the new one
// in ever finer blocks.
void EffectMosaic(platform::Canvas& canvas, TLasGraphic& work, const TLasGraphic& target,
                  const TEffectArea& area);

constexpr int32_t kEffectCount = 8;

inline bool IsEffectNumber(int32_t number) {
    return number >= 0 && number < kEffectCount;
}

// Runs effect `number` (0 fade, 1 wipe from the left, 2 wipe from the top,
// 3 random panels, 4 blind, 5 square, 6 wave, 7 mosaic); false for any other
// number, which runs nothing.
bool RunEffectByNumber(int32_t number, platform::Canvas& canvas, TLasGraphic& work,
                       const TLasGraphic& target, const TEffectArea& area);

}  // namespace graphics
