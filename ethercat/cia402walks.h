// The CiA 402 power state machine of the drives as the master walks it: the state from the
// status word in the input image, the walk up to Operation enabled or down to Ready to switch
// on one control word at a time, the fault reset and the quick stop. The walks block (fixed
// pauses between steps) and belong on worker threads; quickStop never waits.
#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>

#include <cstdint>

#include "cycleexchange.h"
#include "masterstate.h"
#include "model/cia402.h"

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
// The walks step through the codes by adding and subtracting one, as the vocabulary's states.
static_assert(kDriveNotReady == static_cast<int>(Cia402State::NotReadyToSwitchOn) &&
              kDriveSwitchOnDisabled == static_cast<int>(Cia402State::SwitchOnDisabled) &&
              kDriveReadyToSwitchOn == static_cast<int>(Cia402State::ReadyToSwitchOn) &&
              kDriveSwitchedOn == static_cast<int>(Cia402State::SwitchedOn) &&
              kDriveOperationEnabled == static_cast<int>(Cia402State::OperationEnabled) &&
              kDriveQuickStopActive == static_cast<int>(Cia402State::QuickStopActive) &&
              kDriveFaultReaction == static_cast<int>(Cia402State::FaultReactionActive) &&
              kDriveFault == static_cast<int>(Cia402State::Fault) &&
              kDriveUnknown == static_cast<int>(Cia402State::Unknown));

class Cia402Walks {
    // Its log lines are operator texts, translated in context "Cia402Walks".
    Q_DECLARE_TR_FUNCTIONS(Cia402Walks)

public:
    Cia402Walks(MasterState& state, CycleExchange& cycle) : s_(state), cycle_(cycle) {}
    Cia402Walks(const Cia402Walks&) = delete;
    Cia402Walks& operator=(const Cia402Walks&) = delete;

    int driveState(int slave);
    // The state's display name in the operator's language.
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
    // CiA 402 quick stop into the command records of the drives `indexes`, for the next cycle to
    // send; an enable walk or fault reset under way stops writing control words. Never waits on
    // a transfer. Returns the drive indexes reached.
    QList<int> quickStop(const QList<int>& indexes);

private:
    void sendControlWord(int slave, uint16_t controlWord);
    // A walk's control word: written only while no quick stop came since `stops` was read;
    // false (nothing written) otherwise.
    bool sendWalkControlWord(int slave, uint16_t controlWord, uint64_t stops);
    // The enable walk of one drive; ends without success once a quick stop came since `stops`.
    // Its setpoints are made neutral first.
    bool enableWalk(int slave, uint64_t stops);
    // Target torque and velocity 0, target position the actual one, in the drive's command
    // record and output image.
    void neutralSetpoints(int slave);
    // Polls the drive's state until it reads `state`; false after `timeoutMs` or a teardown.
    bool awaitDriveState(int slave, int state, int timeoutMs);
    // Ends an enable walk: sets `enabled` to its result, unless the bus went down meanwhile.
    bool markEnabled(bool result);

    MasterState& s_;
    CycleExchange& cycle_;
};
