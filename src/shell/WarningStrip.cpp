#include "shell/WarningStrip.h"

#include <QLabel>

#include <algorithm>

namespace quorvane {

namespace {

constexpr int kLineGap = 2; // between the lines of items
// Bright enough on the style's dark purple and on a light desktop alike.
const QString kFaultColour = "#ff4d4d";
const QString kWarningColour = "#ffb000";

// An item in its colour, or a separator in the strip's own (no colour).
QLabel* stripLabel(const QString& text, const char* name, const QString& colour, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    if (!colour.isEmpty())
        label->setStyleSheet("QLabel { color: " + colour + "; font-weight: bold; }");
    label->ensurePolished(); // measured before it shows
    label->show();
    return label;
}

} // namespace

WarningStrip::WarningStrip(QWidget* parent) : QWidget(parent)
{
    setObjectName("WarningStrip");
    hide();
}

bool WarningStrip::Show(const std::vector<WarningCondition>& conditions)
{
    std::vector<WarningCondition> ordered = conditions;
    std::ranges::stable_partition(ordered, [](const WarningCondition& c) { return c.Severity == WarningSeverity::Fault; });
    if (ordered == m_shown)
        return false;
    m_shown = std::move(ordered);
    for (QLabel* label : m_items)
        delete label;
    for (QLabel* label : m_separators)
        delete label;
    m_items.clear();
    m_separators.clear();
    for (const WarningCondition& condition : m_shown) {
        if (!m_items.empty())
            m_separators.push_back(stripLabel(QString::fromUtf8("·"), "WarningSeparator", {}, this));
        const bool fault = condition.Severity == WarningSeverity::Fault;
        const QString text = QString::fromStdString(WarningSeverityText(condition.Severity) + ": " + condition.Text);
        m_items.push_back(stripLabel(text, "WarningItem", fault ? kFaultColour : kWarningColour, this));
    }
    setVisible(!m_shown.empty());
    layItems(width(), true);
    return true;
}

int WarningStrip::layItems(int width, bool place) const
{
    if (m_items.empty())
        return 0;
    const int space = fontMetrics().horizontalAdvance(QLatin1Char(' '));
    const int lineHeight = m_items.front()->sizeHint().height();
    int x = 0;
    int y = 0;
    for (size_t i = 0; i < m_items.size(); ++i) {
        QLabel* item = m_items[i];
        const QSize size = item->sizeHint();
        if (i > 0) {
            QLabel* separator = m_separators[i - 1];
            const int separatorWidth = separator->sizeHint().width();
            const int itemAt = x + space + separatorWidth + space;
            if (itemAt + size.width() > width) { // a new line, without the separator
                x = 0;
                y += lineHeight + kLineGap;
                if (place)
                    separator->hide();
            } else {
                if (place) {
                    separator->setGeometry(x + space, y, separatorWidth, lineHeight);
                    separator->show();
                }
                x = itemAt;
            }
        }
        if (place)
            item->setGeometry(x, y, size.width(), lineHeight);
        x += size.width();
    }
    return y + lineHeight;
}

int WarningStrip::heightForWidth(int width) const
{
    return layItems(width, false);
}

QSize WarningStrip::minimumSizeHint() const
{
    int widest = 0;
    for (const QLabel* item : m_items)
        widest = std::max(widest, item->sizeHint().width());
    return {widest, heightForWidth(widest)};
}

void WarningStrip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layItems(width(), true);
}

} // namespace quorvane
