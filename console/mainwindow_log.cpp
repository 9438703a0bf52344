// The log pane and the running log file.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QSaveFile>
#include <QTemporaryFile>

#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::openRunningLog() {
    // Lives as long as the window and is removed with it; only a save keeps its lines.
    logFile = new QTemporaryFile(this);
    if (logFile->open()) {
        logFileName = logFile->fileName();
        logFile->write((runningLogLanguageLine() + u'\n').toUtf8());
        logFile->flush();
    }
}

void MainWindow::writeToPlainText(QString text) {
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss: ")) + text;
    ui->textBrowserLogs->appendPlainText(line);
    if (logFile && logFile->isOpen()) {
        // Flushed per line so that a crash loses nothing that was shown.
        logFile->write((line + u'\n').toUtf8());
        logFile->flush();
    }
}

void MainWindow::writeToLogFile(const QString& text) {
    if (logFile && logFile->isOpen()) {
        const QString line =
            QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss: ")) + text;
        logFile->write((line + u'\n').toUtf8());
        logFile->flush();
    }
}

void MainWindow::on_pushButtonClear_clicked() {
    // The pane only: a later save still holds every line since start.
    ui->textBrowserLogs->clear();
}

void MainWindow::on_pushButton_SaveFile_clicked() {
    const QString defaultName =
        QStringLiteral("LOG_") +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmm")) +
        QStringLiteral(".txt");
    const QString target = QFileDialog::getSaveFileName(this, tr("保存日志文件"),
                                                        QDir(dataFolder).filePath(defaultName),
                                                        tr("Text Files (*.txt);;All Files (*)"));
    if (target.isEmpty()) {
        return;
    }
    // Nothing to save: the file chosen is left as it is.
    if (!logFile || !logFile->isOpen()) {
        QMessageBox::warning(this, tr("保存失败"), tr("无法读取临时日志文件."));
        return;
    }
    // Written beside the target and renamed over it only once whole: a full disk or a failed
    // write leaves an existing file as it was.
    QSaveFile out(target);
    // The system's reason below the message.
    const auto refuse = [this, &out](const QString& text) {
        QMessageBox box(QMessageBox::Warning, tr("保存失败"), text, QMessageBox::Ok, this);
        box.setInformativeText(out.errorString());
        box.exec();
    };
    if (!out.open(QIODevice::WriteOnly | QIODevice::Text)) {
        refuse(tr("无法保存日志文件到指定路径."));
        return;
    }
    // Reading leaves the position at the end, so later lines append after the saved ones.
    logFile->seek(0);
    const QByteArray lines = logFile->readAll();
    if (out.write(lines) != lines.size() || !out.commit()) {
        refuse(tr("日志文件写入失败."));
        return;
    }
    QMessageBox::information(this, tr("保存成功"), tr("日志已成功保存."));
}
