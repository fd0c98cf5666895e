// The headless tool over many files at once: the same results as one file at a time,
// in the order given, and a line that says why for every file it cannot use.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <vector>

#include "records_test_support.h"

using namespace records_test;

namespace {

const fs::path kData = TOLVANE_TEST_DATA;

std::string quoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

struct ToolRun {
    std::vector<std::string> lines;
    int status = -1;
};

ToolRun verify(const std::vector<std::string>& files) {
    std::string command = std::string(TOLVANE_REPLAY_TOOL) + " verify";
    for (const auto& f : files) command += " " + quoted(f);
    command += " 2>/dev/null";
    ToolRun r;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return r;
    std::string out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) r.lines.push_back(line);
    return r;
}

// The single-file line of a replay with "file" put in front.
std::string withFile(const std::string& file, const std::string& single) {
    return "{\"file\": \"" + file + "\", " + single.substr(1);
}

} // namespace

TEST(VerifyMany, EqualsOneFileAtATimeLineForLine) {
    std::vector<std::string> files;
    for (const char* name : {"autoplay", "zero", "wander", "boost", "hunter"})
        files.push_back((kData / (std::string(name) + ".rep")).string());
    // The same files again in another order, one of them twice.
    const std::vector<std::string> order = {files[3], files[0], files[3], files[4], files[1], files[2]};
    std::vector<std::string> expected;
    for (const auto& f : order) {
        ToolRun one = verify({f});
        ASSERT_EQ(one.status, 0) << f;
        ASSERT_EQ(one.lines.size(), 1u) << f;
        EXPECT_EQ(one.lines[0].rfind("{\"frames\": ", 0), 0u) << "one file has no \"file\" key";
        expected.push_back(withFile(f, one.lines[0]));
    }
    ToolRun many = verify(order);
    EXPECT_EQ(many.status, 0);
    EXPECT_EQ(many.lines, expected);
}

TEST(VerifyMany, UnusableFilesSayWhyInTheirPlace) {
    TempDir dir;
    fs::create_directories(dir / "folder.rep");
    writeFile(dir / "short.rep", std::string("\x01\0\0", 3));
    writeFile(dir / "count.rep", replayBytes(25001, std::string(25002, '\0')));
    writeFile(dir / "cut.rep", replayBytes(10, std::string(10, '\0')));
    writeFile(dir / "say \"hi\" \\ there.rep", replayBytes(0, std::string(1, '\0')));
    const std::string good = (kData / "wander.rep").string();
    const std::string goodLine = withFile(good, verify({good}).lines.at(0));

    struct Case {
        std::string file;
        std::string line; // expected, after the file's own JSON string
    };
    const std::vector<Case> cases = {
        {(dir / "missing.rep").string(), "\"error\": \"the file does not exist\"}"},
        {(dir / "folder.rep").string(), "\"error\": \"this is a folder, not a replay file\"}"},
        {(dir / "short.rep").string(), "\"error\": \"the file is too short to be a replay (3 bytes)\"}"},
        {(dir / "count.rep").string(), "\"error\": \"its frame count 25001 is outside 0 to 25000\"}"},
        {(dir / "cut.rep").string(), "\"error\": \"the file ends before its 11 input bytes (10 found)\"}"},
    };
    std::vector<std::string> files = {good};
    for (const auto& c : cases) files.push_back(c.file);
    files.push_back(good);
    ToolRun many = verify(files);
    EXPECT_EQ(many.status, 2);
    ASSERT_EQ(many.lines.size(), files.size());
    EXPECT_EQ(many.lines.front(), goodLine);
    EXPECT_EQ(many.lines.back(), goodLine) << "a good file after bad ones is still verified";
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(many.lines[i + 1], "{\"file\": \"" + cases[i].file + "\", " + cases[i].line);
        EXPECT_EQ(verify({cases[i].file}).status, 2) << "one file alone: " << cases[i].file;
    }

    // A name with a quote and a backslash stays one JSON string.
    const std::string odd = (dir / "say \"hi\" \\ there.rep").string();
    ToolRun escaped = verify({odd, good});
    EXPECT_EQ(escaped.status, 0);
    ASSERT_EQ(escaped.lines.size(), 2u);
    EXPECT_EQ(escaped.lines[0].rfind("{\"file\": \"" + dir.path().string() +
                                         "/say \\\"hi\\\" \\\\ there.rep\", "
                                         "\"frames\": ",
                                     0),
              0u)
        << escaped.lines[0];
}

namespace {

std::vector<std::string> runTool(const std::string& args) {
    std::vector<std::string> lines;
    FILE* p = ::popen((std::string(TOLVANE_REPLAY_TOOL) + " " + args + " 2>/dev/null").c_str(), "r");
    if (!p) return lines;
    std::string out;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    ::pclose(p);
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The sound calls of a trace line: the text of its "sounds" list, or "none" without one.
std::string soundsOf(const std::string& line) {
    const std::string key = ", \"sounds\": [";
    const std::size_t at = line.find(key);
    if (at == std::string::npos) return "none";
    return line.substr(at + key.size(), line.size() - at - key.size() - 2);
}

} // namespace

TEST(TraceSounds, EachFrameListsTheCallsItMadeAndNothingElseChanges) {
    const std::string replay = quoted((kData / "autoplay.rep").string());
    const std::vector<std::string> plain = runTool("trace " + replay + " --objects");
    const std::vector<std::string> sounds = runTool("trace " + replay + " --objects --sounds");
    ASSERT_EQ(sounds.size(), 24401u);
    ASSERT_EQ(plain.size(), sounds.size());

    // Every song change of the game, in the frame the stage script makes it; a song is
    // named without the folder it was read from.
    const std::string song = "[\"MTStop\"], [\"MTReadFile\", \"%\"], [\"MTPlay\"]";
    auto start = [&](const std::string& file) { return std::string(song).replace(song.find('%'), 1, file); };
    const std::vector<std::pair<long, std::string>> songs = {
        {1, start("stage1.mid")},   {3700, start("boss.mid")},      {5500, start("stage2.mid")},
        {10600, start("boss.mid")}, {15700, start("lastboss.mid")}, {24400, start("CLEAR.mid")},
    };
    std::vector<std::pair<long, std::string>> seen;
    std::size_t effects[6] = {};
    for (std::size_t f = 0; f < sounds.size(); ++f) {
        const std::string s = soundsOf(sounds[f]);
        ASSERT_NE(s, "none") << "frame " << f;
        // Only the key is added: the rest of the line is the plain trace.
        EXPECT_EQ(sounds[f].substr(0, plain[f].size() - 1), plain[f].substr(0, plain[f].size() - 1));
        if (s.find("MTReadFile") != std::string::npos) seen.emplace_back(static_cast<long>(f), s);
        for (int slot = 0; slot < 6; ++slot) {
            const std::string call = "[\"STPlay\", " + std::to_string(slot) + "]";
            for (std::size_t at = s.find(call); at != std::string::npos; at = s.find(call, at + 1))
                ++effects[slot];
        }
    }
    EXPECT_EQ(seen, songs);
    // A level-up plays slots 1 and 5 together; every contact plays slot 0.
    EXPECT_EQ(effects[1], effects[5]);
    EXPECT_GT(effects[1], 0u);
    EXPECT_GE(effects[0], 43148u) << "fewer contact sounds than the game's contacts";

    // With --every K a line lists its own frame's calls, not those of the frames between.
    const std::vector<std::string> sparse = runTool("trace " + replay + " --objects --sounds --every 100");
    ASSERT_EQ(sparse.size(), 245u);
    for (std::size_t i = 0; i < sparse.size(); ++i)
        EXPECT_EQ(sparse[i], sounds[i * 100]) << "frame " << i * 100;
}

namespace {

ToolRun toolRun(const std::string& arguments) {
    ToolRun r;
    FILE* p = ::popen((std::string(TOLVANE_REPLAY_TOOL) + " " + arguments + " 2>/dev/null").c_str(), "r");
    if (!p) return r;
    std::string out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) r.lines.push_back(line);
    return r;
}

// The number after "key": in a JSON line.
long long field(const std::string& line, const std::string& key) {
    const std::size_t at = line.find("\"" + key + "\": ");
    return at == std::string::npos ? -1 : std::stoll(line.substr(at + key.size() + 4));
}

} // namespace

TEST(Compare, ScoresEveryMinuteAreTracesAndTheEndsAreVerifys) {
    const std::string a = (kData / "boost.rep").string(), b = (kData / "zero.rep").string();
    const ToolRun c = toolRun("compare " + quoted(a) + " " + quoted(b));
    ASSERT_EQ(c.status, 0);
    const ToolRun ta = toolRun("trace " + quoted(a) + " --every 60"),
                  tb = toolRun("trace " + quoted(b) + " --every 60");
    std::vector<std::string> every, splits;
    for (const auto& l : c.lines) {
        if (l.find("\"split\"") != std::string::npos)
            splits.push_back(l);
        else if (l.rfind("{\"frame\"", 0) == 0)
            every.push_back(l);
    }
    const ToolRun va = verify({a}), vb = verify({b});
    ASSERT_EQ(every.size(), std::max(ta.lines.size(), tb.lines.size()));
    // A game that has ended keeps its final score.
    auto scoreAt = [](const ToolRun& trace, const ToolRun& end, std::size_t i) {
        return i < trace.lines.size() ? field(trace.lines[i], "score") : field(end.lines[0], "score");
    };
    for (std::size_t i = 0; i < every.size(); ++i) {
        const long long sa = scoreAt(ta, va, i), sb = scoreAt(tb, vb, i);
        EXPECT_EQ(field(every[i], "frame"), static_cast<long long>(60 * i));
        EXPECT_EQ(field(every[i], "a"), sa) << every[i];
        EXPECT_EQ(field(every[i], "b"), sb) << every[i];
        EXPECT_EQ(field(every[i], "diff"), sa - sb) << every[i];
    }
    ASSERT_EQ(splits.size(), 2u) << "boost ends before the second boss";
    EXPECT_EQ(splits[0],
              "{\"frame\": 3700, \"split\": \"boss 1\", \"a\": 1406, \"b\": 36363, \"diff\": -34957}");
    EXPECT_NE(splits[1].find("\"stage 2\""), std::string::npos);
    const std::string& last = c.lines.back();
    EXPECT_EQ(last, "{\"a\": " + va.lines[0] + ", \"b\": " + vb.lines[0] + ", \"diff\": -69158}");
    // The lost spans: ten seconds each, apart, the worst first, each what the gap says.
    const std::string& lost = c.lines[c.lines.size() - 2];
    ASSERT_EQ(lost.rfind("{\"lost\": [", 0), 0u) << lost;
    EXPECT_EQ(field(lost, "to") - field(lost, "from"), 600);
    EXPECT_GT(field(lost, "by"), 30000) << "the rival's run past the first boss's end";
    EXPECT_EQ(toolRun("compare " + quoted(a) + " /nonexistent.rep").status, 2);
}
