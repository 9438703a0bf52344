#include "factorywindow.h"

#include <QTabBar>

#include "ui_factorywindow.h"

FactoryWindow::FactoryWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::FactoryWindow) {
    ui->setupUi(this);
    // The form still carries the title of an older first station; the station now shows the
    // appearance check with its verdict on a second line.
    ui->tabWidget->tabBar()->setTabText(0, tr("外观测试\nPASS"));
}

FactoryWindow::~FactoryWindow() {
    delete ui;
}
