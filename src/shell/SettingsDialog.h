#pragma once

#include "config/Settings.h"
#include "config/SettingsChange.h"
#include "face/CoreState.h"
#include "inverter/ChargerSettings.h"
#include "inverter/HidrawDirectory.h"

#include <QDialog>

#include <array>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTimeEdit;

namespace quorvane {

class InverterTab;
class UserNotifier;

// The settings dialog: a tool window where the user edits EditDati, this dialog's working copy
// of the settings. Every edit lands in it at once and enables "Apply"; OK and Apply hand it to
// the core, which applies and saves it. A few controls act on the running system at once.
// Thread ownership: the GUI thread; everything that touches the core goes through the
// callbacks, which post to the core thread.
class TSetting final : public QDialog {
    Q_OBJECT
public:
    struct Actions {
        std::function<void(const TDati&)> Apply;       // OK and Apply
        std::function<void(bool)> ShowAllErrors;       // "Display all errors on log "
        std::function<void(bool)> SetServerEnabled;    // "Disable HTTP" (the negation)
        std::function<void(bool)> SetReqByWebBox;      // the main window's box
        std::function<void()> SendTestMail;           // "Send Test Email"
        std::function<void()> ListHidDevices;         // "Refresh" on Ports: ShowHidDevices follows
        std::function<void(ChargerSetting, double)> ChangeChargerSetting; // "Set" on Inverter
    };

    TSetting(Actions actions, UserNotifier& person, QWidget* parent = nullptr);

    // Copies the applied settings into EditDati and every control from it.
    void FillDialog(const TDati& live);
    // What the dialog's showing does: FillDialog, the two connect boxes, "Apply" disabled.
    void FormShow(const TDati& live);
    // Settings the core changed itself while the dialog may be open: the working copy and
    // those fields' controls take them at once; drafts of other fields stay as they are.
    void TakeSettingsChange(const SettingsChange& change);
    // The test mail's progress as the core reports it.
    void SetMailProgress(const std::string& label46, bool buttonEnabled);
    // The raw HID devices present, as the core listed them, for the Ports tab.
    void ShowHidDevices(std::vector<HidrawDevice> devices);
    // The inverter's settings and the link's state, as the core published them, for the
    // Inverter tab.
    void ShowInverterState(const CoreState& state);

    [[nodiscard]] const TDati& EditDati() const { return m_edit; }
    [[nodiscard]] bool Modified() const;
    void MarkModified();

    void Button1Click(); // OK
    void Button4Click(); // Apply
    void Button2Click(); // Cancel

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Sizes the tabs around their bar and their pages, and the dialog around the tabs and the
    // buttons beside them; also after a text that changes while it runs.
    void fitTexts();
    QWidget* buildMainTab();
    QWidget* buildMailTab();
    QWidget* buildBasicTab();
    QWidget* buildComputedTab();
    QWidget* buildLogTab();
    QWidget* buildTimerTab();
    QWidget* buildBlackListTab();
    QWidget* buildPortsTab();
    QWidget* buildMqttTab();
    QWidget* buildInverterTab();
    // What a whole-number field edits: how it shows the setting, how an accepted entry is
    // stored, the smallest entry accepted and the value an empty field stands for.
    struct IntegerSetting {
        std::function<std::string(const TDati&)> show;
        std::function<void(TDati&, int)> store;
        int minimum = 0;
        int whenEmpty = 0;
    };
    QLineEdit* numericField(const char* name, QWidget* parent, std::string TDati::*setting);
    QLineEdit* numericField(const char* name, QWidget* parent, IntegerSetting setting);
    QCheckBox* box(const char* name, const QString& caption, QWidget* parent, bool TDati::*setting);
    QCheckBox* box(const char* name, const QString& caption, QWidget* parent, std::function<bool&(TDati&)> setting);
    QLineEdit* text(const char* name, QWidget* parent, std::function<std::string&(TDati&)> setting, int maxLength = 0);
    void applyMailRules();
    void applyMqttRules();
    void setTimerEnabled(size_t timer, bool enabled);
    void showMappedDevice();
    // Marks the listed HID devices the search would try with the ids being edited.
    void showSearchedHidDevices();
    void btnSendMailClick();

    Actions m_actions;
    UserNotifier& m_person;
    TDati m_edit;
    bool m_filling = false;
    std::vector<std::function<void()>> m_fillers; // each sets one control from m_edit

    QTabWidget* m_tabs = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QCheckBox* m_autoConnect = nullptr;
    QCheckBox* m_autoReconnect = nullptr;
    QCheckBox* m_reqByWeb = nullptr;
    QComboBox* m_comPort = nullptr;
    QLabel* m_comDevice = nullptr;
    QCheckBox* m_authRequired = nullptr;
    QCheckBox* m_proxyRequired = nullptr;
    QCheckBox* m_useInternal = nullptr;
    std::vector<QWidget*> m_authWidgets;
    std::vector<QWidget*> m_serverWidgets;
    std::vector<QWidget*> m_proxyWidgets;
    std::array<std::vector<QWidget*>, 4> m_timerWidgets;
    std::array<QCheckBox*, 4> m_timerEnabled{};
    std::array<QTimeEdit*, 4> m_timeOn{};
    std::array<QTimeEdit*, 4> m_timeOff{};
    QPushButton* m_sendMail = nullptr;
    QLabel* m_label46 = nullptr;
    QTableWidget* m_ports = nullptr;
    QTableWidget* m_hidDevices = nullptr;
    std::vector<HidrawDevice> m_hidShown;
    QWidget* m_mqttBroker = nullptr;  // every MQTT control but "Publish" sits in these three
    QWidget* m_mqttTopics = nullptr;
    QWidget* m_mqttCommands = nullptr;
    std::vector<QWidget*> m_mqttTlsWidgets;
    std::vector<QWidget*> m_mqttDiscoveryWidgets;
    InverterTab* m_inverter = nullptr;
};

} // namespace quorvane
