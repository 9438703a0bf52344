// One simulated EtherCAT slave controller (ESC): register file and process RAM, datagram handling
// with the working-counter rules, SyncManagers (mailbox and buffered), FMMUs, the SII EEPROM
// interface, the AL state machine, distributed clocks and the SyncManager watchdog.
//
// Not thread-safe: the owning Chain serialises every call.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "sim/config.h"

namespace sim {

class SlaveApplication;

class Esc {
public:
    // Register file 0x0000-0x0FFF and 8 KiB of process RAM 0x1000-0x2FFF; above reads as 0.
    static constexpr uint32_t kRegisterEnd = 0x1000;
    static constexpr uint32_t kMemorySize = 0x3000;
    static constexpr int kSmCount = 8;
    static constexpr int kFmmuCount = 8;

    Esc(const SlaveConfig& cfg, const Clock& clock);

    void setApplication(SlaveApplication* app);
    // Power-on: register reset values, alias and PDI settings from the EEPROM, INIT, the local
    // clock starting over.
    void powerUp();

    // --- wire side ------------------------------------------------------------------------
    // Host times at which the frame passes this slave's port 0 (outbound) and port 1 (returning).
    struct Passage {
        int64_t port0HostNs = 0;
        int64_t port1HostNs = 0;
        bool lastInLine = true;  // port 1 closed: the frame turns around here
    };
    void beginFrame(const Passage& passage);
    // One datagram of the frame as it passes: header (10 bytes), data (len bytes), WKC (2 bytes).
    // True when it names this slave: by position, station address or alias; broadcast and
    // logical datagrams name every slave.
    bool processDatagram(uint8_t* header, uint8_t* data, uint16_t len, uint8_t* wkc);
    // After the frame has passed: the firmware reacts (mailbox, outputs, repeat requests).
    void endFrame();
    // Timers: delayed AL transitions and the SM watchdog. Called before every frame.
    void poll();
    // Whether port 1 has a link (a slave behind this one); shapes the DL status. A link that goes
    // down counts in port 1's lost-link counter.
    void setPort1Link(bool link);

    // Error counters (0x0300-0x0313), each saturating at 255 as the controller's do: a frame that
    // arrived corrupted at `port`, or one already marked corrupted by an earlier slave.
    void countInvalidFrame(int port);
    void countForwardedError(int port);

    // --- PDI side (firmware) ---------------------------------------------------------------
    int64_t hostNowNs() const { return clock_.nowNs(); }
    uint8_t alState() const { return state_; }
    bool alError() const { return error_; }
    uint16_t alStatusCode() const { return statusCode_; }
    // Copies into the SyncManager's window (the inputs buffer); false while it has none.
    bool pdiWriteBuffer(int sm, std::span<const uint8_t> data);
    // Window of a SyncManager as it stands (empty when unconfigured).
    std::span<const uint8_t> smWindow(int sm) const;
    // Queues a message for the send mailbox; it is loaded when the mailbox is empty.
    void pdiSendMailbox(std::vector<uint8_t> message);
    // Queues a message whose read goes wrong on the way back: it never shows in the send
    // mailbox, but counts as the last message sent, so the master's repeat request brings it.
    void pdiLoseMailbox(std::vector<uint8_t> message);
    // Local error: SAFE-OP+ERROR from SAFE-OP or OP, otherwise the current state with error.
    void forceError(uint16_t alStatusCode);
    // The firmware drops from SAFE-OP or OP to INIT or PRE-OP by itself, without an error (its
    // communication restarted); false, nothing changed, for any other state or target.
    bool fallBack(uint8_t state);
    void refuseState(uint8_t state, uint16_t alStatusCode) { refused_[state] = alStatusCode; }
    void acceptState(uint8_t state) { refused_.erase(state); }
    // The next `count` reads (or writes) of this slave that touch register byte `address` go
    // unanswered, as when the controller drops the access: memory untouched, no data, no working
    // counter. A read-write access counts as either. Auto-increment addresses still count on.
    enum class AccessKind : uint8_t { Read, Write };
    void ignoreAccesses(uint16_t address, AccessKind kind, int count);

    // --- inspection ------------------------------------------------------------------------
    // Register/RAM bytes as the PDI sees them (no side effects, dynamic registers refreshed).
    std::vector<uint8_t> peek(uint16_t address, size_t len);
    uint16_t peek16(uint16_t address);
    uint32_t peek32(uint16_t address);
    uint64_t peek64(uint16_t address);
    const std::vector<uint16_t>& sii() const { return sii_; }
    const SlaveConfig& config() const { return cfg_; }
    int64_t localTimeNs(int64_t hostNs) const;
    int64_t systemTimeNs(int64_t hostNs) const;  // local + 0x0920
    // SYNC0 pulses issued up to hostNs since activation.
    uint64_t sync0Pulses(int64_t hostNs) const;
    bool watchdogExpired() const { return wdExpired_; }
    bool mailboxOutFull() const { return sm_[0].full; }

    // Accesses a real controller refuses, refused here too and noted: a write to register bytes
    // ECAT cannot write (reserved or read-only), a SyncManager enabled with length 0 or outside
    // the process RAM, an FMMU enabled with length 0, bit offsets past 7, no direction, or a
    // physical range beyond the memory. The refused SyncManager or FMMU stays disabled. Kept over
    // power cycles, at most kMaxRefusals entries.
    static constexpr size_t kMaxRefusals = 64;
    const std::vector<std::string>& refusals() const { return refusals_; }
    void clearRefusals() { refusals_.clear(); }

private:
    struct SmRuntime {
        bool full = false;             // mailbox: buffer written completely, not yet consumed
        bool pdiDisabled = true;       // the firmware keeps it off in the current state
        bool writeOpen = false;        // buffered write in progress
        std::vector<uint8_t> pending;  // buffered write staging (completed at the last byte)
        bool completed = false;        // completed a buffer/message during this frame
        bool readDone = false;         // mailbox read out completely during this frame
        uint32_t buffersWritten = 0;   // buffered: completed writes, for the status byte
    };
    struct SmView {
        uint16_t start, len;
        uint8_t control, activate;
        // A window of at least a byte inside the process RAM.
        bool inRam() const {
            return len > 0 && start >= kRegisterEnd && uint32_t{start} + len <= kMemorySize;
        }
        // A window outside the process RAM never takes effect (checkSmEnable refuses it).
        bool enabled() const { return (activate & 0x01) && inRam(); }
        bool mailbox() const { return (control & 0x03) == 0x02; }
        bool ecatWrites() const { return (control & 0x0C) == 0x04; }
    };
    SmView smView(int n) const;

    // What a physical address reaches: registers, a SyncManager window (whose buffer or mailbox
    // rules apply), plain process RAM between windows, or nothing beyond the memory.
    enum class PhysRegion { Registers, SyncManager, Ram, Unmapped };
    // Splits an access into region pieces in address order and calls
    // f(region, sm, address, offset into the access, length) for each; true when any piece counts
    // for the working counter.
    template <class F>
    bool forEachPhysRegion(uint32_t address, size_t len, F&& f);
    bool physRead(uint32_t address, uint8_t* out, size_t len);
    bool physWrite(uint32_t address, const uint8_t* in, size_t len);
    void readRegisters(uint32_t address, uint8_t* out, size_t len);
    void writeRegisters(uint32_t address, const uint8_t* in, size_t len);
    // False when ECAT cannot write the byte (the write is ignored).
    bool writeRegisterByte(uint32_t address, uint8_t value);
    void checkSmEnable(int n);
    void checkFmmuEnable(int n);
    void noteRefusal(std::string what);
    bool smRead(int n, const SmView& sm, uint32_t address, uint8_t* out, size_t len);
    bool smWrite(int n, const SmView& sm, uint32_t address, const uint8_t* in, size_t len);
    int smAt(uint32_t address, uint32_t* windowEnd) const;
    uint32_t nextSmStart(uint32_t address) const;
    uint16_t logicalAccess(uint8_t cmd, uint32_t logical, uint8_t* data, uint16_t len);
    void refreshDynamic(uint32_t address, size_t len);
    void afterWrite();

    // AL state machine.
    void requestAlControl(uint16_t control);
    void applyAlControl(uint16_t control);
    uint16_t checkTransition(uint8_t from, uint8_t to) const;
    uint16_t checkMailboxSms(uint16_t siiWord, uint16_t code) const;
    uint16_t checkProcessDataSms() const;
    void enterState(uint8_t to);
    void refuse(uint16_t code);
    void publishAlStatus();
    void setSmPdiDisabled(int n, bool disabled);
    void resetSmRuntime(int n);

    void siiCommand();
    void dcLatch();
    void dcSystemTimeWrite(const uint8_t* bytes, uint8_t mask);
    void dcActivation();
    void loadMailbox();
    void checkWatchdog(int64_t hostNs);

    uint16_t reg16(uint16_t a) const;
    uint32_t reg32(uint16_t a) const;
    uint64_t reg64(uint16_t a) const;
    void setReg16(uint16_t a, uint16_t v);
    void setReg32(uint16_t a, uint32_t v);
    void setReg64(uint16_t a, uint64_t v);

    SlaveConfig cfg_;
    const Clock& clock_;
    SlaveApplication* app_ = nullptr;
    std::vector<uint8_t> mem_;
    std::vector<uint16_t> sii_;
    std::array<SmRuntime, kSmCount> sm_{};
    std::map<uint8_t, uint16_t> refused_;
    // Accesses left to ignore by register byte: reads, writes.
    std::map<uint16_t, std::pair<int, int>> ignored_;

    uint8_t state_ = 1;
    bool error_ = false;
    uint16_t statusCode_ = 0;
    bool pendingAl_ = false;
    uint16_t pendingAlControl_ = 0;
    int64_t pendingAlDueNs_ = 0;

    // Distributed clocks.
    bool hasDc_ = false;
    int64_t powerUpHostNs_ = 0;
    int64_t steerNs_ = 0;  // drift-compensation correction of the local clock
    bool sync0Active_ = false;
    int64_t sync0StartNs_ = 0;  // system time of the first pulse
    uint32_t sync0CycleNs_ = 0;

    // SM watchdog on the outputs SyncManager.
    int64_t lastOutputsHostNs_ = 0;
    bool wdExpired_ = false;

    // Mailbox (send side).
    struct QueuedMessage {
        std::vector<uint8_t> bytes;
        bool lost = false;
    };
    std::deque<QueuedMessage> mbxQueue_;
    std::vector<uint8_t> mbxLastSent_;

    bool port1Link_ = false;
    Passage passage_;

    // Write side effects gathered during one datagram and applied after it.
    struct Pending {
        bool alControl = false;
        bool siiControl = false;
        bool dcLatch = false;
        bool sysTime = false;
        uint8_t sysTimeBytes[8] = {};
        uint8_t sysTimeMask = 0;
        bool activation = false;
        bool errorCounters = false;     // 0x0300-0x030D written: all of them clear
        bool lostLinkCounters = false;  // 0x0310-0x0313 written: all of them clear
        uint8_t smActivate = 0;         // bit n: activate byte of SM n written
        uint8_t smActivateBefore[kSmCount] = {};
        uint8_t smConfig = 0;      // bit n: start, length or control of SM n written
        uint8_t fmmuActivate = 0;  // bit n: activate byte of FMMU n written
    } pw_;

    std::vector<std::string> refusals_;
};

}  // namespace sim
