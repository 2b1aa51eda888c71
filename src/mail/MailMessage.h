#pragma once

#include <QDateTime>

#include <optional>
#include <string>

namespace quorvane {

struct MailAttachment {
    std::string FileName; // as the mail shows it, without folders
    std::string Bytes;    // the file's content when the mail was asked for
};

// A notice as an Internet message (CR LF lines): From, To, Subject, Date, Message-ID, the
// one-line body as UTF-8 text and, when there is one, the attachment as a standard MIME
// attachment (base64, its file name kept) so every mail client shows it as a file.
[[nodiscard]] std::string BuildMailMessage(const std::string& address, const std::string& subject,
                                           const std::string& body, const std::optional<MailAttachment>& attachment,
                                           const QDateTime& date);

// The domain part of an address ("home.example" for "me@home.example"), empty without one.
[[nodiscard]] std::string DomainOf(const std::string& address);

} // namespace quorvane
