#include "shell/AboutBox.h"

#include "shell/MainWindow.h"
#include "web/PageTemplates.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace quorvane {

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutBox");
    setWindowTitle("About");
    setFixedSize(298, 213);
    auto* panel = new QFrame(this);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setGeometry(8, 8, 282, 161);
    auto* icon = new QLabel(panel);
    icon->setPixmap(ApplicationIcon().pixmap(65, 66));
    icon->setGeometry(8, 8, 65, 66);
    auto* product = new QLabel("Quorvane ", panel);
    product->setObjectName("ProductName");
    product->setStyleSheet("font-weight: bold; color: navy; font-size: 16px;");
    product->setGeometry(88, 16, 180, 20);
    auto* version = new QLabel(QString("Vers. ") + kVersionText, panel);
    version->setObjectName("Vers");
    version->setGeometry(88, 44, 180, 16);
    auto* maker = new QLabel("Made by the Quorvane developers", panel);
    maker->setObjectName("Copyright");
    maker->setGeometry(8, 88, 266, 16);
    auto* comments = new QLabel("Monitor and controller for one off-grid inverter", panel);
    comments->setObjectName("Comments");
    comments->setGeometry(8, 108, 266, 16);
    auto* target = new QLabel("For Kestrane Inverter PIP 4048MS", panel);
    target->setGeometry(8, 132, 266, 16);
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("OKButton");
    ok->setDefault(true);
    ok->setGeometry(111, 178, 75, 25);
    connect(ok, &QPushButton::clicked, this, &QDialog::hide);
}

} // namespace quorvane
