// Entry names. Inside a package a name is CP932 with "\" between folders; to
// people and on disk it is UTF-8 with "/".
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vp3tool {

// The entry name for a file at `relativePath` (UTF-8, "/" between folders), or
// nothing, with the reason in `why`, when the player could not hold that name.
std::optional<std::string> EntryNameFromPath(std::string_view relativePath, std::string* why);

// CP932 text from a package as UTF-8 that stays on one line: control
// characters show as "?".
std::string PrintableText(std::string_view cp932);

// An entry name as people read it: printable UTF-8 with "/" between folders.
std::string DisplayName(std::string_view entryName);

// The path (UTF-8, "/" between folders) that an entry is extracted to below
// a directory, split as the player splits it, or nothing, with the reason in
// `why`, when the name would lead anywhere but below it or holds control
// characters.
std::optional<std::string> ExtractionPath(std::string_view entryName, std::string* why);

// Whether an --extract pattern (a shell glob, letter case ignored) matches the
// display name or its last part.
bool MatchesPattern(const std::string& pattern, const std::string& displayName);

}  // namespace vp3tool
