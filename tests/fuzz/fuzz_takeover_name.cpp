// Fuzzes the reader of take-over file names (launcher/takeovername.h) with arbitrary
// bytes: a name it accepts has an origin of 12 lowercase hex digits, a frame a replay can
// hold and a real date and time, and writing the parts again gives the very same name;
// a name it refuses is refused again after any change of case of its origin.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "takeovername.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view name(reinterpret_cast<const char*>(data), size);
    const auto parsed = kestrow::parseTakeOverName(name);
    if (!parsed) return 0;
    check(parsed->origin.size() == 12);
    for (const char c : parsed->origin) check((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
    check(parsed->frame >= 0 && parsed->frame <= kestrow::kLastTakeOverFrame);
    check(parsed->month >= 1 && parsed->month <= 12 && parsed->day >= 1 && parsed->day <= 31);
    check(parsed->hour <= 23 && parsed->minute <= 59 && parsed->second <= 59);
    check(kestrow::takeOverFileName(*parsed) == name);
    // The same name with an upper-case origin is not a take-over's name.
    std::string upper(name);
    bool changed = false;
    for (size_t i = 9; i < 21; ++i) {
        if (upper[i] >= 'a' && upper[i] <= 'f') {
            upper[i] = static_cast<char>(upper[i] - 'a' + 'A');
            changed = true;
        }
    }
    if (changed) check(!kestrow::parseTakeOverName(upper));
    return 0;
}
