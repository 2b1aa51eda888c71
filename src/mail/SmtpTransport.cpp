#include "mail/SmtpTransport.h"

#include "mail/CurlLibrary.h"

#include <algorithm>
#include <cstring>

namespace quorvane {

namespace {

struct Upload {
    const std::string& message;
    size_t sent = 0;
};

size_t readMessage(char* buffer, size_t size, size_t count, void* userData)
{
    auto& upload = *static_cast<Upload*>(userData);
    const size_t chunk = std::min(size * count, upload.message.size() - upload.sent);
    std::memcpy(buffer, upload.message.data() + upload.sent, chunk);
    upload.sent += chunk;
    return chunk;
}

// Follows the dialogue so a refusal can be told apart: the last command sent.
struct Dialogue {
    std::string lastCommand;
};

int watchDialogue(CURL*, curl_infotype type, char* data, size_t size, void* userData)
{
    if (type == CURLINFO_HEADER_OUT) {
        auto& dialogue = *static_cast<Dialogue*>(userData);
        const std::string line(data, size);
        const std::string command = line.substr(0, line.find_first_of(" \r\n"));
        if (command != "QUIT") // sent after a refusal too; the command refused came before
            dialogue.lastCommand = command;
    }
    return 0;
}

std::string bracketed(const std::string& address)
{
    return "<" + address + ">";
}

} // namespace

const char* toString(SmtpOutcome outcome)
{
    switch (outcome) {
    case SmtpOutcome::Sent: return "sent";
    case SmtpOutcome::ConnectFailed: return "no connection";
    case SmtpOutcome::RecipientRefused: return "recipient refused";
    case SmtpOutcome::SendFailed: return "not sent";
    }
    return "unknown";
}

SmtpOutcome SendSmtp(const SmtpRequest& request)
{
    const CurlFunctions* library = Curl();
    if (library == nullptr)
        return SmtpOutcome::ConnectFailed; // never reached a server: no library to reach one with
    const CurlFunctions& lib = *library;
    CURL* curl = lib.EasyInit();
    if (curl == nullptr)
        return SmtpOutcome::ConnectFailed;

    const bool implicitTls = request.Port == kImplicitTlsPort;
    const std::string host = request.Host.find(':') != std::string::npos ? "[" + request.Host + "]" : request.Host;
    const std::string url = std::string(implicitTls ? "smtps://" : "smtp://") + host + ":" + std::to_string(request.Port);
    Upload upload{request.Message};
    Dialogue dialogue;
    curl_slist* recipients = lib.SlistAppend(nullptr, bracketed(request.Recipient).c_str());

    lib.EasySetopt(curl, CURLOPT_URL, url.c_str());
    lib.EasySetopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    lib.EasySetopt(curl, CURLOPT_SSL_VERIFYPEER, request.VerifyCertificates ? 1L : 0L);
    lib.EasySetopt(curl, CURLOPT_SSL_VERIFYHOST, request.VerifyCertificates ? 2L : 0L);
    if (!request.Login.empty()) {
        lib.EasySetopt(curl, CURLOPT_USERNAME, request.Login.c_str());
        lib.EasySetopt(curl, CURLOPT_PASSWORD, request.Password.c_str());
    }
    lib.EasySetopt(curl, CURLOPT_MAIL_FROM, bracketed(request.Sender).c_str());
    lib.EasySetopt(curl, CURLOPT_MAIL_RCPT, recipients);
    lib.EasySetopt(curl, CURLOPT_READFUNCTION, readMessage);
    lib.EasySetopt(curl, CURLOPT_READDATA, &upload);
    lib.EasySetopt(curl, CURLOPT_UPLOAD, 1L);
    lib.EasySetopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(request.Message.size()));
    lib.EasySetopt(curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(kMailConnectTimeout.count()));
    lib.EasySetopt(curl, CURLOPT_TIMEOUT, static_cast<long>(kMailTotalTimeout.count()));
    lib.EasySetopt(curl, CURLOPT_NOSIGNAL, 1L);
    lib.EasySetopt(curl, CURLOPT_DEBUGFUNCTION, watchDialogue);
    lib.EasySetopt(curl, CURLOPT_DEBUGDATA, &dialogue);
    lib.EasySetopt(curl, CURLOPT_VERBOSE, 1L); // feeds the dialogue watcher, prints nothing

    const CURLcode code = lib.EasyPerform(curl);
    curl_off_t connectedAfter = 0;
    lib.EasyGetinfo(curl, CURLINFO_CONNECT_TIME_T, &connectedAfter);
    lib.SlistFreeAll(recipients);
    lib.EasyCleanup(curl);

    if (code == CURLE_OK)
        return SmtpOutcome::Sent;
    // Where the dialogue stopped tells the failures apart: before the envelope the server was
    // never really reached; after it, the server turned the mail down.
    const std::string& last = dialogue.lastCommand;
    const bool pastGreeting = !last.empty() && last != "EHLO" && last != "HELO" && last != "STARTTLS";
    if (!pastGreeting || (code == CURLE_OPERATION_TIMEDOUT && connectedAfter == 0))
        return SmtpOutcome::ConnectFailed;
    if (last == "RCPT")
        return SmtpOutcome::RecipientRefused;
    return SmtpOutcome::SendFailed;
}

} // namespace quorvane
