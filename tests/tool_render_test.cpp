// tolvane-replay render makes its --out folder only for a replay it accepts: a refused
// file costs one line on stderr and status 2, and leaves the disk as it was.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "records_test_support.h"

using namespace records_test;

TEST(RenderTool, MakesItsFolderOnlyForAnAcceptedReplay) {
    TempDir dir;
    writeFile(dir / "short.rep", "ab");
    writeFile(dir / "count.rep", replayBytes(30000, std::string(10, '\0')));
    writeFile(dir / "cut.rep", replayBytes(100, std::string(10, '\0')));
    writeFile(dir / "good.rep", replayBytes(3, std::string(4, '\0')));
    fs::create_directory(dir / "folder.rep");
    struct Case {
        const char* file;
        int status;
    } cases[] = {{"missing.rep", 2}, {"short.rep", 2},  {"count.rep", 2},
                 {"cut.rep", 2},     {"folder.rep", 2}, {"good.rep", 0}};
    for (const Case& c : cases) {
        const fs::path out = dir / (std::string("out-") + c.file) / "frames";
        std::string command = std::string(TOLVANE_REPLAY_TOOL) + " render '" + (dir / c.file).string() +
                              "' --frame 2 --out '" + out.string() + "' 2>/dev/null";
        int st = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(st)) << c.file;
        EXPECT_EQ(WEXITSTATUS(st), c.status) << c.file;
        EXPECT_EQ(fs::exists(out.parent_path()), c.status == 0) << c.file;
        if (c.status == 0) {
            EXPECT_TRUE(fs::exists(out / "frame-00002.png"));
        }
    }
}
