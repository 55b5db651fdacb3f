// TDynamicLayerList: one dynamic layer of a screen, a small picture drawn
// over the composed layers: an image button, a clickable line of text, an
// invisible click area, or the blinking input marker. The picture is a strip
// of cells: the column is the animation frame, the row follows the state
// (disabled, enabled, active).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "graphics/Las_grf.h"
#include "platform/fonts.h"

namespace graphics {

enum class TClickableMode : uint8_t { None = 0, Opaque = 1, All = 2 };
enum class TJumpMode : uint8_t { Move = 0, Call = 1, KeepMode = 2 };

class TDynamicLayerList {
public:
    static constexpr uint8_t kDisabled = 0;
    static constexpr uint8_t kEnabled = 1;
    static constexpr uint8_t kActive = 2;
    // ActiveMode: becomes active whether or not the caller allows it.
    static constexpr uint8_t kActiveAlways = 2;
    // AnimationMode: the frames loop.
    static constexpr uint8_t kAnimationLoop = 1;

    // Builds the picture by the item's kind: a copy of `loaded` cut into
    // FrameCount x RowCount cells for an image item (ImageFileName set), the
    // text twice - plain, and over a translucent blue bar - for a text item,
    // none for a click area. The area takes the cell's size (a text item
    // keeps its width). False, with no picture, when an image item has no
    // loaded picture or a text item is narrower than 1 pixel or its strip
    // would exceed the picture limits.
    bool SetupPicture(const TLasGraphic* loaded);

    // Draws the current cell at the area, only where it falls inside `clip`.
    void Draw(TLasGraphic& destination, const TClip& clip) const;
    // Whether (x, y) clicks the item: inside the area and either mode All, or
    // mode Opaque over a covered pixel of the first cell.
    bool Hit(int32_t x, int32_t y) const;
    // The frame drawn (a frame past the count shows the first) and the row
    // the state chooses.
    int32_t ShownFrame() const;
    int32_t ShownRow() const;
    TClip Area() const { return {Left, Top, Width, Height}; }

    std::unique_ptr<TLasGraphic> Picture;
    int32_t AttrID = 0;  // removal group; the input marker is 2002
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    TClickableMode ClickableMode = TClickableMode::None;
    uint8_t ActiveMode = 0;
    std::string BookName;  // the jump target, CP932
    std::string PageName;
    TJumpMode JumpMode = TJumpMode::Move;
    // Taking the target removes every item of this AttrID.
    bool ClearOnActivation = false;
    std::string ImageFileName;
    int32_t FrameCount = 1;  // cells side by side
    int32_t RowCount = 1;    // cells on top of each other
    uint8_t AnimationMode = 0;
    int32_t RowDisabled = 0;
    int32_t RowEnabled = 0;
    int32_t RowActive = 0;
    std::string Text;  // CP932, with the message markup
    // The colour is a pixel word (0x00RRGGBB), like every TTextFont's.
    TTextFont Font{std::string(platform::kDefaultFaceName), 16};
    uint8_t State = kEnabled;
    int32_t Frame = 0;

private:
    bool SetupImage(const TLasGraphic* loaded);
    bool SetupTextStrip();
};

}  // namespace graphics
