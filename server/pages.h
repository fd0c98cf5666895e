// The web page's files, built into the program from server/web, and the web player's,
// read from its folder at start-up.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::server {

struct PageFile {
    std::string_view path; // "/index.html", "/app.js", ...
    std::string_view bytes;
};
const std::vector<PageFile>& pageFiles();

// Reads the web player's files (web/build.sh's player folder: the module, the sound
// effects, the songs) into memory, by name. Null, with the reason, when one is missing,
// unreadable or not a plain file.
std::shared_ptr<const std::map<std::string, std::string>> loadPlayerFiles(const std::filesystem::path& dir,
                                                                          std::string* why);

} // namespace tolvane::server
