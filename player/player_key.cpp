// The player's key pair with libsodium, and its file.
#include "player/player_key.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

namespace player {
namespace {

namespace fs = std::filesystem;

bool ready() {
    static const bool ok = sodium_init() >= 0;
    return ok;
}

std::string hex(const unsigned char* bytes, size_t n) {
    std::string out(n * 2 + 1, '\0');
    sodium_bin2hex(out.data(), out.size(), bytes, n);
    out.pop_back();
    return out;
}

Key fromSeed(const std::array<unsigned char, 32>& seed) {
    Key k;
    k.seed = seed;
    crypto_sign_seed_keypair(k.publicKey.data(), k.secretKey.data(), seed.data());
    return k;
}

bool fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return false;
}

std::string systemError(const std::string& what, const fs::path& file) {
    return what + " " + file.string() + ": " + std::strerror(errno);
}

// Writes the key to a new file beside `file` (mode 0600) and renames it over `file`.
bool writeKey(const Key& key, const fs::path& file, std::string* why) {
    std::error_code ec;
    if (!file.parent_path().empty() && !fs::exists(file.parent_path(), ec)) {
        fs::create_directories(file.parent_path(), ec);
        if (ec)
            return fail(why, "cannot make the folder " + file.parent_path().string() + ": " + ec.message());
        fs::permissions(file.parent_path(), fs::perms::owner_all, ec);
    }
    std::string tmpl = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC); // mode 0600
    if (fd < 0) return fail(why, systemError("cannot write", file));
    const std::string text = keyText(key);
    bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(tmpl.c_str(), file.c_str()) != 0) ok = false;
    if (!ok) {
        const std::string reason = systemError("cannot write", file);
        ::unlink(tmpl.c_str());
        return fail(why, reason);
    }
    return true;
}

// The whole file; false with the reason (an empty one when it does not exist).
bool readText(const fs::path& file, std::string& text, std::string* why) {
    std::error_code ec;
    if (!fs::exists(file, ec)) return fail(why, "");
    if (!fs::is_regular_file(file, ec)) return fail(why, file.string() + " is not a file");
    if (fs::file_size(file, ec) > 4096) return fail(why, file.string() + " is too large to be a player key");
    std::ifstream in(file, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    if (!in) return fail(why, systemError("cannot read", file));
    text = all.str();
    return true;
}

} // namespace

fs::path keyFile(const char* home, const char* xdgDataHome) {
    if (xdgDataHome && *xdgDataHome == '/') return fs::path(xdgDataHome) / "tolvane" / "player.key";
    if (home && *home) return fs::path(home) / ".local" / "share" / "tolvane" / "player.key";
    return {};
}

fs::path keyFile() { return keyFile(std::getenv("HOME"), std::getenv("XDG_DATA_HOME")); }

std::string playerId(const Key& key) { return hex(key.publicKey.data(), key.publicKey.size()); }

std::string keyText(const Key& key) {
    return "# The player key of Tolvane's online score table. Whoever has this file is this player:\n"
           "# keep it to yourself.\n" +
           hex(key.seed.data(), key.seed.size()) + "\n";
}

bool parseKeyText(std::string_view text, Key& key, std::string* why) {
    if (!ready()) return fail(why, "libsodium cannot be started");
    std::string seedHex;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
        if (line.empty() || line.front() == '#') continue;
        if (!seedHex.empty()) return fail(why, "more than one key in the file");
        seedHex = std::string(line);
    }
    std::array<unsigned char, 32> seed{};
    size_t n = 0;
    const char* end = nullptr;
    if (seedHex.size() != 64 ||
        sodium_hex2bin(seed.data(), seed.size(), seedHex.c_str(), seedHex.size(), nullptr, &n, &end) != 0 ||
        n != seed.size() || end != seedHex.c_str() + seedHex.size())
        return fail(why, "not a player key (one line of 64 hex digits)");
    key = fromSeed(seed);
    return true;
}

bool loadOrCreate(const fs::path& file, Key& key, std::string* why) {
    if (!ready()) return fail(why, "libsodium cannot be started");
    if (file.empty())
        return fail(why, "no folder for the player key (neither XDG_DATA_HOME nor HOME is set)");
    std::string text, reason;
    if (readText(file, text, &reason)) {
        if (parseKeyText(text, key, &reason)) return true;
        return fail(why, file.string() + ": " + reason);
    }
    if (!reason.empty()) return fail(why, reason);
    std::array<unsigned char, 32> seed{};
    randombytes_buf(seed.data(), seed.size());
    const Key made = fromSeed(seed);
    if (!writeKey(made, file, why)) return false;
    key = made;
    return true;
}

bool exportKey(const Key& key, const fs::path& to, std::string* why) { return writeKey(key, to, why); }

bool importKey(const fs::path& from, const fs::path& file, Key& key, std::string* why) {
    std::string text, reason;
    Key imported;
    if (!readText(from, text, &reason))
        return fail(why, reason.empty() ? from.string() + " does not exist" : reason);
    if (!parseKeyText(text, imported, &reason)) return fail(why, from.string() + ": " + reason);
    Key old;
    std::string oldText;
    if (readText(file, oldText, &reason) && !(parseKeyText(oldText, old, nullptr) && old == imported)) {
        // The key it replaces stays beside it.
        char stamp[32];
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
        const fs::path kept = file.string() + ".old-" + stamp;
        if (::link(file.c_str(), kept.c_str()) != 0)
            return fail(why, systemError("cannot keep the old key as", kept));
    }
    if (!writeKey(imported, file, why)) return false;
    key = imported;
    return true;
}

std::string runMessage(std::string_view player, std::string_view name, std::string_view replay) {
    ready();
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(replay.data()), replay.size());
    std::string m = "tolvane run v1\n";
    m += player;
    m += '\n';
    m += name;
    m += '\n';
    m += hex(digest, sizeof digest);
    return m;
}

std::string signRun(const Key& key, std::string_view name, std::string_view replay) {
    const std::string message = runMessage(playerId(key), name, replay);
    unsigned char sig[crypto_sign_BYTES];
    crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(message.data()), message.size(),
                         key.secretKey.data());
    return hex(sig, sizeof sig);
}

} // namespace player
