#include "FakeUserNotifier.h"
#include "records/LogTree.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

using namespace quorvane;

namespace {

class LogTreeTest : public ::testing::Test {
protected:
    [[nodiscard]] std::string in(const std::string& relative) const { return base + "/" + relative; }
    void plainFile(const std::string& relative) const { std::ofstream(in(relative)) << "in the way"; }
    [[nodiscard]] bool isFolder(const std::string& relative) const { return QDir(QString::fromStdString(in(relative))).exists(); }

    QTemporaryDir folder;
    std::string base = folder.path().toStdString();
    fakes::FakeUserNotifier person;
    LogTree tree{base, person};
};

} // namespace

TEST_F(LogTreeTest, NamesCarryNoLeadingZeros)
{
    const struct {
        QDate day;
        const char* energy;
        const char* basic;
        const char* computed;
        const char* event;
        const char* month;
    } cases[] = {
        {{2015, 3, 5}, "Log/LogEnergy/2015/3/EnergyLog_3-2015.csv", "Log/LogVariables/2015/3/5/BasicLog_5-3-2015.csv",
         "Log/LogComputed/2015/3/5/ComputedLog_5-3-2015.csv", "Log/LogEvent/2015/3/5/EventLog5-3-2015.txt", "3"},
        {{2015, 12, 31}, "Log/LogEnergy/2015/12/EnergyLog_12-2015.csv",
         "Log/LogVariables/2015/12/31/BasicLog_31-12-2015.csv", "Log/LogComputed/2015/12/31/ComputedLog_31-12-2015.csv",
         "Log/LogEvent/2015/12/31/EventLog31-12-2015.txt", "12"},
        {{2016, 1, 1}, "Log/LogEnergy/2016/1/EnergyLog_1-2016.csv", "Log/LogVariables/2016/1/1/BasicLog_1-1-2016.csv",
         "Log/LogComputed/2016/1/1/ComputedLog_1-1-2016.csv", "Log/LogEvent/2016/1/1/EventLog1-1-2016.txt", "1"},
        {{2026, 10, 10}, "Log/LogEnergy/2026/10/EnergyLog_10-2026.csv",
         "Log/LogVariables/2026/10/10/BasicLog_10-10-2026.csv", "Log/LogComputed/2026/10/10/ComputedLog_10-10-2026.csv",
         "Log/LogEvent/2026/10/10/EventLog10-10-2026.txt", "10"},
    };
    tree.CreateLogRoot();
    tree.SetTotalsPath();
    EXPECT_EQ(tree.TotalsPath(), in("Log/EnergyTotalSolar.csv"));
    for (const auto& c : cases) {
        EXPECT_EQ(tree.RollEnergyLogName(c.day), c.month);
        tree.RollBasicLogName(c.day);
        tree.RollComputedLogName(c.day);
        tree.RollEventLogName(c.day);
        EXPECT_EQ(tree.EnergyLogPath(), in(c.energy));
        EXPECT_EQ(tree.BasicLogPath(), in(c.basic));
        EXPECT_EQ(tree.ComputedLogPath(), in(c.computed));
        EXPECT_EQ(tree.EventLogPath(), in(c.event));
        // Readers on other threads find the same files without the tree.
        EXPECT_EQ(LogTree::UsualEnergyLogPath(base, c.day), in(c.energy));
        EXPECT_EQ(LogTree::UsualDayLogPath(base, DayLog::Basic, c.day), in(c.basic));
        EXPECT_EQ(LogTree::UsualDayLogPath(base, DayLog::Computed, c.day), in(c.computed));
        EXPECT_EQ(LogTree::UsualDayLogPath(base, DayLog::Event, c.day), in(c.event));
        // The folders exist, so the files can be written.
        EXPECT_TRUE(isFolder(QFileInfo(QString::fromStdString(c.basic)).path().toStdString()));
        EXPECT_TRUE(isFolder(QFileInfo(QString::fromStdString(c.energy)).path().toStdString()));
    }
    EXPECT_TRUE(person.messages.empty());
}

TEST_F(LogTreeTest, WithoutARootEveryLogFallsBackWithItsMessageInStartUpOrder)
{
    plainFile("Log"); // a file where the folder should be stops root too
    const QDate day(2015, 3, 5);
    tree.CreateLogRoot();
    EXPECT_EQ(tree.RollEnergyLogName(day), "3");
    tree.RollBasicLogName(day);
    tree.RollEventLogName(day);
    tree.RollComputedLogName(day);
    EXPECT_EQ(person.messages, (std::vector<std::string>{
                                   "Cannot create Directory for log file. Current directory will be used.",
                                   "Cannot create Directory for Energy log file. Current directory will be used.",
                                   "Cannot create Directory for Variables log file. Current directory will be used.",
                                   "Cannot create Directory for Event log file. Current directory will be used.",
                                   "Cannot create Directory for Computed Variables log file. Current directory will be used.",
                               }));
    EXPECT_EQ(tree.BasicLogPath(), in("EmergencyNameVariables5-3-2015.csv"));
    EXPECT_EQ(tree.ComputedLogPath(), in("EmergencyComputedNameVariables5-3-2015.csv"));
    EXPECT_EQ(tree.EventLogPath(), in("EmergencyNameEvent5-3-2015.txt"));
    EXPECT_EQ(tree.EnergyLogPath(), in("EmergencyNameEnergy3-2015.csv"));
}

TEST_F(LogTreeTest, ADeeperLevelThatCannotBeMadeFallsBackSilently)
{
    tree.CreateLogRoot();
    const QDate day(2015, 3, 5);
    tree.RollBasicLogName(day); // makes the folders
    ASSERT_TRUE(QDir(QString::fromStdString(in("Log/LogVariables/2015/3/5"))).removeRecursively());
    plainFile("Log/LogVariables/2015/3/5");
    tree.RollBasicLogName(day);
    EXPECT_EQ(tree.BasicLogPath(), in("EmergencyNameVariables5-3-2015.csv"));

    ASSERT_EQ(::mkdir(in("Log/LogEnergy").c_str(), 0755), 0);
    plainFile("Log/LogEnergy/2015");
    tree.RollEnergyLogName(day);
    EXPECT_EQ(tree.EnergyLogPath(), in("EmergencyNameEnergy3-2015.csv"));
    EXPECT_TRUE(person.messages.empty());
}

TEST_F(LogTreeTest, ATreeDeletedWhileRunningIsRebuiltAtTheNextRoll)
{
    tree.CreateLogRoot();
    tree.RollEventLogName(QDate(2015, 3, 5));
    ASSERT_TRUE(QDir(QString::fromStdString(in("Log/LogEvent"))).removeRecursively());
    tree.RollEventLogName(QDate(2015, 3, 6));
    EXPECT_EQ(tree.EventLogPath(), in("Log/LogEvent/2015/3/6/EventLog6-3-2015.txt"));
}

TEST_F(LogTreeTest, EnsuringANameRollsOnlyForAnotherDay)
{
    tree.CreateLogRoot();
    tree.RollComputedLogName(QDate(2015, 3, 5));
    tree.EnsureDayLogName(DayLog::Computed, QDate(2015, 3, 5));
    EXPECT_EQ(tree.ComputedLogPath(), in("Log/LogComputed/2015/3/5/ComputedLog_5-3-2015.csv"));
    tree.EnsureDayLogName(DayLog::Computed, QDate(2015, 3, 7));
    EXPECT_EQ(tree.ComputedLogPath(), in("Log/LogComputed/2015/3/7/ComputedLog_7-3-2015.csv"));
}
