// The round-trip and multi-joint tests, and the lock every test procedure puts over the
// connection and selection controls while it runs.
#include <QFutureWatcher>
#include <QTabBar>
#include <QtConcurrent/QtConcurrentRun>

#include "ecmaster.h"
#include "mainwindow.h"
#include "roundtriptimer.h"
#include "ui_mainwindow.h"

namespace {

// Velocity every drive is given during the multi-joint test, turn/s.
constexpr float kMultiTestVelocity = 1.0f;

}  // namespace

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

// --- round trip ----------------------------------------------------------------------------------

void MainWindow::on_button_roundtrip_clicked() {
    const bool starting = liveTextSource(ui->button_roundtrip) == kTestStartText;
    if (starting) {
        if (!requireState(Enabled)) {
            return;
        }
        setTestLock(true);
        setLiveText(ui->button_roundtrip, kTestStopText);
        ConsoleState = Testing;
        roundtripTimer->interval = roundTripMilliseconds(ui->RoundTripIntervalInput->value());
        roundtripTimer->totalTime = roundTripMilliseconds(ui->RoundTripTimeInput->value());
        emit writeLog(tr(">>> start Roundtrip"));
        roundtripTimer->start();
    } else {
        // The operator's Stop and the end of the total time take the same way out.
        setTestLock(false);
        ConsoleState = stateAfterProcedure(Enabled);
        setLiveText(ui->button_roundtrip, kTestStartText);
        roundtripTimer->stop();
        master->setCommandValue(roundTripCode, 0.0f, currentMotorIndex);
        emit writeLog(tr(">>> Stop Roundtrip"));
    }
    ui->RoundTripIntervalInput->setReadOnly(starting);
    ui->RoundTripTimeInput->setReadOnly(starting);
    ui->doubleSpinBox_roundtripfirst->setReadOnly(starting);
    ui->doubleSpinBox_roundtripsecond->setReadOnly(starting);
}

void MainWindow::sendRoundTripStep(int runtimes) {
    const double value = runtimes % 2 == 0 ? ui->doubleSpinBox_roundtripfirst->value()
                                           : ui->doubleSpinBox_roundtripsecond->value();
    master->setCommandValue(roundTripCode, static_cast<float>(value), currentMotorIndex);
}

void MainWindow::setRoundTripMode(int index) {
    // The operating modes with a loop to drive back and forth, by item of the mode selector.
    struct RoundTripLoop {
        int item;
        const char* label;  // translated where shown
        int code;
        const char16_t* loopName;
    };
    static constexpr RoundTripLoop kLoops[] = {
        {0, QT_TR_NOOP("速度环往返参数 (turn/s)"), kCmdVelocity, u"速度环"},
        {1, QT_TR_NOOP("位置环往返参数 (turn)"), kCmdPosition, u"位置环"},
        {4, QT_TR_NOOP("电流环往返参数 (Nm)"), kCmdTorque, u"电流环"},
    };
    for (const RoundTripLoop& loop : kLoops) {
        if (loop.item == index) {
            ui->widget_2->show();
            setLiveText(ui->RoundTripLabel, loop.label);
            roundTripCode = loop.code;
            roundTripLoopName = QString::fromUtf16(loop.loopName);
            return;
        }
    }
    // No loop to drive back and forth: the test cannot be started in this mode.
    ui->widget_2->hide();
}

// --- multi-joint test ----------------------------------------------------------------------------

void MainWindow::on_button_multitest_clicked() {
    if (liveTextSource(ui->button_multitest) == kTestStartText) {
        if (!requireState(Connected)) {
            return;
        }
        emit writeLog(tr(">>> 开始多关节测试"));
        setTestLock(true);
        ConsoleState = Testing;
        multiTestRunning = true;
        // The speed ramp; the mode handler writes it into every drive (only if it changes).
        ui->comboBox_mode->setCurrentIndex(0);
        startMultiTestJob(true, &MainWindow::onMultiTestEnabled);
    } else {
        if (!requireState(Testing)) {
            return;
        }
        startMultiTestJob(false, &MainWindow::onMultiTestDisabled);
    }
}

void MainWindow::startMultiTestJob(bool enable,
                                   void (MainWindow::*handler)(QFutureWatcher<bool>*)) {
    ++driveJobs;
    auto* watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcher<bool>::finished, this, [this, watcher, handler] {
        --driveJobs;
        (this->*handler)(watcher);
    });
    ecmaster* const m = master;
    QFuture<bool> job = enable ? QtConcurrent::run([m] { return m->enableAllDrives(); })
                               : QtConcurrent::run([m] { return m->disableAllDrives(); });
    trackMasterJob(job);
    watcher->setFuture(job);
}

void MainWindow::onMultiTestEnabled(QFutureWatcher<bool>* watcher) {
    watcher->deleteLater();
    if (!multiTestRunning) {
        return;  // a lost drive ended the test meanwhile
    }
    if (watcher->result()) {
        master->setCommandValueAll(kCmdVelocity, kMultiTestVelocity);
        setLiveText(ui->button_multitest, kTestStopText);
    } else {
        setTestLock(false);
        emit writeLog(tr(">>> 上使能所有电机失败。"));
        ConsoleState = stateAfterProcedure(Connected);
        multiTestRunning = false;
    }
}

void MainWindow::onMultiTestDisabled(QFutureWatcher<bool>* watcher) {
    watcher->deleteLater();
    if (!multiTestRunning) {
        return;
    }
    if (watcher->result()) {
        ConsoleState = stateAfterProcedure(Connected);
        multiTestRunning = false;
        emit writeLog(tr(">>> 停止多关节测试"));
        setLiveText(ui->button_multitest, kTestStartText);
        zeroSetpoints();
        setTestLock(false);
    } else {
        // Still running: the operator can press Stop again.
        emit writeLog(tr(">>> 下使能所有电机失败"));
    }
}

// --- a lost drive ------------------------------------------------------------------------------

int MainWindow::stateAfterProcedure(int state) const {
    return master->isConnected() ? state : NotConnected;
}

void MainWindow::endProceduresWithoutBus() {
    if (liveTextSource(ui->button_roundtrip) == kTestStopText) {
        roundtripTimer->stop();
        setLiveText(ui->button_roundtrip, kTestStartText);
        for (QAbstractSpinBox* box : std::initializer_list<QAbstractSpinBox*>{
                 ui->RoundTripIntervalInput, ui->RoundTripTimeInput,
                 ui->doubleSpinBox_roundtripfirst, ui->doubleSpinBox_roundtripsecond}) {
            box->setReadOnly(false);
        }
        emit writeLog(tr(">>> Stop Roundtrip"));
    }
    if (multiTestRunning) {
        multiTestRunning = false;
        setLiveText(ui->button_multitest, kTestStartText);
        emit writeLog(tr(">>> 停止多关节测试"));
    }
    abortProcedurePoll();
    setTestLock(false);
    ConsoleState = NotConnected;
}
