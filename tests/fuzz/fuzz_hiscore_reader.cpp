// Fuzzes the high-score reader. Beyond not crashing: a table that reads is written
// back and must read as the same table, and ranking a score into it keeps the order
// of the other entries.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "records/records.h"

using namespace tolvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    HiscoreTable table = defaultHiscoreTable();
    std::string why;
    if (!parseHiscore(bytes, table, &why)) {
        check(!why.empty() && table == defaultHiscoreTable());
        return 0;
    }
    const std::string written = formatHiscore(table);
    HiscoreTable back{};
    check(!written.empty() && parseHiscore(written, back, nullptr) && back == table);

    // A score taken from the input: it enters above the first smaller entry, or nowhere.
    i32 score = 0;
    if (size >= 4) std::memcpy(&score, data + size - 4, 4);
    HiscoreTable ranked = table;
    const int i = insertScore(ranked, score);
    int expected = -1;
    for (int k = 0; k < kHiscoreRanks && expected < 0; ++k) {
        if (table[k] < score) expected = k;
    }
    check(i == expected);
    if (i < 0) {
        check(ranked == table);
    } else {
        check(ranked[i] == score);
        for (int k = 0; k < i; ++k) check(ranked[k] == table[k]);
        for (int k = i + 1; k < kHiscoreRanks; ++k) check(ranked[k] == table[k - 1]);
    }
    return 0;
}
