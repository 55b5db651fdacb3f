// The SDL backend: real windows on the desktop, the real clock, dialogs the
// player draws itself. The game's windows scale by a whole factor, keep their
// picture's aspect ratio when the user resizes or goes fullscreen, and report
// pointer positions in game pixels.
#pragma once

#include <memory>
#include <string>

#include "platform/backend.h"

namespace platform {

struct SdlSettings {
    int scale = 1;  // the game's windows open this many times larger
};

constexpr int kMinScale = 1;
constexpr int kMaxScale = 8;

// Opens the display; nullptr with `problem` said when there is none to open.
std::unique_ptr<Backend> OpenSdlBackend(const SdlSettings& settings, std::string& problem);

}  // namespace platform
