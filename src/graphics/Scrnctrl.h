// TScreenControl: the six screens of the player - the game screen in the main
// window and the message, select and three user windows shown as tool
// windows. It reads their sizes, places and fonts from the scenario, builds
// their layer stacks, addresses layers by name, loads pictures into them
// (reporting failures), renders messages and reveals them step by step, and
// forwards effects, presenting and dynamic layers to the screens.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "graphics/Dyna_lay.h"
#include "graphics/Las_scrn.h"
#include "graphics/Lay_ctrl.h"
#include "graphics/Pic_source.h"
#include "scenario/Velto_file.h"
#include "scenario/Velto_proc.h"

namespace graphics {

// What the screen control reads and changes besides its screens.
struct TScreenSources {
    scenario::TVeltoFile& Document;
    TLayerCtrl& Layers;
    TPictureSource& Pictures;
    scenario::TVeltoProcess& Process;
};

struct TScreenSlot {
    std::unique_ptr<TLasScreen> Screen;
    int32_t ImageWidth = 0;
    int32_t ImageHeight = 0;
    // Where the tool window stands relative to the main window's top left.
    int32_t RelativeX = 0;
    int32_t RelativeY = 0;
    std::string FontName;  // CP932
    bool Bold = false;
    bool Italic = false;
    // Read, but nothing draws a shadow.
    bool Shadow = false;
    uint32_t ShadowColour = 0xC0C0C0;
};

class TScreenControl {
public:
    static constexpr int32_t kScreenCount = 6;
    // The attribute ID of the blinking click-to-continue marker.
    static constexpr int32_t kInputMarkerId = 2002;
    static constexpr int32_t kMessageFontSize = 16;

    explicit TScreenControl(const TScreenSources& sources) : sources_(sources) {}
    TScreenControl(const TScreenControl&) = delete;
    TScreenControl& operator=(const TScreenControl&) = delete;

    // Reads the six slots' settings, creates their screens and layers.
    void InitScreens();
    // The size screen `index` (0 to 5) takes from the document.
    static std::pair<int32_t, int32_t> ScreenSize(scenario::TVeltoFile& document, int32_t index);
    // The named layers of the game screen, each added in turn directly above
    // the base layer: the text layer ends on top, "背景レイヤー" at the bottom.
    static scenario::StringList GameScreenLayerNames(const TLayerCtrl& layers);
    // The slot of screen `index`; nullptr outside 0 to 5 or before InitScreens.
    const TScreenSlot* SlotOf(int32_t index) const;
    TLasScreen* ScreenOf(int32_t index) const;

    // Every operation below does nothing (false) for an index outside 0 to 5.
    void SetCanvas(platform::Canvas* canvas, int32_t index);
    void Refresh(int32_t index);
    void UpdateAndPresent(int32_t index);
    // After pointer moves and animation: redraws only the dynamic layers'
    // changed area, or everything when items came or went since the last update.
    void UpdateChangedDynamicLayers(int32_t index);
    void Present(int32_t index);
    void RunEffect(int32_t index, int32_t number, int32_t x, int32_t y, int32_t width,
                   int32_t height);

    // The first layer above the base layer called `name`; reports a missing
    // one in a debug box.
    TLasLayer* FindLayer(int32_t index, std::string_view name);
    bool LoadLayerPicture(int32_t index, std::string_view name, std::string_view fileName,
                          bool transparent, bool translucent);
    bool ResetLayerPicture(int32_t index, std::string_view name);
    bool SizeLayerPicture(int32_t index, std::string_view name, int32_t width, int32_t height);
    bool SetLayerVisible(int32_t index, std::string_view name, bool visible);
    bool IsLayerVisible(int32_t index, std::string_view name);
    bool SetLayerPosition(int32_t index, std::string_view name, int32_t left, int32_t top);
    bool SetLayerSize(int32_t index, std::string_view name, int32_t width, int32_t height);
    // Negative values become 0.
    bool SetLayerView(int32_t index, std::string_view name, int32_t viewLeft, int32_t viewTop);

    // Lays the message out in the layer; the rendered height, 0 without the layer.
    int32_t RenderMessage(int32_t index, std::string_view text, std::string_view layerName);
    // Reveals the message up to its next pause; false once it is complete.
    bool DrawMessageStep(int32_t index, std::string_view layerName);
    // The blinking marker with its top-left corner at (x, y).
    void ShowInputMarker(int32_t index, int32_t x, int32_t y);
    // The background layer drawn into the base layer's picture for good.
    void MergeBackgroundIntoBase(int32_t index);

    // Loads a named picture; on failure asks Abort or Ignore (Abort quits).
    // Other than PNG pictures take the colour key and translucency requests.
    bool LoadPicture(TLasGraphic& picture, std::string_view fileName, bool transparent,
                     bool translucent);

    void AddDynamicLayer(int32_t index, std::unique_ptr<TDynamicLayerList> item);
    void RemoveDynamicLayers(int32_t index, int32_t attrId);
    TDynamicLayer* DynamicLayersOf(int32_t index);
    // Advances the animations of every screen; a screen whose frames changed
    // is updated and presented.
    void AnimateDynamicLayers();

private:
    // The display shows the dynamic layers as they are now.
    void MarkDynamicLayersShown(int32_t index);
    void ReadSlot(int32_t index);
    void SetupLayers();
    // The character cell revealed: composed and shown without recomposing.
    void ShowCharacter(int32_t index, const TLasLayer& layer, const TRevealStep& step);

    TScreenSources sources_;
    std::array<TScreenSlot, kScreenCount> slots_;
    // Dynamic layers were added or removed since the display was last made
    // whole: the next character updates the whole display, not its cell.
    std::array<bool, kScreenCount> dynamicLayersChanged_{};
};

}  // namespace graphics
