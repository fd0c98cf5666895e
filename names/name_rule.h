// The one rule for players' names on the online table, used by the server and by the
// menu alike: what a name may be, the form it is stored and shown in, and the key by
// which two names that read the same are one name.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace names {

// The most characters a name may have, counted in code points of its normalised form.
constexpr int kMaxCharacters = 24;

// Why `name` cannot be used, as a sentence for people ("the name ..."), or nothing when
// it can. A name is valid UTF-8; its NFKC form has 1 to 24 characters, no blank at
// either end, shows something, does not begin with a combining mark, and holds no
// control, format, default-ignorable, bidirectional-control, private-use, unassigned or
// noncharacter code point.
std::optional<std::string> problem(std::string_view name);

// The NFKC form of `name`: what is stored and shown. Bytes that are not UTF-8 become
// U+FFFD, so the answer is always UTF-8 (such a name is refused by problem()).
std::string normalized(std::string_view name);

// The key two names are the same name by: the confusable skeleton (UTS #39) of the name's
// NFKC case fold, in which default-ignorable code points are gone. "Leader", "Lеader"
// with a Cyrillic е and "Ｌｅａｄｅｒ" have one skeleton. Always UTF-8.
std::string skeleton(std::string_view name);

// The normalised name without what problem() refuses in it: the refused code points, a
// combining mark at the start and blanks at the ends are left out (the length is not
// touched). For names stored under an older rule that need a new one made from them.
std::string withoutRefused(std::string_view name);

} // namespace names
