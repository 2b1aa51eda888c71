#include "core/LocaleFormats.h"

#include <langinfo.h>
#include <time.h>

#include <array>
#include <cstdlib>

namespace quorvane {

namespace {

locale_t openTimeLocale(const std::string& name)
{
    std::string wanted = name;
    if (wanted.empty()) {
        // The same precedence the C library gives the environment.
        for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
            const char* value = std::getenv(variable);
            if (value != nullptr && *value != '\0') {
                wanted = value;
                break;
            }
        }
    }
    locale_t handle = wanted.empty() ? nullptr : newlocale(LC_TIME_MASK, wanted.c_str(), nullptr);
    if (handle == nullptr)
        handle = newlocale(LC_TIME_MASK, "C", nullptr);
    return handle;
}

} // namespace

LocaleFormats::LocaleFormats(const std::string& localeName)
    : m_locale(openTimeLocale(localeName))
    , m_datePattern(nl_langinfo_l(D_FMT, m_locale))
    , m_timePattern(nl_langinfo_l(T_FMT, m_locale))
{
}

LocaleFormats::~LocaleFormats()
{
    if (m_locale != nullptr)
        freelocale(m_locale);
}

std::string LocaleFormats::format(const std::string& pattern, const struct tm& fields) const
{
    std::array<char, 128> buffer{};
    const size_t length = strftime_l(buffer.data(), buffer.size(), pattern.c_str(), &fields, m_locale);
    return {buffer.data(), length};
}

bool LocaleFormats::parse(std::string_view text, const std::string& pattern, struct tm& fields) const
{
    const std::string copy(text);
    const char* end = strptime_l(copy.c_str(), pattern.c_str(), &fields, m_locale);
    if (end == nullptr)
        return false;
    while (*end == ' ')
        ++end;
    return *end == '\0';
}

std::string LocaleFormats::shortDate(const QDate& date) const
{
    struct tm fields{};
    fields.tm_year = date.year() - 1900;
    fields.tm_mon = date.month() - 1;
    fields.tm_mday = date.day();
    fields.tm_wday = date.dayOfWeek() % 7;
    fields.tm_yday = date.dayOfYear() - 1;
    return format(m_datePattern, fields);
}

std::string LocaleFormats::longTime(const QTime& time) const
{
    struct tm fields{};
    fields.tm_hour = time.hour();
    fields.tm_min = time.minute();
    fields.tm_sec = time.second();
    fields.tm_mday = 1;
    return format(m_timePattern, fields);
}

std::string LocaleFormats::dateTime(const QDateTime& when) const
{
    return shortDate(when.date()) + ' ' + longTime(when.time());
}

std::optional<QDate> LocaleFormats::parseShortDate(std::string_view text) const
{
    struct tm fields{};
    fields.tm_mday = 1;
    if (!parse(text, m_datePattern, fields))
        return std::nullopt;
    const QDate date(fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

std::optional<QTime> LocaleFormats::parseLongTime(std::string_view text) const
{
    struct tm fields{};
    if (!parse(text, m_timePattern, fields))
        return std::nullopt;
    const QTime time(fields.tm_hour, fields.tm_min, fields.tm_sec);
    return time.isValid() ? std::optional(time) : std::nullopt;
}

} // namespace quorvane
