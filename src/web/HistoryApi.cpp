#include "web/HistoryApi.h"

#include "records/LogHistory.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

#include <utility>

namespace quorvane {

namespace {

QJsonArray points(const HistorySeries& series)
{
    QJsonArray list;
    for (std::size_t i = 0; i < series.X.size(); ++i)
        list.append(QJsonArray{series.X[i], series.Y[i]});
    return list;
}

HttpReply json(int status, const QJsonObject& body)
{
    return HttpReply{.Status = status, .Body = QJsonDocument(body).toJson(QJsonDocument::Compact).toStdString(),
                     .Page = {}, .ContentType = "application/json", .NoStore = true};
}

HttpReply badQuery()
{
    return json(400, QJsonObject{{"error", "ask for ?day=YYYY-MM-DD or ?month=YYYY-MM"}});
}

} // namespace

HistoryApi::HistoryApi(std::string logBase, const LocaleFormats& formats)
    : m_logBase(std::move(logBase)), m_formats(&formats)
{
}

HttpReply HistoryApi::Answer(const std::string& query) const
{
    const QUrlQuery fields(QString::fromStdString(query));
    if (fields.hasQueryItem("day")) {
        const QDate day = QDate::fromString(fields.queryItemValue("day"), "yyyy-MM-dd");
        if (!day.isValid())
            return badQuery();
        const DayHistory history = ReadDayHistoryFiles(m_logBase, day, *m_formats, kMaxPoints);
        const QJsonObject series{{"solar_power_w", points(history.SolarPowerW)},
                                 {"load_w", points(history.LoadW)},
                                 {"battery_voltage_v", points(history.BatteryVoltageV)},
                                 {"battery_capacity_percent", points(history.BatteryCapacityPercent)},
                                 {"line_present", points(history.LinePresent)}};
        return json(200, QJsonObject{{"day", day.toString(Qt::ISODate)}, {"series", series}});
    }
    if (fields.hasQueryItem("month")) {
        const QDate first = QDate::fromString(fields.queryItemValue("month") + "-01", "yyyy-MM-dd");
        if (!first.isValid())
            return badQuery();
        const MonthHistory history = ReadMonthHistoryFile(m_logBase, first, *m_formats);
        const QJsonObject series{{"solar_energy_kwh", points(history.SolarKWh)},
                                 {"line_energy_kwh", points(history.LineKWh)}};
        return json(200, QJsonObject{{"month", first.toString("yyyy-MM")}, {"series", series}});
    }
    return badQuery();
}

} // namespace quorvane
