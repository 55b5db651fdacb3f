// Sound: one player per channel (music, sound effects), each playing one file
// at a time. Opening starts playback; nothing here ever blocks.
//
// Waiting for a player to reach its end is a loop over the event wait, with
// nothing to compute or poll on the side:
//
//     while (!player.IsEnded() && !platform::Events().Terminated()) {
//         platform::Events().Wait();  // or WaitUntil(a deadline of its own)
//         platform::Events().ProcessMessages();
//     }
//
// A wait never outlasts the end of a playing file: with a sound device the
// audio thread wakes it the moment a channel finishes, and where the clock
// keeps the time (headless runs, a machine without sound) the earliest end
// among the playing files is one of the wait's deadlines (NextEnd below), so
// the virtual clock jumps exactly to it. Windows redraw, clicks arrive and
// timers fire meanwhile, as in any wait.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
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
    // Plays on from where it stands; a player that plays or has played to
    // its end goes on as it is.
    virtual void Resume() = 0;
    // Played to its end (or nothing open); never waits. A stopped player
    // has not ended.
    virtual bool IsEnded() const = 0;
    // Moves to `seconds` from the start; a player that has played to its end
    // plays again from there.
    virtual void SetPosition(double seconds) = 0;
};

class MediaManager {
public:
    virtual ~MediaManager() = default;
    virtual std::unique_ptr<MediaPlayer> CreatePlayer(MediaChannel channel) = 0;

    // For the backend's event loop: the earliest tick, still to come, at
    // which a playing file ends by the clock alone, where nothing else
    // would wake a wait then. Nothing where an audio thread reports ends.
    virtual std::optional<uint32_t> NextEnd() { return std::nullopt; }
};

}  // namespace platform
