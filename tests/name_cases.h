// Names and what the one name rule makes of them, shared by the server's test (a run sent
// under each name) and the menu's (the settings file's name): accepted or not, the form
// stored and shown, and which names read the same.
#pragma once

#include <string>
#include <vector>

struct NameCase {
    const char* what;
    std::string name;
    bool accepted;
    // Names of one group are one name (their skeletons are equal); 0 is a group of its own.
    int group = 0;
    // What is stored and shown when accepted; empty: the name as it is.
    std::string stored = {};

    const std::string& shown() const { return stored.empty() ? name : stored; }
};

inline std::string repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

inline const std::vector<NameCase>& nameCases() {
    enum { Alone, Leader, Autoplay, Case, Umlaut, Digit, Zoe, Long };
    static const std::vector<NameCase> cases = {
        // One name, however it is written.
        {"Latin", "Leader", true, Leader},
        {"a Cyrillic е inside", "L\u0435ader", true, Leader},
        {"fullwidth letters", "\uFF2C\uFF45\uFF41\uFF44\uFF45\uFF52", true, Leader, "Leader"},
        {"a zero-width joiner after", "Leader\u200D", false, Leader},
        {"ASCII", "P-autoplay", true, Autoplay},
        {"a Cyrillic Р first", "\u0420-autoplay", true, Autoplay},
        {"a zero-width joiner after", "P-autoplay\u200D", false, Autoplay},
        {"mixed case", "MiXeD Case", true, Case},
        {"other case", "mixed CASE", true, Case},
        {"a capital umlaut", "\u00C4B", true, Umlaut},
        {"a small umlaut", "\u00E4b", true, Umlaut},
        {"a one", "player1", true, Digit},
        {"an ell", "playerl", true, Digit},
        {"composed", "Zo\u00EB", true, Zoe},
        {"decomposed, stored composed", "Zoe\u0308", true, Zoe, "Zo\u00EB"},
        // Every script.
        {"Polish", "\u0141ukasz", true},
        {"Japanese", "山田太郎", true},
        {"Russian", "Иван", true},
        {"several scripts and an emoji", "Ölmez ジョン 🚀", true},
        {"markup, shown as text", "<svg onload=alert(1)>", true},
        // Length, in characters of the normal form.
        {"24 characters", std::string(24, 'x'), true, Long},
        {"25 characters", std::string(25, 'x'), false},
        {"characters, not bytes", "ジ" + std::string(23, 'x'), true},
        {"24 fullwidth letters, stored as ASCII", repeated("\uFF38", 24), true, Long, std::string(24, 'X')},
        {"7 characters that are 28 in their normal form", repeated("\u337F", 7), false},
        {"28 characters of markup", "<img src=x onerror=alert(1)>", false},
        {"empty", "", false},
        // Blanks and what shows nothing.
        {"a blank first", " lead", false},
        {"a blank last", "trail ", false},
        {"an ideographic space last", "trail\u3000", false},
        {"a Hangul filler alone", "\u3164", false},
        {"a halfwidth Hangul filler last", "x\uFFA0", false},
        {"a blank braille pattern alone", "\u2800", false},
        {"blanks alone", "   ", false},
        // Invisible and control characters.
        {"right-to-left override", "rtl\u202Eoverride", false},
        {"C1 control", "c1\u0085", false},
        {"tab", "tab\there", false},
        {"line feed", "new\nline", false},
        {"delete", "del\x7f", false},
        {"line separator", "a\u2028b", false},
        {"zero-width space", "a\u200Bb", false},
        {"soft hyphen", "soft\u00ADhyphen", false},
        {"a tag character", "\U000E0041x", false},
        // Code points no name holds.
        {"private use", "a\uE000", false},
        {"unassigned", "a\u0378", false},
        {"noncharacter U+FDD0", "a\xEF\xB7\x90", false},
        {"noncharacter U+FFFF", "a\xEF\xBF\xBF", false},
        {"a combining mark first", "\u0301a", false},
        // Not UTF-8.
        {"overlong slash", "overlong\xC0\xAF", false},
        {"a surrogate", "surrogate\xED\xA0\x80", false},
        {"past U+10FFFF", "past\xF4\x90\x80\x80", false},
        {"a stray byte", "bad\xFF", false},
        {"a cut character", "cut\xE3\x81", false},
    };
    return cases;
}
