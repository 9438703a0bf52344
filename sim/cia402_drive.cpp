#include "sim/cia402_drive.h"

#include <algorithm>
#include <array>
#include <vector>

#include "ethercat/stack/protocol.h"
#include "sim/bytes.h"
#include "sim/drive_image.h"
#include "sim/esc.h"

namespace sim {

namespace {

// Control-word commands as the drive takes them: the master's words, with the bits each command
// does not look at masked out (bit 7 set is a fault reset and none of these).
bool isShutdown(uint16_t cw) {
    return (cw & 0x87) == kControlWordShutdown;
}
bool isSwitchOn(uint16_t cw) {
    return (cw & 0x8F) == kControlWordSwitchOn;
}
bool isEnableOperation(uint16_t cw) {
    return (cw & 0x8F) == kControlWordEnableOperation;
}
bool isDisableVoltage(uint16_t cw) {
    return (cw & 0x82) == kControlWordDisableVoltage;
}
bool isQuickStop(uint16_t cw) {
    return (cw & 0x86) == kControlWordQuickStop;
}

}  // namespace

uint16_t cia402StatusWord(Cia402State state) {
    return static_cast<uint16_t>(cia402StatusBits(state) | kStatusWordVoltageEnabled |
                                 kStatusWordRemote);
}

Cia402Drive::Cia402Drive(const SlaveConfig& cfg)
    : cfg_(cfg),
      joint_(cfg.joint, cfg.noiseSeed ^ (uint64_t{cfg.identity.serial} * 0x9E3779B97F4A7C15ull)),
      saveDurationNs_(cfg.saveDurationNs) {
    foe_.password = cfg.foePassword;
    foe_.busyPackets.insert(cfg.foeBusyPackets.begin(), cfg.foeBusyPackets.end());
    foe_.capacity = cfg.foeCapacityBytes;
    buildDictionary();
}

void Cia402Drive::onPowerUp() {
    // Transitions 0 and 1 happen during the drive's own start-up.
    state_ = Cia402State::SwitchOnDisabled;
    controlWord_ = 0;
    modeDisplay_ = 0;
    joint_.powerUp();
    errorWord_ = 0;
    drvErrorWord_ = 0;
    lastStepNs_ = 0;
    holdOffControlWord_ = false;
    calibrating_ = false;
    outputs_.fill(0);
    // The parameters start from what was last saved; anything unsaved is gone.
    for (const auto& [sub, bytes] : savedParams_) {
        if (SubObject* e = od_.entry(kParamObject, sub))
            e->value = bytes;
    }
    savingUntilNs_ = 0;
    if (cfg_.powerUpFaultWord != 0) {
        drvErrorWord_ = cfg_.powerUpFaultWord;
        state_ = Cia402State::Fault;
    }
    // The PDO configuration is not kept over a power cycle: the fixed mapping again.
    od_.setU32(kRxPdoAssign, 0, 1);
    od_.setU32(kTxPdoAssign, 0, 1);
    od_.setU32(kRxPdoIndex, 0, static_cast<uint32_t>(kRxPdoEntries.size()));
    od_.setU32(kTxPdoIndex, 0, static_cast<uint32_t>(kTxPdoEntries.size()));
    sdo_.reset();
    foe_.reset();
    mbx_.restart();
}

uint16_t Cia402Drive::checkTransition(uint8_t from, uint8_t to) {
    if (to == ec::kAlStateBoot && !cfg_.bootSupported)
        return ec::kAlBootstrapNotSupported;
    if (from == ec::kAlStatePreOp && to == ec::kAlStateSafeOp) {
        // A PDO configuration left half-done in PRE-OP does not describe the images.
        if (od_.u32(kRxPdoAssign, 0) != 1 || od_.u32(kRxPdoIndex, 0) != kRxPdoEntries.size())
            return ec::kAlInvalidOutputMapping;
        if (od_.u32(kTxPdoAssign, 0) != 1 || od_.u32(kTxPdoIndex, 0) != kTxPdoEntries.size())
            return ec::kAlInvalidInputMapping;
    }
    return 0;
}

void Cia402Drive::onMailboxStart() {
    sdo_.reset();
    foe_.reset();
    mbx_.restart();
}

int64_t Cia402Drive::now() const {
    return esc_ ? esc_->hostNowNs() : 0;
}

void Cia402Drive::applyControlWord(uint16_t cw) {
    const bool resetEdge =
        (cw & kControlWordFaultReset) && !(controlWord_ & kControlWordFaultReset);
    controlWord_ = cw;
    if (holdOffControlWord_) {
        if (cw == heldControlWord_)
            return;
        holdOffControlWord_ = false;
    }
    if (std::find(cfg_.ignoredControlWords.begin(), cfg_.ignoredControlWords.end(), cw) !=
        cfg_.ignoredControlWords.end()) {
        return;
    }
    using S = Cia402State;
    switch (state_) {
        case S::NotReadyToSwitchOn:
        case S::Unknown:
            state_ = S::SwitchOnDisabled;  // 1
            break;
        case S::SwitchOnDisabled:
            if (isShutdown(cw))
                state_ = S::ReadyToSwitchOn;  // 2
            break;
        case S::ReadyToSwitchOn:
            if (isEnableOperation(cw))
                state_ = S::OperationEnabled;  // 3 + 4
            else if (isSwitchOn(cw))
                state_ = S::SwitchedOn;  // 3
            else if (isDisableVoltage(cw) || isQuickStop(cw))
                state_ = S::SwitchOnDisabled;  // 7
            break;
        case S::SwitchedOn:
            if (isEnableOperation(cw))
                state_ = S::OperationEnabled;  // 4
            else if (isShutdown(cw))
                state_ = S::ReadyToSwitchOn;  // 6
            else if (isDisableVoltage(cw) || isQuickStop(cw))
                state_ = S::SwitchOnDisabled;  // 10
            break;
        case S::OperationEnabled:
            if (isSwitchOn(cw))
                state_ = S::SwitchedOn;  // 5
            else if (isShutdown(cw))
                state_ = S::ReadyToSwitchOn;  // 8
            else if (isDisableVoltage(cw))
                state_ = S::SwitchOnDisabled;  // 9
            else if (isQuickStop(cw))
                state_ = S::QuickStopActive;  // 11
            break;
        case S::QuickStopActive:
            // Quick-stop option 6: stop and stay until told otherwise.
            if (isDisableVoltage(cw))
                state_ = S::SwitchOnDisabled;  // 12
            else if (isEnableOperation(cw))
                state_ = S::OperationEnabled;  // 16
            break;
        case S::FaultReactionActive:
            state_ = S::Fault;  // 14
            break;
        case S::Fault:
            if (resetEdge && !overheated()) {
                state_ = S::SwitchOnDisabled;  // 15
                errorWord_ = 0;
                drvErrorWord_ = 0;
            }
            break;
    }
}

void Cia402Drive::injectFault(uint32_t errorWord, uint32_t drvErrorWord) {
    advanceTo(now());
    errorWord_ |= errorWord;
    drvErrorWord_ |= drvErrorWord;
    state_ = Cia402State::FaultReactionActive;  // 13
    publishInputs();
}

JointPower Cia402Drive::jointPower() const {
    switch (state_) {
        case Cia402State::OperationEnabled:
            return JointPower::Follow;
        case Cia402State::QuickStopActive:
        case Cia402State::FaultReactionActive:
            return JointPower::Stop;
        default:
            return JointPower::Off;
    }
}

void Cia402Drive::advanceTo(int64_t nowNs) {
    if (lastStepNs_ > 0 && nowNs > lastStepNs_) {
        DriveOutputImage cmd = decodeOutputImage(outputs_.data());
        cmd.mode = static_cast<uint16_t>(modeDisplay_);
        const auto param = parameter(kDriveParamCalibrationCurrent);
        joint_.setStandbyCurrent(calibrating_ && !calibrationFinished() && !param.empty()
                                     ? static_cast<double>(param[0])
                                     : 0.0);
        joint_.advance(static_cast<double>(nowNs - lastStepNs_) * 1e-9, jointPower(), cmd);
        lastStepNs_ = nowNs;
        afterJointStep();
    } else if (lastStepNs_ == 0) {
        lastStepNs_ = nowNs;
    }
}

void Cia402Drive::afterJointStep() {
    if (joint_.takeIdentificationEnd() && state_ == Cia402State::OperationEnabled) {
        // The identification routine ends by switching the power stage off: Switched on.
        state_ = Cia402State::SwitchedOn;
        holdOffControlWord_ = true;
        heldControlWord_ = controlWord_;
    }
    if (state_ == Cia402State::Fault || state_ == Cia402State::FaultReactionActive)
        return;
    uint32_t error = 0;
    uint32_t drvError = 0;
    overTemperature(0.0, error, drvError);
    if (error || drvError) {
        errorWord_ |= error;
        drvErrorWord_ |= drvError;
        state_ = Cia402State::FaultReactionActive;
    }
}

// Over-temperature bits of the temperatures at or above their limits (parameters 14-16) less
// `margin` kelvin.
void Cia402Drive::overTemperature(double margin, uint32_t& error, uint32_t& drvError) const {
    if (!cfg_.thermalProtection)
        return;
    const auto limit = [this, margin](int id) {
        const auto p = parameter(id);
        return (p.empty() ? 1e9 : static_cast<double>(p[0])) - margin;
    };
    if (joint_.motorTemp() >= limit(kDriveParamMotorOverTemp))
        error |= kErrorMotorOverTemp;
    if (joint_.mosTemp() >= limit(kDriveParamMosOverTemp))
        drvError |= kDrvErrorMosOverTemp;
    if (joint_.mcuTemp() >= limit(kDriveParamMcuOverTemp))
        drvError |= kDrvErrorMcuOverTemp;
}

// A fault reset after over-temperature needs the hysteresis below the limit.
bool Cia402Drive::overheated() const {
    constexpr double kHysteresisK = 5.0;
    uint32_t error = 0;
    uint32_t drvError = 0;
    overTemperature(kHysteresisK, error, drvError);
    return error || drvError;
}

// Routines that a mode and a setpoint start: identification runs in the sine mode as soon as a
// torque is commanded.
void Cia402Drive::startRoutines() {
    if (state_ != Cia402State::OperationEnabled || modeDisplay_ != kModeSineCurve ||
        joint_.identifying())
        return;
    const auto torque = static_cast<int16_t>(rd16(&outputs_[out::kTargetTorque]));
    if (torque == 0)
        return;
    joint_.startIdentification(torque * 80.0 / 32767.0,
                               static_cast<double>(cfg_.identificationDurationNs) * 1e-9);
}

bool Cia402Drive::calibrationFinished() const {
    return calibrating_ && !cfg_.calibrationNeverEnds &&
           now() - calibrationStartNs_ >= cfg_.calibrationDurationNs;
}

JointReadings Cia402Drive::readings() const {
    JointReadings r;
    r.state = state_;
    r.mode = modeDisplay_;
    r.position = joint_.position();
    r.velocity = joint_.velocity();
    r.torque = joint_.torque();
    r.current = joint_.current();
    r.busVoltage = joint_.busVoltage();
    r.motorTemp = joint_.motorTemp();
    r.mosTemp = joint_.mosTemp();
    r.mcuTemp = joint_.mcuTemp();
    r.identifying = joint_.identifying();
    r.calibrating = calibrating_ && !calibrationFinished();
    r.errorWord = errorWord_;
    r.drvErrorWord = drvErrorWord_;
    return r;
}

void Cia402Drive::onStateChange(uint8_t from, uint8_t to) {
    if (to == ec::kAlStateSafeOp || to == ec::kAlStateOp)
        publishInputs();
    if (to == ec::kAlStateBoot)
        foe_.reset();
    // Leaving the bootloader starts the firmware, the new one if a file came in completely.
    if (from == ec::kAlStateBoot && foe_.takeCompletedFile())
        startNewFirmware();
}

void Cia402Drive::onOutputs(int sm, std::span<const uint8_t> data, bool apply) {
    if (sm != kOutputsSm || data.size() < out::kSize)
        return;
    // The time since the last exchange ran under the commands received then.
    advanceTo(now());
    if (state_ == Cia402State::FaultReactionActive)
        state_ = Cia402State::Fault;  // 14
    std::copy_n(data.begin(), out::kSize, outputs_.begin());
    if (apply) {
        applyControlWord(rd16(&data[out::kControlWord]));
        modeDisplay_ = cfg_.ignoresMode ? 0 : static_cast<int16_t>(rd16(&data[out::kMode]));
        startRoutines();
    }
    publishInputs();
}

void Cia402Drive::onOutputsInvalid() {
    advanceTo(now());
    using S = Cia402State;
    if (state_ == S::ReadyToSwitchOn || state_ == S::SwitchedOn || state_ == S::OperationEnabled ||
        state_ == S::QuickStopActive)
        state_ = S::SwitchOnDisabled;
    publishInputs();
}

std::array<uint8_t, in::kSize> Cia402Drive::inputImage() const {
    TCiA402_GetValue v;
    v.statusWord = statusWord();
    v.position = joint_.positionField();
    v.velocity = joint_.velocityField();
    v.torque = joint_.torqueField();
    v.busVoltage = joint_.busVoltageField();
    v.errorWord = errorWord_;
    v.drvErrorWord = drvErrorWord_;
    v.mcuTemp = joint_.mcuTempField();
    v.mosTemp = joint_.mosTempField();
    v.motorTemp = joint_.motorTempField();
    v.modeDisplay = modeDisplay_;
    std::array<uint8_t, in::kSize> img{};
    encodeInputImage(v, img.data());
    return img;
}

void Cia402Drive::publishInputs() {
    if (!esc_)
        return;
    const auto img = inputImage();
    esc_->pdiWriteBuffer(kInputsSm, img);
}

// --- mailbox ----------------------------------------------------------------------------------

void Cia402Drive::onMailbox(std::span<const uint8_t> message) {
    if (!esc_ || message.size() < ec::kMbxHeaderSize)
        return;
    const uint16_t length = rd16(&message[0]);
    const uint8_t type = message[5] & 0x0F;
    const uint8_t counter = (message[5] >> 4) & 0x07;
    if (!mbx_.acceptCounter(counter))
        return;  // the master wrote the same message again
    if (length > message.size() - ec::kMbxHeaderSize) {
        mbx_.sendError(*esc_, mbx_error::kLengthInconsistent);
        return;
    }
    const auto data = message.subspan(ec::kMbxHeaderSize, length);
    const bool boot = esc_->alState() == ec::kAlStateBoot;
    switch (type) {
        case ec::kMbxTypeCoE:
            if (boot) {
                mbx_.sendError(*esc_, mbx_error::kProtocolNotSupported);  // the bootloader has none
                return;
            }
            serveCoe(data);
            return;
        case ec::kMbxTypeFoE: {
            foe_.wrongAckNumber = mbx_.misbehaviour == Misbehaviour::WrongFoeAck;
            const auto reply = foe_.handle(data, esc_->smWindow(0).size(), boot);
            if (!reply.empty())
                mbx_.send(*esc_, ec::kMbxTypeFoE, reply);
            return;
        }
        default:
            mbx_.sendError(*esc_, mbx_error::kProtocolNotSupported);
            return;
    }
}

void Cia402Drive::serveCoe(std::span<const uint8_t> data) {
    constexpr size_t kSdoLength = 10;
    if (data.size() < 2) {
        mbx_.sendError(*esc_, mbx_error::kDataTooShort);
        return;
    }
    const auto service = static_cast<uint8_t>(rd16(&data[0]) >> 12);
    if (service == ec::kCoeSdoInfo) {
        sdoInfo_.misbehaviour = mbx_.misbehaviour;
        const auto replies = sdoInfo_.handle(data, esc_->smWindow(1).size());
        if (replies.empty())
            mbx_.sendError(*esc_, mbx_error::kDataTooShort);
        for (const auto& reply : replies)
            mbx_.send(*esc_, ec::kMbxTypeCoE, reply);
        return;
    }
    if (service != ec::kCoeSdoRequest) {
        // PDOs over the mailbox and the rest are not offered.
        mbx_.sendError(*esc_, mbx_error::kServiceNotSupported);
        return;
    }
    if (data.size() < kSdoLength) {
        mbx_.sendError(*esc_, mbx_error::kDataTooShort);
        return;
    }
    sdo_.oversizedUpload = mbx_.misbehaviour == Misbehaviour::OversizedUpload;
    sdo_.segmentsBeyondSize = mbx_.misbehaviour == Misbehaviour::SegmentsBeyondSize;
    sdo_.stuckSegmentToggle = mbx_.misbehaviour == Misbehaviour::StuckSegmentToggle;
    const auto reply = sdo_.handle(data, esc_->smWindow(0).size(), esc_->smWindow(1).size());
    const uint8_t specifier = reply.size() >= kSdoLength ? reply[2] >> 5 : 0;  // initiate: 2, 3
    if (mbx_.misbehaviour == Misbehaviour::SdoOtherObjectFirst && (specifier & 0x6) == 2) {
        auto other = reply;
        wr16(&other[3], static_cast<uint16_t>(rd16(&other[3]) + 1));
        mbx_.send(*esc_, ec::kMbxTypeCoE, other);
    }
    if (!reply.empty())
        mbx_.send(*esc_, ec::kMbxTypeCoE, reply);
}

void Cia402Drive::sendEmergency(uint16_t errorCode, uint8_t errorRegister,
                                std::array<uint8_t, 5> manufacturer) {
    if (!esc_)
        return;
    std::array<uint8_t, 10> msg{};
    wr16(&msg[0], static_cast<uint16_t>(ec::kCoeEmergency << 12));
    wr16(&msg[2], errorCode);
    msg[4] = errorRegister;
    std::copy(manufacturer.begin(), manufacturer.end(), msg.begin() + 5);
    mbx_.send(*esc_, ec::kMbxTypeCoE, msg);
}

std::vector<uint8_t> Cia402Drive::parameter(int id) const {
    if (id < 0 || id >= kDriveParamCount)
        return {};
    const SubObject* e = od_.entry(kParamObject, static_cast<uint8_t>(id + 1));
    if (!e)
        return {};
    if (id == kDriveParamSaving)
        return {static_cast<uint8_t>(now() < savingUntilNs_ ? 1 : 0)};
    if (id == kDriveParamCalibration && calibrationFinished())
        return {kCalibrationDone};
    return e->value;
}

}  // namespace sim
