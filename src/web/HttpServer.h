#pragma once

#include "web/EventFeed.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace quorvane {

struct HttpRequest {
    std::string Method;        // "GET", "HEAD", "POST", ...
    std::string Document;      // the path, without the query
    std::string Body;          // a form post's body as received (still URL-encoded)
    std::string ClientAddress; // the peer's address as text
    std::string Query{};       // the target after its "?", still URL-encoded; empty: none
};

struct HttpReply {
    int Status = 200;
    std::string Body;
    // A ready page shared with other replies, sent without a copy; then Body is appended.
    std::shared_ptr<const std::string> Page;
    std::string ContentType = "text/html";
    bool NoStore = false; // "Cache-Control: no-store": the answer is stale at once
    // Server-sent events: the connection stays open and carries this feed's messages as they
    // are published (the status and body above are not used).
    std::shared_ptr<EventFeed> Stream{};
};

// The request the handler sees, from the request line's method and target (the document is
// the target up to its query), the body and the peer's address.
[[nodiscard]] inline HttpRequest MakeHttpRequest(std::string_view method, std::string_view target, std::string body,
                                                 std::string clientAddress)
{
    const auto question = target.find('?');
    return HttpRequest{std::string(method), std::string(target.substr(0, question)), std::move(body),
                       std::move(clientAddress),
                       question == std::string_view::npos ? std::string() : std::string(target.substr(question + 1))};
}

// Answers one request by calling `respond` exactly once, from any thread, now or later.
using HttpRespond = std::function<void(HttpReply)>;
using HttpHandler = std::function<void(const HttpRequest&, HttpRespond)>;

// The built-in web server on Boost.Beast: asynchronous, on a small pool of I/O threads owned
// by the server, listening on all local addresses (IPv4, and IPv6 where the machine has it).
// TCP_NODELAY is on; a body over 64 KiB gets 413 and a malformed request 400.
//
// No client can hold the server: a connection that takes longer than the read time-out to
// send a request, or than the write time-out to take a reply, is dropped. When MaxConnections
// are open, a new connection closes the idlest one (the one that has gone longest without a
// request or a reply) so that it can be served, provided that one has been idle for the
// eviction grace: a client that has just connected always gets the time to send its request.
// Only far past the limit (connections that came within the grace) does accepting wait.
// Connections that carry server-sent events are not counted for that limit and never closed
// for room; one is closed when its client stops reading (its write times out or its backlog
// overflows) or goes away. Each connection has an
// entry in a registry that is removed when its session ends, so nothing is left behind.
//
// The handler must not block: work that needs the core thread is handed over and answered
// when it is done.
//
// Thread ownership: Start, Stop and ConnectionCount are called by the core thread; the handler
// runs on the I/O threads.
class HttpServer {
public:
    enum class StartError { None, PermissionDenied, AddressInUse, Other };

    static constexpr int kMaxConnections = 50;
    static constexpr int kListenQueue = 30;
    static constexpr size_t kHeaderLimit = 8 * 1024;
    static constexpr size_t kBodyLimit = 64 * 1024;
    static constexpr std::chrono::seconds kReadTimeout{5};
    static constexpr std::chrono::seconds kWriteTimeout{5};
    static constexpr std::chrono::milliseconds kEvictionGrace{50};
    // How long Stop lets replies already being written go out before cutting them.
    static constexpr std::chrono::milliseconds kStopGrace{200};

    struct Limits {
        int MaxConnections = kMaxConnections;
        std::chrono::milliseconds ReadTimeout = kReadTimeout;
        std::chrono::milliseconds WriteTimeout = kWriteTimeout;
        std::chrono::milliseconds EvictionGrace = kEvictionGrace;
    };

    explicit HttpServer(HttpHandler handler, int ioThreads = 2);
    HttpServer(HttpHandler handler, int ioThreads, Limits limits);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    StartError Start(std::uint16_t port);
    // Stops accepting; connections waiting for a request close at once, replies being written
    // get kStopGrace to go out. Returns as soon as every connection has ended.
    void Stop();
    [[nodiscard]] bool Active() const { return m_active; }
    // The port bound by the last successful Start (useful when it was 0).
    [[nodiscard]] std::uint16_t Port() const { return m_port; }
    // Entries in the connection registry: the connections open now.
    [[nodiscard]] size_t ConnectionCount() const;

    struct Impl;

private:
    HttpHandler m_handler;
    int m_ioThreads;
    Limits m_limits;
    std::shared_ptr<Impl> m_impl;
    std::atomic<bool> m_active{false};
    std::uint16_t m_port = 0;
};

[[nodiscard]] const char* toString(HttpServer::StartError error);

} // namespace quorvane
