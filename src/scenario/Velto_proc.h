// TVeltoProcess: the player mode with its wait conditions and the target of the
// message being drawn. TVeltoProcessStack: the call stack, a stack of frames of
// KEY=VALUE lines that a call writes and its return reads back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "scenario/Text_util.h"

namespace scenario {

// Values of TVeltoProcess::PlayerMode; they are also what a saved frame holds.
enum PlayerModeValue : int32_t {
    kModeReady = 0,
    kModeExecuting = 1,
    kModeWaiting = 2,
    kModeMessageEffect = 3,
    kModeMessageWait = 4,
};

// Keys of a call frame. The first three are the return position, the others the
// process state an interrupting call saves.
inline constexpr std::string_view kStackBookName = "Stack.BookName";
inline constexpr std::string_view kStackPageName = "Stack.PageName";
inline constexpr std::string_view kStackCommandIndex = "Stack.CommandIndex";
inline constexpr std::string_view kStackPlayerMode = "Stack.PlayerMode";
inline constexpr std::string_view kStackWaitTime = "Stack.WaitTime";
inline constexpr std::string_view kStackActiveClick = "Stack.WaitCancel.ActiveClick";
inline constexpr std::string_view kStackAnykeyClick = "Stack.WaitCancel.AnykeyClick";
inline constexpr std::string_view kStackTimer = "Stack.WaitCancel.Timer";
inline constexpr std::string_view kStackMessageWindowIndex = "Stack.MessageEffect.WindowIndex";
inline constexpr std::string_view kStackMessageLayerName = "Stack.MessageEffect.LayerName";
// The line below the lines of each frame on the stack.
inline constexpr std::string_view kStackBorder = "@StackBorder";

class TVeltoProcessStack {
public:
    // The frame being written before PushFrame, or the one PopFrame just read.
    StringList Frame;

    void ClearFrame() { Frame.clear(); }

    // Keys are matched ignoring letter case; the first matching line wins.
    std::string GetString(std::string_view key, std::string_view fallback) const;
    // Replaces the first line with that key in place, or appends one.
    void SetString(std::string_view key, std::string_view value);
    // Text that is not an integer, the empty text included, gives `fallback`.
    int32_t GetInt(std::string_view key, int32_t fallback) const;
    void SetInt(std::string_view key, int32_t value);
    bool GetBool(std::string_view key, bool fallback) const;
    void SetBool(std::string_view key, bool value);

    void Push(std::string line);
    // "" when the stack is empty.
    std::string Pop();

    // Pushes a border and then the lines of Frame, and empties Frame.
    void PushFrame();
    // Replaces Frame with the lines of the top frame (in reverse order of
    // writing) and removes them and their border. False when no line was read.
    bool PopFrame();

    // Frames on the stack.
    size_t Depth() const { return depth_; }
    // The stack's lines, the top first.
    StringList StackLines() const;

private:
    StringList lines_;  // the top is the back, so pushing and popping stay cheap
    size_t depth_ = 0;  // border lines in lines_
};

// Where a return goes back to.
struct TCallPosition {
    std::string BookName;
    std::string PageName;
    int32_t CommandIndex = 0;
};

class TVeltoProcess {
public:
    // Frame target of the stack operations below; set by the owner, not owned.
    TVeltoProcessStack* Stack = nullptr;

    uint32_t WaitStart = 0;  // tick of the last SetWaitTimer
    int32_t WaitTime = 0;    // milliseconds; zero or negative expires at once
    uint32_t NextAnimationTick = 0;
    int32_t PlayerMode = kModeExecuting;  // no command runs until the first call resets it
    bool ActiveClick = false;             // a click on an active dynamic layer ends the wait
    bool AnykeyClick = false;             // a click anywhere ends the wait
    bool Timer = false;                   // the wait timer ends the wait
    bool MessageSkip = false;             // message drawing skips its pauses
    struct {
        int32_t WindowIndex = 0;
        std::string LayerName;
    } MessageEffect;  // the message being drawn

    // Ready with no wait and no message target; WaitStart and MessageSkip stay.
    void Reset();

    // Ready, or Waiting on a timer that has run out.
    bool IsExecutable() const;
    // Executing and true when IsExecutable, else false.
    bool BeginCommand();
    // Executing becomes Ready; a mode a handler set stays.
    void EndCommand();

    // Whether a message drawing step is due: false outside MessageEffect and
    // MessageWait, and in MessageWait until skipping is on or its timer runs out;
    // either of those resumes the drawing (MessageEffect).
    bool CheckMessageEffect();
    void StartMessageEffect(int32_t windowIndex, std::string_view layerName);
    // A message in progress ends Ready; the target is forgotten in any mode.
    void EndMessageEffect();
    void SetMessageSkip() { MessageSkip = true; }

    // A click anywhere ends the current wait.
    bool IsAnykeyCancel() const;
    // 0: clicks are not taken now; 1: Waiting or MessageWait without ActiveClick;
    // 2: Waiting with ActiveClick.
    int32_t GetClickState() const;

    // Both clear the three wait-cancel flags; StartWait also ends message skipping.
    void StartWait();
    void StartMessageWait();
    void SetWaitTimer(int32_t milliseconds);
    void SetAnykeyClick() { AnykeyClick = true; }
    void SetActiveClick() { ActiveClick = true; }
    // Ends a wait: Waiting becomes Ready, MessageWait goes back to MessageEffect.
    void CancelWait();

    // True at most once per 500 ms.
    bool IsAnimationTick();

    // The seven state keys to and from the stack's Frame; nothing without a stack.
    // Loading a frame without them gives Ready with no wait and no message target.
    void SaveToStack();
    void LoadFromStack();

    // A call: writes the position to return to into the frame (after any
    // SaveToStack of an interrupting call), pushes it and resets to Ready.
    void PushCall(const TCallPosition& returnTo);
    // A return: pops the top frame, restores the state saved in it and gives the
    // position to go back to; nullopt when no frame is on the stack.
    std::optional<TCallPosition> PopCall();

private:
    bool WaitExpired() const;
};

}  // namespace scenario
