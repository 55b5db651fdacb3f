// TfrmMain: the main window. It opens the game at creation, owns the screens,
// the five tool windows and the music control, runs the scenario on the
// 200 ms MainTimer one command per step, dispatches each command to its
// handler, and takes the pointer moves and clicks that light up buttons and
// end waits.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <array>

#include "graphics/Ply_win.h"
#include "graphics/Scrnctrl.h"
#include "platform/events.h"
#include "platform/window.h"
#include "scenario/Cmd_obj.h"
#include "sound/Mus_ctrl.h"
#include "storage/Velto_access.h"

namespace shell {

class TfrmMain : public platform::WindowSink {
public:
    static constexpr uint32_t kMainTimerInterval = 200;

    // Creates the main window, hidden until FormShow.
    TfrmMain();
    ~TfrmMain() override;

    // Opens the package and the library and calls the system's "_init" page,
    // which returns to the game's start page. `seed` replaces the seed taken
    // from the clock (reproducible runs).
    void FormCreate(const std::string& packagePath, const std::string& libraryPath,
                    std::optional<uint32_t> seed = std::nullopt);
    // The first show: settings read, the window placed where the user left it.
    void FormShow();
    // The first activation: caption, opening picture, and MainTimer starts.
    void FirstActivation();
    // Stores the window position and the settings, closes the library and
    // the package.
    void FormDestroy();

    // MainTimer: runs steps until a command waits or the page is used up.
    void MainTimerTimer();
    // One step; true when a command ran and asked to go on.
    bool MainLoop_Step();

    // How many MainTimer ticks ran steps (a tick that came while one was
    // running does not count).
    uint64_t TicksRun() const { return ticksRun_; }
    // Waiting or MessageWait: only input or a timer moves the game on.
    bool WaitingForInput();

    // Called before each command is dispatched, with its index on the page.
    std::function<void(int32_t index, const scenario::TVeltoCommand& command)> onCommand;
    // Called between two steps of a tick, after pending events were processed.
    std::function<void()> betweenSteps;

    static constexpr int32_t kToolWindowCount = 5;

    storage::TVeltoAccessControl& Access() { return access_; }
    graphics::TScreenControl& Screens() { return screens_; }
    platform::Window& MainWindow() { return *window_; }
    // Tool window `number` (1 to 5), which shows screen `number`.
    graphics::TfrmWindow& ToolWindow(int32_t number) { return *toolWindows_.at(number - 1); }
    bool LegacyMode() const { return legacyMode_; }

    void MouseDown(platform::MouseButton button, int32_t x, int32_t y) override;
    void MouseMove(int32_t x, int32_t y) override;
    void Moved(int32_t left, int32_t top) override;
    void CloseRequested() override;

private:
    void EnableMainTimer();
    void DisableMainTimer();
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
    bool DoSelect(const scenario::TVeltoCommand& command);
    bool DoMessageDraw(const scenario::TVeltoCommand& command);
    bool DoGraphicDraw(const scenario::TVeltoCommand& command);
    bool DoLayerCtrl(const scenario::TVeltoCommand& command);
    bool DoDynamicLayer(const scenario::TVeltoCommand& command);
    bool DoDynamicLayerClear(const scenario::TVeltoCommand& command);
    bool DoWindowShow(const scenario::TVeltoCommand& command);
    bool DoMusic(const scenario::TVeltoCommand& command);
    bool DoSound(const scenario::TVeltoCommand& command);
    // Hides the text layer, recomposes screen 0 and shows it.
    void RefreshGameScreen();
    // A click on the button the pointer lit up: its jump, call or
    // interrupting call; false when no button is lit.
    bool TakeButtonClick();

    storage::TVeltoAccessControl access_;
    graphics::TScreenControl screens_;
    std::unique_ptr<platform::Window> window_;
    // Made by FormCreate once the user's settings are read. Freed after the
    // tool windows and before the screens; freeing it ends what plays
    // without stopping the music first.
    std::unique_ptr<sound::TMusicCtrl> music_;
    std::array<std::unique_ptr<graphics::TfrmWindow>, kToolWindowCount> toolWindows_;
    bool windowsReady_ = false;
    bool legacyMode_ = false;
    bool stepRunning_ = false;
    std::optional<platform::EventManager::TimerId> mainTimer_;
    uint64_t ticksRun_ = 0;
};

}  // namespace shell
