// The firmware of a simulated servo drive: a CiA 402 power state machine fed by the control word
// of each process-data exchange, with plausible idle values and a minimal motion model.
// Behind the mailbox: a CoE object dictionary with an SDO server (identity, PDO mapping, the
// CiA 402 objects of the images, the drive parameters 0x6101:1..37 with save settings), and in
// BOOT a bootloader that takes new firmware over FoE.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "sim/application.h"
#include "sim/config.h"
#include "sim/drive_image.h"
#include "sim/foe_server.h"
#include "sim/mailbox.h"
#include "sim/object_dictionary.h"
#include "sim/sdo_server.h"

namespace sim {

enum class Cia402State {
    NotReadyToSwitchOn,
    SwitchOnDisabled,
    ReadyToSwitchOn,
    SwitchedOn,
    OperationEnabled,
    QuickStopActive,
    FaultReactionActive,
    Fault,
};

// Status word bits 0-6 (and the remote bit) for a state; 0x0250 when switch-on disabled.
uint16_t cia402StatusWord(Cia402State state);

// The drive parameters: object 0x6101, subindex = parameter id + 1.
inline constexpr uint16_t kParamObject = 0x6101;
inline constexpr int kDriveParamCount = 37;
inline constexpr int kDriveParamSoftwareVersion = 0;
inline constexpr int kDriveParamCalibration = 17;
inline constexpr int kDriveParamSaveSettings = 18;
inline constexpr int kDriveParamSaving = 19;
inline constexpr uint8_t kDriveSaveCommand = 15;

class Cia402Drive : public SlaveApplication {
public:
    static constexpr int kOutputsSm = 2;
    static constexpr int kInputsSm = 3;

    explicit Cia402Drive(const SlaveConfig& cfg = SlaveConfig::drive(0));
    // The dictionary's handlers point back at this drive.
    Cia402Drive(const Cia402Drive&) = delete;
    Cia402Drive& operator=(const Cia402Drive&) = delete;

    Cia402State state() const { return state_; }
    uint16_t statusWord() const { return cia402StatusWord(state_); }
    int16_t modeDisplay() const { return modeDisplay_; }
    uint16_t lastControlWord() const { return controlWord_; }
    int32_t position() const { return static_cast<int32_t>(position_); }

    // One control word as the state machine sees it (one process-data exchange in OP).
    void applyControlWord(uint16_t controlWord);
    // A drive fault: fault reaction, then Fault at the next exchange.
    void injectFault(uint32_t errorWord, uint32_t drvErrorWord);

    // --- mailbox services -------------------------------------------------------------------
    ObjectDictionary& dictionary() { return od_; }
    // Raw bytes of drive parameter `id` as the drive holds them now (empty for an unknown id).
    std::vector<uint8_t> parameter(int id) const;
    uint16_t softwareVersion() const { return swVersion_; }
    const std::string& softwareVersionText() const { return swText_; }
    // An emergency message (CoE service 1) into the send mailbox.
    void sendEmergency(uint16_t errorCode, uint8_t errorRegister,
                       std::array<uint8_t, 5> manufacturer = {});
    // The last file written over FoE (kept across power cycles, as a bootloader's flash).
    const FirmwareFile& lastFirmware() const { return foe_.lastFile(); }
    MailboxEndpoint& mailbox() { return mbx_; }
    FoeServer& foe() { return foe_; }
    void setSaveDurationNs(int64_t ns) { saveDurationNs_ = ns; }

    uint16_t checkTransition(uint8_t from, uint8_t to) override;
    void onPowerUp() override;
    void onStateChange(uint8_t from, uint8_t to) override;
    void onOutputs(int sm, std::span<const uint8_t> data, bool apply) override;
    void onOutputsInvalid() override;
    void onMailbox(std::span<const uint8_t> message) override;
    void onMailboxStart() override;

private:
    void move(std::span<const uint8_t> outputs, int64_t nowNs);
    void publishInputs();
    std::array<uint8_t, in::kSize> inputImage() const;
    void buildDictionary();
    void setSoftware(uint16_t version, std::string text);
    void startNewFirmware();
    void serveCoe(std::span<const uint8_t> data);
    int64_t now() const;

    Cia402State state_ = Cia402State::SwitchOnDisabled;
    uint16_t controlWord_ = 0;
    int16_t modeDisplay_ = 0;
    double position_ = 0;  // counts (65535 per turn)
    int32_t velocity_ = 0;
    int16_t torque_ = 0;
    uint32_t busVoltage_ = 48;
    uint32_t errorWord_ = 0;
    uint32_t drvErrorWord_ = 0;
    int16_t mcuTemp_ = 38;
    int16_t mosTemp_ = 35;
    int16_t motorTemp_ = 31;
    int64_t lastStepNs_ = 0;
    std::array<uint8_t, out::kSize> outputs_{};  // last output image taken (the RxPDO objects)

    SlaveConfig cfg_;
    ObjectDictionary od_;
    SdoServer sdo_{od_};
    FoeServer foe_;
    MailboxEndpoint mbx_;
    // Drive parameters as stored by "save settings": what a power-up starts from.
    std::map<uint8_t, std::vector<uint8_t>> savedParams_;
    int64_t saveDurationNs_ = 50'000'000;
    int64_t savingUntilNs_ = 0;
    uint16_t swVersion_ = 0x3125;
    std::string swText_;
};

}  // namespace sim
