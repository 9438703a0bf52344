// The parameter page: one editor row per displayable drive parameter, the identity reads
// (software version, product batch, product type), Save, and the paced Read ALL / Write ALL runs.
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "ecmaster.h"
#include "mainwindow.h"
#include "model/paramtable.h"
#include "nowheeldoublespinbox.h"
#include "parametersets.h"
#include "ui_mainwindow.h"

namespace {

// Pause between the steps of a Read ALL or Write ALL run, so the triggered transfers do not all
// queue up at once.
constexpr auto kRunStepPause = std::chrono::milliseconds(5);

// Identity parameters read first by Read ALL; they have fields of their own, not rows.
constexpr int kIdentityIds[] = {kParamIdSoftwareVersion, kParamIdProductBatch, kParamIdProductType};

// Room for the largest parameter (4 bytes).
constexpr int kParamBufferBytes = 4;

const QString kNotConnected = QStringLiteral("设备未连接.");

QString getLine(const QString& name, const QString& value) {
    return QStringLiteral("Get \"%1\": %2").arg(name, value);
}

QString setLine(const QString& name, const QString& value) {
    return QStringLiteral("Set \"%1\": %2").arg(name, value);
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

// Between the window and its Read ALL / Write ALL workers. The workers run detached and use the
// master directly; the destructor sets `stop` and waits for `active` to reach zero before the
// master and the widgets go, so a window closed during a run never has a worker reaching into
// freed memory. Workers reach the widgets only through queued invocations on the window, which
// Qt drops once the window is destroyed.
struct MainWindow::ParamRunLink {
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable idle;
    int active = 0;  // guarded by mutex
};

// One parameter as read from the drive, ready to be shown.
struct MainWindow::ParamReading {
    int id = 0;
    int status = kParamOk;
    QByteArray bytes;                 // what the buffer held after the transfer
    bool derivedProductType = false;  // product type unreadable: `bytes` hold the software version
};

// The transfer half of a parameter read; safe on any thread. `announce` logs the one line that
// must come between the two transfers of a product-type derivation.
MainWindow::ParamReading MainWindow::fetchParameter(
    ecmaster* master, int drive, int id, const std::function<void(const QString&)>& announce) {
    ParamReading reading;
    reading.id = id;
    reading.bytes = QByteArray(kParamBufferBytes, '\0');
    reading.status = master->readParameter(static_cast<uint16_t>(drive), id, reading.bytes.data());
    if (id == kParamIdProductType && reading.status == kParamFailed) {
        announce(QStringLiteral("读取产品类型失败，尝试重新解析"));
        reading.bytes = QByteArray(kParamBufferBytes, '\0');
        master->readParameter(static_cast<uint16_t>(drive), kParamIdSoftwareVersion,
                              reading.bytes.data());
        reading.derivedProductType = true;
    }
    return reading;
}

void MainWindow::setupParameterPage() {
    paramRuns = std::make_shared<ParamRunLink>();

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

        auto* label = new QLabel(info.name);
        auto* editor = new NoWheelDoubleSpinBox;
        editor->setObjectName(QStringLiteral("doubleSpinBox_param_%1").arg(id));
        editor->setDecimals(info.decimals);
        const EditorRange range = editorRangeFor(info.displayKind);
        editor->setRange(range.minimum, range.maximum);
        blankEditor(editor);
        auto* readButton = new QPushButton(QStringLiteral("读取"));
        readButton->setObjectName(QStringLiteral("pushButton_paramRead_%1").arg(id));
        auto* writeButton = new QPushButton(QStringLiteral("写入"));
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
                emit writeLog(
                    QStringLiteral("Skip \"%1\": no value shown").arg(paramTable().value(id).name));
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
    connect(parameterSets, &ParameterSets::logLine, this, &MainWindow::writeLog);
    // Rows written by an import: the editors of that drive would hold the old values, and a
    // Write ALL would put them back. Read them afresh.
    connect(parameterSets, &ParameterSets::parametersWritten, this, [this](int drive) {
        if (drive == currentMotorIndex && master->connected) {
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
    if (!master->connected) {
        emit writeLog(kNotConnected);
        return;
    }
    const ParamReading reading = fetchParameter(
        master, currentMotorIndex, id, [this](const QString& line) { emit writeLog(line); });
    showParameterReading(reading);
}

void MainWindow::showParameterReading(const ParamReading& reading) {
    const int id = reading.id;
    const ParamInfo* info = findParam(id);
    if (info == nullptr) {
        return;
    }
    const uint32_t raw = littleEndianValue(reading.bytes.left(info->size));

    if (id == kParamIdSoftwareVersion) {
        const auto version = static_cast<uint16_t>(raw);
        softwareVersionText = versionText(version);
        ui->lineEdit_Version->setText(softwareVersionText);
        emit writeLog(QStringLiteral("Get \"Software_Version\": 0x%1").arg(version, 0, 16));
        // Another firmware may define the fault bits differently: decode the words afresh.
        lastErrorWord = 0;
        lastDrvErrorWord = 0;
        return;
    }
    if (id == kParamIdProductBatch) {
        const int batch = batchNumber(raw);
        ui->lineEdit_PdtBatch->setText(QString::number(batch));
        emit writeLog(getLine(info->name, QString::number(batch)));
        return;
    }
    if (id == kParamIdProductType) {
        if (reading.status == kParamOk) {
            productType = productTypeName(raw);
        } else if (reading.derivedProductType) {
            productType = fallbackProductType(familyDigit(static_cast<uint16_t>(raw)));
        } else {
            return;  // not connected or no such drive: the last product type stays
        }
        ui->lineEdit_PdtType->setText(productType);
        emit writeLog(getLine(info->name, productType));
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
    if (row != paramRows.cend()) {
        row->editor->setValue(*value);
    }
    // The torque constant is shown in thousandths but logged as the drive holds it.
    const QString logged = id == kParamIdTorqueConstant
                               ? QString::number(static_cast<uint16_t>(raw))
                               : loggedNumber(*info, *value);
    emit writeLog(getLine(info->name, logged));
}

void MainWindow::writeParameterValue(int id, float value) {
    if (!master->connected) {
        emit writeLog(kNotConnected);
        return;
    }
    const ParamInfo* info = findParam(id);
    if (info == nullptr || id == kParamIdSoftwareVersion || id == kParamIdSaveSettings + 1 ||
        id >= kParamIdProductBatch) {
        return;  // identity fields and flags the drive sets itself are never written
    }

    QByteArray bytes;
    QString logged;
    if (id == kParamIdTorqueConstant) {
        // Scaled in single precision, as the value arrives: 1.234 becomes 1234, not 1233.
        const float scaled = value * 1000.0f;
        const auto raw = static_cast<uint16_t>(
            std::isfinite(scaled) && std::fabs(scaled) < 1e18f ? static_cast<int64_t>(scaled) : 0);
        bytes = QByteArray(info->size, '\0');
        bytes[0] = static_cast<char>(raw & 0xFFu);
        bytes[1] = static_cast<char>(raw >> 8);
        logged = QString::number(raw);
    } else {
        bytes = bytesFromEditorValue(id, static_cast<double>(value));
        // What the bytes carry, so the log shows the truncated number that was sent.
        logged = loggedNumber(*info, editorValueFromBytes(id, bytes).value_or(0.0));
    }
    if (id == kParamIdSaveSettings) {
        logged = QString::number(kSaveSettingsCommand);
    }
    master->writeParameter(static_cast<uint16_t>(currentMotorIndex), id, bytes.constData());
    emit writeLog(setLine(info->name, logged));
}

void MainWindow::on_pushButton_ReadAll_clicked() {
    if (!master->connected) {
        emit writeLog(kNotConnected);
        return;
    }
    startParameterRun(true, false);
}

void MainWindow::on_pushButton_WriteAll_clicked() {
    if (!master->connected) {
        emit writeLog(kNotConnected);
        return;
    }
    startParameterRun(false, true);
}

namespace {

QString runName(bool writeRows) {
    return writeRows ? QStringLiteral("Write ALL") : QStringLiteral("Read ALL");
}

}  // namespace

void MainWindow::startParameterRun(bool readIdentity, bool writeRows) {
    // Two runs would interleave their transfers and their rows on one drive.
    if (paramRunActive) {
        emit writeLog(QStringLiteral("Read ALL / Write ALL is running; wait for it to finish."));
        return;
    }
    paramRunActive = true;
    const std::shared_ptr<ParamRunLink> link = paramRuns;
    {
        // Counted before the thread exists, so a destructor that follows at once waits for it.
        const std::lock_guard<std::mutex> lock(link->mutex);
        ++link->active;
    }
    ecmaster* const m = master;
    const int drive = currentMotorIndex;
    const QList<int> ids = paramRows.keys();

    std::thread([this, link, m, drive, ids, readIdentity, writeRows] {
        // Everything for the widgets and the log goes to the GUI thread as a queued call.
        const auto post = [this](std::function<void()> call) {
            QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
        };
        if (readIdentity) {
            for (const int id : kIdentityIds) {
                if (link->stop) {
                    break;
                }
                if (!m->connected) {
                    post([this] { emit writeLog(kNotConnected); });
                } else {
                    const ParamReading reading =
                        fetchParameter(m, drive, id, [&post, this](const QString& line) {
                            post([this, line] { emit writeLog(line); });
                        });
                    post([this, reading] { showParameterReading(reading); });
                }
                std::this_thread::sleep_for(kRunStepPause);
            }
        }
        // The rows' own transfers run on the GUI thread in trigger order; a disabled button
        // (read-only or write-only parameter) ignores its trigger.
        const auto rows = static_cast<int>(ids.size());
        for (int n = 0; n < rows; ++n) {
            if (link->stop) {
                break;
            }
            post([this, id = ids[n], n, rows, writeRows] {
                const auto row = paramRows.constFind(id);
                if (row != paramRows.cend()) {
                    emit writeLog(QStringLiteral("%1: row %2 of %3")
                                      .arg(runName(writeRows))
                                      .arg(n + 1)
                                      .arg(rows));
                    (writeRows ? row->writeButton : row->readButton)->click();
                }
            });
            std::this_thread::sleep_for(kRunStepPause);
        }
        post([this, writeRows] {
            paramRunActive = false;
            emit writeLog(QStringLiteral("%1 finished.").arg(runName(writeRows)));
        });
        {
            const std::lock_guard<std::mutex> lock(link->mutex);
            --link->active;
        }
        link->idle.notify_all();
    }).detach();
}

void MainWindow::stopParameterRuns() {
    if (!paramRuns) {
        return;
    }
    paramRuns->stop = true;
    std::unique_lock<std::mutex> lock(paramRuns->mutex);
    paramRuns->idle.wait(lock, [this] { return paramRuns->active == 0; });
}
