// Flow control: conditions, jumps, calls and returns, waits and choices.
#include <algorithm>
#include <climits>
#include <string>

#include "platform/dialogs.h"
#include "scenario/Cmdctrl3.h"
#include "shell/Rtm_main.h"

namespace shell {
namespace {

using scenario::TVeltoCommand;

// clang-format off
// "ブロック構文エラー\r\nＩＦコマンドに対応するＥＮＤＩＦがありません"
constexpr std::string_view kIfWithoutEndif =
    "\x83u\x83\x8D\x83" "b\x83N\x8D\\\x95\xB6\x83G\x83\x89\x81[\r\n\x82h\x82" "e\x83R\x83}\x83\x93\x83h"
    "\x82\xC9\x91\xCE\x89\x9E\x82\xB7\x82\xE9\x82" "d\x82m\x82" "c\x82h\x82" "e\x82\xAA\x82\xA0\x82\xE8"
    "\x82\xDC\x82\xB9\x82\xF1";
// "ブロック構文エラー\r\nＥＬＳＥコマンドに対応するＥＮＤＩＦがありません"
constexpr std::string_view kElseWithoutEndif =
    "\x83u\x83\x8D\x83" "b\x83N\x8D\\\x95\xB6\x83G\x83\x89\x81[\r\n\x82" "d\x82k\x82r\x82" "d\x83R\x83}"
    "\x83\x93\x83h\x82\xC9\x91\xCE\x89\x9E\x82\xB7\x82\xE9\x82" "d\x82m\x82" "c\x82h\x82" "e\x82\xAA\x82"
    "\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";
// "スタックアンダーフローです。\nサブルーチンコールが行われていないのに\n復帰しようとしました。"
constexpr std::string_view kStackUnderflow =
    "\x83X\x83^\x83" "b\x83N\x83" "A\x83\x93\x83_\x81[\x83t\x83\x8D\x81[\x82\xC5\x82\xB7\x81" "B\n\x83T"
    "\x83u\x83\x8B\x81[\x83`\x83\x93\x83R\x81[\x83\x8B\x82\xAA\x8Ds\x82\xED\x82\xEA\x82\xC4\x82\xA2\x82"
    "\xC8\x82\xA2\x82\xCC\x82\xC9\n\x95\x9C\x8B" "A\x82\xB5\x82\xE6\x82\xA4\x82\xC6\x82\xB5\x82\xDC\x82"
    "\xB5\x82\xBD\x81" "B";
// clang-format on

bool CompareNumbers(std::string_view compare, int32_t a, int32_t b) {
    if (compare == "Equal") return a == b;
    if (compare == "Unequal") return a != b;
    if (compare == "Up") return a < b;
    if (compare == "Down") return a > b;
    if (compare == "UpEqual") return a <= b;
    if (compare == "DownEqual") return a >= b;
    return false;
}

bool CompareTexts(std::string_view compare, const std::string& s, const std::string& t) {
    if (compare == "Equal") return s == t;
    if (compare == "Unequal") return s != t;
    if (compare == "in") return !t.empty() && scenario::FindText(s, t) != std::string_view::npos;
    return false;
}

void ShowBlockError(std::string_view text) {
    platform::ShowMessage(platform::MessageKind::Error, platform::MessageButtons::Ok, text);
}

}  // namespace

bool TfrmMain::SkipToBlockEnd(int32_t level) {
    scenario::TCommandCtrl& commands = access_.Commands();
    int32_t count = commands.GetCount();
    for (int32_t i = access_.commandIndex; i < count; ++i) {
        if (commands.GetNestLevel(i) == level) {
            access_.commandIndex = i + 1;
            return true;
        }
    }
    return false;
}

bool TfrmMain::DoIf(const TVeltoCommand& command) {
    scenario::TVariableCtrl& variables = access_.Variables();
    std::string compare = command.GetString("if.Compare", "Equal");
    std::string first = command.GetString("if.Variable1", "");
    std::string second = command.GetString("if.Variable2", "");
    bool holds =
        command.GetString("if.VariableType", "Value") == "Value"
            ? CompareNumbers(compare, variables.Get_Value(first), variables.Get_Value(second))
            : CompareTexts(compare, variables.Get_Text(first), variables.Get_Text(second));
    if (holds || SkipToBlockEnd(command.NestLevel)) return true;
    ShowBlockError(kIfWithoutEndif);
    return false;
}

bool TfrmMain::DoElse(const TVeltoCommand& command) {
    if (SkipToBlockEnd(command.NestLevel)) return true;
    ShowBlockError(kElseWithoutEndif);
    return false;
}

bool TfrmMain::DoMove(const TVeltoCommand& command) {
    access_.Jump(command.GetString("Move.BookName", ""), command.GetString("Move.PageName", ""));
    return true;
}

bool TfrmMain::DoCall(const TVeltoCommand& command) {
    access_.Call(command.GetString("Call.BookName", ""), command.GetString("Call.PageName", ""));
    return true;
}

bool TfrmMain::DoReturn() {
    if (!access_.Return()) {
        platform::ShowMessage(platform::MessageKind::Warning, platform::MessageButtons::Ok,
                              kStackUnderflow);
    }
    return true;
}

bool TfrmMain::DoWait(const TVeltoCommand& command) {
    scenario::TVeltoProcess& process = access_.Process();
    process.StartWait();
    if (command.GetBool("Wait.TimeBreak", false)) {
        process.SetWaitTimer(command.GetInt("Wait.Time", 0));
    }
    if (command.GetBool("Wait.InputBreak", false)) {
        if (command.GetString("Wait.Input", "Keypress") == "Clickable") {
            process.SetActiveClick();
        } else {
            process.SetAnykeyClick();
        }
    }
    return true;
}

// A choice: its items stacked as text buttons from the area's top, each a
// jump to a page of the current book; the wait ends with a click on one.
bool TfrmMain::DoSelect(const TVeltoCommand& command) {
    int32_t left = command.GetInt("Select.Area.Left", 0);
    int32_t top = command.GetInt("Select.Area.Top", 0);
    int32_t width = command.GetInt("Select.Area.Width", 0);
    if (width <= 0) width = screens_.SlotOf(0)->ImageWidth;
    screens_.RemoveDynamicLayers(0, 0);
    std::string book = access_.Commands().BookName();
    for (int32_t n = 1; n <= scenario::kMaxSelectItems; ++n) {
        std::string page = command.GetString("Select.Page" + std::to_string(n), "");
        if (page.empty()) break;
        std::string text =
            access_.Variables().Get_Text(command.GetString("Select.Text" + std::to_string(n), ""));
        // An item without text is left out but does not end the list.
        if (text.empty()) continue;
        auto item = std::make_unique<graphics::TDynamicLayerList>();
        item->Text = text;
        item->BookName = book;
        item->PageName = page;
        item->JumpMode = graphics::TJumpMode::Move;
        item->ClickableMode = graphics::TClickableMode::All;
        item->ActiveMode = 1;
        item->ClearOnActivation = true;
        item->Left = left;
        item->Top = top;
        item->Width = width;
        if (!item->SetupPicture(nullptr)) continue;
        top = static_cast<int32_t>(
            std::clamp<int64_t>(int64_t{top} + item->Height, INT32_MIN, INT32_MAX));
        screens_.AddDynamicLayer(0, std::move(item));
    }
    screens_.Refresh(0);
    screens_.Present(0);
    scenario::TVeltoProcess& process = access_.Process();
    process.StartWait();
    process.SetActiveClick();
    return true;
}

}  // namespace shell
