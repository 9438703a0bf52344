// Little-endian field access for frames and register images, without alignment assumptions.
#pragma once

#include <cstdint>

namespace ec {

inline uint16_t getU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint32_t getU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t getU64(const uint8_t* p) {
    return static_cast<uint64_t>(getU32(p)) | static_cast<uint64_t>(getU32(p + 4)) << 32;
}
inline void putU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void putU32(uint8_t* p, uint32_t v) {
    putU16(p, static_cast<uint16_t>(v));
    putU16(p + 2, static_cast<uint16_t>(v >> 16));
}
inline void putU64(uint8_t* p, uint64_t v) {
    putU32(p, static_cast<uint32_t>(v));
    putU32(p + 4, static_cast<uint32_t>(v >> 32));
}
// The EtherType is the one big-endian field of the frame.
inline uint16_t getU16be(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}
inline void putU16be(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

// DC system time difference (0x092C): bit 31 set when the slave's copy of the system time is
// behind the reference, bits 0..30 the amount in ns.
inline int64_t systemTimeDifferenceNs(uint32_t reg) {
    const auto magnitude = static_cast<int64_t>(reg & 0x7FFFFFFFu);
    return (reg & 0x80000000u) ? -magnitude : magnitude;
}

}  // namespace ec
