#include "mqtt/MosquittoLink.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>

namespace quorvane {

namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr int kLoopWaitMs = 100;
constexpr const char* kSystemCertificates = "/etc/ssl/certs";

void initialiseLibraryOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

std::string describe(int result)
{
    if (result == MOSQ_ERR_ERRNO)
        return std::strerror(errno);
    return mosquitto_strerror(result);
}

const char* orNull(const std::string& text)
{
    return text.empty() ? nullptr : text.c_str();
}

} // namespace

MosquittoLink::MosquittoLink(MqttEndpoint endpoint, Listener listener)
    : m_endpoint(std::move(endpoint)), m_listener(std::move(listener))
{
    initialiseLibraryOnce();
    m_client = mosquitto_new(m_endpoint.ClientId.c_str(), true, this);
    std::string setupError;
    if (m_client == nullptr) {
        setupError = "the MQTT client could not be made: " + std::string(std::strerror(errno));
    } else {
        // Our own thread runs the loop; the library must still guard against Publish from others.
        mosquitto_threaded_set(m_client, true);
        mosquitto_connect_callback_set(m_client, &MosquittoLink::onConnect);
        mosquitto_message_callback_set(m_client, &MosquittoLink::onMessage);
        mosquitto_publish_callback_set(m_client, &MosquittoLink::onPublish);
        // No cap on QoS 1 messages awaiting their acknowledgement: a capped one waits in the
        // library until an earlier one is acknowledged, and would miss a goodbye's disconnect.
        mosquitto_int_option(m_client, MOSQ_OPT_SEND_MAXIMUM, UINT16_MAX);
        // A state and an event sent together must not wait for the broker's delayed ACK.
        mosquitto_int_option(m_client, MOSQ_OPT_TCP_NODELAY, 1);
        int result = MOSQ_ERR_SUCCESS;
        if (!m_endpoint.Username.empty())
            result = mosquitto_username_pw_set(m_client, m_endpoint.Username.c_str(), orNull(m_endpoint.Password));
        if (result == MOSQ_ERR_SUCCESS && m_endpoint.Tls) {
            result = mosquitto_tls_set(m_client, orNull(m_endpoint.CaFile),
                                       m_endpoint.CaFile.empty() ? kSystemCertificates : nullptr, nullptr, nullptr,
                                       nullptr);
            if (result != MOSQ_ERR_SUCCESS)
                setupError = "the CA file \"" + m_endpoint.CaFile + "\" cannot be used";
        }
        if (result == MOSQ_ERR_SUCCESS && !m_endpoint.Will.Topic.empty()) {
            result = mosquitto_will_set(m_client, m_endpoint.Will.Topic.c_str(),
                                        static_cast<int>(m_endpoint.Will.Payload.size()),
                                        m_endpoint.Will.Payload.data(), m_endpoint.Will.Qos, m_endpoint.Will.Retain);
        }
        if (result != MOSQ_ERR_SUCCESS && setupError.empty())
            setupError = describe(result);
    }
    m_thread = std::thread([this, setupError] {
        if (!setupError.empty()) {
            m_listener.Failed(setupError, false);
            return;
        }
        run();
    });
}

MosquittoLink::~MosquittoLink()
{
    m_endBy = std::chrono::steady_clock::now();
    stopThread();
    if (m_client != nullptr)
        mosquitto_destroy(m_client);
}

bool MosquittoLink::Publish(const MqttMessage& message)
{
    if (m_client == nullptr)
        return false;
    return mosquitto_publish(m_client, nullptr, message.Topic.c_str(), static_cast<int>(message.Payload.size()),
                             message.Payload.data(), message.Qos, message.Retain)
           == MOSQ_ERR_SUCCESS;
}

void MosquittoLink::Close(const std::vector<MqttMessage>& last, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    if (m_client != nullptr) {
        // The goodbye is sent and acknowledged before the disconnect: the library would
        // otherwise let a disconnect overtake messages it still holds back.
        std::unique_lock lock(m_waitMutex);
        for (const MqttMessage& message : last) {
            int id = 0;
            if (mosquitto_publish(m_client, &id, message.Topic.c_str(), static_cast<int>(message.Payload.size()),
                                  message.Payload.data(), message.Qos, message.Retain)
                    == MOSQ_ERR_SUCCESS
                && message.Qos > 0)
                m_unacknowledged.insert(id);
        }
        m_wake.wait_until(lock, deadline, [this] { return m_unacknowledged.empty(); });
    }
    m_endBy = deadline;
    m_ending = true; // before the disconnect, so that its end is not taken for a broken link
    if (m_client != nullptr)
        mosquitto_disconnect(m_client);
    stopThread();
}

void MosquittoLink::stopThread()
{
    {
        const std::lock_guard lock(m_waitMutex);
        m_ending = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool MosquittoLink::waitBeforeRetry()
{
    const std::chrono::milliseconds delay(m_retryDelayMs.load());
    m_retryDelayMs = std::min(delay * 2, kLongestRetryDelay).count();
    std::unique_lock lock(m_waitMutex);
    return !m_wake.wait_for(lock, delay, [this] { return m_ending.load(); });
}

void MosquittoLink::run()
{
    bool open = false;
    while (true) {
        if (!open) {
            if (m_ending)
                return;
            // Started without waiting for the broker, so that Close never waits on a connect.
            const int result = mosquitto_connect_async(m_client, m_endpoint.Host.c_str(), m_endpoint.Port,
                                                       kKeepAliveSeconds);
            if (result != MOSQ_ERR_SUCCESS) {
                m_listener.Failed(describe(result), true);
                if (!waitBeforeRetry())
                    return;
                continue;
            }
            open = true;
        }
        const int result = mosquitto_loop(m_client, kLoopWaitMs, 1);
        if (result != MOSQ_ERR_SUCCESS) {
            open = false;
            if (m_ending)
                return;
            m_listener.Failed(describe(result), true);
            if (!waitBeforeRetry())
                return;
            continue;
        }
        if (m_ending && std::chrono::steady_clock::now() >= m_endBy)
            return;
    }
}

void MosquittoLink::onConnect(mosquitto* client, void* self, int result)
{
    auto* link = static_cast<MosquittoLink*>(self);
    if (result != 0) {
        link->m_listener.Failed(mosquitto_connack_string(result), true);
        return;
    }
    link->m_retryDelayMs = kFirstRetryDelay.count();
    for (const std::string& topic : link->m_endpoint.Subscriptions)
        mosquitto_subscribe(client, nullptr, topic.c_str(), 1);
    link->m_listener.Connected();
}

void MosquittoLink::onPublish(mosquitto*, void* self, int id)
{
    auto* link = static_cast<MosquittoLink*>(self);
    {
        const std::lock_guard lock(link->m_waitMutex);
        link->m_unacknowledged.erase(id);
    }
    link->m_wake.notify_all();
}

void MosquittoLink::onMessage(mosquitto*, void* self, const mosquitto_message* message)
{
    auto* link = static_cast<MosquittoLink*>(self);
    const auto* bytes = static_cast<const char*>(message->payload);
    link->m_listener.MessageArrived(message->topic != nullptr ? message->topic : "",
                                    std::string(bytes != nullptr ? bytes : "", static_cast<size_t>(message->payloadlen)));
}

} // namespace quorvane
