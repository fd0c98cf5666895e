// The player's settings: which keys and pad buttons do what, how loud the effects and
// the songs are, and how the game window looks. One file, settings.ini in the user's
// configuration folder, read and written by the game and by the menu program alike.
//
// None of it changes what a frame computes: keys only decide which physical key feeds
// which of the game's inputs. Without a file everything is as the game has always been.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

// What a key can be bound to. The first five feed the input record of a live game, the
// eight from Faster to Panel are the playback's own; the others act in both.
enum class Action : int {
    Up,
    Down,
    Left,
    Right,
    Bomb,
    Pause,
    Fullscreen,
    Screenshot,
    Quit,
    Faster,
    Slower,
    Fastest,
    ReplayPause,
    Step,
    Jump,
    Results,
    Panel,
    Ghost,    // shows or hides a rival's ghost
    TakeOver, // in playback: play on live from the frame shown
    Retry,    // in a take-over: start it again from the frame taken over
    Rewind,   // in a take-over: go back five seconds
};
inline constexpr int kActionCount = 21;

// When an action's keys are heard: two actions may share a key only when they are
// never heard at the same time.
enum class When { Live, Playback, Always };

struct ActionInfo {
    const char* key;      // its name in [keys]
    const char* defaults; // the keys it has without a file, as written in the file
    When when;
};
const ActionInfo& actionInfo(Action action);
// Whether the keys of two actions are heard at the same time (then they may not share one).
bool heardTogether(Action a, Action b);

// A key, as SDL names it (an SDL_Keycode).
using Key = std::int32_t;

enum class Scale { Integer, Fit };

// The language of the texts: the desktop's, the game's own Japanese, or English.
enum class Language { Auto, Japanese, English };
// As the file writes it: "auto", "ja", "en".
const char* languageName(Language language);

// Which run a game is raced against when the menu starts it: none, the best replay
// (HiReplay.rep), the run just above the player's on the table, or the table's top.
enum class RivalChoice { None, Best, Above, Top };
// As the file writes it: "none", "best", "above", "top".
const char* rivalChoiceName(RivalChoice choice);

// Practice from a run's real state: what a miss does (play goes on, or the take-over
// goes back three seconds) and whether a section starts again at its end.
enum class PracticeMiss { GoOn, Rewind };
enum class PracticeLoop { None, Section };
// As the file writes them: "go_on", "rewind"; "none", "section".
const char* practiceMissName(PracticeMiss miss);
const char* practiceLoopName(PracticeLoop loop);

struct Settings {
    std::array<std::vector<Key>, kActionCount> keys;
    int padBomb = 0;   // an SDL_GameControllerButton
    int padPause = 6;  // an SDL_GameControllerButton
    int deadzone = 50; // percent of the stick's travel from its centre that is no direction
    int effects = 100; // percent
    int music = 100;   // percent
    bool fullscreen = false;
    Scale scale = Scale::Integer;
    int window = 0; // the window's size as a whole multiple of 640x480; 0: chosen from the desktop
    Language language = Language::Auto;
    // The online score table: nothing is ever sent anywhere while `server` is empty.
    std::string server;      // "http://host:port" or "https://…"
    std::string name;        // the name the player's runs are shown under
    bool autoSubmit = false; // every game sent when it ends
    // A rival raced beside the game: whose run by default, how opaque its ghost is, and
    // whether the differences at stage starts and boss entries are shown.
    RivalChoice rival = RivalChoice::None;
    int ghost = 45; // percent
    bool splits = true;
    PracticeMiss onMiss = PracticeMiss::GoOn;
    PracticeLoop loop = PracticeLoop::None;

    const std::vector<Key>& of(Action a) const { return keys[static_cast<int>(a)]; }
    std::vector<Key>& of(Action a) { return keys[static_cast<int>(a)]; }
    bool operator==(const Settings&) const = default;
};

Settings defaults();

// A line of the file that could not be used, and what is used instead.
struct Warning {
    int line = 0; // 1-based
    std::string text;
};

// Why a name cannot stand in the file and be shown on the table, or nothing: the online
// table's name rule (names/name_rule.h), and nothing the file would read as a comment
// (a ';' or '#' after a blank).
std::optional<std::string> nameProblem(std::string_view name);
bool nameFits(std::string_view name);

// Reads settings from the text of a settings file. Every value that cannot be used
// leaves that setting at its default and adds a warning; nothing is fatal.
Settings parse(std::string_view text, std::vector<Warning>* warnings = nullptr);

// The settings file: $XDG_CONFIG_HOME/tolvane/settings.ini, by default
// ~/.config/tolvane/settings.ini (a relative XDG_CONFIG_HOME is ignored). Empty when
// there is neither XDG_CONFIG_HOME nor HOME.
std::filesystem::path settingsFile();
std::filesystem::path settingsFile(const char* home, const char* xdgConfigHome);

// Reads the file. A missing file gives the defaults and no warning; a file that cannot
// be read gives the defaults and one warning. Each warning comes as one line naming the
// file and the line: "PATH:LINE: effects = loud: not a number from 0 to 100; using 100".
Settings load(const std::filesystem::path& file, std::vector<std::string>* warnings);
// Reads the settings file and prints its warnings to stderr, each prefixed by `program`.
Settings loadAndWarn(const char* program);

// Writing. A change sets one key of one section to a value as written in the file.
struct Change {
    std::string section, key, value;
    bool operator==(const Change&) const = default;
};

// What has to be written so that a file read as `from` reads as `to`: one change for
// each key whose value differs.
std::vector<Change> changes(const Settings& from, const Settings& to);

// The text of a settings file with the changes made: each key's value is replaced where
// the key stands (its spacing and inline comment kept), a key that is not there is added
// at the end of its section, a section that is not there at the end of the file.
// Everything else (comments, blank lines, other sections and keys, lines that could not
// be read) stays exactly as it was.
std::string applyChanges(std::string_view text, const std::vector<Change>& changes);

// Makes the changes in the file as it is now on disk (read again just before, under a
// lock that the other program's writes also take, so neither drops the other's change),
// written to a temporary file in the same folder, flushed to disk and renamed over the
// old one. The folders are created when missing. False, with the reason, when any step
// fails; the file is then as it was.
bool save(const std::filesystem::path& file, const std::vector<Change>& changes, std::string* why);

// Key names as the file writes them: SDL's names, with "Comma", "Semicolon" and "Hash"
// for the keys whose own names would be read as a separator or a comment.
std::string keyName(Key key);
// The key of a name (case does not matter); 0 when SDL knows no such key.
Key keyFromName(std::string_view name);
std::string keyList(const std::vector<Key>& keys); // "Up, Keypad 8"

// Game-controller buttons as SDL names them ("a", "start"); -1 for an unknown name.
std::string buttonName(int button);
int buttonFromName(std::string_view name);

} // namespace settings
