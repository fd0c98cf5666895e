// Fuzzes what the menu reads of the online table: the outbox's files and the server's
// answers. Beyond not crashing: an outbox file is refused with a reason or written back
// as the same entry, and an answer taken has the runs it says.
#include <cstdint>

#include "fuzz_check.h"
#include "online.h"
#include "outbox.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const QByteArray text(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    QString why;
    switch (data[0] % 4) {
    case 0: {
        const auto entry = kestrow::parseEntry(text, &why);
        if (!entry) {
            check(!why.isEmpty());
            break;
        }
        const auto again = kestrow::parseEntry(kestrow::entryText(*entry), nullptr);
        check(again && *again == *entry);
        break;
    }
    case 1:
        if (const auto table = kestrow::parseTable(text, &why)) {
            check(table->total >= 0 && table->offset >= 0);
            for (const auto& run : table->entries) check(run.id.size() == 64 && run.player.size() == 64);
        } else {
            check(!why.isEmpty());
        }
        break;
    case 2:
        if (const auto standing = kestrow::parseStanding(text, &why)) {
            for (const auto* run : {&standing->all, &standing->month, &standing->week, &standing->day})
                check(!*run || (*run)->id.size() == 64);
        } else {
            check(!why.isEmpty());
        }
        break;
    case 3: {
        const auto outcome = kestrow::judgeAnswer(200 + (size % 400), text, text.left(8), 1, QString());
        check(outcome.state != kestrow::OutboxEntry::Waiting ||
              (outcome.retrySeconds >= 1 && outcome.retrySeconds <= 3600));
        break;
    }
    }
    return 0;
}
