#include "common/appdir.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

// The data folder as seen from the programs' folder, set by the build from the install
// directories (for example "../share/tolvane").
#ifndef TOLVANE_DATA_FROM_BIN
#define TOLVANE_DATA_FROM_BIN "../share/tolvane"
#endif

namespace common {
namespace fs = std::filesystem;

fs::path applicationDirectory() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return fs::current_path(ec);
    return exe.parent_path();
}

fs::path installedDataDirectory(const fs::path& appDir) {
    return (appDir / TOLVANE_DATA_FROM_BIN).lexically_normal();
}

bool isInstalled(const fs::path& appDir) {
    std::error_code ec;
    const fs::path data = installedDataDirectory(appDir);
    return fs::is_directory(data, ec) && !fs::equivalent(data, appDir, ec);
}

fs::path dataDirectory(const fs::path& appDir) {
    return isInstalled(appDir) ? installedDataDirectory(appDir) : appDir;
}

fs::path dataDirectory() { return dataDirectory(applicationDirectory()); }

RecordsPlace recordsPlace(const fs::path& appDir, const char* home, const char* xdgDataHome) {
    if (!isInstalled(appDir) && ::access(appDir.c_str(), W_OK) == 0) return {appDir, {}, {}};

    // The XDG base directories: only an absolute XDG_DATA_HOME counts.
    fs::path base;
    if (xdgDataHome && xdgDataHome[0] == '/') {
        base = xdgDataHome;
    } else if (home && home[0] != '\0') {
        base = fs::path(home) / ".local/share";
    }
    if (base.empty()) {
        return {appDir,
                {},
                "HOME is not set, so the records stay in " + appDir.string() + " beside the programs"};
    }
    return {base / "tolvane", appDir, {}};
}

RecordsPlace recordsPlace(const fs::path& appDir) {
    RecordsPlace place = recordsPlace(appDir, std::getenv("HOME"), std::getenv("XDG_DATA_HOME"));
    static bool told = false;
    if (!place.note.empty() && !told) {
        told = true;
        std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, place.note.c_str());
    }
    return place;
}

fs::path recordsDirectory() { return recordsPlace(applicationDirectory()).folder; }

fs::path recordToRead(const RecordsPlace& place, const std::string& name) {
    const fs::path own = place.folder / name;
    if (place.seed.empty()) return own;
    struct stat st {};
    if (::lstat(own.c_str(), &st) == 0 || errno != ENOENT) return own;
    const fs::path old = place.seed / name;
    if (::lstat(old.c_str(), &st) == 0) return old;
    return own;
}

bool makeRecordsDirectory(const fs::path& folder, std::string* why) {
    auto fail = [&](const fs::path& which, int err) {
        if (why) *why = "cannot create the folder " + which.string() + " (" + std::strerror(err) + ")";
        return false;
    };
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        return fail(folder, ENOTDIR);
    }
    // Every missing folder from the top down, each private to the user.
    fs::path path;
    for (const fs::path& part : folder.lexically_normal()) {
        path /= part;
        if (part.empty() || part == path.root_path()) continue;
        if (::mkdir(path.c_str(), 0700) == 0) continue;
        const int err = errno;
        // Folders that are there already are fine, even where the user may not create any.
        if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
        return fail(path, err == EEXIST ? ENOTDIR : err);
    }
    return true;
}

} // namespace common
