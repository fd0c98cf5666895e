// The certificate and key of --tls-cert and --tls-key: read whole, checked with GnuTLS
// before the HTTP server is handed them (libmicrohttpd does the TLS itself).
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tolvane::server {

struct TlsFiles {
    std::string certificate; // PEM: the server's certificate, then any intermediates
    std::string key;         // PEM: its private key, not encrypted
};

// Both files, each at most 1 MiB. Nullopt, with the reason naming the file, when one is
// missing, not a plain file, unreadable, too large, not PEM that GnuTLS accepts, or when
// the key is not the certificate's.
std::optional<TlsFiles> loadTlsFiles(const std::filesystem::path& certificate,
                                     const std::filesystem::path& key, std::string* why);

} // namespace tolvane::server
