// SII EEPROM contents of the simulated slaves.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sim/config.h"

namespace sim {

// Standard and bootstrap mailbox windows and the process-data SyncManagers of the drives.
namespace layout {
inline constexpr uint16_t kMbxOutStart = 0x1000;  // SM0, master -> slave
inline constexpr uint16_t kMbxOutSize = 0x0080;   // default; SlaveConfig::mailboxOutSize
inline constexpr uint16_t kMbxInStart = 0x1080;   // SM1, slave -> master, with the default sizes
inline constexpr uint16_t kMbxInSize = 0x0080;
inline constexpr uint16_t kBootOutStart = 0x1800;  // SM0 in BOOT
inline constexpr uint16_t kBootOutSize = 0x0400;
inline constexpr uint16_t kBootInStart = 0x1C00;  // SM1 in BOOT
inline constexpr uint16_t kBootInSize = 0x0400;
inline constexpr uint16_t kOutputsStart = 0x1100;  // SM2 (3 buffers up to 0x1135)
inline constexpr uint16_t kInputsStart = 0x1400;   // SM3 (3 buffers up to 0x145F)
inline constexpr uint8_t kSm2Control = 0x64;       // buffered, ECAT writes, PDI event, watchdog
inline constexpr uint8_t kSm3Control = 0x20;       // buffered, ECAT reads, PDI event
}  // namespace layout

// Bytes of the process-data SyncManagers (SM2 outputs, SM3 inputs); both 0 for a slave without.
struct ProcessDataSizes {
    uint16_t outputs = 0;
    uint16_t inputs = 0;
};
ProcessDataSizes processDataSizes(SlaveKind kind);

// CRC-8 (polynomial 0x07, initial 0xFF) over the 14 bytes of words 0-6.
uint8_t siiChecksum(std::span<const uint16_t> words);

// The complete EEPROM image (words) for a slave of this configuration, checksum included.
std::vector<uint16_t> buildSii(const SlaveConfig& cfg);

}  // namespace sim
