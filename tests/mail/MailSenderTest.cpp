// The mail sender against real servers on loopback, started here: an SMTP server that
// reports every message it takes, and dnsmasq answering MX questions for test domains.
#include "ChildProcess.h"
#include "MemoMessages.h"
#include "GatedPacer.h"
#include "config/Settings.h"
#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "core/ManualClock.h"
#include "mail/MailSender.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>

using namespace quorvane;
using namespace std::chrono_literals;
using quorvane::fakes::PumpUntil;

namespace {

// The loopback SMTP server; every message it takes arrives as one JSON object.
class SmtpServer {
public:
    explicit SmtpServer(const std::vector<std::string>& options = {})
        : m_process("/usr/bin/python3", [&] {
              std::vector<std::string> arguments{QUORVANE_SMTP_SERVER_SCRIPT};
              arguments.insert(arguments.end(), options.begin(), options.end());
              return arguments;
          }())
    {
        const auto banner = m_process.ReadLine(20s);
        if (banner && banner->starts_with("PORT "))
            m_port = static_cast<std::uint16_t>(std::stoi(banner->substr(5)));
        else
            ADD_FAILURE() << "the SMTP server did not start";
    }
    [[nodiscard]] std::uint16_t Port() const { return m_port; }
    // The messages received so far.
    std::vector<QJsonObject> Messages()
    {
        while (const auto line = m_process.ReadLine(0ms))
            m_messages.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(*line)).object());
        return m_messages;
    }
    bool WaitForMessages(size_t count)
    {
        return PumpUntil([&] {
            if (const auto line = m_process.ReadLine(10ms))
                m_messages.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(*line)).object());
            return m_messages.size() >= count;
        });
    }

private:
    fakes::ChildProcess m_process;
    std::uint16_t m_port = 0;
    std::vector<QJsonObject> m_messages;
};

std::uint16_t freeUdpPort()
{
    const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

// dnsmasq on loopback: example.test has two mail exchangers, the better one where nothing
// listens (127.0.0.2) and the other on 127.0.0.1; plain.test has no MX, only an address.
class TestDns {
public:
    TestDns()
        : m_port(freeUdpPort())
        , m_process("/usr/sbin/dnsmasq",
                    {"--keep-in-foreground", "--no-resolv", "--no-hosts", "--conf-file=/dev/null", "--pid-file=",
                     "--user=root", "--listen-address=127.0.0.1", "--bind-interfaces", "--port=" + std::to_string(m_port),
                     "--mx-host=example.test,mx2.example.test,20", "--mx-host=example.test,mx1.example.test,10",
                     "--host-record=mx1.example.test,127.0.0.2", "--host-record=mx2.example.test,127.0.0.1",
                     "--host-record=plain.test,127.0.0.1"})
    {
        PumpUntil([this] { return !MailHostsFor("plain.test", Server()).empty(); });
    }
    [[nodiscard]] DnsServer Server() const { return {"127.0.0.1", m_port}; }

private:
    std::uint16_t m_port;
    fakes::ChildProcess m_process;
};

class MailTest : public ::testing::Test {
protected:
    std::unique_ptr<MailSender> senderFor(std::uint16_t smtpPort, DnsServer dns = {"127.0.0.1", 9})
    {
        settings.Smtp = "127.0.0.1";
        settings.MailPort = std::to_string(smtpPort);
        return std::make_unique<MailSender>(settings, memo, clock, MailSender::Routes{dns, smtpPort});
    }
    void waitUntilDone(const MailSender& sender)
    {
        ASSERT_TRUE(PumpUntil([&] { return sender.MailsInFlight() == 0; }, 60s));
    }
    [[nodiscard]] std::vector<std::string> messages() const { return fakes::MessagesOf(memo.Lines()); }

    QTemporaryDir folder;
    ManualClock clock{QDateTime(QDate(2026, 6, 1), QTime(0, 0, 5))};
    LocaleFormats formats{"C"};
    EventMemo memo{clock, formats};
    TDati settings{QDate(2026, 6, 1)};

    MailTest() { settings.Address = "home@example.test"; }
};

} // namespace

TEST_F(MailTest, ANoticeWithAnAttachmentArrivesWhole)
{
    SmtpServer server;
    ASSERT_NE(server.Port(), 0);
    const std::string path = QDir(folder.path()).filePath("BasicLog_31-5-2026.csv").toStdString();
    std::string bytes = "07:00:00,230.0\r\n";
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i); // every byte value survives
    std::ofstream(path, std::ios::binary) << bytes;

    auto sender = senderFor(server.Port());
    sender->SendMail("Basic variables of day 05/31/26 in attach.", false, path);
    std::ofstream(path, std::ios::binary) << "changed later"; // the mail keeps what was asked for
    sender->SendMail("Daily Energy production", false, QDir(folder.path()).filePath("missing.csv").toStdString());
    waitUntilDone(*sender);
    ASSERT_TRUE(server.WaitForMessages(2));

    const auto received = server.Messages();
    const QJsonObject& first = received[0];
    EXPECT_EQ(first["mail_from"].toString(), "home@example.test");
    EXPECT_EQ(first["rcpt_tos"].toArray(), QJsonArray{"home@example.test"});
    EXPECT_EQ(first["from"].toString(), "home@example.test");
    EXPECT_EQ(first["to"].toString(), "home@example.test");
    EXPECT_EQ(first["subject"].toString(), "Message from Quorvane");
    EXPECT_EQ(first["body"].toString().trimmed(), "Basic variables of day 05/31/26 in attach.");
    EXPECT_FALSE(first["date"].toString().isEmpty());
    EXPECT_TRUE(first["message_id"].toString().endsWith("@example.test>"));
    ASSERT_EQ(first["attachments"].toArray().size(), 1);
    const QJsonObject attachment = first["attachments"].toArray()[0].toObject();
    EXPECT_EQ(attachment["filename"].toString(), "BasicLog_31-5-2026.csv");
    EXPECT_EQ(QByteArray::fromBase64(attachment["data"].toString().toLatin1()).toStdString(), bytes);
    EXPECT_TRUE(first["login"].isNull()); // no login unless asked for

    EXPECT_TRUE(received[1]["attachments"].toArray().isEmpty());
    EXPECT_EQ(messages(), (std::vector<std::string>{"Send mail Success.", "Send mail Success."}));
}

TEST_F(MailTest, LoginOnlyWhenTheServerNeedsIt)
{
    SmtpServer server({"--auth"});
    settings.AuthRequired = true;
    settings.MailUsername = "solar";
    settings.MailPassword = "s3cret";
    auto sender = senderFor(server.Port());
    sender->SendMail("with login", false, "");
    waitUntilDone(*sender);
    settings.AuthRequired = false;
    sender->SendMail("without login", false, "");
    waitUntilDone(*sender);
    ASSERT_TRUE(server.WaitForMessages(2));
    EXPECT_EQ(server.Messages()[0]["login"].toString(), "solar");
    EXPECT_EQ(server.Messages()[0]["password"].toString(), "s3cret");
    EXPECT_TRUE(server.Messages()[1]["login"].isNull());
}

TEST_F(MailTest, FailuresAreReportedAndTheButtonComesBack)
{
    const struct {
        const char* name;
        std::vector<std::string> serverOptions;
        bool serverUp;
        const char* port; // empty: the server's
        const char* memoLine;
        const char* label;
    } cases[] = {
        {"server down", {}, false, "", "Send mail fail in connecting to SMTP.", "Failed in connecting to SMTP."},
        {"a port that is no number", {}, true, "twenty-five", "Send mail fail in connecting to SMTP.",
         "Failed in connecting to SMTP."},
        {"the message refused", {"--refuse-data"}, true, "", "Send mail failed.", "Failed."},
        {"the recipient refused", {"--refuse-rcpt", "home@example.test"}, true, "", "Send mail failed.", "Failed."},
    };
    for (const auto& c : cases) {
        memo.Clear();
        std::uint16_t port = 0;
        std::unique_ptr<SmtpServer> server;
        if (c.serverUp) {
            server = std::make_unique<SmtpServer>(c.serverOptions);
            port = server->Port();
        } else {
            port = freeUdpPort(); // nothing listens there over TCP either
        }
        auto sender = senderFor(port);
        if (*c.port != '\0')
            settings.MailPort = c.port;
        sender->SendTestMail(QDir(folder.path()).filePath("none.csv").toStdString());
        EXPECT_FALSE(sender->BtnSendMailEnabled()) << c.name;
        EXPECT_EQ(sender->Label46(), "Try sending test message...") << c.name;
        waitUntilDone(*sender);
        EXPECT_EQ(messages(), std::vector<std::string>{c.memoLine}) << c.name;
        EXPECT_EQ(sender->Label46(), c.label) << c.name;
        EXPECT_TRUE(sender->BtnSendMailEnabled()) << c.name;
    }
}

TEST_F(MailTest, ATestMailThatGoesThroughSaysSo)
{
    SmtpServer server;
    auto sender = senderFor(server.Port());
    sender->SendTestMail("");
    waitUntilDone(*sender);
    EXPECT_EQ(sender->Label46(), "Success!");
    ASSERT_TRUE(server.WaitForMessages(1));
    EXPECT_EQ(server.Messages()[0]["body"].toString().trimmed(), "This is a test message.");
}

TEST_F(MailTest, DirectDeliveryGoesToTheMailExchangersInOrder)
{
    TestDns dns;
    SmtpServer server;
    settings.Useinternal = true;
    settings.Smtp = "unused.invalid";
    for (const char* address : {"home@example.test", "home@plain.test"}) {
        memo.Clear();
        settings.Address = address;
        auto sender = std::make_unique<MailSender>(settings, memo, clock, MailSender::Routes{dns.Server(), server.Port()});
        sender->SendTestMail("");
        waitUntilDone(*sender);
        EXPECT_EQ(messages(), (std::vector<std::string>{"Resolving Mail Servers", "Sending Message...", "Success!!"}))
            << address;
        EXPECT_EQ(sender->Label46(), "Success!");
    }
    ASSERT_TRUE(server.WaitForMessages(2));
    EXPECT_EQ(server.Messages()[1]["rcpt_tos"].toArray(), QJsonArray{"home@plain.test"});
}

TEST_F(MailTest, DirectDeliveryToAnAddressTheServerRefuses)
{
    TestDns dns;
    SmtpServer server({"--refuse-rcpt", "nobody@example.test"});
    settings.Useinternal = true;
    settings.Address = "nobody@example.test";
    auto sender = std::make_unique<MailSender>(settings, memo, clock, MailSender::Routes{dns.Server(), server.Port()});
    sender->SendMail("notice", false, "");
    waitUntilDone(*sender);
    EXPECT_EQ(messages(), (std::vector<std::string>{"Resolving Mail Servers", "Sending Message...", "Wrong Address.",
                                                    "Error Sending Message..."}));

    memo.Clear();
    settings.Address = "home@nowhere.test"; // no MX and no address
    sender->SendMail("notice", false, "");
    waitUntilDone(*sender);
    EXPECT_EQ(messages(), (std::vector<std::string>{"Resolving Mail Servers", "Error Sending Message..."}));
}

TEST_F(MailTest, MailsAskedForTogetherArriveInThatOrder)
{
    SmtpServer server;
    auto sender = senderFor(server.Port());
    for (const char* body : {"basic", "computed", "energy"})
        sender->SendMail(body, false, "");
    EXPECT_EQ(sender->MailsInFlight(), 3);
    waitUntilDone(*sender);
    ASSERT_TRUE(server.WaitForMessages(3));
    const auto received = server.Messages();
    EXPECT_EQ(received[0]["body"].toString().trimmed(), "basic");
    EXPECT_EQ(received[1]["body"].toString().trimmed(), "computed");
    EXPECT_EQ(received[2]["body"].toString().trimmed(), "energy");
}
