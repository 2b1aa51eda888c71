#pragma once

#include <QSize>

#include <array>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QListView;
class QPushButton;
class QRect;
class QWidget;

namespace quorvane {

// A value in a group: its caption, the panel that shows it and its unit, in a column and row of
// the group (both from 0).
struct ValueRow {
    QLabel* caption = nullptr;
    QLabel* panel = nullptr;
    QLabel* unit = nullptr;
    int column = 0;
    int row = 0;
};

// The main window's widgets, as the window builds them, for the arrangement to place.
struct MainWindowWidgets {
    QPushButton* connect = nullptr; // Connect1
    QLabel* status = nullptr; // Label1, wraps its words
    QCheckBox* test = nullptr;
    QFrame* commands = nullptr; // Panel2
    std::array<QPushButton*, 6> commandButtons{}; // Button4, Button5 to Button8, Button1, top down
    QGroupBox* flow = nullptr; // GroupBox1
    std::array<QLabel*, 4> flowCaptions{};
    std::array<QLabel*, 4> flowPanels{};
    QLabel* clock = nullptr; // Panel3, wraps its words
    QListView* memo = nullptr; // Memo1
    QWidget* warnings = nullptr; // the warning strip, between the two rows while it shows
    QGroupBox* basic = nullptr; // GroupBox7
    std::array<ValueRow, 15> basicRows{};
    // A second PV input's values, in a column of their own beside the first input's while they
    // show; their rows are the basic rows'.
    std::array<ValueRow, 3> secondPvRows{};
    QLabel* outputSource = nullptr; // Label51
    QGroupBox* computed = nullptr; // GroupBox2
    std::array<ValueRow, 6> computedRows{};
    QLabel* resetNote = nullptr; // Label49
    QLabel* powerNote = nullptr; // Label50
    QCheckBox* reqByWeb = nullptr;
};

// Places the main window's widgets as the form has them, each as wide (and a wrapping panel as
// tall) as the text it shows needs: a column grows when one of its texts needs more room, and
// what lies to its right moves over by as much. A font with taller lines than the form's
// stretches it downwards. The sizes only grow while the window lives, so the window does not
// jump back and forth as the texts change.
// Thread ownership: the GUI thread.
class MainWindowArrangement {
public:
    explicit MainWindowArrangement(const MainWindowWidgets& widgets) : m_widgets(widgets) {}

    // Places every widget for the texts they show now; returns the client area's size.
    QSize Place();

private:
    // The form's sizes, grown to the texts seen so far.
    struct Room {
        double lineScale = 1.0; // of the heights and places from the top, for taller lines
        int left = 75; // Connect1, Label1, Test, Panel2 and its buttons
        int statusHeight = 0; // Label1's wrapped lines
        int flow = 176; // GroupBox1 and Panel3
        int clockHeight = 0; // Panel3's wrapped lines
        std::array<int, 2> basicCaptions{150, 150}; // per column
        int secondPvCaption = 0;
        int basicPanel = 90;
        int basicUnit = 26; // from a unit's start to the next column
        int outputSource = 272;
        int computedCaption = 108;
        int computedPanel = 100;
        int computedUnit = 50;
        int computedBlock = 286; // GroupBox2, and the notes and the box under it
    };

    void measure();
    // A height or a place from the top of the form, for the lines of the font.
    [[nodiscard]] int v(int formY) const;
    void placeLeftColumn(int bottomRowTop);
    void placeFlow(int x);
    [[nodiscard]] bool showsSecondPv() const;
    // The second PV input's column: its width, 0 while it is hidden.
    [[nodiscard]] int secondPvWidth() const;
    [[nodiscard]] std::array<int, 2> basicColumns() const;
    // GroupBox7's width for its columns, Label51 and its title.
    [[nodiscard]] int basicWidth() const;
    void placeBasic(const QRect& area);
    // Places the strip across the window under the top row; returns the bottom row's top.
    int placeWarnings(int topRowBottom, int right);
    void placeComputed(int x, int top);

    MainWindowWidgets m_widgets;
    Room m_room;
};

} // namespace quorvane
