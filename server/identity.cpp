// Keys and signatures, with libsodium doing the cryptography.
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

} // namespace

bool setUpIdentity() { return sodium_init() >= 0; }

bool isPlayerKey(std::string_view s) { return lowerHex(s, 64); }
bool isRunId(std::string_view s) { return lowerHex(s, 64); }

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
