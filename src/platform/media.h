// Sound: one player per channel (music, sound effects), each playing one file
// at a time. Opening starts playback; nothing here ever blocks.
#pragma once

#include <memory>
#include <string>

namespace platform {

enum class MediaChannel { Music, Sound };

class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;
    // Opens the file (a UTF-8 disk path) and starts playing it from its
    // start; false, silently, when it cannot be played.
    virtual bool Open(const std::string& path) = 0;
    // Stops and rewinds to the start.
    virtual void Stop() = 0;
    // Plays on from where it stands.
    virtual void Resume() = 0;
    // Played to its end (or nothing open); never waits.
    virtual bool IsEnded() const = 0;
    virtual void SetPosition(double seconds) = 0;
};

class MediaManager {
public:
    virtual ~MediaManager() = default;
    virtual std::unique_ptr<MediaPlayer> CreatePlayer(MediaChannel channel) = 0;
};

}  // namespace platform
