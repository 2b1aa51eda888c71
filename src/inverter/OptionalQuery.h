#pragma once

#include <utility>

namespace quorvane {

// What a query that not every unit knows came back with.
enum class QueryOutcome {
    Answered, // the reply was read: the value holds it
    Refused,  // "(NAK": the unit does not know the query
    NoReply,  // nothing readable came back (or nothing was asked)
};

template <typename Value>
struct OptionalQueryResult {
    QueryOutcome Result = QueryOutcome::NoReply;
    Value Reading{};
};

// Remembers that the unit refused a query, so it is not asked again until the next
// connection. Owned by whoever asks the query.
class RefusalMemory {
public:
    [[nodiscard]] bool Refused() const { return m_refused; }
    // True the first time since the last connection: the moment to say so, once.
    bool Note() { return !std::exchange(m_refused, true); }
    void Reconnected() { m_refused = false; }

private:
    bool m_refused = false;
};

} // namespace quorvane
