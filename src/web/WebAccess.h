#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quorvane {

// True for a client on this host or the local network: loopback (127/8, ::1), the private
// IPv4 ranges 10/8, 172.16/12 and 192.168/16, link-local (169.254/16, fe80::/10) and IPv6
// unique local addresses (fc00::/7); an IPv4 address mapped into IPv6 counts as that IPv4
// address and a zone ("%eth0") is ignored. Anything else, or text that is no address, is not local.
[[nodiscard]] bool IsLocalNetworkAddress(std::string_view address);

// Compares a given password with the configured one in a time that does not depend on where
// they first differ.
[[nodiscard]] bool ConstantTimeEquals(std::string_view given, std::string_view secret);

// Wrong web passwords per client address: after kAllowedFailures in a row, each within
// kLockout of the one before, the address's form posts are refused for kLockout. The table is bounded; when it is full, the address
// whose last failure is oldest and that is not locked out is forgotten.
//
// Thread ownership: the core thread (the forms are handled there).
class PasswordGuard {
public:
    using Millis = std::chrono::milliseconds; // since the epoch
    static constexpr int kAllowedFailures = 5;
    static constexpr std::chrono::minutes kLockout{1};
    static constexpr size_t kMaxAddresses = 4096;

    [[nodiscard]] bool Refused(const std::string& address, Millis now) const;
    // Counts a wrong password; true when it is the one that locks the address out.
    bool Failed(const std::string& address, Millis now);
    void Succeeded(const std::string& address);

private:
    struct Record {
        int Failures = 0;
        Millis LastFailure{};
        Millis LockedUntil{};
    };
    void makeRoom(Millis now);

    std::unordered_map<std::string, Record> m_records;
};

} // namespace quorvane
