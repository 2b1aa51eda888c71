#pragma once

// The whole core on the test's thread with its inverter in-process: the simulator's logic
// behind the port interface, manual timers, a clock the test moves, and a mail recorder.
// The test steps the acquisition cycle itself (the same function the thread runs) and fires
// the timers; no Qt event is processed, so nothing runs behind its back.
#include "FakeUserNotifier.h"
#include "MemoMessages.h"
#include "GatedPacer.h"
#include "InProcessLine.h"
#include "InverterModel.h"
#include "acquisition/DataRead.h"
#include "app/CoreApp.h"
#include "app/CoreParts.h"
#include "core/ManualClock.h"
#include "mail/MailOutbox.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

namespace quorvane::testsupport {

class RecordingOutbox final : public MailOutbox {
public:
    struct Mail {
        std::string Body;
        std::string Attachment;
        std::string AttachmentContent; // read when the mail was asked for
    };
    bool SendMail(const std::string& body, bool, const std::string& attachment) override
    {
        std::ifstream in(attachment, std::ios::binary);
        mails.push_back({body, attachment, std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())});
        return true;
    }
    std::vector<Mail> mails;
};

class CoreRig : public ::testing::Test {
protected:
    // Settings file lines, right after the [Main] keys the rig sets (the inverter is on COM1):
    // more [Main] keys first, then any other section.
    virtual std::string settings() const { return ""; }
    virtual QDateTime start() const { return QDateTime(QDate(2026, 6, 1), QTime(6, 0, 0)); }
    // The device COM1 stands for and the opener the core opens it with: the in-process
    // inverter, unless a test puts the simulator on a device file.
    virtual std::string inverterDevice() const { return "/sim/inverter"; }
    virtual SerialOpener& portOpener() { return opener; }

    void SetUp() override
    {
        clock.set(start());
        std::ofstream(settingsPath, std::ios::binary)
            << "[Http]\r\nPort=0\r\n[Ports]\r\nCOM1=" << inverterDevice()
            << "\r\n[Main]\r\nAutoSearch=0\r\nCOM PORT index=1\r\n"
            << settings();
        opener.Attach("/sim/inverter", model);
        model.SetFullSpeed(true);
        model.SetAnswerDelay(std::chrono::milliseconds(0));
        startCore();
    }
    void TearDown() override { core.reset(); }

    // A new core in the same folder with the same settings file, as a program start would make.
    void startCore()
    {
        core.reset();
        CoreApp::Options options;
        options.SettingsPath = settingsPath;
        options.LogBase = folder.path().toStdString();
        options.LocaleName = "C";
        options.Timers = CoreTimer::Drive::Manual;
        options.MakePacer = [] { return std::make_unique<fakes::GatedPacer>(); };
        options.MailRoutes = {{"127.0.0.1", 9}, 25};
        options.Outbox = &outbox;
        options.SysfsRoot = folder.path().toStdString(); // no raw HID device but a test's own
        core = std::make_unique<CoreApp>(options, clock, portOpener(), person);
    }

    void connect()
    {
        core->ForTests().Connection().Connect1Click();
        ASSERT_TRUE(core->ForTests().Link().LinkConnected);
    }
    // One acquisition cycle, stepped here on the core's thread.
    void cycle()
    {
        RunAcquisitionCycle(core->ForTests().Steps(), core->ForTests().Requests(), [](const std::function<void()>& step) { step(); });
    }
    // Moves the clock by one second and does what a second brings: a cycle (1 s interval),
    // the supervisor tick, the measuring timer and, when due, the log timer.
    void second(bool poll = true)
    {
        clock.advance(std::chrono::seconds(1));
        if (poll)
            cycle();
        core->ForTests().Tick().TimerTimer();
        core->ForTests().Timer1().Fire();
        m_sinceSample += 1000;
        if (core->ForTests().Timer3().Enabled() && m_sinceSample >= core->ForTests().Timer3().Interval()) {
            m_sinceSample = 0;
            core->ForTests().Timer3().Fire();
        }
    }
    [[nodiscard]] std::vector<std::string> messages() const { return fakes::MessagesOf(core->ForTests().Memo().Lines()); }
    [[nodiscard]] bool memoHas(const std::string& prefix) const
    {
        for (const auto& message : messages())
            if (message.starts_with(prefix))
                return true;
        return false;
    }

    // In memory where the machine has it: simulated days flush thousands of rows to disk, and
    // a real disk's flushes would cost minutes.
    static QString folderTemplate()
    {
        const QFileInfo shm("/dev/shm");
        return shm.isDir() && shm.isWritable() ? "/dev/shm/quorvane-test-XXXXXX" : QString();
    }
    QTemporaryDir folder = folderTemplate().isEmpty() ? QTemporaryDir() : QTemporaryDir(folderTemplate());
    std::string settingsPath = QDir(folder.path()).filePath("quorvane.INI").toStdString();
    ManualClock clock{QDateTime(QDate(2026, 6, 1), QTime(6, 0, 0))};
    sim::InverterModel model;
    sim::InProcessOpener opener;
    fakes::FakeUserNotifier person;
    RecordingOutbox outbox;
    std::unique_ptr<CoreApp> core;

private:
    int m_sinceSample = 0;
};

} // namespace quorvane::testsupport
