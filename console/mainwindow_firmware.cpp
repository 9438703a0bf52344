// The firmware upgrade: a file and the bootloader's password from the operator, the FoE download
// on the thread pool behind a busy dialog, then the bus taken down and the outcome reported.
#include <QFileDialog>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QProgressDialog>
#include <QtConcurrent/QtConcurrentRun>

#include <QFileInfo>

#include "ecmaster.h"
#include "mainwindow.h"
#include "model/paramtable.h"
#include "passworddialog.h"
#include "transferclient.h"
#include "ui_mainwindow.h"

namespace {

// The download always goes to the first drive of the bus, whichever drive is operated.
constexpr int kFirmwareDriveIndex = 0;

}  // namespace

void MainWindow::on_pushButton_Upgrade_clicked() {
    if (!requireState(Connected)) {
        return;
    }
    const QString path = QFileDialog::getOpenFileName(this, tr("选择固件文件"), QString(),
                                                      tr("固件文件 (*.efw *.bin)"));
    if (path.isEmpty()) {
        return;
    }
    uint32_t password = 0;
    const int answer = askFirmwarePassword(this, password);
    if (answer == kPasswordCancelled) {
        return;
    }
    if (answer != kPasswordAccepted) {
        QMessageBox::critical(this, tr("ERROR"), tr("输入错误"));
        return;
    }
    // The version the target drive runs now, read on the transfer worker, goes into the
    // confirmation: the operator sees which drive is about to be flashed.
    ecmaster* const m = master;
    transfers->run(
        [m](const TransferWorker::Cancelled&) {
            QByteArray bytes(2, '\0');
            const TransferResult r =
                m->parameterRead(kFirmwareDriveIndex, kParamIdSoftwareVersion, bytes.data());
            return r.ok() ? versionText(static_cast<uint16_t>(littleEndianValue(bytes)))
                          : QString();
        },
        [this, path, password](const QString& version) {
            confirmFirmwareDownload(path, password, version);
        });
}

void MainWindow::confirmFirmwareDownload(const QString& path, uint32_t password,
                                         const QString& version) {
    if (!requireState(Connected)) {
        return;  // the bus went down or a job started while the version was read
    }
    const QList<int32_t> drives = master->validDriveList();
    const int slave = drives.isEmpty() ? 0 : drives.first();
    const QString running = version.isEmpty() ? tr("unknown (the read failed)") : version;
    const auto confirmed = QMessageBox::question(
        this, tr("Firmware download"),
        tr("Download %1 into drive %2 (slave %3), now running version %4?\nThe bus is taken "
           "down afterwards; connect again when it is done.")
            .arg(QFileInfo(path).fileName())
            .arg(kFirmwareDriveIndex)
            .arg(slave)
            .arg(running),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (confirmed != QMessageBox::Yes) {
        emit writeLog(tr("Firmware download into drive %1 (slave %2) cancelled.")
                          .arg(kFirmwareDriveIndex)
                          .arg(slave));
        return;
    }
    startFirmwareDownload(path, password);
}

void MainWindow::startFirmwareDownload(const QString& path, uint32_t password) {
    progress->setRange(0, 0);
    progress->setLabelText(tr("正在更新..."));
    progress->show();

    auto* watcher = new QFutureWatcher<int>(this);
    firmwareWatcher = watcher;
    connect(watcher, &QFutureWatcher<int>::finished, this, &MainWindow::onFirmwareDownloadFinished);
    ecmaster* const m = master;
    const QFuture<int> job = QtConcurrent::run(
        [m, path, password] { return m->downloadFirmware(path, kFirmwareDriveIndex, password); });
    trackMasterJob(job);
    watcher->setFuture(job);
}

void MainWindow::onFirmwareDownloadFinished() {
    progress->close();
    const int result = firmwareWatcher ? firmwareWatcher->result() : 0;

    // The drive has left OPERATIONAL for its bootloader: take the whole bus down, and the
    // operator connects afresh. A lost-drive report may have done so already; the handler must
    // not then start a new connection.
    if (liveTextSource(ui->pushButton_connect) == kDisconnectText) {
        emit writeLog(
            tr("The drive has left OPERATIONAL for its bootloader: the bus is taken "
               "down; connect again."));
        on_pushButton_connect_clicked();
    }

    if (result < 1) {
        QMessageBox::critical(this, tr("失败"), tr("固件写入失败!"), QMessageBox::Ok);
    } else {
        QMessageBox::information(this, tr("成功"), tr("固件写入成功!"), QMessageBox::Ok);
    }
    if (firmwareWatcher) {
        firmwareWatcher->deleteLater();
    }
}
