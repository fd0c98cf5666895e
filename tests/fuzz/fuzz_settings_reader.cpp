// Fuzzes the settings reader and writer. Beyond not crashing: every value read is in its
// range, and a change written into the text reads back as written while every other
// setting reads as before and every other line of the text stays as it was.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "settings/inifile.h"
#include "settings/settings.h"

namespace {

std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> out;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        // A line end written after a last line that ends in '\r' makes it "\r\n".
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        out.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const settings::Settings s = settings::parse(text);
    check(s.effects >= 0 && s.effects <= 100 && s.music >= 0 && s.music <= 100);
    check(s.deadzone >= 0 && s.deadzone <= 100 && s.window >= 0 && s.window <= 8);
    check(s.padBomb != s.padPause);
    check(s.ghost >= 0 && s.ghost <= 100);

    // A [rival] change reads back as written too, and leaves everything else as it was.
    const int ghost = size > 1 ? data[1] % 101 : 0;
    settings::Settings rival =
        settings::parse(settings::applyChanges(text, {{"rival", "ghost", std::to_string(ghost)}}));
    check(rival.ghost == ghost);
    rival.ghost = s.ghost;
    check(rival == s);

    const int loudness = size > 0 ? data[0] % 101 : 0;
    const std::string written = settings::applyChanges(text, {{"sound", "music", std::to_string(loudness)}});
    settings::Settings back = settings::parse(written);
    check(back.music == loudness);
    back.music = s.music;
    check(back == s);

    // The text's lines, but the one changed, come in the written text in their order;
    // what was added stands between them.
    const settings::Document read = settings::Document::read(text);
    const settings::Entry* changed = read.find("sound", "music");
    const auto before = lines(text), after = lines(written);
    std::size_t j = 0;
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (changed && static_cast<std::size_t>(changed->line) == i + 1) {
            ++j;
            continue;
        }
        while (j < after.size() && after[j] != before[i]) ++j;
        check(j < after.size());
        ++j;
    }
    return 0;
}
