#include "shell/MainWindowArrangement.h"

#include "shell/TextRoom.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QRect>

#include <algorithm>

namespace quorvane {

namespace {

// The form's places and sizes. Widths are grown by Room; heights and places from the top grow
// with the line height, all by one scale.
constexpr int kEdge = 8; // the client's left and top margin
constexpr int kFarEdge = 13; // its right and bottom margin
constexpr int kGap = 6; // between the columns
constexpr int kFormLine = 15; // the text line the form leaves room for: Label49 above Label50
constexpr int kTopRowBottom = 273; // of GroupBox7, and of Panel3 while it is 60 high
constexpr int kBottomRowGap = 13; // from the top row to Panel2 and Memo1
constexpr int kBottomRowHeight = 252;
constexpr int kMemoWidth = 450;
constexpr std::array<int, 6> kCommandTops = {10, 64, 94, 124, 154, 214};
constexpr int kFlowHeight = 199;
constexpr int kClockTop = kEdge + kFlowHeight + kGap;
constexpr int kBasicRowPitch = 25;
constexpr int kComputedRowPitch = 29;
constexpr int kComputedAbove = 7; // GroupBox2 starts this much above Memo1

int labelHeight(const QLabel* label)
{
    return label->sizeHint().height();
}

} // namespace

int MainWindowArrangement::v(int formY) const
{
    return qRound(formY * m_room.lineScale);
}

QSize MainWindowArrangement::Place()
{
    measure();
    const int clockHeight = std::max(v(60), m_room.clockHeight);
    const int topRowBottom = std::max(v(kTopRowBottom), v(kClockTop) + clockHeight);
    const int flowX = kEdge + m_room.left + kGap;
    const int basicX = flowX + m_room.flow + kGap + 1;
    // Both rows end at the same right edge: the narrower one's widest widget takes the rest.
    // The warning strip between them is as wide, and wide enough for its widest item.
    const int warnings = m_widgets.warnings->isHidden() ? 0 : kEdge + m_widgets.warnings->minimumSizeHint().width();
    const int right = std::max({basicX + basicWidth(), flowX + kMemoWidth + kGap + m_room.computedBlock, warnings});
    const int bottomRowTop = placeWarnings(topRowBottom, right);
    placeLeftColumn(bottomRowTop);

    placeFlow(flowX);
    m_widgets.clock->setGeometry(flowX, v(kClockTop), m_room.flow, clockHeight);
    placeBasic({basicX, v(kEdge), right - basicX, topRowBottom - v(kEdge)});
    const int computedX = right - m_room.computedBlock;
    m_widgets.memo->setGeometry(flowX, bottomRowTop, computedX - kGap - flowX, v(kBottomRowHeight));
    placeComputed(computedX, bottomRowTop - v(kComputedAbove));
    return {right + kFarEdge, bottomRowTop + v(kBottomRowHeight) + v(kFarEdge)};
}

void MainWindowArrangement::measure()
{
    const MainWindowWidgets& w = m_widgets;
    Room& room = m_room;
    room.lineScale = std::max(room.lineScale, LineScale(*w.connect, kFormLine));
    int buttons = 0;
    for (const QPushButton* button : w.commandButtons)
        buttons = std::max(buttons, TextWidth(*button));
    // Test sits 2 px in; Panel2's buttons 7 px in on both sides.
    room.left = std::max({room.left, TextWidth(*w.connect), TextWidth(*w.status), TextWidth(*w.test) + 2, buttons + 2 * 7});
    room.statusHeight = std::max(room.statusHeight, w.status->heightForWidth(room.left));

    room.flow = std::max({room.flow, TitleWidth(*w.flow), TextWidth(*w.clock)});
    for (size_t i = 0; i < w.flowPanels.size(); ++i)
        room.flow = std::max({room.flow, TextWidth(*w.flowPanels[i]) + 2 * kEdge, TextWidth(*w.flowCaptions[i]) + 2 * kEdge});
    room.clockHeight = std::max(room.clockHeight, w.clock->heightForWidth(room.flow));

    for (const ValueRow& row : w.basicRows) {
        int& caption = room.basicCaptions.at(static_cast<size_t>(row.column));
        caption = std::max(caption, TextWidth(*row.caption));
        room.basicPanel = std::max(room.basicPanel, TextWidth(*row.panel));
        room.basicUnit = std::max(room.basicUnit, TextWidth(*row.unit) + kEdge);
    }
    if (showsSecondPv()) {
        for (const ValueRow& row : w.secondPvRows) {
            room.secondPvCaption = std::max(room.secondPvCaption, TextWidth(*row.caption));
            room.basicPanel = std::max(room.basicPanel, TextWidth(*row.panel));
            room.basicUnit = std::max(room.basicUnit, TextWidth(*row.unit) + kEdge);
        }
    }
    room.outputSource = std::max(room.outputSource, TextWidth(*w.outputSource));

    for (const ValueRow& row : w.computedRows) {
        room.computedCaption = std::max(room.computedCaption, TextWidth(*row.caption));
        room.computedPanel = std::max(room.computedPanel, TextWidth(*row.panel));
        room.computedUnit = std::max(room.computedUnit, TextWidth(*row.unit));
    }
    // Captions 20 px in, 2 px to the panel, 3 px to the unit, 3 px to the edge; the box 12 px in.
    room.computedBlock = std::max({room.computedBlock,
                                   20 + room.computedCaption + 2 + room.computedPanel + 3 + room.computedUnit + 3,
                                   TitleWidth(*w.computed), 12 + TextWidth(*w.reqByWeb), TextWidth(*w.resetNote),
                                   TextWidth(*w.powerNote)});
}

void MainWindowArrangement::placeLeftColumn(int bottomRowTop)
{
    const MainWindowWidgets& w = m_widgets;
    const int width = m_room.left;
    w.connect->setGeometry(kEdge, v(kEdge), width, v(29));
    w.status->setGeometry(kEdge, v(44), width, std::max(v(32), m_room.statusHeight));
    w.test->setGeometry(kEdge + 2, w.status->geometry().bottom() + 1 + v(10), TextWidth(*w.test), w.test->sizeHint().height());
    w.commands->setGeometry(kEdge, bottomRowTop, width, v(kBottomRowHeight));
    for (size_t i = 0; i < w.commandButtons.size(); ++i)
        w.commandButtons[i]->setGeometry(7, v(kCommandTops[i]), width - 2 * 7, v(25));
}

void MainWindowArrangement::placeFlow(int x)
{
    const MainWindowWidgets& w = m_widgets;
    w.flow->setGeometry(x, v(kEdge), m_room.flow, v(kFlowHeight));
    for (size_t i = 0; i < w.flowPanels.size(); ++i) {
        const int top = 24 + static_cast<int>(i) * 42;
        w.flowCaptions[i]->move(kEdge, v(top));
        w.flowPanels[i]->setGeometry(kEdge, v(top + 16), m_room.flow - 2 * kEdge, v(22));
    }
}

int MainWindowArrangement::placeWarnings(int topRowBottom, int right)
{
    QWidget* strip = m_widgets.warnings;
    if (strip->isHidden())
        return topRowBottom + v(kBottomRowGap);
    const int top = topRowBottom + v(kGap);
    const int width = right - kEdge;
    const int height = strip->heightForWidth(width);
    strip->setGeometry(kEdge, top, width, height);
    return top + height + v(kBottomRowGap);
}

bool MainWindowArrangement::showsSecondPv() const
{
    return !m_widgets.secondPvRows.front().panel->isHidden();
}

int MainWindowArrangement::secondPvWidth() const
{
    return showsSecondPv() ? m_room.secondPvCaption + 5 + m_room.basicPanel + 5 + m_room.basicUnit : 0;
}

std::array<int, 2> MainWindowArrangement::basicColumns() const
{
    // Caption, 5 px, panel, 5 px, unit and its room; the second PV input's column, if it
    // shows, and the second column start there.
    return {kEdge, kEdge + m_room.basicCaptions[0] + 5 + m_room.basicPanel + 5 + m_room.basicUnit + secondPvWidth()};
}

int MainWindowArrangement::basicWidth() const
{
    const int second = basicColumns()[1];
    return std::max({second + m_room.basicCaptions[1] + 5 + m_room.basicPanel + 5 + m_room.basicUnit - 1,
                     second - 11 + m_room.outputSource + 14, TitleWidth(*m_widgets.basic)});
}

void MainWindowArrangement::placeBasic(const QRect& area)
{
    const MainWindowWidgets& w = m_widgets;
    const Room& room = m_room;
    const std::array<int, 2> columns = basicColumns();
    w.basic->setGeometry(area);
    const auto placeRow = [&](const ValueRow& row, int left, int caption) {
        const int top = 22 + row.row * kBasicRowPitch;
        row.caption->setGeometry(left, v(top + 3), caption, labelHeight(row.caption));
        row.panel->setGeometry(left + caption + 5, v(top), room.basicPanel, v(22));
        row.unit->move(left + caption + 5 + room.basicPanel + 5, v(top + 3));
    };
    for (const ValueRow& row : w.basicRows) {
        const auto column = static_cast<size_t>(row.column);
        placeRow(row, columns.at(column), room.basicCaptions.at(column));
    }
    if (showsSecondPv())
        for (const ValueRow& row : w.secondPvRows)
            placeRow(row, columns[1] - secondPvWidth(), room.secondPvCaption);
    w.outputSource->setGeometry(columns[1] - 11, v(228), room.outputSource, labelHeight(w.outputSource));
}

void MainWindowArrangement::placeComputed(int x, int top)
{
    const MainWindowWidgets& w = m_widgets;
    const Room& room = m_room;
    const int width = room.computedBlock;
    w.computed->setGeometry(x, top, width, v(202));
    for (const ValueRow& row : w.computedRows) {
        const int rowTop = 24 + row.row * kComputedRowPitch;
        row.caption->setGeometry(20, v(rowTop + 3), room.computedCaption, labelHeight(row.caption));
        row.panel->setGeometry(20 + room.computedCaption + 2, v(rowTop), room.computedPanel, v(23));
        row.unit->setGeometry(20 + room.computedCaption + 2 + room.computedPanel + 3, v(rowTop + 3), room.computedUnit,
                              labelHeight(row.unit));
    }
    // The two notes centred under the group, then the box.
    for (const auto& [note, below] : {std::pair{w.resetNote, 208}, std::pair{w.powerNote, 223}}) {
        const int noteWidth = TextWidth(*note);
        note->setGeometry(x + (width - noteWidth) / 2, top + v(below), noteWidth, labelHeight(note));
    }
    w.reqByWeb->setGeometry(x + 12, top + v(242), width - 12, v(17));
}

} // namespace quorvane
