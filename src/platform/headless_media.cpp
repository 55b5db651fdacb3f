// The players of HeadlessMedia: a file plays from a start tick for its
// length, and a player keeps only where it stands.
#include <algorithm>
#include <cmath>

#include "platform/encoding.h"
#include "platform/headless.h"
#include "platform/media_info.h"

namespace platform {

std::string FormatMediaRecord(const MediaRecord& record) {
    static const char* const kEvents[] = {"open", "fail", "end", "rewind", "stop"};
    return std::to_string(record.tick) +
           (record.channel == MediaChannel::Music ? " music " : " sound ") +
           kEvents[int(record.event)] + " " + EscapedForLogLine(record.file);
}

class HeadlessMedia::Player final : public MediaPlayer {
public:
    Player(HeadlessMedia& media, MediaChannel channel) : media_(&media), channel_(channel) {
        media.players_.push_back(this);
    }
    // An end that came before the player goes is still recorded.
    ~Player() override {
        if (!media_) return;
        media_->Flush();
        std::erase(media_->players_, this);
    }
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    bool Open(const std::string& path) override {
        if (!media_) return false;
        media_->Flush();
        const std::optional<MediaInfo> info = ReadMediaInfoFile(path);
        file_ = path;
        open_ = info.has_value();
        running_ = open_;
        length_ = info ? info->milliseconds : 0;
        position_ = 0;
        start_ = Now();
        ended_ = false;
        media_->Record(start_, *this, open_ ? MediaEvent::Open : MediaEvent::Fail);
        return open_;
    }

    void Stop() override {
        if (!Attached()) return;
        if (running_) media_->Record(Now(), *this, MediaEvent::Stop);
        running_ = false;
        ended_ = false;
        position_ = 0;
    }

    void Resume() override {
        if (!Attached() || running_) return;
        running_ = true;
        start_ = Now();
        media_->Record(start_, *this, MediaEvent::Rewind);
    }

    bool IsEnded() const override {
        if (!media_) return true;
        media_->Flush();
        return !open_ || ended_;
    }

    void SetPosition(double seconds) override {
        if (!Attached()) return;
        const double milliseconds = seconds * 1000.0;
        position_ = milliseconds > 0 ? uint32_t(std::min<double>(milliseconds, length_)) : 0;
        if (!running_) return;
        start_ = Now();
        if (ended_) {
            ended_ = false;
            media_->Record(start_, *this, MediaEvent::Rewind);
        }
    }

    // Playing, not yet recorded as ended.
    bool Pending() const { return open_ && running_ && !ended_; }
    uint32_t EndTick() const { return start_ + (length_ - position_); }

    HeadlessMedia* media_;  // null once the manager is gone: nothing plays
    const MediaChannel channel_;
    std::string file_;
    bool open_ = false;
    bool running_ = false;  // playing, or played to its end and not stopped
    bool ended_ = false;    // the end is recorded
    uint32_t length_ = 0;
    uint32_t position_ = 0;  // where it stood at start_ (ms)
    uint32_t start_ = 0;

private:
    uint32_t Now() const { return media_->clock_.TickCount(); }

    // With the ends up to now recorded; false when nothing is open.
    bool Attached() {
        if (!media_) return false;
        media_->Flush();
        return open_;
    }
};

HeadlessMedia::~HeadlessMedia() {
    for (Player* player : players_) player->media_ = nullptr;
}

std::unique_ptr<MediaPlayer> HeadlessMedia::CreatePlayer(MediaChannel channel) {
    return std::make_unique<Player>(*this, channel);
}

void HeadlessMedia::Flush() {
    const uint32_t now = clock_.TickCount();
    std::vector<Player*> ended;
    for (Player* player : players_) {
        if (player->Pending() && TickReached(now, player->EndTick())) ended.push_back(player);
    }
    // Earliest first: they are all behind now, so their distances to it
    // order them across the wrap.
    std::stable_sort(ended.begin(), ended.end(), [now](const Player* a, const Player* b) {
        return now - a->EndTick() > now - b->EndTick();
    });
    for (Player* player : ended) {
        player->ended_ = true;
        Record(player->EndTick(), *player, MediaEvent::End);
    }
}

std::optional<uint32_t> HeadlessMedia::NextEnd() {
    Flush();
    const uint32_t now = clock_.TickCount();
    std::optional<uint32_t> next;
    for (const Player* player : players_) {
        if (player->Pending() && (!next || player->EndTick() - now < *next - now)) {
            next = player->EndTick();
        }
    }
    return next;
}

void HeadlessMedia::Record(uint32_t tick, const Player& player, MediaEvent event) {
    if (onEvent) onEvent({tick, player.channel_, event, player.file_});
}

}  // namespace platform
