#include "web/WebAccess.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace quorvane {

namespace {

bool localIpv4(const std::array<std::uint8_t, 4>& a)
{
    return a[0] == 127                                // loopback
           || a[0] == 10                              // 10/8
           || (a[0] == 172 && (a[1] & 0xF0) == 16)    // 172.16/12
           || (a[0] == 192 && a[1] == 168)            // 192.168/16
           || (a[0] == 169 && a[1] == 254);           // link-local
}

} // namespace

bool IsLocalNetworkAddress(std::string_view address)
{
    const std::string text(address.substr(0, address.find('%'))); // without a zone
    std::array<std::uint8_t, 4> v4{};
    if (::inet_pton(AF_INET, text.c_str(), v4.data()) == 1)
        return localIpv4(v4);
    std::array<std::uint8_t, 16> v6{};
    if (::inet_pton(AF_INET6, text.c_str(), v6.data()) != 1)
        return false;
    const bool mapped = std::all_of(v6.begin(), v6.begin() + 10, [](std::uint8_t b) { return b == 0; })
                        && v6[10] == 0xFF && v6[11] == 0xFF;
    if (mapped)
        return localIpv4({v6[12], v6[13], v6[14], v6[15]});
    const bool loopback = std::all_of(v6.begin(), v6.begin() + 15, [](std::uint8_t b) { return b == 0; }) && v6[15] == 1;
    return loopback                                    // ::1
           || (v6[0] & 0xFE) == 0xFC                   // fc00::/7, unique local
           || (v6[0] == 0xFE && (v6[1] & 0xC0) == 0x80); // fe80::/10, link-local
}

bool ConstantTimeEquals(std::string_view given, std::string_view secret)
{
    // Every byte of the given text is looked at, whatever matched before.
    unsigned difference = given.size() == secret.size() ? 0U : 1U;
    for (size_t i = 0; i < given.size(); ++i) {
        const auto expected = secret.empty() ? 0U : static_cast<unsigned char>(secret[i % secret.size()]);
        difference |= static_cast<unsigned char>(given[i]) ^ expected;
    }
    return difference == 0;
}

bool PasswordGuard::Refused(const std::string& address, Millis now) const
{
    const auto found = m_records.find(address);
    return found != m_records.end() && found->second.LockedUntil > now;
}

bool PasswordGuard::Failed(const std::string& address, Millis now)
{
    auto found = m_records.find(address);
    if (found == m_records.end()) {
        makeRoom(now);
        found = m_records.emplace(address, Record{}).first;
    }
    Record& record = found->second;
    // A lockout that ended, or a last failure a lockout's length ago, starts a new count.
    if ((record.LockedUntil != Millis{} && record.LockedUntil <= now) || record.LastFailure + kLockout <= now)
        record = Record{};
    record.LastFailure = now;
    if (++record.Failures < kAllowedFailures)
        return false;
    record.Failures = 0;
    record.LockedUntil = now + kLockout;
    return true;
}

void PasswordGuard::Succeeded(const std::string& address)
{
    m_records.erase(address);
}

void PasswordGuard::makeRoom(Millis now)
{
    if (m_records.size() < kMaxAddresses)
        return;
    auto oldest = m_records.end();
    for (auto it = m_records.begin(); it != m_records.end(); ++it) {
        if (it->second.LockedUntil > now)
            continue;
        if (oldest == m_records.end() || it->second.LastFailure < oldest->second.LastFailure)
            oldest = it;
    }
    if (oldest != m_records.end())
        m_records.erase(oldest);
    else
        m_records.erase(m_records.begin()); // every one locked out: the table still stays bounded
}

} // namespace quorvane
