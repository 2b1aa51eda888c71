#include "FakeUserNotifier.h"
#include "MemoMessages.h"
#include "config/Settings.h"
#include "core/AtomicFile.h"
#include "core/ComputedValues.h"
#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "core/ManualClock.h"
#include "core/MemoNotifier.h"
#include "records/LogBook.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

using namespace quorvane;

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::string& path, const std::string& content)
{
    QDir().mkpath(QFileInfo(QString::fromStdString(path)).path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string golden(const char* name)
{
    return readAll(std::string(QUORVANE_RECORDS_GOLDEN_DIR) + "/" + name);
}

class LogBookTest : public ::testing::Test {
protected:
    void SetUp() override { book.StartUp(today); }

    VAR basicRow(int minute) const
    {
        VAR row{"07:0" + std::to_string(minute) + ":00", "03/05/15",
                {std::to_string(229 + minute) + ".0", "50.0", "103.8", "14", "57.50[57.45]", "100", "12", "0", "49.9",
                 "230.0", "161", "119", "3", "69", "460"}};
        return row;
    }
    VAR_COMP computedRow(int minute) const
    {
        return {"07:0" + std::to_string(minute) + ":00", "03/05/15",
                {FormatFixed(0.125 * minute), "500.000", "0.000", "0.000", FormatFixed(1234.375 + 0.125 * minute), "98.765"}};
    }
    static std::string FormatFixed(double value)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%.3f", value);
        return text;
    }
    [[nodiscard]] std::vector<std::string> memoMessages() const { return fakes::MessagesOf(memo.Lines()); }

    QTemporaryDir folder;
    std::string base = folder.path().toStdString();
    QDate today{2015, 3, 5};
    ManualClock clock{QDateTime(today, QTime(7, 0, 0))};
    LocaleFormats formats{"C"};
    EventMemo memo{clock, formats};
    TDati settings{today};
    ComputedValues values;
    fakes::FakeUserNotifier person;
    MemoNotifier notices{person, memo}; // as the core gives it: every notice also in the memo
    LogBook book{base, settings, values, memo, formats, notices};
};

} // namespace

TEST_F(LogBookTest, DayListsWriteExactlyTheirRows)
{
    for (int minute = 1; minute <= 3; ++minute) {
        book.BasicList().AddRow(basicRow(minute));
        book.ComputedList().AddRow(computedRow(minute));
    }
    book.WriteBasicLog(today);
    book.WriteComputedLog(today);
    EXPECT_EQ(readAll(book.Tree().BasicLogPath()), golden("BasicLog_three-rows.csv"));
    EXPECT_EQ(readAll(book.Tree().ComputedLogPath()), golden("ComputedLog_three-rows.csv"));

    book.BasicList().ClearRows();
    book.WriteBasicLog(today);
    EXPECT_EQ(readAll(book.Tree().BasicLogPath()), "");
    EXPECT_TRUE(person.warnings.empty());
}

TEST_F(LogBookTest, EnergyRowAndTotalsLine)
{
    values = {12.3456, 777, 3.5, 2.75, 1234.5678, 98};
    book.AppendEnergyRow(today);
    EXPECT_EQ(readAll(book.Tree().EnergyLogPath()), golden("EnergyLog_row.csv"));

    writeFile(book.Tree().TotalsPath(), "01/02/14,01/02/14,1.000,2.000\r\n");
    ASSERT_TRUE(book.LoadTotals(today));
    values.Aux5 = 1234.5678;
    values.Aux6 = 98;
    book.SaveTotals(today);
    EXPECT_EQ(readAll(book.Tree().TotalsPath()), golden("EnergyTotalSolar.csv"));
}

TEST_F(LogBookTest, WithoutATotalsFileTotalsStartTodayAtZero)
{
    EXPECT_FALSE(book.LoadTotals(today));
    EXPECT_EQ(book.TotalsStartDate(), "03/05/15");
    EXPECT_EQ(book.ComputedHeading(), "Computed values ( [A] and [B] from 03/05/15 )");
    EXPECT_EQ(values.Aux5, 0.0);
    book.SaveTotals(today.addDays(1));
    EXPECT_EQ(readAll(book.Tree().TotalsPath()), "03/06/15,03/06/15,0.000,0.000\r\n");
}

TEST_F(LogBookTest, TotalsReload)
{
    const struct {
        const char* name;
        std::string file;
        bool loaded;
        const char* start;
        double aux5, aux6;
        bool warned;
    } cases[] = {
        {"the last line wins", "01/01/14,02/01/14,1.000,2.000\r\n01/02/14,03/04/15,10.500,20.250\r\n", true, "01/02/14",
         10.5, 20.25, false},
        {"a line without its end", "01/02/14,03/04/15,10.500,20.250", true, "01/02/14", 10.5, 20.25, false},
        {"a field that is no number", "01/02/14,03/04/15,ten,20.250\r\n", false, "01/02/14", 0, 0, true},
        {"an empty file", "", false, "", 0, 0, true},
    };
    for (const auto& c : cases) {
        values = {};
        person.warnings.clear();
        memo.Clear();
        writeFile(book.Tree().TotalsPath(), c.file);
        EXPECT_EQ(book.LoadTotals(today), c.loaded) << c.name;
        EXPECT_EQ(book.TotalsStartDate(), c.start) << c.name;
        EXPECT_EQ(values.Aux5, c.aux5) << c.name;
        EXPECT_EQ(values.Aux6, c.aux6) << c.name;
        const auto expected = c.warned ? std::vector<std::string>{"Error reading Total Energy Log."} : std::vector<std::string>{};
        EXPECT_EQ(person.warnings, expected) << c.name;
        EXPECT_EQ(memoMessages(), expected) << c.name;
    }
}

TEST_F(LogBookTest, TodaysEnergiesResumeFromTheLastEnergyRowOfToday)
{
    const struct {
        const char* name;
        std::string file;
        bool loaded;
        double aux1, aux3, aux4;
        bool warned;
    } cases[] = {
        {"last row today", "03/04/15,9.000,9.000,9.000,1.000,1.000\r\n03/05/15,1.500,2.500,3.500,4.000,5.000\r\n", true, 1.5,
         2.5, 3.5, false},
        {"two rows today: the last one", "03/05/15,1.000,1.000,1.000,1,1\r\n03/05/15,2.000,3.000,4.000,1,1\r\n", true, 2, 3, 4,
         false},
        {"last row yesterday", "03/04/15,1.500,2.500,3.500,4.000,5.000\r\n", true, 0, 0, 0, false},
        {"an unreadable date", "5 March,1.500,2.500,3.500,4.000,5.000\r\n", false, 0, 0, 0, true},
    };
    for (const auto& c : cases) {
        values = {};
        person.warnings.clear();
        writeFile(book.Tree().EnergyLogPath(), c.file);
        EXPECT_EQ(book.ReloadEnergyList(today), c.loaded) << c.name;
        EXPECT_EQ(values.Aux1, c.aux1) << c.name;
        EXPECT_EQ(values.Aux3, c.aux3) << c.name;
        EXPECT_EQ(values.Aux4, c.aux4) << c.name;
        EXPECT_EQ(person.warnings.size(), c.warned ? 1u : 0u) << c.name;
        if (c.loaded) {
            EXPECT_EQ(book.EnergyList().Caption(), "Month = 3 (updated at midnight)");
            EXPECT_EQ(book.EnergyList().ColumnNames().at(1), "Sol. Energy");
        }
    }
    EXPECT_EQ(person.warnings, std::vector<std::string>{"Error reading Energy log file."});
}

TEST_F(LogBookTest, WithoutAnEnergyLogTheListKeepsItsDesignCaption)
{
    EXPECT_FALSE(book.ReloadEnergyList(today));
    EXPECT_EQ(book.EnergyList().Caption(), "ListEnergy");
    EXPECT_TRUE(book.EnergyList().ColumnNames().empty());
}

TEST_F(LogBookTest, ADayFileOfSixteenHundredRowsShowsFifteenHundredAndKeepsThemAll)
{
    std::string file;
    for (int row = 0; row < 1600; ++row)
        file += std::to_string(row) + ",1,2,3,4,5,6\r\n";
    writeFile(book.Tree().ComputedLogPath(), file);
    ASSERT_TRUE(book.ReloadComputedList());
    EXPECT_EQ(book.ComputedList().LinesText(), "Lines = 1500");
    EXPECT_EQ(book.ComputedList().ColumnNames().at(1), "Solar Energy (24h)");
    book.ComputedList().AddRow(computedRow(1));
    book.WriteComputedLog(today);
    const std::string written = readAll(book.Tree().ComputedLogPath());
    EXPECT_EQ(written, file + "07:01:00,0.125,500.000,0.000,0.000,1234.500,98.765\r\n");
}

TEST_F(LogBookTest, SampledRowsAreOnDiskAsTheyComeAndTheRewriteMatches)
{
    for (int minute = 1; minute <= 3; ++minute) {
        book.BasicList().AddRow(basicRow(minute));
        book.ComputedList().AddRow(computedRow(minute));
        book.AppendSampledRows(today);
    }
    EXPECT_EQ(readAll(book.Tree().BasicLogPath()), golden("BasicLog_three-rows.csv"));
    EXPECT_EQ(readAll(book.Tree().ComputedLogPath()), golden("ComputedLog_three-rows.csv"));

    // After a power cut the next start reloads every sampled row.
    LogBook restarted{base, settings, values, memo, formats, person};
    restarted.StartUp(today);
    EXPECT_EQ(restarted.BasicList().RowCount(), 3u);
    restarted.WriteBasicLog(today);
    EXPECT_EQ(readAll(book.Tree().BasicLogPath()), golden("BasicLog_three-rows.csv"));

    settings.LogComputed = false;
    book.ComputedList().AddRow(computedRow(4));
    book.AppendSampledRows(today);
    EXPECT_EQ(readAll(book.Tree().ComputedLogPath()), golden("ComputedLog_three-rows.csv"));
}

TEST_F(LogBookTest, ALogSwitchedOffOverADayChangeNeverOverwritesAnEarlierDay)
{
    book.BasicList().AddRow(basicRow(1));
    book.WriteBasicLog(today);
    const std::string earlierDay = book.Tree().BasicLogPath();
    const std::string earlierContent = readAll(earlierDay);

    // The log was off at midnight: neither written nor rolled. Switched on the next day,
    // its rows go to that day's file.
    book.BasicList().AddRow(basicRow(2));
    book.WriteBasicLog(today.addDays(1));
    EXPECT_EQ(readAll(earlierDay), earlierContent);
    EXPECT_NE(book.Tree().BasicLogPath(), earlierDay);
    EXPECT_NE(book.Tree().BasicLogPath().find("BasicLog_6-3-2015.csv"), std::string::npos);
}

TEST_F(LogBookTest, AFailedRewriteLeavesTheOldFileAndIsReported)
{
    book.BasicList().AddRow(basicRow(1));
    book.WriteBasicLog(today);
    const std::string before = readAll(book.Tree().BasicLogPath());
    ASSERT_EQ(::mkdir((book.Tree().BasicLogPath() + ".tmp").c_str(), 0755), 0); // stops root too
    book.BasicList().AddRow(basicRow(2));
    book.WriteBasicLog(today);
    EXPECT_EQ(readAll(book.Tree().BasicLogPath()), before);
    ASSERT_EQ(memoMessages().size(), 1u);
    EXPECT_NE(memoMessages()[0].find(book.Tree().BasicLogPath()), std::string::npos);
    EXPECT_TRUE(memoMessages()[0].starts_with("Error writing "));

    ASSERT_TRUE(QDir(QString::fromStdString(book.Tree().EnergyLogPath())).mkpath("."));
    book.AppendEnergyRow(today); // the energy log's path is a folder now
    EXPECT_EQ(person.warnings, std::vector<std::string>{"Error writing Energy Log."});
}

TEST_F(LogBookTest, ACrashBetweenTheTemporaryFileAndTheRenameKeepsTheOldTotals)
{
    values.Aux5 = 100;
    book.SaveTotals(today);
    const std::string before = readAll(book.Tree().TotalsPath());

    SetBeforeRenameHookForTests([](const std::string&) { return false; });
    values.Aux5 = 200;
    book.SaveTotals(today);
    SetBeforeRenameHookForTests(nullptr);
    EXPECT_EQ(readAll(book.Tree().TotalsPath()), before);
    values = {};
    ASSERT_TRUE(book.LoadTotals(today));
    EXPECT_EQ(values.Aux5, 100.0);

    book.SaveTotals(today); // the stale temporary file is simply replaced
    EXPECT_EQ(readAll(book.Tree().TotalsPath()), before);
}

TEST_F(LogBookTest, TheEventLogIsTheMemo)
{
    memo.AddEventLine("first");
    memo.AddEventLine("second");
    book.SaveEventLog(today);
    EXPECT_EQ(readAll(book.Tree().EventLogPath()), "[03/05/15 07:00:00] first \r\n[03/05/15 07:00:00] second \r\n");
    memo.Clear();
    EXPECT_TRUE(book.LoadEventLog());
    EXPECT_EQ(memo.Lines().size(), 2u);
}
