// The notification-area icon with a real tray host on a bare X server.
#include "FakeUserNotifier.h"
#include "GatedPacer.h"
#include "app/CoreHost.h"
#include "core/Clock.h"
#include "inverter/PosixSerialPort.h"
#include "shell/MainWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

using namespace quorvane;
using namespace std::chrono_literals;
using fakes::PumpUntil;

TEST(Tray, TheWindowGoesToTheNotificationAreaWithTheTipOfItsState)
{
    QTemporaryDir folder;
    const std::string settings = QDir(folder.path()).filePath("quorvane.INI").toStdString();
    std::ofstream(settings) << "[Main]\nMeasTime=0\n[Http]\nPort=0\n";
    SystemClock clock;
    PosixSerialOpener opener;
    fakes::FakeUserNotifier person;
    CoreApp::Options options;
    options.SettingsPath = settings;
    options.LogBase = folder.path().toStdString();
    options.MailRoutes = {{"127.0.0.1", 9}, 25};
    CoreHost host(options, clock, opener, person);
    TForm1 window(host, person);
    QObject::connect(&host, &CoreHost::ready, &window, [&window](CoreApp* core) { window.Attach(core); });
    window.show();
    host.Start();
    ASSERT_TRUE(PumpUntil([&] { return host.Core() != nullptr && window.findChild<QLabel*>("Label1")->text() == "---"; }));
    ASSERT_TRUE(PumpUntil([&] { return window.TrayAvailable(); })) << "no tray host";

    window.close(); // the close button: to the tray, no question
    auto* tray = window.findChild<QSystemTrayIcon*>();
    ASSERT_NE(tray, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return !window.isVisible() && tray->isVisible(); }));
    EXPECT_EQ(window.TrayTip(), "Quorvane is NOT running");
    EXPECT_EQ(tray->toolTip(), "Quorvane is NOT running");
    QStringList items;
    for (QAction* action : tray->contextMenu()->actions())
        items << action->text();
    EXPECT_EQ(items, (QStringList{"Restore", "Close"}));

    emit tray->activated(QSystemTrayIcon::Trigger); // a left click
    ASSERT_TRUE(PumpUntil([&] { return window.isVisible(); }));
    EXPECT_FALSE(tray->isVisible());

    window.findChild<QCheckBox*>("Test")->click();
    window.findChild<QPushButton*>("Connect1")->click();
    ASSERT_TRUE(PumpUntil([&] { return window.findChild<QLabel*>("Label1")->text() == "Test Mode"; }));
    window.showMinimized(); // minimising goes to the tray as well
    ASSERT_TRUE(PumpUntil([&] { return tray->isVisible(); }));
    EXPECT_EQ(window.TrayTip(), "Quorvane running in TEST MODE");
    tray->contextMenu()->actions().at(0)->trigger(); // "Restore"
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(tray->isVisible());
}
