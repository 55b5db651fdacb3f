// Text encoding at the platform boundary. Scenario text stays CP932 bytes
// everywhere else; only captions, dialogs, fonts, file names and logs need UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Whether iconv converts CP932 to UTF-8 and back; when it does not, `problem`
// says what is missing in one line. The conversions below work either way,
// without iconv with every character outside ASCII as U+FFFD or "?".
bool CheckTextEncoding(std::string& problem);

// Invalid or unmapped byte sequences become U+FFFD; a lead byte whose trail
// byte is ASCII yields U+FFFD and the ASCII character is kept.
std::string Cp932ToUtf8(std::string_view cp932);

// Whether every byte sequence is a CP932 character. Without iconv only ASCII
// text is known to be.
bool IsValidCp932(std::string_view text);

// Characters CP932 cannot represent become "?"; invalid UTF-8 too.
std::string Utf8ToCp932(std::string_view utf8);

// The same, but nothing when a character has no CP932 form or the UTF-8 is
// broken: for text the user enters, which must not change on the way in.
std::optional<std::string> Utf8ToCp932Exactly(std::string_view utf8);

// Text for one line of a log: backslash, CR and LF written as \\, \r and \n.
std::string EscapedForLogLine(std::string_view text);

}  // namespace platform
