// The settings dialog's "Inverter" tab, in a window over a command face that keeps what it is
// asked and fed with published states by hand: what the tab shows of the settings in force,
// what it offers, when it can be used, what "Set" hands on, and the two mail boxes through
// Apply. The same tab over the simulator and the real core is in MainWindowTest.
#include "FakeUserNotifier.h"
#include "NullCoreCommands.h"
#include "shell/MainWindow.h"
#include "shell/SettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace quorvane;

namespace {

struct Change {
    ChargerSetting setting;
    double value;
};

class KeepingCommands final : public testsupport::NullCoreCommands {
public:
    void ChangeChargerSetting(ChargerSetting setting, double value) override { changes.push_back({setting, value}); }
    void ApplySettings(const TDati& edited) override { applied.push_back(edited); }

    std::vector<Change> changes;
    std::vector<TDati> applied;
};

// A 48 V unit charging from solar first into an AGM battery, back to the battery when it is full.
RatedInfo fortyEightVoltUnit()
{
    RatedInfo rated;
    rated.BatteryRatingV = 48.0;
    rated.RechargeV = 46.0;
    rated.CutOffV = 42.0;
    rated.BulkV = 56.4;
    rated.FloatV = 54.0;
    rated.Battery = BatteryType::Agm;
    rated.MaxUtilityChargingA = 30;
    rated.MaxChargingA = 60;
    rated.ChargerSource = ChargerPriority::SolarFirst;
    rated.RedischargeV = 0.0;
    return rated;
}

CoreState connectedTo(const RatedInfo& rated, const CurrentSteps& steps = {{10, 30, 60, 80}, {2, 10, 20, 30}})
{
    CoreState state;
    state.Phase = LinkPhase::Connected;
    state.Rated = rated;
    state.ChargingSteps = steps;
    return state;
}

// Every setting's name in the tab's object names, in the order of kChargerSettings.
const char* const kNames[] = {"ChargerPriority", "MaxChargingCurrent", "MaxUtilityChargingCurrent",
                              "RechargeVoltage", "RedischargeVoltage", "CutOffVoltage",
                              "BulkVoltage",     "FloatVoltage",       "BatteryType"};

class InverterTabTest : public ::testing::Test {
protected:
    template <typename Widget = QWidget>
    Widget* control(const QString& name)
    {
        auto* widget = window.Settings().findChild<Widget*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QWidget* editor(const char* name) { return control("Inverter" + QString(name)); }
    QPushButton* set(const char* name) { return control<QPushButton>("InverterSet" + QString(name)); }
    QString inForce(const char* name) { return control<QLabel>("Inverter" + QString(name) + "InForce")->text(); }
    // What an editor shows: a list's choice or a voltage's text.
    QString shown(const char* name)
    {
        if (auto* list = qobject_cast<QComboBox*>(editor(name)))
            return list->currentText();
        return qobject_cast<QDoubleSpinBox*>(editor(name))->text();
    }

    KeepingCommands commands;
    fakes::FakeUserNotifier person;
    TForm1 window{commands, person};
};

} // namespace

TEST_F(InverterTabTest, ListsTheNineSettingsAfterMqtt)
{
    auto* tabs = control<QTabWidget>("PageControl1");
    const int inverter = tabs->indexOf(control("InverterTab"));
    ASSERT_GT(inverter, 0);
    EXPECT_EQ(tabs->tabText(inverter), "Inverter");
    EXPECT_EQ(tabs->tabText(inverter - 1), "MQTT");
    for (size_t i = 0; i < kChargerSettings.size(); ++i)
        EXPECT_EQ(control<QLabel>("Inverter" + QString(kNames[i]) + "Name")->text().toStdString(),
                  SettingName(kChargerSettings[i]));
}

TEST_F(InverterTabTest, ShowsTheSettingsInForceAndOffersWhatTheUnitAllows)
{
    const struct {
        const char* name;
        const char* inForce;
        const char* chosen;
        QStringList offered; // a list's entries; none for a voltage
        double low = 0.0, high = 0.0; // a voltage's range
    } cases[] = {
        {"ChargerPriority", "Solar first", "Solar first", {"Utility first", "Solar first", "Solar and utility", "Only solar"}},
        {"MaxChargingCurrent", "60 A", "60 A", {"10 A", "30 A", "60 A", "80 A"}},
        {"MaxUtilityChargingCurrent", "30 A", "30 A", {"2 A", "10 A", "20 A", "30 A"}},
        {"RechargeVoltage", "46.0 V", "46.0 V", {}, 44.0, 51.0},
        // "Battery full" is the value just below the range.
        {"RedischargeVoltage", "Battery full", "Battery full", {}, 0.0, 58.0},
        {"CutOffVoltage", "42.0 V", "42.0 V", {}, 40.0, 48.0},
        {"BulkVoltage", "56.4 V", "56.4 V", {}, 48.0, 58.4},
        {"FloatVoltage", "54.0 V", "54.0 V", {}, 48.0, 58.4},
        {"BatteryType", "AGM", "AGM", {"AGM", "Flooded", "User"}},
    };
    window.ShowState(connectedTo(fortyEightVoltUnit()));
    EXPECT_TRUE(control("InverterConnectNote")->isHidden());
    for (const auto& c : cases) {
        EXPECT_EQ(inForce(c.name), c.inForce) << c.name;
        EXPECT_EQ(shown(c.name), c.chosen) << c.name;
        if (auto* list = qobject_cast<QComboBox*>(editor(c.name))) {
            QStringList entries;
            for (int i = 0; i < list->count(); ++i)
                entries << list->itemText(i);
            EXPECT_EQ(entries, c.offered) << c.name;
        } else {
            auto* volts = qobject_cast<QDoubleSpinBox*>(editor(c.name));
            ASSERT_NE(volts, nullptr) << c.name;
            EXPECT_DOUBLE_EQ(volts->minimum(), c.low) << c.name;
            EXPECT_DOUBLE_EQ(volts->maximum(), c.high) << c.name;
            EXPECT_DOUBLE_EQ(volts->singleStep(), 0.1) << c.name;
        }
        EXPECT_TRUE(editor(c.name)->isEnabled()) << c.name;
        EXPECT_TRUE(set(c.name)->isEnabled()) << c.name;
    }
}

TEST_F(InverterTabTest, EditorsWaitForAConnectedInverterWhoseSettingsAreKnown)
{
    const struct {
        const char* name;
        LinkPhase phase;
        bool rated;
        bool usable;
    } cases[] = {
        {"never connected", LinkPhase::Disconnected, false, false},
        {"connected, settings not read yet", LinkPhase::Connected, false, false},
        {"connected and read", LinkPhase::Connected, true, true},
        {"disconnected after reading", LinkPhase::Disconnected, true, false},
        {"connecting again", LinkPhase::Connecting, true, false},
        {"connected again", LinkPhase::Connected, true, true},
        {"test mode", LinkPhase::TestMode, false, false},
    };
    for (const auto& c : cases) {
        CoreState state = connectedTo(fortyEightVoltUnit());
        state.Phase = c.phase;
        if (!c.rated)
            state.Rated.reset();
        window.ShowState(state);
        EXPECT_EQ(control("InverterConnectNote")->isHidden(), c.usable) << c.name;
        EXPECT_EQ(control<QLabel>("InverterConnectNote")->text(), "Connect to the inverter to read its settings.");
        for (const char* name : kNames) {
            EXPECT_EQ(editor(name)->isEnabled(), c.usable) << c.name << ": " << name;
            EXPECT_EQ(set(name)->isEnabled(), c.usable) << c.name << ": " << name;
            EXPECT_EQ(inForce(name) == "unknown", !c.rated) << c.name << ": " << name;
        }
    }
}

TEST_F(InverterTabTest, WhatTheUnitDoesNotSayCannotBeChosen)
{
    const struct {
        const char* name;
        std::function<void(CoreState&)> unit;
        const char* editor;
        const char* inForce;
        bool usable;
        QString tip; // part of the editor's tooltip
    } cases[] = {
        {"the charging currents listed", [](CoreState&) {}, "MaxChargingCurrent", "60 A", true, ""},
        {"no charging currents listed", [](CoreState& s) { s.ChargingSteps->Charging.clear(); }, "MaxChargingCurrent",
         "60 A", false, "does not list the charging currents"},
        {"no utility charging currents listed", [](CoreState& s) { s.ChargingSteps->Utility.clear(); },
         "MaxUtilityChargingCurrent", "30 A", false, "does not list the charging currents"},
        // A current in force the list does not have: nothing is chosen, nothing can be set yet.
        {"a current off the list", [](CoreState& s) { s.Rated->MaxChargingA = 50; }, "MaxChargingCurrent", "50 A", false,
         ""},
        {"a battery of no known rating", [](CoreState& s) { s.Rated->BatteryRatingV = 36.0; }, "BulkVoltage", "56.4 V",
         false, "12, 24 and 48 V"},
        {"a battery type of the unit's own", [](CoreState& s) { s.Rated->Battery = static_cast<BatteryType>(5); },
         "BatteryType", "Type 5", false, ""},
    };
    for (const auto& c : cases) {
        CoreState state = connectedTo(fortyEightVoltUnit());
        c.unit(state);
        window.ShowState(state);
        EXPECT_EQ(inForce(c.editor), c.inForce) << c.name;
        EXPECT_EQ(set(c.editor)->isEnabled(), c.usable) << c.name;
        const QString tip = editor(c.editor)->toolTip();
        EXPECT_TRUE(c.tip.isEmpty() ? tip.isEmpty() : tip.contains(c.tip)) << c.name << ": " << tip.toStdString();
        EXPECT_TRUE(set("ChargerPriority")->isEnabled()) << c.name << ": the other settings stay usable";
    }
}

TEST_F(InverterTabTest, SetHandsOnTheChosenValue)
{
    const auto pick = [](const QString& entry) {
        return [entry](QWidget* editor) {
            auto* list = qobject_cast<QComboBox*>(editor);
            list->setCurrentIndex(list->findText(entry));
        };
    };
    const auto type = [](const char* typed) {
        return [typed](QWidget* editor) {
            auto* volts = qobject_cast<QDoubleSpinBox*>(editor);
            volts->selectAll();
            QTest::keyClicks(volts, typed);
        };
    };
    const auto step = [](double from, int steps) {
        return [from, steps](QWidget* editor) {
            auto* volts = qobject_cast<QDoubleSpinBox*>(editor);
            volts->setValue(from);
            volts->stepBy(steps);
        };
    };
    const struct {
        const char* name;
        std::function<void(QWidget*)> choose;
        ChargerSetting setting;
        double value;
    } cases[] = {
        {"ChargerPriority", pick("Only solar"), ChargerSetting::ChargerPriority, 3},
        {"BatteryType", pick("Flooded"), ChargerSetting::BatteryType, 1},
        {"MaxChargingCurrent", pick("80 A"), ChargerSetting::MaxChargingCurrent, 80},
        {"MaxUtilityChargingCurrent", pick("2 A"), ChargerSetting::MaxUtilityChargingCurrent, 2},
        {"RechargeVoltage", type("47.5"), ChargerSetting::RechargeVoltage, 47.5},
        {"BulkVoltage", type("57.6"), ChargerSetting::BulkVoltage, 57.6},
        {"FloatVoltage", step(54.0, -3), ChargerSetting::FloatVoltage, 53.7},
        {"CutOffVoltage", step(42.0, 2), ChargerSetting::CutOffVoltage, 42.2},
        // Up from "Battery full" to the range's bottom, and down from there back to it.
        {"RedischargeVoltage", step(0.0, 1), ChargerSetting::RedischargeVoltage, 48.0},
        {"RedischargeVoltage", step(48.0, -1), ChargerSetting::RedischargeVoltage, 0.0},
        {"RedischargeVoltage", step(52.0, 2), ChargerSetting::RedischargeVoltage, 52.2},
    };
    const CoreState state = connectedTo(fortyEightVoltUnit());
    for (const auto& c : cases) {
        window.ShowState(CoreState{}); // every editor back to the value in force with the next state
        window.ShowState(state);
        commands.changes.clear();
        c.choose(editor(c.name));
        window.ShowState(state); // a reading that changes none of the settings keeps the choice
        set(c.name)->click();
        ASSERT_EQ(commands.changes.size(), 1U) << c.name;
        EXPECT_EQ(commands.changes[0].setting, c.setting) << c.name;
        EXPECT_NEAR(commands.changes[0].value, c.value, 1e-9) << c.name;
    }
}

TEST_F(InverterTabTest, AChangedValueInForceReplacesTheChoice)
{
    window.ShowState(connectedTo(fortyEightVoltUnit()));
    qobject_cast<QDoubleSpinBox*>(editor("BulkVoltage"))->setValue(57.0);
    qobject_cast<QComboBox*>(editor("ChargerPriority"))->setCurrentIndex(0);
    RatedInfo changed = fortyEightVoltUnit();
    changed.BulkV = 55.2; // set elsewhere: at the unit's panel, from the web
    window.ShowState(connectedTo(changed));
    EXPECT_EQ(inForce("BulkVoltage"), "55.2 V");
    EXPECT_EQ(shown("BulkVoltage"), "55.2 V");
    EXPECT_EQ(shown("ChargerPriority"), "Utility first"); // its value in force did not change
}

TEST_F(InverterTabTest, TheMailBoxesGoThroughApply)
{
    const struct {
        bool faults, warnings;
    } cases[] = {{true, false}, {false, true}};
    TSetting& dialog = window.Settings();
    for (const auto& c : cases) {
        TDati live{QDate(2026, 12, 10)};
        live.Inverter = {.MailFaults = c.faults, .MailWarnings = c.warnings};
        dialog.FormShow(live);
        auto* faults = control<QCheckBox>("InverterMailFaults");
        auto* warnings = control<QCheckBox>("InverterMailWarnings");
        EXPECT_EQ(faults->text(), "Mail faults");
        EXPECT_EQ(warnings->text(), "Mail warnings");
        EXPECT_EQ(faults->isChecked(), c.faults);
        EXPECT_EQ(warnings->isChecked(), c.warnings);
        EXPECT_FALSE(dialog.Modified());

        faults->click();
        warnings->click();
        EXPECT_TRUE(dialog.Modified());
        commands.applied.clear();
        dialog.Button4Click(); // Apply
        ASSERT_EQ(commands.applied.size(), 1U);
        EXPECT_EQ(commands.applied[0].Inverter, (InverterSettings{.MailFaults = !c.faults, .MailWarnings = !c.warnings}));
        TDati rest = commands.applied[0];
        rest.Inverter = live.Inverter;
        EXPECT_EQ(rest, live); // nothing else changed
    }
}
