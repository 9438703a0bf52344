// The Drive and Tools menus: the overview of every drive, the bus diagnostics, and fault recovery
// (the CiA 402 fault reset of the operated drive, or of every faulted drive).
#include <QFileDialog>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QtConcurrent/QtConcurrentRun>

#include "busdiagnostics.h"
#include "driveoverview.h"
#include "ecmaster.h"
#include "mainwindow.h"
#include "model/stateconfig.h"
#include "objectdictionary.h"
#include "ui_mainwindow.h"

namespace {

bool isFaulted(int state) {
    return state == kDriveFault || state == kDriveFaultReaction;
}

}  // namespace

DriveOverview* MainWindow::driveOverview() const {
    return overview;
}

void MainWindow::on_actionDriveOverview_triggered() {
    if (!overview) {
        overview = new DriveOverview(
            master, stateConfig, [this] { return productType; }, this);
        // A double-click goes through the drive selector and so through its gate.
        connect(overview, &DriveOverview::driveActivated, this,
                [this](int index) { ui->comboBox_index->setCurrentIndex(index); });
        connect(overview, &DriveOverview::resetFaultRequested, this,
                [this](int index) { resetFaults({index}); });
        connect(overview, &DriveOverview::stopRequested, this, &MainWindow::quickStop);
    }
    overview->show();
    overview->raise();
    overview->activateWindow();
}

void MainWindow::on_actionBusDiagnostics_triggered() {
    if (!diagnostics) {
        diagnostics = new BusDiagnostics(master, this);
        connect(diagnostics, &BusDiagnostics::stopRequested, this, &MainWindow::quickStop);
    }
    diagnostics->show();
    diagnostics->raise();
    diagnostics->activateWindow();
}

void MainWindow::on_actionObjectDictionary_triggered() {
    if (!dictionary) {
        dictionary = new ObjectDictionary(master, this);
        connect(dictionary, &ObjectDictionary::stopRequested, this, &MainWindow::quickStop);
        dictionary->setWriteGate([this] { return mayWriteDrive(); });
    }
    dictionary->show();
    dictionary->raise();
    dictionary->activateWindow();
}

void MainWindow::on_actionCaptureBus_triggered() {
    if (master->capturing()) {
        // Ending a capture flushes its file: off the GUI thread.
        ecmaster* const m = master;
        trackMasterJob(QtConcurrent::run([m] { m->stopCapture(); }));
        ui->actionCaptureBus->setText(QStringLiteral("Capture bus traffic…"));
        return;
    }
    if (!master->isConnected()) {
        QMessageBox::warning(this, QStringLiteral("Capture bus traffic"),
                             QStringLiteral("Connect the bus first."));
        return;
    }
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Capture bus traffic"),
        QStringLiteral("bus_%1.pcapng")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"))),
        QStringLiteral("pcapng (*.pcapng)"));
    if (path.isEmpty()) {
        return;
    }
    if (!master->startCapture(path)) {
        QMessageBox::warning(this, QStringLiteral("Capture bus traffic"),
                             QStringLiteral("%1 cannot be written.").arg(path));
        return;
    }
    ui->actionCaptureBus->setText(QStringLiteral("Stop capture"));
}

void MainWindow::on_actionResetFault_triggered() {
    resetFaults({currentMotorIndex});
}

void MainWindow::on_actionResetAllFaults_triggered() {
    QList<int> all;
    for (int index = 0; index < master->driveCount(); ++index) {
        all << index;
    }
    resetFaults(all);
}

void MainWindow::logFaultWords(int index) {
    const std::optional<TCiA402_GetValue> inputs = master->driveInputs(index);
    if (!inputs) {
        return;
    }
    emit writeLog(QStringLiteral("电机%1: %2, ErrorWord %3, DrvErrorWord %4")
                      .arg(index)
                      .arg(ecmaster::driveStateName(master->driveStateOf(index)))
                      .arg(stateConfig->errorWordSummary(false, productType, inputs->errorWord),
                           stateConfig->errorWordSummary(true, productType, inputs->drvErrorWord)));
}

void MainWindow::resetFaults(const QList<int>& candidates) {
    if (!master->isConnected()) {
        emit writeLog(QStringLiteral("设备未连接."));
        return;
    }
    // A procedure drives the motors itself; the gate holds during enable and disable walks.
    if (ConsoleState == Testing) {
        requireState(Connected);
        return;
    }
    if (refuseDuringDriveJob()) {
        return;
    }
    QList<int> faulted;
    for (const int index : candidates) {
        if (isFaulted(master->driveStateOf(index))) {
            faulted << index;
        } else if (candidates.size() == 1) {
            emit writeLog(QStringLiteral("电机%1未处于故障状态，无需复位").arg(index));
        }
    }
    if (faulted.isEmpty()) {
        if (candidates.size() != 1) {
            emit writeLog(QStringLiteral("没有处于故障状态的电机"));
        }
        return;
    }
    for (const int index : faulted) {
        logFaultWords(index);
    }

    ++driveJobs;
    auto* watcher = new QFutureWatcher<QList<int>>(this);
    connect(watcher, &QFutureWatcher<QList<int>>::finished, this, [this, watcher, faulted] {
        --driveJobs;
        const QList<int> failed = watcher->result();
        watcher->deleteLater();
        for (const int index : faulted) {
            if (failed.contains(index)) {
                emit writeLog(QStringLiteral("电机%1故障复位失败").arg(index));
                logFaultWords(index);
            } else {
                emit writeLog(QStringLiteral("电机%1故障已复位").arg(index));
            }
        }
        // The operated drive fell out of Operation enabled with its fault: after the reset it
        // waits in Switch on disabled, and the console offers Enable again.
        if (ConsoleState == Enabled && faulted.contains(currentMotorIndex) &&
            !failed.contains(currentMotorIndex)) {
            master->setEnabled(false);
            ConsoleState = Connected;
            ui->pushButton_enable->setText(QStringLiteral("Enable"));
        }
        if (faulted.contains(currentMotorIndex)) {
            showCommandedSetpoints();  // the reset made them neutral
        }
    });
    ecmaster* const m = master;
    const QFuture<QList<int>> job = QtConcurrent::run([m, faulted] {
        QList<int> failed;
        for (const int index : faulted) {
            if (!m->resetFault(index)) {
                failed << index;
            }
        }
        return failed;
    });
    trackMasterJob(job);
    watcher->setFuture(job);
}
