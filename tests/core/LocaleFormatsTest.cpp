#include "core/LocaleFormats.h"

#include <gtest/gtest.h>

using namespace quorvane;

namespace {

bool localeInstalled(const char* name)
{
    locale_t handle = newlocale(LC_TIME_MASK, name, nullptr);
    if (handle == nullptr)
        return false;
    freelocale(handle);
    return true;
}

} // namespace

TEST(LocaleFormats, ShortDateAndLongTimeOfThePinnedLocale)
{
    const QDate date(2015, 3, 21);
    const QTime time(14, 5, 9);
    const struct {
        const char* locale;
        const char* date;
        const char* time;
    } cases[] = {
        {"C", "03/21/15", "14:05:09"},
        {"de_DE.UTF-8", "21.03.2015", "14:05:09"},
        {"en_GB.UTF-8", "21/03/15", "14:05:09"},
        {"en_US.UTF-8", "03/21/2015", "02:05:09 PM"},
    };
    for (const auto& c : cases) {
        if (!localeInstalled(c.locale)) {
            ADD_FAILURE() << c.locale << " is not installed (scripts/setup generates it)";
            continue;
        }
        const LocaleFormats formats(c.locale);
        EXPECT_EQ(formats.shortDate(date), c.date) << c.locale;
        EXPECT_EQ(formats.longTime(time), c.time) << c.locale;
        EXPECT_EQ(formats.dateTime(QDateTime(date, time)), std::string(c.date) + ' ' + c.time) << c.locale;
        EXPECT_EQ(formats.parseShortDate(c.date), date) << c.locale;
        EXPECT_EQ(formats.parseLongTime(c.time), time) << c.locale;
    }
}

TEST(LocaleFormats, RejectsTextsThatAreNotItsFormat)
{
    const LocaleFormats formats("C");
    for (const char* text : {"", "21.03.2015", "03/21/15 x", "13/45/15"})
        EXPECT_FALSE(formats.parseShortDate(text).has_value()) << text;
    for (const char* text : {"", "14-05-09", "25:00:00"})
        EXPECT_FALSE(formats.parseLongTime(text).has_value()) << text;
}

TEST(LocaleFormats, AnUnknownLocaleFallsBackToC)
{
    const LocaleFormats formats("xx_NOWHERE.UTF-8");
    EXPECT_EQ(formats.shortDatePattern(), "%m/%d/%y");
    EXPECT_EQ(formats.longTimePattern(), "%H:%M:%S");
}
