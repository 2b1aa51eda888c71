// The web layer's form decoding, field extraction and the small parsers beside it.
//
// The input is used twice: as a posted form body, and as a list of fields (one per line, the
// name before the first TAB, the value after it) that is encoded into a body and read back.
//
// Invariants:
// - decoding never makes a text longer, and decodes what an encoder made back to the original;
// - a body built from fields gives each name's count and first value back;
// - a timer time is taken exactly when it is hh.mm.ss (one-digit hours and minutes allowed,
//   trailing blanks ignored) and a real time of day; a command word only from one T1 field;
// - the address check ignores a zone and treats an IPv4-mapped IPv6 address as the IPv4 one;
// - the password comparison is plain equality; HTML escaping leaves no tag and undoes cleanly.
#include "FuzzCheck.h"

#include "web/WebAccess.h"
#include "web/WebForms.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace quorvane;

namespace {

// Percent-encodes every byte but letters, digits and "-._*", a blank as "+"; the hex digits in
// upper or lower case, as browsers and hand-made clients differ there.
std::string encodeForm(std::string_view text, bool upperHex)
{
    const char* digits = upperHex ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '*') {
            encoded += c;
        } else if (c == ' ') {
            encoded += '+';
        } else {
            encoded += '%';
            encoded += digits[byte >> 4];
            encoded += digits[byte & 0x0F];
        }
    }
    return encoded;
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const size_t end = text.find(separator);
        parts.push_back(text.substr(0, end));
        if (end == std::string_view::npos)
            return parts;
        text.remove_prefix(end + 1);
    }
}

bool allDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// What a timer field must read as, written independently of the form reader.
std::optional<QTime> expectedTime(std::optional<std::string> text)
{
    if (!text)
        return std::nullopt;
    std::string_view value = *text;
    while (value.ends_with(' '))
        value.remove_suffix(1);
    const auto parts = split(value, '.');
    if (parts.size() != 3 || parts[0].empty() || parts[0].size() > 2 || parts[1].empty() || parts[1].size() > 2
        || parts[2].size() != 2 || !allDigits(parts[0]) || !allDigits(parts[1]) || !allDigits(parts[2]))
        return std::nullopt;
    const QTime time(std::stoi(std::string(parts[0])), std::stoi(std::string(parts[1])),
                     std::stoi(std::string(parts[2])));
    return time.isValid() ? std::optional(time) : std::nullopt;
}

void checkDecoding(std::string_view text)
{
    FUZZ_CHECK(DecodeFormText(text).size() <= text.size());
    FUZZ_CHECK(DecodeFormText(encodeForm(text, true)) == text);
    FUZZ_CHECK(DecodeFormText(encodeForm(text, false)) == text);
}

void checkFieldsRoundTrip(std::string_view input)
{
    std::vector<std::pair<std::string, std::string>> fields;
    for (const std::string_view line : split(input, '\n')) {
        const size_t tab = line.find('\t');
        // An empty field (name and value both empty) is never sent, so it is not posted here.
        if (line.empty())
            continue;
        fields.emplace_back(line.substr(0, tab), tab == std::string_view::npos ? "" : line.substr(tab + 1));
    }
    std::string body;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            body += '&';
        body += encodeForm(fields[i].first, i % 2 == 0) + "=" + encodeForm(fields[i].second, i % 2 != 0);
    }
    const FormFields form(body);
    std::map<std::string, std::pair<size_t, std::string>> expected; // count, first value
    for (const auto& [name, value] : fields) {
        auto [entry, added] = expected.try_emplace(name, 0, value);
        ++entry->second.first;
    }
    for (const auto& [name, countAndFirst] : expected) {
        FUZZ_CHECK(form.Count(name) == countAndFirst.first);
        FUZZ_CHECK(form.First(name) == countAndFirst.second);
    }
}

void checkForms(std::string_view body)
{
    static constexpr std::array<std::pair<const char*, const char*>, 4> kTimeFields = {
        {{"TAON", "TAOFF"}, {"TBON", "TBOFF"}, {"TCON", "TCOFF"}, {"TDON", "TDOFF"}}};
    const FormFields form(body);

    FUZZ_CHECK(IsTimerForm(form) == form.First("TAON").has_value());
    const TimerFormPost timers = ReadTimerForm(form);
    for (size_t timer = 0; timer < kTimeFields.size(); ++timer) {
        const auto onText = form.First(kTimeFields[timer].first);
        const auto offText = form.First(kTimeFields[timer].second);
        const auto& times = timers.Times[timer];
        FUZZ_CHECK(times.has_value() == (onText || offText));
        if (!times)
            continue;
        const auto on = expectedTime(onText);
        const auto off = expectedTime(offText);
        FUZZ_CHECK(times->has_value() == (on && off));
        if (*times)
            FUZZ_CHECK((*times)->first == *on && (*times)->second == *off);
    }

    const CommandFormPost command = ReadCommandForm(form);
    const auto word = form.Count("T1") == 1 ? form.First("T1") : std::nullopt;
    using Word = CommandFormPost::Word;
    const Word expectedWord = word == "log" ? Word::Log : word == "data" ? Word::Data : word == "exe" ? Word::Exe : Word::None;
    FUZZ_CHECK(command.Command == expectedWord);
}

void checkAddress(std::string_view text)
{
    if (text.find('%') != std::string_view::npos || text.find('\0') != std::string_view::npos)
        return;
    const bool local = IsLocalNetworkAddress(text);
    FUZZ_CHECK(IsLocalNetworkAddress(std::string(text) + "%eth0") == local);
    std::array<std::uint8_t, 4> v4{};
    if (::inet_pton(AF_INET, std::string(text).c_str(), v4.data()) == 1)
        FUZZ_CHECK(IsLocalNetworkAddress("::ffff:" + std::string(text)) == local);
}

void checkPasswordAndEscaping(std::string_view input)
{
    const size_t middle = input.size() / 2;
    const std::string_view given = input.substr(0, middle);
    const std::string_view secret = input.substr(middle);
    FUZZ_CHECK(ConstantTimeEquals(given, secret) == (given == secret));
    FUZZ_CHECK(ConstantTimeEquals(secret, secret));

    const std::string escaped = EscapeHtml(std::string(input));
    FUZZ_CHECK(escaped.find('<') == std::string::npos && escaped.find('>') == std::string::npos);
    static constexpr std::array<std::pair<std::string_view, char>, 3> kEntities = {
        {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}}};
    std::string unescaped;
    for (size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '&') {
            unescaped += escaped[i];
            continue;
        }
        const std::string_view rest = std::string_view(escaped).substr(i);
        const auto entity = std::find_if(kEntities.begin(), kEntities.end(),
                                         [&](const auto& known) { return rest.starts_with(known.first); });
        FUZZ_CHECK(entity != kEntities.end());
        unescaped += entity->second;
        i += entity->first.size() - 1;
    }
    FUZZ_CHECK(unescaped == input);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    checkDecoding(input);
    checkFieldsRoundTrip(input);
    checkForms(input);
    checkAddress(input);
    checkPasswordAndEscaping(input);
    return 0;
}
