// The high-score table: its exact bytes, the reader, ranking with ties, the first run,
// a table that cannot be read, and tables or folders that cannot be written.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <sys/stat.h>

#include "records_test_support.h"

using namespace tolvane;
using namespace records_test;

namespace {

// The table as UTF-8 text, as the player reads it.
std::string tableText(const HiscoreTable& t, const std::string& lineEnd = "\r\n") {
    std::string s = "Tolvane" + lineEnd + lineEnd + "はいすこあ" + lineEnd + lineEnd;
    for (int k = 1; k <= 100; ++k) {
        const std::string n = std::to_string(t[k - 1]);
        s += std::to_string(k) + "位 ," + (t[k - 1] < 0 ? n : " " + n) + " " + lineEnd;
    }
    return s;
}

// UTF-8 text in CP932, converted by the iconv program rather than by our own code.
std::string iconvToCp932(const std::string& utf8) {
    TempDir scratch;
    writeFile(scratch / "in.txt", utf8);
    const std::string cmd = "iconv -f UTF-8 -t CP932 '" + (scratch / "in.txt").string() + "' > '" +
                            (scratch / "out.txt").string() + "'";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    return readFile(scratch / "out.txt");
}

HiscoreTable tableWith(std::initializer_list<std::pair<int, i32>> ranks,
                       HiscoreTable t = defaultHiscoreTable()) {
    for (auto [rank, score] : ranks) t[rank - 1] = score;
    return t;
}

std::unique_ptr<World> endedGame(i32 score) {
    auto w = std::make_unique<World>();
    w->score = score;
    w->hiscoreRank = -1;
    w->replayFrame = 4;
    const u8 input[] = {1, 2, 4, 8, 0};
    std::memcpy(w->replayInput, input, sizeof input);
    saveReplay(*w, "New");
    return w;
}

HiscoreTable tableOnDisk(const RecordsDir& dir) {
    HiscoreTable t{};
    std::string why;
    EXPECT_TRUE(parseHiscore(readFile(dir / "Hiscore.txt"), t, &why)) << why;
    return t;
}

// Tables that cannot be read, as the bytes of Hiscore.txt.
struct Broken {
    const char* name;
    std::string bytes;
    const char* reason;
};
std::vector<Broken> brokenTables() {
    const std::string good = tableText(defaultHiscoreTable());
    const std::string cp932 = iconvToCp932(good);
    const std::string I = "\x88\xca"; // 位 in CP932
    // The table with one line replaced by raw bytes.
    auto replaceLine = [&](int line, const std::string& bytes) {
        std::string s = cp932;
        std::size_t a = 0;
        for (int i = 1; i < line; ++i) a = s.find("\r\n", a) + 2;
        return s.replace(a, s.find("\r\n", a) - a, bytes);
    };
    return {
        {"empty", "", "ends inside the header"},
        {"header only", iconvToCp932("Tolvane\r\n\r\nはいすこあ\r\n\r\n"), "ends before the score of rank 1"},
        {"ends before the last score", cp932.substr(0, cp932.rfind("\r\n100") + 2),
         "ends before the score of rank 100"},
        {"last line without its score", cp932.substr(0, cp932.rfind(',')),
         "ends before the score of rank 100"},
        {"cut in the middle", cp932.substr(0, cp932.size() / 2), "ends before the score of rank"},
        {"a word for a score", replaceLine(7, "3" + I + " , lots "),
         "line 7: the score of rank 3 is not a number"},
        {"digits and letters", replaceLine(8, "4" + I + " , 12x "), "rank 4 is not a number"},
        {"a fraction", replaceLine(9, "5" + I + " , 1.5 "), "rank 5 is not a number"},
        {"an empty score", replaceLine(10, "6" + I + " , "), "rank 6 is not a number"},
        {"full-width digits", replaceLine(11, "7" + I + " , \x82\x50\x82\x4f "), "rank 7 is not a number"},
        {"a minus sign alone", replaceLine(12, "8" + I + " , - "), "rank 8 is not a number"},
        {"above 32 bits", replaceLine(13, "9" + I + " , 2147483648 "), "rank 9 does not fit in 32 bits"},
        {"below 32 bits", replaceLine(104, "100" + I + " , -2147483649 "),
         "rank 100 does not fit in 32 bits"},
        {"far above 32 bits", replaceLine(5, "1" + I + " , 99999999999999999999999 "),
         "does not fit in 32 bits"},
        {"a comma in the title", replaceLine(1, "Tolvane, deluxe"), "not a number"},
        {"a byte that is never CP932", replaceLine(6, "2\xFF , 990000 "), "not CP932"},
        {"a lead byte without its second byte", replaceLine(104, "100\x81 , 10000 "), "not CP932"},
        {"UTF-8 instead of CP932", good, "not CP932"},
    };
}

} // namespace

TEST(Hiscore, DefaultTableIsExactlyTheIconvText) {
    const std::string text = tableText(defaultHiscoreTable());
    EXPECT_TRUE(text.starts_with("Tolvane\r\n\r\nはいすこあ\r\n\r\n1位 , 1000000 \r\n2位 , 990000 \r\n"));
    EXPECT_TRUE(text.ends_with("\r\n100位 , 10000 \r\n"));
    const std::string expected = iconvToCp932(text);
    ASSERT_EQ(std::count(expected.begin(), expected.end(), '\n'), 104);
    EXPECT_EQ(formatHiscore(defaultHiscoreTable()), expected);

    // The first game, with a score that enters nowhere, writes just the default table.
    RecordsDir dir;
    auto w = endedGame(0);
    rankHiscore(*w);
    EXPECT_EQ(readFile(dir / "Hiscore.txt"), expected);
    EXPECT_EQ(w->hiscoreRank, -1);
    EXPECT_EQ(w->recordNotSaved, 0);
}

TEST(Hiscore, NegativeScoresAndExtremesAreWrittenWithTheirSign) {
    const HiscoreTable t = tableWith({{1, INT_MAX}, {2, 0}, {3, -5}, {100, INT_MIN}});
    const std::string bytes = formatHiscore(t);
    EXPECT_EQ(bytes, iconvToCp932(tableText(t)));
    EXPECT_NE(bytes.find("\r\n1\x88\xca , 2147483647 \r\n"), std::string::npos); // 位 is 0x88 0xCA
    EXPECT_NE(bytes.find("\r\n2\x88\xca , 0 \r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\n3\x88\xca ,-5 \r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\n100\x88\xca ,-2147483648 \r\n"), std::string::npos);
    HiscoreTable back{};
    ASSERT_TRUE(parseHiscore(bytes, back, nullptr));
    EXPECT_EQ(back, t);
}

TEST(Hiscore, ReaderTakesTheScoresInFileOrder) {
    const HiscoreTable def = defaultHiscoreTable();
    HiscoreTable unsorted = def;
    std::swap(unsorted[0], unsorted[99]);
    std::string wrongLabels = "Tolvane\r\n\r\nはいすこあ\r\n\r\n";
    for (int k = 1; k <= 100; ++k)
        wrongLabels += "第" + std::to_string(200 - k) + "位,   " + std::to_string(def[k - 1]) + "\r\n";
    std::string blanks = "Tolvane\r\n\r\nはいすこあ\r\n\r\n";
    for (int k = 1; k <= 100; ++k)
        blanks += "\t" + std::to_string(k) + "位\t,\t" + std::to_string(def[k - 1]) + "\t \r\n";
    std::string noFinalLineEnd = tableText(def);
    noFinalLineEnd.resize(noFinalLineEnd.size() - 2);
    std::string finalCrOnly = tableText(def);
    finalCrOnly.pop_back();
    struct Case {
        const char* name;
        std::string utf8;
        HiscoreTable expected;
        std::string tail = {}; // raw bytes after the table
    };
    for (const Case& c : {
             Case{"as written", tableText(def), def},
             Case{"lone LF line ends", tableText(def, "\n"), def},
             Case{"extra lines after the last rank", tableText(def), def,
                  "101\x88\xca , 5 \r\nnotes, more\r\n\xFF\x81"},
             Case{"wrong labels", wrongLabels, def},
             Case{"blanks and tabs around fields", blanks, def},
             Case{"no line end after the last score", noFinalLineEnd, def},
             Case{"a CR without its LF at the end", finalCrOnly, def},
             Case{"not in order", tableText(unsorted), unsorted},
             Case{"32-bit extremes", tableText(tableWith({{1, INT_MAX}, {50, INT_MIN}})),
                  tableWith({{1, INT_MAX}, {50, INT_MIN}})},
             Case{"leading zeros", tableText(def).replace(tableText(def).find("1000000"), 7, "0001000000"),
                  def},
         }) {
        SCOPED_TRACE(c.name);
        // Bytes after the table are not part of it, CP932 or not.
        const std::string bytes = iconvToCp932(c.utf8) + c.tail;
        HiscoreTable t{};
        std::string why;
        ASSERT_TRUE(parseHiscore(bytes, t, &why)) << why;
        EXPECT_EQ(t, c.expected);
    }
}

TEST(Hiscore, ReaderRefusesWhatIsNotATable) {
    for (const Broken& c : brokenTables()) {
        SCOPED_TRACE(c.name);
        HiscoreTable t = tableWith({{1, 42}});
        std::string why;
        EXPECT_FALSE(parseHiscore(c.bytes, t, &why));
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
        EXPECT_EQ(t[0], 42) << "the table is left alone";
    }
}

// Where a score lands in the default table, and what else that writes.
TEST(Hiscore, RanksTheScoreBelowEveryEqualEntry) {
    struct Case {
        i32 score;
        int rank; // -1: enters nowhere
    };
    for (const Case& c : {Case{1000001, 1}, Case{1000000, 2}, Case{995000, 2}, Case{505000, 51},
                          Case{500000, 52}, Case{490001, 52}, Case{10001, 100}, Case{10000, -1},
                          Case{9999, -1}, Case{INT_MAX, 1}, Case{INT_MIN, -1}}) {
        SCOPED_TRACE(c.score);
        RecordsDir dir;
        writeFile(dir / "Hiscore.txt", iconvToCp932(tableText(defaultHiscoreTable())));
        auto w = endedGame(c.score);
        rankHiscore(*w);
        EXPECT_EQ(w->hiscoreRank, c.rank);
        EXPECT_EQ(w->recordNotSaved, 0);

        const HiscoreTable def = defaultHiscoreTable();
        HiscoreTable expected = def;
        if (c.rank > 0) {
            // The entries from the rank on move down one place; the last one drops out.
            for (int k = 100; k > c.rank; --k) expected[k - 1] = def[k - 2];
            expected[c.rank - 1] = c.score;
        }
        EXPECT_EQ(tableOnDisk(dir), expected);
        EXPECT_EQ(readFile(dir / "Hiscore.txt"), iconvToCp932(tableText(expected)));
        if (c.rank == 1) {
            EXPECT_EQ(readFile(dir / "HiReplay.rep"), readFile(dir / "NewReplay.rep"));
        } else {
            EXPECT_FALSE(fs::exists(dir / "HiReplay.rep"));
        }
    }
}

TEST(Hiscore, TiesWithSeveralEqualEntries) {
    HiscoreTable t = defaultHiscoreTable();
    for (int k = 10; k <= 14; ++k) t[k - 1] = 900000; // ranks 10..14 hold the same score
    struct Case {
        i32 score;
        int rank;
    };
    for (const Case& c : {Case{900000, 15}, Case{900001, 10}, Case{899999, 15}}) {
        SCOPED_TRACE(c.score);
        HiscoreTable copy = t;
        EXPECT_EQ(insertScore(copy, c.score) + 1, c.rank);
        EXPECT_EQ(copy[c.rank - 1], c.score);
        EXPECT_EQ(copy[99], t[98]);
    }
    HiscoreTable same;
    same.fill(7);
    EXPECT_EQ(insertScore(same, 7), -1) << "a table full of the same score takes no equal score";
}

TEST(Hiscore, RewriteDropsExtraLinesAndRestoresLabels) {
    RecordsDir dir;
    std::string text = tableText(defaultHiscoreTable());
    text.replace(text.find("1位"), 4, "一位");
    text += "101位 , 5 \r\n\r\nmore\r\n";
    writeFile(dir / "Hiscore.txt", iconvToCp932(text));
    auto w = endedGame(10000); // enters nowhere
    rankHiscore(*w);
    EXPECT_EQ(w->hiscoreRank, -1);
    EXPECT_EQ(readFile(dir / "Hiscore.txt"), iconvToCp932(tableText(defaultHiscoreTable())));
}

// No table yet: the default table with the score in it, and that rank reported.
TEST(Hiscore, FirstRunRanksIntoTheDefaultTable) {
    struct Case {
        i32 score;
        int rank;
    };
    for (const Case& c : {Case{505000, 51}, Case{1000001, 1}, Case{5, -1}}) {
        SCOPED_TRACE(c.score);
        RecordsDir dir;
        auto w = endedGame(c.score);
        rankHiscore(*w);
        EXPECT_EQ(w->hiscoreRank, c.rank);
        EXPECT_EQ(w->recordNotSaved, 0);
        HiscoreTable expected = defaultHiscoreTable();
        insertScore(expected, c.score);
        EXPECT_EQ(readFile(dir / "Hiscore.txt"), iconvToCp932(tableText(expected)));
        EXPECT_EQ(fs::exists(dir / "HiReplay.rep"), c.rank == 1);
        if (c.rank == 51) {
            EXPECT_EQ(tableOnDisk(dir)[49], 510000);
            EXPECT_EQ(tableOnDisk(dir)[51], 500000);
            EXPECT_EQ(tableOnDisk(dir)[99], 20000) << "10000 is gone";
        }
    }
}

// A table that cannot be read is kept under another name, and the game goes on with a
// fresh default table holding the score.
TEST(Hiscore, UnreadableTableIsKeptAside) {
    // Hiscore.txt.bad-YYYYMMDD-HHMMSS
    auto isBackupName = [](const std::string& n) {
        const std::string stamp = n.substr(std::min(n.size(), std::string("Hiscore.txt.bad-").size()));
        return n.starts_with("Hiscore.txt.bad-20") && stamp.size() == 15 && stamp[8] == '-' &&
               std::all_of(stamp.begin(), stamp.end(),
                           [](char c) { return c == '-' || (c >= '0' && c <= '9'); });
    };
    for (const Broken& c : brokenTables()) {
        SCOPED_TRACE(c.name);
        RecordsDir dir;
        writeFile(dir / "Hiscore.txt", c.bytes);
        auto w = endedGame(1000001);
        rankHiscore(*w);
        EXPECT_EQ(w->hiscoreRank, 1);
        EXPECT_EQ(w->recordNotSaved, 0);
        EXPECT_EQ(readFile(dir / "HiReplay.rep"), readFile(dir / "NewReplay.rep"));
        HiscoreTable expected = defaultHiscoreTable();
        insertScore(expected, 1000001);
        EXPECT_EQ(readFile(dir / "Hiscore.txt"), formatHiscore(expected));
        std::vector<std::string> kept;
        for (const auto& n : dir.names()) {
            if (n.starts_with("Hiscore.txt.")) kept.push_back(n);
        }
        ASSERT_EQ(kept.size(), 1u);
        EXPECT_TRUE(isBackupName(kept[0])) << kept[0];
        EXPECT_EQ(readFile(dir / kept[0]), c.bytes);
    }
}

TEST(Hiscore, EveryBadTableIsKeptEvenWithinOneSecond) {
    RecordsDir dir;
    for (int i = 0; i < 3; ++i) {
        writeFile(dir / "Hiscore.txt", "broken " + std::to_string(i));
        auto w = endedGame(20000);
        rankHiscore(*w);
        EXPECT_EQ(w->hiscoreRank, 100);
    }
    std::set<std::string> contents;
    for (const auto& n : dir.names()) {
        if (n.starts_with("Hiscore.txt.bad-")) contents.insert(readFile(dir / n));
    }
    EXPECT_EQ(contents, (std::set<std::string>{"broken 0", "broken 1", "broken 2"}));
}

// A table that cannot be written stays exactly as it was; the game only notes that the
// record was not saved. Run in a child process: without privileges where a folder must
// refuse writing, with a file-size limit standing in for a full disk.
TEST(Hiscore, WriteFailureKeepsTheOldFiles) {
    struct Case {
        const char* name;
        bool badTable;        // the table on disk cannot be read
        bool readOnlyFile;    // Hiscore.txt without write permission
        bool readOnlyFolder;  // the records folder without write permission
        rlim_t fileSizeLimit; // bytes any file may grow to (a full disk)
        bool replayWritten;   // NewReplay.rep can still be written
        int rank;             // reported for the score 705000
    };
    for (const Case& c : {
             Case{"read-only table", false, true, false, 0, true, 31},
             Case{"read-only folder", false, false, true, 0, false, 31},
             Case{"full disk", false, false, false, 600, false, 31},
             Case{"bad table in a read-only folder", true, false, true, 0, false, -1},
             Case{"bad table on a full disk", true, false, false, 600, false, 31},
         }) {
        SCOPED_TRACE(c.name);
        RecordsDir dir;
        HiscoreTable mine = defaultHiscoreTable();
        mine[0] = 123456789;
        const std::string table = c.badTable ? std::string("no table at all") : formatHiscore(mine);
        const std::string newReplay = replayBytes(1, raw("\x01\x00"));
        const std::string hiReplay = replayBytes(1, raw("\x02\x00"));
        writeFile(dir / "Hiscore.txt", table);
        writeFile(dir / "NewReplay.rep", newReplay);
        writeFile(dir / "HiReplay.rep", hiReplay);
        if (c.readOnlyFile) ::chmod((dir / "Hiscore.txt").c_str(), 0444);
        if (c.readOnlyFolder) ::chmod(dir.path().c_str(), 0555);
        const auto names = dir.names();

        const int outcome = inChild(
            [&] {
                auto w = std::make_unique<World>();
                w->score = 705000;
                w->hiscoreRank = -1;
                w->replayFrame = 600; // a replay longer than the size limit
                saveReplay(*w, "New");
                rankHiscore(*w);
                return packOutcome(*w);
            },
            c.readOnlyFolder, c.fileSizeLimit);
        ASSERT_GE(outcome, 0);
        EXPECT_TRUE(notSavedOf(outcome));
        EXPECT_EQ(rankOf(outcome), c.rank);
        if (c.badTable && c.readOnlyFolder) {
            EXPECT_EQ(readFile(dir / "Hiscore.txt"), table) << "not moved aside either";
        } else if (c.badTable) {
            // Kept aside; the fresh table could not be written.
            EXPECT_FALSE(fs::exists(dir / "Hiscore.txt"));
        } else {
            EXPECT_EQ(readFile(dir / "Hiscore.txt"), table);
        }
        EXPECT_EQ(readFile(dir / "NewReplay.rep"),
                  c.replayWritten ? replayBytes(600, std::string(601, '\0')) : newReplay);
        EXPECT_EQ(readFile(dir / "HiReplay.rep"), hiReplay);
        for (const auto& n : dir.names()) {
            if (!names.count(n)) {
                EXPECT_TRUE(c.badTable && n.starts_with("Hiscore.txt.bad-")) << "left over: " << n;
            }
        }
    }
}

TEST(Hiscore, TableThatIsNotAFileIsLeftAlone) {
    RecordsDir dir;
    fs::create_directories(dir / "Hiscore.txt");
    writeFile(dir / "Hiscore.txt" / "inside", "x");
    auto w = endedGame(2000000);
    rankHiscore(*w);
    EXPECT_EQ(w->hiscoreRank, -1);
    EXPECT_EQ(w->recordNotSaved, 1);
    EXPECT_TRUE(fs::is_directory(dir / "Hiscore.txt"));
    EXPECT_EQ(readFile(dir / "Hiscore.txt" / "inside"), "x");
    EXPECT_FALSE(fs::exists(dir / "HiReplay.rep"));
}

TEST(Hiscore, RankMessage) {
    struct Case {
        i16 rank;
        bool notSaved;
        const char* text;
    };
    for (const Case& c :
         {Case{-1, false, "今回のスコアはランク外です。"}, Case{3, false, "今回のスコアは3位に入りました。"},
          Case{100, false, "今回のスコアは100位に入りました。"},
          Case{3, true, "今回のスコアは3位に入りました。\n記録を保存できませんでした。"},
          Case{-1, true, "今回のスコアはランク外です。\n記録を保存できませんでした。"}}) {
        EXPECT_EQ(rankMessage(c.rank, c.notSaved), c.text);
    }
}
