// TfrmMain: the main window. It opens the game at creation, runs the scenario
// on the 200 ms MainTimer one command per step, dispatches each command to its
// handler, and takes the mouse clicks that end waits.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/app.h"
#include "scenario/Cmd_obj.h"
#include "storage/Velto_access.h"

namespace shell {

class TfrmMain : public platform::WindowEvents {
public:
    static constexpr uint32_t kMainTimerInterval = 200;

    TfrmMain();

    // Opens the package and the library and calls the system's "_init" page,
    // which returns to the game's start page. `seed` replaces the seed taken
    // from the clock (reproducible runs).
    void FormCreate(const std::string& packagePath, const std::string& libraryPath,
                    std::optional<uint32_t> seed = std::nullopt);
    void FormShow();
    // The first activation: caption, opening picture, and MainTimer starts.
    void FirstActivation();
    // Stores the settings and closes the library and the package.
    void FormDestroy();

    // MainTimer: runs steps until a command waits or the page is used up.
    void MainTimerTimer();
    // One step; true when a command ran and asked to go on.
    bool MainLoop_Step();

    bool MainTimerEnabled() const { return timerEnabled_; }
    // When MainTimer fires next (meaningful only while it is enabled).
    uint32_t NextTimerTick() const { return nextTimerTick_; }
    // Runs MainTimerTimer when its tick has come. Ticks missed while a
    // handler waited are not made up: one tick, then the regular cadence.
    bool RunTimerIfDue();

    // Called before each command is dispatched, with its index on the page.
    std::function<void(int32_t index, const scenario::TVeltoCommand& command)> onCommand;
    // Called between two steps of a tick, after pending events were processed.
    std::function<void()> betweenSteps;

    storage::TVeltoAccessControl& Access() { return access_; }
    bool LegacyMode() const { return legacyMode_; }
    const std::string& Caption() const { return caption_; }

    void MouseDown(platform::MouseButton button, int x, int y) override;
    void MouseMove(int x, int y) override;
    void MouseUp(platform::MouseButton button, int x, int y) override;
    void CloseRequested() override;
    void Paint() override;

private:
    void EnableMainTimer();
    void DisableMainTimer() { timerEnabled_ = false; }
    void EndOfPage();
    bool Dispatch(const scenario::TVeltoCommand& command);
    // Moves the command index past the next command of the current page at
    // nesting `level`; false, leaving the index, when the page ends first.
    bool SkipToBlockEnd(int32_t level);

    bool DoIf(const scenario::TVeltoCommand& command);
    bool DoElse(const scenario::TVeltoCommand& command);
    bool DoMove(const scenario::TVeltoCommand& command);
    bool DoCall(const scenario::TVeltoCommand& command);
    bool DoReturn();
    bool DoWait(const scenario::TVeltoCommand& command);
    bool DoValueCtrl(const scenario::TVeltoCommand& command);
    bool DoStringCtrl(const scenario::TVeltoCommand& command);
    bool DoStringInput(const scenario::TVeltoCommand& command);
    bool DoSystem(const scenario::TVeltoCommand& command);

    storage::TVeltoAccessControl access_;
    bool legacyMode_ = false;
    std::string caption_;  // CP932
    std::string opening_;  // CP932
    bool stepRunning_ = false;
    bool timerEnabled_ = false;
    uint32_t nextTimerTick_ = 0;
};

}  // namespace shell
