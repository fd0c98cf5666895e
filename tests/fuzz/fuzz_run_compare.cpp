// Fuzzes the run page's comparison (web/compare.cpp, built natively here): two replays
// from a server played to their ends and compared. The first byte picks what the rest
// is. 0: two replays' bytes, the first one's length in the next two bytes. 1: a gap made
// directly (a span length, a count, then each pair of bytes a signed change of the gap),
// to reach the lost spans' edges fast. Checked: the JSON parses, with one score per 60
// frames up to the later end and splits inside the games; the lost spans are at most as
// many as asked, apart, no longer than the span, each the fall it claims, largest first,
// and no span apart from all of them fell by more than the least of them (or at all,
// when fewer were found).
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzz_check.h"
#include "media/dtools.h"
#include "web/compare.h"

namespace {

void checkSpans(const std::vector<long long>& gap, long span, int count,
                const std::vector<tolvane::Loss>& lost) {
    const long n = static_cast<long>(gap.size());
    auto before = [&](long f) { return f <= 0 ? 0 : gap[f - 1]; };
    check(static_cast<int>(lost.size()) <= count);
    for (std::size_t i = 0; i < lost.size(); ++i) {
        const tolvane::Loss& l = lost[i];
        check(l.from >= 0 && l.from < l.to && l.to <= std::max(n, 1L) && l.to - l.from <= span);
        check(l.by > 0 && l.by == before(l.from) - before(l.to));
        if (i > 0) check(lost[i - 1].by >= l.by);
        for (std::size_t j = 0; j < i; ++j) check(l.to <= lost[j].from || l.from >= lost[j].to);
    }
    if (count == 0) return;
    const long long least = static_cast<int>(lost.size()) == count ? lost.back().by : 0;
    for (long from = 0; from + span <= std::max(n, span); ++from) {
        const long to = std::min(n, from + span);
        bool apart = true;
        for (const tolvane::Loss& l : lost) apart = apart && (to <= l.from || from >= l.to);
        if (apart) check(before(from) - before(to) <= least);
        if (to == n) break;
    }
}

void compareRuns(std::string_view a, std::string_view b) {
    web::PlayedGame ga, gb;
    std::string why;
    const bool okA = web::playHeadless(a, ga, &why);
    check(okA == ga.ok && (okA || !why.empty()));
    const bool okB = web::playHeadless(b, gb, &why);
    const nlohmann::json c = nlohmann::json::parse(web::compareJson(ga, gb));
    if (!okA || !okB) {
        check(c.contains("error"));
        return;
    }
    check(ga.end >= 0 && static_cast<long>(ga.score.size()) == ga.end + 1);
    const long frames = std::max(ga.end, gb.end) + 1;
    check(c["endA"] == ga.end && c["endB"] == gb.end && c["every"] == 60);
    check(c["a"].size() == static_cast<std::size_t>((frames + 59) / 60) && c["b"].size() == c["a"].size());
    check(c["finalA"] == ga.score.back() && c["finalB"] == gb.score.back());
    for (const auto& s : c["splits"])
        check(s["frame"] >= 0 && s["frame"] < frames &&
              s["diff"] == s["a"].get<long long>() - s["b"].get<long long>());
    std::vector<long long> gap(frames);
    for (long f = 0; f < frames; ++f)
        gap[f] = static_cast<long long>(ga.score[std::min(f, ga.end)]) - gb.score[std::min(f, gb.end)];
    std::vector<tolvane::Loss> lost;
    for (const auto& l : c["lost"]) lost.push_back({l["from"], l["to"], l["by"]});
    checkSpans(gap, 600, 3, lost);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        media::setDrawBackend(media::DrawBackend::Null);
        DTInit(1, nullptr);
        return true;
    }();
    (void)ready;
    if (size < 3) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 3, size - 3);
    if (data[0] == 0) {
        const std::size_t first = std::min<std::size_t>(data[1] | data[2] << 8, rest.size());
        compareRuns(rest.substr(0, first), rest.substr(first));
    } else {
        const long span = 1 + data[1] % 64;
        const int count = data[2] % 5;
        std::vector<long long> gap;
        long long g = 0;
        for (std::size_t i = 0; i + 1 < rest.size(); i += 2) {
            g += static_cast<std::int16_t>(static_cast<unsigned char>(rest[i]) |
                                           static_cast<unsigned char>(rest[i + 1]) << 8);
            gap.push_back(g);
        }
        checkSpans(gap, span, count, tolvane::worstSpans(gap, span, count));
    }
    return 0;
}
