#include "web/HttpServer.h"

#include <utility> // before Asio: its headers use std::exchange without including it

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <optional>

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

// The I/O loop and what its connections share. Kept alive by every listener and session, so a
// reply that arrives from the core thread after the server stopped finds a stopped loop to
// post to, never a destroyed one.
struct HttpServer::Impl {
    std::atomic<int> open{0};          // declared first: sessions may end while the loop is destroyed
    std::atomic<bool> stopping{false};
    asio::io_context io;
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work;
    std::vector<std::shared_ptr<void>> listeners;
    std::vector<std::thread> threads;
    // Closes every connection still open; used once the I/O threads have stopped.
    std::mutex sessionsMutex;
    std::vector<std::function<void()>> closeSessions; // guarded by sessionsMutex
};

namespace {

constexpr size_t kHeaderLimit = 8 * 1024;
using Shared = std::shared_ptr<HttpServer::Impl>;

class Listener;

// One connection: reads requests, hands each to the handler, writes its reply.
class Session : public std::enable_shared_from_this<Session> {
public:
    Session(tcp::socket socket, const HttpHandler& handler, std::shared_ptr<Listener> listener);
    ~Session();
    void Start() { readRequest(); }
    // Only once the I/O threads have stopped.
    void Close()
    {
        beast::error_code ignored;
        m_stream.socket().close(ignored);
    }

private:
    void readRequest();
    void onRead(beast::error_code error);
    void reply(HttpReply reply, bool keepAlive, bool head);
    void writeError(http::status status);

    beast::tcp_stream m_stream;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
    const HttpHandler& m_handler;
    std::shared_ptr<Listener> m_listener;
    std::string m_peer;
};

// Accepts connections on one address while fewer than the limit are open.
class Listener : public std::enable_shared_from_this<Listener> {
public:
    Listener(Shared shared, const HttpHandler& handler)
        : m_shared(std::move(shared)), m_acceptor(asio::make_strand(m_shared->io)), m_handler(handler)
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
    }
    // A session ended: accept again if the limit had stopped accepting.
    void SessionEnded()
    {
        asio::post(m_acceptor.get_executor(), [self = shared_from_this()] {
            if (self->m_waiting && self->m_acceptor.is_open()) {
                self->m_waiting = false;
                self->acceptNext();
            }
        });
    }

private:
    void acceptNext()
    {
        if (!m_acceptor.is_open())
            return;
        if (m_shared->open.load() >= HttpServer::kMaxConnections) {
            m_waiting = true; // further clients wait in the listen queue
            return;
        }
        m_acceptor.async_accept(asio::make_strand(m_shared->io), [self = shared_from_this()](beast::error_code error, tcp::socket socket) {
            if (error == asio::error::operation_aborted || !self->m_acceptor.is_open())
                return;
            if (!error) {
                socket.set_option(tcp::no_delay(true), error);
                self->m_shared->open.fetch_add(1);
                auto session = std::make_shared<Session>(std::move(socket), self->m_handler, self);
                {
                    const std::lock_guard lock(self->m_shared->sessionsMutex);
                    self->m_shared->closeSessions.emplace_back([weak = std::weak_ptr<Session>(session)] {
                        if (auto alive = weak.lock())
                            alive->Close();
                    });
                }
                session->Start();
            }
            self->acceptNext();
        });
    }

    friend class Session;
    Shared m_shared;
    tcp::acceptor m_acceptor;
    const HttpHandler& m_handler;
    bool m_waiting = false; // on the acceptor's strand
};

Session::Session(tcp::socket socket, const HttpHandler& handler, std::shared_ptr<Listener> listener)
    : m_stream(std::move(socket)), m_handler(handler), m_listener(std::move(listener))
{
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
    m_listener->m_shared->open.fetch_sub(1);
    if (!m_listener->m_shared->stopping)
        m_listener->SessionEnded();
}

void Session::readRequest()
{
    m_parser.emplace();
    m_parser->header_limit(kHeaderLimit);
    m_parser->body_limit(HttpServer::kBodyLimit);
    m_stream.expires_after(HttpServer::kReadTimeout);
    http::async_read(m_stream, m_buffer, *m_parser,
                     [self = shared_from_this()](beast::error_code error, size_t) { self->onRead(error); });
}

void Session::onRead(beast::error_code error)
{
    if (error == http::error::end_of_stream || error == beast::error::timeout || error == asio::error::operation_aborted
        || error == asio::error::connection_reset || error == asio::error::eof) {
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
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
    auto& message = m_parser->get();
    const std::string_view target(message.target().data(), message.target().size());
    HttpRequest request{std::string(message.method_string()), std::string(target.substr(0, target.find('?'))),
                        std::move(message.body()), m_peer};
    const bool keepAlive = message.keep_alive();
    const bool head = message.method() == http::verb::head;
    m_stream.expires_never();
    // The reply may come from another thread (the core's); it is written on this session's strand.
    m_handler(request, [self = shared_from_this(), keepAlive, head](HttpReply reply) {
        if (self->m_listener->m_shared->stopping)
            return; // the server stopped meanwhile: the reply has nowhere to go
        asio::dispatch(self->m_stream.get_executor(), [self, reply = std::move(reply), keepAlive, head]() mutable {
            self->reply(std::move(reply), keepAlive, head);
        });
    });
}

void Session::reply(HttpReply reply, bool keepAlive, bool head)
{
    auto response = std::make_shared<http::response<http::string_body>>(static_cast<http::status>(reply.Status), 11);
    response->set(http::field::server, "Quorvane");
    response->set(http::field::content_type, "text/html");
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
    http::async_write(m_stream, *response, [self = shared_from_this(), response](beast::error_code error, size_t) {
        if (!error && response->keep_alive())
            self->readRequest();
        else {
            beast::error_code ignored;
            self->m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
        }
    });
}

void Session::writeError(http::status status)
{
    auto response = std::make_shared<http::response<http::string_body>>(status, 11);
    response->set(http::field::server, "Quorvane");
    response->keep_alive(false);
    response->prepare_payload();
    http::async_write(m_stream, *response, [self = shared_from_this(), response](beast::error_code, size_t) {
        beast::error_code ignored;
        self->m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
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

} // namespace

HttpServer::HttpServer(HttpHandler handler, int ioThreads) : m_handler(std::move(handler)), m_ioThreads(ioThreads) {}

HttpServer::~HttpServer()
{
    Stop();
}

HttpServer::StartError HttpServer::Start(std::uint16_t port)
{
    Stop();
    auto shared = std::make_shared<Impl>();
    auto v4 = std::make_shared<Listener>(shared, m_handler);
    if (const auto error = v4->Open(tcp::endpoint(asio::ip::address_v4::any(), port))) {
        v4.reset();
        return startErrorOf(error);
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

void HttpServer::Stop()
{
    if (!m_impl)
        return;
    m_active = false;
    for (auto& listener : m_impl->listeners)
        std::static_pointer_cast<Listener>(listener)->Close();
    m_impl->work.reset();
    // Replies under way get a moment to go out; open connections are then cut.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    while (m_impl->open.load() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    m_impl->stopping = true;
    m_impl->io.stop();
    for (auto& thread : m_impl->threads)
        thread.join();
    m_impl->threads.clear();
    // Cut what is left and let the aborted operations finish here, so every connection and
    // listener lets go of the shared part. A reply still being prepared by the core thread
    // keeps its connection (and so the loop) until it arrives, and is then dropped.
    std::vector<std::function<void()>> closers;
    {
        const std::lock_guard lock(m_impl->sessionsMutex);
        closers.swap(m_impl->closeSessions);
    }
    for (auto& close : closers)
        close();
    for (auto& listener : m_impl->listeners)
        std::static_pointer_cast<Listener>(listener)->CloseNow();
    m_impl->io.restart();
    m_impl->io.run();
    m_impl->listeners.clear();
    m_impl.reset();
}

} // namespace quorvane
