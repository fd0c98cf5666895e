// tolvane-server: the online table. Every run sent is played again by the game itself,
// and only the score it computes is ranked.
//   tolvane-server [--listen ADDRESS:PORT] [--db FILE | --db postgresql://...] [--player DIR]
//                  [--tls-cert FILE --tls-key FILE] [--trusted-proxy ADDR,...] [limits]
//   tolvane-server hide RUN [--db ...]      hides a run from the tables and pages
//   tolvane-server reverify [--db ...]      plays every stored replay again
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "common/appdir.h"
#include "common/version.h"
#include "server/app.h"
#include "server/identity.h"
#include "server/pages.h"
#include "server/tls.h"
#include "server/verify.h"

using namespace tolvane::server;

namespace {

constexpr const char* kHelp =
    "Usage: tolvane-server [--listen ADDRESS:PORT] [--db FILE | --db postgresql://...] [OPTIONS]\n"
    "       tolvane-server hide RUN [--db ...]\n"
    "       tolvane-server reverify [--db ...]\n"
    "The Tolvane online table: plays every run sent to it with the game and ranks the\n"
    "score it computes. Serves the API under /api/v1, a web page at /, /healthz and\n"
    "/metrics.\n"
    "\n"
    "  --listen ADDRESS:PORT     where to listen (default 127.0.0.1:8080; [::1]:8080)\n"
    "  --db FILE                 a SQLite database (default: runs.sqlite in\n"
    "                            $STATE_DIRECTORY, else $XDG_DATA_HOME/tolvane-server)\n"
    "  --db postgresql://...     a PostgreSQL database, which several servers may share\n"
    "  --player DIR              the web player (web/build.sh's build-web/player), for the\n"
    "                            /watch/RUN pages; without it they say it is missing\n"
    "  --workers N               threads that play replays (default: one per core)\n"
    "  --queue N                 replays that may wait for them (default 64; then 503);\n"
    "                            one address holds at most a quarter (then 429)\n"
    "  --readers N               threads that read the database (default 4)\n"
    "  --read-queue N            requests that may wait for them (default 256; then 503)\n"
    "  --max-connections N       connections in all (default 1000)\n"
    "  --max-per-address N       connections from one address (default 64)\n"
    "  --timeout SECONDS         a silent connection is closed (default 15)\n"
    "  --requests-per-second N   requests from one address, an IPv6 one by its /64\n"
    "                            (default 50; then 429)\n"
    "  --submits-per-minute N    runs sent from one address (default 60)\n"
    "  --player-submits-per-minute N  runs sent by one player (default 20)\n"
    "  --tls-cert FILE --tls-key FILE  HTTPS only, with this PEM certificate (chain)\n"
    "                            and its unencrypted PEM key; plain HTTP is not answered\n"
    "  --trusted-proxy ADDR[,ADDR...]  reverse proxies whose X-Forwarded-For names\n"
    "                            the client, for the limits and the log (the right-most\n"
    "                            address in it that is not one of these)\n"
    "  --metrics-from ADDR[,ADDR...]   who may read /metrics besides loopback, by the\n"
    "                            connection's own address (others get 404)\n"
    "\n"
    "  hide RUN                  hides the run with that id from the tables and pages\n"
    "  reverify                  plays every stored replay again and names each whose\n"
    "                            result differs from the stored one (exit status 3)\n"
    "  --help, --version\n"
    "Exit status: 0 done, 1 a fault, 2 bad arguments, 3 reverify found differences.\n";

int usage(const std::string& why) {
    std::fprintf(stderr, "tolvane-server: %s\nTry tolvane-server --help.\n", why.c_str());
    return 2;
}

std::string defaultDatabase() {
    namespace fs = std::filesystem;
    fs::path dir;
    if (const char* state = std::getenv("STATE_DIRECTORY"); state && *state) {
        std::string first = state;
        dir = first.substr(0, first.find(':')); // systemd may list several
    } else if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        dir = fs::path(data) / "tolvane-server";
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        dir = fs::path(home) / ".local/share/tolvane-server";
    } else {
        dir = ".";
    }
    std::error_code ec;
    fs::create_directories(dir, ec);
    return (dir / "runs.sqlite").string();
}

bool parseNumber(const char* s, long lo, long hi, long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtol(s, &end, 10);
    return end != s && *end == '\0' && errno == 0 && out >= lo && out <= hi;
}

int serve(const std::string& listen, const std::string& db, const Settings& settings,
          const std::optional<TlsFiles>& tls) {
    const std::size_t colon = listen.rfind(':');
    if (colon == std::string::npos) return usage("--listen wants ADDRESS:PORT");
    std::string host = listen.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    long port = 0;
    if (!parseNumber(listen.c_str() + colon + 1, 0, 65535, port))
        return usage("bad port in --listen " + listen);

    std::unique_ptr<Store> store;
    try {
        store = std::make_unique<Store>(openDatabase(db));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolvane-server: %s\n", e.what());
        return 1;
    }
    // SIGTERM and SIGINT end the server; they are waited for below, on this thread only.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    App app(std::move(store), settings);
    std::mutex logMutex;
    HttpServer http(
        settings.http, [&app](Request& req, Respond respond) { app.handle(req, std::move(respond)); },
        [&app, &logMutex](const RequestLog& l) {
            app.count(l);
            std::lock_guard lock(logMutex);
            std::fprintf(stderr, "%s \"%s %s\" %d %llu %.1fms\n", l.address.c_str(),
                         printable(l.method).c_str(), printable(l.path).c_str(), l.status,
                         static_cast<unsigned long long>(l.bytes), l.seconds * 1000);
        });
    app.setOpenConnections([&http] { return http.openConnections(); });
    if (tls) http.useTls(tls->certificate, tls->key);
    std::string why;
    if (!http.start(host, static_cast<int>(port), &why)) {
        std::fprintf(stderr, "tolvane-server: %s\n", why.c_str());
        return 1;
    }
    std::fprintf(stderr, "tolvane-server %s: listening on %s:%d%s, database %s (%s), %u workers\n",
                 TOLVANE_VERSION, host.c_str(), http.port(), tls ? " (HTTPS only)" : "", app.store().kind(),
                 db.starts_with("postgres") ? "URL" : db.c_str(), settings.workers);
    std::fflush(stderr);
    int sig = 0;
    sigwait(&signals, &sig);
    std::fprintf(stderr, "tolvane-server: stopping (%s)\n", strsignal(sig));
    // Runs being verified are finished and answered before the connections close.
    app.drain();
    http.stop();
    return 0;
}

int hide(const std::string& db, const std::string& id) {
    if (!isRunId(id)) return usage("a run's id is 64 lowercase hex digits");
    try {
        Store store(openDatabase(db));
        if (!store.hide(id)) {
            std::fprintf(stderr, "tolvane-server: no run %s\n", id.c_str());
            return 1;
        }
        std::printf("hidden: %s\n", id.c_str());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolvane-server: %s\n", e.what());
        return 1;
    }
}

std::string figuresText(const Figures& f) {
    char buf[256];
    std::snprintf(buf, sizeof buf,
                  "score %lld, level %lld, maxChain %lld, totalContacts %lld, endFrame %lld, timeBonus %lld, "
                  "finalBonus %lld, timeLeft %lld",
                  static_cast<long long>(f.score), static_cast<long long>(f.level),
                  static_cast<long long>(f.maxChain), static_cast<long long>(f.totalContacts),
                  static_cast<long long>(f.endFrame), static_cast<long long>(f.timeBonus),
                  static_cast<long long>(f.finalBonus), static_cast<long long>(f.timeLeft));
    return buf;
}

// Plays every stored replay again on every core and names each whose result or id is
// not what was stored (a change of the game's rules would show here first). The index
// is built again from the plays, and each run's branch verdict is given again in the
// order of submission, against the runs before it.
int reverify(const std::string& db, unsigned workers) {
    try {
        Store store(openDatabase(db));
        long played = 0, differ = 0, branched = 0;
        store.clearIndex();
        // The games of a batch are played side by side, then judged one after another.
        struct Job {
            Run run;
            std::string bytes;
            tolvane::server::branches::Played result;
        };
        std::vector<Job> batch;
        auto judge = [&] {
            {
                WorkQueue pool(workers, batch.size());
                for (Job& j : batch) pool.put([&j] { j.result = tolvane::server::branches::play(j.bytes); });
            }
            for (Job& j : batch) {
                const Verified& v = j.result.verdict;
                ++played;
                if (!v.ok) {
                    ++differ;
                    std::printf("%s: the replay is refused now: %s\n", j.run.id.c_str(), v.reason.c_str());
                    continue;
                }
                if (v.id != j.run.id || !(v.figures == j.run.figures)) {
                    ++differ;
                    std::printf("%s: stored %s\n%*s  now    %s%s\n", j.run.id.c_str(),
                                figuresText(j.run.figures).c_str(), 64, "", figuresText(v.figures).c_str(),
                                v.id != j.run.id ? (", id " + v.id).c_str() : "");
                }
                const auto keys = tolvane::server::branches::keys(j.result.play);
                const auto original = store.originalOf(j.result.play, keys, j.run.seq);
                store.setIndex(j.run.seq, keys, original);
                if (original) {
                    ++branched;
                    if (!j.run.branchOf || j.run.branchOf->id != original->id)
                        std::printf("%s: a branch of %s until frame %lld\n", j.run.id.c_str(),
                                    original->id.c_str(), static_cast<long long>(original->frame));
                } else if (j.run.branchOf) {
                    std::printf("%s: no longer a branch of %s\n", j.run.id.c_str(),
                                j.run.branchOf->id.c_str());
                }
            }
            batch.clear();
        };
        store.forEachRun([&](const Run& run, const std::string& bytes) {
            batch.push_back({run, bytes, {}});
            if (batch.size() >= 2 * workers) judge();
        });
        if (!batch.empty()) judge();
        std::printf("%ld runs played again, %ld differ, %ld branches\n", played, differ, branched);
        return differ ? 3 : 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tolvane-server: %s\n", e.what());
        return 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string command, runId, listen = "127.0.0.1:8080", db, tlsCert, tlsKey;
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        auto number = [&](long lo, long hi, long& out) {
            const char* v = value();
            return v && parseNumber(v, lo, hi, out);
        };
        long n = 0;
        if (a == "--help" || a == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (a == "--version") {
            std::printf("tolvane-server %s\n", TOLVANE_VERSION);
            return 0;
        } else if (a == "--listen") {
            const char* v = value();
            if (!v) return usage("--listen wants ADDRESS:PORT");
            listen = v;
        } else if (a == "--db") {
            const char* v = value();
            if (!v || !*v) return usage("--db wants a file or a postgresql:// URL");
            db = v;
        } else if (a == "--player") {
            const char* v = value();
            if (!v || !*v) return usage("--player wants the web player's folder");
            std::string why;
            settings.player = loadPlayerFiles(v, &why);
            if (!settings.player) {
                std::fprintf(stderr, "tolvane-server: %s\n", why.c_str());
                return 1;
            }
        } else if (a == "--tls-cert" || a == "--tls-key") {
            const char* v = value();
            if (!v || !*v) return usage(a + " wants a PEM file");
            (a == "--tls-cert" ? tlsCert : tlsKey) = v;
        } else if (a == "--trusted-proxy" || a == "--metrics-from") {
            const char* v = value();
            std::string why;
            auto list = v ? AddressList::parse(v, &why) : std::nullopt;
            if (!list) return usage(a + " wants ADDRESS[,ADDRESS...]" + (v ? ": " + why : ""));
            (a == "--trusted-proxy" ? settings.http.trustedProxies : settings.metricsFrom) = std::move(*list);
        } else if (a == "--workers" && number(1, 256, n)) {
            settings.workers = static_cast<unsigned>(n);
        } else if (a == "--queue" && number(0, 100000, n)) {
            settings.queue = static_cast<std::size_t>(n);
        } else if (a == "--readers" && number(1, 256, n)) {
            settings.readers = static_cast<unsigned>(n);
        } else if (a == "--read-queue" && number(0, 100000, n)) {
            settings.readQueue = static_cast<std::size_t>(n);
        } else if (a == "--max-connections" && number(1, 100000, n)) {
            settings.http.maxConnections = static_cast<unsigned>(n);
        } else if (a == "--max-per-address" && number(1, 100000, n)) {
            settings.http.perAddressConnections = static_cast<unsigned>(n);
        } else if (a == "--timeout" && number(1, 3600, n)) {
            settings.http.idleTimeoutSeconds = static_cast<unsigned>(n);
        } else if (a == "--requests-per-second" && number(1, 10000000, n)) {
            settings.requestsPerSecond = static_cast<double>(n);
        } else if (a == "--submits-per-minute" && number(1, 10000000, n)) {
            settings.submitsPerMinute = static_cast<double>(n);
        } else if (a == "--player-submits-per-minute" && number(1, 10000000, n)) {
            settings.playerSubmitsPerMinute = static_cast<double>(n);
        } else if (command.empty() && (a == "hide" || a == "reverify")) {
            command = a;
            if (a == "hide") {
                const char* v = value();
                if (!v) return usage("hide wants a run's id");
                runId = v;
            }
        } else {
            return usage("unknown or incomplete argument: " + a);
        }
    }
    if (!setUpIdentity()) {
        std::fprintf(stderr, "tolvane-server: libsodium cannot start\n");
        return 1;
    }
    setUpHeadlessGames();
    if (db.empty()) db = defaultDatabase();
    if (command.empty() && !settings.player) {
        // Installed with the server (share/tolvane-server/player beside its bin folder):
        // the web player is served without being named.
        const std::filesystem::path installed = common::applicationDirectory() / TOLVANE_PLAYER_FROM_BIN;
        std::error_code ec;
        if (std::filesystem::is_directory(installed, ec)) {
            std::string why;
            settings.player = loadPlayerFiles(installed, &why);
            if (!settings.player) {
                std::fprintf(stderr, "tolvane-server: %s\n", why.c_str());
                return 1;
            }
            std::fprintf(stderr, "tolvane-server: the web player from %s\n",
                         installed.lexically_normal().c_str());
        }
    }
    if (command == "hide") return hide(db, runId);
    if (command == "reverify") return reverify(db, settings.workers);
    if (tlsCert.empty() != tlsKey.empty()) return usage("--tls-cert and --tls-key go together");
    std::optional<TlsFiles> tls;
    if (!tlsCert.empty()) {
        std::string why;
        tls = loadTlsFiles(tlsCert, tlsKey, &why);
        if (!tls) {
            std::fprintf(stderr, "tolvane-server: %s\n", why.c_str());
            return 1;
        }
    }
    return serve(listen, db, settings, tls);
}
