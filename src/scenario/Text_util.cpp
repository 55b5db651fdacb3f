#include "scenario/Text_util.h"

#include <algorithm>
#include <charconv>

#include "platform/ascii.h"
#include "platform/cp932.h"

namespace scenario {

StringList SplitLines(std::string_view text) {
    size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    StringList lines;
    lines.reserve(std::count(text.begin(), text.end(), '\n') + 1);
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* lineEnd = p;
        while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r') ++lineEnd;
        lines.emplace_back(p, lineEnd);
        p = lineEnd;
        if (p < end && *p++ == '\r' && p < end && *p == '\n') ++p;
    }
    return lines;
}

std::string_view Trim(std::string_view text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
    return text.substr(begin, end - begin);
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<int32_t> ParseHex(std::string_view digits) {
    if (digits.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        value = value * 16 + d;
        // A value, not a bit pattern: "$FFFFFFFF" is too large, not -1.
        if (value > INT32_MAX) return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

std::optional<int32_t> ParseDecimal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) return std::nullopt;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > int64_t{1} << 31) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
    return static_cast<int32_t>(value);
}

}  // namespace

std::optional<int32_t> ParseInt(std::string_view text) {
    while (!text.empty() && text[0] == ' ') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    if (text[0] == '$' || text[0] == 'x' || text[0] == 'X') return ParseHex(text.substr(1));
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return ParseHex(text.substr(2));
    }
    return ParseDecimal(text);
}

std::string IntToText(int32_t value) {
    char buffer[16];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

size_t FindText(std::string_view text, std::string_view needle) {
    for (size_t i = 0; i + needle.size() <= text.size();) {
        if (text.compare(i, needle.size(), needle) == 0) return i;
        i += platform::Cp932CharLength(text.substr(i));
    }
    return std::string_view::npos;
}

bool SameTextIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size();) {
        size_t length = platform::Cp932CharLength(a.substr(i));
        // A two-byte character matches only itself: its trail byte may look
        // like an ASCII letter.
        if (length == 2 && a.compare(i, 2, b, i, 2) != 0) return false;
        if (length == 1 && platform::AsciiLower(a[i]) != platform::AsciiLower(b[i])) return false;
        i += length;
    }
    return true;
}

const std::string* FindKeyIgnoreCase(const StringList& lines, std::string_view key,
                                     size_t* position) {
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        if (SameTextIgnoreCase(line.substr(0, eq), key)) {
            if (position) *position = i;
            return &lines[i];
        }
    }
    return nullptr;
}

}  // namespace scenario
