// The request dispatcher: what a client's bytes on one connection make the core do.
//
// The first input byte picks the configured web password and the client's address; the rest
// is what the client sends, read request by request with Beast's parser under the server's
// limits (as the server does, stopping at a malformed request or one that says "close"). Each
// request goes to a dispatcher that is fresh for the input; the core thread's queued work runs
// right here, on this thread, so nothing waits on another thread or on real time.
//
// Invariants:
// - every request is answered exactly once: 200 for pages and forms, 405 for other methods,
//   403 only for forms from an address locked out after wrong passwords;
// - outputs and timers change only on a form post that carries the password (exactly, once,
//   in T1 or T2), or from the local network when no password is set;
// - the event log reaches local clients only, and only escaped.
#include "FuzzCheck.h"
#include "FuzzEnvironment.h"
#include "NullCoreCommands.h"

#include "core/LocaleFormats.h"
#include "core/ManualClock.h"
#include "web/RequestDispatcher.h"
#include "web/WebAccess.h"
#include "web/WebPages.h"

#include <QCoreApplication>

#include <boost/beast/http.hpp>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using namespace quorvane;
namespace http = boost::beast::http;

namespace {

constexpr std::array<const char*, 4> kPasswords = {"", "secret", "p w&=%+", ""};
constexpr std::array<const char*, 8> kAddresses = {
    "127.0.0.1", "192.168.1.20", "203.0.113.7", "::1", "fe80::1%eth0", "::ffff:10.1.2.3", "2001:db8::5", "172.32.0.1",
};
// A memo line that must never reach a remote client, nor any client unescaped.
constexpr const char* kMemoLine = "<b>memo</b> & line";

class FakeCore final : public testsupport::NullCoreCommands {
public:
    explicit FakeCore(std::string password) : m_password(std::move(password)) {}

    void ApplyTimerForm(const TimerFormPost& post, const std::string&, QObject* context,
                        std::function<void(bool)> done) override
    {
        ++Changes;
        bool error = false;
        for (const auto& times : post.Times)
            error = error || (times && !*times);
        answerLater(context, std::move(done), error);
    }
    void SwitchOutputs(const std::array<bool, 8>&, const std::string&) override { ++Changes; }
    void FetchMemoLines(QObject* context, std::function<void(const std::vector<std::string>&)> done) override
    {
        answerLater(context, std::move(done), std::vector<std::string>{kMemoLine});
    }
    [[nodiscard]] const std::string& WebPassword() const { return m_password; }

    int Changes = 0; // forms applied

private:
    std::string m_password;
};

// Whether the form body carries the password as the dispatcher must require it.
bool carriesPassword(const std::string& body, const std::string& password)
{
    const FormFields form(body);
    for (const char* field : {"T1", "T2"}) {
        if (form.Count(field) == 1 && *form.First(field) == password)
            return true;
    }
    return false;
}

// What came back for one request, shared with the reply callback, which may outlive the turn.
struct Outcome {
    int Replies = 0;
    HttpReply Last;
};

// Runs the core thread's queued work on this thread: the form's handling, then its reply (the
// command's answer, or the outputs' settling time of zero here: one more queued call).
void runQueuedWork()
{
    for (int round = 0; round < 4; ++round)
        QCoreApplication::sendPostedEvents();
}

struct Request {
    HttpRequest Request;
    bool KeepAlive = true;
};

// The next request the server would read from `bytes`, which it advances; nothing when the
// bytes end before a whole request or hold a malformed one (the server answers 400 and closes).
std::optional<Request> readRequest(std::string_view& bytes, const std::string& address)
{
    http::request_parser<http::string_body> parser;
    parser.header_limit(HttpServer::kHeaderLimit);
    parser.body_limit(HttpServer::kBodyLimit);
    while (!parser.is_done()) {
        boost::beast::error_code error;
        const size_t used = parser.put(boost::asio::const_buffer(bytes.data(), bytes.size()), error);
        bytes.remove_prefix(used);
        if (error == http::error::need_more && used > 0)
            continue;
        if (error || used == 0)
            return std::nullopt; // malformed, or the bytes ended before the request did
    }
    auto& message = parser.get();
    const std::string_view method(message.method_string().data(), message.method_string().size());
    const std::string_view target(message.target().data(), message.target().size());
    return Request{MakeHttpRequest(method, target, std::move(message.body()), address), message.keep_alive()};
}

void checkReply(const HttpRequest& request, const HttpReply& reply, const FakeCore& core, int changesBefore)
{
    const bool form = request.Method == "POST";
    const bool page = request.Method == "GET" || request.Method == "HEAD";
    FUZZ_CHECK(reply.Status == (page || form ? 200 : 405) || (form && reply.Status == 403));

    if (core.Changes != changesBefore) {
        FUZZ_CHECK(form && reply.Status == 200);
        const std::string password = core.WebPassword();
        FUZZ_CHECK(password.empty() ? IsLocalNetworkAddress(request.ClientAddress)
                                    : carriesPassword(request.Body, password));
    }

    // The page is a published text that holds no memo line; whatever comes from the memo
    // is in the body after it.
    FUZZ_CHECK(reply.Body.find(kMemoLine) == std::string::npos);
    if (reply.Body.find("memo&lt;/b&gt; &amp; line") != std::string::npos)
        FUZZ_CHECK(IsLocalNetworkAddress(request.ClientAddress));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    quorvane::fuzz::StartQtCore(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    static const WebPages pages;
    static const LocaleFormats formats("C");
    if (size == 0)
        return 0;

    const std::uint8_t choice = data[0];
    const std::string address = kAddresses[(choice >> 2) % kAddresses.size()];
    FakeCore core(kPasswords[choice % kPasswords.size()]);
    ManualClock clock(QDateTime(QDate(2026, 6, 1), QTime(12, 0, 0)));
    auto coreContext = std::make_unique<QObject>();
    auto dispatcher = std::make_unique<RequestDispatcher>(core, pages, clock, formats, coreContext.get(),
                                                          std::chrono::milliseconds(0));
    dispatcher->SetPassword(core.WebPassword());

    std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    while (auto next = readRequest(bytes, address)) {
        const int changesBefore = core.Changes;
        const auto outcome = std::make_shared<Outcome>();
        dispatcher->Handle(next->Request, [outcome](HttpReply reply) {
            ++outcome->Replies;
            outcome->Last = std::move(reply);
        });
        runQueuedWork();
        FUZZ_CHECK(outcome->Replies == 1);
        checkReply(next->Request, outcome->Last, core, changesBefore);
        if (!next->KeepAlive)
            break;
        clock.advance(std::chrono::seconds(7)); // a lockout refuses the next eight requests
    }

    // The dispatcher goes first; deleting its context drops whatever it still had queued.
    dispatcher.reset();
    coreContext.reset();
    // Timers a page request left (the memo's pacing) fire into nothing and are deleted.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
