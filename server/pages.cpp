// The web page: one HTML file, its script and its style sheet. The script builds
// everything it shows from the API's answers as text nodes, never as markup, and the
// Content-Security-Policy lets nothing but these files run or load.
#include "server/pages.h"

#include "server/app.h"

namespace tolvane::server {

namespace {

constexpr const char* kPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
    "img-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

const char* typeOf(std::string_view path) {
    if (path.ends_with(".html")) return "text/html; charset=utf-8";
    if (path.ends_with(".js")) return "text/javascript; charset=utf-8";
    if (path.ends_with(".css")) return "text/css; charset=utf-8";
    if (path.ends_with(".svg")) return "image/svg+xml";
    return "application/octet-stream";
}

} // namespace

Response App::getPage(Request& req) {
    const std::string path = req.path == "/" ? "/index.html" : req.path;
    for (const PageFile& f : pageFiles()) {
        if (f.path != path) continue;
        return {200,
                typeOf(path),
                std::string(f.bytes),
                {{"Content-Security-Policy", kPolicy},
                 {"Referrer-Policy", "no-referrer"},
                 {"X-Frame-Options", "DENY"},
                 {"Cache-Control", "no-cache"}}};
    }
    throw ApiError(404, "nothing here");
}

} // namespace tolvane::server
