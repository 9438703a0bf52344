// Input formats of the fuzz targets, shared with the program that records their seeds, so that a
// recorded session and the target read the same bytes the same way.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "protocol.h"
#include "types.h"

namespace fuzz {

// --- fuzz_frame_receive ---------------------------------------------------------------------
// Input: scenario byte, detail byte, then per frame the master sends the reply records
// [flags][16-bit length][bytes] (process data and multi-datagram scenarios read their shape bytes
// before the first frame is sent). Behind them the frame comes back unchanged (wkc untouched).
enum FrameScenario : uint8_t {
    kBroadcastRead,     // BRD of the type register, as the scan counts slaves
    kStationRead,       // FPRD of the AL status into a caller buffer of 1..8 bytes (detail)
    kProcessData,       // LRW (+ FRMW of the DC time) over one or two segments (shape byte)
    kProcessDataSplit,  // LRD and LWR for a group with a slave that cannot take LRW
    kMultiDatagram,     // one frame of 1..4 register datagrams (count byte, length bytes)
    kFrameScenarioCount,
};

inline constexpr uint8_t kReplyFixIndex = 0x01;  // write the sent index into the reply's datagrams
inline constexpr uint8_t kReplyOverlay = 0x02;   // reply = sent frame XOR the bytes
inline constexpr uint8_t kReplyMore = 0x04;      // another reply to the same frame follows
inline constexpr uint8_t kReplyFlagBits = 0x07;
// The upper bits of the last record's flags exactly this: no echo of the frame behind the replies
// (a frame that nothing answers; the master waits out its resend interval).
inline constexpr uint8_t kReplyThenSilence = 0x08;

inline constexpr uint16_t kStationReadStation = 0x1001;
inline constexpr size_t stationReadLength(uint8_t detail) {
    return 1 + detail % 8;
}

// Group 0 of the process-data scenarios, at logical address 0.
struct ProcessDataShape {
    uint16_t nsegments;
    uint32_t segment[2];
    uint32_t outputBytes;
    bool dc;
};
inline constexpr ProcessDataShape processDataShape(uint8_t shape) {
    ProcessDataShape s{};
    s.nsegments = (shape & 1) ? 2 : 1;
    s.segment[0] = 1 + (shape >> 1) % 64;
    s.segment[1] = s.nsegments == 2 ? 1 + (shape >> 3) % 32 : 0;
    s.outputBytes = s.segment[0] / 2;
    s.dc = (shape & 0x80) != 0;
    return s;
}

// Lays group 0 over `image` (segment[0] + segment[1] bytes, outputs first) for a shape; `split`
// makes it a group with a slave that cannot take LRW.
inline void layOutProcessDataGroup(ec_groupt& g, const ProcessDataShape& shape, uint8_t* image,
                                   bool split) {
    g = ec_groupt{};
    g.outputs = image;
    g.nsegments = shape.nsegments;
    g.IOsegment[0] = shape.segment[0];
    g.IOsegment[1] = shape.segment[1];
    g.Obytes = shape.outputBytes;
    g.Ibytes = shape.segment[0] + shape.segment[1] - shape.outputBytes;
    g.inputs = image + g.Obytes;
    g.blockLRW = split ? 1 : 0;
    g.hasdc = shape.dc;
    g.DCnext = 1;
}

inline constexpr std::array<ec::Command, 4> kMultiDatagramCommands = {
    ec::Command::APRD, ec::Command::FPWR, ec::Command::BRD, ec::Command::LRW};
inline constexpr uint32_t multiDatagramAddress(size_t n) {
    return 0x1000u << 16 | static_cast<uint32_t>(n);
}
inline constexpr size_t multiDatagramCount(uint8_t b) {
    return 1 + b % 4;
}
inline constexpr uint16_t multiDatagramLength(uint8_t b) {
    return b % 48;
}

// --- fuzz_mailbox_reply -----------------------------------------------------------------------
// Input: op, windows (SM0 index low nibble, SM1 index high nibble into kMailboxWindows), 16-bit
// size of the caller's data, SII CoE details, 16-bit object index, subindex; then records
// [16-bit length][bytes], each the SM1 window contents of one read, zero-padded to the window.
// The record {kLostReadMarker} loses the frame that reads the next message (the slave empties SM1
// all the same).
enum MailboxOp : uint8_t { kSdoRead, kSdoWrite, kFoeWrite, kSdoReadSmall };
inline constexpr uint8_t kOpMask = 0x03;
inline constexpr uint8_t kOpCompleteAccess = 0x04;
inline constexpr uint8_t kOpVisibleBeforeRequest = 0x08;  // the drain before the request takes one
inline constexpr uint8_t kOpNoFileName = 0x10;
// Instead of the op: the CoE reads of the PDO assignment and mapping (readPdoSizesCoE); once the
// records are used up every read gets a mailbox error.
inline constexpr uint8_t kOpPdoSizes = 0x20;

inline constexpr uint8_t kLostReadMarker = 0xFF;
inline constexpr uint16_t kMailboxStation = 0x1001;
// Mailbox lengths offered to the master, usable and not.
inline constexpr std::array<uint16_t, 12> kMailboxWindows = {16,  17,  18,   24,   32, 64,
                                                             128, 256, 1024, 1486, 15, 1487};
inline constexpr uint8_t mailboxWindowIndex(uint16_t length) {
    for (size_t i = 0; i < kMailboxWindows.size(); ++i) {
        if (kMailboxWindows[i] == length) {
            return static_cast<uint8_t>(i);
        }
    }
    return 0;
}

}  // namespace fuzz
