#pragma once

// A client of the test broker that keeps every message it receives, on libmosquitto's own
// network thread. Its session outlives a restart of the broker (clean session off, QoS 1), so
// nothing published while it reconnects is lost to it.
#include "WaitUntil.h"

#include <mosquitto.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace quorvane::fakes {

struct ReceivedMessage {
    std::string Topic;
    std::string Payload;
    bool Retained = false;
};

class MqttSubscriber {
public:
    struct Login {
        std::string User;
        std::string Password;
        std::string CaFile; // TLS when set
    };

    // Runs on the client's network thread for each message as it arrives, before it is kept
    // (a benchmark notes the moment).
    using Observer = std::function<void(const ReceivedMessage&)>;

    MqttSubscriber(int port, const std::string& topicFilter, const Login& login = {}, Observer observer = {})
        : m_observer(std::move(observer))
    {
        static std::once_flag once;
        std::call_once(once, [] { mosquitto_lib_init(); });
        static std::atomic<int> serial{0};
        const std::string id = "test-subscriber-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
        m_client = mosquitto_new(id.c_str(), false, this);
        if (!login.User.empty())
            mosquitto_username_pw_set(m_client, login.User.c_str(), login.Password.c_str());
        if (!login.CaFile.empty())
            mosquitto_tls_set(m_client, login.CaFile.c_str(), nullptr, nullptr, nullptr, nullptr);
        m_filter = topicFilter;
        mosquitto_connect_callback_set(m_client, [](mosquitto* client, void* self, int result) {
            auto* subscriber = static_cast<MqttSubscriber*>(self);
            // Subscribed once: the session keeps the subscription across reconnects.
            if (result == 0 && !subscriber->m_subscribed.exchange(true))
                mosquitto_subscribe(client, nullptr, subscriber->m_filter.c_str(), 1);
        });
        mosquitto_subscribe_callback_set(m_client, [](mosquitto*, void* self, int, int, const int*) {
            static_cast<MqttSubscriber*>(self)->m_ready = true;
        });
        mosquitto_message_callback_set(m_client, [](mosquitto*, void* self, const mosquitto_message* message) {
            auto* subscriber = static_cast<MqttSubscriber*>(self);
            ReceivedMessage received{
                message->topic, std::string(static_cast<const char*>(message->payload), static_cast<size_t>(message->payloadlen)),
                message->retain};
            if (subscriber->m_observer)
                subscriber->m_observer(received);
            const std::lock_guard lock(subscriber->m_mutex);
            subscriber->m_messages.push_back(std::move(received));
        });
        mosquitto_reconnect_delay_set(m_client, 1, 1, false);
        if (mosquitto_connect(m_client, "localhost", port, 30) != MOSQ_ERR_SUCCESS || mosquitto_loop_start(m_client) != MOSQ_ERR_SUCCESS)
            throw std::runtime_error("the test subscriber cannot reach the broker");
        if (!WaitUntil([this] { return m_ready.load(); }))
            throw std::runtime_error("the test subscriber was not subscribed");
    }
    ~MqttSubscriber()
    {
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, false);
        mosquitto_destroy(m_client);
    }
    MqttSubscriber(const MqttSubscriber&) = delete;
    MqttSubscriber& operator=(const MqttSubscriber&) = delete;

    void Publish(const std::string& topic, const std::string& payload, bool retain = false)
    {
        mosquitto_publish(m_client, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1, retain);
    }

    [[nodiscard]] std::vector<ReceivedMessage> Messages() const
    {
        const std::lock_guard lock(m_mutex);
        return m_messages;
    }
    [[nodiscard]] std::vector<ReceivedMessage> On(const std::string& topic) const
    {
        std::vector<ReceivedMessage> found;
        for (const auto& message : Messages())
            if (message.Topic == topic)
                found.push_back(message);
        return found;
    }
    // The latest message on `topic`, waiting for one that `accept` takes.
    std::optional<ReceivedMessage> WaitFor(const std::string& topic,
                                           const std::function<bool(const ReceivedMessage&)>& accept = {},
                                           std::chrono::milliseconds limit = kPatience)
    {
        std::optional<ReceivedMessage> found;
        WaitUntil([&] {
            const auto messages = On(topic);
            for (auto it = messages.rbegin(); it != messages.rend(); ++it)
                if (!accept || accept(*it)) {
                    found = *it;
                    return true;
                }
            return false;
        }, limit);
        return found;
    }
    void Clear()
    {
        const std::lock_guard lock(m_mutex);
        m_messages.clear();
    }

private:
    const Observer m_observer;
    mosquitto* m_client = nullptr;
    std::string m_filter;
    std::atomic<bool> m_subscribed{false};
    std::atomic<bool> m_ready{false};
    mutable std::mutex m_mutex;
    std::vector<ReceivedMessage> m_messages;
};

} // namespace quorvane::fakes
