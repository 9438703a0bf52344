// FoE server of a simulated drive's bootloader: takes a file written by the master (WRQ, DATA,
// ACK) and keeps it for inspection. Only the bootloader serves it; in any other state a request
// gets ERR "bootstrap only".
#pragma once

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace sim {

// FoE error codes the server sends.
namespace foe_error {
inline constexpr uint32_t kNotFound = 0x8001;
inline constexpr uint32_t kDiskFull = 0x8003;
inline constexpr uint32_t kIllegal = 0x8004;
inline constexpr uint32_t kPacketNumber = 0x8005;
inline constexpr uint32_t kBootstrapOnly = 0x8008;
inline constexpr uint32_t kNoRights = 0x800A;
}  // namespace foe_error

// A file received over FoE.
struct FirmwareFile {
    std::string name;
    std::vector<uint8_t> bytes;
    uint32_t crc32 = 0;
    bool complete = false;  // ended by a short or empty packet
};

// CRC-32 (IEEE 802.3, reflected, as zip and Ethernet use it); crc32Update continues a CRC
// over more data: crc32Update(crc32(a), b) == crc32(a + b).
uint32_t crc32(std::span<const uint8_t> data);
uint32_t crc32Update(uint32_t crc, std::span<const uint8_t> data);

class FoeServer {
public:
    // One FoE message: the mailbox data (FoE header first), cut to the mailbox header length.
    // rxWindow is the current SM0 length (the packet size is rxWindow - 12). Returns the FoE data
    // of the reply; empty when none is due.
    std::vector<uint8_t> handle(std::span<const uint8_t> message, size_t rxWindow, bool inBoot);
    // Forgets a transfer in progress (the received file stays).
    void reset();

    // The last file written (complete or not); empty name and bytes before the first.
    const FirmwareFile& lastFile() const { return file_; }
    // True once after a file was completed; the bootloader starts it on leaving BOOT.
    bool takeCompletedFile();

    // --- configuration -----------------------------------------------------------------------
    uint32_t password = 0;
    // DATA packet numbers answered once with BUSY instead of ACK (the master must re-send).
    std::set<uint32_t> busyPackets;
    // Bytes a file may have at most; 0: any. The packet that passes it is refused (disk full).
    size_t capacity = 0;
    // Deliberate fault: ACKs carry the packet number plus one.
    bool wrongAckNumber = false;

private:
    std::vector<uint8_t> error(uint32_t code, const std::string& text);
    std::vector<uint8_t> ack(uint32_t packet);

    bool writing_ = false;
    uint32_t expected_ = 0;  // next DATA packet number
    std::set<uint32_t> busyDone_;
    bool completed_ = false;
    FirmwareFile file_;
};

}  // namespace sim
