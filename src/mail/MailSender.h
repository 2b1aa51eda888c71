#pragma once

#include "mail/MailOutbox.h"
#include "mail/MxResolver.h"

#include <QObject>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace quorvane {

class Clock;
class EventMemo;
struct TDati;

// The one mail operation: a short notice to the configured address, optionally with a file,
// through the configured SMTP server or by direct delivery to the recipient's mail exchanger.
//
// A mail never holds the core thread: SendMail takes the settings and reads the attachment at
// once, then the network part runs on the mail thread, one mail at a time, in the order they
// were asked for. The memo lines and the progress texts come back to the core thread in that
// same order.
//
// Thread ownership: the object lives on the core thread, which calls every public function.
// It owns the mail thread and joins it (after the mails already asked for) when destroyed.
class MailSender final : public QObject, public MailOutbox {
    Q_OBJECT
public:
    struct Routes {
        DnsServer Dns = SystemDnsServer();
        std::uint16_t DirectPort = 25; // where mail exchangers take mail
    };

    MailSender(const TDati& settings, EventMemo& memo, const Clock& clock, Routes routes, QObject* parent = nullptr);
    ~MailSender() override;

    // Queues one notice; true when it was queued. `reportProgress` shows its outcome in the
    // settings dialog's progress text (the test mail).
    bool SendMail(const std::string& body, bool reportProgress, const std::string& attachment) override;
    // "Send Test Email": disables the button, says it is trying, sends the test message.
    void SendTestMail(const std::string& attachment);

    [[nodiscard]] const std::string& Label46() const { return m_label46; }
    [[nodiscard]] bool BtnSendMailEnabled() const { return m_buttonEnabled; }
    // Mails asked for whose outcome has not come back yet.
    [[nodiscard]] int MailsInFlight() const { return m_inFlight; }

signals:
    void progressChanged();

private:
    struct Job;
    struct Report;

    void run();
    void deliver(const Job& job);
    void deliverThroughServer(const Job& job);
    void deliverDirectly(const Job& job);
    // Worker side: hands one outcome line (and the progress text) to the core thread.
    void report(const Job& job, std::string memoLine, std::optional<std::string> label = {}, bool last = false);
    void apply(const Report& report);

    const TDati& m_settings;
    EventMemo& m_memo;
    const Clock& m_clock;
    Routes m_routes;

    // Core-thread state.
    std::string m_label46;
    bool m_buttonEnabled = true;
    int m_inFlight = 0;

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_queue; // guarded by m_mutex
    bool m_stopping = false; // guarded by m_mutex
    std::thread m_thread;
};

} // namespace quorvane
