// Parameter sets on the parameter page: "Export…" keeps a drive's parameters in a YAML file,
// "Import…" loads a file into a drive through the comparison table (only ticked rows are written,
// then read back), "Compare drives…" shows two drives, or a drive and a file, side by side.
//
// The transfers run on the master's transfer worker with a progress dialog; GUI thread otherwise.
// One job at a time. Writes pass the console's gate. shutdown() cancels the job and waits for its
// exchange under way.
#pragma once

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>

#include "parametercompare.h"
#include "parameterset.h"
#include "parametertransfer.h"

class QProgressDialog;
class QWidget;
class ecmaster;
class TransferClient;

class ParameterSets : public QObject {
    Q_OBJECT

public:
    ParameterSets(ecmaster* master, QWidget* window);
    ~ParameterSets() override;
    ParameterSets(const ParameterSets&) = delete;
    ParameterSets& operator=(const ParameterSets&) = delete;

    // Cancels a job under way and waits for its thread; nothing of it runs afterwards.
    void shutdown();
    bool busy() const { return running; }

    void exportSet(int drive);
    void importSet(int drive);
    void compareDrives();

    // Asks for a file name (save: for writing). Replaceable, so that tests need no file dialog.
    std::function<QString(bool save, const QString& suggested)> chooseFile;

    ParameterCompareDialog* compareDialog() const { return dialog; }
    // Asked before every write: false refuses it (the gate logs why).
    void setWriteGate(std::function<bool()> gate);

public slots:
    // The bus went down or came up: the job is cancelled and the import table forgotten.
    void busChanged();

signals:
    void logLine(const QString& line);
    // Rows of this drive were written: what the parameter page shows of it is stale.
    void parametersWritten(int drive);
    // A job's transfers are over and what they brought is shown.
    void jobDone();

private:
    // Runs `work` on the transfer worker under a progress dialog titled `label`, then `done` on the
    // GUI thread unless shut down in between.
    void start(const QString& label, std::function<void(const TransferProgress&)> work,
               std::function<void()> done);
    std::optional<ParameterSet> loadFile(const QString& path);
    void showImport(int target, const DriveReading& drive);
    void forgetImport();
    void logUnreadable(const QList<int>& ids);
    void finishJob();
    void writeTicked(const QList<int>& ids);
    void compare(int leftDrive, int rightSource);
    ParameterCompareDialog* ensureDialog();
    QString driveTitle(int drive) const;
    bool refusedWhileBusy();  // logs the refusal

    ecmaster* master = nullptr;  // not owned; outlives this object (see shutdown)
    QWidget* window = nullptr;   // parent of the dialogs
    // Job state, GUI thread only.
    QPointer<QProgressDialog> progress;
    QPointer<ParameterCompareDialog> dialog;
    std::function<bool()> writeGate;
    bool running = false;
    bool stopped = false;

    // The import in progress: the file's set, its name and the drive it goes into (-1 while no
    // table of this file and drive is shown), read in bus session `importSession`.
    ParameterSet fileSet;
    QString fileName;
    int importDrive = -1;
    uint64_t importSession = 0;
    std::unique_ptr<TransferClient> transfers;  // last: goes first
};
