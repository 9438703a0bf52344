#pragma once

#include <QMainWindow>

// Temporary stand-in for the operator console until MainWindow is built; remove it then.
class PlaceholderWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit PlaceholderWindow(QWidget* parent = nullptr);
};
