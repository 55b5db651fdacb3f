#include "platform/headless.h"

#include <chrono>

namespace platform {

HeadlessWindow::HeadlessWindow(WindowManager& manager, WindowSink& sink, const WindowStyle& style)
    : Window(manager, sink, style), pixels_(1, 0) {}

void HeadlessWindow::ApplyClientSize() {
    pixels_.assign(size_t(ClientWidth()) * ClientHeight(), 0);
}

void HeadlessWindow::CopyPixels(const uint32_t* pixels, int32_t width, int32_t height,
                                int32_t pitch, int32_t x, int32_t y) {
    for (int32_t row = 0; row < height; ++row) {
        const uint32_t* from = pixels + size_t(row) * pitch;
        std::copy(from, from + width, pixels_.begin() + size_t(y + row) * ClientWidth() + x);
    }
}

std::unique_ptr<Window> HeadlessWindows::Create(WindowSink& sink, const WindowStyle& style) {
    return std::make_unique<HeadlessWindow>(*this, sink, style);
}

MessageAnswer HeadlessDialogs::Show(MessageKind kind, MessageButtons buttons,
                                    std::string_view text) {
    RunModalLoop();
    MessageAnswer answer = DefaultAnswer(buttons);
    if (!queued_.empty()) {
        if (AnswerFits(buttons, queued_.front())) answer = queued_.front();
        queued_.pop_front();
    }
    records_.push_back({kind, buttons, std::string(text), answer});
    if (onShow) onShow(records_.back());
    return answer;
}

std::optional<std::string> HeadlessDialogs::AskText(std::string_view, std::string_view,
                                                    std::string_view) {
    RunModalLoop();
    if (queuedInput_.empty()) return std::nullopt;
    std::optional<std::string> text = std::move(queuedInput_.front());
    queuedInput_.pop_front();
    return text;
}

void HeadlessDialogs::RunModalLoop() {
    if (whileOpen) whileOpen();
    events_.ProcessMessages();
}

void HeadlessEvents::ProcessMessages() {
    for (;;) {
        std::pair<uint32_t, WindowEvent> next;
        {
            std::lock_guard lock(mutex_);
            if (pending_.empty() || Terminated()) break;
            next = pending_.front();
            pending_.pop_front();
        }
        if (Window* window = windows_.Find(next.first)) Dispatch(*window, next.second);
    }
    if (!Terminated()) FireDueTimers();
}

void HeadlessEvents::WaitUntil(uint32_t deadline) {
    WaitFor(deadline);
}

void HeadlessEvents::Wait() {
    WaitFor(std::nullopt);
}

void HeadlessEvents::WaitFor(std::optional<uint32_t> deadline) {
    windows_.PresentDirty();
    std::optional<uint32_t> until = EarliestOf(deadline);
    std::unique_lock lock(mutex_);
    auto ready = [this] { return !pending_.empty() || woken_; };
    if (virtual_) {
        // Nothing else can happen before the deadline: jump to it. With no
        // deadline and nothing pending there is nothing to wait for.
        if (!ready() && until && !TickReached(virtual_->TickCount(), *until)) virtual_->Set(*until);
    } else if (until) {
        auto remaining = static_cast<int32_t>(*until - Time().TickCount());
        if (remaining > 0) changed_.wait_for(lock, std::chrono::milliseconds(remaining), ready);
    } else {
        changed_.wait(lock, ready);
    }
    woken_ = false;
}

void HeadlessEvents::Wake() {
    {
        std::lock_guard lock(mutex_);
        woken_ = true;
    }
    changed_.notify_all();
}

void HeadlessEvents::Post(const Window& window, const WindowEvent& event) {
    {
        std::lock_guard lock(mutex_);
        pending_.emplace_back(window.Id(), event);
    }
    changed_.notify_all();
}

namespace {

std::unique_ptr<Clock> MakeClock(HeadlessBackend::ClockKind kind, uint32_t startTick) {
    if (kind == HeadlessBackend::ClockKind::Real) return std::make_unique<RealClock>();
    return std::make_unique<VirtualClock>(startTick);
}

}  // namespace

HeadlessBackend::HeadlessBackend(ClockKind clock, uint32_t startTick)
    : clock_(MakeClock(clock, startTick)),
      virtual_(dynamic_cast<VirtualClock*>(clock_.get())),
      events_(windows_, *clock_, virtual_),
      dialogs_(events_),
      media_(*clock_) {
    events_.WatchMedia(&media_);
}

}  // namespace platform
