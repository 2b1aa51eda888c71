#include "shell/ChartsWindow.h"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QTabWidget>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <initializer_list>

namespace quorvane {

namespace {

constexpr int kSecondsADay = 24 * 60 * 60;
// The band of the line's presence takes this share of the plot's height, at the bottom.
constexpr double kBandShare = 1.0 / 14.0;

// Colours for the program's dark style sheet (src/shell/Style.cpp).
const QColor kBackground("#1d1427");
const QColor kPlotBackground("#2e1f3d");
const QColor kText("#efe6f7");
const QColor kGrid("#4b3563");
const QColor kSolar("#f5b700");
const QColor kLoad("#4fc3f7");
const QColor kVoltage("#81c784");
const QColor kCapacity("#f48fb1");
const QColor kLine("#9b6fc7");

QList<QPointF> points(const HistorySeries& series)
{
    QList<QPointF> list;
    list.reserve(static_cast<qsizetype>(series.X.size()));
    for (std::size_t i = 0; i < series.X.size(); ++i)
        list.append({series.X[i], series.Y[i]});
    return list;
}

// A 0/1 series as steps: each value holds until the next point.
QList<QPointF> steps(const HistorySeries& series)
{
    QList<QPointF> list;
    list.reserve(static_cast<qsizetype>(2 * series.X.size()));
    for (std::size_t i = 0; i < series.X.size(); ++i) {
        if (i > 0)
            list.append({series.X[i], series.Y[i - 1]});
        list.append({series.X[i], series.Y[i]});
    }
    return list;
}

void add(HistorySeries& series, double x, double y)
{
    series.X.push_back(x);
    series.Y.push_back(y);
}

constexpr std::array<HistorySeries DayHistory::*, 5> kEverySeries = {
    &DayHistory::SolarPowerW, &DayHistory::LoadW, &DayHistory::BatteryVoltageV, &DayHistory::BatteryCapacityPercent,
    &DayHistory::LinePresent};

QLineSeries* line(const char* name, const QString& title, const QColor& colour)
{
    auto* series = new QLineSeries;
    series->setObjectName(name);
    series->setName(title);
    series->setPen(QPen(colour, 1.5));
    return series;
}

void styleAxis(QAbstractAxis* axis, const QString& title)
{
    axis->setTitleText(title);
    axis->setTitleBrush(kText);
    axis->setLabelsBrush(kText);
    axis->setGridLineColor(kGrid);
    axis->setLinePenColor(kGrid);
}

QChart* darkChart()
{
    auto* chart = new QChart;
    chart->setTheme(QChart::ChartThemeDark);
    chart->setBackgroundBrush(kBackground);
    chart->setPlotAreaBackgroundBrush(kPlotBackground);
    chart->setPlotAreaBackgroundVisible(true);
    chart->legend()->setLabelColor(kText);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

QPushButton* arrow(const char* name, const char* text, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    return button;
}

// A row with "<", the date or month shown, ">", and the chart below.
QWidget* page(const char* name, QPushButton* previous, QLabel* text, QPushButton* next, QChartView* view)
{
    auto* widget = new QWidget;
    widget->setObjectName(name);
    auto* row = new QHBoxLayout;
    row->addWidget(previous);
    row->addWidget(text, 1);
    row->addWidget(next);
    auto* column = new QVBoxLayout(widget);
    column->addLayout(row);
    column->addWidget(view, 1);
    text->setAlignment(Qt::AlignCenter);
    view->setRenderHint(QPainter::Antialiasing);
    return widget;
}

std::pair<double, double> valueRange(std::initializer_list<const HistorySeries*> list)
{
    double low = 0.0;
    double high = 0.0;
    bool any = false;
    for (const HistorySeries* series : list) {
        for (double y : series->Y) {
            low = any ? std::min(low, y) : y;
            high = any ? std::max(high, y) : y;
            any = true;
        }
    }
    return {low, high};
}

} // namespace

ChartsWindow::ChartsWindow(CoreCommands& commands, QWidget* parent)
    : QWidget(parent, Qt::Window), m_commands(commands)
{
    qRegisterMetaType<quorvane::CoreState>(); // TakeState is connected to the core's thread
    setObjectName("ChartsWindow");
    setWindowTitle("Charts");
    setAttribute(Qt::WA_StyledBackground, true);
    resize(960, 600);

    m_dayText = new QLabel(this);
    m_dayText->setObjectName("ChartsDate");
    m_monthText = new QLabel(this);
    m_monthText->setObjectName("ChartsMonth");
    // Each view is made with its chart: a view made without one makes a chart of its own,
    // which setChart would release to nobody.
    auto* dayChart = darkChart();
    buildDayChart(dayChart);
    auto* dayView = new QChartView(dayChart, this);
    dayView->setObjectName("ChartsDayChart");
    auto* monthChart = darkChart();
    buildMonthChart(monthChart);
    auto* monthView = new QChartView(monthChart, this);
    monthView->setObjectName("ChartsMonthChart");

    auto* previousDay = arrow("ChartsPreviousDay", "<", this);
    auto* nextDay = arrow("ChartsNextDay", ">", this);
    auto* previousMonth = arrow("ChartsPreviousMonth", "<", this);
    auto* nextMonth = arrow("ChartsNextMonth", ">", this);
    connect(previousDay, &QPushButton::clicked, this, [this] { ShowDay(m_day.addDays(-1)); });
    connect(nextDay, &QPushButton::clicked, this, [this] { ShowDay(m_day.addDays(1)); });
    connect(previousMonth, &QPushButton::clicked, this, [this] { ShowMonth(m_month.addMonths(-1)); });
    connect(nextMonth, &QPushButton::clicked, this, [this] { ShowMonth(m_month.addMonths(1)); });

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName("ChartsTabs");
    m_tabs->addTab(page("ChartsDayView", previousDay, m_dayText, nextDay, dayView), "Day");
    m_tabs->addTab(page("ChartsMonthView", previousMonth, m_monthText, nextMonth, monthView), "Month");
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] {
        if (m_tabs->currentIndex() == 1 && !m_month.isValid())
            ShowMonth(m_day);
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    m_day = QDate::currentDate();
}

void ChartsWindow::buildDayChart(QChart* chart)
{
    m_solar = line("ChartsSolarPower", "PV power (W)", kSolar);
    m_load = line("ChartsLoad", "Load (W)", kLoad);
    m_batteryVoltage = line("ChartsBatteryVoltage", "Battery (V)", kVoltage);
    m_batteryCapacity = line("ChartsBatteryCapacity", "Battery (%)", kCapacity);
    m_lineEdge = new QLineSeries(chart);
    m_line = new QAreaSeries(m_lineEdge);
    m_line->setObjectName("ChartsLinePresent");
    m_line->setName("Line present");
    QColor band = kLine;
    band.setAlpha(150);
    m_line->setBrush(band);
    m_line->setPen(QPen(kLine, 1));

    auto* hours = new QCategoryAxis;
    hours->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    // Labels stand at the categories' ends: a first category that ends at midnight labels it.
    hours->setStartValue(-1);
    for (int hour = 0; hour <= 24; hour += 3)
        hours->append(QString("%1:00").arg(hour, 2, 10, QChar('0')), hour * 3600);
    hours->setRange(0, kSecondsADay);
    styleAxis(hours, {});
    m_powerAxis = new QValueAxis;
    styleAxis(m_powerAxis, "W");
    m_powerAxis->setLabelFormat("%.0f");
    m_voltageAxis = new QValueAxis;
    styleAxis(m_voltageAxis, "V");
    auto* capacityAxis = new QValueAxis;
    styleAxis(capacityAxis, "%");
    capacityAxis->setRange(0, 100);
    capacityAxis->setLabelFormat("%.0f");
    capacityAxis->setGridLineVisible(false);
    m_voltageAxis->setGridLineVisible(false);
    auto* bandAxis = new QValueAxis;
    bandAxis->setRange(0, 1.0 / kBandShare);
    bandAxis->setVisible(false);

    chart->addAxis(hours, Qt::AlignBottom);
    chart->addAxis(m_powerAxis, Qt::AlignLeft);
    chart->addAxis(m_voltageAxis, Qt::AlignRight);
    chart->addAxis(capacityAxis, Qt::AlignRight);
    chart->addAxis(bandAxis, Qt::AlignLeft);
    // The band first, so that the lines are drawn over it.
    for (auto [series, axis] : {std::pair<QAbstractSeries*, QAbstractAxis*>{m_line, bandAxis},
                                {m_solar, m_powerAxis},
                                {m_load, m_powerAxis},
                                {m_batteryVoltage, m_voltageAxis},
                                {m_batteryCapacity, capacityAxis}}) {
        chart->addSeries(series);
        series->attachAxis(hours);
        series->attachAxis(axis);
    }
    drawDay();
}

void ChartsWindow::buildMonthChart(QChart* chart)
{
    m_solarEnergy = new QBarSet("Solar (kWh)");
    m_solarEnergy->setObjectName("ChartsSolarEnergy");
    m_solarEnergy->setColor(kSolar);
    m_solarEnergy->setBorderColor(kSolar);
    m_lineEnergy = new QBarSet("Line (kWh)");
    m_lineEnergy->setObjectName("ChartsLineEnergy");
    m_lineEnergy->setColor(kLine);
    m_lineEnergy->setBorderColor(kLine);
    auto* bars = new QBarSeries;
    bars->append(m_solarEnergy);
    bars->append(m_lineEnergy);
    m_daysAxis = new QBarCategoryAxis;
    styleAxis(m_daysAxis, {});
    m_energyAxis = new QValueAxis;
    styleAxis(m_energyAxis, "kWh");
    m_energyAxis->setRange(0, 1);
    chart->addSeries(bars);
    chart->addAxis(m_daysAxis, Qt::AlignBottom);
    chart->addAxis(m_energyAxis, Qt::AlignLeft);
    bars->attachAxis(m_daysAxis);
    bars->attachAxis(m_energyAxis);
}

void ChartsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The logs grew while the window was hidden: read them again.
    ShowDay(m_day);
    if (m_month.isValid())
        ShowMonth(m_month);
}

void ChartsWindow::ShowDay(QDate day)
{
    m_day = day;
    m_dayText->setText(day.toString("ddd yyyy-MM-dd"));
    findChild<QPushButton*>("ChartsNextDay")->setEnabled(day < QDate::currentDate());
    m_history = {};
    m_live = {};
    m_dayLoading = true;
    drawDay();
    m_commands.FetchDayHistory(day, kMaxPoints, this, [this, day](const DayHistory& history) { takeDay(day, history); });
}

void ChartsWindow::ShowMonth(QDate dayInMonth)
{
    const QDate first(dayInMonth.year(), dayInMonth.month(), 1);
    m_month = first;
    m_monthText->setText(first.toString("MMMM yyyy"));
    findChild<QPushButton*>("ChartsNextMonth")->setEnabled(first.addMonths(1) <= QDate::currentDate());
    m_commands.FetchMonthHistory(first, this,
                                 [this, first](const MonthHistory& history) { takeMonth(first, history); });
}

void ChartsWindow::TakeState(const CoreState& state)
{
    if (!isVisible() || !state.LastValidReading.isValid() || state.LastValidReading == m_lastReading)
        return;
    m_lastReading = state.LastValidReading;
    if (state.LastValidReading.date() != m_day)
        return;
    const double x = state.LastValidReading.time().msecsSinceStartOfDay() / 1000.0;
    DayHistory& into = m_dayLoading ? m_live : m_history;
    add(into.SolarPowerW, x, state.SolarPowerW);
    add(into.LoadW, x, state.ActivePowerW);
    add(into.BatteryVoltageV, x, state.BatteryVoltageV);
    add(into.BatteryCapacityPercent, x, state.BatteryCapacityPercent);
    add(into.LinePresent, x, state.AcVoltageV > kLinePresentVolts ? 1.0 : 0.0);
    if (!m_dayLoading)
        drawDay();
}

void ChartsWindow::takeDay(QDate day, const DayHistory& history)
{
    if (day != m_day || !m_dayLoading)
        return;
    m_dayLoading = false;
    m_history = history;
    // Readings taken while the logs were read, past the logs' last row.
    for (auto member : kEverySeries) {
        HistorySeries& series = m_history.*member;
        const HistorySeries& live = m_live.*member;
        for (std::size_t i = 0; i < live.X.size(); ++i) {
            if (series.X.empty() || live.X[i] > series.X.back())
                add(series, live.X[i], live.Y[i]);
        }
    }
    m_live = {};
    drawDay();
    emit dayShown(day);
}

void ChartsWindow::takeMonth(QDate firstOfMonth, const MonthHistory& history)
{
    if (firstOfMonth != m_month)
        return;
    const int days = firstOfMonth.daysInMonth();
    QStringList names;
    QList<qreal> solar(days, 0.0);
    QList<qreal> line(days, 0.0);
    for (int day = 1; day <= days; ++day)
        names.append(QString::number(day));
    for (auto [series, values] : {std::pair{&history.SolarKWh, &solar}, std::pair{&history.LineKWh, &line}}) {
        for (std::size_t i = 0; i < series->X.size(); ++i) {
            const int day = static_cast<int>(series->X[i]);
            if (day >= 1 && day <= days)
                (*values)[day - 1] = series->Y[i];
        }
    }
    m_solarEnergy->remove(0, m_solarEnergy->count());
    m_lineEnergy->remove(0, m_lineEnergy->count());
    m_solarEnergy->append(solar);
    m_lineEnergy->append(line);
    m_daysAxis->setCategories(names);
    const double highest = std::max(*std::max_element(solar.begin(), solar.end()),
                                    *std::max_element(line.begin(), line.end()));
    m_energyAxis->setRange(0, std::max(1.0, highest * 1.1));
    m_energyAxis->applyNiceNumbers();
    emit monthShown(firstOfMonth);
}

void ChartsWindow::drawDay()
{
    // A day the window watches for hours grows by a point a reading: thinned again, as read.
    for (auto member : kEverySeries) {
        HistorySeries& series = m_history.*member;
        if (series.X.size() > 2 * kMaxPoints)
            series = Thinned(series, kMaxPoints);
    }
    m_solar->replace(points(m_history.SolarPowerW));
    m_load->replace(points(m_history.LoadW));
    m_batteryVoltage->replace(points(m_history.BatteryVoltageV));
    m_batteryCapacity->replace(points(m_history.BatteryCapacityPercent));
    m_lineEdge->replace(steps(m_history.LinePresent));

    const auto [lowPower, highPower] = valueRange({&m_history.SolarPowerW, &m_history.LoadW});
    m_powerAxis->setRange(std::min(0.0, lowPower), std::max(100.0, highPower * 1.05));
    m_powerAxis->applyNiceNumbers();
    const auto [lowVolts, highVolts] = valueRange({&m_history.BatteryVoltageV});
    if (m_history.BatteryVoltageV.X.empty())
        m_voltageAxis->setRange(40, 60);
    else
        m_voltageAxis->setRange(lowVolts - 1, highVolts + 1);
    m_voltageAxis->applyNiceNumbers();
}

} // namespace quorvane
