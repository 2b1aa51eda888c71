#include "records/LogList.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace quorvane;

namespace {

VAR_COMP computedRow(const std::string& time, const std::string& date, double base)
{
    VAR_COMP row{time, date, {}};
    for (size_t i = 0; i < row.Values.size(); ++i)
        row.Values[i] = std::to_string(base + static_cast<double>(i));
    return row;
}

std::string fileOfRows(int rows, int fields)
{
    std::string text;
    for (int row = 0; row < rows; ++row) {
        text += "t" + std::to_string(row);
        for (int field = 1; field < fields; ++field)
            text += "," + std::to_string(field);
        text += "\r\n";
    }
    return text;
}

} // namespace

TEST(LogList, AlwaysEndsWithOneEmptyRowAndCountsItsDataRows)
{
    LogList list{7, "ComputedList"};
    EXPECT_EQ(list.GridRowCount(), 1u);
    EXPECT_EQ(list.LinesText(), "Lines = 0");
    EXPECT_EQ(list.Caption(), "ComputedList");

    list.AddRow(computedRow("07:00:00", "03/05/15", 1));
    list.AddRow(computedRow("07:00:01", "03/05/15", 2));
    EXPECT_EQ(list.GridRowCount(), 3u);
    EXPECT_EQ(list.LinesText(), "Lines = 2");
    EXPECT_EQ(list.Caption(), "Day = 03/05/15");
    EXPECT_EQ(list.Row(1), (std::vector<std::string>{"07:00:01", "2.000000", "3.000000", "4.000000", "5.000000",
                                                     "6.000000", "7.000000"}));

    // Cleared at the day change: the old count and caption stay until the next row.
    list.ClearRows();
    EXPECT_EQ(list.GridRowCount(), 1u);
    EXPECT_EQ(list.LinesText(), "Lines = 2");
    EXPECT_EQ(list.Caption(), "Day = 03/05/15");
    EXPECT_EQ(list.FileText(), "");
    list.AddRow(computedRow("00:00:05", "03/06/15", 1));
    EXPECT_EQ(list.LinesText(), "Lines = 1");
    EXPECT_EQ(list.Caption(), "Day = 03/06/15");
}

TEST(LogList, ColumnNamesStartWithDate)
{
    LogList list{7, "ComputedList"};
    VAR_COMP names{"", "", {"a", "b", "c", "d", "e", "f"}};
    list.SetColumnNames(names);
    EXPECT_EQ(list.ColumnNames(), (std::vector<std::string>{"date", "a", "b", "c", "d", "e", "f"}));
}

TEST(LogList, LoadsWholeLinesCutToItsColumns)
{
    const struct {
        const char* name;
        std::string file;
        std::vector<std::vector<std::string>> rows;
    } cases[] = {
        {"CR LF and LF, blank lines skipped", "a,1,2\r\n\r\nb,3,4\nc,5,6", {{"a", "1", "2"}, {"b", "3", "4"}, {"c", "5", "6"}}},
        {"a time with a day period stays one row", "3:05:09 PM,1,2\r\n", {{"3:05:09 PM", "1", "2"}}},
        {"extra fields are dropped", "a,1,2,3,4\r\n", {{"a", "1", "2"}}},
        {"missing fields are empty", "a,1\r\n", {{"a", "1", ""}}},
    };
    for (const auto& c : cases) {
        LogList list{3, "ComputedList"};
        EXPECT_EQ(list.Load(c.file), c.rows.size()) << c.name;
        ASSERT_EQ(list.RowCount(), c.rows.size()) << c.name;
        for (size_t row = 0; row < c.rows.size(); ++row)
            EXPECT_EQ(list.Row(row), c.rows[row]) << c.name;
        EXPECT_EQ(list.LinesText(), "Lines = " + std::to_string(c.rows.size()));
    }
}

TEST(LogList, RowsBeyondTheShownOnesAreKeptForTheNextWrite)
{
    LogList list{16, "VariablesList"};
    const std::string file = fileOfRows(1600, 16);
    EXPECT_EQ(list.Load(file), 1500u);
    EXPECT_EQ(list.LinesText(), "Lines = 1500");
    EXPECT_EQ(list.FileText(), file);
    EXPECT_EQ(list.Row(1499)[0], "t1499");

    VAR row{"23:00:00", "03/05/15", {}};
    row.Values.fill("9");
    list.AddRow(row);
    EXPECT_EQ(list.RowCount(), 1501u);
    EXPECT_EQ(list.Row(1500)[0], "23:00:00");
    EXPECT_EQ(list.FileText(), file + "23:00:00,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9\r\n");
    EXPECT_EQ(list.LastRowLine(), "23:00:00,9,9,9,9,9,9,9,9,9,9,9,9,9,9,9\r\n");
}

TEST(LogList, ExtraColumnsAreShownOnlyOnceNamedAndSurviveAReload)
{
    LogList list{16, "VariablesList", 3};
    VAR names{{}, {}, {}};
    names.Values.fill("n");
    list.SetColumnNames(names);
    VAR plain{"07:00:00", "03/05/15", {}};
    plain.Values.fill("1");
    list.AddRow(plain);
    EXPECT_EQ(list.ColumnCount(), 16);
    EXPECT_EQ(list.Row(0).size(), 16u);

    names.Extra = {"PV2 Input Voltage", "PV2 Input Current", "PV2 Charging Power"};
    list.SetColumnNames(names);
    VAR withPv2 = plain;
    withPv2.Time = "07:00:01";
    withPv2.Extra = {"202.0", "1.0", "205", "a fourth is no column"};
    list.AddRow(withPv2);
    EXPECT_EQ(list.ColumnCount(), 19);
    EXPECT_EQ(list.Row(0)[18], ""); // the row from before has no such values
    EXPECT_EQ(list.Row(1)[16], "202.0");
    EXPECT_EQ(list.LastRowLine(), "07:00:01,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,202.0,1.0,205\r\n");

    const std::string file(list.FileText());
    LogList reloaded{16, "VariablesList", 3};
    reloaded.Load(file);
    EXPECT_EQ(reloaded.FileText(), file); // the second PV input's values are not cut off
}

TEST(LogList, ViewsGetNewRowsInBatches)
{
    LogList list{7, "ComputedList"};
    std::vector<std::pair<qsizetype, QStringList>> batches;
    QObject::connect(&list, &LogList::rowsAppended,
                     [&](qsizetype first, const QStringList& rows) { batches.emplace_back(first, rows); });
    for (int i = 0; i < 100; ++i)
        list.AddRow(computedRow("07:00:00", "03/05/15", i));
    QCoreApplication::processEvents();
    ASSERT_EQ(batches.size(), 1u);
    EXPECT_EQ(batches[0].first, 0);
    EXPECT_EQ(batches[0].second.size(), 100);
}
