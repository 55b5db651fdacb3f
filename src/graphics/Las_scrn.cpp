#include "graphics/Las_scrn.h"

#include <algorithm>

#include "graphics/Las_eff.h"
#include "platform/backend.h"

namespace graphics {

namespace {

// The part of `clip` on a width x height picture; false when there is none.
bool ClipToPicture(const TClip& clip, int32_t width, int32_t height, TClip& inside) {
    // 64 bits: clips come from item areas, which come from scenarios.
    int64_t left = std::max<int64_t>(clip.X, 0);
    int64_t top = std::max<int64_t>(clip.Y, 0);
    int64_t right = std::min<int64_t>(int64_t{clip.X} + clip.Width, width);
    int64_t bottom = std::min<int64_t>(int64_t{clip.Y} + clip.Height, height);
    if (right <= left || bottom <= top) return false;
    inside = {int32_t(left), int32_t(top), int32_t(right - left), int32_t(bottom - top)};
    return true;
}

}  // namespace

TLasScreen::TLasScreen(int32_t width, int32_t height) {
    auto base = std::make_unique<TLasLayer>();
    base->Picture().SetSize(width, height);
    base->SetExtent(width, height);
    base->SetVisible(true);
    layers_.push_back(std::move(base));
    display_.SetSize(width, height);
    composition_.SetSize(width, height);
}

TLasLayer& TLasScreen::AddLayerAfter(TLasLayer& layer) {
    auto added = std::make_unique<TLasLayer>();
    added->previous_ = &layer;
    added->next_ = layer.next_;
    if (layer.next_) layer.next_->previous_ = added.get();
    layer.next_ = added.get();
    layers_.push_back(std::move(added));
    return *layer.next_;
}

TLasLayer* TLasScreen::LayerAt(int32_t index) {
    TLasLayer* layer = &BaseLayer();
    for (int32_t i = 0; i < index && layer; ++i) layer = layer->next_;
    return layer;
}

TLasLayer& TLasScreen::TopLayer() {
    TLasLayer* layer = &BaseLayer();
    while (layer->next_) layer = layer->next_;
    return *layer;
}

void TLasScreen::Refresh() {
    // Nothing clears the composition: the base layer covers the screen.
    for (const TLasLayer* layer = &BaseLayer(); layer; layer = layer->next_) {
        layer->DrawOnto(composition_);
    }
    UpdateDisplay();
}

void TLasScreen::UpdateDisplay() {
    display_.Assign(composition_);
    dynamicLayers_.DrawAll(display_);
}

void TLasScreen::UpdateDisplay(const TClip& clip) {
    // Both pictures have the screen's size, and the composition is opaque:
    // drawing copies its pixels as they are.
    composition_.Draw(display_, clip.X, clip.Y, clip.Width, clip.Height, clip.X, clip.Y);
    dynamicLayers_.DrawAll(display_, clip);
}

void TLasScreen::Present() {
    if (canvas_ && !effectRunning_) display_.Present(*canvas_, 0, 0);
}

void TLasScreen::Present(const TClip& clip) {
    TClip inside;
    if (!canvas_ || effectRunning_ ||
        !ClipToPicture(clip, display_.Width(), display_.Height(), inside)) {
        return;
    }
    canvas_->Upload(display_.Row(inside.Y) + inside.X, inside.Width, inside.Height,
                    display_.Width(), inside.X, inside.Y);
}

void TLasScreen::DrawIntoComposition(const TLasGraphic& picture, int32_t destX, int32_t destY,
                                     int32_t width, int32_t height, int32_t sourceX,
                                     int32_t sourceY) {
    picture.Draw(composition_, destX, destY, width, height, sourceX, sourceY);
}

void TLasScreen::RunEffect(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height) {
    // Without a window there is nothing to animate on: the display stays as it
    // was until the screen is next refreshed.
    if (!canvas_) return;
    // An effect started from a message handler while one runs only composes
    // the new screen, as does a number that is no effect.
    if (effectRunning_ || !IsEffectNumber(number)) {
        Refresh();
        return;
    }
    if (width <= 0) width = display_.Width();
    if (height <= 0) height = display_.Height();
    // The rectangle keeps its position and size even where it reaches past the
    // screen: the effect counts its strips and bands from it.
    TEffectArea area{x, y, width, height};
    TLasGraphic old;
    old.Assign(display_);
    Refresh();
    platform::Events().ProcessMessages();
    effectRunning_ = true;
    RunEffectByNumber(number, *canvas_, old, display_, area);
    effectRunning_ = false;
}

}  // namespace graphics
