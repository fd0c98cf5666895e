// Choosing the language of the texts, as gettext would from the desktop's variables,
// and the texts in each language.
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "common/fontmap.h"
#include "language/language.h"
#include "media/utf8.h"
#include "records/records.h"
#include "session/session.h"

namespace {

TEST(Language, TheSettingOrTheDesktopChooses) {
    struct Case {
        const char* setting;
        std::map<std::string, std::string> env;
        const char* chosen;
    };
    const Case cases[] = {
        {"auto", {}, "ja"}, // the C locale: the game's own words
        {"auto", {{"LANG", "en_US.UTF-8"}}, "en"},
        {"auto", {{"LANG", "en_GB"}}, "en"},
        {"auto", {{"LANG", "ja_JP.UTF-8"}}, "ja"},
        {"auto", {{"LANG", "fr_FR.UTF-8"}}, "ja"}, // no catalogue: the source texts
        {"auto", {{"LANG", "C.UTF-8"}}, "ja"},
        {"auto", {{"LANG", "ja_JP.UTF-8"}, {"LC_MESSAGES", "en_US.UTF-8"}}, "en"},
        {"auto", {{"LC_ALL", "ja_JP.UTF-8"}, {"LC_MESSAGES", "en_US.UTF-8"}}, "ja"},
        {"auto", {{"LANG", "fr_FR.UTF-8"}, {"LANGUAGE", "fr:de:en:ja"}}, "en"},
        {"auto", {{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "ja"}}, "ja"},
        {"auto", {{"LC_ALL", "C"}, {"LANGUAGE", "en"}}, "ja"}, // LANGUAGE means nothing in C
        {"ja", {{"LANG", "en_US.UTF-8"}}, "ja"},
        {"en", {}, "en"},
    };
    for (const Case& c : cases) {
        auto env = [&](const char* name) -> const char* {
            const auto it = c.env.find(name);
            return it == c.env.end() ? nullptr : it->second.c_str();
        };
        std::string where;
        for (const auto& [k, v] : c.env) where += k + "=" + v + " ";
        EXPECT_EQ(language::choose(c.setting, env), c.chosen) << c.setting << " " << where;
    }
}

// The catalogue of the build tree is found and read even where no English locale was
// ever generated; Japanese is the source text itself, byte for byte.
TEST(Language, TheRankMessageInBothLanguagesAndTheTableInOne) {
    const std::string japanese = tolvane::rankMessage(3, true);
    EXPECT_EQ(japanese, "今回のスコアは3位に入りました。\n記録を保存できませんでした。");
    const std::string table = tolvane::formatHiscore(tolvane::defaultHiscoreTable());
    language::use("en", TOLVANE_APP_DIR);
    EXPECT_EQ(tolvane::rankMessage(3, true), "Your score took rank 3.\nThe record could not be saved.");
    EXPECT_EQ(tolvane::rankMessage(0), "Your score did not make the table.");
    EXPECT_EQ(tolvane::formatHiscore(tolvane::defaultHiscoreTable()), table) << "Hiscore.txt never changes";
    language::use("ja", TOLVANE_APP_DIR);
    EXPECT_EQ(tolvane::rankMessage(3, true), japanese);
}

} // namespace

namespace {

// Every text of the catalogue, source and English, as the game draws it: the rank box's in
// the box's face, the window layer's in its own; a character the face lacks would show as
// an empty box.
std::vector<std::string> catalogueTexts() {
    std::ifstream in(std::string(TOLVANE_SOURCE_DIR) + "/po/en.po");
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) {
        const size_t q = line.find('"');
        if ((line.rfind("msgid ", 0) == 0 || line.rfind("msgstr ", 0) == 0) && q != std::string::npos)
            out.push_back(line.substr(q + 1, line.size() - q - 2));
    }
    return out;
}

TEST(Language, TheGamesFacesHaveEveryCharacterOfItsTexts) {
    ASSERT_EQ(TTF_Init(), 0);
    const std::vector<std::string> texts = catalogueTexts();
    ASSERT_GT(texts.size(), 100u);
    struct Face {
        const char* name;
        bool bold;
        std::vector<std::string> texts; // the game's texts shown in it
    };
    const Face faces[] = {
        {"ＭＳ Ｐゴシック",
         false,
         {"今回のスコアは%d位に入りました。", "今回のスコアはランク外です。",
          "記録を保存できませんでした。"}},
        {"DejaVu Sans", true, {"REPLAY", "pause", "frame", "BOMB", "PAUSE", "max"}},
    };
    for (const Face& f : faces) {
        const common::FontMatch m = common::findFont(f.name, f.bold);
        ASSERT_TRUE(m.exact) << f.name;
        TTF_Font* font = TTF_OpenFontIndex(m.file.c_str(), 16, m.index);
        ASSERT_NE(font, nullptr) << m.file;
        for (const std::string& source : f.texts) {
            // The source and its translation, as the catalogue holds them.
            const auto it = std::find(texts.begin(), texts.end(), source);
            ASSERT_NE(it, texts.end()) << source;
            for (const std::string& text : {*it, *(it + 1)}) {
                media::forEachCodePoint(text, [&](std::uint32_t c) {
                    EXPECT_TRUE(TTF_GlyphIsProvided32(font, c)) << f.name << " lacks U+" << std::hex << c;
                });
            }
        }
        TTF_CloseFont(font);
    }
    TTF_Quit();
}

} // namespace
