#pragma once

#include "core/DisplayRefresher.h"
#include "web/HttpServer.h"
#include "web/PendingPageRequests.h"
#include "web/WebAccess.h"
#include "web/WebForms.h"

#include <QObject>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvane {

class Clock;
class LocaleFormats;
class WebPages;

// What a request needs the core to do, besides the display refresh (with the main page
// published at once). Every function runs on the core thread.
class WebCore : public DisplayRefresher {
public:
    // Records `count` main-page requests from `address`, the last stamped `stamp`, in the memo
    // and, in requested-by-web mode, wakes the acquisition for one cycle.
    virtual void LogWebRequest(const std::string& address, const std::string& stamp, std::int64_t count) = 0;
    virtual void AddEventLine(const std::string& message) = 0;
    [[nodiscard]] virtual std::string WebPassword() const = 0;
    // Applies an authorised Timer form; true when a time was not a valid hh.mm.ss.
    virtual bool ApplyTimerForm(const TimerFormPost& post) = 0;
    // Sets the outputs a timer does not drive to the requested states.
    virtual void ApplyOutputs(const std::array<bool, 8>& requested) = 0;
    [[nodiscard]] virtual std::vector<std::string> MemoLines() const = 0;
};

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
// Thread ownership: Handle runs on the server's threads; `coreContext` lives on the core
// thread, where the forms, the password guard and the memo queue's consumer run.
class RequestDispatcher {
public:
    static constexpr std::chrono::milliseconds kOutputSettleTime{100};
    static constexpr std::chrono::milliseconds kMemoInterval{50};
    static constexpr size_t kMemoSlice = 256;
    static constexpr int kMaxFormsInFlight = 8;

    // `outputSettleTime` is the wait between switching outputs and the page that shows them;
    // only a caller that drives the core's event loop by hand (the fuzz target) shortens it.
    RequestDispatcher(WebCore& core, const WebPages& pages, const Clock& clock, const LocaleFormats& formats,
                      QObject* coreContext, std::chrono::milliseconds outputSettleTime = kOutputSettleTime);

    void Handle(const HttpRequest& request, HttpRespond respond);

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

    WebCore& m_core;
    const WebPages& m_pages;
    const Clock& m_clock;
    const LocaleFormats& m_formats;
    QObject* m_coreContext;
    std::chrono::milliseconds m_outputSettleTime;

    PendingPageRequests m_pageRequests;
    std::atomic<int> m_formsInFlight{0};
    // Core thread only.
    PasswordGuard m_guard;
    std::chrono::steady_clock::time_point m_lastDrain{};
    bool m_memoDrainActive = false; // a drain is due or under way
    PendingPageRequests::Batch m_memoBacklog; // taken, being written slice by slice
    size_t m_memoNext = 0;
};

} // namespace quorvane
