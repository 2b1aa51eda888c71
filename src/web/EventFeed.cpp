#include "web/EventFeed.h"

#include <algorithm>

namespace quorvane {

std::string EventFeed::Subscriber::Take()
{
    const std::lock_guard lock(m_mutex);
    std::string text;
    for (const std::string& message : m_waiting)
        text += message;
    m_waiting.clear();
    return text;
}

bool EventFeed::Subscriber::Overflowed() const
{
    const std::lock_guard lock(m_mutex);
    return m_overflowed;
}

void EventFeed::Subscriber::push(const std::string& message)
{
    bool wake = false; // the client has nothing waiting to be woken for, or must now be cut off
    {
        const std::lock_guard lock(m_mutex);
        if (m_overflowed)
            return;
        wake = m_waiting.empty() || m_waiting.size() >= kBacklog;
        if (m_waiting.size() >= kBacklog) {
            m_overflowed = true;
            m_waiting.clear();
        } else {
            m_waiting.push_back(message);
        }
    }
    if (wake)
        m_wake();
}

std::shared_ptr<EventFeed::Subscriber> EventFeed::Subscribe(std::function<void()> wake)
{
    auto subscriber = std::make_shared<Subscriber>(std::move(wake));
    const std::lock_guard lock(m_mutex);
    if (!m_latestState.empty()) {
        const std::lock_guard queueLock(subscriber->m_mutex);
        subscriber->m_waiting.push_back(m_latestState);
    }
    std::erase_if(m_subscribers, [](const auto& weak) { return weak.expired(); });
    m_subscribers.push_back(subscriber);
    return subscriber;
}

void EventFeed::Publish(const std::string& event, const std::string& data)
{
    const std::string message = Format(event, data);
    std::vector<std::shared_ptr<Subscriber>> live;
    {
        const std::lock_guard lock(m_mutex);
        if (event == "state")
            m_latestState = message;
        for (const auto& weak : m_subscribers)
            if (auto subscriber = weak.lock())
                live.push_back(std::move(subscriber));
    }
    // Outside the feed's lock: a wake-up may post work that subscribes or publishes.
    for (const auto& subscriber : live)
        subscriber->push(message);
}

std::size_t EventFeed::SubscriberCount() const
{
    const std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(
        std::count_if(m_subscribers.begin(), m_subscribers.end(), [](const auto& weak) { return !weak.expired(); }));
}

std::string EventFeed::Format(const std::string& event, const std::string& data)
{
    return "event: " + event + "\ndata: " + data + "\n\n";
}

} // namespace quorvane
