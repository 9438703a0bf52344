// The console's EtherCAT master: one object per process over the stack's process-wide context
// (ec_slave[], ec_group[]). It brings the bus up to OPERATIONAL with distributed clocks, runs the
// 2 ms process-data cycle on a periodic timer thread, supervises and recovers slaves on a thread
// of its own, walks drives through the CiA 402 power states, reads and writes drive parameters
// over SDO and downloads firmware over FoE.
//
// A facade with the names the console knows; the work lives in parts with one job each, which
// share MasterState: BusSession (bring-up, teardown, capture), CycleExchange (the cycle and the
// command records), Supervisor (the supervision thread and its events), DriveMailbox (every
// mailbox transfer and the worker they run on) and Cia402Walks (the drive state walks). Because
// the stack's context is global, two masters cannot coexist; the timer and the supervision
// thread reach their parts through the argument they are started with.
//
// Threads: the bring-up, the drive state walks and the firmware download block (fixed pauses,
// mailbox timeouts) and belong on worker threads; the setters, drive selection and flag reads are
// quick and meant for the GUI thread. The operated drive's records wait in a ring for the GUI to
// take them on its own timer (takeRecords), so the cycle posts nothing per cycle. Everything else
// reaches the GUI by the signals below, which are meant for queued connections: the cycle emits
// fault changes under the process-data locks and the supervision thread reports under its check
// lock, so a directly connected slot that called back into the master could deadlock. The
// constructor registers the process-data records as meta-types (registerModelMetaTypes), so callers
// can connect them queued straight away.
#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "bussession.h"
#include "cia402walks.h"
#include "cycleexchange.h"
#include "drivemailbox.h"
#include "masterstate.h"
#include "model/metatypes.h"
#include "model/processdata.h"
#include "supervisor.h"
#include "transferresult.h"
#include "transferworker.h"

// What the diagnostics read of one slave: its registers as they stood at the read, and how often
// supervision found it out of OPERATIONAL or silent.
struct SlaveDiagnostics {
    int position = 0;
    uint16_t address = 0;
    QString name;
    bool answered = false;  // false: the registers below are not valid
    uint16_t alState = 0;
    uint16_t alStatusCode = 0;
    // 0x0300-0x0313: invalid frame and RX error per port (0x0300 + 2p, + 1), forwarded RX error
    // per port (0x0308 + p), processing unit and PDI errors (0x030C, 0x030D), lost links per port
    // (0x0310 + p).
    std::array<uint8_t, 20> errorCounters{};
    // 0x092C as the controller reports it (bit 31 the sign, bits 0-30 the magnitude): how far the
    // slave's copy of the system time was from the reference's at the last distribution. None
    // without DC and for the reference clock itself, which is only read: its register still holds
    // what the bring-up's reset of the system time left there.
    std::optional<int64_t> dcDifferenceNs;
    bool hasDc = false;
    bool referenceClock = false;
    uint64_t supervisionMisses = 0;
};

// Figures of the running bus since it was brought up.
struct BusFigures {
    uint64_t cycles = 0;
    uint64_t skippedCycles = 0;  // grid points the cycle did not run at
    uint64_t wkcMisses = 0;      // cycles whose working counter fell short
    uint64_t framesResent = 0;   // blocking exchanges sent again for want of a reply
    uint64_t framesLost = 0;     // blocking exchanges given up without a reply
    uint64_t cycleFrames = 0;    // frames the cycles sent, over the process's life
};

class ecmaster : public QObject {
    Q_OBJECT

public:
    explicit ecmaster(QObject* parent = nullptr);
    ~ecmaster() override;
    ecmaster(const ecmaster&) = delete;
    ecmaster& operator=(const ecmaster&) = delete;

    // --- adapters and bus lifecycle ------------------------------------------------------------
    QStringList listAdapters() { return session_.listAdapters(); }
    // (description, device name) in the order of the last listAdapters; GUI thread only.
    const std::deque<std::pair<QString, QString>>& adapterList() const {
        return session_.adapters();
    }
    bool connectBus(const char* ifname) { return session_.connectBus(ifname); }
    int initBus(const char* ifname) { return session_.initBus(ifname); }
    int requestState(uint16_t state) { return session_.requestState(state); }
    // Tears the bus down: waits for a check and a transfer in flight (one exchange), so off the
    // GUI thread.
    void disconnectBus() { session_.disconnectBus(); }
    // The quick first half of a teardown, for the GUI thread: the flags cleared, so the cycle
    // sends nothing more, supervision stops and transfers are refused.
    void stopCycle() { session_.stopCycle(); }
    // Bring-up step: the drives of the scanned bus that get table entries (a whole drive image
    // mapped, not PRE-OP with error, slave number within the tables), their command records
    // reset. Other slaves are logged and left alone.
    void chooseValidDrives() { session_.chooseValidDrives(); }
    int driveCount() const { return static_cast<int>(state_.validDrives.size()); }
    // The slave numbers of the valid drives in their order (kept until the next bring-up).
    // A copy of its own, never a shared one: the cycle, walk and supervision threads read the
    // master's list through non-const access, which would detach (write) a shared list under a
    // reader on another thread.
    QList<int32_t> validDriveList() const {
        return QList<int32_t>(state_.validDrives.cbegin(), state_.validDrives.cend());
    }
    // Changes whenever the bus comes up or goes down: what was read of a drive in another session
    // may belong to another drive.
    uint64_t busSession() const { return state_.busSessions.load(); }
    bool isConnected() const { return state_.connected; }
    // Whether the console enabled the drives; cleared by teardown and by a drive lost.
    bool isEnabled() const { return state_.enabled; }
    void setEnabled(bool enabled) { state_.enabled = enabled; }
    // Whether supervision watches the bus (off during a download and after a drive was lost).
    bool isSupervising() const { return state_.inOperation; }
    // Whether a drive walk is under way.
    bool walkInProgress() const { return state_.busy; }
    // Whether the cycle's timer runs; for bring-up and teardown's thread.
    bool cycleRunning() const { return session_.cycleRunning(); }
    int workingCounter() const { return state_.wkc.load(std::memory_order_relaxed); }
    int expectedWorkingCounter() const {
        return state_.expectedWKC.load(std::memory_order_relaxed);
    }
    // The master's clock the drives' DC system times are aligned to (ns since construction).
    int64_t masterClockNs() const { return state_.elapsedTimer.nsecsElapsed(); }
    // The whole process image, outputs then inputs, as it stands.
    QByteArray processImage() const;

    // --- commands ------------------------------------------------------------------------------
    // Converts one member of the slave's command record into its output image. Caller holds
    // the process-data lock.
    void applyCommandField(int slave, int code) { cycle_.applyCommandField(slave, code); }
    void resetCommandRecord(int slave) { cycle_.resetCommandRecord(slave); }
    void setCommandWord(int code, uint16_t value, int index) {
        cycle_.setCommandWord(code, value, index);
    }
    void setCommandValue(int code, float value, int index) {
        cycle_.setCommandValue(code, value, index);
    }
    void setCommandWordAll(int code, uint16_t value) { cycle_.setCommandWordAll(code, value); }
    void setCommandValueAll(int code, float value) { cycle_.setCommandValueAll(code, value); }
    void selectDrive(int index) { cycle_.selectDrive(index); }
    // The slave number whose inputs the cycle reports.
    int selectedSlaveNumber() const { return state_.selectedSlave.load(std::memory_order_relaxed); }
    // A copy of the command record of `slave` (slave number), taken under the process-data lock.
    App_SetValue commandRecord(int slave) const { return cycle_.commandRecord(slave); }
    // The output image of `slave` as the next cycle sends it; nothing without a drive image.
    std::optional<DriveOutputImage> driveOutputs(int slave) const {
        return cycle_.driveOutputs(slave);
    }
    // CiA 402 quick stop (control word 2) into the command records of the drives `indexes`, for
    // the next cycle to send; an enable walk or fault reset under way stops writing control
    // words. Never waits on a transfer. Returns the drive indexes reached.
    QList<int> quickStop(const QList<int>& indexes) { return walks_.quickStop(indexes); }

    // --- CiA 402 drive state -------------------------------------------------------------------
    int driveState(int slave) { return walks_.driveState(slave); }
    static QString driveStateName(int code) { return Cia402Walks::driveStateName(code); }
    int driveStateOf(int index) { return walks_.driveStateOf(index); }
    bool stepEnable(int slave) { return walks_.stepEnable(slave); }
    // One step up unless a quick stop came since `stops` was read.
    bool stepEnable(int slave, uint64_t stops) { return walks_.stepEnable(slave, stops); }
    bool stepDisable(int slave) { return walks_.stepDisable(slave); }
    bool enableSlave(int slave) { return walks_.enableSlave(slave); }
    bool disableSlave(int slave) { return walks_.disableSlave(slave); }
    bool enableDrive(int index) { return walks_.enableDrive(index); }
    bool enableAllDrives() { return walks_.enableAllDrives(); }
    bool disableDrive(int index) { return walks_.disableDrive(index); }
    bool disableAllDrives() { return walks_.disableAllDrives(); }
    // Resets the fault of a drive in Fault or Fault reaction active (control word bit 7 on a rising
    // edge); true once the drive shows Switch on disabled. Blocks for up to about 2 s.
    bool resetFault(int index) { return walks_.resetFault(index); }
    // The last input image of a drive as the cycle received it; nothing for an unknown index.
    std::optional<TCiA402_GetValue> driveInputs(int index) { return cycle_.driveInputs(index); }
    // The operated drive's records since the last call, oldest first, one per cycle (up to two
    // seconds of them wait); at most out.size(), returns how many. One thread takes them.
    size_t takeRecords(std::span<TimedRecord> out) { return state_.records.take(out); }
    // Records turned away because nobody took them for two seconds.
    uint64_t recordsTurnedAway() const { return state_.records.turnedAway(); }

    // --- drive parameters over SDO -------------------------------------------------------------
    // The worker on which the console runs every transfer (TransferClient); stopped by the
    // destructor before the bus goes.
    TransferWorker& transfers() { return mailbox_.transfers(); }
    // Whether a mailbox transfer is in flight now.
    bool transferUnderWay() const { return mailbox_.transferUnderWay(); }
    // Typed transfers of a parameter of drive `index` (blocking; the worker's side). A failure is
    // logged as well as returned.
    TransferResult parameterRead(int index, int32_t id, void* data) {
        return mailbox_.parameterRead(index, id, data);
    }
    TransferResult parameterWrite(int index, int32_t id, const void* data) {
        return mailbox_.parameterWrite(index, id, data);
    }
    // The same with the parameter codes (kParamOk, kParamFailed, kParamNotConnected,
    // kBadDriveIndex).
    int readParameter(uint16_t index, int32_t id, void* data) {
        return mailbox_.readParameter(index, id, data);
    }
    int writeParameter(uint16_t index, int32_t id, const void* data) {
        return mailbox_.writeParameter(index, id, data);
    }
    int sdoRead(uint16_t slave, int32_t id, void* data) {
        return mailbox_.sdoRead(slave, id, data);
    }
    int sdoWrite(uint16_t slave, int32_t id, const void* data) {
        return mailbox_.sdoWrite(slave, id, data);
    }

    // --- object dictionary over SDO information and raw SDO ------------------------------------
    // Every object of drive `index` with its entries. `proceed(done, total)` is called before
    // each object and stops the reading when it returns false. Nothing (and a log line) when the
    // drive offers no SDO information, a transfer fails or the reading was stopped.
    std::optional<QList<DictionaryObject>> readDictionary(
        int index, const std::function<bool(int done, int total)>& proceed) {
        return mailbox_.readDictionary(index, proceed);
    }
    // Upload of any entry of drive `index`, at most `capacity` bytes. kParamOk with the bytes, or
    // kParamFailed / kParamNotConnected with the reason (the abort code decoded) logged.
    TransferResult readEntry(int index, uint16_t object, uint8_t subIndex, QByteArray& value,
                             int capacity = 512) {
        return mailbox_.readEntry(index, object, subIndex, value, capacity);
    }
    TransferResult writeEntry(int index, uint16_t object, uint8_t subIndex,
                              const QByteArray& value) {
        return mailbox_.writeEntry(index, object, subIndex, value);
    }

    // --- firmware over FoE ---------------------------------------------------------------------
    int downloadFirmware(const QString& path, int index, uint32_t password) {
        return mailbox_.downloadFirmware(path, index, password);
    }
    bool loadFirmwareFile(const char* path, uint32_t& size) {
        return mailbox_.loadFirmwareFile(path, size);
    }

    // --- diagnostics ---------------------------------------------------------------------------
    // Every slave's AL state, error counters and DC difference, read in one frame beside the
    // cycle. Blocks for a round trip; empty while no bus is up. Any thread but the GUI's.
    QList<SlaveDiagnostics> readDiagnostics();
    // Clears the error counters of every slave by writing them; false without a bus or answer.
    bool resetErrorCounters();
    BusFigures busFigures() const;
    // The newest last.
    QList<SupervisionEvent> supervisionEvents() const { return supervisor_.events(); }

    // --- scope -------------------------------------------------------------------------------
    // The channels the cycle records from the next cycle on, drives by their index in
    // validDriveList(); an empty list stops the recording. Returns the configuration's
    // generation, nothing for more than scope::kMaxChannels channels. One thread configures (the
    // GUI's or the command line's); never the cycle's.
    std::optional<uint32_t> configureScope(std::span<const scope::ChannelDef> channels);
    // The consumer (one thread): the frames and events recorded since the last take, oldest first;
    // at most out.size(), returns how many. Take the frames before the events.
    size_t takeScopeFrames(std::span<scope::Frame> out) { return state_.scope.take(out); }
    size_t takeScopeEvents(std::span<scope::EventRecord> out) {
        return state_.scope.takeEvents(out);
    }
    // Its figures (frames turned away, events lost, generations' channels); any thread.
    const scope::Recorder& scope() const { return state_.scope; }
    // An event of drive `index` (scope::kAllDrives for the bus) at the last cycle recorded, such
    // as the operator's marker; any thread. False while nothing records or the ring is full.
    bool postScopeEvent(scope::EventKind kind, int index, std::string_view text);

    // --- capture -------------------------------------------------------------------------------
    // Writes every frame of the bus to a pcapng file until stopCapture or the bus goes down.
    // False without a bus or when the file cannot be created.
    bool startCapture(const QString& path) { return session_.startCapture(path); }
    // Ends the capture; `frames` and `dropped` (may be null) get its totals. False when none
    // ran or the file is incomplete.
    bool stopCapture(uint64_t* frames = nullptr, uint64_t* dropped = nullptr) {
        return session_.stopCapture(frames, dropped);
    }
    bool capturing() const { return session_.capturing(); }

    // --- thread entries: CycleExchange::timerCallback (the cycle) and Supervisor::ecatcheck ----
    // Benchmarks only; null (the default) costs the cycle one atomic load.
    static void setCycleProbe(CycleProbe probe) { CycleExchange::setCycleProbe(probe); }

signals:
    void writeLog(QString text);
    // Technical detail (register dumps) for the running log file, kept out of the operator's log.
    void writeDetail(QString text);
    // Drive `index` raised or cleared its fault bit, or one of its error words changed; `data`
    // is the record that shows it. Every drive, every change, from the cycle.
    void driveFaultChanged(int index, TCiA402_GetValue data);
    void slaveLost();
    // Every supervision event as it happens (supervision thread; connect queued).
    void supervisionEvent(int slave, SupervisionKind kind, QString detail);
    void setValueCallback(App_SetValue* setCommand);

private:
    // Declared in the order they are built: the parts hold the state and each other by
    // reference, and go in reverse order after the destructor has stopped their threads.
    MasterState state_;
    CycleExchange cycle_{state_};
    Supervisor supervisor_{state_};
    BusSession session_{state_, cycle_, supervisor_};
    DriveMailbox mailbox_{state_};
    Cia402Walks walks_{state_, cycle_};
};
