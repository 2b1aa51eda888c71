#include "inverter/WarningDebounce.h"

#include <set>

namespace quorvane {

WarningChanges WarningDebounce::Feed(const WarningStatus& reading)
{
    std::set<int> bits;
    const WarningStatus* const sources[] = {&reading, &m_previous, &m_active};
    for (const WarningStatus* status : sources)
        for (const WarningCondition& condition : status->Conditions)
            bits.insert(condition.Bit);

    WarningChanges changes;
    WarningStatus active;
    for (const int bit : bits) {
        const WarningCondition* now = reading.Find(bit);
        const bool setBefore = m_hasPrevious && m_previous.Find(bit) != nullptr;
        const bool clearBefore = m_hasPrevious && !setBefore;
        const WarningCondition* wasActive = m_active.Find(bit);
        if (wasActive == nullptr) {
            if (now != nullptr && setBefore) {
                changes.TurnedOn.push_back(*now);
                active.Conditions.push_back(*now);
            }
        } else if (now == nullptr && clearBefore) {
            changes.TurnedOff.push_back(*wasActive);
        } else {
            active.Conditions.push_back(now != nullptr ? *now : *wasActive);
        }
    }
    m_active = std::move(active);
    m_previous = reading;
    m_hasPrevious = true;
    return changes;
}

void WarningDebounce::Reset()
{
    ForgetReadings();
    m_active = {};
}

void WarningDebounce::ForgetReadings()
{
    m_previous = {};
    m_hasPrevious = false;
}

} // namespace quorvane
