// The player of the online score table: an Ed25519 key pair made on this machine, kept in
// $XDG_DATA_HOME/tolvane/player.key (readable by its owner only), and the signature that
// says a run was sent by that player. The public key, as 64 hex digits, is the player.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace player {

struct Key {
    std::array<unsigned char, 32> seed{};      // all the key file holds
    std::array<unsigned char, 32> publicKey{}; // made from the seed
    std::array<unsigned char, 64> secretKey{};
    bool operator==(const Key&) const = default;
};

// The key file: $XDG_DATA_HOME/tolvane/player.key, by default ~/.local/share/tolvane (a
// relative XDG_DATA_HOME is ignored); empty without XDG_DATA_HOME and HOME.
std::filesystem::path keyFile();
std::filesystem::path keyFile(const char* home, const char* xdgDataHome);

// The public key as the server knows the player: 64 lowercase hex digits.
std::string playerId(const Key& key);

// The text of a key file, and the key a text holds: comment lines ("#") and blank lines,
// then one line of the seed's 64 hex digits. False with the reason for anything else.
std::string keyText(const Key& key);
bool parseKeyText(std::string_view text, Key& key, std::string* why);

// The key of the file, made and written the first time (folders with mode 0700, the
// file with 0600, written whole or not at all). False with the reason when the file
// cannot be read or written; an existing file that is not a key is never written over.
bool loadOrCreate(const std::filesystem::path& file, Key& key, std::string* why);

// Export: the key written to `to` (mode 0600). Import: the key of `from` becomes the
// player's, in `file`; a different key that was there is kept beside it as
// player.key.old-YYYYMMDD-HHMMSS, so that no player is ever lost.
bool exportKey(const Key& key, const std::filesystem::path& to, std::string* why);
bool importKey(const std::filesystem::path& from, const std::filesystem::path& file, Key& key,
               std::string* why);

// What a player signs for a run: "tolvane run v1\n" + player + "\n" + name + "\n" +
// the SHA-256 of the replay's bytes in hex. The server checks the same bytes.
std::string runMessage(std::string_view player, std::string_view name, std::string_view replay);
// The run's signature, 128 hex digits.
std::string signRun(const Key& key, std::string_view name, std::string_view replay);

} // namespace player
