// The server alone, with a handler that answers at once, against raw loopback sockets: how
// it treats clients that hold connections without using them.
#include "WaitUntil.h"
#include "web/HttpServer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace quorvane;
using namespace std::chrono_literals;

namespace {

// A client socket on loopback, closed with the object.
class Client {
public:
    explicit Client(std::uint16_t port)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~Client()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    [[nodiscard]] bool Connected() const { return m_connected; }
    // Sends what the socket takes now, without waiting.
    void SendSome(const std::string& bytes) { (void)::send(m_fd, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL); }
    void Send(const std::string& bytes) { (void)::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // Reads until what came ends with `end`, or the server closes.
    std::string ReadUntil(const std::string& end)
    {
        std::string received;
        char buffer[4096];
        for (ssize_t count; !received.ends_with(end) && (count = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0;)
            received.append(buffer, static_cast<size_t>(count));
        return received;
    }
    // Reads until the server closes; what came.
    std::string ReadToEnd()
    {
        std::string received;
        char buffer[4096];
        for (ssize_t count; (count = ::recv(m_fd, buffer, sizeof buffer, 0)) > 0;)
            received.append(buffer, static_cast<size_t>(count));
        return received;
    }
    // True once the server has closed its side (end of stream or reset), without reading data.
    [[nodiscard]] bool ClosedByServer() const
    {
        pollfd entry{m_fd, POLLIN, 0};
        if (::poll(&entry, 1, 0) != 1)
            return false;
        char byte;
        const ssize_t count = ::recv(m_fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        return count == 0 || (count < 0 && errno != EAGAIN);
    }
    // Ends the connection with a reset, leaving no TIME_WAIT behind.
    void Abort()
    {
        const linger hard{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    bool m_connected = false;
};

const std::string kGet = "GET / HTTP/1.1\r\nHost: test\r\n\r\n";
const std::string kHead = "HEAD / HTTP/1.1\r\nHost: test\r\n\r\n";
const std::string kGetAndClose = "GET / HTTP/1.1\r\nHost: test\r\nConnection: close\r\n\r\n";

class HttpServerTest : public ::testing::Test {
protected:
    void Start(HttpServer::Limits limits, std::string body = "hello")
    {
        m_server.reset();
        m_server = std::make_unique<HttpServer>(
            [body = std::move(body)](const HttpRequest&, HttpRespond respond) {
                respond(HttpReply{.Status = 200, .Body = body, .Page = {}});
            },
            2, limits);
        ASSERT_EQ(m_server->Start(0), HttpServer::StartError::None);
    }
    void TearDown() override { m_server.reset(); }
    HttpServer& Server() { return *m_server; }
    [[nodiscard]] std::uint16_t Port() const { return m_server->Port(); }

private:
    std::unique_ptr<HttpServer> m_server;
};

} // namespace

TEST_F(HttpServerTest, AtTheLimitANewConnectionClosesTheIdlestOne)
{
    const struct {
        const char* name;
        std::chrono::milliseconds grace;
        bool idlestClosed;
    } cases[] = {
        {"idle for longer than the grace", 0ms, true},
        {"connected too recently to be closed", 10min, false},
    };
    for (const auto& c : cases) {
        // Long time-outs, so only the limit closes anything here.
        Start({.MaxConnections = HttpServer::kMaxConnections, .ReadTimeout = 10min, .WriteTimeout = 10min,
               .EvictionGrace = c.grace});
        std::vector<std::unique_ptr<Client>> idle;
        for (int i = 0; i < HttpServer::kMaxConnections; ++i) {
            idle.push_back(std::make_unique<Client>(Port()));
            ASSERT_TRUE(idle.back()->Connected());
            // One at a time, so the first is the idlest.
            ASSERT_TRUE(fakes::WaitUntil([&] { return Server().ConnectionCount() == idle.size(); }));
        }

        Client newcomer(Port());
        newcomer.Send(kGetAndClose);
        const std::string reply = newcomer.ReadToEnd();
        EXPECT_TRUE(reply.starts_with("HTTP/1.1 200")) << c.name << ": " << reply;
        EXPECT_TRUE(reply.ends_with("hello")) << c.name;
        const size_t left = HttpServer::kMaxConnections - (c.idlestClosed ? 1 : 0);
        EXPECT_TRUE(fakes::WaitUntil([&] { return Server().ConnectionCount() == left; })) << c.name;
        EXPECT_EQ(idle.front()->ClosedByServer(), c.idlestClosed) << c.name;
        for (size_t i = 1; i < idle.size(); ++i)
            EXPECT_FALSE(idle[i]->ClosedByServer()) << c.name << ": connection " << i;
    }
}

TEST_F(HttpServerTest, ClientsThatStallAreDroppedAfterTheTimeOuts)
{
    // Replies big enough that a client that never reads fills every buffer on the way.
    Start({}, std::string(64 * 1024, 'x'));
    Client midRequest(Port());
    midRequest.Send("GET / HTTP/1.1\r\nHost: te");
    Client neverReads(Port());
    std::string pipelined;
    for (int i = 0; i < 2000; ++i)
        pipelined += kGet;
    neverReads.SendSome(pipelined);
    ASSERT_TRUE(fakes::WaitUntil([&] { return Server().ConnectionCount() == 2; }));

    EXPECT_TRUE(fakes::WaitUntil([&] { return midRequest.ClosedByServer(); }));
    // The one that never reads is dropped by the write time-out, its entry with it.
    EXPECT_TRUE(fakes::WaitUntil([&] { return Server().ConnectionCount() == 0; }));
    Client later(Port());
    later.Send(kGetAndClose);
    EXPECT_TRUE(later.ReadToEnd().starts_with("HTTP/1.1 200"));
}

TEST_F(HttpServerTest, TheRegistryHoldsOnlyOpenConnections)
{
    Start({});
    constexpr int kConnections = 100000;
    constexpr int kBatch = 10000;
    for (int done = 0; done < kConnections; done += kBatch) {
        for (int i = 0; i < kBatch; ++i) {
            Client client(Port());
            ASSERT_TRUE(client.Connected());
            // Answered, so the server took the connection; then a reset, so no port is left waiting.
            client.Send(kHead);
            ASSERT_TRUE(client.ReadUntil("\r\n\r\n").starts_with("HTTP/1.1 200"));
            client.Abort();
        }
        // Every session ended, and nothing of it is left.
        ASSERT_TRUE(fakes::WaitUntil([&] { return Server().ConnectionCount() == 0; })) << "after " << done + kBatch;
    }

    Client keepAlive(Port());
    keepAlive.Send(kGet);
    ASSERT_TRUE(fakes::WaitUntil([&] { return Server().ConnectionCount() == 1; }));
    keepAlive.Abort();
    EXPECT_TRUE(fakes::WaitUntil([&] { return Server().ConnectionCount() == 0; }));
}

TEST_F(HttpServerTest, StopClosesIdleConnectionsAndEndsEveryEntry)
{
    Start({.MaxConnections = HttpServer::kMaxConnections, .ReadTimeout = 10min, .WriteTimeout = 10min,
           .EvictionGrace = HttpServer::kEvictionGrace});
    Client idle(Port());
    Client keepAlive(Port());
    keepAlive.Send(kGet);
    ASSERT_TRUE(keepAlive.ReadUntil("hello").starts_with("HTTP/1.1 200"));
    ASSERT_TRUE(fakes::WaitUntil([&] { return Server().ConnectionCount() == 2; }));
    Server().Stop();
    EXPECT_FALSE(Server().Active());
    // Both were closed by Stop itself, not by a time-out.
    EXPECT_TRUE(fakes::WaitUntil([&] { return idle.ClosedByServer() && keepAlive.ClosedByServer(); }));
}
