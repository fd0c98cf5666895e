// Records: the replay file and the high-score table, and the one way the game writes
// a file (whole or not at all).
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

#include "session/world_state.h"

namespace tolvane {

// ---- Where the records live ----

// The folder of Hiscore.txt and the replays (common::recordsPlace: beside the programs
// when the user can write there, else the XDG data folder), unless a test has pointed
// it elsewhere: `dir`, with `seed` as the folder of an older table to start from. An
// empty `dir` goes back to the rule.
void setRecordsDirectory(const std::filesystem::path& dir, const std::filesystem::path& seed = {});
std::filesystem::path recordsDirectory();

// The file to read the record `name` from: the records folder's, or the seed folder's
// copy while the records folder has none.
std::filesystem::path recordToRead(const std::string& name);

// Writes the record `name` into the records folder (created first, mode 0700, when it
// is missing), whole or not at all. When it cannot, one line on stderr names the file
// and the reason, and the result is false.
bool writeRecord(const std::string& name, std::string_view bytes);

// Writes `bytes` to `path` through a temporary file in the same folder that is then
// renamed over the old file, so a crash, a kill or a full disk leaves either the old
// file or the new one, never a mixture. An existing file without write permission is
// left alone. False, with a reason, when nothing was written.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes, std::string* why);

// Removes what a save cut short by a crash or a kill left in `dir`: temporaries of
// writeFileAtomically for Hiscore.txt and the replays (take-overs' too) more than a minute old
// (a younger one may belong to a game saving right now). Called at start-up.
void removeStaleTemporaries(const std::filesystem::path& dir);

// ---- Replays ----

// The replay path in the argument string: one pair of surrounding double quotes is
// removed; anything else, blanks included, is the path as it stands.
std::string replayPathFromCommandLine(const std::string& commandLine);

// The replay file of the recorded input: the count N = replayFrame (32-bit little
// endian), then entries 0 to N of replayInput, N + 5 bytes in all. Empty when N lies
// outside the buffer.
std::string replayFileBytes(const World& w);

// Writes the recorded input as <records folder>/<prefix>Replay.rep. When it cannot be
// written the old file stays as it was and recordNotSaved is set.
void saveReplay(World& w, const std::string& prefix);

// Reads the replay named by the argument string into replayInput (entries after N are
// cleared) and sets replayFrame to 0. A file that cannot be used (missing, unreadable,
// a folder, shorter than 4 bytes, a count outside 0..25000, shorter than N + 5 bytes)
// is refused: false with the file and the reason in `why`, and the world untouched.
bool loadReplay(World& w, const std::string& commandLine, std::string* why);

// The same from the file's bytes (a replay that arrived some other way): the reasons are
// loadReplay's without the file's name in front.
bool loadReplayBytes(World& w, std::string_view bytes, std::string* why);

// ---- The high-score table ----

constexpr int kHiscoreRanks = 100;
using HiscoreTable = std::array<i32, kHiscoreRanks>; // rank 1 first

// 1000000, 990000, ... 10000.
HiscoreTable defaultHiscoreTable();

// Reads Hiscore.txt from its bytes: four header fields, then a label and a score for
// each of the 100 ranks. False, with the reason, when the bytes cannot be read as a
// table (they end early, a score is not a 32-bit number, or the bytes up to the last
// score are not CP932). Lines after the last score are ignored.
bool parseHiscore(std::string_view bytes, HiscoreTable& table, std::string* why);

// The whole Hiscore.txt, CP932 with CR LF line ends: 104 lines.
std::string formatHiscore(const HiscoreTable& table);

// Puts `score` above the first entry that is strictly smaller and drops the last one.
// Returns the index it took (rank - 1), or -1 when it enters nowhere.
int insertScore(HiscoreTable& table, i32 score);

// Ranks the game's score into Hiscore.txt, sets hiscoreRank, and writes HiReplay.rep
// for a new rank 1. An unreadable table is kept as Hiscore.txt.bad-<date>-<time> and a
// fresh default table takes its place; a table that cannot be written stays as it was
// and recordNotSaved is set.
void rankHiscore(World& w);

} // namespace tolvane
