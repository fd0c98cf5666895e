// What the server makes of a client's address: the address itself, or the one a trusted
// proxy forwarded; the group the per-address limits count (an IPv6 client's /64); lists
// of addresses named on the command line; and client text made safe for one log line.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::server {

// An IPv4 or IPv6 address; an IPv4-mapped IPv6 address (::ffff:a.b.c.d) is its IPv4 one.
struct IpAddress {
    bool v6 = false;
    std::array<unsigned char, 16> bytes{}; // IPv4 uses the first 4

    // The address in inet_pton's forms only (no port, no brackets, no zone); nullopt otherwise.
    static std::optional<IpAddress> parse(std::string_view text);
    std::string text() const; // the canonical form (inet_ntop)
    bool loopback() const;    // 127.0.0.0/8, ::1
    bool operator==(const IpAddress&) const = default;
};

// Addresses named by an operator (--trusted-proxy, --metrics-from).
class AddressList {
  public:
    // "ADDR[,ADDR...]"; nullopt, with the reason, when an entry is not an address.
    static std::optional<AddressList> parse(std::string_view text, std::string* why);
    bool contains(const std::string& address) const;
    bool empty() const { return addresses_.empty(); }

  private:
    std::vector<IpAddress> addresses_;
};

// What per-address limits count: an IPv4 address itself, an IPv6 address's /64
// ("2001:db8:0:1::/64"), an IPv4-mapped one as its IPv4 address; anything else as it is.
std::string addressGroup(const std::string& address);

// The client behind `peer` (the connection's address). Only when the peer is a trusted
// proxy is X-Forwarded-For read: its entries from the right, skipping trusted proxies,
// and the first other one is the client. An entry there that is not an address makes the
// request the peer's own; entries further left, written by the client, are never read.
// With every entry a trusted proxy, the left-most is the client. The result is always a
// canonical address (or the peer as it was given).
std::string clientAddress(const std::string& peer, const std::string& forwardedFor,
                          const AddressList& trusted);

// A client's text (a path, a method) as part of one log line: control characters,
// quotes and backslashes written as \xNN, so no request can forge a line of its own.
std::string printable(std::string_view s);

} // namespace tolvane::server
