// The operator console: one window over the process's EtherCAT master. It lists the adapters,
// brings the bus up and down, shows the log, and hands the drives' controls, status, parameters,
// plots and test procedures to the operator.
//
// Threads: every slot runs on the GUI thread. The bus bring-up runs on the global thread pool and
// returns through a future watcher; the master's signals arrive by queued connections; the update
// check runs once on a short-lived detached thread.
#pragma once

#include <QDateTime>
#include <QFile>
#include <QFuture>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QSaveFile>
#include <QSharedPointer>
#include <QString>
#include <QTextStream>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "kivcustomplot.h"
#include "language.h"

#include "model/metatypes.h"
#include "model/processdata.h"

class BusDiagnostics;
class ObjectDictionary;
class ScopeWindow;
class ParameterSets;
class DriveOverview;
class QAbstractButton;
class NoWheelDoubleSpinBox;
class QPushButton;
template <typename T>
class QFutureWatcher;
class QProgressDialog;
class QTemporaryFile;
class RoundtripTimer;
class StateConfig;
class ecmaster;
class TransferClient;
struct TransferResult;

namespace Ui {
class MainWindow;
}

// Operating state of the console; the gate requireState() compares against it.
enum ConsoleStateCode : int {
    NotConnected = 0,
    Connected = 1,
    Enabled = 2,
    Testing = 3,
};

// Shown in the title and handed to the updater.
inline constexpr char kConsoleVersion[] = "0.0.9";
inline constexpr char kProductName[] = "Zentrio";

// Settings store of the console and its one key: the adapter of the last successful connect.
inline constexpr char kSettingsOrganisation[] = "Norvan";
inline constexpr char kSettingsApplication[] = "Zentrio";
inline constexpr char kAdapterSettingKey[] = "ecAdaptertDesc";

// The separate updater program, expected beside the console's executable.
inline constexpr char kUpdaterProgram[] = "ZUvedozu.exe";

// Sources of the texts that carry state (MainWindow::setLiveText): the connect and enable
// buttons', the round-trip and multi-joint tests', calibration's and identification's, and the
// plots'.
inline constexpr char kConnectText[] = QT_TRANSLATE_NOOP("MainWindow", "Connect");
inline constexpr char kConnectingText[] = QT_TRANSLATE_NOOP("MainWindow", "Connecting");
inline constexpr char kDisconnectText[] = QT_TRANSLATE_NOOP("MainWindow", "Disconnect");
inline constexpr char kDisconnectingText[] = QT_TRANSLATE_NOOP("MainWindow", "Disconnecting");
inline constexpr char kEnableText[] = QT_TRANSLATE_NOOP("MainWindow", "Enable");
inline constexpr char kEnablingText[] = QT_TRANSLATE_NOOP("MainWindow", "Enabling");
inline constexpr char kDisableText[] = QT_TRANSLATE_NOOP("MainWindow", "Disable");
inline constexpr char kDisablingText[] = QT_TRANSLATE_NOOP("MainWindow", "Disabling");
inline constexpr char kTestStartText[] = QT_TRANSLATE_NOOP("MainWindow", "Start");
inline constexpr char kTestStopText[] = QT_TRANSLATE_NOOP("MainWindow", "Stop");
inline constexpr char kCalibrateIdle[] = QT_TRANSLATE_NOOP("MainWindow", "开始校准");
inline constexpr char kCalibrateRunning[] = QT_TRANSLATE_NOOP("MainWindow", "校准中");
inline constexpr char kIdentifyIdle[] = QT_TRANSLATE_NOOP("MainWindow", "开始辨识");
inline constexpr char kIdentifyRunning[] = QT_TRANSLATE_NOOP("MainWindow", "辨识中");
inline constexpr char kStartPlotText[] = QT_TRANSLATE_NOOP("MainWindow", "Start Plot");
inline constexpr char kStopPlotText[] = QT_TRANSLATE_NOOP("MainWindow", "Stop Plot");

// Log pane depth; the running log file keeps every line.
inline constexpr int kLogPaneMaxLines = 1000;

// The status fields and the plots take one process-data record in this many.
inline constexpr uint32_t kRecordsPerRefresh = 52;

// Counts a record on `counter`; true for every kRecordsPerRefresh-th, which restarts the count.
inline bool refreshDue(uint32_t& counter) {
    if (counter++ <= kRecordsPerRefresh - 2) {
        return false;
    }
    counter = 0;
    return true;
}

// Texts of the four console states, "Unknow" for any other value; translated.
QString consoleStateName(int state);

// The update manifest's URL; the host is a deployment setting fixed at build time.
QString updateManifestUrl();

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Refuses an operator action in the wrong state, or while an enable or disable job runs,
    // with a log line.
    bool requireState(int required);

    // Starts the updater beside the executable, detached; callable from any thread.
    void checkForUpdates(bool showUi);

    // --- read access for the procedures and for tests ------------------------------------------
    DriveOverview* driveOverview() const;  // null until first opened
    ecmaster* busMaster() const { return master; }
    int consoleState() const { return ConsoleState; }
    int motorIndex() const { return currentMotorIndex; }
    QString runningLogFileName() const { return logFileName; }
    // The running log's first line: the language its lines are written in.
    static QString runningLogLanguageLine();
    // Holds "result/" (identification) and is where a saved log is offered to go.
    QString dataFolderPath() const { return dataFolder; }

signals:
    void writeLog(QString text);

private slots:
    void deal_when_slave_lost();
    // One record of the operated drive: status fields, plots, identification rows, fault words.
    void deal_recv_pdo_data(TCiA402_GetValue data, uint64_t timestamp);
    // Hands every record the cycle gathered since the last tick to deal_recv_pdo_data.
    void takeRecords();
    void deal_trans_pdo_data(const App_SetValue* setCommand);
    void RefreshAdaptert();
    void on_pushButtonClear_clicked();
    void writeToPlainText(QString text);
    // A line for the running log file only (technical detail the pane does not show).
    void writeToLogFile(const QString& text);
    void on_pushButton_connect_clicked();
    void on_pushButton_enable_clicked();
    void on_comboBox_index_currentIndexChanged(int index);
    void on_comboBox_mode_currentIndexChanged(int index);
    void on_pushButton_ReadAll_clicked();
    void on_pushButton_WriteAll_clicked();
    void on_pushButton_ExportParams_clicked();
    void on_pushButton_ImportParams_clicked();
    void on_pushButton_CompareDrives_clicked();
    void temperaturePlotSlot();
    void paraPlotSlot();
    void on_pushButton_plot_temp_toggled(bool checked);
    void on_pushButton_clear_temp_clicked();
    void on_pushButton_plot_para_toggled(bool checked);
    void on_pushButton_clear_para_clicked();
    void on_pushButton_pause_para_toggled(bool checked);
    void on_pushButton_pause_temp_toggled(bool checked);
    void on_pushButton_fit_para_clicked();
    void on_pushButton_fit_temp_clicked();
    void on_pushButton_export_para_clicked();
    void on_pushButton_export_temp_clicked();
    void on_pushButton_Upgrade_clicked();
    void on_pushButton_SaveFile_clicked();
    void on_button_roundtrip_clicked();
    void setRoundTripMode(int index);
    void on_button_multitest_clicked();
    void on_button_calibrate_clicked();
    void on_button_identify_clicked();
    void on_actionDriveOverview_triggered();
    void on_actionBusDiagnostics_triggered();
    void on_actionObjectDictionary_triggered();
    void on_actionScope_triggered();
    // Starts a capture into a file the operator picks, or ends the running one.
    void on_actionCaptureBus_triggered();
    void on_actionResetFault_triggered();
    void on_actionResetAllFaults_triggered();
    // Keep the language for the next start (the running window keeps its own).
    void on_actionLanguageEnglish_triggered();
    void on_actionLanguageChinese_triggered();
    // Dismisses the banner that tells why the bus went down.
    void on_toolButton_closeBanner_clicked();

    // --- status display ------------------------------------------------------------------------
public:
    // The product type of drive `index` that keys its fault-word definitions: read with every
    // drive's identity at connect, read again by the parameter page; empty while unknown. Tests
    // set the operated drive's directly.
    QString productTypeOf(int index) const { return identities.value(index).productType; }
    QString currentProductType() const { return productTypeOf(currentMotorIndex); }
    void setProductType(const QString& type) { identityOf(currentMotorIndex).productType = type; }
    // Every drive's identity has been read since the last connect (whether or not it answered).
    bool driveIdentitiesRead() const { return identitiesRead; }
    // Puts the console into a state by hand, as a running test procedure does; for tests of the
    // gate.
    void forceConsoleState(int state) { ConsoleState = state; }

private:
    // Live fields show the drive's values; not live (no bus, no record yet) they are greyed and
    // the measured ones show a dash, so no old value passes for a live one.
    void setStatusLive(bool live);
    // The fault box's placeholders, as the .ui gives them, in the operator's language.
    void translateFaultBoxTemplate();
    // The thinned refresh of the value fields; also keeps lastPosition.
    void showStatusFields(const TCiA402_GetValue& data, float position, float velocity,
                          float torque);
    // Decodes whichever fault word changed since the last record.
    void checkFaultWords(const TCiA402_GetValue& data);
    void reactToFaultWord(bool driveWord, uint32_t word);
    // Replaces the lines under `header` in textEdit_errorWord with one line of texts.
    void updateFaultBoxSection(const QString& header, const QStringList& texts);

    // What drive `index` said it is; the record grows to take the index.
    struct DriveIdentityTexts {
        QString productType;
        QString softwareVersion;
    };
    DriveIdentityTexts& identityOf(int index);
    // Reads every drive's identity on the transfer worker, then logs the faults standing already.
    void readDriveIdentities();
    // The identities known, for the recordings of the Scope window (when it is open).
    void passIdentitiesToScope();
    // The operated drive's identity in the parameter page's fields.
    void showDriveIdentity();
    // Logs a drive's fault as it comes, decoded with that drive's product type (any drive).
    void onDriveFaultChanged(int index, const TCiA402_GetValue& data);
    void logDriveFault(int index, const TCiA402_GetValue& data);

    QList<DriveIdentityTexts> identities;  // by drive index; cleared when the bus goes
    bool identitiesRead = false;           // since the last connect
    bool identitiesPending = false;        // the read after a connect is under way
    // By drive index: each drive's last record with a fault change, the base of the next news.
    QList<TCiA402_GetValue> faultRecords;
    bool statusLive = true;  // the value fields show a record of the running bus
    // From a disconnect to the next bring-up: records of the old bus still queued are not shown.
    bool statusHeld = false;
    uint32_t lastErrorWord = 0;     // motor error word last decoded
    uint32_t lastDrvErrorWord = 0;  // drive error word last decoded

    // --- parameter page and firmware -----------------------------------------------------------
public:
    // One editor row of the parameter page; the widgets are children of the page.
    struct ParamRow {
        NoWheelDoubleSpinBox* editor = nullptr;
        QPushButton* readButton = nullptr;
        QPushButton* writeButton = nullptr;
    };

    // An editor shows a value only once it was read from the operated drive or typed since;
    // blank ones are never written. Blanking also sets the value to 0, which is what the editor
    // shows should the operator leave it empty.
    static void blankEditor(NoWheelDoubleSpinBox* editor);
    static bool editorShowsValue(const NoWheelDoubleSpinBox* editor);

    // A parameter's name as the operator reads it: the table's name translated (context
    // "ParamTable"); the untranslated name stays the key of files and look-ups.
    static QString shownParamName(int id);

    // Reads one parameter of the operated drive and shows it (GUI thread).
    void readParameterValue(int id);
    // Converts and writes one parameter of the operated drive (GUI thread).
    void writeParameterValue(int id, float value);
    const QMap<int, ParamRow>& parameterRows() const { return paramRows; }

private slots:
    void onFirmwareDownloadFinished();

private:
    // Asks the operator to confirm the target drive and its running version, then downloads.
    void confirmFirmwareDownload(const QString& path, uint32_t password, const QString& version);
    void startFirmwareDownload(const QString& path, uint32_t password);

    // The gate of every write to a drive (parameter rows, Write ALL, the dictionary, parameter
    // sets): refused with the usual log line during an enable or disable walk and a test
    // procedure, and without a bus.
    bool mayWriteDrive();

private:
    struct ParamReading;
    struct ParamWrite;

    // Builds the parameter rows and connects the identity reads and Save; part of the set-up.
    void setupParameterPage();
    static ParamReading fetchParameter(ecmaster* master, int drive, int id,
                                       const std::function<void(const QString&)>& announce);
    void showParameterReading(const ParamReading& reading);
    // A row's editor blank with "reading…" while its read is under way.
    void setRowPending(int id, bool pending);
    // The bytes and log number of a parameter write; nothing for parameters never written.
    static std::optional<ParamWrite> prepareParameterWrite(int id, float value);
    void logParameterWrite(const ParamWrite& write, const TransferResult& result);
    // One transfer job over the rows: the identity reads first when `readIdentity`, then each
    // row's read (or the write of the value its editor shows now), 5 ms apart.
    void startParameterRun(bool readIdentity, bool writeRows);
    // The run's end, whole or cut short by a cancel.
    void endParameterRun(bool writeRows, bool completed);

    QMap<int, ParamRow> paramRows;           // parameter id -> row; GUI thread only
    ParameterSets* parameterSets = nullptr;  // child; its jobs end before the master goes
    bool paramRunActive = false;  // a Read ALL or Write ALL run is going; GUI thread only
    QPointer<QFutureWatcher<int>> firmwareWatcher;  // the download being reported, if any

    // --- test procedures -------------------------------------------------------------------------
public:
    // Covers the connection and selection rows and locks the page tabs while a test procedure
    // runs; the quick stop stays usable.
    void setTestLock(bool on);
    // "已进行%1秒" in the result label shared by calibration and identification.
    void showElapsedSeconds(int seconds);
    // Round trip: the command code and the name of the loop it drives, for tests.
    int roundTripCommandCode() const { return roundTripCode; }
    QString roundTripLoop() const { return roundTripLoopName; }
    // Calibration and identification: the period of their polls, 1000 ms; tests shorten it to
    // reach the 90-poll timeout quickly.
    void setProcedurePollInterval(int ms) { procedurePollMs = ms; }
    // Calibration and identification: whether a motor number may become part of the result
    // file's name. Only ASCII letters, digits, '-' and '_', 1 to kMaxMotorNumberLength of them,
    // so the file always lands inside the result directory.
    static constexpr int kMaxMotorNumberLength = 64;
    static bool isSafeMotorNumber(const QString& motor);
    // Identification: seconds of a sample since the recording origin as the bus cycle counts them,
    // or nothing when the sample lies outside the rows' window (above 1 s, below 45 s).
    static std::optional<float> identificationRowTime(uint64_t timestamp, uint64_t origin);

private:
    // Round trip and multi-joint test (mainwindow_pages.cpp).
    // Sends the first setpoint on even steps and the second on odd ones (direct connection to
    // RoundtripTimer::timeoutTriggered).
    void sendRoundTripStep(int runtimes);
    // Completion handlers of the multi-joint test's enable and disable jobs.
    void onMultiTestEnabled(QFutureWatcher<bool>* watcher);
    void onMultiTestDisabled(QFutureWatcher<bool>* watcher);
    // Starts an enable or disable of all drives on the pool, reported to `handler`.
    void startMultiTestJob(bool enable, void (MainWindow::*handler)(QFutureWatcher<bool>*));
    // Ends every running test procedure after the bus went down under it: nothing is sent, the
    // lock comes off and the buttons read as idle.
    void endProceduresWithoutBus();
    // The state a procedure returns to when it ends: `state`, unless the bus went down meanwhile.
    int stateAfterProcedure(int state) const;

    RoundtripTimer* roundtripTimer = nullptr;  // child of the window
    bool multiTestRunning = false;             // from Start until the drives are disabled again

    // Calibration and identification (mainwindow_procedures.cpp).
    // What the identification sampler does with the next process-data sample.
    enum RecordingState : int {
        RecordingIdle = 0,
        RecordingArmed = 1,   // the next sample sets the origin
        RecordingActive = 2,  // samples in the window become rows
    };
    // Creates this run's poll timer (child of the window) and starts it; `step` gets the timer.
    void startProcedurePoll(void (MainWindow::*step)(QTimer*));
    void calibrationPoll(QTimer* timer);
    // The poll's decision on the calibration flag `value` just read.
    void calibrationStep(QTimer* timer, uint8_t value);
    void identificationPoll(QTimer* timer);
    // The identification step of every sample, after the plots have taken theirs.
    void recordIdentificationSample(const TCiA402_GetValue& data, uint64_t timestamp);
    // Ends a running calibration or identification as failed, without touching the bus (a lost
    // drive took it down).
    void abortProcedurePoll();
    // Ends the identification run: commits the result file on success, discards it otherwise.
    // Returns whether the file was written whole.
    bool finishIdentificationFile(bool success);

    int elapsedSeconds = 0;  // polls of the running calibration or identification
    int procedurePollMs = 1000;
    bool calibrationReadPending = false;  // the calibration poll's read is under way
    QPointer<QTimer> procedurePoll;       // the running calibration's or identification's poll
    // The result file of the current identification: rows go to a temporary file beside it,
    // which replaces the previous result only when the run succeeds.
    QSaveFile identifyFile;
    QTextStream identifyStream;  // rows into identifyFile; declared after it, so destroyed first
    int recordingState = RecordingIdle;
    uint64_t recordingOrigin = 0;  // cycle timestamp (ns) of the first sample after arming

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // Shared with the detached update-check thread, which may outlive the window: the thread
    // checks `window` under `mutex`, and the destructor clears it under the same mutex.
    struct UpdateCheckLink;

    void postSetup();
    // A text that carries state (the buttons whose text tells what the next press does, the
    // counts, the procedures' result): the untranslated source and its argument stay beside the
    // shown translation, so the handlers compare sources and a language change shows the text
    // afresh (changeEvent). `source` is marked for translation where it is written.
    void setLiveText(QWidget* widget, const char* source, const QString& arg = QString());
    // The source of the widget's text as setLiveText put it; empty for any other text.
    static QByteArray liveTextSource(const QWidget* widget);
    // An item of the drive selector: the drive index and the slave position behind it.
    QString driveItemText(int index) const;
    void startUpdateCheckThread();
    // Waits for a check in progress; afterwards the thread no longer touches the window.
    void stopUpdateCheckThread();
    void openRunningLog();
    void setupLanguageMenu();
    void keepLanguage(Language language);
    void onConnectFinished(QFutureWatcher<bool>* watcher);
    QPointer<DriveOverview> overview;       // child window, made at its first opening
    QPointer<BusDiagnostics> diagnostics;   // child window, made at its first opening
    QPointer<ObjectDictionary> dictionary;  // child window, made at its first opening
    QPointer<ScopeWindow> scopeWindow;      // child window, made at its first opening
    // Fault reset of the faulted drives among `candidates` on the pool (mainwindow_faults.cpp).
    void resetFaults(const QList<int>& candidates);
    // Logs a drive's motor and drive error words decoded with the product type's texts.
    void logFaultWords(int index);
    // Logs the refusal and returns true while an enable or disable job runs.
    bool refuseDuringDriveJob();
    void disconnectFromBus();
    // Tells the tool windows that what they read of the drives may belong to another bus now.
    void notifyBusChanged();
    void connectDriveControls();
    void zeroSetpoints();
    // The operated drive's torque, velocity and position setpoints as its command record holds
    // them, in their boxes.
    void showCommandedSetpoints();
    // The quick stop: the operated drive, or every drive while the multi-joint test runs.
    void quickStop();
    // Starts enableDrive/disableDrive of the operated drive on the pool; `onEnd` gets the result.
    void startDriveJob(bool enable, std::function<void(bool)> onEnd);
    // Keeps a pool job on the master for the destructor to wait for.
    template <typename T>
    void trackMasterJob(const QFuture<T>& job) {
        masterJobs.removeIf([](const QFuture<void>& j) { return j.isFinished(); });
        masterJobs.append(QFuture<void>(job));
    }

    // All members: GUI thread only, unless noted.
    Ui::MainWindow* ui = nullptr;
    ecmaster* master = nullptr;           // owned; no Qt parent
    StateConfig* stateConfig = nullptr;   // owned; no Qt parent
    QProgressDialog* progress = nullptr;  // child of the window, deleted first
    int ConsoleState = NotConnected;      // ConsoleStateCode
    int currentMotorIndex = 0;            // drive index of the operated drive
    QString savedAdapterDesc;             // mirrors kAdapterSettingKey
    QTemporaryFile* logFile = nullptr;    // child of the window
    QString logFileName;                  // empty when the running log could not be opened
    QString dataFolder;                   // see dataFolderPath()
    QWidget* overlayButtons1 = nullptr;   // covers ButtonsWidget1 during a test
    QWidget* overlayButtons2 = nullptr;   // covers ButtonsWidget2 during a test
    // Every job started on the pool that works on the master (bring-up, enable and disable,
    // firmware download, the multi-joint test's jobs; a Stop pressed while a disable runs starts
    // a second one). Finished ones are dropped at the next start; the destructor waits for the
    // rest before the bus and the master go.
    QList<QFuture<void>> masterJobs;
    // The window's transfers on the master's worker (parameter page, procedures' polls); ended
    // by the destructor before the master goes.
    std::unique_ptr<TransferClient> transfers;
    // Enable and disable jobs on the pool (the Enable button's and the multi-joint test's). While
    // one runs, the gate refuses whatever would change the bus, the drive or the state under it.
    int driveJobs = 0;
    int roundTripCode = kCmdVelocity;  // command code the round-trip test drives
    QString roundTripLoopName;         // loop name of the round-trip test
    float lastPosition = 0.0f;         // turns; last actual position of the drive
    std::shared_ptr<UpdateCheckLink> updateLink;

    // One live plot: three curves fed straight into their data containers, redrawn by a timer.
    struct LivePlot {
        QTimer refreshTimer;
        QDateTime startTime;
        bool firstRefresh = false;
        bool running = false;
        bool paused = false;  // the view stands still while points are still recorded
        std::array<QPointer<QCPGraph>, 3> curves;
        std::array<QSharedPointer<QCPGraphDataContainer>, 3> points;  // the curves' data
        QSharedPointer<QCPAxisTickerTime> timeTicker;
        QSharedPointer<QCPAxisTicker> valueTicker;
        uint32_t sampleCounter = 0;  // thins the samples to one point in 52
        qsizetype drawnPoints = -1;  // points of the last redraw; -1: the view changed since
    };

    void setupPlot(KivCustomPlot* plot, LivePlot& live);
    // The axis labels and curve names in the present language; the parameter plot's curves
    // keep their identification names while an identification records.
    void labelPlots();
    // Start or stop; `refusal` is the message shown when no bus is up.
    void togglePlot(KivCustomPlot* plot, LivePlot& live, QAbstractButton* button,
                    QAbstractButton* clearButton, bool checked, const QString& refusal);
    void clearPlot(KivCustomPlot* plot, LivePlot& live);
    // Pause frees both axes for drag and zoom; resuming hands the time axis back to the data.
    void pausePlot(KivCustomPlot* plot, LivePlot& live, bool paused);
    void fitPlot(KivCustomPlot* plot);
    // Asks for a file and writes the plot as CSV, PNG or PDF by the chosen type.
    void exportPlotToFile(KivCustomPlot* plot, const QString& title);
    // The axes the operator may drag and zoom in the plot's present state.
    static void setPlotInteraction(KivCustomPlot* plot, const LivePlot& live);
    // The key of the next point while the plot runs: every 52nd sample, seconds since the
    // start; nothing for the samples in between.
    static std::optional<double> nextPlotKey(LivePlot& live);
    // The refresh timer's redraw is due when the plot shows and has points it has not drawn; a
    // hidden tab is drawn when it shows again.
    static bool redrawDue(const KivCustomPlot* plot, LivePlot& live);
    // Adds one point per curve every 52nd sample while the plot runs.
    static void samplePlot(LivePlot& live, const std::array<double, 3>& values);

    // Takes the cycle's records while a bus is up: every 20 ms, so the GUI thread wakes 50 times
    // a second for them, not 500.
    QTimer recordTimer;
    static constexpr int kRecordTakeMs = 20;

    LivePlot paraPlot;
    LivePlot tempPlot;
    bool plotToggleGuard = false;  // the toggle slots change their own button's state
};
