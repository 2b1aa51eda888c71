// The request dispatcher through a real HTTP client against the core's running web server.
#include "NullCoreCommands.h"
#include "WebCoreFixture.h"

#include "core/LocaleFormats.h"
#include "web/RequestDispatcher.h"
#include "web/WebForms.h"
#include "web/WebPages.h"

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
    EXPECT_EQ(timer.Body, *core->ForTests().Pages().TimerPageText());
    EXPECT_TRUE(core->ForTests().Memo().Lines().empty()); // the Timer page is not logged

    for (const char* path : {"/DataLog", "/MessageLog"}) {
        const auto empty = Http(url(path));
        EXPECT_EQ(empty.Status, 200) << path;
        EXPECT_EQ(empty.Body, "") << path;
    }
    const auto head = Http(url("/"), "HEAD");
    EXPECT_EQ(head.Status, 200);
    EXPECT_EQ(head.Body, "");
    EXPECT_TRUE(core->ForTests().Memo().Lines().empty());

    const auto main = Http(url("/timer"));
    EXPECT_EQ(main.Status, 200);
    EXPECT_EQ(main.Body, *core->ForTests().Pages().MainPageText());
    fakes::PumpUntil([this] { return !core->ForTests().Memo().Lines().empty(); });
    EXPECT_EQ(messages(), std::vector<std::string>{"06/01/26 12:00:00[ipstart]127.0.0.1[ipend] requested webpage [CS]1[CE]"});
}

TEST_F(Dispatch, EachClientAddressOwnsOneLineThatMovesToTheEnd)
{
    Http(url("/"));
    core->ForTests().Memo().AddEventLine("something else");
    clock.advance(5s);
    Http(url("/Main"));
    fakes::PumpUntil([this] { return core->ForTests().Memo().Lines().size() == 2 && core->ForTests().Memo().Lines().back().ends_with("[CE]"); });
    const auto& lines = core->ForTests().Memo().Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[06/01/26 12:00:00] something else ");
    EXPECT_EQ(lines[1], "06/01/26 12:00:05[ipstart]127.0.0.1[ipend] requested webpage [CS]2[CE]");
}

TEST_F(Dispatch, WebRequestLinesStayFastWithAHundredThousandLines)
{
    // The request line is found through an index, not by reading the memo.
    for (int i = 0; i < 100000; ++i)
        core->ForTests().Memo().PostEventLine("filler " + std::to_string(i));
    core->ForTests().Memo().LogWebRequest("10.0.0.9", "stamp");
    for (int i = 0; i < 1000; ++i)
        core->ForTests().Memo().LogWebRequest("10.0.0.9", "stamp");
    EXPECT_EQ(core->ForTests().Memo().Lines().size(), 100001u);
    EXPECT_EQ(core->ForTests().Memo().Lines().back(), "stamp[ipstart]10.0.0.9[ipend] requested webpage [CS]1001[CE]");
}

TEST_F(Dispatch, CommandWordsAndTheLogReply)
{
    core->ForTests().Memo().AddEventLine("<script>alert(1)</script> & more");
    const struct {
        const char* body;
        bool page; // the main page comes first
        std::string after;
    } cases[] = {
        {"C1=ON&T1=log", false,
         "<p align=\"left\">[06/01/26 12:00:00] &lt;script&gt;alert(1)&lt;/script&gt; &amp; more </p>"},
        {"T1=data", false, ""},
        {"T1=exe", true, "<p align=\"left\"> Command EXE NOT executed </p>"},
        // Only the whole word is a command.
        {"T1=logout", true, ""},
        {"T1=data2", true, ""},
    };
    for (const auto& c : cases) {
        const auto reply = Http(url("/"), "POST", c.body);
        EXPECT_EQ(reply.Body, (c.page ? *core->ForTests().Pages().MainPageText() : std::string()) + c.after) << c.body;
    }
    // Form posts are not logged as page requests, and a command word switches no output.
    EXPECT_EQ(messages(), (std::vector<std::string>{"<script>alert(1)</script> & more",
                                                    "Outputs switched from the web by 127.0.0.1.",
                                                    "Outputs switched from the web by 127.0.0.1."}));
    EXPECT_EQ(core->ForTests().Outputs(), (std::array<bool, 8>{}));
}

TEST_F(Dispatch, OutputsChangeOnlyWithThePasswordAndNeverForTimerBoundOutputs)
{
    setWebPassword("pw");
    core->ForTests().LiveDati().TimerEnabled[1] = true;
    core->ForTests().LiveDati().TimerInput[1] = 2; // timer B drives output 3 (C3)
    Http(url("/"), "POST", "C1=ON&C3=ON&T1=wrong");
    Http(url("/"), "POST", "C1=ON&C3=ON&T1=pwpw");
    Http(url("/"), "POST", "C1=ON&C3=ON&T1=wrong&T1=pw"); // one password per request
    EXPECT_EQ(core->ForTests().Outputs(), (std::array<bool, 8>{}));
    EXPECT_TRUE(messages().empty());
    Http(url("/"), "POST", "C1=ON&C3=ON&C8=ON&T1=pw&B1=Submit");
    EXPECT_EQ(core->ForTests().Outputs(), (std::array<bool, 8>{true, false, false, false, false, false, false, true}));
    EXPECT_EQ(messages(), std::vector<std::string>{"Outputs switched from the web by 127.0.0.1."});
    EXPECT_TRUE(IsTimerBoundOutput(2, core->ForTests().LiveDati()));
    EXPECT_FALSE(IsTimerBoundOutput(0, core->ForTests().LiveDati()));
}

TEST_F(Dispatch, WrongPasswordsLockAnAddressOutForAMinute)
{
    setWebPassword("secret123");
    const std::string right = "C1TA=ON&TAON=07.00.00&TAOFF=19.00.00&T2=secret123&B1=Submit";
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Http(url("/Timer"), "POST", "C1TA=ON&TAON=07.00.00&TAOFF=19.00.00&T2=guess" + std::to_string(i)).Status,
                  200);
    const auto refused = Http(url("/Timer"), "POST", right);
    EXPECT_EQ(refused.Status, 403);
    EXPECT_EQ(Http(url("/"), "POST", "C1=ON&T1=secret123").Status, 403);
    EXPECT_EQ(Http(url("/Timer")).Status, 200); // the pages are still served
    EXPECT_FALSE(core->ForTests().LiveDati().TimerEnabled[0]);
    EXPECT_EQ(messages(),
              std::vector<std::string>{"Web forms from 127.0.0.1 are refused for a minute after 5 wrong passwords."});

    clock.advance(std::chrono::seconds(61));
    EXPECT_EQ(Http(url("/Timer"), "POST", right).Status, 200);
    EXPECT_TRUE(core->ForTests().LiveDati().TimerEnabled[0]);
    EXPECT_EQ(messages().back(), "Timer set-up changed from the web by 127.0.0.1.");
}

TEST_F(Dispatch, BadInputGetsABoundedAnswer)
{
    const auto tooBig = Http(url("/"), "POST", std::string(65 * 1024, 'x'));
    EXPECT_EQ(tooBig.Status, 413);
    // A request that is no HTTP at all.
    auto malformed = std::async(std::launch::async, [port = core->ForTests().WebServer().Port()] {
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
        bool authorised;
        bool saved;           // the settings file was written
        bool error;           // the message follows the page
        QTime aOn, bOn;       // expected afterwards (00:00 when unchanged)
    } cases[] = {
        // A browser posts every field; the empty ones of timers B to D fail and bring the message.
        {"default empty password", "", timerBody("", "9.30.00", "19.00.00"), true, true, true, {9, 30}, {}},
        {"only timer A's fields posted", "", "C1TA=ON&TAON=07.00.00&TAOFF=19.00.00&T2=", true, true, false, {7, 0}, {}},
        {"a wrong password changes nothing", "pw", timerBody("nope", "07.00.00", "19.00.00"), false, false, false, {}, {}},
        // The password is the whole decoded field, given once.
        {"the password with more after it", "secret123", timerBody("secret123XYZ", "07.00.00", "19.00.00"), false,
         false, false, {}, {}},
        {"the password inside another field", "secret123",
         "B1=zzT2=secret123&C1TA=ON&TAON=07.00.00&TAOFF=19.00.00&T2=x", false, false, false, {}, {}},
        {"several guesses in one body", "secret123",
         "C1TA=ON&TAON=07.00.00&TAOFF=19.00.00&T2=a&T2=b&T2=secret123&T2=c", false, false, false, {}, {}},
        {"a blank", "p w", timerBody("p+w", "07.00.00", "19.00.00"), true, true, true, {7, 0}, {}},
        {"an ampersand", "p&w", timerBody("p%26w", "07.00.00", "19.00.00"), true, true, true, {7, 0}, {}},
        {"an equals sign", "p=w", timerBody("p%3Dw", "07.00.00", "19.00.00"), true, true, true, {7, 0}, {}},
        {"a plus", "p+w", timerBody("p%2Bw", "07.00.00", "19.00.00"), true, true, true, {7, 0}, {}},
        {"a percent", "p%w", timerBody("p%25w", "07.00.00", "19.00.00"), true, true, true, {7, 0}, {}},
        {"9.30 is too short", "", timerBody("", "9.30", "19.00.00"), true, false, true, {}, {}},
        {"colons arrive encoded", "", timerBody("", "12%3A30%3A00", "19.00.00"), true, false, true, {}, {}},
        {"all fields empty", "", timerBody("", "", "", "", "", "C1TA=ON&C2TB=ON&"), true, false, true, {}, {}},
        {"B valid, A empty", "", timerBody("", "", "", "06.15.00", "22.00.00"), true, true, true, {}, {6, 15}},
    };
    for (const auto& c : cases) {
        ::unlink(settingsPath.c_str());
        core->ForTests().Memo().Clear();
        clock.advance(std::chrono::minutes(2)); // no case's wrong password counts towards a lockout
        for (size_t timer = 0; timer < 4; ++timer) {
            core->ForTests().LiveDati().TimeOn[timer] = QDateTime(QDate(2026, 6, 1), QTime(0, 0));
            core->ForTests().LiveDati().TimerEnabled[timer] = false;
        }
        setWebPassword(c.password);
        const auto reply = Http(url("/Timer"), "POST", c.body);
        const std::string& page = *core->ForTests().Pages().TimerPageText();
        EXPECT_TRUE(reply.Body.starts_with(page)) << c.name;
        EXPECT_EQ(reply.Body.substr(std::min(page.size(), reply.Body.size())), c.error ? message : "") << c.name;
        EXPECT_EQ(QFileInfo::exists(QString::fromStdString(settingsPath)), c.saved) << c.name;
        EXPECT_EQ(core->ForTests().LiveDati().TimeOn[0].time(), c.aOn.isValid() ? c.aOn : QTime(0, 0)) << c.name;
        EXPECT_EQ(core->ForTests().LiveDati().TimeOn[1].time(), c.bOn.isValid() ? c.bOn : QTime(0, 0)) << c.name;
        EXPECT_EQ(core->ForTests().LiveDati().TimerEnabled[0], c.authorised) << c.name;
        EXPECT_EQ(messages(), c.authorised ? std::vector<std::string>{"Timer set-up changed from the web by 127.0.0.1."}
                                           : std::vector<std::string>{})
            << c.name;
    }
    EXPECT_NE(settingsFile().find("Time B ON=06:15:00"), std::string::npos);
}

namespace {

// The dispatcher on its own, with a core that records what it is asked to do: requests from
// any client address, and the core thread (this one) held still while they pile up.
class FakeCommands final : public testsupport::NullCoreCommands {
public:
    void RecordPageRequests(std::vector<ClientPageRequests> requests) override
    {
        logged.insert(logged.end(), requests.begin(), requests.end());
    }
    void NoteEvent(const std::string& message) override { lines.push_back(message); }
    void ApplyTimerForm(const TimerFormPost&, const std::string& client, QObject* context,
                        std::function<void(bool)> done) override
    {
        ++timerForms;
        clients.push_back(client);
        answerLater(context, std::move(done), false);
    }
    void SwitchOutputs(const std::array<bool, 8>&, const std::string& client) override
    {
        ++outputCommands;
        clients.push_back(client);
    }
    void FetchMemoLines(QObject* context, std::function<void(const std::vector<std::string>&)> done) override
    {
        answerLater(context, std::move(done), std::vector<std::string>{"a memo line"});
    }

    std::vector<ClientPageRequests> logged;
    std::vector<std::string> lines;   // noted in the memo
    std::vector<std::string> clients; // whom the applied forms came from
    int timerForms = 0;
    int outputCommands = 0;
};

class DispatcherAlone : public ::testing::Test {
protected:
    // Hands the request over as the server would; the reply, once there is one.
    std::shared_ptr<std::optional<HttpReply>> send(const std::string& method, const std::string& body,
                                                   const std::string& address)
    {
        auto reply = std::make_shared<std::optional<HttpReply>>();
        dispatcher.Handle(HttpRequest{method, "/", body, address}, [reply](HttpReply r) { *reply = std::move(r); });
        return reply;
    }
    HttpReply answer(const std::string& method, const std::string& body, const std::string& address)
    {
        const auto reply = send(method, body, address);
        EXPECT_TRUE(fakes::PumpUntil([&] { return reply->has_value(); }));
        return reply->value_or(HttpReply{});
    }

    FakeCommands core;
    WebPages pages;
    ManualClock clock{QDateTime(QDate(2026, 6, 1), QTime(12, 0, 0))};
    LocaleFormats formats{"C"};
    QObject coreContext;
    RequestDispatcher dispatcher{core, pages, clock, formats, &coreContext};
};

const std::string kTimerForm = "C1TA=ON&TAON=07.00.00&TAOFF=19.00.00&T2=";

} // namespace

TEST_F(DispatcherAlone, WithoutAPasswordOnlyTheLocalNetworkMayUseTheForms)
{
    const std::string& page = *pages.MainPageText();
    const std::string needsPassword =
        "<p align=\"left\"> The forms are open only to the local network until a password is set in the settings. </p>";
    const struct {
        const char* address;
        std::string password;
        std::string body;
        bool applied;
        std::string after; // what follows the page
    } cases[] = {
        {"192.168.1.20", "", kTimerForm, true, ""},
        {"fd00::7", "", kTimerForm, true, ""},
        {"203.0.113.7", "", kTimerForm, false, needsPassword},
        {"2001:db8::7", "", kTimerForm + "anything", false, needsPassword},
        {"203.0.113.7", "sun", kTimerForm + "sun", true, ""},
        {"203.0.113.7", "", "C1=ON&T1=", false, needsPassword},
        {"203.0.113.7", "sun", "C1=ON&T1=sun", true, ""},
        {"10.0.0.3", "", "C1=ON&T1=", true, ""},
    };
    for (const auto& c : cases) {
        core = FakeCommands{};
        dispatcher.SetPassword(c.password);
        const HttpReply reply = answer("POST", c.body, c.address);
        const bool timerForm = c.body.starts_with("C1TA");
        EXPECT_EQ(timerForm ? core.timerForms : core.outputCommands, c.applied ? 1 : 0) << c.address << " " << c.body;
        EXPECT_EQ(*reply.Page, timerForm ? *pages.TimerPageText() : page) << c.address;
        EXPECT_EQ(reply.Body, c.after) << c.address << " " << c.body;
        EXPECT_EQ(core.clients, c.applied ? std::vector<std::string>{c.address} : std::vector<std::string>{})
            << c.address;
        EXPECT_TRUE(core.lines.empty()) << c.address;
    }
}

TEST_F(DispatcherAlone, TheEventLogIsShownOnlyOnTheLocalNetwork)
{
    EXPECT_EQ(answer("POST", "T1=log", "127.0.0.1").Body, "<p align=\"left\">a memo line</p>");
    EXPECT_EQ(answer("POST", "T1=log", "192.168.0.4").Body, "<p align=\"left\">a memo line</p>");
    dispatcher.SetPassword("sun");
    for (const char* body : {"T1=log", "T1=log&T2=sun"}) {
        const HttpReply remote = answer("POST", body, "198.51.100.1");
        EXPECT_EQ(*remote.Page, *pages.MainPageText()) << body;
        EXPECT_EQ(remote.Body, "<p align=\"left\"> The event log is shown only on the local network. </p>") << body;
    }
    EXPECT_EQ(core.outputCommands, 0);
}

TEST_F(DispatcherAlone, PageRequestsReachTheCoreCoalescedAndBounded)
{
    // The core thread is busy: nothing is taken while the requests come.
    for (int i = 0; i < 10000; ++i)
        EXPECT_TRUE(send("GET", "", "10.0.0.1")->has_value());
    clock.advance(std::chrono::seconds(1));
    constexpr int kOthers = PendingPageRequests::kMaxAddresses + 500;
    for (int i = 0; i < kOthers; ++i)
        send("GET", "", "10.1." + std::to_string(i / 256) + "." + std::to_string(i % 256));
    send("GET", "", "10.0.0.1");

    EXPECT_TRUE(fakes::PumpUntil([&] { return !core.lines.empty(); }));
    // One entry per address, in the order of each address's last request.
    ASSERT_EQ(core.logged.size(), PendingPageRequests::kMaxAddresses);
    EXPECT_EQ(core.logged.front().Address, "10.1.0.0");
    EXPECT_EQ(core.logged.back().Address, "10.0.0.1");
    EXPECT_EQ(core.logged.back().Count, 10001);
    EXPECT_EQ(core.logged.back().Stamp, "06/01/26 12:00:01");
    EXPECT_EQ(core.lines, std::vector<std::string>{
                              "501 web page requests were not logged: too many client addresses at once."});
}

TEST_F(DispatcherAlone, AFloodOfFormsIsTurnedAwayInsteadOfQueued)
{
    std::vector<std::shared_ptr<std::optional<HttpReply>>> replies;
    for (int i = 0; i < RequestDispatcher::kMaxFormsInFlight; ++i)
        replies.push_back(send("POST", kTimerForm, "127.0.0.1"));
    const auto turnedAway = send("POST", kTimerForm, "127.0.0.1");
    ASSERT_TRUE(turnedAway->has_value()); // at once, without the core
    EXPECT_EQ((*turnedAway)->Status, 503);
    EXPECT_TRUE(fakes::PumpUntil([&] {
        return std::all_of(replies.begin(), replies.end(), [](const auto& reply) { return reply->has_value(); });
    }));
    EXPECT_EQ(core.timerForms, RequestDispatcher::kMaxFormsInFlight);
    EXPECT_EQ(answer("POST", kTimerForm, "127.0.0.1").Status, 200); // room again
}
