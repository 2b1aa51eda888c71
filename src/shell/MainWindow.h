#pragma once

#include "app/CoreApp.h"
#include "shell/MainWindowArrangement.h"
#include "shell/MemoModel.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QMainWindow>
#include <QPushButton>
#include <QSystemTrayIcon>

#include <array>
#include <memory>

namespace quorvane {

class LogListWindow;
class TSetting;
class WarningStrip;
class UserNotifier;
class TAboutBox;

// The main window: shows what the core publishes and forwards every user action to the core
// as a queued call; it never waits for the core.
// Thread ownership: the GUI thread.
class TForm1 final : public QMainWindow {
    Q_OBJECT
public:
    TForm1(CoreCommands& commands, UserNotifier& person, QWidget* parent = nullptr);
    ~TForm1() override;

    // Binds the window to what the core publishes once it is built on its thread; then the
    // core begins.
    void Attach(CoreApp* core);
    // Ends the program without asking (session end, SIGTERM, SIGINT): the close sequence from
    // its step 3.
    void CloseWithoutAsking();
    // What the core published of the inverter and the link, as values (stateUpdated): the
    // warning strip and the settings dialog's "Inverter" tab show it.
    void ShowState(const CoreState& state);
    [[nodiscard]] const MemoModel& Memo() const { return m_memo; }
    [[nodiscard]] const QString& TrayTip() const { return m_trayTip; }
    [[nodiscard]] bool TrayAvailable() const;
    [[nodiscard]] TSetting& Settings() { return *m_settings; }
    // "Options" > "Settings": shows the dialog (filled from the applied settings) or hides it.
    void Settings1Click();

    // Handlers named after their components.
    void Close1Click();
    void Close2Click();
    void Restore1Click();

signals:
    void closedForGood();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildWindow();
    // Places the widgets for the texts they show and sizes the window around them.
    void fitTexts();
    void buildMenus();
    void buildTray();
    void apply(const CoreSnapshot& snapshot);
    [[nodiscard]] LogListWindow* listWindow(LogListKind list) const;
    void runCloseSequence();
    void refillSettings(bool showDialog);
    // The core lists the raw HID devices; the settings dialog shows them when they come.
    void listHidDevices();

    CoreCommands& m_commands;
    CoreSnapshot m_state;
    MemoModel m_memo;
    bool m_reallyClose = false;
    bool m_closing = false;
    bool m_attached = false;
    QString m_trayTip;

    QPushButton* m_connect = nullptr;
    QLabel* m_label1 = nullptr;
    QCheckBox* m_test = nullptr;
    std::array<QPushButton*, 4> m_commandButtons{}; // Button5..Button8
    // Clicked, and no snapshot yet shows the core has taken the click: snapshots made before
    // it did still show the button enabled and must not enable it again.
    std::array<bool, 4> m_clickNotYetTaken{};
    QLabel* m_panel3 = nullptr;
    QListView* m_memoView = nullptr;
    std::array<QLabel*, 15> m_basicPanels{};
    std::array<QLabel*, 15> m_basicCaptions{};
    std::array<ValueRow, 3> m_secondPvRows{}; // shown for a unit with a second PV input
    WarningStrip* m_warnings = nullptr;
    std::array<QLabel*, 6> m_computedPanels{};
    std::array<QLabel*, 6> m_computedCaptions{};
    std::array<QLabel*, 6> m_computedUnits{};
    std::array<QLabel*, 4> m_flowPanels{}; // Panel22, Panel23, Panel24, Panel4
    QLabel* m_label51 = nullptr;
    QGroupBox* m_computedGroup = nullptr;
    QCheckBox* m_reqByWeb = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    LogListWindow* m_variablesList = nullptr;
    LogListWindow* m_computedList = nullptr;
    LogListWindow* m_energyList = nullptr;
    TAboutBox* m_about = nullptr;
    TSetting* m_settings = nullptr;
    std::unique_ptr<MainWindowArrangement> m_arrangement;
};

// The program's icon, drawn once: a sun over a panel.
[[nodiscard]] QIcon ApplicationIcon();

} // namespace quorvane
