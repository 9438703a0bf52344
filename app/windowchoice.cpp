#include "windowchoice.h"

#include <QFileInfo>

#include "factorywindow.h"
#include "mainwindow.h"

bool factoryMarkerPresent(const QString& appDir) {
    return QFileInfo::exists(appDir + QLatin1String(kFactoryMarkerPath));
}

std::unique_ptr<QMainWindow> createMainWindow(const QString& appDir) {
    if (factoryMarkerPresent(appDir)) {
        return std::make_unique<FactoryWindow>();
    }
    return std::make_unique<MainWindow>();
}
