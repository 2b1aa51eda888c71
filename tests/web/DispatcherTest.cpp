// The request dispatcher through a real HTTP client against the core's running web server.
#include "WebCoreFixture.h"

#include "web/WebForms.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace quorvane;
using namespace std::chrono_literals;
using fakes::Http;
using Dispatch = quorvane::testsupport::WebCoreFixture;

TEST_F(Dispatch, PagesByMethodAndPath)
{
    const auto timer = Http(url("/Timer?x=1"));
    ASSERT_TRUE(timer.Ok);
    EXPECT_EQ(timer.Status, 200);
    EXPECT_EQ(timer.Body, *core->Pages().TimerPageText());
    EXPECT_TRUE(core->Memo().Lines().empty()); // the Timer page is not logged

    for (const char* path : {"/DataLog", "/MessageLog"}) {
        const auto empty = Http(url(path));
        EXPECT_EQ(empty.Status, 200) << path;
        EXPECT_EQ(empty.Body, "") << path;
    }
    const auto head = Http(url("/"), "HEAD");
    EXPECT_EQ(head.Status, 200);
    EXPECT_EQ(head.Body, "");
    EXPECT_TRUE(core->Memo().Lines().empty());

    const auto main = Http(url("/timer"));
    EXPECT_EQ(main.Status, 200);
    EXPECT_EQ(main.Body, *core->Pages().MainPageText());
    fakes::PumpUntil([this] { return !core->Memo().Lines().empty(); });
    EXPECT_EQ(messages(), std::vector<std::string>{"06/01/26 12:00:00[ipstart]127.0.0.1[ipend] requested webpage [CS]1[CE]"});
}

TEST_F(Dispatch, EachClientAddressOwnsOneLineThatMovesToTheEnd)
{
    Http(url("/"));
    core->Memo().AddEventLine("something else");
    clock.advance(5s);
    Http(url("/Main"));
    fakes::PumpUntil([this] { return core->Memo().Lines().size() == 2 && core->Memo().Lines().back().ends_with("[CE]"); });
    const auto& lines = core->Memo().Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[06/01/26 12:00:00] something else ");
    EXPECT_EQ(lines[1], "06/01/26 12:00:05[ipstart]127.0.0.1[ipend] requested webpage [CS]2[CE]");
}

TEST_F(Dispatch, WebRequestLinesStayFastWithAHundredThousandLines)
{
    // The request line is found through an index, not by reading the memo.
    for (int i = 0; i < 100000; ++i)
        core->Memo().PostEventLine("filler " + std::to_string(i));
    core->Memo().LogWebRequest("10.0.0.9", "stamp");
    for (int i = 0; i < 1000; ++i)
        core->Memo().LogWebRequest("10.0.0.9", "stamp");
    EXPECT_EQ(core->Memo().Lines().size(), 100001u);
    EXPECT_EQ(core->Memo().Lines().back(), "stamp[ipstart]10.0.0.9[ipend] requested webpage [CS]1001[CE]");
}

TEST_F(Dispatch, CommandWordsAndTheLogReply)
{
    core->Memo().AddEventLine("<script>alert(1)</script> & more");
    const auto log = Http(url("/"), "POST", "C1=ON&T1=logout");
    EXPECT_EQ(log.Body, "<p align=\"left\">[06/01/26 12:00:00] &lt;script&gt;alert(1)&lt;/script&gt; &amp; more </p>");
    EXPECT_EQ(Http(url("/"), "POST", "T1=data2").Body, "");
    EXPECT_EQ(Http(url("/"), "POST", "T1=exe").Body,
              *core->Pages().MainPageText() + "<p align=\"left\"> Command EXE NOT executed </p>");
    EXPECT_EQ(core->Memo().Lines().size(), 1u); // form posts are not logged as page requests
}

TEST_F(Dispatch, OutputsChangeOnlyWithThePasswordAndNeverForTimerBoundOutputs)
{
    core->LiveDati().Password = "pw";
    core->LiveDati().TimerEnabled[1] = true;
    core->LiveDati().TimerInput[1] = 2; // timer B drives output 3 (C3)
    Http(url("/"), "POST", "C1=ON&C3=ON&T1=wrong");
    EXPECT_EQ(core->Outputs(), (std::array<bool, 8>{}));
    Http(url("/"), "POST", "C1=ON&C3=ON&C8=ON&T1=pw&B1=Submit");
    EXPECT_EQ(core->Outputs(), (std::array<bool, 8>{true, false, false, false, false, false, false, true}));
    EXPECT_TRUE(IsTimerBoundOutput(2, core->LiveDati()));
    EXPECT_FALSE(IsTimerBoundOutput(0, core->LiveDati()));
}

TEST_F(Dispatch, BadInputGetsABoundedAnswer)
{
    const auto tooBig = Http(url("/"), "POST", std::string(65 * 1024, 'x'));
    EXPECT_EQ(tooBig.Status, 413);
    // A request that is no HTTP at all.
    auto malformed = std::async(std::launch::async, [port = core->WebServer().Port()] {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        std::string answer;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            const std::string garbage = "HELLO THERE\r\n\r\n";
            (void)::write(fd, garbage.data(), garbage.size());
            char buffer[256];
            const ssize_t count = ::read(fd, buffer, sizeof buffer);
            answer.assign(buffer, count > 0 ? static_cast<size_t>(count) : 0);
        }
        ::close(fd);
        return answer;
    });
    fakes::PumpUntil([&] { return malformed.wait_for(0s) == std::future_status::ready; });
    EXPECT_TRUE(malformed.get().starts_with("HTTP/1.1 400"));
    EXPECT_EQ(Http(url("/Timer")).Status, 200); // and the server goes on
}

namespace {

std::string timerBody(const std::string& password, const std::string& aOn, const std::string& aOff,
                      const std::string& bOn = "", const std::string& bOff = "", const std::string& boxes = "C1TA=ON&")
{
    return boxes + "TAON=" + aOn + "&TAOFF=" + aOff + "&TBON=" + bOn + "&TBOFF=" + bOff
           + "&TCON=&TCOFF=&TDON=&TDOFF=&T2=" + password + "&B1=Submit";
}

} // namespace

TEST_F(Dispatch, TimerFormPosts)
{
    const std::string message = "<p align=\"left\"> Time format error, or error in value. Use \"hh.mm.ss\". </p>";
    const struct {
        const char* name;
        std::string password; // configured
        std::string body;
        bool saved;           // the settings file was written
        bool error;           // the message follows the page
        QTime aOn, bOn;       // expected afterwards (00:00 when unchanged)
    } cases[] = {
        // A browser posts every field; the empty ones of timers B to D fail and bring the message.
        {"default empty password", "", timerBody("", "9.30.00", "19.00.00"), true, true, {9, 30}, {}},
        {"password with more after it", "pw", timerBody("pwXYZ", "07.00.00", "19.00.00"), true, true, {7, 0}, {}},
        {"only timer A's fields posted", "", "C1TA=ON&TAON=07.00.00&TAOFF=19.00.00&T2=", true, false, {7, 0}, {}},
        {"a wrong password changes nothing", "pw", timerBody("nope", "07.00.00", "19.00.00"), false, false, {}, {}},
        {"a blank in the password never matches", "p w", timerBody("p+w", "07.00.00", "19.00.00"), false, false, {}, {}},
        {"an ampersand never matches", "p&w", timerBody("p%26w", "07.00.00", "19.00.00"), false, false, {}, {}},
        {"an equals sign never matches", "p=w", timerBody("p%3Dw", "07.00.00", "19.00.00"), false, false, {}, {}},
        {"a plus never matches", "p+w", timerBody("p%2Bw", "07.00.00", "19.00.00"), false, false, {}, {}},
        {"a percent never matches", "p%w", timerBody("p%25w", "07.00.00", "19.00.00"), false, false, {}, {}},
        {"9.30 is too short", "", timerBody("", "9.30", "19.00.00"), false, true, {}, {}},
        {"colons arrive encoded", "", timerBody("", "12%3A30%3A00", "19.00.00"), false, true, {}, {}},
        {"all fields empty", "", timerBody("", "", "", "", "", "C1TA=ON&C2TB=ON&"), false, true, {}, {}},
        {"B valid, A empty", "", timerBody("", "", "", "06.15.00", "22.00.00"), true, true, {}, {6, 15}},
    };
    for (const auto& c : cases) {
        ::unlink(settingsPath.c_str());
        for (size_t timer = 0; timer < 4; ++timer) {
            core->LiveDati().TimeOn[timer] = QDateTime(QDate(2026, 6, 1), QTime(0, 0));
            core->LiveDati().TimerEnabled[timer] = false;
        }
        core->LiveDati().Password = c.password;
        const auto reply = Http(url("/Timer"), "POST", c.body);
        const std::string& page = *core->Pages().TimerPageText();
        EXPECT_TRUE(reply.Body.starts_with(page)) << c.name;
        EXPECT_EQ(reply.Body.substr(std::min(page.size(), reply.Body.size())), c.error ? message : "") << c.name;
        EXPECT_EQ(QFileInfo::exists(QString::fromStdString(settingsPath)), c.saved) << c.name;
        EXPECT_EQ(core->LiveDati().TimeOn[0].time(), c.aOn.isValid() ? c.aOn : QTime(0, 0)) << c.name;
        EXPECT_EQ(core->LiveDati().TimeOn[1].time(), c.bOn.isValid() ? c.bOn : QTime(0, 0)) << c.name;
        const bool authorised = c.body.find("T2=" + c.password) != std::string::npos;
        EXPECT_EQ(core->LiveDati().TimerEnabled[0], authorised) << c.name;
    }
    EXPECT_NE(settingsFile().find("Time B ON=06:15:00"), std::string::npos);
}
