#include "platform/sdl_media.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/headless.h"
#include "platform/media_info.h"

namespace platform {
namespace {

constexpr int kFrequency = 44100;
// 46 ms a buffer: the audio thread wakes 21 times a second, and a sound
// starts at most that late.
constexpr int kBufferFrames = 2048;
constexpr int kSoundChannel = 0;
constexpr int kMusicChunkChannel = 1;
constexpr uint32_t kMaxChunkMilliseconds = 5 * 60 * 1000;
// What SDL_mixer streams without media_info.h knowing the format (modules,
// AIFF ...) may be read whole by its library.
constexpr uint64_t kMaxUnknownStreamBytes = 64 << 20;
constexpr uint32_t kFadeMilliseconds = 10;
constexpr uint64_t kNever = ~uint64_t{0};

// What the audio thread shares with the players. SDL_mixer's hooks take no
// argument, and there is one mixer in a process, so there is one of these.
struct AudioShared {
    std::atomic<EventManager*> events{nullptr};
    // Frames mixed since the device opened, counted after each buffer.
    std::atomic<uint64_t> mixedFrames{0};
    std::atomic<uint64_t> bufferFrames{kBufferFrames};
    // A number for each start of the music stream, and the frame count at
    // the last stream's finish with its number.
    std::atomic<uint64_t> musicStarts{0};
    std::atomic<uint64_t> finishedStart{0};
    std::atomic<uint64_t> finishedFrame{0};
    // The loop is woken when the mixed frames reach this (a MIDI sequence's
    // end, before the synthesizer's tail).
    std::atomic<uint64_t> wakeAtFrame{kNever};
    // Set while the device is open.
    int frequency = kFrequency;
    int frameBytes = 4;
    Uint16 format = AUDIO_S16SYS;
    int channels = 2;
};
AudioShared g_audio;

void WakeLoop() {
    if (EventManager* events = g_audio.events.load()) events->Wake();
}

void SDLCALL CountMixed(void*, Uint8*, int length) {
    const uint64_t frames = uint64_t(length) / uint64_t(g_audio.frameBytes);
    g_audio.bufferFrames.store(frames);
    const uint64_t mixed = g_audio.mixedFrames.fetch_add(frames) + frames;
    uint64_t wake = g_audio.wakeAtFrame.load();
    if (mixed >= wake && g_audio.wakeAtFrame.compare_exchange_strong(wake, kNever)) WakeLoop();
}

void SDLCALL MusicFinished() {
    g_audio.finishedFrame.store(g_audio.mixedFrames.load());
    g_audio.finishedStart.store(g_audio.musicStarts.load());
    WakeLoop();
}

void SDLCALL ChannelFinished(int) {
    WakeLoop();
}

uint64_t FramesOf(double milliseconds) {
    return milliseconds <= 0 ? 0 : uint64_t(milliseconds * g_audio.frequency / 1000.0);
}

// --- A budget for decoding chunks ---------------------------------------------
//
// SDL_mixer decodes a chunk until the decoder stops, whatever the file says
// of its length. While a chunk loads, what SDL allocates on this thread is
// counted, and an allocation past the budget fails, which fails the load.

thread_local uint64_t* t_budget = nullptr;
SDL_malloc_func g_malloc;
SDL_calloc_func g_calloc;
SDL_realloc_func g_realloc;

bool Charge(size_t bytes) {
    if (!t_budget) return true;
    if (bytes > *t_budget) return false;
    *t_budget -= bytes;
    return true;
}

void* SDLCALL BudgetMalloc(size_t size) {
    return Charge(size) ? g_malloc(size) : nullptr;
}
void* SDLCALL BudgetCalloc(size_t count, size_t size) {
    if (size && count > SIZE_MAX / size) return nullptr;
    return Charge(count * size) ? g_calloc(count, size) : nullptr;
}
void* SDLCALL BudgetRealloc(void* block, size_t size) {
    return Charge(size) ? g_realloc(block, size) : nullptr;
}

// SDL's own functions stay underneath, so blocks from before and after are
// all alike.
void InstallBudget() {
    static bool installed = false;
    if (installed) return;
    SDL_free_func free;
    SDL_GetMemoryFunctions(&g_malloc, &g_calloc, &g_realloc, &free);
    installed = SDL_SetMemoryFunctions(BudgetMalloc, BudgetCalloc, BudgetRealloc, free) == 0;
}

class BudgetScope {
public:
    explicit BudgetScope(uint64_t bytes) : left_(bytes) { t_budget = &left_; }
    ~BudgetScope() { t_budget = nullptr; }
    BudgetScope(const BudgetScope&) = delete;
    BudgetScope& operator=(const BudgetScope&) = delete;

private:
    uint64_t left_;
};

// --- Chunks ---------------------------------------------------------------------

// A MIDI chunk ends with its sequence; the cut fades out over a few
// milliseconds rather than clicking.
void EndAt(Mix_Chunk* chunk, uint64_t frames) {
    const uint64_t bytes = frames * uint64_t(g_audio.frameBytes);
    if (chunk->alen <= bytes) return;
    chunk->alen = Uint32(bytes);
    if (g_audio.format != AUDIO_S16SYS) return;
    auto* samples = reinterpret_cast<Sint16*>(chunk->abuf);
    const uint64_t count = chunk->alen / sizeof(Sint16);
    const uint64_t fade = std::min<uint64_t>(count, FramesOf(kFadeMilliseconds) * g_audio.channels);
    for (uint64_t i = 0; i < fade; ++i) {
        Sint16& sample = samples[count - fade + i];
        sample = Sint16(sample * int64_t(fade - i) / int64_t(fade));
    }
}

// Decoded whole, within a budget: the decoded file (its length and the
// synthesizer's tail) in the mixer's format, the pieces it is decoded in,
// and what converting it from the file's format takes.
Mix_Chunk* LoadChunk(const std::string& path, const MediaInfo& info, uint64_t fileBytes) {
    if (info.milliseconds > kMaxChunkMilliseconds) return nullptr;
    const uint64_t decoded = FramesOf(info.milliseconds + 5000.0) * uint64_t(g_audio.frameBytes);
    Mix_Chunk* chunk;
    {
        BudgetScope budget(4 * decoded + 2 * fileBytes + (1 << 20));
        chunk = Mix_LoadWAV(path.c_str());
    }
    if (!chunk) return nullptr;
    if (info.format == MediaFormat::Midi) EndAt(chunk, FramesOf(info.milliseconds));
    if (chunk->alen < Uint32(g_audio.frameBytes)) {
        Mix_FreeChunk(chunk);
        return nullptr;
    }
    return chunk;
}

// --- The player -------------------------------------------------------------------

class SdlPlayer;
// The player whose music the one stream plays (only on the main thread).
const SdlPlayer* g_streamOwner = nullptr;

}  // namespace

class SdlMedia::Impl {
public:
    Impl(EventManager& events, Clock& clock);
    ~Impl();

    // Says once that MIDI needs a sound font, when none was found.
    void NoteMidi() {
        if (soundFont || warnedMidi) return;
        warnedMidi = true;
        std::fprintf(stderr,
                     "orvanta3: MIDI music needs a General MIDI sound font and none was found "
                     "(the timgm6mb-soundfont package has one)\n");
    }

    bool audible = false;
    std::unique_ptr<HeadlessMedia> silent;  // playing on without a device
    std::vector<SdlPlayer*> players;
    bool soundFont = false;
    bool warnedMidi = false;
};

namespace {

bool RegularFile(const std::string& path, uint64_t& size) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    size = uint64_t(st.st_size);
    return true;
}

class SdlPlayer final : public MediaPlayer {
public:
    SdlPlayer(SdlMedia::Impl& media, MediaChannel channel) : media_(&media), channel_(channel) {
        media.players.push_back(this);
    }
    ~SdlPlayer() override {
        Release();
        if (media_) std::erase(media_->players, this);
    }
    SdlPlayer(const SdlPlayer&) = delete;
    SdlPlayer& operator=(const SdlPlayer&) = delete;

    bool Open(const std::string& path) override {
        Release();
        uint64_t size = 0;
        if (!media_ || !RegularFile(path, size)) return false;
        bool recognized = false;
        info_ = ReadMediaInfoFile(path, &recognized);
        // Damaged, or named for a format that is not in it: SDL_mixer takes a
        // file by its name, and a MIDI one fails only once it plays.
        if (!info_ && (recognized || HasMediaName(path))) return false;
        if (channel_ == MediaChannel::Sound) {
            if (info_) chunk_ = LoadChunk(path, *info_, size);
        } else if (info_ || size <= kMaxUnknownStreamBytes) {
            if (IsMidi()) media_->NoteMidi();
            music_ = Mix_LoadMUS(path.c_str());
            if (!music_ && info_) chunk_ = LoadChunk(path, *info_, size);
        }
        if ((!music_ && !chunk_) || !Start(0)) {
            Release();
            return false;
        }
        return true;
    }

    void Stop() override {
        if (!media_ || state_ == State::Closed) return;
        if (OwnsStream()) {
            g_audio.wakeAtFrame.store(kNever);
            Mix_HaltMusic();
        }
        if (OwnsChannel()) Mix_HaltChannel(ChunkChannel());
        state_ = State::Stopped;
        position_ = 0;
    }

    void Resume() override {
        if (!media_ || state_ != State::Stopped) return;
        if (dead_ || !Start(position_)) state_ = State::Ended;
    }

    bool IsEnded() const override {
        if (!media_ || state_ == State::Closed) return true;
        if (state_ == State::Playing && ReachedEnd()) state_ = State::Ended;
        return state_ == State::Ended;
    }

    void SetPosition(double seconds) override {
        if (!media_ || state_ == State::Closed) return;
        seconds = std::isnan(seconds) ? 0 : std::clamp(seconds, 0.0, LengthSeconds());
        if (state_ == State::Stopped) {
            position_ = seconds;
            return;
        }
        if (IsEnded() && dead_) return;
        // A stream that can seek moves while it plays; anything else starts
        // again from there.
        if (state_ == State::Playing && music_ && !IsMidi() && Mix_SetMusicPosition(seconds) == 0) {
            return;
        }
        if (!Start(seconds)) state_ = State::Ended;
    }

    // Lets go of the file (also when the manager closes the device).
    void Release() {
        if (music_) {
            if (OwnsStream()) {
                g_audio.wakeAtFrame.store(kNever);
                Mix_HaltMusic();
                g_streamOwner = nullptr;
            }
            Mix_FreeMusic(music_);
            music_ = nullptr;
        }
        // The view first: it is part of the chunk. Freeing either stops it.
        if (view_) Mix_FreeChunk(view_);
        if (chunk_) Mix_FreeChunk(chunk_);
        view_ = chunk_ = nullptr;
        info_.reset();
        state_ = State::Closed;
        dead_ = false;
        position_ = 0;
    }

    SdlMedia::Impl* media_;  // null once the manager is gone

private:
    enum class State { Closed, Playing, Stopped, Ended };

    bool IsMidi() const { return info_ && info_->format == MediaFormat::Midi; }
    double LengthSeconds() const { return info_ ? info_->milliseconds / 1000.0 : 1e9; }
    int ChunkChannel() const {
        return channel_ == MediaChannel::Sound ? kSoundChannel : kMusicChunkChannel;
    }
    bool OwnsStream() const { return music_ && g_streamOwner == this; }
    Mix_Chunk* Playable() const { return view_ ? view_ : chunk_; }
    bool OwnsChannel() const { return chunk_ && Mix_GetChunk(ChunkChannel()) == Playable(); }

    // Plays from `seconds` (MIDI from its start: it cannot seek).
    bool Start(double seconds) {
        state_ = State::Playing;
        startSeconds_ = IsMidi() ? 0 : seconds;
        if (music_) {
            g_audio.wakeAtFrame.store(kNever);
            // Halted here rather than inside Mix_PlayMusic, whose finished
            // call would then count for the new start.
            if (Mix_PlayingMusic()) Mix_HaltMusic();
            started_ = g_audio.musicStarts.fetch_add(1) + 1;
            startFrame_ = g_audio.mixedFrames.load();
            if (Mix_PlayMusic(music_, 0) != 0) return false;
            g_streamOwner = this;
            if (startSeconds_ > 0) Mix_SetMusicPosition(startSeconds_);
            if (IsMidi()) g_audio.wakeAtFrame.store(startFrame_ + FramesOf(info_->milliseconds));
            return true;
        }
        if (OwnsChannel()) Mix_HaltChannel(ChunkChannel());
        if (view_) Mix_FreeChunk(view_);
        view_ = nullptr;
        const uint64_t offset = std::min<uint64_t>(
            FramesOf(startSeconds_ * 1000.0) * uint64_t(g_audio.frameBytes), chunk_->alen);
        if (offset == chunk_->alen) {
            state_ = State::Ended;
            return true;
        }
        if (offset > 0) {
            view_ = Mix_QuickLoad_RAW(chunk_->abuf + offset, Uint32(chunk_->alen - offset));
            if (!view_) return false;
        }
        return Mix_PlayChannel(ChunkChannel(), Playable(), 0) >= 0;
    }

    // Whether a playing file has come to its end now.
    bool ReachedEnd() const {
        if (chunk_) return !OwnsChannel() || !Mix_Playing(ChunkChannel());
        if (!OwnsStream()) return true;
        if (Mix_PlayingMusic()) {
            // MIDI ends with its sequence; the synthesizer's tail is not its.
            return IsMidi() &&
                   g_audio.mixedFrames.load() - startFrame_ >= FramesOf(info_->milliseconds);
        }
        // A stream that finished within its first buffer while it should have
        // played for several was refused by its decoder when it played: it is
        // not started again.
        if (g_audio.finishedStart.load() == started_) {
            const uint64_t played = g_audio.finishedFrame.load() - startFrame_;
            const uint64_t buffer = g_audio.bufferFrames.load();
            const uint64_t expected =
                info_ ? FramesOf(info_->milliseconds - startSeconds_ * 1000.0) : kNever;
            if (played <= buffer && expected > 3 * buffer) dead_ = true;
        }
        return true;
    }

    const MediaChannel channel_;
    Mix_Music* music_ = nullptr;
    Mix_Chunk* chunk_ = nullptr;
    Mix_Chunk* view_ = nullptr;  // the chunk from a position on
    std::optional<MediaInfo> info_;
    mutable State state_ = State::Closed;
    mutable bool dead_ = false;
    double position_ = 0;      // where a stopped player stands
    double startSeconds_ = 0;  // where the current play started
    uint64_t started_ = 0;     // the stream's start number
    uint64_t startFrame_ = 0;  // mixed frames when it started
};

void QuietAlsaError(const char*, int, const char*, int, const char*, ...) {}

// ALSA writes lines of its own to standard error when there is no sound
// card; the player says it once, in its own words.
void SilenceAlsa() {
    using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
    void* alsa = dlopen("libasound.so.2", RTLD_LAZY);
    if (!alsa) return;
    auto set = reinterpret_cast<int (*)(Handler)>(dlsym(alsa, "snd_lib_error_set_handler"));
    if (set) set(QuietAlsaError);
    // Kept loaded: the handler stays in place for SDL's use of it.
}

// SDL_SOUNDFONTS in the environment wins; else the Debian packages' General
// MIDI fonts, then other systems' places.
bool ChooseSoundFont() {
    if (const char* chosen = std::getenv("SDL_SOUNDFONTS"); chosen && *chosen) return true;
    static const char* const kFonts[] = {
        "/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
        "/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf3/default-GM.sf3",
        "/usr/share/soundfonts/default.sf2",    "/usr/share/soundfonts/FluidR3_GM.sf2",
    };
    for (const char* font : kFonts) {
        uint64_t size;
        if (RegularFile(font, size)) return Mix_SetSoundFonts(font) != 0;
    }
    return false;
}

}  // namespace

SdlMedia::Impl::Impl(EventManager& events, Clock& clock) {
    SilenceAlsa();
    std::string problem;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        problem = SDL_GetError();
    } else {
        Mix_Init(MIX_INIT_FLAC | MIX_INIT_MOD | MIX_INIT_MP3 | MIX_INIT_OGG | MIX_INIT_MID |
                 MIX_INIT_OPUS);
        soundFont = ChooseSoundFont();
        if (Mix_OpenAudio(kFrequency, AUDIO_S16SYS, 2, kBufferFrames) != 0) {
            problem = Mix_GetError();
            Mix_Quit();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        } else {
            Mix_QuerySpec(&g_audio.frequency, &g_audio.format, &g_audio.channels);
            g_audio.frameBytes = int(SDL_AUDIO_BITSIZE(g_audio.format) / 8) * g_audio.channels;
            g_audio.mixedFrames.store(0);
            g_audio.wakeAtFrame.store(kNever);
            g_audio.events.store(&events);
            Mix_AllocateChannels(2);
            Mix_SetPostMix(CountMixed, nullptr);
            Mix_HookMusicFinished(MusicFinished);
            Mix_ChannelFinished(ChannelFinished);
            InstallBudget();
            audible = true;
        }
    }
    if (!audible) {
        std::fprintf(stderr, "orvanta3: no sound (%s); the game plays on without it\n",
                     problem.c_str());
        silent = std::make_unique<HeadlessMedia>(clock);
    }
}

SdlMedia::Impl::~Impl() {
    for (SdlPlayer* player : players) {
        player->Release();
        player->media_ = nullptr;
    }
    if (!audible) return;
    Mix_HookMusicFinished(nullptr);
    Mix_ChannelFinished(nullptr);
    Mix_SetPostMix(nullptr, nullptr);
    Mix_CloseAudio();
    g_audio.events.store(nullptr);
    Mix_Quit();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

SdlMedia::SdlMedia(EventManager& events, Clock& clock)
    : impl_(std::make_unique<Impl>(events, clock)) {}

SdlMedia::~SdlMedia() = default;

std::unique_ptr<MediaPlayer> SdlMedia::CreatePlayer(MediaChannel channel) {
    if (impl_->silent) return impl_->silent->CreatePlayer(channel);
    return std::make_unique<SdlPlayer>(*impl_, channel);
}

std::optional<uint32_t> SdlMedia::NextEnd() {
    return impl_->silent ? impl_->silent->NextEnd() : std::nullopt;
}

bool SdlMedia::Audible() const {
    return impl_->audible;
}

}  // namespace platform
