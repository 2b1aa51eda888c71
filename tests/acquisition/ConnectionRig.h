#pragma once

// The connection manager with its acquisition thread against simulated inverters on the
// in-process line (virtual time, so no thread's scheduling can split a reply), mapped to COM
// names through the settings' [Ports] section. The test's thread plays the core thread; the
// timers are fired by hand and the pauses between cycles are gated.
#include "FakeUserNotifier.h"
#include "GatedPacer.h"
#include "InProcessLine.h"
#include "InverterModel.h"
#include "MemoMessages.h"
#include "acquisition/ConnectionManager.h"
#include "config/Settings.h"
#include "core/ComputedValues.h"
#include "core/CoreTimer.h"
#include "core/DisplayRefresher.h"
#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "core/ManualClock.h"
#include "inverter/MeasurementRecord.h"
#include "inverter/OutputRequests.h"
#include "inverter/Wincom.h"
#include "monitor/CycleSteps.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

namespace quorvane::testsupport {

inline const std::string kInverter = "/sim/inverter";

// The in-process inverters attached to `devices`, except that the devices listed in `busy` are
// taken by another program between the probe and the open (the probe succeeds, every later
// open fails).
class ProbeThenBusyOpener final : public SerialOpener {
public:
    OpenedPort open(const std::string& device) override
    {
        if (busy.count(device) != 0 && m_opens[device]++ > 0)
            return {};
        return devices.open(device);
    }
    sim::InProcessOpener devices;
    std::set<std::string> busy;

private:
    std::map<std::string, int> m_opens;
};

// Counts the display refreshes the manager asks for.
class CountingRefresher final : public DisplayRefresher {
public:
    void RefreshDisplay() override { ++refreshes; }
    int refreshes = 0;
};

class ConnectionRig : public ::testing::Test {
protected:
    ConnectionRig()
    {
        // Every COM name points nowhere unless a test maps it to a simulator.
        for (int number = 1; number <= PortMap::kLastPort; ++number)
            settings.Ports[number] = "/nonexistent/com" + std::to_string(number);
        opener.devices.Attach(kInverter, model);
        settings.Ports[1] = kInverter;
        settings.AutoSearch = false;
        model.SetFullSpeed(true);
        model.SetAnswerDelay(std::chrono::milliseconds(0));
        manager.SetMeasuringInterval(1000);
        // No raw HID device unless a test lays one out in the fake sysfs tree.
        manager.SetHidrawDirectory(HidrawDirectory(sysfs.path().toStdString()));
    }

    [[nodiscard]] std::vector<std::string> messages() const { return fakes::MessagesOf(memo.Lines()); }
    [[nodiscard]] bool memoHas(const std::string& message) const
    {
        const auto all = messages();
        return std::find(all.begin(), all.end(), message) != all.end();
    }
    [[nodiscard]] fakes::GatedPacer& pacer() const { return *pacers.back(); }
    // Serves the current thread's cycle until it sits in its pause.
    void untilPaused() { ASSERT_TRUE(fakes::PumpUntil([this] { return pacer().Waiting(); })); }
    // Commands the simulator received after the first `skip`.
    [[nodiscard]] std::vector<std::string> commandsAfter(size_t skip) const
    {
        const auto all = model.ReceivedCommands();
        return {all.begin() + static_cast<long>(std::min(skip, all.size())), all.end()};
    }

    QTemporaryDir sysfs;
    sim::InverterModel model;
    ProbeThenBusyOpener opener;
    fakes::FakeUserNotifier person;
    TComm comm{opener, person};
    ManualClock clock{QDateTime(QDate(2026, 6, 1), QTime(12, 0, 0))};
    LocaleFormats formats{"C"};
    EventMemo memo{clock, formats};
    MeasurementRecord record;
    ComputedValues computed;
    LinkState link;
    OutputRequests requests;
    AcquisitionControl control;
    TDati settings{QDate(2026, 6, 1)};
    InverterQueries queries{comm, record, memo, link, requests, clock, [](std::chrono::milliseconds) {}, 7};
    CycleSteps steps{comm, queries, computed, record, requests, link, clock, formats};
    CoreTimer timer{CoreTimer::Drive::Manual};
    CoreTimer timer1{CoreTimer::Drive::Manual};
    CoreTimer timer3{CoreTimer::Drive::Manual};
    CoreTimer timerConnect{CoreTimer::Drive::Manual};
    std::vector<fakes::GatedPacer*> pacers;
    CountingRefresher display;
    ConnectionManager manager{comm, queries, steps, record, memo, link, requests, control, settings, clock, formats,
                              ConnectionTimers{timer, timer1, timer3, timerConnect}, display,
                              [this] {
                                  auto pacer = std::make_unique<fakes::GatedPacer>();
                                  pacers.push_back(pacer.get());
                                  return pacer;
                              }};
};

} // namespace quorvane::testsupport
