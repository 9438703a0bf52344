// The update check: the console only starts the separate updater and tells it who is asking.
#include <QCoreApplication>
#include <QDir>
#include <QProcess>

#include <chrono>
#include <mutex>
#include <thread>

#include "mainwindow.h"

#ifndef ZENTRIO_UPDATE_HOST
#define ZENTRIO_UPDATE_HOST "updates.invalid"
#endif

namespace {

// The start-up check waits until the window is on screen.
constexpr auto kStartupCheckDelay = std::chrono::milliseconds(500);

}  // namespace

struct MainWindow::UpdateCheckLink {
    std::mutex mutex;
    MainWindow* window = nullptr;  // guarded by mutex; null once the window is going away
};

QString updateManifestUrl() {
    return QStringLiteral("http://%1:443/Zentrio/updates.json")
        .arg(QLatin1String(ZENTRIO_UPDATE_HOST));
}

void MainWindow::checkForUpdates(bool showUi) {
    const QString appDir = QDir(QCoreApplication::applicationDirPath()).absolutePath();
    const QStringList arguments = {
        QString::number(QCoreApplication::applicationPid()),
        updateManifestUrl(),
        QLatin1String(kProductName),
        QLatin1String(kConsoleVersion),
        // Quoted so that an installation path with blanks stays one value for the updater.
        QStringLiteral("\"%1\"").arg(appDir),
        showUi ? QStringLiteral("show") : QStringLiteral("hide"),
    };
    // By full path: the program search here does not look in the executable's directory.
    const QString program = QDir(appDir).filePath(QLatin1String(kUpdaterProgram));
    if (!QProcess::startDetached(program, arguments, QString())) {
        emit writeLog(tr("Failed to start the updater."));
    }
}

void MainWindow::startUpdateCheckThread() {
    updateLink = std::make_shared<UpdateCheckLink>();
    updateLink->window = this;
    std::thread([link = updateLink] {
        std::this_thread::sleep_for(kStartupCheckDelay);
        // Held across the check so that the destructor waits for a check in progress.
        const std::lock_guard lock(link->mutex);
        if (link->window != nullptr) {
            link->window->checkForUpdates(false);
        }
    }).detach();
}

void MainWindow::stopUpdateCheckThread() {
    if (updateLink) {
        const std::lock_guard lock(updateLink->mutex);
        updateLink->window = nullptr;
    }
}
