#include "platform/dialogs.h"

#include "platform/backend.h"
#include "platform/encoding.h"

namespace platform {
MessageAnswer ShowMessage(MessageKind kind, MessageButtons buttons, std::string_view text) {
    EventManager::ModalScope modal(Events());
    return Dialogs().Show(kind, buttons, text);
}

std::string InputBox(std::string_view caption, std::string_view prompt,
                     std::string_view defaultText) {
    EventManager::ModalScope modal(Events());
    return Dialogs().AskText(caption, prompt, defaultText).value_or(std::string(defaultText));
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
    line += EscapedForLogLine(Cp932ToUtf8(record.text));
    return line;
}

}  // namespace platform
