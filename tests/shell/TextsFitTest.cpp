// Every text the windows show is whole, as a user sees them: with the program's style sheet,
// over a core connected to the simulator, in the main window, on each tab of the settings
// dialog, in the log lists and on both tabs of the charts window. A text is cut when it is
// wider (or taller) than the room its widget gives it, when its widget reaches out of its
// parent, or when a sibling covers it.
//
// ctest runs this program once per scale, with QT_SCALE_FACTOR 1, 1.25 and 1.5 (see
// tests/CMakeLists.txt): Qt reads the factor once, when the application starts, so one process
// cannot try several.
#include "GatedPacer.h"
#include "TextCuts.h"
#include "WindowOverSimulator.h"
#include "shell/ChartsWindow.h"
#include "shell/LogListWindow.h"
#include "shell/MainWindow.h"
#include "shell/SettingsDialog.h"
#include "shell/Style.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace quorvane;
using fakes::CutTexts;
using fakes::PumpUntil;

namespace {

// The sets of texts the windows are tried with.
struct Texts {
    const char* name;
    const char* locale; // of the dates and times the core shows
    const char* settings; // more lines of the settings file
    int pointSize = 0; // of the application's font; 0: the platform's
};

const Texts kTexts[] = {
    {"TwoDigitYears", "C", ""}, // "Computed values ( [A] and [B] from 12/10/26 )"
    {"FourDigitYears", "en_US.UTF-8", ""}, // 12/10/2026, times with AM or PM
    // The longest captions the settings dialog lets a user type: 30 characters.
    {"LongCaptions", "de_DE.UTF-8",
     "[BasicInfo]\nPV Input Corrent=PV Input Current for Batteries\nInverter Heat Sink temperature=Inverter "
     "Heat Sink temperature\nDischarge Current=Battery Discharge Current (A)\n"
     "[ComputedInfo]\nAux1=Solar Energy since Midnight\nAux5=[A]Total Solar Energy to date\nUnitAux1=kWh (since 00:00)\n"},
    // A desktop's larger font: wider texts and taller lines.
    {"LargerFont", "en_US.UTF-8", "", 11},
};

// The test's name says which set it is.
void PrintTo(const Texts& texts, std::ostream* out)
{
    *out << texts.name;
}

class TextsFit : public ::testing::TestWithParam<Texts> {
protected:
    void SetUp() override
    {
        // Before the widgets are made: the windows are first fitted as they are built.
        ApplyAmethystKamri(*qApp);
        if (GetParam().pointSize > 0) {
            QFont font = QApplication::font();
            font.setPointSize(GetParam().pointSize);
            QApplication::setFont(font);
        }
        shell = std::make_unique<fakes::WindowOverSimulator>(GetParam().locale, GetParam().settings);
        window = shell->window.get();
        ASSERT_TRUE(shell->ShowAndStart());
    }
    void TearDown() override
    {
        shell.reset();
        qApp->setStyleSheet({});
        QApplication::setFont(m_platformFont);
    }
    QLabel* label(const char* name) const { return window->findChild<QLabel*>(name); }
    // Reports what is cut in `shown`, once its pending layout work is done.
    static void expectWhole(const QWidget* shown, const std::string& where)
    {
        QCoreApplication::sendPostedEvents();
        for (const std::string& text : CutTexts(*shown))
            ADD_FAILURE() << where << " at scale " << shown->devicePixelRatioF() << ": " << text;
    }

    std::unique_ptr<fakes::WindowOverSimulator> shell;
    TForm1* window = nullptr;

private:
    QFont m_platformFont = QApplication::font();
};

} // namespace

TEST_P(TextsFit, EveryWindowShowsItsTextsWhole)
{
    expectWhole(window, "the main window before connecting");
    {
        // The Inverter tab says it waits for a connection.
        window->Settings1Click();
        TSetting& dialog = window->Settings();
        auto* tabs = dialog.findChild<QTabWidget*>("PageControl1");
        tabs->setCurrentWidget(dialog.findChild<QWidget*>("InverterTab"));
        ASSERT_TRUE(PumpUntil([&] { return dialog.findChild<QWidget*>("InverterConnectNote")->isVisible(); }));
        expectWhole(&dialog, "the settings tab \"Inverter\" before connecting");
        window->Settings1Click(); // hides it
    }
    // A unit with a second PV input that reports every condition it knows, and more: the
    // warning strip takes several lines.
    shell->model.SetSecondPv("01.5 202.0 00305");
    shell->model.SetWarningBits(std::string(36, '1'));
    window->findChild<QPushButton*>("Connect1")->click();
    ASSERT_TRUE(PumpUntil([this] {
        return label("Label1")->text() == "Connected" && label("Panel16")->text() != "---"
               && label("Pv2VoltagePanel")->isVisible() && window->findChild<QWidget*>("WarningStrip")->isVisible();
    }));
    expectWhole(window, "the main window connected");

    window->Settings1Click();
    TSetting& dialog = window->Settings();
    ASSERT_TRUE(PumpUntil([&] { return dialog.isVisible(); }));
    auto* tabs = dialog.findChild<QTabWidget*>("PageControl1");
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        ASSERT_TRUE(PumpUntil([&] { return tabs->widget(i)->isVisible(); }));
        expectWhole(&dialog, "the settings tab \"" + tabs->tabText(i).toStdString() + "\"");
    }

    for (LogListWindow* list : window->findChildren<LogListWindow*>()) {
        list->show();
        ASSERT_TRUE(PumpUntil([&] { return list->isVisible(); }));
        expectWhole(list, "the list " + list->objectName().toStdString());
    }

    auto* charts = window->findChild<ChartsWindow*>("ChartsWindow");
    charts->show();
    auto* chartTabs = charts->findChild<QTabWidget*>("ChartsTabs");
    for (int i = 0; i < chartTabs->count(); ++i) {
        chartTabs->setCurrentIndex(i);
        ASSERT_TRUE(PumpUntil([&] { return chartTabs->widget(i)->isVisible(); }));
        expectWhole(charts, "the charts tab \"" + chartTabs->tabText(i).toStdString() + "\"");
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, TextsFit, ::testing::ValuesIn(kTexts),
                         [](const ::testing::TestParamInfo<Texts>& info) { return std::string(info.param.name); });
