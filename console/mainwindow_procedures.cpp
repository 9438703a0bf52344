// Calibration and identification: procedures the drive runs by itself while the console starts,
// watches and records them.
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::showElapsedSeconds(int seconds) {
    ui->label_calibratetime->setText(QStringLiteral("已进行%1秒").arg(seconds));
}

void MainWindow::on_button_calibrate_clicked() {}

void MainWindow::on_button_identify_clicked() {}
