// Players without accounts: a player is an Ed25519 public key; a run is signed with its
// secret key. (The rule for the names they use: names/name_rule.h.)
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolvane::server {

// Once at start-up (libsodium's own set-up).
bool setUpIdentity();

// 64 lowercase hex digits.
bool isPlayerKey(std::string_view s);
// 64 lowercase hex digits: a run's id.
bool isRunId(std::string_view s);

// The bytes a player signs for a run.
std::string runMessage(std::string_view player, std::string_view name, std::string_view replay);

// True when `signatureHex` (128 hex digits) is the key's Ed25519 signature of `message`.
bool signatureValid(std::string_view playerHex, std::string_view signatureHex, std::string_view message);

// Standard base64 (with padding, whitespace refused); nothing when it is not.
std::optional<std::string> fromBase64(std::string_view text);
std::string toBase64(std::string_view bytes);

} // namespace tolvane::server
