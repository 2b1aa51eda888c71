// Every text the windows show is whole, as a user sees them: with the program's style sheet,
// over a core connected to the simulator, in the main window, on each tab of the settings
// dialog and in the log lists. A text is cut when it is wider (or taller) than the room its
// widget gives it, when its widget reaches out of its parent, or when a sibling covers it.
//
// ctest runs this program once per scale, with QT_SCALE_FACTOR 1, 1.25 and 1.5 (see
// tests/CMakeLists.txt): Qt reads the factor once, when the application starts, so one process
// cannot try several.
#include "FakeUserNotifier.h"
#include "GatedPacer.h"
#include "InProcessLine.h"
#include "InverterModel.h"
#include "app/CoreHost.h"
#include "core/Clock.h"
#include "shell/LogListWindow.h"
#include "shell/MainWindow.h"
#include "shell/SettingsDialog.h"
#include "shell/Style.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOptionFrame>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <optional>

using namespace quorvane;
using namespace std::chrono_literals;
using fakes::PumpUntil;

namespace {

// The group box title's room: the style sheet sets it 8 px in, with 3 px of padding each side.
constexpr int kGroupTitleRoom = 8 + 2 * 3;

// What is cut, for the failure message: the window, the widget's name (its class when it has
// none), its text and the problem.
std::string cut(const QWidget* widget, const QString& text, const QString& problem)
{
    const QString name = widget->objectName().isEmpty() ? widget->metaObject()->className() : widget->objectName();
    return QString("%1/%2 \"%3\": %4").arg(widget->window()->objectName(), name, text, problem).toStdString();
}

std::string cut(const QWidget* widget, const QString& text, const QString& what, int needs, int has)
{
    return cut(widget, text, QString("%1 needs %2 px, has %3").arg(what).arg(needs).arg(has));
}

// The indent a label keeps on its aligned side: its own, or half an "x" when it has a frame.
int effectiveIndent(const QLabel* label)
{
    if (label->indent() >= 0)
        return label->indent();
    return label->frameWidth() > 0 ? label->fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2 : 0;
}

void checkLabel(const QLabel* label, std::vector<std::string>& cuts)
{
    const QString text = label->text();
    if (text.isEmpty())
        return;
    const QFontMetrics metrics = label->fontMetrics();
    const int margin = label->margin();
    const QRect room = label->contentsRect().adjusted(margin, margin, -margin, -margin);
    const bool indented = (label->alignment() & (Qt::AlignLeft | Qt::AlignRight)) != 0;
    const int width = room.width() - (indented ? effectiveIndent(label) : 0);
    if (label->wordWrap()) {
        // Wrapped lines break between words: every word must fit, and all the lines.
        for (const QString& word : text.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts))
            if (metrics.horizontalAdvance(word) > width)
                cuts.push_back(cut(label, text, "the word \"" + word + "\"", metrics.horizontalAdvance(word), width));
        if (label->heightForWidth(label->width()) > label->height())
            cuts.push_back(cut(label, text, "the wrapped lines", label->heightForWidth(label->width()), label->height()));
        return;
    }
    const QStringList lines = text.split('\n');
    for (const QString& line : lines)
        if (metrics.horizontalAdvance(line) > width)
            cuts.push_back(cut(label, text, "the width", metrics.horizontalAdvance(line), width));
    const int height = metrics.height() + static_cast<int>(lines.size() - 1) * metrics.lineSpacing();
    if (height > room.height())
        cuts.push_back(cut(label, text, "the height", height, room.height()));
}

void checkButton(const QAbstractButton* button, std::vector<std::string>& cuts)
{
    if (button->text().isEmpty())
        return; // a tab bar's arrows
    if (button->sizeHint().width() > button->width())
        cuts.push_back(cut(button, button->text(), "the width", button->sizeHint().width(), button->width()));
    // A push button's frame and padding come with its text; a box or a round button shows the
    // text beside its mark.
    const int height = qobject_cast<const QPushButton*>(button) != nullptr ? button->sizeHint().height()
                                                                           : button->fontMetrics().height();
    if (height > button->height())
        cuts.push_back(cut(button, button->text(), "the height", height, button->height()));
}

void checkGroupBox(const QGroupBox* box, std::vector<std::string>& cuts)
{
    const int needs = box->fontMetrics().horizontalAdvance(box->title()) + kGroupTitleRoom;
    if (needs > box->width())
        cuts.push_back(cut(box, box->title(), "the title", needs, box->width()));
}

// A field's fixed text: its placeholder while it is empty, or the text of a field nobody edits.
void checkLineEdit(const QLineEdit* field, std::vector<std::string>& cuts)
{
    const QString text = field->text().isEmpty() ? field->placeholderText() : field->isReadOnly() ? field->text() : QString();
    if (text.isEmpty())
        return;
    // Where the field draws its text: inside its frame, its text margins and 2 px each side.
    QStyleOptionFrame option;
    option.initFrom(field);
    option.rect = field->rect();
    option.lineWidth = field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field) : 0;
    const QRect contents = field->style()->subElementRect(QStyle::SE_LineEditContents, &option, field);
    const QMargins margins = field->textMargins();
    const int room = contents.width() - margins.left() - margins.right() - 2 * 2;
    const int needs = field->fontMetrics().horizontalAdvance(text);
    if (needs > room)
        cuts.push_back(cut(field, text, "the text", needs, room));
}

// A list's hint is as wide as its widest entry with the arrow; a time field's, as its text.
template <typename Widget>
void checkHint(const Widget* widget, const QString& text, std::vector<std::string>& cuts)
{
    if (widget->sizeHint().width() > widget->width())
        cuts.push_back(cut(widget, text, "the width", widget->sizeHint().width(), widget->width()));
}

// Tabs that do not all fit are scrolled or shortened.
void checkTabs(const QTabBar* tabs, std::vector<std::string>& cuts)
{
    QStringList texts;
    for (int i = 0; i < tabs->count(); ++i)
        texts << tabs->tabText(i);
    if (tabs->sizeHint().width() > tabs->width())
        cuts.push_back(cut(tabs, texts.join(", "), "the tabs", tabs->sizeHint().width(), tabs->width()));
}

// Widgets a composite widget builds for itself (a time field's line, a table's headers, the
// arrows of a tab bar) are the composite's business.
bool inner(const QWidget* widget)
{
    for (const QWidget* parent = widget->parentWidget(); parent != nullptr && !parent->isWindow(); parent = parent->parentWidget())
        if (qobject_cast<const QAbstractSpinBox*>(parent) != nullptr || qobject_cast<const QComboBox*>(parent) != nullptr
            || qobject_cast<const QAbstractScrollArea*>(parent) != nullptr || qobject_cast<const QTabBar*>(parent) != nullptr)
            return true;
    return false;
}

// Checks one widget's text; no text for widgets that show none of their own.
std::optional<QString> checkText(const QWidget* widget, std::vector<std::string>& cuts)
{
    if (const auto* label = qobject_cast<const QLabel*>(widget)) {
        checkLabel(label, cuts);
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
        checkButton(button, cuts);
        return button->text();
    }
    if (const auto* box = qobject_cast<const QGroupBox*>(widget)) {
        checkGroupBox(box, cuts);
        return box->title();
    }
    if (const auto* field = qobject_cast<const QLineEdit*>(widget)) {
        checkLineEdit(field, cuts);
        return field->text().isEmpty() ? field->placeholderText() : field->text();
    }
    if (const auto* list = qobject_cast<const QComboBox*>(widget)) {
        checkHint(list, list->currentText(), cuts);
        return list->currentText();
    }
    if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(widget)) {
        checkHint(spin, spin->text(), cuts);
        return spin->text();
    }
    if (const auto* tabs = qobject_cast<const QTabBar*>(widget)) {
        checkTabs(tabs, cuts);
        return tabs->tabText(tabs->currentIndex());
    }
    return std::nullopt;
}

// Everything cut in one window as it is shown now.
std::vector<std::string> cutTexts(const QWidget* window)
{
    std::vector<std::string> cuts;
    for (const QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->window() != window || !widget->isVisible() || inner(widget))
            continue;
        const std::optional<QString> text = checkText(widget, cuts);
        if (!text)
            continue;
        const QWidget* parent = widget->parentWidget();
        const QRect area = widget->geometry();
        if (!parent->rect().contains(area))
            cuts.push_back(cut(widget, *text, QString("reaches out of its parent: (%1, %2) to (%3, %4) in %5 x %6")
                                                  .arg(area.left())
                                                  .arg(area.top())
                                                  .arg(area.right() + 1)
                                                  .arg(area.bottom() + 1)
                                                  .arg(parent->width())
                                                  .arg(parent->height())));
        // Siblings made later are drawn over it.
        const QObjectList& siblings = parent->children();
        for (qsizetype i = siblings.indexOf(widget) + 1; i < siblings.size(); ++i) {
            const auto* sibling = qobject_cast<const QWidget*>(siblings.at(i));
            if (sibling != nullptr && sibling->isVisible() && !sibling->isWindow() && sibling->geometry().intersects(area))
                cuts.push_back(cut(widget, *text, QString("covered by %1 %2").arg(sibling->metaObject()->className(), sibling->objectName())));
        }
    }
    return cuts;
}

// The sets of texts the windows are tried with.
struct Texts {
    const char* name;
    const char* locale; // of the dates and times the core shows
    const char* settings; // more lines of the settings file
};

const Texts kTexts[] = {
    {"TwoDigitYears", "C", ""}, // "Computed values ( [A] and [B] from 12/10/26 )"
    {"FourDigitYears", "en_US.UTF-8", ""}, // 12/10/2026, times with AM or PM
    // The longest captions the settings dialog lets a user type: 30 characters.
    {"LongCaptions", "de_DE.UTF-8",
     "[BasicInfo]\nPV Input Corrent=PV Input Current for Batteries\nInverter Heat Sink temperature=Inverter "
     "Heat Sink temperature\nDischarge Current=Battery Discharge Current (A)\n"
     "[ComputedInfo]\nAux1=Solar Energy since Midnight\nAux5=[A]Total Solar Energy to date\nUnitAux1=kWh (since 00:00)\n"},
};

class TextsFit : public ::testing::TestWithParam<Texts> {
protected:
    void SetUp() override
    {
        ApplyAmethystKamri(*qApp);
        std::ofstream(settingsPath) << "[Main]\nAutoSearch=0\nMeasTime=0\n[Http]\nPort=0\n[Ports]\nCOM1=/sim/inverter\n"
                                    << GetParam().settings;
        opener.Attach("/sim/inverter", model);
        model.SetFullSpeed(true);
        model.SetAnswerDelay(0ms);
        CoreApp::Options options;
        options.SettingsPath = settingsPath;
        options.LogBase = folder.path().toStdString();
        options.LocaleName = GetParam().locale;
        options.MailRoutes = {{"127.0.0.1", 9}, 25};
        host = std::make_unique<CoreHost>(options, clock, opener, person);
        window = std::make_unique<TForm1>(*host, person);
        bool attached = false;
        QObject::connect(host.get(), &CoreHost::ready, window.get(), [this, &attached](CoreApp* core) {
            window->Attach(core);
            attached = true;
        });
        window->show();
        host->Start();
        ASSERT_TRUE(PumpUntil([&] { return attached && label("Panel3")->text() != "---"; }));
    }
    void TearDown() override
    {
        window.reset();
        host.reset();
        qApp->setStyleSheet({});
    }
    QLabel* label(const char* name) const { return window->findChild<QLabel*>(name); }
    // Reports what is cut in `shown`, once its pending layout work is done.
    void expectWhole(const QWidget* shown, const std::string& where)
    {
        QCoreApplication::sendPostedEvents();
        for (const std::string& text : cutTexts(shown))
            ADD_FAILURE() << where << " at scale " << shown->devicePixelRatioF() << ": " << text;
    }

    QTemporaryDir folder;
    std::string settingsPath = QDir(folder.path()).filePath("quorvane.INI").toStdString();
    sim::InverterModel model;
    SystemClock clock;
    sim::InProcessOpener opener;
    fakes::FakeUserNotifier person;
    std::unique_ptr<CoreHost> host;
    std::unique_ptr<TForm1> window;
};

} // namespace

TEST_P(TextsFit, EveryWindowShowsItsTextsWhole)
{
    expectWhole(window.get(), "the main window before connecting");
    window->findChild<QPushButton*>("Connect1")->click();
    ASSERT_TRUE(PumpUntil([this] { return label("Label1")->text() == "Connected" && label("Panel16")->text() != "---"; }));
    expectWhole(window.get(), "the main window connected");

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
}

INSTANTIATE_TEST_SUITE_P(Texts, TextsFit, ::testing::ValuesIn(kTexts),
                         [](const ::testing::TestParamInfo<Texts>& info) { return std::string(info.param.name); });
