#include "shell/TextRoom.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QStyleOptionGroupBox>

#include <algorithm>

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

} // namespace quorvane
