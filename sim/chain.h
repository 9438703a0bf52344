// A line of simulated EtherCAT slaves behind one master port. Frames pass the slaves in position
// order (in at port 0, out at port 1), the last slave closes the loop, and the frame travels back
// through the line to the master, as on the wire.
//
// Topology faults: pullDrive(k) pulls the cable between slave k-1 (or the master) and slave k, so
// slave k and everything behind it fall off the bus; plugDrive(k) puts that cable back. Slaves
// that come back are freshly powered (INIT, station address 0). removeSlave(k) takes out slave k
// alone, its neighbours joined directly; restoreSlave(k) puts it back, freshly powered.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sim/application.h"
#include "sim/cia402_drive.h"
#include "sim/config.h"
#include "sim/esc.h"
#include "sim/foe_server.h"
#include "sim/mailbox.h"

namespace sim {

class Chain {
public:
    explicit Chain(ChainConfig cfg);
    ~Chain();
    Chain(const Chain&) = delete;
    Chain& operator=(const Chain&) = delete;

    // Passes one Ethernet frame through the slaves, as the wire does, in place. Returns false when
    // the frame is lost on the way (injected loss, or nobody on the line): no reply comes back.
    // Frames that are not well-formed EtherCAT frames come back unchanged.
    bool processFrame(std::vector<uint8_t>& frame);
    // Runs the slaves' timers (delayed AL transitions, SM watchdog) without a frame.
    void poll();

    size_t size() const;       // slaves configured, present or not
    size_t reachable() const;  // slaves a frame currently passes

    // --- fault injection (positions are 1-based) -------------------------------------------------
    // Frames lost at random on the cable into slave `link` (1: master to the first slave), on the
    // way out or back. The slave whose port takes a corrupted frame counts it as invalid, the
    // slaves after it as forwarded errors; on the way out the frame reaches no later slave.
    void setFrameLoss(double fraction, uint64_t seed, LossPoint where = LossPoint::Outbound,
                      int link = 1);
    // The next frame is corrupted on that cable, counted and lost the same way.
    void corruptNextFrame(int link, LossPoint where = LossPoint::Outbound);
    // The whole line stalls for `ms` of the chain's clock from now, as when the host running it
    // is held up: every frame in that time is lost before any slave sees it (the slaves' timers,
    // the SyncManager watchdog among them, run on). Then frames pass as before.
    void stall(int64_t ms);
    void pullDrive(int position);
    void plugDrive(int position);
    void removeSlave(int position);
    void restoreSlave(int position);
    // A local error in the slave: OP and SAFE-OP drop to SAFE-OP+ERROR, lower states keep their
    // state and show the error (PRE-OP+ERROR = 0x12).
    void forceSafeOpError(int position, uint16_t alStatusCode);
    // SAFE-OP or OP left for INIT or PRE-OP by the slave itself (Esc::fallBack).
    bool fallBack(int position, uint8_t state);
    // Requests for `state` are refused with this code until acceptState.
    void refuseState(int position, uint8_t state, uint16_t alStatusCode);
    void acceptState(int position, uint8_t state);
    // The slave's next `count` reads (or writes) touching register byte `address` go unanswered
    // (Esc::ignoreAccesses); 0 answers them again.
    void ignoreAccesses(int position, uint16_t address, Esc::AccessKind kind, int count);

    // Switches the slave off and on again: INIT, station address 0, unsaved drive settings lost.
    void powerCycle(int position);

    // --- drive faults and the joint (drives only; false / nullopt for other slaves) ----------
    // The drive faults with these bits ORed into its motor and drive error words: fault reaction,
    // Fault at the next exchange; a fault reset (control word bit 7 rising) clears both words.
    bool injectFault(int position, uint32_t errorWord, uint32_t drvErrorWord = 0);
    // The joint behind the drive as its sensors saw it at the last process-data exchange (reading
    // it does not move the model on, so inspection never changes a run).
    std::optional<JointReadings> joint(int position);

    // --- mailbox faults (drives only; false for other slaves) ----------------------------------
    // Malformed replies until set back to Misbehaviour::None.
    bool setMailboxMisbehaviour(int position, Misbehaviour m);
    // The next n mailbox messages of the slave are lost as if their read frame never came back:
    // only the master's repeat request brings the last of them.
    bool dropMailboxReplies(int position, int n);
    // The next mailbox message comes twice with the same counter.
    bool duplicateNextMailboxReply(int position);
    // Every SDO upload and download of the entry index:sub gets this abort code; 0 takes them
    // again. False when the slave is no drive or has no such entry.
    bool refuseSdo(int position, uint16_t index, uint8_t sub, uint32_t abortCode);
    // Puts an emergency (error code, error register, manufacturer bytes) into the send mailbox.
    bool sendEmergency(int position, uint16_t errorCode, uint8_t errorRegister,
                       std::array<uint8_t, 5> manufacturer = {});

    // --- inspection ------------------------------------------------------------------------------
    // The last file the drive's bootloader received (nullopt for other slaves).
    std::optional<FirmwareFile> firmware(int position);
    // Raw bytes of drive parameter `id` (0x6101:id+1); empty for other slaves or unknown ids.
    std::vector<uint8_t> parameter(int position, int id);
    uint8_t alState(int position) const;  // AL status register low byte (state | error)
    uint16_t alStatusCode(int position) const;
    std::vector<uint8_t> readRegisters(int position, uint16_t address, size_t len) const;
    uint64_t framesSeen() const;
    uint64_t framesLost() const;
    // Datagrams of frames that passed the whole line naming no slave on it: a position, station
    // address or alias nobody holds. A master that addresses the slaves it found sends none
    // while they stay on the line.
    uint64_t datagramsToNobody() const;
    // What the slaves refused as real controllers would (Esc::refusals), "slave N: ...", and the
    // EtherCAT frames the line could not parse, since the last take. A sound master causes none.
    std::vector<std::string> takeRefusals();
    // Runs f on one slave's controller and firmware under the chain's lock.
    void withSlave(int position, const std::function<void(Esc&, SlaveApplication*)>& f);
    // The drive firmware at a position; null for other slaves. Not locked: tests only.
    Cia402Drive* drive(int position);
    const Clock& clock() const { return *clock_; }

private:
    struct Slave {
        SlaveConfig cfg;
        std::unique_ptr<SlaveApplication> app;
        std::unique_ptr<Esc> esc;
        bool cableIn = true;  // cable between the previous device and this slave's port 0
        bool removed = false;
    };
    bool validPosition(int position) const;
    // Runs f on the drive at a position under the lock; false when there is none.
    bool withDrive(int position, const std::function<void(Cia402Drive&)>& f);
    std::vector<Slave*> reachableLocked();
    void updateLinksLocked();

    mutable std::mutex mutex_;
    std::shared_ptr<Clock> clock_;
    std::vector<Slave> slaves_;  // guarded by mutex_
    double loss_ = 0.0;          // guarded by mutex_
    LossPoint lossPoint_;        // guarded by mutex_
    int lossLink_ = 1;           // guarded by mutex_
    struct Corruption {
        int link;
        LossPoint where;
    };
    std::optional<Corruption> corruptNext_;  // guarded by mutex_
    int64_t stallUntilNs_ = 0;               // guarded by mutex_; chain clock
    std::mt19937_64 rng_;                    // guarded by mutex_
    uint64_t framesSeen_ = 0;                // guarded by mutex_
    uint64_t framesLost_ = 0;                // guarded by mutex_
    uint64_t datagramsToNobody_ = 0;         // guarded by mutex_
    std::vector<std::string> lineRefusals_;  // guarded by mutex_
};

}  // namespace sim
