#include "platform/encoding.h"

#include <iconv.h>
#include <algorithm>
#include <cerrno>

#include "platform/cp932.h"

namespace platform {
namespace {

// Length of the character (or broken sequence) at the front: the first byte
// and the continuation bytes that follow it.
size_t Utf8CharLength(std::string_view s) {
    size_t n = 1;
    while (n < s.size() && n < 4 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) ++n;
    return n;
}

using CharLength = size_t (*)(std::string_view);

// One converter per direction and thread; iconv_open is far too slow per call.
// Without iconv's converter the player still runs: ASCII, which reads the same
// in both encodings, stays, and every other character becomes `replacement`.
class Converter {
public:
    Converter(const char* to, const char* from, CharLength charLength, std::string_view replacement)
        : cd_(iconv_open(to, from)), charLength_(charLength), replacement_(replacement) {}
    ~Converter() {
        if (Usable()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Usable() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as it can; returns the number of input bytes consumed.
    // Stops at the first byte sequence iconv rejects.
    size_t Convert(std::string_view in, std::string& out) {
        if (!Usable()) return KeepAscii(in, out);
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buffer[1024];
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, dst - buffer);
            if (rc == static_cast<size_t>(-1) && errno != E2BIG) break;
        }
        return in.size() - srcLeft;
    }

private:
    size_t KeepAscii(std::string_view in, std::string& out) const {
        for (size_t i = 0; i < in.size();) {
            if (static_cast<unsigned char>(in[i]) < 0x80) {
                out += in[i++];
            } else {
                out += replacement_;
                i += charLength_(in.substr(i));
            }
        }
        return in.size();
    }

    iconv_t cd_;
    CharLength charLength_;
    std::string_view replacement_;
};

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

Converter& FromCp932() {
    thread_local Converter converter("UTF-8", "CP932", Cp932CharLength, kReplacementCharacter);
    return converter;
}

Converter& ToCp932() {
    thread_local Converter converter("CP932", "UTF-8", Utf8CharLength, "?");
    return converter;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

bool CheckTextEncoding(std::string& problem) {
    std::string missing;
    if (!FromCp932().Usable()) missing = "CP932 to UTF-8";
    if (!ToCp932().Usable()) missing += missing.empty() ? "UTF-8 to CP932" : " or UTF-8 to CP932";
    if (missing.empty()) return true;
    problem = "iconv cannot convert " + missing +
              " (are the C library's gconv modules installed?): Japanese text will show as "
              "replacement characters";
    return false;
}

std::string Cp932ToUtf8(std::string_view cp932) {
    std::string out;
    out.reserve(cp932.size() * 3 / 2);
    while (!cp932.empty()) {
        cp932.remove_prefix(FromCp932().Convert(cp932, out));
        if (cp932.empty()) break;
        out += kReplacementCharacter;
        cp932.remove_prefix(Cp932BrokenCharLength(cp932));
    }
    return out;
}

std::string Utf8ToCp932(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        utf8.remove_prefix(ToCp932().Convert(utf8, out));
        if (utf8.empty()) break;
        out += '?';
        utf8.remove_prefix(Utf8CharLength(utf8));
    }
    return out;
}

bool IsValidCp932(std::string_view text) {
    Converter& converter = FromCp932();
    if (!converter.Usable()) return IsAscii(text);
    std::string out;
    return converter.Convert(text, out) == text.size();
}

std::optional<std::string> Utf8ToCp932Exactly(std::string_view utf8) {
    Converter& converter = ToCp932();
    // Without iconv only ASCII converts as itself.
    if (!converter.Usable() && !IsAscii(utf8)) return std::nullopt;
    std::string out;
    if (converter.Convert(utf8, out) != utf8.size()) return std::nullopt;
    return out;
}

std::string EscapedForLogLine(std::string_view text) {
    std::string line;
    line.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\\':
                line += "\\\\";
                break;
            case '\r':
                line += "\\r";
                break;
            case '\n':
                line += "\\n";
                break;
            default:
                line += c;
        }
    }
    return line;
}

}  // namespace platform
