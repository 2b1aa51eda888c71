#include "web/PendingPageRequests.h"

namespace quorvane {

bool PendingPageRequests::Add(const std::string& address, std::string stamp)
{
    const std::lock_guard lock(m_mutex);
    const bool wasEmpty = m_order.empty() && m_unlogged == 0;
    if (const auto found = m_byAddress.find(address); found != m_byAddress.end()) {
        // Its line will end up last, as this request's would.
        m_order.splice(m_order.end(), m_order, found->second);
        found->second->Stamp = std::move(stamp);
        ++found->second->Count;
    } else if (m_order.size() < kMaxAddresses) {
        m_order.push_back(Entry{address, std::move(stamp), 1});
        m_byAddress.emplace(address, std::prev(m_order.end()));
    } else {
        ++m_unlogged;
    }
    return wasEmpty;
}

PendingPageRequests::Batch PendingPageRequests::Take()
{
    Batch batch;
    const std::lock_guard lock(m_mutex);
    batch.Entries.reserve(m_order.size());
    for (auto& entry : m_order)
        batch.Entries.push_back(std::move(entry));
    m_order.clear();
    m_byAddress.clear();
    batch.Unlogged = m_unlogged;
    m_unlogged = 0;
    return batch;
}

bool PendingPageRequests::Empty() const
{
    const std::lock_guard lock(m_mutex);
    return m_order.empty() && m_unlogged == 0;
}

} // namespace quorvane
