// Starting the game from the menu: the game runs as a process of its own, found beside
// the menu program, and the menu never waits for it.
#pragma once

#include <QString>
#include <QStringList>

namespace kestrow {

// The game's executable name in the application directory.
inline const QString kGameProgram = QStringLiteral("tolvane");

// The game's arguments: `--rival RIVAL` first when there is a rival (the game reads the
// option only there), then the replay to play back, if any; each path one argument.
// With `takeOver` at 0 or more (and a replay), `--take-over FRAME` follows the replay:
// frames 0..FRAME are the replay's, the game goes on live from the next one.
QStringList gameArguments(const QString& replay, const QString& rival, long takeOver = -1);

// Starts the game in `appDir`: a live game when `replay` is empty, otherwise the
// playback of that replay file, whose path is handed over as one argument (no shell,
// no quoting); raced against the run of `rival` when it is not empty. Returns at once.
// Returns false, starting nothing, when the replay or the rival cannot be opened for
// reading or the game is missing or not executable. `takeOver` as for gameArguments.
bool startGame(const QString& appDir, const QString& replay, const QString& rival = QString(),
               long takeOver = -1);

} // namespace kestrow
