// The player's top-level loop, the same for a window and for headless runs:
// creation, first show, first activation, then the event loop - wait for an
// event or the next timer, process events (MainTimer's tick runs there) -
// until the application terminates, then destruction.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "shell/Rtm_main.h"

namespace shell {

struct PlayerStart {
    std::string packagePath;  // UTF-8 disk paths
    std::string libraryPath;
    std::optional<uint32_t> seed;  // nothing: seeded from the clock
};

// Feeds input whenever the player waits for it (the headless input script).
class IdleInput {
public:
    virtual ~IdleInput() = default;
    // Called after each MainTimer tick that leaves the player waiting in
    // Waiting or MessageWait.
    virtual void PlayerIdle(TfrmMain& form) = 0;
};

// Plays the game in `form` and returns the application's exit status.
int RunPlayer(TfrmMain& form, const PlayerStart& start, IdleInput* input = nullptr);

}  // namespace shell
