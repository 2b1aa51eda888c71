// The pages in a real browser: headless Chromium, driven by playwright-core.
#include "WebCoreFixture.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace quorvane;
using BrowserTest = quorvane::testsupport::WebCoreFixture;

TEST_F(BrowserTest, APersonReadsTheValuesAndSetsTimerA)
{
    setWebPassword("sun&moon"); // a browser sends the "&" encoded
    MeasurementRecord& record = core->ForTests().Record();
    record.AcVoltage = "229.5";
    record.BatteryVoltage = "52.1";
    record.SccBatteryVoltage = "52.0";
    record.Flow.Mode = InverterMode::Battery;
    record.Flow.Source = LoadSource::Battery;
    record.Flow.SourceDecided = true;
    record.Flow.PriorityWhenDecided = OutputPriority::SBU;
    core->ForTests().Computed().Aux1 = 12.34567;
    core->RefreshDisplay();

    auto runBrowser = [this](const std::string& password) {
        QProcess node;
        node.setWorkingDirectory(QUORVANE_BROWSER_DIR);
        node.start("node", {"check_pages.js", QString::fromStdString(url("")), QString::fromStdString(password)});
        EXPECT_TRUE(node.waitForStarted(10000));
        fakes::PumpUntil([&] { return node.state() == QProcess::NotRunning; }, std::chrono::seconds(120));
        const QByteArray output = node.readAllStandardOutput();
        EXPECT_EQ(node.exitCode(), 0) << node.readAllStandardError().toStdString();
        return QJsonDocument::fromJson(output).object();
    };

    const QJsonObject seen = runBrowser("sun&mood");
    EXPECT_EQ(seen["title"].toString(), "Quorvane");
    const QString main = seen["mainText"].toString();
    for (const char* text : {"Welcome to Home server", "AC Voltage (V)", "229.5", "52.1[52.0]", "Battery",
                             "Source:Battery (SBU)", "Solar Energy (24h) (kWh)", "12.346", "Quorvane 1.2.0.0"})
        EXPECT_TRUE(main.contains(text)) << text;
    EXPECT_EQ(core->ForTests().LiveDati().TimeOn[0].time(), QTime(0, 0)); // a wrong password changed nothing

    const QJsonObject posted = runBrowser("sun&moon");
    EXPECT_TRUE(posted["afterPost"].toString().contains("Timer setup"));
    EXPECT_TRUE(core->ForTests().LiveDati().TimerEnabled[0]);
    EXPECT_EQ(core->ForTests().LiveDati().TimeOn[0].time(), QTime(7, 30));
    EXPECT_EQ(core->ForTests().LiveDati().TimeOff[0].time(), QTime(19, 45));
    const std::string file = settingsFile();
    EXPECT_NE(file.find("A=1\r\n"), std::string::npos);
    EXPECT_NE(file.find("Time A ON=07:30:00\r\n"), std::string::npos);
    EXPECT_NE(file.find("Time A OFF=19:45:00\r\n"), std::string::npos);
    // Each visit logged the page under one line for the address (the browser may ask for its
    // icon too, which is logged alike), and the applied form names the client.
    fakes::PumpUntil([this] { return !messages().empty(); });
    const std::vector<std::string> lines = messages();
    const auto isRequestLine = [](const std::string& line) {
        return line.find("[ipstart]127.0.0.1[ipend] requested webpage [CS]") != std::string::npos;
    };
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), isRequestLine), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Timer set-up changed from the web by 127.0.0.1."), 1);
}
