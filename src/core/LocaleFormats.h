#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <locale.h>

#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

// Every date and time text the system shows or writes: the short date and the long time of
// the user's LC_TIME locale, as a person reading the logs and the memo expects them.
// The locale is held as its own handle (never the process-wide one), so tests can pin it and
// several threads may format at once.
class LocaleFormats {
public:
    // An empty name takes the user's LC_TIME setting from the environment; a name that does
    // not exist falls back to the "C" locale.
    explicit LocaleFormats(const std::string& localeName = {});
    ~LocaleFormats();
    LocaleFormats(const LocaleFormats&) = delete;
    LocaleFormats& operator=(const LocaleFormats&) = delete;

    [[nodiscard]] std::string shortDate(const QDate& date) const;
    [[nodiscard]] std::string longTime(const QTime& time) const;
    // Short date, one space, long time.
    [[nodiscard]] std::string dateTime(const QDateTime& when) const;

    [[nodiscard]] std::optional<QDate> parseShortDate(std::string_view text) const;
    [[nodiscard]] std::optional<QTime> parseLongTime(std::string_view text) const;

    [[nodiscard]] const std::string& shortDatePattern() const { return m_datePattern; }
    [[nodiscard]] const std::string& longTimePattern() const { return m_timePattern; }

private:
    [[nodiscard]] std::string format(const std::string& pattern, const struct tm& fields) const;
    [[nodiscard]] bool parse(std::string_view text, const std::string& pattern, struct tm& fields) const;

    locale_t m_locale = nullptr;
    std::string m_datePattern;
    std::string m_timePattern;
};

} // namespace quorvane
