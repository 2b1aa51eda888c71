#pragma once

#include "face/CoreCommands.h"
#include "face/CoreState.h"
#include "records/LogHistory.h"

#include <QDate>
#include <QDateTime>
#include <QWidget>

#include <cstddef>

class QAreaSeries;
class QBarCategoryAxis;
class QBarSet;
class QCategoryAxis;
class QChart;
class QLabel;
class QLineSeries;
class QTabWidget;
class QValueAxis;

namespace quorvane {

// "Charts": a day of the logs as lines (PV power and load in W on the left, the battery's
// voltage and capacity on the right, the line's presence as a band along the bottom) and a
// month of daily solar and line energy as bars, with arrows to the days and months around.
// The logs come from the core's command face, read on a worker thread; the day shown grows
// with each reading the core publishes for it.
// Thread ownership: the GUI thread.
class ChartsWindow final : public QWidget {
    Q_OBJECT
public:
    // At most about this many points a series, the peaks and dips kept.
    static constexpr std::size_t kMaxPoints = 2000;

    explicit ChartsWindow(CoreCommands& commands, QWidget* parent = nullptr);

    // Shows `day` (its logs are asked for) or the month that holds `dayInMonth`.
    void ShowDay(QDate day);
    void ShowMonth(QDate dayInMonth);
    // A reading the core published: a point for the day shown when it was taken that day.
    void TakeState(const CoreState& state);

    [[nodiscard]] QDate Day() const { return m_day; }
    [[nodiscard]] QDate Month() const { return m_month; }

signals:
    // The chart shows the logs of the day or month asked for last.
    void dayShown(QDate day);
    void monthShown(QDate firstOfMonth);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildDayChart(QChart* chart);
    void buildMonthChart(QChart* chart);
    void takeDay(QDate day, const DayHistory& history);
    void takeMonth(QDate firstOfMonth, const MonthHistory& history);
    // Puts m_history into the day's series and fits the axes to it.
    void drawDay();

    CoreCommands& m_commands;
    QTabWidget* m_tabs = nullptr;
    QLabel* m_dayText = nullptr;
    QLabel* m_monthText = nullptr;

    QLineSeries* m_solar = nullptr;
    QLineSeries* m_load = nullptr;
    QLineSeries* m_batteryVoltage = nullptr;
    QLineSeries* m_batteryCapacity = nullptr;
    QLineSeries* m_lineEdge = nullptr; // the band's upper edge, in steps
    QAreaSeries* m_line = nullptr;
    QValueAxis* m_powerAxis = nullptr;
    QValueAxis* m_voltageAxis = nullptr;

    QBarSet* m_solarEnergy = nullptr;
    QBarSet* m_lineEnergy = nullptr;
    QBarCategoryAxis* m_daysAxis = nullptr;
    QValueAxis* m_energyAxis = nullptr;

    QDate m_day;
    QDate m_month; // its first day; invalid until the month view is first shown
    bool m_dayLoading = false;
    // The day as shown; while its logs are being read, the readings meanwhile wait in m_live.
    DayHistory m_history;
    DayHistory m_live;
    QDateTime m_lastReading;
};

} // namespace quorvane
