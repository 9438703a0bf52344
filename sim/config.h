// Configuration of a simulated chain: which slaves, in which order, with which quirks.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "sim/clock.h"

namespace sim {

enum class SlaveKind {
    Drive,    // CiA 402 servo drive: mailbox, process data (18 out / 32 in), DC
    Coupler,  // bus coupler: no process data, no mailbox, no DC
};

struct SlaveIdentity {
    uint32_t vendorId = 0x00000B7A;
    uint32_t productCode = 0x514A3330;  // "QJ30"
    uint32_t revision = 0x00010000;
    uint32_t serial = 0;
};

struct SlaveConfig {
    SlaveKind kind = SlaveKind::Drive;
    SlaveIdentity identity;
    std::string name = "QJ30";
    uint16_t alias = 0;          // SII word 4, loaded into 0x0012 at power-on
    bool siiReads8Bytes = true;  // 0x0502 bit 6

    // Local clock: runs at (1 + driftPpm * 1e-6) times host speed from localStartNs at power-up.
    double driftPpm = 0.0;
    int64_t localStartNs = 0;
    // Wire and forwarding delay between the previous device (master or slave) and this slave.
    int64_t hopDelayNs = 120;

    // Behaviours: AL control requests take effect only after this delay (exercises polling).
    int64_t alTransitionDelayNs = 0;
    // Requested state -> AL status code with which that transition is refused.
    std::map<uint8_t, uint16_t> refusedStates;

    // Standard mailbox windows announced in the SII (SM1 follows SM0 at 0x1000; together at most
    // 256 bytes, below the process data).
    uint16_t mailboxOutSize = 0x80;
    uint16_t mailboxInSize = 0x80;

    // Bootloader: BOOT is refused with 0x0013 when not supported, and reached only this much
    // later than other states when it is.
    bool bootSupported = true;
    int64_t bootDelayNs = 0;
    uint32_t foePassword = 0;
    // FoE DATA packet numbers answered once with BUSY.
    std::vector<uint32_t> foeBusyPackets;
    // How long "saving in progress" (parameter 19) reads 1 after save settings.
    int64_t saveDurationNs = 50'000'000;

    // Drive firmware quirks. Powers up in Fault with these bits in the drive error word (0: powers
    // up healthy); a fault reset clears it like any fault.
    uint32_t powerUpFaultWord = 0;
    // Control words the drive does not act on: it stays in its state, as a drive does that
    // refuses a step (e.g. 0x000F: never enables).
    std::vector<uint16_t> ignoredControlWords;
    // Reports mode 0 whatever mode it is given, as a drive that ignores the mode field.
    bool ignoresMode = false;

    static SlaveConfig drive(uint32_t serial);
    static SlaveConfig coupler();
};

// Where an injected frame loss strikes: before the first slave (nothing happened) or on the way
// back (the slaves acted on the frame, but the master never hears of it).
enum class LossPoint { Outbound, Return };

struct ChainConfig {
    std::vector<SlaveConfig> slaves;
    double frameLoss = 0.0;  // fraction of frames lost, 0..1
    LossPoint lossPoint = LossPoint::Outbound;
    uint64_t seed = 1;
    std::shared_ptr<Clock> clock;  // null: the host's steady clock

    // n drives with serial numbers 1..n.
    static ChainConfig drives(int n);
};

}  // namespace sim
