// Calibration and identification: procedures the drive runs by itself while the console starts,
// watches and records them.
#include <QCoreApplication>
#include <QMessageBox>
#include <QThread>

#include <bit>

#include "ecmaster.h"
#include "mainwindow.h"
#include "model/paramtable.h"
#include "transferclient.h"
#include "ui_mainwindow.h"

namespace {

// Written to the calibration parameter to start the drive's routine; it reads back 1 when done.
constexpr uint8_t kCalibrationCommand = 16;
constexpr uint8_t kCalibrationFinished = 1;

// Both procedures give up on the drive at this poll.
constexpr int kMaxPolls = 90;

// Rows are kept from the first second of the run to the 45th.
constexpr float kRowWindowStartS = 1.0f;
constexpr float kRowWindowEndS = 45.0f;

// Identification excites the motor in the sine-curve mode with this torque (N·m).
constexpr int kSineCurveItem = 3;
constexpr float kIdentificationTorque = 1.0f;
// Lets the mode reach the drive in a cycle of its own before the torque that starts the routine.
constexpr unsigned long kModeSettleMs = 5;

bool isMotorNumberChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u'_';
}

}  // namespace

void MainWindow::showElapsedSeconds(int seconds) {
    setLiveText(ui->label_calibratetime, QT_TR_NOOP("已进行%1秒"), QString::number(seconds));
}

bool MainWindow::isSafeMotorNumber(const QString& motor) {
    if (motor.isEmpty() || motor.size() > kMaxMotorNumberLength) {
        return false;
    }
    // No separators, dots or anything a file system might read specially.
    for (const QChar c : motor) {
        if (!isMotorNumberChar(c.unicode())) {
            return false;
        }
    }
    return true;
}

std::optional<float> MainWindow::identificationRowTime(uint64_t timestamp, uint64_t origin) {
    // Unsigned on purpose: a timestamp before the origin wraps to a huge count, far outside the
    // window. Single precision, as the rows are written.
    const auto counted = static_cast<float>(timestamp - origin);
    const auto seconds = static_cast<float>(static_cast<double>(counted) * 1e-9);
    if (seconds > kRowWindowStartS && seconds < kRowWindowEndS) {
        return seconds;
    }
    return std::nullopt;
}

void MainWindow::startProcedurePoll(void (MainWindow::*step)(QTimer*)) {
    auto* timer = new QTimer(this);
    procedurePoll = timer;
    elapsedSeconds = 0;
    connect(
        timer, &QTimer::timeout, this, [this, timer, step] { (this->*step)(timer); },
        Qt::DirectConnection);
    timer->start(procedurePollMs);
}

// --- calibration ---------------------------------------------------------------------------------

void MainWindow::on_button_calibrate_clicked() {
    if (liveTextSource(ui->button_calibrate) != kCalibrateIdle) {
        return;  // a run is in progress
    }
    if (!requireState(Connected)) {
        return;
    }
    emit writeLog(tr(">>> 开始校准"));
    ConsoleState = Testing;
    setLiveText(ui->button_calibrate, kCalibrateRunning);
    if (master->isConnected()) {
        ecmaster* const m = master;
        const int drive = currentMotorIndex;
        transfers->run(
            [m, drive](const TransferWorker::Cancelled&) {
                // The parameter is one unsigned byte.
                const uint8_t command = kCalibrationCommand;
                return m->parameterWrite(drive, kParamIdCalibration, &command);
            },
            [this](const TransferResult& result) {
                if (result.ok()) {
                    emit writeLog(tr("Set \" %1\": %2")
                                      .arg(shownParamName(kParamIdCalibration))
                                      .arg(kCalibrationCommand));
                }
            });
    } else {
        emit writeLog(tr("设备未连接."));
    }
    setTestLock(true);
    startProcedurePoll(&MainWindow::calibrationPoll);
}

void MainWindow::calibrationPoll(QTimer* timer) {
    // One read at a time: a tick while the last read is still under way waits for the next.
    if (calibrationReadPending) {
        return;
    }
    calibrationReadPending = true;
    ecmaster* const m = master;
    const int drive = currentMotorIndex;
    transfers->run(
        [m, drive](const TransferWorker::Cancelled&) {
            // Zero before the read: a read that fails leaves it there and never counts as
            // finished.
            uint8_t value = 0;
            m->parameterRead(drive, kParamIdCalibration, &value);
            return value;
        },
        [this, timer = QPointer<QTimer>(timer)](uint8_t value) {
            calibrationReadPending = false;
            // The run ended meanwhile (a lost drive, the window's bus going down).
            if (timer.isNull() || procedurePoll != timer) {
                return;
            }
            calibrationStep(timer, value);
        },
        [this] { calibrationReadPending = false; });
}

void MainWindow::calibrationStep(QTimer* timer, uint8_t value) {
    ++elapsedSeconds;
    if (value != kCalibrationFinished && elapsedSeconds < kMaxPolls) {
        showElapsedSeconds(elapsedSeconds);
        return;
    }
    timer->stop();
    timer->deleteLater();
    if (value == kCalibrationFinished) {
        emit writeLog(tr(">>> 校准成功"));
        setLiveText(ui->label_calibratetime, QT_TR_NOOP("校准成功"));
    } else {
        emit writeLog(tr(">>> 校准超时，请重启电机并重新连接"));
        setLiveText(ui->label_calibratetime, QT_TR_NOOP("校准失败"));
    }
    setTestLock(false);
    ConsoleState = stateAfterProcedure(Connected);
    setLiveText(ui->button_calibrate, kCalibrateIdle);
}

// --- identification ------------------------------------------------------------------------------

void MainWindow::on_button_identify_clicked() {
    if (liveTextSource(ui->button_identify) != kIdentifyIdle) {
        return;  // a run is in progress
    }
    if (!requireState(Enabled)) {
        return;
    }
    if (recordingState != RecordingIdle) {
        emit writeLog(tr("正在辨识"));
        return;
    }
    if (ui->doubleSpinBox_Velocity->value() != 0.0) {
        emit writeLog(tr("请先停止电机"));
        return;
    }
    // The motor number becomes part of a file name: anything that could lead out of the result
    // directory is refused like a missing number.
    const QString motor = ui->lineEdit_motorid->text();
    if (!isSafeMotorNumber(motor)) {
        QMessageBox::information(this, tr("警告"), tr("请先输入电机编号，再进行辨识！"),
                                 QMessageBox::Ok);
        return;
    }
    const QString path =
        dataFolder + QStringLiteral("/result/identify_") + motor + QStringLiteral(".csv");
    const auto answer = QMessageBox::question(
        this, tr("辨识"),
        tr("请确认电机编号为%1。点击Yes开始辨识，结束后文件将保存至:%2").arg(motor, path),
        QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) {
        return;
    }
    // The question waited in an event loop of its own; a drive lost meanwhile left Enabled.
    if (!requireState(Enabled)) {
        return;
    }

    // The rows go to a temporary file beside the result; the previous result stays until this
    // run has proved good.
    identifyFile.setFileName(path);
    if (!identifyFile.open(QIODevice::WriteOnly | QIODevice::Text)) {
        emit writeLog(tr("无法打开辨识文件"));
        return;
    }
    identifyStream.setDevice(&identifyFile);
    identifyStream.setRealNumberNotation(QTextStream::FixedNotation);
    identifyStream.setRealNumberPrecision(4);

    recordingState = RecordingArmed;
    ConsoleState = Testing;
    setTestLock(true);
    emit writeLog(tr(">>> 开始辨识"));
    setLiveText(ui->button_identify, kIdentifyRunning);

    // The drive reports its identification values in the torque and velocity slots' places.
    paraPlot.curves[0]->setName(QStringLiteral("iq"));
    paraPlot.curves[2]->setName(QStringLiteral("vel_middle"));

    // The sine-curve mode with a torque starts the drive's identification routine.
    ui->comboBox_mode->setCurrentIndex(kSineCurveItem);
    QThread::msleep(kModeSettleMs);
    master->setCommandValue(kCmdTorque, kIdentificationTorque, currentMotorIndex);

    startProcedurePoll(&MainWindow::identificationPoll);
}

void MainWindow::identificationPoll(QTimer* timer) {
    const int state = master->driveStateOf(currentMotorIndex);
    ++elapsedSeconds;
    // The drive ends its routine by leaving Operation enabled on its own.
    const bool finished = state == kDriveReadyToSwitchOn || state == kDriveSwitchedOn;
    // A row that could not be written ends the run at once: the file would miss it.
    const bool writeFailed = identifyStream.status() != QTextStream::Ok;
    if (!finished && !writeFailed && elapsedSeconds < kMaxPolls) {
        showElapsedSeconds(elapsedSeconds);
        return;
    }
    timer->stop();
    timer->deleteLater();
    if (finishIdentificationFile(finished && !writeFailed)) {
        emit writeLog(tr(">>> 辨识成功"));
        setLiveText(ui->label_calibratetime, QT_TR_NOOP("辨识成功"));
    } else {
        if (finished || writeFailed) {
            emit writeLog(tr(">>> 辨识结果文件写入失败: %1").arg(identifyFile.fileName()));
        } else {
            emit writeLog(tr(">>> 辨识超时，请重启电机并重新连接"));
        }
        setLiveText(ui->label_calibratetime, QT_TR_NOOP("辨识失败"));
    }

    ConsoleState = stateAfterProcedure(Enabled);
    master->setCommandValue(kCmdTorque, 0.0f, currentMotorIndex);
    // With the console Enabled the button's action disables the drive.
    if (ConsoleState == Enabled) {
        on_pushButton_enable_clicked();
    }
    setTestLock(false);
    setLiveText(ui->button_identify, kIdentifyIdle);
}

bool MainWindow::finishIdentificationFile(bool success) {
    recordingState = RecordingIdle;
    identifyStream.flush();
    const bool streamOk = identifyStream.status() == QTextStream::Ok;
    identifyStream.setDevice(nullptr);
    labelPlots();
    if (!identifyFile.isOpen()) {
        return false;
    }
    if (success && streamOk) {
        // Renames the temporary file over the previous result; fails on any earlier write error.
        return identifyFile.commit();
    }
    identifyFile.cancelWriting();
    identifyFile.commit();  // removes the temporary file, leaves the previous result alone
    return false;
}

void MainWindow::abortProcedurePoll() {
    if (!procedurePoll) {
        return;
    }
    procedurePoll->stop();
    procedurePoll->deleteLater();
    procedurePoll = nullptr;
    if (liveTextSource(ui->button_calibrate) == kCalibrateRunning) {
        setLiveText(ui->label_calibratetime, QT_TR_NOOP("校准失败"));
        setLiveText(ui->button_calibrate, kCalibrateIdle);
        emit writeLog(tr(">>> 校准中断：电机已断开"));
    }
    if (liveTextSource(ui->button_identify) == kIdentifyRunning) {
        finishIdentificationFile(false);
        setLiveText(ui->label_calibratetime, QT_TR_NOOP("辨识失败"));
        setLiveText(ui->button_identify, kIdentifyIdle);
        emit writeLog(tr(">>> 辨识中断：电机已断开"));
    }
}

void MainWindow::recordIdentificationSample(const TCiA402_GetValue& data, uint64_t timestamp) {
    if (recordingState == RecordingArmed) {
        recordingState = RecordingActive;
        recordingOrigin = timestamp;
        return;
    }
    if (recordingState != RecordingActive || identifyStream.device() == nullptr) {
        return;
    }
    const std::optional<float> seconds = identificationRowTime(timestamp, recordingOrigin);
    if (!seconds) {
        return;
    }
    // While identifying, the drive puts single-precision values into the two 32-bit fields.
    const int32_t velocityBits = data.velocity;
    const int32_t positionBits = data.position;
    const auto vel = std::bit_cast<float>(velocityBits);
    const auto iq = std::bit_cast<float>(positionBits);
    identifyStream << *seconds << " " << vel << " " << iq << "\n";
    // Each row reaches the disk at once, so a full disk shows at the row that met it.
    identifyStream.flush();

    // While the parameter plot runs, its first and third curves show iq and vel_middle.
    if (const std::optional<double> key = nextPlotKey(paraPlot)) {
        paraPlot.points[0]->add(QCPGraphData(*key, static_cast<double>(iq)));
        paraPlot.points[2]->add(QCPGraphData(*key, static_cast<double>(vel)));
    }
}
