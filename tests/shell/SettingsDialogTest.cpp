// The settings dialog over a core on its own thread: what Enter does in its fields, the keys
// its numeric fields take, and how its working copy follows changes made elsewhere while it
// is open. The MQTT tab on a dialog of its own: what it shows, what Apply hands on, which
// fields it offers when.
#include "FakeUserNotifier.h"
#include "GatedPacer.h"
#include "HttpClient.h"
#include "app/CoreHost.h"
#include "app/CoreParts.h"
#include "core/Clock.h"
#include "inverter/PosixSerialPort.h"
#include "shell/MainWindow.h"
#include "shell/SettingsDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

using namespace quorvane;
using namespace std::chrono_literals;
using fakes::PumpUntil;

namespace {

// Closes every message box that opens (Cancel) and keeps its text.
class BoxWatcher {
public:
    BoxWatcher()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.push_back(box->text().toStdString());
                box->button(QMessageBox::Cancel) != nullptr ? box->button(QMessageBox::Cancel)->click() : box->reject();
            }
        });
        m_timer.start(10);
    }
    std::vector<std::string> texts;

private:
    QTimer m_timer;
};

class OpenSettings : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ofstream(settingsPath) << "[Main]\nAutoSearch=0\nAutoReConnect=1\n[Http]\nPort=0\n";
        addHidDevice("hidraw0", "HID_ID=0003:00000665:00005161\nHID_NAME=Inverter USB\n");
        addHidDevice("hidraw1", "HID_ID=0003:00001234:0000ABCD\nHID_NAME=Other\n");
        CoreApp::Options options;
        options.SysfsRoot = sysfsRoot();
        options.SettingsPath = settingsPath;
        options.LogBase = folder.path().toStdString();
        options.LocaleName = "C";
        options.MailRoutes = {{"127.0.0.1", 9}, 25};
        host = std::make_unique<CoreHost>(options, clock, opener, person);
        window = std::make_unique<TForm1>(*host, person);
        QObject::connect(host.get(), &CoreHost::ready, window.get(), [this](CoreApp* core) { window->Attach(core); });
        window->show();
        host->Start();
        ASSERT_TRUE(PumpUntil([this] { return host->Core() != nullptr; }));
        window->Settings1Click();
        ASSERT_TRUE(PumpUntil([this] { return dialog().isVisible(); }));
    }
    void TearDown() override
    {
        window.reset();
        host.reset();
    }

    // A raw HID device in the fake sysfs tree the core lists them from.
    void addHidDevice(const std::string& name, const std::string& uevent) const
    {
        const std::string device = sysfsRoot() + "/class/hidraw/" + name + "/device";
        std::filesystem::create_directories(device);
        std::ofstream(device + "/uevent") << uevent;
    }
    [[nodiscard]] std::string sysfsRoot() const { return QDir(folder.path()).filePath("sys").toStdString(); }

    TSetting& dialog() { return window->Settings(); }
    template <typename Widget = QWidget>
    Widget* control(const char* name)
    {
        auto* widget = dialog().findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QCheckBox* windowReqByWeb() { return window->centralWidget()->findChild<QCheckBox*>("ReqByWeb"); }
    // Runs `read` on the core thread once everything posted before it has run.
    template <typename Read>
    auto onCore(Read read)
    {
        decltype(read(std::declval<CoreApp&>())) value{};
        std::atomic<bool> done = false;
        host->Post([&](CoreApp& core) {
            value = read(core);
            done = true;
        });
        PumpUntil([&] { return done.load(); });
        return value;
    }
    // An edit of the user's own, then Apply.
    void editTitleAndApply()
    {
        QTest::keyClicks(control<QLineEdit>("Edit5"), " edited");
        dialog().Button4Click();
        onCore([](CoreApp&) { return true; });
    }

    QTemporaryDir folder;
    std::string settingsPath = QDir(folder.path()).filePath("quorvane.INI").toStdString();
    SystemClock clock;
    PosixSerialOpener opener;
    fakes::FakeUserNotifier person;
    std::unique_ptr<CoreHost> host;
    std::unique_ptr<TForm1> window;
};

} // namespace

TEST_F(OpenSettings, EnterInAMailFieldRunsOnlyThatFieldsEntry)
{
    const struct {
        const char* field;
        const char* typed;
        std::string TDati::*setting;
    } cases[] = {
        {"Edit2", "2525", &TDati::MailPort}, // the SMTP port: Enter accepts the value, nothing more
        {"Edit1", "smtp.example.org", &TDati::Smtp},
        {"Edit29", "me@example.org", &TDati::Address},
    };
    control<QTabWidget>("PageControl1")->setCurrentIndex(1); // "Mail": "Send Test Email" is on view
    for (const auto& c : cases) {
        BoxWatcher boxes;
        auto* field = control<QLineEdit>(c.field);
        field->setFocus();
        field->clear();
        QTest::keyClicks(field, c.typed);
        QTest::keyClick(field, Qt::Key_Return); // a button it clicked would have run by now
        EXPECT_EQ(boxes.texts, std::vector<std::string>{}) << c.field;
        EXPECT_EQ(dialog().EditDati().*c.setting, c.typed) << c.field;
        EXPECT_EQ(control<QLabel>("Label46")->text().toStdString(), "Test mail progress") << c.field;
        EXPECT_TRUE(control<QPushButton>("btnSendMail")->isEnabled()) << c.field;
        for (const QPushButton* button : dialog().findChildren<QPushButton*>())
            EXPECT_FALSE(button->isDefault()) << c.field << " makes " << button->text().toStdString() << " the default";
    }
}

TEST_F(OpenSettings, PortFieldsTakeEditingKeys)
{
    // X11 and Wayland deliver Delete with the text 0x7F; a letter never reaches the field.
    const struct {
        const char* name;
        Qt::Key key;
        QString text;
        int cursor;
        std::string after;
    } cases[] = {
        {"Delete", Qt::Key_Delete, QString(QChar(0x7F)), 0, "080"},
        {"Backspace", Qt::Key_Backspace, QString(QChar(0x08)), 1, "080"},
        {"a digit", Qt::Key_5, "5", 0, "58080"},
        {"a letter", Qt::Key_A, "a", 0, "8080"},
    };
    for (const char* name : {"Edit20", "Edit2"}) {
        auto* port = control<QLineEdit>(name);
        for (const auto& c : cases) {
            port->setText("8080");
            port->setCursorPosition(c.cursor);
            QKeyEvent press(QEvent::KeyPress, c.key, Qt::NoModifier, c.text);
            QApplication::sendEvent(port, &press);
            EXPECT_EQ(port->text().toStdString(), c.after) << name << ", " << c.name;
        }
    }

    // Tab leaves the field for the next control.
    auto* port = control<QLineEdit>("Edit20");
    dialog().activateWindow();
    port->setFocus();
    ASSERT_TRUE(PumpUntil([&] { return port->hasFocus(); }));
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, "\t");
    QApplication::sendEvent(port, &tab);
    EXPECT_FALSE(port->hasFocus());
}

TEST_F(OpenSettings, AWebTimerPostShowsInTheOpenDialogAndApplyKeepsIt)
{
    const std::uint16_t port = onCore([](CoreApp& core) { return core.ForTests().WebServer().Port(); });
    ASSERT_NE(port, 0);
    const auto reply = fakes::Http("http://127.0.0.1:" + std::to_string(port) + "/Timer", "POST",
                                   "TAON=06.00.00&TAOFF=18.00.00&C2TB=ON&TBON=07.00.00&TBOFF=19.00.00&T2=");
    ASSERT_TRUE(reply.Ok);

    ASSERT_TRUE(PumpUntil([this] { return control<QCheckBox>("CheckBox20")->isChecked(); }));
    EXPECT_EQ(control<QTimeEdit>("DateTimePicker3")->time(), QTime(7, 0));
    EXPECT_EQ(control<QTimeEdit>("DateTimePicker4")->time(), QTime(19, 0));
    EXPECT_EQ(control<QTimeEdit>("DateTimePicker1")->time(), QTime(6, 0));
    EXPECT_TRUE(control<QTimeEdit>("DateTimePicker3")->isEnabled()); // the group follows its box
    EXPECT_TRUE(dialog().EditDati().TimerEnabled[1]);
    EXPECT_EQ(dialog().EditDati().TimeOn[1].time(), QTime(7, 0));

    editTitleAndApply();
    EXPECT_TRUE(onCore([](CoreApp& core) { return core.ForTests().LiveDati().TimerEnabled[1]; }));
    EXPECT_EQ(onCore([](CoreApp& core) { return core.ForTests().LiveDati().TimeOn[1].time(); }), QTime(7, 0));
    EXPECT_EQ(onCore([](CoreApp& core) { return core.ForTests().LiveDati().TimeOff[0].time(); }), QTime(18, 0));
}

TEST_F(OpenSettings, RequestedByWebFromTheWindowOrTimerAShowsInTheOpenDialog)
{
    const struct {
        const char* name;
        std::function<void()> change;
        bool ticked;
    } cases[] = {
        {"the window's box ticked", [this] { windowReqByWeb()->click(); }, true},
        {"timer A's OFF", [this] { host->Post([](CoreApp& core) { core.SetReqByWebBox(false); }); }, false},
        {"timer A's ON", [this] { host->Post([](CoreApp& core) { core.SetReqByWebBox(true); }); }, true},
        {"the window's box cleared", [this] { windowReqByWeb()->click(); }, false},
    };
    auto* box = control<QCheckBox>("ReqByWeb");
    for (const auto& c : cases) {
        c.change();
        ASSERT_TRUE(PumpUntil([&] { return box->isChecked() == c.ticked; })) << c.name;
        EXPECT_EQ(dialog().EditDati().ReqByWeb, c.ticked) << c.name;
        editTitleAndApply();
        EXPECT_EQ(onCore([](CoreApp& core) { return core.ForTests().ReqByWebBox(); }), c.ticked) << c.name;
        EXPECT_EQ(onCore([](CoreApp& core) { return core.ForTests().LiveDati().ReqByWeb; }), c.ticked) << c.name;
    }
}

TEST_F(OpenSettings, LeavingRequestedByWebTicksAutoReconnectInTheOpenDialog)
{
    auto* autoReconnect = control<QCheckBox>("CheckBox29");
    ASSERT_TRUE(autoReconnect->isChecked());
    windowReqByWeb()->click();
    ASSERT_TRUE(PumpUntil([this] { return control<QCheckBox>("ReqByWeb")->isChecked(); }));
    autoReconnect->click(); // cleared in the dialog, not applied
    windowReqByWeb()->click();
    ASSERT_TRUE(PumpUntil([&] { return autoReconnect->isChecked(); }));
    EXPECT_TRUE(dialog().EditDati().AutoReConnect);
    EXPECT_FALSE(dialog().EditDati().ReqByWeb);

    editTitleAndApply();
    EXPECT_TRUE(onCore([](CoreApp& core) { return core.ForTests().LiveDati().AutoReConnect; }));
}


TEST_F(OpenSettings, ThePortsTabShowsTheHidDevicesAndWhichOnesTheSearchTries)
{
    auto* devices = control<QTableWidget>("HidDevices");
    ASSERT_TRUE(PumpUntil([&] { return devices->rowCount() == 2; }));
    const auto cell = [&](int row, int column) {
        const QTableWidgetItem* item = devices->item(row, column);
        return item != nullptr ? item->text().toStdString() : std::string();
    };
    EXPECT_EQ(cell(0, 0), "/dev/hidraw0");
    EXPECT_EQ(cell(0, 1), "0665:5161");
    EXPECT_EQ(cell(0, 2), "Inverter USB");
    EXPECT_EQ(cell(0, 3), "yes");
    EXPECT_EQ(cell(1, 1), "1234:abcd");
    EXPECT_EQ(cell(1, 3), "");

    // An id typed in marks its device at once and is in the working copy.
    QTest::keyClicks(control<QLineEdit>("HidIds"), "1234:ABCD");
    EXPECT_EQ(cell(1, 3), "yes");
    EXPECT_EQ(dialog().EditDati().HidIds, "1234:ABCD");

    // A device plugged in since shows after "Refresh".
    addHidDevice("hidraw4", "HID_ID=0003:00000665:00005161\nHID_NAME=Second Inverter\n");
    control<QPushButton>("HidRefresh")->click();
    ASSERT_TRUE(PumpUntil([&] { return devices->rowCount() == 3; }));
    EXPECT_EQ(cell(2, 0), "/dev/hidraw4");
    EXPECT_EQ(cell(2, 3), "yes");

    dialog().Button4Click();
    EXPECT_EQ(onCore([](CoreApp& core) { return core.ForTests().LiveDati().HidIds; }), "1234:ABCD");
}

namespace {

// The dialog alone, with the settings Apply hands on kept.
class MqttTab : public ::testing::Test {
protected:
    template <typename Widget = QWidget>
    Widget* control(const char* name)
    {
        auto* widget = dialog.findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    // Replaces the field's text as typed keys do.
    void retype(const char* name, const QString& typed)
    {
        auto* field = control<QLineEdit>(name);
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, typed);
    }
    void fillMqtt(const MqttSettings& mqtt)
    {
        live.Mqtt = mqtt;
        dialog.FormShow(live);
    }
    // The defaults but the few fields a case sets.
    void fillMqtt(bool enabled, bool tls = false, bool discovery = true, int port = MqttSettings{}.Port)
    {
        MqttSettings mqtt;
        mqtt.Enabled = enabled;
        mqtt.Tls = tls;
        mqtt.Discovery = discovery;
        mqtt.Port = port;
        fillMqtt(mqtt);
    }
    static TSetting::Actions keepingApplied(std::vector<TDati>& applied)
    {
        TSetting::Actions actions;
        actions.Apply = [&applied](const TDati& settings) { applied.push_back(settings); };
        return actions;
    }

    fakes::FakeUserNotifier person;
    std::vector<TDati> applied;
    TSetting dialog{keepingApplied(applied), person};
    TDati live{QDate(2026, 12, 10)};
};

} // namespace

TEST_F(MqttTab, ShowsTheSettingsAndApplyHandsOnTheEdits)
{
    fillMqtt({.Enabled = true,
              .Host = "broker.lan",
              .Port = 8883,
              .Username = "solar",
              .Password = "s3cret",
              .Tls = true,
              .CaFile = "/etc/ssl/ca.pem",
              .ClientId = "roof",
              .TopicPrefix = "home/inverter",
              .Retain = false,
              .Discovery = true,
              .DiscoveryPrefix = "ha",
              .AllowCommands = false,
              .DeviceId = "92931509101901"});
    const struct {
        const char* name;
        const char* shown;
        const char* typed;
    } fields[] = {
        {"MqttHost", "broker.lan", "10.0.0.7"},
        {"MqttUsername", "solar", ""},
        {"MqttPassword", "s3cret", "other"},
        {"MqttCaFile", "/etc/ssl/ca.pem", "/srv/ca.crt"},
        {"MqttClientId", "roof", ""},
        {"MqttTopicPrefix", "home/inverter", "solar/west"},
        {"MqttDiscoveryPrefix", "ha", "homeassistant"},
    };
    const struct {
        const char* name;
        bool shown;
    } boxes[] = {
        {"MqttEnabled", true}, {"MqttTls", true}, {"MqttRetain", false}, {"MqttDiscovery", true}, {"MqttAllowCommands", false},
    };
    for (const auto& f : fields)
        EXPECT_EQ(control<QLineEdit>(f.name)->text().toStdString(), f.shown) << f.name;
    for (const auto& b : boxes)
        EXPECT_EQ(control<QCheckBox>(b.name)->isChecked(), b.shown) << b.name;
    EXPECT_EQ(control<QLineEdit>("MqttPort")->text(), "8883");
    EXPECT_EQ(control<QLineEdit>("MqttPassword")->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(dialog.Modified());

    for (const auto& f : fields)
        retype(f.name, f.typed);
    for (const char* name : {"MqttRetain", "MqttAllowCommands", "MqttTls"})
        control<QCheckBox>(name)->click();
    retype("MqttPort", "1884");
    QTest::keyClick(control<QLineEdit>("MqttPort"), Qt::Key_Return);
    EXPECT_TRUE(dialog.Modified());
    dialog.Button4Click();

    ASSERT_EQ(applied.size(), 1U);
    const MqttSettings expected{.Enabled = true,
                                .Host = "10.0.0.7",
                                .Port = 1884,
                                .Username = "",
                                .Password = "other",
                                .Tls = false,
                                .CaFile = "/srv/ca.crt",
                                .ClientId = "",
                                .TopicPrefix = "solar/west",
                                .Retain = true,
                                .Discovery = true,
                                .DiscoveryPrefix = "homeassistant",
                                .AllowCommands = true,
                                .DeviceId = "92931509101901"};
    EXPECT_EQ(applied[0].Mqtt, expected);
    TDati rest = applied[0];
    rest.Mqtt = live.Mqtt;
    EXPECT_EQ(rest, live); // nothing outside the tab changed
}

TEST_F(MqttTab, ThePortTakesAWholeNumberFromOneTo65535OnEnter)
{
    const struct {
        const char* typed;
        int port; // 2000 when the entry is refused
        bool warned;
    } cases[] = {
        {"8883", 8883, false},
        {"65535", 65535, false},
        {"18x83", 1883, false}, // only digits reach the field
        {"", 1883, false}, // an empty field stands for the default, its placeholder
        {"0", 2000, true},
        {"65536", 2000, true},
    };
    for (const auto& c : cases) {
        fillMqtt(true, false, true, 2000);
        person.captionedWarnings.clear();
        retype("MqttPort", c.typed);
        EXPECT_EQ(dialog.EditDati().Mqtt.Port, 2000) << c.typed << ": a draft until Enter";
        QTest::keyClick(control<QLineEdit>("MqttPort"), Qt::Key_Return);
        EXPECT_EQ(dialog.EditDati().Mqtt.Port, c.port) << c.typed;
        EXPECT_EQ(person.captionedWarnings.size(), c.warned ? 1U : 0U) << c.typed;
    }
}

TEST_F(MqttTab, FieldsAreOfferedOnlyWhenTheyApply)
{
    const struct {
        bool enabled, tls, discovery;
        bool host, caFile, discoveryPrefix; // besides Host: every field and box but "Publish"
    } cases[] = {
        {false, true, true, false, false, false},
        {true, false, false, true, false, false},
        {true, true, false, true, true, false},
        {true, false, true, true, false, true},
    };
    const char* followingPublish[] = {"MqttHost",      "MqttPort",        "MqttUsername", "MqttPassword",
                                      "MqttTls",       "MqttClientId",    "MqttTopicPrefix", "MqttRetain",
                                      "MqttDiscovery", "MqttAllowCommands"};
    for (const auto& c : cases) {
        fillMqtt(c.enabled, c.tls, c.discovery);
        const std::string name = std::string("enabled ") + (c.enabled ? "1" : "0") + ", TLS " + (c.tls ? "1" : "0") +
                                 ", discovery " + (c.discovery ? "1" : "0");
        EXPECT_TRUE(control("MqttEnabled")->isEnabled()) << name;
        for (const char* field : followingPublish)
            EXPECT_EQ(control(field)->isEnabled(), c.host) << name << ": " << field;
        EXPECT_EQ(control("MqttCaFile")->isEnabled(), c.caFile) << name;
        EXPECT_EQ(control("MqttCaFileLabel")->isEnabled(), c.caFile) << name;
        EXPECT_EQ(control("MqttDiscoveryPrefix")->isEnabled(), c.discoveryPrefix) << name;
        EXPECT_EQ(control("MqttDiscoveryPrefixLabel")->isEnabled(), c.discoveryPrefix) << name;
    }

    // Ticking and clearing the boxes does the same at once.
    fillMqtt(false, false, false);
    control<QCheckBox>("MqttEnabled")->click();
    EXPECT_TRUE(control("MqttHost")->isEnabled());
    EXPECT_FALSE(control("MqttCaFile")->isEnabled());
    control<QCheckBox>("MqttTls")->click();
    control<QCheckBox>("MqttDiscovery")->click();
    EXPECT_TRUE(control("MqttCaFile")->isEnabled());
    EXPECT_TRUE(control("MqttDiscoveryPrefix")->isEnabled());
    control<QCheckBox>("MqttEnabled")->click();
    EXPECT_FALSE(control("MqttCaFile")->isEnabled());
    EXPECT_FALSE(control("MqttDiscoveryPrefix")->isEnabled());
    EXPECT_FALSE(control("MqttAllowCommands")->isEnabled());
    control<QCheckBox>("MqttEnabled")->click(); // the TLS and discovery boxes are still ticked
    EXPECT_TRUE(control("MqttCaFile")->isEnabled());
    EXPECT_TRUE(control("MqttDiscoveryPrefix")->isEnabled());
}

TEST_F(MqttTab, ShowsItsTextsWhole)
{
    auto* tabs = control<QTabWidget>("PageControl1");
    const int index = tabs->indexOf(control("MqttEnabled")->parentWidget());
    ASSERT_EQ(tabs->tabText(index), "MQTT");

    fillMqtt(true, true);
    dialog.show();
    tabs->setCurrentIndex(index);
    QWidget* tab = tabs->widget(index);
    ASSERT_TRUE(PumpUntil([&] { return tab->isVisible() && control("MqttAllowCommands")->isVisible(); }));
    tab->layout()->activate();
    const auto whole = [&](QWidget* widget, int textWidth) {
        const QRect area(widget->mapTo(tab, QPoint(0, 0)), widget->size());
        EXPECT_TRUE(tab->rect().contains(area)) << widget->objectName().toStdString();
        EXPECT_GE(widget->width(), textWidth) << widget->objectName().toStdString();
    };
    for (QLabel* label : tab->findChildren<QLabel*>())
        whole(label, label->sizeHint().width());
    for (QCheckBox* box : tab->findChildren<QCheckBox*>())
        whole(box, box->sizeHint().width());
    for (QLineEdit* field : tab->findChildren<QLineEdit*>())
        whole(field, field->fontMetrics().horizontalAdvance(field->placeholderText()) + 8); // + frame, margins
    for (QWidget* widget : tab->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_FALSE(widget->objectName().isEmpty()) << widget->metaObject()->className();
}
