#include "shell/Headless.h"

#include <cstdio>
#include <deque>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/encoding.h"
#include "platform/headless.h"
#include "shell/Rtm_main.h"

namespace shell {
namespace {

using platform::WindowEvent;

// A page running far past any real one in a single tick is a loop without
// waits; from then on each command costs a virtual millisecond, so that
// --max-time ends it.
constexpr int kFreeStepsPerTick = 1000;

struct ScriptAction {
    enum class Kind { Click, RightClick, Move, Sleep, Close };
    Kind kind;
    bool hasPosition = false;
    int x = 0;
    int y = 0;
    uint32_t milliseconds = 0;
};

// The input script: actions that wait until the player is idle, and the
// answers to dialogs, which are queued as soon as the script reaches them.
class InputScript {
public:
    bool Load(const std::string& path, std::string& error);

    // Queues the dialog answers up to the next action.
    void QueueAnswers(platform::RecordingMessageBoxes& boxes);
    bool HasAction() const { return !lines_.empty(); }
    // The next action, with the answers after it queued.
    ScriptAction TakeAction(platform::RecordingMessageBoxes& boxes);

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

void InputScript::QueueAnswers(platform::RecordingMessageBoxes& boxes) {
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

ScriptAction InputScript::TakeAction(platform::RecordingMessageBoxes& boxes) {
    ScriptAction action = lines_.front().action;
    lines_.pop_front();
    QueueAnswers(boxes);
    return action;
}

// An output file, or standard output for "-"; nothing for "".
class Output {
public:
    bool Open(const std::string& path) {
        if (path.empty()) return true;
        if (path == "-") {
            out_ = stdout;
            return true;
        }
        file_ = std::fopen(path.c_str(), "w");
        out_ = file_;
        return file_ != nullptr;
    }
    ~Output() {
        if (file_) std::fclose(file_);
    }
    bool active() const { return out_ != nullptr; }
    // Each line is flushed, so a log stays useful when a run is cut short.
    void Line(const std::string& text) {
        if (!out_) return;
        std::fputs(text.c_str(), out_);
        std::fputc('\n', out_);
        std::fflush(out_);
    }

private:
    FILE* file_ = nullptr;
    FILE* out_ = nullptr;
};

class HeadlessRun {
public:
    explicit HeadlessRun(const HeadlessOptions& options) : options_(options) {}
    int Run();

private:
    bool OpenOutputs();
    void TraceCommand(int32_t index, const scenario::TVeltoCommand& command);
    void BetweenSteps();
    bool IsIdle();
    bool WaitsForClickOnly();
    void Perform(const ScriptAction& action);
    void DumpVariables();

    const HeadlessOptions& options_;
    platform::HeadlessApplication app_;
    platform::RecordingMessageBoxes boxes_;
    std::unique_ptr<TfrmMain> form_;
    InputScript script_;
    Output trace_, messages_, dump_;
    std::optional<uint32_t> sleepUntil_;
    int stepsThisTick_ = 0;
    int pointerX_ = 0;
    int pointerY_ = 0;
};

bool HeadlessRun::OpenOutputs() {
    for (auto [output, path] :
         {std::pair{&trace_, &options_.tracePath}, std::pair{&messages_, &options_.messagesPath},
          std::pair{&dump_, &options_.dumpVarsPath}}) {
        if (!output->Open(*path)) {
            std::fprintf(stderr, "orvanta3: %s: cannot write\n", path->c_str());
            return false;
        }
    }
    return true;
}

void HeadlessRun::TraceCommand(int32_t index, const scenario::TVeltoCommand& command) {
    if (!trace_.active()) return;
    scenario::TCommandCtrl& commands = form_->Access().Commands();
    std::string line = std::to_string(platform::TickCount()) + " ";
    line += platform::Cp932ToUtf8(commands.BookName() + "/" + commands.PageName());
    line += "#" + std::to_string(index) + " ";
    line += platform::Cp932ToUtf8(scenario::Trim(command.Line));
    trace_.Line(line);
}

void HeadlessRun::BetweenSteps() {
    if (++stepsThisTick_ > kFreeStepsPerTick) platform::AdvanceVirtualClock(1);
    if (platform::TickReached(platform::TickCount(), options_.maxTime)) app_.Terminate(kExitStuck);
}

bool HeadlessRun::IsIdle() {
    int32_t mode = form_->Access().Process().PlayerMode;
    return mode == scenario::kModeWaiting || mode == scenario::kModeMessageWait;
}

// Nothing but a click can end the current wait.
bool HeadlessRun::WaitsForClickOnly() {
    const scenario::TVeltoProcess& process = form_->Access().Process();
    if (process.Timer) return false;
    return process.PlayerMode == scenario::kModeWaiting ||
           (process.PlayerMode == scenario::kModeMessageWait && !process.MessageSkip);
}

void HeadlessRun::Perform(const ScriptAction& action) {
    using Kind = ScriptAction::Kind;
    if (action.hasPosition) {
        pointerX_ = action.x;
        pointerY_ = action.y;
        app_.Post(
            {WindowEvent::Kind::MouseMove, platform::MouseButton::Left, pointerX_, pointerY_});
    }
    switch (action.kind) {
        case Kind::Click:
        case Kind::RightClick: {
            auto button = action.kind == Kind::Click ? platform::MouseButton::Left
                                                     : platform::MouseButton::Right;
            app_.Post({WindowEvent::Kind::MouseDown, button, pointerX_, pointerY_});
            app_.Post({WindowEvent::Kind::MouseUp, button, pointerX_, pointerY_});
            break;
        }
        case Kind::Sleep:
            sleepUntil_ = platform::TickCount() + action.milliseconds;
            break;
        case Kind::Close:
            app_.Post({WindowEvent::Kind::Close});
            break;
        case Kind::Move:
            break;
    }
}

void HeadlessRun::DumpVariables() {
    if (!dump_.active()) return;
    scenario::TVeltoFile& document = form_->Access().Document();
    for (std::string_view block : {"ValueFlag", "StringFlag"}) {
        int32_t start, end;
        if (!document.FindHead(block, start, end)) continue;
        const scenario::StringList& lines = document.Lines();
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
    platform::ScopedVirtualClock clock(0);
    platform::SetApp(&app_);
    platform::SetMessageBoxBackend(&boxes_);
    boxes_.onShow = [this](const platform::MessageRecord& record) {
        messages_.Line(platform::FormatMessageRecord(record));
        // The log is the record; a runaway loop of reports must not pile up.
        boxes_.Clear();
    };
    form_ = std::make_unique<TfrmMain>();
    app_.SetEventHandler(form_.get());
    form_->onCommand = [this](int32_t index, const scenario::TVeltoCommand& command) {
        TraceCommand(index, command);
    };
    form_->betweenSteps = [this] { BetweenSteps(); };

    script_.QueueAnswers(boxes_);
    form_->FormCreate(options_.packagePath, options_.libraryPath, options_.seed);
    form_->FormShow();
    form_->FirstActivation();
    while (!app_.Terminated()) {
        uint32_t now = platform::TickCount();
        if (platform::TickReached(now, options_.maxTime)) {
            app_.Terminate(kExitStuck);
            break;
        }
        uint32_t deadline = form_->NextTimerTick();
        if (platform::TickReached(deadline, options_.maxTime)) deadline = options_.maxTime;
        app_.WaitForEvents(deadline);
        app_.ProcessMessages();
        stepsThisTick_ = 0;
        if (!form_->RunTimerIfDue() || app_.Terminated() || !IsIdle()) continue;
        if (sleepUntil_ && platform::TickReached(platform::TickCount(), *sleepUntil_)) {
            sleepUntil_.reset();
        }
        if (sleepUntil_) continue;
        if (script_.HasAction()) {
            Perform(script_.TakeAction(boxes_));
        } else if (WaitsForClickOnly()) {
            app_.Terminate(kExitStuck);
        }
    }
    form_->FormDestroy();
    DumpVariables();
    platform::SetMessageBoxBackend(nullptr);
    platform::SetApp(nullptr);
    return app_.ExitStatus();
}

}  // namespace

int RunHeadless(const HeadlessOptions& options) {
    HeadlessRun run(options);
    return run.Run();
}

}  // namespace shell
