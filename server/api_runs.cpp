// /api/v1/runs: sending a run, reading one, downloading its replay.
#include <chrono>
#include <cmath>

#include "names/name_rule.h"
#include "server/app.h"
#include "server/branches.h"
#include "server/identity.h"
#include "server/verify.h"

namespace tolvane::server {

namespace {

double seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string field(const Json& body, const char* name) {
    auto it = body.find(name);
    if (it == body.end()) throw ApiError(400, std::string("the field \"") + name + "\" is missing");
    if (!it->is_string()) throw ApiError(400, std::string("the field \"") + name + "\" must be a string");
    return it->get<std::string>();
}

bool hexDigits(const std::string& s, std::size_t n) {
    if (s.size() != n) return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// The refusal of a name that reads the same as the name of another key, naming theirs.
std::string nameTaken(Store& store, const std::string& fold, const std::string& shown) {
    std::optional<std::string> theirs;
    if (auto owner = store.nameOwner(fold))
        if (auto page = store.player(*owner, {}, 0, 0)) theirs = page->name;
    std::string why = "the name \"" + shown + "\" belongs to another player";
    if (theirs && *theirs != shown) why += ": it reads the same as their name \"" + *theirs + "\"";
    return why;
}

} // namespace

// Checks everything that is cheap first (the form, the rate, the signature, the name),
// then hands the replay to a worker; the answer comes when the game has been played
// and the run stored.
void App::postRun(Request& req, Respond respond) {
    const Json body = Json::parse(req.body, nullptr, false);
    if (body.is_discarded()) throw ApiError(400, "the body is not JSON");
    if (!body.is_object()) throw ApiError(400, "the body must be a JSON object");
    const std::string player = field(body, "player");
    const std::string name = field(body, "name");
    const std::string replay64 = field(body, "replay");
    const std::string signature = field(body, "signature");
    if (!isPlayerKey(player))
        throw ApiError(400, "player must be 64 lowercase hex digits (an Ed25519 public key)");
    if (auto problem = names::problem(name)) throw ApiError(400, *problem);
    if (!hexDigits(signature, 128)) throw ApiError(400, "signature must be 128 hex digits");

    // The address pays for the work of checking; the player's own budget only for runs it
    // really signed, so nobody can use up another player's.
    int retry = 0;
    if (!submitsPerAddress_.take(req.addressGroup, seconds(), &retry)) {
        std::lock_guard lock(metrics_.m);
        ++metrics_.rateLimited["submit_address"];
        throw ApiError(429, "too many runs sent from this address", retry);
    }
    auto replay = fromBase64(replay64);
    if (!replay) throw ApiError(400, "the replay is not base64");
    if (!signatureValid(player, signature, runMessage(player, name, *replay)))
        throw ApiError(401, "the signature does not match the player's key");
    if (!submitsPerPlayer_.take(player, seconds(), &retry)) {
        std::lock_guard lock(metrics_.m);
        ++metrics_.rateLimited["submit_player"];
        throw ApiError(429, "too many runs sent by this player", retry);
    }
    // Signed as sent; stored and shown in its normal form; one name with all that read the same.
    const std::string shown = names::normalized(name);
    const std::string fold = names::skeleton(name);
    if (auto owner = store_->nameOwner(fold); owner && *owner != player)
        throw ApiError(403, nameTaken(*store_, fold, shown));

    // One address group holds at most a quarter of the queue, waiting or being played; its
    // place is given back before the answer goes out.
    const int wait = 1 + static_cast<int>(settings_.queue / (4 * std::max(1u, settings_.workers)));
    auto place = perGroup_.take(req.addressGroup);
    if (!place) {
        std::lock_guard lock(metrics_.m);
        ++metrics_.rateLimited["submit_queue_share"];
        throw ApiError(429, "too many runs from this address are waiting to be verified", wait);
    }
    respond = [place, respond](Response r) {
        place->release();
        respond(std::move(r));
    };

    const std::int64_t submittedAt = now();
    auto job = [this, respond, player, name = shown, fold, submittedAt, bytes = std::move(*replay)] {
        try {
            const auto started = std::chrono::steady_clock::now();
            // The game's play is kept while it is verified: the run's index and the
            // comparison with the earlier runs it may share play with.
            branches::Played played = branches::play(bytes);
            const Verified& v = played.verdict;
            metrics_.verified++;
            metrics_.verifyMicroseconds +=
                static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                               std::chrono::steady_clock::now() - started)
                                               .count());
            auto outcome = [&](const char* what) {
                std::lock_guard lock(metrics_.m);
                ++metrics_.submissions[what];
            };
            if (!v.ok) {
                outcome("refused");
                respond(errorResponse(400, "the replay cannot be used: " + v.reason));
                return;
            }
            // What is stored and served is the game itself, not the file as sent.
            storer_->put({store_->ready({v.id, player, name, fold, v.game, v.figures, submittedAt,
                                         std::make_shared<const branches::Play>(std::move(played.play))}),
                          respond});
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tolvane-server: storing a run: %s\n", e.what());
            respond(errorResponse(500, "the server failed to store the run"));
        }
    };
    if (!verifier_->offer(std::move(job))) {
        metrics_.queueFull++;
        // About how long the replays already waiting take, at a few per second per worker.
        throw ApiError(503, "too many runs are waiting to be verified", wait);
    }
}

// One transaction for the batch. A batch that fails is stored again run by run, so that a
// run the database refuses costs only its own answer.
void App::storeBatch(std::vector<Storing>& batch) {
    std::vector<ReadyRun> runs;
    runs.reserve(batch.size());
    for (Storing& s : batch) runs.push_back(std::move(s.run));
    const auto started = std::chrono::steady_clock::now();
    auto timed = [&](std::size_t count) {
        metrics_.storeBatches++;
        metrics_.stored += count;
        metrics_.storeMicroseconds += static_cast<std::uint64_t>(
            std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started)
                .count());
    };
    try {
        const std::vector<Submitted> stored = store_->store(runs);
        timed(runs.size());
        for (std::size_t i = 0; i < batch.size(); ++i) answerStored(stored[i], runs[i].run, batch[i].respond);
        return;
    } catch (const std::exception& e) {
        if (batch.size() == 1) {
            std::fprintf(stderr, "tolvane-server: storing a run: %s\n", e.what());
            batch[0].respond(errorResponse(500, "the server failed to store the run"));
            return;
        }
    }
    for (std::size_t i = 0; i < batch.size(); ++i) {
        try {
            answerStored(store_->store({runs[i]}).at(0), runs[i].run, batch[i].respond);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tolvane-server: storing a run: %s\n", e.what());
            batch[i].respond(errorResponse(500, "the server failed to store the run"));
        }
    }
    timed(runs.size());
}

void App::answerStored(const Submitted& s, const NewRun& run, const Respond& respond) {
    auto outcome = [&](const char* what) {
        std::lock_guard lock(metrics_.m);
        ++metrics_.submissions[what];
    };
    switch (s.outcome) {
    case Outcome::Created:
        outcome(s.run->branchOf ? "branch" : "created");
        tableChanged();
        respond(jsonResponse(201, runJson(*s.run)));
        return;
    case Outcome::AlreadyYours:
        outcome("same");
        tableChanged(); // the name may have changed
        respond(jsonResponse(200, runJson(*s.run)));
        return;
    case Outcome::TakenByOther:
        outcome("taken");
        respond(errorResponse(409, "this game was already sent by another player"));
        return;
    case Outcome::NameTaken:
        outcome("name_taken");
        respond(errorResponse(403, nameTaken(*store_, run.nameFold, run.name)));
        return;
    case Outcome::Hidden:
        outcome("hidden");
        respond(errorResponse(409, "this game was hidden by the server's operators"));
        return;
    }
}

Response App::getRun(Request& req) {
    const std::string& id = req.captures.at(0);
    if (!isRunId(id)) throw ApiError(400, "a run's id is 64 lowercase hex digits");
    auto run = store_->run(id);
    if (!run) throw ApiError(404, "no such run");
    return jsonResponse(200, runJson(*run));
}

Response App::getReplay(Request& req) {
    const std::string& id = req.captures.at(0);
    if (!isRunId(id)) throw ApiError(400, "a run's id is 64 lowercase hex digits");
    const std::string etag = "\"" + id + "\"";
    // The bytes of a run never change: a client that has them needs nothing more.
    if (req.header("if-none-match") == etag) {
        if (!store_->run(id)) throw ApiError(404, "no such run");
        return {304, "application/octet-stream", "", {{"ETag", etag}}};
    }
    auto bytes = store_->replay(id);
    if (!bytes) throw ApiError(404, "no such run");
    return {200,
            "application/octet-stream",
            std::move(*bytes),
            {{"ETag", etag},
             {"Cache-Control", "public, max-age=31536000, immutable"},
             {"Content-Disposition", "attachment; filename=\"tolvane-" + id.substr(0, 12) + ".rep\""}}};
}

} // namespace tolvane::server
