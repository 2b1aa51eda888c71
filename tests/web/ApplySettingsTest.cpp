#include "WebCoreFixture.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace quorvane;
using fakes::Http;

namespace {

class ApplySettingsTest : public testsupport::WebCoreFixture {
protected:
    std::string initialSettings() const override { return "ReqByWeb=1\r\n[Main]\r\nAutoReConnect=1\r\n"; }
};

// A listening socket on a free port, held for the length of a test.
class HeldPort {
public:
    HeldPort()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_fd, 1);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~HeldPort() { ::close(m_fd); }
    [[nodiscard]] int Port() const { return m_port; }

private:
    int m_fd;
    int m_port;
};

} // namespace

TEST_F(ApplySettingsTest, AtStartTheRequestedByWebBoxFollowsTheFile)
{
    EXPECT_TRUE(core->ForTests().ReqByWebBox());
    EXPECT_FALSE(core->ForTests().LiveDati().AutoReConnect);
    EXPECT_EQ(messages(), (std::vector<std::string>{
                              "**Warning** by selecting the option *requested by web* the option *AutoReconnect* has "
                              "been disabled.",
                              "Setting RequestByWeb option.",
                          }));
    core->ReqByWebClick(false);
    EXPECT_TRUE(core->ForTests().LiveDati().AutoReConnect); // the setting as applied comes back
    EXPECT_EQ(messages().back(), "Leaving RequestByWeb option.");
}

TEST_F(ApplySettingsTest, ThePortMovesTheServer)
{
    HeldPort probe; // a free port number, then released for the server
    const int port = probe.Port();
    probe.~HeldPort();
    new (&probe) HeldPort(); // a second held port for the busy case below
    const std::string oldUrl = url("/Timer");

    core->ForTests().LiveDati().HttpPort = std::to_string(port);
    core->ApplySettings();
    EXPECT_EQ(core->ForTests().WebServer().Port(), port);
    EXPECT_EQ(Http("http://127.0.0.1:" + std::to_string(port) + "/Timer").Status, 200);
    EXPECT_FALSE(Http(oldUrl).Ok);

    // A port another program holds: one failure line per apply.
    core->ForTests().Memo().Clear();
    core->ForTests().LiveDati().HttpPort = std::to_string(probe.Port());
    core->ApplySettings();
    core->ApplySettings();
    EXPECT_EQ(messages(), (std::vector<std::string>{"Failed to activate WEB server.", "Failed to activate WEB server."}));
    EXPECT_FALSE(core->ForTests().WebServer().Active());

    // A port that is no number stops the server, silently, and ends the apply there.
    core->ForTests().LiveDati().HttpPort = std::to_string(port);
    core->ApplySettings();
    ASSERT_TRUE(core->ForTests().WebServer().Active());
    core->ForTests().Memo().Clear();
    core->ForTests().LiveDati().HttpPort = "eighty";
    core->ForTests().LiveDati().MeasTime = 0;
    core->ApplySettings();
    EXPECT_FALSE(core->ForTests().WebServer().Active());
    EXPECT_TRUE(core->ForTests().Memo().Lines().empty());
    EXPECT_EQ(core->ForTests().Timer1().Interval(), 5000); // step 2 never ran
}

TEST_F(ApplySettingsTest, IntervalsAndLabels)
{
    const struct {
        int updateLog;
        int interval;
    } logCases[] = {{0, 60000}, {2, 350000}, {4, 950000}, {7, 3600000}, {9, 3600000}};
    for (const auto& c : logCases) {
        core->ForTests().LiveDati().UpdateLog = c.updateLog;
        core->ApplySettings();
        EXPECT_EQ(core->ForTests().Timer3().Interval(), c.interval) << c.updateLog;
    }
    core->TestClick(true);
    core->ApplySettings();
    EXPECT_EQ(core->ForTests().Timer3().Interval(), 200);

    core->ForTests().LiveDati().MeasTime = 3;
    core->ForTests().LiveDati().UnitAux[0] = "Wh";
    core->ForTests().LiveDati().Title = "Casa";
    core->ApplySettings();
    EXPECT_EQ(core->ForTests().Timer1().Interval(), 10000);
    EXPECT_EQ(core->ForTests().Labels().ComputedUnits[0], "Wh");
    core->ForTests().Pages().Publish();
    const std::string page = *core->ForTests().Pages().MainPageText();
    EXPECT_NE(page.find("\nSolar Energy (24h) (Wh)\n"), std::string::npos);
    EXPECT_NE(page.find("\nCasa\n"), std::string::npos);
    EXPECT_EQ(core->ForTests().RefreshNote(), " (Refresh = 2 sec.)");
}
