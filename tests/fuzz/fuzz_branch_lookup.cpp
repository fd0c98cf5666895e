// Fuzzes what the branch lookup makes of a run: the first byte picks what the rest is.
// 0: replay bytes, played by the game as a submission is, then keyed and compared. 1: a
// play made directly (the bytes as input, worlds equal to the original's for a stretch),
// to reach every path of the comparison fast. Checked: a run compared with itself shares
// all it can and never stops; the keys stay within the budget, unique and not 0; every
// comparison with the fixed original gives a frame inside the run and shares in range.
#include <algorithm>
#include <cstdint>
#include <set>
#include <string>

#include "fuzz_check.h"
#include "server/branches.h"
#include "server/verify.h"
#include "tests/server/branches_support.h"

using namespace tolvane::server;

namespace {

const branches::Play& original() {
    static const branches::Play p = [] {
        setUpHeadlessGames();
        auto played = branches::play(testsupport::humanGame(3));
        check(played.verdict.ok);
        return played.play;
    }();
    return p;
}

long densestWindow(const branches::Play& p) {
    long best = 0, now = 0;
    for (long f = 0; f < p.frames(); ++f) {
        now += (p.input[static_cast<std::size_t>(f)] & 0x1F) != 0;
        if (f >= branches::kWindow)
            now -= (p.input[static_cast<std::size_t>(f - branches::kWindow)] & 0x1F) != 0;
        if (f + 1 >= branches::kWindow) best = std::max(best, now);
    }
    return best;
}

void checkSharing(const branches::Sharing& s, const branches::Play& run) {
    check(s.frame >= 0 && s.frame <= run.frames());
    check(s.runShared >= 0 && s.runShared <= s.shared && s.runShared <= s.runActive);
    check(s.fraction() >= 0.0 && s.fraction() <= 1.0);
    if (!s.branch) check(s.shared == 0 && s.frame == 0);
}

void checkPlay(const branches::Play& run) {
    const auto keys = branches::keys(run);
    check(keys.size() <= branches::kMaxKeys);
    check(keys.size() * branches::kKeyRowBytes <= 8 * 1024);
    check(std::set<std::int64_t>(keys.begin(), keys.end()).size() == keys.size());
    check(std::find(keys.begin(), keys.end(), 0) == keys.end());

    const branches::Sharing self = branches::compare(run, run);
    checkSharing(self, run);
    check(self.branch == (densestWindow(run) >= branches::kWindowActive));
    if (self.branch) check(self.frame == run.frames() && self.runShared == self.shared);

    checkSharing(branches::compare(run, original()), run);
    checkSharing(branches::compare(original(), run), original());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const branches::Play& o = original();
    if (data[0] % 2 == 0) {
        const branches::Played p = branches::play(rest);
        if (!p.verdict.ok) return 0;
        check(p.play.frames() == p.verdict.figures.frames);
        check(p.play.world.size() == p.play.input.size());
        check(p.play.blocks.size() == p.play.input.size() / branches::kBlock);
        checkPlay(p.play);
        return 0;
    }
    // The first two bytes: how many frames the worlds stay the original's; then the input,
    // each byte repeated so that short inputs still make long plays.
    if (rest.size() < 3) return 0;
    const long same =
        (static_cast<unsigned char>(rest[0]) | static_cast<unsigned char>(rest[1]) << 8) % 30000;
    const long repeat = 1 + static_cast<unsigned char>(rest[2]) % 64;
    branches::Play run;
    for (std::size_t i = 3; i < rest.size() && run.input.size() < 25001; ++i)
        for (long r = 0; r < repeat && run.input.size() < 25001; ++r) run.input += rest[i];
    for (long f = 0; f < run.frames(); ++f)
        run.world.push_back(f < same && f < o.frames() ? o.world[static_cast<std::size_t>(f)]
                                                       : 0x5EED0000ull + static_cast<std::uint64_t>(f));
    for (long b = 0; b < run.frames() / branches::kBlock; ++b)
        run.blocks.push_back(b < same / branches::kBlock && static_cast<std::size_t>(b) < o.blocks.size()
                                 ? o.blocks[static_cast<std::size_t>(b)]
                                 : 0xB10C0000ull + static_cast<std::uint64_t>(b));
    checkPlay(run);
    return 0;
}
