// The message boxes a test recorded, each as "kind buttons text" (text in CP932).
#pragma once

#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace testkit {

inline std::vector<std::string> Shown(const platform::RecordingMessageBoxes& boxes) {
    std::vector<std::string> shown;
    for (const platform::MessageRecord& record : boxes.Records()) {
        shown.push_back(std::string(platform::KindName(record.kind)) + " " +
                        std::string(platform::ButtonsName(record.buttons)) + " " + record.text);
    }
    return shown;
}

}  // namespace testkit
