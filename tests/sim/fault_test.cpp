// Fault injection: lost frames, pulled cables, removed slaves, and mixed chains.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "sim_master.h"

using namespace simtest;

namespace {

std::vector<bool> lossPattern(sim::Chain& chain, int frames) {
    std::vector<bool> lost;
    for (int i = 0; i < frames; ++i)
        lost.push_back(brd(chain, ec::kRegType, 1).lost);
    return lost;
}

TEST(FrameLoss, SeededLossIsReproducible) {
    sim::Chain a(sim::ChainConfig::drives(2));
    sim::Chain b(sim::ChainConfig::drives(2));
    a.setFrameLoss(0.2, 7);
    b.setFrameLoss(0.2, 7);
    const auto pa = lossPattern(a, 1000);
    EXPECT_EQ(pa, lossPattern(b, 1000));
    const auto lost = std::count(pa.begin(), pa.end(), true);
    EXPECT_GT(lost, 100);
    EXPECT_LT(lost, 300);
    EXPECT_EQ(a.framesLost(), static_cast<uint64_t>(lost));

    b.setFrameLoss(0.2, 8);
    EXPECT_NE(lossPattern(b, 1000), lossPattern(a, 1000)) << "another seed, another pattern";

    a.setFrameLoss(0.0, 1);
    const auto none = lossPattern(a, 100);
    EXPECT_EQ(std::count(none.begin(), none.end(), true), 0);
    a.setFrameLoss(1.0, 1);
    const auto all = lossPattern(a, 100);
    EXPECT_EQ(std::count(all.begin(), all.end(), true), 100);
}

TEST(FrameLoss, LossOnTheWayBackHappensAfterTheSlavesActed) {
    sim::Chain chain(sim::ChainConfig::drives(2));
    chain.setFrameLoss(1.0, 1, sim::LossPoint::Return);
    EXPECT_TRUE(bwr(chain, ec::kRegStationAddress, le16(0x0BAD)).lost);
    chain.setFrameLoss(0.0, 1);
    EXPECT_EQ(chain.readRegisters(2, ec::kRegStationAddress, 2), le16(0x0BAD));

    chain.setFrameLoss(1.0, 1, sim::LossPoint::Outbound);
    EXPECT_TRUE(bwr(chain, ec::kRegStationAddress, le16(0x0123)).lost);
    EXPECT_EQ(chain.readRegisters(2, ec::kRegStationAddress, 2), le16(0x0BAD));
}

TEST(Topology, PullingACableCutsTheRestOfTheLine) {
    sim::Chain chain(sim::ChainConfig::drives(3));
    bringUp(chain, 3, ec::kAlStateOp);
    chain.pullDrive(2);
    EXPECT_EQ(chain.reachable(), 1u);
    EXPECT_EQ(brd(chain, ec::kRegType, 1).wkc, 1);
    EXPECT_EQ(fprd(chain, station(1), ec::kRegDlStatus, 2).u16(), 0x5613) << "now the last";
    EXPECT_EQ(fprd(chain, station(2), ec::kRegAlStatus, 2).wkc, 0);

    chain.plugDrive(2);
    EXPECT_EQ(brd(chain, ec::kRegType, 1).wkc, 3);
    EXPECT_EQ(fprd(chain, station(1), ec::kRegDlStatus, 2).u16(), 0x5A33);
    EXPECT_EQ(alStatus(chain, station(1)), ec::kAlStateOp) << "slave 1 never lost power";
    // The slaves behind the cable come back as after a power cycle.
    for (int n = 2; n <= 3; ++n) {
        const Reply r = single(chain, Command::APRD, static_cast<uint16_t>(1 - n),
                               ec::kRegStationAddress, zeros(2));
        EXPECT_EQ(r.u16(), 0) << n;
        EXPECT_EQ(chain.alState(n), ec::kAlStateInit);
    }
    // A master's recovery: readdress, reconfigure, back to OP.
    assignStations(chain, 3);
    for (int n = 2; n <= 3; ++n) {
        writeMailboxSms(chain, station(n));
        requestState(chain, station(n), ec::kAlStatePreOp);
        writeProcessDataConfig(chain, n, 3);
        requestState(chain, station(n), ec::kAlStateSafeOp);
        requestState(chain, station(n), ec::kAlStateOp);
    }
    EXPECT_EQ(lrw(chain, zeros(150)).wkc, 9);
}

TEST(Topology, NobodyAnswersWhenTheFirstCableIsPulled) {
    sim::Chain chain(sim::ChainConfig::drives(2));
    chain.pullDrive(1);
    EXPECT_EQ(chain.reachable(), 0u);
    EXPECT_TRUE(brd(chain, ec::kRegType, 1).lost);
    chain.plugDrive(1);
    EXPECT_EQ(brd(chain, ec::kRegType, 1).wkc, 2);
}

TEST(Topology, RemovingOneSlaveJoinsItsNeighbours) {
    sim::Chain chain(sim::ChainConfig::drives(3));
    assignStations(chain, 3);
    chain.removeSlave(2);
    EXPECT_EQ(brd(chain, ec::kRegType, 1).wkc, 2);
    const Reply second = single(chain, Command::APRD, 0xFFFF, ec::kRegStationAddress, zeros(2));
    EXPECT_EQ(second.u16(), station(3)) << "slave 3 moved up to position 2";
    chain.restoreSlave(2);
    EXPECT_EQ(brd(chain, ec::kRegType, 1).wkc, 3);
    EXPECT_EQ(chain.readRegisters(2, ec::kRegStationAddress, 2), le16(0));
}

TEST(Topology, OutOfRangePositionsAreIgnored) {
    sim::Chain chain(sim::ChainConfig::drives(2));
    for (int p : {0, -1, 3, 100}) {
        chain.pullDrive(p);
        chain.removeSlave(p);
        chain.forceSafeOpError(p, 0x1B);
        chain.refuseState(p, 2, 0x11);
        EXPECT_EQ(chain.alState(p), 0);
    }
    EXPECT_EQ(brd(chain, ec::kRegType, 1).wkc, 2);
}

TEST(MixedChain, CouplerFirstThenDrives) {
    sim::ChainConfig cfg;
    cfg.slaves.push_back(sim::SlaveConfig::coupler());
    for (uint32_t s = 1; s <= 2; ++s)
        cfg.slaves.push_back(sim::SlaveConfig::drive(s));
    sim::Chain chain(cfg);
    EXPECT_EQ(brd(chain, ec::kRegType, 1).wkc, 3);
    assignStations(chain, 3);
    const uint16_t coupler = station(1);
    requestState(chain, coupler, ec::kAlStatePreOp);
    for (int n = 2; n <= 3; ++n) {
        writeMailboxSms(chain, station(n));
        requestState(chain, station(n), ec::kAlStatePreOp);
    }
    // Drives at positions 2 and 3 take logical images 0 and 1.
    for (int n = 2; n <= 3; ++n) {
        const uint16_t st = station(n);
        const int i = n - 2;
        fpwr(chain, st, ec::kRegSm0 + 16, smBytes(0x1100, 18, 0x00010064));
        fpwr(chain, st, ec::kRegSm0 + 24, smBytes(0x1400, 32, 0x00010020));
        fpwr(chain, st, ec::kRegFmmu0, fmmuBytes(18u * i, 18, 0x1100, ec::kFmmuTypeWrite));
        fpwr(chain, st, ec::kRegFmmu0 + 16,
             fmmuBytes(36u + 32u * i, 32, 0x1400, ec::kFmmuTypeRead));
    }
    EXPECT_EQ(bwr(chain, ec::kRegAlControl, le16(ec::kAlStateSafeOp)).wkc, 3);
    EXPECT_EQ(bwr(chain, ec::kRegAlControl, le16(ec::kAlStateOp)).wkc, 3);
    EXPECT_EQ(brd(chain, ec::kRegAlStatus, 2).u16(), ec::kAlStateOp);
    const Exchange x = lrw(chain, zeros(100));
    EXPECT_EQ(x.wkc, 6);
    EXPECT_EQ(sim::rd16(&x.image[36]), 0x0250);
    EXPECT_EQ(sim::rd16(&x.image[68]), 0x0250);
    EXPECT_EQ(chain.drive(1), nullptr);
}

TEST(Concurrency, FramesAndFaultsFromSeveralThreads) {
    auto chain = std::make_shared<sim::Chain>(sim::ChainConfig::drives(3));
    bringUp(*chain, 3, ec::kAlStateOp);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([chain] {
            for (int i = 0; i < 300; ++i) {
                lrw(*chain, zeros(150));
                brd(*chain, ec::kRegAlStatus, 2);
            }
        });
    }
    threads.emplace_back([chain] {
        for (int i = 0; i < 50; ++i) {
            chain->pullDrive(3);
            chain->plugDrive(3);
            chain->forceSafeOpError(2, 0x1B);
            chain->setFrameLoss(0.1, static_cast<uint64_t>(i));
        }
    });
    for (auto& th : threads)
        th.join();
    chain->setFrameLoss(0.0, 1);
    EXPECT_EQ(brd(*chain, ec::kRegType, 1).wkc, 3);
}

}  // namespace
