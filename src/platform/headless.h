// The headless backend: windows kept in memory, scripted input, dialogs
// answered from a queue and logged, sound files that play silently for their
// length, and by default the virtual clock, which waits move forward at once
// instead of sleeping. Headless runs and tests use it; everything the player
// does with a window or a sound can be looked at here.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/backend.h"

namespace platform {

class HeadlessWindow final : public Window {
public:
    HeadlessWindow(WindowManager& manager, WindowSink& sink, const WindowStyle& style);

    // What was uploaded, rows top-down, ClientWidth() words a row.
    const std::vector<uint32_t>& Pixels() const { return pixels_; }
    // How often the window was presented.
    int PresentCount() const { return presents_; }

private:
    void ApplyCaption() override {}
    void ApplyClientSize() override;
    void ApplyPosition() override {}
    void ApplyVisible() override {}
    void CopyPixels(const uint32_t* pixels, int32_t width, int32_t height, int32_t pitch, int32_t x,
                    int32_t y) override;
    void PresentNow() override { ++presents_; }

    std::vector<uint32_t> pixels_;
    int presents_ = 0;
};

class HeadlessWindows final : public WindowManager {
public:
    std::unique_ptr<Window> Create(WindowSink& sink, const WindowStyle& style) override;
};

// Answers from a queue, else by default (OK, Yes, Ignore; input boxes are
// cancelled), and remembers every box shown. A queued answer that the box
// has no button for is used up and replaced by the default answer.
class HeadlessDialogs final : public DialogManager {
public:
    explicit HeadlessDialogs(EventManager& events) : events_(events) {}

    MessageAnswer Show(MessageKind kind, MessageButtons buttons, std::string_view text) override;
    std::optional<std::string> AskText(std::string_view caption, std::string_view prompt,
                                       std::string_view defaultText) override;

    void QueueAnswer(MessageAnswer answer) { queued_.push_back(answer); }
    // std::nullopt queues a cancel.
    void QueueInput(std::optional<std::string> text) { queuedInput_.push_back(std::move(text)); }
    const std::vector<MessageRecord>& Records() const { return records_; }
    void Clear() { records_.clear(); }

    // Called with each record as it is made (headless message logs).
    std::function<void(const MessageRecord&)> onShow;
    // Called while a box is open, before it is answered: what a user does
    // meanwhile (tests).
    std::function<void()> whileOpen;

private:
    // A dialog's own loop runs while it is open: pending events are taken,
    // and the input meant for the game's windows goes nowhere.
    void RunModalLoop();

    EventManager& events_;
    std::deque<MessageAnswer> queued_;
    std::deque<std::optional<std::string>> queuedInput_;
    std::vector<MessageRecord> records_;
};

// What a headless player did, for the media log.
enum class MediaEvent { Open, Fail, End, Rewind, Stop };

struct MediaRecord {
    uint32_t tick;
    MediaChannel channel;
    MediaEvent event;
    std::string file;  // as given to Open
};

// "TICK CHANNEL EVENT FILE": CHANNEL music or sound; EVENT open (started),
// fail (could not be opened), end (played to its end), rewind (started again
// after its end or a stop), stop; FILE with \\, \r and \n escaped.
std::string FormatMediaRecord(const MediaRecord& record);

// Players that play a file for as long as its headers say (media_info.h), on
// `clock`: the virtual clock of headless runs, or the real one when a
// machine has no sound device. A file the reader does not know, a damaged
// one, a directory or a missing file cannot be opened.
//
// A file's end happens at the tick its length says, whether anyone looks or
// not: it is recorded (and shows in IsEnded) as soon as anything here is
// asked after the clock passed it - a wait asks for NextEnd before it blocks
// - with that tick, and records always come in the order of their ticks.
class HeadlessMedia final : public MediaManager {
public:
    explicit HeadlessMedia(Clock& clock) : clock_(clock) {}
    ~HeadlessMedia() override;

    std::unique_ptr<MediaPlayer> CreatePlayer(MediaChannel channel) override;
    std::optional<uint32_t> NextEnd() override;
    // Records the ends the clock has passed (at the end of a run).
    void Flush();

    // Called with each record as it is made (the media log).
    std::function<void(const MediaRecord&)> onEvent;

private:
    class Player;

    void Record(uint32_t tick, const Player& player, MediaEvent event);

    Clock& clock_;
    std::vector<Player*> players_;
};

class HeadlessEvents final : public EventManager {
public:
    // `virtualClock` is `clock` when time is virtual, else nullptr.
    HeadlessEvents(WindowManager& windows, Clock& clock, VirtualClock* virtualClock)
        : EventManager(clock), windows_(windows), virtual_(virtualClock) {}

    void ProcessMessages() override;
    void WaitUntil(uint32_t deadline) override;
    void Wait() override;
    void Wake() override;

    // The event is pending from now on.
    void Post(const Window& window, const WindowEvent& event);

private:
    void WaitFor(std::optional<uint32_t> deadline);

    WindowManager& windows_;
    VirtualClock* virtual_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::pair<uint32_t, WindowEvent>> pending_;
    bool woken_ = false;
};

class HeadlessBackend final : public Backend {
public:
    enum class ClockKind { Virtual, Real };

    explicit HeadlessBackend(ClockKind clock = ClockKind::Virtual, uint32_t startTick = 0);

    EventManager& Events() override { return events_; }
    WindowManager& Windows() override { return windows_; }
    DialogManager& Dialogs() override { return dialogs_; }
    MediaManager& Media() override { return media_; }
    Clock& Time() override { return *clock_; }

    // The event is pending for `window` from now on (scripted input).
    void Post(const Window& window, const WindowEvent& event) { events_.Post(window, event); }
    HeadlessDialogs& Boxes() { return dialogs_; }
    HeadlessMedia& Sounds() { return media_; }
    // Only with the virtual clock.
    VirtualClock& Virtual() { return *virtual_; }

private:
    std::unique_ptr<Clock> clock_;
    VirtualClock* virtual_ = nullptr;
    HeadlessWindows windows_;
    HeadlessEvents events_;
    HeadlessDialogs dialogs_;
    HeadlessMedia media_;
};

}  // namespace platform
