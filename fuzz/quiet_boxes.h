// Message boxes during fuzzing go to a recorder that is emptied for every
// input, so reports neither print nor pile up.
#pragma once

#include "platform/dialogs.h"

inline void ClearMessageBoxes() {
    static platform::RecordingMessageBoxes* boxes = [] {
        auto* recorder = new platform::RecordingMessageBoxes;
        platform::SetMessageBoxBackend(recorder);
        return recorder;
    }();
    boxes->Clear();
}
