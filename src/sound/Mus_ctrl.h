// TMusicCtrl: the music channel, which plays a file a given number of times
// or forever, and the sound-effect channel, whose effects play one after the
// other and may hold the running command until they end. TMediaPlayer is one
// channel's player.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/media.h"

namespace sound {

// One channel's player. Each file gets a fresh platform player, so nothing
// of the previous file survives an open, not even a failed one: with nothing
// open the channel counts as ended and stopping or resuming does nothing.
class TMediaPlayer {
public:
    TMediaPlayer(platform::MediaManager& media, platform::MediaChannel channel);

    // Drops the open file; its playback ends.
    void Release();
    // Opens the file (a disk path) and starts it from its start; false,
    // leaving nothing open, when it cannot be played.
    bool Open(const std::string& path);
    // Stops and rewinds to the start.
    void Stop();
    void Resume();
    // Played to its end, or nothing open; never waits.
    bool IsEnded() const;
    void SetPosition(float seconds);

private:
    platform::MediaManager& media_;
    platform::MediaChannel channel_;
    std::unique_ptr<platform::MediaPlayer> player_;
};

class TMusicCtrl {
public:
    // The switches come from the user's settings; nothing changes them later.
    // A switched-off channel plays nothing: music still remembers what it was
    // asked to play, sound requests are ignored.
    TMusicCtrl(platform::MediaManager& media, bool musicEnabled, bool soundEnabled);
    TMusicCtrl(const TMusicCtrl&) = delete;
    TMusicCtrl& operator=(const TMusicCtrl&) = delete;

    // Plays `file` `loops` times, or forever for 0 or less, in place of the
    // music playing; the open result (true when music is switched off).
    bool PlayMusic(const std::string& file, int32_t loops);
    void StopMusic();
    // Called at every step: plays the music again when it has ended and
    // loops are left, or stops it.
    void PollMusic();
    // Waits for the sound still playing, then plays `file`; with `wait`,
    // returns only when it has ended. Waiting keeps the windows live.
    void PlaySound(const std::string& file, bool wait);
    void StopSound();

    const std::string& MusicFile() const { return musicFile_; }
    bool MusicPlaying() const { return musicPlaying_; }
    bool SoundPlaying() const { return soundPlaying_; }
    int32_t LoopsLeft() const { return loopsLeft_; }
    bool MusicEnabled() const { return musicEnabled_; }
    bool SoundEnabled() const { return soundEnabled_; }

private:
    // Sleeps in the event loop, handling what comes, until the sound has
    // ended or the application is ending.
    void WaitForSoundEnd();

    TMediaPlayer musicPlayer_;
    TMediaPlayer soundPlayer_;
    std::string musicFile_;
    bool musicPlaying_ = false;
    bool soundPlaying_ = false;
    int32_t loopsLeft_ = 0;  // 0 or less: forever; else the plays left, this one included
    const bool musicEnabled_;
    const bool soundEnabled_;
};

}  // namespace sound
