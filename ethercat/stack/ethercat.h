// The master's calling interface.
//
// Every service exists twice: as ecx_*(context, ...) working on any context, and as ec_*(...) on
// the one process-wide context whose records are ec_slave[], ec_group[] and ec_slavecount.
// Register calls return the working counter, or EC_NOFRAME (-1) when no frame came back within
// the timeout. Timeouts are in microseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "context.h"
#include "link.h"
#include "osal/osal.h"
#include "types.h"

// --- Process-wide context ---
extern ec_slavet ec_slave[EC_MAXSLAVE];
extern int ec_slavecount;
extern ec_groupt ec_group[EC_MAXGROUP];
extern int64_t ec_DCtime;
extern ecx_contextt ecx_context;

// --- Link ---
// Opens the named adapter (registered virtual adapter or machine interface). > 0 on success.
int ecx_init(ecx_contextt* ctx, const char* ifname);
// Uses an already opened link; for tests and embedders. > 0 on success.
int ecx_init_link(ecx_contextt* ctx, std::unique_ptr<ec::FrameLink> link);
void ecx_close(ecx_contextt* ctx);

// --- Capture ---
// Writes every frame the link sends and receives from now on to a pcapng file. > 0 on success;
// 0 without an open link or when the file cannot be created. A running capture ends first.
int ecx_capture_start(ecx_contextt* ctx, const char* path);
// Ends the capture and closes its file; `stats` (may be null) gets the frames written and
// dropped. > 0 when the file is complete; 0 when writing failed or no capture ran.
int ecx_capture_stop(ecx_contextt* ctx, ec::CaptureStats* stats);
// Frames resent and lost by the blocking calls since the link was opened; zeros without a link.
ec::PortStats ecx_port_stats(ecx_contextt* ctx);

// Adapters: virtual adapters first, then the machine's interfaces. Free with ec_free_adapters.
ec_adaptert* ec_find_adapters();
void ec_free_adapters(ec_adaptert* adapter);

// --- Register access (base.cpp) ---
int ecx_APRD(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, void* data,
             int timeout);
int ecx_APWR(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, const void* data,
             int timeout);
int ecx_FPRD(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, void* data,
             int timeout);
int ecx_FPWR(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, const void* data,
             int timeout);
int ecx_BRD(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, void* data,
            int timeout);
int ecx_BWR(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, const void* data,
            int timeout);
int ecx_ARMW(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, void* data,
             int timeout);
int ecx_FRMW(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, void* data,
             int timeout);
int ecx_LRD(ecx_contextt* ctx, uint32_t LogAdr, uint16_t length, void* data, int timeout);
int ecx_LWR(ecx_contextt* ctx, uint32_t LogAdr, uint16_t length, const void* data, int timeout);
int ecx_LRW(ecx_contextt* ctx, uint32_t LogAdr, uint16_t length, void* data, int timeout);
// Several register datagrams in one exchange: packed in order into as few frames as the frame
// size allows (one unless they cannot fit), each frame sent again as a single call's is. Fills in
// every datagram's `wkc` and `in`. Returns how many datagrams came back in a frame.
int ecx_transceive_batch(ecx_contextt* ctx, std::span<ec_datagramt> batch, int timeout);

// --- SII (sii.cpp) ---
// First 32 bits read at SII word `eeproma`; 0 when the read failed.
uint32_t ecx_readeeprom(ecx_contextt* ctx, uint16_t slave, uint16_t eeproma, int timeout);
void ecx_eeprom2master(ecx_contextt* ctx, uint16_t slave);
void ecx_eeprom2pdi(ecx_contextt* ctx, uint16_t slave);

// --- Configuration (config.cpp) ---
// Scans the bus. Returns the slave count, 0 when no slave answers, EC_SLAVECOUNTEXCEEDED when the
// bus has more slaves than the records hold. `usetable` is accepted and ignored: the stack keeps no
// configuration table.
int ecx_config_init(ecx_contextt* ctx, uint8_t usetable);
// Scans the slaves as they stand, without the reset of ecx_config_init: station addresses that
// are set and unique are kept (others get the scan's), AL states, SyncManagers, FMMUs and DC are
// left alone. Fills the slave list from the SII as ecx_config_init does; the slave count or 0.
int ecx_config_inspect(ecx_contextt* ctx);
// Lays out the process image of group 0 in `iomap`: outputs of all slaves, then inputs.
// Returns the image size. The classic form takes no size and trusts the caller's buffer.
int ecx_config_map(ecx_contextt* ctx, void* iomap);
// As above, but maps nothing and returns 0 when the image would exceed `size` bytes.
int ecx_config_map_sized(ecx_contextt* ctx, void* iomap, size_t size);
// The same image, with SAFE-OP requested of `slave` alone (0: all); the others keep their state.
int ecx_config_map_slave(ecx_contextt* ctx, void* iomap, size_t size, uint16_t slave);
int ecx_reconfig_slave(ecx_contextt* ctx, uint16_t slave, int timeout);
int ecx_recover_slave(ecx_contextt* ctx, uint16_t slave, int timeout);

// --- AL state (state.cpp) ---
int ecx_writestate(ecx_contextt* ctx, uint16_t slave);
uint16_t ecx_statecheck(ecx_contextt* ctx, uint16_t slave, uint16_t reqstate, int timeout);
int ecx_readstate(ecx_contextt* ctx);
const char* ec_ALstatuscode2string(uint16_t ALstatuscode);

// --- Distributed clocks (dc.cpp) ---
bool ecx_configdc(ecx_contextt* ctx);
void ecx_dcsync0(ecx_contextt* ctx, uint16_t slave, bool act, uint32_t CyclTime, int32_t CyclShift);

// --- Process data (processdata.cpp) ---
int ecx_send_processdata(ecx_contextt* ctx);
// The same with register datagrams riding along: `extra`, in its order, fills the room the first
// process-data frame leaves, and what does not fit follows in frames of its own right behind it.
// receive_processdata gives each its reply and working counter (EC_NOFRAME when its frame did not
// come back, EC_ERROR when no frame can carry it); `extra` must stay valid until then.
int ecx_send_processdata(ecx_contextt* ctx, std::span<ec_datagramt> extra);
int ecx_receive_processdata(ecx_contextt* ctx, int timeout);
// Frames send_processdata has sent since the context was made.
uint64_t ecx_processdata_frames(ecx_contextt* ctx);

// --- Mailbox services (coe.cpp, sdoinfo.cpp, foe.cpp, errorlist.cpp) ---
// SDO upload. *psize is the size of `p` on entry and the bytes received on return; never more than
// *psize bytes are written. CA: complete access, refused unless the slave's SII offers it.
// Returns > 0 on success; 0 when refused, aborted (abort code in the error list) or the reply was
// unusable; EC_TIMEOUT when no reply came within `timeout` µs (per reply).
int ecx_SDOread(ecx_contextt* ctx, uint16_t slave, uint16_t index, uint8_t subindex, bool CA,
                int* psize, void* p, int timeout);
// SDO download of psize bytes: expedited up to 4 bytes, else normal and segmented. Returns as
// ecx_SDOread.
int ecx_SDOwrite(ecx_contextt* ctx, uint16_t slave, uint16_t index, uint8_t subindex, bool CA,
                 int psize, const void* p, int timeout);
// FoE write of psize bytes under `FileName` (cut to one packet). `timeout` µs applies to each
// reply. Returns > 0 written, else 0 or one of EC_ERROR, EC_FOE_* (types.h).
int ecx_FOEwrite(ecx_contextt* ctx, uint16_t slave, const char* FileName, uint32_t password,
                 int psize, const void* p, int timeout);
// A slave's standard mailbox as its record holds it: SyncManagers 0 and 1 and the windows the
// mailbox services use. The switch to the bootstrap mailbox hands it back for the way back.
struct ec_mbxsetupt {
    ec_smt SM[2];
    uint16_t mbx_wo, mbx_l, mbx_ro, mbx_rl;
};
// Switches a slave in INIT to the bootstrap mailbox its SII describes, the one a bootloader in
// BOOT speaks through: the record's SM0/SM1 and mailbox windows, then the SyncManager registers.
// `standard` receives what the record held before. Returns the lower working counter of the two
// register writes.
int ecx_FOEbootmailbox(ecx_contextt* ctx, uint16_t slave, ec_mbxsetupt* standard);
// Puts the standard mailbox back into the record only: the slave's next configuration towards
// PRE-OP writes the registers, as for any slave configured again.
void ecx_FOEstdmailbox(ecx_contextt* ctx, uint16_t slave, const ec_mbxsetupt& standard);
// SDO information (sdoinfo.cpp), for slaves whose SII offers it (CoE details bit 1; others are
// refused without traffic). Results as ecx_SDOread; an error reply's abort code goes to the list as
// EC_ERR_TYPE_SDOINFO_ERROR. Each reply (each fragment) has EC_TIMEOUTRXM, the whole call
// EC_TIMEOUTSDOINFO; a reply longer than what it describes can be, or one still coming when that
// time is up, ends the call with a packet error (ec::kPacketTooLong, ec::kPacketOverdue).
// The list of all objects into pODlist (Slave, Entries, Index; the description rows cleared). Only
// the first EC_MAXODLIST are kept; a longer list adds a packet error and still succeeds.
int ecx_readODlist(ecx_contextt* ctx, uint16_t slave, ec_ODlistt* pODlist);
// Data type, object code, max subindex and name of object Index[item] of pODlist->Slave.
int ecx_readODdescription(ecx_contextt* ctx, uint16_t item, ec_ODlistt* pODlist);
// Description of entry `subindex` of object Index[item] into row `subindex` of pOElist.
int ecx_readOEsingle(ecx_contextt* ctx, uint16_t item, uint8_t subindex, ec_ODlistt* pODlist,
                     ec_OElistt* pOElist);
// Descriptions of subindices 0..MaxSub[item] (read by ecx_readODdescription first); Entries =
// MaxSub + 1. A subindex the slave has not (abort 0x06090011) leaves its row empty.
int ecx_readOE(ecx_contextt* ctx, uint16_t item, ec_ODlistt* pODlist, ec_OElistt* pOElist);
// How the last of the services above that the calling thread ran on `ctx` ended: kind, object,
// code and text, whatever other threads do meanwhile; the error list is filled as before.
// EC_SERVICE_NONE when the thread has run none on `ctx`, or one on another context since.
// ec::serviceResultText (errorlist.h) makes a line of it.
ec_serviceresultt ecx_lastservice(ecx_contextt* ctx);
// Reads what a slave put into its send mailbox unasked; emergencies go to the error list. Does not
// wait for a mailbox a service is using. > 0 when a message was read, else 0.
int ecx_mbxpoll(ecx_contextt* ctx, uint16_t slave);
// The error list: whether entries wait, the oldest one, all of them as text (emptying the list).
bool ecx_iserror(ecx_contextt* ctx);
bool ecx_poperror(ecx_contextt* ctx, ec_errort* ec);
const char* ecx_elist2string(ecx_contextt* ctx);

// --- The same on the process-wide context ---
int ec_init(const char* ifname);
void ec_close();
ec::PortStats ec_port_stats();
int ec_mbxpoll(uint16_t slave);
int ec_capture_start(const char* path);
int ec_capture_stop(ec::CaptureStats* stats);
int ec_APRD(uint16_t ADP, uint16_t ADO, uint16_t length, void* data, int timeout);
int ec_APWR(uint16_t ADP, uint16_t ADO, uint16_t length, const void* data, int timeout);
int ec_FPRD(uint16_t ADP, uint16_t ADO, uint16_t length, void* data, int timeout);
int ec_FPWR(uint16_t ADP, uint16_t ADO, uint16_t length, const void* data, int timeout);
int ec_BRD(uint16_t ADP, uint16_t ADO, uint16_t length, void* data, int timeout);
int ec_BWR(uint16_t ADP, uint16_t ADO, uint16_t length, const void* data, int timeout);
int ec_ARMW(uint16_t ADP, uint16_t ADO, uint16_t length, void* data, int timeout);
int ec_FRMW(uint16_t ADP, uint16_t ADO, uint16_t length, void* data, int timeout);
int ec_LRD(uint32_t LogAdr, uint16_t length, void* data, int timeout);
int ec_LWR(uint32_t LogAdr, uint16_t length, const void* data, int timeout);
int ec_LRW(uint32_t LogAdr, uint16_t length, void* data, int timeout);
int ec_transceive_batch(std::span<ec_datagramt> batch, int timeout);
uint32_t ec_readeeprom(uint16_t slave, uint16_t eeproma, int timeout);
int ec_config_init(uint8_t usetable);
int ec_config_map(void* iomap);
int ec_config_map_sized(void* iomap, size_t size);
int ec_reconfig_slave(uint16_t slave, int timeout);
int ec_recover_slave(uint16_t slave, int timeout);
int ec_writestate(uint16_t slave);
uint16_t ec_statecheck(uint16_t slave, uint16_t reqstate, int timeout);
int ec_readstate();
bool ec_configdc();
void ec_dcsync0(uint16_t slave, bool act, uint32_t CyclTime, int32_t CyclShift);
int ec_send_processdata();
int ec_send_processdata(std::span<ec_datagramt> extra);
int ec_receive_processdata(int timeout);
uint64_t ec_processdata_frames();
int ec_SDOread(uint16_t slave, uint16_t index, uint8_t subindex, bool CA, int* psize, void* p,
               int timeout);
int ec_SDOwrite(uint16_t slave, uint16_t index, uint8_t subindex, bool CA, int psize, const void* p,
                int timeout);
int ec_FOEwrite(uint16_t slave, const char* FileName, uint32_t password, int psize, const void* p,
                int timeout);
int ec_FOEbootmailbox(uint16_t slave, ec_mbxsetupt* standard);
void ec_FOEstdmailbox(uint16_t slave, const ec_mbxsetupt& standard);
int ec_readODlist(uint16_t slave, ec_ODlistt* pODlist);
int ec_readODdescription(uint16_t item, ec_ODlistt* pODlist);
int ec_readOEsingle(uint16_t item, uint8_t subindex, ec_ODlistt* pODlist, ec_OElistt* pOElist);
int ec_readOE(uint16_t item, ec_ODlistt* pODlist, ec_OElistt* pOElist);
bool ec_iserror();
bool ec_poperror(ec_errort* ec);
const char* ec_elist2string();
ec_serviceresultt ec_lastservice();
