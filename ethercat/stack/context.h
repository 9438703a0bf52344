// The master's state: one port, the slave and group records, the process-data frames in flight.
// Every service takes a context; the global calls of ethercat.h use one process-wide context, and
// tests run several side by side.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "errorlist.h"
#include "frame.h"
#include "port.h"
#include "types.h"

struct ecx_contextt;

namespace ec {

// Determines the process-data sizes of a slave from its mailbox (CoE PDO assignment) instead of
// the SII PDO categories. Returns false to fall back on the SII. Sizes in bits; SyncManager
// lengths in the slave record may be set as well.
using PdoSizeReader = bool (*)(ecx_contextt* ctx, uint16_t slave, uint32_t* outputBits,
                               uint32_t* inputBits);

// Reads the PDO assignment and mapping objects over CoE (coe.cpp).
bool readPdoSizesCoE(ecx_contextt* ctx, uint16_t slave, uint32_t* outputBits, uint32_t* inputBits);

// Mailbox state of one slave beside its record.
struct MailboxChannel {
    // Held for a whole mailbox service, so that one slave's messages are never interleaved.
    // Services of different slaves proceed in parallel; the cycle never takes it.
    std::mutex mutex;
    // Counter of the last message taken from the slave; a message carrying it again is a
    // repetition. 0 = none yet. Atomic: state requests reset it without taking `mutex`, because
    // the slave numbers its messages afresh when its mailbox restarts.
    std::atomic<uint8_t> lastCounter{0};
    // A request went out whose reply has not been taken (a service that timed out or ended
    // early): what the send mailbox holds may be that reply, so the next service drains it
    // first. Guarded by `mutex`.
    bool replyPending = true;
};

// Process-data frames sent by send_processdata and awaited by receive_processdata.
struct ProcessDataFrame {
    SlotId slot;
    Command cmd;         // LRW, or LRD and LWR for groups with a slave that cannot take LRW;
                         // NOP for a frame of register datagrams only
    uint32_t logical;    // logical address of the LRW's first byte
    uint16_t length;     // LRW data bytes
    bool carriesDcTime;  // datagram 1 is the system-time FRMW
    // The caller's register datagrams riding in this frame: `extraCount` of them from number
    // `extraFirst` of the caller's span, from datagram `extraPlace` of the frame on.
    size_t extraFirst = 0;
    size_t extraCount = 0;
    size_t extraPlace = 0;
};

// Tells contexts apart for the per-thread record of the last mailbox service, also when a new one
// takes the place of a destroyed one.
inline uint64_t newContextSerial() {
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1);
}

// Process-data bits per SyncManager as the SII PDO categories give them, kept from the scan for
// the mapping.
struct SiiPdoSizes {
    uint32_t outputBits[8] = {};  // RxPDO category
    uint32_t inputBits[8] = {};   // TxPDO category
};

}  // namespace ec

struct ecx_contextt {
    ecx_contextt(ec_slavet* slaves, int* count, ec_groupt* groups, int64_t* dcTime)
        : slavelist(slaves), slavecount(count), grouplist(groups), DCtime(dcTime) {}
    ecx_contextt(const ecx_contextt&) = delete;
    ecx_contextt& operator=(const ecx_contextt&) = delete;

    const uint64_t serial = ec::newContextSerial();
    ec_slavet* slavelist = nullptr;  // EC_MAXSLAVE entries, 0 = summary
    int* slavecount = nullptr;
    int maxslave = EC_MAXSLAVE;
    ec_groupt* grouplist = nullptr;  // EC_MAXGROUP entries
    int maxgroup = EC_MAXGROUP;
    int64_t* DCtime = nullptr;  // system time read behind the last process-data frame

    // Set and reset by init/close only, while no other thread uses the context.
    std::unique_ptr<ec::Port> port;
    std::string linkName;  // the adapter's name, as written into captures

    // The running capture. Started and stopped by one controlling thread (as init and close);
    // the port holds its own reference for the threads that record.
    std::shared_ptr<ec::FrameCapture> capture;
    ec::PdoSizeReader readPdoSizes = ec::readPdoSizesCoE;  // null: sizes from the SII only
    std::vector<ec::SiiPdoSizes> siiPdo;  // per slave number, filled by config_init

    // One per slave number; the mutexes are the mailbox's own locks (see MailboxChannel).
    std::unique_ptr<ec::MailboxChannel[]> mailboxes =
        std::make_unique<ec::MailboxChannel[]>(EC_MAXSLAVE);
    ec::ErrorList errors;  // thread-safe on its own

    std::mutex pdMutex;                          // guards pdFrames and the process-data copy
    std::vector<ec::ProcessDataFrame> pdFrames;  // guarded by pdMutex
    std::span<ec_datagramt> pdExtras;            // guarded by pdMutex; the caller's, until receive
    std::atomic<uint64_t> pdFramesSent{0};       // frames sent by send_processdata, ever
};

namespace ec {

// A context with its own slave, group and time storage, for masters beside the global one.
class OwnedContext {
public:
    OwnedContext();
    OwnedContext(const OwnedContext&) = delete;
    OwnedContext& operator=(const OwnedContext&) = delete;

    ecx_contextt* get() { return &ctx_; }
    ecx_contextt* operator->() { return &ctx_; }
    ec_slavet& slave(int n) { return slaves_[static_cast<size_t>(n)]; }
    ec_groupt& group(int n) { return groups_[static_cast<size_t>(n)]; }
    int slavecount() const { return slavecount_; }

private:
    std::unique_ptr<ec_slavet[]> slaves_;
    std::array<ec_groupt, EC_MAXGROUP> groups_{};
    int slavecount_ = 0;
    int64_t dcTime_ = 0;
    ecx_contextt ctx_;
};

}  // namespace ec
