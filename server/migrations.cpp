// The schema steps that change stored rows in code (migrations.h), in SQL that SQLite
// and PostgreSQL both accept.
#include "server/migrations.h"

#include <cstdio>
#include <map>
#include <string>

#include "names/name_rule.h"

namespace tolvane::server {

namespace {

// The first `count` code points of UTF-8 text.
std::string firstCharacters(const std::string& text, int count) {
    std::size_t end = 0;
    for (int seen = 0; end < text.size(); ++end) {
        const bool starts = (static_cast<unsigned char>(text[end]) & 0xC0) != 0x80;
        if (starts && seen++ == count) break;
    }
    return text.substr(0, end);
}

// A name made from `name` and the key: as much of the name as fits, then the first
// `digits` hex digits of the key in brackets ("Lеader (1a2b3c4d)"); the key alone when
// nothing of the name can be used. Brackets rather than " #", which the menu's settings
// file would read as a comment, so that the player can keep the name.
std::string withKey(const std::string& name, const std::string& key, int digits) {
    const std::string tag = "(" + key.substr(0, static_cast<std::size_t>(digits)) + ")";
    const int room = names::kMaxCharacters - static_cast<int>(tag.size()) - 1;
    const std::string start = names::withoutRefused(firstCharacters(names::withoutRefused(name), room));
    return start.empty() ? tag : start + " " + tag;
}

} // namespace

void migrateNamesToOneRule(SqlConnection& c) {
    const SqlRows players = c.query("SELECT key, name FROM players ORDER BY created_at, key");
    // Every old fold out of the way first, so that a fold still held by a row not yet
    // reached never stands in the way of an earlier player's skeleton. No skeleton holds
    // U+0001 (the rule refuses controls), and the keys are unique.
    c.query("UPDATE players SET name_fold = CAST($1 AS TEXT) || key", {std::string("\x01")});
    std::map<std::string, std::string> taken; // skeleton: the name that has it
    for (const SqlRow& row : players) {
        const std::string& key = row.text(0);
        const std::string& stored = row.text(1);
        std::string name = names::normalized(stored);
        std::string fold = names::skeleton(name);
        const auto refused = names::problem(stored);
        if (refused || taken.count(fold)) {
            const std::string why =
                refused ? *refused
                        : "it reads the same as \"" + taken.at(fold) + "\", an earlier player's name";
            name.clear();
            for (int digits : {8, 12, 16, 20}) {
                const std::string candidate = withKey(stored, key, digits);
                if (names::problem(candidate) || taken.count(names::skeleton(candidate))) continue;
                name = candidate;
                break;
            }
            // Only someone who chose names made from a later key could get here.
            for (int n = 2; name.empty(); ++n) {
                const std::string candidate = "(" + key.substr(0, 16) + "-" + std::to_string(n) + ")";
                if (!taken.count(names::skeleton(candidate))) name = candidate;
            }
            fold = names::skeleton(name);
            // The operators' record of what became of the name.
            std::fprintf(stderr, "tolvane-server: the player %s was \"%s\" and is now \"%s\": %s\n",
                         key.c_str(), stored.c_str(), name.c_str(), why.c_str());
        }
        taken.emplace(fold, name);
        c.query("UPDATE players SET name = $1, name_fold = $2 WHERE key = $3", {name, fold, key});
    }
}

} // namespace tolvane::server
