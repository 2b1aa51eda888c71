// Server-sent events on "/events": the feed itself, and the stream over real connections.
#include "WaitUntil.h"
#include "WebCoreFixture.h"

#include "web/EventFeed.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

using namespace quorvane;

namespace {

// A client that reads the stream as raw bytes, on the test's thread.
class StreamClient {
public:
    explicit StreamClient(int port)
    {
        m_socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = ::connect(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        const std::string request = "GET /events HTTP/1.1\r\nHost: localhost\r\nAccept: text/event-stream\r\n\r\n";
        m_connected = m_connected && ::send(m_socket, request.data(), request.size(), MSG_NOSIGNAL) > 0;
    }
    ~StreamClient() { Close(); }
    StreamClient(const StreamClient&) = delete;
    StreamClient& operator=(const StreamClient&) = delete;

    void Close()
    {
        if (m_socket >= 0)
            ::close(m_socket);
        m_socket = -1;
    }
    // Reads until `text` has arrived (true) or the patience runs out.
    bool WaitFor(const std::string& text)
    {
        return fakes::WaitUntil([&] {
            pollfd ready{m_socket, POLLIN, 0};
            if (::poll(&ready, 1, 50) > 0) {
                char buffer[4096];
                const auto count = ::recv(m_socket, buffer, sizeof buffer, 0);
                if (count > 0)
                    m_received.append(buffer, static_cast<size_t>(count));
            }
            return m_received.find(text) != std::string::npos;
        });
    }
    [[nodiscard]] bool Connected() const { return m_connected; }
    [[nodiscard]] const std::string& Received() const { return m_received; }

private:
    int m_socket = -1;
    bool m_connected = false;
    std::string m_received;
};

class EventStream : public testsupport::WebCoreFixture {
protected:
    [[nodiscard]] int port() const { return core->ForTests().WebServer().Port(); }
    void publishReading(const char* acVoltage)
    {
        MeasurementRecord& record = core->ForTests().Record();
        record.AcVoltage = acVoltage;
        record.AcceptReading(clock.now());
        core->PublishSnapshot();
    }
};

} // namespace

TEST(EventFeed, NewSubscribersStartFromTheLatestStateAndLaggardsAreCutOff)
{
    EventFeed feed;
    feed.Publish("state", R"({"a":1})");
    feed.Publish("event", R"({"event":"connected"})"); // events are not kept for later clients
    feed.Publish("state", R"({"a":2})");
    std::atomic<int> wakes{0};
    const auto reader = feed.Subscribe([&] { ++wakes; });
    EXPECT_EQ(reader->Take(), "event: state\ndata: {\"a\":2}\n\n");
    feed.Publish("event", R"({"event":"line_fault"})");
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(reader->Take(), "event: event\ndata: {\"event\":\"line_fault\"}\n\n");

    for (std::size_t i = 0; i <= EventFeed::kBacklog; ++i)
        feed.Publish("state", "{}");
    EXPECT_TRUE(reader->Overflowed());
    EXPECT_EQ(reader->Take(), "") << "what it missed is gone, not kept";
    EXPECT_EQ(feed.SubscriberCount(), 1u);
}

TEST_F(EventStream, AClientGetsTheStateAtOnceThenEveryStateAndEvent)
{
    publishReading("229.5");
    StreamClient client(port());
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.WaitFor("\"ac_voltage_v\":229.5")) << client.Received();
    EXPECT_TRUE(client.Received().starts_with("HTTP/1.1 200 OK\r\n"));
    EXPECT_NE(client.Received().find("Content-Type: text/event-stream\r\n"), std::string::npos);
    EXPECT_NE(client.Received().find("event: state\ndata: {"), std::string::npos);

    clock.advance(std::chrono::seconds(1));
    publishReading("231.0");
    EXPECT_TRUE(client.WaitFor("\"ac_voltage_v\":231")) << client.Received();
    core->TestClick(true);
    core->ForTests().Connection().Connect1Click(); // connects in test mode: a "connected" event
    EXPECT_TRUE(client.WaitFor("event: event\ndata: {\"event\":\"connected\"")) << client.Received();
}

TEST_F(EventStream, StreamsDoNotCountForTheConnectionLimitAndEndWithTheirClient)
{
    std::vector<std::unique_ptr<StreamClient>> clients;
    const int streams = HttpServer::kMaxConnections + 10;
    for (int i = 0; i < streams; ++i)
        clients.push_back(std::make_unique<StreamClient>(port()));
    ASSERT_TRUE(fakes::WaitUntil([&] { return core->ForTests().WebServer().ConnectionCount() >= static_cast<size_t>(streams); }));
    // A page is still served, and no stream was closed to make room for it.
    EXPECT_EQ(fakes::Http(url("/")).Status, 200);
    publishReading("230.0");
    for (auto& client : clients)
        ASSERT_TRUE(client->WaitFor("\"ac_voltage_v\":230")) << client->Received();

    clients.resize(1);
    EXPECT_TRUE(fakes::WaitUntil([&] { return core->ForTests().WebServer().ConnectionCount() <= 1; }));
    core->SetServerEnabled(false); // the server stops promptly with a stream open
    EXPECT_EQ(core->ForTests().WebServer().ConnectionCount(), 0u);
}
