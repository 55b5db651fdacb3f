// TLasScreen: composes one screen from its stack of layers and the dynamic
// layers over them, shows it on a canvas, and runs the transition effects from
// the old screen to a newly composed one.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/Dyna_lay.h"
#include "graphics/Las_grf.h"
#include "graphics/Las_lay.h"
#include "platform/canvas.h"

namespace graphics {

class TLasScreen {
public:
    // The base layer is a visible width x height picture covering the screen.
    TLasScreen(int32_t width, int32_t height);
    TLasScreen(const TLasScreen&) = delete;
    TLasScreen& operator=(const TLasScreen&) = delete;

    // Where Present and the effects draw; nullptr (the start) shows nothing.
    void SetCanvas(platform::Canvas* canvas) { canvas_ = canvas; }
    platform::Canvas* Canvas() const { return canvas_; }
    // Buttons, text items and animations drawn over the composed layers.
    TDynamicLayer& DynamicLayers() { return dynamicLayers_; }
    const TDynamicLayer& DynamicLayers() const { return dynamicLayers_; }

    // The layers composed, and what the window shows: those plus the dynamic layers.
    const TLasGraphic& Composition() const { return composition_; }
    const TLasGraphic& Display() const { return display_; }

    TLasLayer& BaseLayer() { return *layers_.front(); }
    // A new hidden layer directly above `layer`, which must be one of this screen's.
    TLasLayer& AddLayerAfter(TLasLayer& layer);
    // The layer `index` steps above the base layer; an index below 1 gives the
    // base layer, one past the top nullptr.
    TLasLayer* LayerAt(int32_t index);
    int32_t LayerCount() const { return static_cast<int32_t>(layers_.size()); }
    TLasLayer& TopLayer();

    // Composes the visible layers bottom-up, then UpdateDisplay.
    void Refresh();
    // The display becomes the composition with the dynamic layers drawn over it.
    void UpdateDisplay();
    // The same for the pixels inside `clip` only: what changes there when
    // only the items in it did (a button lit, a marker blinking) costs no
    // copy of the whole screen.
    void UpdateDisplay(const TClip& clip);
    // Shows the display on the canvas, unless an effect is running.
    void Present();
    // The same for the part of the display inside `clip`.
    void Present(const TClip& clip);
    // Draws a rectangle of `picture` straight into the composition (message
    // characters revealed without recomposing).
    void DrawIntoComposition(const TLasGraphic& picture, int32_t destX, int32_t destY,
                             int32_t width, int32_t height, int32_t sourceX, int32_t sourceY);
    // Recomposes the screen and animates the change inside the rectangle with
    // effect `number` (0 fade ... 7 mosaic); a width or height of 0 or less
    // becomes the screen's. The rectangle may reach past the screen: only its
    // part on the screen changes. Other numbers only recompose; without a
    // canvas nothing changes.
    void RunEffect(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height);
    bool EffectRunning() const { return effectRunning_; }

private:
    platform::Canvas* canvas_ = nullptr;
    TLasGraphic display_;
    TLasGraphic composition_;
    // Owns the layers (the base layer first); the order of the stack is the
    // layers' own links.
    std::vector<std::unique_ptr<TLasLayer>> layers_;
    TDynamicLayer dynamicLayers_;
    bool effectRunning_ = false;
};

}  // namespace graphics
