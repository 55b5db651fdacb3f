#include "platform/dialogs.h"

#include <cstdio>

#include "platform/encoding.h"

namespace platform {
namespace {

class StderrMessageBoxes : public MessageBoxBackend {
public:
    MessageAnswer Show(MessageKind kind, MessageButtons buttons, std::string_view text) override {
        MessageRecord record{kind, buttons, std::string(text), DefaultAnswer(buttons)};
        std::fprintf(stderr, "%s\n", FormatMessageRecord(record).c_str());
        return record.answer;
    }
    std::optional<std::string> AskText(std::string_view, std::string_view,
                                       std::string_view) override {
        return std::nullopt;
    }
};

StderrMessageBoxes stderrBoxes;
MessageBoxBackend* backend = &stderrBoxes;

}  // namespace

MessageAnswer ShowMessage(MessageKind kind, MessageButtons buttons, std::string_view text) {
    return backend->Show(kind, buttons, text);
}

std::string InputBox(std::string_view caption, std::string_view prompt,
                     std::string_view defaultText) {
    return backend->AskText(caption, prompt, defaultText).value_or(std::string(defaultText));
}

void SetMessageBoxBackend(MessageBoxBackend* newBackend) {
    backend = newBackend ? newBackend : &stderrBoxes;
}

MessageAnswer DefaultAnswer(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::YesNo:
            return MessageAnswer::Yes;
        case MessageButtons::AbortIgnore:
            return MessageAnswer::Ignore;
        case MessageButtons::Ok:
            break;
    }
    return MessageAnswer::Ok;
}

bool AnswerFits(MessageButtons buttons, MessageAnswer answer) {
    switch (buttons) {
        case MessageButtons::Ok:
            return answer == MessageAnswer::Ok;
        case MessageButtons::YesNo:
            return answer == MessageAnswer::Yes || answer == MessageAnswer::No;
        case MessageButtons::AbortIgnore:
            return answer == MessageAnswer::Abort || answer == MessageAnswer::Ignore;
    }
    return false;
}

std::string_view KindName(MessageKind kind) {
    switch (kind) {
        case MessageKind::Warning:
            return "warning";
        case MessageKind::Error:
            return "error";
        case MessageKind::Plain:
            break;
    }
    return "plain";
}

std::string_view ButtonsName(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::YesNo:
            return "yesno";
        case MessageButtons::AbortIgnore:
            return "abortignore";
        case MessageButtons::Ok:
            break;
    }
    return "ok";
}

namespace {
constexpr std::string_view answerNames[] = {"ok", "yes", "no", "abort", "ignore"};
}

std::string_view AnswerName(MessageAnswer answer) {
    return answerNames[static_cast<int>(answer)];
}

bool ParseAnswer(std::string_view name, MessageAnswer& answer) {
    for (size_t i = 0; i < std::size(answerNames); ++i) {
        if (answerNames[i] == name) {
            answer = static_cast<MessageAnswer>(i);
            return true;
        }
    }
    return false;
}

std::string FormatMessageRecord(const MessageRecord& record) {
    std::string line;
    line.append(KindName(record.kind)).append(" ");
    line.append(ButtonsName(record.buttons)).append(" ");
    line.append(AnswerName(record.answer)).append(" ");
    for (char c : Cp932ToUtf8(record.text)) {
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

MessageAnswer RecordingMessageBoxes::Show(MessageKind kind, MessageButtons buttons,
                                          std::string_view text) {
    MessageAnswer answer = DefaultAnswer(buttons);
    if (!queued_.empty()) {
        if (AnswerFits(buttons, queued_.front())) answer = queued_.front();
        queued_.pop_front();
    }
    records_.push_back({kind, buttons, std::string(text), answer});
    if (onShow) onShow(records_.back());
    return answer;
}

std::optional<std::string> RecordingMessageBoxes::AskText(std::string_view, std::string_view,
                                                          std::string_view) {
    if (queuedInput_.empty()) return std::nullopt;
    std::optional<std::string> text = std::move(queuedInput_.front());
    queuedInput_.pop_front();
    return text;
}

}  // namespace platform
