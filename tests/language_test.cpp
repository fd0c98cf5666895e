// Choosing the language of the texts, as gettext would from the desktop's variables,
// and the texts in each language.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "language/language.h"
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
TEST(Language, TheRankMessageInBothLanguages) {
    const std::string japanese = tolvane::rankMessage(3, true);
    EXPECT_EQ(japanese, "今回のスコアは3位に入りました。\n記録を保存できませんでした。");
    language::use("en", TOLVANE_APP_DIR);
    EXPECT_EQ(tolvane::rankMessage(3, true), "Your score took rank 3.\nThe record could not be saved.");
    EXPECT_EQ(tolvane::rankMessage(0), "Your score did not make the table.");
    language::use("ja", TOLVANE_APP_DIR);
    EXPECT_EQ(tolvane::rankMessage(3, true), japanese);
}

} // namespace
