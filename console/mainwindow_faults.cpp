// The Drive and Tools menus: the overview of every drive, the bus diagnostics, and fault recovery
// (the CiA 402 fault reset of the operated drive, or of every faulted drive).
#include <QFileDialog>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

#include "busdiagnostics.h"
#include "driveoverview.h"
#include "ecmaster.h"
#include "mainwindow.h"
#include "model/cia402.h"
#include "model/stateconfig.h"
#include "objectdictionary.h"
#include "parametertransfer.h"
#include "scopewindow.h"
#include "transferclient.h"
#include "ui_mainwindow.h"

namespace {

bool isFaulted(int state) {
    return state == kDriveFault || state == kDriveFaultReaction;
}

}  // namespace

MainWindow::DriveIdentityTexts& MainWindow::identityOf(int index) {
    const qsizetype i = std::clamp<qsizetype>(index, 0, kMaxSlaves);
    if (identities.size() <= i) {
        identities.resize(i + 1);
    }
    return identities[i];
}

void MainWindow::readDriveIdentities() {
    identities.clear();
    faultRecords.clear();
    identitiesRead = false;
    identitiesPending = true;
    ecmaster* const m = master;
    const int drives = master->driveCount();
    transfers->run(
        [m, drives](const TransferWorker::Cancelled& cancelled) {
            QList<DriveIdentity> read;
            for (int index = 0; index < drives && !cancelled; ++index) {
                read.append(readDriveIdentity(m, index));
            }
            return read;
        },
        [this](const QList<DriveIdentity>& read) {
            identitiesPending = false;
            if (!master->isConnected()) {
                return;  // the bus went while the worker was reading
            }
            for (qsizetype index = 0; index < read.size(); ++index) {
                const DriveIdentity& id = read.at(index);
                DriveIdentityTexts& known = identityOf(static_cast<int>(index));
                known.productType = id.productType;
                known.softwareVersion = id.softwareVersion;
                emit writeLog(
                    tr("电机%1: 产品类型 %2, 软件版本 %3")
                        .arg(index)
                        .arg(id.productType.isEmpty() ? tr("未知") : id.productType,
                             id.softwareVersion.isEmpty() ? tr("未知") : id.softwareVersion));
            }
            identitiesRead = true;
            showDriveIdentity();
            passIdentitiesToScope();
            // The operated drive's words are decoded afresh with its type; the faults that stood
            // while the identities were read are logged now.
            lastErrorWord = 0;
            lastDrvErrorWord = 0;
            const TCiA402_GetValue clear{};
            for (int index = 0; index < master->driveCount(); ++index) {
                const std::optional<TCiA402_GetValue> in = master->driveInputs(index);
                faultRecords.append(in.value_or(clear));
                if (in && isFaultNews(clear, *in)) {
                    logDriveFault(index, *in);
                }
            }
        },
        [this] { identitiesPending = false; });
}

void MainWindow::showDriveIdentity() {
    const DriveIdentityTexts known = identities.value(currentMotorIndex);
    ui->lineEdit_PdtType->setText(known.productType);
    ui->lineEdit_Version->setText(known.softwareVersion);
}

void MainWindow::onDriveFaultChanged(int index, const TCiA402_GetValue& data) {
    // Before the identities are in (or with no bus) there is no base yet: the faults standing
    // then are logged when the identities arrive.
    if (!identitiesRead || index < 0 || index >= faultRecords.size()) {
        return;
    }
    const TCiA402_GetValue before = faultRecords.at(index);
    faultRecords[index] = data;
    if (isFaultNews(before, data)) {
        logDriveFault(index, data);
    }
}

void MainWindow::logDriveFault(int index, const TCiA402_GetValue& data) {
    const QString type = productTypeOf(index);
    QString line = tr("电机%1故障: %2")
                       .arg(index)
                       .arg(stateConfig->errorWordSummary(false, type, data.errorWord));
    if (data.drvErrorWord != 0) {
        line += tr(", DrvErrorWord %1")
                    .arg(stateConfig->errorWordSummary(true, type, data.drvErrorWord));
    }
    emit writeLog(line);
}

DriveOverview* MainWindow::driveOverview() const {
    return overview;
}

void MainWindow::on_actionDriveOverview_triggered() {
    if (!overview) {
        overview = new DriveOverview(
            master, stateConfig, [this](int index) { return productTypeOf(index); }, this);
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

void MainWindow::passIdentitiesToScope() {
    if (!scopeWindow) {
        return;
    }
    std::map<int, scope::DriveIdentity> byDrive;
    for (qsizetype index = 0; index < identities.size(); ++index) {
        byDrive[static_cast<int>(index)] = {
            {"product_type", identities.at(index).productType.toStdString()},
            {"software_version", identities.at(index).softwareVersion.toStdString()}};
    }
    scopeWindow->tool()->setIdentities(std::move(byDrive));
}

void MainWindow::on_actionScope_triggered() {
    if (!scopeWindow) {
        scopeWindow = new ScopeWindow(master, this);
        passIdentitiesToScope();
    }
    scopeWindow->show();
    scopeWindow->raise();
    scopeWindow->activateWindow();
}

void MainWindow::on_actionCaptureBus_triggered() {
    if (master->capturing()) {
        // Ending a capture flushes its file: off the GUI thread.
        ecmaster* const m = master;
        trackMasterJob(QtConcurrent::run([m] { m->stopCapture(); }));
        ui->actionCaptureBus->setText(tr("Capture bus traffic…"));
        return;
    }
    if (!master->isConnected()) {
        QMessageBox::warning(this, tr("Capture bus traffic"), tr("Connect the bus first."));
        return;
    }
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Capture bus traffic"),
        QStringLiteral("bus_%1.pcapng")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"))),
        tr("pcapng (*.pcapng)"));
    if (path.isEmpty()) {
        return;
    }
    if (!master->startCapture(path)) {
        QMessageBox::warning(this, tr("Capture bus traffic"),
                             tr("%1 cannot be written.").arg(path));
        return;
    }
    ui->actionCaptureBus->setText(tr("Stop capture"));
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
    emit writeLog(
        tr("电机%1: %2, ErrorWord %3, DrvErrorWord %4")
            .arg(index)
            .arg(ecmaster::driveStateName(master->driveStateOf(index)))
            .arg(stateConfig->errorWordSummary(false, productTypeOf(index), inputs->errorWord),
                 stateConfig->errorWordSummary(true, productTypeOf(index), inputs->drvErrorWord)));
}

void MainWindow::resetFaults(const QList<int>& candidates) {
    if (!master->isConnected()) {
        emit writeLog(tr("设备未连接."));
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
            emit writeLog(tr("电机%1未处于故障状态，无需复位").arg(index));
        }
    }
    if (faulted.isEmpty()) {
        if (candidates.size() != 1) {
            emit writeLog(tr("没有处于故障状态的电机"));
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
                emit writeLog(tr("电机%1故障复位失败").arg(index));
                logFaultWords(index);
            } else {
                emit writeLog(tr("电机%1故障已复位").arg(index));
            }
        }
        // The operated drive fell out of Operation enabled with its fault: after the reset it
        // waits in Switch on disabled, and the console offers Enable again.
        if (ConsoleState == Enabled && faulted.contains(currentMotorIndex) &&
            !failed.contains(currentMotorIndex)) {
            master->setEnabled(false);
            ConsoleState = Connected;
            setLiveText(ui->pushButton_enable, kEnableText);
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
