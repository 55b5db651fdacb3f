// The platform in tests: a headless backend installed for the life of a test,
// and the message boxes it recorded, each as "kind buttons text" (text in CP932).
#pragma once

#include <string>
#include <vector>

#include "platform/headless.h"

namespace testkit {

struct ScopedPlatform {
    explicit ScopedPlatform(uint32_t startTick = 0) : backend(Clock::Virtual, startTick) {}
    explicit ScopedPlatform(platform::HeadlessBackend::ClockKind clock) : backend(clock) {}

    using Clock = platform::HeadlessBackend::ClockKind;
    platform::HeadlessBackend backend;
    platform::ScopedBackend installed{backend};
    platform::HeadlessDialogs& boxes = backend.Boxes();
};

inline std::vector<std::string> Shown(const platform::HeadlessDialogs& boxes) {
    std::vector<std::string> shown;
    for (const platform::MessageRecord& record : boxes.Records()) {
        shown.push_back(std::string(platform::KindName(record.kind)) + " " +
                        std::string(platform::ButtonsName(record.buttons)) + " " + record.text);
    }
    return shown;
}

}  // namespace testkit
