#include "scenario/Var_ctrl.h"

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/random.h"

namespace scenario {
namespace {

constexpr std::string_view kValueBlock = "ValueFlag";
constexpr std::string_view kStringBlock = "StringFlag";

constexpr int32_t kVersion = 2925;
constexpr int32_t kCommandVersion = 16;

// CP932 names and messages, written as the byte literals they are.
// clang-format off
constexpr std::string_view kRandomName = "@\x97\x90\x90\x94";                // "@乱数"
constexpr std::string_view kElapsedName = "@\x8Co\x89\xDF\x8E\x9E\x8A\xD4";  // "@経過時間"
constexpr std::string_view kDateName = "@\x94N\x8C\x8E\x93\xFA";             // "@年月日"
constexpr std::string_view kYearName = "@\x94N";                             // "@年"
constexpr std::string_view kMonthName = "@\x8C\x8E";                         // "@月"
constexpr std::string_view kDayName = "@\x93\xFA";                           // "@日"
constexpr std::string_view kTimeName = "@\x8E\x9E\x95\xAA\x95" "b";          // "@時分秒"
constexpr std::string_view kHourName = "@\x8E\x9E";                          // "@時"
constexpr std::string_view kMinuteName = "@\x95\xAA";                        // "@分"
constexpr std::string_view kSecondName = "@\x95" "b";                        // "@秒"
constexpr std::string_view kWeekdayName = "@\x97j\x93\xFA";                  // "@曜日"

// Sunday to Saturday: "日", "月", "火", "水", "木", "金", "土"
constexpr std::string_view kWeekdays[] = {"\x93\xFA", "\x8C\x8E", "\x89\xCE", "\x90\x85",
                                          "\x96\xD8", "\x8B\xE0", "\x93y"};

// "メッセージ解析エラー："$"の数が合いません。"
constexpr std::string_view kUnpairedDollar =
    "\x83\x81\x83" "b\x83Z\x81[\x83W\x89\xF0\x90\xCD\x83G\x83\x89\x81[\x81" "F\"$\"\x82\xCC\x90"
    "\x94\x82\xAA\x8D\x87\x82\xA2\x82\xDC\x82\xB9\x82\xF1\x81" "B";
// "メッセージ解析エラー："%"の数が合いません。"
constexpr std::string_view kUnpairedPercent =
    "\x83\x81\x83" "b\x83Z\x81[\x83W\x89\xF0\x90\xCD\x83G\x83\x89\x81[\x81" "F\"%\"\x82\xCC\x90"
    "\x94\x82\xAA\x8D\x87\x82\xA2\x82\xDC\x82\xB9\x82\xF1\x81" "B";
// clang-format on

using platform::LocalDateTime;

struct DatePart {
    std::string_view name;
    int32_t (*value)(const LocalDateTime& now);
};

constexpr DatePart kDateParts[] = {
    {kDateName, [](const LocalDateTime& t) { return t.year * 10000 + t.month * 100 + t.day; }},
    {kYearName, [](const LocalDateTime& t) { return t.year; }},
    {kMonthName, [](const LocalDateTime& t) { return t.month; }},
    {kDayName, [](const LocalDateTime& t) { return t.day; }},
    {kTimeName, [](const LocalDateTime& t) { return t.hour * 10000 + t.minute * 100 + t.second; }},
    {kHourName, [](const LocalDateTime& t) { return t.hour; }},
    {kMinuteName, [](const LocalDateTime& t) { return t.minute; }},
    {kSecondName, [](const LocalDateTime& t) { return t.second; }},
};

constexpr std::string_view kSetValueSyntaxError =
    "debug - TVariableCtrl::Set_Value()\r\nsyntax error : VarName=";
constexpr std::string_view kSetTextSyntaxError =
    "debug - TVariableCtrl::Set_Text()\r\nsyntax error : VarName=";
constexpr std::string_view kSetTextTooLong =
    "debug - TVariableCtrl::Set_Text()\r\ntext too long : VarName=";
constexpr std::string_view kSubstituteTooLong =
    "debug - TVariableCtrl::Substitute()\r\ntext too long : VarName=";

bool IsSpecialName(std::string_view name) {
    return !name.empty() && name[0] == '@';
}

// A variable is the line NAME=VALUE of its block. A name with "=" or a line
// break would split that line, and one that reads as a block line would break
// the document's structure, so such names are never stored or read.
bool IsStorableName(std::string_view name) {
    return name.find_first_of("=\r\n") == std::string_view::npos &&
           TVeltoFile::ClassifyLine(name) == kOrdinaryLine;
}

// The text between the first and the last character; the marker at the end
// is not checked. A lone marker names the empty name.
std::string_view InnerName(std::string_view operand) {
    return operand.size() < 2 ? std::string_view() : operand.substr(1, operand.size() - 2);
}

bool StartsWithMarker(std::string_view operand, char marker) {
    return !operand.empty() && operand[0] == marker;
}

// Special names pass here and are then ignored silently by the setters.
bool IsAssignableTarget(std::string_view target, char marker) {
    if (!StartsWithMarker(target, marker)) return false;
    std::string_view name = InnerName(target);
    return IsSpecialName(name) || IsStorableName(name);
}

// Special names without a table row read a header setting: "@BLOCK:KEY".
// With no ":" the block is empty and the whole name is the key.
struct SettingName {
    std::string_view block;
    std::string_view key;
};

SettingName SplitSettingName(std::string_view name) {
    size_t colon = name.find(':');
    if (colon == std::string_view::npos) return {{}, name};
    return {name.substr(1, colon - 1), name.substr(colon + 1)};
}

void ShowDebug(std::string_view message, std::string_view target) {
    std::string text(message);
    text.append(target);
    platform::ShowMessage(platform::MessageKind::Plain, platform::MessageButtons::Ok, text);
}

enum class Replaced { kDone, kUnpaired, kTooLong };

// Replaces every pair of markers, paired from the left, by `valueOf` the name
// between them. Stops at an unpaired marker, or before a value that would
// take `out` past the size limit; `reference` is then that marked name.
template <typename ValueOf>
Replaced ReplaceMarkedNames(std::string_view text, char marker, ValueOf valueOf, std::string& out,
                            std::string_view& reference) {
    size_t open;
    while ((open = text.find(marker)) != std::string_view::npos) {
        out.append(text.substr(0, open));
        size_t close = text.find(marker, open + 1);
        if (close == std::string_view::npos) return Replaced::kUnpaired;
        std::string value = valueOf(text.substr(open + 1, close - open - 1));
        if (out.size() + value.size() > TVariableCtrl::kMaxStringBytes) {
            reference = text.substr(open, close - open + 1);
            return Replaced::kTooLong;
        }
        out += value;
        text.remove_prefix(close + 1);
    }
    out.append(text);
    return Replaced::kDone;
}

// What a pass that did not finish leaves as the substituted text.
std::string FailedPass(Replaced replaced, std::string_view unpairedMessage,
                       std::string_view reference) {
    if (replaced == Replaced::kUnpaired) return std::string(unpairedMessage);
    ShowDebug(kSubstituteTooLong, reference);
    return "";
}

}  // namespace

TVariableCtrl::TVariableCtrl() : startTick_(platform::TickCount()) {}

int32_t TVariableCtrl::SpecialValue(std::string_view name) {
    if (name == kRandomName) return randomMax_ == 0 ? 0 : platform::RandomInt() % randomMax_;
    if (name == kElapsedName) {
        // Unsigned, so the difference stays right when the tick count wraps.
        return static_cast<int32_t>((platform::TickCount() - startTick_) / 1000);
    }
    for (const DatePart& part : kDateParts) {
        if (name == part.name) return part.value(platform::Now());
    }
    if (name == "@Version") return kVersion;
    if (name == "@CommandVersion") return kCommandVersion;
    if (!file_) return 0;
    SettingName setting = SplitSettingName(name);
    return file_->GetInt(setting.block, setting.key, 0);
}

std::string TVariableCtrl::SpecialString(std::string_view name) {
    if (name == kWeekdayName) return std::string(kWeekdays[platform::Now().weekday]);
    if (name == "@ScriptFile") return scriptFile_;
    if (!file_) return "";
    SettingName setting = SplitSettingName(name);
    return file_->GetValue(setting.block, setting.key, "");
}

int32_t TVariableCtrl::GetValueVar(std::string_view name) {
    if (IsSpecialName(name)) return SpecialValue(name);
    if (!file_ || !IsStorableName(name)) return 0;
    return file_->GetInt(kValueBlock, name, 0);
}

std::string TVariableCtrl::GetStringVar(std::string_view name) {
    if (IsSpecialName(name)) return SpecialString(name);
    if (!file_ || !IsStorableName(name)) return "";
    return file_->GetValue(kStringBlock, name, "");
}

void TVariableCtrl::SetValueVar(std::string_view name, int32_t value) {
    if (IsSpecialName(name) || !file_ || !IsStorableName(name)) return;
    file_->SetInt(kValueBlock, name, value);
}

void TVariableCtrl::SetStringVar(std::string_view name, std::string_view text) {
    if (IsSpecialName(name) || !file_ || !IsStorableName(name)) return;
    file_->SetValue(kStringBlock, name, text);
}

bool TVariableCtrl::HasValueVar(std::string_view name) {
    return file_ && IsStorableName(name) && file_->HasKey(kValueBlock, name);
}

bool TVariableCtrl::HasStringVar(std::string_view name) {
    return file_ && IsStorableName(name) && file_->HasKey(kStringBlock, name);
}

std::optional<std::string_view> TVariableCtrl::OperandName(std::string_view operand) {
    if (!StartsWithMarker(operand, '%')) return std::nullopt;
    return InnerName(operand);
}

std::optional<std::string_view> TVariableCtrl::TargetName(std::string_view target, char marker) {
    if (!IsAssignableTarget(target, marker)) return std::nullopt;
    return InnerName(target);
}

int32_t TVariableCtrl::Get_Value(std::string_view operand) {
    if (auto name = OperandName(operand)) return GetValueVar(*name);
    return ParseIntDef(operand, 0);
}

void TVariableCtrl::Set_Value(std::string_view target, int32_t value) {
    auto name = TargetName(target, '%');
    if (!name) return ShowDebug(kSetValueSyntaxError, target);
    SetValueVar(*name, value);
}

void TVariableCtrl::Set_Text(std::string_view target, std::string_view text) {
    auto name = TargetName(target, '$');
    if (!name) return ShowDebug(kSetTextSyntaxError, target);
    if (text.size() > kMaxStringBytes ||
        (file_ && file_->TextBytes() + text.size() > maxDocumentBytes)) {
        return ShowDebug(kSetTextTooLong, target);
    }
    SetStringVar(*name, text);
}

std::string TVariableCtrl::Substitute(std::string_view text, bool& failed) {
    failed = false;
    std::string_view reference;
    // String values go in verbatim, but a "%" inside one takes part in the
    // numeric pass that follows.
    std::string withStrings;
    auto stringValue = [this](std::string_view name) { return GetStringVar(name); };
    Replaced replaced = ReplaceMarkedNames(text, '$', stringValue, withStrings, reference);
    if (replaced != Replaced::kDone) {
        failed = true;
        return FailedPass(replaced, kUnpairedDollar, reference);
    }
    std::string result;
    auto numberValue = [this](std::string_view name) { return IntToText(GetValueVar(name)); };
    replaced = ReplaceMarkedNames(withStrings, '%', numberValue, result, reference);
    if (replaced != Replaced::kDone) {
        failed = true;
        return FailedPass(replaced, kUnpairedPercent, reference);
    }
    return result;
}

std::string TVariableCtrl::Get_Text(std::string_view text) {
    bool failed;
    return Substitute(text, failed);
}

void TVariableCtrl::ForEachTextReference(std::string_view text,
                                         const std::function<void(char, std::string_view)>& read) {
    std::string_view reference;
    auto reader = [&read](char marker) {
        return [&read, marker](std::string_view name) {
            read(marker, name);
            return std::string();
        };
    };
    std::string withoutStrings;
    if (ReplaceMarkedNames(text, '$', reader('$'), withoutStrings, reference) == Replaced::kDone) {
        std::string rest;
        ReplaceMarkedNames(withoutStrings, '%', reader('%'), rest, reference);
    }
}

}  // namespace scenario
