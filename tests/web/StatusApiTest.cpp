// The state for scripts and monitoring: /api/v1/status as JSON and /metrics for Prometheus,
// read by real parsers (Qt's JSON reader, promtool) over real HTTP.
#include "ScopedTimeZone.h"
#include "WebCoreFixture.h"

#include "records/LogTree.h"
#include "web/HistoryApi.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <filesystem>
#include <regex>

using namespace quorvane;

namespace {

class StatusApi : public testsupport::WebCoreFixture {
protected:
    // A reading as the queries leave it, published as the core publishes after a cycle.
    void takeReading()
    {
        MeasurementRecord& record = core->ForTests().Record();
        record.AcVoltage = "229.5";
        record.BatteryVoltage = "52.1";
        record.BatteryCapacity = "087";
        record.OutputActivePower = "0415";
        record.Flow.Mode = InverterMode::Battery;
        record.Flow.Charge = ChargeState::Solar;
        record.Flow.DecidedSource = LoadSource::BatteryAndSolar;
        record.AcceptReading(clock.now());
        record.Polls.Requests = 3;
        record.Polls.Accepted = 1;
        record.Polls.BadFrame = 2;
        record.Rated = DecodeRatedInfo("230.0 21.7 230.0 50.0 21.7 5000 4000 48.0 46.0 42.0 56.4 54.0 5 02 060 0 2 3 1 "
                                       "01 0 0 54.0 0 1");
        record.Warnings = *DecodeWarningStatus("0100000001000000000000000000000000000"); // inverter fault, over temperature
        core->ForTests().Computed().Aux1 = 1.25; // solar energy today, kWh
        core->ForTests().Computed().Aux5 = 10.5; // solar energy total, kWh
        core->RefreshDisplay();
        core->PublishSnapshot();
    }

    // The value of the one sample of `name` (with its labels, if any) in `metrics`.
    static std::optional<double> sample(const std::string& metrics, const std::string& name)
    {
        std::istringstream lines(metrics);
        for (std::string line; std::getline(lines, line);) {
            if (line.starts_with(name + " "))
                return std::stod(line.substr(name.size() + 1));
        }
        return std::nullopt;
    }
};

std::string headerValue(const std::string& headers, const std::string& name)
{
    std::smatch match;
    const std::regex pattern("(^|\r\n)" + name + ": ([^\r\n]*)", std::regex::icase);
    return std::regex_search(headers, match, pattern) ? match[2].str() : std::string();
}

} // namespace

TEST_F(StatusApi, TheStatusIsTheStateAsJsonWithTheValuesThePageShows)
{
    const testsupport::ScopedTimeZone berlin("Europe/Berlin"); // 1 June, 12:00 UTC: 14:00 there
    takeReading();
    const auto reply = fakes::Http(url("/api/v1/status"));
    ASSERT_EQ(reply.Status, 200);
    EXPECT_EQ(headerValue(reply.Headers, "Content-Type"), "application/json");
    EXPECT_EQ(headerValue(reply.Headers, "Cache-Control"), "no-store");
    EXPECT_EQ(headerValue(reply.Headers, "Access-Control-Allow-Origin"), ""); // no CORS unless asked

    QJsonParseError error{};
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(reply.Body), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << reply.Body;
    const std::string page = *core->ForTests().Pages().MainPageText();
    for (const auto& [key, shown] : {std::pair{"ac_voltage_v", "229.5"}, std::pair{"battery_voltage_v", "52.1"}}) {
        EXPECT_NE(page.find(shown), std::string::npos) << shown;
        EXPECT_EQ(json[key].toDouble(), std::stod(shown)) << key;
    }
    EXPECT_EQ(json["battery_capacity_percent"].toDouble(), 87);
    EXPECT_EQ(json["output_active_power_w"].toDouble(), 415);
    EXPECT_EQ(json["mode"].toString(), "battery");
    EXPECT_EQ(json["charge_state"].toString(), "solar");
    EXPECT_EQ(json["load_source"].toString(), "battery_and_solar");
    EXPECT_TRUE(json["output_priority"].isNull()); // not read yet
    EXPECT_EQ(json["solar_energy_today_kwh"].toDouble(), 1.25);
    EXPECT_EQ(json["solar_energy_total_kwh"].toDouble(), 10.5);
    EXPECT_EQ(json["link"].toString(), "disconnected");
    EXPECT_TRUE(json["values_valid"].toBool());
    EXPECT_EQ(json["reading_time"].toString(), "2026-06-01T14:00:00+02:00");
    EXPECT_EQ(json["polls"].toObject()["bad_frame"].toInt(), 2);
    const QJsonArray warnings = json["warnings"].toArray();
    ASSERT_EQ(warnings.size(), 2);
    EXPECT_EQ(warnings[1].toObject()["id"].toString(), "over_temperature");
    EXPECT_EQ(warnings[1].toObject()["text"].toString(), "Over temperature");
    EXPECT_EQ(warnings[1].toObject()["severity"].toString(), "fault"); // with the inverter fault bit
    EXPECT_EQ(warnings[1].toObject()["bit"].toInt(), 9);
    const QJsonObject charger = json["charger_settings"].toObject();
    EXPECT_EQ(charger["recharge_voltage_v"].toDouble(), 46.0);
    EXPECT_EQ(charger["max_charging_current_a"].toInt(), 60);
    EXPECT_EQ(charger["charger_priority"].toString(), "only_solar");
    EXPECT_EQ(charger["battery_type"].toString(), "type_5"); // a unit's own kind of battery
}

TEST_F(StatusApi, BeforeAnyReadingTheStatusSaysSo)
{
    const QJsonObject json =
        QJsonDocument::fromJson(QByteArray::fromStdString(fakes::Http(url("/api/v1/status")).Body)).object();
    EXPECT_FALSE(json["values_valid"].toBool());
    EXPECT_TRUE(json["reading_time"].isNull());
    EXPECT_TRUE(json["mode"].isNull());
    EXPECT_EQ(json["valid_readings"].toInt(), 0);
    EXPECT_TRUE(json["warnings"].isArray());
    EXPECT_TRUE(json["warnings"].toArray().isEmpty());
    EXPECT_TRUE(json["charger_settings"].isNull());
}

TEST_F(StatusApi, TheMetricsPassPromtoolAndCarryTheReadingsAndCounts)
{
    const std::filesystem::path promtool = QUORVANE_PROMTOOL;
    ASSERT_TRUE(std::filesystem::exists(promtool)) << promtool << " is missing: scripts/setup fetches it";
    takeReading();
    fakes::Http(url("/"));
    fakes::Http(url("/Timer"));
    const auto reply = fakes::Http(url("/metrics"));
    ASSERT_EQ(reply.Status, 200);
    EXPECT_EQ(headerValue(reply.Headers, "Content-Type"), "text/plain; version=0.0.4; charset=utf-8");

    QProcess check;
    check.start(QString::fromStdString(promtool.string()), {"check", "metrics"});
    ASSERT_TRUE(check.waitForStarted(10000));
    check.write(QByteArray::fromStdString(reply.Body));
    check.closeWriteChannel();
    fakes::PumpUntil([&] { return check.state() == QProcess::NotRunning; }, std::chrono::seconds(60));
    EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardError().toStdString() << reply.Body;

    const std::string& metrics = reply.Body;
    EXPECT_EQ(sample(metrics, "quorvane_ac_voltage_volts"), 229.5);
    EXPECT_EQ(sample(metrics, "quorvane_battery_capacity_percent"), 87);
    EXPECT_EQ(sample(metrics, "quorvane_solar_energy_today_joules"), 1.25 * 3.6e6);
    EXPECT_EQ(sample(metrics, "quorvane_solar_energy_joules_total"), 10.5 * 3.6e6);
    EXPECT_EQ(sample(metrics, "quorvane_up"), 0); // read, but the link is down
    EXPECT_EQ(sample(metrics, "quorvane_last_reading_timestamp_seconds"), clock.now().toSecsSinceEpoch());
    EXPECT_EQ(sample(metrics, "quorvane_inverter_mode{mode=\"battery\"}"), 1);
    EXPECT_EQ(sample(metrics, "quorvane_poll_requests_total"), 3);
    EXPECT_EQ(sample(metrics, "quorvane_inverter_condition_active{condition=\"over_temperature\",severity=\"fault\"}"), 1);
    EXPECT_EQ(sample(metrics, "quorvane_poll_rejected_total{reason=\"bad_frame\"}"), 2);
    EXPECT_EQ(sample(metrics, "quorvane_web_requests_total{kind=\"main_page\"}"), 1);
    EXPECT_EQ(sample(metrics, "quorvane_web_requests_total{kind=\"timer_page\"}"), 1);
    EXPECT_EQ(sample(metrics, "quorvane_web_requests_total{kind=\"metrics\"}"), 1);
}

TEST_F(StatusApi, TheHistoryIsTheLogsAsSeriesForADayAndAMonth)
{
    const auto writeLog = [](const std::string& path, const std::string& text) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    };
    const std::string base = folder.path().toStdString();
    const QDate day(2026, 6, 1);
    writeLog(LogTree::UsualDayLogPath(base, DayLog::Basic, day),
             "07:00:00,0.0,0.0,103.8,14,51.20[51.1],80,12,0,49.9,230.0,161,350,3,69,460\r\n"
             "07:00:01,230.0,50.0,103.8,14,51.30[51.1],81,12,0,49.9,230.0,161,360,3,69,460\r\n");
    writeLog(LogTree::UsualDayLogPath(base, DayLog::Computed, day), "07:00:01,0.125,700.000,0,0,1,1\r\n");
    writeLog(LogTree::UsualEnergyLogPath(base, day), "06/01/26,12.346,3.500,2.750,1234.568,98.000\r\n");

    const auto get = [this](const std::string& query) {
        const auto reply = fakes::Http(url(std::string(HistoryApi::kPath) + query));
        return std::pair{reply.Status, QJsonDocument::fromJson(QByteArray::fromStdString(reply.Body)).object()};
    };
    const auto [dayStatus, dayJson] = get("?day=2026-06-01");
    ASSERT_EQ(dayStatus, 200);
    const QJsonObject series = dayJson["series"].toObject();
    EXPECT_EQ(series["load_w"].toArray(), (QJsonArray{QJsonArray{25200, 350}, QJsonArray{25201, 360}}));
    EXPECT_EQ(series["line_present"].toArray(), (QJsonArray{QJsonArray{25200, 0}, QJsonArray{25201, 1}}));
    EXPECT_EQ(series["battery_voltage_v"].toArray()[1].toArray()[1].toDouble(), 51.3);
    EXPECT_EQ(series["solar_power_w"].toArray(), (QJsonArray{QJsonArray{25201, 700}}));

    const auto [monthStatus, monthJson] = get("?month=2026-06");
    ASSERT_EQ(monthStatus, 200);
    EXPECT_EQ(monthJson["series"].toObject()["solar_energy_kwh"].toArray(), (QJsonArray{QJsonArray{1, 12.346}}));

    const auto [emptyStatus, emptyJson] = get("?day=2025-01-01"); // no logs that day
    EXPECT_EQ(emptyStatus, 200);
    EXPECT_TRUE(emptyJson["series"].toObject()["load_w"].toArray().isEmpty());
    for (const char* bad : {"", "?day=2026-13-01", "?month=june", "?day=2026-06-01%00"})
        EXPECT_EQ(get(bad).first, 400) << bad;
    EXPECT_TRUE(messages().empty()) << "a history request is no page request";
}

TEST_F(StatusApi, ScrapesAreNoPageRequests)
{
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(fakes::Http(url("/metrics")).Status, 200);
        EXPECT_EQ(fakes::Http(url("/api/v1/status")).Status, 200);
    }
    fakes::Http(url("/"));
    // Only the page request is in the memo, and only once the queue is taken.
    ASSERT_TRUE(fakes::PumpUntil([this] { return !messages().empty(); }));
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(messages()[0].ends_with("requested webpage [CS]1[CE]")) << messages()[0]; // one request, not seven
}
