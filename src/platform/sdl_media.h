// Sound through SDL_mixer: music streamed as Mix_Music (WAV, Ogg Vorbis and
// Opus, MP3, FLAC, MIDI through a General MIDI sound font, and whatever else
// SDL_mixer streams), sound effects decoded whole into a Mix_Chunk on a
// mixer channel of their own. The end of either wakes the event loop.
//
// Where SDL_mixer falls short:
// - MIDI: any file with a MIDI name loads and fails only when it plays. MIDI
//   files are checked first (media_info.h) and damaged ones refused; one that
//   passes and still plays for no time at all (the synthesizer refused it)
//   has ended for good and is not started again. The synthesizer's release
//   tail is not part of the file: MIDI ends where its sequence ends.
// - Music that SDL_mixer cannot stream (IMA ADPCM WAV) plays as a chunk on a
//   second mixer channel kept for the music, with the same positions and ends.
// - Sound effects are always chunks: SDL_mixer has a single music stream, and
//   decodes every format it streams into chunks as well. Only files whose
//   length media_info.h knows, up to five minutes, are decoded, so that a
//   chunk's memory stays bounded; others cannot be played as sound effects.
//
// Without a sound device the players play on silently on the clock, as the
// headless ones do, after one line on standard error.
#pragma once

#include <memory>
#include <optional>

#include "platform/clock.h"
#include "platform/events.h"
#include "platform/media.h"

namespace platform {

class SdlMedia final : public MediaManager {
public:
    // Opens the sound device; the end of a file wakes `events`' waits.
    SdlMedia(EventManager& events, Clock& clock);
    ~SdlMedia() override;
    SdlMedia(const SdlMedia&) = delete;
    SdlMedia& operator=(const SdlMedia&) = delete;

    std::unique_ptr<MediaPlayer> CreatePlayer(MediaChannel channel) override;
    std::optional<uint32_t> NextEnd() override;

    // Whether a sound device plays the files (else they play silently).
    bool Audible() const;

    class Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
