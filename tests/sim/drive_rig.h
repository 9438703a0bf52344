// A simulated chain in OP driven through its process image as a master drives it, on a manual
// clock: one command record per drive, one LRW per 2 ms cycle.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "model/processdata.h"
#include "model/scaling.h"
#include "sim/chain.h"
#include "sim_master.h"

namespace simtest {

class DriveRig {
public:
    static constexpr int64_t kCycleNs = 2'000'000;

    // n drives; `tweak` adjusts each drive's configuration before the chain is built.
    explicit DriveRig(int n, const std::function<void(sim::SlaveConfig&)>& tweak = {})
        : drives_(n), commands_(static_cast<size_t>(n) + 1) {
        auto cfg = sim::ChainConfig::drives(n);
        cfg.clock = clock_;
        if (tweak)
            for (auto& s : cfg.slaves)
                tweak(s);
        chain_ = std::make_unique<sim::Chain>(cfg);
        image_.assign(static_cast<size_t>(n) * (kDriveOutputBytes + kDriveInputBytes), 0);
        bringUp(*chain_, n, ec::kAlStateOp);
        cycle();
    }

    sim::Chain& chain() { return *chain_; }
    sim::ManualClock& clock() { return *clock_; }
    // The command record of drive k (1-based); the next cycle sends it.
    App_SetValue& cmd(int k) { return commands_[static_cast<size_t>(k)]; }

    // One 2 ms cycle: time passes, then the outputs go out and the inputs come back.
    void cycle() {
        for (int k = 1; k <= drives_; ++k)
            encodeOutputImage(cmd(k), &image_[static_cast<size_t>(kDriveOutputBytes * (k - 1))]);
        clock_->advance(kCycleNs);
        last_ = lrw(*chain_, image_);
        ASSERT_FALSE(last_.lost);
        ASSERT_EQ(last_.wkc, 3 * drives_);
    }
    // Cycles for `seconds`, calling `each` with drive k's record after every cycle.
    void run(double seconds, int k = 1,
             const std::function<void(const TCiA402_GetValue&)>& each = {}) {
        const auto n = static_cast<int>(seconds * 1e9 / kCycleNs + 0.5);
        for (int i = 0; i < n; ++i) {
            cycle();
            if (each)
                each(in(k));
        }
    }
    // The record drive k sent in the last cycle.
    TCiA402_GetValue in(int k) const {
        return decodeInputImage(&last_.image[static_cast<size_t>(kDriveOutputBytes * drives_ +
                                                                 kDriveInputBytes * (k - 1))]);
    }
    std::vector<uint8_t> inputBytes() const {
        return {last_.image.begin() + kDriveOutputBytes * drives_, last_.image.end()};
    }
    // Control word cw, then one more cycle so that the answer is in the record.
    uint16_t send(int k, uint16_t cw) {
        cmd(k).controlWord = cw;
        cycle();
        cycle();
        return in(k).statusWord;
    }
    // Shutdown, switch on, enable operation: Operation enabled.
    void enable(int k) {
        for (uint16_t cw : {0x06, 0x07, 0x0F})
            send(k, cw);
        ASSERT_EQ(in(k).statusWord, 0x0237);
    }

private:
    std::shared_ptr<sim::ManualClock> clock_ = std::make_shared<sim::ManualClock>();
    int drives_;
    std::unique_ptr<sim::Chain> chain_;
    std::vector<App_SetValue> commands_;
    std::vector<uint8_t> image_;
    Exchange last_;
};

// Engineering units of a record, as the console reads them.
inline double turns(const TCiA402_GetValue& v) {
    return rawToPosition(v.position);
}
inline double turnsPerSecond(const TCiA402_GetValue& v) {
    return rawToVelocity(v.velocity);
}
inline double newtonMetres(const TCiA402_GetValue& v) {
    return rawToTorque(v.torque);
}

}  // namespace simtest
