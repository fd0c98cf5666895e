// tolvane-replay render makes its --out folder only for a replay it accepts: a refused
// file costs one line on stderr and status 2, and leaves the disk as it was.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
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

// A picture that does not fit under the file-size limit is a failure, said so, and no
// cut-short file stays behind.
TEST(RenderTool, APictureThatCannotBeWrittenWhole) {
    TempDir dir;
    writeFile(dir / "good.rep", replayBytes(3, std::string(4, '\0')));
    const fs::path out = dir / "frames";
    // stderr through a pipe: under the limit the tool could not write it to a file either.
    const std::string command = "ulimit -f 0; exec " + std::string(TOLVANE_REPLAY_TOOL) + " render '" +
                                (dir / "good.rep").string() + "' --frame 2 --out '" + out.string() +
                                "' 2>&1 >/dev/null";
    std::FILE* p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string said;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) said += buf;
    const int st = pclose(p);
    ASSERT_TRUE(WIFEXITED(st)) << "ended by a signal";
    EXPECT_EQ(WEXITSTATUS(st), 1);
    EXPECT_FALSE(fs::exists(out / "frame-00002.png"));
    EXPECT_NE(said.find("cannot write"), std::string::npos) << said;
}
