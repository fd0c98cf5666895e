// Reading and checking the server's certificate and key with GnuTLS.
#include "server/tls.h"

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

#include <fstream>

namespace tolvane::server {

namespace {

constexpr std::size_t kMaxSize = 1u << 20;

std::optional<std::string> readPem(const std::filesystem::path& path, const char* what, std::string* why) {
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) {
        *why = std::string(what) + " " + path.string() + " does not exist";
        return std::nullopt;
    }
    if (!std::filesystem::is_regular_file(status)) {
        *why = std::string(what) + " " + path.string() + " is not a plain file";
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(kMaxSize + 1, '\0');
    if (in) in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!in && !in.eof()) {
        *why = "cannot read the " + std::string(what) + " " + path.string();
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxSize) {
        *why = std::string(what) + " " + path.string() + " is larger than 1 MiB: not a PEM file";
        return std::nullopt;
    }
    // libmicrohttpd takes the text up to its first NUL: PEM has none.
    if (bytes.find('\0') != std::string::npos) {
        *why = std::string(what) + " " + path.string() + " is not PEM text";
        return std::nullopt;
    }
    return bytes;
}

gnutls_datum_t datum(const std::string& s) {
    return {reinterpret_cast<unsigned char*>(const_cast<char*>(s.data())), static_cast<unsigned>(s.size())};
}

} // namespace

std::optional<TlsFiles> loadTlsFiles(const std::filesystem::path& certificate,
                                     const std::filesystem::path& key, std::string* why) {
    TlsFiles files;
    auto cert = readPem(certificate, "the certificate", why);
    if (!cert) return std::nullopt;
    auto pem = readPem(key, "the key", why);
    if (!pem) return std::nullopt;
    files.certificate = std::move(*cert);
    files.key = std::move(*pem);

    const gnutls_datum_t certData = datum(files.certificate), keyData = datum(files.key);
    gnutls_x509_crt_t* list = nullptr;
    unsigned count = 0;
    int rc = gnutls_x509_crt_list_import2(&list, &count, &certData, GNUTLS_X509_FMT_PEM, 0);
    if (rc < 0) {
        *why = "the certificate " + certificate.string() + " is not a PEM certificate GnuTLS accepts (" +
               gnutls_strerror(rc) + ")";
        return std::nullopt;
    }
    for (unsigned i = 0; i < count; ++i) gnutls_x509_crt_deinit(list[i]);
    gnutls_free(list);

    gnutls_x509_privkey_t parsed = nullptr;
    gnutls_x509_privkey_init(&parsed);
    rc = gnutls_x509_privkey_import2(parsed, &keyData, GNUTLS_X509_FMT_PEM, nullptr, GNUTLS_PKCS_PLAIN);
    gnutls_x509_privkey_deinit(parsed);
    if (rc < 0) {
        *why = "the key " + key.string() + " is not an unencrypted PEM private key GnuTLS accepts (" +
               gnutls_strerror(rc) + ")";
        return std::nullopt;
    }

    gnutls_certificate_credentials_t credentials = nullptr;
    if (gnutls_certificate_allocate_credentials(&credentials) < 0) {
        *why = "GnuTLS cannot start";
        return std::nullopt;
    }
    rc = gnutls_certificate_set_x509_key_mem(credentials, &certData, &keyData, GNUTLS_X509_FMT_PEM);
    gnutls_certificate_free_credentials(credentials);
    if (rc < 0) {
        *why = "the key " + key.string() + " and the certificate " + certificate.string() +
               " do not go together (" + gnutls_strerror(rc) + ")";
        return std::nullopt;
    }
    return files;
}

} // namespace tolvane::server
