#pragma once

// The whole core on the test's thread, its web server on a free loopback port.
#include "FakeUserNotifier.h"
#include "MemoMessages.h"
#include "HttpClient.h"
#include "app/CoreApp.h"
#include "app/CoreParts.h"
#include "core/ManualClock.h"
#include "inverter/PosixSerialPort.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace quorvane::testsupport {

class WebCoreFixture : public ::testing::Test {
protected:
    // Settings file lines to start with, right after "Port=0" in [Http].
    virtual std::string initialSettings() const { return ""; }

    void SetUp() override
    {
        std::ofstream(settingsPath, std::ios::binary) << "[Http]\r\nPort=0\r\n" << initialSettings();
        CoreApp::Options options;
        options.SettingsPath = settingsPath;
        options.LogBase = folder.path().toStdString();
        options.LocaleName = "C";
        options.Timers = CoreTimer::Drive::Manual;
        options.MakePacer = [] { return std::make_unique<fakes::GatedPacer>(); };
        options.MailRoutes = {{"127.0.0.1", 9}, 25};
        core = std::make_unique<CoreApp>(options, clock, opener, person);
        ASSERT_TRUE(core->ForTests().WebServer().Active());
    }
    void TearDown() override { core.reset(); }

    // The forms' password, applied as the settings dialog applies it.
    void setWebPassword(const std::string& password)
    {
        core->ForTests().LiveDati().Password = password;
        core->ApplySettings();
    }
    [[nodiscard]] std::string url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(core->ForTests().WebServer().Port()) + path;
    }
    [[nodiscard]] std::vector<std::string> messages() const { return fakes::MessagesOf(core->ForTests().Memo().Lines()); }
    [[nodiscard]] std::string settingsFile() const
    {
        std::ifstream in(settingsPath, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    QTemporaryDir folder;
    std::string settingsPath = QDir(folder.path()).filePath("quorvane.INI").toStdString();
    ManualClock clock{QDateTime(QDate(2026, 6, 1), QTime(12, 0, 0))};
    PosixSerialOpener opener;
    fakes::FakeUserNotifier person;
    std::unique_ptr<CoreApp> core;
};

} // namespace quorvane::testsupport
