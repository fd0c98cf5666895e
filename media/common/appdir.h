// The application directory, the folder of the songs, and the records folder: where
// the game and the menu program find their files. Shared by both programs, so they
// always agree on where Hiscore.txt and the replays are.
#pragma once

#include <filesystem>
#include <string>

namespace common {

// Folder of the running executable (from /proc/self/exe). Falls back to the current
// directory only if the link cannot be read.
std::filesystem::path applicationDirectory();

// Where the build installs the songs, seen from programs in `appDir` (for example
// appDir/../share/tolvane), whether or not it exists.
std::filesystem::path installedDataDirectory(const std::filesystem::path& appDir);

// The folder of the songs for programs in `appDir`. Installed, the songs live in the
// data folder (share/tolvane, or wherever the build put it), found from the program's
// own folder so that a moved prefix still works; a build tree or an unpacked copy keeps
// them beside the programs.
std::filesystem::path dataDirectory(const std::filesystem::path& appDir);
std::filesystem::path dataDirectory(); // for the running program

// True when `appDir` holds an installed program (its songs in the data folder).
bool isInstalled(const std::filesystem::path& appDir);

// Where the records (Hiscore.txt, NewReplay.rep, HiReplay.rep) live.
struct RecordsPlace {
    std::filesystem::path folder; // where they are read and written
    // A folder to read an older copy from while `folder` has none: the application
    // directory when the records had to move elsewhere (an old portable install that
    // has become read-only keeps its scores). Empty when there is none.
    std::filesystem::path seed;
    // Set when the rule had to fall back for want of a home folder: one line for stderr.
    std::string note;
};

// The rule: a copy that keeps its songs beside the programs (a build tree, an unpacked
// folder) and that the user can write keeps its records beside the programs. Otherwise
// (an installed game, or a folder the user cannot write) they live in
// $XDG_DATA_HOME/tolvane, by default ~/.local/share/tolvane, created on the first
// write. A relative XDG_DATA_HOME is ignored. With neither XDG_DATA_HOME nor HOME
// there is no such folder: the records stay in the application directory and `note`
// says so. `home` and `xdgDataHome` may be null (unset).
RecordsPlace recordsPlace(const std::filesystem::path& appDir, const char* home, const char* xdgDataHome);
// The rule for programs in `appDir` in this process's environment (HOME, XDG_DATA_HOME);
// a note is printed once to stderr.
RecordsPlace recordsPlace(const std::filesystem::path& appDir);
// The records folder of the running program.
std::filesystem::path recordsDirectory();

// The file to read a record from: the one in the records folder, or, while that one
// does not exist, the seed folder's copy if there is one.
std::filesystem::path recordToRead(const RecordsPlace& place, const std::string& name);

// Creates the records folder and any missing folder above it, each with mode 0700
// (only the user may look inside). True when the folder exists afterwards; otherwise
// false with the folder and the system's reason in `why`.
bool makeRecordsDirectory(const std::filesystem::path& folder, std::string* why);

} // namespace common
