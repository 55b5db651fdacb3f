// Modal message boxes and the text-input box. Every report the player makes
// to the user goes through ShowMessage; the backend decides how it is shown
// (a window of our own, or a log for headless runs and tests).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

enum class MessageKind { Plain, Warning, Error };
enum class MessageButtons { Ok, YesNo, AbortIgnore };
enum class MessageAnswer { Ok, Yes, No, Abort, Ignore };

// Shows the modal dialogs: message boxes and the text-input box. Texts are
// CP932, as the player holds them.
class DialogManager {
public:
    virtual ~DialogManager() = default;
    virtual MessageAnswer Show(MessageKind kind, MessageButtons buttons, std::string_view text) = 0;
    // The entered text, or nothing when the user cancels.
    virtual std::optional<std::string> AskText(std::string_view caption, std::string_view prompt,
                                               std::string_view defaultText) = 0;
};

// Shows a modal message box and returns the button the user chose. While it
// is open it holds the input of the game's windows.
MessageAnswer ShowMessage(MessageKind kind, MessageButtons buttons, std::string_view text);

// Shows the modal text-input box; cancelling gives the default text back.
std::string InputBox(std::string_view caption, std::string_view prompt,
                     std::string_view defaultText);

// OK, Yes or Ignore: what a box answers when nobody chooses.
MessageAnswer DefaultAnswer(MessageButtons buttons);
bool AnswerFits(MessageButtons buttons, MessageAnswer answer);

std::string_view KindName(MessageKind kind);           // plain | warning | error
std::string_view ButtonsName(MessageButtons buttons);  // ok | yesno | abortignore
std::string_view AnswerName(MessageAnswer answer);     // ok | yes | no | abort | ignore
bool ParseAnswer(std::string_view name, MessageAnswer& answer);

struct MessageRecord {
    MessageKind kind;
    MessageButtons buttons;
    std::string text;  // CP932
    MessageAnswer answer;
};

// One log line: KIND BUTTONS ANSWER TEXT, the text in UTF-8 with backslash,
// CR and LF escaped so that a record stays on one line.
std::string FormatMessageRecord(const MessageRecord& record);

}  // namespace platform
