// Media players for tests. Every call is logged in order as
// "TICK CHANNEL EVENT [ARGUMENT]"; a file plays only when it was given a
// length, and then for that many milliseconds of the installed clock, or
// until the test ends it. FakeMediaPlatform installs a headless backend
// whose media are these, their ends deadlines of its event waits.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/headless.h"

namespace testkit {

class FakeMedia final : public platform::MediaManager {
public:
    static constexpr uint32_t kForever = UINT32_MAX;

    // Playable files by the last part of their path, with their lengths.
    std::map<std::string, uint32_t> lengths;
    std::vector<std::string> log;

    std::unique_ptr<platform::MediaPlayer> CreatePlayer(platform::MediaChannel channel) override {
        return std::make_unique<Player>(*this, channel);
    }

    // What plays on `channel` ends now.
    void End(platform::MediaChannel channel) {
        if (Player* player = current_[Index(channel)]) player->End();
    }

    std::optional<uint32_t> NextEnd() override {
        std::optional<uint32_t> earliest;
        for (const Player* player : current_) {
            std::optional<uint32_t> end = player ? player->EndTick() : std::nullopt;
            if (end && (!earliest || platform::TickReached(*earliest, *end))) earliest = end;
        }
        return earliest;
    }

private:
    static int Index(platform::MediaChannel channel) {
        return channel == platform::MediaChannel::Music ? 0 : 1;
    }

    class Player final : public platform::MediaPlayer {
    public:
        Player(FakeMedia& media, platform::MediaChannel channel)
            : media_(media), channel_(channel) {}
        ~Player() override {
            if (open_) Log("close");
            if (media_.current_[Index(channel_)] == this)
                media_.current_[Index(channel_)] = nullptr;
        }

        bool Open(const std::string& path) override {
            name_ = std::filesystem::path(path).filename().string();
            auto found = media_.lengths.find(name_);
            if (found == media_.lengths.end()) {
                Log("fail " + name_);
                return false;
            }
            Log("open " + name_);
            open_ = true;
            length_ = found->second;
            Start(0);
            media_.current_[Index(channel_)] = this;
            return true;
        }
        void Stop() override {
            Log("stop");
            position_ = 0;
            running_ = false;
        }
        void Resume() override {
            Log("resume");
            if (!running_) Start(position_);
        }
        bool IsEnded() const override { return !open_ || Position() >= length_; }
        void SetPosition(double seconds) override {
            Log("seek " + std::to_string(static_cast<int>(seconds * 1000)));
            bool running = running_;
            Start(static_cast<uint32_t>(seconds * 1000));
            running_ = running;
        }
        void End() { Start(length_); }
        // The tick at which it reaches its end, if it plays towards one.
        std::optional<uint32_t> EndTick() const {
            if (!running_ || length_ == kForever || position_ >= length_) return std::nullopt;
            uint32_t end = since_ + (length_ - position_);
            return platform::TickReached(platform::TickCount(), end) ? std::nullopt
                                                                     : std::optional{end};
        }

    private:
        void Log(const std::string& event) const {
            media_.log.push_back(
                std::to_string(platform::TickCount()) +
                (channel_ == platform::MediaChannel::Music ? " music " : " sound ") + event);
        }
        void Start(uint32_t position) {
            position_ = position;
            since_ = platform::TickCount();
            running_ = true;
        }
        uint32_t Position() const {
            if (!running_ || position_ >= length_) return position_;
            uint64_t played = uint64_t{position_} + (platform::TickCount() - since_);
            return played >= length_ ? length_ : static_cast<uint32_t>(played);
        }

        FakeMedia& media_;
        platform::MediaChannel channel_;
        std::string name_;
        bool open_ = false;
        bool running_ = false;
        uint32_t length_ = 0;
        uint32_t position_ = 0;
        uint32_t since_ = 0;
    };

    Player* current_[2] = {nullptr, nullptr};
};

// A headless backend on the virtual clock, installed for the life of a test,
// with FakeMedia in place of its own media.
class FakeMediaPlatform final : public platform::Backend {
public:
    FakeMediaPlatform() { headless.Events().WatchMedia(&media); }

    platform::EventManager& Events() override { return headless.Events(); }
    platform::WindowManager& Windows() override { return headless.Windows(); }
    platform::DialogManager& Dialogs() override { return headless.Dialogs(); }
    platform::MediaManager& Media() override { return media; }
    platform::Clock& Time() override { return headless.Time(); }

    platform::HeadlessBackend headless;
    FakeMedia media;

private:
    platform::ScopedBackend installed_{*this};
};

}  // namespace testkit
