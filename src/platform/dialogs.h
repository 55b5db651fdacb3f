// Modal message boxes. Every report the player makes to the user goes through
// ShowMessage; the backend decides how it is shown (a window, or a log for
// headless runs and tests).
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class MessageKind { Plain, Warning, Error };
enum class MessageButtons { Ok, YesNo, AbortIgnore };
enum class MessageAnswer { Ok, Yes, No, Abort, Ignore };

// Shows the modal dialogs: message boxes and the text-input box.
class MessageBoxBackend {
public:
    virtual ~MessageBoxBackend() = default;
    // `text` is CP932, as the player holds all its texts.
    virtual MessageAnswer Show(MessageKind kind, MessageButtons buttons, std::string_view text) = 0;
    // The entered text, or nothing when the user cancels. CP932 in and out.
    virtual std::optional<std::string> AskText(std::string_view caption, std::string_view prompt,
                                               std::string_view defaultText) = 0;
};

// Shows a modal message box and returns the button the user chose.
MessageAnswer ShowMessage(MessageKind kind, MessageButtons buttons, std::string_view text);

// Shows the modal text-input box; cancelling gives the default text back.
std::string InputBox(std::string_view caption, std::string_view prompt,
                     std::string_view defaultText);

// Installs the backend for every later box; nullptr restores the default,
// which writes each box to stderr and takes the default answer.
void SetMessageBoxBackend(MessageBoxBackend* backend);

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

// Answers from a queue, else by default, and remembers every box shown.
// A queued answer that the box has no button for is used up and replaced by
// the default answer. Text-input boxes take queued texts and are cancelled
// when none is queued.
class RecordingMessageBoxes : public MessageBoxBackend {
public:
    MessageAnswer Show(MessageKind kind, MessageButtons buttons, std::string_view text) override;
    std::optional<std::string> AskText(std::string_view caption, std::string_view prompt,
                                       std::string_view defaultText) override;

    void QueueAnswer(MessageAnswer answer) { queued_.push_back(answer); }
    // std::nullopt queues a cancel.
    void QueueInput(std::optional<std::string> text) { queuedInput_.push_back(std::move(text)); }
    const std::vector<MessageRecord>& Records() const { return records_; }
    void Clear() { records_.clear(); }

    // Called with each record as it is made (headless message logs).
    std::function<void(const MessageRecord&)> onShow;

private:
    std::deque<MessageAnswer> queued_;
    std::deque<std::optional<std::string>> queuedInput_;
    std::vector<MessageRecord> records_;
};

// Installs a recording backend for a scope (tests).
class ScopedMessageRecorder : public RecordingMessageBoxes {
public:
    ScopedMessageRecorder() { SetMessageBoxBackend(this); }
    ~ScopedMessageRecorder() override { SetMessageBoxBackend(nullptr); }
    ScopedMessageRecorder(const ScopedMessageRecorder&) = delete;
    ScopedMessageRecorder& operator=(const ScopedMessageRecorder&) = delete;
};

}  // namespace platform
