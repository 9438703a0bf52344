#pragma once

// Process-data records of one servo drive and the codes that name their fields.
//
// Plain C++ without Qt: the master stack and the simulated drives include it as well as the
// console. Every multi-byte field on the wire is little-endian and the fields lie packed without
// gaps; the helpers below assemble them byte by byte so that neither host byte order nor
// alignment matters.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

// ---------------------------------------------------------------------------------------------
// Image sizes and the master's per-drive table bounds
// ---------------------------------------------------------------------------------------------

inline constexpr int kDriveOutputBytes = 18;  // RxPDO: what the master sends to one drive
inline constexpr int kDriveInputBytes = 32;   // TxPDO: what one drive sends back
inline constexpr int kDriveImageBytes = kDriveOutputBytes + kDriveInputBytes;

// The master's tables are indexed by slave number; entry 0 mirrors the stack's summary entry and
// is never used, so slave numbers 1 to kMaxSlaves are served.
inline constexpr int kMinSlave = 1;
inline constexpr int kMaxSlaves = 32;
inline constexpr int kSlaveTableSize = kMaxSlaves + 1;

// One buffer holds the output and input images of every slave together.
inline constexpr int kProcessImageBytes = 1024;
inline constexpr int kMaxDrivesInImage = kProcessImageBytes / kDriveImageBytes;
static_assert(kDriveImageBytes == 50 && kMaxDrivesInImage == 20);

constexpr bool isTableSlave(int slave) {
    return slave >= kMinSlave && slave <= kMaxSlaves;
}

// ---------------------------------------------------------------------------------------------
// Little-endian field access
// ---------------------------------------------------------------------------------------------

inline uint16_t loadLe16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t loadLe32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void storeLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void storeLe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

// ---------------------------------------------------------------------------------------------
// Input image: TCiA402_GetValue
// ---------------------------------------------------------------------------------------------

// The 32-byte input image of one drive, raw. The reader applies the scales (see scaling.h);
// temperatures, bus voltage and the fault words are used as they stand. Packed because the
// drive puts the 32-bit position straight behind the 16-bit status word.
#pragma pack(push, 1)
struct TCiA402_GetValue {
    uint16_t statusWord = 0;    // CiA 402 status word
    int32_t position = 0;       // 65535 counts per turn
    int32_t velocity = 0;       // 1e-7 turn/s per count
    int16_t torque = 0;         // 32767 counts = 80 N·m
    uint32_t busVoltage = 0;    // unscaled
    uint32_t errorWord = 0;     // motor fault bits, named by state_config.yaml
    uint32_t drvErrorWord = 0;  // power-stage fault bits, named by state_config.yaml
    int16_t mcuTemp = 0;        // °C
    int16_t mosTemp = 0;        // °C
    int16_t motorTemp = 0;      // °C
    int16_t modeDisplay = 0;    // active mode of operation, same codes as App_SetValue::mode

    bool operator==(const TCiA402_GetValue&) const = default;
};
#pragma pack(pop)

static_assert(sizeof(TCiA402_GetValue) == kDriveInputBytes);
static_assert(std::is_trivially_copyable_v<TCiA402_GetValue>);
static_assert(offsetof(TCiA402_GetValue, statusWord) == 0);
static_assert(offsetof(TCiA402_GetValue, position) == 2);
static_assert(offsetof(TCiA402_GetValue, velocity) == 6);
static_assert(offsetof(TCiA402_GetValue, torque) == 10);
static_assert(offsetof(TCiA402_GetValue, busVoltage) == 12);
static_assert(offsetof(TCiA402_GetValue, errorWord) == 16);
static_assert(offsetof(TCiA402_GetValue, drvErrorWord) == 20);
static_assert(offsetof(TCiA402_GetValue, mcuTemp) == 24);
static_assert(offsetof(TCiA402_GetValue, mosTemp) == 26);
static_assert(offsetof(TCiA402_GetValue, motorTemp) == 28);
static_assert(offsetof(TCiA402_GetValue, modeDisplay) == 30);

inline TCiA402_GetValue decodeInputImage(const uint8_t* image) {
    TCiA402_GetValue v;
    v.statusWord = loadLe16(image + 0);
    v.position = static_cast<int32_t>(loadLe32(image + 2));
    v.velocity = static_cast<int32_t>(loadLe32(image + 6));
    v.torque = static_cast<int16_t>(loadLe16(image + 10));
    v.busVoltage = loadLe32(image + 12);
    v.errorWord = loadLe32(image + 16);
    v.drvErrorWord = loadLe32(image + 20);
    v.mcuTemp = static_cast<int16_t>(loadLe16(image + 24));
    v.mosTemp = static_cast<int16_t>(loadLe16(image + 26));
    v.motorTemp = static_cast<int16_t>(loadLe16(image + 28));
    v.modeDisplay = static_cast<int16_t>(loadLe16(image + 30));
    return v;
}

// The drive's side of the exchange: lays a record out as the 32 wire bytes.
inline void encodeInputImage(const TCiA402_GetValue& v, uint8_t* image) {
    storeLe16(image + 0, v.statusWord);
    storeLe32(image + 2, static_cast<uint32_t>(v.position));
    storeLe32(image + 6, static_cast<uint32_t>(v.velocity));
    storeLe16(image + 10, static_cast<uint16_t>(v.torque));
    storeLe32(image + 12, v.busVoltage);
    storeLe32(image + 16, v.errorWord);
    storeLe32(image + 20, v.drvErrorWord);
    storeLe16(image + 24, static_cast<uint16_t>(v.mcuTemp));
    storeLe16(image + 26, static_cast<uint16_t>(v.mosTemp));
    storeLe16(image + 28, static_cast<uint16_t>(v.motorTemp));
    storeLe16(image + 30, static_cast<uint16_t>(v.modeDisplay));
}

// ---------------------------------------------------------------------------------------------
// Output image and the command record App_SetValue
// ---------------------------------------------------------------------------------------------

// Byte offsets of the fields in the 18-byte output image.
inline constexpr int kOutControlWord = 0;      // uint16, control word as commanded
inline constexpr int kOutTorque = 2;           // int16, torque × 32767 / 80
inline constexpr int kOutKp = 4;               // int16, kp × 0.25
inline constexpr int kOutKd = 6;               // int16, kd × 0.1
inline constexpr int kOutTargetPosition = 8;   // int32, turns × 65535
inline constexpr int kOutTargetVelocity = 12;  // int32, turn/s × 1e7
inline constexpr int kOutMode = 16;            // uint16, mode of operation

// The command record of one drive in engineering units; an in-memory structure, not a wire
// format. The output image always holds the converted form of the last value stored here.
struct App_SetValue {
    uint16_t controlWord = 0;
    float torque = 0.0f;    // N·m
    float kp = 0.0f;        // drive gain units
    float kd = 0.0f;        // drive gain units
    float position = 0.0f;  // turns
    float velocity = 0.0f;  // turn/s
    uint16_t mode = 0;      // mode-of-operation code
};

// Command codes: name one member of App_SetValue and the output-image field it feeds.
inline constexpr int kCmdControlWord = 0;
inline constexpr int kCmdTorque = 1;
inline constexpr int kCmdKp = 2;
inline constexpr int kCmdKd = 3;
inline constexpr int kCmdPosition = 4;
inline constexpr int kCmdVelocity = 5;
inline constexpr int kCmdMode = 6;
inline constexpr int kCommandCodeCount = 7;

constexpr bool isCommandCode(int code) {
    return code >= kCmdControlWord && code <= kCmdMode;
}

// The output image's fields as raw integers, for the side that receives commands.
struct DriveOutputImage {
    uint16_t controlWord = 0;
    int16_t torque = 0;
    int16_t kp = 0;
    int16_t kd = 0;
    int32_t targetPosition = 0;
    int32_t targetVelocity = 0;
    uint16_t mode = 0;

    bool operator==(const DriveOutputImage&) const = default;
};

inline DriveOutputImage decodeOutputImage(const uint8_t* image) {
    DriveOutputImage o;
    o.controlWord = loadLe16(image + kOutControlWord);
    o.torque = static_cast<int16_t>(loadLe16(image + kOutTorque));
    o.kp = static_cast<int16_t>(loadLe16(image + kOutKp));
    o.kd = static_cast<int16_t>(loadLe16(image + kOutKd));
    o.targetPosition = static_cast<int32_t>(loadLe32(image + kOutTargetPosition));
    o.targetVelocity = static_cast<int32_t>(loadLe32(image + kOutTargetVelocity));
    o.mode = loadLe16(image + kOutMode);
    return o;
}

// ---------------------------------------------------------------------------------------------
// Control modes
// ---------------------------------------------------------------------------------------------

// Mode-of-operation codes. 8 to 10 are the profile's cyclic synchronous position, velocity and
// torque codes (the drives run their force-position hybrid under 10); 11 to 13 select modes of
// the drives' own firmware.
inline constexpr uint16_t kModeNone = 0;
inline constexpr uint16_t kModeProfilePosition = 8;
inline constexpr uint16_t kModeSpeedRamp = 9;
inline constexpr uint16_t kModeForcePositionHybrid = 10;
inline constexpr uint16_t kModeSineCurve = 11;
inline constexpr uint16_t kModeTorqueRamp = 12;
inline constexpr uint16_t kModeTorqueCalibration = 13;

// The mode selector's items in display order (UTF-8) and the code each writes.
inline constexpr int kModeItemCount = 6;
inline constexpr const char* kModeItemTexts[kModeItemCount] = {
    "转速爬升", "轮廓位置", "力位混合", "正弦曲线", "转矩爬升", "转矩标定",
};
inline constexpr uint16_t kModeItemCodes[kModeItemCount] = {
    kModeSpeedRamp, kModeProfilePosition, kModeForcePositionHybrid,
    kModeSineCurve, kModeTorqueRamp,      kModeTorqueCalibration,
};

// An item the selector does not offer falls back to speed ramp, the mode a fresh bus runs in.
constexpr uint16_t controlModeForItem(int item) {
    return item >= 0 && item < kModeItemCount ? kModeItemCodes[item] : kModeSpeedRamp;
}
