// The master's error list: SDO aborts, emergencies, FoE and mailbox errors and malformed replies,
// kept in a ring that any thread may fill and the application empties with ec_poperror.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "osal/osal.h"

enum ec_err_type : uint8_t {
    EC_ERR_TYPE_SDO_ERROR = 0,
    EC_ERR_TYPE_EMERGENCY = 1,
    EC_ERR_TYPE_PACKET_ERROR = 3,
    EC_ERR_TYPE_SDOINFO_ERROR = 4,
    EC_ERR_TYPE_FOE_ERROR = 5,
    EC_ERR_TYPE_FOE_BUF2SMALL = 6,
    EC_ERR_TYPE_FOE_PACKETNUMBER = 7,
    EC_ERR_TYPE_SOE_ERROR = 8,
    EC_ERR_TYPE_MBX_ERROR = 9,
    EC_ERR_TYPE_FOE_FILE_NOTFOUND = 10,
};

// One entry. Which fields carry meaning depends on Etype:
//   SDO, SDOINFO: Index, SubIdx, AbortCode (the 32-bit abort code)
//   EMERGENCY:  ErrorCode, ErrorReg, b1, w1, w2 (manufacturer bytes 0, 1-2, 3-4)
//   PACKET:     Index, SubIdx of the transfer, ErrorCode (one of ec::PacketError)
//   MBX:        ErrorCode (mailbox error detail)
//   FOE:        AbortCode (FoE error code)
//   FOE_PACKETNUMBER: AbortCode (packet number received), w1/w2 unused
struct ec_errort {
    ec_timet Time;
    bool Signal;
    uint16_t Slave;
    uint16_t Index;
    uint8_t SubIdx;
    ec_err_type Etype;
    int32_t AbortCode;
    uint16_t ErrorCode;
    uint8_t ErrorReg;
    uint8_t b1;
    uint16_t w1;
    uint16_t w2;
};

inline constexpr int EC_MAXELIST = 64;

namespace ec {

// Codes of EC_ERR_TYPE_PACKET_ERROR entries: replies the master could not take.
enum PacketError : uint16_t {
    kPacketUnexpected = 1,      // a reply that answers another request
    kPacketMalformed = 2,       // lengths inconsistent with the mailbox window or the protocol
    kPacketBufferTooSmall = 3,  // the object is larger than the caller's buffer
    kPacketOverrun = 4,         // more data than the transfer announced
    kPacketRefused = 5,         // the request is not possible on this slave (e.g. complete access)
};

// Thread-safe ring; when full, the oldest entry gives way to the newest.
class ErrorList {
public:
    void push(ec_errort entry);
    std::optional<ec_errort> pop();
    bool empty() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::array<ec_errort, EC_MAXELIST> ring_{};  // guarded by mutex_
    size_t head_ = 0;                            // guarded by mutex_: next to pop
    size_t count_ = 0;                           // guarded by mutex_
};

// One line describing an entry, as ec_elist2string lists them.
std::string errorText(const ec_errort& e);

const char* mailboxErrorText(uint16_t code);
const char* foeErrorText(uint32_t code);
const char* packetErrorText(uint16_t code);

}  // namespace ec

// Standard meaning of an SDO abort code; "Unknown abort" for codes outside the table.
const char* ec_sdoerror2string(uint32_t sdoerrorcode);
const char* ec_mbxerror2string(uint16_t errorcode);
