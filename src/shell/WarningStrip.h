#pragma once

#include "inverter/WarningStatus.h"

#include <QWidget>

#include <vector>

class QLabel;

namespace quorvane {

// The warnings and faults the inverter reports now, in a strip across the main window: the
// faults first, in red, then the warnings, in amber, each in bit order ("Fault: Bus over ·
// Warning: Battery low"), in as many lines as its width needs. Hidden, taking no room, while
// all is well.
// Thread ownership: the GUI thread.
class WarningStrip final : public QWidget {
    Q_OBJECT
public:
    explicit WarningStrip(QWidget* parent = nullptr);

    // Shows these conditions, or hides the strip when there are none; false when it already
    // showed them.
    bool Show(const std::vector<WarningCondition>& conditions);

    [[nodiscard]] bool hasHeightForWidth() const override { return true; }
    [[nodiscard]] int heightForWidth(int width) const override;
    // As wide as the widest item.
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    // Lays the items out in lines `width` wide, moving them when `place`; returns the height.
    int layItems(int width, bool place) const;

    std::vector<WarningCondition> m_shown;
    std::vector<QLabel*> m_items;
    // m_separators[i] stands before m_items[i + 1], hidden where a line starts there.
    std::vector<QLabel*> m_separators;
};

} // namespace quorvane
