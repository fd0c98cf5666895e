// The call log of the sound library, kept by both implementations for tests.
#include "media/stools.h"

namespace media {
namespace {
// Each thread logs the calls it makes (headless games may run side by side).
thread_local bool logging = false;
thread_local std::vector<SoundCall> calls;
thread_local bool muted = false;
thread_local bool silenced = false;
} // namespace

void muteThisThread(bool on) { muted = on; }
bool threadMuted() { return muted; }

void silenceSound(bool on) { silenced = on; }
bool soundSilenced() { return silenced; }

void setSoundLogging(bool on) {
    logging = on;
    calls.clear();
}
bool soundLogging() { return logging; }
std::vector<SoundCall>& soundLog() { return calls; }

// Used by the implementations.
void logSound(const char* name, std::int32_t slot, const char* path) {
    if (logging) calls.push_back({name, slot, path ? path : ""});
}

} // namespace media
