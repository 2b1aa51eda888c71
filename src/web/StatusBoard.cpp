#include "web/StatusBoard.h"

#include "face/StateJson.h"

namespace quorvane {

StatusBoard::StatusBoard()
{
    Publish(CoreState{});
}

void StatusBoard::Publish(const CoreState& state)
{
    auto published = std::make_shared<const Published>(Published{state, StateJson(state)});
    const std::lock_guard lock(m_mutex);
    m_latest = std::move(published);
}

std::shared_ptr<const StatusBoard::Published> StatusBoard::Latest() const
{
    const std::lock_guard lock(m_mutex);
    return m_latest;
}

} // namespace quorvane
