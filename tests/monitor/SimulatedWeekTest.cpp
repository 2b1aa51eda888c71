// Seven simulated days of the whole core at a 1-second measuring interval, in seconds of real
// time: the inverter is the simulator's logic in-process, the clock is moved by the test, and
// each second the acquisition cycle (the thread's own code path), the supervisor tick, the
// measuring timer and, when due, the log timer run. The week holds a month end, a line fault
// and return with battery/line switches every day, and timers A and B firing every day.
#include "CoreRig.h"

#include <map>
#include <sstream>

using namespace quorvane;

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> fieldsOf(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream stream(line);
    for (std::string field; std::getline(stream, field, ',');)
        fields.push_back(field);
    return fields;
}

class SimulatedWeek : public testsupport::CoreRig {
protected:
    std::string settings() const override
    {
        return "MeasTime=0\r\nUpdateLog=0\r\n"
               "[Timer]\r\nA=1\r\nTime A ON=07:00:00\r\nTime A OFF=19:00:00\r\n"
               "B=1\r\nTime B ON=08:00:00\r\nTime B OFF=18:00:00\r\n"
               "[Trigger]\r\nOut 1=1\r\nOut 2=1\r\nOut 3=1\r\nOut 4=1\r\nOut 5=1\r\n";
    }
    QDateTime start() const override { return QDateTime(QDate(2026, 6, 27), QTime(0, 0, 0)); }

    std::string dayFile(const char* folderName, const char* prefix, const QDate& day, const char* extension) const
    {
        const QString relative = QString("Log/%1/%2/%3/%4/%5%6-%7-%8%9")
                                     .arg(folderName)
                                     .arg(day.year())
                                     .arg(day.month())
                                     .arg(day.day())
                                     .arg(prefix)
                                     .arg(day.day())
                                     .arg(day.month())
                                     .arg(day.year())
                                     .arg(extension);
        return QDir(folder.path()).filePath(relative).toStdString();
    }
};

} // namespace

TEST_F(SimulatedWeek, SevenDaysOfTheWholeCore)
{
    const QDate first(2026, 6, 27);
    const int days = 7;
    std::map<QDate, int> expectedRows; // the rows sampled for each day, as the rules say
    LocaleFormats formats("C");

    connect();
    expectedRows[first] = 0;
    // Each second as the program lives it; the scenario changes the inverter at 10:00 and 10:10.
    for (int s = 0; s < days * 86400 + 5; ++s) {
        const QTime next = clock.now().addSecs(1).time();
        if (next == QTime(10, 0)) {
            model.SetModeLetter('B');
            model.SetLinePresent(false);
        } else if (next == QTime(10, 10)) {
            model.SetModeLetter('L');
            model.SetLinePresent(true);
        }
        const bool firstMeasurement = !core->ForTests().Timer3().Enabled();
        const size_t before = core->ForTests().Logs().BasicList().RowCount();
        second();
        const size_t after = core->ForTests().Logs().BasicList().RowCount();
        if (firstMeasurement || after != before)
            expectedRows[core->ForTests().Tick().DayReference().date()] += static_cast<int>(after > before ? after - before : after);
    }

    // One energy row per day, in its month's file, and the running day's row kept current
    // after them.
    double solarSum = 0, lineSum = 0;
    for (int month : {6, 7}) {
        const std::string path = QDir(folder.path())
                                     .filePath(QString("Log/LogEnergy/2026/%1/EnergyLog_%1-2026.csv").arg(month))
                                     .toStdString();
        const auto rows = linesOf(readAll(path));
        ASSERT_EQ(rows.size(), 4u) << path;
        for (size_t i = 0; i < rows.size(); ++i) {
            const QDate day = month == 6 ? first.addDays(static_cast<int>(i)) : QDate(2026, 7, static_cast<int>(i) + 1);
            const auto fields = fieldsOf(rows[i]);
            ASSERT_EQ(fields.size(), 6u) << path;
            EXPECT_EQ(fields[0], formats.shortDate(day)) << path << " row " << i;
            solarSum += std::stod(fields[1]);
            lineSum += std::stod(fields[3]);
        }
    }

    // The totals are the sum of the days (each row rounded to three decimals).
    const auto totals = fieldsOf(linesOf(readAll(core->ForTests().Logs().Tree().TotalsPath())).at(0));
    EXPECT_NEAR(std::stod(totals[2]), solarSum, 0.001 * days) << "totals file, [A]";
    EXPECT_NEAR(std::stod(totals[3]), lineSum, 0.001 * days) << "totals file, [B]";
    EXPECT_GT(solarSum, days * 15.0);

    for (int d = 0; d < days; ++d) {
        const QDate day = first.addDays(d);
        const std::string date = formats.shortDate(day);
        // Each day's variable logs: one row per sample of that day.
        for (const auto& [folderName, prefix, width] : {std::tuple{"LogVariables", "BasicLog_", 16},
                                                        std::tuple{"LogComputed", "ComputedLog_", 7}}) {
            const std::string path = dayFile(folderName, prefix, day, ".csv");
            const auto rows = linesOf(readAll(path));
            EXPECT_EQ(static_cast<int>(rows.size()), expectedRows[day]) << path;
            for (const auto& row : rows)
                ASSERT_EQ(fieldsOf(row).size(), static_cast<size_t>(width)) << path << ": " << row;
        }
        // Each day's event log holds that day's lines, its events among them.
        const std::string eventLog = dayFile("LogEvent", "EventLog", day, ".txt");
        const auto lines = linesOf(readAll(eventLog));
        ASSERT_FALSE(lines.empty()) << eventLog;
        for (const auto& line : lines)
            ASSERT_TRUE(line.starts_with("[" + date + " ")) << eventLog << ": " << line;
        for (const std::string& event : std::vector<std::string>{"Line Fault: " + date, "Line restored: " + date,
                                        "Inverter switched from Line-bypass to Battery: " + date,
                                        "Inverter switched from Battery To Line-Bypass: " + date, " Timer ON ",
                                        " Timer SOL/SBU ON ( set SOL )", " Timer SOL/SBU OFF ( set SBU )", " Timer OFF "}) {
            const bool found = std::any_of(lines.begin(), lines.end(),
                                           [&](const std::string& line) { return line.find(event) != std::string::npos; });
            EXPECT_TRUE(found) << eventLog << " lacks \"" << event << "\"";
        }
    }

    // The mails of each day in their order: the events as they happened, then at midnight the
    // basic log, the computed log and the energy text, each naming the day that ended.
    std::vector<std::string> expected;
    for (int d = 0; d < days; ++d) {
        const std::string date = formats.shortDate(first.addDays(d));
        expected.push_back("Inverter switched from Line-bypass to Battery: " + date);
        expected.push_back("Line fault: " + date);
        expected.push_back("Inverter switched from Battery To Line-Bypass: " + date);
        expected.push_back("Line restored: " + date);
        expected.push_back("Basic variables of day " + date + " in attach.");
        expected.push_back("Computed variables of day " + date + " in attach.");
        expected.push_back("Daily Energy production (" + date + "): ");
    }
    ASSERT_EQ(outbox.mails.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(outbox.mails[i].Body.starts_with(expected[i]))
            << "mail " << i << ": \"" << outbox.mails[i].Body << "\", expected \"" << expected[i] << "...\"";
    // The daily mails carry the complete day's file.
    EXPECT_EQ(outbox.mails[4].AttachmentContent, readAll(dayFile("LogVariables", "BasicLog_", first, ".csv")));
}
