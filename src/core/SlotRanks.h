#pragma once

#include <cstddef>
#include <vector>

namespace quorvane {

// Counts the live slots of an append-only store whose slots can be retired: how many live
// slots come before a given one, in O(log n) (a Fenwick tree over 1 for live, 0 for retired).
// Lets a store leave a hole where a line was taken out, yet still tell a view which row that was.
//
// Not thread-safe: owned by its store.
class SlotRanks {
public:
    // All `count` slots live.
    void Reset(size_t count)
    {
        m_tree.resize(count);
        for (size_t node = 1; node <= count; ++node)
            m_tree[node - 1] = static_cast<int>(node & (~node + 1));
    }
    // One more live slot at the end.
    void PushLive()
    {
        const size_t node = m_tree.size() + 1;
        const size_t covered = node & (~node + 1); // the node sums the `covered` slots ending at it
        m_tree.push_back(1 + LiveBefore(node - 1) - LiveBefore(node - covered));
    }
    // The slot no longer counts.
    void Retire(size_t slot)
    {
        for (size_t node = slot + 1; node <= m_tree.size(); node += node & (~node + 1))
            --m_tree[node - 1];
    }
    // Live slots among the first `slot` ones.
    [[nodiscard]] size_t LiveBefore(size_t slot) const
    {
        int live = 0;
        for (size_t node = slot; node > 0; node -= node & (~node + 1))
            live += m_tree[node - 1];
        return static_cast<size_t>(live);
    }

private:
    std::vector<int> m_tree;
};

} // namespace quorvane
