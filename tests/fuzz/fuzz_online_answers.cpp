// Fuzzes what the menu reads of the online table: the outbox's files and the server's
// answers. Beyond not crashing: an outbox file is refused with a reason or written back
// as the same entry; an answer taken holds only ids and keys of 64 lowercase hex digits
// and figures the game could give; a submission counts as sent only when the answer is
// the run the menu played, and downloaded bytes are that run only when the game says so.
#include <cstdint>

#include "answers.h"
#include "fuzz_check.h"
#include "online.h"
#include "outbox.h"

namespace {

using namespace kestrow;

bool runFits(const OnlineRun& r) {
    return isHexId(r.id) && isHexId(r.player) && !r.name.isEmpty() && r.name.size() <= 48 && r.frames >= 1 &&
           r.frames <= 25000 && r.endFrame == r.frames - 1 && r.rank >= 0;
}

// The menu's own verdict for the judgement: the answer's run as it is, or with another
// id or other figures.
RunVerdict verdictFor(const std::optional<OnlineRun>& run, int twist) {
    RunVerdict v{QString(64, u'a'), {}};
    if (run) v = {run->id, run->figures()};
    if (twist == 1) v.id = QString(64, v.id == QString(64, u'b') ? u'c' : u'b');
    if (twist == 2) v.figures.score += 1;
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const QByteArray text(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    QString why;
    switch (data[0] % 5) {
    case 0: {
        const auto entry = parseEntry(text, &why);
        if (!entry) {
            check(!why.isEmpty());
            break;
        }
        check(isHexId(entry->id) && (!entry->verdict || isHexId(entry->verdict->id)));
        check(entry->runId.isEmpty() || isHexId(entry->runId));
        const auto again = parseEntry(entryText(*entry), nullptr);
        check(again && *again == *entry);
        break;
    }
    case 1:
        if (const auto table = parseTable(text, &why)) {
            check(table->total >= 0 && table->offset >= 0 && table->entries.size() <= size_t(kMaxTableRows));
            for (const auto& run : table->entries) check(runFits(run));
        } else {
            check(!why.isEmpty());
        }
        break;
    case 2:
        if (const auto standing = parseStanding(text, &why)) {
            check(isHexId(standing->player));
            for (const auto* run : {&standing->all, &standing->month, &standing->week, &standing->day})
                check(!*run || (runFits(**run) && (*run)->player == standing->player));
        } else {
            check(!why.isEmpty());
        }
        break;
    case 3: {
        // The submission's judgement, against a verdict of the menu's that is or is not
        // the answer's run.
        static constexpr int kStatuses[] = {0, 200, 201, 400, 401, 403, 409, 413, 429, 500, 503, 302};
        constexpr std::size_t n = sizeof kStatuses / sizeof kStatuses[0];
        const int status = kStatuses[size % n];
        const int twist = static_cast<int>((size / n) % 3);
        const auto run = parseRun(text, nullptr);
        const RunVerdict mine = verdictFor(run, twist);
        const QString player = run && (size & 64) ? run->player : QString(64, u'd');
        const SendOutcome outcome =
            judgeAnswer(status, text, text.left(8), 1 + int(size % 9), "no answer", mine, player);
        check(outcome.state != OutboxEntry::Waiting ||
              (outcome.retrySeconds >= 1 && outcome.retrySeconds <= 3600));
        if (outcome.state == OutboxEntry::Sent) {
            // Nothing taken names another run, other figures or another player.
            check(status == 200 || status == 201);
            check(run && twist == 0 && isHexId(outcome.runId) && outcome.runId == mine.id);
            check(run->figures() == mine.figures && run->player == player && outcome.score == run->score);
        } else {
            check(!outcome.message.isEmpty());
            check(outcome.runId.isEmpty());
        }
        if ((status == 200 || status == 201) && run && twist == 0 && run->player == player)
            check(outcome.state == OutboxEntry::Sent);
        break;
    }
    case 4: {
        // Downloaded bytes against the row of a run: the run the game finds in them, or
        // that run with another id or other figures.
        const auto verdict = playReplay(text, nullptr);
        OnlineRun row;
        row.id = verdict ? verdict->id : QString(64, u'a');
        if (verdict) {
            const RunFigures& f = verdict->figures;
            row.frames = f.frames, row.endFrame = f.endFrame, row.score = f.score, row.level = f.level;
            row.maxChain = f.maxChain, row.totalContacts = f.totalContacts, row.timeBonus = f.timeBonus;
            row.finalBonus = f.finalBonus, row.timeLeft = f.timeLeft;
        }
        const int twist = static_cast<int>(size % 3);
        if (twist == 1) row.id = QString(64, row.id == QString(64, u'b') ? u'c' : u'b');
        if (twist == 2) row.timeLeft += 1;
        const bool taken = replayIsRun(text, row, &why);
        check(taken == (verdict && twist == 0 && text.size() <= 64 * 1024));
        check(taken || !why.isEmpty());
        break;
    }
    }
    return 0;
}
