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
    Drive,       // CiA 402 servo drive: mailbox, process data (18 out / 32 in), DC
    Coupler,     // bus coupler: no process data, no mailbox, no DC
    IoTerminal,  // digital I/O terminal: process data (2 out / 2 in), no mailbox, no DC
};

struct SlaveIdentity {
    uint32_t vendorId = 0x00000B7A;
    uint32_t productCode = 0x514A3330;  // "QJ30"
    uint32_t revision = 0x00010000;
    uint32_t serial = 0;
};

// First-order thermal node: settles at ambient + idleRise + risePerAmpSquared·I² with the given
// time constant (I: motor current).
struct ThermalNode {
    double idleRise = 0.0;           // K above ambient with no current
    double risePerAmpSquared = 0.0;  // K per A²
    double timeConstantS = 30.0;
};

// The joint a drive moves and its electrics. Defaults: a mid-size robot joint servo (harmonic
// gear, 48 V bus), seen at the output shaft.
struct JointConfig {
    double inertia = 0.02;                // kg·m², load included
    double viscousFriction = 0.1;         // N·m per turn/s
    double coulombFriction = 0.2;         // N·m while turning
    double staticFriction = 0.3;          // N·m to break away from rest
    double torqueLimit = 30.0;            // N·m
    double maxVelocity = 5.0;             // turn/s
    double torqueConstant = 0.85;         // N·m/A
    double rampAcceleration = 10.0;       // turn/s², speed ramp
    double profileVelocity = 2.0;         // turn/s, profile position cruise
    double profileAcceleration = 10.0;    // turn/s², profile position
    double quickStopDeceleration = 50.0;  // turn/s², quick stop, fault reaction, unknown mode
    double torqueSlope = 20.0;            // N·m/s, torque ramp
    double calibrationTorqueLagS = 0.01;  // torque calibration: the fixture's response
    // Force-position hybrid gains per count of the Kp/Kd fields (the master sends Kp × 0.25 and
    // Kd × 0.1, so these give back N·m/turn and N·m/(turn/s)).
    double kpPerCount = 4.0;
    double kdPerCount = 10.0;
    // Identification chirp: frequency sweeps linearly over the run.
    double identificationStartHz = 0.5;
    double identificationEndHz = 5.0;

    double busNominal = 48.0;     // V
    double busResistance = 0.05;  // Ω: sag per ampere of motor current
    double busNoise = 0.2;        // V, standard deviation of the ripple
    double ambient = 25.0;        // °C
    ThermalNode motor{0.0, 0.1, 60.0};
    ThermalNode mos{10.0, 0.06, 20.0};
    ThermalNode mcu{13.0, 0.01, 40.0};
    // Integration step of the mechanics.
    double stepS = 0.00025;
};

struct SlaveConfig {
    SlaveKind kind = SlaveKind::Drive;
    SlaveIdentity identity;
    std::string name = "QJ30";
    uint16_t alias = 0;          // SII word 4, loaded into 0x0012 at power-on
    bool siiReads8Bytes = true;  // 0x0502 bit 6
    // SM watchdog time after power-on (0x0420), in ticks of the watchdog divider: 1000 ticks of
    // 100 µs, 100 ms, as the ESC ships. 0 turns the watchdog off.
    uint16_t smWatchdogTicks = 1000;

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
    // The bootloader's flash: a file growing past it is refused with FoE error 0x8003 (disk
    // full); 0 for no limit.
    size_t foeCapacityBytes = 0;
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

    // The joint behind the drive (CiA 402 drives only).
    JointConfig joint;
    // Seed of the measurement noise (bus voltage ripple); mixed with the serial number so that
    // the drives of one chain differ.
    uint64_t noiseSeed = 1;
    // Calibration (16 written to parameter 17): the parameter reads 1 this long after the start,
    // or never when calibrationNeverEnds (a drive whose calibration hangs).
    int64_t calibrationDurationNs = 3'000'000'000;
    bool calibrationNeverEnds = false;
    // Identification (mode 11 with a torque command): how long the excitation runs before the
    // drive leaves Operation enabled by itself.
    int64_t identificationDurationNs = 50'000'000'000;
    // Over-temperature faults at the limits of parameters 14-16.
    bool thermalProtection = true;

    static SlaveConfig drive(uint32_t serial);
    static SlaveConfig coupler();
    static SlaveConfig ioTerminal();
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
