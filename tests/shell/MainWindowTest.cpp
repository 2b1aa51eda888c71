// The desktop window on the offscreen platform, found by object names, over a core on its own
// thread with the simulator on the in-process line; the end-to-end run of the real program
// has it on a real pseudo-terminal.
#include "FakeUserNotifier.h"
#include "GatedPacer.h"
#include "ProgramInFolder.h"
#include "HttpClient.h"
#include "InProcessLine.h"
#include "InverterModel.h"
#include "NullCoreCommands.h"
#include "PtyInverter.h"
#include "WaitUntil.h"
#include "WindowOverSimulator.h"
#include "app/CoreHost.h"
#include "app/CoreParts.h"
#include "core/Clock.h"
#include "shell/MainWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

using namespace quorvane;
using namespace std::chrono_literals;
using fakes::kPatience;
using fakes::PumpUntil;

namespace {

// Answers the next message box with `button`, and remembers its text.
class BoxAnswerer {
public:
    explicit BoxAnswerer(QMessageBox::StandardButton button)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this, button] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                text = box->text().toStdString();
                box->button(button)->click();
            }
        });
        m_timer.start(20);
    }
    std::string text;

private:
    QTimer m_timer;
};

class Shell : public ::testing::Test, protected fakes::WindowOverSimulator {
protected:
    // Attached, and the core's first picture of itself is on show.
    void SetUp() override { ASSERT_TRUE(ShowAndStart()); }
    template <typename Widget = QWidget>
    Widget* find(const char* name) const
    {
        return window->findChild<Widget*>(name);
    }
    QLabel* label(const char* name) const { return find<QLabel>(name); }
    bool memoHas(const QString& text) const
    {
        for (const QString& line : window->Memo().Lines())
            if (line.contains(text))
                return true;
        return false;
    }
};

} // namespace

TEST_F(Shell, TheWindowHasItsComponents)
{
    EXPECT_EQ(window->windowTitle(), "Quorvane 1.2.0.0");
    // The form's sizes, grown where the texts need more room (TextsFitTest).
    const QSize client = window->centralWidget()->size();
    EXPECT_GE(client.width(), 844);
    EXPECT_GE(client.height(), 551);
    for (const char* name : {"Connect1", "Label1", "Test", "Panel2", "Button4", "Button5", "Button6", "Button7",
                             "Button8", "Button1", "GroupBox1", "Panel3", "Memo1", "GroupBox7", "Label51", "GroupBox2",
                             "Label49", "Label50", "ReqByWeb", "Panel16", "Panel21", "Label4", "Panel14", "Panel22", "Panel4"})
        EXPECT_NE(find(name), nullptr) << name;
    const QRect connect = find<QPushButton>("Connect1")->geometry();
    EXPECT_EQ(connect.topLeft(), QPoint(8, 8));
    EXPECT_GE(connect.width(), 75);
    EXPECT_EQ(connect.height(), 29);
    // The memo beside the command panel, as tall as it.
    const QRect commands = find<QWidget>("Panel2")->geometry();
    const QRect memo = find<QWidget>("Memo1")->geometry();
    EXPECT_EQ(memo.topLeft(), QPoint(commands.right() + 1 + 6, 286));
    EXPECT_GE(memo.width(), 450);
    EXPECT_EQ(memo.height(), 252);
    EXPECT_EQ(commands.height(), 252);
    EXPECT_EQ(label("Label51")->text(), ".............");
    QStringList menus;
    for (QAction* action : window->menuBar()->actions())
        menus << action->text();
    EXPECT_EQ(menus, (QStringList{"File", "Options", "View", "?"}));
}

TEST_F(Shell, TestModeConnectShowsValuesAndDisconnectComesBack)
{
    find<QCheckBox>("Test")->click();
    find<QPushButton>("Connect1")->click();
    // The mode and the values of the first test-mode cycle come with the same refresh.
    ASSERT_TRUE(PumpUntil([this] { return label("Label1")->text() == "Test Mode" && label("Panel22")->text() == "Test Mode"; }));
    EXPECT_EQ(find<QPushButton>("Connect1")->text(), "Disconnect");
    EXPECT_FALSE(find<QCheckBox>("Test")->isEnabled());
    const int acVoltage = label("Label4")->text().toInt();
    EXPECT_GE(acVoltage, 200);
    EXPECT_LE(acVoltage, 239);
    EXPECT_EQ(label("Panel22")->text(), "Test Mode");

    find<QPushButton>("Connect1")->click();
    ASSERT_TRUE(PumpUntil([this] { return find<QPushButton>("Connect1")->text() == "Connect"; }));
    EXPECT_EQ(label("Label1")->text(), "Test Mode");
    // The memo publishes its lines after the command, so they may come after the state.
    EXPECT_TRUE(PumpUntil([this] { return memoHas("Disconnected in Test Mode."); }));
}

TEST_F(Shell, SetSbuStaysDisabledUntilTheCoreServedIt)
{
    find<QPushButton>("Connect1")->click();
    ASSERT_TRUE(PumpUntil([this] { return label("Label1")->text() == "Connected"; }));
    auto* sbu = find<QPushButton>("Button5");
    sbu->click();
    EXPECT_FALSE(sbu->isEnabled());
    ASSERT_TRUE(PumpUntil([&] { return sbu->isEnabled(); }));
    EXPECT_TRUE(PumpUntil([this] { return memoHas("SBU source priority successfully set."); })) << window->Memo().Lines().join("\n").toStdString();
    EXPECT_EQ(label("Label51")->text(), "Output source = SBU");
}

TEST_F(Shell, TheWindowShowsLiveValuesFromTheInverter)
{
    find<QPushButton>("Connect1")->click();
    ASSERT_TRUE(PumpUntil([this] { return label("Label4")->text() == "230.0" && label("Panel16")->text() != "---"; }));
    EXPECT_EQ(label("Panel7")->text(), "57.50[57.45]");
    EXPECT_EQ(label("Panel22")->text(), "Line (bypass)");
    EXPECT_EQ(label("Label1")->text(), "Connected");
}

namespace {

// The window over a command face that does nothing, fed with published states by hand.
class WindowOverNothing : public ::testing::Test {
protected:
    template <typename Widget = QWidget>
    Widget* find(const char* name) const
    {
        return window.findChild<Widget*>(name);
    }

    testsupport::NullCoreCommands commands;
    fakes::FakeUserNotifier person;
    TForm1 window{commands, person};
};

} // namespace

TEST_F(WindowOverNothing, TheWarningStripListsFaultsFirstInRedAndWarningsInAmberAndGoesWhenAllIsWell)
{
    window.show();
    ASSERT_TRUE(PumpUntil([this] { return window.isVisible(); }));
    const QSize allWell = window.size();
    const QRect memo = find("Memo1")->geometry();
    auto* strip = find("WarningStrip");
    ASSERT_NE(strip, nullptr);
    EXPECT_TRUE(strip->isHidden());

    const WarningCondition lineFail{5, "line_fail", "Line fail", WarningSeverity::Warning};
    const WarningCondition batteryLow{12, "battery_low", "Battery low", WarningSeverity::Warning};
    const WarningCondition overCurrent{18, "inverter_over_current", "Inverter over current", WarningSeverity::Fault};
    const WarningCondition busOver{2, "bus_over", "Bus over", WarningSeverity::Fault};
    const struct {
        const char* name;
        std::vector<WarningCondition> reported; // in bit order, as the core publishes them
        QStringList shown;
    } cases[] = {
        // The fault comes first although its bit comes last.
        {"a fault and two warnings", {lineFail, batteryLow, overCurrent},
         {"Fault: Inverter over current", "Warning: Line fail", "Warning: Battery low"}},
        {"faults in bit order", {busOver, batteryLow, overCurrent},
         {"Fault: Bus over", "Fault: Inverter over current", "Warning: Battery low"}},
        {"a warning alone", {batteryLow}, {"Warning: Battery low"}},
        {"all well", {}, {}},
    };
    for (const auto& c : cases) {
        CoreState state;
        state.Warnings = c.reported;
        window.ShowState(state);
        const QList<QLabel*> items = strip->findChildren<QLabel*>("WarningItem");
        QStringList texts;
        for (const QLabel* item : items) {
            texts << item->text();
            // Red for a fault, amber for a warning (hues in degrees, red wrapping around 0).
            const QColor colour = item->palette().color(item->foregroundRole());
            const int hue = colour.hue() > 180 ? colour.hue() - 360 : colour.hue();
            const bool fault = item->text().startsWith("Fault");
            EXPECT_GE(hue, fault ? -10 : 30) << c.name << ": " << item->text().toStdString() << " in " << colour.name().toStdString();
            EXPECT_LE(hue, fault ? 10 : 50) << c.name << ": " << item->text().toStdString() << " in " << colour.name().toStdString();
            EXPECT_GE(colour.saturation(), 150) << c.name << ": " << item->text().toStdString() << " in " << colour.name().toStdString();
        }
        EXPECT_EQ(texts, c.shown) << c.name;
        EXPECT_EQ(strip->isHidden(), c.shown.isEmpty()) << c.name;
        if (c.shown.isEmpty()) {
            // No room taken: the window as it was.
            EXPECT_EQ(window.size(), allWell) << c.name;
            EXPECT_EQ(find("Memo1")->geometry(), memo) << c.name;
            continue;
        }
        // Across the window between the value panels and the memo, which moved down for it.
        const QRect place = strip->geometry();
        EXPECT_GT(place.top(), find("GroupBox7")->geometry().bottom()) << c.name;
        EXPECT_GT(find("GroupBox2")->geometry().top(), place.bottom()) << c.name;
        EXPECT_EQ(find("Panel2")->geometry().top(), find("Memo1")->geometry().top()) << c.name;
        EXPECT_EQ(window.height(), allWell.height() + find("Memo1")->y() - memo.y()) << c.name;
    }
}

TEST_F(Shell, TheSecondPvInputShowsBesideTheFirstOnlyForAUnitThatHasOne)
{
    const char* const panels[] = {"Pv2VoltagePanel", "Pv2CurrentPanel", "Pv2PowerPanel"};
    const char* const captions[] = {"Pv2VoltageCaption", "Pv2CurrentCaption", "Pv2PowerCaption"};
    const QRect outputColumn = label("Label11")->geometry(); // "Output Voltage", the second column
    find<QPushButton>("Connect1")->click();
    ASSERT_TRUE(PumpUntil([this] { return label("Label4")->text() == "230.0"; }));
    for (const char* name : panels)
        EXPECT_TRUE(label(name)->isHidden()) << name;
    EXPECT_EQ(label("Label11")->geometry(), outputColumn);

    // The core asks a unit that refused once only when it is connected again.
    find<QPushButton>("Connect1")->click();
    ASSERT_TRUE(PumpUntil([this] { return find<QPushButton>("Connect1")->text() == "Connect"; }));
    model.SetSecondPv("01.5 202.0 00305");
    find<QPushButton>("Connect1")->click();
    ASSERT_TRUE(PumpUntil([this] { return label("Pv2VoltagePanel")->isVisible(); }));
    const char* const texts[] = {"202.0", "1.5", "305"};
    for (size_t i = 0; i < std::size(panels); ++i) {
        EXPECT_EQ(label(panels[i])->text(), texts[i]) << panels[i];
        EXPECT_EQ(label(captions[i])->text().toStdString(), kSecondPvCaptions[i]) << captions[i];
        EXPECT_TRUE(label(captions[i])->isVisible()) << captions[i];
    }
    // Beside "PV Input Voltage" and "PV Input Current", before the second column, which moved
    // over for them.
    EXPECT_EQ(label("Pv2VoltagePanel")->y(), label("Panel6")->y());
    EXPECT_EQ(label("Pv2CurrentPanel")->y(), label("Panel25")->y());
    EXPECT_GT(label("Pv2VoltageCaption")->x(), label("Panel6")->geometry().right());
    EXPECT_GT(label("Label11")->x(), label("Pv2VoltagePanel")->geometry().right());
    EXPECT_GT(label("Label11")->x(), outputColumn.x());
}

TEST_F(Shell, TheCloseButtonAsksNothingAndKeepsTheProgram)
{
    window->close(); // a question would have been a modal box, and close() would not return
    // The offscreen platform has no notification area: the window is minimised, not hidden.
    ASSERT_TRUE(PumpUntil([this] { return window->isMinimized(); }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(window->TrayAvailable());
    EXPECT_EQ(window->TrayTip(), "Quorvane is NOT running");
}

TEST_F(Shell, CloseFromTheMenu)
{
    {
        BoxAnswerer no(QMessageBox::No);
        window->Close2Click();
        EXPECT_EQ(no.text, "Close Quorvane?");
    }
    ASSERT_TRUE(PumpUntil([this] { return memoHas("Closing program aborted."); }));
    EXPECT_TRUE(window->isVisible());

    bool closed = false;
    QObject::connect(window.get(), &TForm1::closedForGood, [&] { closed = true; });
    BoxAnswerer yes(QMessageBox::Yes);
    window->Close2Click();
    ASSERT_TRUE(PumpUntil([&] { return closed; }));
    EXPECT_TRUE(QFileInfo::exists(folder.filePath("Log/EnergyTotalSolar.csv")));
    EXPECT_TRUE(QDir(folder.filePath("Log/LogEvent")).exists());
}

namespace {

// The live page's address, as the program prints it once its web server listens.
std::string printedLivePage(QProcess& program)
{
    const QString prefix = "Live page: ";
    QDeadlineTimer deadline(kPatience);
    for (;;) {
        while (program.canReadLine()) {
            const QString line = QString::fromUtf8(program.readLine()).trimmed();
            if (line.startsWith(prefix))
                return line.mid(prefix.size()).toStdString();
        }
        if (deadline.hasExpired() || !program.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            return {};
    }
}

} // namespace

TEST(ShellEndToEnd, TheProgramServesLiveValuesAndWritesItsLogsWhenStopped)
{
    QTemporaryDir folder;
    sim::InverterModel model;
    model.SetFullSpeed(true);
    model.SetAnswerDelay(0ms);
    model.SetMainField(1, "231.7");
    sim::PtyInverter inverter{model};
    // Port 0: the system picks a free port and the program says which.
    std::ofstream(fakes::SettingsFileIn(folder.path()).toStdString())
        << "[Main]\nAutoSearch=0\nAutoConnect=1\nMeasTime=0\n[Http]\nPort=0\n[Ports]\nCOM1=" << inverter.DevicePath()
        << "\n";

    QProcess quorvane;
    ASSERT_TRUE(fakes::StartProgramIn(quorvane, folder.path(),
                                      static_cast<int>(std::chrono::milliseconds(kPatience).count())));
    const std::string livePage = printedLivePage(quorvane);
    ASSERT_TRUE(livePage.starts_with("http://localhost:")) << livePage;
    EXPECT_NE(livePage, "http://localhost:0/");

    std::string page;
    PumpUntil([&] {
        page = fakes::PerformHttp(livePage, "GET", "").Body;
        return page.find("\n231.7\n") != std::string::npos;
    }, kPatience);
    EXPECT_NE(page.find("\n231.7\n"), std::string::npos);

    quorvane.terminate(); // SIGTERM: the close sequence without asking
    ASSERT_TRUE(quorvane.waitForFinished(static_cast<int>(std::chrono::milliseconds(kPatience).count())));
    EXPECT_TRUE(QFileInfo::exists(folder.filePath("Log/EnergyTotalSolar.csv")));
    EXPECT_FALSE(QDir(folder.filePath("Log/LogVariables")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
}

// The settings dialog, over the same core.
#include "shell/SettingsDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

namespace {

class SettingsDialogTest : public Shell {
protected:
    TSetting& dialog() { return window->Settings(); }
    template <typename Widget = QWidget>
    Widget* control(const char* name) { return dialog().findChild<Widget*>(name); }
    void open()
    {
        window->Settings1Click();
        ASSERT_TRUE(PumpUntil([this] { return dialog().isVisible(); }));
    }
    // Waits until the core has run everything posted so far.
    // (The flag is atomic: what the core thread wrote before setting it is then seen here.)
    void settle()
    {
        std::atomic<bool> done = false;
        host->Post([&done](CoreApp&) { done = true; });
        PumpUntil([&] { return done.load(); });
    }
    std::string appliedHttpPort()
    {
        std::string port;
        std::atomic<bool> done = false;
        host->Post([&](CoreApp& core) {
            port = core.ForTests().LiveDati().HttpPort;
            done = true;
        });
        PumpUntil([&] { return done.load(); });
        return port;
    }
};

} // namespace

TEST_F(SettingsDialogTest, PortFields)
{
    const std::string below = "Pellmara: Value out of range; minimum value allowed = 0.";
    const std::string above = "Pellmara: Value out of range; maximum value allowed= 65535.";
    const struct {
        const char* typed;
        bool enter;
        std::string stored; // the edited port afterwards ("" = unchanged)
        std::vector<std::string> messages;
        bool silver;
    } cases[] = {
        {"8080", true, "8080", {}, false},
        {"8080", false, "", {}, true},
        {"", true, "0", {}, false},
        {"-", true, "0", {}, false},
        {"70000", true, "", {above}, true},
        {"-5", true, "", {below}, true},
        {"5-5", true, "", {"Pellmara: Wrong integer", below}, true},
        {"a.", true, "0", {}, false}, // the keys never reach the field: an empty field
    };
    open();
    auto* port = control<QLineEdit>("Edit20");
    ASSERT_NE(port, nullptr);
    for (const auto& c : cases) {
        dialog().FillDialog(dialog().EditDati());
        const std::string before = dialog().EditDati().HttpPort;
        person.captionedWarnings.clear();
        port->clear();
        QTest::keyClicks(port, c.typed);
        if (c.enter)
            QTest::keyClick(port, Qt::Key_Return);
        EXPECT_EQ(dialog().EditDati().HttpPort, c.stored.empty() ? before : c.stored) << c.typed;
        EXPECT_EQ(person.captionedWarnings, c.messages) << c.typed;
        EXPECT_EQ(port->styleSheet().contains("192"), c.silver) << c.typed;
    }
}

TEST_F(SettingsDialogTest, APortTypedWithoutEnterIsNotApplied)
{
    open();
    const std::string applied = appliedHttpPort();
    QTest::keyClicks(control<QLineEdit>("Edit20"), "8080");
    dialog().Button1Click(); // OK
    settle();
    EXPECT_EQ(appliedHttpPort(), applied);
}

TEST_F(SettingsDialogTest, ChoosingCom4StoresItAndReopeningShowsIt)
{
    open();
    auto* ports = control<QComboBox>("COMPORT");
    const int com4 = ports->findText("COM4");
    ASSERT_EQ(ports->findText("COM3"), -1);
    ports->setCurrentIndex(com4);
    emit ports->activated(com4);
    EXPECT_EQ(dialog().EditDati().ComPort, "COM4");
    EXPECT_EQ(dialog().EditDati().ComPortIndex, 4);
    emit ports->activated(ports->count() - 1); // an empty entry stores nothing
    EXPECT_EQ(dialog().EditDati().ComPortIndex, 4);
    dialog().Button1Click();
    settle();
    open();
    EXPECT_EQ(ports->currentText(), "COM4");
    EXPECT_EQ(control<QLabel>("ComDevice")->text(), "/dev/ttyUSB3");
}

TEST_F(SettingsDialogTest, CancelDropsEditsAndOkWithoutChangesSavesNothing)
{
    open();
    QTest::keyClicks(control<QLineEdit>("Edit5"), " edited");
    EXPECT_TRUE(dialog().Modified());
    dialog().Button2Click(); // Cancel
    open();
    EXPECT_EQ(control<QLineEdit>("Edit5")->text(), "Welcome to Home server");
    EXPECT_FALSE(dialog().Modified());

    const QDateTime before = QFileInfo(QString::fromStdString(settingsPath)).lastModified();
    const std::string content = [&] {
        std::ifstream in(settingsPath);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }();
    dialog().Button1Click(); // OK with "Apply" disabled
    settle();
    std::ifstream in(settingsPath);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()), content);
    EXPECT_EQ(QFileInfo(QString::fromStdString(settingsPath)).lastModified(), before);
}

TEST_F(SettingsDialogTest, UpdateLogAndDisableHttp)
{
    open();
    auto* fiveMinutes = control<QGroupBox>("RefreshTime")->findChildren<QRadioButton*>().at(2);
    fiveMinutes->click();
    dialog().Button4Click(); // Apply
    int interval = 0;
    bool serving = true;
    host->Post([&](CoreApp& core) { interval = core.ForTests().Timer3().Interval(); });
    settle();
    EXPECT_EQ(interval, 350000);

    control<QCheckBox>("HTTPdisable")->click();
    host->Post([&](CoreApp& core) { serving = core.ForTests().WebServer().Active(); });
    settle();
    EXPECT_FALSE(serving);
    dialog().MarkModified();
    dialog().Button4Click(); // Apply starts it again, whatever the box shows
    host->Post([&](CoreApp& core) { serving = core.ForTests().WebServer().Active(); });
    settle();
    EXPECT_TRUE(serving);
    EXPECT_TRUE(control<QCheckBox>("HTTPdisable")->isChecked());
}

TEST_F(SettingsDialogTest, MailEnablingRules)
{
    open();
    auto* auth = control<QCheckBox>("CheckBox1");
    auto* direct = control<QCheckBox>("Useinternal");
    auto* user = control<QLineEdit>("Edit3");
    auto* server = control<QLineEdit>("Edit1");
    EXPECT_FALSE(user->isEnabled());
    auth->click();
    EXPECT_TRUE(user->isEnabled());
    direct->click();
    EXPECT_FALSE(user->isEnabled());
    EXPECT_FALSE(server->isEnabled());
    EXPECT_FALSE(auth->isEnabled());
    direct->click();
    EXPECT_TRUE(server->isEnabled());
    EXPECT_TRUE(user->isEnabled()); // authentication is still ticked
    EXPECT_FALSE(control<QCheckBox>("CheckBox19")->isEnabled()); // "Proxy required" stays disabled
}

TEST_F(SettingsDialogTest, EveryTabAsAPicture)
{
    open();
    auto* tabs = control<QTabWidget>("PageControl1");
    QStringList names;
    for (int i = 0; i < tabs->count(); ++i) {
        names << tabs->tabText(i);
        tabs->setCurrentIndex(i);
        dialog().grab().save(QDir(QUORVANE_BUILD_DIR).filePath(QString("settings-tab-%1.png").arg(i)));
    }
    EXPECT_EQ(names, (QStringList{"Main", "Mail", "Basic Info Log", "Computed info Log", "Energy/Event Log ", "Timer",
                                  "BlackList", "Ports", "MQTT", "Inverter"}));
    EXPECT_GE(dialog().width(), 694);
    EXPECT_GE(dialog().height(), 354);
    EXPECT_EQ(dialog().windowTitle(), "Settings");
}

TEST_F(SettingsDialogTest, TheInverterTabShowsTheConnectedInvertersSettingsAndSetsThem)
{
    open();
    auto* bulk = control<QDoubleSpinBox>("InverterBulkVoltage");
    auto* setBulk = control<QPushButton>("InverterSetBulkVoltage");
    EXPECT_FALSE(bulk->isEnabled());
    EXPECT_FALSE(setBulk->isEnabled());
    EXPECT_FALSE(control("InverterConnectNote")->isHidden());

    find<QPushButton>("Connect1")->click();
    ASSERT_TRUE(PumpUntil([&] { return setBulk->isEnabled(); }));
    EXPECT_TRUE(control("InverterConnectNote")->isHidden());
    // The simulator's settings, as its rated information gives them.
    const struct {
        const char* label;
        const char* text;
    } inForce[] = {
        {"InverterChargerPriorityInForce", "Only solar"}, {"InverterMaxChargingCurrentInForce", "60 A"},
        {"InverterMaxUtilityChargingCurrentInForce", "2 A"}, {"InverterRechargeVoltageInForce", "46.0 V"},
        {"InverterRedischargeVoltageInForce", "54.0 V"}, {"InverterCutOffVoltageInForce", "42.0 V"},
        {"InverterBulkVoltageInForce", "56.4 V"}, {"InverterFloatVoltageInForce", "54.0 V"},
        {"InverterBatteryTypeInForce", "User"},
    };
    for (const auto& shown : inForce)
        EXPECT_EQ(control<QLabel>(shown.label)->text(), shown.text) << shown.label;
    EXPECT_EQ(control<QComboBox>("InverterMaxChargingCurrent")->count(), 12); // 10 to 120 A

    // The core asks the person (the fake answers yes), sends it and reads it back.
    bulk->setValue(57.0);
    setBulk->click();
    QString outcome;
    ASSERT_TRUE(PumpUntil([&] {
        for (const QString& line : window->Memo().Lines())
            if (line.contains("Inverter setting Bulk charging voltage 56.4 V -> 57.0 V"))
                outcome = line;
        return !outcome.isEmpty();
    }));
    EXPECT_TRUE(outcome.contains("): done.")) << outcome.toStdString();
    EXPECT_TRUE(PumpUntil([this] { return control<QLabel>("InverterBulkVoltageInForce")->text() == "57.0 V"; }));
}
