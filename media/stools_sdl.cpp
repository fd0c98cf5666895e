// The sound library on SDL_mixer: each wave slot owns a group of mixer channels, one
// per voice, and the song is a MIDI file played through SDL_mixer's synthesiser with
// the installed General MIDI soundfont. Without an audio device, soundfont or song
// file the game goes on silently, after one line on stderr.
//
// Songs load on a thread of their own. The synthesiser reads the whole soundfont for
// every song it opens, 15 to 40 ms, and the frame that changes the song would wait for
// it: a stage start or a boss would miss its frame. The song starts as soon as it is
// loaded, a frame or two after the game asked for it.
#include "media/stools.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace media {
void logSound(const char* name, std::int32_t slot, const char* path);
}

namespace {

constexpr int kSlots = 6;
constexpr int kMaxVoices = 8;
constexpr int kMusicVolume = MIX_MAX_VOLUME * 5 / 16; // a synthesiser gain of 0.375
constexpr int kEffectVolume = MIX_MAX_VOLUME * 3 / 8; // several effects often sound at once

struct SoundState {
    bool open = false;
    int effectsPercent = 100, musicPercent = 100;
    bool midi = false;
    std::array<Mix_Chunk*, kSlots> chunks{};
    std::array<int, kSlots> firstChannel{};
    std::array<int, kSlots> voices{};
    int channels = 0;
    bool effectsHeld = false;
};

SoundState s;

// The song the game read last, loaded on the loader's thread. Every field is guarded
// by `lock`; the mixer calls made under it (play, halt) only take the mixer's own lock,
// which the audio thread holds only while it mixes.
struct Songs {
    std::mutex lock;
    std::condition_variable wake;
    std::thread loader;
    bool quit = false;

    bool paused = false;    // the game is paused: a song that comes in starts paused
    unsigned asked = 0;     // counts the game's MTReadFile and MTStop calls
    std::string path;       // the song of the last MTReadFile, "" after MTStop
    bool jingle = false;    // the results jingle plays once; every other song repeats
    bool playAsked = false; // MTPlay came before the song was loaded
    bool muted = false;     // the player's music loudness is 0

    Mix_Music* music = nullptr; // the song loaded for `loadedFor`
    unsigned loadedFor = 0;
    std::vector<Mix_Music*> done; // songs to free, on the loader's thread

    // Waits for work, then frees what is done with and loads what was asked.
    void run() {
        std::unique_lock<std::mutex> held(lock);
        for (;;) {
            wake.wait(held, [&] { return quit || !done.empty() || (!path.empty() && loadedFor != asked); });
            if (quit) return;
            std::vector<Mix_Music*> old;
            old.swap(done);
            const unsigned request = asked;
            const std::string file = path;
            held.unlock();
            for (Mix_Music* m : old) Mix_FreeMusic(m);
            Mix_Music* loaded = file.empty() ? nullptr : Mix_LoadMUS(file.c_str());
            const std::string why = loaded ? std::string() : Mix_GetError();
            held.lock();
            if (file.empty()) continue;
            if (request != asked) { // the game has moved on since
                if (loaded) done.push_back(loaded);
                continue;
            }
            music = loaded;
            loadedFor = request;
            if (!loaded) std::fprintf(stderr, "tolvane: cannot play %s (%s)\n", file.c_str(), why.c_str());
            if (loaded && playAsked) play();
            playAsked = false;
        }
    }

    void play() {
        // At loudness 0 no song plays at all: the synthesiser's dither would still be heard.
        if (muted) return;
        Mix_PlayMusic(music, jingle ? 1 : -1); // songs repeat until the next change
        if (paused) Mix_PauseMusic();
    }

    // The game's request: the song playing stops, and `file` (or none) is the next.
    void ask(const char* file) {
        if (music) {
            Mix_HaltMusic();
            done.push_back(music);
            music = nullptr;
        }
        ++asked;
        path = file ? file : "";
        const std::size_t n = path.size();
        jingle = n >= 9 && path.compare(n - 9, 9, "CLEAR.mid") == 0;
        playAsked = false;
        if (!loader.joinable()) loader = std::thread([this] { run(); });
        wake.notify_one();
    }

    // Stops the thread and frees every song; the device is still open.
    void close() {
        {
            std::lock_guard<std::mutex> held(lock);
            quit = true;
        }
        wake.notify_one();
        if (loader.joinable()) loader.join();
        Mix_HaltMusic();
        if (music) done.push_back(music);
        for (Mix_Music* m : done) Mix_FreeMusic(m);
        done.clear();
        music = nullptr;
        quit = false;
        asked = loadedFor = 0;
        paused = false;
        path.clear();
        playAsked = false;
    }
};

// Never destroyed: a program that ends without soundShutdown (an error on the way) must
// not wait for, or trip over, a loader still at work.
Songs& songs = *new Songs;

bool openDevice() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) == 0) return true;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
}

} // namespace

void STInit(HWND, std::int32_t) {
    if (s.open || media::threadMuted()) return;
    Mix_Init(MIX_INIT_MID);
    if (!openDevice()) {
        // No sound card (or ALSA refusing): the dummy driver keeps the game's timing and
        // calls working, silently.
        std::string why = SDL_GetError();
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        if (!openDevice()) {
            std::fprintf(stderr, "tolvane: no sound (%s)\n", why.c_str());
            return;
        }
        std::fprintf(stderr, "tolvane: no audio device (%s); playing silently\n", why.c_str());
    }
    s.open = true;
    s.midi = Mix_HasMusicDecoder("MIDI") == SDL_TRUE;
    if (!s.midi) std::fprintf(stderr, "tolvane: no MIDI synthesiser or soundfont; no music\n");
    Mix_AllocateChannels(kSlots * kMaxVoices);
    // SDL_mixer drives the synthesiser at six times FluidSynth's own gain at full music
    // volume, which clips; this keeps the songs at about FluidSynth's level with room
    // for the sound effects on top.
    media::setVolumes(s.effectsPercent, s.musicPercent);
}

void STReadBytes(std::int32_t slot, const unsigned char* wave, std::size_t size, std::int32_t voices) {
    media::logSound("STReadBytes", slot, nullptr);
    if (!s.open || media::threadMuted() || slot < 0 || slot >= kSlots || !wave || size == 0) return;
    if (s.chunks[slot]) Mix_FreeChunk(s.chunks[slot]);
    // SDL_mixer converts the sound into a buffer of its own, so the caller may free its bytes.
    s.chunks[slot] = Mix_LoadWAV_RW(SDL_RWFromConstMem(wave, static_cast<int>(size)), 1);
    if (!s.chunks[slot]) return;
    int n = voices < 1 ? 1 : (voices > kMaxVoices ? kMaxVoices : voices);
    s.firstChannel[slot] = slot * kMaxVoices;
    s.voices[slot] = n;
    Mix_GroupChannels(s.firstChannel[slot], s.firstChannel[slot] + n - 1, slot);
}

void STPlay(std::int32_t slot) {
    if (media::soundSilenced()) return;
    media::logSound("STPlay", slot, nullptr);
    if (!s.open || s.effectsHeld || media::threadMuted() || slot < 0 || slot >= kSlots || !s.chunks[slot])
        return;
    // A free voice of the slot, else the one that has sounded longest starts over.
    int channel = Mix_GroupAvailable(slot);
    if (channel < 0) channel = Mix_GroupOldest(slot);
    if (channel < 0) channel = s.firstChannel[slot];
    Mix_PlayChannel(channel, s.chunks[slot], 0);
}

void MTStop() {
    if (media::soundSilenced()) return;
    media::logSound("MTStop", -1, nullptr);
    if (!s.open || media::threadMuted()) return;
    std::lock_guard<std::mutex> held(songs.lock);
    songs.ask(nullptr);
}

void MTReadFile(const char* path) {
    if (media::soundSilenced()) return;
    media::logSound("MTReadFile", -1, path);
    if (!s.open || !s.midi || !path || media::threadMuted()) return;
    std::lock_guard<std::mutex> held(songs.lock);
    songs.ask(path);
}

void MTPlay() {
    if (media::soundSilenced()) return;
    media::logSound("MTPlay", -1, nullptr);
    if (!s.open || media::threadMuted()) return;
    std::lock_guard<std::mutex> held(songs.lock);
    if (songs.path.empty()) return; // no song read since the last stop
    if (songs.music && songs.loadedFor == songs.asked)
        songs.play();
    else if (songs.loadedFor != songs.asked)
        songs.playAsked = true; // plays when it is loaded
}

namespace media {

void soundShutdown() {
    if (!s.open) return;
    songs.close();
    for (auto& c : s.chunks) {
        if (c) Mix_FreeChunk(c);
        c = nullptr;
    }
    Mix_CloseAudio();
    Mix_Quit();
    const int effects = s.effectsPercent, music = s.musicPercent;
    s = SoundState{};
    s.effectsPercent = effects;
    s.musicPercent = music;
}

void holdEffects(bool held) { s.effectsHeld = held; }

void setVolumes(int effectsPercent, int musicPercent) {
    s.effectsPercent = std::clamp(effectsPercent, 0, 100);
    s.musicPercent = std::clamp(musicPercent, 0, 100);
    if (!s.open) return;
    // SDL_mixer drives the synthesiser at six times FluidSynth's own gain at full music
    // volume, which clips; the game's own loudness keeps the songs at about FluidSynth's
    // level with room for the sound effects on top.
    Mix_VolumeMusic(kMusicVolume * s.musicPercent / 100);
    Mix_Volume(-1, kEffectVolume * s.effectsPercent / 100);
    std::lock_guard<std::mutex> held(songs.lock);
    songs.muted = s.musicPercent == 0;
}

void pauseSound(bool paused) {
    if (!s.open) return;
    std::lock_guard<std::mutex> held(songs.lock);
    songs.paused = paused;
    if (paused) {
        Mix_Pause(-1);
        Mix_PauseMusic();
    } else {
        Mix_Resume(-1);
        Mix_ResumeMusic();
    }
}

std::string songPlaying() {
    std::lock_guard<std::mutex> held(songs.lock);
    if (!Mix_PlayingMusic()) return {};
    return songs.music && songs.loadedFor == songs.asked ? songs.path : "a song no longer asked for";
}

void waitForSongs() {
    for (;;) {
        {
            std::lock_guard<std::mutex> held(songs.lock);
            if (songs.path.empty() || songs.loadedFor == songs.asked) return;
        }
        SDL_Delay(5);
    }
}

} // namespace media
