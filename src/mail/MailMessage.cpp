#include "mail/MailMessage.h"

#include <QByteArray>
#include <QRandomGenerator>

namespace quorvane {

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr int kBase64LineLength = 76;

bool isAscii(const std::string& text)
{
    for (const unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

// A header value in ASCII, or as an RFC 2047 encoded word when it is not.
std::string headerText(const std::string& text)
{
    if (isAscii(text))
        return text;
    return "=?UTF-8?B?" + QByteArray::fromStdString(text).toBase64().toStdString() + "?=";
}

std::string base64Lines(const std::string& bytes)
{
    const QByteArray encoded = QByteArray::fromStdString(bytes).toBase64();
    std::string lines;
    for (qsizetype start = 0; start < encoded.size(); start += kBase64LineLength) {
        lines += encoded.mid(start, kBase64LineLength).toStdString();
        lines += kCrLf;
    }
    return lines;
}

// A file name inside a quoted MIME parameter: no quotes, backslashes or line breaks.
std::string quotedName(const std::string& name)
{
    std::string safe;
    for (const char c : name)
        safe += (c == '"' || c == '\\' || c == '\r' || c == '\n') ? '_' : c;
    return safe;
}

std::string messageId(const std::string& address, const QDateTime& date)
{
    const std::string domain = DomainOf(address);
    return "<" + std::to_string(date.toMSecsSinceEpoch()) + "."
           + std::to_string(QRandomGenerator::global()->generate64()) + "@"
           + (domain.empty() ? std::string("quorvane.invalid") : domain) + ">";
}

} // namespace

std::string DomainOf(const std::string& address)
{
    const auto at = address.rfind('@');
    return at == std::string::npos ? std::string() : address.substr(at + 1);
}

std::string BuildMailMessage(const std::string& address, const std::string& subject, const std::string& body,
                             const std::optional<MailAttachment>& attachment, const QDateTime& date)
{
    std::string message;
    auto header = [&message](const std::string& name, const std::string& value) {
        message += name + ": " + value + kCrLf;
    };
    header("From", address);
    header("To", address);
    header("Subject", headerText(subject));
    header("Date", date.toString(Qt::RFC2822Date).toStdString());
    header("Message-ID", messageId(address, date));
    header("MIME-Version", "1.0");

    const std::string textPart = std::string("Content-Type: text/plain; charset=UTF-8") + kCrLf
                                 + "Content-Transfer-Encoding: base64" + kCrLf + kCrLf + base64Lines(body + kCrLf);
    if (!attachment) {
        message += textPart;
        return message;
    }
    const std::string boundary = "quorvane-" + std::to_string(QRandomGenerator::global()->generate64());
    header("Content-Type", "multipart/mixed; boundary=\"" + boundary + "\"");
    message += kCrLf;
    message += "--" + boundary + kCrLf + textPart;
    message += "--" + boundary + kCrLf;
    const std::string name = quotedName(attachment->FileName);
    message += "Content-Type: application/octet-stream; name=\"" + name + "\"" + kCrLf;
    message += "Content-Transfer-Encoding: base64" + std::string(kCrLf);
    message += "Content-Disposition: attachment; filename=\"" + name + "\"" + kCrLf + kCrLf;
    message += base64Lines(attachment->Bytes);
    message += "--" + boundary + "--" + kCrLf;
    return message;
}

} // namespace quorvane
