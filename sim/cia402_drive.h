// The firmware of a simulated servo drive: a CiA 402 power state machine fed by the control word
// of each process-data exchange, driving a physical joint model (JointModel) through the mode of
// operation, with calibration and identification routines and over-temperature protection.
// Behind the mailbox: a CoE object dictionary with SDO and SDO information servers (identity, PDO
// mapping, the CiA 402 objects of the images, the drive parameters 0x6101:1..37 with save
// settings), and in BOOT a bootloader that takes new firmware over FoE.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "model/cia402.h"
#include "sim/application.h"
#include "sim/config.h"
#include "sim/drive_image.h"
#include "sim/foe_server.h"
#include "sim/joint_model.h"
#include "sim/mailbox.h"
#include "sim/object_dictionary.h"
#include "sim/sdo_info.h"
#include "sim/sdo_server.h"

namespace sim {

using Cia402State = ::Cia402State;

// The status word the drive reports in a state: the state's bits, voltage enabled and remote
// (0x0250 when switch-on disabled).
uint16_t cia402StatusWord(Cia402State state);

// The drive parameters: object 0x6101, subindex = parameter id + 1.
inline constexpr uint16_t kParamObject = 0x6101;
inline constexpr int kDriveParamCount = 37;
inline constexpr int kDriveParamSoftwareVersion = 0;
inline constexpr int kDriveParamCalibration = 17;
inline constexpr int kDriveParamSaveSettings = 18;
inline constexpr int kDriveParamSaving = 19;
inline constexpr uint8_t kDriveSaveCommand = 15;
inline constexpr int kDriveParamMcuOverTemp = 14;
inline constexpr int kDriveParamMosOverTemp = 15;
inline constexpr int kDriveParamMotorOverTemp = 16;
inline constexpr int kDriveParamCalibrationCurrent = 25;
// Parameter 17: 16 written starts the calibration, 1 read back means it finished.
inline constexpr uint8_t kCalibrationStart = 16;
inline constexpr uint8_t kCalibrationDone = 1;

// Fault bits the drive sets itself (as state_config.yaml names them).
inline constexpr uint32_t kErrorMotorOverTemp = 1u << 3;   // error word: motor over-temperature
inline constexpr uint32_t kDrvErrorMosOverTemp = 1u << 5;  // drive error word: MOSFET
inline constexpr uint32_t kDrvErrorMcuOverTemp = 1u << 7;  // drive error word: MCU

// The joint as the drive's sensors see it, in engineering units.
struct JointReadings {
    Cia402State state = Cia402State::SwitchOnDisabled;
    int16_t mode = 0;
    double position = 0;    // turns
    double velocity = 0;    // turn/s
    double torque = 0;      // N·m
    double current = 0;     // A
    double busVoltage = 0;  // V
    double motorTemp = 0;   // °C
    double mosTemp = 0;
    double mcuTemp = 0;
    bool identifying = false;
    bool calibrating = false;
    uint32_t errorWord = 0;
    uint32_t drvErrorWord = 0;
};

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
    int32_t position() const { return joint_.positionField(); }
    const JointModel& joint() const { return joint_; }
    JointReadings readings() const;

    // One control word as the state machine sees it (one process-data exchange in OP).
    void applyControlWord(uint16_t controlWord);
    // A drive fault: fault reaction, then Fault at the next exchange. The bits are ORed into the
    // fault words; a fault reset (rising edge of control word bit 7) clears them.
    void injectFault(uint32_t errorWord, uint32_t drvErrorWord);
    // Runs the joint up to the host time `nowNs` under the commands last received.
    void advanceTo(int64_t nowNs);

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
    JointPower jointPower() const;
    void afterJointStep();
    void overTemperature(double margin, uint32_t& error, uint32_t& drvError) const;
    bool overheated() const;
    void startRoutines();
    bool calibrationFinished() const;
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
    uint32_t errorWord_ = 0;
    uint32_t drvErrorWord_ = 0;
    int64_t lastStepNs_ = 0;  // host time up to which the joint has run; 0 before the first
    std::array<uint8_t, out::kSize> outputs_{};  // last output image taken (the RxPDO objects)
    // After the drive left Operation enabled by itself (end of identification) it does not act
    // on the control word it was holding until the master sends another one; otherwise the
    // standing "enable operation" would switch it straight back on.
    bool holdOffControlWord_ = false;
    uint16_t heldControlWord_ = 0;
    // Calibration: started by 16 in parameter 17, finished calibrationDurationNs later.
    bool calibrating_ = false;
    int64_t calibrationStartNs_ = 0;

    SlaveConfig cfg_;
    JointModel joint_;
    ObjectDictionary od_;
    SdoServer sdo_{od_};
    SdoInfoServer sdoInfo_{od_};
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
