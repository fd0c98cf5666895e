// The rival a game is raced against: the player's best replay, a replay of the records
// folder, or a run of the online table (the #1, the run one rank above the player's
// best, any row), downloaded into the cache and checked to be that run before the game
// is given it. Asking the server goes through `Online`, on the event loop.
#pragma once

#include <QString>
#include <functional>

#include "online.h"
#include "settings/settings.h"

namespace kestrow {

// Which run of the table is wanted.
enum class TableRival { Top, Above };

// Finds the run `which` in the table of `period` ("all", "month", ...), downloads it
// into `folder` as Online::fetchReplay does and calls `done` once with its file, or with
// an empty file and the reason. Gives up after the online time limit in all, however
// many requests it took. Sends nothing while no server is configured.
void fetchTableRival(Online& online, TableRival which, const QString& period, const QString& folder,
                     std::function<void(QString file, QString why)> done);

// The rival of a new game as `[rival] default` says: `done` is called once, with the
// rival's file or an empty one (no rival), and the reason when a rival was asked for and
// cannot be had. `best` is the player's best replay (HiReplay.rep), used when it is a
// file. The network is asked only for above and top, and only with a server configured.
void chooseRival(Online& online, settings::RivalChoice choice, const QString& best, const QString& folder,
                 std::function<void(QString file, QString why)> done);

} // namespace kestrow
