#include "acquisition/ConnectionManager.h"

#include "inverter/MeasurementRecord.h"
#include "inverter/OutputRequests.h"
#include "config/Settings.h"
#include "core/Clock.h"
#include "core/CoreTimer.h"
#include "core/DisplayRefresher.h"
#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "inverter/LinkState.h"
#include "inverter/PortMap.h"
#include "inverter/Wincom.h"

#include <filesystem>
#include <set>
#include <utility>

namespace quorvane {

namespace {

// A port mapped to a udev link ("/dev/inverter-hid") and the hidraw device it points to are
// one device, tried once.
std::string resolvedPath(const std::string& device)
{
    std::error_code error;
    const auto resolved = std::filesystem::weakly_canonical(device, error);
    return error ? device : resolved.string();
}

} // namespace

ConnectionManager::ConnectionManager(TComm& comm, InverterQueries& queries, AcquisitionSteps& steps,
                                     MeasurementRecord& record, EventMemo& memo, LinkState& link,
                                     OutputRequests& requests, AcquisitionControl& control, const TDati& settings,
                                     const Clock& clock, const LocaleFormats& formats, ConnectionTimers timers,
                                     DisplayRefresher& display, PacerFactory makePacer)
    : m_comm(comm)
    , m_queries(queries)
    , m_steps(steps)
    , m_record(record)
    , m_memo(memo)
    , m_link(link)
    , m_requests(requests)
    , m_control(control)
    , m_settings(settings)
    , m_clock(clock)
    , m_formats(formats)
    , m_timers(timers)
    , m_display(display)
    , m_makePacer(makePacer ? std::move(makePacer) : PacerFactory([] { return std::make_unique<RealTimePacer>(); }))
{
    m_timers.TimerConnect.SetInterval(kReconnectDelayMs);
    m_timers.TimerConnect.SetHandler([this] { TimerConnectTimer(); });
    newThread(); // created suspended, held until the first connect
}

ConnectionManager::~ConnectionManager() = default;

void ConnectionManager::newThread()
{
    m_thread = std::make_unique<ReadPlot>(m_steps, m_requests, m_control, m_makePacer());
    ++m_threadsCreated;
}

void ConnectionManager::setTimers(bool enabled)
{
    m_timers.Timer.SetEnabled(enabled);
    m_timers.Timer1.SetEnabled(enabled);
    if (!enabled)
        m_timers.Timer3.SetEnabled(false); // Timer1's first tick starts it
}

void ConnectionManager::Connect1Click()
{
    m_control.HoldAcquisition = false;
    if (m_link.LinkConnected) {
        m_silenceReported = false; // the person took the link down: nothing to follow any more
        disconnect();
    } else {
        connect();
        retryIfFailed();
    }
}

void ConnectionManager::retryIfFailed()
{
    if (m_link.LinkConnected || !m_settings.AutoReConnect || ReconnectState == kReconnectsGivenUp)
        return;
    ReconnectState = kReconnectPending;
    m_timers.TimerConnect.SetEnabled(true);
}

void ConnectionManager::connect()
{
    // Connected from the start of the attempt, so that the presence check may send.
    m_connecting = true;
    m_view.Label1 = "Connecting...";
    m_view.Connect1Caption = "Disconnect";
    m_link.LinkConnected = true;
    m_view.TestEnabled = false;

    if (m_link.Test) {
        setTimers(true);
        m_record.PollTime = m_clock.now();
        m_thread->Resume();
        m_display.RefreshDisplay();
        m_connecting = false;
        m_view.Label1 = "Test Mode";
        m_memo.AddEventLine("Connected in Test Mode.");
        declareLinkBack(true);
        return;
    }

    m_comm.SetPortMap(PortMap(m_settings.Ports));
    switch (m_settings.AutoSearch ? searchPorts() : openConfiguredPort()) {
    case Outcome::NotFound:
        failed("Port not found in system.");
        break;
    case Outcome::OpenFailed:
        failed("Port " + m_settings.ComPort + " NOT found");
        break;
    case Outcome::NoInverter:
        m_memo.AddEventLine("Communication port " + m_settings.ComPort
                            + " exists, but Inverter NOT found. Try another port.");
        m_comm.Close();
        failed({});
        break;
    case Outcome::Connected:
        connected();
        break;
    }
}

ConnectionManager::Outcome ConnectionManager::searchPorts()
{
    std::set<std::string> tried; // device files, links resolved
    for (int number = 1; number <= PortMap::kLastPort; ++number) {
        const std::string name = PortMap::PortName(number);
        tried.insert(resolvedPath(m_comm.Ports().DevicePath(name)));
        // Messages name the port without the device prefix.
        if (tryPort("COM" + std::to_string(number), name))
            return Outcome::Connected;
    }
    // A raw HID device has no COM number of its own (numbers keep their meaning in the settings
    // however devices come and go): one that no COM name above stands for is named by its
    // device file, in the same lines.
    for (const HidrawDevice& device : m_hidraw.WithIds(SearchedUsbIds(m_settings.HidIds))) {
        if (tried.insert(resolvedPath(device.DevicePath)).second && tryPort(device.DevicePath, device.DevicePath))
            return Outcome::Connected;
    }
    return Outcome::NotFound;
}

bool ConnectionManager::tryPort(const std::string& shown, const std::string& name)
{
    m_memo.AddEventLine("Trying port " + shown + "...");
    if (!m_comm.PortExists(name)) {
        m_memo.AddEventLine("Port " + shown + " Not Found.");
        return false;
    }
    m_comm.Open(name);
    if (m_comm.LastError() != 0) {
        m_memo.AddEventLine("Port " + shown + " Busy.");
        return false;
    }
    m_comm.Purge();
    if (m_queries.CheckInverter())
        return true;
    m_memo.AddEventLine("Port " + shown + " Found but Inverter not connected.");
    m_comm.Close();
    return false;
}

ConnectionManager::Outcome ConnectionManager::openConfiguredPort()
{
    m_comm.Open(PortMap::PortName(m_settings.ComPortIndex));
    if (m_comm.LastError() != 0)
        return Outcome::OpenFailed;
    m_comm.Purge();
    return m_queries.CheckInverter() ? Outcome::Connected : Outcome::NoInverter;
}

void ConnectionManager::failed(const std::string& line)
{
    m_connecting = false;
    // While a silence goes on, the window keeps showing since when.
    m_view.Label1 = m_silenceReported ? silentSinceText() : "Error";
    if (!line.empty())
        m_memo.AddEventLine(line);
    m_view.Connect1Caption = "Connect";
    m_link.LinkConnected = false;
    m_view.TestEnabled = true;
}

void ConnectionManager::connected()
{
    // The port as opened: on this system, its device file.
    m_memo.AddEventLine("Connected to " + m_comm.DevicePath() + " port and Inverter.");
    m_connecting = false;
    m_view.Label1 = "Connected";
    setTimers(true);
    m_record.PollTime = m_clock.now();
    m_connectedAt = m_record.PollTime;
    m_silentTicks = 0;
    // A reconnect that was still to come is not needed any more.
    m_timers.TimerConnect.SetEnabled(false);
    if (ReconnectState == kReconnectPending)
        ReconnectState = 0;
    // The old thread's last cycle already runs on this connection: it is the first.
    m_steps.LinkOpened();
    replaceThread();
    m_requests.StatusRequest = true; // the first cycle reads the priority in force
    m_thread->Resume();
    m_display.RefreshDisplay();
    m_view.Connect1Caption = "Disconnect";
    declareLinkBack(true);
}

void ConnectionManager::replaceThread()
{
    // The old thread completes one more cycle (its hand-offs are served while waiting).
    m_thread->Resume();
    m_thread->Terminate();
    if (m_thread->WaitFor() == ReadPlot::kReturnValue)
        m_thread.reset();
    newThread();
}

void ConnectionManager::disconnect()
{
    m_view.Label1 = "Disconnecting...";
    m_control.HoldAcquisition = true; // the thread finishes its cycle and its pause, then waits
    setTimers(false);
    m_view.Connect1Caption = "Connect";
    m_link.LinkConnected = false;
    m_view.TestEnabled = true;
    if (m_link.Test) {
        m_view.Label1 = "Test Mode";
        m_memo.AddEventLine("Disconnected in Test Mode.");
        return;
    }
    m_comm.Close();
    m_view.Label1 = "---";
    m_view.Connect1Enabled = true;
}

void ConnectionManager::Button1Click()
{
    if (m_link.Test) {
        m_memo.AddEventLine("Dummy connection test OK.");
        return;
    }
    if (!m_queries.CheckInverter())
        m_memo.AddEventLine("Inverter NOT connected on port " + m_settings.ComPort);
}

void ConnectionManager::TestClick(bool ticked)
{
    m_link.Test = ticked;
    if (ticked) {
        // Stays until the settings are applied again, also after leaving test mode.
        m_timers.Timer3.SetInterval(kTestModeLogIntervalMs);
        m_memo.AddEventLine("Entering in TEST mode.");
    } else {
        m_memo.AddEventLine("Leaving TEST mode.");
    }
}

std::optional<bool> ConnectionManager::progressThisTick()
{
    if (m_record.ValidReadings != LastSeenReadings) {
        StallTicks = 0;
        return true;
    }
    const bool lost = m_comm.State() == TComm::PortState::Lost;
    const bool cycleRan = m_thread && m_thread->LoopCount() != LastSeenLoopCount;
    if (m_control.ReqByWeb && !cycleRan && !lost)
        return std::nullopt;
    if (lost)
        return false; // a lost port does not come back by itself: no allowance
    const int seconds = m_timers.Timer1.Interval() / 1000;
    if (seconds <= 1)
        return false;
    ++StallTicks;
    // Slow intervals get two intervals' worth of ticks before a tick counts.
    return 2 * seconds > StallTicks;
}

void ConnectionManager::reportLostPort()
{
    if (m_comm.State() != TComm::PortState::Lost) {
        m_lossReported = false;
        return;
    }
    if (m_lossReported)
        return;
    m_lossReported = true;
    m_memo.AddEventLine("Connection to " + m_comm.DevicePath() + " lost: the device hung up or went away.");
    declareLinkLost();
}

void ConnectionManager::declareLinkLost()
{
    if (m_linkLost)
        return;
    m_linkLost = true;
    if (m_eventSink != nullptr)
        m_eventSink->Report(CoreEventKind::ConnectionLost);
}

void ConnectionManager::declareLinkBack(bool byConnect)
{
    // Readings again after a reconnect: the connect already said the link is back.
    if (!byConnect && !m_linkLost)
        return;
    if (std::exchange(m_linkLost, false))
        ++m_record.Polls.Reconnects;
    if (m_eventSink != nullptr)
        m_eventSink->Report(CoreEventKind::Connected);
}

QDateTime ConnectionManager::lastAnswer() const
{
    return m_record.LastValidReading.isValid() ? m_record.LastValidReading : m_connectedAt;
}

std::string ConnectionManager::silentSinceText() const
{
    const QDateTime since = lastAnswer();
    return "Silent since "
           + (since.date() == m_clock.now().date() ? m_formats.longTime(since.time()) : m_formats.dateTime(since));
}

void ConnectionManager::followSilence(bool progress)
{
    if (progress) {
        m_silentTicks = 0;
        if (m_silenceReported) {
            m_silenceReported = false;
            m_memo.AddEventLine("Inverter answering again.");
            declareLinkBack(false);
            if (m_link.LinkConnected)
                m_view.Label1 = m_link.Test ? "Test Mode" : "Connected";
        }
        return;
    }
    // Said once per silence, at the watchdog's limit, whether or not a reconnect follows.
    if (!m_silenceReported && ++m_silentTicks >= kStalledTicksBeforeReconnect) {
        m_silenceReported = true;
        m_memo.AddEventLine("Inverter stopped answering: no valid reading since " + m_formats.dateTime(lastAnswer())
                            + ".");
        declareLinkLost();
    }
    if (m_silenceReported)
        m_view.Label1 = silentSinceText();
}

void ConnectionManager::Watchdog()
{
    reportLostPort();
    const std::optional<bool> progress = progressThisTick();
    if (!progress)
        return; // waiting for a page request is no silence
    followSilence(*progress);

    if (m_settings.AutoReConnect && !*progress) {
        // A reconnect already pending, or given up, waits for readings to come again.
        if (ReconnectState >= 0 && ++ReconnectState == kStalledTicksBeforeReconnect) {
            ReconnectState = kReconnectPending;
            disconnect();
            m_view.Label1 = silentSinceText();
            m_timers.TimerConnect.SetEnabled(true);
        }
    } else {
        ReconnectState = 0;
        ReconnectAttempts = 0;
    }
}

void ConnectionManager::NoteProgress()
{
    LastSeenReadings = m_record.ValidReadings;
    if (m_thread)
        LastSeenLoopCount = m_thread->LoopCount();
}

void ConnectionManager::TimerConnectTimer()
{
    m_timers.TimerConnect.SetEnabled(false);
    m_control.HoldAcquisition = false;
    if (!m_link.LinkConnected)
        connect(); // with a search when that is configured
    m_memo.AddEventLine("AutoReconnect executed.");
    ReconnectState = 0;
    if (++ReconnectAttempts >= kReconnectAttempts) {
        ReconnectState = kReconnectsGivenUp;
        m_memo.AddEventLine("FATAL: maximum number of reconnect attempt has been made. Check cable and Inverter.");
        return;
    }
    retryIfFailed();
}

void ConnectionManager::SetMeasuringInterval(int intervalMs)
{
    m_timers.Timer1.SetInterval(intervalMs);
    m_control.IntervalMs = intervalMs;
}

void ConnectionManager::WakeAcquisition()
{
    if (m_thread)
        m_thread->Resume();
}

void ConnectionManager::ShutdownAcquisition()
{
    m_control.HoldAcquisition = false;
    SetMeasuringInterval(1000);
    if (!m_thread)
        return;
    m_thread->Resume();
    m_thread->Terminate();
    if (m_thread->WaitFor() == ReadPlot::kReturnValue)
        m_thread.reset();
}

} // namespace quorvane
