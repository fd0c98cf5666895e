// The name the game gives the record of a take-over (a run played on live from a frame
// of another run): takeover-<origin>-f<frame>-<YYYYMMDD-HHMMSS>.rep, where the origin is
// the first 12 hex digits of the original run's id. Plain C++, so that the fuzzer and
// the records list read names the same way.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrow {

struct TakeOverName {
    std::string origin; // 12 lowercase hex digits: the start of the original's run id
    long frame = 0;     // frames 0..frame are the original's
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool operator==(const TakeOverName&) const = default;
};

// The last frame a replay can hold, and so the last one a take-over can start after.
inline constexpr long kLastTakeOverFrame = 25000;

// The parts of a take-over's file name, or nothing when `name` is not exactly one: the
// origin 12 lowercase hex digits, the frame decimal without a leading zero and at most
// kLastTakeOverFrame, the date a real one (years 2000 to 9999) and the time of a day.
std::optional<TakeOverName> parseTakeOverName(std::string_view name);

// The file name of a take-over, as the game writes it (parseTakeOverName reads it back).
std::string takeOverFileName(const TakeOverName& name);

} // namespace kestrow
