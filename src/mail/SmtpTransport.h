#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace quorvane {

// Every network wait of a mail is bounded.
inline constexpr std::chrono::seconds kMailConnectTimeout{15};
inline constexpr std::chrono::seconds kMailTotalTimeout{120};
inline constexpr std::uint16_t kImplicitTlsPort = 465;

struct SmtpRequest {
    std::string Host;       // name or address
    std::uint16_t Port = 25;
    std::string Login;      // empty: no login
    std::string Password;
    std::string Sender;
    std::string Recipient;
    std::string Message;    // the whole message, CR LF lines
    // Certificates are checked on the way to a configured server; direct delivery to a mail
    // exchanger encrypts when it can without checking, as mail servers do among themselves.
    bool VerifyCertificates = true;
};

enum class SmtpOutcome {
    Sent,
    ConnectFailed,    // no server reached, no greeting, or the encryption failed
    RecipientRefused, // the server would not take the recipient
    SendFailed,       // the server was reached but the message did not go through
};

[[nodiscard]] const char* toString(SmtpOutcome outcome);

// One SMTP exchange on libcurl: STARTTLS when the server offers it, implicit TLS on port 465,
// plain otherwise; login only when asked for. Blocks up to the time-outs above.
[[nodiscard]] SmtpOutcome SendSmtp(const SmtpRequest& request);

} // namespace quorvane
