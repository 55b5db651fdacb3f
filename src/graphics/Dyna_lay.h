// TDynamicLayer: a screen's dynamic layers, the items drawn over its
// composed layers. The newest item is drawn on top and hit first; the
// pointer over a clickable item makes it active, and a click takes the
// active item's jump target.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "graphics/Dyna_lst.h"
#include "graphics/Las_grf.h"

namespace graphics {

class TDynamicLayer {
public:
    struct Target {
        std::string BookName;
        std::string PageName;
        TJumpMode JumpMode = TJumpMode::Move;
    };

    // The item becomes the newest.
    void Add(std::unique_ptr<TDynamicLayerList> item);
    // Frees every item of that attribute ID.
    void RemoveByAttrID(int32_t id);

    // Every item with a picture, oldest first.
    void DrawAll(TLasGraphic& destination) const;
    // The same, changing only the pixels inside `clip`: there they come out
    // exactly as DrawAll makes them.
    void DrawAll(TLasGraphic& destination, const TClip& clip) const;

    // The pointer at (x, y): the newest item it hits becomes active if it is
    // enabled and `allowed` is true or the item is always allowed; no other
    // item stays active. True when any state changed.
    bool HitTest(int32_t x, int32_t y, bool allowed);
    // The newest active item's target; the item's group is removed if it
    // clears on activation, and every item is deactivated. None when no item
    // is active.
    std::optional<Target> TakeActiveTarget();
    // Every active item becomes enabled.
    void DeactivateAll();
    // The looping items move on one frame; true when any frame changed.
    bool AnimateStep();
    // The area of the items whose state or frame changed since the last
    // call, so that only it is redrawn; then starts again empty.
    TClip TakeChangedArea();

    // Oldest first.
    const std::vector<std::unique_ptr<TDynamicLayerList>>& Items() const { return items_; }

private:
    // True when it changed; its area joins the changed area then.
    bool Changed(const TDynamicLayerList& item, bool changed);

    std::vector<std::unique_ptr<TDynamicLayerList>> items_;  // oldest first
    TClip changedArea_;
};

}  // namespace graphics
