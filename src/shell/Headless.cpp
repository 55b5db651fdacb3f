#include "shell/Headless.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <deque>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "graphics/Png_write.h"
#include "platform/encoding.h"
#include "platform/headless.h"
#include "shell/Rtm_log.h"
#include "shell/Rtm_run.h"

namespace shell {
namespace {

using platform::WindowEvent;

// A page running far past any real one in a single tick is a loop without
// waits; from then on each command costs a virtual millisecond, so that
// --max-time ends it.
constexpr int kFreeStepsPerTick = 1000;

struct ScriptAction {
    enum class Kind { Click, RightClick, Move, Sleep, Close, Shot, MoveWindow, DragWindow };
    Kind kind;
    bool hasPosition = false;
    int x = 0;
    int y = 0;
    uint32_t milliseconds = 0;
    int window = 0;    // 0 the main window, 1 to 5 the tool windows
    std::string path;  // of a shot
};

// The input script: actions that wait until the player is idle, and the
// answers to dialogs, which are queued as soon as the script reaches them.
class InputScript {
public:
    bool Load(const std::string& path, std::string& error);

    // Queues the dialog answers up to the next action.
    void QueueAnswers(platform::HeadlessDialogs& boxes);
    bool HasAction() const { return !lines_.empty(); }
    // The next action, with the answers after it queued.
    ScriptAction TakeAction(platform::HeadlessDialogs& boxes);

private:
    struct Line {
        bool isAction;
        ScriptAction action;
        bool isInput = false;
        std::optional<std::string> input;  // nullopt: cancel
        platform::MessageAnswer answer = platform::MessageAnswer::Ok;
    };
    static bool Parse(const std::string& text, Line& line);

    std::deque<Line> lines_;
};

bool ParseNumber(std::istringstream& words, int& value) {
    long long number;
    if (!(words >> number) || number < INT32_MIN || number > INT32_MAX) return false;
    value = static_cast<int>(number);
    return true;
}

bool ParseWindowNumber(std::istringstream& words, int& window) {
    return ParseNumber(words, window) && window >= 1 && window <= TfrmMain::kToolWindowCount;
}

// "shot [N] FILE": the file name is the rest of the line, kept as written.
bool ParseShot(std::istringstream& words, ScriptAction& action) {
    std::string rest;
    std::getline(words >> std::ws, rest);
    if (rest.size() > 2 && rest[0] >= '1' && rest[0] <= '5' && rest[1] == ' ') {
        action.window = rest[0] - '0';
        rest.erase(0, rest.find_first_not_of(' ', 1));
    }
    action.path = rest;
    return !rest.empty();
}

bool InputScript::Parse(const std::string& text, Line& line) {
    std::istringstream words(text);
    std::string verb;
    words >> verb;
    line = {};
    line.isAction = true;
    ScriptAction& action = line.action;
    if (verb == "click" || verb == "rclick") {
        action.kind = verb == "click" ? ScriptAction::Kind::Click : ScriptAction::Kind::RightClick;
        if (words >> std::ws, !words.eof()) {
            if (!ParseNumber(words, action.x) || !ParseNumber(words, action.y)) return false;
            action.hasPosition = true;
        }
    } else if (verb == "move") {
        action.kind = ScriptAction::Kind::Move;
        if (!ParseNumber(words, action.x) || !ParseNumber(words, action.y)) return false;
        action.hasPosition = true;
    } else if (verb == "sleep") {
        action.kind = ScriptAction::Kind::Sleep;
        int ms;
        if (!ParseNumber(words, ms) || ms < 0) return false;
        action.milliseconds = static_cast<uint32_t>(ms);
    } else if (verb == "close") {
        action.kind = ScriptAction::Kind::Close;
    } else if (verb == "shot") {
        action.kind = ScriptAction::Kind::Shot;
        return ParseShot(words, action);
    } else if (verb == "movewindow") {
        action.kind = ScriptAction::Kind::MoveWindow;
        if (!ParseNumber(words, action.x) || !ParseNumber(words, action.y)) return false;
    } else if (verb == "dragwindow") {
        action.kind = ScriptAction::Kind::DragWindow;
        if (!ParseWindowNumber(words, action.window) || !ParseNumber(words, action.x) ||
            !ParseNumber(words, action.y)) {
            return false;
        }
    } else if (verb == "answer") {
        line.isAction = false;
        std::string name;
        return (words >> name) && platform::ParseAnswer(name, line.answer) &&
               (words >> std::ws).eof();
    } else if (verb == "input") {
        line.isAction = false;
        line.isInput = true;
        // The text is the rest of the line after one space, kept as written.
        std::string rest = text.substr(std::min(text.find("input") + 5, text.size()));
        if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
        line.input = platform::Utf8ToCp932(rest);
        return true;
    } else if (verb == "cancel") {
        line.isAction = false;
        line.isInput = true;
        return (words >> std::ws).eof();
    } else {
        return false;
    }
    return (words >> std::ws).eof();
}

bool InputScript::Load(const std::string& path, std::string& error) {
    std::ifstream file;
    std::istream* in = &std::cin;
    if (path != "-") {
        file.open(path);
        if (!file) {
            error = path + ": cannot read the input script";
            return false;
        }
        in = &file;
    }
    std::string text;
    for (int number = 1; std::getline(*in, text); ++number) {
        if (!text.empty() && text.back() == '\r') text.pop_back();
        size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos || text[first] == '#') continue;
        Line line;
        if (!Parse(text.substr(first), line)) {
            error = path + ":" + std::to_string(number) + ": cannot read \"" + text + "\"";
            return false;
        }
        lines_.push_back(std::move(line));
    }
    return true;
}

void InputScript::QueueAnswers(platform::HeadlessDialogs& boxes) {
    while (!lines_.empty() && !lines_.front().isAction) {
        Line& line = lines_.front();
        if (line.isInput) {
            boxes.QueueInput(std::move(line.input));
        } else {
            boxes.QueueAnswer(line.answer);
        }
        lines_.pop_front();
    }
}

ScriptAction InputScript::TakeAction(platform::HeadlessDialogs& boxes) {
    ScriptAction action = lines_.front().action;
    lines_.pop_front();
    QueueAnswers(boxes);
    return action;
}

class HeadlessRun : public IdleInput {
public:
    HeadlessRun(const HeadlessOptions& options, platform::HeadlessBackend& backend)
        : options_(options), backend_(backend) {}
    int Run();

private:
    bool OpenOutputs();
    void TraceCommand(int32_t index, const scenario::TVeltoCommand& command);
    void BetweenSteps();
    void PlayerIdle(TfrmMain& form) override;
    bool WaitsForClickOnly();
    void Perform(const ScriptAction& action);
    void Post(WindowEvent::Kind kind, platform::MouseButton button = platform::MouseButton::Left);
    platform::Window& WindowOf(int window);
    // The screen a window shows as a PNG file.
    void WriteShot(int window, const std::string& path);
    void DumpVariables();
    void ListWindows();
    // Ticks compare across the wrap only within 24 days.
    uint32_t MaxTime() const { return std::min<uint32_t>(options_.maxTime, INT32_MAX); }

    const HeadlessOptions& options_;
    platform::HeadlessBackend& backend_;
    std::unique_ptr<TfrmMain> form_;
    InputScript script_;
    LogOutput trace_, messages_, media_, dump_, windows_;
    std::optional<uint32_t> sleepUntil_;
    uint64_t countedTick_ = 0;
    int stepsThisTick_ = 0;
    int pointerX_ = 0;
    int pointerY_ = 0;
};

bool HeadlessRun::OpenOutputs() {
    for (auto [output, path] :
         {std::pair{&trace_, &options_.tracePath}, std::pair{&messages_, &options_.messagesPath},
          std::pair{&media_, &options_.mediaLogPath}, std::pair{&dump_, &options_.dumpVarsPath},
          std::pair{&windows_, &options_.windowsPath}}) {
        if (!output->Open(*path)) {
            std::fprintf(stderr, "orvanta3: %s: cannot write\n", path->c_str());
            return false;
        }
    }
    return true;
}

void HeadlessRun::TraceCommand(int32_t index, const scenario::TVeltoCommand& command) {
    if (trace_.active()) trace_.Line(TraceLine(*form_, index, command));
}

void HeadlessRun::BetweenSteps() {
    if (form_->TicksRun() != countedTick_) {
        countedTick_ = form_->TicksRun();
        stepsThisTick_ = 0;
    }
    if (++stepsThisTick_ > kFreeStepsPerTick) backend_.Virtual().Advance(1);
}

void HeadlessRun::PlayerIdle(TfrmMain&) {
    if (sleepUntil_ && platform::TickReached(platform::TickCount(), *sleepUntil_)) {
        sleepUntil_.reset();
    }
    if (sleepUntil_) return;
    if (script_.HasAction()) {
        Perform(script_.TakeAction(backend_.Boxes()));
    } else if (WaitsForClickOnly()) {
        platform::Events().Terminate(kExitStuck);
    }
}

// Nothing but a click can end the current wait.
bool HeadlessRun::WaitsForClickOnly() {
    const scenario::TVeltoProcess& process = form_->Access().Process();
    if (process.Timer) return false;
    return process.PlayerMode == scenario::kModeWaiting ||
           (process.PlayerMode == scenario::kModeMessageWait && !process.MessageSkip);
}

void HeadlessRun::Post(WindowEvent::Kind kind, platform::MouseButton button) {
    backend_.Post(form_->MainWindow(), {kind, button, pointerX_, pointerY_});
}

void HeadlessRun::Perform(const ScriptAction& action) {
    using Kind = ScriptAction::Kind;
    if (action.hasPosition) {
        pointerX_ = action.x;
        pointerY_ = action.y;
        Post(WindowEvent::Kind::MouseMove);
    }
    switch (action.kind) {
        case Kind::Click:
        case Kind::RightClick: {
            auto button = action.kind == Kind::Click ? platform::MouseButton::Left
                                                     : platform::MouseButton::Right;
            Post(WindowEvent::Kind::MouseDown, button);
            Post(WindowEvent::Kind::MouseUp, button);
            break;
        }
        case Kind::Sleep:
            sleepUntil_ = platform::TickCount() + action.milliseconds;
            break;
        case Kind::Close:
            Post(WindowEvent::Kind::Close);
            break;
        case Kind::Shot:
            WriteShot(action.window, action.path);
            break;
        case Kind::MoveWindow:
        case Kind::DragWindow:
            // The user moved it: the window reports where it went.
            backend_.Post(
                WindowOf(action.window),
                {WindowEvent::Kind::Moved, platform::MouseButton::Left, action.x, action.y});
            break;
        case Kind::Move:
            break;
    }
}

platform::Window& HeadlessRun::WindowOf(int window) {
    return window == 0 ? form_->MainWindow() : form_->ToolWindow(window).Window();
}

void HeadlessRun::WriteShot(int window, const std::string& path) {
    const graphics::TLasScreen* screen = form_->Screens().ScreenOf(window);
    if (!screen || !graphics::SavePngFile(screen->Display(), path)) {
        std::fprintf(stderr, "orvanta3: %s: cannot write the screenshot\n", path.c_str());
    }
}

// INDEX VISIBLE LEFT TOP WIDTH HEIGHT CAPTION, the main window first.
void HeadlessRun::ListWindows() {
    if (!windows_.active()) return;
    for (int index = 0; index <= TfrmMain::kToolWindowCount; ++index) {
        const platform::Window& window = WindowOf(index);
        windows_.Line(std::to_string(index) + " " + (window.Visible() ? "1 " : "0 ") +
                      std::to_string(window.Left()) + " " + std::to_string(window.Top()) + " " +
                      std::to_string(window.ClientWidth()) + " " +
                      std::to_string(window.ClientHeight()) + " " +
                      platform::Cp932ToUtf8(window.Caption()));
    }
}

void HeadlessRun::DumpVariables() {
    if (!dump_.active()) return;
    scenario::TVeltoFile& document = form_->Access().Document();
    for (std::string_view block : {"ValueFlag", "StringFlag"}) {
        int32_t start, end;
        if (!document.FindHead(block, start, end)) continue;
        const scenario::LineList& lines = document.Lines();
        for (int32_t i = start + 1; i < end && i < static_cast<int32_t>(lines.size()); ++i) {
            dump_.Line(std::string(block) + ":" + platform::Cp932ToUtf8(lines[i]));
        }
    }
}

int HeadlessRun::Run() {
    std::string error;
    if (!options_.inputPath.empty() && !script_.Load(options_.inputPath, error)) {
        std::fprintf(stderr, "orvanta3: %s\n", error.c_str());
        return kExitUsage;
    }
    if (!OpenOutputs()) return kExitUsage;
    platform::HeadlessDialogs& boxes = backend_.Boxes();
    boxes.onShow = [this, &boxes](const platform::MessageRecord& record) {
        messages_.Line(platform::FormatMessageRecord(record));
        // The log is the record; a runaway loop of reports must not pile up.
        boxes.Clear();
    };
    platform::HeadlessMedia& sounds = backend_.Sounds();
    if (media_.active()) {
        sounds.onEvent = [this](const platform::MediaRecord& record) {
            media_.Line(platform::FormatMediaRecord(record));
        };
    }
    // Started before MainTimer, so that at the same tick the limit comes first.
    platform::Events().StartTimer(MaxTime() - platform::TickCount(),
                                  [] { platform::Events().Terminate(kExitStuck); });
    form_ = std::make_unique<TfrmMain>();
    form_->onCommand = [this](int32_t index, const scenario::TVeltoCommand& command) {
        TraceCommand(index, command);
    };
    form_->betweenSteps = [this] { BetweenSteps(); };
    script_.QueueAnswers(boxes);
    int status =
        RunPlayer(*form_, {options_.packagePath, options_.libraryPath, options_.seed}, this);
    // The files that ended by the last tick, though nothing asked since.
    sounds.Flush();
    sounds.onEvent = nullptr;
    DumpVariables();
    ListWindows();
    if (!options_.screenshotPath.empty()) WriteShot(0, options_.screenshotPath);
    form_.reset();
    return status;
}

}  // namespace

int RunHeadless(const HeadlessOptions& options, platform::HeadlessBackend& backend) {
    HeadlessRun run(options, backend);
    return run.Run();
}

}  // namespace shell
