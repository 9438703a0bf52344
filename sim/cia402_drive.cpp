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

constexpr uint16_t kStatusVoltageEnabled = 0x0010;
constexpr uint16_t kStatusRemote = 0x0200;
constexpr uint16_t kControlFaultReset = 0x0080;

// Control-word commands by mask and value.
bool isShutdown(uint16_t cw) {
    return (cw & 0x87) == 0x06;
}
bool isSwitchOn(uint16_t cw) {
    return (cw & 0x8F) == 0x07;
}
bool isEnableOperation(uint16_t cw) {
    return (cw & 0x8F) == 0x0F;
}
bool isDisableVoltage(uint16_t cw) {
    return (cw & 0x82) == 0x00;
}
bool isQuickStop(uint16_t cw) {
    return (cw & 0x86) == 0x02;
}

}  // namespace

uint16_t cia402StatusWord(Cia402State state) {
    uint16_t low = 0;
    switch (state) {
        case Cia402State::NotReadyToSwitchOn:
            low = 0x00;
            break;
        case Cia402State::SwitchOnDisabled:
            low = 0x40;
            break;
        case Cia402State::ReadyToSwitchOn:
            low = 0x21;
            break;
        case Cia402State::SwitchedOn:
            low = 0x23;
            break;
        case Cia402State::OperationEnabled:
            low = 0x27;
            break;
        case Cia402State::QuickStopActive:
            low = 0x07;
            break;
        case Cia402State::FaultReactionActive:
            low = 0x0F;
            break;
        case Cia402State::Fault:
            low = 0x08;
            break;
    }
    return static_cast<uint16_t>(low | kStatusVoltageEnabled | kStatusRemote);
}

Cia402Drive::Cia402Drive(const SlaveConfig& cfg) : cfg_(cfg), saveDurationNs_(cfg.saveDurationNs) {
    foe_.password = cfg.foePassword;
    foe_.busyPackets.insert(cfg.foeBusyPackets.begin(), cfg.foeBusyPackets.end());
    buildDictionary();
}

void Cia402Drive::onPowerUp() {
    // Transitions 0 and 1 happen during the drive's own start-up.
    state_ = Cia402State::SwitchOnDisabled;
    controlWord_ = 0;
    modeDisplay_ = 0;
    position_ = 0;
    velocity_ = 0;
    torque_ = 0;
    errorWord_ = 0;
    drvErrorWord_ = 0;
    lastStepNs_ = 0;
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
    const bool resetEdge = (cw & kControlFaultReset) && !(controlWord_ & kControlFaultReset);
    controlWord_ = cw;
    if (std::find(cfg_.ignoredControlWords.begin(), cfg_.ignoredControlWords.end(), cw) !=
        cfg_.ignoredControlWords.end()) {
        return;
    }
    using S = Cia402State;
    switch (state_) {
        case S::NotReadyToSwitchOn:
            state_ = S::SwitchOnDisabled;
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
            if (resetEdge) {
                state_ = S::SwitchOnDisabled;  // 15
                errorWord_ = 0;
                drvErrorWord_ = 0;
            }
            break;
    }
    if (state_ != S::OperationEnabled && state_ != S::QuickStopActive) {
        velocity_ = 0;
        torque_ = 0;
    }
}

void Cia402Drive::injectFault(uint32_t errorWord, uint32_t drvErrorWord) {
    errorWord_ |= errorWord;
    drvErrorWord_ |= drvErrorWord;
    state_ = Cia402State::FaultReactionActive;  // 13
    velocity_ = 0;
    torque_ = 0;
    publishInputs();
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
    if (state_ == Cia402State::FaultReactionActive)
        state_ = Cia402State::Fault;  // 14
    const int64_t now = this->now();
    std::copy_n(data.begin(), out::kSize, outputs_.begin());
    if (apply) {
        applyControlWord(rd16(&data[out::kControlWord]));
        modeDisplay_ = cfg_.ignoresMode ? 0 : static_cast<int16_t>(rd16(&data[out::kMode]));
        move(data, now);
    }
    lastStepNs_ = now;
    publishInputs();
}

// Ideal axis: follows the cyclic set-point of the active mode exactly.
void Cia402Drive::move(std::span<const uint8_t> outputs, int64_t nowNs) {
    if (state_ != Cia402State::OperationEnabled)
        return;
    const double dt = lastStepNs_ > 0 ? static_cast<double>(nowNs - lastStepNs_) * 1e-9 : 0.0;
    const auto targetPosition = static_cast<int32_t>(rd32(&outputs[out::kTargetPosition]));
    const auto targetVelocity = static_cast<int32_t>(rd32(&outputs[out::kTargetVelocity]));
    const auto targetTorque = static_cast<int16_t>(rd16(&outputs[out::kTargetTorque]));
    switch (modeDisplay_) {
        case 8:  // cyclic synchronous position
            velocity_ =
                dt > 0 ? static_cast<int32_t>((targetPosition - position_) / 65535.0 / dt * 1e7)
                       : 0;
            position_ = targetPosition;
            break;
        case 10:  // cyclic synchronous torque
            torque_ = targetTorque;
            break;
        default:  // velocity modes
            velocity_ = targetVelocity;
            position_ += velocity_ * 1e-7 * 65535.0 * dt;
            break;
    }
}

void Cia402Drive::onOutputsInvalid() {
    using S = Cia402State;
    if (state_ == S::ReadyToSwitchOn || state_ == S::SwitchedOn || state_ == S::OperationEnabled ||
        state_ == S::QuickStopActive)
        state_ = S::SwitchOnDisabled;
    velocity_ = 0;
    torque_ = 0;
    publishInputs();
}

std::array<uint8_t, in::kSize> Cia402Drive::inputImage() const {
    TCiA402_GetValue v;
    v.statusWord = statusWord();
    v.position = static_cast<int32_t>(position_);
    v.velocity = velocity_;
    v.torque = torque_;
    v.busVoltage = busVoltage_;
    v.errorWord = errorWord_;
    v.drvErrorWord = drvErrorWord_;
    v.mcuTemp = mcuTemp_;
    v.mosTemp = mosTemp_;
    v.motorTemp = motorTemp_;
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
    if (service != ec::kCoeSdoRequest) {
        // SDO information, PDOs over the mailbox and the rest are not offered.
        mbx_.sendError(*esc_, mbx_error::kServiceNotSupported);
        return;
    }
    if (data.size() < kSdoLength) {
        mbx_.sendError(*esc_, mbx_error::kDataTooShort);
        return;
    }
    sdo_.oversizedUpload = mbx_.misbehaviour == Misbehaviour::OversizedUpload;
    sdo_.segmentsBeyondSize = mbx_.misbehaviour == Misbehaviour::SegmentsBeyondSize;
    const auto reply = sdo_.handle(data, esc_->smWindow(0).size(), esc_->smWindow(1).size());
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
    return e->value;
}

}  // namespace sim
