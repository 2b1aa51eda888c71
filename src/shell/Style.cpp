#include "shell/Style.h"

#include <QApplication>

namespace quorvane {

bool ApplyAmethystKamri(QApplication& application)
{
    application.setStyleSheet(R"(
        QMainWindow, QDialog, QWidget#Client, quorvane--LogListWindow, quorvane--ChartsWindow { background: #2e1f3d; color: #efe6f7; }
        QWidget { color: #efe6f7; }
        QGroupBox { border: 1px solid #7e57a6; margin-top: 8px; color: #d9c2f0; }
        QGroupBox::title { subcontrol-origin: margin; left: 8px; padding: 0 3px; }
        QLabel[frameShape="6"], QLabel[frameShape="2"] { background: #1d1427; color: #ffd966; border: 1px solid #7e57a6; }
        QPushButton { background: #5b2a86; border: 1px solid #9b6fc7; padding: 2px; }
        QPushButton:hover { background: #6f3aa0; }
        QPushButton:disabled { background: #3b2a4d; color: #8c7a9e; }
        QListView, QTableView, QTableWidget { background: #1d1427; color: #efe6f7; gridline-color: #4b3563; }
        QMenuBar, QMenu { background: #3b2850; color: #efe6f7; }
        QMenu::item:selected, QMenuBar::item:selected { background: #5b2a86; }
        QCheckBox { color: #efe6f7; }
        QTabWidget::pane { background: #2e1f3d; border: 1px solid #7e57a6; }
        QTabWidget > QWidget, QTabWidget QStackedWidget > QWidget { background: #2e1f3d; }
        QTabBar::tab { background: #3b2850; color: #efe6f7; border: 1px solid #7e57a6; padding: 3px 8px; }
        QTabBar::tab:selected { background: #5b2a86; }
        QLineEdit, QComboBox, QSpinBox, QDoubleSpinBox, QTimeEdit, QDateTimeEdit, QPlainTextEdit, QTextEdit {
            background: #1d1427; color: #efe6f7; border: 1px solid #7e57a6; selection-background-color: #5b2a86; }
        QLineEdit:disabled, QComboBox:disabled, QSpinBox:disabled, QDoubleSpinBox:disabled, QTimeEdit:disabled {
            color: #8c7a9e; }
        QComboBox QAbstractItemView { background: #1d1427; color: #efe6f7; selection-background-color: #5b2a86; }
        QHeaderView::section { background: #3b2850; color: #efe6f7; border: 1px solid #4b3563; }
        QLabel { background: transparent; }
    )");
    return !application.styleSheet().isEmpty();
}

} // namespace quorvane
