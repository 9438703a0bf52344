#pragma once

#include <QMainWindow>

namespace Ui {
class FactoryWindow;
}

// Frame of the production-test station, shown instead of the operator console when the
// factory marker file is present. It deliberately has no behaviour and no bus master.
class FactoryWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit FactoryWindow(QWidget* parent = nullptr);
    ~FactoryWindow() override;

private:
    Ui::FactoryWindow* ui;
};
