// The parameter page: one editor row per displayable drive parameter, the identity reads
// (software version, product batch, product type), Save, and the paced Read ALL / Write ALL runs.
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <optional>
#include <thread>

#include "ecmaster.h"
#include "mainwindow.h"
#include "model/paramtable.h"
#include "nowheeldoublespinbox.h"
#include "parametersets.h"
#include "transferclient.h"
#include "ui_mainwindow.h"

namespace {

// Pause between the steps of a Read ALL or Write ALL run, so the triggered transfers do not all
// queue up at once.
constexpr auto kRunStepPause = std::chrono::milliseconds(5);

// Identity parameters read first by Read ALL; they have fields of their own, not rows.
constexpr int kIdentityIds[] = {kParamIdSoftwareVersion, kParamIdProductBatch, kParamIdProductType};

// Room for the largest parameter (4 bytes).
constexpr int kParamBufferBytes = 4;

QString runName(bool writeRows) {
    return writeRows ? QCoreApplication::translate("MainWindow", "Write ALL")
                     : QCoreApplication::translate("MainWindow", "Read ALL");
}

QString getLine(const QString& name, const QString& value) {
    return QCoreApplication::translate("MainWindow", "Get \"%1\": %2").arg(name, value);
}

QString setLine(const QString& name, const QString& value) {
    return QCoreApplication::translate("MainWindow", "Set \"%1\": %2").arg(name, value);
}

// The number a log line gives for a value of a parameter: integers in decimal, floats in the
// general format with 6 significant digits.
QString loggedNumber(const ParamInfo& info, double value) {
    if (info.typeCode == kParamType32Bit && info.displayKind == kDisplayFloat) {
        return QString::number(value, 'g', 6);
    }
    return QString::number(static_cast<qint64>(value));
}

}  // namespace

// One parameter as read from the drive, ready to be shown.
struct MainWindow::ParamReading {
    int drive = 0;
    int id = 0;
    int status = kParamOk;
    QByteArray bytes;                 // what the buffer held after the transfer
    bool derivedProductType = false;  // product type unreadable: `bytes` hold the software version
    int derivedStatus = kParamOk;     // the software version's read behind a derivation
};

// One parameter to be written: the bytes for the drive and the number its log line gives.
struct MainWindow::ParamWrite {
    int id = 0;
    QByteArray bytes;
    QString logged;
};

// The transfer half of a parameter read; runs on the transfer worker. `announce` logs the one
// line that must come between the two transfers of a product-type derivation.
MainWindow::ParamReading MainWindow::fetchParameter(
    ecmaster* master, int drive, int id, const std::function<void(const QString&)>& announce) {
    ParamReading reading;
    reading.drive = drive;
    reading.id = id;
    reading.bytes = QByteArray(kParamBufferBytes, '\0');
    reading.status = parameterCode(master->parameterRead(drive, id, reading.bytes.data()));
    if (id == kParamIdProductType && reading.status == kParamFailed) {
        announce(QCoreApplication::translate("MainWindow", "读取产品类型失败，尝试重新解析"));
        reading.bytes = QByteArray(kParamBufferBytes, '\0');
        reading.derivedStatus = parameterCode(
            master->parameterRead(drive, kParamIdSoftwareVersion, reading.bytes.data()));
        reading.derivedProductType = true;
    }
    return reading;
}

QString MainWindow::shownParamName(int id) {
    return paramDisplayName(id);
}

void MainWindow::setupParameterPage() {
    const ParamTable& table = paramTable();
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        const int id = it.key();
        const ParamInfo& info = it.value();
        if (info.displayKind == kDisplayNone) {
            continue;
        }
        auto* row = new QHBoxLayout;
        row->setSpacing(4);
        row->setContentsMargins(6, 2, 6, 2);

        auto* label = new QLabel(shownParamName(id));
        auto* editor = new NoWheelDoubleSpinBox;
        editor->setObjectName(QStringLiteral("doubleSpinBox_param_%1").arg(id));
        editor->setDecimals(info.decimals);
        const EditorRange range = editorRangeFor(info.displayKind);
        editor->setRange(range.minimum, range.maximum);
        blankEditor(editor);
        auto* readButton = new QPushButton(tr("读取"));
        readButton->setObjectName(QStringLiteral("pushButton_paramRead_%1").arg(id));
        auto* writeButton = new QPushButton(tr("写入"));
        writeButton->setObjectName(QStringLiteral("pushButton_paramWrite_%1").arg(id));
        row->addWidget(label);
        row->addWidget(editor);
        row->addWidget(readButton);
        row->addWidget(writeButton);

        writeButton->setEnabled(info.access != kParamReadOnly);
        readButton->setEnabled(info.access != kParamWriteOnly);

        paramRows.insert(id, ParamRow{editor, readButton, writeButton});
        connect(readButton, &QPushButton::clicked, this, [this, id] { readParameterValue(id); });
        connect(writeButton, &QPushButton::clicked, this, [this, id, editor] {
            if (!editorShowsValue(editor)) {
                emit writeLog(tr("Skip \"%1\": no value shown").arg(shownParamName(id)));
                return;
            }
            writeParameterValue(id, static_cast<float>(editor->value()));
        });

        // Below the three identity rows; the layout makes the widgets children of the page.
        ui->verticalLayout_7->addLayout(row);
    }

    connect(ui->pushButton_ReadVersion, &QPushButton::clicked, this,
            [this] { readParameterValue(kParamIdSoftwareVersion); });
    connect(ui->pushButton_ReadPdtBatch, &QPushButton::clicked, this,
            [this] { readParameterValue(kParamIdProductBatch); });
    connect(ui->pushButton_ReadPdtType, &QPushButton::clicked, this,
            [this] { readParameterValue(kParamIdProductType); });
    // The drive stores its settings on this command whatever any editor holds.
    connect(ui->pushButton_Save, &QPushButton::clicked, this,
            [this] { writeParameterValue(kParamIdSaveSettings, 0.0f); });

    parameterSets = new ParameterSets(master, this);
    parameterSets->setWriteGate([this] { return mayWriteDrive(); });
    connect(parameterSets, &ParameterSets::logLine, this, &MainWindow::writeLog);
    // Rows written by an import: the editors of that drive would hold the old values, and a
    // Write ALL would put them back. Read them afresh.
    connect(parameterSets, &ParameterSets::parametersWritten, this, [this](int drive) {
        if (drive == currentMotorIndex && master->isConnected()) {
            startParameterRun(false, false);
        }
    });
}

void MainWindow::on_pushButton_ExportParams_clicked() {
    parameterSets->exportSet(currentMotorIndex);
}

void MainWindow::on_pushButton_ImportParams_clicked() {
    parameterSets->importSet(currentMotorIndex);
}

void MainWindow::on_pushButton_CompareDrives_clicked() {
    parameterSets->compareDrives();
}

void MainWindow::blankEditor(NoWheelDoubleSpinBox* editor) {
    editor->setValue(0);
    editor->clear();
}

bool MainWindow::editorShowsValue(const NoWheelDoubleSpinBox* editor) {
    return !editor->cleanText().trimmed().isEmpty();
}

void MainWindow::readParameterValue(int id) {
    if (!master->isConnected()) {
        emit writeLog(tr("设备未连接."));
        return;
    }
    const int drive = currentMotorIndex;
    setRowPending(id, true);
    ecmaster* const m = master;
    transfers->run(
        [m, drive, id](const TransferWorker::Cancelled&) {
            return fetchParameter(m, drive, id,
                                  [m](const QString& line) { emit m->writeLog(line); });
        },
        [this](const ParamReading& reading) {
            setRowPending(reading.id, false);
            showParameterReading(reading);
        },
        [this, id] { setRowPending(id, false); });
}

void MainWindow::setRowPending(int id, bool pending) {
    const auto row = paramRows.constFind(id);
    if (row == paramRows.cend()) {
        return;
    }
    // A pending row is blank: a Write ALL meanwhile skips it rather than send a stale value.
    if (pending) {
        blankEditor(row->editor);
    }
    row->editor->setPlaceholderText(pending ? tr("reading…") : QString());
}

void MainWindow::showParameterReading(const ParamReading& reading) {
    const int id = reading.id;
    const ParamInfo* info = findParam(id);
    if (info == nullptr) {
        return;
    }
    // The operator chose another drive meanwhile: this value is not the shown drive's.
    if (reading.drive != currentMotorIndex) {
        return;
    }
    const uint32_t raw = littleEndianValue(reading.bytes.left(info->size));
    const bool failed = reading.status != kParamOk &&
                        !(reading.derivedProductType && reading.derivedStatus == kParamOk);
    if (failed && (id == kParamIdSoftwareVersion || id == kParamIdProductBatch ||
                   id == kParamIdProductType)) {
        // An identity that could not be read says so; a number here would be taken for the
        // drive's.
        QLineEdit* field = id == kParamIdSoftwareVersion ? ui->lineEdit_Version
                           : id == kParamIdProductBatch  ? ui->lineEdit_PdtBatch
                                                         : ui->lineEdit_PdtType;
        field->setText(tr("read failed"));
        emit writeLog(tr("Get \"%1\": read failed")
                          .arg(id == kParamIdSoftwareVersion ? QStringLiteral("Software_Version")
                                                             : shownParamName(id)));
        return;  // what the drive said before still keys its fault words
    }

    if (id == kParamIdSoftwareVersion) {
        const auto version = static_cast<uint16_t>(raw);
        const QString text = versionText(version);
        identityOf(reading.drive).softwareVersion = text;
        ui->lineEdit_Version->setText(text);
        emit writeLog(tr("Get \"Software_Version\": 0x%1").arg(version, 0, 16));
        // Another firmware may define the fault bits differently: decode the words afresh.
        lastErrorWord = 0;
        lastDrvErrorWord = 0;
        return;
    }
    if (id == kParamIdProductBatch) {
        const int batch = batchNumber(raw);
        ui->lineEdit_PdtBatch->setText(QString::number(batch));
        emit writeLog(getLine(shownParamName(id), QString::number(batch)));
        return;
    }
    if (id == kParamIdProductType) {
        const QString productType =
            reading.status == kParamOk
                ? productTypeName(raw)
                : fallbackProductType(familyDigit(static_cast<uint16_t>(raw)));
        identityOf(reading.drive).productType = productType;
        ui->lineEdit_PdtType->setText(productType);
        emit writeLog(getLine(shownParamName(id), productType));
        return;
    }
    if (id == kParamIdSaveSettings || id == kParamIdSaveSettings + 1 || id > kParamIdProductBatch) {
        return;  // commands and the spare word are read but not shown
    }

    const auto row = paramRows.constFind(id);
    if (reading.status != kParamOk) {
        // The drive's value is unknown now: a blank editor is never written back.
        if (row != paramRows.cend()) {
            blankEditor(row->editor);
        }
        return;
    }
    const std::optional<double> value = editorValueFromBytes(id, reading.bytes);
    if (!value) {
        return;
    }
    // The torque constant is shown in thousandths but logged as the drive holds it.
    const QString logged = id == kParamIdTorqueConstant
                               ? QString::number(static_cast<uint16_t>(raw))
                               : loggedNumber(*info, *value);
    emit writeLog(getLine(shownParamName(id), logged));
    if (row == paramRows.cend()) {
        return;
    }
    // The editor would clamp a value past its range and show one the drive does not hold; Write
    // ALL would then put it into the drive. Such a value stays blank and the log tells why.
    NoWheelDoubleSpinBox* editor = row->editor;
    if (*value >= editor->minimum() && *value <= editor->maximum()) {
        editor->setValue(*value);
    } else {
        blankEditor(editor);
        emit writeLog(tr("\"%1\": %2 is beyond what the editor shows (%3 to %4); left blank")
                          .arg(shownParamName(id), logged)
                          .arg(editor->minimum())
                          .arg(editor->maximum()));
    }
}

std::optional<MainWindow::ParamWrite> MainWindow::prepareParameterWrite(int id, float value) {
    const ParamInfo* info = findParam(id);
    if (info == nullptr || id == kParamIdSoftwareVersion || id == kParamIdSaveSettings + 1 ||
        id >= kParamIdProductBatch) {
        return std::nullopt;  // identity fields and flags the drive sets itself are never written
    }

    ParamWrite write;
    write.id = id;
    if (id == kParamIdTorqueConstant) {
        // Scaled in single precision, as the value arrives: 1.234 becomes 1234, not 1233.
        const float scaled = value * 1000.0f;
        const auto raw = static_cast<uint16_t>(
            std::isfinite(scaled) && std::fabs(scaled) < 1e18f ? static_cast<int64_t>(scaled) : 0);
        write.bytes = QByteArray(info->size, '\0');
        write.bytes[0] = static_cast<char>(raw & 0xFFu);
        write.bytes[1] = static_cast<char>(raw >> 8);
        write.logged = QString::number(raw);
    } else {
        write.bytes = bytesFromEditorValue(id, static_cast<double>(value));
        // What the bytes carry, so the log shows the truncated number that was sent.
        write.logged = loggedNumber(*info, editorValueFromBytes(id, write.bytes).value_or(0.0));
    }
    if (id == kParamIdSaveSettings) {
        write.logged = QString::number(kSaveSettingsCommand);
    }
    return write;
}

void MainWindow::logParameterWrite(const ParamWrite& write, const TransferResult& result) {
    if (result.ok()) {
        emit writeLog(setLine(shownParamName(write.id), write.logged));
    }
}

void MainWindow::writeParameterValue(int id, float value) {
    if (!master->isConnected()) {
        emit writeLog(tr("设备未连接."));
        return;
    }
    if (!mayWriteDrive()) {
        return;
    }
    const std::optional<ParamWrite> write = prepareParameterWrite(id, value);
    if (!write) {
        return;
    }
    ecmaster* const m = master;
    const int drive = currentMotorIndex;
    transfers->run(
        [m, drive, w = *write](const TransferWorker::Cancelled&) {
            return m->parameterWrite(drive, w.id, w.bytes.constData());
        },
        [this, w = *write](const TransferResult& result) { logParameterWrite(w, result); });
}

void MainWindow::on_pushButton_ReadAll_clicked() {
    if (!master->isConnected()) {
        emit writeLog(tr("设备未连接."));
        return;
    }
    startParameterRun(true, false);
}

void MainWindow::on_pushButton_WriteAll_clicked() {
    if (!master->isConnected()) {
        emit writeLog(tr("设备未连接."));
        return;
    }
    startParameterRun(false, true);
}

void MainWindow::startParameterRun(bool readIdentity, bool writeRows) {
    // Two runs would interleave their transfers and their rows on one drive.
    if (paramRunActive) {
        emit writeLog(tr("Read ALL / Write ALL is running; wait for it to finish."));
        return;
    }
    if (writeRows && !mayWriteDrive()) {
        return;
    }
    // The steps are fixed here, on the GUI thread: the values a Write ALL sends are the ones the
    // editors show now. A read-only row has no write, a write-only row no read.
    struct Step {
        int id = 0;
        std::optional<ParamWrite> write;  // Write ALL: nothing when the editor shows no value
    };
    QList<Step> steps;
    for (auto it = paramRows.cbegin(); it != paramRows.cend(); ++it) {
        const QPushButton* button = writeRows ? it->writeButton : it->readButton;
        if (!button->isEnabled()) {
            continue;
        }
        Step step{it.key(), std::nullopt};
        if (writeRows && editorShowsValue(it->editor)) {
            step.write = prepareParameterWrite(it.key(), static_cast<float>(it->editor->value()));
        }
        steps.append(step);
        if (!writeRows) {
            setRowPending(it.key(), true);
        }
    }
    paramRunActive = true;
    ecmaster* const m = master;
    const int drive = currentMotorIndex;
    const auto rows = static_cast<int>(paramRows.size());
    const auto post = [this](std::function<void()> call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    };
    transfers->run(
        [this, m, drive, steps, rows, readIdentity, writeRows,
         post](const TransferWorker::Cancelled& cancelled) {
            const auto announce = [m](const QString& line) { emit m->writeLog(line); };
            if (readIdentity) {
                for (const int id : kIdentityIds) {
                    if (cancelled) {
                        return false;
                    }
                    const ParamReading reading = fetchParameter(m, drive, id, announce);
                    post([this, reading] { showParameterReading(reading); });
                    std::this_thread::sleep_for(kRunStepPause);
                }
            }
            int n = 0;
            for (const Step& step : steps) {
                if (cancelled) {
                    return false;
                }
                post([this, n, rows, writeRows] {
                    emit writeLog(
                        tr("%1: row %2 of %3").arg(runName(writeRows)).arg(n + 1).arg(rows));
                });
                ++n;
                if (!writeRows) {
                    const ParamReading reading = fetchParameter(m, drive, step.id, announce);
                    post([this, reading] {
                        setRowPending(reading.id, false);
                        showParameterReading(reading);
                    });
                } else if (!step.write) {
                    post([this, id = step.id] {
                        emit writeLog(tr("Skip \"%1\": no value shown").arg(shownParamName(id)));
                    });
                } else {
                    const TransferResult result =
                        m->parameterWrite(drive, step.write->id, step.write->bytes.constData());
                    post([this, w = *step.write, result] { logParameterWrite(w, result); });
                }
                std::this_thread::sleep_for(kRunStepPause);
            }
            return true;
        },
        [this, writeRows](bool completed) { endParameterRun(writeRows, completed); },
        [this, writeRows] { endParameterRun(writeRows, false); });
}

void MainWindow::endParameterRun(bool writeRows, bool completed) {
    paramRunActive = false;
    for (auto it = paramRows.cbegin(); it != paramRows.cend(); ++it) {
        it->editor->setPlaceholderText(QString());
    }
    emit writeLog(completed ? tr("%1 finished.").arg(runName(writeRows))
                            : tr("%1 stopped.").arg(runName(writeRows)));
}
