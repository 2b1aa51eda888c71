#pragma once

#include "acquisition/AcquisitionSteps.h"
#include "acquisition/CyclePacer.h"
#include "acquisition/DataRead.h"
#include "core/CoreEventSink.h"
#include "inverter/HidrawDirectory.h"

#include <QDateTime>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quorvane {

class Clock;
class CoreTimer;
class DisplayRefresher;
class EventMemo;
class LocaleFormats;
class TComm;
struct LinkState;
struct MeasurementRecord;
struct OutputRequests;
struct TDati;

// What the window shows of the connection.
struct ConnectionView {
    std::string Connect1Caption = "Connect"; // "Disconnect" while connected or connecting
    std::string Label1 = "---";
    bool Connect1Enabled = true;
    bool TestEnabled = true;                 // the "Test mode" box; disabled while connected
    bool operator==(const ConnectionView&) const = default;
};

// The timers the connection starts and stops.
struct ConnectionTimers {
    CoreTimer& Timer;        // the one-second supervisor tick
    CoreTimer& Timer1;       // the measuring interval
    CoreTimer& Timer3;       // log sampling
    CoreTimer& TimerConnect; // the reconnect five seconds after the watchdog disconnected
};

// Finds the inverter (on the configured port, or by searching COM1..COM29 and then the raw HID
// devices with a known USB id that no COM name stands for), connects, starts
// the acquisition thread and the timers, disconnects, and heals the link: a port that was
// lost, an inverter that stopped answering and a connect that found no inverter are said in
// the memo and, when "AutoReConnect" allows, reconnected (the port opened again by its name).
// Thread ownership: the core thread. It owns the acquisition thread.
class ConnectionManager {
public:
    using PacerFactory = std::function<std::unique_ptr<CyclePacer>()>;

    static constexpr int kStalledTicksBeforeReconnect = 8;
    static constexpr int kReconnectAttempts = 6;
    static constexpr int kReconnectPending = -1;
    static constexpr int kReconnectsGivenUp = -99;
    static constexpr int kReconnectDelayMs = 5000;
    static constexpr int kTestModeLogIntervalMs = 200;

    ConnectionManager(TComm& comm, InverterQueries& queries, AcquisitionSteps& steps, MeasurementRecord& record,
                      EventMemo& memo, LinkState& link, OutputRequests& requests, AcquisitionControl& control,
                      const TDati& settings, const Clock& clock, const LocaleFormats& formats, ConnectionTimers timers,
                      DisplayRefresher& display, PacerFactory makePacer);
    ~ConnectionManager();

    // "Connect"/"Disconnect": connects when not connected, disconnects otherwise. A connect
    // that fails is tried again by the reconnect timer when "AutoReConnect" is on and the
    // attempts have not been given up.
    void Connect1Click();
    // "Check": a presence check with a verdict line.
    void Button1Click();
    // The "Test mode" box was ticked or cleared.
    void TestClick(bool ticked);
    // Reconnect attempt, five seconds after the watchdog disconnected or a connect failed.
    void TimerConnectTimer();

    // The supervisor tick's watchdog step. Progress is a new valid reading, not a cycle: a
    // dead port or a silent inverter lets cycles run, each failing fast. A link without
    // readings for too long is said in the memo once and, when allowed, taken down and
    // reconnected; a lost port is said as soon as it is seen.
    void Watchdog();
    // The supervisor tick's last step: remembers the readings and the cycle count it saw.
    void NoteProgress();

    // The measuring interval: Timer1's interval and the pause between two cycles.
    void SetMeasuringInterval(int intervalMs);
    // A page request in requested-by-web mode: one more cycle.
    void WakeAcquisition();
    // At exit: the thread is woken, runs one last cycle and ends; this returns after that.
    void ShutdownAcquisition();

    // Where the search looks for raw HID devices (a fake sysfs tree in tests).
    void SetHidrawDirectory(HidrawDirectory directory) { m_hidraw = std::move(directory); }
    [[nodiscard]] const HidrawDirectory& Hidraw() const { return m_hidraw; }
    // Told when the link is lost and when it is back; null: nobody.
    void SetEventSink(CoreEventSink* sink) { m_eventSink = sink; }

    [[nodiscard]] const ConnectionView& View() const { return m_view; }
    // A connect is under way: the link is up for the presence check, which has not answered
    // yet (in test mode: the simulated link is not started yet).
    [[nodiscard]] bool Connecting() const { return m_connecting; }
    [[nodiscard]] ReadPlot* Thread() const { return m_thread.get(); }
    [[nodiscard]] int ThreadsCreated() const { return m_threadsCreated; }

    // Watchdog state, shared with the supervisor tick. Reconnecting is allowed by the
    // "AutoReConnect" setting as it stands.
    int StallTicks = 0;
    int LastSeenLoopCount = 0;
    int LastSeenReadings = 0;
    // Stalled ticks counted; kReconnectPending while disconnected with a reconnect to come;
    // kReconnectsGivenUp after the last attempt, until readings come again.
    int ReconnectState = 0;
    int ReconnectAttempts = 0;

private:
    enum class Outcome { NotFound, OpenFailed, NoInverter, Connected };

    void connect();
    void disconnect();
    Outcome searchPorts();
    // One port of the search, named `shown` in the memo; true when the inverter answered there.
    bool tryPort(const std::string& shown, const std::string& name);
    Outcome openConfiguredPort();
    void connected();
    void failed(const std::string& line);
    // A connect that failed is tried again with the reconnect rules, when they allow it.
    void retryIfFailed();
    // This tick's verdict: a new reading or not; nothing while the thread waits for a page
    // request (no cycle ran, so there was nothing to answer).
    std::optional<bool> progressThisTick();
    void reportLostPort();
    // The port's loss or the inverter's silence, whichever is said first: one event per outage.
    void declareLinkLost();
    // A connect succeeded, or the inverter answers again: the outage (if any) is over, and
    // counted as a reconnect.
    void declareLinkBack(bool byConnect);
    void followSilence(bool progress);
    // The last valid reading, or the connect when none came since the program started.
    [[nodiscard]] QDateTime lastAnswer() const;
    [[nodiscard]] std::string silentSinceText() const;
    void replaceThread();
    void newThread();
    void setTimers(bool enabled);

    TComm& m_comm;
    InverterQueries& m_queries;
    AcquisitionSteps& m_steps;
    MeasurementRecord& m_record;
    EventMemo& m_memo;
    LinkState& m_link;
    OutputRequests& m_requests;
    AcquisitionControl& m_control;
    const TDati& m_settings;
    const Clock& m_clock;
    const LocaleFormats& m_formats;
    ConnectionTimers m_timers;
    DisplayRefresher& m_display; // refreshed after every connect that succeeds
    PacerFactory m_makePacer;
    HidrawDirectory m_hidraw;

    ConnectionView m_view;
    bool m_connecting = false;
    std::unique_ptr<ReadPlot> m_thread;
    int m_threadsCreated = 0;

    int m_silentTicks = 0;         // ticks in a row without progress
    bool m_silenceReported = false; // said in the memo; ends with the next reading
    bool m_lossReported = false;   // the lost port was said in the memo
    QDateTime m_connectedAt;       // the presence check answered: the answer before any reading
    bool m_linkLost = false;       // ConnectionLost was reported and nothing brought the link back yet
    CoreEventSink* m_eventSink = nullptr;
};

} // namespace quorvane
