#include "names.h"

#include <algorithm>

#include "platform/ascii.h"
#include "platform/encoding.h"
#include "platform/files.h"
#include "storage/Link_arc.h"

namespace vp3tool {
namespace {

constexpr size_t kMaxNameBytes = storage::kLinkNameSize - 1;  // the record keeps a NUL

bool IsControlCharacter(char c) {
    auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

std::string Replaced(std::string_view text, char from, char to) {
    std::string result(text);
    std::replace(result.begin(), result.end(), from, to);
    return result;
}

std::string ProblemText(platform::UnsafePath problem) {
    switch (problem) {
        case platform::UnsafePath::Empty:
            return "empty name";
        case platform::UnsafePath::Absolute:
            return "absolute path";
        case platform::UnsafePath::DriveLetter:
            return "drive letter";
        case platform::UnsafePath::ParentFolder:
            break;
    }
    return "\"..\" path component";
}

}  // namespace

std::optional<std::string> EntryNameFromPath(std::string_view relativePath, std::string* why) {
    if (std::any_of(relativePath.begin(), relativePath.end(), IsControlCharacter)) {
        *why = "control characters in the name";
        return std::nullopt;
    }
    if (relativePath.find('\\') != std::string_view::npos) {
        *why = "\"\\\" in a file name (it separates folders in a package)";
        return std::nullopt;
    }
    std::string name = platform::Utf8ToCp932(Replaced(relativePath, '/', '\\'));
    // The conversion turns what CP932 lacks into "?", and no CP932 trail byte is "?".
    if (std::count(name.begin(), name.end(), '?') !=
        std::count(relativePath.begin(), relativePath.end(), '?')) {
        *why = "characters that CP932 cannot represent";
        return std::nullopt;
    }
    if (name.size() > kMaxNameBytes) {
        *why = "name longer than " + std::to_string(kMaxNameBytes) + " bytes in CP932";
        return std::nullopt;
    }
    return name;
}

std::string PrintableText(std::string_view cp932) {
    std::string text = platform::Cp932ToUtf8(cp932);
    std::replace_if(text.begin(), text.end(), IsControlCharacter, '?');
    return text;
}

std::string DisplayName(std::string_view entryName) {
    return Replaced(PrintableText(entryName), '\\', '/');
}

std::optional<std::string> ExtractionPath(std::string_view entryName, std::string* why) {
    if (std::any_of(entryName.begin(), entryName.end(), IsControlCharacter)) {
        *why = "control characters in the name";
        return std::nullopt;
    }
    platform::UnsafePath problem;
    std::optional<std::string> path = platform::SafeRelativePath(entryName, &problem);
    if (!path) {
        *why = ProblemText(problem);
        return std::nullopt;
    }
    return path;
}

bool MatchesPattern(const std::string& pattern, const std::string& displayName) {
    std::string baseName = displayName.substr(displayName.rfind('/') + 1);
    return platform::MatchesGlobIgnoringAsciiCase(pattern, displayName) ||
           platform::MatchesGlobIgnoringAsciiCase(pattern, baseName);
}

}  // namespace vp3tool
