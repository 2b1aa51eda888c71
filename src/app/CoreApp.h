#pragma once

#include "acquisition/AcquisitionSteps.h"
#include "acquisition/ConnectionManager.h"
#include "config/Settings.h"
#include "config/SettingsChange.h"
#include "core/ComputedValues.h"
#include "core/CoreTimer.h"
#include "core/DisplayRefresher.h"
#include "core/DisplayTexts.h"
#include "core/EventMemo.h"
#include "core/LocaleFormats.h"
#include "core/MemoNotifier.h"
#include "face/CoreCommands.h"
#include "face/CoreEvent.h"
#include "face/CoreState.h"
#include "inverter/InverterQueries.h"
#include "inverter/LinkState.h"
#include "inverter/MeasurementRecord.h"
#include "inverter/OutputRequests.h"
#include "inverter/Wincom.h"
#include "mail/MailSender.h"
#include "monitor/ChargerSettingService.h"
#include "monitor/CycleSteps.h"
#include "monitor/DayChange.h"
#include "monitor/EnergyFlowEvents.h"
#include "monitor/LogSampler.h"
#include "monitor/ProgressSaver.h"
#include "monitor/Supervisor.h"
#include "monitor/WarningWatch.h"
#include "records/LogBook.h"
#include "web/HttpServer.h"
#include "web/RequestDispatcher.h"
#include "web/WebPages.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <string>

namespace quorvane {

class Clock;
class CoreParts;
class SerialOpener;
class UserNotifier;

// The captions of the main window that the settings give.
struct WindowLabels {
    std::array<std::string, 15> BasicCaptions;
    std::array<std::string, 6> ComputedCaptions;
    std::array<std::string, 6> ComputedUnits;
    std::string GroupBox2; // "Computed values ( [A] and [B] from ... )"
    bool operator==(const WindowLabels&) const = default;
};

// The log lists a front end may show, each in its own window.
enum class LogListKind { Variables, Computed, Energy };

// What the window shows, as one value the core hands to the GUI thread.
struct CoreSnapshot {
    DisplayTexts Display;
    WindowLabels Labels;
    ConnectionView Connection;
    std::string Label51;
    std::string Panel3;
    bool TestMode = false;
    LinkPhase Phase = LinkPhase::Disconnected;
    bool ReqByWebBox = false;
    std::array<bool, 4> CommandButtons{true, true, true, true}; // Button5..Button8
    std::string Label46;          // the test mail's progress
    bool BtnSendMailEnabled = true;

    bool operator==(const CoreSnapshot&) const = default;
};

// Everything the program does, without its widgets: it owns every long-lived object of the
// core and runs the handlers the window and the web forward to it.
//
// Thread ownership: the object and everything it owns live on the core thread, except the
// threads it owns (acquisition, mail, web server I/O), which reach it only as their headers say.
class CoreApp final : public QObject,
                      private DisplayRefresher,
                      private CoreEventSink,
                      private SupervisorHost,
                      private FirstMeasurementListener {
    Q_OBJECT
    friend class CoreParts;

public:
    struct Options {
        std::string SettingsPath;          // the executable's path with ".INI"
        std::string LogBase;               // the folder holding "Log" (the current one when empty)
        std::string LocaleName;            // empty: the user's
        CoreTimer::Drive Timers = CoreTimer::Drive::EventLoop;
        ConnectionManager::PacerFactory MakePacer; // empty: real time
        MailSender::Routes MailRoutes;
        // Where notices go instead of the mail sender (a recorder in tests); null: the sender.
        MailOutbox* Outbox = nullptr;
        int HttpThreads = 2;
        std::string SysfsRoot = "/sys"; // where the raw HID devices are listed (a fake tree in tests)
    };

    CoreApp(Options options, const Clock& clock, SerialOpener& opener, UserNotifier& person, QObject* parent = nullptr);
    ~CoreApp() override;

    // A front end listens: everything it shows is published once more; the first time, the
    // start-up policy runs (the automatic connection the settings ask for).
    void Begin();
    // The settings file read again and applied, as at start (nothing is saved).
    void ReloadSettings();
    void SetOutputPriority(OutputPriority priority);
    // Checks the setting against what the unit reports, asks the person to confirm, and
    // queues it for the next cycle; `origin` names who asked, for the memo.
    void ChangeChargerSetting(ChargerSetting setting, double value, const std::string& origin);

    // Makes the applied settings effective: web server, timer intervals, labels, refresh,
    // requested-by-web box.
    void ApplySettings();
    void ApplyLogInterval();
    // Stops the server and starts it on [Http] Port; false when the port is no number (the
    // server then stays stopped).
    bool RestartWebServer();
    // "Disable HTTP": starts or stops the server at once.
    void SetServerEnabled(bool enabled);
    // The "Read variables only when requested by web" box was ticked or cleared.
    void ReqByWebClick(bool ticked);
    void TestClick(bool ticked);
    // Sets the requested-by-web box; its click handler runs when the state changes.
    void SetReqByWebBox(bool ticked) override;
    // The settings dialog's OK or Apply: `edited` becomes the applied settings, is applied and
    // saved.
    void ApplyEditedSettings(const TDati& edited);
    void RefreshDisplay() override;

    // The window's "Close" answered Yes: the acquisition ends after one last cycle, the timers
    // stop, the port closes, the logs and the totals are written one last time.
    void CloseSequence();
    [[nodiscard]] CoreSnapshot Snapshot() const;
    // The readings, the inverter's states and the link's phase as values.
    [[nodiscard]] CoreState State() const;
    // Hands the snapshot to the window and the state to whoever listens, each when it
    // changed (checked a few times a second and after every forwarded action).
    void PublishSnapshot();

    // The commands behind the front ends' buttons, run on the core thread.
    void ToggleConnection();   // "Connect" / "Disconnect", whichever the link offers
    void CheckConnection();    // "Check"
    void RequestStatus();      // "Status"
    void ClearMemo();          // "Clear>>", once the person confirms
    void SetShowAllErrors(bool show);
    void SendTestMail();
    void NoteEvent(const std::string& line);
    // The settings as applied, a copy for a front end's editor.
    [[nodiscard]] TDati Settings() const { return m_live; }
    [[nodiscard]] std::vector<HidrawDevice> HidDevices() const;

    // What the web front end asks for a client. An authorised Timer form: true when a time was
    // no valid hh.mm.ss.
    bool ApplyTimerForm(const TimerFormPost& post, const std::string& client);
    // An authorised command form: the outputs no timer drives take the requested states.
    void SwitchOutputs(const std::array<bool, 8>& requested, const std::string& client);
    // Main-page requests, one memo line per client; in requested-by-web mode each wakes the
    // acquisition for one cycle.
    void RecordPageRequests(const std::vector<ClientPageRequests>& requests);
    [[nodiscard]] std::vector<std::string> MemoLines() const { return m_memo.Lines(); }

    // Runs a queued command: an error that escapes it is discarded (the command just stops);
    // then whatever it changed is published.
    void RunCommand(const std::function<void(CoreApp&)>& command);

    // The parts of the core, for tests that set them up or look inside. Front ends never use
    // it: they command through CoreCommands and see what the core publishes.
    [[nodiscard]] CoreParts ForTests();
    [[nodiscard]] const std::string& SettingsPath() const { return m_options.SettingsPath; }
    // Where the logs are and the locale their dates and times are written in, fixed at start.
    [[nodiscard]] const std::string& LogBase() const { return m_options.LogBase; }
    [[nodiscard]] const std::string& LocaleName() const { return m_options.LocaleName; }
    // Where the web server listens, 0 when it does not. Read it on the core thread, or once
    // the core is handed over as ready and before any command is posted.
    [[nodiscard]] int LivePagePort() const { return m_server.Active() ? m_server.Port() : 0; }

signals:
    // Any state the window shows may have changed.
    void stateChanged();
    void snapshotChanged(const quorvane::CoreSnapshot& snapshot);
    void stateUpdated(const quorvane::CoreState& state);
    // An event the moment the core recognises it (line fault and return, switch to battery and
    // back, link lost and connected, day change, an inverter warning or fault on or off),
    // after its memo line, with the clock's time.
    void eventOccurred(const quorvane::CoreEvent& event);
    // Settings the core changed itself (the requested-by-web box's handler, timer A, the web
    // Timer form): the settings dialog's working copy takes them.
    void settingsChanged(const quorvane::SettingsChange& change);
    void closed();
    // The [Mqtt] settings as applied: at every Begin and whenever settings are applied.
    void mqttSettingsApplied(const quorvane::MqttSettings& settings);
    // The first measurement of a connection has been taken. `firstSinceAutomaticStart` holds
    // only for the first one after a start whose settings connect by themselves (the desktop
    // moves to the tray then).
    void firstMeasurement(bool firstSinceAutomaticStart);
    // The core thread's heartbeat, once a second whether connected or not: it is alive and
    // its event loop turns.
    void ticked();
    // Begin has run: the start-up connection was tried when the settings ask for one.
    // `livePagePort`: where the web server listens, 0 when it does not.
    void begun(int livePagePort);

    // The event memo as it grows, for a front end that shows or follows it: lines appended
    // from index `firstIndex`, a line removed (the oldest, when the memo is full), or all lines
    // anew (at the first Begin and after "Clear>>").
    void memoLinesAppended(qsizetype firstIndex, const QStringList& lines);
    void memoLineRemoved(qsizetype index);
    void memoReset(const QStringList& lines);
    // The three log lists (variables, computed, energy) as they grow, for their windows.
    void logRowsAppended(quorvane::LogListKind list, qsizetype firstIndex, const QStringList& rows);
    void logReset(quorvane::LogListKind list, const QStringList& rows);
    void logLabelsChanged(quorvane::LogListKind list, const QString& caption, const QString& linesText,
                          const QStringList& columnNames);

private:
    // FirstMeasurementListener
    void FirstMeasurementTaken() override;
    // CoreEventSink: the parts below report here; the event gets its time and is published.
    void Report(CoreEventKind kind) override;
    void ReportCondition(CoreEventKind kind, const std::string& condition) override;

    // To the web's event stream and whoever listens to eventOccurred.
    void publishEvent(const CoreEvent& event);
    void saveSettings();
    // The serial number the inverter told is kept as the MQTT device id, so that the next
    // run uses the same topics from its start.
    void rememberMqttDeviceId();

    Options m_options;
    const Clock& m_clock;
    UserNotifier& m_person;
    LocaleFormats m_formats;
    TDati m_live;
    EventMemo m_memo;
    MemoNotifier m_notices; // the person, with every notice also put in the memo
    MeasurementRecord m_record;
    ComputedValues m_computed;
    DisplayTexts m_display;
    WindowLabels m_labels;
    LinkState m_link;
    OutputRequests m_requests;
    AcquisitionControl m_control;
    TComm m_comm;
    InverterQueries m_queries;
    CycleSteps m_steps;
    CoreTimer m_timer;
    CoreTimer m_timer1;
    CoreTimer m_timer3;
    CoreTimer m_timerConnect;
    ConnectionManager m_connection;
    LogBook m_logs;
    MailSender m_mail;
    MailOutbox& m_outbox;
    WebPages m_pages;
    EnergyFlowEvents m_events;
    WarningWatch m_warnings;
    ChargerSettingService m_chargerSettings;
    DayChange m_dayChange;
    ProgressSaver m_progress;
    Supervisor m_supervisor;
    LogSampler m_sampler;
    class OwnCommands;
    std::unique_ptr<OwnCommands> m_ownCommands; // the web front end's, queued to this core
    RequestDispatcher m_dispatcher;
    HttpServer m_server;
    bool m_reqByWebBox = false;
    bool m_autoReconnectCopy = false; // FAutoReconnect: the setting as last applied
    std::array<bool, 8> m_outputs{};
    CoreSnapshot m_published;
    CoreState m_publishedState;
    QTimer m_publishTimer;
    QTimer m_heartbeat;
    bool m_closed = false;
    bool m_begun = false;
    bool m_firstMeasurementAwaited = false; // started with the automatic connection, none taken yet
};

} // namespace quorvane

Q_DECLARE_METATYPE(quorvane::CoreSnapshot)
Q_DECLARE_METATYPE(quorvane::LogListKind)
