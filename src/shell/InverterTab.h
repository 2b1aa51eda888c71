#pragma once

#include "face/CoreState.h"
#include "inverter/ChargerSettings.h"
#include "inverter/SettingCheck.h"

#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace quorvane {

class VoltageSpinBox;

// The settings dialog's "Inverter" tab: each charger and battery setting the inverter has in
// force, an editor offering the values the unit allows, and "Set", which hands the setting and
// the chosen value on. The core judges the value, asks the person and sends it; the tab
// neither asks nor judges. It is filled from what the core publishes, never from the core
// itself, and its editors work only while the inverter is connected and its settings known.
// Thread ownership: the GUI thread.
class InverterTab final : public QWidget {
    Q_OBJECT
public:
    using ChangeSetting = std::function<void(ChargerSetting setting, double value)>;

    explicit InverterTab(ChangeSetting change, QWidget* parent = nullptr);

    // Shows the settings in force and the values offered as the core published them; an
    // editor keeps what the person chose until the value in force or the offer changes.
    // False when nothing the tab shows changed.
    bool ShowState(const CoreState& state);
    // Puts `widget` under the settings.
    void AddBelow(QWidget* widget);

private:
    // What a row shows; compared with what a new state would show, so a state that changes
    // none of it leaves the editor as the person left it.
    struct Shown {
        bool rated = false; // the unit's settings are known
        std::optional<double> inForce;
        std::optional<std::vector<int>> steps; // a current's, once the unit was asked
        std::optional<VoltageRange> voltages;  // a voltage's
        bool operator==(const Shown&) const = default;
    };
    struct Row {
        ChargerSetting setting = ChargerSetting::ChargerPriority;
        QLabel* inForce = nullptr;
        QComboBox* list = nullptr;        // a choice or a current
        VoltageSpinBox* volts = nullptr;  // a voltage
        QPushButton* set = nullptr;
        std::optional<Shown> shown;
    };

    // The setting's row on `line` of the grid.
    void addRow(ChargerSetting setting, int line);
    void fill(Row& row, const Shown& shown);
    // Editors and "Set" usable when the link allows and the editor has something to offer.
    void enable(Row& row);
    [[nodiscard]] static std::optional<double> chosen(const Row& row);

    ChangeSetting m_change;
    QVBoxLayout* m_layout = nullptr;
    QGridLayout* m_grid = nullptr; // a row a setting, under the headings
    QLabel* m_connectNote = nullptr;
    std::array<Row, kChargerSettings.size()> m_rows;
    bool m_ready = false; // connected, and the settings are known
};

} // namespace quorvane
