// The name rule itself (names/name_rule.h): the form a name is stored in, which names are
// one name, and the reason given for a refusal.
#include <gtest/gtest.h>

#include "name_cases.h"
#include "names/name_rule.h"

namespace {

TEST(NameRule, StoredFormAndOneNameForAllThatReadTheSame) {
    const auto& cases = nameCases();
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(!names::problem(c.name), c.accepted) << names::problem(c.name).value_or("");
        if (c.accepted) {
            EXPECT_EQ(names::normalized(c.name), c.shown());
        }
        for (const NameCase& d : cases) {
            // A refused name outside a group has no look-alike to be compared with.
            if (&c == &d || (!c.accepted && !c.group) || (!d.accepted && !d.group)) continue;
            const bool same = c.group != 0 && c.group == d.group;
            EXPECT_EQ(names::skeleton(c.name) == names::skeleton(d.name), same) << d.what;
        }
    }
}

TEST(NameRule, RefusalsSayWhatIsWrong) {
    struct Case {
        std::string name;
        const char* says;
    };
    for (const Case& c :
         {Case{"", "the name is empty"}, Case{std::string(25, 'x'), "the name is longer than 24 characters"},
          Case{std::string(5000, 'x'), "the name is longer than 24 characters"},
          Case{"overlong\xC0\xAF", "the name is not valid UTF-8"}, Case{"\u3164", "the name shows nothing"},
          Case{"rtl\u202Eoverride", "the name contains an invisible character that turns text "
                                    "around (U+202E)"},
          Case{"c1\u0085", "the name contains a control character (U+0085)"},
          Case{"a\u200Bb", "the name contains an invisible formatting character (U+200B)"},
          Case{"x\uFFA0", "the name contains an invisible character (U+1160)"},
          Case{"a\uE000", "the name contains a private-use character (U+E000)"},
          Case{"a\u0378", "the name contains a character that Unicode has not assigned"},
          Case{"a\xEF\xB7\x90", "the name contains a noncharacter (U+FDD0)"},
          Case{"\u0301a", "the name begins with a combining mark (U+0301)"},
          Case{"a\u3000", "the name begins or ends with a blank"}}) {
        SCOPED_TRACE(c.name);
        const auto why = names::problem(c.name);
        ASSERT_TRUE(why);
        EXPECT_TRUE(why->starts_with(c.says)) << *why;
    }
}

} // namespace
