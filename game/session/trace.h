// One line of `tolvane-replay trace`: the world after a frame as a JSON object, and,
// when asked, the sound calls the frame made. Shared by the native tool and the web
// build, so that both print the very same bytes.
#pragma once

#include <string>
#include <vector>

#include "media/stools.h"
#include "session/world_state.h"

namespace tolvane {

// The trace line of the world after frame `frame`; with `objects` also every live
// object slot; with `sounds` (not null) also the sound calls made in that frame, each
// as ["STPlay", slot], ["MTStop"], ["MTReadFile", file name] or ["MTPlay"]. A song is
// named by its file name alone: the folder it is read from depends on where the
// program runs, not on the game.
// A JSON string: quotes, backslashes and control bytes escaped; other bytes (UTF-8 or
// not: file names are bytes) pass through.
std::string jsonText(const std::string& s);

std::string traceLine(const World& w, long frame, bool objects,
                      const std::vector<media::SoundCall>* sounds = nullptr);

} // namespace tolvane
