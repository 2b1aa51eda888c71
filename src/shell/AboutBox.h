#pragma once

#include <QDialog>

namespace quorvane {

// "About": the product, its version and the inverter it was made for.
class TAboutBox final : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};

} // namespace quorvane
