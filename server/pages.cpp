// The web page: one HTML file, its script and its style sheet. The script builds
// everything it shows from the API's answers as text nodes, never as markup, and the
// Content-Security-Policy lets nothing but these files run or load.
#include "server/pages.h"

#include <fstream>
#include <iterator>

#include "server/app.h"
#include "server/identity.h"

namespace tolvane::server {

namespace {

// Both pages compile the web player's WebAssembly (fetched from this server only): the
// watch page to play a run, the table's page to compare a run with its rival.
constexpr const char* kPolicy =
    "default-src 'none'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self'; connect-src 'self'; "
    "img-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

const char* typeOf(std::string_view path) {
    if (path.ends_with(".html")) return "text/html; charset=utf-8";
    if (path.ends_with(".js")) return "text/javascript; charset=utf-8";
    if (path.ends_with(".css")) return "text/css; charset=utf-8";
    if (path.ends_with(".svg")) return "image/svg+xml";
    if (path.ends_with(".wasm")) return "application/wasm";
    if (path.ends_with(".wav")) return "audio/wav";
    if (path.ends_with(".opus")) return "audio/ogg";
    return "application/octet-stream";
}

} // namespace

Response App::getPage(Request& req) {
    const bool watch = req.path.starts_with("/watch/");
    if (watch && !isRunId(req.captures.at(0))) throw ApiError(404, "a run's id is 64 lowercase hex digits");
    const std::string path = req.path == "/" ? "/index.html" : watch ? "/watch.html" : req.path;
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

std::shared_ptr<const std::map<std::string, std::string>> loadPlayerFiles(const std::filesystem::path& dir,
                                                                          std::string* why) {
    static const char* const kNames[] = {"tolvane-web.js", "tolvane-web.wasm", "wave101.wav", "wave102.wav",
                                         "wave103.wav",    "wave104.wav",      "wave105.wav", "wave106.wav",
                                         "stage1.opus",    "stage2.opus",      "boss.opus",   "lastboss.opus",
                                         "CLEAR.opus"};
    constexpr std::uintmax_t kMaxSize = 32u << 20;
    auto files = std::make_shared<std::map<std::string, std::string>>();
    for (const char* name : kNames) {
        const std::filesystem::path path = dir / name;
        std::error_code ec;
        const bool regular = std::filesystem::is_regular_file(path, ec);
        const std::uintmax_t size = regular ? std::filesystem::file_size(path, ec) : 0;
        std::ifstream in(path, std::ios::binary);
        if (!regular || ec || !in) {
            *why = "the web player has no " + path.string() + " (web/build.sh makes the folder)";
            return nullptr;
        }
        if (size > kMaxSize) {
            *why = path.string() + " is larger than 32 MiB: not a file of the web player";
            return nullptr;
        }
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad()) {
            *why = "cannot read " + path.string();
            return nullptr;
        }
        (*files)[name] = std::move(bytes);
    }
    return files;
}

// The web player's files, read once at start-up (main.cpp): only names it read are served,
// from where they lie (the answer shares the files' map, which never changes).
Response App::getPlayerFile(Request& req) {
    const std::string& name = req.captures.at(0);
    if (!settings_.player) throw ApiError(404, "the web player is not installed on this server");
    auto it = settings_.player->find(name);
    if (it == settings_.player->end()) throw ApiError(404, "nothing here");
    Response r{200, typeOf(name), {}, {{"Cache-Control", "no-cache"}, {"X-Content-Type-Options", "nosniff"}}};
    r.sharedBody = std::shared_ptr<const std::string>(settings_.player, &it->second);
    return r;
}

} // namespace tolvane::server
