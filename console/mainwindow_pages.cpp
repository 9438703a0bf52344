// The round-trip and multi-joint tests, and the lock every test procedure puts over the
// connection and selection controls while it runs.
#include <QTabBar>

#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::setTestLock(bool on) {
    if (on) {
        // The rows may have moved since the last resize; cover them where they are now.
        overlayButtons1->setGeometry(ui->ButtonsWidget1->geometry());
        overlayButtons2->setGeometry(ui->ButtonsWidget2->geometry());
        overlayButtons1->show();
        overlayButtons2->show();
        ui->tabWidget->tabBar()->setEnabled(false);
    } else {
        overlayButtons1->hide();
        overlayButtons2->hide();
        ui->tabWidget->tabBar()->setEnabled(true);
    }
}

void MainWindow::on_button_roundtrip_clicked() {}

void MainWindow::setRoundTripMode(int index) {
    Q_UNUSED(index);
}

void MainWindow::on_button_multitest_clicked() {}
