// Running buses: process-data round trip with the CiA 402 drives, frame loss, a pulled cable and
// its recovery, and two masters side by side.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "sim/cia402_drive.h"
#include "sim_bus.h"
#include "wire.h"

using bustest::SimBus;

namespace {

constexpr int kDrives = 3;

}  // namespace

TEST(BusExchange, ControlWordsEnableTheDrivesAndModeIsEchoed) {
    SimBus bus(sim::ChainConfig::drives(kDrives));
    ASSERT_TRUE(bus.bringUp());
    ASSERT_EQ(bus.exchange(), 3 * kDrives);
    for (int n = 1; n <= kDrives; ++n) {
        EXPECT_EQ(bus.statusWord(n) & 0x4F, 0x40) << "switch on disabled";
    }
    for (uint16_t cw : {0x06, 0x07, 0x0F}) {
        for (int n = 1; n <= kDrives; ++n) {
            bus.setControlWord(n, cw);
            bus.setMode(n, 9);
        }
        ASSERT_EQ(bus.exchange(), 3 * kDrives);
    }
    ASSERT_EQ(bus.exchange(), 3 * kDrives);
    for (int n = 1; n <= kDrives; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(bus.statusWord(n) & 0x6F, 0x27) << "operation enabled";
        EXPECT_EQ(bus.modeDisplay(n), 9);
    }
    // The drives' own view of what arrived.
    EXPECT_EQ(bus.chain->drive(2)->lastControlWord(), 0x0F);
}

TEST(BusExchange, CycleAndSupervisionShareThePort) {
    SimBus bus(sim::ChainConfig::drives(kDrives));
    ASSERT_TRUE(bus.bringUp());
    // Generous timeouts: what is checked is who gets which reply, not how fast.
    constexpr int kPatientUs = 200000;
    std::atomic<bool> stop{false};
    std::atomic<int> badCycles{0};
    std::atomic<int> badChecks{0};
    // The cycle as the console runs it: process data, then each drive's clock read and offset
    // rewritten.
    std::thread cycle([&] {
        int64_t offsets[kDrives + 1] = {};
        for (int i = 0; i < 300; ++i) {
            ecx_send_processdata(bus.ctx());
            badCycles += ecx_receive_processdata(bus.ctx(), kPatientUs) != 3 * kDrives;
            for (int n = 1; n <= kDrives; ++n) {
                uint8_t t[8] = {};
                badCycles += ecx_FPRD(bus.ctx(), bus.slave(n).configadr, ec::kRegDcSystemTime, 8, t,
                                      kPatientUs) != 1;
                uint8_t o[8];
                ec::putU64(o, static_cast<uint64_t>(offsets[n]));
                ecx_FPRD(bus.ctx(), bus.slave(n).configadr, ec::kRegDcSystemOffset, 8, o,
                         kPatientUs);
                offsets[n] = static_cast<int64_t>(ec::getU64(o));
                badCycles += ecx_FPWR(bus.ctx(), bus.slave(n).configadr, ec::kRegDcSystemOffset, 8,
                                      o, kPatientUs) != 1;
            }
        }
        stop = true;
    });
    std::thread supervision([&] {
        while (!stop) {
            badChecks += ecx_readstate(bus.ctx()) != EC_STATE_OPERATIONAL;
            badChecks += ecx_statecheck(bus.ctx(), 2, EC_STATE_OPERATIONAL, kPatientUs) !=
                         EC_STATE_OPERATIONAL;
        }
    });
    cycle.join();
    supervision.join();
    EXPECT_EQ(badCycles.load(), 0);
    EXPECT_EQ(badChecks.load(), 0);
    EXPECT_EQ(bus.ctx()->port->engine().stats().mismatched, 0u);
}

TEST(BusExchange, DcTimeTravelsBehindTheProcessData) {
    SimBus bus(sim::ChainConfig::drives(2));
    ASSERT_TRUE(bus.bringUp());
    ASSERT_EQ(bus.exchange(), 6);
    EXPECT_NE(*bus.ctx()->DCtime, 0) << "system time of the reference clock";
}

TEST(BusFaults, BlockingCallsSurviveFrameLossThroughResend) {
    sim::ChainConfig cfg = sim::ChainConfig::drives(kDrives);
    cfg.frameLoss = 0.2;
    cfg.seed = 7;
    SimBus bus(cfg);
    ASSERT_EQ(bus.scan(), kDrives);
    ASSERT_GT(bus.map(), 0);
    ASSERT_TRUE(bus.requestState(EC_STATE_PRE_OP));
    ASSERT_TRUE(ecx_configdc(bus.ctx()));

    // A cycle thread shares the port with the bring-up, as in the console. Process data is never
    // resent: a lost cycle reads as no frame, never as a wrong count.
    std::atomic<bool> stop{false};
    std::atomic<bool> operational{false};
    std::atomic<int> lost{0};
    std::atomic<int> good{0};
    std::atomic<int> wrong{0};
    std::thread cycle([&] {
        while (!stop) {
            ecx_send_processdata(bus.ctx());
            const int wkc = ecx_receive_processdata(bus.ctx(), EC_TIMEOUTRET);
            if (operational) {
                ++(wkc == EC_NOFRAME ? lost : wkc == 3 * kDrives ? good : wrong);
            }
            osal_usleep(1000);
        }
    });
    const bool up = bus.requestState(EC_STATE_SAFE_OP) && bus.requestState(EC_STATE_OPERATIONAL);
    operational = up;
    int failedReads = 0;
    for (int i = 0; up && i < 100; ++i) {
        uint8_t b[2] = {};
        failedReads += ecx_FPRD(bus.ctx(), 0x1002, ec::kRegAlStatus, 2, b, 100000) != 1 ||
                       ec::getU16(b) != EC_STATE_OPERATIONAL;
    }
    // Enough cycles for losses to show (bounded, should the cycle thread stall).
    for (int i = 0; up && i < 5000 && good + lost + wrong < 200; ++i) {
        osal_usleep(1000);
    }
    stop = true;
    cycle.join();
    ASSERT_TRUE(up);
    EXPECT_EQ(failedReads, 0);
    EXPECT_GT(bus.chain->framesLost(), 0u);
    EXPECT_GT(good.load(), 0);
    EXPECT_GT(lost.load(), 0);
    EXPECT_EQ(wrong.load(), 0);
}

TEST(BusFaults, PulledCableThenRecoverAndReconfigure) {
    SimBus bus(sim::ChainConfig::drives(kDrives));
    ASSERT_TRUE(bus.bringUp());
    bus.chain->pullDrive(3);
    EXPECT_EQ(bus.exchange(), 3 * (kDrives - 1));
    ecx_readstate(bus.ctx());
    EXPECT_EQ(bus.slave(3).state, 0) << "a lost slave reads as state 0";
    EXPECT_EQ(bus.slave(2).state, EC_STATE_OPERATIONAL);
    EXPECT_EQ(ecx_recover_slave(bus.ctx(), 3, 500), 0) << "nobody at the position";

    bus.chain->plugDrive(3);  // comes back freshly powered: INIT, no address
    ASSERT_EQ(ecx_recover_slave(bus.ctx(), 3, 500), 1);
    EXPECT_EQ(bus.chain->readRegisters(3, 0x0010, 2), (std::vector<uint8_t>{0x03, 0x10}));
    EXPECT_EQ(bus.slave(3).configadr, 0x1003);
    EXPECT_EQ(ecx_reconfig_slave(bus.ctx(), 3, 500), EC_STATE_SAFE_OP);
    bus.slave(3).state = EC_STATE_OPERATIONAL;
    ecx_writestate(bus.ctx(), 3);
    EXPECT_EQ(ecx_statecheck(bus.ctx(), 3, EC_STATE_OPERATIONAL, bustest::kStateTimeoutUs),
              EC_STATE_OPERATIONAL);
    EXPECT_EQ(bus.exchange(), 3 * kDrives);
    EXPECT_EQ(ecx_recover_slave(bus.ctx(), 3, 500), 1) << "already the right slave";
}

TEST(BusFaults, RecoveryRefusesAnotherDeviceAtThePosition) {
    sim::ChainConfig cfg = sim::ChainConfig::drives(2);
    SimBus bus(cfg);
    ASSERT_TRUE(bus.bringUp());
    bus.chain->pullDrive(2);
    bus.chain->plugDrive(2);
    bus.slave(2).eep_id = 0x12345678;  // the master expected another product there
    EXPECT_EQ(ecx_recover_slave(bus.ctx(), 2, 500), 0);
    EXPECT_EQ(bus.chain->readRegisters(2, 0x0010, 2), (std::vector<uint8_t>{0x00, 0x00}));
    EXPECT_EQ(bus.slave(2).configadr, 0x1002);
}

TEST(BusMasters, TwoMastersRunSideBySide) {
    SimBus a(sim::ChainConfig::drives(2));
    SimBus b(sim::ChainConfig::drives(3));
    bool upA = false;
    bool upB = false;
    std::thread ta([&] { upA = a.bringUp(); });
    std::thread tb([&] { upB = b.bringUp(); });
    ta.join();
    tb.join();
    ASSERT_TRUE(upA && upB);
    EXPECT_EQ(a.master.slavecount(), 2);
    EXPECT_EQ(b.master.slavecount(), 3);

    int badA = 0;
    int badB = 0;
    a.setControlWord(1, 0x06);
    std::thread ca([&] {
        for (int i = 0; i < 100; ++i) {
            badA += a.exchange() != 6;
        }
    });
    std::thread cb([&] {
        for (int i = 0; i < 100; ++i) {
            badB += b.exchange() != 9;
        }
    });
    ca.join();
    cb.join();
    EXPECT_EQ(badA, 0);
    EXPECT_EQ(badB, 0);
    EXPECT_EQ(a.statusWord(1) & 0x6F, 0x21) << "ready to switch on";
    EXPECT_EQ(b.statusWord(1) & 0x4F, 0x40) << "the other bus saw no command";
}

TEST(BusGlobal, ProcessWideCallsBringUpARegisteredChain) {
    auto chain = sim::registerSimulatedAdapter(2);
    ASSERT_GT(ec_init("sim:2"), 0);
    ASSERT_EQ(ec_config_init(FALSE), 2);
    static uint8_t iomap[1024];
    ASSERT_EQ(ec_config_map(iomap), 100);
    auto request = [](uint16_t state) {
        ec_slave[0].state = state;
        ec_writestate(0);
        ec_statecheck(0, state, 2000000);
        return ec_slave[0].state == state;
    };
    EXPECT_TRUE(request(EC_STATE_PRE_OP));
    EXPECT_TRUE(ec_configdc());
    ec_send_processdata();
    ec_receive_processdata(2000);
    EXPECT_TRUE(request(EC_STATE_SAFE_OP));
    EXPECT_TRUE(request(EC_STATE_OPERATIONAL));
    ec_dcsync0(1, TRUE, 2000000, 0);
    ec_send_processdata();
    EXPECT_EQ(ec_receive_processdata(100000), ec_group[0].expectedWKC);
    int64_t offset = 0;
    EXPECT_EQ(ec_FPRD(ec_slave[1].configadr, 0x0920, 8, &offset, 100000), 1);
    EXPECT_NE(offset, 0);
    EXPECT_TRUE(request(EC_STATE_INIT));
    ec_close();
    ec::unregisterVirtualAdapter("sim:2");
}
