#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorvane {

struct HttpRequest {
    std::string Method;        // "GET", "HEAD", "POST", ...
    std::string Document;      // the path, without the query
    std::string Body;          // a form post's body as received (still URL-encoded)
    std::string ClientAddress; // the peer's address as text
};

struct HttpReply {
    int Status = 200;
    std::string Body;
    // A ready page shared with other replies, sent without a copy; then Body is appended.
    std::shared_ptr<const std::string> Page;
};

// Answers one request by calling `respond` exactly once, from any thread, now or later.
using HttpRespond = std::function<void(HttpReply)>;
using HttpHandler = std::function<void(const HttpRequest&, HttpRespond)>;

// The built-in web server on Boost.Beast: asynchronous, on a small pool of I/O threads owned
// by the server, listening on all local addresses (IPv4, and IPv6 where the machine has it).
// At most 50 connections are served at once, further ones wait in the listen queue of 30;
// TCP_NODELAY is on; a client that stops sending is dropped after a read time-out, a body
// over 64 KiB gets 413 and a malformed request 400. The handler must not block: work that
// needs the core thread is handed over and answered when it is done.
//
// Thread ownership: Start and Stop are called by the core thread; the handler runs on the
// I/O threads.
class HttpServer {
public:
    enum class StartError { None, PermissionDenied, AddressInUse, Other };

    static constexpr int kMaxConnections = 50;
    static constexpr int kListenQueue = 30;
    static constexpr size_t kBodyLimit = 64 * 1024;
    static constexpr std::chrono::seconds kReadTimeout{5};

    explicit HttpServer(HttpHandler handler, int ioThreads = 2);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    StartError Start(std::uint16_t port);
    void Stop();
    [[nodiscard]] bool Active() const { return m_active; }
    // The port bound by the last successful Start (useful when it was 0).
    [[nodiscard]] std::uint16_t Port() const { return m_port; }

    struct Impl;

private:
    HttpHandler m_handler;
    int m_ioThreads;
    std::shared_ptr<Impl> m_impl;
    std::atomic<bool> m_active{false};
    std::uint16_t m_port = 0;
};

[[nodiscard]] const char* toString(HttpServer::StartError error);

} // namespace quorvane
