// The master's error list: SDO aborts, emergencies, FoE and mailbox errors and malformed replies,
// kept in a ring that any thread may fill and the application empties with ec_poperror. Beside it,
// each thread's record of how its own last mailbox service ended, which nobody else can take.
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

// How a mailbox service ended, as ecx_lastservice tells the thread that ran it.
enum ec_servicekind : uint8_t {
    EC_SERVICE_NONE = 0,       // this thread has run no service on the context
    EC_SERVICE_OK,             // the call succeeded
    EC_SERVICE_TIMEOUT,        // no reply in time
    EC_SERVICE_ABORTED,        // SDO abort: code, index, subindex
    EC_SERVICE_SDOINFO_ERROR,  // SDO information error reply: code (an abort code), index, subindex
    EC_SERVICE_PACKET_ERROR,   // a reply the master could not take: code is an ec::PacketError
    EC_SERVICE_MBX_ERROR,      // mailbox error reply: code
    EC_SERVICE_FOE_ERROR,      // FoE ERR, or an ACK of another packet (code 0x8005)
    EC_SERVICE_REFUSED,     // not asked: invalid arguments, or a service the slave does not offer
    EC_SERVICE_NO_MAILBOX,  // no such slave, or none with a mailbox the master can use
};

struct ec_serviceresultt {
    ec_servicekind kind = EC_SERVICE_NONE;
    uint16_t slave = 0;
    uint16_t index = 0;  // the object of an SDO or SDO information service, else 0
    uint8_t subindex = 0;
    uint32_t code = 0;      // abort, packet, mailbox or FoE error code as `kind` says
    const char* text = "";  // what the code means (the abort code's standard text, ...); static
};

struct ecx_contextt;

namespace ec {

// Codes of EC_ERR_TYPE_PACKET_ERROR entries: replies the master could not take.
enum PacketError : uint16_t {
    kPacketUnexpected = 1,      // a reply that answers another request
    kPacketMalformed = 2,       // lengths inconsistent with the mailbox window or the protocol
    kPacketBufferTooSmall = 3,  // the object is larger than the caller's buffer
    kPacketOverrun = 4,         // more data than the transfer announced
    kPacketRefused = 5,         // the request is not possible on this slave (e.g. complete access)
    kPacketTooLong = 6,         // a reply longer than what it describes can be
    kPacketOverdue = 7,         // a reply still not complete when the call's time was up
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

// One line for an outcome: "abort 0x06090011 Subindex does not exist at 0x6101:26",
// "no reply in time", ...
std::string serviceResultText(const ec_serviceresultt& r);

// The calling thread's record of the service it runs, for the mailbox services only. Start resets
// it; every entry the service puts into the error list (emergencies aside) becomes its reason, and
// end decides: > 0 ok, `timeoutResult` a timeout, anything else the last reason (refused when none
// was given). End returns `result`.
void serviceStart(const ecx_contextt* ctx, uint16_t slave, uint16_t index = 0,
                  uint8_t subindex = 0);
void serviceRecorded(const ec_errort& e);
void serviceNoMailbox();
int serviceEnd(int result, int timeoutResult);
ec_serviceresultt lastService(const ecx_contextt* ctx);

}  // namespace ec

// Standard meaning of an SDO abort code; "Unknown abort" for codes outside the table.
const char* ec_sdoerror2string(uint32_t sdoerrorcode);
const char* ec_mbxerror2string(uint16_t errorcode);
