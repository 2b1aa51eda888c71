#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

// Where the DNS questions of direct delivery go.
struct DnsServer {
    std::string Address; // IPv4 address
    std::uint16_t Port = 53;
};

// The first nameserver of the system resolver's configuration (resolv.conf), where direct
// delivery asks for mail exchangers; 127.0.0.1 when none is configured.
[[nodiscard]] DnsServer SystemDnsServer(const std::string& resolvConf = "/etc/resolv.conf");

// The addresses to deliver mail for `domain` to, best first: each mail exchanger in order of
// preference, or the domain's own address when it has none. Empty when nothing resolves.
[[nodiscard]] std::vector<std::string> MailHostsFor(const std::string& domain, const DnsServer& server);

} // namespace quorvane
