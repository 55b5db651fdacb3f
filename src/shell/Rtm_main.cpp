#include "shell/Rtm_main.h"

#include <ctime>

#include "platform/backend.h"
#include "platform/fonts.h"
#include "platform/random.h"
#include "scenario/Cmdctrl3.h"

namespace shell {
namespace {

using scenario::TVeltoCommand;

constexpr std::string_view kVelto = "Velto";
constexpr std::string_view kDesignCaption = "Orvanta 3 Runtime";
constexpr std::string_view kUnknownCommand = "debug error : unknown command - MainLoop_Step()";
// clang-format off
// "Veltoライブラリが開けません\r\nCan't open - "veltort3.vlb""
constexpr std::string_view kLibraryMissing =
    "Velto\x83\x89\x83" "C\x83u\x83\x89\x83\x8A\x82\xAA\x8AJ\x82\xAF\x82\xDC\x82\xB9\x82\xF1\r\n"
    "Can't open - \"veltort3.vlb\"";
// clang-format on

}  // namespace

TfrmMain::TfrmMain()
    : screens_({access_.Document(), access_.Layers(), access_, access_.Process()}),
      window_(platform::Windows().Create(*this, {})) {
    // As designed; the first show sizes and places it for the game.
    window_->SetCaption(kDesignCaption);
    window_->SetClientSize(686, 451);
    window_->Move(449, 108);
    for (auto& toolWindow : toolWindows_) toolWindow = std::make_unique<graphics::TfrmWindow>();
}

TfrmMain::~TfrmMain() {
    DisableMainTimer();
}

void TfrmMain::FormCreate(const std::string& packagePath, const std::string& libraryPath,
                          std::optional<uint32_t> seed) {
    platform::SeedRandom(seed.value_or(static_cast<uint32_t>(std::time(nullptr))));
    bool opened = access_.Open(packagePath);
    // Made once Open has read the user's sound switches (left on when it
    // failed early), since they hold for the whole run.
    music_ =
        std::make_unique<sound::TMusicCtrl>(platform::Media(), access_.useMusic, access_.useSound);
    if (!opened) return;
    if (!access_.OpenLibrary(libraryPath)) {
        platform::ShowMessage(platform::MessageKind::Error, platform::MessageButtons::Ok,
                              kLibraryMissing);
        return;
    }
    access_.Call("_system", "_init");
}

void TfrmMain::FormShow() {
    platform::SetDefaultFontFace(access_.defaultFont);
    screens_.InitScreens();
    const graphics::TScreenSlot& game = *screens_.SlotOf(0);
    window_->SetClientSize(game.ImageWidth, game.ImageHeight);
    screens_.SetCanvas(window_.get(), 0);
    for (int32_t number = 1; number <= kToolWindowCount; ++number) {
        graphics::TfrmWindow& toolWindow = ToolWindow(number);
        toolWindow.ScreenControl = &screens_;
        toolWindow.ScreenIndex = number;
        toolWindow.Attach();
    }
    windowsReady_ = true;
    legacyMode_ = access_.Document().GetBool(kVelto, "LegacyMode", false);
    window_->Move(access_.windowLeft, access_.windowTop);
    window_->SetVisible(true);
}

void TfrmMain::FirstActivation() {
    window_->SetCaption(access_.Document().GetValue(kVelto, "Title", ""));
    std::string opening = access_.Document().GetValue(kVelto, "Opening", "Default");
    if (opening != "Default") {
        screens_.LoadLayerPicture(0, graphics::kBackgroundLayerName, opening, false, false);
    }
    screens_.Refresh(0);
    screens_.Present(0);  // the window's first paint
    EnableMainTimer();
}

void TfrmMain::FormDestroy() {
    access_.windowLeft = window_->Left();
    access_.windowTop = window_->Top();
    access_.CloseLibrary();
    access_.Close();
}

void TfrmMain::EnableMainTimer() {
    if (!mainTimer_) {
        mainTimer_ =
            platform::Events().StartTimer(kMainTimerInterval, [this] { MainTimerTimer(); });
    }
}

void TfrmMain::DisableMainTimer() {
    if (mainTimer_) platform::Events().StopTimer(*mainTimer_);
    mainTimer_.reset();
}

void TfrmMain::MainTimerTimer() {
    // A tick that comes while a handler waits in its own event processing
    // (a dialog, an effect, a sound) does nothing.
    if (stepRunning_) return;
    stepRunning_ = true;
    ++ticksRun_;
    scenario::TVeltoProcess& process = access_.Process();
    platform::EventManager& events = platform::Events();
    for (bool first = true;; first = false) {
        if (!first) {
            events.ProcessMessages();
            if (betweenSteps) betweenSteps();
        }
        if (events.Terminated()) {
            DisableMainTimer();
            return;  // the flag stays set: no step runs any more
        }
        if (!MainLoop_Step() || !process.IsExecutable()) break;
    }
    stepRunning_ = false;
}

bool TfrmMain::WaitingForInput() {
    int32_t mode = access_.Process().PlayerMode;
    return mode == scenario::kModeWaiting || mode == scenario::kModeMessageWait;
}

bool TfrmMain::MainLoop_Step() {
    scenario::TVeltoProcess& process = access_.Process();
    if (process.CheckMessageEffect() &&
        !screens_.DrawMessageStep(process.MessageEffect.WindowIndex,
                                  process.MessageEffect.LayerName)) {
        process.EndMessageEffect();
        screens_.Refresh(0);
        screens_.Present(0);
    }
    if (process.IsAnimationTick()) screens_.AnimateDynamicLayers();
    if (music_) music_->PollMusic();
    if (!process.BeginCommand()) return false;
    scenario::TCommandCtrl& commands = access_.Commands();
    if (access_.commandIndex >= commands.GetCount()) {
        EndOfPage();
        return false;
    }
    TVeltoCommand command;
    int32_t index = access_.commandIndex;
    commands.GetCommand(index, command);
    ++access_.commandIndex;  // before the handler, which may move the position
    if (onCommand) onCommand(index, command);
    bool result = Dispatch(command);
    process.EndCommand();
    return result;
}

void TfrmMain::EndOfPage() {
    DisableMainTimer();
    platform::Events().Terminate(0);
}

bool TfrmMain::Dispatch(const TVeltoCommand& command) {
    using namespace scenario;
    switch (command.Type) {
        case kCmdRem:
            return true;
        case kCmdIf:
            return DoIf(command);
        case kCmdElse:
            return DoElse(command);
        case kCmdEndif:
            return true;
        case kCmdValueCtrl:
            return DoValueCtrl(command);
        case kCmdStringCtrl:
            return DoStringCtrl(command);
        case kCmdWait:
            return DoWait(command);
        case kCmdMove:
            return DoMove(command);
        case kCmdCall:
            return DoCall(command);
        case kCmdReturn:
            return DoReturn();
        case kCmdStringInput:
            return DoStringInput(command);
        case kCmdSystem:
            return DoSystem(command);
        case kCmdSelect:
            return DoSelect(command);
        case kCmdMessageDraw:
            return DoMessageDraw(command);
        case kCmdGraphicDraw:
            return DoGraphicDraw(command);
        case kCmdLayerCtrl:
            return DoLayerCtrl(command);
        case kCmdDynamicLayer:
            return DoDynamicLayer(command);
        case kCmdDynamicLayerClear:
            return DoDynamicLayerClear(command);
        case kCmdWindowShow:
            return DoWindowShow(command);
        case kCmdMusic:
            return DoMusic(command);
        case kCmdSound:
            return DoSound(command);
        case kCmdMusicStop:
            music_->StopMusic();
            return true;
        // Recognised, but they do nothing and end the tick.
        case kCmdEffect:
        case kCmdGraphicCtrl:
            return false;
        default:
            platform::ShowMessage(platform::MessageKind::Plain, platform::MessageButtons::Ok,
                                  kUnknownCommand);
            return false;
    }
}

void TfrmMain::MouseDown(platform::MouseButton button, int32_t, int32_t) {
    if (button != platform::MouseButton::Left) return;
    scenario::TVeltoProcess& process = access_.Process();
    // The button the pointer lit up takes the click; where it is does not matter.
    if (process.GetClickState() != 0 && TakeButtonClick()) return;
    if (process.IsAnykeyCancel()) process.CancelWait();
}

bool TfrmMain::TakeButtonClick() {
    graphics::TDynamicLayer* buttons = screens_.DynamicLayersOf(0);
    std::optional<graphics::TDynamicLayer::Target> target =
        buttons ? buttons->TakeActiveTarget() : std::nullopt;
    if (!target) return false;
    switch (target->JumpMode) {
        case graphics::TJumpMode::Move:
            access_.Jump(target->BookName, target->PageName);
            break;
        case graphics::TJumpMode::Call:
            access_.Call(target->BookName, target->PageName);
            break;
        case graphics::TJumpMode::KeepMode:
            access_.InterruptCall(target->BookName, target->PageName);
            break;
    }
    screens_.UpdateAndPresent(0);
    access_.Process().CancelWait();
    return true;
}

void TfrmMain::MouseMove(int32_t x, int32_t y) {
    int32_t state = access_.Process().GetClickState();
    // Outside waits nothing lights up.
    if (state == 0) return;
    graphics::TDynamicLayer* buttons = screens_.DynamicLayersOf(0);
    if (buttons && buttons->HitTest(x, y, state == 2)) screens_.UpdateChangedDynamicLayers(0);
}

void TfrmMain::Moved(int32_t left, int32_t top) {
    if (!windowsReady_) return;
    for (auto& toolWindow : toolWindows_) {
        toolWindow->MainLeft = left;
        toolWindow->MainTop = top;
        toolWindow->Reposition();
    }
}

void TfrmMain::CloseRequested() {
    DisableMainTimer();
    platform::Events().Terminate(0);
}

}  // namespace shell
