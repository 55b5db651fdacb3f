// TVeltoCommand: one command of a page as the command cache hands it out: its
// type code, its if/else/endif nesting level and its KEY=VALUE parameter lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "scenario/Text_util.h"

namespace scenario {

class TVeltoCommand {
public:
    LineList Params;  // KEY=VALUE lines, verbatim, in page order
    int32_t NestLevel = 0;
    int32_t Type = 0;
    std::string Line;  // the command line as written (traces show it)

    // Keys are matched ignoring letter case; the first matching line wins.
    std::string GetString(std::string_view key, std::string_view fallback) const;
    // Text that is not an integer, the empty text included, gives `fallback`.
    int32_t GetInt(std::string_view key, int32_t fallback) const;
    bool GetBool(std::string_view key, bool fallback) const;
};

}  // namespace scenario
