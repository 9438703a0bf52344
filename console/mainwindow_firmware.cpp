// The firmware upgrade: a file and the bootloader's password from the operator, the FoE download
// on the thread pool behind a busy dialog, then the bus taken down and the outcome reported.
#include <QFileDialog>
#include <QFutureWatcher>
#include <QMessageBox>
#include <QProgressDialog>
#include <QtConcurrent/QtConcurrentRun>

#include "ecmaster.h"
#include "mainwindow.h"
#include "passworddialog.h"
#include "ui_mainwindow.h"

namespace {

// The download always goes to the first drive of the bus, whichever drive is operated.
constexpr int kFirmwareDriveIndex = 0;

}  // namespace

void MainWindow::on_pushButton_Upgrade_clicked() {
    if (!requireState(Connected)) {
        return;
    }
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("选择固件文件"), QString(), QStringLiteral("固件文件 (*.efw *.bin)"));
    if (path.isEmpty()) {
        return;
    }
    uint32_t password = 0;
    const int answer = askFirmwarePassword(this, password);
    if (answer == kPasswordCancelled) {
        return;
    }
    if (answer != kPasswordAccepted) {
        QMessageBox::critical(this, QStringLiteral("ERROR"), QStringLiteral("输入错误"));
        return;
    }

    progress->setRange(0, 0);
    progress->setLabelText(QStringLiteral("正在更新..."));
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
    if (ui->pushButton_connect->text() == QLatin1String("Disconnect")) {
        on_pushButton_connect_clicked();
    }

    if (result < 1) {
        QMessageBox::critical(this, QStringLiteral("失败"), QStringLiteral("固件写入失败!"),
                              QMessageBox::Ok);
    } else {
        QMessageBox::information(this, QStringLiteral("成功"), QStringLiteral("固件写入成功!"),
                                 QMessageBox::Ok);
    }
    if (firmwareWatcher) {
        firmwareWatcher->deleteLater();
    }
}
