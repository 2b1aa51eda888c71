#include "shell/InverterTab.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

namespace quorvane {

// A voltage on the unit's 0.1 V grid within the range the unit allows; for the re-discharge
// voltage also "Battery full" (0), which lies just below the range: a step down from the
// range's bottom reaches it, a step up from it reaches the bottom.
class VoltageSpinBox final : public QDoubleSpinBox {
public:
    VoltageSpinBox(bool batteryFull, QWidget* parent) : QDoubleSpinBox(parent), m_batteryFull(batteryFull)
    {
        setDecimals(1);
        setSingleStep(kStep);
        setSuffix(" V");
        if (batteryFull)
            setSpecialValueText(QString::fromStdString(SettingValueText(ChargerSetting::RedischargeVoltage, 0.0)));
    }
    void setAllowed(const VoltageRange& range)
    {
        m_low = range.LowV;
        setRange(m_batteryFull ? 0.0 : range.LowV, range.HighV);
    }
    void stepBy(int steps) override
    {
        if (m_batteryFull) {
            const double below = m_low - kStep / 2;
            if (value() < below && steps > 0) {
                setValue(m_low + (steps - 1) * kStep);
                return;
            }
            if (value() + steps * kStep < below) {
                setValue(0.0);
                return;
            }
        }
        QDoubleSpinBox::stepBy(steps);
    }

private:
    static constexpr double kStep = 0.1;
    bool m_batteryFull;
    double m_low = 0.0;
};

namespace {

// The settings' names in the tab's object names: "InverterBulkVoltage", "InverterSetBulkVoltage".
constexpr std::array<const char*, kChargerSettings.size()> kObjectNames = {
    "ChargerPriority", "MaxChargingCurrent", "MaxUtilityChargingCurrent", "RechargeVoltage", "RedischargeVoltage",
    "CutOffVoltage",   "BulkVoltage",        "FloatVoltage",              "BatteryType",
};

QString nameOf(const char* prefix, ChargerSetting setting, const char* suffix = "")
{
    return QString(prefix) + kObjectNames.at(static_cast<size_t>(setting)) + suffix;
}

QString q(const std::string& text)
{
    return QString::fromStdString(text);
}

const QString kStepsUnknown = "The inverter does not list the charging currents it allows.";
const QString kRangeUnknown = "The allowed voltages are known for 12, 24 and 48 V batteries only.";

} // namespace

InverterTab::InverterTab(ChangeSetting change, QWidget* parent) : QWidget(parent), m_change(std::move(change))
{
    setObjectName("InverterTab");
    m_layout = new QVBoxLayout(this);
    m_connectNote = new QLabel("Connect to the inverter to read its settings.", this);
    m_connectNote->setObjectName("InverterConnectNote");
    m_layout->addWidget(m_connectNote);
    m_grid = new QGridLayout;
    m_layout->addLayout(m_grid);
    int column = 0;
    for (const char* heading : {"Setting", "In force", "New value"}) {
        auto* label = new QLabel(heading, this);
        label->setStyleSheet("font-weight: bold;");
        m_grid->addWidget(label, 0, column++);
    }
    for (size_t i = 0; i < kChargerSettings.size(); ++i)
        addRow(kChargerSettings[i], static_cast<int>(i) + 1);
    m_grid->setColumnStretch(4, 1); // the columns keep together on a wide page
    m_layout->addStretch();
}

void InverterTab::addRow(ChargerSetting setting, int line)
{
    Row& row = m_rows.at(static_cast<size_t>(line - 1));
    row.setting = setting;
    auto* name = new QLabel(q(std::string(SettingName(setting))), this);
    name->setObjectName(nameOf("Inverter", setting, "Name"));
    row.inForce = new QLabel(this);
    row.inForce->setObjectName(nameOf("Inverter", setting, "InForce"));
    QWidget* editor = nullptr;
    if (KindOf(setting) == SettingKind::Voltage) {
        row.volts = new VoltageSpinBox(setting == ChargerSetting::RedischargeVoltage, this);
        editor = row.volts;
    } else {
        row.list = new QComboBox(this);
        row.list->setSizeAdjustPolicy(QComboBox::AdjustToContents); // the steps come later
        for (int code = 0; code < ChoiceCount(setting); ++code)
            row.list->addItem(q(SettingValueText(setting, code)), code);
        connect(row.list, &QComboBox::currentIndexChanged, this, [this, &row] { enable(row); });
        editor = row.list;
    }
    editor->setObjectName(nameOf("Inverter", setting));
    row.set = new QPushButton("Set", this);
    row.set->setObjectName(nameOf("InverterSet", setting));
    row.set->setAutoDefault(false);
    connect(row.set, &QPushButton::clicked, this, [this, &row] {
        if (const std::optional<double> value = chosen(row))
            m_change(row.setting, *value);
    });
    m_grid->addWidget(name, line, 0);
    m_grid->addWidget(row.inForce, line, 1);
    m_grid->addWidget(editor, line, 2);
    m_grid->addWidget(row.set, line, 3);
    fill(row, {});
    enable(row);
}

void InverterTab::AddBelow(QWidget* widget)
{
    m_layout->insertWidget(m_layout->count() - 1, widget); // above the stretch
}

bool InverterTab::ShowState(const CoreState& state)
{
    const bool ready = state.Rated.has_value() && state.Phase == LinkPhase::Connected;
    bool changed = ready != m_ready;
    m_ready = ready;
    m_connectNote->setVisible(!ready);
    for (Row& row : m_rows) {
        Shown shown;
        shown.rated = state.Rated.has_value();
        if (state.Rated)
            shown.inForce = SettingValue(row.setting, *state.Rated);
        if (KindOf(row.setting) == SettingKind::Current && state.ChargingSteps)
            shown.steps = row.setting == ChargerSetting::MaxChargingCurrent ? state.ChargingSteps->Charging
                                                                            : state.ChargingSteps->Utility;
        if (KindOf(row.setting) == SettingKind::Voltage && state.Rated)
            shown.voltages = AllowedVoltages(row.setting, state.Rated->BatteryRatingV);
        if (row.shown != shown) {
            fill(row, shown);
            changed = true;
        }
        enable(row);
    }
    return changed;
}

void InverterTab::fill(Row& row, const Shown& shown)
{
    row.shown = shown;
    row.inForce->setText(shown.inForce ? q(SettingValueText(row.setting, *shown.inForce)) : "unknown");
    if (row.volts != nullptr) {
        if (shown.voltages)
            row.volts->setAllowed(*shown.voltages);
        if (shown.inForce)
            row.volts->setValue(*shown.inForce);
        row.volts->setToolTip(shown.rated && !shown.voltages ? kRangeUnknown : QString());
        return;
    }
    if (KindOf(row.setting) == SettingKind::Current) {
        row.list->clear();
        for (const int amperes : shown.steps.value_or(std::vector<int>{}))
            row.list->addItem(q(SettingValueText(row.setting, amperes)), amperes);
        row.list->setToolTip(shown.steps && shown.steps->empty() ? kStepsUnknown : QString());
    }
    // The value in force is chosen; one the list does not offer leaves nothing chosen.
    row.list->setCurrentIndex(shown.inForce ? row.list->findData(static_cast<int>(std::lround(*shown.inForce))) : -1);
}

void InverterTab::enable(Row& row)
{
    const bool offered = row.volts != nullptr ? row.shown && row.shown->voltages : row.list->count() > 0;
    QWidget* editor = row.volts != nullptr ? static_cast<QWidget*>(row.volts) : row.list;
    editor->setEnabled(m_ready && offered);
    row.set->setEnabled(m_ready && offered && chosen(row).has_value());
}

std::optional<double> InverterTab::chosen(const Row& row)
{
    if (row.volts != nullptr)
        return row.volts->value();
    if (row.list->currentIndex() < 0)
        return std::nullopt;
    return row.list->currentData().toDouble();
}

} // namespace quorvane
