// Reading the settings file with inih, and the values it holds.
#include "settings/settings.h"

#include <SDL.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>

#include "names/name_rule.h"
#include "settings/inifile.h"

namespace settings {
namespace {

// clang-format off
constexpr ActionInfo kActions[kActionCount] = {
    {"up",           "Up, Keypad 8",   When::Live},
    {"down",         "Down, Keypad 2", When::Live},
    {"left",         "Left, Keypad 4", When::Live},
    {"right",        "Right, Keypad 6", When::Live},
    {"bomb",         "Z",              When::Live},
    {"pause",        "P, Pause",       When::Always},
    {"fullscreen",   "F11",            When::Always},
    {"screenshot",   "F12",            When::Always},
    {"quit",         "Escape",         When::Always},
    {"faster",       "F1",             When::Playback},
    {"slower",       "F2",             When::Playback},
    {"fastest",      "F3",             When::Playback},
    {"replay_pause", "Space",          When::Playback},
    {"step",         ".",              When::Playback},
    {"jump",         "PageDown",       When::Playback},
    {"results",      "End",            When::Playback},
    {"panel",        "H",              When::Playback},
    {"ghost",        "G",              When::Always},
    {"take_over",    "T",              When::Playback},
    {"retry",        "Backspace",      When::Live},
    {"rewind",       "R",              When::Live},
};
// clang-format on

// Names the file uses for keys whose SDL name would be read as something else.
struct Alias {
    const char* name;
    Key key;
};
constexpr Alias kAliases[] = {{"Comma", ','}, {"Semicolon", ';'}, {"Hash", '#'}};

// A comma-separated list of key names; false with the name that is not a key.
bool parseKeys(std::string_view text, std::vector<Key>& keys, std::string& bad) {
    keys.clear();
    text = trim(text);
    if (text.empty()) return true; // no key at all
    while (true) {
        const size_t comma = text.find(',');
        const std::string_view name = trim(text.substr(0, comma));
        const Key key = keyFromName(name);
        if (key == 0) {
            bad = std::string(name);
            return false;
        }
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) keys.push_back(key);
        if (comma == std::string_view::npos) return true;
        text.remove_prefix(comma + 1);
    }
}

bool parseInt(std::string_view text, int low, int high, int& out) {
    int v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high) return false;
    out = v;
    return true;
}

bool parseBool(std::string_view text, bool& out) {
    for (const char* yes : {"true", "yes", "on", "1"}) {
        if (sameText(text, yes)) return out = true, true;
    }
    for (const char* no : {"false", "no", "off", "0"}) {
        if (sameText(text, no)) return out = false, true;
    }
    return false;
}

class Reader {
  public:
    Reader(const Document& doc, std::vector<Warning>* warnings) : doc_(doc), warnings_(warnings) {}

    // The last value of a key, or null.
    const Entry* find(const char* section, const char* key) const { return doc_.find(section, key); }

    void warn(const Entry& e, const std::string& why, const std::string& instead) {
        if (!warnings_) return;
        warnings_->push_back({e.line, e.key + " = " + e.value + ": " + why + "; using " +
                                          (instead.empty() ? "no key" : instead)});
    }

    void number(const char* section, const char* key, int low, int high, int& out) {
        const Entry* e = find(section, key);
        if (e && !parseInt(e->value, low, high, out))
            warn(*e, "not a whole number from " + std::to_string(low) + " to " + std::to_string(high),
                 std::to_string(out));
    }

  private:
    const Document& doc_;
    std::vector<Warning>* warnings_;
};

void readKeys(Reader& r, Settings& s) {
    // Actions the file does not name keep their default keys, and those are taken first;
    // then the file's bindings in the order of its lines. A binding that takes a key
    // already in use for an action heard at the same time is refused, and that action
    // keeps what is left of its default keys.
    struct Pending {
        int action;
        const Entry* entry;
    };
    std::vector<Pending> named;
    std::array<bool, kActionCount> done{};
    for (int a = 0; a < kActionCount; ++a) {
        if (const Entry* e = r.find("keys", kActions[a].key)) {
            named.push_back({a, e});
        } else {
            std::string bad;
            parseKeys(kActions[a].defaults, s.keys[a], bad);
            done[a] = true;
        }
    }
    std::sort(named.begin(), named.end(),
              [](const Pending& x, const Pending& y) { return x.entry->line < y.entry->line; });

    auto takenBy = [&](int action, Key key) {
        for (int other = 0; other < kActionCount; ++other) {
            if (other == action || !done[other] || !heardTogether(Action(other), Action(action))) continue;
            const auto& keys = s.keys[other];
            if (std::find(keys.begin(), keys.end(), key) != keys.end()) return other;
        }
        return -1;
    };
    auto fallBack = [&](int a, const Entry& e, const std::string& why) {
        std::vector<Key> keys, free;
        std::string bad;
        parseKeys(kActions[a].defaults, keys, bad);
        for (Key k : keys) {
            if (takenBy(a, k) < 0) free.push_back(k);
        }
        s.keys[a] = free;
        r.warn(e, why, keyList(free));
    };
    for (const Pending& p : named) {
        std::vector<Key> keys;
        std::string bad;
        if (!parseKeys(p.entry->value, keys, bad)) {
            fallBack(p.action, *p.entry, "no key is called \"" + bad + "\"");
        } else {
            int clash = -1;
            Key clashKey = 0;
            for (Key k : keys) {
                if ((clash = takenBy(p.action, k)) >= 0) {
                    clashKey = k;
                    break;
                }
            }
            if (clash >= 0)
                fallBack(p.action, *p.entry,
                         keyName(clashKey) + " is already the key of " + kActions[clash].key);
            else
                s.keys[p.action] = keys;
        }
        done[p.action] = true;
    }
}

void readPad(Reader& r, Settings& s) {
    auto button = [&](const char* key, int& out) {
        const Entry* e = r.find("pad", key);
        if (!e) return;
        const int b = buttonFromName(e->value);
        if (b < 0)
            r.warn(*e, "not a game controller button (a, b, x, y, start, back, leftshoulder, ...)",
                   buttonName(out));
        else
            out = b;
    };
    button("bomb", s.padBomb);
    button("pause", s.padPause);
    if (s.padPause == s.padBomb) {
        s.padPause = defaults().padPause == s.padBomb ? defaults().padBomb : defaults().padPause;
        const Entry* e = r.find("pad", "pause");
        if (e)
            r.warn(*e, "the bomb has that button already", buttonName(s.padPause));
        else if ((e = r.find("pad", "bomb")))
            r.warn(*e, "pause has that button; pause moves to " + buttonName(s.padPause),
                   buttonName(s.padBomb));
    }
    r.number("pad", "deadzone", 0, 100, s.deadzone);
}

// [rival]: read here and written by the menu.
void readRival(Reader& r, Settings& s) {
    if (const Entry* e = r.find("rival", "default")) {
        bool known = false;
        for (RivalChoice c : {RivalChoice::None, RivalChoice::Best, RivalChoice::Above, RivalChoice::Top}) {
            if (sameText(e->value, rivalChoiceName(c))) {
                s.rival = c;
                known = true;
            }
        }
        if (!known) r.warn(*e, "neither none, best, above nor top", "none");
    }
    r.number("rival", "ghost", 0, 100, s.ghost);
    if (const Entry* e = r.find("rival", "splits"); e && !parseBool(e->value, s.splits))
        r.warn(*e, "neither true nor false", "true");
}

// [practice]: read by the game, written by the menu.
void readPractice(Reader& r, Settings& s) {
    if (const Entry* e = r.find("practice", "on_miss")) {
        if (sameText(e->value, practiceMissName(PracticeMiss::Rewind)))
            s.onMiss = PracticeMiss::Rewind;
        else if (!sameText(e->value, practiceMissName(PracticeMiss::GoOn)))
            r.warn(*e, "neither go_on nor rewind", "go_on");
    }
    if (const Entry* e = r.find("practice", "loop")) {
        if (sameText(e->value, practiceLoopName(PracticeLoop::Section)))
            s.loop = PracticeLoop::Section;
        else if (!sameText(e->value, practiceLoopName(PracticeLoop::None)))
            r.warn(*e, "neither none nor section", "none");
    }
}

} // namespace

const ActionInfo& actionInfo(Action action) { return kActions[static_cast<int>(action)]; }

std::optional<std::string> nameProblem(std::string_view name) {
    if (auto why = names::problem(name)) return why;
    if (name.find(" ;") != std::string_view::npos || name.find(" #") != std::string_view::npos)
        return "the name holds a ';' or '#' after a blank, which the settings file would read as a comment";
    return std::nullopt;
}

bool nameFits(std::string_view name) { return !nameProblem(name); }

bool heardTogether(Action a, Action b) {
    const When x = actionInfo(a).when, y = actionInfo(b).when;
    return x == y || x == When::Always || y == When::Always;
}

const char* languageName(Language language) {
    switch (language) {
    case Language::Japanese: return "ja";
    case Language::English: return "en";
    default: return "auto";
    }
}

const char* rivalChoiceName(RivalChoice choice) {
    switch (choice) {
    case RivalChoice::Best: return "best";
    case RivalChoice::Above: return "above";
    case RivalChoice::Top: return "top";
    default: return "none";
    }
}

const char* practiceMissName(PracticeMiss miss) { return miss == PracticeMiss::Rewind ? "rewind" : "go_on"; }

const char* practiceLoopName(PracticeLoop loop) { return loop == PracticeLoop::Section ? "section" : "none"; }

Settings defaults() {
    Settings s;
    for (int a = 0; a < kActionCount; ++a) {
        std::string bad;
        parseKeys(kActions[a].defaults, s.keys[a], bad);
    }
    return s;
}

Settings parse(std::string_view text, std::vector<Warning>* warnings) {
    Settings s = defaults();
    const Document doc = Document::read(text);
    if (warnings) {
        for (int line : doc.unreadable)
            warnings->push_back({line, "this line could not be read; it is left as it is"});
    }
    Reader r(doc, warnings);
    readKeys(r, s);
    readPad(r, s);
    r.number("sound", "effects", 0, 100, s.effects);
    r.number("sound", "music", 0, 100, s.music);
    if (const Entry* e = r.find("display", "fullscreen"); e && !parseBool(e->value, s.fullscreen))
        r.warn(*e, "neither true nor false", s.fullscreen ? "true" : "false");
    if (const Entry* e = r.find("display", "scale")) {
        if (sameText(e->value, "integer"))
            s.scale = Scale::Integer;
        else if (sameText(e->value, "fit"))
            s.scale = Scale::Fit;
        else
            r.warn(*e, "neither integer nor fit", "integer");
    }
    if (const Entry* e = r.find("display", "window"); e && !sameText(e->value, "auto")) {
        if (!parseInt(e->value, 1, 8, s.window))
            r.warn(*e, "neither auto nor a whole number from 1 to 8", "auto");
    }
    if (const Entry* e = r.find("online", "server")) {
        const std::string& url = e->value;
        const bool web = url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0;
        if (url.empty() || (web && url.size() > 8 && url.find_first_of(" \t") == std::string::npos))
            s.server = url;
        else
            r.warn(*e, "not an http:// or https:// address", "no server (online off)");
    }
    if (const Entry* e = r.find("online", "name")) {
        const auto why = e->value.empty() ? std::nullopt : nameProblem(e->value);
        if (!why)
            s.name = e->value;
        else
            r.warn(*e, *why, "no name");
    }
    if (const Entry* e = r.find("online", "auto_submit"); e && !parseBool(e->value, s.autoSubmit))
        r.warn(*e, "neither true nor false", "false");
    if (const Entry* e = r.find("general", "language")) {
        bool known = false;
        for (Language l : {Language::Auto, Language::Japanese, Language::English}) {
            if (sameText(e->value, languageName(l))) {
                s.language = l;
                known = true;
            }
        }
        if (!known) r.warn(*e, "neither auto, ja nor en", "auto");
    }
    readRival(r, s);
    readPractice(r, s);
    if (warnings) {
        std::stable_sort(warnings->begin(), warnings->end(),
                         [](const Warning& a, const Warning& b) { return a.line < b.line; });
    }
    return s;
}

std::filesystem::path settingsFile(const char* home, const char* xdgConfigHome) {
    std::filesystem::path base;
    if (xdgConfigHome && *xdgConfigHome == '/')
        base = xdgConfigHome;
    else if (home && *home)
        base = std::filesystem::path(home) / ".config";
    else
        return {};
    return base / "tolvane" / "settings.ini";
}

std::filesystem::path settingsFile() {
    return settingsFile(std::getenv("HOME"), std::getenv("XDG_CONFIG_HOME"));
}

Settings load(const std::filesystem::path& file, std::vector<std::string>* warnings) {
    std::string text, why;
    if (file.empty() || !readFile(file, text, &why)) {
        if (!why.empty() && warnings) warnings->push_back(why + "; using the default settings");
        return defaults();
    }
    std::vector<Warning> found;
    Settings s = parse(text, &found);
    if (warnings) {
        for (const Warning& w : found)
            warnings->push_back(file.string() + ":" + std::to_string(w.line) + ": " + w.text);
    }
    return s;
}

Settings loadAndWarn(const char* program) {
    std::vector<std::string> warnings;
    Settings s = load(settingsFile(), &warnings);
    for (const std::string& w : warnings) std::fprintf(stderr, "%s: %s\n", program, w.c_str());
    return s;
}

std::vector<Change> changes(const Settings& from, const Settings& to) {
    std::vector<Change> out;
    for (int a = 0; a < kActionCount; ++a) {
        if (from.keys[a] != to.keys[a]) out.push_back({"keys", kActions[a].key, keyList(to.keys[a])});
    }
    if (from.padBomb != to.padBomb) out.push_back({"pad", "bomb", buttonName(to.padBomb)});
    if (from.padPause != to.padPause) out.push_back({"pad", "pause", buttonName(to.padPause)});
    if (from.deadzone != to.deadzone) out.push_back({"pad", "deadzone", std::to_string(to.deadzone)});
    if (from.effects != to.effects) out.push_back({"sound", "effects", std::to_string(to.effects)});
    if (from.music != to.music) out.push_back({"sound", "music", std::to_string(to.music)});
    if (from.fullscreen != to.fullscreen)
        out.push_back({"display", "fullscreen", to.fullscreen ? "true" : "false"});
    if (from.scale != to.scale)
        out.push_back({"display", "scale", to.scale == Scale::Fit ? "fit" : "integer"});
    if (from.window != to.window)
        out.push_back({"display", "window", to.window == 0 ? "auto" : std::to_string(to.window)});
    if (from.language != to.language) out.push_back({"general", "language", languageName(to.language)});
    if (from.server != to.server) out.push_back({"online", "server", to.server});
    if (from.name != to.name) out.push_back({"online", "name", to.name});
    if (from.autoSubmit != to.autoSubmit)
        out.push_back({"online", "auto_submit", to.autoSubmit ? "true" : "false"});
    if (from.rival != to.rival) out.push_back({"rival", "default", rivalChoiceName(to.rival)});
    if (from.ghost != to.ghost) out.push_back({"rival", "ghost", std::to_string(to.ghost)});
    if (from.splits != to.splits) out.push_back({"rival", "splits", to.splits ? "true" : "false"});
    if (from.onMiss != to.onMiss) out.push_back({"practice", "on_miss", practiceMissName(to.onMiss)});
    if (from.loop != to.loop) out.push_back({"practice", "loop", practiceLoopName(to.loop)});
    return out;
}

std::string keyName(Key key) {
    for (const Alias& a : kAliases) {
        if (a.key == key) return a.name;
    }
    return SDL_GetKeyName(key);
}

Key keyFromName(std::string_view name) {
    if (name.empty()) return 0;
    for (const Alias& a : kAliases) {
        if (sameText(name, a.name)) return a.key;
    }
    const std::string text(name);
    if (text.find_first_of(",;") != std::string::npos && text.size() > 1) return 0;
    return SDL_GetKeyFromName(text.c_str());
}

std::string keyList(const std::vector<Key>& keys) {
    std::string out;
    for (Key k : keys) {
        if (!out.empty()) out += ", ";
        out += keyName(k);
    }
    return out;
}

std::string buttonName(int button) {
    const char* name = SDL_GameControllerGetStringForButton(static_cast<SDL_GameControllerButton>(button));
    return name ? name : "";
}

int buttonFromName(std::string_view name) {
    const std::string text(trim(name));
    if (text.empty()) return -1;
    return SDL_GameControllerGetButtonFromString(text.c_str());
}

} // namespace settings
