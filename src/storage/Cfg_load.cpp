#include "storage/Cfg_load.h"

#include "platform/dialogs.h"
#include "platform/encoding.h"
#include "platform/files.h"

namespace storage {
namespace {

// Our settings files hold a handful of short lines; anything this large is
// not one, and is left alone rather than overwritten with what we make of it.
constexpr size_t kMaxConfigBytes = 1 << 20;

// clang-format off
// "設定ファイルを保存できませんでした\r\n"
constexpr std::string_view kNotSaved =
    "\x90\xDD\x92\xE8\x83t\x83@\x83" "C\x83\x8B\x82\xF0\x95\xDB\x91\xB6\x82\xC5\x82\xAB\x82\xDC\x82"
    "\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\r\n";
// clang-format on

}  // namespace

TConfigLoader::TConfigLoader(std::string fileName) : fileName_(std::move(fileName)) {
    if (!platform::FileExists(fileName_)) return;
    if (auto text = platform::ReadFile(fileName_, kMaxConfigBytes)) {
        lines_ = scenario::SplitLines(*text);
    } else {
        saveOnFree = false;
    }
}

TConfigLoader::~TConfigLoader() {
    if (saveOnFree && modified_ && !Save()) {
        platform::ShowMessage(platform::MessageKind::Error, platform::MessageButtons::Ok,
                              std::string(kNotSaved) + platform::Utf8ToCp932(fileName_));
    }
}

std::string TConfigLoader::GetText(std::string_view key, std::string_view fallback) const {
    const std::string* line = scenario::FindKeyIgnoreCase(lines_, key);
    return line ? line->substr(line->find('=') + 1) : std::string(fallback);
}

int32_t TConfigLoader::GetInt(std::string_view key, int32_t fallback) const {
    return scenario::ParseIntDef(GetText(key, ""), fallback);
}

bool TConfigLoader::GetBool(std::string_view key, bool fallback) const {
    return GetInt(key, fallback ? 1 : 0) != 0;
}

void TConfigLoader::SetText(std::string_view key, std::string_view value) {
    std::string line(key);
    line.append("=").append(value);
    size_t position;
    if (scenario::FindKeyIgnoreCase(lines_, key, &position)) {
        if (lines_[position] == line) return;
        lines_[position] = std::move(line);
    } else {
        lines_.push_back(std::move(line));
    }
    modified_ = true;
}

void TConfigLoader::SetInt(std::string_view key, int32_t value) {
    SetText(key, scenario::IntToText(value));
}

void TConfigLoader::SetBool(std::string_view key, bool value) {
    SetText(key, value ? "1" : "0");
}

bool TConfigLoader::Save() {
    std::string text;
    for (const std::string& line : lines_) text.append(line).append("\r\n");
    if (!platform::WriteFileAtomically(fileName_, text)) return false;
    modified_ = false;
    return true;
}

}  // namespace storage
