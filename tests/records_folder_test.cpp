// Where the records live: the rule shared by the game and the menu (beside the programs
// or in the XDG data folder), creating that folder, reading an older table left beside
// the programs, and what a player is told when a record cannot be saved.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/appdir.h"
#include "records_test_support.h"

using namespace tolvane;
using namespace records_test;

namespace {

int modeOf(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// A folder of programs: portable (nothing else) or installed (the data folder beside).
fs::path programsIn(const TempDir& base, bool installed) {
    const fs::path bin = base / "pro grams";
    fs::create_directories(bin);
    if (installed) fs::create_directories(common::installedDataDirectory(bin));
    return bin;
}

// Points the game's records at `folder` (reading older copies from `seed`) for a scope.
class RecordsAt {
  public:
    explicit RecordsAt(const fs::path& folder, const fs::path& seed = {}) : previous_(recordsDirectory()) {
        setRecordsDirectory(folder, seed);
    }
    ~RecordsAt() { setRecordsDirectory(previous_); }

  private:
    fs::path previous_;
};

// The stderr of `body`, run in this process.
std::string stderrOf(const std::function<void()>& body) {
    testing::internal::CaptureStderr();
    body();
    return testing::internal::GetCapturedStderr();
}

} // namespace

TEST(RecordsFolder, TheRule) {
    struct Case {
        const char* name;
        bool installed, writable;
        const char* home;
        const char* xdg;
        const char* folder; // "APP" for the programs' folder, else under the temp folder
        bool seeded, noted;
    };
    for (const Case& c : {
             Case{"a build tree", false, true, "/h", "/x", "APP", false, false},
             Case{"a read-only copy", false, false, "/h", nullptr, "/h/.local/share/tolvane", true, false},
             Case{"XDG_DATA_HOME wins over HOME", false, false, "/h", "/x", "/x/tolvane", true, false},
             Case{"a relative XDG_DATA_HOME is ignored", false, false, "/h", "x", "/h/.local/share/tolvane",
                  true, false},
             Case{"an empty XDG_DATA_HOME is ignored", false, false, "/h", "", "/h/.local/share/tolvane",
                  true, false},
             Case{"installed, even where the user may write", true, true, "/h", nullptr,
                  "/h/.local/share/tolvane", true, false},
             Case{"installed, read-only", true, false, "/h", "/x", "/x/tolvane", true, false},
             Case{"no HOME: beside the programs, and said", false, false, nullptr, nullptr, "APP", false,
                  true},
             Case{"an empty HOME counts as none", true, true, "", nullptr, "APP", false, true},
             Case{"no HOME but XDG_DATA_HOME", true, false, nullptr, "/x", "/x/tolvane", true, false},
         }) {
        SCOPED_TRACE(c.name);
        TempDir base;
        const fs::path app = programsIn(base, c.installed);
        EXPECT_EQ(common::isInstalled(app), c.installed);
        EXPECT_EQ(common::dataDirectory(app), c.installed ? base / "share" / "tolvane" : app);
        fs::permissions(app, c.writable ? fs::perms::all : fs::perms(0555));
        // Write permission only binds a user without privileges: decide in a child as nobody.
        const int status = inChild(
            [&] {
                const common::RecordsPlace p = common::recordsPlace(app, c.home, c.xdg);
                const fs::path want = std::string(c.folder) == "APP" ? app : fs::path(c.folder);
                if (p.folder != want) return 1;
                if (p.seed != (c.seeded ? app : fs::path())) return 2;
                if (p.note.empty() == c.noted) return 3;
                if (c.noted && (p.note.find("HOME") == std::string::npos ||
                                p.note.find(app.string()) == std::string::npos))
                    return 4;
                return 0;
            },
            true);
        EXPECT_EQ(status, 0) << "1 folder, 2 seed, 3 note, 4 note's words";
    }
}

TEST(RecordsFolder, CreatedPrivateWithTheFoldersAboveIt) {
    TempDir base;
    fs::create_directories(base / "home");
    ::chmod((base / "home").c_str(), 0755);
    const fs::path folder = base / "home" / ".local" / "share" / "tolvane";
    std::string why;
    ASSERT_TRUE(common::makeRecordsDirectory(folder, &why)) << why;
    for (const fs::path& p : {base / "home/.local", base / "home/.local/share", folder}) {
        EXPECT_EQ(modeOf(p), 0700) << p;
    }
    EXPECT_EQ(modeOf(base / "home"), 0755) << "a folder that was there is left as it was";
    EXPECT_TRUE(common::makeRecordsDirectory(folder, &why)) << "there already";
}

TEST(RecordsFolder, NotCreatableSaysWhereAndWhy) {
    struct Case {
        const char* name;
        const char* fileAt; // a file where a folder should be
        bool readOnlyBase;
        const char* failsAt;
        const char* reason;
    };
    for (const Case& c : {
             Case{"a file in the folder's place", "data/tolvane", false, "data/tolvane", "Not a directory"},
             Case{"a file above it", "data", false, "data", "Not a directory"},
             Case{"a read-only XDG_DATA_HOME", nullptr, true, "data", "Permission denied"},
         }) {
        SCOPED_TRACE(c.name);
        TempDir base;
        if (c.fileAt) {
            fs::create_directories((base / c.fileAt).parent_path());
            writeFile(base / c.fileAt, "x");
        }
        if (c.readOnlyBase) ::chmod(base.path().c_str(), 0555);
        const fs::path folder = base / "data" / "tolvane";
        const std::string expected =
            "cannot create the folder " + (base / c.failsAt).string() + " (" + c.reason + ")";
        const int status = inChild(
            [&] {
                std::string why;
                if (common::makeRecordsDirectory(folder, &why)) return 1;
                return why == expected ? 0 : 2;
            },
            true);
        EXPECT_EQ(status, 0) << "1 created, 2 another reason than: " << expected;
        if (c.fileAt) {
            EXPECT_EQ(readFile(base / c.fileAt), "x");
        }
    }
}

TEST(RecordsFolder, OlderCopyIsReadWhileTheFolderHasNone) {
    TempDir base;
    const fs::path folder = base / "records", seed = base / "app";
    fs::create_directories(seed);
    const common::RecordsPlace place{folder, seed, {}};
    EXPECT_EQ(common::recordToRead(place, "Hiscore.txt"), folder / "Hiscore.txt") << "neither has one";
    writeFile(seed / "Hiscore.txt", "old");
    EXPECT_EQ(common::recordToRead(place, "Hiscore.txt"), seed / "Hiscore.txt")
        << "the folder does not exist";
    fs::create_directories(folder);
    EXPECT_EQ(common::recordToRead(place, "Hiscore.txt"), seed / "Hiscore.txt");
    writeFile(folder / "Hiscore.txt", "new");
    EXPECT_EQ(common::recordToRead(place, "Hiscore.txt"), folder / "Hiscore.txt");
    EXPECT_EQ(common::recordToRead({folder, {}, {}}, "HiReplay.rep"), folder / "HiReplay.rep") << "no seed";
}

// An old portable copy that can no longer write beside the programs: its table is where
// the new one, in the records folder, starts from; the old files stay as they were.
TEST(RecordsFolder, OldTableSeedsTheNewFolder) {
    struct Case {
        const char* name;
        bool oldTableReadable;
        bool folderHasTable;
        int rank;
    };
    for (const Case& c : {
             Case{"the old table is carried over", true, false, 4},
             Case{"an old table that cannot be read is left alone", false, false, 1},
             Case{"the folder's own table wins", true, true, 100},
         }) {
        SCOPED_TRACE(c.name);
        TempDir base;
        const fs::path app = base / "app", folder = base / "data" / "tolvane";
        fs::create_directories(app);
        HiscoreTable old = defaultHiscoreTable();
        old[0] = 9000000, old[1] = 8000000, old[2] = 7000000;
        const std::string oldBytes = c.oldTableReadable ? formatHiscore(old) : std::string("garbled");
        writeFile(app / "Hiscore.txt", oldBytes);
        if (c.folderHasTable) {
            fs::create_directories(folder);
            HiscoreTable mine{};
            mine.fill(2000000);
            mine[99] = 10;
            writeFile(folder / "Hiscore.txt", formatHiscore(mine));
        }
        auto w = std::make_unique<World>();
        w->score = 1500000;
        w->hiscoreRank = -1;
        w->replayFrame = 2;
        {
            RecordsAt records(folder, app);
            saveReplay(*w, "New");
            rankHiscore(*w);
        }

        EXPECT_EQ(w->hiscoreRank, c.rank);
        EXPECT_EQ(w->recordNotSaved, 0);
        EXPECT_EQ(modeOf(folder), c.folderHasTable ? modeOf(folder) : 0700);
        HiscoreTable got{};
        ASSERT_TRUE(parseHiscore(readFile(folder / "Hiscore.txt"), got, nullptr));
        if (c.rank == 4) {
            EXPECT_EQ(got[0], 9000000);
            EXPECT_EQ(got[2], 7000000);
            EXPECT_EQ(got[3], 1500000);
            EXPECT_EQ(got[4], 970000);
        }
        EXPECT_EQ(fs::exists(folder / "HiReplay.rep"), c.rank == 1);
        EXPECT_EQ(readFile(folder / "NewReplay.rep"), replayBytes(2, std::string(3, '\0')));
        EXPECT_EQ(readFile(app / "Hiscore.txt"), oldBytes) << "the old table is untouched";
        EXPECT_EQ(base.names(), (std::set<std::string>{"app", "data"}));
        std::set<std::string> inApp;
        for (auto& e : fs::directory_iterator(app)) inApp.insert(e.path().filename().string());
        EXPECT_EQ(inApp, (std::set<std::string>{"Hiscore.txt"})) << "nothing written beside the programs";
    }
}

// When the records cannot be saved, the game goes on and ends as usual, the end-of-game
// box gets its second line, and stderr names each file with the reason; nothing is
// created anywhere.
TEST(RecordsFolder, FailedSaveIsToldOnStderr) {
    TempDir base;
    writeFile(base / "data", "a file where XDG_DATA_HOME should be");
    const fs::path folder = base / "data" / "tolvane";
    RecordsAt records(folder);
    auto w = std::make_unique<World>();
    w->score = 505000;
    w->hiscoreRank = -1;
    const std::string said = stderrOf([&] {
        saveReplay(*w, "New");
        rankHiscore(*w);
    });
    const std::string why = ": cannot create the folder " + (base / "data").string() + " (Not a directory)\n";
    EXPECT_EQ(said, "tolvane: could not save " + (folder / "NewReplay.rep").string() + why +
                        "tolvane: could not save " + (folder / "Hiscore.txt").string() + why);
    EXPECT_EQ(w->recordNotSaved, 1);
    EXPECT_EQ(w->hiscoreRank, 51) << "the rank in the table it could not write";
    EXPECT_EQ(rankMessage(w->hiscoreRank, true),
              "今回のスコアは51位に入りました。\n記録を保存できませんでした。");
    EXPECT_EQ(base.names(), (std::set<std::string>{"data"}));
}

// A read-only file in a writable folder: the system's reason, with the file's name.
TEST(RecordsFolder, ReadOnlyTableIsNamedOnStderr) {
    RecordsDir dir;
    writeFile(dir / "Hiscore.txt", formatHiscore(defaultHiscoreTable()));
    ::chmod((dir / "Hiscore.txt").c_str(), 0444);
    auto w = std::make_unique<World>();
    w->score = 5;
    const std::string said = stderrOf([&] { rankHiscore(*w); });
    EXPECT_EQ(said,
              "tolvane: could not save " + (dir / "Hiscore.txt").string() + ": the file is read-only\n");
    EXPECT_EQ(w->recordNotSaved, 1);
}
