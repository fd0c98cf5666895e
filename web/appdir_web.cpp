// The folders of the web build: it plays replays it is handed and keeps no files, so
// the songs are named from the root of its (empty) file system and no records folder
// can be made. The page plays the songs from the site by their file names.
#include "common/appdir.h"

namespace common {

namespace fs = std::filesystem;

fs::path applicationDirectory() { return "/"; }
fs::path installedDataDirectory(const fs::path& appDir) { return appDir; }
fs::path dataDirectory(const fs::path& appDir) { return appDir; }
fs::path dataDirectory() { return "/"; }
bool isInstalled(const fs::path&) { return false; }
RecordsPlace recordsPlace(const fs::path& appDir, const char*, const char*) { return {appDir, {}, {}}; }
RecordsPlace recordsPlace(const fs::path& appDir) { return {appDir, {}, {}}; }
fs::path recordsDirectory() { return "/"; }
fs::path recordToRead(const RecordsPlace& place, const std::string& name) { return place.folder / name; }
bool makeRecordsDirectory(const fs::path&, std::string* why) {
    if (why) *why = "the web player keeps no records";
    return false;
}

} // namespace common
