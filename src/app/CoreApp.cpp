#include "app/CoreApp.h"

#include "app/CoreCommandQueue.h"
#include "app/CoreParts.h"

#include "core/Clock.h"
#include "core/ThreadHandover.h"
#include "core/UserNotifier.h"
#include "monitor/DisplayRefresh.h"
#include "web/WebForms.h"

#include <charconv>
#include <optional>
#include <utility>

namespace quorvane {

// The commands of the core's own web front end: queued to the core, which lives on this
// thread, behind the work queued before them; dropped with the core.
class CoreApp::OwnCommands final : public CoreCommandQueue {
public:
    explicit OwnCommands(CoreApp& core) : m_core(core) {}

    void Post(std::function<void(CoreApp&)> action) override
    {
        AnnounceHandover();
        QMetaObject::invokeMethod(
            &m_core, [this, action = std::move(action)] { m_core.RunCommand(action); }, Qt::QueuedConnection);
    }

private:
    CoreApp& m_core;
};

namespace {

// The log sampling interval of an "UpdateLog" choice; nothing for a choice out of range.
std::optional<int> logIntervalMs(int updateLog)
{
    // 5 and 15 minutes are 350 000 and 950 000 ms, as they always were.
    static constexpr std::array<int, 8> kIntervals = {60000, 120000, 350000, 600000, 950000, 1200000, 1800000, 3600000};
    if (updateLog < 0 || updateLog >= static_cast<int>(kIntervals.size()))
        return std::nullopt;
    return kIntervals[static_cast<size_t>(updateLog)];
}

std::optional<long> wholeNumber(const std::string& text)
{
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// A whole number that is no port (negative, above 65535) fails to start like a busy port.
HttpServer::StartError startOn(HttpServer& server, long port)
{
    return port >= 0 && port <= 65535 ? server.Start(static_cast<std::uint16_t>(port)) : HttpServer::StartError::Other;
}

} // namespace

CoreApp::CoreApp(Options options, const Clock& clock, SerialOpener& opener, UserNotifier& person, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_clock(clock)
    , m_person(person)
    , m_formats(m_options.LocaleName)
    , m_live(clock.now().date())
    , m_memo(clock, m_formats)
    , m_notices(person, m_memo)
    , m_comm(opener, m_notices)
    , m_queries(m_comm, m_record, m_memo, m_link, m_requests, clock)
    , m_steps(m_comm, m_queries, m_computed, m_record, m_requests, m_link, clock, m_formats)
    , m_timer(m_options.Timers, 1000)
    , m_timer1(m_options.Timers, 1000)
    , m_timer3(m_options.Timers, 1000)
    , m_timerConnect(m_options.Timers, ConnectionManager::kReconnectDelayMs)
    , m_connection(m_comm, m_queries, m_steps, m_record, m_memo, m_link, m_requests, m_control, m_live, clock,
                   m_formats, ConnectionTimers{m_timer, m_timer1, m_timer3, m_timerConnect}, *this, m_options.MakePacer)
    , m_logs(m_options.LogBase, m_live, m_computed, m_memo, m_formats, m_notices)
    , m_mail(m_live, m_memo, clock, m_options.MailRoutes)
    , m_outbox(m_options.Outbox != nullptr ? *m_options.Outbox : static_cast<MailOutbox&>(m_mail))
    , m_events(m_record, m_live, m_memo, m_outbox, m_pages)
    , m_warnings(m_live, m_record, m_memo, m_outbox, clock, m_formats)
    , m_chargerSettings(m_queries, m_comm, m_record, m_memo, m_requests)
    , m_dayChange(m_live, m_logs, m_computed, m_display, m_memo, m_record, m_outbox, m_formats)
    , m_progress(clock, m_logs, m_memo)
    , m_supervisor(clock, m_formats, m_live, m_requests, m_connection, m_memo, m_dayChange, m_events, m_progress,
                   *this)
    , m_sampler(clock, m_formats, m_live, m_display, m_logs, m_progress, m_timer1, m_timer3,
                m_supervisor.DayReference(), *this)
    , m_ownCommands(std::make_unique<OwnCommands>(*this))
    , m_dispatcher(*m_ownCommands, m_pages, clock, m_formats, this)
    , m_server([this](const HttpRequest& request, HttpRespond respond) { m_dispatcher.Handle(request, std::move(respond)); },
               m_options.HttpThreads)
{
    m_connection.SetHidrawDirectory(HidrawDirectory(m_options.SysfsRoot));
    m_dispatcher.SetLogBase(m_options.LogBase);
    m_connection.SetEventSink(this);
    m_events.SetEventSink(this);
    m_dayChange.SetEventSink(this);
    m_warnings.SetEventSink(this);
    m_steps.SetWarningWatch(&m_warnings);
    m_steps.SetChargerSettings(&m_chargerSettings);
    m_timer.SetHandler([this] { m_supervisor.TimerTimer(); });
    m_timer1.SetHandler([this] { m_sampler.Timer1Timer(); });
    m_timer3.SetHandler([this] { m_sampler.Timer3Timer(); });

    connect(this, &CoreApp::stateChanged, this, &CoreApp::PublishSnapshot, Qt::QueuedConnection);
    // A reading reaches the front ends (a broker among them) the moment its cycle step ends.
    m_steps.ReadingDone = [this] { PublishSnapshot(); };
    connect(&m_mail, &MailSender::progressChanged, this, &CoreApp::PublishSnapshot, Qt::QueuedConnection);
    // The memo and the log lists reach the front ends through the core's own signals.
    connect(&m_memo, &EventMemo::linesAppended, this, &CoreApp::memoLinesAppended);
    connect(&m_memo, &EventMemo::lineRemoved, this, &CoreApp::memoLineRemoved);
    connect(&m_memo, &EventMemo::reset, this, &CoreApp::memoReset);
    const std::array<std::pair<LogList*, LogListKind>, 3> lists = {{{&m_logs.BasicList(), LogListKind::Variables},
                                                                   {&m_logs.ComputedList(), LogListKind::Computed},
                                                                   {&m_logs.EnergyList(), LogListKind::Energy}}};
    for (const auto& [list, kind] : lists) {
        connect(list, &LogList::rowsAppended, this,
                [this, kind](qsizetype first, const QStringList& rows) { emit logRowsAppended(kind, first, rows); });
        connect(list, &LogList::reset, this, [this, kind](const QStringList& rows) { emit logReset(kind, rows); });
        connect(list, &LogList::labelsChanged, this,
                [this, kind](const QString& caption, const QString& linesText, const QStringList& columns) {
                    emit logLabelsChanged(kind, caption, linesText, columns);
                });
    }
    if (m_options.Timers == CoreTimer::Drive::EventLoop) {
        m_publishTimer.setInterval(250);
        connect(&m_publishTimer, &QTimer::timeout, this, &CoreApp::PublishSnapshot);
        m_publishTimer.start();
        // The core thread's heartbeat, connected or not: a watchdog fed by it sees a core
        // thread that no longer turns (a read that never ends) whatever the link's state.
        m_heartbeat.setInterval(1000);
        connect(&m_heartbeat, &QTimer::timeout, this, &CoreApp::ticked);
        m_heartbeat.start();
    }

    // The settings, with the log interval set as soon as its choice is known.
    m_live = LoadSettings(m_options.SettingsPath, m_formats, clock.now().date());
    ApplyLogInterval();
    m_comm.SetPortMap(PortMap(m_live.Ports));

    // Today's names, the totals, today's event log, the day's lists.
    const QDate today = clock.now().date();
    ShowRestoredEnergies(m_logs.StartUp(today), m_computed, m_display);
    m_labels.GroupBox2 = m_logs.ComputedHeading();
    m_pages.SetComputedHeading(m_logs.ComputedHeading());
    ApplySettings();
    m_dispatcher.PublishState(State()); // what the status answers show until the first change
}

CoreApp::~CoreApp()
{
    m_server.Stop();
}

CoreParts CoreApp::ForTests()
{
    return CoreParts(*this);
}

void CoreApp::ToggleConnection()
{
    m_connection.Connect1Click();
}

void CoreApp::CheckConnection()
{
    m_connection.Button1Click();
}

void CoreApp::RequestStatus()
{
    m_requests.Button8Click();
}

void CoreApp::ClearMemo()
{
    m_memo.ClearAfterConfirmation(m_person);
}

void CoreApp::SetShowAllErrors(bool show)
{
    m_link.ShowAllErrors = show;
}

void CoreApp::SendTestMail()
{
    m_mail.SendTestMail(m_logs.Tree().ComputedLogPath());
}

void CoreApp::NoteEvent(const std::string& line)
{
    m_memo.AddEventLine(line);
}

std::vector<HidrawDevice> CoreApp::HidDevices() const
{
    return m_connection.Hidraw().List();
}

void CoreApp::Begin()
{
    m_memo.Republish();
    m_logs.BasicList().Republish();
    m_logs.ComputedList().Republish();
    m_logs.EnergyList().Republish();
    emit snapshotChanged(Snapshot());
    emit stateUpdated(State());
    emit mqttSettingsApplied(m_live.Mqtt);
    if (!std::exchange(m_begun, true)) {
        // The automatic connection of the first showing. A connect that succeeds refreshes
        // the display itself; a failed one leaves it as it is.
        m_firstMeasurementAwaited = m_live.AutoConnect;
        if (m_live.AutoConnect && !m_link.LinkConnected)
            m_connection.Connect1Click();
    }
    emit begun(LivePagePort());
}

void CoreApp::FirstMeasurementTaken()
{
    emit firstMeasurement(std::exchange(m_firstMeasurementAwaited, false));
}

void CoreApp::ReloadSettings()
{
    m_live = LoadSettings(m_options.SettingsPath, m_formats, m_clock.now().date());
    m_comm.SetPortMap(PortMap(m_live.Ports));
    m_memo.AddEventLine("Settings read again from " + m_options.SettingsPath + ".");
    ApplySettings();
}

void CoreApp::ChangeChargerSetting(ChargerSetting setting, double value, const std::string& origin)
{
    const std::string name(SettingName(setting));
    const std::string wanted = SettingValueText(setting, value);
    if (!m_link.LinkConnected || m_link.Test) {
        m_notices.showWarning("The inverter's " + name + " can be changed only while it is connected.");
        return;
    }
    if (const SettingCheck check = m_chargerSettings.Check(setting, value); !check.Ok()) {
        m_notices.showWarning("The inverter's " + name + " was not changed to " + wanted + ": " + check.Reason + ".");
        return;
    }
    const std::string question = "Change the inverter's " + name + " from " + m_chargerSettings.ValueInForce(setting)
                                 + " to " + wanted + "?";
    if (m_person.askYesNo(question) != UserNotifier::Answer::Yes)
        return;
    m_chargerSettings.Queue(setting, value, origin);
}

void CoreApp::SetOutputPriority(OutputPriority priority)
{
    switch (priority) {
    case OutputPriority::SBU:
        m_requests.Button5Click();
        break;
    case OutputPriority::SolarFirst:
        m_requests.Button6Click();
        break;
    case OutputPriority::UtilityFirst:
        m_requests.Button7Click();
        break;
    }
}

CoreSnapshot CoreApp::Snapshot() const
{
    CoreSnapshot snapshot;
    snapshot.Display = m_display;
    snapshot.Labels = m_labels;
    snapshot.Connection = m_connection.View();
    snapshot.Label51 = m_queries.Label51();
    snapshot.Panel3 = m_supervisor.Panel3();
    snapshot.TestMode = m_link.Test;
    snapshot.Phase = PhaseOf(m_link, m_connection.Connecting());
    snapshot.ReqByWebBox = m_reqByWebBox;
    snapshot.Label46 = m_mail.Label46();
    snapshot.BtnSendMailEnabled = m_mail.BtnSendMailEnabled();
    snapshot.CommandButtons = {m_requests.Button5Enabled, m_requests.Button6Enabled, m_requests.Button7Enabled,
                               m_requests.Button8Enabled};
    return snapshot;
}

void CoreApp::Report(CoreEventKind kind)
{
    publishEvent(CoreEvent{kind, m_clock.now(), {}});
}

void CoreApp::ReportCondition(CoreEventKind kind, const std::string& condition)
{
    publishEvent(CoreEvent{kind, m_clock.now(), condition});
}

void CoreApp::publishEvent(const CoreEvent& event)
{
    m_dispatcher.PublishEvent(event);
    emit eventOccurred(event);
}

CoreState CoreApp::State() const
{
    return StateOf(m_record, m_computed, PhaseOf(m_link, m_connection.Connecting()));
}

void CoreApp::PublishSnapshot()
{
    CoreSnapshot snapshot = Snapshot();
    if (snapshot != m_published) {
        m_published = snapshot;
        emit snapshotChanged(m_published);
    }
    rememberMqttDeviceId();
    CoreState state = State();
    if (state != m_publishedState) {
        m_publishedState = std::move(state);
        m_dispatcher.PublishState(m_publishedState);
        emit stateUpdated(m_publishedState);
    }
}

void CoreApp::CloseSequence()
{
    if (m_closed)
        return;
    m_closed = true;
    // 3. One last cycle, then the thread ends (its steps are served while waiting).
    m_connection.ShutdownAcquisition();
    // 4. The timers stop.
    m_timer.SetEnabled(false);
    m_timer1.SetEnabled(false);
    m_timer3.SetEnabled(false);
    m_timerConnect.SetEnabled(false);
    // 5. The port closes.
    if (m_link.LinkConnected && !m_link.Test)
        m_comm.Close();
    // 6. The logs and the totals, one last time; the daily values belong to the tick's day.
    const QDate day = m_supervisor.DayReference().date();
    if (m_live.LogEnergy)
        m_logs.AppendEnergyRow(day);
    if (m_live.LogBasic)
        m_logs.WriteBasicLog(day);
    if (m_live.LogEvent)
        m_logs.SaveEventLog(day);
    if (m_live.LogComputed)
        m_logs.WriteComputedLog(day);
    m_logs.SaveTotals(m_clock.now().date());
    m_server.Stop();
    emit closed();
}

void CoreApp::ApplyLogInterval()
{
    if (m_link.Test) {
        m_timer3.SetInterval(ConnectionManager::kTestModeLogIntervalMs);
        return;
    }
    if (const auto interval = logIntervalMs(m_live.UpdateLog))
        m_timer3.SetInterval(*interval);
}

bool CoreApp::RestartWebServer()
{
    // Stopping cannot fail here, so "Failed to DE-activate WEB server." is never needed.
    m_server.Stop();
    const auto port = wholeNumber(m_live.HttpPort);
    if (!port)
        return false;
    const auto started = startOn(m_server, *port);
    if (started != HttpServer::StartError::None) {
        m_memo.AddEventLine("Failed to activate WEB server.");
        if (started == HttpServer::StartError::PermissionDenied)
            m_memo.AddEventLine("Port " + m_live.HttpPort
                                + " may only be opened with administrator rights on this system: choose a port "
                                  "above 1023 in the settings.");
    }
    return true;
}

void CoreApp::SetServerEnabled(bool enabled)
{
    if (!enabled) {
        m_server.Stop();
        return;
    }
    if (const auto port = wholeNumber(m_live.HttpPort))
        (void)startOn(m_server, *port); // reports nothing, as the box never did
}

void CoreApp::ApplySettings()
{
    emit mqttSettingsApplied(m_live.Mqtt);
    m_dispatcher.SetPassword(m_live.Password);
    // 1. The web server, on the port as it now reads. A port that is no number ends here,
    //    with the server stopped and nothing shown.
    if (!RestartWebServer())
        return;

    // 2. The measuring interval, keeping whether the timer runs.
    const bool measuring = m_timer1.Enabled();
    m_timer1.SetEnabled(false);
    if (const int interval = MeasuringIntervalMs(m_live.MeasTime); interval > 0)
        m_connection.SetMeasuringInterval(interval);
    m_link.MeasTimeIndex = m_live.MeasTime; // the line-absence threshold follows the interval
    m_timer1.SetEnabled(measuring);

    // 3. The log interval, likewise, and the reconnect choice as applied.
    const bool sampling = m_timer3.Enabled();
    m_timer3.SetEnabled(false);
    ApplyLogInterval();
    m_autoReconnectCopy = m_live.AutoReConnect;
    m_timer3.SetEnabled(sampling);

    // 4-7. Page labels and the window's captions.
    m_pages.ApplyPageLabels(m_live);
    m_labels.ComputedCaptions = m_live.Aux;
    m_labels.ComputedUnits = m_live.UnitAux;
    m_labels.BasicCaptions = m_live.BasicCaptions;

    // 8. The refresh header and the note that ends every reading stamp.
    m_steps.RefreshNote = m_pages.ApplyRefreshChoice(m_live.RefreshWeb);

    // 9. The requested-by-web box; its handler runs when its state changes.
    SetReqByWebBox(m_live.ReqByWeb);
    emit stateChanged();
}

void CoreApp::ApplyEditedSettings(const TDati& edited)
{
    m_live = edited;
    m_comm.SetPortMap(PortMap(m_live.Ports));
    ApplySettings();
    saveSettings();
}

void CoreApp::SetReqByWebBox(bool ticked)
{
    if (m_reqByWebBox != ticked)
        ReqByWebClick(ticked);
}

void CoreApp::ReqByWebClick(bool ticked)
{
    m_reqByWebBox = ticked;
    m_control.ReqByWeb = ticked;
    SettingsChange change; // what the settings dialog's boxes take
    if (ticked) {
        if (m_live.AutoReConnect) {
            m_memo.AddEventLine("**Warning** by selecting the option *requested by web* the option *AutoReconnect* "
                                "has been disabled.");
            m_live.AutoReConnect = false;
        }
        m_memo.AddEventLine("Setting RequestByWeb option.");
    } else {
        if (m_autoReconnectCopy) {
            change.AutoReConnect = true;
            m_live.AutoReConnect = true;
        }
        m_connection.WakeAcquisition();
        m_memo.AddEventLine("Leaving RequestByWeb option.");
    }
    m_live.ReqByWeb = ticked;
    change.ReqByWeb = ticked;
    emit settingsChanged(change);
    emit stateChanged();
}

void CoreApp::TestClick(bool ticked)
{
    m_connection.TestClick(ticked);
    emit stateChanged();
}

void CoreApp::RefreshDisplay()
{
    quorvane::RefreshDisplay(m_record, m_computed, m_display, m_pages);
    m_pages.Publish();
    emit stateChanged();
}

void CoreApp::RecordPageRequests(const std::vector<ClientPageRequests>& requests)
{
    for (const ClientPageRequests& request : requests)
        m_memo.LogWebRequest(request.Address, request.Stamp, request.Count);
    if (m_reqByWebBox && !requests.empty())
        m_connection.WakeAcquisition(); // one more cycle when the thread waits; nothing otherwise
}

void CoreApp::saveSettings()
{
    const FileWriteError error = SaveSettings(m_options.SettingsPath, m_live);
    if (error != FileWriteError::None)
        m_memo.AddEventLine("Error writing " + m_options.SettingsPath + ": " + toString(error) + ".");
}

void CoreApp::rememberMqttDeviceId()
{
    if (!m_live.Mqtt.Enabled || m_record.SerialNumber.empty() || m_live.Mqtt.DeviceId == m_record.SerialNumber)
        return;
    m_live.Mqtt.DeviceId = m_record.SerialNumber;
    saveSettings();
    SettingsChange change;
    change.MqttDeviceId = m_live.Mqtt.DeviceId;
    emit settingsChanged(change);
}

bool CoreApp::ApplyTimerForm(const TimerFormPost& post, const std::string& client)
{
    bool error = false;
    const QDate today = m_clock.now().date();
    SettingsChange change; // what the settings dialog's timer controls take
    for (size_t timer = 0; timer < 4; ++timer) {
        m_live.TimerEnabled[timer] = post.Enabled[timer];
        change.TimerEnabled[timer] = post.Enabled[timer];
        if (!post.Times[timer])
            continue; // neither field was posted
        const auto& times = *post.Times[timer];
        if (!times) {
            error = true;
            continue;
        }
        m_live.TimeOn[timer] = QDateTime(today, times->first);
        m_live.TimeOff[timer] = QDateTime(today, times->second);
        change.TimeOn[timer] = m_live.TimeOn[timer];
        change.TimeOff[timer] = m_live.TimeOff[timer];
        saveSettings();
    }
    emit settingsChanged(change);
    m_memo.AddEventLine("Timer set-up changed from the web by " + client + ".");
    RefreshDisplay();
    return error;
}

void CoreApp::SwitchOutputs(const std::array<bool, 8>& requested, const std::string& client)
{
    for (size_t output = 0; output < m_outputs.size(); ++output) {
        if (!IsTimerBoundOutput(static_cast<int>(output), m_live))
            m_outputs[output] = requested[output];
    }
    m_memo.AddEventLine("Outputs switched from the web by " + client + ".");
    RefreshDisplay();
}

void CoreApp::RunCommand(const std::function<void(CoreApp&)>& command)
{
    try {
        command(*this);
    } catch (...) {
        // An error that escapes a handler is discarded; the handler just stops.
    }
    PublishSnapshot();
}

} // namespace quorvane
