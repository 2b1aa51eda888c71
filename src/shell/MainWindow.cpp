#include "shell/MainWindow.h"

#include "shell/AboutBox.h"
#include "shell/ChartsWindow.h"
#include "shell/LogListWindow.h"
#include "shell/SettingsDialog.h"
#include "shell/WarningStrip.h"
#include "web/PageTemplates.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QScreen>

namespace quorvane {

namespace {

// The fifteen values in display order: panel name, caption label name, first caption, unit,
// column (0 left, 1 right) and row (from 1).
struct BasicRow {
    const char* panel;
    const char* caption;
    const char* text;
    const char* unit;
    int column;
    int row;
};
constexpr std::array<BasicRow, 15> kBasicRows = {{
    {"Label4", "Label2", "AC Voltage", "V", 0, 1},
    {"Label5", "Label3", "AC Frequency", "Hz", 0, 2},
    {"Panel6", "Label6", "PV Input Voltage", "V", 0, 3},
    {"Panel25", "Label47", "PV Input Current for battt", "A", 0, 4},
    {"Panel7", "Label7", "Battery Voltage", "V", 0, 5},
    {"Panel1", "Label8", "Battery Capacity", "%", 0, 6},
    {"Panel5", "Label9", "Charging Current", "A", 0, 7},
    {"Panel8", "Label10", "Battery Discharge Current", "A", 0, 8},
    {"Panel13", "Label12", "Output Frequency", "Hz", 1, 2},
    {"Panel15", "Label11", "Output Voltage", "V", 1, 1},
    {"Panel12", "Label13", "Output Apparent Power", "VA", 1, 3},
    {"Panel11", "Label14", "Output Active Power", "W", 1, 4},
    {"Panel10", "Label15", "Load Percent", "%", 1, 5},
    {"Panel9", "Label16", "Inverter Heat Sink Temp", "C", 1, 6},
    {"Panel14", "Label17", "Bus Voltage", "V", 1, 7},
}};

// The second PV input's values, beside the first input's (rows 3 to 5): panel and caption
// names, unit. The captions are kSecondPvCaptions.
struct SecondPvRow {
    const char* panel;
    const char* caption;
    const char* unit;
};
constexpr std::array<SecondPvRow, 3> kSecondPvRows = {{
    {"Pv2VoltagePanel", "Pv2VoltageCaption", "V"},
    {"Pv2CurrentPanel", "Pv2CurrentCaption", "A"},
    {"Pv2PowerPanel", "Pv2PowerCaption", "W"},
}};
constexpr int kSecondPvFirstRow = 2; // from 0: beside "PV Input Voltage"

struct ComputedRow {
    const char* panel;
    const char* caption;
    const char* text;
    const char* unitLabel;
    const char* unit;
};
constexpr std::array<ComputedRow, 6> kComputedRows = {{
    {"Panel16", "Label18", "Solar Energy (24h)", "Label38", " (kWh)"},
    {"Panel17", "Label19", "Solar Power", "Label39", "Watt"},
    {"Panel18", "Label20", "Line Energy (app)", "Label40", "kWh"},
    {"Panel19", "Label21", "Line Energy (act)", "Label41", "kWh"},
    {"Panel20", "Label22", "[A]Total Solar Energy", "Label42", "kWh"},
    {"Panel21", "Label23", "[B]Total Line Energy", "Label43", "kWh"},
}};

// The arrangement gives every widget its place and size.
QLabel* panel(const char* name, QWidget* parent)
{
    auto* label = new QLabel("---", parent);
    label->setObjectName(name);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel* label(const char* name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->adjustSize();
    return label;
}

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

QIcon ApplicationIcon()
{
    QPixmap picture(64, 64);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor("#f5b700"));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRect(18, 4, 28, 28));
    painter.setBrush(QColor("#5b2a86"));
    painter.drawPolygon(QPolygon({QPoint(6, 58), QPoint(58, 58), QPoint(50, 36), QPoint(14, 36)}));
    return QIcon(picture);
}

TForm1::TForm1(CoreCommands& commands, UserNotifier& person, QWidget* parent)
    : QMainWindow(parent), m_commands(commands), m_memo(this)
{
    setObjectName("Form1");
    setWindowTitle(QString("Quorvane ") + kVersionText);
    setWindowIcon(ApplicationIcon());
    buildWindow();
    buildMenus();
    buildTray();
    m_variablesList = new LogListWindow("VariablesList", "VariablesList", {925, 549}, 16, 55, this);
    m_computedList = new LogListWindow("ComputedList", "ComputedList", {605, 677}, 7, 80, this);
    m_energyList = new LogListWindow("ListEnergy", "ListEnergy", {455, 626}, 6, 80, this);
    m_about = new TAboutBox(this);
    TSetting::Actions actions;
    actions.Apply = [this](const TDati& edited) { m_commands.ApplySettings(edited); };
    actions.ShowAllErrors = [this](bool show) { m_commands.SetShowAllErrors(show); };
    actions.SetServerEnabled = [this](bool enabled) { m_commands.SetServerEnabled(enabled); };
    actions.SetReqByWebBox = [this](bool ticked) { m_commands.SetRequestedByWeb(ticked); };
    actions.SendTestMail = [this] { m_commands.SendTestMail(); };
    actions.ListHidDevices = [this] { listHidDevices(); };
    actions.ChangeChargerSetting = [this](ChargerSetting setting, double value) {
        m_commands.ChangeChargerSetting(setting, value);
    };
    m_settings = new TSetting(std::move(actions), person, this);
    fitTexts();
    // Centred.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

TForm1::~TForm1() = default;

bool TForm1::TrayAvailable() const
{
    return m_tray != nullptr && QSystemTrayIcon::isSystemTrayAvailable();
}

void TForm1::buildWindow()
{
    MainWindowWidgets widgets;
    auto* client = new QWidget(this);
    client->setObjectName("Client");
    setCentralWidget(client);

    m_connect = new QPushButton("Connect", client);
    m_connect->setObjectName("Connect1");
    connect(m_connect, &QPushButton::clicked, this, [this] { m_commands.ToggleConnection(); });
    m_label1 = panel("Label1", client);
    m_label1->setWordWrap(true); // "Silent since" and its time take two lines
    m_test = new QCheckBox("Test mode", client);
    m_test->setObjectName("Test");
    connect(m_test, &QCheckBox::clicked, this, [this](bool ticked) { m_commands.SetTestMode(ticked); });
    widgets.connect = m_connect;
    widgets.status = m_label1;
    widgets.test = m_test;

    auto* commands = new QFrame(client);
    commands->setObjectName("Panel2");
    commands->setFrameShape(QFrame::Panel);
    auto button = [commands](const char* name, const char* text) {
        auto* b = new QPushButton(text, commands);
        b->setObjectName(name);
        return b;
    };
    auto* clear = button("Button4", "Clear>>");
    connect(clear, &QPushButton::clicked, this, [this] { m_commands.ClearMemo(); });
    m_commandButtons = {button("Button5", "set SBU"), button("Button6", "set SOL"), button("Button7", "set UTI"),
                        button("Button8", "Status")};
    const std::array<std::function<void(CoreCommands&)>, 4> clicks = {
        [](CoreCommands& core) { core.SetOutputPriority(OutputPriority::SBU); },
        [](CoreCommands& core) { core.SetOutputPriority(OutputPriority::SolarFirst); },
        [](CoreCommands& core) { core.SetOutputPriority(OutputPriority::UtilityFirst); },
        [](CoreCommands& core) { core.RequestStatus(); },
    };
    for (size_t i = 0; i < m_commandButtons.size(); ++i) {
        connect(m_commandButtons[i], &QPushButton::clicked, this, [this, click = clicks[i], i] {
            m_commandButtons[i]->setEnabled(false); // at once; the core confirms
            m_clickNotYetTaken[i] = true;
            click(m_commands);
        });
    }
    auto* check = button("Button1", "Check");
    connect(check, &QPushButton::clicked, this, [this] { m_commands.CheckConnection(); });
    widgets.commands = commands;
    widgets.commandButtons = {clear, m_commandButtons[0], m_commandButtons[1], m_commandButtons[2], m_commandButtons[3], check};

    auto* flow = new QGroupBox("Energy flow", client);
    flow->setObjectName("GroupBox1");
    const std::array<std::pair<const char*, const char*>, 4> flowRows = {
        {{"Panel22", "Mode"}, {"Panel23", "Battery"}, {"Panel24", "Load"}, {"Panel4", "Output"}}};
    for (size_t i = 0; i < flowRows.size(); ++i) {
        widgets.flowCaptions[i] = label(nullptr, flowRows[i].second, flow);
        m_flowPanels[i] = panel(flowRows[i].first, flow);
    }
    widgets.flow = flow;
    widgets.flowPanels = m_flowPanels;
    m_panel3 = panel("Panel3", client);
    m_panel3->setWordWrap(true);
    widgets.clock = m_panel3;

    m_memoView = new QListView(client);
    m_memoView->setObjectName("Memo1");
    m_memoView->setModel(&m_memo);
    m_memoView->setUniformItemSizes(true); // no per-line measuring, also with 100,000 lines
    m_memoView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_memoView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_memoView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    widgets.memo = m_memoView;
    m_warnings = new WarningStrip(client);
    widgets.warnings = m_warnings;

    auto* basic = new QGroupBox("Basic Information from inverter", client);
    basic->setObjectName("GroupBox7");
    for (size_t i = 0; i < kBasicRows.size(); ++i) {
        const BasicRow& row = kBasicRows[i];
        m_basicCaptions[i] = label(row.caption, row.text, basic);
        m_basicPanels[i] = panel(row.panel, basic);
        widgets.basicRows[i] = {m_basicCaptions[i], m_basicPanels[i], label(nullptr, row.unit, basic), row.column, row.row - 1};
    }
    for (size_t i = 0; i < kSecondPvRows.size(); ++i) {
        const SecondPvRow& row = kSecondPvRows[i];
        m_secondPvRows[i] = {label(row.caption, QString::fromStdString(kSecondPvCaptions[i]), basic),
                             panel(row.panel, basic), label(nullptr, row.unit, basic), 0,
                             kSecondPvFirstRow + static_cast<int>(i)};
        for (QLabel* part : {m_secondPvRows[i].caption, m_secondPvRows[i].panel, m_secondPvRows[i].unit})
            part->hide(); // until a second input's values come
    }
    widgets.secondPvRows = m_secondPvRows;
    m_label51 = label("Label51", ".............", basic);
    widgets.basic = basic;
    widgets.outputSource = m_label51;

    m_computedGroup = new QGroupBox("Computed values", client);
    m_computedGroup->setObjectName("GroupBox2");
    for (size_t i = 0; i < kComputedRows.size(); ++i) {
        const ComputedRow& row = kComputedRows[i];
        m_computedCaptions[i] = label(row.caption, row.text, m_computedGroup);
        m_computedPanels[i] = panel(row.panel, m_computedGroup);
        m_computedUnits[i] = label(row.unitLabel, row.unit, m_computedGroup);
        widgets.computedRows[i] = {m_computedCaptions[i], m_computedPanels[i], m_computedUnits[i], 0, static_cast<int>(i)};
    }
    widgets.computed = m_computedGroup;
    widgets.resetNote = label("Label49", "*Solar and Line  Energy = reset at Midnight*", client);
    widgets.powerNote = label("Label50", "*Solar power : instantaneous value*", client);
    m_reqByWeb = new QCheckBox("Read variables only when requested by web", client);
    m_reqByWeb->setObjectName("ReqByWeb");
    connect(m_reqByWeb, &QCheckBox::clicked, this, [this](bool ticked) { m_commands.RequestedByWebClicked(ticked); });
    widgets.reqByWeb = m_reqByWeb;
    m_arrangement = std::make_unique<MainWindowArrangement>(widgets);
}

void TForm1::fitTexts()
{
    // A fixed size, grown to what the texts need: the client area and the menu bar above it.
    const QSize client = m_arrangement->Place();
    setFixedSize(client.width(), client.height() + menuBar()->sizeHint().height());
}

void TForm1::buildMenus()
{
    QMenu* file = menuBar()->addMenu("File");
    connect(file->addAction("Tray"), &QAction::triggered, this, &TForm1::Close1Click);
    connect(file->addAction("Close"), &QAction::triggered, this, &TForm1::Close2Click);
    QMenu* options = menuBar()->addMenu("Options");
    QAction* settings = options->addAction("Settings");
    settings->setObjectName("Settings1");
    connect(settings, &QAction::triggered, this, &TForm1::Settings1Click);
    QMenu* view = menuBar()->addMenu("View");
    auto showWindow = [](QWidget* window) {
        window->show();
        window->raise();
    };
    connect(view->addAction("Basic Variables"), &QAction::triggered, this, [=, this] { showWindow(m_variablesList); });
    connect(view->addAction("Energy"), &QAction::triggered, this, [=, this] { showWindow(m_energyList); });
    connect(view->addAction("Computed Variables"), &QAction::triggered, this, [=, this] { showWindow(m_computedList); });
    connect(view->addAction("Graphics"), &QAction::triggered, this,
            [this] { QMessageBox::information(this, "Quorvane", "Graphics non yet implemented."); });
    auto* charts = new ChartsWindow(m_commands, this);
    connect(view->addAction("Charts"), &QAction::triggered, this, [=] { showWindow(charts); });
    QMenu* help = menuBar()->addMenu("?");
    connect(help->addAction("About"), &QAction::triggered, this, [this] { m_about->setVisible(!m_about->isVisible()); });
    connect(help->addAction("Help"), &QAction::triggered, this,
            [this] { QMessageBox::warning(this, "Quorvane", "Not yet available."); });
}

void TForm1::buildTray()
{
    m_tray = new QSystemTrayIcon(ApplicationIcon(), this);
    auto* menu = new QMenu(this);
    connect(menu->addAction("Restore"), &QAction::triggered, this, &TForm1::Restore1Click);
    connect(menu->addAction("Close"), &QAction::triggered, this, [this] {
        m_tray->hide();
        Close2Click();
    });
    m_tray->setContextMenu(menu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            Restore1Click();
    });
}

void TForm1::Attach(CoreApp* core)
{
    qRegisterMetaType<quorvane::CoreSnapshot>();
    qRegisterMetaType<quorvane::CoreState>();
    qRegisterMetaType<quorvane::SettingsChange>();
    connect(core, &CoreApp::snapshotChanged, this, &TForm1::apply, Qt::QueuedConnection);
    connect(core, &CoreApp::stateUpdated, this, &TForm1::ShowState, Qt::QueuedConnection);
    // Settings the core changes itself reach the dialog's working copy as values, in order
    // with the refills of the dialog (both are queued from the core thread).
    connect(core, &CoreApp::settingsChanged, m_settings, &TSetting::TakeSettingsChange, Qt::QueuedConnection);
    connect(core, &CoreApp::closed, this, [this] { emit closedForGood(); }, Qt::QueuedConnection);
    connect(core, &CoreApp::stateUpdated, findChild<ChartsWindow*>(), &ChartsWindow::TakeState, Qt::QueuedConnection);
    connect(core, &CoreApp::memoLinesAppended, &m_memo, [this](qsizetype first, const QStringList& lines) {
        const bool atEnd = m_memoView->verticalScrollBar()->value() == m_memoView->verticalScrollBar()->maximum();
        m_memo.appendLines(first, lines);
        if (atEnd)
            m_memoView->scrollToBottom();
    }, Qt::QueuedConnection);
    connect(core, &CoreApp::memoLineRemoved, &m_memo, &MemoModel::removeLine, Qt::QueuedConnection);
    connect(core, &CoreApp::memoReset, &m_memo, &MemoModel::resetLines, Qt::QueuedConnection);
    connect(core, &CoreApp::logRowsAppended, this, [this](LogListKind list, qsizetype first, const QStringList& rows) {
        listWindow(list)->Model().appendRows(first, rows);
    }, Qt::QueuedConnection);
    connect(core, &CoreApp::logReset, this, [this](LogListKind list, const QStringList& rows) {
        listWindow(list)->Model().resetRows(rows);
    }, Qt::QueuedConnection);
    connect(core, &CoreApp::logLabelsChanged, this,
            [this](LogListKind list, const QString& caption, const QString& linesText, const QStringList& columns) {
                listWindow(list)->setLabels(caption, linesText, columns);
            }, Qt::QueuedConnection);
    // The desktop moves to the tray after the first measurement of a start that connected by
    // itself.
    connect(core, &CoreApp::firstMeasurement, this, [this](bool firstSinceAutomaticStart) {
        if (firstSinceAutomaticStart)
            Close1Click();
    }, Qt::QueuedConnection);
    m_attached = true;
    // Everything once more for this fresh view; then the core's start-up (its automatic connect).
    m_commands.Begin();
}

LogListWindow* TForm1::listWindow(LogListKind list) const
{
    switch (list) {
    case LogListKind::Variables:
        return m_variablesList;
    case LogListKind::Computed:
        return m_computedList;
    case LogListKind::Energy:
        return m_energyList;
    }
    return m_variablesList;
}

void TForm1::apply(const CoreSnapshot& snapshot)
{
    m_state = snapshot;
    for (size_t i = 0; i < m_basicPanels.size(); ++i) {
        m_basicPanels[i]->setText(q(snapshot.Display.Basic[i]));
        m_basicCaptions[i]->setText(q(snapshot.Labels.BasicCaptions[i]));
    }
    for (size_t i = 0; i < m_computedPanels.size(); ++i) {
        m_computedPanels[i]->setText(q(snapshot.Display.Computed[i]));
        m_computedCaptions[i]->setText(q(snapshot.Labels.ComputedCaptions[i]));
        m_computedUnits[i]->setText(q(snapshot.Labels.ComputedUnits[i]));
    }
    m_flowPanels[0]->setText(q(snapshot.Display.Panel22));
    m_flowPanels[1]->setText(q(snapshot.Display.Panel23));
    m_flowPanels[2]->setText(q(snapshot.Display.Panel24));
    m_flowPanels[3]->setText(q(snapshot.Display.Panel4));
    m_computedGroup->setTitle(q(snapshot.Labels.GroupBox2));
    m_label1->setText(q(snapshot.Connection.Label1));
    m_connect->setText(q(snapshot.Connection.Connect1Caption));
    m_connect->setEnabled(snapshot.Connection.Connect1Enabled);
    m_test->setEnabled(snapshot.Connection.TestEnabled);
    m_test->setChecked(snapshot.TestMode);
    for (size_t i = 0; i < m_commandButtons.size(); ++i) {
        // The core disables the button when it takes the click (and publishes that at once),
        // and enables it again once the request is served.
        if (!snapshot.CommandButtons[i])
            m_clickNotYetTaken[i] = false;
        m_commandButtons[i]->setEnabled(snapshot.CommandButtons[i] && !m_clickNotYetTaken[i]);
    }
    // Only a unit with a second PV input has its values; for any other the window stays as it was.
    const bool secondPv = snapshot.Display.SecondPv.size() == m_secondPvRows.size();
    for (size_t i = 0; i < m_secondPvRows.size(); ++i) {
        const ValueRow& row = m_secondPvRows[i];
        row.panel->setText(secondPv ? q(snapshot.Display.SecondPv[i]) : "---");
        for (QLabel* part : {row.caption, row.panel, row.unit})
            part->setVisible(secondPv);
    }
    m_label51->setText(q(snapshot.Label51));
    m_panel3->setText(q(snapshot.Panel3));
    m_reqByWeb->setChecked(snapshot.ReqByWebBox);
    m_settings->SetMailProgress(snapshot.Label46, snapshot.BtnSendMailEnabled);
    fitTexts(); // captions from the settings, the totals' start date, status texts
}

void TForm1::ShowState(const CoreState& state)
{
    m_settings->ShowInverterState(state);
    if (m_warnings->Show(state.Warnings))
        fitTexts();
}

void TForm1::refillSettings(bool showDialog)
{
    m_commands.FetchSettings(this, [this, showDialog](const TDati& live) {
        m_settings->FormShow(live);
        if (showDialog)
            m_settings->show();
    });
    listHidDevices();
}

void TForm1::listHidDevices()
{
    m_commands.ListHidDevices(this, [this](const std::vector<HidrawDevice>& devices) { m_settings->ShowHidDevices(devices); });
}

void TForm1::Settings1Click()
{
    if (m_settings->isVisible())
        m_settings->hide();
    else
        refillSettings(true);
}

void TForm1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    fitTexts(); // the style sheet is on the widgets now
    // Showing the window refills the dialog from the applied settings.
    if (m_attached)
        refillSettings(false);
}

void TForm1::Close1Click()
{
    // The tip follows the link's state; while connecting the previous tip stays.
    switch (m_state.Phase) {
    case LinkPhase::TestMode: m_trayTip = "Quorvane running in TEST MODE"; break;
    case LinkPhase::Connected: m_trayTip = "Quorvane connected and running"; break;
    case LinkPhase::Disconnected: m_trayTip = "Quorvane is NOT running"; break;
    case LinkPhase::Connecting: break;
    }
    if (!TrayAvailable()) {
        // No notification area here: minimise rather than hide, so the program is never left
        // running with neither a window nor an icon.
        showMinimized();
        return;
    }
    m_tray->setToolTip(m_trayTip);
    m_tray->show();
    hide();
}

void TForm1::Restore1Click()
{
    showNormal();
    raise();
    activateWindow();
    m_tray->hide();
}

void TForm1::Close2Click()
{
    m_reallyClose = true;
    close();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    event->ignore();
    if (!m_reallyClose) {
        Close1Click();
        return;
    }
    const auto answer = QMessageBox::question(this, "Quorvane", "Close Quorvane?", QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) {
        m_reallyClose = false;
        if (isHidden())
            showNormal(); // a close from the icon's menu removed the icon: never leave nothing
        m_commands.NoteEvent("Closing program aborted.");
        return;
    }
    runCloseSequence();
}

void TForm1::CloseWithoutAsking()
{
    runCloseSequence();
}

void TForm1::runCloseSequence()
{
    if (m_closing)
        return;
    m_closing = true;
    m_commands.Close();
}

void TForm1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && TrayAvailable())
        QMetaObject::invokeMethod(this, &TForm1::Close1Click, Qt::QueuedConnection);
}

} // namespace quorvane
