#include "mail/MailSender.h"

#include "config/Settings.h"
#include "core/Clock.h"
#include "core/EventMemo.h"
#include "mail/MailMessage.h"
#include "mail/SmtpTransport.h"

#include <charconv>
#include <fstream>
#include <iterator>

namespace quorvane {

namespace {

constexpr const char* kSubject = "Message from Quorvane";

std::optional<MailAttachment> readAttachment(const std::string& path)
{
    if (path.empty())
        return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt; // a missing file is skipped silently
    MailAttachment attachment;
    attachment.Bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    const auto slash = path.rfind('/');
    attachment.FileName = slash == std::string::npos ? path : path.substr(slash + 1);
    return attachment;
}

std::optional<std::uint16_t> portNumber(const std::string& text)
{
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

// Everything one mail needs, taken when it is asked for.
struct MailSender::Job {
    std::string Address;
    std::string Server;
    std::string Port;
    bool Login = false;
    std::string Username;
    std::string Password;
    bool Direct = false;
    bool ReportProgress = false;
    std::string Message;
};

struct MailSender::Report {
    std::string MemoLine;
    bool ReportProgress = false;
    std::optional<std::string> Label;
    bool Last = false;
};

MailSender::MailSender(const TDati& settings, EventMemo& memo, const Clock& clock, Routes routes, QObject* parent)
    : QObject(parent), m_settings(settings), m_memo(memo), m_clock(clock), m_routes(std::move(routes))
{
    m_thread = std::thread([this] { run(); });
}

MailSender::~MailSender()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join(); // after the mails already asked for, each bounded by its time-outs
}

bool MailSender::SendMail(const std::string& body, bool reportProgress, const std::string& attachment)
{
    Job job{.Address = m_settings.Address,
            .Server = m_settings.Smtp,
            .Port = m_settings.MailPort,
            .Login = m_settings.AuthRequired,
            .Username = m_settings.MailUsername,
            .Password = m_settings.MailPassword,
            .Direct = m_settings.Useinternal,
            .ReportProgress = reportProgress,
            .Message = BuildMailMessage(m_settings.Address, kSubject, body, readAttachment(attachment), m_clock.now())};
    ++m_inFlight;
    {
        const std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(job));
    }
    m_wake.notify_all();
    return true;
}

void MailSender::SendTestMail(const std::string& attachment)
{
    m_buttonEnabled = false;
    m_label46 = "Try sending test message...";
    emit progressChanged();
    SendMail("This is a test message.", true, attachment);
}

void MailSender::run()
{
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty())
                return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
        }
        deliver(job);
    }
}

void MailSender::report(const Job& job, std::string memoLine, std::optional<std::string> label, bool last)
{
    Report outcome{std::move(memoLine), job.ReportProgress, std::move(label), last};
    QMetaObject::invokeMethod(this, [this, outcome = std::move(outcome)] { apply(outcome); }, Qt::QueuedConnection);
}

void MailSender::apply(const Report& outcome)
{
    if (!outcome.MemoLine.empty())
        m_memo.AddEventLine(outcome.MemoLine);
    if (outcome.ReportProgress && outcome.Label)
        m_label46 = *outcome.Label;
    if (outcome.Last) {
        m_buttonEnabled = true; // at the end of every attempt
        --m_inFlight;
    }
    emit progressChanged();
}

void MailSender::deliver(const Job& job)
{
    if (job.Direct)
        deliverDirectly(job);
    else
        deliverThroughServer(job);
}

void MailSender::deliverThroughServer(const Job& job)
{
    const auto port = portNumber(job.Port);
    SmtpOutcome outcome = SmtpOutcome::ConnectFailed; // a port that is no number cannot connect
    if (port) {
        outcome = SendSmtp({.Host = job.Server,
                            .Port = *port,
                            .Login = job.Login ? job.Username : std::string(),
                            .Password = job.Login ? job.Password : std::string(),
                            .Sender = job.Address,
                            .Recipient = job.Address,
                            .Message = job.Message});
    }
    switch (outcome) {
    case SmtpOutcome::Sent:
        report(job, "Send mail Success.", "Success!", true);
        break;
    case SmtpOutcome::ConnectFailed:
        report(job, "Send mail fail in connecting to SMTP.", "Failed in connecting to SMTP.", true);
        break;
    case SmtpOutcome::RecipientRefused:
    case SmtpOutcome::SendFailed:
        report(job, "Send mail failed.", "Failed.", true);
        break;
    }
}

void MailSender::deliverDirectly(const Job& job)
{
    report(job, "Resolving Mail Servers");
    const std::vector<std::string> hosts = MailHostsFor(DomainOf(job.Address), m_routes.Dns);
    if (hosts.empty()) {
        report(job, "Error Sending Message...", "Failed.", true);
        return;
    }
    report(job, "Sending Message...");
    SmtpOutcome outcome = SmtpOutcome::ConnectFailed;
    // Mail exchangers in order of preference, until one takes the connection.
    for (const std::string& host : hosts) {
        outcome = SendSmtp({.Host = host,
                            .Port = m_routes.DirectPort,
                            .Login = {},
                            .Password = {},
                            .Sender = job.Address,
                            .Recipient = job.Address,
                            .Message = job.Message,
                            .VerifyCertificates = false});
        if (outcome != SmtpOutcome::ConnectFailed)
            break;
    }
    switch (outcome) {
    case SmtpOutcome::Sent:
        report(job, "Success!!", "Success!", true);
        break;
    case SmtpOutcome::RecipientRefused:
        report(job, "Wrong Address.");
        report(job, "Error Sending Message...", "Failed.", true);
        break;
    case SmtpOutcome::ConnectFailed:
    case SmtpOutcome::SendFailed:
        report(job, "Error Sending Message...", "Failed.", true);
        break;
    }
}

} // namespace quorvane
