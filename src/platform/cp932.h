// Stepping through CP932 (Shift_JIS) text one character at a time. Layout,
// paths and the conversion's recovery each need their own idea of where a
// character ends; each has a name here. Bytes only: nothing here converts.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/ascii.h"

namespace platform {

// First byte of a two-byte character.
constexpr bool IsCp932LeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// A byte that can be the second byte of a two-byte character.
constexpr bool IsCp932TrailByte(unsigned char c) {
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

// The bytes of the character at the front of `text` (not empty) as text
// layout and fonts count them: a lead byte takes the byte after it, whatever
// that is; a lead byte at the very end is a character of its own.
constexpr size_t Cp932CharLength(std::string_view text) {
    return IsCp932LeadByte(static_cast<unsigned char>(text[0])) && text.size() > 1 ? 2 : 1;
}

// The same for paths: a lead byte takes the next byte only when that can be a
// trail byte. So a "\" trail (several kanji end in 0x5C) never separates
// folders, and a "/" after a lone lead byte always does, as it does in the
// UTF-8 form, which keeps that "/".
constexpr size_t Cp932PathCharLength(std::string_view text) {
    bool pair = text.size() > 1 && IsCp932LeadByte(static_cast<unsigned char>(text[0])) &&
                IsCp932TrailByte(static_cast<unsigned char>(text[1]));
    return pair ? 2 : 1;
}

// The bytes at the front of `text` (not empty) that the conversion to UTF-8
// replaces by one U+FFFD when it cannot convert them: a lead byte takes a
// non-ASCII byte after it; an ASCII byte stands for itself.
constexpr size_t Cp932BrokenCharLength(std::string_view text) {
    bool pair = text.size() > 1 && IsCp932LeadByte(static_cast<unsigned char>(text[0])) &&
                static_cast<unsigned char>(text[1]) >= 0x80;
    return pair ? 2 : 1;
}

// ASCII letters upper-cased, but never the trail byte of a two-byte character,
// which may look like one ("ア" is 83 41, "ャ" 83 61).
inline std::string Cp932UpperCase(std::string_view text) {
    std::string upper(text);
    for (size_t i = 0; i < upper.size();) {
        size_t length = Cp932CharLength(std::string_view(upper).substr(i));
        if (length == 1) upper[i] = AsciiUpper(upper[i]);
        i += length;
    }
    return upper;
}

}  // namespace platform
