#include "graphics/Las_lay.h"

namespace graphics {

void TLasLayer::SetPosition(int32_t left, int32_t top) {
    left_ = left;
    top_ = top;
}

void TLasLayer::SetExtent(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
}

void TLasLayer::SetView(int32_t viewLeft, int32_t viewTop) {
    viewLeft_ = viewLeft;
    viewTop_ = viewTop;
}

void TLasLayer::DrawOnto(TLasGraphic& screen) const {
    if (!visible_) return;
    // A layer nobody sized shows its whole picture: a picture drawn into a
    // layer without an area of its own is shown as it is.
    int32_t width = width_ > 0 ? width_ : picture_.Width();
    int32_t height = height_ > 0 ? height_ : picture_.Height();
    picture_.Draw(screen, left_, top_, width, height, viewLeft_, viewTop_);
}

}  // namespace graphics
