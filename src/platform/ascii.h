// Letter case the way the games' names and keys ignore it: only the ASCII
// letters A-Z and a-z, whatever the locale; every other byte stays as it is.
#pragma once

#include <fnmatch.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace platform {

constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Byte by byte: the bytes of a two-byte CP932 character are folded too.
inline std::string AsciiLowerCase(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), AsciiLower);
    return lower;
}

inline std::string AsciiUpperCase(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), AsciiUpper);
    return upper;
}

inline bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

// Whether `name` ends in `extension` (".png", say) ignoring ASCII case.
inline bool HasExtension(std::string_view name, std::string_view extension) {
    return name.size() >= extension.size() &&
           EqualIgnoringAsciiCase(name.substr(name.size() - extension.size()), extension);
}

// Whether `name` matches the shell glob `pattern` ("*.spi") ignoring ASCII
// case; folded here, since FNM_CASEFOLD would follow the locale.
inline bool MatchesGlobIgnoringAsciiCase(std::string_view pattern, std::string_view name) {
    return ::fnmatch(AsciiLowerCase(pattern).c_str(), AsciiLowerCase(name).c_str(), 0) == 0;
}

}  // namespace platform
