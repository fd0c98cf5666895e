// The sound library: six numbered wave slots that play sound effects mixed together,
// and one MIDI song at a time. The game reads no result of any call: a sound that
// cannot play simply stays silent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "media/dtools.h"

void STInit(HWND window, std::int32_t flags);
// Copies a whole RIFF WAVE file image into a slot; `voices` bounds how many copies of
// the slot can sound at once.
void STReadBytes(std::int32_t slot, const unsigned char* wave, std::size_t size, std::int32_t voices);
void STPlay(std::int32_t slot);
void MTStop();
void MTReadFile(const char* path);
void MTPlay();

namespace media {

// Closes the audio device; called once when the program ends.
void soundShutdown();

// The SDL library loads songs on a thread of its own. The song that plays now ("" for
// none), and a wait until the song asked for last is loaded or has failed to load. The
// null library plays nothing and has nothing to wait for.
std::string songPlaying();
void waitForSongs();

// While held, STPlay sounds nothing (it is still logged): the frames a jump through a
// replay runs at once are not shown, and neither are they heard. Songs change as ever.
void holdEffects(bool held);

// While set, this thread's calls reach no sound device (they are still logged): the menu
// plays replays headless to check them, beside the sounds of its own settings window.
void muteThisThread(bool muted);
bool threadMuted();
// While silenced, this thread's sound calls do nothing at all, not even a log entry: a
// rival's game runs beside the player's and must not be heard or traced.
void silenceSound(bool silenced);
bool soundSilenced();

// The player's loudness of the effects and of the songs, in percent of the game's own.
// Applies from the next sound on when the library is open, else from STInit.
void setVolumes(int effectsPercent, int musicPercent);

// A paused game is silent: the effects sounding and the song stop where they are, and
// go on from there when the game does. A song that comes in meanwhile waits too.
void pauseSound(bool paused);

// What the null sound library was asked to do, for tests and the headless tool.
struct SoundCall {
    std::string name; // "STPlay", "MTStop", "MTReadFile", "MTPlay", "STReadBytes"
    std::int32_t slot = -1;
    std::string path;
};
void setSoundLogging(bool on);
bool soundLogging();
std::vector<SoundCall>& soundLog();

} // namespace media
