#pragma once

// Scale conversions between engineering units and the raw process-data fields.
//
// The precision of each step is part of the drive interface: the drives were commissioned
// against exactly these roundings, so torque and position are scaled in single precision and
// velocity and the gains in double precision. Float-to-integer steps truncate toward zero into a
// signed 32-bit integer and a 16-bit field takes the low 16 bits of that: nothing is clamped or
// rounded, so a command beyond a field's range reaches the drive wrapped.

#include <cstdint>

#include "processdata.h"

// Truncation toward zero into int32. A value with no int32 counterpart (NaN, or beyond the range)
// gives INT32_MIN, the "integer indefinite" result of the hardware conversion, instead of
// undefined behaviour.
constexpr int32_t truncateToInt32(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) {
        return INT32_MIN;
    }
    return static_cast<int32_t>(v);
}

constexpr int16_t low16(int32_t v) {
    return static_cast<int16_t>(static_cast<uint16_t>(v));
}

// --- commands: engineering units -> output-image fields ---

inline int16_t torqueToRaw(float newtonMetres) {
    const float scaled = newtonMetres * 32767.0f / 80.0f;
    return low16(truncateToInt32(scaled));
}

inline int16_t kpToRaw(float kp) {
    return low16(truncateToInt32(static_cast<double>(kp) * 0.25));
}

inline int16_t kdToRaw(float kd) {
    return low16(truncateToInt32(static_cast<double>(kd) * 0.1));
}

inline int32_t positionToRaw(float turns) {
    const float scaled = turns * 65535.0f;
    return truncateToInt32(scaled);
}

inline int32_t velocityToRaw(float turnsPerSecond) {
    return truncateToInt32(static_cast<double>(turnsPerSecond) * 1e7);
}

// --- feedback: input-image fields -> engineering units ---

// 65535 counts per turn, not 65536: the drive's encoder scale.
inline float rawToPosition(int32_t raw) {
    return static_cast<float>(raw) / 65535.0f;
}

inline float rawToVelocity(int32_t raw) {
    return static_cast<float>(raw * 1e-7);
}

inline float rawToTorque(int16_t raw) {
    return static_cast<float>(raw) * 80.0f / 32767.0f;
}

// --- command record -> output image ---

// Converts one member of the command record into its field of an 18-byte output image. A code
// outside 0 to 6 writes nothing. The caller serialises this with the cyclic exchange.
inline void writeCommandField(uint8_t* outputImage, const App_SetValue& cmd, int code) {
    switch (code) {
        case kCmdControlWord:
            storeLe16(outputImage + kOutControlWord, cmd.controlWord);
            break;
        case kCmdTorque:
            storeLe16(outputImage + kOutTorque, static_cast<uint16_t>(torqueToRaw(cmd.torque)));
            break;
        case kCmdKp:
            storeLe16(outputImage + kOutKp, static_cast<uint16_t>(kpToRaw(cmd.kp)));
            break;
        case kCmdKd:
            storeLe16(outputImage + kOutKd, static_cast<uint16_t>(kdToRaw(cmd.kd)));
            break;
        case kCmdPosition:
            storeLe32(outputImage + kOutTargetPosition,
                      static_cast<uint32_t>(positionToRaw(cmd.position)));
            break;
        case kCmdVelocity:
            storeLe32(outputImage + kOutTargetVelocity,
                      static_cast<uint32_t>(velocityToRaw(cmd.velocity)));
            break;
        case kCmdMode:
            storeLe16(outputImage + kOutMode, cmd.mode);
            break;
        default:
            break;
    }
}

// All seven fields at once.
inline void encodeOutputImage(const App_SetValue& cmd, uint8_t* outputImage) {
    for (int code = kCmdControlWord; code <= kCmdMode; ++code) {
        writeCommandField(outputImage, cmd, code);
    }
}
