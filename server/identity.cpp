// Keys, names and signatures, with libsodium doing the cryptography.
#include "server/identity.h"

#include <sodium.h>

#include "player/player_key.h"
#include "server/verify.h"

namespace tolvane::server {

namespace {

bool lowerHex(std::string_view s, std::size_t digits) {
    if (s.size() != digits) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// Decodes one UTF-8 character at s[i]; -1 when the bytes are not valid UTF-8.
long nextCodePoint(std::string_view s, std::size_t& i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    int extra = 0;
    long cp = 0;
    if (c < 0x80) {
        ++i;
        return c;
    } else if (c >= 0xC2 && c <= 0xDF) {
        extra = 1, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        extra = 2, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        extra = 3, cp = c & 0x07;
    } else {
        return -1;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size()) return -1;
    for (int k = 1; k <= extra; ++k) {
        const unsigned char cc = b(i + static_cast<std::size_t>(k));
        if ((cc & 0xC0) != 0x80) return -1;
        cp = cp << 6 | (cc & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    static const long minimum[] = {0, 0x80, 0x800, 0x10000};
    if (cp < minimum[extra] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return -1;
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

bool invisibleControl(long cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x200E || cp == 0x200F ||
           (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) || cp == 0x2028 || cp == 0x2029 ||
           cp == 0xFEFF;
}

bool blank(long cp) { return cp == ' ' || cp == 0xA0 || cp == 0x3000 || (cp >= 0x2000 && cp <= 0x200B); }

} // namespace

bool setUpIdentity() { return sodium_init() >= 0; }

bool isPlayerKey(std::string_view s) { return lowerHex(s, 64); }
bool isRunId(std::string_view s) { return lowerHex(s, 64); }

std::optional<std::string> nameProblem(std::string_view name) {
    std::size_t count = 0;
    long first = -1, last = -1;
    for (std::size_t i = 0; i < name.size();) {
        const long cp = nextCodePoint(name, i);
        if (cp < 0) return "the name is not valid UTF-8";
        if (invisibleControl(cp)) return "the name contains a control character";
        if (first < 0) first = cp;
        last = cp;
        ++count;
    }
    if (count == 0) return "the name is empty";
    if (count > 24) return "the name is longer than 24 characters";
    if (blank(first) || blank(last)) return "the name begins or ends with a blank";
    return std::nullopt;
}

std::string foldName(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string runMessage(std::string_view player, std::string_view name, std::string_view replay) {
    return player::runMessage(player, name, replay); // the very bytes a client signs
}

bool signatureValid(std::string_view playerHex, std::string_view signatureHex, std::string_view message) {
    unsigned char key[crypto_sign_PUBLICKEYBYTES];
    unsigned char sig[crypto_sign_BYTES];
    std::size_t keyLen = 0, sigLen = 0;
    const char* end = nullptr;
    if (sodium_hex2bin(key, sizeof key, playerHex.data(), playerHex.size(), nullptr, &keyLen, &end) != 0 ||
        keyLen != sizeof key || end != playerHex.data() + playerHex.size())
        return false;
    if (sodium_hex2bin(sig, sizeof sig, signatureHex.data(), signatureHex.size(), nullptr, &sigLen, &end) !=
            0 ||
        sigLen != sizeof sig || end != signatureHex.data() + signatureHex.size())
        return false;
    return crypto_sign_verify_detached(sig, reinterpret_cast<const unsigned char*>(message.data()),
                                       message.size(), key) == 0;
}

std::optional<std::string> fromBase64(std::string_view text) {
    std::string out(text.size() / 4 * 3 + 3, '\0');
    std::size_t len = 0;
    const char* end = nullptr;
    if (sodium_base642bin(reinterpret_cast<unsigned char*>(out.data()), out.size(), text.data(), text.size(),
                          nullptr, &len, &end, sodium_base64_VARIANT_ORIGINAL) != 0 ||
        end != text.data() + text.size())
        return std::nullopt;
    out.resize(len);
    return out;
}

std::string toBase64(std::string_view bytes) {
    std::string out(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL), '\0');
    sodium_bin2base64(out.data(), out.size(), reinterpret_cast<const unsigned char*>(bytes.data()),
                      bytes.size(), sodium_base64_VARIANT_ORIGINAL);
    out.resize(out.size() - 1);
    return out;
}

} // namespace tolvane::server
