#include "graphics/Scrnctrl.h"

#include <algorithm>
#include <tuple>

#include "graphics/Col_name.h"
#include "platform/ascii.h"
#include "platform/backend.h"
#include "platform/fonts.h"

namespace graphics {
namespace {

using platform::MessageButtons;
using platform::MessageKind;

struct SlotDefaults {
    std::string_view section;
    int32_t width;
    int32_t height;
    int32_t x;
    int32_t y;
};

constexpr SlotDefaults kSlotDefaults[TScreenControl::kScreenCount] = {
    {"Velto", 640, 480, 0, 0},           {"MessageWindow", 520, 110, 60, 350},
    {"SelectWindow", 400, 110, 80, 220}, {"UserWindow1", 100, 100, 0, 0},
    {"UserWindow2", 100, 100, 0, 0},     {"UserWindow3", 100, 100, 0, 0},
};

constexpr std::string_view kInputMarkerFile = "_inputchar.png";
constexpr int32_t kInputMarkerFrames = 2;
constexpr std::string_view kLayerNotFound = "debug - error:\n layername not found:";
// clang-format off
// "画像ファイル「" NAME "」の読み込みに失敗しました\nこのファイルが存在しないか、
// このファイルを読み込むためのSusieプラグインが必要です。"
constexpr std::string_view kLoadFailedBefore = "\x89\xE6\x91\x9C\x83t\x83@\x83" "C\x83\x8B\x81u";
constexpr std::string_view kLoadFailedAfter =
    "\x81v\x82\xCC\x93\xC7\x82\xDD\x8D\x9E\x82\xDD\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82"
    "\xBD\n\x82\xB1\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xAA\x91\xB6\x8D\xDD\x82\xB5\x82\xC8\x82\xA2"
    "\x82\xA9\x81" "A\x82\xB1\x82\xCC\x83t\x83@\x83" "C\x83\x8B\x82\xF0\x93\xC7\x82\xDD\x8D\x9E\x82"
    "\xDE\x82\xBD\x82\xDF\x82\xCCSusie\x83v\x83\x89\x83O\x83" "C\x83\x93\x82\xAA\x95K\x97v\x82\xC5"
    "\x82\xB7\x81" "B";
// clang-format on

bool ValidIndex(int32_t index) {
    return index >= 0 && index < TScreenControl::kScreenCount;
}

}  // namespace

void TScreenControl::InitScreens() {
    for (int32_t index = 0; index < kScreenCount; ++index) ReadSlot(index);
    SetupLayers();
}

void TScreenControl::ReadSlot(int32_t index) {
    const SlotDefaults& defaults = kSlotDefaults[index];
    scenario::TVeltoFile& document = sources_.Document;
    TScreenSlot& slot = slots_[index];
    std::tie(slot.ImageWidth, slot.ImageHeight) = ScreenSize(document, index);
    slot.Screen = std::make_unique<TLasScreen>(slot.ImageWidth, slot.ImageHeight);
    slot.RelativeX = document.GetInt(defaults.section, "RelativeToMainX", defaults.x);
    slot.RelativeY = document.GetInt(defaults.section, "RelativeToMainY", defaults.y);
    // A face that is not installed is replaced when text is drawn: by the
    // configured default face, else the best Japanese one.
    slot.FontName = document.GetValue(defaults.section, "FontName", platform::kDefaultFaceName);
    slot.Bold = document.GetBool(defaults.section, "FontTypeBold", false);
    slot.Italic = document.GetBool(defaults.section, "FontTypeItalic", false);
    slot.Shadow = document.GetBool(defaults.section, "FontTypeShadow", false);
    slot.ShadowColour =
        ColourFromText(document.GetValue(defaults.section, "FontTypeShadowColor", "clSilver"))
            .value_or(0);
}

std::pair<int32_t, int32_t> TScreenControl::ScreenSize(scenario::TVeltoFile& document,
                                                       int32_t index) {
    const SlotDefaults& defaults = kSlotDefaults[index];
    return {document.GetInt(defaults.section, "ImageWidth", defaults.width),
            document.GetInt(defaults.section, "ImageHeight", defaults.height)};
}

scenario::StringList TScreenControl::GameScreenLayerNames(const TLayerCtrl& layers) {
    scenario::StringList names{std::string(kTextLayerName)};
    const scenario::StringList& registry = layers.NameList();
    names.insert(names.end(), registry.begin(), registry.end());
    return names;
}

// Screen 0: the base layer, the registry's layers from "背景レイヤー" upwards,
// then "テキストレイヤー" on top. Tool windows: one background layer.
void TScreenControl::SetupLayers() {
    TLasScreen& main = *slots_[0].Screen;
    for (const std::string& name : GameScreenLayerNames(sources_.Layers)) {
        main.AddLayerAfter(main.BaseLayer()).SetName(name);
    }
    for (int32_t index = 1; index < kScreenCount; ++index) {
        TLasScreen& screen = *slots_[index].Screen;
        screen.AddLayerAfter(screen.BaseLayer()).SetName(std::string(kBackgroundLayerName));
    }
}

const TScreenSlot* TScreenControl::SlotOf(int32_t index) const {
    return ValidIndex(index) && slots_[index].Screen ? &slots_[index] : nullptr;
}

TLasScreen* TScreenControl::ScreenOf(int32_t index) const {
    const TScreenSlot* slot = SlotOf(index);
    return slot ? slot->Screen.get() : nullptr;
}

void TScreenControl::SetCanvas(platform::Canvas* canvas, int32_t index) {
    if (TLasScreen* screen = ScreenOf(index)) screen->SetCanvas(canvas);
}

void TScreenControl::Refresh(int32_t index) {
    if (TLasScreen* screen = ScreenOf(index)) {
        screen->Refresh();
        MarkDynamicLayersShown(index);
    }
}

void TScreenControl::UpdateAndPresent(int32_t index) {
    if (TLasScreen* screen = ScreenOf(index)) {
        screen->UpdateDisplay();
        MarkDynamicLayersShown(index);
        screen->Present();
    }
}

void TScreenControl::UpdateChangedDynamicLayers(int32_t index) {
    TLasScreen* screen = ScreenOf(index);
    if (!screen) return;
    if (dynamicLayersChanged_[index]) {
        UpdateAndPresent(index);
        return;
    }
    const TClip changed = screen->DynamicLayers().TakeChangedArea();
    if (changed.IsEmpty()) return;
    screen->UpdateDisplay(changed);
    screen->Present(changed);
}

void TScreenControl::MarkDynamicLayersShown(int32_t index) {
    slots_[index].Screen->DynamicLayers().TakeChangedArea();
    dynamicLayersChanged_[index] = false;
}

void TScreenControl::Present(int32_t index) {
    if (TLasScreen* screen = ScreenOf(index)) screen->Present();
}

void TScreenControl::RunEffect(int32_t index, int32_t number, int32_t x, int32_t y, int32_t width,
                               int32_t height) {
    if (TLasScreen* screen = ScreenOf(index)) {
        screen->RunEffect(number, x, y, width, height);
        dynamicLayersChanged_[index] = false;
    }
}

TLasLayer* TScreenControl::FindLayer(int32_t index, std::string_view name) {
    TLasScreen* screen = ScreenOf(index);
    if (!screen) return nullptr;
    // The unnamed base layer is never found.
    for (TLasLayer* layer = screen->BaseLayer().Next(); layer; layer = layer->Next()) {
        if (layer->Name() == name) return layer;
    }
    platform::ShowMessage(MessageKind::Plain, MessageButtons::Ok,
                          std::string(kLayerNotFound) + std::string(name));
    return nullptr;
}

bool TScreenControl::LoadLayerPicture(int32_t index, std::string_view name,
                                      std::string_view fileName, bool transparent,
                                      bool translucent) {
    TLasLayer* layer = FindLayer(index, name);
    return layer && LoadPicture(layer->Picture(), fileName, transparent, translucent);
}

bool TScreenControl::ResetLayerPicture(int32_t index, std::string_view name) {
    return SizeLayerPicture(index, name, 10, 10);
}

bool TScreenControl::SizeLayerPicture(int32_t index, std::string_view name, int32_t width,
                                      int32_t height) {
    TLasLayer* layer = FindLayer(index, name);
    if (layer) layer->Picture().SetSize(width, height);
    return layer != nullptr;
}

bool TScreenControl::SetLayerVisible(int32_t index, std::string_view name, bool visible) {
    TLasLayer* layer = FindLayer(index, name);
    if (layer) layer->SetVisible(visible);
    return layer != nullptr;
}

bool TScreenControl::IsLayerVisible(int32_t index, std::string_view name) {
    TLasLayer* layer = FindLayer(index, name);
    return layer && layer->Visible();
}

bool TScreenControl::SetLayerPosition(int32_t index, std::string_view name, int32_t left,
                                      int32_t top) {
    TLasLayer* layer = FindLayer(index, name);
    if (layer) layer->SetPosition(left, top);
    return layer != nullptr;
}

bool TScreenControl::SetLayerSize(int32_t index, std::string_view name, int32_t width,
                                  int32_t height) {
    TLasLayer* layer = FindLayer(index, name);
    if (layer) layer->SetExtent(width, height);
    return layer != nullptr;
}

bool TScreenControl::SetLayerView(int32_t index, std::string_view name, int32_t viewLeft,
                                  int32_t viewTop) {
    TLasLayer* layer = FindLayer(index, name);
    if (layer) layer->SetView(std::max(viewLeft, 0), std::max(viewTop, 0));
    return layer != nullptr;
}

bool TScreenControl::LoadPicture(TLasGraphic& picture, std::string_view fileName, bool transparent,
                                 bool translucent) {
    if (!sources_.Pictures.LoadImage(fileName, picture)) {
        std::string text = std::string(kLoadFailedBefore) + std::string(fileName);
        text += kLoadFailedAfter;
        if (platform::ShowMessage(MessageKind::Error, MessageButtons::AbortIgnore, text) ==
            platform::MessageAnswer::Abort) {
            platform::Events().Terminate(1);
        }
        return false;
    }
    // A PNG brings its own transparency.
    if (platform::HasExtension(fileName, ".png")) return true;
    if (transparent) picture.ApplyColourKey();
    if (translucent) picture.MakeTranslucent();
    return true;
}

int32_t TScreenControl::RenderMessage(int32_t index, std::string_view text,
                                      std::string_view layerName) {
    TLasLayer* layer = FindLayer(index, layerName);
    if (!layer) return 0;
    const TScreenSlot& slot = slots_[index];
    int32_t width = layer->Width() < 1 ? slot.ImageWidth : layer->Width();
    int32_t height = layer->Height() < 1 ? slot.ImageHeight : layer->Height();
    layer->SetExtent(width, height);
    TLasGraphic& picture = layer->Picture();
    if (picture.Width() != width || picture.Height() != height) picture.SetSize(width, height);
    picture.TextFont = {slot.FontName, kMessageFontSize, slot.Bold, slot.Italic, 0};
    picture.Text = text;
    return picture.RenderTextInPlace();
}

bool TScreenControl::DrawMessageStep(int32_t index, std::string_view layerName) {
    TLasLayer* layer = FindLayer(index, layerName);
    if (!layer) return false;
    scenario::TVeltoProcess& process = sources_.Process;
    // Hidden, so that recomposing does not show the text still to come.
    layer->SetVisible(false);
    for (;;) {
        TRevealStep step = layer->Picture().NextRevealStep();
        switch (step.Code) {
            case kEnd:
                layer->SetVisible(true);
                Refresh(index);
                Present(index);
                return false;
            case kCharacter:
                ShowCharacter(index, *layer, step);
                process.StartMessageWait();
                process.SetWaitTimer(step.CharWait);
                break;
            case kShowMarker:
                ShowInputMarker(index, layer->Left() + step.X + step.Width, layer->Top() + step.Y);
                break;
            case kRemoveMarker:
                RemoveDynamicLayers(index, kInputMarkerId);
                break;
            case kWaitClick:
                process.StartMessageWait();
                process.SetAnykeyClick();
                if (step.Value >= 1) process.SetWaitTimer(step.Value);
                return true;
            case kPause:
                if (step.Value >= 1) {
                    process.StartMessageWait();
                    process.SetWaitTimer(step.Value);
                }
                return true;
            case kPageFull:
                layer->Picture().RenderTextInPlace();
                Refresh(index);
                Present(index);
                return true;
            default:
                return false;
        }
    }
}

void TScreenControl::ShowCharacter(int32_t index, const TLasLayer& layer, const TRevealStep& step) {
    TLasScreen& screen = *slots_[index].Screen;
    int32_t x = layer.Left() + step.X;
    int32_t y = layer.Top() + step.Y;
    screen.DrawIntoComposition(layer.Picture(), x, y, step.Width, step.Height, step.X, step.Y);
    if (dynamicLayersChanged_[index]) {
        // An added or removed marker must show or go as the whole display would.
        UpdateAndPresent(index);
        return;
    }
    // Only the cell changed: the same pixels as a whole update, for a fraction of the work.
    TClip cell{x, y, step.Width, step.Height};
    screen.UpdateDisplay(cell);
    screen.Present(cell);
}

void TScreenControl::ShowInputMarker(int32_t index, int32_t x, int32_t y) {
    if (!ValidIndex(index) || !slots_[index].Screen) return;
    TLasGraphic picture;
    // Without the marker's picture (neither the game nor the library has
    // one) the message still waits for its click.
    if (!sources_.Pictures.LoadImage(kInputMarkerFile, picture)) return;
    auto marker = std::make_unique<TDynamicLayerList>();
    marker->AttrID = kInputMarkerId;
    marker->ImageFileName = kInputMarkerFile;
    marker->FrameCount = kInputMarkerFrames;
    marker->AnimationMode = 1;
    marker->Left = x;
    marker->Top = y;
    if (marker->SetupPicture(&picture)) AddDynamicLayer(index, std::move(marker));
}

void TScreenControl::MergeBackgroundIntoBase(int32_t index) {
    TLasScreen* screen = ScreenOf(index);
    if (!screen) return;
    TLasLayer* background = screen->LayerAt(1);
    if (!background) return;
    TLasGraphic merged;
    merged.Assign(screen->BaseLayer().Picture());
    background->Picture().Draw(merged, background->Left(), background->Top(), background->Width(),
                               background->Height(), background->ViewLeft(), background->ViewTop());
    screen->BaseLayer().Picture().Assign(merged);
}

void TScreenControl::AddDynamicLayer(int32_t index, std::unique_ptr<TDynamicLayerList> item) {
    if (TDynamicLayer* layers = DynamicLayersOf(index)) {
        layers->Add(std::move(item));
        dynamicLayersChanged_[index] = true;
    }
}

void TScreenControl::RemoveDynamicLayers(int32_t index, int32_t attrId) {
    if (TDynamicLayer* layers = DynamicLayersOf(index)) {
        layers->RemoveByAttrID(attrId);
        dynamicLayersChanged_[index] = true;
    }
}

TDynamicLayer* TScreenControl::DynamicLayersOf(int32_t index) {
    TLasScreen* screen = ScreenOf(index);
    return screen ? &screen->DynamicLayers() : nullptr;
}

void TScreenControl::AnimateDynamicLayers() {
    for (int32_t index = 0; index < kScreenCount; ++index) {
        TDynamicLayer* layers = DynamicLayersOf(index);
        if (layers && layers->AnimateStep()) UpdateChangedDynamicLayers(index);
    }
}

}  // namespace graphics
