// The charts window over a core on its own thread: logs made up in its log folder are read
// through the command face on a worker thread and drawn; a reading of today adds a point.
#include "DayLogs.h"
#include "GatedPacer.h"
#include "WindowOverSimulator.h"
#include "shell/ChartsWindow.h"

#include <QAreaSeries>
#include <QBarSeries>
#include <QBarSet>
#include <QChartView>
#include <QLineSeries>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QXYSeries>

#include <gtest/gtest.h>

#include <algorithm>

using namespace quorvane;
using fakes::MadeUpDay;
using fakes::PumpUntil;

namespace {

class ChartsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string base = shell.folder.path().toStdString();
        fakes::WriteMadeUpDay(base, today.addDays(-1));
        fakes::WriteMadeUpDay(base, today.addDays(-2), 3600); // a row an hour
        fakes::WriteMadeUpMonth(base, today, today.day());
        fakes::WriteMadeUpMonth(base, today.addMonths(-1), 10);
        ASSERT_TRUE(shell.ShowAndStart());
        charts = shell.window->findChild<ChartsWindow*>("ChartsWindow");
        ASSERT_NE(charts, nullptr);
        QObject::connect(charts, &ChartsWindow::dayShown, [this](QDate day) { shownDays.push_back(day); });
        QObject::connect(charts, &ChartsWindow::monthShown, [this](QDate month) { shownMonths.push_back(month); });
        // "View" > "Charts" opens it on today.
        QAction* open = nullptr;
        for (QAction* action : shell.window->menuBar()->findChildren<QAction*>())
            open = action->text() == "Charts" ? action : open;
        ASSERT_NE(open, nullptr);
        open->trigger();
        ASSERT_TRUE(PumpUntil([this] { return charts->isVisible() && shown(today); }));
    }

    // Clicks the button and waits until the chart shows the day it moved to.
    bool moveDay(const char* button, QDate expected)
    {
        charts->findChild<QPushButton*>(button)->click();
        return charts->Day() == expected && PumpUntil([&] { return shown(expected); });
    }
    bool moveMonth(const char* button, QDate expectedFirst)
    {
        shownMonths.clear();
        charts->findChild<QPushButton*>(button)->click();
        return PumpUntil([&] { return !shownMonths.empty() && shownMonths.back() == expectedFirst; });
    }
    bool shown(QDate day) const { return !shownDays.empty() && shownDays.back() == day && charts->Day() == day; }

    QList<QPointF> points(const char* name) const
    {
        for (QAbstractSeries* series : charts->findChild<QChartView*>("ChartsDayChart")->chart()->series()) {
            if (series->objectName() != name)
                continue;
            if (auto* area = qobject_cast<QAreaSeries*>(series))
                return area->upperSeries()->points();
            return static_cast<QXYSeries*>(series)->points();
        }
        ADD_FAILURE() << "no series " << name;
        return {};
    }
    static std::pair<double, double> lowHigh(const QList<QPointF>& list)
    {
        const auto [low, high] =
            std::minmax_element(list.begin(), list.end(), [](QPointF a, QPointF b) { return a.y() < b.y(); });
        return {low->y(), high->y()};
    }
    QList<qreal> bars(const char* name) const
    {
        auto* view = charts->findChild<QChartView*>("ChartsMonthChart");
        for (QBarSet* set : static_cast<QBarSeries*>(view->chart()->series().front())->barSets()) {
            if (set->objectName() != name)
                continue;
            QList<qreal> values;
            for (int i = 0; i < set->count(); ++i)
                values.append(set->at(i));
            return values;
        }
        ADD_FAILURE() << "no bars " << name;
        return {};
    }

    const QDate today = QDate::currentDate();
    fakes::WindowOverSimulator shell;
    ChartsWindow* charts = nullptr;
    std::vector<QDate> shownDays;
    std::vector<QDate> shownMonths;
};

} // namespace

TEST_F(ChartsWindowTest, ADayOfSecondsIsThinnedWithItsPeaksAndTheArrowsMoveByADay)
{
    const QDate yesterday = today.addDays(-1);
    ASSERT_TRUE(moveDay("ChartsPreviousDay", yesterday));
    EXPECT_TRUE(charts->findChild<QLabel*>("ChartsDate")->text().contains(yesterday.toString("yyyy-MM-dd")));

    struct Case {
        const char* series;
        double low;
        double high;
    };
    const Case cases[] = {
        {"ChartsLoad", 0.0, MadeUpDay::kLoadPeakW},
        {"ChartsSolarPower", 0.0, MadeUpDay::kSolarPeakW},
        {"ChartsBatteryVoltage", 51.0, MadeUpDay::kBatteryPeakV},
        {"ChartsBatteryCapacity", 60.0, 89.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.series);
        const QList<QPointF> list = points(c.series);
        EXPECT_GT(list.size(), 1000);
        EXPECT_LE(list.size(), qsizetype(ChartsWindow::kMaxPoints + 2));
        EXPECT_DOUBLE_EQ(list.front().x(), 0.0);
        EXPECT_DOUBLE_EQ(list.back().x(), 86399.0);
        const auto [low, high] = lowHigh(list);
        EXPECT_NEAR(low, c.low, 0.01);
        EXPECT_NEAR(high, c.high, 0.01);
    }
    // The band is down while the line was away, and only then, give or take the width of
    // a thinned bucket (a low and a high point each).
    const double bucket = 2.0 * 86400 / ChartsWindow::kMaxPoints;
    int pointsAway = 0;
    for (const QPointF& point : points("ChartsLinePresent")) {
        const double x = point.x();
        if (x > MadeUpDay::kLineGoneFrom + bucket && x < MadeUpDay::kLineGoneTo - bucket) {
            EXPECT_EQ(point.y(), 0.0) << "at " << x;
            ++pointsAway;
        } else if (x < MadeUpDay::kLineGoneFrom - bucket || x > MadeUpDay::kLineGoneTo + bucket) {
            EXPECT_EQ(point.y(), 1.0) << "at " << x;
        }
    }
    EXPECT_GT(pointsAway, 0);

    ASSERT_TRUE(moveDay("ChartsPreviousDay", today.addDays(-2)));
    EXPECT_EQ(points("ChartsLoad").size(), 24);
    ASSERT_TRUE(moveDay("ChartsNextDay", yesterday));
    EXPECT_GT(points("ChartsLoad").size(), 1000);
    ASSERT_TRUE(moveDay("ChartsNextDay", today));
    EXPECT_FALSE(charts->findChild<QPushButton*>("ChartsNextDay")->isEnabled()) << "no logs of tomorrow yet";
}

TEST_F(ChartsWindowTest, AMonthIsADayABarAndTheArrowsMoveByAMonth)
{
    const QDate first(today.year(), today.month(), 1);
    auto* tabs = charts->findChild<QTabWidget*>("ChartsTabs");
    tabs->setCurrentWidget(charts->findChild<QWidget*>("ChartsMonthView"));
    ASSERT_TRUE(PumpUntil([&] { return !shownMonths.empty() && shownMonths.back() == first; }));

    // Day d: d kWh of solar, d / 10 from the line, up to the last day written.
    auto expectMonth = [this](QDate month, int lastDay) {
        const QList<qreal> solar = bars("ChartsSolarEnergy");
        const QList<qreal> line = bars("ChartsLineEnergy");
        ASSERT_EQ(solar.size(), month.daysInMonth());
        ASSERT_EQ(line.size(), month.daysInMonth());
        for (int d = 1; d <= month.daysInMonth(); ++d) {
            EXPECT_DOUBLE_EQ(solar[d - 1], d <= lastDay ? d : 0.0) << "day " << d;
            EXPECT_DOUBLE_EQ(line[d - 1], d <= lastDay ? d / 10.0 : 0.0) << "day " << d;
        }
    };
    expectMonth(first, today.day());
    ASSERT_TRUE(moveMonth("ChartsPreviousMonth", first.addMonths(-1)));
    expectMonth(first.addMonths(-1), 10);
    ASSERT_TRUE(moveMonth("ChartsPreviousMonth", first.addMonths(-2)));
    expectMonth(first.addMonths(-2), 0);
    ASSERT_TRUE(moveMonth("ChartsNextMonth", first.addMonths(-1)));
    expectMonth(first.addMonths(-1), 10);
}

TEST_F(ChartsWindowTest, AReadingOfTodayAddsAPointAtItsTime)
{
    const int before = QTime::currentTime().msecsSinceStartOfDay() / 1000 - 1;
    shell.window->findChild<QPushButton*>("Connect1")->click();
    ASSERT_TRUE(PumpUntil([&] {
        const QList<QPointF> load = points("ChartsLoad");
        return !load.isEmpty() && load.back().x() >= before;
    }));
    const qsizetype count = points("ChartsLoad").size();
    for (const char* name : {"ChartsSolarPower", "ChartsBatteryVoltage", "ChartsBatteryCapacity"})
        EXPECT_EQ(points(name).size(), count) << name;
    EXPECT_GE(points("ChartsLinePresent").size(), 1);
}
