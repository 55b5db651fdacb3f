#include "scenario/Velto_proc.h"

#include <utility>

#include "platform/clock.h"

namespace scenario {

namespace {

constexpr uint32_t kAnimationInterval = 500;

bool IsMessageMode(int32_t mode) {
    return mode == kModeMessageEffect || mode == kModeMessageWait;
}

}  // namespace

// ---- TVeltoProcessStack ----

std::string TVeltoProcessStack::GetString(std::string_view key, std::string_view fallback) const {
    const std::string* line = FindKeyIgnoreCase(Frame, key);
    if (!line) return std::string(fallback);
    return line->substr(key.size() + 1);
}

void TVeltoProcessStack::SetString(std::string_view key, std::string_view value) {
    std::string line = std::string(key) + "=" + std::string(value);
    size_t position = 0;
    if (FindKeyIgnoreCase(Frame, key, &position)) {
        Frame[position] = std::move(line);
    } else {
        Frame.push_back(std::move(line));
    }
}

int32_t TVeltoProcessStack::GetInt(std::string_view key, int32_t fallback) const {
    return ParseIntDef(GetString(key, ""), fallback);
}

void TVeltoProcessStack::SetInt(std::string_view key, int32_t value) {
    SetString(key, IntToText(value));
}

bool TVeltoProcessStack::GetBool(std::string_view key, bool fallback) const {
    return GetInt(key, fallback ? 1 : 0) != 0;
}

void TVeltoProcessStack::SetBool(std::string_view key, bool value) {
    SetInt(key, value ? 1 : 0);
}

void TVeltoProcessStack::Push(std::string line) {
    if (line == kStackBorder) ++depth_;
    lines_.push_back(std::move(line));
}

std::string TVeltoProcessStack::Pop() {
    if (lines_.empty()) return "";
    std::string line = std::move(lines_.back());
    lines_.pop_back();
    if (line == kStackBorder) --depth_;
    return line;
}

void TVeltoProcessStack::PushFrame() {
    Push(std::string(kStackBorder));
    for (std::string& line : Frame) Push(std::move(line));
    ClearFrame();
}

bool TVeltoProcessStack::PopFrame() {
    ClearFrame();
    // Stops at the border or the bottom only: an empty line inside a frame is
    // skipped, so it cannot split the frame and leave its rest on the stack.
    while (!lines_.empty()) {
        std::string line = Pop();
        if (line == kStackBorder) break;
        if (!line.empty()) Frame.push_back(std::move(line));
    }
    return !Frame.empty();
}

StringList TVeltoProcessStack::StackLines() const {
    return StringList(lines_.rbegin(), lines_.rend());
}

// ---- TVeltoProcess ----

void TVeltoProcess::Reset() {
    PlayerMode = kModeReady;
    WaitTime = 0;
    ActiveClick = false;
    AnykeyClick = false;
    Timer = false;
    MessageEffect.WindowIndex = 0;
    MessageEffect.LayerName.clear();
}

bool TVeltoProcess::WaitExpired() const {
    if (WaitTime <= 0) return true;
    // Elapsed time, not "now >= start + time": the sum wraps with the tick
    // counter and would end a wait begun just before the wrap at once.
    uint32_t elapsed = platform::TickCount() - WaitStart;
    return elapsed >= static_cast<uint32_t>(WaitTime);
}

bool TVeltoProcess::IsExecutable() const {
    if (PlayerMode == kModeReady) return true;
    return PlayerMode == kModeWaiting && Timer && WaitExpired();
}

bool TVeltoProcess::BeginCommand() {
    if (!IsExecutable()) return false;
    PlayerMode = kModeExecuting;
    return true;
}

void TVeltoProcess::EndCommand() {
    if (PlayerMode == kModeExecuting) PlayerMode = kModeReady;
}

bool TVeltoProcess::CheckMessageEffect() {
    if (!IsMessageMode(PlayerMode)) return false;
    if (MessageSkip) PlayerMode = kModeMessageEffect;
    if (PlayerMode == kModeMessageWait) {
        if (!Timer || !WaitExpired()) return false;
        PlayerMode = kModeMessageEffect;
    }
    return true;
}

void TVeltoProcess::StartMessageEffect(int32_t windowIndex, std::string_view layerName) {
    MessageEffect.WindowIndex = windowIndex;
    MessageEffect.LayerName = layerName;
    PlayerMode = kModeMessageEffect;
}

void TVeltoProcess::EndMessageEffect() {
    if (IsMessageMode(PlayerMode)) PlayerMode = kModeReady;
    MessageEffect.WindowIndex = 0;
    MessageEffect.LayerName.clear();
}

bool TVeltoProcess::IsAnykeyCancel() const {
    return (PlayerMode == kModeWaiting || PlayerMode == kModeMessageWait) && AnykeyClick;
}

int32_t TVeltoProcess::GetClickState() const {
    if (ActiveClick) return PlayerMode == kModeWaiting ? 2 : 0;
    return PlayerMode == kModeWaiting || PlayerMode == kModeMessageWait ? 1 : 0;
}

void TVeltoProcess::StartWait() {
    ActiveClick = false;
    AnykeyClick = false;
    Timer = false;
    MessageSkip = false;
    PlayerMode = kModeWaiting;
}

void TVeltoProcess::StartMessageWait() {
    ActiveClick = false;
    AnykeyClick = false;
    Timer = false;
    PlayerMode = kModeMessageWait;
}

void TVeltoProcess::SetWaitTimer(int32_t milliseconds) {
    WaitStart = platform::TickCount();
    WaitTime = milliseconds;
    Timer = true;
}

void TVeltoProcess::CancelWait() {
    if (PlayerMode != kModeWaiting && PlayerMode != kModeMessageWait) return;
    ActiveClick = false;
    AnykeyClick = false;
    Timer = false;
    PlayerMode = PlayerMode == kModeWaiting ? kModeReady : kModeMessageEffect;
}

bool TVeltoProcess::IsAnimationTick() {
    uint32_t now = platform::TickCount();
    // Measured from the last animation tick so that the wrap of the counter
    // neither stalls the animation nor runs it on every step.
    uint32_t lastAnimation = NextAnimationTick - kAnimationInterval;
    if (now - lastAnimation <= kAnimationInterval) return false;
    NextAnimationTick = now + kAnimationInterval;
    return true;
}

void TVeltoProcess::SaveToStack() {
    if (!Stack) return;
    Stack->SetInt(kStackPlayerMode, PlayerMode);
    Stack->SetInt(kStackWaitTime, WaitTime);
    Stack->SetBool(kStackActiveClick, ActiveClick);
    Stack->SetBool(kStackAnykeyClick, AnykeyClick);
    Stack->SetBool(kStackTimer, Timer);
    Stack->SetInt(kStackMessageWindowIndex, MessageEffect.WindowIndex);
    Stack->SetString(kStackMessageLayerName, MessageEffect.LayerName);
}

void TVeltoProcess::LoadFromStack() {
    if (!Stack) return;
    PlayerMode = Stack->GetInt(kStackPlayerMode, kModeReady);
    WaitTime = Stack->GetInt(kStackWaitTime, 0);
    ActiveClick = Stack->GetBool(kStackActiveClick, false);
    AnykeyClick = Stack->GetBool(kStackAnykeyClick, false);
    Timer = Stack->GetBool(kStackTimer, false);
    MessageEffect.WindowIndex = Stack->GetInt(kStackMessageWindowIndex, 0);
    MessageEffect.LayerName = Stack->GetString(kStackMessageLayerName, "");
}

void TVeltoProcess::PushCall(const TCallPosition& returnTo) {
    if (!Stack) return;
    Stack->SetString(kStackBookName, returnTo.BookName);
    Stack->SetString(kStackPageName, returnTo.PageName);
    Stack->SetInt(kStackCommandIndex, returnTo.CommandIndex);
    Stack->PushFrame();
    Reset();
}

std::optional<TCallPosition> TVeltoProcess::PopCall() {
    if (!Stack || !Stack->PopFrame()) return std::nullopt;
    LoadFromStack();
    TCallPosition returnTo{Stack->GetString(kStackBookName, ""),
                           Stack->GetString(kStackPageName, ""),
                           Stack->GetInt(kStackCommandIndex, 0)};
    // A popped frame left behind would be pushed again by the next plain call,
    // whose return would then bring back this frame's mode instead of Ready.
    Stack->ClearFrame();
    return returnTo;
}

}  // namespace scenario
