// Records and constants of the master's global-context interface: the slave record, the group
// record, the adapter list, bus states and return values. Plain data, shared by every module.
#pragma once

#include <cstdint>
#include <span>

#include "protocol.h"

// --- Bounds -------------------------------------------------------------------------------------
inline constexpr int EC_MAXSLAVE = 200;  // slave array incl. the summary entry 0
inline constexpr int EC_MAXGROUP = 2;
inline constexpr int EC_MAXIOSEGMENTS = 64;
inline constexpr int EC_MAXSM = 8;
inline constexpr int EC_MAXFMMU = 4;
inline constexpr int EC_MAXNAME = 40;
inline constexpr int EC_MAXODLIST = 1024;  // objects an object list keeps
inline constexpr int EC_MAXOELIST = 256;   // entries of one object (subindex 0..255)
inline constexpr int EC_MAXLEN_ADAPTERNAME = 128;
inline constexpr int EC_MAXBUF = 16;  // frames in flight per port
inline constexpr int EC_MAXMBX = 1486;
inline constexpr int EC_MAXLRWDATA = 1486;     // data of one datagram
inline constexpr int EC_FIRSTDCDATAGRAM = 20;  // room kept behind the LRW for the DC datagram
inline constexpr int EC_LOGGROUPOFFSET = 16;   // group g maps at logical address g << 16

// --- Timeouts in microseconds -------------------------------------------------------------------
inline constexpr int EC_TIMEOUTRET = 2000;
inline constexpr int EC_TIMEOUTRET3 = 3 * EC_TIMEOUTRET;
inline constexpr int EC_TIMEOUTSAFE = 20000;
inline constexpr int EC_TIMEOUTEEP = 20000;
inline constexpr int EC_TIMEOUTTXM = 20000;
inline constexpr int EC_TIMEOUTRXM = 700000;
// One SDO information call: all fragments of its reply, all entries of ecx_readOE.
inline constexpr int EC_TIMEOUTSDOINFO = 4 * EC_TIMEOUTRXM;
inline constexpr int EC_TIMEOUTSTATE = 2000000;
inline constexpr int EC_DEFAULTRETRIES = 3;
inline constexpr int EC_LOCALDELAY = 200;

inline constexpr uint16_t EC_NODEOFFSET = ec::kNodeOffset;
inline constexpr uint16_t EC_TEMPNODE = ec::kTempNode;

// --- Datagram batches ---------------------------------------------------------------------------
// One register datagram of a batch (ecx_transceive_batch). `address` is ADP | ADO << 16, or the
// logical address. `out` supplies the bytes sent, zeros where it is shorter than `length`; the
// returned data go to `in` as far as it reaches. `wkc` receives the datagram's working counter,
// EC_NOFRAME when its frame did not come back, EC_ERROR when no frame can carry it.
struct ec_datagramt {
    ec::Command cmd = ec::Command::NOP;
    uint32_t address = 0;
    uint16_t length = 0;
    std::span<const uint8_t> out;
    std::span<uint8_t> in;
    int wkc = 0;
};

// --- Bus states (AL status/control values) -------------------------------------------------------
enum ec_state : uint16_t {
    EC_STATE_NONE = 0x00,
    EC_STATE_INIT = 0x01,
    EC_STATE_PRE_OP = 0x02,
    EC_STATE_BOOT = 0x03,
    EC_STATE_SAFE_OP = 0x04,
    EC_STATE_OPERATIONAL = 0x08,
    EC_STATE_ACK = 0x10,
    EC_STATE_ERROR = 0x10,
};

// --- Return values ------------------------------------------------------------------------------
inline constexpr int EC_NOFRAME = -1;
inline constexpr int EC_OTHERFRAME = -2;
inline constexpr int EC_ERROR = -3;
inline constexpr int EC_SLAVECOUNTEXCEEDED = -4;
inline constexpr int EC_TIMEOUT = -5;

// Results of ec_FOEwrite beside > 0 (written), 0 (request not placed), EC_ERROR (a reply that is
// no FoE answer, or malformed). Error replies are distinct from a slave that does not answer.
inline constexpr int EC_FOE_ERRORREPLY = -5;     // the slave answered ERR; its code is in the list
inline constexpr int EC_FOE_PACKETNUMBER = -7;   // an ACK for another packet
inline constexpr int EC_FOE_FILENOTFOUND = -10;  // ERR "not found"
inline constexpr int EC_FOE_NOREPLY = -11;       // no answer within the timeout

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// --- Records -------------------------------------------------------------------------------------
// Image of one SyncManager register block (0x0800 + 8n) in wire order; the console writes it to the
// bus as it stands, so the layout must not change.
struct ec_smt {
    uint16_t StartAddr;
    uint16_t SMlength;
    uint32_t SMflags;  // control | status << 8 | activate << 16 | PDI control << 24
};
static_assert(sizeof(ec_smt) == 8);

// Image of one FMMU register block (0x0600 + 16n) in wire order.
struct ec_fmmut {
    uint32_t LogStart;
    uint16_t LogLength;
    uint8_t LogStartbit;
    uint8_t LogEndbit;
    uint16_t PhysStart;
    uint8_t PhysStartBit;
    uint8_t FMMUtype;
    uint8_t FMMUactive;
    uint8_t unused1;
    uint16_t unused2;
};
static_assert(sizeof(ec_fmmut) == 16);

// SyncManager types as the SII SyncM category names them.
enum : uint8_t {
    EC_SMTYPE_UNUSED = 0,
    EC_SMTYPE_MBXOUT = 1,
    EC_SMTYPE_MBXIN = 2,
    EC_SMTYPE_OUTPUTS = 3,
    EC_SMTYPE_INPUTS = 4,
};

// One slave as the master knows it. Entry 0 of the array summarises the bus.
struct ec_slavet {
    uint16_t state;         // last read or requested AL state, error bit included
    uint16_t ALstatuscode;  // last read AL status code
    uint16_t configadr;     // configured station address
    uint16_t aliasadr;
    uint32_t eep_man;  // SII identity
    uint32_t eep_id;
    uint32_t eep_rev;
    uint16_t Itype;  // PDI control register
    uint16_t Dtype;
    // Process data: offsets inside the caller's image
    uint16_t Obits;
    uint32_t Obytes;
    uint8_t* outputs;
    uint8_t Ostartbit;
    uint16_t Ibits;
    uint32_t Ibytes;
    uint8_t* inputs;
    uint8_t Istartbit;
    ec_smt SM[EC_MAXSM];
    uint8_t SMtype[EC_MAXSM];
    ec_fmmut FMMU[EC_MAXFMMU];
    uint8_t FMMU0func;  // SII FMMU usage: 1 outputs, 2 inputs, 3 SyncManager status
    uint8_t FMMU1func;
    uint8_t FMMU2func;
    uint8_t FMMU3func;
    // Mailbox
    uint16_t mbx_l;  // receive (master -> slave) mailbox length and offset
    uint16_t mbx_wo;
    uint16_t mbx_rl;  // send (slave -> master) mailbox length and offset
    uint16_t mbx_ro;
    uint16_t mbx_proto;  // SII mailbox protocols
    uint8_t mbx_cnt;     // last mailbox counter used, 1..7
    bool hasdc;
    uint8_t ptype;        // port descriptor
    uint8_t topology;     // number of active ports
    uint8_t activeports;  // bit p: port p open and communicating
    uint8_t consumedports;
    uint16_t parent;  // slave number of the upstream slave, 0 = master
    uint8_t parentport;
    uint8_t entryport;
    // Distributed clocks
    int32_t DCrtA;  // receive times of ports 0, 1, 2, 3 at the latch
    int32_t DCrtB;
    int32_t DCrtC;
    int32_t DCrtD;
    int32_t pdelay;  // propagation delay from the reference clock, ns
    uint16_t DCnext;
    uint16_t DCprevious;
    int32_t DCcycle;
    int32_t DCshift;
    uint8_t DCactive;
    uint16_t configindex;
    uint16_t SIIindex;
    uint8_t eep_8byte;  // SII interface reads 8 bytes at a time
    uint8_t eep_pdi;    // SII owned by the PDI
    uint8_t CoEdetails;
    uint8_t FoEdetails;
    uint8_t EoEdetails;
    uint8_t SoEdetails;
    int16_t Ebuscurrent;
    uint8_t blockLRW;  // slave cannot take LRW
    uint8_t group;
    uint8_t FMMUunused;  // first FMMU not used by process data
    bool islost;
    char name[EC_MAXNAME + 1];
};

// A slave's object list (ecx_readODlist) and, row by row, the objects' descriptions
// (ecx_readODdescription). Names are cut to EC_MAXNAME characters and always terminated.
struct ec_ODlistt {
    uint16_t Slave;
    uint16_t Entries;
    uint16_t Index[EC_MAXODLIST];
    uint16_t DataType[EC_MAXODLIST];
    uint8_t ObjectCode[EC_MAXODLIST];  // 7 VAR, 8 ARRAY, 9 RECORD
    uint8_t MaxSub[EC_MAXODLIST];
    char Name[EC_MAXODLIST][EC_MAXNAME + 1];
};

// The entries of one object (ecx_readOE, ecx_readOEsingle), indexed by subindex.
struct ec_OElistt {
    uint16_t Entries;
    uint8_t ValueInfo[EC_MAXOELIST];
    uint16_t DataType[EC_MAXOELIST];
    uint16_t BitLength[EC_MAXOELIST];
    uint16_t
        ObjAccess[EC_MAXOELIST];  // bits 0-2 read, 3-5 write in PRE-OP/SAFE-OP/OP; 6/7 mappable
    char Name[EC_MAXOELIST][EC_MAXNAME + 1];
};

struct ec_groupt {
    uint32_t logstartaddr;
    uint32_t Obytes;
    uint8_t* outputs;
    uint32_t Ibytes;
    uint8_t* inputs;
    bool hasdc;
    uint16_t DCnext;  // reference clock
    int16_t Ebuscurrent;
    uint8_t blockLRW;
    uint16_t nsegments;  // LRW datagrams one cycle takes
    uint16_t Isegment;   // first segment holding inputs
    uint16_t Ioffset;    // offset of the inputs inside that segment
    uint16_t outputsWKC;
    uint16_t inputsWKC;
    uint16_t expectedWKC;  // outputsWKC * 2 + inputsWKC
    bool docheckstate;
    uint32_t IOsegment[EC_MAXIOSEGMENTS];  // bytes per segment
};

struct ec_adaptert {
    char name[EC_MAXLEN_ADAPTERNAME];
    char desc[EC_MAXLEN_ADAPTERNAME];
    ec_adaptert* next;
};
