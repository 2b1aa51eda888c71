#pragma once

#include "core/DisplayRefresher.h"
#include "web/HttpServer.h"
#include "web/WebForms.h"

#include <QObject>

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
    // Records a main-page request in the memo and, in requested-by-web mode, wakes the
    // acquisition for one cycle.
    virtual void LogWebRequest(const std::string& address, const std::string& stamp) = 0;
    [[nodiscard]] virtual std::string WebPassword() const = 0;
    // Applies an authorised Timer form; true when a time was not a valid hh.mm.ss.
    virtual bool ApplyTimerForm(const TimerFormPost& post) = 0;
    // Sets the outputs a timer does not drive to the requested states.
    virtual void ApplyOutputs(const std::array<bool, 8>& requested) = 0;
    [[nodiscard]] virtual std::vector<std::string> MemoLines() const = 0;
};

// The web server's one handler. Pages are answered at once from the published page texts on
// the server's thread; a main-page request's memo line and wake-up are handed to the core
// thread without waiting, in the order the requests came. The forms are handled on the core
// thread and answered when it is done; nothing here ever blocks a server thread.
// Thread ownership: Handle runs on the server's threads; `coreContext` lives on the core thread.
class RequestDispatcher {
public:
    static constexpr std::chrono::milliseconds kOutputSettleTime{100};

    RequestDispatcher(WebCore& core, const WebPages& pages, const Clock& clock, const LocaleFormats& formats,
                      QObject* coreContext);

    void Handle(const HttpRequest& request, HttpRespond respond);

private:
    void handleTimerForm(const std::string& body, HttpRespond respond);
    void handleCommandForm(const std::string& body, HttpRespond respond);

    WebCore& m_core;
    const WebPages& m_pages;
    const Clock& m_clock;
    const LocaleFormats& m_formats;
    QObject* m_coreContext;
};

} // namespace quorvane
