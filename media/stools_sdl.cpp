// The sound library on SDL_mixer: each wave slot owns a group of mixer channels, one
// per voice, and the song is a MIDI file played through SDL_mixer's synthesiser with
// the installed General MIDI soundfont. Without an audio device, soundfont or song
// file the game goes on silently, after one line on stderr.
#include "media/stools.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

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
    bool midi = false;
    std::array<Mix_Chunk*, kSlots> chunks{};
    std::array<int, kSlots> firstChannel{};
    std::array<int, kSlots> voices{};
    int channels = 0;
    Mix_Music* music = nullptr;
    bool jingle = false; // the results jingle plays once; every other song repeats
};

SoundState s;

bool openDevice() {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 1024) == 0) return true;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
}

} // namespace

void STInit(HWND, std::int32_t) {
    if (s.open) return;
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
    Mix_VolumeMusic(kMusicVolume);
    Mix_Volume(-1, kEffectVolume);
}

void STReadBytes(std::int32_t slot, const unsigned char* wave, std::size_t size, std::int32_t voices) {
    media::logSound("STReadBytes", slot, nullptr);
    if (!s.open || slot < 0 || slot >= kSlots || !wave || size == 0) return;
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
    media::logSound("STPlay", slot, nullptr);
    if (!s.open || slot < 0 || slot >= kSlots || !s.chunks[slot]) return;
    // A free voice of the slot, else the one that has sounded longest starts over.
    int channel = Mix_GroupAvailable(slot);
    if (channel < 0) channel = Mix_GroupOldest(slot);
    if (channel < 0) channel = s.firstChannel[slot];
    Mix_PlayChannel(channel, s.chunks[slot], 0);
}

void MTStop() {
    media::logSound("MTStop", -1, nullptr);
    if (!s.open) return;
    Mix_HaltMusic();
    if (s.music) Mix_FreeMusic(s.music);
    s.music = nullptr;
}

void MTReadFile(const char* path) {
    media::logSound("MTReadFile", -1, path);
    if (!s.open || !s.midi || !path) return;
    if (s.music) Mix_FreeMusic(s.music);
    s.music = Mix_LoadMUS(path);
    std::string name = path;
    s.jingle = name.size() >= 9 && name.compare(name.size() - 9, 9, "CLEAR.mid") == 0;
    if (!s.music) std::fprintf(stderr, "tolvane: cannot play %s (%s)\n", path, Mix_GetError());
}

void MTPlay() {
    media::logSound("MTPlay", -1, nullptr);
    if (!s.open || !s.music) return;
    Mix_PlayMusic(s.music, s.jingle ? 1 : -1); // songs repeat until the next change
}

namespace media {

void soundShutdown() {
    if (!s.open) return;
    Mix_HaltMusic();
    if (s.music) Mix_FreeMusic(s.music);
    for (auto& c : s.chunks) {
        if (c) Mix_FreeChunk(c);
        c = nullptr;
    }
    Mix_CloseAudio();
    Mix_Quit();
    s = SoundState{};
}

} // namespace media
