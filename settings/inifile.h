// The settings file as text: its key lines found by inih, values changed in place
// without touching any other line, and the file written atomically under a lock.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace settings {

// One "key = value" line, with the value as the reader sees it (trimmed, without an
// inline comment).
struct Entry {
    int line = 0; // 1-based
    std::string section, key, value;
};

struct Document {
    std::vector<Entry> entries;                        // in the order of the lines
    std::vector<std::pair<int, std::string>> sections; // each section line and its name
    std::vector<int> unreadable; // lines that are neither blank, comment, section nor key

    // Indented lines are lines of their own (never a continuation of the line before);
    // a value ends where a ';' or '#' follows a blank. Sections and keys are matched
    // regardless of ASCII case, and when a key stands twice its last value counts.
    static Document read(std::string_view text);
    const Entry* find(std::string_view section, std::string_view key) const;
};

// Text as the reader compares and trims it: ASCII case ignored; white space as inih
// sees it.
bool sameText(std::string_view a, std::string_view b);
std::string_view trim(std::string_view s);

// Reads a whole file. False with the reason when it exists but cannot be read; false
// with an empty reason when it does not exist.
bool readFile(const std::filesystem::path& file, std::string& text, std::string* why);

} // namespace settings
