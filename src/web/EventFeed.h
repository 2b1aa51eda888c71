#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quorvane {

// Server-sent events for every client of "/events": each message published goes to every
// subscriber, in order. A new subscriber gets the latest state message first, so a page has
// something to show at once. A subscriber that falls kBacklog messages behind (a client that
// stopped reading) is cut off rather than held in memory; its browser connects again and
// starts from the latest state.
// Thread safety: every function may be called from any thread.
class EventFeed {
public:
    static constexpr std::size_t kBacklog = 256;

    // One client's queue. `wake` runs (on the publishing thread) when a message arrives for an
    // empty queue; the client then takes what waits on its own thread.
    class Subscriber {
    public:
        explicit Subscriber(std::function<void()> wake) : m_wake(std::move(wake)) {}
        // What waits, in order, as one text; empty when nothing does.
        [[nodiscard]] std::string Take();
        // Fell too far behind: what it missed is gone.
        [[nodiscard]] bool Overflowed() const;

    private:
        friend class EventFeed;
        void push(const std::string& message);

        std::function<void()> m_wake;
        mutable std::mutex m_mutex;
        std::vector<std::string> m_waiting; // guarded
        bool m_overflowed = false;          // guarded
    };

    std::shared_ptr<Subscriber> Subscribe(std::function<void()> wake);
    // `event` names the message ("state", "event"); `data` is one line of JSON.
    void Publish(const std::string& event, const std::string& data);
    // Subscribers still alive (their connection holds them).
    [[nodiscard]] std::size_t SubscriberCount() const;

    // "event: <event>\ndata: <data>\n\n"
    [[nodiscard]] static std::string Format(const std::string& event, const std::string& data);

private:
    mutable std::mutex m_mutex;
    std::vector<std::weak_ptr<Subscriber>> m_subscribers; // guarded
    std::string m_latestState;                            // guarded, formatted
};

} // namespace quorvane
