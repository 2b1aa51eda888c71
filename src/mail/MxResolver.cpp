#include "mail/MxResolver.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <netinet/in.h>
#include <resolv.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

namespace quorvane {

namespace {

constexpr int kAnswerSize = 4096;
constexpr int kQueryTimeoutSeconds = 3;
constexpr int kQueryAttempts = 2;

// One resolver state aimed at exactly one server.
class Resolver {
public:
    explicit Resolver(const DnsServer& server)
    {
        std::memset(&m_state, 0, sizeof m_state);
        m_ready = res_ninit(&m_state) == 0;
        if (!m_ready)
            return;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(server.Port);
        m_ready = inet_pton(AF_INET, server.Address.c_str(), &address.sin_addr) == 1;
        m_state.nsaddr_list[0] = address;
        m_state.nscount = 1;
        m_state.retrans = kQueryTimeoutSeconds;
        m_state.retry = kQueryAttempts;
        m_state.options &= ~static_cast<unsigned long>(RES_DNSRCH | RES_DEFNAMES);
    }
    ~Resolver() { res_nclose(&m_state); }
    Resolver(const Resolver&) = delete;
    Resolver& operator=(const Resolver&) = delete;

    // The records of one type for a name, each as the rdata handed to `take`.
    template <typename Take>
    void query(const std::string& name, ns_type type, Take&& take)
    {
        if (!m_ready)
            return;
        unsigned char answer[kAnswerSize];
        const int length = res_nquery(&m_state, name.c_str(), ns_c_in, type, answer, sizeof answer);
        if (length < 0)
            return;
        ns_msg message;
        if (ns_initparse(answer, length, &message) != 0)
            return;
        for (int i = 0; i < ns_msg_count(message, ns_s_an); ++i) {
            ns_rr record;
            if (ns_parserr(&message, ns_s_an, i, &record) == 0 && ns_rr_type(record) == type)
                take(message, record);
        }
    }

private:
    struct __res_state m_state;
    bool m_ready = false;
};

std::vector<std::string> addressesOf(Resolver& resolver, const std::string& name)
{
    std::vector<std::string> addresses;
    resolver.query(name, ns_t_a, [&](const ns_msg&, const ns_rr& record) {
        if (ns_rr_rdlen(record) != 4)
            return;
        char text[INET_ADDRSTRLEN];
        if (inet_ntop(AF_INET, ns_rr_rdata(record), text, sizeof text) != nullptr)
            addresses.emplace_back(text);
    });
    return addresses;
}

} // namespace

DnsServer SystemDnsServer(const std::string& resolvConf)
{
    std::ifstream file(resolvConf);
    std::string line;
    while (std::getline(file, line)) {
        std::istringstream words(line);
        std::string keyword, address;
        words >> keyword >> address;
        in_addr parsed{};
        if (keyword == "nameserver" && inet_pton(AF_INET, address.c_str(), &parsed) == 1)
            return {address, 53};
    }
    return {"127.0.0.1", 53};
}

std::vector<std::string> MailHostsFor(const std::string& domain, const DnsServer& server)
{
    Resolver resolver(server);
    std::vector<std::pair<int, std::string>> exchangers;
    resolver.query(domain, ns_t_mx, [&](const ns_msg& message, const ns_rr& record) {
        if (ns_rr_rdlen(record) < 3)
            return;
        const unsigned char* data = ns_rr_rdata(record);
        const int preference = ns_get16(data);
        char host[NS_MAXDNAME];
        if (ns_name_uncompress(ns_msg_base(message), ns_msg_end(message), data + 2, host, sizeof host) >= 0)
            exchangers.emplace_back(preference, host);
    });
    std::stable_sort(exchangers.begin(), exchangers.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    std::vector<std::string> hosts;
    if (exchangers.empty())
        return addressesOf(resolver, domain); // no MX: the domain itself takes mail
    for (const auto& exchanger : exchangers) {
        for (const std::string& address : addressesOf(resolver, exchanger.second))
            if (std::find(hosts.begin(), hosts.end(), address) == hosts.end())
                hosts.push_back(address);
    }
    return hosts;
}

} // namespace quorvane
