// The console's EtherCAT master: one object per process over the stack's process-wide context
// (ec_slave[], ec_group[]). It brings the bus up to OPERATIONAL with distributed clocks, runs the
// 2 ms process-data cycle on a periodic timer thread, supervises and recovers slaves on a thread
// of its own, walks drives through the CiA 402 power states, reads and writes drive parameters
// over SDO and downloads firmware over FoE.
//
// Because the stack's context is global, two masters cannot coexist: the constructor registers
// the object as the one instance that the timer callback and the supervision thread reach.
//
// Threads: the bring-up, the drive state walks and the firmware download block (fixed pauses,
// mailbox timeouts) and belong on worker threads; the setters, drive selection and flag reads are
// quick and meant for the GUI thread. Everything reaches the GUI by the signals below, which are
// meant for queued connections: the cycle emits its record under the process-data locks and the
// supervision thread reports under its check lock, so a directly connected slot that called back
// into the master could deadlock. The constructor registers the process-data records as
// meta-types (registerModelMetaTypes), so callers can connect them queued straight away.
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
#include <utility>

#include "model/metatypes.h"
#include "model/processdata.h"
#include "osal/osal.h"
#include "transferresult.h"
#include "transferworker.h"
#include "types.h"

// Bounds the master enforces on a bus (besides the table and image bounds of processdata.h).
inline constexpr uint32_t kFirmwareBufferBytes = 4u * 1024u * 1024u;
inline constexpr int kFoeFileNameBytes = 256;  // incl. the terminating zero

// The name an FoE write request carries: the UTF-8 file name without its directory, cut to 255
// bytes, zero-filled.
std::array<char, kFoeFileNameBytes> foeFileName(const QString& path);

// The cycle's clock alignment: `offset` moved by what a drive's DC system time `reading` lags
// the master's clock `masterNs`. Wraps around as the drive's 64-bit clock registers do, so a
// garbage reading cannot overflow.
int64_t alignedClockOffset(int64_t offset, int64_t masterNs, int64_t reading);

// Drive state codes derived from the CiA 402 status word.
enum DriveStateCode : int {
    kDriveNotReady = 0,          // Not ready to switch on
    kDriveSwitchOnDisabled = 1,  // Switch on disabled
    kDriveReadyToSwitchOn = 2,
    kDriveSwitchedOn = 3,
    kDriveOperationEnabled = 4,
    kDriveQuickStopActive = 5,
    kDriveFaultReaction = 6,
    kDriveFault = 7,
    kDriveUnknown = 8,
};

// Results of initBus and requestState.
inline constexpr int kBusOk = 0;
inline constexpr int kBusStateNotReached = 2;
inline constexpr int kBusSlaveStuckInOp = 3;
inline constexpr int kBusUnusable = 4;
inline constexpr int kBusModeCheckFailed = 5;

// Results of the parameter and firmware operations besides the stack's own values.
inline constexpr int kParamOk = 0;
inline constexpr int kParamFailed = -1;
inline constexpr int kParamNotConnected = -2;
inline constexpr int kBadDriveIndex = -99;

// Timing of one cycle as measured for benchmarks (CLOCK_MONOTONIC nanoseconds): the grid point
// the timer aimed at, the cycle's start, the send of the process data and the end of the clock
// alignment. Called on the timer thread; must not block.
using CycleProbe = void (*)(int64_t deadlineNs, int64_t startNs, int64_t sendNs, int64_t alignedNs);

struct ParamInfo;

struct ec_errort;

// The log line of an emergency a drive sent.
QString emergencyText(int drive, const ec_errort& e);

// A drive's object dictionary as it describes itself over SDO information.
struct DictionaryEntry {
    uint8_t subIndex = 0;
    uint16_t dataType = 0;  // CoE data type (0x0007 UNSIGNED32, 0x0008 REAL32, ...)
    uint16_t bitLength = 0;
    uint16_t access = 0;  // bits 0-2 read, 3-5 write in PRE-OP / SAFE-OP / OP; 6-7 mappable
    QString name;
};
struct DictionaryObject {
    uint16_t index = 0;
    uint16_t dataType = 0;
    uint8_t objectCode = 0;  // 7 VAR, 8 ARRAY, 9 RECORD
    uint8_t maxSubIndex = 0;
    QString name;
    QList<DictionaryEntry> entries;  // the subindices the drive describes, ascending
};

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
    std::optional<int64_t> dcDifferenceNs;  // 0x092C as a signed time; none without DC
    uint64_t supervisionMisses = 0;
};

// Figures of the running bus since it was brought up.
struct BusFigures {
    uint64_t cycles = 0;
    uint64_t skippedCycles = 0;  // grid points the cycle did not run at
    uint64_t wkcMisses = 0;      // cycles whose working counter fell short
    uint64_t framesResent = 0;   // blocking exchanges sent again for want of a reply
    uint64_t framesLost = 0;     // blocking exchanges given up without a reply
};

// What supervision saw happen to one slave.
enum class SupervisionKind : int { Lost, Recovered, Acknowledged, Reconfigured, Emergency };
// "lost", "recovered", "acknowledged", "reconfigured", "emergency".
QString supervisionKindName(SupervisionKind kind);

struct SupervisionEvent {
    QDateTime time;
    int slave = 0;
    QString kind;  // supervisionKindName of `type`
    SupervisionKind type = SupervisionKind::Lost;
};

class ecmaster : public QObject {
    Q_OBJECT

public:
    explicit ecmaster(QObject* parent = nullptr);
    ~ecmaster() override;
    ecmaster(const ecmaster&) = delete;
    ecmaster& operator=(const ecmaster&) = delete;

    // --- adapters and bus lifecycle ------------------------------------------------------------
    QStringList listAdapters();
    bool connectBus(const char* ifname);
    int initBus(const char* ifname);
    int requestState(uint16_t state);
    // Tears the bus down: waits for a check and a transfer in flight (one exchange), so off the
    // GUI thread.
    void disconnectBus();
    // The quick first half of a teardown, for the GUI thread: the flags cleared, so the cycle
    // sends nothing more, supervision stops and transfers are refused.
    void stopCycle();
    // Bring-up step: the drives of the scanned bus that get table entries (a whole drive image
    // mapped, not PRE-OP with error, slave number within the tables), their command records
    // reset. Other slaves are logged and left alone.
    void chooseValidDrives();
    int driveCount() const { return static_cast<int>(validDrives.size()); }
    // Changes whenever the bus comes up or goes down: what was read of a drive in another session
    // may belong to another drive.
    uint64_t busSession() const { return busSessions.load(); }

    // --- commands ------------------------------------------------------------------------------
    // Converts one member of the slave's command record into its output image. Caller holds
    // pdMutex.
    void applyCommandField(int slave, int code);
    void resetCommandRecord(int slave);
    void setCommandWord(int code, uint16_t value, int index);
    void setCommandValue(int code, float value, int index);
    void setCommandWordAll(int code, uint16_t value);
    void setCommandValueAll(int code, float value);
    void selectDrive(int index);
    // CiA 402 quick stop (control word 2) into the command records of the drives `indexes`, for
    // the next cycle to send; an enable walk or fault reset under way stops writing control
    // words. Never waits on a transfer. Returns the drive indexes reached.
    QList<int> quickStop(const QList<int>& indexes);

    // --- CiA 402 drive state -------------------------------------------------------------------
    int driveState(int slave);
    static QString driveStateName(int code);
    int driveStateOf(int index);
    bool stepEnable(int slave);
    // One step up unless a quick stop came since `stops` was read.
    bool stepEnable(int slave, uint64_t stops);
    bool stepDisable(int slave);
    bool enableSlave(int slave);
    bool disableSlave(int slave);
    bool enableDrive(int index);
    bool enableAllDrives();
    bool disableDrive(int index);
    bool disableAllDrives();
    // Resets the fault of a drive in Fault or Fault reaction active (control word bit 7 on a rising
    // edge); true once the drive shows Switch on disabled. Blocks for up to about 2 s.
    bool resetFault(int index);
    // The last input image of a drive as the cycle received it; nothing for an unknown index.
    std::optional<TCiA402_GetValue> driveInputs(int index);

    // --- drive parameters over SDO -------------------------------------------------------------
    // The worker on which the console runs every transfer (TransferClient); stopped by the
    // destructor before the bus goes.
    TransferWorker& transfers() { return *transferWorker; }
    // Typed transfers of a parameter of drive `index` (blocking; the worker's side). A failure is
    // logged as well as returned.
    TransferResult parameterRead(int index, int32_t id, void* data);
    TransferResult parameterWrite(int index, int32_t id, const void* data);
    // The same with the parameter codes (kParamOk, kParamFailed, kParamNotConnected,
    // kBadDriveIndex).
    int readParameter(uint16_t index, int32_t id, void* data);
    int writeParameter(uint16_t index, int32_t id, const void* data);
    int sdoRead(uint16_t slave, int32_t id, void* data);
    int sdoWrite(uint16_t slave, int32_t id, const void* data);

    // --- object dictionary over SDO information and raw SDO
    // --------------------------------------- Every object of drive `index` with its entries.
    // `proceed(done, total)` is called before each object and stops the reading when it returns
    // false. Nothing (and a log line) when the drive offers no SDO information, a transfer fails or
    // the reading was stopped.
    std::optional<QList<DictionaryObject>> readDictionary(
        int index, const std::function<bool(int done, int total)>& proceed);
    // Upload of any entry of drive `index`, at most `capacity` bytes. kParamOk with the bytes, or
    // kParamFailed / kParamNotConnected with the reason (the abort code decoded) logged.
    TransferResult readEntry(int index, uint16_t object, uint8_t subIndex, QByteArray& value,
                             int capacity = 512);
    TransferResult writeEntry(int index, uint16_t object, uint8_t subIndex,
                              const QByteArray& value);

    // --- firmware over FoE ---------------------------------------------------------------------
    int downloadFirmware(const QString& path, int index, uint32_t password);
    bool loadFirmwareFile(const char* path, uint32_t& size);

    // --- diagnostics ---------------------------------------------------------------------------
    // Every slave's AL state, error counters and DC difference, read in one frame beside the
    // cycle. Blocks for a round trip; empty while no bus is up. Any thread but the GUI's.
    QList<SlaveDiagnostics> readDiagnostics();
    // Clears the error counters of every slave by writing them; false without a bus or answer.
    bool resetErrorCounters();
    BusFigures busFigures() const;
    QList<SupervisionEvent> supervisionEvents() const;  // the newest last

    // --- capture -------------------------------------------------------------------------------
    // Writes every frame of the bus to a pcapng file until stopCapture or the bus goes down.
    // False without a bus or when the file cannot be created.
    bool startCapture(const QString& path);
    // Ends the capture; `frames` and `dropped` (may be null) get its totals. False when none
    // ran or the file is incomplete.
    bool stopCapture(uint64_t* frames = nullptr, uint64_t* dropped = nullptr);
    bool capturing() const;

    // --- thread entries, reaching the master through `instance` --------------------------------
    // The cycle, with the periodic timer's callback signature.
    static void cycle(uint32_t id, uint32_t msg, uintptr_t user, uintptr_t dw1, uintptr_t dw2);
    // The supervision thread.
    static void ecatcheck(void* unused);
    // Benchmarks only; null (the default) costs the cycle one atomic load.
    static void setCycleProbe(CycleProbe probe);

signals:
    void writeLog(QString text);
    void getValueCallback(TCiA402_GetValue data, uint64_t timestamp);
    void slaveLost();
    // Every supervision event as it happens (supervision thread; connect queued).
    void supervisionEvent(int slave, SupervisionKind kind, QString detail);
    void setValueCallback(App_SetValue* setCommand);

public:
    struct DriveImage {
        uint8_t* outputs = nullptr;  // kDriveOutputBytes inside IOmap
        uint8_t* inputs = nullptr;   // kDriveInputBytes inside IOmap
    };

    // Members in the order the rest of the console knows them. Guards are named per member;
    // "bring-up" means written only by initBus while `connected` is clear and read by the other
    // threads only after they have seen `connected` set.

    // (description, device name) in the order of the adapter list; GUI thread only.
    std::deque<std::pair<QString, QString>> adapters;
    std::atomic<int> expectedWKC{0};     // atomic (relaxed); written by bring-up
    std::atomic<int> wkc{0};             // atomic (relaxed); written by the cycle
    std::atomic<int> selectedSlave{0};   // atomic (relaxed)
    std::atomic<bool> connected{false};  // atomic
    std::atomic<bool> enabled{false};    // atomic
    std::atomic<bool> running{false};    // atomic
    std::atomic<bool> busy{false};       // atomic
    uint8_t currentgroup = 0;            // constant
    // Output images of all slaves, then input images: outputs guarded by pdMutex, inputs by
    // inputMutex.
    alignas(8) std::array<uint8_t, kProcessImageBytes> IOmap{};
    std::unique_ptr<uint8_t[]> firmwareBuffer;         // firmware download thread only
    uint32_t firmwareSize = 0;                         // firmware download thread only
    uint32_t timerId = 0;                              // bring-up and teardown (never concurrent)
    std::atomic<bool> inOperation{false};              // atomic; supervision active
    std::array<DriveImage, kSlaveTableSize> images{};  // bring-up
    // Guarded by pdMutex (contents); the records themselves live as long as the master.
    std::array<App_SetValue, kSlaveTableSize> commands{};
    QMutex pdMutex;              // command records and output images; taken before inputMutex
    QMutex inputMutex;           // input images
    QElapsedTimer elapsedTimer;  // started by the constructor, then only read
    std::array<int64_t, kSlaveTableSize> timeOffsets{};  // bring-up, then the cycle thread only
    QList<int32_t> validDrives;                          // bring-up
    // The clock alignment's datagrams and readings, one per valid drive in its order; the cycle
    // thread only. Kept here so that the cycle allocates nothing.
    std::array<ec_datagramt, kMaxSlaves> clockReads{};
    std::array<ec_datagramt, kMaxSlaves> clockWrites{};
    std::array<int64_t, kMaxSlaves> clockReadings{};

    // Held by the supervision thread for one check. Teardown and the firmware download take it
    // after clearing the flags, so no check still reads or writes the stack's slave records when
    // they change them.
    QMutex checkMutex;
    // The transfer gate: held through each mailbox exchange. A firmware download marks its drive
    // under it, so no transfer to that drive is under way or starts until the download ends.
    // Teardown closes the port under it, after clearing `connected`, so no transfer is in flight
    // then and none starts later. Never taken on the GUI thread: transfers run on the worker.
    // Lock order: checkMutex, firmwareMutex, mailboxMutex, portMutex (teardown); the download
    // takes checkMutex and releases it before it takes firmwareMutex; the supervision thread takes
    // checkMutex alone.
    mutable QMutex mailboxMutex;
    // Held by a firmware download from its first state request to its end: teardown waits for it
    // rather than close the port under the download's frames.
    QMutex firmwareMutex;
    int firmwareSlave = 0;  // guarded by mailboxMutex: the slave taking a download, 0 for none
    // The port's lifetime for the traffic beside the transfers (diagnostics reads, counter
    // resets, capture, port figures): each holds it for one frame or file operation; teardown
    // closes the port under it (after mailboxMutex), so none of them meets a closed port and none
    // ever waits behind a transfer or a download.
    mutable QMutex portMutex;
    // Written under portMutex; read without it (atomic) so the GUI never waits behind a
    // transfer. Teardown's close ends the capture.
    std::atomic<bool> captureRunning{false};
    // Whether ec_init opened the link and no ec_close followed; bring-up and teardown only.
    bool linkOpen = false;

    // Diagnostics. The counters are atomic (relaxed), reset by bring-up; the supervision misses
    // are counted by the supervision thread per slave number.
    std::atomic<uint64_t> cycleCount{0};
    std::atomic<uint64_t> skippedCycleCount{0};
    std::atomic<uint64_t> wkcMissCount{0};
    std::array<std::atomic<uint64_t>, kSlaveTableSize> supervisionMisses{};
    int64_t lastCycleDeadlineNs = 0;  // the cycle thread only (reset by bring-up)
    mutable QMutex eventsMutex;
    std::deque<SupervisionEvent> events;  // guarded by eventsMutex; at most kMaxEvents
    static constexpr size_t kMaxEvents = 100;

    static std::atomic<ecmaster*> instance;
    static osal_thread_handle checkThread;  // constructor and destructor only
    bool checkThreadStarted = false;        // constructor and destructor only
    // Quick stops issued so far; written under pdMutex. A walk notes it when it starts and writes
    // no further control word once it has moved (sendWalkControlWord).
    std::atomic<uint64_t> quickStops{0};
    std::atomic<uint64_t> busSessions{0};            // atomic; see busSession()
    std::unique_ptr<TransferWorker> transferWorker;  // constructor and destructor only

private:
    void log(const QString& text) { emit writeLog(text); }
    void recordEvent(int slave, SupervisionKind kind, const QString& detail = {});
    // stopCapture's work; caller holds portMutex.
    bool endCapture(uint64_t* frames, uint64_t* dropped);
    void resetDiagnostics();
    // Falls back from a failed bring-up: INIT, close, pause; returns `code`.
    int fallBack(int code);
    // Writes `mode` straight into every drive's output image and checks that all report it.
    bool checkMode(uint16_t mode);
    const ParamInfo* sdoParam(int32_t id, int& refusal);
    // Caller holds mailboxMutex.
    int mailboxRefusal(uint16_t slave);
    void runCycle();
    // The cycle's figures: one more cycle, grid points passed over since the last, a short
    // working counter.
    void countCycle(int receivedWkc);
    void alignClocks(int64_t masterNs);
    void runCheck();
    // Takes what drives put into their send mailboxes unasked and logs the emergencies; skipped
    // while a parameter transfer or a download uses the mailboxes.
    void pollEmergencies();
    void sendControlWord(int slave, uint16_t controlWord);
    // A walk's control word: written only while no quick stop came since `stops` was read;
    // false (nothing written) otherwise.
    bool sendWalkControlWord(int slave, uint16_t controlWord, uint64_t stops);
    // The enable walk of one drive; ends without success once a quick stop came since `stops`.
    bool enableWalk(int slave, uint64_t stops);
    // Polls the drive's state until it reads `state`; false after `timeoutMs` or a teardown.
    bool awaitDriveState(int slave, int state, int timeoutMs);
    // Ends an enable walk: sets `enabled` to its result, unless the bus went down meanwhile.
    bool markEnabled(bool result);
    // Per-slave step of the command setters; `word` for codes 0 and 6, `value` for 1 to 5.
    void storeCommand(int slave, int code, bool isWord, uint16_t word, float value);
    int slaveAt(int index) const;
    // Why the last service of `slave` on this thread failed, from its stack result `wkc`.
    TransferResult serviceFailure(int slave, int wkc, uint16_t object, uint8_t subIndex);
    // One transfer of an entry under the transfer lock, with "<verb> 0xIIII:SS of drive N
    // failed: <reason>" logged on failure.
    TransferResult entryTransfer(int index, uint16_t object, uint8_t subIndex, const char* verb,
                                 const std::function<int(uint16_t slave)>& call);
};
