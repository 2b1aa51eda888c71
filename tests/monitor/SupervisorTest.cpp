#include "CoreRig.h"

#include "monitor/Supervisor.h"

using namespace quorvane;
using namespace std::chrono_literals;

namespace {

class Sampling : public testsupport::CoreRig {
protected:
    std::string settings() const override { return "MeasTime=0\r\nUpdateLog=0\r\n"; }
};

} // namespace

TEST_F(Sampling, RowsAtTheLogIntervalFromTheFirstMeasurementOn)
{
    connect();
    for (int s = 0; s < 180; ++s)
        second();
    // The first measurement tick samples one row, then one a minute.
    EXPECT_EQ(core->ForTests().Logs().BasicList().RowCount(), 4u);
    EXPECT_EQ(core->ForTests().Logs().ComputedList().RowCount(), 4u);
    const auto row = core->ForTests().Logs().BasicList().Row(0);
    EXPECT_EQ(row[0], "06:00:01");
    EXPECT_EQ(row[1], "230.0");
    EXPECT_EQ(row[5], "57.50[57.45]");
    EXPECT_EQ(core->ForTests().Logs().BasicList().ColumnNames().at(4), "PV Input Corrent");
}

TEST_F(Sampling, RequestedByWebSamplesNothing)
{
    core->ReqByWebClick(true);
    connect();
    for (int s = 0; s < 130; ++s)
        second();
    EXPECT_EQ(core->ForTests().Logs().BasicList().RowCount(), 0u);
}

TEST_F(Sampling, WithTheBasicLogOffOneRowPerConnection)
{
    core->ForTests().LiveDati().LogBasic = false;
    for (int connection = 1; connection <= 2; ++connection) {
        connect();
        for (int s = 0; s < 130; ++s)
            second();
        core->ForTests().Connection().Connect1Click(); // disconnect
        EXPECT_EQ(core->ForTests().Logs().BasicList().RowCount(), static_cast<size_t>(connection));
    }
}

TEST_F(Sampling, TestModeSamplesFiveRowsASecond)
{
    core->TestClick(true);
    EXPECT_EQ(core->ForTests().Timer3().Interval(), 200);
    connect();
    core->ForTests().Timer1().Fire();
    for (int i = 0; i < 10; ++i)
        core->ForTests().Timer3().Fire(); // two seconds at 200 ms
    EXPECT_EQ(core->ForTests().Logs().BasicList().RowCount(), 11u);
}

namespace {

class Timers : public testsupport::CoreRig {
protected:
    std::string settings() const override
    {
        return "MeasTime=0\r\n[Timer]\r\nA=1\r\nTime A ON=07:00:00\r\nTime A OFF=19:00:00\r\n"
               "C=1\r\nTime C ON=06:00:05\r\nTime C OFF=06:00:10\r\n";
    }
};

} // namespace

TEST_F(Timers, TimerAFiresOnceAtEachTime)
{
    connect();
    clock.set(QDateTime(QDate(2026, 6, 1), QTime(6, 59, 58)));
    core->ForTests().Tick().TimerTimer();
    for (int s = 0; s < 5; ++s)
        second(false);
    EXPECT_TRUE(core->ForTests().ReqByWebBox());
    clock.set(QDateTime(QDate(2026, 6, 1), QTime(18, 59, 59, 500)));
    core->ForTests().Tick().TimerTimer();
    for (int s = 0; s < 3; ++s)
        second(false);
    EXPECT_FALSE(core->ForTests().ReqByWebBox());
    std::vector<std::string> timerLines;
    for (const auto& message : messages())
        if (message.starts_with(" Timer"))
            timerLines.push_back(message);
    EXPECT_EQ(timerLines, (std::vector<std::string>{" Timer ON ", " Timer OFF "})); // C never fires
}

TEST_F(Timers, BothTimesCrossedInOneTickFireOnThenOff)
{
    connect();
    core->ForTests().Tick().TimerTimer(); // 06:00
    clock.set(QDateTime(QDate(2026, 6, 1), QTime(20, 0, 0))); // the tick was stopped meanwhile
    core->ForTests().Tick().TimerTimer();
    const auto all = messages();
    const auto on = std::find(all.begin(), all.end(), " Timer ON ");
    const auto off = std::find(all.begin(), all.end(), " Timer OFF ");
    ASSERT_NE(on, all.end());
    ASSERT_NE(off, all.end());
    EXPECT_LT(on - all.begin(), off - all.begin());
    EXPECT_FALSE(core->ForTests().ReqByWebBox());
}

TEST_F(Timers, ASwitchTimeMovedLaterTheSameDayFiresAgain)
{
    connect();
    clock.set(QDateTime(QDate(2026, 6, 1), QTime(6, 59, 59)));
    core->ForTests().Tick().TimerTimer();
    second(false); // 07:00:00, ON
    core->ForTests().LiveDati().TimeOn[0] = QDateTime(QDate(2026, 6, 1), QTime(7, 0, 5));
    core->ReqByWebClick(false);
    for (int s = 0; s < 5; ++s)
        second(false);
    EXPECT_TRUE(core->ForTests().ReqByWebBox());
    long ons = 0;
    for (const auto& message : messages())
        ons += message == " Timer ON " ? 1 : 0;
    EXPECT_EQ(ons, 2);
}

TEST_F(Timers, TheFiringRule)
{
    const QTime midnight(0, 0);
    EXPECT_FALSE(Supervisor::Fires(midnight, QTime(23, 59, 59, 600), QTime(0, 0, 0, 600)));
    EXPECT_FALSE(Supervisor::Fires(midnight, QTime(0, 0, 0, 100), QTime(0, 0, 1, 100)));
    EXPECT_TRUE(Supervisor::Fires(QTime(7, 0), QTime(6, 59, 59, 999), QTime(7, 0)));
    EXPECT_FALSE(Supervisor::Fires(QTime(7, 0), QTime(7, 0), QTime(7, 0, 1)));
    EXPECT_TRUE(Supervisor::Fires(QTime(7, 0, 0, 500), QTime(7, 0, 0, 499), QTime(7, 0, 1)));
}

TEST_F(Timers, TheThreeHundredFiftiethTickAsksForTheStatus)
{
    connect();
    cycle(); // serves the status request of the connect
    for (int tick = 1; tick < 350; ++tick) {
        core->ForTests().Tick().TimerTimer();
        ASSERT_FALSE(core->ForTests().Requests().StatusRequest) << tick;
    }
    core->ForTests().Tick().TimerTimer();
    EXPECT_TRUE(core->ForTests().Requests().StatusRequest);
    EXPECT_EQ(core->ForTests().Tick().TickCount(), 0);
}
