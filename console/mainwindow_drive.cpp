// The operator's hand on the drives: enable, quick stop, drive and mode selection, setpoints.
#include <QFutureWatcher>
#include <QShortcut>
#include <QSignalBlocker>
#include <QtConcurrent/QtConcurrentRun>

#include "ecmaster.h"
#include "mainwindow.h"
#include "nowheeldoublespinbox.h"
#include "ui_mainwindow.h"

namespace {

// Mode of operation written to every drive for an item of comboBox_mode; no item (-1) means the
// speed ramp.
uint16_t modeCodeForItem(int item) {
    return item >= 0 && item < kModeItemCount ? kModeItemCodes[item] : kModeSpeedRamp;
}

}  // namespace

void MainWindow::connectDriveControls() {
    connect(ui->pushButton_QuickStop, &QPushButton::clicked, this, &MainWindow::quickStop);
    // STOP under one key wherever the focus is in the window. A dialog is a window of its own, so
    // there Esc keeps closing the dialog.
    auto* stopKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stopKey->setContext(Qt::WindowShortcut);
    connect(stopKey, &QShortcut::activated, this, &MainWindow::quickStop);
    const auto setpoint = [this](QPushButton* button, QDoubleSpinBox* box, int code) {
        connect(button, &QPushButton::clicked, this, [this, box, code] {
            if (master->isConnected()) {
                master->setCommandValue(code, static_cast<float>(box->value()), currentMotorIndex);
            } else {
                emit writeLog(tr("设备未连接."));
            }
        });
    };
    setpoint(ui->pushButton_velocity, ui->doubleSpinBox_velocity, kCmdVelocity);
    setpoint(ui->pushButton_position, ui->doubleSpinBox_position, kCmdPosition);
    setpoint(ui->pushButton_torque, ui->doubleSpinBox_torque, kCmdTorque);
    setpoint(ui->pushButton_Kp, ui->doubleSpinBox_Kp, kCmdKp);
    setpoint(ui->pushButton_Kd, ui->doubleSpinBox_Kd, kCmdKd);
}

void MainWindow::quickStop() {
    if (!master->isConnected()) {
        emit writeLog(tr("设备未连接."));
        return;
    }
    // CiA 402 quick stop; sent whatever the console's state and whatever transfers run: it only
    // writes the command records the next cycle sends. During the multi-joint test every drive
    // turns, so every drive gets it.
    QList<int> drives;
    if (multiTestRunning) {
        for (int i = 0; i < master->driveCount(); ++i) {
            drives.append(i);
        }
    } else {
        drives.append(currentMotorIndex);
    }
    const QList<int> reached = master->quickStop(drives);
    QStringList names;
    for (const int drive : reached) {
        names.append(QString::number(drive));
    }
    emit writeLog(tr("STOP: quick stop sent to drive(s) %1.")
                      .arg(names.isEmpty() ? tr("none") : names.join(u',')));
}

void MainWindow::showCommandedSetpoints() {
    const QList<int32_t> drives = master->validDriveList();
    if (currentMotorIndex < 0 || currentMotorIndex >= drives.size()) {
        return;
    }
    const App_SetValue c = master->commandRecord(drives[currentMotorIndex]);
    ui->doubleSpinBox_torque->setValue(static_cast<double>(c.torque));
    ui->doubleSpinBox_velocity->setValue(static_cast<double>(c.velocity));
    ui->doubleSpinBox_position->setValue(static_cast<double>(c.position));
}

void MainWindow::zeroSetpoints() {
    const std::pair<QDoubleSpinBox*, int> rows[] = {{ui->doubleSpinBox_torque, kCmdTorque},
                                                    {ui->doubleSpinBox_position, kCmdPosition},
                                                    {ui->doubleSpinBox_velocity, kCmdVelocity},
                                                    {ui->doubleSpinBox_Kp, kCmdKp},
                                                    {ui->doubleSpinBox_Kd, kCmdKd}};
    for (const auto& [box, code] : rows) {
        box->setValue(0);
        master->setCommandValue(code, 0.0f, currentMotorIndex);
    }
}

void MainWindow::startDriveJob(bool enable, std::function<void(bool)> onEnd) {
    ++driveJobs;
    auto* watcher = new QFutureWatcher<bool>(this);
    connect(watcher, &QFutureWatcher<bool>::finished, this, [this, watcher, onEnd] {
        --driveJobs;
        onEnd(watcher->result());
        watcher->deleteLater();
    });
    ecmaster* const m = master;
    const int index = currentMotorIndex;
    const QFuture<bool> job =
        enable ? QtConcurrent::run([m, index] { return m->enableDrive(index); })
               : QtConcurrent::run([m, index] { return m->disableDrive(index); });
    trackMasterJob(job);
    watcher->setFuture(job);
}

void MainWindow::on_pushButton_enable_clicked() {
    const QByteArray text = liveTextSource(ui->pushButton_enable);
    if (text == kEnableText) {
        if (!requireState(Connected)) {
            return;
        }
        const int state = master->driveStateOf(currentMotorIndex);
        if (state == kDriveFault || state == kDriveFaultReaction) {
            // The walk refuses it too; the operator learns why and what to do.
            emit writeLog(tr("电机%1处于故障状态，请先复位故障 (Drive > Reset fault)")
                              .arg(currentMotorIndex));
        }
        setLiveText(ui->pushButton_enable, kEnablingText);
        // Writes the selected mode of operation into every drive before the enable starts.
        emit ui->comboBox_mode->currentIndexChanged(ui->comboBox_mode->currentIndex());
        startDriveJob(true, [this](bool ok) {
            // A lost drive may have taken the bus down during the walk; its handler has reset
            // the button and the state already.
            if (ConsoleState != Connected) {
                return;
            }
            // The walk made the setpoints neutral; the boxes show what the drive now holds.
            showCommandedSetpoints();
            if (ok) {
                ConsoleState = Enabled;
                emit writeLog(tr("Enable Success."));
                setLiveText(ui->pushButton_enable, kDisableText);
            } else {
                emit writeLog(tr("Enable Fail."));
                setLiveText(ui->pushButton_enable, kEnableText);
            }
        });
    } else if (text == kDisableText) {
        if (!requireState(Enabled)) {
            return;
        }
        setLiveText(ui->pushButton_enable, kDisablingText);
        startDriveJob(false, [this](bool ok) {
            if (ConsoleState != Enabled) {
                return;  // the bus went down meanwhile
            }
            if (ok) {
                ConsoleState = Connected;
                emit writeLog(tr("Disable success."));
                setLiveText(ui->pushButton_enable, kEnableText);
                zeroSetpoints();
            } else {
                emit writeLog(tr("Disable Fail."));
                setLiveText(ui->pushButton_enable, kDisableText);
            }
        });
    }
    // "Enabling" and "Disabling": a transition is running; the click is ignored.
}

void MainWindow::on_comboBox_index_currentIndexChanged(int index) {
    if (!requireState(Connected)) {
        const QSignalBlocker blocker(ui->comboBox_index);
        ui->comboBox_index->setCurrentIndex(currentMotorIndex);
        return;
    }
    if (index == currentMotorIndex) {
        return;
    }
    currentMotorIndex = index;
    zeroSetpoints();
    // The values shown belong to the previous drive; the identity read at connect is this one's.
    showDriveIdentity();
    ui->lineEdit_PdtBatch->clear();
    for (const ParamRow& row : std::as_const(paramRows)) {
        blankEditor(row.editor);
    }
    master->selectDrive(currentMotorIndex);
    emit writeLog(tr("Current Motor Index: %1").arg(currentMotorIndex));
}

void MainWindow::on_comboBox_mode_currentIndexChanged(int index) {
    emit writeLog(tr("change mode:%1").arg(index));

    const int item = ui->comboBox_mode->currentIndex();
    const uint16_t code = modeCodeForItem(item);
    if (item == 1) {
        ui->doubleSpinBox_position->setValue(static_cast<double>(lastPosition));
    }

    setRoundTripMode(index);

    master->setCommandWordAll(kCmdMode, code);
}

void MainWindow::deal_trans_pdo_data(const App_SetValue* setCommand) {
    emit writeLog(tr("command: %1 ").arg(static_cast<double>(setCommand->velocity), 0, 'g', 6));
}
