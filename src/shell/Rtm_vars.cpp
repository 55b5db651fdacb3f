// Variable, input and system commands.
#include "platform/dialogs.h"
#include "shell/Rtm_main.h"

namespace shell {
namespace {

using scenario::TVeltoCommand;

// clang-format off
// "debug: error report:\n ０で除算しました"
constexpr std::string_view kDivisionByZero =
    "debug: error report:\n \x82O\x82\xC5\x8F\x9C\x8EZ\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
// "debug: error report:\n不明なシステムコマンド「" ... "」が発行されました"
constexpr std::string_view kUnknownSystemBefore =
    "debug: error report:\n\x95s\x96\xBE\x82\xC8\x83V\x83X\x83" "e\x83\x80\x83R\x83}\x83\x93\x83h"
    "\x81u";
constexpr std::string_view kUnknownSystemAfter = "\x81v\x82\xAA\x94\xAD\x8Ds\x82\xB3\x82\xEA\x82\xDC"
                                                 "\x82\xB5\x82\xBD";
// clang-format on

void ShowDebug(std::string_view text) {
    platform::ShowMessage(platform::MessageKind::Plain, platform::MessageButtons::Ok, text);
}

// Sums, differences and products wrap around in 32 bits; so does the one
// quotient that does not fit, INT32_MIN / -1, which would trap the processor.
int32_t Wrap(int64_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

int32_t Calculate(std::string_view calc, int32_t a, int32_t b) {
    if (calc == "Add") return Wrap(int64_t{a} + b);
    if (calc == "Sub") return Wrap(int64_t{a} - b);
    if (calc == "Mul") return Wrap(int64_t{a} * b);
    if (calc == "Div") return Wrap(int64_t{a} / b);  // truncates toward zero
    if (calc == "Mod") return Wrap(int64_t{a} % b);  // takes the sign of a
    return 0;
}

}  // namespace

bool TfrmMain::DoValueCtrl(const TVeltoCommand& command) {
    scenario::TVariableCtrl& variables = access_.Variables();
    int32_t a = variables.Get_Value(command.GetString("ValueCtrl.LeftValue", ""));
    int32_t b = variables.Get_Value(command.GetString("ValueCtrl.RightValue", ""));
    std::string calc = command.GetString("ValueCtrl.Calc", "");
    if ((calc == "Div" || calc == "Mod") && b == 0) {
        ShowDebug(kDivisionByZero);
        return false;
    }
    variables.Set_Value(command.GetString("ValueCtrl.ValueVar", ""), Calculate(calc, a, b));
    return true;
}

bool TfrmMain::DoStringCtrl(const TVeltoCommand& command) {
    scenario::TVariableCtrl& variables = access_.Variables();
    variables.Set_Text(command.GetString("StringCtrl.StringVar", ""),
                       variables.Get_Text(command.GetString("StringCtrl.Text", "")));
    return true;
}

bool TfrmMain::DoStringInput(const TVeltoCommand& command) {
    scenario::TVariableCtrl& variables = access_.Variables();
    std::string target = command.GetString("StringInput.StringVar", "");
    std::string text =
        platform::InputBox(command.GetString("StringInput.Caption", ""),
                           command.GetString("StringInput.Text", ""), variables.Get_Text(target));
    variables.Set_Text(target, text);
    return true;
}

bool TfrmMain::DoSystem(const TVeltoCommand& command) {
    std::string value = command.GetString("System.Command", "");
    if (value == "MessageSkip") {
        access_.Process().SetMessageSkip();
        return true;
    }
    ShowDebug(std::string(kUnknownSystemBefore) + value + std::string(kUnknownSystemAfter));
    return false;
}

}  // namespace shell
