#include "graphics/Dyna_lay.h"

#include <algorithm>
#include <utility>

namespace graphics {

namespace {

// True when the item was active.
bool Deactivate(TDynamicLayerList& item) {
    if (item.State != TDynamicLayerList::kActive) return false;
    item.State = TDynamicLayerList::kEnabled;
    return true;
}

// A disabled item never becomes active; an active one stays so. True when
// the item became active.
bool Activate(TDynamicLayerList& item, bool allowed) {
    if (item.State != TDynamicLayerList::kEnabled) return false;
    if (!allowed && item.ActiveMode != TDynamicLayerList::kActiveAlways) return false;
    item.State = TDynamicLayerList::kActive;
    return true;
}

}  // namespace

void TDynamicLayer::Add(std::unique_ptr<TDynamicLayerList> item) {
    if (item) items_.push_back(std::move(item));
}

void TDynamicLayer::RemoveByAttrID(int32_t id) {
    std::erase_if(items_, [id](const auto& item) { return item->AttrID == id; });
}

void TDynamicLayer::DrawAll(TLasGraphic& destination) const {
    DrawAll(destination, {0, 0, destination.Width(), destination.Height()});
}

void TDynamicLayer::DrawAll(TLasGraphic& destination, const TClip& clip) const {
    for (const auto& item : items_) item->Draw(destination, clip);
}

bool TDynamicLayer::HitTest(int32_t x, int32_t y, bool allowed) {
    bool changed = false;
    bool hit = false;  // the newest item under the pointer covers the older ones
    for (auto item = items_.rbegin(); item != items_.rend(); ++item) {
        TDynamicLayerList& current = **item;
        if (!hit && current.Hit(x, y)) {
            hit = true;
            changed |= Changed(current, Activate(current, allowed));
        } else {
            changed |= Changed(current, Deactivate(current));
        }
    }
    return changed;
}

std::optional<TDynamicLayer::Target> TDynamicLayer::TakeActiveTarget() {
    auto active = std::find_if(items_.rbegin(), items_.rend(), [](const auto& item) {
        return item->State == TDynamicLayerList::kActive;
    });
    if (active == items_.rend()) return std::nullopt;
    const TDynamicLayerList& item = **active;
    Target target{item.BookName, item.PageName, item.JumpMode};
    if (item.ClearOnActivation) RemoveByAttrID(item.AttrID);
    DeactivateAll();
    return target;
}

void TDynamicLayer::DeactivateAll() {
    for (const auto& item : items_) Changed(*item, Deactivate(*item));
}

bool TDynamicLayer::AnimateStep() {
    bool changed = false;
    for (const auto& item : items_) {
        if (item->AnimationMode != TDynamicLayerList::kAnimationLoop) continue;
        int64_t next = int64_t{item->Frame} + 1;
        if (next >= item->FrameCount) next = 0;
        changed |= Changed(*item, next != item->Frame);
        item->Frame = int32_t(next);
    }
    return changed;
}

TClip TDynamicLayer::TakeChangedArea() {
    return std::exchange(changedArea_, TClip{});
}

bool TDynamicLayer::Changed(const TDynamicLayerList& item, bool changed) {
    if (changed) changedArea_ = Enclosing(changedArea_, item.Area());
    return changed;
}

}  // namespace graphics
