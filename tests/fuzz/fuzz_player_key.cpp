// Fuzzes the player key file's reader. Beyond not crashing: a text is refused with a
// reason, or its key written out reads back as the same key.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "player/player_key.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    player::Key key, back;
    std::string why;
    if (!player::parseKeyText(text, key, &why)) {
        check(!why.empty());
        return 0;
    }
    check(player::parseKeyText(player::keyText(key), back, nullptr) && back == key);
    check(player::playerId(key).size() == 64);
    return 0;
}
