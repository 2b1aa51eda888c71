#pragma once

#include "face/WebRequests.h"

#include <cstdint>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace quorvane {

// Main-page requests on their way from the server's threads to the memo on the core thread.
// One entry per client address, holding how many requests it made and the stamp of the last,
// kept in the order of each address's last request: applying the entries in order leaves the
// memo exactly as applying every request one by one would. So a flood from one address is one
// entry, whatever its size, and the queue never holds more than kMaxAddresses entries (a few
// MB at most, and room for the addresses that can come while the core thread spends a second
// on the serial line); requests from further addresses while it is full are only counted.
//
// Thread-safe: Add from any thread, Take on the core thread.
class PendingPageRequests {
public:
    static constexpr size_t kMaxAddresses = 16384;

    using Entry = ClientPageRequests;
    struct Batch {
        std::vector<Entry> Entries;
        std::int64_t Unlogged = 0; // requests that found the queue full
    };

    // True when the queue was empty, so the caller must have it taken.
    bool Add(const std::string& address, std::string stamp);
    Batch Take();
    [[nodiscard]] bool Empty() const;

private:
    mutable std::mutex m_mutex;
    std::list<Entry> m_order;                                             // guarded by m_mutex
    std::unordered_map<std::string, std::list<Entry>::iterator> m_byAddress; // guarded by m_mutex
    std::int64_t m_unlogged = 0;                                          // guarded by m_mutex
};

} // namespace quorvane
