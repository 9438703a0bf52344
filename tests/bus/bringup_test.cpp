// Bring-up against the simulated chain: scan, SII identity, process-image mapping, the AL state
// walk with refused transitions, and distributed clocks.
#include <gtest/gtest.h>

#include "sim_bus.h"
#include "wire.h"

using bustest::SimBus;

namespace {

constexpr int kDrives = 3;

std::vector<uint8_t> reg(SimBus& bus, int position, uint16_t address, size_t len) {
    return bus.chain->readRegisters(position, address, len);
}

}  // namespace

TEST(BusScan, FindsAddressesAndIdentifiesEveryDrive) {
    SimBus bus(sim::ChainConfig::drives(kDrives));
    ASSERT_EQ(bus.scan(), kDrives);
    EXPECT_EQ(bus.master.slavecount(), kDrives);
    for (int n = 1; n <= kDrives; ++n) {
        SCOPED_TRACE(n);
        const ec_slavet& s = bus.slave(n);
        EXPECT_EQ(s.configadr, 0x1000 + n);
        EXPECT_EQ(reg(bus, n, 0x0010, 2), (std::vector<uint8_t>{uint8_t(n), 0x10}));
        EXPECT_EQ(s.eep_man, 0x00000B7Au);
        EXPECT_EQ(s.eep_id, 0x514A3330u);
        EXPECT_EQ(s.eep_rev, 0x00010000u);
        EXPECT_STREQ(s.name, "QJ30");
        EXPECT_GT(s.mbx_l, 0);
        EXPECT_GT(s.mbx_rl, 0);
        EXPECT_TRUE(s.mbx_proto & ec::kMbxProtoCoE);
        EXPECT_TRUE(s.hasdc);
        EXPECT_EQ(s.parent, n - 1);
        EXPECT_EQ(s.topology, n == kDrives ? 1 : 2) << "a line: the last slave closes it";
        // The mailbox SyncManagers as written to the slave.
        const auto sm = reg(bus, n, 0x0800, 16);
        EXPECT_EQ(ec::getU16(&sm[0]), s.mbx_wo);
        EXPECT_EQ(ec::getU16(&sm[2]), s.mbx_l);
        EXPECT_EQ(sm[4], 0x26);
        EXPECT_EQ(ec::getU16(&sm[8]), s.mbx_ro);
        EXPECT_EQ(sm[12], 0x22);
    }
    EXPECT_EQ(ecx_statecheck(bus.ctx(), 0, EC_STATE_PRE_OP, bustest::kStateTimeoutUs),
              EC_STATE_PRE_OP);
    EXPECT_EQ(ecx_readeeprom(bus.ctx(), 2, ec::kSiiProductCode, EC_TIMEOUTEEP), 0x514A3330u);
}

TEST(BusScan, ReadsTheSiiOfSlavesWithFourByteReads) {
    sim::ChainConfig cfg = sim::ChainConfig::drives(2);
    cfg.slaves[1].siiReads8Bytes = false;
    cfg.slaves[1].name = "QJ30-B";
    SimBus bus(cfg);
    ASSERT_EQ(bus.scan(), 2);
    EXPECT_EQ(bus.slave(1).eep_8byte, 1);
    EXPECT_EQ(bus.slave(2).eep_8byte, 0);
    EXPECT_STREQ(bus.slave(2).name, "QJ30-B");
    EXPECT_EQ(bus.slave(2).eep_id, 0x514A3330u);
    EXPECT_EQ(bus.slave(2).SM[3].StartAddr, bus.slave(1).SM[3].StartAddr);
    EXPECT_EQ(bus.map(), 100);
}

TEST(BusScan, EmptyBusAndOversizedBusAreRefused) {
    SimBus none(sim::ChainConfig{});
    EXPECT_EQ(none.scan(), 0);
    EXPECT_EQ(none.master.slavecount(), 0);

    SimBus tooMany(sim::ChainConfig::drives(EC_MAXSLAVE + 5));
    EXPECT_EQ(tooMany.scan(), EC_SLAVECOUNTEXCEEDED);
    EXPECT_EQ(tooMany.master.slavecount(), 0);
}

TEST(BusMapping, LaysOutDrivesAndProgramsTheirFmmus) {
    SimBus bus(sim::ChainConfig::drives(kDrives));
    ASSERT_EQ(bus.scan(), kDrives);
    ASSERT_EQ(bus.map(), 50 * kDrives);

    EXPECT_EQ(reg(bus, 1, 0x0600, 16),
              (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x07, 0x00, 0x11,
                                    0x00, 0x02, 0x01, 0x00, 0x00, 0x00}));
    // SM2 as written; the status and PDI control bytes belong to the slave.
    auto sm2 = reg(bus, 1, 0x0810, 8);
    sm2[5] = 0;
    sm2[7] = 0;
    EXPECT_EQ(sm2, (std::vector<uint8_t>{0x00, 0x11, 0x12, 0x00, 0x64, 0x00, 0x01, 0x00}));
    for (int n = 1; n <= kDrives; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(bus.slave(n).Obytes, 18u);
        EXPECT_EQ(bus.slave(n).Ibytes, 32u);
        EXPECT_EQ(bus.slave(n).outputs, bus.iomap.data() + 18 * (n - 1));
        EXPECT_EQ(bus.slave(n).inputs, bus.iomap.data() + 18 * kDrives + 32 * (n - 1));
        const auto fmmu1 = reg(bus, n, 0x0610, 16);
        EXPECT_EQ(ec::getU32(&fmmu1[0]), 18u * kDrives + 32u * (n - 1));
        EXPECT_EQ(fmmu1[11], ec::kFmmuTypeRead);
    }
    EXPECT_EQ(bus.master.group(0).expectedWKC, 3 * kDrives);
    EXPECT_EQ(bus.slave(0).Obytes, 18u * kDrives);
    EXPECT_EQ(ecx_statecheck(bus.ctx(), 0, EC_STATE_SAFE_OP, bustest::kStateTimeoutUs),
              EC_STATE_SAFE_OP)
        << "mapping requests SAFE-OP";
}

TEST(BusMapping, CouplerTakesNoProcessData) {
    sim::ChainConfig cfg;
    cfg.slaves = {sim::SlaveConfig::coupler(), sim::SlaveConfig::drive(1),
                  sim::SlaveConfig::drive(2)};
    SimBus bus(cfg);
    ASSERT_EQ(bus.scan(), 3);
    EXPECT_EQ(bus.slave(1).mbx_l, 0);
    EXPECT_STREQ(bus.slave(1).name, "CP10 Coupler");
    ASSERT_EQ(bus.map(), 100);
    EXPECT_EQ(bus.slave(1).outputs, nullptr);
    EXPECT_EQ(bus.slave(1).inputs, nullptr);
    EXPECT_EQ(bus.slave(2).outputs, bus.iomap.data());
    EXPECT_EQ(bus.master.group(0).expectedWKC, 6);
    ASSERT_TRUE(bus.requestState(EC_STATE_SAFE_OP));
    ASSERT_TRUE(bus.requestState(EC_STATE_OPERATIONAL));
    EXPECT_EQ(bus.exchange(), 6);
}

TEST(BusMapping, ImageLargerThanTheBufferIsRefused) {
    SimBus bus(sim::ChainConfig::drives(21));  // 1050 bytes for a 1024-byte image
    ASSERT_EQ(bus.scan(), 21);
    EXPECT_EQ(bus.map(), 0);
    for (int n = 0; n <= 21; ++n) {
        EXPECT_EQ(bus.slave(n).outputs, nullptr);
    }
    EXPECT_EQ(reg(bus, 21, 0x0600, 16), std::vector<uint8_t>(16, 0)) << "no FMMU written";
    EXPECT_EQ(bus.chain->alState(1), EC_STATE_PRE_OP) << "no SAFE-OP request";
}

TEST(BusState, WalksUpToOperationalAndBack) {
    SimBus bus(sim::ChainConfig::drives(kDrives));
    ASSERT_TRUE(bus.bringUp());
    EXPECT_EQ(ecx_readstate(bus.ctx()), EC_STATE_OPERATIONAL);
    for (int n = 1; n <= kDrives; ++n) {
        EXPECT_EQ(bus.slave(n).state, EC_STATE_OPERATIONAL);
        EXPECT_EQ(bus.chain->alState(n), EC_STATE_OPERATIONAL);
    }
    EXPECT_TRUE(bus.requestState(EC_STATE_SAFE_OP));
    EXPECT_TRUE(bus.requestState(EC_STATE_PRE_OP));
    EXPECT_TRUE(bus.requestState(EC_STATE_INIT));
    EXPECT_EQ(ecx_readstate(bus.ctx()), EC_STATE_INIT);

    // A teardown may ask for the states once more after the link is closed: nobody answers.
    ecx_close(bus.ctx());
    EXPECT_EQ(ecx_readstate(bus.ctx()), EC_STATE_NONE);
    EXPECT_EQ(bus.slave(1).state, EC_STATE_NONE);
}

TEST(BusState, RefusedTransitionReportsTheSlaveAndItsCode) {
    SimBus bus(sim::ChainConfig::drives(kDrives));
    ASSERT_EQ(bus.scan(), kDrives);
    bus.chain->refuseState(2, EC_STATE_SAFE_OP, ec::kAlInvalidOutputConfig);
    ASSERT_GT(bus.map(), 0);
    EXPECT_FALSE(bus.requestState(EC_STATE_SAFE_OP, 50000));
    EXPECT_EQ(ecx_readstate(bus.ctx()), EC_STATE_PRE_OP);
    EXPECT_EQ(bus.slave(1).state, EC_STATE_SAFE_OP);
    EXPECT_EQ(bus.slave(2).state, EC_STATE_PRE_OP | EC_STATE_ERROR);
    EXPECT_EQ(bus.slave(2).ALstatuscode, ec::kAlInvalidOutputConfig);
    EXPECT_STREQ(ec_ALstatuscode2string(bus.slave(2).ALstatuscode), "Invalid output configuration");
    EXPECT_EQ(bus.slave(3).state, EC_STATE_SAFE_OP);

    // Once the slave accepts, a request with acknowledge clears the error.
    bus.chain->acceptState(2, EC_STATE_SAFE_OP);
    bus.slave(2).state = EC_STATE_SAFE_OP | EC_STATE_ACK;
    ecx_writestate(bus.ctx(), 2);
    EXPECT_EQ(ecx_statecheck(bus.ctx(), 2, EC_STATE_SAFE_OP, bustest::kStateTimeoutUs),
              EC_STATE_SAFE_OP);
    EXPECT_TRUE(bus.requestState(EC_STATE_OPERATIONAL));
}

TEST(BusState, SafeOpErrorInOperationIsSeenAndAcknowledged) {
    SimBus bus(sim::ChainConfig::drives(kDrives));
    ASSERT_TRUE(bus.bringUp());
    bus.chain->forceSafeOpError(3, ec::kAlSmWatchdog);
    bus.exchange();
    EXPECT_EQ(ecx_readstate(bus.ctx()), EC_STATE_SAFE_OP);
    EXPECT_EQ(bus.slave(3).state, EC_STATE_SAFE_OP | EC_STATE_ERROR);
    EXPECT_EQ(bus.slave(3).ALstatuscode, ec::kAlSmWatchdog);
    EXPECT_EQ(bus.slave(1).state, EC_STATE_OPERATIONAL);

    bus.slave(3).state = EC_STATE_SAFE_OP | EC_STATE_ACK;
    ecx_writestate(bus.ctx(), 3);
    EXPECT_EQ(ecx_statecheck(bus.ctx(), 3, EC_STATE_SAFE_OP, bustest::kStateTimeoutUs),
              EC_STATE_SAFE_OP);
    bus.slave(3).state = EC_STATE_OPERATIONAL;
    ecx_writestate(bus.ctx(), 3);
    EXPECT_EQ(ecx_statecheck(bus.ctx(), 3, EC_STATE_OPERATIONAL, bustest::kStateTimeoutUs),
              EC_STATE_OPERATIONAL);
    EXPECT_EQ(bus.exchange(), 3 * kDrives);
}

TEST(BusClocks, OffsetsDelaysAndSync0) {
    SimBus bus(sim::ChainConfig::drives(kDrives));
    ASSERT_EQ(bus.scan(), kDrives);
    ASSERT_TRUE(ecx_configdc(bus.ctx()));
    EXPECT_TRUE(bus.slave(0).hasdc);
    EXPECT_EQ(bus.master.group(0).DCnext, 1) << "first DC slave is the reference";
    EXPECT_EQ(bus.slave(1).DCnext, 2);
    EXPECT_EQ(bus.slave(3).DCprevious, 2);
    EXPECT_EQ(bus.slave(1).pdelay, 0);
    // Delays grow hop by hop along the line and land in 0x0928.
    EXPECT_GT(bus.slave(2).pdelay, 0);
    EXPECT_GT(bus.slave(3).pdelay, bus.slave(2).pdelay);
    for (int n = 2; n <= kDrives; ++n) {
        EXPECT_EQ(static_cast<int32_t>(ec::getU32(reg(bus, n, 0x0928, 4).data())),
                  bus.slave(n).pdelay);
    }
    // With the offsets in place every slave's system time is the master's clock, give or take
    // the time the test takes.
    for (int n = 1; n <= kDrives; ++n) {
        uint8_t t[8] = {};
        ASSERT_EQ(ecx_FPRD(bus.ctx(), bus.slave(n).configadr, ec::kRegDcSystemTime, 8, t, 100000),
                  1);
        const int64_t diff = static_cast<int64_t>(ec::getU64(t)) - ec::systemTimeNs();
        EXPECT_LT(std::llabs(diff), 1000000000LL) << "slave " << n;
    }

    uint8_t before[8] = {};
    ecx_FPRD(bus.ctx(), 0x1002, ec::kRegDcSystemTime, 8, before, 100000);
    constexpr uint32_t kCycle = 2000000;
    ecx_dcsync0(bus.ctx(), 2, true, kCycle, 0);
    EXPECT_EQ(reg(bus, 2, 0x0981, 1)[0], 0x03);
    EXPECT_EQ(ec::getU32(reg(bus, 2, 0x09A0, 4).data()), kCycle);
    const uint64_t start = ec::getU64(reg(bus, 2, 0x0990, 8).data());
    const uint64_t t0 = ec::getU64(before);
    EXPECT_EQ(start % kCycle, 0u);
    EXPECT_GT(start, t0 + 100000000);
    EXPECT_EQ(bus.slave(2).DCactive, 1);
    EXPECT_EQ(bus.slave(2).DCcycle, static_cast<int32_t>(kCycle));
}
