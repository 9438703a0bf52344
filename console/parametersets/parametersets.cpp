#include "parametersets.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSaveFile>

#include "ecmaster.h"
#include "model/paramtable.h"
#include "parametercompare.h"
#include "transferclient.h"

namespace {

// A parameter's name as the operator reads it; the table's own name stays the key in files.
QString shownName(int id) {
    return paramDisplayName(id);
}

QStringList paramNames(const QList<int>& ids) {
    QStringList names;
    for (const int id : ids) {
        names << QStringLiteral("%1 %2").arg(id).arg(shownName(id));
    }
    return names;
}

}  // namespace

ParameterSets::ParameterSets(ecmaster* m, QWidget* w) : QObject(w), master(m), window(w) {
    chooseFile = [this](bool save, const QString& suggested) {
        const QString filter = tr("Parameter sets (*.yaml *.yml);;All files (*)");
        return save ? QFileDialog::getSaveFileName(window, tr("Export parameters"), suggested,
                                                   filter)
                    : QFileDialog::getOpenFileName(window, tr("Parameter set"), suggested, filter);
    };
    transfers = std::make_unique<TransferClient>(master, this);
}

ParameterSets::~ParameterSets() {
    shutdown();
}

void ParameterSets::shutdown() {
    stopped = true;
    // The job stops after its exchange under way; its outcome is not shown.
    transfers->cancelAndWait();
}

void ParameterSets::setWriteGate(std::function<bool()> gate) {
    writeGate = std::move(gate);
}

void ParameterSets::busChanged() {
    transfers->cancel();
    forgetImport();
}

void ParameterSets::forgetImport() {
    // Nothing is written from a table that no longer belongs to this file and drive.
    importDrive = -1;
    if (dialog) {
        dialog->showRows({}, QString(), QString());
    }
}

void ParameterSets::finishJob() {
    running = false;
    if (progress) {
        progress->close();
        progress->deleteLater();
    }
    if (dialog) {
        dialog->setBusy(false);
    }
}

void ParameterSets::start(const QString& label, std::function<void(const TransferProgress&)> work,
                          std::function<void()> done) {
    running = true;
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    // Over the table when it is open, else over the window: a hidden parent would leave it alone.
    QWidget* over = dialog && dialog->isVisible() ? static_cast<QWidget*>(dialog) : window;
    progress = new QProgressDialog(label, tr("Cancel"), 0, 0, over);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(300);
    connect(progress, &QProgressDialog::canceled, this, [cancel] { *cancel = true; });
    if (dialog) {
        dialog->setBusy(true);
    }
    transfers->run(
        [this, work = std::move(work), cancel](const TransferWorker::Cancelled& cancelled) {
            // Progress goes to the dialog as queued calls; they are dropped with this object.
            work([this, cancel, &cancelled](int step, int total) {
                QMetaObject::invokeMethod(
                    this,
                    [this, step, total] {
                        if (progress && !progress->wasCanceled()) {
                            progress->setMaximum(total);
                            progress->setValue(step);
                        }
                    },
                    Qt::QueuedConnection);
                return !*cancel && !cancelled;
            });
            return true;
        },
        [this, done = std::move(done)](bool) {
            finishJob();
            if (!stopped && done) {
                done();
            }
            emit jobDone();
        },
        [this] {
            finishJob();
            emit jobDone();
        });
}

bool ParameterSets::refusedWhileBusy() {
    if (running) {
        emit logLine(tr("A parameter-set transfer is running; wait for it to finish."));
    }
    return running;
}

QString ParameterSets::driveTitle(int drive) const {
    return tr("Drive %1 (slave %2)").arg(drive).arg(master->validDriveList().value(drive));
}

// --- export --------------------------------------------------------------------------------------

void ParameterSets::exportSet(int drive) {
    if (refusedWhileBusy()) {
        return;
    }
    if (!master->isConnected() || drive < 0 || drive >= master->driveCount()) {
        QMessageBox::warning(window, tr("Export parameters"),
                             tr("No drive %1 on the bus.").arg(drive));
        return;
    }
    const QString path = chooseFile(
        true, QStringLiteral("drive%1_%2.yaml")
                  .arg(drive)
                  .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmm"))));
    if (path.isEmpty()) {
        return;
    }
    auto reading = std::make_shared<DriveReading>();
    start(
        tr("Reading the parameters of drive %1…").arg(drive),
        [m = master, drive, reading](const TransferProgress& proceed) {
            *reading = readDriveParameters(m, drive, proceed);
        },
        [this, drive, path, reading] {
            if (!reading->complete) {
                emit logLine(tr("Export of drive %1 stopped; no file written.").arg(drive));
                return;
            }
            QSaveFile file(path);  // a temporary beside it, renamed over the file when complete
            if (!file.open(QIODevice::WriteOnly) ||
                file.write(parameterSetToYaml(reading->set)) < 0 || !file.commit()) {
                QMessageBox::warning(
                    window, tr("Export parameters"),
                    tr("%1 could not be written: %2").arg(path, file.errorString()));
                return;
            }
            emit logLine(tr("Parameters of drive %1 (%2) exported to %3: %4 values.")
                             .arg(drive)
                             .arg(reading->set.productType, path)
                             .arg(reading->set.values.size()));
            if (!reading->failed.isEmpty()) {
                const QString names = paramNames(reading->failed).join(QStringLiteral(", "));
                emit logLine(tr("Not readable, left out of the file: %1").arg(names));
                QMessageBox::warning(window, tr("Export parameters"),
                                     tr("These parameters could not be read and are not in the "
                                        "file:\n%1")
                                         .arg(names));
            }
        });
}

// --- import --------------------------------------------------------------------------------------

std::optional<ParameterSet> ParameterSets::loadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        QMessageBox::warning(window, tr("Parameter set"),
                             tr("%1 cannot be read: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    const ParameterSetParse parse = parseParameterSet(file.readAll());
    if (!parse.set) {
        emit logLine(tr("Parameter set %1 refused: %2").arg(path, parse.error));
        QMessageBox::warning(window, tr("Parameter set"),
                             tr("%1 is not a parameter set this console can load; nothing was "
                                "written.\n%2")
                                 .arg(path, parse.error));
    }
    return parse.set;
}

void ParameterSets::importSet(int drive) {
    if (refusedWhileBusy()) {
        return;
    }
    if (!master->isConnected() || drive < 0 || drive >= master->driveCount()) {
        QMessageBox::warning(window, tr("Import parameters"),
                             tr("No drive %1 on the bus.").arg(drive));
        return;
    }
    // The table of an earlier file goes before this one is read: its ticks are not this file's.
    forgetImport();
    const QString path = chooseFile(false, QString());
    if (path.isEmpty()) {
        return;
    }
    const auto set = loadFile(path);
    if (!set) {
        return;
    }
    fileSet = *set;
    fileName = QFileInfo(path).fileName();
    auto reading = std::make_shared<DriveReading>();
    const uint64_t session = master->busSession();
    start(
        tr("Reading the parameters of drive %1…").arg(drive),
        [m = master, drive, reading](const TransferProgress& proceed) {
            *reading = readDriveParameters(m, drive, proceed);
        },
        [this, drive, session, reading] {
            if (session != master->busSession()) {
                emit logLine(tr("Import into drive %1 stopped: the bus has changed.").arg(drive));
                return;
            }
            showImport(drive, *reading);
        });
}

void ParameterSets::showImport(int target, const DriveReading& drive) {
    if (!drive.complete) {
        emit logLine(tr("Import into drive %1 stopped before anything was written.").arg(target));
        return;
    }
    if (fileSet.productType != drive.set.productType &&
        QMessageBox::question(window, tr("Import parameters"),
                              tr("%1 holds parameters of a %2; drive %3 is a %4.\nCompare and "
                                 "choose rows to write anyway?")
                                  .arg(fileName, fileSet.productType)
                                  .arg(target)
                                  .arg(drive.set.productType)) != QMessageBox::Yes) {
        emit logLine(tr("Import of %1 into drive %2 (%3) declined: the file is for a %4.")
                         .arg(fileName)
                         .arg(target)
                         .arg(drive.set.productType, fileSet.productType));
        return;
    }
    logUnreadable(drive.failed);
    importDrive = target;
    importSession = master->busSession();
    ParameterCompareDialog* d = ensureDialog();
    d->setImportMode(fileName, tr("drive %1 (slave %2)")
                                   .arg(importDrive)
                                   .arg(master->validDriveList().value(importDrive)));
    d->showRows(compareParameterSets(fileSet, drive.set), fileName, driveTitle(importDrive));
    d->show();
    d->raise();
}

// Rows the drive did not answer stay empty in the table; the log says which and why not more.
void ParameterSets::logUnreadable(const QList<int>& ids) {
    if (!ids.isEmpty()) {
        emit logLine(
            tr("Not readable, shown empty: %1").arg(paramNames(ids).join(QStringLiteral(", "))));
    }
}

void ParameterSets::writeTicked(const QList<int>& ids) {
    if (running || importDrive < 0) {
        return;
    }
    if (importSession != master->busSession()) {
        emit logLine(
            tr("Not written: the bus has changed since drive %1 was read.").arg(importDrive));
        forgetImport();
        return;
    }
    // The same gate as the parameter page: no write during an enable walk or a test procedure.
    if (writeGate && !writeGate()) {
        return;
    }
    QMap<int, double> values;
    for (const int id : ids) {
        if (fileSet.values.contains(id)) {
            values.insert(id, fileSet.values.value(id));
        }
    }
    const int drive = importDrive;
    auto writing = std::make_shared<DriveWriting>();
    auto reading = std::make_shared<DriveReading>();
    start(
        tr("Writing parameters into drive %1 (%2 ticked)…").arg(drive).arg(values.size()),
        [m = master, drive, values, writing, reading](const TransferProgress& proceed) {
            *writing = writeDriveParameters(m, drive, values, proceed);
            // What the drive holds now, for the table.
            *reading = readDriveParameters(m, drive, [](int, int) { return true; });
        },
        [this, drive, values, writing, reading] {
            for (const int id : writing->written) {
                emit logLine(tr("Set \"%1\": %2")
                                 .arg(shownName(id), parameterValueText(id, values.value(id))));
            }
            if (!writing->written.isEmpty() || !writing->failed.isEmpty()) {
                emit parametersWritten(drive);
            }
            if (dialog && reading->complete) {
                dialog->showRows(compareParameterSets(fileSet, reading->set), fileName,
                                 driveTitle(drive));
            }
            if (!writing->failed.isEmpty()) {
                const QString names = paramNames(writing->failed).join(QStringLiteral(", "));
                emit logLine(tr("Import into drive %1: not taken: %2").arg(drive).arg(names));
                QMessageBox::warning(dialog ? static_cast<QWidget*>(dialog) : window,
                                     tr("Import parameters"),
                                     tr("Drive %1 does not hold these values as written:\n%2")
                                         .arg(drive)
                                         .arg(names));
            } else {
                emit logLine(tr("Import into drive %1: %2 parameter(s) written and read back.")
                                 .arg(drive)
                                 .arg(writing->written.size()));
            }
        });
}

// --- compare -------------------------------------------------------------------------------------

void ParameterSets::compareDrives() {
    if (!master->isConnected() || master->driveCount() == 0) {
        QMessageBox::warning(window, tr("Compare drives"), tr("No drive on the bus."));
        return;
    }
    QStringList drives;
    for (int i = 0; i < master->driveCount(); ++i) {
        drives << driveTitle(i);
    }
    importDrive = -1;  // nothing is written from a comparison
    ParameterCompareDialog* d = ensureDialog();
    d->setCompareMode(drives);
    d->showRows({}, QString(), QString());
    d->show();
    d->raise();
}

void ParameterSets::compare(int leftDrive, int rightSource) {
    if (refusedWhileBusy()) {
        return;
    }
    std::optional<ParameterSet> file;
    QString rightTitle = driveTitle(rightSource);
    if (rightSource == ParameterCompareDialog::kFileSource) {
        const QString path = chooseFile(false, QString());
        if (path.isEmpty() || !(file = loadFile(path))) {
            return;
        }
        rightTitle = QFileInfo(path).fileName();
    }
    auto left = std::make_shared<DriveReading>();
    auto right = std::make_shared<DriveReading>();
    start(
        tr("Reading the parameters…"),
        [m = master, leftDrive, rightSource, left, right](const TransferProgress& proceed) {
            *left = readDriveParameters(m, leftDrive, proceed);
            if (rightSource != ParameterCompareDialog::kFileSource && left->complete) {
                *right = readDriveParameters(m, rightSource, proceed);
            }
        },
        [this, leftDrive, rightTitle, file, left, right] {
            if (!left->complete || (!file && !right->complete)) {
                emit logLine(tr("Comparison stopped."));
                return;
            }
            logUnreadable(left->failed + right->failed);
            if (dialog) {
                dialog->showRows(compareParameterSets(left->set, file ? *file : right->set),
                                 driveTitle(leftDrive), rightTitle);
            }
        });
}

ParameterCompareDialog* ParameterSets::ensureDialog() {
    if (!dialog) {
        dialog = new ParameterCompareDialog(window);
        connect(dialog, &ParameterCompareDialog::writeRequested, this, &ParameterSets::writeTicked);
        connect(dialog, &ParameterCompareDialog::compareRequested, this, &ParameterSets::compare);
    }
    return dialog;
}
