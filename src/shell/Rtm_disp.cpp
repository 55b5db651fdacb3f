// Display commands: messages, pictures, layer changes, dynamic layers (buttons,
// labels, click areas) and the tool windows. All but "@WindowShow" work on
// screen 0, the game screen.
#include <array>

#include "platform/dialogs.h"
#include "shell/Rtm_main.h"

namespace shell {
namespace {

using graphics::kBackgroundLayerName;
using graphics::kTextLayerName;
using scenario::TVeltoCommand;

constexpr std::string_view kGraphicLoadFailed = "debug - Graphic load function is fail";
// clang-format off
// "debug - Dynamic layer create fail \r\nダイナミックレイヤーの生成に失敗しました"
constexpr std::string_view kDynamicLayerFailed =
    "debug - Dynamic layer create fail \r\n\x83_\x83" "C\x83i\x83~\x83" "b\x83N\x83\x8C\x83" "C\x83"
    "\x84\x81[\x82\xCC\x90\xB6\x90\xAC\x82\xC9\x8E\xB8\x94s\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// clang-format on

// The effects by their names in "GraphicDraw.EffectType", numbered in order.
constexpr std::array<std::string_view, 8> kEffectNames = {"Fadein", "LeftTo", "TopTo", "RndPanel",
                                                          "Blind",  "Square", "Wave",  "Mosaic"};

int32_t EffectNumber(std::string_view name) {
    for (size_t i = 0; i < kEffectNames.size(); ++i) {
        if (kEffectNames[i] == name) return static_cast<int32_t>(i);
    }
    return -1;
}

void ShowDebug(std::string_view text) {
    platform::ShowMessage(platform::MessageKind::Plain, platform::MessageButtons::Ok, text);
}

struct Area {
    int32_t left, top, width, height;
};

Area ReadArea(const TVeltoCommand& command, std::string_view prefix) {
    std::string key(prefix);
    return {command.GetInt(key + ".Area.Left", 0), command.GetInt(key + ".Area.Top", 0),
            command.GetInt(key + ".Area.Width", 0), command.GetInt(key + ".Area.Height", 0)};
}

}  // namespace

void TfrmMain::RefreshGameScreen() {
    screens_.SetLayerVisible(0, kTextLayerName, false);
    screens_.Refresh(0);
    screens_.Present(0);
}

bool TfrmMain::DoMessageDraw(const TVeltoCommand& command) {
    if (screens_.IsLayerVisible(0, kTextLayerName)) {
        screens_.SetLayerVisible(0, kTextLayerName, false);
    }
    bool failed = false;
    std::string text =
        access_.Variables().Substitute(command.GetString("MessageDraw.Text", ""), failed);
    std::string layer = command.GetString("MessageDraw.Layer", kTextLayerName);
    Area area = ReadArea(command, "MessageDraw");
    const graphics::TScreenSlot& game = *screens_.SlotOf(0);
    if (area.width <= 0) area.width = game.ImageWidth;
    if (area.height <= 0) area.height = game.ImageHeight;
    // The text layer always takes the area given; another layer keeps its own
    // unless told to move.
    if (command.GetBool("MessageDraw.Layer.Move", false) || layer == kTextLayerName) {
        screens_.SizeLayerPicture(0, layer, area.width, area.height);
        screens_.SetLayerPosition(0, layer, area.left, area.top);
        screens_.SetLayerSize(0, layer, area.width, area.height);
    }
    screens_.RenderMessage(0, text, layer);
    if (legacyMode_ && layer == kBackgroundLayerName) screens_.MergeBackgroundIntoBase(0);
    bool atOnce = command.GetString("MessageDraw.Effect", "Auto") == "None";
    screens_.SetLayerVisible(0, layer, atOnce);
    screens_.Refresh(0);
    screens_.Present(0);
    if (!atOnce) {
        screens_.SetLayerVisible(0, layer, true);
        access_.Process().StartMessageEffect(0, layer);
    }
    return true;
}

bool TfrmMain::DoGraphicDraw(const TVeltoCommand& command) {
    std::string layer = command.GetString("GraphicDraw.Layer", kBackgroundLayerName);
    if (!screens_.LoadLayerPicture(0, layer, command.GetString("GraphicDraw.FileName", ""),
                                   command.GetBool("GraphicDraw.Transparent", false),
                                   command.GetBool("GraphicDraw.Translucent", false))) {
        ShowDebug(kGraphicLoadFailed);
        return true;
    }
    Area area = ReadArea(command, "GraphicDraw");
    if (command.GetBool("GraphicDraw.Layer.Move", false)) {
        screens_.SetLayerPosition(0, layer, area.left, area.top);
        if (!command.GetBool("GraphicDraw.AutoSize", true)) {
            screens_.SetLayerSize(0, layer, area.width, area.height);
        }
    }
    if (!legacyMode_) {
        screens_.SetLayerVisible(0, layer, true);
    } else if (layer == kBackgroundLayerName) {
        screens_.MergeBackgroundIntoBase(0);
    }
    if (!command.GetBool("GraphicDraw.EffectAreaLimit", false)) area = {0, 0, 0, 0};
    int32_t effect = EffectNumber(command.GetString("GraphicDraw.EffectType", "None"));
    if (effect >= 0) {
        screens_.RunEffect(0, effect, area.left, area.top, area.width, area.height);
    }
    if (command.GetBool("GraphicDraw.ScrnRefresh", true)) RefreshGameScreen();
    return true;
}

bool TfrmMain::DoLayerCtrl(const TVeltoCommand& command) {
    scenario::TVariableCtrl& variables = access_.Variables();
    std::string name = command.GetString("Layer.Name", "");
    if (command.GetBool("Layer.Visible.Change", false)) {
        screens_.SetLayerVisible(0, name, command.GetBool("Layer.Visible.Show", true));
    }
    if (command.GetBool("Layer.Image.Change", false)) {
        std::string file = command.GetString("Layer.Image.FileName", "Clear");
        if (file == "Clear") {
            screens_.ResetLayerPicture(0, name);
        } else {
            screens_.LoadLayerPicture(0, name, file, false, false);
        }
    }
    // Unlike the Area values of other commands, these read numeric variables.
    auto value = [&](std::string_view key, std::string_view fallback) {
        return variables.Get_Value(command.GetString(key, fallback));
    };
    if (command.GetBool("Layer.Pos.Change", false)) {
        screens_.SetLayerPosition(0, name, value("Layer.Pos.Left", "0"),
                                  value("Layer.Pos.Top", "0"));
    }
    if (command.GetBool("Layer.Size.Change", false)) {
        screens_.SetLayerSize(0, name, value("Layer.Size.Width", ""),
                              value("Layer.Size.Height", ""));
    }
    if (command.GetBool("Layer.ViewPos.Change", false)) {
        screens_.SetLayerView(0, name, value("Layer.ViewPos.Left", "0"),
                              value("Layer.ViewPos.Top", "0"));
    }
    if (command.GetBool("Layer.ScrnRefresh", true)) RefreshGameScreen();
    return true;
}

namespace {

graphics::TClickableMode ClickableModeOf(std::string_view name) {
    if (name == "All") return graphics::TClickableMode::All;
    if (name == "Opaque") return graphics::TClickableMode::Opaque;
    return graphics::TClickableMode::None;
}

uint8_t ActiveModeOf(std::string_view name, bool clickable) {
    if (name == "Disable") return 0;
    if (name == "Waiting") return 1;
    if (name == "Always") return 2;
    return clickable ? 1 : 0;
}

void ReadClickTarget(const TVeltoCommand& command, graphics::TDynamicLayerList& item) {
    item.BookName = command.GetString("DynamicLayer.Clickable.BookName", "");
    item.PageName = command.GetString("DynamicLayer.Clickable.PageName", "");
    item.ClearOnActivation = command.GetBool("DynamicLayer.Clickable.Clear", false);
    if (command.GetString("DynamicLayer.Clickable.Move", "Move") != "Call") {
        item.JumpMode = graphics::TJumpMode::Move;
    } else if (command.GetBool("DynamicLayer.Clickable.KeepExecuteMode", false)) {
        item.JumpMode = graphics::TJumpMode::KeepMode;
    } else {
        item.JumpMode = graphics::TJumpMode::Call;
    }
}

}  // namespace

bool TfrmMain::DoDynamicLayer(const TVeltoCommand& command) {
    auto item = std::make_unique<graphics::TDynamicLayerList>();
    std::string type = command.GetString("DynamicLayer.Type", "Transparent");
    std::unique_ptr<graphics::TLasGraphic> loaded;
    if (type == "Image") {
        std::string file = command.GetString("DynamicLayer.Image.FileName", "");
        loaded = std::make_unique<graphics::TLasGraphic>();
        if (access_.LoadImage(file, *loaded)) {
            item->ImageFileName = file;
            item->FrameCount = command.GetInt("DynamicLayer.Image.AnimeCount", 1);
            item->RowCount = command.GetInt("DynamicLayer.Image.DivideCount", 1);
            item->RowDisabled = command.GetInt("DynamicLayer.ImageIndex.Disable", 0);
            item->RowEnabled = command.GetInt("DynamicLayer.ImageIndex.Enable", 0);
            item->RowActive = command.GetInt("DynamicLayer.ImageIndex.Active", 0);
        } else {
            loaded.reset();
            item->Text = "Image load error - \"" + file + "\"";
        }
    } else if (type == "Text") {
        item->Text = access_.Variables().Get_Text(command.GetString("DynamicLayer.Text.Text", ""));
    }
    item->ClickableMode = ClickableModeOf(command.GetString("DynamicLayer.Clickable.Mode", "None"));
    bool clickable = item->ClickableMode != graphics::TClickableMode::None;
    if (clickable) ReadClickTarget(command, *item);
    Area area = ReadArea(command, "DynamicLayer");
    const graphics::TScreenSlot& game = *screens_.SlotOf(0);
    item->Left = area.left;
    item->Top = area.top;
    item->Width = area.width <= 0 ? game.ImageWidth : area.width;
    item->Height = area.height <= 0 ? game.ImageHeight : area.height;
    item->AttrID = command.GetInt("DynamicLayer.AttrID", 0);
    item->ActiveMode =
        ActiveModeOf(command.GetString("DynamicLayer.ActiveMode", "Auto"), clickable);
    if (!item->SetupPicture(loaded.get())) {
        ShowDebug(kDynamicLayerFailed);
        return false;
    }
    screens_.AddDynamicLayer(0, std::move(item));
    screens_.UpdateAndPresent(0);
    screens_.Present(0);
    return true;
}

bool TfrmMain::DoDynamicLayerClear(const TVeltoCommand& command) {
    screens_.RemoveDynamicLayers(0, command.GetInt("DynamicLayerClear.AttrID", 0));
    screens_.UpdateAndPresent(0);
    screens_.Present(0);
    return true;
}

bool TfrmMain::DoWindowShow(const TVeltoCommand& command) {
    int32_t number = command.GetInt("WindowShow.Window", 0);
    if (number <= 0) return false;
    if (number > kToolWindowCount) return true;
    bool show = command.GetInt("WindowShow.Show", 0) != 0;
    // A window shown paints its screen.
    if (show) screens_.Present(number);
    ToolWindow(number).Window().SetVisible(show);
    return true;
}

}  // namespace shell
