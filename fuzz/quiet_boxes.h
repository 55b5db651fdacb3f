// Fuzz targets run on the headless platform; its message boxes are emptied
// for every input, so reports neither print nor pile up.
#pragma once

#include "platform/headless.h"

inline void ClearMessageBoxes() {
    static platform::HeadlessBackend* backend = [] {
        auto* headless = new platform::HeadlessBackend;
        platform::InstallBackend(headless);
        return headless;
    }();
    backend->Boxes().Clear();
}
