// Fuzzes the server's request handling without HTTP: the first byte picks what the rest
// is. 0: the body of POST /api/v1/runs (JSON, fields, base64). 1: a name and replay bytes,
// sent as a correctly signed run, so that arbitrary replays reach the game and the store.
// 2: a GET path and query. Every answer is checked: exactly one, a known status, an
// {"error": ...} body for refusals, and for replays the game's own verdict.
#include <sodium.h>

#include <cstdint>
#include <cstring>
#include <future>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <unistd.h>

#include "fuzz_check.h"
#include "names/name_rule.h"
#include "records/records.h"
#include "server/app.h"
#include "server/identity.h"
#include "server/verify.h"

using namespace tolvane;
using namespace tolvane::server;

namespace {

struct Fixture {
    App* app;
    unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
    std::string player;
};

Fixture& fixture() {
    static Fixture* f = [] {
        check(setUpIdentity());
        setUpHeadlessGames();
        auto* fx = new Fixture;
        // One key for every run; its seed is fixed so that runs repeat between fuzzing runs.
        unsigned char seed[crypto_sign_SEEDBYTES] = {7};
        crypto_sign_seed_keypair(fx->pk, fx->sk, seed);
        fx->player = hexOf({reinterpret_cast<char*>(fx->pk), sizeof fx->pk});
        char dir[] = "/tmp/tolvane-fuzz-server-XXXXXX";
        check(mkdtemp(dir) != nullptr);
        Settings s;
        s.workers = 1;
        s.queue = 4;
        s.requestsPerSecond = s.submitsPerMinute = s.playerSubmitsPerMinute = 1e12;
        fx->app = new App(std::make_unique<Store>(openDatabase(std::string(dir) + "/runs.sqlite")), s);
        return fx;
    }();
    return *f;
}

Response ask(Request& req) {
    std::promise<Response> answer;
    int calls = 0;
    fixture().app->handle(req, [&](Response r) {
        ++calls;
        answer.set_value(std::move(r));
    });
    Response r = answer.get_future().get();
    check(calls == 1);
    return r;
}

void checkRefusal(const Response& r) {
    if (r.status < 400) return;
    const auto body = nlohmann::json::parse(r.body, nullptr, false);
    check(body.is_object() && body.size() == 1 && body.contains("error") && body["error"].is_string() &&
          !body["error"].get<std::string>().empty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    Fixture& fx = fixture();
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    Request req;
    req.address = "127.0.0.1";
    req.addressGroup = req.address;
    switch (data[0] % 3) {
    case 0: {
        req.method = "POST";
        req.path = "/api/v1/runs";
        req.body = rest;
        const Response r = ask(req);
        static const std::set<int> allowed = {200, 201, 400, 401, 403, 409, 503};
        check(allowed.count(r.status) == 1);
        checkRefusal(r);
        break;
    }
    case 1: {
        const std::size_t nameLength =
            rest.empty() ? 0 : std::min<std::size_t>(rest[0] & 31, rest.size() - 1);
        const std::string name = rest.empty() ? std::string() : rest.substr(1, nameLength);
        const std::string replay = rest.size() > 1 + nameLength ? rest.substr(1 + nameLength) : std::string();
        const std::string message = runMessage(fx.player, name, replay);
        unsigned char sig[crypto_sign_BYTES];
        crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(message.data()),
                             message.size(), fx.sk);
        nlohmann::json body = {{"player", fx.player},
                               {"name", name},
                               {"replay", toBase64(replay)},
                               {"signature", hexOf({reinterpret_cast<char*>(sig), sizeof sig})}};
        req.method = "POST";
        req.path = "/api/v1/runs";
        req.body = body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        const Response r = ask(req);
        checkRefusal(r);
        // Bytes that are not UTF-8 reach the server replaced, so not as they were signed.
        const std::string sent = nlohmann::json::parse(req.body)["name"].get<std::string>();
        if (names::problem(sent)) {
            check(r.status == 400);
            break;
        }
        if (sent != name) {
            check(r.status == 401);
            break;
        }
        const Verified v = verifyReplay(replay);
        if (!v.ok) {
            // The game's reason, word for word.
            check(r.status == 400);
            check(nlohmann::json::parse(r.body)["error"] == "the replay cannot be used: " + v.reason);
            break;
        }
        check(r.status == 200 || r.status == 201 || r.status == 409);
        if (r.status != 409) {
            const auto run = nlohmann::json::parse(r.body);
            check(run["score"] == v.figures.score && run["endFrame"] == v.figures.endFrame &&
                  run["frames"] == v.figures.frames && run["level"] == v.figures.level &&
                  run["maxChain"] == v.figures.maxChain && run["timeLeft"] == v.figures.timeLeft &&
                  run["player"] == fx.player);
            check(r.status == 200 || run["id"] == v.id);
        }
        break;
    }
    default: {
        req.method = "GET";
        const std::size_t q = rest.find('?');
        req.path = rest.substr(0, q);
        if (q != std::string::npos) {
            std::string query = rest.substr(q + 1);
            for (std::size_t at = 0; at <= query.size();) {
                std::size_t amp = query.find('&', at);
                if (amp == std::string::npos) amp = query.size();
                const std::string pair = query.substr(at, amp - at);
                const std::size_t eq = pair.find('=');
                req.query[pair.substr(0, eq)] = eq == std::string::npos ? "" : pair.substr(eq + 1);
                at = amp + 1;
            }
        }
        const Response r = ask(req);
        static const std::set<int> allowed = {200, 304, 400, 404, 405};
        check(allowed.count(r.status) == 1);
        checkRefusal(r);
        if (r.status == 200 && r.contentType == "application/json")
            check(!nlohmann::json::parse(r.body, nullptr, false).is_discarded());
        break;
    }
    }
    return 0;
}
