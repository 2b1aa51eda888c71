#pragma once

#include "face/CoreCommands.h"
#include "face/CoreEvent.h"
#include "web/HistoryApi.h"
#include "web/HttpServer.h"
#include "web/MetricsText.h"
#include "web/PendingPageRequests.h"
#include "web/StatusBoard.h"
#include "web/WebAccess.h"
#include "web/WebForms.h"

#include <QObject>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

class Clock;
class LocaleFormats;
class WebPages;

// The web server's one handler. Pages are answered at once from the published page texts on
// the server's thread. Main-page requests reach the memo through a bounded queue that
// coalesces them per client address, taken by the core thread at most every kMemoInterval
// and written kMemoSlice entries per turn of its event loop, so no flood can fill the core's
// event queue or hold back a poll for long. The forms are handled on
// the core thread and answered when it is done (at most kMaxFormsInFlight at a time, further
// ones get 503); nothing here ever blocks a server thread.
//
// Who may use the forms: with a password configured, whoever posts it (exactly, once per
// request); with none, clients on this host or the local network. An address that posts
// kAllowedFailures wrong passwords is refused for a minute. The event log ("log") is shown to
// local clients only. Every applied Timer form and every output change names the client in
// the memo.
//
// It is the web's front end of the core: what a client asks reaches the core as commands
// (`CoreCommands`), and pages come from the texts the core publishes (`WebPages`).
//
// Thread ownership: Handle runs on the server's threads; `coreContext` lives on the core
// thread, where the forms, the password guard and the memo queue's consumer run, and where
// SetPassword is called.
class RequestDispatcher {
public:
    static constexpr std::chrono::milliseconds kOutputSettleTime{100};
    static constexpr std::chrono::milliseconds kMemoInterval{50};
    static constexpr size_t kMemoSlice = 256;
    static constexpr int kMaxFormsInFlight = 8;
    // The state as JSON and as Prometheus metrics, for scripts and monitoring; neither is a
    // page request (no memo line, no wake-up in requested-by-web mode).
    static constexpr const char* kStatusPath = "/api/v1/status";
    static constexpr const char* kMetricsPath = "/metrics";
    // Server-sent events: the state after each reading ("state") and the core's events
    // ("event"), as JSON, for as long as the client stays; at most kMaxStreams clients.
    static constexpr const char* kEventsPath = "/events";
    static constexpr std::size_t kMaxStreams = 256;

    // `outputSettleTime` is the wait between switching outputs and the page that shows them;
    // only a caller that drives the core's event loop by hand (the fuzz target) shortens it.
    RequestDispatcher(CoreCommands& commands, const WebPages& pages, const Clock& clock, const LocaleFormats& formats,
                      QObject* coreContext, std::chrono::milliseconds outputSettleTime = kOutputSettleTime);

    void Handle(const HttpRequest& request, HttpRespond respond);
    // The state the status and metrics answers show from now on (core thread).
    void PublishState(const CoreState& state);
    // An event for the clients of kEventsPath (core thread).
    void PublishEvent(const CoreEvent& event);
    // The password the forms ask for; empty: none (the local network only).
    void SetPassword(std::string password) { m_password = std::move(password); }
    // Where the logs are, for the history answers; set before the server starts.
    void SetLogBase(std::string logBase) { m_history = HistoryApi(std::move(logBase), m_formats); }

private:
    enum class Verdict { Authorised, WrongPassword, NotOffered, NeedsPassword };

    void queuePageRequest(const std::string& address);
    void scheduleMemoDrain();
    void drainPageRequests();
    void handleTimerForm(const std::string& address, const FormFields& form, HttpRespond respond);
    void handleCommandForm(const std::string& address, const FormFields& form, HttpRespond respond);
    // Core thread: whether `address` may use a form whose password field is `field`.
    Verdict authorise(const std::string& address, const FormFields& form, const char* field);
    [[nodiscard]] PasswordGuard::Millis nowMs() const;
    void count(WebRequestKind kind) { m_requestCounts[static_cast<std::size_t>(kind)].fetch_add(1); }
    [[nodiscard]] WebRequestCounts requestCounts() const;

    CoreCommands& m_commands;
    const WebPages& m_pages;
    const Clock& m_clock;
    const LocaleFormats& m_formats;
    QObject* m_coreContext;
    std::chrono::milliseconds m_outputSettleTime;

    PendingPageRequests m_pageRequests;
    StatusBoard m_status;
    HistoryApi m_history; // its log folder is set before the server starts, then only read
    std::shared_ptr<EventFeed> m_feed = std::make_shared<EventFeed>();
    std::array<std::atomic<std::uint64_t>, kWebRequestKinds> m_requestCounts{};
    std::atomic<int> m_formsInFlight{0};
    // Core thread only.
    PasswordGuard m_guard;
    std::string m_password;
    std::chrono::steady_clock::time_point m_lastDrain{};
    bool m_memoDrainActive = false; // a drain is due or under way
    PendingPageRequests::Batch m_memoBacklog; // taken, being written slice by slice
    size_t m_memoNext = 0;
};

} // namespace quorvane
