// Client addresses: parsing, the groups the limits count, trusted proxies' X-Forwarded-For.
#include "server/clients.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstring>

namespace tolvane::server {

namespace {

constexpr unsigned char kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

} // namespace

std::optional<IpAddress> IpAddress::parse(std::string_view text) {
    if (text.empty() || text.size() >= INET6_ADDRSTRLEN || text.find('\0') != std::string_view::npos)
        return std::nullopt;
    const std::string s(text);
    IpAddress a;
    if (inet_pton(AF_INET, s.c_str(), a.bytes.data()) == 1) return a;
    if (inet_pton(AF_INET6, s.c_str(), a.bytes.data()) != 1) return std::nullopt;
    if (std::memcmp(a.bytes.data(), kMappedPrefix, sizeof kMappedPrefix) == 0) {
        std::memmove(a.bytes.data(), a.bytes.data() + 12, 4);
        std::memset(a.bytes.data() + 4, 0, 12);
        return a;
    }
    a.v6 = true;
    return a;
}

std::string IpAddress::text() const {
    char buf[INET6_ADDRSTRLEN] = "";
    inet_ntop(v6 ? AF_INET6 : AF_INET, bytes.data(), buf, sizeof buf);
    return buf;
}

bool IpAddress::loopback() const {
    if (!v6) return bytes[0] == 127;
    static constexpr std::array<unsigned char, 16> kOne = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    return bytes == kOne;
}

std::optional<AddressList> AddressList::parse(std::string_view text, std::string* why) {
    AddressList list;
    for (;;) {
        const std::size_t comma = text.find(',');
        const std::string_view entry = trimmed(text.substr(0, comma));
        const auto a = IpAddress::parse(entry);
        if (!a) {
            if (why)
                *why = entry.empty() ? "an empty entry in the address list"
                                     : "not an IP address: \"" + printable(entry) + "\"";
            return std::nullopt;
        }
        list.addresses_.push_back(*a);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return list;
}

bool AddressList::contains(const std::string& address) const {
    const auto a = IpAddress::parse(address);
    if (!a) return false;
    for (const IpAddress& b : addresses_)
        if (b == *a) return true;
    return false;
}

std::string addressGroup(const std::string& address) {
    auto a = IpAddress::parse(address);
    if (!a) return address;
    if (!a->v6) return a->text();
    std::memset(a->bytes.data() + 8, 0, 8);
    return a->text() + "/64";
}

std::string clientAddress(const std::string& peer, const std::string& forwardedFor,
                          const AddressList& trusted) {
    if (forwardedFor.empty() || !trusted.contains(peer)) return peer;
    std::string_view rest = forwardedFor;
    std::optional<IpAddress> leftmost;
    for (;;) {
        const std::size_t comma = rest.rfind(',');
        const std::string_view entry =
            trimmed(comma == std::string_view::npos ? rest : rest.substr(comma + 1));
        const auto a = IpAddress::parse(entry);
        if (!a) return peer; // the proxy handed over something it should not have: its own request
        const std::string text = a->text();
        if (!trusted.contains(text)) return text;
        leftmost = a;
        if (comma == std::string_view::npos) break;
        rest = rest.substr(0, comma);
    }
    return leftmost->text();
}

std::string printable(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        if (c < 0x20 || c == 0x7F || c == '"' || c == '\\') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

} // namespace tolvane::server
