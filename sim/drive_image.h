// The process-data images of the simulated servo drives and the PDO entries that describe them.
// Output image (RxPDO, master -> drive): 18 bytes; input image (TxPDO, drive -> master): 32 bytes.
// The same entry tables feed the SII PDO categories and the CoE PDO mapping objects, so
// what the EEPROM announces and what the dictionary reports can never disagree.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "model/processdata.h"
#include "sim/object_dictionary.h"

namespace sim {

struct PdoEntry {
    uint16_t index;  // 0 = padding
    uint8_t subIndex;
    uint8_t bits;
    CoeType type;
    const char* name;
};

// Output image offsets (the drive's view of the master's output record).
namespace out {
inline constexpr size_t kControlWord = kOutControlWord;
inline constexpr size_t kTargetTorque = kOutTorque;
inline constexpr size_t kKp = kOutKp;
inline constexpr size_t kKd = kOutKd;
inline constexpr size_t kTargetPosition = kOutTargetPosition;
inline constexpr size_t kTargetVelocity = kOutTargetVelocity;
inline constexpr size_t kMode = kOutMode;
inline constexpr size_t kSize = kDriveOutputBytes;
}  // namespace out

// Input image: laid out by TCiA402_GetValue (encodeInputImage).
namespace in {
inline constexpr size_t kSize = kDriveInputBytes;
}  // namespace in

// Manufacturer objects carrying what CiA 402 has no object for.
inline constexpr uint16_t kObjGains = 0x2010;         // :01 kp, :02 kd (I16)
inline constexpr uint16_t kObjMotorError = 0x2001;    // U32 motor fault word
inline constexpr uint16_t kObjDriveError = 0x2002;    // U32 drive fault word
inline constexpr uint16_t kObjTemperatures = 0x2003;  // :01 MCU, :02 MOSFET, :03 motor (I16, °C)

inline constexpr uint16_t kRxPdoIndex = 0x1600;
inline constexpr uint16_t kTxPdoIndex = 0x1A00;
inline constexpr uint16_t kRxPdoAssign = 0x1C12;  // of SM2
inline constexpr uint16_t kTxPdoAssign = 0x1C13;  // of SM3

// The mode travels as a 16-bit field: 0x6060 (I8) followed by 8 bits of padding.
inline constexpr std::array<PdoEntry, 8> kRxPdoEntries{{
    {0x6040, 0, 16, CoeType::Unsigned16, "Controlword"},
    {0x6071, 0, 16, CoeType::Integer16, "Target torque"},
    {kObjGains, 1, 16, CoeType::Integer16, "Kp"},
    {kObjGains, 2, 16, CoeType::Integer16, "Kd"},
    {0x607A, 0, 32, CoeType::Integer32, "Target position"},
    {0x60FF, 0, 32, CoeType::Integer32, "Target velocity"},
    {0x6060, 0, 8, CoeType::Integer8, "Modes of operation"},
    {0x0000, 0, 8, CoeType::Unsigned8, nullptr},
}};

inline constexpr std::array<PdoEntry, 12> kTxPdoEntries{{
    {0x6041, 0, 16, CoeType::Unsigned16, "Statusword"},
    {0x6064, 0, 32, CoeType::Integer32, "Position actual value"},
    {0x606C, 0, 32, CoeType::Integer32, "Velocity actual value"},
    {0x6077, 0, 16, CoeType::Integer16, "Torque actual value"},
    {0x6079, 0, 32, CoeType::Unsigned32, "DC link circuit voltage"},
    {kObjMotorError, 0, 32, CoeType::Unsigned32, "Motor error word"},
    {kObjDriveError, 0, 32, CoeType::Unsigned32, "Drive error word"},
    {kObjTemperatures, 1, 16, CoeType::Integer16, "MCU temperature"},
    {kObjTemperatures, 2, 16, CoeType::Integer16, "MOSFET temperature"},
    {kObjTemperatures, 3, 16, CoeType::Integer16, "Motor temperature"},
    {0x6061, 0, 8, CoeType::Integer8, "Modes of operation display"},
    {0x0000, 0, 8, CoeType::Unsigned8, nullptr},
}};

template <size_t N>
constexpr size_t pdoBytes(const std::array<PdoEntry, N>& entries) {
    size_t bits = 0;
    for (const auto& e : entries)
        bits += e.bits;
    return (bits + 7) / 8;
}

static_assert(pdoBytes(kRxPdoEntries) == out::kSize);
static_assert(pdoBytes(kTxPdoEntries) == in::kSize);

}  // namespace sim
