#include "TextCuts.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOptionFrame>
#include <QTabBar>

#include <optional>

namespace quorvane::fakes {

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

} // namespace

std::vector<std::string> CutTexts(const QWidget& window)
{
    std::vector<std::string> cuts;
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->window() != &window || !widget->isVisible() || inner(widget))
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

} // namespace quorvane::fakes
