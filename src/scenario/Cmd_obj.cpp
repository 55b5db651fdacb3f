#include "scenario/Cmd_obj.h"

namespace scenario {

std::string TVeltoCommand::GetString(std::string_view key, std::string_view fallback) const {
    std::optional<std::string_view> line = FindKeyIgnoreCase(Params, key);
    if (!line) return std::string(fallback);
    return std::string(line->substr(key.size() + 1));
}

int32_t TVeltoCommand::GetInt(std::string_view key, int32_t fallback) const {
    return ParseIntDef(GetString(key, ""), fallback);
}

bool TVeltoCommand::GetBool(std::string_view key, bool fallback) const {
    return GetInt(key, fallback ? 1 : 0) != 0;
}

}  // namespace scenario
