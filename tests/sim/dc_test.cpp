// Distributed clocks: receive-time latches along the line, system time and offset, drift, the
// written system time, and SYNC0 activation.
#include <gtest/gtest.h>

#include "sim_master.h"

using namespace simtest;

namespace {

struct DcTest : ::testing::Test {
    std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>(5'000'000'000);
    std::unique_ptr<sim::Chain> chain;
    int count = 4;
    int64_t hop = 300;

    void make(double driftPpmOfLast = 0.0) {
        auto cfg = sim::ChainConfig::drives(count);
        cfg.clock = clock;
        for (int i = 0; i < count; ++i) {
            cfg.slaves[i].hopDelayNs = hop;
            cfg.slaves[i].localStartNs = 1'000'000LL * (i + 1) * 7;  // clocks started apart
        }
        cfg.slaves[count - 1].driftPpm = driftPpmOfLast;
        chain = std::make_unique<sim::Chain>(cfg);
        assignStations(*chain, count);
    }
};

TEST_F(DcTest, LatchedReceiveTimesGiveTheLineDelays) {
    make();
    EXPECT_EQ(bwr(*chain, ec::kRegDcRecvTimePort0, zeros(4)).wkc, count);
    std::vector<int64_t> spread(count), delay(count);
    for (int n = 1; n <= count; ++n) {
        const Reply r = fprd(*chain, station(n), ec::kRegDcRecvTimePort0, 8);
        const auto t0 = static_cast<uint32_t>(r.u32(0));
        const auto t1 = static_cast<uint32_t>(r.u32(4));
        spread[n - 1] = static_cast<int32_t>(t1 - t0);
        EXPECT_EQ(spread[n - 1], 2 * hop * (count - n)) << n;
        const uint64_t unit = fprd(*chain, station(n), ec::kRegDcRecvTimeUnit, 8).u64();
        EXPECT_EQ(static_cast<uint32_t>(unit), t0);
    }
    // The master's computation: delay(k) = delay(k-1) + (spread(k-1) - spread(k)) / 2.
    delay[0] = 0;
    for (int k = 1; k < count; ++k) {
        delay[k] = delay[k - 1] + (spread[k - 1] - spread[k]) / 2;
        EXPECT_EQ(delay[k], hop * k);
    }
}

TEST_F(DcTest, OffsetSetsSystemTimeToTheMastersClock) {
    make();
    bwr(*chain, ec::kRegDcRecvTimePort0, zeros(4));
    const uint64_t master = 800'000'000'000'000'000ULL;
    for (int n = 1; n <= count; ++n) {
        const uint64_t recv = fprd(*chain, station(n), ec::kRegDcRecvTimeUnit, 8).u64();
        fpwr(*chain, station(n), ec::kRegDcSystemOffset, le64(master - recv));
        fpwr(*chain, station(n), ec::kRegDcSystemDelay, le32(static_cast<uint32_t>(hop * (n - 1))));
    }
    clock->advance(1'000'000);
    // Read in one frame: every slave reports the time at which the frame passed the reference.
    Frame f;
    std::vector<size_t> idx;
    for (int n = 1; n <= count; ++n)
        idx.push_back(f.add(Command::FPRD, station(n), ec::kRegDcSystemTime, zeros(8)));
    ASSERT_TRUE(f.run(*chain));
    const uint64_t ref = f.u64(idx[0]);
    EXPECT_EQ(ref - master, 1'000'000u);
    // Until drift compensation has pulled them forward, the later clocks trail the reference by
    // their line delay.
    for (int n = 2; n <= count; ++n)
        EXPECT_EQ(static_cast<int64_t>(ref - f.u64(idx[n - 1])), hop * (n - 1)) << n;
}

TEST_F(DcTest, OffsetWritesActAtOnce) {
    make();
    const uint64_t a = fprd(*chain, station(1), ec::kRegDcSystemTime, 8).u64();
    fpwr(*chain, station(1), ec::kRegDcSystemOffset, le64(1'000'000'000));
    const uint64_t b = fprd(*chain, station(1), ec::kRegDcSystemTime, 8).u64();
    EXPECT_EQ(b - a, 1'000'000'000u);
}

TEST_F(DcTest, LocalClockDriftsAtItsRate) {
    make(100.0);  // last slave runs 100 ppm fast
    const uint64_t ref0 = fprd(*chain, station(1), ec::kRegDcSystemTime, 8).u64();
    const uint64_t fast0 = fprd(*chain, station(count), ec::kRegDcSystemTime, 8).u64();
    clock->advance(1'000'000'000);
    const uint64_t ref1 = fprd(*chain, station(1), ec::kRegDcSystemTime, 8).u64();
    const uint64_t fast1 = fprd(*chain, station(count), ec::kRegDcSystemTime, 8).u64();
    EXPECT_EQ(ref1 - ref0, 1'000'000'000u);
    EXPECT_EQ(fast1 - fast0, 1'000'100'000u);
}

TEST_F(DcTest, WrittenSystemTimeIsNotStoredButSteers) {
    make(100.0);
    auto distribute = [&] {
        single(*chain, Command::FRMW, station(1), ec::kRegDcSystemTime, zeros(8));
    };
    // Align once, then let the last clock run away and steer it back by drift compensation.
    bwr(*chain, ec::kRegDcRecvTimePort0, zeros(4));
    for (int n = 1; n <= count; ++n) {
        const uint64_t recv = fprd(*chain, station(n), ec::kRegDcRecvTimeUnit, 8).u64();
        fpwr(*chain, station(n), ec::kRegDcSystemOffset, le64(1'000'000'000'000ULL - recv));
        fpwr(*chain, station(n), ec::kRegDcSystemDelay, le32(static_cast<uint32_t>(hop * (n - 1))));
    }
    auto deviation = [&] {
        Frame f;
        const size_t a = f.add(Command::FPRD, station(1), ec::kRegDcSystemTime, zeros(8));
        const size_t b = f.add(Command::FPRD, station(count), ec::kRegDcSystemTime, zeros(8));
        f.run(*chain);
        return static_cast<int64_t>(f.u64(b) - f.u64(a));
    };
    for (int i = 0; i < 200; ++i) {
        clock->advance(2'000'000);
    }
    const int64_t free = deviation();
    EXPECT_GT(free, 30'000);
    for (int i = 0; i < 2000; ++i) {
        clock->advance(2'000'000);
        distribute();
    }
    EXPECT_LT(std::abs(deviation()), 2'000) << "steered close to the reference";

    const uint64_t before = fprd(*chain, station(2), ec::kRegDcSystemTime, 8).u64();
    fpwr(*chain, station(2), ec::kRegDcSystemTime, le64(before + 5'000'000'000ULL));
    const uint64_t after = fprd(*chain, station(2), ec::kRegDcSystemTime, 8).u64();
    EXPECT_LT(after - before, 1'000'000u) << "the written value itself is not stored";
    EXPECT_TRUE(fprd(*chain, station(2), ec::kRegDcSystemDiff, 4).u32() & 0x80000000u)
        << "local copy smaller than received";
}

TEST_F(DcTest, Sync0ActivationAsAMasterDoesIt) {
    make();
    const uint16_t st = station(2);
    const uint32_t cycle = 2'000'000;
    fpwr(*chain, st, ec::kRegDcActivation, {0});
    fpwr(*chain, st, ec::kRegDcCyclicControl, {0});
    const uint64_t t = fprd(*chain, st, ec::kRegDcSystemTime, 8).u64();
    const uint64_t start = ((t + 100'000'000) / cycle) * cycle + cycle;
    fpwr(*chain, st, ec::kRegDcStartTime, le64(start));
    fpwr(*chain, st, ec::kRegDcSync0Cycle, le32(cycle));
    fpwr(*chain, st, ec::kRegDcActivation, {0x03});
    EXPECT_EQ(fprd(*chain, st, ec::kRegDcActivationStatus, 1).data[0] & 0x01, 1)
        << "first SYNC0 pending";
    EXPECT_EQ(fprd(*chain, st, ec::kRegDcStartTime, 8).u64(), start);

    clock->advance(static_cast<int64_t>(start - t) + 5'000'000);
    EXPECT_EQ(fprd(*chain, st, ec::kRegDcActivationStatus, 1).data[0] & 0x01, 0);
    const uint64_t next = fprd(*chain, st, ec::kRegDcStartTime, 8).u64();
    EXPECT_EQ((next - start) % cycle, 0u);
    EXPECT_GT(next, start);
    uint64_t pulses = 0;
    chain->withSlave(2, [&](sim::Esc& esc, sim::SlaveApplication*) {
        pulses = esc.sync0Pulses(esc.hostNowNs());
    });
    EXPECT_EQ(pulses, (next - start) / cycle);

    fpwr(*chain, st, ec::kRegDcActivation, {0});
    chain->withSlave(2, [&](sim::Esc& esc, sim::SlaveApplication*) {
        pulses = esc.sync0Pulses(esc.hostNowNs());
    });
    EXPECT_EQ(pulses, 0u);
}

TEST_F(DcTest, Sync0StartInThePastIsOutOfRange) {
    make();
    const uint16_t st = station(1);
    const uint64_t t = fprd(*chain, st, ec::kRegDcSystemTime, 8).u64();
    fpwr(*chain, st, ec::kRegDcStartTime, le64(t - 1'000'000));
    fpwr(*chain, st, ec::kRegDcSync0Cycle, le32(1'000'000));
    fpwr(*chain, st, ec::kRegDcActivation, {0x03});
    EXPECT_EQ(fprd(*chain, st, ec::kRegDcActivationStatus, 1).data[0], 0x04);
}

}  // namespace
