// Records: the replay file and the high-score table.
#pragma once

#include <string>

#include "session/world_state.h"

namespace tolvane {

// Writes the recorded input as <application directory>/<prefix>Replay.rep.
void saveReplay(World& w, const std::string& prefix);

// Reads the replay named by the command line into replayInput; replayFrame is left at
// 0. Returns false with a reason when the file cannot be used.
bool loadReplay(World& w, const std::string& commandLine, std::string* why);

// Ranks the game's score into Hiscore.txt (and writes HiReplay.rep for a new best).
void rankHiscore(World& w);

} // namespace tolvane
