// The comparison of two runs for the page's plot: the same figures, lines and lost
// spans as `tolvane-replay compare` (game/tolvane_replay.cpp), checked against it by
// web/tests/check_web.sh compare.
#include "web/compare.h"

#include <algorithm>

#include "media/dtools.h"
#include "media/stools.h"
#include "records/records.h"

namespace web {

using namespace tolvane;

namespace {

constexpr long kEvery = 60;
constexpr long kLostSpan = 600; // 10 s
constexpr int kLostCount = 3;

long long scoreAt(const PlayedGame& g, long f) { return g.score[std::min(f, g.end)]; }

} // namespace

bool playHeadless(std::string_view bytes, PlayedGame& out, std::string* why) {
    out = {};
    UnseenFrames unseen;
    Session game;
    if (!loadReplayBytes(game.world(), bytes, why)) return false;
    game.preparePlayback();
    game.world().running = 1;
    game.begin();
    out.points = splitPoints(game.world());
    out.running.assign(out.points.size(), 0);
    std::size_t next = 0;
    for (long f = 0; f < kReplaySlots; ++f) {
        const bool ended = game.frame();
        out.score.push_back(game.world().score);
        for (; next < out.points.size() && out.points[next].frame <= f; ++next)
            out.running[next] = out.points[next].frame == f && game.world().timeUpDone == 0;
        if (ended) {
            out.end = f;
            break;
        }
    }
    if (out.end < 0) {
        if (why) *why = "the game did not end within " + std::to_string(kReplaySlots) + " frames";
        out = {};
        return false;
    }
    for (; next < out.points.size(); ++next) out.running[next] = game.world().timeUpDone == 0;
    out.ok = true;
    return true;
}

std::string compareJson(const PlayedGame& a, const PlayedGame& b) {
    if (!a.ok || !b.ok) return "{\"error\": \"both games must be played first\"}";
    const long frames = std::max(a.end, b.end) + 1;
    std::vector<long long> gap(frames);
    for (long f = 0; f < frames; ++f) gap[f] = scoreAt(a, f) - scoreAt(b, f);
    std::string as, bs;
    for (long f = 0; f < frames; f += kEvery) {
        as += (f ? "," : "") + std::to_string(scoreAt(a, f));
        bs += (f ? "," : "") + std::to_string(scoreAt(b, f));
    }
    std::string splits;
    for (std::size_t i = 0; i < a.points.size(); ++i) {
        const long f = a.points[i].frame;
        if (!a.running[i] || f < 0 || f >= frames) continue;
        splits += std::string(splits.empty() ? "" : ", ") + "{\"frame\": " + std::to_string(f) +
                  ", \"split\": \"" + a.points[i].name() + "\", \"a\": " + std::to_string(scoreAt(a, f)) +
                  ", \"b\": " + std::to_string(scoreAt(b, f)) + ", \"diff\": " + std::to_string(gap[f]) + "}";
    }
    std::string lost;
    for (const Loss& l : worstSpans(gap, kLostSpan, kLostCount)) {
        lost += std::string(lost.empty() ? "" : ", ") + "{\"from\": " + std::to_string(l.from) +
                ", \"to\": " + std::to_string(l.to) + ", \"by\": " + std::to_string(l.by) + "}";
    }
    return "{\"every\": " + std::to_string(kEvery) + ", \"a\": [" + as + "], \"b\": [" + bs +
           "], \"splits\": [" + splits + "], \"lost\": [" + lost + "], \"endA\": " + std::to_string(a.end) +
           ", \"endB\": " + std::to_string(b.end) + ", \"finalA\": " + std::to_string(a.score.back()) +
           ", \"finalB\": " + std::to_string(b.score.back()) + "}";
}

} // namespace web
