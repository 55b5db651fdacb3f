#include "graphics/Las_scrn.h"

#include <algorithm>

#include "graphics/Las_eff.h"
#include "platform/backend.h"

namespace graphics {
namespace {

// The part of the rectangle on a width x height screen, computed wide so that
// coordinates from a scenario cannot overflow the effects' arithmetic.
TEffectArea ClipToScreen(int32_t x, int32_t y, int32_t width, int32_t height, int32_t screenWidth,
                         int32_t screenHeight) {
    int64_t left = std::clamp<int64_t>(x, 0, screenWidth);
    int64_t top = std::clamp<int64_t>(y, 0, screenHeight);
    int64_t right = std::clamp<int64_t>(int64_t{x} + width, left, screenWidth);
    int64_t bottom = std::clamp<int64_t>(int64_t{y} + height, top, screenHeight);
    return {int32_t(left), int32_t(top), int32_t(right - left), int32_t(bottom - top)};
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
    if (painter_) painter_(display_);
}

void TLasScreen::Present() {
    if (canvas_ && !effectRunning_) display_.Present(*canvas_, 0, 0);
}

void TLasScreen::DrawIntoComposition(const TLasGraphic& picture, int32_t destX, int32_t destY,
                                     int32_t width, int32_t height, int32_t sourceX,
                                     int32_t sourceY) {
    picture.Draw(composition_, destX, destY, width, height, sourceX, sourceY);
}

void TLasScreen::RunEffect(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height) {
    // Without a canvas, and for an effect started from a message handler while
    // one runs, the new screen is composed all the same: what is shown later
    // must not depend on whether a window was there to animate.
    if (!canvas_ || effectRunning_ || !IsEffectNumber(number)) {
        Refresh();
        return;
    }
    if (width <= 0) width = display_.Width();
    if (height <= 0) height = display_.Height();
    TEffectArea area = ClipToScreen(x, y, width, height, display_.Width(), display_.Height());
    TLasGraphic old;
    old.Assign(display_);
    Refresh();
    platform::Events().ProcessMessages();
    effectRunning_ = true;
    RunEffectByNumber(number, *canvas_, old, display_, area);
    effectRunning_ = false;
}

}  // namespace graphics
