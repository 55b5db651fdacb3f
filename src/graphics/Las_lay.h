// TLasLayer: one picture layer of a screen. The screen keeps its layers in a
// doubly linked list from the base layer (index 0) upwards; each layer shows a
// rectangle of its picture, possibly scrolled, at a place on the screen.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "graphics/Las_grf.h"

namespace graphics {

class TLasScreen;

class TLasLayer {
public:
    TLasLayer() = default;
    TLasLayer(const TLasLayer&) = delete;
    TLasLayer& operator=(const TLasLayer&) = delete;

    // The layer beneath and the layer above; nullptr at the ends.
    TLasLayer* Previous() const { return previous_; }
    TLasLayer* Next() const { return next_; }

    TLasGraphic& Picture() { return picture_; }
    const TLasGraphic& Picture() const { return picture_; }

    // Where the visible rectangle lies on the screen, and its size; a width
    // or height of 0 or less is the picture's.
    int32_t Left() const { return left_; }
    int32_t Top() const { return top_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    void SetPosition(int32_t left, int32_t top);
    void SetExtent(int32_t width, int32_t height);

    // Where the visible rectangle starts inside the picture (scroll offset).
    int32_t ViewLeft() const { return viewLeft_; }
    int32_t ViewTop() const { return viewTop_; }
    void SetView(int32_t viewLeft, int32_t viewTop);

    bool Visible() const { return visible_; }
    void SetVisible(bool visible) { visible_ = visible; }
    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    // Draws the visible rectangle onto `screen`; a hidden layer draws nothing.
    void DrawOnto(TLasGraphic& screen) const;

private:
    friend class TLasScreen;  // links the list

    TLasLayer* previous_ = nullptr;
    TLasLayer* next_ = nullptr;
    TLasGraphic picture_;
    int32_t left_ = 0;
    int32_t top_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t viewLeft_ = 0;
    int32_t viewTop_ = 0;
    bool visible_ = false;
    std::string name_;
};

}  // namespace graphics
