// The settings file: values and what a bad one falls back to, key bindings that clash,
// and writes that change only their own keys.
#include <gtest/gtest.h>

#include <SDL.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "name_cases.h"
#include "names/name_rule.h"
#include "records_test_support.h"
#include "settings/inifile.h"
#include "settings/settings.h"

namespace {

using settings::Action;
using settings::Key;

std::vector<Key> keysOf(const char* names) {
    std::vector<Key> out;
    std::stringstream in(names);
    for (std::string name; std::getline(in, name, ',');) {
        while (!name.empty() && name.front() == ' ') name.erase(0, 1);
        out.push_back(settings::keyFromName(name));
    }
    return out;
}

TEST(Settings, EveryValueReadsAndEveryBadOneFallsBackWithOneWarning) {
    struct Case {
        const char* text;
        int warningLine; // 0: no warning
        std::function<bool(const settings::Settings&)> holds;
    };
    const Case cases[] = {
        {"", 0, [](auto& s) { return s == settings::defaults(); }},
        {"[sound]\neffects = 40\nmusic=0\n", 0, [](auto& s) { return s.effects == 40 && s.music == 0; }},
        {"[sound]\neffects = loud\n", 2, [](auto& s) { return s.effects == 100; }},
        {"[sound]\nmusic = 101\n", 2, [](auto& s) { return s.music == 100; }},
        {"[sound]\nmusic = 50%\n", 2, [](auto& s) { return s.music == 100; }},
        {"[SOUND]\n  Effects = 7   ; quiet\n", 0, [](auto& s) { return s.effects == 7; }},
        {"[sound]\neffects = 7     # 0..100\n", 0, [](auto& s) { return s.effects == 7; }},
        {"[display]\nfullscreen = yes\nscale = fit\nwindow = 3\n", 0,
         [](auto& s) { return s.fullscreen && s.scale == settings::Scale::Fit && s.window == 3; }},
        {"[display]\nfullscreen = maybe\n", 2, [](auto& s) { return !s.fullscreen; }},
        {"[general]\nlanguage = EN\n", 0, [](auto& s) { return s.language == settings::Language::English; }},
        {"[general]\nlanguage = fr\n", 2, [](auto& s) { return s.language == settings::Language::Auto; }},
        {"[online]\nserver = http://127.0.0.1:8080\nname = Ada 機\nauto_submit = yes\n", 0,
         [](auto& s) { return s.server == "http://127.0.0.1:8080" && s.name == "Ada 機" && s.autoSubmit; }},
        {"[online]\nserver = ftp://x\n", 2, [](auto& s) { return s.server.empty(); }},
        {"[online]\nname = abcdefghijklmnopqrstuvwxy\n", 2, [](auto& s) { return s.name.empty(); }},
        {"[online]\nname = \x01x\n", 2, [](auto& s) { return s.name.empty(); }},
        {"[display]\nwindow = 0\n", 2, [](auto& s) { return s.window == 0; }},
        {"[display]\nscale = 2x\n", 2, [](auto& s) { return s.scale == settings::Scale::Integer; }},
        {"[pad]\nbomb = x\npause = back\ndeadzone = 30\n", 0,
         [](auto& s) {
             return s.padBomb == SDL_CONTROLLER_BUTTON_X && s.padPause == SDL_CONTROLLER_BUTTON_BACK &&
                    s.deadzone == 30;
         }},
        {"[pad]\nbomb = trigger\n", 2, [](auto& s) { return s.padBomb == SDL_CONTROLLER_BUTTON_A; }},
        {"[pad]\nbomb = start\n", 2,
         [](auto& s) {
             return s.padBomb == SDL_CONTROLLER_BUTTON_START && s.padPause == SDL_CONTROLLER_BUTTON_A;
         }},
        {"[keys]\nbomb = X\nleft = A, Left\n", 0,
         [](auto& s) {
             return s.of(Action::Bomb) == keysOf("X") && s.of(Action::Left) == keysOf("A, Left");
         }},
        {"[keys]\nbomb = Q-\n", 2, [](auto& s) { return s.of(Action::Bomb) == keysOf("Z"); }},
        {"[keys]\nbomb = Comma\nquit = Semicolon, Hash\n", 0,
         [](auto& s) {
             return s.of(Action::Bomb) == std::vector<Key>{','} &&
                    s.of(Action::Quit) == std::vector<Key>{';', '#'};
         }},
        {"[keys]\npause =\n", 0, [](auto& s) { return s.of(Action::Pause).empty(); }},
        {"this is not a setting\n[sound]\nmusic = 5\n", 1, [](auto& s) { return s.music == 5; }},
        {"[sound\nmusic = 5\n", 1, [](auto& s) { return s.music == 100; }}, // no section: not a sound key
        {"[sound]\nmusic = 5\nmusic = 6\n", 0, [](auto& s) { return s.music == 6; }},
        {"[other]\nwhatever = 1\n[keys]\nunknown_action = X\n", 0,
         [](auto& s) { return s == settings::defaults(); }},
    };
    for (const Case& c : cases) {
        std::vector<settings::Warning> warnings;
        const settings::Settings s = settings::parse(c.text, &warnings);
        EXPECT_TRUE(c.holds(s)) << c.text;
        if (c.warningLine == 0) {
            EXPECT_TRUE(warnings.empty()) << c.text << warnings.front().text;
        } else {
            ASSERT_EQ(warnings.size(), 1u) << c.text;
            EXPECT_EQ(warnings[0].line, c.warningLine) << c.text;
        }
    }
}

TEST(Settings, AKeyTakenByAnActionHeardAtTheSameTimeIsRefused) {
    struct Case {
        const char* text;
        Action action;
        const char* keys; // what the action ends up with
        bool warned;
    };
    const Case cases[] = {
        // The explicit binding loses against another action's default...
        {"[keys]\nup = Z\n", Action::Up, "Up, Keypad 8", true},
        {"[keys]\nup = Z\n", Action::Bomb, "Z", true},
        // ...and against an earlier line; the later one keeps what is left of its default.
        {"[keys]\nbomb = P\npause = P, O\n", Action::Pause, "Pause", true},
        // A swap written out in full works.
        {"[keys]\nbomb = P\npause = Z\n", Action::Bomb, "P", false},
        {"[keys]\nbomb = P\npause = Z\n", Action::Pause, "Z", false},
        // A live key and a playback key never sound together: Space bombs in a game and
        // pauses a replay.
        {"[keys]\nbomb = Space\n", Action::Bomb, "Space", false},
        {"[keys]\nbomb = Space\n", Action::ReplayPause, "Space", false},
        {"[keys]\nbomb = F11\n", Action::Bomb, "Z", true},
    };
    for (const Case& c : cases) {
        std::vector<settings::Warning> warnings;
        const settings::Settings s = settings::parse(c.text, &warnings);
        EXPECT_EQ(settings::keyList(s.of(c.action)), settings::keyList(keysOf(c.keys))) << c.text;
        EXPECT_EQ(!warnings.empty(), c.warned) << c.text;
    }
}

TEST(Settings, AChangeRewritesOnlyItsOwnValue) {
    struct Case {
        const char* before;
        std::vector<settings::Change> changes;
        const char* after;
    };
    const Case cases[] = {
        {"; mine\n[sound]\neffects = 100   ; loud\nmusic = 3\n\n[zzz]\nq=1\nnot a line\n",
         {{"sound", "effects", "20"}},
         "; mine\n[sound]\neffects = 20   ; loud\nmusic = 3\n\n[zzz]\nq=1\nnot a line\n"},
        {"[sound]\r\nmusic=3\r\n",
         {{"sound", "effects", "5"}, {"display", "fullscreen", "true"}},
         "[sound]\r\nmusic=3\r\neffects = 5\r\n\r\n[display]\r\nfullscreen = true\r\n"},
        {"[keys]\nbomb = Z\n[sound]\nmusic = 1",
         {{"keys", "left", "A"}},
         "[keys]\nbomb = Z\nleft = A\n[sound]\nmusic = 1"},
        {"[keys]\nbomb = Z\nbomb = Y\n", {{"keys", "bomb", "X"}}, "[keys]\nbomb = Z\nbomb = X\n"},
        {"[Display]\n  FullScreen:false # mine\n",
         {{"display", "fullscreen", "true"}},
         "[Display]\n  FullScreen:true # mine\n"},
        {"[keys]\n", {{"keys", "pause", ""}}, "[keys]\npause = \n"},
        {"", {{"display", "fullscreen", "true"}}, "[display]\nfullscreen = true\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(settings::applyChanges(c.before, c.changes), c.after) << c.before;
}

TEST(Settings, WhatChangesWritesReadsBackAsTheSettingsWritten) {
    settings::Settings custom = settings::defaults();
    custom.of(Action::Bomb) = keysOf("X, Comma");
    custom.of(Action::Left) = keysOf("A");
    custom.of(Action::Step).clear();
    custom.padPause = SDL_CONTROLLER_BUTTON_Y;
    custom.deadzone = 20;
    custom.effects = 0;
    custom.music = 55;
    custom.fullscreen = true;
    custom.scale = settings::Scale::Fit;
    custom.window = 2;
    custom.language = settings::Language::Japanese;
    custom.server = "https://scores.example:8443";
    custom.name = "プレイヤー1";
    custom.autoSubmit = true;
    custom.rival = settings::RivalChoice::Above;
    custom.ghost = 0;
    custom.splits = false;
    custom.of(Action::Ghost) = keysOf("J");
    const std::string text =
        settings::applyChanges("# a comment\n", settings::changes(settings::defaults(), custom));
    std::vector<settings::Warning> warnings;
    EXPECT_EQ(settings::parse(text, &warnings), custom) << text;
    EXPECT_TRUE(warnings.empty()) << text;
    EXPECT_EQ(text.rfind("# a comment\n", 0), 0u);
    EXPECT_TRUE(settings::changes(custom, custom).empty());
}

TEST(Settings, TheFileIsFoundWhereTheDesktopKeepsSettings) {
    EXPECT_EQ(settings::settingsFile("/home/p", nullptr), "/home/p/.config/tolvane/settings.ini");
    EXPECT_EQ(settings::settingsFile("/home/p", "/x/cfg"), "/x/cfg/tolvane/settings.ini");
    EXPECT_EQ(settings::settingsFile("/home/p", "relative"), "/home/p/.config/tolvane/settings.ini");
    EXPECT_EQ(settings::settingsFile(nullptr, nullptr), "");
}

TEST(Settings, SavesMergeWithTheFileOnDiskAndAFailedOneLosesNothing) {
    records_test::TempDir dir;
    const auto file = dir / "cfg/tolvane/settings.ini";
    std::string why;
    ASSERT_TRUE(settings::save(file, {{"sound", "music", "10"}}, &why)) << why;
    // The other program's change, made meanwhile, stays.
    {
        std::ofstream out(file, std::ios::app);
        out << "# by hand\n[display]\nfullscreen = true\n";
    }
    ASSERT_TRUE(settings::save(file, {{"sound", "effects", "30"}}, &why)) << why;
    std::vector<std::string> warnings;
    settings::Settings s = settings::load(file, &warnings);
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(s.music, 10);
    EXPECT_EQ(s.effects, 30);
    EXPECT_TRUE(s.fullscreen);
    EXPECT_EQ(records_test::readFile(file).find("# by hand\n") != std::string::npos, true);
    EXPECT_EQ(dir.names(), std::set<std::string>{"cfg"}); // no temporary file left behind
    EXPECT_EQ(std::filesystem::directory_iterator(file.parent_path())->path(), file);

    // A settings file linked from elsewhere stays a link, and the file it names changes.
    const auto real = dir / "real.ini";
    std::filesystem::rename(file, real);
    std::filesystem::create_symlink(real, file);
    ASSERT_TRUE(settings::save(file, {{"sound", "music", "11"}}, &why)) << why;
    EXPECT_TRUE(std::filesystem::is_symlink(file));
    EXPECT_EQ(settings::load(file, nullptr).music, 11);

    // A settings "file" that is a folder, or under a file, is refused and left alone.
    const auto folder = dir / "folder.ini";
    std::filesystem::create_directory(folder);
    EXPECT_FALSE(settings::save(folder, {{"sound", "music", "1"}}, &why));
    EXPECT_NE(why.find("folder.ini"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_FALSE(settings::save(real / "settings.ini", {{"sound", "music", "1"}}, &why));
    EXPECT_EQ(settings::load(real, nullptr).music, 11);
    warnings.clear();
    EXPECT_EQ(settings::load(folder, &warnings), settings::defaults());
    EXPECT_EQ(warnings.size(), 1u);
}

// The menu holds the online table's names by the table's own rule, the server's cases
// (tests/name_cases.h) through the settings file.
TEST(Settings, OnlineNamesFollowTheTablesRule) {
    for (const NameCase& c : nameCases()) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(settings::nameFits(c.name), c.accepted);
        EXPECT_EQ(settings::nameProblem(c.name), names::problem(c.name)); // the server's words
        // Read from a file that holds it byte for byte: taken, or left out with a warning.
        if (c.name.empty() || c.name.find_first_of("\t\n\v\f\r") != std::string::npos ||
            c.name.front() == ' ' || c.name.back() == ' ')
            continue;
        std::vector<settings::Warning> warnings;
        const settings::Settings s = settings::parse("[online]\nname = " + c.name + "\n", &warnings);
        EXPECT_EQ(s.name, c.accepted ? c.name : "");
        EXPECT_EQ(warnings.size(), c.accepted ? 0u : 1u);
    }
    // What the file needs on top: nothing it would read as the start of a comment.
    for (const auto& [name, fits] :
         {std::pair{"a ;b", false}, {"a #b", false}, {"a;b", true}, {"#a", true}}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(names::problem(name));
        EXPECT_EQ(settings::nameFits(name), fits);
        const settings::Settings s = settings::parse(std::string("[online]\nname = ") + name + "\n");
        EXPECT_EQ(s.name == name, fits); // what the file cannot hold would come back cut
    }
}

} // namespace

TEST(Settings, TheRivalSectionReadsItsValuesAndFallsBackOnBadOnes) {
    struct Case {
        const char* text;
        settings::RivalChoice rival;
        int ghost;
        bool splits;
        int warnings;
    } cases[] = {
        {"", settings::RivalChoice::None, 45, true, 0},
        {"[rival]\ndefault = best\nghost = 100\nsplits = false\n", settings::RivalChoice::Best, 100, false,
         0},
        {"[rival]\ndefault = TOP\nghost = 0\n", settings::RivalChoice::Top, 0, true, 0},
        {"[rival]\ndefault = above\n", settings::RivalChoice::Above, 45, true, 0},
        {"[rival]\ndefault = fastest\nghost = 101\nsplits = maybe\n", settings::RivalChoice::None, 45, true,
         3},
        {"[rival]\nghost = -1\n", settings::RivalChoice::None, 45, true, 1},
    };
    for (const Case& c : cases) {
        std::vector<settings::Warning> warnings;
        const settings::Settings s = settings::parse(c.text, &warnings);
        EXPECT_EQ(s.rival, c.rival) << c.text;
        EXPECT_EQ(s.ghost, c.ghost) << c.text;
        EXPECT_EQ(s.splits, c.splits) << c.text;
        EXPECT_EQ(static_cast<int>(warnings.size()), c.warnings) << c.text;
    }
    EXPECT_EQ(settings::keyList(settings::defaults().of(Action::Ghost)), "G");
}

TEST(Settings, ThePracticeSectionReadsItsValuesAndFallsBackOnBadOnes) {
    struct Case {
        const char* text;
        settings::PracticeMiss onMiss;
        settings::PracticeLoop loop;
        int warnings;
    } cases[] = {
        {"", settings::PracticeMiss::GoOn, settings::PracticeLoop::None, 0},
        {"[practice]\non_miss = rewind\nloop = section\n", settings::PracticeMiss::Rewind,
         settings::PracticeLoop::Section, 0},
        {"[practice]\non_miss = GO_ON\nloop = None\n", settings::PracticeMiss::GoOn,
         settings::PracticeLoop::None, 0},
        {"[practice]\non_miss = retry\nloop = stage\n", settings::PracticeMiss::GoOn,
         settings::PracticeLoop::None, 2},
    };
    for (const Case& c : cases) {
        std::vector<settings::Warning> warnings;
        const settings::Settings s = settings::parse(c.text, &warnings);
        EXPECT_EQ(s.onMiss, c.onMiss) << c.text;
        EXPECT_EQ(s.loop, c.loop) << c.text;
        EXPECT_EQ(static_cast<int>(warnings.size()), c.warnings) << c.text;
        // What the menu writes reads back as it was.
        settings::Settings back =
            settings::parse(settings::applyChanges("", settings::changes(settings::defaults(), s)));
        EXPECT_EQ(back.onMiss, s.onMiss) << c.text;
        EXPECT_EQ(back.loop, s.loop) << c.text;
    }
    EXPECT_EQ(settings::keyList(settings::defaults().of(Action::TakeOver)), "T");
    EXPECT_EQ(settings::keyList(settings::defaults().of(Action::Retry)), "Backspace");
    EXPECT_EQ(settings::keyList(settings::defaults().of(Action::Rewind)), "R");
}
