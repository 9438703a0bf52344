#include "placeholderwindow.h"

#include <QLabel>

PlaceholderWindow::PlaceholderWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("PlaceholderWindow"));
    setWindowTitle(QStringLiteral("Zentrio v0.0.9"));
    resize(1020, 502);
    auto* label = new QLabel(QStringLiteral("The operator console is not built yet."), this);
    label->setAlignment(Qt::AlignCenter);
    setCentralWidget(label);
}
