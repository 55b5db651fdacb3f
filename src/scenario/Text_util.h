// Small text helpers shared by the scenario model. All text is CP932 bytes;
// nothing here decodes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace scenario {

using StringList = std::vector<std::string>;

// Lines end at LF, CR or CR LF; the last line needs no break; a NUL byte
// ends the text.
StringList SplitLines(std::string_view text);

// Removes characters 0x00 to 0x20 from both ends.
std::string_view Trim(std::string_view text);

// The one integer-text rule of the scenario format: optional leading spaces,
// then an optional sign and decimal digits, or a "$", "x", "X", "0x" or "0X"
// prefix and hexadecimal digits; nothing after; within 32-bit signed range.
std::optional<int32_t> ParseInt(std::string_view text);
inline int32_t ParseIntDef(std::string_view text, int32_t fallback) {
    return ParseInt(text).value_or(fallback);
}
std::string IntToText(int32_t value);

// Where `needle` first occurs in `text` starting at a character boundary, so
// that a match never begins on the trail byte of a two-byte character; npos
// when it does not occur.
size_t FindText(std::string_view text, std::string_view needle);

// Key comparison of command parameters and call frames: ASCII letters match
// regardless of case; every other byte, CP932 trail bytes included, exactly.
bool SameTextIgnoreCase(std::string_view a, std::string_view b);

// The value of the first `KEY=VALUE` line whose key (the text before its
// first "=") equals `key` ignoring case; nullptr when there is none.
const std::string* FindKeyIgnoreCase(const StringList& lines, std::string_view key,
                                     size_t* position = nullptr);

}  // namespace scenario
