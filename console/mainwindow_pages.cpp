// Handlers of the test pages. They are bound by name when the ui is built and stay without effect
// until their pages are wired.
#include "mainwindow.h"

void MainWindow::on_button_roundtrip_clicked() {}

void MainWindow::setRoundTripMode(int index) {
    Q_UNUSED(index);
}

void MainWindow::on_button_multitest_clicked() {}

void MainWindow::on_button_calibrate_clicked() {}

void MainWindow::on_button_identify_clicked() {}
