#include "shell/Style.h"

#include <QApplication>

namespace quorvane {

bool ApplyAmethystKamri(QApplication& application)
{
    application.setStyleSheet(R"(
        QMainWindow, QDialog, QWidget#Client { background: #2e1f3d; color: #efe6f7; }
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
    )");
    return !application.styleSheet().isEmpty();
}

} // namespace quorvane
