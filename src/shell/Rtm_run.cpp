#include "shell/Rtm_run.h"

#include "platform/backend.h"

namespace shell {

int RunPlayer(TfrmMain& form, const PlayerStart& start, IdleInput* input) {
    platform::EventManager& events = platform::Events();
    form.FormCreate(start.packagePath, start.libraryPath, start.seed);
    form.FormShow();
    form.FirstActivation();
    while (!events.Terminated()) {
        events.Wait();
        uint64_t ticks = form.TicksRun();
        events.ProcessMessages();
        if (input && form.TicksRun() != ticks && !events.Terminated() && form.WaitingForInput()) {
            input->PlayerIdle(form);
        }
    }
    form.FormDestroy();
    return events.ExitStatus();
}

}  // namespace shell
