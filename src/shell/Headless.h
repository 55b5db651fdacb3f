// Headless runs: the player without a window or sound device, on a virtual
// clock that jumps from one due event to the next, driven by an input script
// and writing a command trace, a message-box log, a media log and a variable
// dump. Game authors and our tests use it for automated playthroughs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/headless.h"

namespace shell {

// Exit statuses of a run.
enum HeadlessExit : int {
    kExitDone = 0,   // the scenario ran off a page, or the window was closed
    kExitError = 1,  // the player quit after an error
    kExitUsage = 2,  // a bad command line or input script
    kExitStuck = 3,  // waiting for a click with no input left, or out of time
};

struct HeadlessOptions {
    std::string packagePath;  // UTF-8 disk paths
    std::string libraryPath;
    std::string inputPath;  // "" for none; "-" is standard input/output
    std::string tracePath;
    std::string messagesPath;
    std::string mediaLogPath;
    std::string dumpVarsPath;
    std::string windowsPath;
    std::string screenshotPath;  // "" for none
    std::optional<uint32_t> seed;
    uint32_t maxTime = 3'600'000;
};

// Plays the package with `backend`, which must be installed and fresh (its
// clock at 0, never terminated); the result is one of HeadlessExit.
int RunHeadless(const HeadlessOptions& options, platform::HeadlessBackend& backend);

}  // namespace shell
