// Starting the game from the menu: the game runs as a process of its own, found beside
// the menu program, and the menu never waits for it.
#pragma once

#include <QString>

namespace kestrow {

// The game's executable name in the application directory.
inline const QString kGameProgram = QStringLiteral("tolvane");

// Starts the game in `appDir`: a live game when `replay` is empty, otherwise the
// playback of that replay file, whose path is handed over as one argument (no shell,
// no quoting). Returns at once. Returns false, starting nothing, when the replay
// cannot be opened for reading or the game is missing or not executable.
bool startGame(const QString& appDir, const QString& replay);

} // namespace kestrow
