#include "sound/Mus_ctrl.h"

#include "platform/backend.h"

namespace sound {

TMediaPlayer::TMediaPlayer(platform::MediaManager& media, platform::MediaChannel channel)
    : media_(media), channel_(channel) {}

void TMediaPlayer::Release() {
    player_.reset();
}

bool TMediaPlayer::Open(const std::string& path) {
    Release();
    std::unique_ptr<platform::MediaPlayer> player = media_.CreatePlayer(channel_);
    if (!player || !player->Open(path)) return false;
    player_ = std::move(player);
    return true;
}

void TMediaPlayer::Stop() {
    if (player_) player_->Stop();  // which rewinds it
}

void TMediaPlayer::Resume() {
    if (player_) player_->Resume();
}

bool TMediaPlayer::IsEnded() const {
    return !player_ || player_->IsEnded();
}

void TMediaPlayer::SetPosition(float seconds) {
    if (player_) player_->SetPosition(seconds);
}

TMusicCtrl::TMusicCtrl(platform::MediaManager& media, bool musicEnabled, bool soundEnabled)
    : musicPlayer_(media, platform::MediaChannel::Music),
      soundPlayer_(media, platform::MediaChannel::Sound),
      musicEnabled_(musicEnabled),
      soundEnabled_(soundEnabled) {}

bool TMusicCtrl::PlayMusic(const std::string& file, int32_t loops) {
    bool opened = true;
    if (musicEnabled_) {
        StopMusic();
        opened = musicPlayer_.Open(file);
    }
    // Recorded even when nothing plays; the next play or stop resets it.
    musicFile_ = file;
    musicPlaying_ = true;
    loopsLeft_ = loops;
    return opened;
}

void TMusicCtrl::StopMusic() {
    if (!musicEnabled_ || !musicPlaying_) return;
    musicPlayer_.Stop();
    musicPlaying_ = false;
    loopsLeft_ = 0;
}

void TMusicCtrl::PollMusic() {
    if (!musicPlaying_ || !musicPlayer_.IsEnded()) return;
    if (loopsLeft_ > 0 && --loopsLeft_ == 0) {
        StopMusic();
        return;
    }
    musicPlayer_.SetPosition(0);
    musicPlayer_.Resume();
}

void TMusicCtrl::PlaySound(const std::string& file, bool wait) {
    if (!soundEnabled_) return;
    // One sound at a time: the next one waits for the one still playing.
    if (soundPlaying_) WaitForSoundEnd();
    StopSound();
    soundPlayer_.Open(file);
    soundPlaying_ = true;
    if (wait) {
        WaitForSoundEnd();
        StopSound();
    }
}

void TMusicCtrl::StopSound() {
    if (!soundEnabled_ || !soundPlaying_) return;
    soundPlayer_.Stop();
    soundPlaying_ = false;
}

// Sleeps in the event wait: the sound's end wakes it (from the audio thread,
// or as a deadline of the wait where the clock keeps the time).
void TMusicCtrl::WaitForSoundEnd() {
    platform::EventManager& events = platform::Events();
    while (!soundPlayer_.IsEnded() && !events.Terminated()) {
        events.Wait();
        events.ProcessMessages();
    }
}

}  // namespace sound
