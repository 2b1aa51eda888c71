#include "shell/SettingsDialog.h"

#include "config/Editcheck.h"
#include "core/UserNotifier.h"
#include "inverter/PortMap.h"
#include "shell/InverterTab.h"
#include "shell/TextRoom.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimeEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvane {

namespace {

constexpr int kPortDefault = -1;
constexpr int kPortMinimum = 0;
constexpr int kPortMaximum = 65535;
constexpr int kMargin = 8; // around the widgets of a page and a group
constexpr int kButtonWidth = 100; // beside the tabs, at the least
constexpr int kGap = 2; // the least room between a caption and its field, as the form has it
const QString kSilver = "background: rgb(192, 192, 192);";

// Lets only an integer's characters reach a field; keys that type nothing pass.
class IntegerKeyFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && discards(*static_cast<const QKeyEvent*>(event)))
            return true;
        return QObject::eventFilter(watched, event);
    }

private:
    static bool discards(const QKeyEvent& key)
    {
        // Tab and Shift+Tab move the focus; they never were characters typed into the field.
        if (key.key() == Qt::Key_Tab || key.key() == Qt::Key_Backtab)
            return false;
        const QString text = key.text();
        if (text.isEmpty())
            return false;
        const char16_t typed = text.at(0).unicode();
        // X11 and Wayland deliver Delete with the text 0x7F: it edits the field, it types nothing.
        if (typed == 0x7F)
            return false;
        return typed >= 128 || FilterIntegerKey(static_cast<char>(typed)) == '\0';
    }
};

QLabel* caption(const QString& text, QWidget* parent, int x, int y)
{
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}

// Placeholder text in a field wide enough to show it whole, frame and margins included.
void setWholePlaceholder(QLineEdit* field, const QString& placeholder)
{
    field->setPlaceholderText(placeholder);
    const QFontMetrics metrics = field->fontMetrics();
    field->setMinimumWidth(metrics.horizontalAdvance(placeholder) + 2 * metrics.averageCharWidth());
}

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

// The room a tab's page needs: its layout's, or its widgets' and a margin.
QSize pageRoom(const QWidget& page)
{
    if (page.layout() != nullptr)
        return page.minimumSizeHint();
    const QRect widgets = ChildrenArea(page);
    return {widgets.right() + 1 + kMargin, widgets.bottom() + 1 + kMargin};
}

// The port list: "COM1", "COM2", then "COM4" to "COM25", and two empty entries.
QStringList portEntries()
{
    QStringList entries{"COM1", "COM2"};
    for (int number = 4; number <= 25; ++number)
        entries << "COM" + QString::number(number);
    entries << "" << "";
    return entries;
}

} // namespace

TSetting::TSetting(Actions actions, UserNotifier& person, QWidget* parent)
    : QDialog(parent, Qt::Tool), m_actions(std::move(actions)), m_person(person)
{
    setObjectName("Setting");
    setWindowTitle("Settings");
    setFixedSize(694, 354);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName("PageControl1");
    m_tabs->setGeometry(4, 4, 572, 346);
    m_tabs->addTab(buildMainTab(), "Main");
    m_tabs->addTab(buildMailTab(), "Mail");
    m_tabs->addTab(buildBasicTab(), "Basic Info Log");
    m_tabs->addTab(buildComputedTab(), "Computed info Log");
    m_tabs->addTab(buildLogTab(), "Energy/Event Log ");
    m_tabs->addTab(buildTimerTab(), "Timer");
    m_tabs->addTab(buildBlackListTab(), "BlackList");
    m_tabs->addTab(buildPortsTab(), "Ports");
    m_tabs->addTab(buildMqttTab(), "MQTT");
    m_tabs->addTab(buildInverterTab(), "Inverter");
    for (int i = 0; i < m_tabs->count(); ++i)
        if (m_tabs->widget(i)->layout() == nullptr)
            MakeRoom(*m_tabs->widget(i), kGap);

    // fitTexts() places the buttons and boxes beside the tabs.
    m_apply = new QPushButton("Apply", this);
    m_apply->setObjectName("Button4");
    m_apply->setEnabled(false);
    connect(m_apply, &QPushButton::clicked, this, &TSetting::Button4Click);
    m_autoConnect = box("AutoConnect", "Auto Connect", this, &TDati::AutoConnect);
    m_autoReconnect = box("CheckBox29", "Auto Reconnect", this, &TDati::AutoReConnect);
    m_ok = new QPushButton("OK", this);
    m_ok->setObjectName("Button1");
    connect(m_ok, &QPushButton::clicked, this, &TSetting::Button1Click);
    m_cancel = new QPushButton("Cancel", this);
    m_cancel->setObjectName("Button2");
    connect(m_cancel, &QPushButton::clicked, this, &TSetting::Button2Click);

    // Enter in a field runs only that field's own entry: no button is ever the default, not
    // even one that has the focus.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);
    fitTexts();
}

void TSetting::fitTexts()
{
    // The tabs wide enough for their bar, and as large as each page's widgets need. The bar and
    // a page are laid out inside the tabs once the dialog shows: then they tell how much room
    // the tabs take around them.
    const QTabBar* bar = m_tabs->tabBar();
    QSize tabs = m_tabs->size().expandedTo({bar->sizeHint().width(), 0});
    if (const QWidget* shown = m_tabs->currentWidget(); shown->isVisible()) {
        tabs = m_tabs->size().expandedTo({m_tabs->width() + bar->sizeHint().width() - bar->width(), 0});
        const QSize frame = m_tabs->size() - shown->size();
        for (int i = 0; i < m_tabs->count(); ++i)
            tabs = tabs.expandedTo(pageRoom(*m_tabs->widget(i)) + frame);
    }
    m_tabs->resize(tabs);

    // Beside the tabs, a column of buttons as wide as the widest text in it; its boxes sit
    // 2 px further left, OK and Cancel at the bottom.
    const int column = m_tabs->geometry().right() + 1 + kMargin;
    int width = kButtonWidth;
    for (const QPushButton* button : {m_apply, m_ok, m_cancel})
        width = std::max(width, TextWidth(*button));
    for (const QCheckBox* box : {m_autoConnect, m_autoReconnect})
        width = std::max(width, TextWidth(*box) - 2);
    const int height = std::max(this->height(), m_tabs->geometry().bottom() + 1 + 4);
    m_apply->setGeometry(column, 24, width, 25);
    m_autoConnect->move(column - 2, 64);
    m_autoReconnect->move(column - 2, 88);
    m_ok->setGeometry(column, height - 74, width, 25);
    m_cancel->setGeometry(column, height - 40, width, 25);
    setFixedSize(column + width + 10, height);
}

void TSetting::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    fitTexts();
}

bool TSetting::Modified() const
{
    return m_apply->isEnabled();
}

void TSetting::MarkModified()
{
    m_apply->setEnabled(true);
}

QCheckBox* TSetting::box(const char* name, const QString& text, QWidget* parent, bool TDati::*setting)
{
    return box(name, text, parent, [setting](TDati& d) -> bool& { return d.*setting; });
}

QCheckBox* TSetting::box(const char* name, const QString& text, QWidget* parent, std::function<bool&(TDati&)> setting)
{
    auto* check = new QCheckBox(text, parent);
    check->setObjectName(name);
    check->adjustSize();
    connect(check, &QCheckBox::clicked, this, [this, setting](bool ticked) {
        setting(m_edit) = ticked;
        MarkModified();
    });
    m_fillers.push_back([this, check, setting] { check->setChecked(setting(m_edit)); });
    return check;
}

QLineEdit* TSetting::text(const char* name, QWidget* parent, std::function<std::string&(TDati&)> setting, int maxLength)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    if (maxLength > 0)
        edit->setMaxLength(maxLength);
    connect(edit, &QLineEdit::textEdited, this, [this, setting](const QString& value) {
        setting(m_edit) = value.toStdString();
        MarkModified();
    });
    m_fillers.push_back([this, edit, setting] { edit->setText(q(setting(m_edit))); });
    return edit;
}

QLineEdit* TSetting::numericField(const char* name, QWidget* parent, std::string TDati::*setting)
{
    return numericField(name, parent,
                        {.show = [setting](const TDati& d) { return d.*setting; },
                         .store = [setting](TDati& d, int value) { d.*setting = std::to_string(value); },
                         .minimum = kPortMinimum,
                         .whenEmpty = kPortMinimum});
}

QLineEdit* TSetting::numericField(const char* name, QWidget* parent, IntegerSetting setting)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->installEventFilter(new IntegerKeyFilter(edit));
    // A change is only a draft (silver) until Enter accepts it.
    connect(edit, &QLineEdit::textEdited, this, [this, edit] {
        edit->setStyleSheet(kSilver);
        MarkModified();
    });
    connect(edit, &QLineEdit::returnPressed, this, [this, edit, setting] {
        const std::string typed = edit->text().toStdString();
        const int value = typed.empty() || typed == "-"
                              ? setting.whenEmpty
                              : ValidatedIntegerEntry(typed, kPortDefault, setting.minimum, kPortMaximum, &m_person);
        if (value < 0)
            return; // refused, and the message said why; the field stays silver
        setting.store(m_edit, value);
        MarkModified();
        edit->setStyleSheet({});
    });
    m_fillers.push_back([this, edit, setting] {
        edit->setText(q(setting.show(m_edit)));
        edit->setStyleSheet({});
    });
    return edit;
}

QWidget* TSetting::buildMainTab()
{
    auto* tab = new QWidget;
    auto* http = new QGroupBox("HTTP settings", tab);
    http->setGeometry(8, 8, 280, 104);
    caption("Port", http, 8, 24);
    numericField("Edit20", http, &TDati::HttpPort)->setGeometry(120, 20, 80, 22);
    caption("Title in web page", http, 8, 50);
    text("Edit5", http, [](TDati& d) -> std::string& { return d.Title; })->setGeometry(120, 46, 150, 22);
    caption("Refresh web page:", http, 8, 76);
    auto* refresh = new QComboBox(http);
    refresh->setObjectName("ComboBox6");
    refresh->addItems({"1 sec", "2 sec", "3 sec", "5 sec", "10 sec", "1 min", "NEVER"});
    refresh->setGeometry(120, 72, 80, 22);
    GrowWidth(*refresh, refresh->sizeHint().width());
    connect(refresh, &QComboBox::activated, this, [this](int index) {
        m_edit.RefreshWeb = index;
        MarkModified();
    });
    m_fillers.push_back([this, refresh] { refresh->setCurrentIndex(m_edit.RefreshWeb); });
    m_reqByWeb = new QCheckBox("Read variables only when requested by web", tab);
    m_reqByWeb->setObjectName("ReqByWeb");
    m_reqByWeb->setGeometry(8, 116, TextWidth(*m_reqByWeb), 20);
    connect(m_reqByWeb, &QCheckBox::clicked, this, [this](bool ticked) {
        m_edit.ReqByWeb = ticked;
        MarkModified();
        m_actions.SetReqByWebBox(ticked);
    });
    m_fillers.push_back([this] { m_reqByWeb->setChecked(m_edit.ReqByWeb); });
    auto* disable = new QCheckBox("Disable HTTP", tab);
    disable->setObjectName("HTTPdisable");
    disable->move(8, 138);
    disable->adjustSize();
    connect(disable, &QCheckBox::clicked, this, [this](bool ticked) { m_actions.SetServerEnabled(!ticked); });

    // The round buttons a line apart, 16 px at the least; the groups under "Disable HTTP".
    const int pitch = std::max(16, tab->fontMetrics().height());
    const int groupsTop = std::max(160, disable->geometry().bottom() + 1 + kGap);
    auto radios = [this, tab, pitch, groupsTop](const char* name, const QString& title, const QStringList& choices,
                                                int TDati::*setting, int x) {
        auto* group = new QGroupBox(title, tab);
        group->setObjectName(name);
        group->setGeometry(x, groupsTop, 130, 18 + static_cast<int>(choices.size()) * pitch);
        auto* buttons = new QButtonGroup(group);
        for (int i = 0; i < choices.size(); ++i) {
            auto* radio = new QRadioButton(choices.at(i), group);
            radio->setGeometry(8, 18 + i * pitch, 110, pitch);
            buttons->addButton(radio, i);
        }
        connect(buttons, &QButtonGroup::idClicked, this, [this, setting](int index) {
            m_edit.*setting = index;
            MarkModified();
        });
        m_fillers.push_back([this, buttons, setting] {
            if (auto* chosen = buttons->button(m_edit.*setting))
                chosen->setChecked(true);
        });
    };
    radios("RefreshTime", "Update LOG", {"1 min", "2 min", "5 min", "10 min", "15 min", "20 min", "30 min", "1 h"},
           &TDati::UpdateLog, 8);
    radios("MeasTime", "Meas. Time", {"1 sec", "2 sec", "5 sec", "10 sec", "20 sec", "60 sec", "10 min", "1 h"},
           &TDati::MeasTime, 146);

    auto* serial = new QGroupBox("RS232 settings", tab);
    serial->setGeometry(296, 8, 262, 130);
    caption("Com Port", serial, 8, 24);
    m_comPort = new QComboBox(serial);
    m_comPort->setObjectName("COMPORT");
    m_comPort->addItems(portEntries());
    m_comPort->setGeometry(90, 20, 80, 22);
    GrowWidth(*m_comPort, m_comPort->sizeHint().width());
    m_comDevice = new QLabel(serial);
    m_comDevice->setObjectName("ComDevice");
    m_comDevice->setGeometry(176, 20, 84, 22);
    connect(m_comPort, &QComboBox::activated, this, [this](int index) {
        const QString entry = m_comPort->itemText(index);
        if (entry.isEmpty())
            return; // the empty entries name no port: nothing is stored
        m_edit.ComPort = entry.toStdString();
        m_edit.ComPortIndex = entry.mid(3).toInt();
        MarkModified();
        showMappedDevice();
    });
    m_fillers.push_back([this] {
        const int found = m_comPort->findText("COM" + QString::number(m_edit.ComPortIndex));
        m_comPort->setCurrentIndex(found);
        showMappedDevice();
    });
    caption("Baud rate", serial, 8, 50);
    auto* baud = new QComboBox(serial);
    baud->setObjectName("ComboBox5");
    baud->addItems({"300", "1200", "2400", "4800", "9600", "18200"});
    baud->setCurrentIndex(2);
    baud->setEnabled(false);
    baud->setGeometry(90, 46, 80, 22);
    GrowWidth(*baud, baud->sizeHint().width());
    box("AutoSearch", "Auto search", serial, &TDati::AutoSearch)->move(8, 74);
    auto* current = new QLabel("Current 4048 settings: 2400, 1, 0 , 8", serial);
    current->setObjectName("Label26");
    current->setStyleSheet("font-weight: bold;");
    current->move(8, 100);
    auto* errors = new QCheckBox("Display all errors on log ", tab);
    errors->setObjectName("CheckBox2");
    errors->move(296, 160);
    connect(errors, &QCheckBox::clicked, this, [this](bool ticked) { m_actions.ShowAllErrors(ticked); });
    auto* onError = box("OnErr", "Send Mail on Error", tab, &TDati::Err);
    onError->move(296, 184);
    onError->setEnabled(false);
    return tab;
}

QWidget* TSetting::buildMailTab()
{
    auto* tab = new QWidget;
    auto* group = new QGroupBox("Mail settings", tab);
    group->setGeometry(8, 8, 552, 300);
    auto* smtpLabel = caption("Smtp server", group, 8, 24);
    auto* smtp = text("Edit1", group, [](TDati& d) -> std::string& { return d.Smtp; });
    smtp->setGeometry(110, 20, 170, 22);
    auto* portLabel = caption("Port", group, 290, 24);
    auto* port = numericField("Edit2", group, &TDati::MailPort);
    port->setGeometry(330, 20, 60, 22);
    m_useInternal = box("Useinternal", "Use DIRECT relay (no SMTP)", group, &TDati::Useinternal);
    m_useInternal->move(290, 50);
    connect(m_useInternal, &QCheckBox::clicked, this, &TSetting::applyMailRules);
    caption("Send to Address", group, 8, 52);
    text("Edit29", group, [](TDati& d) -> std::string& { return d.Address; })->setGeometry(110, 48, 170, 22);
    m_authRequired = box("CheckBox1", "Authentication Required", group, &TDati::AuthRequired);
    m_authRequired->move(8, 80);
    connect(m_authRequired, &QCheckBox::clicked, this, &TSetting::applyMailRules);
    auto* auth = new QGroupBox("Authentication", group);
    auth->setGeometry(8, 104, 270, 80);
    auto* userLabel = caption("Username", auth, 8, 24);
    auto* user = text("Edit3", auth, [](TDati& d) -> std::string& { return d.MailUsername; });
    user->setGeometry(90, 20, 170, 22);
    auto* passwordLabel = caption("Password", auth, 8, 50);
    auto* password = text("Edit4", auth, [](TDati& d) -> std::string& { return d.MailPassword; });
    password->setEchoMode(QLineEdit::Password);
    password->setGeometry(90, 46, 170, 22);
    m_authWidgets = {userLabel, user, passwordLabel, password};
    m_serverWidgets = {smtpLabel, smtp, portLabel, port, m_authRequired};
    m_proxyRequired = box("CheckBox19", "Proxy required", group, &TDati::ProxyRequired);
    m_proxyRequired->move(290, 80);
    m_proxyRequired->setEnabled(false);
    auto* proxy = new QGroupBox("Proxy", group);
    proxy->setGeometry(290, 104, 254, 80);
    auto* urlLabel = caption("Url", proxy, 8, 24);
    auto* url = text("Edit30", proxy, [](TDati& d) -> std::string& { return d.UrlProxy; });
    url->setGeometry(50, 20, 140, 22);
    auto* proxyPort = numericField("Edit31", proxy, &TDati::PortProxy);
    proxyPort->setGeometry(196, 20, 60, 22);
    m_proxyWidgets = {urlLabel, url, proxyPort};
    m_sendMail = new QPushButton("Send Test Email", group);
    m_sendMail->setObjectName("btnSendMail");
    m_sendMail->setGeometry(8, 200, 140, 28);
    connect(m_sendMail, &QPushButton::clicked, this, &TSetting::btnSendMailClick);
    m_label46 = new QLabel("Test mail progress", group);
    m_label46->setObjectName("Label46");
    m_label46->setGeometry(160, 204, 380, 22);
    m_fillers.push_back([this] { applyMailRules(); });
    return tab;
}

void TSetting::applyMailRules()
{
    const bool direct = m_useInternal->isChecked();
    for (QWidget* widget : m_serverWidgets)
        widget->setEnabled(!direct);
    for (QWidget* widget : m_authWidgets)
        widget->setEnabled(!direct && m_authRequired->isChecked());
    for (QWidget* widget : m_proxyWidgets)
        widget->setEnabled(m_proxyRequired->isChecked());
}

QWidget* TSetting::buildBasicTab()
{
    static constexpr std::array<const char*, 15> kFields = {"Edit7",  "Edit8",  "Edit9",  "Edit10", "Edit11",
                                                            "Edit24", "Edit25", "Edit26", "Edit27", "Edit28",
                                                            "Edit32", "Edit33", "Edit34", "Edit37", "Edit38"};
    auto* tab = new QWidget;
    auto* group = new QGroupBox("Inverter basic info Labels and log", tab);
    group->setGeometry(8, 8, 552, 300);
    for (size_t i = 0; i < kFields.size(); ++i) {
        const int column = i < 8 ? 0 : 1;
        const int row = i < 8 ? static_cast<int>(i) : static_cast<int>(i) - 8;
        caption("Var" + QString::number(i + 1), group, 8 + column * 280, 24 + row * 28);
        text(kFields[i], group, [i](TDati& d) -> std::string& { return d.BasicCaptions[i]; }, 30)
            ->setGeometry(60 + column * 280, 20 + row * 28, 200, 22);
    }
    box("LogBasic", "Log and save to file daily", group, &TDati::LogBasic)->move(288, 220);
    box("SendBasic", "Send e-mail on save", group, [](TDati& d) -> bool& { return d.Out[0]; })->move(288, 244);
    return tab;
}

QWidget* TSetting::buildComputedTab()
{
    static constexpr std::array<const char*, 6> kNames = {"Edit12", "Edit13", "Edit14", "Edit15", "Edit16", "Edit17"};
    static constexpr std::array<const char*, 6> kUnits = {"Edit6", "Edit18", "Edit19", "Edit21", "Edit22", "Edit23"};
    auto* tab = new QWidget;
    auto* group = new QGroupBox("Computed Info Labels, Log and Units", tab);
    group->setGeometry(8, 8, 552, 300);
    for (size_t i = 0; i < kNames.size(); ++i) {
        const int y = 24 + static_cast<int>(i) * 30;
        caption("Var " + QString::number(i + 1), group, 8, y);
        text(kNames[i], group, [i](TDati& d) -> std::string& { return d.Aux[i]; }, 30)->setGeometry(60, y - 4, 200, 22);
        caption("Unit Var " + QString::number(i + 1), group, 280, y);
        text(kUnits[i], group, [i](TDati& d) -> std::string& { return d.UnitAux[i]; }, 30)->setGeometry(350, y - 4, 100, 22);
    }
    box("LogComputed", "Log and save to file daily", group, &TDati::LogComputed)->move(8, 220);
    box("SendComputed", "Send e-mail on save", group, [](TDati& d) -> bool& { return d.Out[1]; })->move(8, 244);
    return tab;
}

QWidget* TSetting::buildLogTab()
{
    auto* tab = new QWidget;
    auto* explanation = new QPlainTextEdit(tab);
    explanation->setReadOnly(true);
    explanation->setGeometry(8, 8, 300, 300);
    explanation->setPlainText("- Directory name: Log, in the folder Quorvane is started from.\n"
                              "- Basic variables: Log/LogVariables/year/month/day/BasicLog_D-M-Y.csv\n"
                              "- Computed variables: Log/LogComputed/year/month/day/ComputedLog_D-M-Y.csv\n"
                              "- Energy: Log/LogEnergy/year/month/EnergyLog_M-Y.csv, one row a day\n"
                              "- Events: Log/LogEvent/year/month/day/EventLogD-M-Y.txt\n"
                              "- Totals: Log/EnergyTotalSolar.csv");
    std::vector<QGroupBox*> groups;
    auto group = [tab, &groups](const char* title, int y, int height) {
        auto* g = new QGroupBox(title, tab);
        g->setGeometry(316, y, 244, height);
        groups.push_back(g);
        return g;
    };
    box("LogEvent", "Save to file", group("Event log", 8, 50), &TDati::LogEvent)->move(8, 22);
    auto* energy = group("Energy log", 62, 74);
    box("LogEnergy", "Save to file", energy, &TDati::LogEnergy)->move(8, 22);
    box("SendEnergy", "Send e-mail on save", energy, [](TDati& d) -> bool& { return d.Out[2]; })->move(8, 46);
    box("SendSwitch", "Send e-mail on switch Battery/Line and Line/battery", group("Energy Flow", 140, 50),
        [](TDati& d) -> bool& { return d.Out[3]; })->move(8, 22);
    box("LineFault", "Send e-mail on Line fault", group("Line/Utility", 194, 50),
        [](TDati& d) -> bool& { return d.Out[4]; })->move(8, 22);
    // The groups stay one width: the widest one's.
    int width = 0;
    for (QGroupBox* g : groups) {
        GrowAround(*g, kMargin);
        width = std::max({width, g->width(), TitleWidth(*g)});
    }
    for (QGroupBox* g : groups)
        g->resize(width, g->height());
    return tab;
}

QWidget* TSetting::buildTimerTab()
{
    struct TimerGroup {
        const char* name;
        const char* title;
        const char* enabled;
        const char* on;
        const char* off;
        const char* next;
        const char* output;
    };
    static constexpr std::array<TimerGroup, 4> kGroups = {{
        {"TimerA", "Timer for automatic activation \"Read Variable only when requested by web\"", "CheckBox3",
         "DateTimePicker1", "DateTimePicker2", "TAnext", "ComboBox1"},
        {"TimerB", "Timer for SOL activation (normally SBU activated)", "CheckBox20", "DateTimePicker3",
         "DateTimePicker4", "TBnext", "ComboBox2"},
        {"TimerC", "Timer on Output (C)", "CheckBox21", "DateTimePicker5", "DateTimePicker6", "TCnext", "ComboBox3"},
        {"TimerD", "Timer on Output (D)", "CheckBox22", "DateTimePicker7", "DateTimePicker8", "TDnext", "ComboBox4"},
    }};
    auto* tab = new QWidget;
    for (size_t t = 0; t < kGroups.size(); ++t) {
        const TimerGroup& g = kGroups[t];
        auto* group = new QGroupBox(g.title, tab);
        group->setObjectName(g.name);
        group->setGeometry(8, 8 + static_cast<int>(t % 2) * 150, 552, 140);
        group->setVisible(t < 2); // timers C and D stay hidden
        auto* enabled = box(g.enabled, "Enabled", group, [t](TDati& d) -> bool& { return d.TimerEnabled[t]; });
        enabled->move(8, 24);
        connect(enabled, &QCheckBox::clicked, this, [this, t](bool ticked) { setTimerEnabled(t, ticked); });
        m_timerEnabled[t] = enabled;
        auto picker = [&](const char* name, const char* label, int x, std::array<QDateTime, 4> TDati::*times) {
            auto* text = caption(label, group, x, 54);
            auto* edit = new QTimeEdit(group);
            edit->setObjectName(name);
            edit->setDisplayFormat("HH:mm:ss");
            edit->setGeometry(x + 30, 50, 90, 22);
            GrowWidth(*edit, edit->sizeHint().width());
            connect(edit, &QTimeEdit::timeChanged, this, [this, t, times](const QTime& time) {
                if (m_filling)
                    return;
                // Today's date and the time of day in whole seconds.
                (m_edit.*times)[t] = QDateTime(QDate::currentDate(), QTime(time.hour(), time.minute(), time.second()));
                MarkModified();
            });
            m_fillers.push_back([this, edit, t, times] { edit->setTime((m_edit.*times)[t].time()); });
            m_timerWidgets[t].insert(m_timerWidgets[t].end(), {text, edit});
            return edit;
        };
        m_timeOn[t] = picker(g.on, "On", 8, &TDati::TimeOn);
        m_timeOff[t] = picker(g.off, "Off", 150, &TDati::TimeOff);
        auto* next = box(g.next, "Next day (check if the OFF time is in the subsequent day of the ON time)", group,
                         [t](TDati& d) -> bool& { return d.TimerNext[t]; });
        next->move(8, 84);
        auto* output = new QComboBox(group);
        output->setObjectName(g.output);
        for (int n = 1; n <= 8; ++n)
            output->addItem("Output " + QString::number(n));
        output->setGeometry(300, 50, 100, 22);
        GrowWidth(*output, output->sizeHint().width());
        output->setVisible(t != 0); // timer A's output list stays hidden
        connect(output, &QComboBox::activated, this, [this, t](int index) {
            m_edit.TimerInput[t] = index;
            MarkModified();
        });
        m_fillers.push_back([this, output, t] { output->setCurrentIndex(m_edit.TimerInput[t]); });
        m_timerWidgets[t].insert(m_timerWidgets[t].end(), {next, output});
        m_fillers.push_back([this, t] { setTimerEnabled(t, m_edit.TimerEnabled[t]); });
    }
    return tab;
}

void TSetting::setTimerEnabled(size_t timer, bool enabled)
{
    for (QWidget* widget : m_timerWidgets[timer])
        widget->setEnabled(enabled);
}

QWidget* TSetting::buildBlackListTab()
{
    auto* tab = new QWidget;
    auto* memo = new QPlainTextEdit("Not yet implemented", tab);
    memo->setReadOnly(true);
    memo->setGeometry(8, 8, 300, 200);
    auto* add = new QPushButton("Add", tab);
    add->setGeometry(316, 8, 75, 25);
    auto* field = new QLineEdit(tab);
    field->setGeometry(316, 40, 150, 22);
    return tab;
}

QWidget* TSetting::buildPortsTab()
{
    auto* tab = new QWidget;
    caption("Which device file each port name stands for (an empty path: the default one).", tab, 8, 8);
    m_ports = new QTableWidget(PortMap::kLastPort, 2, tab);
    m_ports->setObjectName("PortsTable");
    m_ports->setHorizontalHeaderLabels({"Port", "Device"});
    m_ports->verticalHeader()->hide();
    m_ports->setGeometry(8, 26, 552, 150);
    m_ports->setColumnWidth(0, 80);
    m_ports->horizontalHeader()->setStretchLastSection(true);
    for (int number = 1; number <= PortMap::kLastPort; ++number) {
        auto* name = new QTableWidgetItem("COM" + QString::number(number));
        name->setFlags(Qt::ItemIsEnabled);
        m_ports->setItem(number - 1, 0, name);
    }
    connect(m_ports, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (m_filling || item->column() != 1)
            return;
        const int number = item->row() + 1;
        const std::string path = item->text().trimmed().toStdString();
        if (path.empty())
            m_edit.Ports.erase(number);
        else
            m_edit.Ports[number] = path;
        // A path that does not exist is shown as such, and kept: the adapter may be unplugged.
        item->setToolTip(path.empty() || QFileInfo::exists(item->text()) ? QString() : "This device does not exist now.");
        item->setForeground(path.empty() || QFileInfo::exists(item->text()) ? QBrush() : QBrush(Qt::red));
        MarkModified();
        showMappedDevice();
    });
    m_fillers.push_back([this] {
        for (int number = 1; number <= PortMap::kLastPort; ++number) {
            const auto mapped = m_edit.Ports.find(number);
            m_ports->setItem(number - 1, 1, new QTableWidgetItem(mapped == m_edit.Ports.end() ? QString() : q(mapped->second)));
        }
    });

    // USB-HID devices: a port name can stand for one (its device file above), and the search
    // tries those with a known USB id.
    caption("USB-HID devices present (map one to a port above, or let the search find it):", tab, 8, 184);
    m_hidDevices = new QTableWidget(0, 4, tab);
    m_hidDevices->setObjectName("HidDevices");
    m_hidDevices->setHorizontalHeaderLabels({"Device", "USB id", "Name", "Searched"});
    m_hidDevices->verticalHeader()->hide();
    m_hidDevices->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_hidDevices->setGeometry(8, 202, 470, 80);
    m_hidDevices->setColumnWidth(0, 110);
    m_hidDevices->setColumnWidth(1, 80);
    m_hidDevices->setColumnWidth(2, 190);
    m_hidDevices->horizontalHeader()->setStretchLastSection(true);
    auto* refresh = new QPushButton("Refresh", tab);
    refresh->setObjectName("HidRefresh");
    refresh->setGeometry(486, 202, 74, 25);
    connect(refresh, &QPushButton::clicked, this, [this] {
        if (m_actions.ListHidDevices)
            m_actions.ListHidDevices();
    });
    caption("Further USB ids the search tries, besides " + q(UsbIdText(kInverterUsbId)) + ":", tab, 8, 292);
    auto* ids = text("HidIds", tab, [](TDati& d) -> std::string& { return d.HidIds; });
    ids->setPlaceholderText("e.g. 1234:abcd, 5678:ef01");
    ids->setGeometry(300, 288, 260, 22);
    // After the working copy took the edit (connected before), and after every fill.
    connect(ids, &QLineEdit::textEdited, this, [this] { showSearchedHidDevices(); });
    m_fillers.push_back([this] { showSearchedHidDevices(); });
    return tab;
}

QWidget* TSetting::buildMqttTab()
{
    const auto mqttText = [](std::string MqttSettings::*field) {
        return [field](TDati& d) -> std::string& { return d.Mqtt.*field; };
    };
    const auto mqttFlag = [](bool MqttSettings::*field) {
        return [field](TDati& d) -> bool& { return d.Mqtt.*field; };
    };
    const auto row = [](QFormLayout* form, const char* name, const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption);
        label->setObjectName(name);
        label->setBuddy(field);
        form->addRow(label, field);
        return label;
    };
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    auto* enabled = box("MqttEnabled", "Publish to an MQTT broker", tab, mqttFlag(&MqttSettings::Enabled));
    connect(enabled, &QCheckBox::clicked, this, &TSetting::applyMqttRules);
    layout->addWidget(enabled);
    auto* columns = new QHBoxLayout;
    layout->addLayout(columns);

    auto* broker = new QGroupBox("Broker", tab);
    broker->setObjectName("MqttBroker");
    auto* brokerForm = new QFormLayout(broker);
    row(brokerForm, "MqttHostLabel", "Host", text("MqttHost", broker, mqttText(&MqttSettings::Host)));
    auto* port = numericField("MqttPort", broker,
                              {.show = [](const TDati& d) { return std::to_string(d.Mqtt.Port); },
                               .store = [](TDati& d, int value) { d.Mqtt.Port = value; },
                               .minimum = 1,
                               .whenEmpty = MqttSettings{}.Port});
    setWholePlaceholder(port, QString::number(MqttSettings{}.Port));
    row(brokerForm, "MqttPortLabel", "Port", port);
    auto* username = text("MqttUsername", broker, mqttText(&MqttSettings::Username));
    setWholePlaceholder(username, "empty: no login");
    row(brokerForm, "MqttUsernameLabel", "Username", username);
    auto* password = text("MqttPassword", broker, mqttText(&MqttSettings::Password));
    password->setEchoMode(QLineEdit::Password);
    row(brokerForm, "MqttPasswordLabel", "Password", password);
    auto* tls = box("MqttTls", "TLS", broker, mqttFlag(&MqttSettings::Tls));
    connect(tls, &QCheckBox::clicked, this, &TSetting::applyMqttRules);
    brokerForm->addRow(tls);
    auto* caFile = text("MqttCaFile", broker, mqttText(&MqttSettings::CaFile));
    setWholePlaceholder(caFile, "empty: the system's CAs");
    m_mqttTlsWidgets = {row(brokerForm, "MqttCaFileLabel", "CA file", caFile), caFile};
    columns->addWidget(broker);

    auto* topics = new QGroupBox("Topics", tab);
    topics->setObjectName("MqttTopics");
    auto* topicsForm = new QFormLayout(topics);
    auto* clientId = text("MqttClientId", topics, mqttText(&MqttSettings::ClientId));
    setWholePlaceholder(clientId, "quorvane-<serial number>");
    row(topicsForm, "MqttClientIdLabel", "Client id", clientId);
    auto* prefix = text("MqttTopicPrefix", topics, mqttText(&MqttSettings::TopicPrefix));
    setWholePlaceholder(prefix, "quorvane/<serial number>");
    row(topicsForm, "MqttTopicPrefixLabel", "Topic prefix", prefix);
    topicsForm->addRow(box("MqttRetain", "Retain the state", topics, mqttFlag(&MqttSettings::Retain)));
    auto* discovery = box("MqttDiscovery", "Home Assistant discovery", topics, mqttFlag(&MqttSettings::Discovery));
    connect(discovery, &QCheckBox::clicked, this, &TSetting::applyMqttRules);
    topicsForm->addRow(discovery);
    auto* discoveryPrefix = text("MqttDiscoveryPrefix", topics, mqttText(&MqttSettings::DiscoveryPrefix));
    m_mqttDiscoveryWidgets = {row(topicsForm, "MqttDiscoveryPrefixLabel", "Discovery prefix", discoveryPrefix),
                              discoveryPrefix};
    columns->addWidget(topics);

    auto* commands = box("MqttAllowCommands", "Allow commands from the broker (output priority)", tab,
                         mqttFlag(&MqttSettings::AllowCommands));
    layout->addWidget(commands);
    layout->addStretch();
    m_mqttBroker = broker;
    m_mqttTopics = topics;
    m_mqttCommands = commands;
    m_fillers.push_back([this] { applyMqttRules(); });
    return tab;
}

void TSetting::applyMqttRules()
{
    // A disabled group disables its fields; the TLS and discovery fields follow their own box
    // as well.
    const MqttSettings& mqtt = m_edit.Mqtt;
    for (QWidget* widget : {m_mqttBroker, m_mqttTopics, m_mqttCommands})
        widget->setEnabled(mqtt.Enabled);
    for (QWidget* widget : m_mqttTlsWidgets)
        widget->setEnabled(mqtt.Tls);
    for (QWidget* widget : m_mqttDiscoveryWidgets)
        widget->setEnabled(mqtt.Discovery);
}

QWidget* TSetting::buildInverterTab()
{
    m_inverter = new InverterTab([this](ChargerSetting setting, double value) {
        if (m_actions.ChangeChargerSetting)
            m_actions.ChangeChargerSetting(setting, value);
    });
    // What is mailed of the warnings and faults is a setting like any other: OK and Apply.
    auto* mail = new QGroupBox("Warnings and faults the inverter reports", m_inverter);
    mail->setObjectName("InverterMail");
    auto* boxes = new QHBoxLayout(mail);
    const auto inverterFlag = [](bool InverterSettings::*field) {
        return [field](TDati& d) -> bool& { return d.Inverter.*field; };
    };
    boxes->addWidget(box("InverterMailFaults", "Mail faults", mail, inverterFlag(&InverterSettings::MailFaults)));
    boxes->addWidget(box("InverterMailWarnings", "Mail warnings", mail, inverterFlag(&InverterSettings::MailWarnings)));
    boxes->addStretch();
    m_inverter->AddBelow(mail);
    return m_inverter;
}

void TSetting::ShowInverterState(const CoreState& state)
{
    if (m_inverter->ShowState(state))
        fitTexts(); // the values and the steps offered take their room
}

void TSetting::ShowHidDevices(std::vector<HidrawDevice> devices)
{
    m_hidShown = std::move(devices);
    m_hidDevices->setRowCount(static_cast<int>(m_hidShown.size()));
    for (size_t row = 0; row < m_hidShown.size(); ++row) {
        const HidrawDevice& device = m_hidShown[row];
        const int r = static_cast<int>(row);
        m_hidDevices->setItem(r, 0, new QTableWidgetItem(q(device.DevicePath)));
        m_hidDevices->setItem(r, 1, new QTableWidgetItem(q(UsbIdText(device.Id))));
        m_hidDevices->setItem(r, 2, new QTableWidgetItem(q(device.Product)));
    }
    showSearchedHidDevices();
}

void TSetting::showSearchedHidDevices()
{
    const std::vector<UsbId> searched = SearchedUsbIds(m_edit.HidIds);
    for (size_t row = 0; row < m_hidShown.size(); ++row) {
        const bool tried = std::find(searched.begin(), searched.end(), m_hidShown[row].Id) != searched.end();
        m_hidDevices->setItem(static_cast<int>(row), 3, new QTableWidgetItem(tried ? "yes" : ""));
    }
}

void TSetting::showMappedDevice()
{
    const std::string device = PortMap(m_edit.Ports).DevicePath(m_edit.ComPort);
    m_comDevice->setText(q(device));
    GrowWidthInParent(*m_comDevice, TextWidth(*m_comDevice));
    fitTexts();
}

void TSetting::FillDialog(const TDati& live)
{
    m_filling = true;
    m_edit = live;
    for (const auto& fill : m_fillers)
        fill();
    m_filling = false;
}

void TSetting::TakeSettingsChange(const SettingsChange& change)
{
    // The core already applied these: they do not make the dialog modified.
    m_filling = true;
    change.ApplyTo(m_edit);
    if (change.ReqByWeb)
        m_reqByWeb->setChecked(*change.ReqByWeb);
    if (change.AutoReConnect)
        m_autoReconnect->setChecked(*change.AutoReConnect);
    for (size_t t = 0; t < m_timerEnabled.size(); ++t) {
        if (change.TimerEnabled[t]) {
            m_timerEnabled[t]->setChecked(*change.TimerEnabled[t]);
            setTimerEnabled(t, *change.TimerEnabled[t]);
        }
        if (change.TimeOn[t])
            m_timeOn[t]->setTime(change.TimeOn[t]->time());
        if (change.TimeOff[t])
            m_timeOff[t]->setTime(change.TimeOff[t]->time());
    }
    m_filling = false;
}

void TSetting::FormShow(const TDati& live)
{
    FillDialog(live);
    m_autoConnect->setChecked(m_edit.AutoConnect);
    m_autoReconnect->setChecked(m_edit.AutoReConnect);
    m_apply->setEnabled(false);
}

void TSetting::Button1Click()
{
    if (Modified())
        m_actions.Apply(m_edit);
    m_apply->setEnabled(false);
    hide();
}

void TSetting::Button4Click()
{
    m_actions.Apply(m_edit);
    m_apply->setEnabled(false);
}

void TSetting::Button2Click()
{
    hide();
}

void TSetting::btnSendMailClick()
{
    if (Modified()) {
        const auto answer = QMessageBox::warning(this, "Quorvane", "Apply data before?", QMessageBox::Ok | QMessageBox::Cancel);
        if (answer == QMessageBox::Ok)
            Button4Click();
    }
    m_sendMail->setEnabled(false);
    m_label46->setText("Try sending test message...");
    m_label46->repaint();
    m_actions.SendTestMail();
}

void TSetting::SetMailProgress(const std::string& label46, bool buttonEnabled)
{
    if (!label46.empty()) {
        m_label46->setText(q(label46));
        GrowWidthInParent(*m_label46, TextWidth(*m_label46));
        fitTexts();
    }
    m_sendMail->setEnabled(buttonEnabled);
}

} // namespace quorvane
