// The 2 ms process-data cycle: the command records written into the output images, one exchange
// of the process image per grid point of the periodic timer, the drives' clocks pulled onto the
// master's, and the cycle's figures.
#pragma once

#include <QCoreApplication>

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>

#include "clockalignment.h"
#include "masterstate.h"
#include "types.h"

// Timing of one cycle as measured for benchmarks (CLOCK_MONOTONIC nanoseconds): the grid point
// the timer aimed at, the cycle's start, the send of the process data and the end of the clock
// alignment. Called on the timer thread; must not block.
using CycleProbe = void (*)(int64_t deadlineNs, int64_t startNs, int64_t sendNs, int64_t alignedNs);

class CycleExchange {
    // Its log lines are operator texts, translated in context "CycleExchange".
    Q_DECLARE_TR_FUNCTIONS(CycleExchange)

public:
    explicit CycleExchange(MasterState& state) : s_(state) {}
    CycleExchange(const CycleExchange&) = delete;
    CycleExchange& operator=(const CycleExchange&) = delete;

    // The periodic timer's callback; `user` is the CycleExchange.
    static void timerCallback(uint32_t id, uint32_t msg, uintptr_t user, uintptr_t dw1,
                              uintptr_t dw2);
    // Benchmarks only; null (the default) costs the cycle one atomic load.
    static void setCycleProbe(CycleProbe probe);

    void runCycle();
    // Bring-up, with SYNC0 running: every valid drive's DC system time offset as it stands, the
    // start the alignment works from.
    void readClockOffsets();

    // --- command records -----------------------------------------------------------------------
    // Converts one member of the slave's command record into its output image. Caller holds
    // pdMutex.
    void applyCommandField(int slave, int code);
    void resetCommandRecord(int slave);
    void setCommandWord(int code, uint16_t value, int index);
    void setCommandValue(int code, float value, int index);
    void setCommandWordAll(int code, uint16_t value);
    void setCommandValueAll(int code, float value);
    void selectDrive(int index);
    App_SetValue commandRecord(int slave) const;
    // The last input image of a drive as the cycle received it; nothing for an unknown index.
    std::optional<TCiA402_GetValue> driveInputs(int index) const;
    // The output image of `slave` as the next cycle sends it; nothing without a drive image.
    std::optional<DriveOutputImage> driveOutputs(int slave) const;

    // --- figures -------------------------------------------------------------------------------
    uint64_t cycles() const { return cycleCount_.load(std::memory_order_relaxed); }
    uint64_t skippedCycles() const { return skippedCycleCount_.load(std::memory_order_relaxed); }
    uint64_t wkcMisses() const { return wkcMissCount_.load(std::memory_order_relaxed); }
    // Bring-up, before the timer starts.
    void resetFigures();

private:
    // The cycle's figures: one more cycle, grid points passed over since the last, a short
    // working counter; and the cycle's number for the scope (`timeNs` the master's time).
    void countCycle(int receivedWkc, int64_t timeNs);
    // The scope's sample of this cycle. Caller holds pdMutex and inputMutex.
    void sampleScope(int receivedWkc, int64_t timeNs);
    // Reports every drive whose fault bit or error words differ from the last cycle's, and posts
    // a scope event for every drive whose CiA 402 state changed. Caller holds inputMutex.
    void watchFaults(int64_t timeNs);
    // Per-slave step of the command setters; `word` for codes 0 and 6, `value` for 1 to 5.
    void storeCommand(int slave, int code, bool isWord, uint16_t word, float value);

    MasterState& s_;
    ClockAlignment clock_;  // bring-up, then the cycle thread only
    // Atomic (relaxed), reset by bring-up.
    std::atomic<uint64_t> cycleCount_{0};
    std::atomic<uint64_t> skippedCycleCount_{0};
    std::atomic<uint64_t> wkcMissCount_{0};
    int64_t lastCycleDeadlineNs_ = 0;  // the cycle thread only (reset by bring-up)
    // The scope's cycle number: one per grid point over the master's life, so cycles that did
    // not run (grid points passed over, the bus down) leave gaps. The cycle thread only.
    uint64_t cycleNumber_ = 0;
    // Per slave number, the CiA 402 state (Cia402State) of the last cycle; kNoState after
    // bring-up, when the first state seen is no change. The cycle thread only.
    static constexpr uint8_t kNoState = 0xFF;
    std::array<uint8_t, kSlaveTableSize> lastStates_{};
    // What each slave's fault bit and error words were in the last cycle; the cycle thread only
    // (reset by bring-up, so a drive that is faulted already is reported at the first cycle).
    struct FaultMark {
        bool faulted = false;
        uint32_t errorWord = 0;
        uint32_t drvErrorWord = 0;
        bool operator==(const FaultMark&) const = default;
    };
    std::array<FaultMark, kSlaveTableSize> faultMarks_{};
};
