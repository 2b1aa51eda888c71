#pragma once

#include "mqtt/MqttMessage.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace quorvane {

// Where and how to reach the broker.
struct MqttEndpoint {
    std::string Host;
    int Port = 1883;
    std::string Username; // empty: no login
    std::string Password;
    bool Tls = false;
    std::string CaFile; // with Tls; empty: the system's certificate authorities
    std::string ClientId;
    MqttMessage Will;   // what the broker publishes when the link dies without a goodbye
    std::vector<std::string> Subscriptions;
};

// The connection to one broker, on libmosquitto. A network thread of its own connects, runs
// the client's loop and, when the broker is away or the link breaks, tries again after 1 s,
// then 2, 4, ... up to 60 s between attempts; a connection that comes up starts over at 1 s.
// Thread ownership: made and destroyed on the owner's thread; the listener's functions run on
// the network thread; Publish and Close may be called from any thread.
class MosquittoLink {
public:
    struct Listener {
        std::function<void()> Connected;                 // the broker accepted the connection
        // An attempt failed or the link broke, and why; `retrying` is false when the settings
        // themselves make every attempt fail (a CA file that cannot be read), so none follows.
        std::function<void(const std::string& reason, bool retrying)> Failed;
        std::function<void(const std::string& topic, const std::string& payload)> MessageArrived;
    };

    static constexpr std::chrono::milliseconds kFirstRetryDelay{1000};
    static constexpr std::chrono::milliseconds kLongestRetryDelay{60000};

    MosquittoLink(MqttEndpoint endpoint, Listener listener);
    // Ends the link at once (the broker sends the will); Close first for a goodbye.
    ~MosquittoLink();
    MosquittoLink(const MosquittoLink&) = delete;
    MosquittoLink& operator=(const MosquittoLink&) = delete;

    // Hands the message to the client library; false when it refused it (no connection, a
    // topic it does not take). A QoS 1 message taken while the link is breaking is sent again
    // on the next connection.
    bool Publish(const MqttMessage& message);
    // Sends `last` messages and, once the broker acknowledged them or `limit` ran out, a clean
    // disconnect (no will); then the network thread ends.
    void Close(const std::vector<MqttMessage>& last, std::chrono::milliseconds limit = std::chrono::milliseconds(2000));

private:
    static void onConnect(mosquitto* client, void* self, int result);
    static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);
    static void onPublish(mosquitto* client, void* self, int id);

    void run();
    // Waits the retry delay, or less when the link is asked to end; false when it is.
    bool waitBeforeRetry();
    void stopThread();

    const MqttEndpoint m_endpoint;
    const Listener m_listener;
    mosquitto* m_client = nullptr;
    std::atomic<bool> m_ending{false};
    std::chrono::steady_clock::time_point m_endBy; // set before m_ending
    std::mutex m_waitMutex;
    std::condition_variable m_wake;
    std::set<int> m_unacknowledged; // the goodbye's QoS 1 messages; under m_waitMutex
    std::atomic<long long> m_retryDelayMs{kFirstRetryDelay.count()};
    std::thread m_thread;
};

} // namespace quorvane
