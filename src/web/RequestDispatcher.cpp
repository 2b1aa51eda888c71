#include "web/RequestDispatcher.h"

#include "face/StateJson.h"
#include "web/DashboardFiles.h"

#include "core/Clock.h"
#include "core/LocaleFormats.h"
#include "web/WebPages.h"

#include <QTimer>

namespace quorvane {

namespace {

constexpr const char* kTimeFormatError = "Time format error, or error in value. Use \"hh.mm.ss\".";
constexpr const char* kNeedsPassword =
    "The forms are open only to the local network until a password is set in the settings.";
constexpr const char* kLogOnlyLocal = "The event log is shown only on the local network.";
constexpr const char* kLockedOut = "Too many wrong passwords from this address: try again in a minute.";

HttpReply pageReply(std::shared_ptr<const std::string> page, std::string after = {})
{
    HttpReply reply;
    reply.Page = std::move(page);
    reply.Body = std::move(after);
    return reply;
}

HttpReply refusedReply(int status, const char* text)
{
    return HttpReply{.Status = status, .Body = MessageParagraph(text), .Page = {}};
}

} // namespace

RequestDispatcher::RequestDispatcher(CoreCommands& commands, const WebPages& pages, const Clock& clock,
                                     const LocaleFormats& formats, QObject* coreContext,
                                     std::chrono::milliseconds outputSettleTime)
    : m_commands(commands), m_pages(pages), m_clock(clock), m_formats(formats), m_coreContext(coreContext),
      m_outputSettleTime(outputSettleTime), m_history({}, formats)
{
}

void RequestDispatcher::PublishState(const CoreState& state)
{
    m_status.Publish(state);
    m_feed->Publish("state", m_status.Latest()->Json);
}

void RequestDispatcher::PublishEvent(const CoreEvent& event)
{
    m_feed->Publish("event", EventJson(event));
}

void RequestDispatcher::Handle(const HttpRequest& request, HttpRespond respond)
{
    if (request.Method == "GET") {
        if (request.Document == "/Timer") {
            count(WebRequestKind::TimerPage);
            respond(pageReply(m_pages.TimerPageText()));
        } else if (request.Document == "/DataLog" || request.Document == "/MessageLog") {
            count(WebRequestKind::Other);
            respond({});
        } else if (request.Document == kStatusPath) {
            count(WebRequestKind::Status);
            respond(HttpReply{.Status = 200, .Body = m_status.Latest()->Json, .Page = {},
                              .ContentType = "application/json", .NoStore = true});
        } else if (const DashboardFile* file = FindDashboardFile(request.Document)) {
            count(WebRequestKind::Dashboard);
            respond(HttpReply{.Status = 200, .Body = std::string(file->Content), .Page = {},
                              .ContentType = std::string(file->ContentType), .NoStore = false});
        } else if (request.Document == kEventsPath) {
            count(WebRequestKind::Events);
            if (m_feed->SubscriberCount() >= kMaxStreams)
                respond(HttpReply{.Status = 503, .Body = "Too many event streams.\n", .Page = {},
                                  .ContentType = "text/plain", .NoStore = true});
            else
                respond(HttpReply{.Status = 200, .Body = {}, .Page = {}, .ContentType = "text/event-stream",
                                  .NoStore = true, .Stream = m_feed});
        } else if (request.Document == HistoryApi::kPath) {
            count(WebRequestKind::History);
            respond(m_history.Answer(request.Query));
        } else if (request.Document == kMetricsPath) {
            count(WebRequestKind::Metrics);
            respond(HttpReply{.Status = 200, .Body = MetricsText(m_status.Latest()->State, requestCounts()), .Page = {},
                              .ContentType = "text/plain; version=0.0.4; charset=utf-8", .NoStore = true});
        } else {
            count(WebRequestKind::MainPage);
            queuePageRequest(request.ClientAddress);
            respond(pageReply(m_pages.MainPageText()));
        }
        return;
    }
    if (request.Method == "HEAD") {
        count(WebRequestKind::Other);
        respond({});
        return;
    }
    if (request.Method != "POST") {
        count(WebRequestKind::Other);
        respond(HttpReply{.Status = 405, .Body = {}, .Page = {}});
        return;
    }
    count(WebRequestKind::Form);
    // The forms need the core thread; a client that floods them gets 503 instead of a queue.
    if (m_formsInFlight.fetch_add(1) >= kMaxFormsInFlight) {
        m_formsInFlight.fetch_sub(1);
        respond(HttpReply{.Status = 503, .Body = {}, .Page = {}});
        return;
    }
    HttpRespond answer = [this, respond = std::move(respond)](HttpReply reply) {
        m_formsInFlight.fetch_sub(1);
        respond(std::move(reply));
    };
    QMetaObject::invokeMethod(
        m_coreContext,
        [this, request, answer = std::move(answer)]() mutable {
            if (m_guard.Refused(request.ClientAddress, nowMs())) {
                answer(refusedReply(403, kLockedOut));
                return;
            }
            const FormFields form(request.Body);
            if (IsTimerForm(form))
                handleTimerForm(request.ClientAddress, form, std::move(answer));
            else
                handleCommandForm(request.ClientAddress, form, std::move(answer));
        },
        Qt::QueuedConnection);
}

void RequestDispatcher::queuePageRequest(const std::string& address)
{
    // Stamped now, recorded on the core thread in the order the requests came.
    if (m_pageRequests.Add(address, m_formats.dateTime(m_clock.now())))
        QMetaObject::invokeMethod(m_coreContext, [this] { scheduleMemoDrain(); }, Qt::QueuedConnection);
}

void RequestDispatcher::scheduleMemoDrain()
{
    if (m_memoDrainActive)
        return; // the drain under way looks at the queue again when it ends
    m_memoDrainActive = true;
    // A lone request is recorded at once; under a flood the queue is taken every kMemoInterval.
    const auto due = m_lastDrain + kMemoInterval;
    const auto now = std::chrono::steady_clock::now();
    if (now >= due) {
        drainPageRequests();
        return;
    }
    QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(due - now), m_coreContext,
                       [this] { drainPageRequests(); });
}

void RequestDispatcher::drainPageRequests()
{
    if (m_memoNext == m_memoBacklog.Entries.size())
        m_memoBacklog = m_pageRequests.Take();
    // A slice per turn, so that a poll's hand-off queued meanwhile runs in between.
    const size_t end = std::min(m_memoNext + kMemoSlice, m_memoBacklog.Entries.size());
    const auto entries = m_memoBacklog.Entries.begin();
    m_commands.RecordPageRequests({std::make_move_iterator(entries + static_cast<std::ptrdiff_t>(m_memoNext)),
                                   std::make_move_iterator(entries + static_cast<std::ptrdiff_t>(end))});
    m_memoNext = end;
    if (m_memoNext < m_memoBacklog.Entries.size()) {
        QMetaObject::invokeMethod(m_coreContext, [this] { drainPageRequests(); }, Qt::QueuedConnection);
        return;
    }
    if (m_memoBacklog.Unlogged > 0)
        m_commands.NoteEvent(std::to_string(m_memoBacklog.Unlogged)
                             + " web page requests were not logged: too many client addresses at once.");
    m_memoBacklog = {};
    m_memoNext = 0;
    m_lastDrain = std::chrono::steady_clock::now();
    m_memoDrainActive = false;
    if (!m_pageRequests.Empty())
        scheduleMemoDrain();
}

WebRequestCounts RequestDispatcher::requestCounts() const
{
    WebRequestCounts counts{};
    for (std::size_t kind = 0; kind < counts.size(); ++kind)
        counts[kind] = m_requestCounts[kind].load();
    return counts;
}

PasswordGuard::Millis RequestDispatcher::nowMs() const
{
    return PasswordGuard::Millis(m_clock.now().toMSecsSinceEpoch());
}

RequestDispatcher::Verdict RequestDispatcher::authorise(const std::string& address, const FormFields& form,
                                                        const char* field)
{
    if (m_password.empty())
        return IsLocalNetworkAddress(address) ? Verdict::Authorised : Verdict::NeedsPassword;
    // One password per request: a form carrying the field twice is a wrong password.
    if (form.Count(field) == 1 && ConstantTimeEquals(*form.First(field), m_password)) {
        m_guard.Succeeded(address);
        return Verdict::Authorised;
    }
    if (m_guard.Failed(address, nowMs()))
        m_commands.NoteEvent("Web forms from " + address + " are refused for a minute after "
                             + std::to_string(PasswordGuard::kAllowedFailures) + " wrong passwords.");
    return Verdict::WrongPassword;
}

void RequestDispatcher::handleTimerForm(const std::string& address, const FormFields& form, HttpRespond respond)
{
    const Verdict verdict = authorise(address, form, "T2");
    auto reply = [this, verdict, respond = std::move(respond)](bool invalidTime) {
        std::string after = invalidTime ? MessageParagraph(kTimeFormatError) : std::string();
        if (verdict == Verdict::NeedsPassword)
            after += MessageParagraph(kNeedsPassword);
        respond(pageReply(m_pages.TimerPageText(), std::move(after)));
    };
    if (verdict != Verdict::Authorised) {
        reply(false);
        return;
    }
    m_commands.ApplyTimerForm(ReadTimerForm(form), address, m_coreContext, std::move(reply));
}

void RequestDispatcher::handleCommandForm(const std::string& address, const FormFields& form, HttpRespond respond)
{
    using Word = CommandFormPost::Word;
    const CommandFormPost post = ReadCommandForm(form);
    // A command word in T1 asks for a reply, not for the outputs, and is no password attempt.
    const Verdict verdict =
        post.Command == Word::None ? authorise(address, form, "T1") : Verdict::NotOffered;
    const bool showLog = post.Command == Word::Log && IsLocalNetworkAddress(address);
    auto answer = [this, post, verdict, respond = std::move(respond)](const std::vector<std::string>* memoLines) {
        HttpReply reply;
        if (memoLines != nullptr) {
            for (const std::string& line : *memoLines)
                reply.Body += "<p align=\"left\">" + EscapeHtml(line) + "</p>";
        } else if (post.Command != Word::Data) {
            reply.Page = m_pages.MainPageText();
            if (post.Command == Word::Log)
                reply.Body += MessageParagraph(kLogOnlyLocal);
            else if (verdict == Verdict::NeedsPassword)
                reply.Body += MessageParagraph(kNeedsPassword);
        }
        // No program is ever launched from the web.
        if (post.Command == Word::Exe)
            reply.Body += MessageParagraph("Command EXE NOT executed");
        respond(std::move(reply));
    };
    if (showLog) {
        m_commands.FetchMemoLines(m_coreContext, [answer = std::move(answer)](const std::vector<std::string>& lines) {
            answer(&lines);
        });
        return;
    }
    if (verdict != Verdict::Authorised) {
        answer(nullptr);
        return;
    }
    m_commands.SwitchOutputs(post.Requested, address);
    // The outputs settle before the page is sent; the core thread is not held.
    QTimer::singleShot(m_outputSettleTime, m_coreContext, [answer = std::move(answer)] { answer(nullptr); });
}

} // namespace quorvane
