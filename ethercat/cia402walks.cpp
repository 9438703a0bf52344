// The CiA 402 power state machine of the drives: the state from the status word, and the walk up
// to Operation enabled or down to Ready to switch on, one control word at a time.
#include <QElapsedTimer>
#include <QThread>

#include "cia402walks.h"

#include "model/cia402text.h"
#include "model/scaling.h"

namespace {

constexpr unsigned long kStepPauseMs = 50;
constexpr unsigned long kBusyPauseMs = 2;
constexpr int kMaxDisableSteps = 6;

// A fault reaction ends in Fault by itself; a reset then takes the drive to Switch on disabled.
constexpr int kFaultResetTimeoutMs = 1000;
constexpr unsigned long kFaultPollMs = 10;

}  // namespace

int Cia402Walks::driveState(int slave) {
    if (!isTableSlave(slave)) {
        return kDriveUnknown;
    }
    // Under the input mutex: the cycle's receive rewrites the input images.
    QMutexLocker lock(&s_.inputMutex);
    const uint8_t* in = s_.images[static_cast<size_t>(slave)].inputs;
    return in ? static_cast<int>(cia402StateFromStatusWord(loadLe16(in))) : kDriveUnknown;
}

QString Cia402Walks::driveStateName(int code) {
    return cia402StateDisplayText(static_cast<Cia402State>(code));
}

int Cia402Walks::driveStateOf(int index) {
    const int slave = s_.slaveAt(index);
    return slave ? driveState(slave) : kDriveUnknown;
}

void Cia402Walks::sendControlWord(int slave, uint16_t controlWord) {
    if (!isTableSlave(slave) || s_.images[static_cast<size_t>(slave)].outputs == nullptr) {
        s_.log(tr("Fail: null ptr warnning"));
        return;
    }
    QMutexLocker lock(&s_.pdMutex);
    s_.commands[static_cast<size_t>(slave)].controlWord = controlWord;
    cycle_.applyCommandField(slave, kCmdControlWord);
}

bool Cia402Walks::sendWalkControlWord(int slave, uint16_t controlWord, uint64_t stops) {
    if (!isTableSlave(slave) || s_.images[static_cast<size_t>(slave)].outputs == nullptr) {
        s_.log(tr("Fail: null ptr warnning"));
        return false;
    }
    // Checked under the lock quickStop writes under: a STOP either comes before this word, and
    // the word is not written, or after it, and overwrites it.
    QMutexLocker lock(&s_.pdMutex);
    if (s_.quickStops.load() != stops) {
        return false;
    }
    s_.commands[static_cast<size_t>(slave)].controlWord = controlWord;
    cycle_.applyCommandField(slave, kCmdControlWord);
    return true;
}

QList<int> Cia402Walks::quickStop(const QList<int>& indexes) {
    QList<int> reached;
    QMutexLocker lock(&s_.pdMutex);
    s_.quickStops.fetch_add(1);
    for (const int index : indexes) {
        const int slave = s_.slaveAt(index);
        if (slave == 0 || s_.images[static_cast<size_t>(slave)].outputs == nullptr) {
            continue;
        }
        s_.commands[static_cast<size_t>(slave)].controlWord = kControlWordQuickStop;
        cycle_.applyCommandField(slave, kCmdControlWord);
        reached.append(index);
        s_.scopeEvent(scope::EventKind::Stop, slave, "quick stop sent");
    }
    return reached;
}

bool Cia402Walks::stepEnable(int slave) {
    return stepEnable(slave, s_.quickStops.load());
}

bool Cia402Walks::stepEnable(int slave, uint64_t stops) {
    static constexpr uint16_t kUp[] = {kControlWordDisableVoltage, kControlWordShutdown,
                                       kControlWordSwitchOn, kControlWordEnableOperation};
    const int s = driveState(slave);
    if (s < kDriveNotReady || s > kDriveSwitchedOn) {
        s_.log(tr("当前状态:%1无法Enable").arg(driveStateName(s)));
        return false;
    }
    if (!sendWalkControlWord(slave, kUp[s], stops)) {
        s_.log(tr("Enable of slave %1 stopped by STOP.").arg(slave));
        return false;
    }
    QThread::msleep(kStepPauseMs);
    return driveState(slave) == s + 1;
}

bool Cia402Walks::stepDisable(int slave) {
    const int s = driveState(slave);
    uint16_t cw = 0;
    int next = kDriveUnknown;
    switch (s) {
        case kDriveOperationEnabled:
            cw = kControlWordDisableOperation;
            next = kDriveSwitchedOn;
            break;
        case kDriveSwitchedOn:
            cw = kControlWordShutdown;
            next = kDriveReadyToSwitchOn;
            break;
        // Out of a quick stop the profile goes through Switch on disabled (disable voltage,
        // transition 12), then up to Ready to switch on (shutdown, transition 2): the drive is then
        // where any other Disable leaves it.
        case kDriveQuickStopActive:
            cw = kControlWordDisableVoltage;
            next = kDriveSwitchOnDisabled;
            break;
        case kDriveSwitchOnDisabled:
            cw = kControlWordShutdown;
            next = kDriveReadyToSwitchOn;
            break;
        default:
            s_.log(tr("当前状态:%1无法Disable").arg(driveStateName(s)));
            return false;
    }
    sendControlWord(slave, cw);
    QThread::msleep(kStepPauseMs);
    return driveState(slave) == next;
}

void Cia402Walks::neutralSetpoints(int slave) {
    if (!isTableSlave(slave) || s_.images[static_cast<size_t>(slave)].outputs == nullptr) {
        return;
    }
    QMutexLocker pdLock(&s_.pdMutex);
    int32_t actual = 0;
    {
        QMutexLocker inLock(&s_.inputMutex);
        if (const uint8_t* in = s_.images[static_cast<size_t>(slave)].inputs) {
            actual = decodeInputImage(in).position;
        }
    }
    // A setpoint left from before a STOP or a fault would move the drive the moment it is
    // enabled: nothing moves until the operator commands it.
    App_SetValue& c = s_.commands[static_cast<size_t>(slave)];
    c.torque = 0.0f;
    c.velocity = 0.0f;
    c.position = rawToPosition(actual);
    for (const int code : {kCmdTorque, kCmdVelocity, kCmdPosition}) {
        cycle_.applyCommandField(slave, code);
    }
    // The count itself: turns in single precision would put the target a count off.
    storeLe32(s_.images[static_cast<size_t>(slave)].outputs + kOutTargetPosition,
              static_cast<uint32_t>(actual));
}

bool Cia402Walks::enableSlave(int slave) {
    return enableWalk(slave, s_.quickStops.load());
}

bool Cia402Walks::enableWalk(int slave, uint64_t stops) {
    if (!s_.connected) {
        s_.log(tr("Not connected, cannot Enable!"));
        return false;
    }
    // Only staggers a second transition; it does not exclude it.
    if (s_.busy) {
        QThread::msleep(kBusyPauseMs);
    }
    s_.busy = true;
    if (driveState(slave) != kDriveOperationEnabled) {
        neutralSetpoints(slave);
    }
    while (driveState(slave) < kDriveOperationEnabled) {
        if (!stepEnable(slave, stops)) {
            break;
        }
    }
    const bool result =
        driveState(slave) == kDriveOperationEnabled && s_.quickStops.load() == stops;
    s_.busy = false;
    if (result) {
        s_.scopeEvent(scope::EventKind::Enable, slave, "enabled: Operation enabled");
    }
    return result;
}

bool Cia402Walks::disableSlave(int slave) {
    if (s_.busy) {
        QThread::msleep(kBusyPauseMs);
    }
    s_.busy = true;
    // At most a few steps: four from Operation enabled or Quick stop active, and one more when a
    // STOP overtakes the walk (the drive then answers the next word from Quick stop active).
    for (int step = 0; step < kMaxDisableSteps && driveState(slave) != kDriveReadyToSwitchOn;
         ++step) {
        const int before = driveState(slave);
        if (!stepDisable(slave) && driveState(slave) == before) {
            break;  // the drive did not move
        }
    }
    const bool result = driveState(slave) == kDriveReadyToSwitchOn;
    s_.busy = false;
    if (result) {
        s_.scopeEvent(scope::EventKind::Disable, slave, "disabled: Ready to switch on");
    }
    return result;
}

bool Cia402Walks::markEnabled(bool result) {
    s_.enabled = result;
    // A teardown during the walk clears `connected` before `enabled`: whichever of its stores
    // this check sees, a dead bus never stays marked enabled.
    if (!s_.connected) {
        s_.enabled = false;
        return false;
    }
    return result;
}

bool Cia402Walks::enableDrive(int index) {
    if (s_.enabled) {
        s_.log(tr("Is in enable, cannot enable!"));
        return false;
    }
    const int slave = s_.slaveAt(index);
    const bool result = slave ? enableWalk(slave, s_.quickStops.load()) : false;
    return markEnabled(result);
}

bool Cia402Walks::enableAllDrives() {
    if (s_.enabled) {
        s_.log(tr("Is in enable, cannot enable!"));
        return false;
    }
    // A STOP during the walk of any drive ends the walks of all.
    const uint64_t stops = s_.quickStops.load();
    bool result = true;
    for (const int slave : s_.validDrives) {
        if (!enableWalk(slave, stops)) {
            result = false;
            break;
        }
    }
    return markEnabled(result);
}

bool Cia402Walks::disableDrive(int index) {
    if (!s_.enabled) {
        s_.log(tr("Not in enable, cannot Disable!"));
        return false;
    }
    const int slave = s_.slaveAt(index);
    const bool result = slave ? disableSlave(slave) : false;
    s_.enabled = !result;
    return result;
}

bool Cia402Walks::disableAllDrives() {
    if (!s_.enabled) {
        s_.log(tr("Not in enable, cannot Disable!"));
        return false;
    }
    bool result = true;
    for (const int slave : s_.validDrives) {
        if (!disableSlave(slave)) {
            result = false;
            break;
        }
    }
    s_.enabled = !result;
    return result;
}

bool Cia402Walks::awaitDriveState(int slave, int state, int timeoutMs) {
    QElapsedTimer waited;
    waited.start();
    while (driveState(slave) != state) {
        if (waited.elapsed() >= timeoutMs || !s_.connected) {
            return false;
        }
        QThread::msleep(kFaultPollMs);
    }
    return true;
}

bool Cia402Walks::resetFault(int index) {
    if (!s_.connected) {
        s_.log(tr("Not connected, cannot reset a fault!"));
        return false;
    }
    const int slave = s_.slaveAt(index);
    if (slave == 0) {
        return false;
    }
    const int s = driveState(slave);
    if (s != kDriveFault && s != kDriveFaultReaction) {
        s_.log(tr("当前状态:%1无需复位").arg(driveStateName(s)));
        return false;
    }
    if (!awaitDriveState(slave, kDriveFault, kFaultResetTimeoutMs)) {
        s_.log(tr("Drive %1 did not end its fault reaction.").arg(index));
        return false;
    }
    // Switch on disabled after the reset, and enabled later: no old setpoint may be waiting.
    neutralSetpoints(slave);
    // The drive acts on the edge of bit 7, so the word goes low first, then high, then low
    // again, each held for a cycle or more. A STOP meanwhile ends the reset.
    const uint64_t stops = s_.quickStops.load();
    for (const uint16_t cw :
         {kControlWordDisableVoltage, kControlWordFaultReset, kControlWordDisableVoltage}) {
        if (!sendWalkControlWord(slave, cw, stops)) {
            s_.log(tr("Fault reset of drive %1 stopped by STOP.").arg(index));
            return false;
        }
        QThread::msleep(kStepPauseMs);
    }
    return awaitDriveState(slave, kDriveSwitchOnDisabled, kFaultResetTimeoutMs);
}
