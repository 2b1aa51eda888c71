#include "CoreRig.h"

using namespace quorvane;

namespace {

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class DayChangeTest : public testsupport::CoreRig {
protected:
    std::string settings() const override { return "MeasTime=0\r\n[Trigger]\r\nOut 1=1\r\nOut 2=1\r\nOut 3=1\r\n"; }
    QDateTime start() const override { return QDateTime(QDate(2026, 3, 31), QTime(23, 50, 0)); }
};

} // namespace

TEST_F(DayChangeTest, MidnightClosesTheDayWithItsMailsInOrder)
{
    connect();
    for (int s = 0; s < 599; ++s)
        second();
    ASSERT_EQ(clock.now().date(), QDate(2026, 3, 31));
    const std::string marchEnergy = core->ForTests().Logs().Tree().EnergyLogPath();
    const std::string marchBasic = core->ForTests().Logs().Tree().BasicLogPath();
    const double solarOfTheDay = core->ForTests().Computed().Aux1;
    ASSERT_GT(solarOfTheDay, 0.0);
    second(); // 00:00:00 of 1 April
    second();

    ASSERT_EQ(outbox.mails.size(), 3u);
    EXPECT_EQ(outbox.mails[0].Body, "Basic variables of day 03/31/26 in attach.");
    EXPECT_EQ(outbox.mails[0].Attachment, marchBasic);
    EXPECT_EQ(outbox.mails[0].AttachmentContent, readAll(marchBasic));
    EXPECT_EQ(outbox.mails[1].Body, "Computed variables of day 03/31/26 in attach.");
    EXPECT_TRUE(outbox.mails[2].Body.starts_with("Daily Energy production (03/31/26): "));
    EXPECT_NE(outbox.mails[2].Body.find(" kWh. \r\nTotal production from 03/31/26 is: "), std::string::npos);
    EXPECT_TRUE(outbox.mails[2].Body.ends_with("kWh"));

    // March's row in March's file; April's name formed after it.
    EXPECT_TRUE(readAll(marchEnergy).starts_with("03/31/26,"));
    EXPECT_NE(core->ForTests().Logs().Tree().EnergyLogPath().find("EnergyLog_4-2026.csv"), std::string::npos);
    EXPECT_NE(core->ForTests().Logs().Tree().BasicLogPath().find("BasicLog_1-4-2026.csv"), std::string::npos);
    EXPECT_LT(core->ForTests().Computed().Aux1, solarOfTheDay); // reset at midnight
    EXPECT_EQ(core->ForTests().Logs().BasicList().RowCount(), 0u);
    EXPECT_EQ(core->ForTests().Logs().EnergyList().Caption(), "Month = 4 (updated at midnight)");
}

TEST_F(DayChangeTest, WithTheEnergyLogOffNoRowNoResetButTotalsAndTheMail)
{
    core->ForTests().LiveDati().LogEnergy = false;
    connect();
    for (int s = 0; s < 605; ++s)
        second();
    const std::string energy = core->ForTests().Logs().Tree().EnergyLogPath();
    EXPECT_EQ(readAll(energy), "");
    EXPECT_NE(readAll(core->ForTests().Logs().Tree().TotalsPath()), "");
    ASSERT_EQ(outbox.mails.size(), 3u);
    EXPECT_TRUE(outbox.mails[2].Body.starts_with("Daily Energy production (03/31/26)"));
    EXPECT_GT(core->ForTests().Computed().Aux1, 0.0); // kept accumulating across midnight
}

TEST_F(DayChangeTest, AMonthWithoutTicksIsStillOneDayChangeOfTheReferenceDay)
{
    connect();
    second();
    core->ForTests().Connection().Connect1Click(); // disconnected: no ticks
    clock.set(QDateTime(QDate(2026, 5, 5), QTime(9, 0)));
    connect();
    second();
    ASSERT_EQ(outbox.mails.size(), 3u);
    EXPECT_EQ(outbox.mails[0].Body, "Basic variables of day 03/31/26 in attach.");
    const std::string saved = core->ForTests().Logs().Tree().EventLogPath();
    EXPECT_NE(saved.find("EventLog5-5-2026.txt"), std::string::npos);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(folder.path().toStdString()
                                                         + "/Log/LogEvent/2026/3/31/EventLog31-3-2026.txt")));
}
