#include "web/HttpServer.h"

#include <utility> // before Asio: its headers use std::exchange without including it

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <optional>
#include <unordered_map>

namespace quorvane {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

const char* toString(HttpServer::StartError error)
{
    switch (error) {
    case HttpServer::StartError::None: return "started";
    case HttpServer::StartError::PermissionDenied: return "the port needs privileges";
    case HttpServer::StartError::AddressInUse: return "the port is in use";
    case HttpServer::StartError::Other: return "the port cannot be bound";
    }
    return "unknown";
}

namespace http_server {

class Session;

} // namespace http_server

// The I/O loop and what its connections share. Kept alive by every listener and session, so a
// reply that arrives from the core thread after the server stopped finds a stopped loop to
// post to, never a destroyed one.
struct HttpServer::Impl {
    explicit Impl(HttpServer::Limits limits) : limits(limits) {}

    const HttpServer::Limits limits;
    std::atomic<bool> draining{false}; // Stop began: connections finish their reply and close
    std::atomic<bool> stopping{false}; // the I/O threads stop: late replies are dropped
    asio::io_context io;
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work;
    std::vector<std::shared_ptr<void>> listeners;
    std::vector<std::thread> threads;

    // The registry of open connections: an entry from accept to the session's end.
    mutable std::mutex sessionsMutex;
    std::condition_variable sessionsEnded;
    std::unordered_map<const http_server::Session*, std::weak_ptr<http_server::Session>> sessions; // guarded

    void Unregister(const http_server::Session* session)
    {
        {
            const std::lock_guard lock(sessionsMutex);
            if (sessions.erase(session) == 0)
                return;
        }
        sessionsEnded.notify_all();
    }
    std::vector<std::shared_ptr<http_server::Session>> LiveSessions() const
    {
        std::vector<std::shared_ptr<http_server::Session>> live;
        const std::lock_guard lock(sessionsMutex);
        for (const auto& [key, weak] : sessions)
            if (auto session = weak.lock())
                live.push_back(std::move(session));
        return live;
    }
};

namespace http_server {

// Connections too new to be closed for room may take the count past the limit, up to this many
// times the limit; then accepting waits.
constexpr size_t kHardLimitFactor = 8;
using Shared = std::shared_ptr<HttpServer::Impl>;
using SteadyClock = std::chrono::steady_clock;

class Listener;

// One connection: reads requests, hands each to the handler, writes its reply. Every step
// runs on the connection's strand; only the idle time and the eviction mark are read from
// elsewhere (the acceptor choosing a connection to close).
class Session : public std::enable_shared_from_this<Session> {
public:
    Session(tcp::socket socket, const HttpHandler& handler, std::shared_ptr<Listener> listener, Shared shared);
    ~Session();
    void Start() { readRequest(); }

    [[nodiscard]] SteadyClock::rep IdleSince() const { return m_idleSince.load(); }
    // Marks the connection as chosen to close; false when it already was.
    bool MarkEvicted() { return !m_evicted.exchange(true); }
    [[nodiscard]] bool Evicted() const { return m_evicted.load(); }
    // Any thread: closes the connection now (to make room for a new one).
    void Evict();
    // Any thread: the server stops; a reply being written still goes out, then it closes.
    void Drain();
    // Only once the I/O threads have stopped.
    void CloseNow() { closeSocket(); }
    // Carries server-sent events: not counted for the connection limit.
    [[nodiscard]] bool Streaming() const { return m_streaming.load(); }

private:
    enum class Phase { Reading, Handling, Writing, Streaming, Closed };

    void readRequest();
    void onRead(beast::error_code error);
    void reply(HttpReply reply, bool keepAlive, bool head);
    void afterWrite(beast::error_code error, bool keepAlive);
    void writeError(http::status status);
    void touch() { m_idleSince = SteadyClock::now().time_since_epoch().count(); }
    void closeSocket();
    void startStream(std::shared_ptr<EventFeed> feed);
    // Writes what waits for this client, one write at a time.
    void pumpStream();
    void writeStream(std::shared_ptr<std::string> text);
    void watchForHangUp();

    beast::tcp_stream m_stream;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
    const HttpHandler& m_handler;
    std::shared_ptr<Listener> m_listener;
    Shared m_shared;
    std::string m_peer;
    Phase m_phase = Phase::Reading; // on the strand
    std::atomic<SteadyClock::rep> m_idleSince{0};
    std::atomic<bool> m_evicted{false};
    std::atomic<bool> m_streaming{false};
    std::shared_ptr<EventFeed::Subscriber> m_subscriber; // on the strand
    bool m_streamWriting = false;                        // on the strand
    std::array<char, 64> m_hangUpBuffer{};               // what a streaming client sends is ignored
};

// Accepts connections on one address. At the connection limit a new connection closes the
// idlest open one that has been idle for the grace; with kHardLimitFactor times the limit open,
// accepting waits until a connection has ended, making room again once the grace has passed.
class Listener : public std::enable_shared_from_this<Listener> {
public:
    Listener(Shared shared, const HttpHandler& handler)
        : m_shared(std::move(shared))
        , m_acceptor(asio::make_strand(m_shared->io))
        , m_retry(m_acceptor.get_executor())
        , m_handler(handler)
    {
    }

    beast::error_code Open(const tcp::endpoint& endpoint)
    {
        beast::error_code error;
        m_acceptor.open(endpoint.protocol(), error);
        if (!error && endpoint.address().is_v6())
            m_acceptor.set_option(asio::ip::v6_only(true), error);
        if (!error)
            m_acceptor.set_option(asio::socket_base::reuse_address(true), error);
        if (!error)
            m_acceptor.bind(endpoint, error);
        if (!error)
            m_acceptor.listen(HttpServer::kListenQueue, error);
        return error;
    }
    std::uint16_t Port() const { return m_acceptor.local_endpoint().port(); }
    void Accept() { asio::dispatch(m_acceptor.get_executor(), [self = shared_from_this()] { self->acceptNext(); }); }
    void Close()
    {
        asio::post(m_acceptor.get_executor(), [self = shared_from_this()] { self->CloseNow(); });
    }
    // Only on the acceptor's strand, or once the I/O threads have stopped.
    void CloseNow()
    {
        beast::error_code ignored;
        m_acceptor.close(ignored);
        m_retry.cancel();
    }
    // A session ended: accept again if accepting was waiting.
    void SessionEnded()
    {
        asio::post(m_acceptor.get_executor(), [self = shared_from_this()] {
            if (self->m_waiting && self->m_acceptor.is_open()) {
                self->m_waiting = false;
                self->m_retry.cancel();
                self->acceptNext();
            }
        });
    }

private:
    // Makes room for one more connection: closes the idlest open ones until fewer than the
    // limit are left, sparing those not yet idle for the grace.
    void makeRoom()
    {
        // Taken out of the registry first: a session let go of under its lock would deadlock
        // when it unregisters itself.
        std::vector<std::shared_ptr<Session>> open = m_shared->LiveSessions();
        std::erase_if(open, [](const auto& session) { return session->Evicted() || session->Streaming(); });
        const auto limit = static_cast<size_t>(m_shared->limits.MaxConnections);
        if (open.size() < limit)
            return;
        std::sort(open.begin(), open.end(), [](const auto& a, const auto& b) { return a->IdleSince() < b->IdleSince(); });
        const auto graceStart = (SteadyClock::now() - m_shared->limits.EvictionGrace).time_since_epoch().count();
        const size_t excess = open.size() + 1 - limit; // closing these leaves room for one more
        for (size_t i = 0; i < excess; ++i) {
            if (open[i]->IdleSince() > graceStart)
                break; // the rest came later still
            if (open[i]->MarkEvicted())
                open[i]->Evict();
        }
    }

    // Accepting waits: once the grace has passed, the idlest connection makes room again.
    void retryLater()
    {
        m_retry.expires_after(m_shared->limits.EvictionGrace);
        m_retry.async_wait([self = shared_from_this()](beast::error_code error) {
            if (error || !self->m_waiting || !self->m_acceptor.is_open())
                return;
            self->makeRoom();
            self->retryLater();
        });
    }

    [[nodiscard]] size_t registered() const
    {
        const std::lock_guard lock(m_shared->sessionsMutex);
        return m_shared->sessions.size();
    }

    void acceptNext()
    {
        if (!m_acceptor.is_open() || m_shared->draining)
            return;
        if (registered() >= kHardLimitFactor * static_cast<size_t>(m_shared->limits.MaxConnections)) {
            m_waiting = true; // further clients wait in the listen queue until one has closed
            retryLater();
            return;
        }
        m_acceptor.async_accept(asio::make_strand(m_shared->io), [self = shared_from_this()](beast::error_code error, tcp::socket socket) {
            if (error == asio::error::operation_aborted || !self->m_acceptor.is_open())
                return;
            if (!error && !self->m_shared->draining) {
                socket.set_option(tcp::no_delay(true), error);
                self->makeRoom();
                auto session = std::make_shared<Session>(std::move(socket), self->m_handler, self, self->m_shared);
                {
                    const std::lock_guard lock(self->m_shared->sessionsMutex);
                    self->m_shared->sessions.emplace(session.get(), session);
                }
                session->Start();
            }
            self->acceptNext();
        });
    }

    Shared m_shared;
    tcp::acceptor m_acceptor;
    asio::steady_timer m_retry; // on the acceptor's strand
    const HttpHandler& m_handler;
    bool m_waiting = false; // on the acceptor's strand
};

Session::Session(tcp::socket socket, const HttpHandler& handler, std::shared_ptr<Listener> listener, Shared shared)
    : m_stream(std::move(socket)), m_handler(handler), m_listener(std::move(listener)), m_shared(std::move(shared))
{
    touch();
    beast::error_code error;
    const auto peer = m_stream.socket().remote_endpoint(error);
    if (!error) {
        const auto address = peer.address();
        m_peer = address.is_v6() && address.to_v6().is_v4_mapped()
                     ? asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).to_string()
                     : address.to_string();
    }
}

Session::~Session()
{
    m_shared->Unregister(this);
    if (!m_shared->stopping)
        m_listener->SessionEnded();
}

void Session::Evict()
{
    asio::dispatch(m_stream.get_executor(), [self = shared_from_this()] { self->closeSocket(); });
}

void Session::Drain()
{
    asio::dispatch(m_stream.get_executor(), [self = shared_from_this()] {
        if (self->m_phase != Phase::Writing)
            self->closeSocket(); // the reply, if one is being prepared, will find no connection
    });
}

void Session::closeSocket()
{
    m_phase = Phase::Closed;
    m_subscriber.reset();
    beast::error_code ignored;
    m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
    m_stream.socket().close(ignored);
    // The session has ended for the server, even while a reply from the core still holds it.
    m_shared->Unregister(this);
}

void Session::readRequest()
{
    if (m_phase == Phase::Closed)
        return;
    if (m_shared->draining) {
        closeSocket();
        return;
    }
    m_phase = Phase::Reading;
    m_parser.emplace();
    m_parser->header_limit(HttpServer::kHeaderLimit);
    m_parser->body_limit(HttpServer::kBodyLimit);
    // The whole request must arrive within the time-out: a client that trickles is dropped.
    m_stream.expires_after(m_shared->limits.ReadTimeout);
    http::async_read(m_stream, m_buffer, *m_parser,
                     [self = shared_from_this()](beast::error_code error, size_t) { self->onRead(error); });
}

void Session::onRead(beast::error_code error)
{
    if (m_phase == Phase::Closed)
        return;
    if (error == http::error::end_of_stream || error == beast::error::timeout || error == asio::error::operation_aborted
        || error == asio::error::connection_reset || error == asio::error::eof) {
        closeSocket();
        return; // the session ends with its last reference
    }
    if (error == http::error::body_limit) {
        writeError(http::status::payload_too_large);
        return;
    }
    if (error) {
        writeError(http::status::bad_request);
        return;
    }
    touch();
    auto& message = m_parser->get();
    const std::string_view method(message.method_string().data(), message.method_string().size());
    const std::string_view target(message.target().data(), message.target().size());
    const HttpRequest request = MakeHttpRequest(method, target, std::move(message.body()), m_peer);
    const bool keepAlive = message.keep_alive();
    const bool head = message.method() == http::verb::head;
    m_phase = Phase::Handling;
    m_stream.expires_never(); // the core's answer takes what it takes; the write is timed
    // The reply may come from another thread (the core's); it is written on this session's strand.
    m_handler(request, [self = shared_from_this(), keepAlive, head](HttpReply reply) {
        if (self->m_shared->stopping)
            return; // the server stopped meanwhile: the reply has nowhere to go
        asio::dispatch(self->m_stream.get_executor(), [self, reply = std::move(reply), keepAlive, head]() mutable {
            self->reply(std::move(reply), keepAlive, head);
        });
    });
}

void Session::reply(HttpReply reply, bool keepAlive, bool head)
{
    if (m_phase == Phase::Closed)
        return;
    if (reply.Stream && !head) {
        startStream(std::move(reply.Stream));
        return;
    }
    auto response = std::make_shared<http::response<http::string_body>>(static_cast<http::status>(reply.Status), 11);
    response->set(http::field::server, "Quorvane");
    response->set(http::field::content_type, reply.ContentType);
    if (reply.NoStore)
        response->set(http::field::cache_control, "no-store");
    response->keep_alive(keepAlive);
    if (!head) {
        std::string body;
        if (reply.Page) {
            body.reserve(reply.Page->size() + reply.Body.size());
            body = *reply.Page;
        }
        body += reply.Body;
        response->body() = std::move(body);
    }
    response->prepare_payload();
    m_phase = Phase::Writing;
    // A client that does not read its replies is dropped once the write has waited this long.
    m_stream.expires_after(m_shared->limits.WriteTimeout);
    http::async_write(m_stream, *response, [self = shared_from_this(), response](beast::error_code error, size_t) {
        self->afterWrite(error, response->keep_alive());
    });
}

void Session::afterWrite(beast::error_code error, bool keepAlive)
{
    if (m_phase == Phase::Closed)
        return;
    touch();
    if (!error && keepAlive && !m_shared->draining) {
        readRequest();
        return;
    }
    closeSocket();
}

void Session::startStream(std::shared_ptr<EventFeed> feed)
{
    m_phase = Phase::Streaming;
    m_streaming = true;
    // No length: the body is the stream, until either side closes. "retry" tells the browser
    // how soon to come back after a break.
    auto header = std::make_shared<std::string>(
        "HTTP/1.1 200 OK\r\nServer: Quorvane\r\nContent-Type: text/event-stream\r\nCache-Control: no-store\r\n"
        "Connection: keep-alive\r\n\r\nretry: 2000\n\n");
    std::weak_ptr<Session> weak = weak_from_this();
    m_subscriber = feed->Subscribe([weak] {
        if (auto self = weak.lock())
            asio::post(self->m_stream.get_executor(), [self] { self->pumpStream(); });
    });
    writeStream(std::move(header));
    watchForHangUp();
}

void Session::pumpStream()
{
    if (m_phase != Phase::Streaming || m_streamWriting)
        return;
    if (m_shared->draining || m_subscriber->Overflowed()) {
        closeSocket();
        return;
    }
    auto text = std::make_shared<std::string>(m_subscriber->Take());
    if (!text->empty())
        writeStream(std::move(text));
}

void Session::writeStream(std::shared_ptr<std::string> text)
{
    m_streamWriting = true;
    // A client that does not read is dropped once a write has waited this long.
    m_stream.expires_after(m_shared->limits.WriteTimeout);
    asio::async_write(m_stream, asio::buffer(*text), [self = shared_from_this(), text](beast::error_code error, size_t) {
        self->m_streamWriting = false;
        if (error) {
            self->closeSocket();
            return;
        }
        self->touch();
        self->pumpStream();
    });
}

void Session::watchForHangUp()
{
    // On the socket itself, beside the stream's timed writes: a read ends only when the client
    // goes away (or sends something, which is read and ignored).
    m_stream.socket().async_read_some(asio::buffer(m_hangUpBuffer), [self = shared_from_this()](beast::error_code error, size_t) {
        if (self->m_phase != Phase::Streaming)
            return;
        if (error) {
            self->closeSocket();
            return;
        }
        self->watchForHangUp();
    });
}

void Session::writeError(http::status status)
{
    auto response = std::make_shared<http::response<http::string_body>>(status, 11);
    response->set(http::field::server, "Quorvane");
    response->keep_alive(false);
    response->prepare_payload();
    m_phase = Phase::Writing;
    m_stream.expires_after(m_shared->limits.WriteTimeout);
    http::async_write(m_stream, *response, [self = shared_from_this(), response](beast::error_code error, size_t) {
        self->afterWrite(error, false);
    });
}

HttpServer::StartError startErrorOf(const beast::error_code& error)
{
    if (error == asio::error::access_denied)
        return HttpServer::StartError::PermissionDenied;
    if (error == asio::error::address_in_use)
        return HttpServer::StartError::AddressInUse;
    return HttpServer::StartError::Other;
}

} // namespace http_server

using http_server::Listener;

HttpServer::HttpServer(HttpHandler handler, int ioThreads) : HttpServer(std::move(handler), ioThreads, Limits{}) {}

HttpServer::HttpServer(HttpHandler handler, int ioThreads, Limits limits)
    : m_handler(std::move(handler)), m_ioThreads(ioThreads), m_limits(limits)
{
}

HttpServer::~HttpServer()
{
    Stop();
}

HttpServer::StartError HttpServer::Start(std::uint16_t port)
{
    Stop();
    auto shared = std::make_shared<Impl>(m_limits);
    auto v4 = std::make_shared<Listener>(shared, m_handler);
    if (const auto error = v4->Open(tcp::endpoint(asio::ip::address_v4::any(), port))) {
        v4.reset();
        return http_server::startErrorOf(error);
    }
    m_port = v4->Port();
    std::vector<std::shared_ptr<Listener>> listeners{v4};
    // IPv6 where the machine has it; its absence is no failure.
    auto v6 = std::make_shared<Listener>(shared, m_handler);
    if (!v6->Open(tcp::endpoint(asio::ip::address_v6::any(), m_port)))
        listeners.push_back(v6);
    for (auto& listener : listeners) {
        listener->Accept();
        shared->listeners.push_back(listener);
    }
    shared->work.emplace(shared->io.get_executor());
    for (int i = 0; i < m_ioThreads; ++i)
        shared->threads.emplace_back([io = &shared->io] { io->run(); });
    m_impl = std::move(shared);
    m_active = true;
    return StartError::None;
}

size_t HttpServer::ConnectionCount() const
{
    if (!m_impl)
        return 0;
    const std::lock_guard lock(m_impl->sessionsMutex);
    return m_impl->sessions.size();
}

void HttpServer::Stop()
{
    if (!m_impl)
        return;
    m_active = false;
    m_impl->draining = true;
    for (auto& listener : m_impl->listeners)
        std::static_pointer_cast<Listener>(listener)->Close();
    m_impl->work.reset();
    // Idle connections close now; replies under way get a moment to go out. The wait ends as
    // soon as the last connection has: no polling, and never for the core thread (a
    // connection waiting for a form's answer is closed, its answer dropped).
    for (auto& session : m_impl->LiveSessions())
        session->Drain();
    {
        std::unique_lock lock(m_impl->sessionsMutex);
        m_impl->sessionsEnded.wait_for(lock, kStopGrace, [this] { return m_impl->sessions.empty(); });
    }
    m_impl->stopping = true;
    m_impl->io.stop();
    for (auto& thread : m_impl->threads)
        thread.join();
    m_impl->threads.clear();
    // Cut what is left and let the aborted operations finish here, so every connection and
    // listener lets go of the shared part. A reply still being prepared by the core thread
    // keeps its connection (and so the loop) until it arrives, and is then dropped.
    for (auto& session : m_impl->LiveSessions())
        session->CloseNow();
    for (auto& listener : m_impl->listeners)
        std::static_pointer_cast<Listener>(listener)->CloseNow();
    m_impl->io.restart();
    m_impl->io.run();
    m_impl->listeners.clear();
    m_impl.reset();
}

} // namespace quorvane
