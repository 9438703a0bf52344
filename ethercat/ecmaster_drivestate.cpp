// The CiA 402 power state machine of the drives: the state from the status word, and the walk up
// to Operation enabled or down to Ready to switch on, one control word at a time.
#include <QElapsedTimer>
#include <QThread>

#include "ecmaster.h"

namespace {

constexpr unsigned long kStepPauseMs = 50;
constexpr unsigned long kBusyPauseMs = 2;

// CiA 402 control words.
constexpr uint16_t kCwNone = 0;
constexpr uint16_t kCwShutdown = 6;
constexpr uint16_t kCwSwitchOn = 7;
constexpr uint16_t kCwEnableOperation = 15;
constexpr uint16_t kCwDisableOperation = 7;
constexpr uint16_t kCwQuickStop = 2;
// Bit 7: a rising edge resets a fault.
constexpr uint16_t kCwFaultReset = 0x80;

// A fault reaction ends in Fault by itself; a reset then takes the drive to Switch on disabled.
constexpr int kFaultResetTimeoutMs = 1000;
constexpr unsigned long kFaultPollMs = 10;

// First matching row wins, so the order of the tests matters.
int stateFromStatusWord(uint16_t sw) {
    const int low = sw & 0xFF;
    if (low == 0x30) {
        return kDriveSwitchedOn;
    }
    if (low == 0x10) {
        return kDriveSwitchOnDisabled;
    }
    if ((sw & 0x4F) == 0x00) {
        return kDriveNotReady;
    }
    if ((sw & 0x4F) == 0x40) {
        return kDriveSwitchOnDisabled;
    }
    if ((sw & 0x6F) == 0x21) {
        return kDriveReadyToSwitchOn;
    }
    if ((sw & 0x6F) == 0x23) {
        return kDriveSwitchedOn;
    }
    if ((sw & 0x6F) == 0x27) {
        return kDriveOperationEnabled;
    }
    if ((sw & 0x6F) == 0x07) {
        return kDriveQuickStopActive;
    }
    if ((sw & 0x4F) == 0x0F) {
        return kDriveFaultReaction;
    }
    if ((sw & 0x4F) == 0x08) {
        return kDriveFault;
    }
    return kDriveUnknown;
}

}  // namespace

int ecmaster::driveState(int slave) {
    if (!isTableSlave(slave)) {
        return kDriveUnknown;
    }
    // Under the input mutex: the cycle's receive rewrites the input images.
    QMutexLocker lock(&inputMutex);
    const uint8_t* in = images[static_cast<size_t>(slave)].inputs;
    return in ? stateFromStatusWord(loadLe16(in)) : kDriveUnknown;
}

QString ecmaster::driveStateName(int code) {
    switch (code) {
        case kDriveNotReady:
            return QStringLiteral("初始化");
        case kDriveSwitchOnDisabled:
            return QStringLiteral("初始化完成");
        case kDriveReadyToSwitchOn:
            return QStringLiteral("伺服准备好");
        case kDriveSwitchedOn:
            return QStringLiteral("伺服等待");
        case kDriveOperationEnabled:
            return QStringLiteral("伺服运行");
        case kDriveQuickStopActive:
            return QStringLiteral("急停");
        case kDriveFaultReaction:
            return QStringLiteral("故障停机");
        case kDriveFault:
            return QStringLiteral("故障");
        default:
            return QStringLiteral("未知状态");
    }
}

int ecmaster::driveStateOf(int index) {
    const int slave = slaveAt(index);
    return slave ? driveState(slave) : kDriveUnknown;
}

void ecmaster::sendControlWord(int slave, uint16_t controlWord) {
    if (!isTableSlave(slave) || images[static_cast<size_t>(slave)].outputs == nullptr) {
        log(QStringLiteral("Fail: null ptr warnning"));
        return;
    }
    QMutexLocker lock(&pdMutex);
    commands[static_cast<size_t>(slave)].controlWord = controlWord;
    applyCommandField(slave, kCmdControlWord);
}

bool ecmaster::sendWalkControlWord(int slave, uint16_t controlWord, uint64_t stops) {
    if (!isTableSlave(slave) || images[static_cast<size_t>(slave)].outputs == nullptr) {
        log(QStringLiteral("Fail: null ptr warnning"));
        return false;
    }
    // Checked under the lock quickStop writes under: a STOP either comes before this word, and
    // the word is not written, or after it, and overwrites it.
    QMutexLocker lock(&pdMutex);
    if (quickStops.load() != stops) {
        return false;
    }
    commands[static_cast<size_t>(slave)].controlWord = controlWord;
    applyCommandField(slave, kCmdControlWord);
    return true;
}

QList<int> ecmaster::quickStop(const QList<int>& indexes) {
    QList<int> reached;
    QMutexLocker lock(&pdMutex);
    quickStops.fetch_add(1);
    for (const int index : indexes) {
        const int slave = slaveAt(index);
        if (slave == 0 || images[static_cast<size_t>(slave)].outputs == nullptr) {
            continue;
        }
        commands[static_cast<size_t>(slave)].controlWord = kCwQuickStop;
        applyCommandField(slave, kCmdControlWord);
        reached.append(index);
    }
    return reached;
}

bool ecmaster::stepEnable(int slave) {
    return stepEnable(slave, quickStops.load());
}

bool ecmaster::stepEnable(int slave, uint64_t stops) {
    static constexpr uint16_t kUp[] = {kCwNone, kCwShutdown, kCwSwitchOn, kCwEnableOperation};
    const int s = driveState(slave);
    if (s < kDriveNotReady || s > kDriveSwitchedOn) {
        log(QStringLiteral("当前状态:") + driveStateName(s) + QStringLiteral("无法Enable"));
        return false;
    }
    if (!sendWalkControlWord(slave, kUp[s], stops)) {
        log(QStringLiteral("Enable of slave %1 stopped by STOP.").arg(slave));
        return false;
    }
    QThread::msleep(kStepPauseMs);
    return driveState(slave) == s + 1;
}

bool ecmaster::stepDisable(int slave) {
    const int s = driveState(slave);
    uint16_t cw = 0;
    if (s == kDriveOperationEnabled) {
        cw = kCwDisableOperation;
    } else if (s == kDriveSwitchedOn) {
        cw = kCwShutdown;
    } else {
        log(QStringLiteral("当前状态:") + driveStateName(s) + QStringLiteral("无法Disable"));
        return false;
    }
    sendControlWord(slave, cw);
    QThread::msleep(kStepPauseMs);
    return driveState(slave) == s - 1;
}

bool ecmaster::enableSlave(int slave) {
    return enableWalk(slave, quickStops.load());
}

bool ecmaster::enableWalk(int slave, uint64_t stops) {
    if (!connected) {
        log(QStringLiteral("Not connected, cannot Enable!"));
        return false;
    }
    // Only staggers a second transition; it does not exclude it.
    if (busy) {
        QThread::msleep(kBusyPauseMs);
    }
    busy = true;
    while (driveState(slave) < kDriveOperationEnabled) {
        if (!stepEnable(slave, stops)) {
            break;
        }
    }
    const bool result = driveState(slave) == kDriveOperationEnabled && quickStops.load() == stops;
    busy = false;
    return result;
}

bool ecmaster::disableSlave(int slave) {
    if (busy) {
        QThread::msleep(kBusyPauseMs);
    }
    busy = true;
    while (driveState(slave) > kDriveReadyToSwitchOn) {
        if (!stepDisable(slave)) {
            break;
        }
    }
    const bool result = driveState(slave) == kDriveReadyToSwitchOn;
    busy = false;
    return result;
}

bool ecmaster::markEnabled(bool result) {
    enabled = result;
    // A teardown during the walk clears `connected` before `enabled`: whichever of its stores
    // this check sees, a dead bus never stays marked enabled.
    if (!connected) {
        enabled = false;
        return false;
    }
    return result;
}

bool ecmaster::enableDrive(int index) {
    if (enabled) {
        log(QStringLiteral("Is in enable, cannot enable!"));
        return false;
    }
    const int slave = slaveAt(index);
    const bool result = slave ? enableWalk(slave, quickStops.load()) : false;
    return markEnabled(result);
}

bool ecmaster::enableAllDrives() {
    if (enabled) {
        log(QStringLiteral("Is in enable, cannot enable!"));
        return false;
    }
    // A STOP during the walk of any drive ends the walks of all.
    const uint64_t stops = quickStops.load();
    bool result = true;
    for (const int slave : validDrives) {
        if (!enableWalk(slave, stops)) {
            result = false;
            break;
        }
    }
    return markEnabled(result);
}

bool ecmaster::disableDrive(int index) {
    if (!enabled) {
        log(QStringLiteral("Not in enable, cannot Disable!"));
        return false;
    }
    const int slave = slaveAt(index);
    const bool result = slave ? disableSlave(slave) : false;
    enabled = !result;
    return result;
}

bool ecmaster::disableAllDrives() {
    if (!enabled) {
        log(QStringLiteral("Not in enable, cannot Disable!"));
        return false;
    }
    bool result = true;
    for (const int slave : validDrives) {
        if (!disableSlave(slave)) {
            result = false;
            break;
        }
    }
    enabled = !result;
    return result;
}

bool ecmaster::awaitDriveState(int slave, int state, int timeoutMs) {
    QElapsedTimer waited;
    waited.start();
    while (driveState(slave) != state) {
        if (waited.elapsed() >= timeoutMs || !connected) {
            return false;
        }
        QThread::msleep(kFaultPollMs);
    }
    return true;
}

bool ecmaster::resetFault(int index) {
    if (!connected) {
        log(QStringLiteral("Not connected, cannot reset a fault!"));
        return false;
    }
    const int slave = slaveAt(index);
    if (slave == 0) {
        return false;
    }
    const int s = driveState(slave);
    if (s != kDriveFault && s != kDriveFaultReaction) {
        log(QStringLiteral("当前状态:") + driveStateName(s) + QStringLiteral("无需复位"));
        return false;
    }
    if (!awaitDriveState(slave, kDriveFault, kFaultResetTimeoutMs)) {
        log(QStringLiteral("Drive %1 did not end its fault reaction.").arg(index));
        return false;
    }
    // The drive acts on the edge of bit 7, so the word goes low first, then high, then low
    // again, each held for a cycle or more. A STOP meanwhile ends the reset.
    const uint64_t stops = quickStops.load();
    for (const uint16_t cw : {kCwNone, kCwFaultReset, kCwNone}) {
        if (!sendWalkControlWord(slave, cw, stops)) {
            log(QStringLiteral("Fault reset of drive %1 stopped by STOP.").arg(index));
            return false;
        }
        QThread::msleep(kStepPauseMs);
    }
    return awaitDriveState(slave, kDriveSwitchOnDisabled, kFaultResetTimeoutMs);
}

std::optional<TCiA402_GetValue> ecmaster::driveInputs(int index) {
    const int slave = slaveAt(index);
    if (slave == 0) {
        return std::nullopt;
    }
    QMutexLocker lock(&inputMutex);
    const uint8_t* in = images[static_cast<size_t>(slave)].inputs;
    if (in == nullptr) {
        return std::nullopt;
    }
    return decodeInputImage(in);
}
