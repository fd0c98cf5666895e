// The high-score table, Hiscore.txt: the 100 best scores as text in CP932 with CR LF
// line ends. Four header lines ("Tolvane", empty, "はいすこあ", empty), then one line
// per rank: "1位 , 1000000 ". Reading takes the lines as comma-separated fields; the
// header fields and the rank labels are read past, only the order of the scores counts.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/cp932.h"
#include "records/records.h"

namespace tolvane {
namespace {

constexpr int kHeaderFields = 4;
constexpr int kTableFields = kHeaderFields + 2 * kHiscoreRanks;
// A real table is about 1.5 KB; nothing beyond this is ever needed.
constexpr std::size_t kReadLimit = 1 << 20;

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// A score field: an optional minus sign and decimal digits, within 32 bits.
enum class Number { Ok, NotANumber, OutOfRange };
Number parseScore(std::string_view s, i32& out) {
    bool negative = !s.empty() && s.front() == '-';
    if (negative) s.remove_prefix(1);
    if (s.empty()) return Number::NotANumber;
    std::int64_t v = 0;
    bool tooBig = false;
    for (char c : s) {
        if (c < '0' || c > '9') return Number::NotANumber;
        if (!tooBig) v = v * 10 + (c - '0');
        if (v > std::int64_t{1} << 31) tooBig = true;
    }
    if (negative) v = -v;
    if (tooBig || v > INT32_MAX || v < INT32_MIN) return Number::OutOfRange;
    out = static_cast<i32>(v);
    return Number::Ok;
}

std::string scoreText(i32 score) {
    // A blank where the sign of a negative number would stand, and one after it.
    if (score < 0) return std::to_string(score) + " ";
    return " " + std::to_string(score) + " ";
}

enum class ReadResult { Read, Missing, Unreadable };

ReadResult readTableFile(const std::filesystem::path& path, std::string& bytes) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    // No such file, or no such folder for it to be in.
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Unreadable;
    struct stat st {};
    ReadResult result = ReadResult::Read;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result = ReadResult::Unreadable;
    } else {
        bytes.resize(kReadLimit);
        std::size_t got = 0;
        while (got < kReadLimit) {
            ssize_t n = ::read(fd, bytes.data() + got, kReadLimit - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                result = ReadResult::Unreadable;
                break;
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
    }
    ::close(fd);
    return result;
}

// Moves a table that cannot be read aside as Hiscore.txt.bad-YYYYMMDD-HHMMSS (with a
// number added if that name is taken), so that the player can still look at it.
bool keepBadTable(const std::filesystem::path& path) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string base = path.string() + ".bad-" + stamp;
    for (int n = 1; n < 1000; ++n) {
        std::string name = n == 1 ? base : base + "-" + std::to_string(n);
        struct stat st {};
        if (::lstat(name.c_str(), &st) == 0) continue;
        return ::rename(path.c_str(), name.c_str()) == 0;
    }
    return false;
}

} // namespace

HiscoreTable defaultHiscoreTable() {
    HiscoreTable t{};
    for (int k = 1; k <= kHiscoreRanks; ++k) t[k - 1] = (101 - k) * 10000;
    return t;
}

bool parseHiscore(std::string_view bytes, HiscoreTable& table, std::string* why) {
    auto fail = [&](const std::string& reason) {
        if (why) *why = reason;
        return false;
    };
    HiscoreTable t{};
    int field = 0;
    int line = 0;
    std::size_t pos = 0;
    // CR, LF and the comma never occur inside a CP932 character, so the raw bytes can
    // be split before they are checked.
    while (field < kTableFields && pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        std::size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
        std::string_view text = bytes.substr(pos, (end == std::string_view::npos ? bytes.size() : end) - pos);
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        ++line;
        pos = next;
        for (;;) {
            std::size_t comma = text.find(',');
            std::string_view f = trim(text.substr(0, comma));
            if (field >= kHeaderFields && (field - kHeaderFields) % 2 == 1) {
                const int rank = (field - kHeaderFields) / 2 + 1;
                const std::string where =
                    "line " + std::to_string(line) + ": the score of rank " + std::to_string(rank);
                switch (parseScore(f, t[rank - 1])) {
                case Number::Ok: break;
                case Number::NotANumber: return fail(where + " is not a number");
                case Number::OutOfRange: return fail(where + " does not fit in 32 bits");
                }
            }
            if (++field == kTableFields || comma == std::string_view::npos) break;
            text.remove_prefix(comma + 1);
        }
    }
    if (field < kTableFields) {
        if (field < kHeaderFields) return fail("the file ends inside the header");
        return fail("the file ends before the score of rank " +
                    std::to_string((field - kHeaderFields) / 2 + 1));
    }
    // Whatever follows the last score is not part of the table.
    bool valid = false;
    common::cp932ToUtf8(bytes.substr(0, pos), &valid);
    if (!valid) return fail("the table holds bytes that are not CP932 text");
    table = t;
    return true;
}

std::string formatHiscore(const HiscoreTable& table) {
    std::string text = "Tolvane\r\n\r\nはいすこあ\r\n\r\n";
    for (int k = 1; k <= kHiscoreRanks; ++k) {
        text += std::to_string(k) + "位 ," + scoreText(table[k - 1]) + "\r\n";
    }
    return common::utf8ToCp932(text).value_or(std::string{});
}

int insertScore(HiscoreTable& table, i32 score) {
    for (int i = 0; i < kHiscoreRanks; ++i) {
        if (table[i] >= score) continue; // an equal score stays above the new one
        for (int j = kHiscoreRanks - 1; j > i; --j) table[j] = table[j - 1];
        table[i] = score;
        return i;
    }
    return -1;
}

void rankHiscore(World& w) {
    const std::filesystem::path path = recordsDirectory() / "Hiscore.txt";
    // While the records folder has no table yet, an older one (left beside the programs
    // by a copy that can no longer write there) is where the new one starts from.
    const std::filesystem::path source = recordToRead("Hiscore.txt");
    HiscoreTable table = defaultHiscoreTable();
    std::string bytes;
    switch (readTableFile(source, bytes)) {
    case ReadResult::Missing: break; // the first game: start from the default table
    case ReadResult::Unreadable:
        // Perhaps only a matter of permissions: leave it for the player to put right.
        std::fprintf(stderr, "tolvane: could not save %s: %s cannot be read\n", path.c_str(), source.c_str());
        w.recordNotSaved = 1;
        return;
    case ReadResult::Read:
        if (!parseHiscore(bytes, table, nullptr)) {
            // An older table that cannot be read stays where it is, untouched.
            if (source == path && !keepBadTable(path)) {
                std::fprintf(stderr,
                             "tolvane: could not save %s: the old table cannot be read nor moved aside\n",
                             path.c_str());
                w.recordNotSaved = 1;
                return;
            }
            table = defaultHiscoreTable();
        }
        break;
    }

    const int i = insertScore(table, w.score);
    if (i >= 0) {
        w.hiscoreRank = static_cast<i16>(i + 1);
        if (i == 0) saveReplay(w, "Hi");
    }
    const std::string text = formatHiscore(table);
    if (text.empty() || !writeRecord("Hiscore.txt", text)) w.recordNotSaved = 1;
}

} // namespace tolvane
