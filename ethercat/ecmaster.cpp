// Construction and destruction, adapters, bus bring-up and teardown, the command setters and the
// cyclic exchange.
#include "ecmaster.h"

#include <QDebug>
#include <QThread>

#include "ethercat.h"
#include "model/scaling.h"
#include "periodictimer.h"

std::atomic<ecmaster*> ecmaster::instance{nullptr};
osal_thread_handle ecmaster::checkThread = 0;

namespace {

constexpr int kConnectAttempts = 10;
constexpr int kStepPauseMs = 50;
constexpr int kAttemptPauseMs = 100;
constexpr int kDcSettleMs = 20;
constexpr int kStateTimeoutUs = 2000000;
constexpr int kFirstExchangeTimeoutUs = 2000;
constexpr int kCycleReceiveTimeoutUs = 2000;
constexpr int kRegisterTimeoutUs = 2000;
constexpr uint32_t kCyclePeriodMs = 2;
constexpr uint32_t kSync0CycleNs = 2000000;
constexpr int kSupervisionStackBytes = 128000;

// Slave-controller registers of the distributed clock.
constexpr uint16_t kRegDcSystemTime = 0x0910;
constexpr uint16_t kRegDcSystemTimeOffset = 0x0920;

std::atomic<CycleProbe> cycleProbe{nullptr};

// Bytes the slaves' process-data SyncManagers ask for, as the mapping sized them.
uint32_t processImageBytesNeeded() {
    uint32_t bytes = 0;
    for (int slave = 1; slave <= ec_slavecount; ++slave) {
        const ec_slavet& s = ec_slave[slave];
        for (int sm = 0; sm < EC_MAXSM; ++sm) {
            if (s.SMtype[sm] == EC_SMTYPE_OUTPUTS || s.SMtype[sm] == EC_SMTYPE_INPUTS) {
                bytes += s.SM[sm].SMlength;
            }
        }
    }
    return bytes;
}

// Register `reg` of the slave with configured address `station`, as a datagram addresses it.
uint32_t registerAddress(uint16_t station, uint16_t reg) {
    return static_cast<uint32_t>(station) | static_cast<uint32_t>(reg) << 16;
}

std::span<uint8_t> bytesOf(int64_t& value) {
    return {reinterpret_cast<uint8_t*>(&value), sizeof value};
}

void pauseMs(int ms) {
    QThread::msleep(static_cast<unsigned long>(ms));
}

}  // namespace

int64_t alignedClockOffset(int64_t offset, int64_t masterNs, int64_t reading) {
    return static_cast<int64_t>(static_cast<uint64_t>(offset) + static_cast<uint64_t>(masterNs) -
                                static_cast<uint64_t>(reading));
}

ecmaster::ecmaster(QObject* parent) : QObject(parent) {
    firmwareBuffer = std::make_unique<uint8_t[]>(kFirmwareBufferBytes);
    transferWorker = std::make_unique<TransferWorker>();
    registerModelMetaTypes();
    qRegisterMetaType<SupervisionKind>("SupervisionKind");
    instance.store(this);
    inOperation = false;
    running = true;
    enabled = false;
    connected = false;
    busy = false;
    elapsedTimer.start();
    checkThreadStarted = osal_thread_create(&checkThread, kSupervisionStackBytes,
                                            &ecmaster::ecatcheck, nullptr) == 1;
}

ecmaster::~ecmaster() {
    // Queued transfers are dropped, the running one ends within its exchange.
    transferWorker->stop();
    running = false;
    if (checkThreadStarted) {
        osal_thread_join(&checkThread);
    }
    disconnectBus();
    instance.store(nullptr);
}

void ecmaster::setCycleProbe(CycleProbe probe) {
    cycleProbe.store(probe);
}

// --- adapters -----------------------------------------------------------------------------------

QStringList ecmaster::listAdapters() {
    adapters.clear();
    QStringList descriptions;
    ec_adaptert* list = ec_find_adapters();
    for (ec_adaptert* a = list; a != nullptr; a = a->next) {
        const QString desc = QString::fromLocal8Bit(a->desc);
        descriptions.append(desc);
        adapters.emplace_back(desc, QString::fromLocal8Bit(a->name));
    }
    ec_free_adapters(list);
    return descriptions;
}

// --- bring-up and teardown ----------------------------------------------------------------------

bool ecmaster::connectBus(const char* ifname) {
    if (connected) {
        qDebug() << "当前已处于连接状态";
        return false;
    }
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        const int result = initBus(ifname);
        if (result == kBusOk) {
            return true;
        }
        if (result == kBusSlaveStuckInOp) {
            log(QStringLiteral("电机状态异常，请重新上电！"));
            return false;
        }
        pauseMs(kAttemptPauseMs);
    }
    return false;
}

int ecmaster::fallBack(int code) {
    requestState(EC_STATE_INIT);
    ec_close();
    linkOpen = false;
    pauseMs(kStepPauseMs);
    return code;
}

int ecmaster::initBus(const char* ifname) {
    if (ec_init(ifname) == 0) {
        log(QStringLiteral("[Init] Initialization on %1 failed.").arg(QString::fromUtf8(ifname)));
        return kBusUnusable;
    }
    linkOpen = true;
    resetDiagnostics();
    const int found = ec_config_init(FALSE);
    if (found < 1) {
        log(QStringLiteral("[Init] No slaves found!"));
        return fallBack(kBusUnusable);
    }
    log(QStringLiteral("[Init] %1 slaves found!").arg(found));
    // The tables serve slave numbers 1..kMaxSlaves only; a longer bus would overrun them.
    if (found > kMaxSlaves) {
        log(QStringLiteral("[Init] Bus refused: more than %1 slaves.").arg(kMaxSlaves));
        return fallBack(kBusUnusable);
    }
    pauseMs(kStepPauseMs);
    // The image must fit the buffer; the sized mapping maps nothing when it would not. (A bus
    // without process data maps nothing either, and is refused further on for lack of drives.)
    if (ecx_config_map_sized(&ecx_context, IOmap.data(), IOmap.size()) <= 0) {
        const uint32_t needed = processImageBytesNeeded();
        if (needed > kProcessImageBytes) {
            log(QStringLiteral("[Init] Bus refused: process image of %1 bytes exceeds the %2-byte "
                               "buffer.")
                    .arg(needed)
                    .arg(kProcessImageBytes));
            return fallBack(kBusUnusable);
        }
    }
    pauseMs(kStepPauseMs);

    int r = requestState(EC_STATE_PRE_OP);
    if (r != kBusOk) {
        log(QStringLiteral("EC_STATE_PRE_OP error"));
        return fallBack(r);
    }
    pauseMs(kStepPauseMs);
    if (!ec_configdc()) {
        log(QStringLiteral("[Init] DC configured failed."));
    }
    pauseMs(kStepPauseMs);

    chooseValidDrives();
    if (validDrives.isEmpty()) {
        log(QStringLiteral("[Init] 没有有效从站."));
        return fallBack(kBusUnusable);
    }
    log(QStringLiteral("[Init] %1 slaves valid!").arg(validDrives.size()));
    selectedSlave.store(validDrives.first(), std::memory_order_relaxed);

    ec_send_processdata();
    ec_receive_processdata(kFirstExchangeTimeoutUs);

    r = requestState(EC_STATE_SAFE_OP);
    if (r != kBusOk) {
        log(QStringLiteral("EC_STATE_SAFE_OP error"));
        return fallBack(r);
    }
    r = requestState(EC_STATE_OPERATIONAL);
    if (r != kBusOk) {
        log(QStringLiteral("EC_STATE_OPERATIONAL error"));
        return fallBack(r);
    }

    // The cycle idles until `connected` is set below.
    timerId = timeSetEvent(kCyclePeriodMs, 0, &ecmaster::cycle, 0, TIME_PERIODIC);
    if (timerId == 0) {
        log(QStringLiteral("[Init] Cycle timer could not be started."));
        return fallBack(kBusUnusable);
    }
    for (const int slave : validDrives) {
        ec_dcsync0(static_cast<uint16_t>(slave), TRUE, kSync0CycleNs, 0);
    }
    pauseMs(kDcSettleMs);
    for (const int slave : validDrives) {
        ec_FPRD(ec_slave[slave].configadr, kRegDcSystemTimeOffset, sizeof(int64_t),
                &timeOffsets[static_cast<size_t>(slave)], kRegisterTimeoutUs);
    }
    connected = true;
    busSessions.fetch_add(1);
    inOperation = true;

    if (checkMode(kModeNone) && checkMode(kModeSpeedRamp)) {
        return kBusOk;
    }
    log(QStringLiteral("Communication error"));
    disconnectBus();
    return kBusModeCheckFailed;
}

void ecmaster::chooseValidDrives() {
    validDrives.clear();
    images.fill(DriveImage{});  // nothing left over from a bus seen before
    // The exchange's working counter also counts the slaves left alone: 2 for outputs written, 1
    // for inputs read. Without them a drive dropping out could go unnoticed.
    int othersWkc = 0;
    const int count = std::min(ec_slavecount, kMaxSlaves);
    for (int slave = 1; slave <= count; ++slave) {
        const ec_slavet& s = ec_slave[slave];
        if (s.state == (EC_STATE_PRE_OP | EC_STATE_ERROR)) {
            continue;
        }
        // Only a full drive image can take the command records and the input decoding; a smaller
        // image would have them run into its neighbours or past the end of IOmap.
        if (s.outputs == nullptr || s.inputs == nullptr ||
            s.Obytes < static_cast<uint32_t>(kDriveOutputBytes) ||
            s.Ibytes < static_cast<uint32_t>(kDriveInputBytes)) {
            log(QStringLiteral("[Init] Slave %1 is no drive (%2 output / %3 input bytes), left "
                               "alone.")
                    .arg(slave)
                    .arg(s.Obytes)
                    .arg(s.Ibytes));
            othersWkc += (s.outputs != nullptr ? 2 : 0) + (s.inputs != nullptr ? 1 : 0);
            continue;
        }
        images[static_cast<size_t>(slave)] = DriveImage{s.outputs, s.inputs};
        resetCommandRecord(slave);
        validDrives.append(slave);
    }
    expectedWKC.store(3 * static_cast<int>(validDrives.size()) + othersWkc,
                      std::memory_order_relaxed);
}

bool ecmaster::checkMode(uint16_t mode) {
    {
        QMutexLocker lock(&pdMutex);
        for (const int slave : validDrives) {
            storeLe16(images[static_cast<size_t>(slave)].outputs + kOutMode, mode);
        }
    }
    pauseMs(kStepPauseMs);
    QMutexLocker lock(&inputMutex);
    for (const int slave : validDrives) {
        const uint8_t* in = images[static_cast<size_t>(slave)].inputs;
        if (in == nullptr || decodeInputImage(in).modeDisplay != static_cast<int16_t>(mode)) {
            return false;
        }
    }
    return true;
}

int ecmaster::requestState(uint16_t state) {
    ec_slave[0].state = state;
    ec_writestate(0);
    ec_statecheck(0, state, kStateTimeoutUs);
    if (ec_slave[0].state == state) {
        return kBusOk;
    }
    ec_readstate();
    if (ec_slavecount < 1) {
        return kBusStateNotReached;
    }
    for (int i = 1; i <= ec_slavecount; ++i) {
        const ec_slavet& s = ec_slave[i];
        if (s.state == state) {
            continue;
        }
        log(QStringLiteral("[EtherCAT Error] Slave %1 State=0x%2 StatusCode=0x%3 : %4\n")
                .arg(i)
                .arg(s.state, 2, 16, QLatin1Char('0'))
                .arg(s.ALstatuscode, 4, 16, QLatin1Char('0'))
                .arg(QString::fromUtf8(ec_ALstatuscode2string(s.ALstatuscode))));
        if (s.state == EC_STATE_OPERATIONAL) {
            return kBusSlaveStuckInOp;
        }
    }
    return kBusStateNotReached;
}

void ecmaster::stopCycle() {
    if (connected.exchange(false)) {
        busSessions.fetch_add(1);
    }
    // Cleared in this order; an enable walk ending now relies on it (markEnabled).
    connected = false;
    enabled = false;
    inOperation = false;
}

void ecmaster::disconnectBus() {
    stopCycle();
    pauseMs(kStepPauseMs);
    if (timerId != 0) {
        // Returns only when no cycle runs and none will start again.
        timeKillEvent(timerId);
        timerId = 0;
    }
    {
        // A check in progress ends first, then a firmware download (its frames would meet a
        // closed port), then a transfer in flight (within its exchange); transfers that come
        // later find `connected` clear and leave the port alone.
        const QMutexLocker check(&checkMutex);
        const QMutexLocker firmware(&firmwareMutex);
        const QMutexLocker mailbox(&mailboxMutex);
        const QMutexLocker port(&portMutex);
        // A second teardown (the destructor after a disconnect) finds the link closed: there is
        // no bus left to send to INIT.
        if (linkOpen) {
            requestState(EC_STATE_INIT);
            if (captureRunning) {
                endCapture(nullptr, nullptr);
            }
            ec_close();
            linkOpen = false;
        }
    }
    pauseMs(kStepPauseMs);
}

// --- commands -----------------------------------------------------------------------------------

void ecmaster::applyCommandField(int slave, int code) {
    if (!isTableSlave(slave) || images[static_cast<size_t>(slave)].outputs == nullptr) {
        log(QStringLiteral("struct null ptr warnning."));
        return;
    }
    writeCommandField(images[static_cast<size_t>(slave)].outputs,
                      commands[static_cast<size_t>(slave)], code);
}

void ecmaster::resetCommandRecord(int slave) {
    const bool hasImage =
        isTableSlave(slave) && images[static_cast<size_t>(slave)].outputs != nullptr;
    for (int code = kCmdControlWord; code <= kCmdMode; ++code) {
        if (!hasImage) {
            log(QStringLiteral("Fail: null ptr warnning"));
            continue;
        }
        QMutexLocker lock(&pdMutex);
        App_SetValue& c = commands[static_cast<size_t>(slave)];
        switch (code) {
            case kCmdControlWord:
                c.controlWord = 0;
                break;
            case kCmdTorque:
                c.torque = 0.0f;
                break;
            case kCmdKp:
                c.kp = 0.0f;
                break;
            case kCmdKd:
                c.kd = 0.0f;
                break;
            case kCmdPosition:
                c.position = 0.0f;
                break;
            case kCmdVelocity:
                c.velocity = 0.0f;
                break;
            default:
                c.mode = 0;
                break;
        }
        applyCommandField(slave, code);
    }
}

int ecmaster::slaveAt(int index) const {
    return index >= 0 && index < validDrives.size() ? validDrives[index] : 0;
}

void ecmaster::storeCommand(int slave, int code, bool isWord, uint16_t word, float value) {
    if (!isTableSlave(slave) || images[static_cast<size_t>(slave)].outputs == nullptr) {
        log(QStringLiteral("Fail: null ptr warnning"));
        return;
    }
    bool accepted = true;
    {
        QMutexLocker lock(&pdMutex);
        App_SetValue& c = commands[static_cast<size_t>(slave)];
        if (isWord && code == kCmdControlWord) {
            c.controlWord = word;
        } else if (isWord && code == kCmdMode) {
            c.mode = word;
        } else if (!isWord && code == kCmdTorque) {
            c.torque = value;
        } else if (!isWord && code == kCmdKp) {
            c.kp = value;
        } else if (!isWord && code == kCmdKd) {
            c.kd = value;
        } else if (!isWord && code == kCmdPosition) {
            c.position = value;
        } else if (!isWord && code == kCmdVelocity) {
            c.velocity = value;
        } else {
            accepted = false;
        }
        if (accepted) {
            applyCommandField(slave, code);
        }
    }
    if (!accepted) {
        log(QStringLiteral("error with set parameter: %1").arg(code));
    }
}

void ecmaster::setCommandWord(int code, uint16_t value, int index) {
    if (const int slave = slaveAt(index)) {
        storeCommand(slave, code, true, value, 0.0f);
    }
}

void ecmaster::setCommandValue(int code, float value, int index) {
    if (const int slave = slaveAt(index)) {
        storeCommand(slave, code, false, 0, value);
    }
}

void ecmaster::setCommandWordAll(int code, uint16_t value) {
    for (const int slave : validDrives) {
        storeCommand(slave, code, true, value, 0.0f);
    }
}

void ecmaster::setCommandValueAll(int code, float value) {
    for (const int slave : validDrives) {
        storeCommand(slave, code, false, 0, value);
    }
}

void ecmaster::selectDrive(int index) {
    if (const int slave = slaveAt(index)) {
        selectedSlave.store(slave, std::memory_order_relaxed);
    }
}

// --- the cycle ----------------------------------------------------------------------------------

void ecmaster::cycle(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t) {
    if (ecmaster* m = instance.load(std::memory_order_acquire)) {
        m->runCycle();
    }
}

// Pulls every drive's DC system time onto the master's clock: all reads in one frame against the
// same master time, the new offsets of the drives that answered in a second one. However many
// drives there are, the cycle waits for two round trips. A read that got no answer leaves nothing
// to compare with, so that drive waits for the next cycle.
void ecmaster::alignClocks(int64_t masterNs) {
    const size_t count = std::min<size_t>(static_cast<size_t>(validDrives.size()), kMaxSlaves);
    for (size_t i = 0; i < count; ++i) {
        const uint16_t station = ec_slave[validDrives[static_cast<qsizetype>(i)]].configadr;
        clockReads[i] = ec_datagramt{ec::Command::FPRD,
                                     registerAddress(station, kRegDcSystemTime),
                                     sizeof(int64_t),
                                     {},
                                     bytesOf(clockReadings[i])};
    }
    ec_transceive_batch({clockReads.data(), count}, kRegisterTimeoutUs);
    size_t writes = 0;
    for (size_t i = 0; i < count; ++i) {
        if (clockReads[i].wkc != 1) {
            continue;
        }
        const int slave = validDrives[static_cast<qsizetype>(i)];
        int64_t& offset = timeOffsets[static_cast<size_t>(slave)];
        offset = alignedClockOffset(offset, masterNs, clockReadings[i]);
        clockWrites[writes++] =
            ec_datagramt{ec::Command::FPWR,
                         registerAddress(ec_slave[slave].configadr, kRegDcSystemTimeOffset),
                         sizeof(int64_t),
                         bytesOf(offset),
                         {}};
    }
    if (writes > 0) {
        ec_transceive_batch({clockWrites.data(), writes}, kRegisterTimeoutUs);
    }
}

void ecmaster::runCycle() {
    if (!running || !connected) {
        return;
    }
    const CycleProbe probe = cycleProbe.load(std::memory_order_relaxed);
    const int64_t startNs = probe ? timerMonotonicNowNs() : 0;
    {
        QMutexLocker pdLock(&pdMutex);
        const int64_t sendNs = probe ? timerMonotonicNowNs() : 0;
        ec_send_processdata();
        QMutexLocker inLock(&inputMutex);
        const auto t = static_cast<uint64_t>(elapsedTimer.nsecsElapsed());
        const int received = ec_receive_processdata(kCycleReceiveTimeoutUs);
        wkc.store(received, std::memory_order_relaxed);
        countCycle(received);
        const int selected = selectedSlave.load(std::memory_order_relaxed);
        if (isTableSlave(selected) && images[static_cast<size_t>(selected)].inputs != nullptr) {
            emit getValueCallback(decodeInputImage(images[static_cast<size_t>(selected)].inputs),
                                  t);
        }
        inLock.unlock();
        pdLock.unlock();

        alignClocks(elapsedTimer.nsecsElapsed());
        if (probe) {
            probe(timerCurrentDeadlineNs(), startNs, sendNs, timerMonotonicNowNs());
        }
    }
}
