// The silent sound library: remembers what it was asked to play, plays nothing.
#include "media/stools.h"

namespace media {
void logSound(const char* name, std::int32_t slot, const char* path);
void soundShutdown() {}
std::string songPlaying() { return {}; }
void waitForSongs() {}
void holdEffects(bool) {}
void pauseSound(bool) {}
void setVolumes(int, int) {}
} // namespace media

void STInit(HWND, std::int32_t) {}
void STReadBytes(std::int32_t slot, const unsigned char*, std::size_t, std::int32_t) {
    media::logSound("STReadBytes", slot, nullptr);
}
void STPlay(std::int32_t slot) {
    if (!media::soundSilenced()) media::logSound("STPlay", slot, nullptr);
}
void MTStop() {
    if (!media::soundSilenced()) media::logSound("MTStop", -1, nullptr);
}
void MTReadFile(const char* path) {
    if (!media::soundSilenced()) media::logSound("MTReadFile", -1, path);
}
void MTPlay() {
    if (!media::soundSilenced()) media::logSound("MTPlay", -1, nullptr);
}
