#include "web/RequestDispatcher.h"

#include "core/Clock.h"
#include "core/LocaleFormats.h"
#include "web/WebPages.h"

#include <QTimer>

namespace quorvane {

namespace {

constexpr const char* kTimeFormatError = "Time format error, or error in value. Use \"hh.mm.ss\".";

HttpReply pageReply(std::shared_ptr<const std::string> page, std::string after = {})
{
    HttpReply reply;
    reply.Page = std::move(page);
    reply.Body = std::move(after);
    return reply;
}

} // namespace

RequestDispatcher::RequestDispatcher(WebCore& core, const WebPages& pages, const Clock& clock,
                                     const LocaleFormats& formats, QObject* coreContext)
    : m_core(core), m_pages(pages), m_clock(clock), m_formats(formats), m_coreContext(coreContext)
{
}

void RequestDispatcher::Handle(const HttpRequest& request, HttpRespond respond)
{
    if (request.Method == "GET") {
        if (request.Document == "/Timer") {
            respond(pageReply(m_pages.TimerPageText()));
        } else if (request.Document == "/DataLog" || request.Document == "/MessageLog") {
            respond({});
        } else {
            // Stamped now, recorded on the core thread in the order the requests came.
            const std::string stamp = m_formats.dateTime(m_clock.now());
            QMetaObject::invokeMethod(
                m_coreContext, [this, address = request.ClientAddress, stamp] { m_core.LogWebRequest(address, stamp); },
                Qt::QueuedConnection);
            respond(pageReply(m_pages.MainPageText()));
        }
        return;
    }
    if (request.Method == "HEAD") {
        respond({});
        return;
    }
    if (request.Method == "POST") {
        if (request.Body.find("TAON") != std::string::npos)
            handleTimerForm(request.Body, std::move(respond));
        else
            handleCommandForm(request.Body, std::move(respond));
        return;
    }
    respond(HttpReply{.Status = 405, .Body = {}, .Page = {}});
}

void RequestDispatcher::handleTimerForm(const std::string& body, HttpRespond respond)
{
    QMetaObject::invokeMethod(
        m_coreContext,
        [this, body, respond = std::move(respond)] {
            const TimerFormPost post = ReadTimerForm(body, m_core.WebPassword());
            const bool error = post.Authorised && m_core.ApplyTimerForm(post);
            m_core.RefreshDisplay();
            respond(pageReply(m_pages.TimerPageText(), error ? MessageParagraph(kTimeFormatError) : std::string()));
        },
        Qt::QueuedConnection);
}

void RequestDispatcher::handleCommandForm(const std::string& body, HttpRespond respond)
{
    QMetaObject::invokeMethod(
        m_coreContext,
        [this, body, respond = std::move(respond)]() mutable {
            const CommandFormPost post = ReadCommandForm(body, m_core.WebPassword());
            auto answer = [this, post, respond = std::move(respond)] {
                HttpReply reply;
                if (post.Log) {
                    for (const std::string& line : m_core.MemoLines())
                        reply.Body += "<p align=\"left\">" + EscapeHtml(line) + "</p>";
                } else if (!post.Data) {
                    reply.Page = m_pages.MainPageText();
                }
                // No program is ever launched from the web.
                if (post.Exe)
                    reply.Body += MessageParagraph("Command EXE NOT executed");
                respond(std::move(reply));
            };
            if (!post.Authorised) {
                answer();
                return;
            }
            m_core.ApplyOutputs(post.Requested);
            // The outputs settle before the page is refreshed; the core thread is not held.
            QTimer::singleShot(kOutputSettleTime, m_coreContext, [this, answer = std::move(answer)] {
                m_core.RefreshDisplay();
                answer();
            });
        },
        Qt::QueuedConnection);
}

} // namespace quorvane
