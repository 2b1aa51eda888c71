#include "shell/TextRoom.h"

#include <QAbstractButton>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QRegularExpression>
#include <QStyleOptionGroupBox>

#include <algorithm>
#include <map>
#include <vector>

namespace quorvane {

int TextWidth(const QLabel& label)
{
    if (!label.wordWrap())
        return label.sizeHint().width();
    // Frame, margins and, on the side the text leans to, the indent: half an "x" in a frame.
    const QFontMetrics metrics = label.fontMetrics();
    const bool leaning = (label.alignment() & (Qt::AlignLeft | Qt::AlignRight)) != 0;
    const int indent = label.indent() >= 0 ? label.indent()
                       : label.frameWidth() > 0 ? metrics.horizontalAdvance(QLatin1Char('x')) / 2
                                                : 0;
    int widest = 0;
    for (const QString& word : label.text().split(QRegularExpression("\\s+"), Qt::SkipEmptyParts))
        widest = std::max(widest, metrics.horizontalAdvance(word));
    return widest + 2 * (label.frameWidth() + label.margin()) + (leaning ? indent : 0);
}

int TextWidth(const QAbstractButton& button)
{
    return button.sizeHint().width();
}

int TitleWidth(const QGroupBox& box)
{
    QStyleOptionGroupBox option;
    option.initFrom(&box);
    option.text = box.title();
    option.textAlignment = box.alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    option.rect.setWidth(QWIDGETSIZE_MAX / 2); // room for the whole title, to measure it
    const QRect title = box.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &box);
    return title.left() + title.width() + title.left();
}

double LineScale(const QWidget& widget, int formLine)
{
    return std::max(1.0, static_cast<double>(widget.fontMetrics().height()) / formLine);
}

void GrowWidth(QWidget& widget, int width)
{
    if (width > widget.width())
        widget.resize(width, widget.height());
}

void GrowWidthInParent(QWidget& widget, int width)
{
    const int growth = width - widget.width();
    if (growth <= 0)
        return;
    widget.resize(width, widget.height());
    if (QWidget* parent = widget.parentWidget(); parent != nullptr && !widget.isWindow())
        parent->resize(parent->width() + growth, parent->height());
}

QRect ChildrenArea(const QWidget& container)
{
    QRect area;
    for (const QObject* object : container.children()) {
        const auto* child = qobject_cast<const QWidget*>(object);
        if (child != nullptr && !child->isWindow() && !child->isHidden())
            area |= child->geometry();
    }
    return area;
}

void GrowAround(QWidget& container, int margin)
{
    const QRect children = ChildrenArea(container);
    container.resize(std::max(container.width(), children.right() + 1 + margin),
                     std::max(container.height(), children.bottom() + 1 + margin));
}

namespace {

bool plainContainer(const QWidget& widget)
{
    const QMetaObject* kind = widget.metaObject();
    return widget.layout() == nullptr
           && (kind == &QWidget::staticMetaObject || kind == &QFrame::staticMetaObject || kind == &QGroupBox::staticMetaObject);
}

bool onSameLines(const QRect& one, const QRect& other)
{
    return one.top() <= other.bottom() && other.top() <= one.bottom();
}

} // namespace

void MakeRoom(QWidget& container, int gap)
{
    const QRect before = ChildrenArea(container);
    const QSize margins(std::max(0, container.width() - before.right() - 1), std::max(0, container.height() - before.bottom() - 1));
    // The columns: widgets by the place they start at, left to right.
    std::map<int, std::vector<QWidget*>> columns;
    for (QObject* object : container.children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (child == nullptr || child->isWindow() || child->isHidden())
            continue;
        // A widget never sized takes its hint when it shows; it takes it now, to be measured.
        if (!child->testAttribute(Qt::WA_Resized))
            child->adjustSize();
        if (plainContainer(*child))
            MakeRoom(*child, gap);
        columns[child->x()].push_back(child);
    }
    std::vector<const QWidget*> placed;
    for (const auto& [left, column] : columns) {
        int start = left;
        for (const QWidget* widget : column)
            for (const QWidget* earlier : placed)
                if (onSameLines(earlier->geometry(), widget->geometry()))
                    start = std::max(start, earlier->geometry().right() + 1 + gap);
        for (QWidget* widget : column) {
            widget->move(start, widget->y());
            placed.push_back(widget);
        }
    }
    if (auto* box = qobject_cast<QGroupBox*>(&container))
        GrowWidth(*box, TitleWidth(*box));
    const QRect after = ChildrenArea(container);
    container.resize(std::max(container.width(), after.right() + 1 + margins.width()),
                     std::max(container.height(), after.bottom() + 1 + margins.height()));
}

} // namespace quorvane
