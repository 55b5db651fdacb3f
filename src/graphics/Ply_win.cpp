#include "graphics/Ply_win.h"

#include "platform/backend.h"

namespace graphics {

TfrmWindow::TfrmWindow()
    : window_(platform::Windows().Create(*this, {.toolWindow = true, .alwaysOnTop = true})) {
    window_->SetClientSize(557, 344);
}

void TfrmWindow::Attach() {
    const TScreenSlot* slot = ScreenControl ? ScreenControl->SlotOf(ScreenIndex) : nullptr;
    if (!slot) return;
    window_->SetClientSize(slot->ImageWidth, slot->ImageHeight);
    RelativeX = slot->RelativeX;
    RelativeY = slot->RelativeY;
    ScreenControl->SetCanvas(window_.get(), ScreenIndex);
    Reposition();
}

void TfrmWindow::Reposition() {
    positioning_ = true;
    window_->Move(MainLeft + RelativeX, MainTop + RelativeY);
    positioning_ = false;
}

void TfrmWindow::Moved(int32_t left, int32_t top) {
    if (positioning_) return;
    // Dragged by the user: the new offset stays.
    RelativeX = left - MainLeft;
    RelativeY = top - MainTop;
}

}  // namespace graphics
