// The web page's files, built into the program from server/web.
#pragma once

#include <string_view>
#include <vector>

namespace tolvane::server {

struct PageFile {
    std::string_view path; // "/index.html", "/app.js", ...
    std::string_view bytes;
};
const std::vector<PageFile>& pageFiles();

} // namespace tolvane::server
