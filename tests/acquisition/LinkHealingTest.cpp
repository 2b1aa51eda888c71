// The link heals itself: a port that goes away, an inverter that stops answering and a start
// that finds no inverter, each with the acquisition thread really cycling (so a dead port's
// fast-failing cycles cannot pass for progress). The test plays the running program second by
// second: a cycle at the measuring interval while connected, the supervisor tick's watchdog
// steps, and the reconnect timer five seconds after it was armed.
#include "ConnectionRig.h"

#include <functional>

using namespace quorvane;
using namespace std::chrono_literals;
using quorvane::fakes::PumpUntil;
using quorvane::sim::Fault;
using quorvane::testsupport::kInverter;

namespace {

const std::string kStoppedAnswering = "Inverter stopped answering: no valid reading since ";
const std::string kAnsweringAgain = "Inverter answering again.";
const std::string kLost = "Connection to " + kInverter + " lost: the device hung up or went away.";
const std::string kFatal = "FATAL: maximum number of reconnect attempt has been made. Check cable and Inverter.";

class LinkHealing : public testsupport::ConnectionRig {
protected:
    // One second of the running program.
    void second()
    {
        clock.advance(1s);
        if (timerConnect.Enabled()) {
            m_armedMs += 1000;
            if (m_armedMs >= timerConnect.Interval()) {
                m_armedMs = 0;
                timerConnect.Fire();
            }
        } else {
            m_armedMs = 0;
        }
        m_sincePollMs += 1000;
        if (link.LinkConnected && polling && m_sincePollMs >= control.IntervalMs) {
            m_sincePollMs = 0;
            runCycle();
        }
        if (timer.Enabled()) {
            manager.Watchdog();
            manager.NoteProgress();
        }
    }
    // Seconds until `condition` holds, at most `limit`; false when it never did.
    bool secondsUntil(const std::function<bool()>& condition, int limit)
    {
        for (int elapsed = 0; elapsed < limit; ++elapsed) {
            second();
            if (condition())
                return true;
        }
        return false;
    }
    void seconds(int count)
    {
        for (int i = 0; i < count; ++i)
            second();
    }
    // The current thread runs one cycle and pauses again; a thread just started finishes
    // its first cycle.
    void runCycle()
    {
        if (!pacer().Waiting()) {
            untilPaused();
            return;
        }
        const int target = manager.Thread()->LoopCount() + 1;
        pacer().Release();
        ASSERT_TRUE(PumpUntil([&] { return manager.Thread()->LoopCount() == target && pacer().Waiting(); }));
    }
    void connect()
    {
        manager.Connect1Click();
        ASSERT_TRUE(link.LinkConnected);
        untilPaused(); // the first cycle's reading
        m_sincePollMs = 0;
    }
    [[nodiscard]] long count(const std::string& prefix) const
    {
        const auto all = messages();
        return std::count_if(all.begin(), all.end(), [&](const std::string& m) { return m.starts_with(prefix); });
    }
    [[nodiscard]] long index(const std::string& prefix) const
    {
        const auto all = messages();
        const auto found = std::find_if(all.begin(), all.end(), [&](const std::string& m) { return m.starts_with(prefix); });
        return found == all.end() ? -1 : found - all.begin();
    }
    [[nodiscard]] std::string timeText() const { return formats.longTime(clock.now().time()); }
    [[nodiscard]] std::string dateTimeText() const { return formats.dateTime(clock.now()); }

    bool polling = true; // false: the thread waits for page requests, no cycle of its own

private:
    int m_armedMs = 0;
    int m_sincePollMs = 0;
};

struct Outage {
    const char* name;
    std::function<void(sim::InverterModel&)> start;
    std::function<void(sim::InverterModel&)> end;
    bool portLost;
};

const Outage kOutages[] = {
    // The cable goes out while the main values are asked for, and comes back as the same device.
    {"unplugged mid-reply", [](sim::InverterModel& m) { m.InjectFault({.kind = Fault::Unplug}); },
     [](sim::InverterModel& m) { m.PlugIn(); }, true},
    // The inverter keeps the line but answers nothing, the presence check included.
    {"silent", [](sim::InverterModel& m) { m.InjectFault({.kind = Fault::NoAnswer, .times = -1}); },
     [](sim::InverterModel& m) { m.ClearFaults(); }, false},
};

} // namespace

TEST_F(LinkHealing, AnOutageIsReportedOnceAndHealedByReconnectingThroughTheSamePath)
{
    settings.AutoReConnect = true;
    for (const Outage& outage : kOutages) {
        SCOPED_TRACE(outage.name);
        memo.Clear();
        connect();
        seconds(3);
        const std::string lastReading = dateTimeText();
        const std::string lastTime = timeText();
        const std::string stampBefore = record.LastReadingStamp;

        outage.start(model);
        // Twenty seconds out: the watchdog's disconnect and at least two reconnects that fail.
        seconds(20);
        EXPECT_EQ(record.LastReadingStamp, stampBefore); // the page's date line: the last reading
        EXPECT_EQ(manager.View().Label1, "Silent since " + lastTime);
        outage.end(model);
        ASSERT_TRUE(secondsUntil([&] { return link.LinkConnected && record.LastReadingStamp != stampBefore; }, 60));
        second(); // a tick that sees the reading

        EXPECT_EQ(count(kStoppedAnswering), 1);
        EXPECT_TRUE(memoHas(kStoppedAnswering + lastReading + "."));
        EXPECT_EQ(count(kLost), outage.portLost ? 1 : 0);
        if (outage.portLost) {
            EXPECT_LT(index(kLost), index(kStoppedAnswering)); // said when it happened
        }
        EXPECT_GE(count("AutoReconnect executed."), 2);
        EXPECT_EQ(messages().back(), kAnsweringAgain);
        EXPECT_EQ(count("Connected to " + kInverter + " port and Inverter."), 2); // reopened by its path
        EXPECT_EQ(manager.View().Label1, "Connected");
        EXPECT_EQ(manager.ReconnectState, 0);
        EXPECT_EQ(manager.ReconnectAttempts, 0);
        EXPECT_FALSE(timerConnect.Enabled());
        manager.Connect1Click(); // disconnect before the next case
        ASSERT_FALSE(link.LinkConnected);
    }
}

TEST_F(LinkHealing, ReconnectsThatNeverFindTheInverterGiveUpAfterSixWithOneFatalLine)
{
    settings.AutoReConnect = true;
    connect();
    seconds(2);
    model.Unplug();
    ASSERT_TRUE(secondsUntil([&] { return count("FATAL") > 0; }, 120));
    const size_t opened = model.ReceivedCommands().size();
    seconds(120);
    EXPECT_EQ(count("AutoReconnect executed."), 6);
    EXPECT_EQ(count("Port COM1 NOT found"), 6);
    EXPECT_EQ(count(kFatal), 1);
    EXPECT_EQ(messages().back(), kFatal);
    EXPECT_EQ(manager.ReconnectState, -99);
    EXPECT_FALSE(timerConnect.Enabled());
    EXPECT_FALSE(link.LinkConnected);
    EXPECT_EQ(model.ReceivedCommands().size(), opened);
}

TEST_F(LinkHealing, WithoutReconnectsASilenceIsReportedOnceAtTheWatchdogsLimitAndEndsByItself)
{
    // Slow intervals keep their allowance of two intervals before a tick counts.
    const struct {
        int intervalMs;
        int ticksToLimit;
    } cases[] = {{1000, 8}, {10000, 2 * 10 + 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.intervalMs);
        memo.Clear();
        manager.SetMeasuringInterval(c.intervalMs);
        connect();
        seconds(30); // slow polling that works is no silence
        ASSERT_EQ(count(kStoppedAnswering), 0);
        // Silent right after the reading of this second.
        const std::string lastTime = timeText();
        const std::string lastDateTime = dateTimeText();
        const std::string stamp = record.LastReadingStamp;
        model.InjectFault({.kind = Fault::NoAnswer, .times = -1});

        for (int tick = 1; tick < c.ticksToLimit; ++tick) {
            second();
            ASSERT_EQ(count(kStoppedAnswering), 0) << tick;
            ASSERT_EQ(manager.View().Label1, "Connected") << tick;
        }
        second();
        EXPECT_EQ(messages().back(), kStoppedAnswering + lastDateTime + ".");
        EXPECT_EQ(manager.View().Label1, "Silent since " + lastTime);

        seconds(60);
        EXPECT_EQ(count(kStoppedAnswering), 1);
        EXPECT_TRUE(link.LinkConnected);
        EXPECT_EQ(manager.View().Label1, "Silent since " + lastTime);
        EXPECT_EQ(record.LastReadingStamp, stamp);
        EXPECT_FALSE(timerConnect.Enabled());

        model.ClearFaults();
        ASSERT_TRUE(secondsUntil([&] { return record.LastReadingStamp != stamp; }, c.intervalMs / 1000 + 1));
        second();
        EXPECT_EQ(messages().back(), kAnsweringAgain);
        EXPECT_EQ(manager.View().Label1, "Connected");
        manager.Connect1Click();
    }
}

TEST_F(LinkHealing, ALostPortIsSaidOnceAndReleased)
{
    connect();
    seconds(2);
    model.InjectFault({.kind = Fault::Unplug});
    seconds(30);
    EXPECT_EQ(count(kLost), 1);
    EXPECT_EQ(count(kStoppedAnswering), 1);
    EXPECT_TRUE(link.LinkConnected); // no reconnects wanted: the person decides
    // The dead descriptor is let go at once, so an adapter that comes back gets its old name.
    EXPECT_FALSE(comm.IsOpen());
    model.PlugIn();
    EXPECT_NE(opener.devices.open(kInverter).transport, nullptr);
}

TEST_F(LinkHealing, AFailedStartIsRetriedWithTheReconnectRules)
{
    const struct {
        const char* name;
        bool autoReconnect;
        int silentSeconds; // -1: never answers
        bool connects;
        int presenceChecks; // "QID" sent in all, after two minutes
    } cases[] = {
        {"answers after five seconds", true, 4, true, 2},
        {"no reconnects wanted", false, 4, false, 1},
        {"never answers", true, -1, false, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::InverterModel inverter;
        opener.devices.Attach(kInverter, inverter);
        inverter.SetFullSpeed(true);
        inverter.SetAnswerDelay(0ms);
        inverter.InjectFault({.kind = Fault::NoAnswer, .times = -1});
        settings.AutoReConnect = c.autoReconnect;
        memo.Clear();

        manager.Connect1Click(); // as at start
        ASSERT_FALSE(link.LinkConnected);
        EXPECT_EQ(timerConnect.Enabled(), c.autoReconnect);
        if (c.silentSeconds >= 0) {
            seconds(c.silentSeconds);
            inverter.ClearFaults();
        }
        seconds(120);
        const auto sent = inverter.ReceivedCommands();
        EXPECT_EQ(std::count(sent.begin(), sent.end(), "QID"), c.presenceChecks);
        EXPECT_EQ(link.LinkConnected, c.connects);
        EXPECT_EQ(count(kFatal), c.autoReconnect && !c.connects ? 1 : 0);
        if (c.connects) {
            EXPECT_FALSE(record.LastReadingStamp.empty());
            manager.Connect1Click();
        }
        EXPECT_FALSE(timerConnect.Enabled());
        opener.devices.Attach(kInverter, model);
    }
}

TEST_F(LinkHealing, WaitingForPageRequestsIsNoSilence)
{
    // The program switches reconnecting off in this mode; a person may switch it on again.
    for (const bool autoReconnect : {false, true}) {
        SCOPED_TRACE(autoReconnect);
        settings.AutoReConnect = autoReconnect;
        control.ReqByWeb = true;
        memo.Clear();
        connect();
        pacer().Release();
        ASSERT_TRUE(PumpUntil([this] { return manager.Thread()->Suspended(); }));
        polling = false;
        seconds(60);
        EXPECT_TRUE(link.LinkConnected);
        EXPECT_EQ(count(kStoppedAnswering), 0);
        EXPECT_EQ(manager.View().Label1, "Connected");
        EXPECT_FALSE(timerConnect.Enabled());
        manager.Connect1Click();
        polling = true;
    }
}
