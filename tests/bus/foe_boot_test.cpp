// Firmware download with the simulated drives: the BOOT procedure the console follows (INIT,
// bootstrap mailbox from the SII, BOOT, FoE write, INIT), files of every shape, refusals.
#include <gtest/gtest.h>

#include <string>

#include "sim_bus.h"

using bustest::SimBus;

namespace {

constexpr size_t kBootWindow = 1024;
constexpr size_t kPacket = kBootWindow - 12;
constexpr uint32_t kPassword = 0x5A17C0DE;

std::vector<uint8_t> pattern(size_t n) {
    std::vector<uint8_t> b(n);
    uint32_t x = 0x12345678;
    for (auto& v : b) {
        x = x * 1103515245u + 12345u;
        v = static_cast<uint8_t>(x >> 16);
    }
    return b;
}

sim::ChainConfig bootChain(int drives = 2) {
    auto cfg = sim::ChainConfig::drives(drives);
    for (auto& s : cfg.slaves) {
        s.foePassword = kPassword;
    }
    return cfg;
}

// Steps 3-10 of the console's download: INIT, bootstrap mailbox windows from SII words
// 0x14/0x16 into the record and SM0/SM1, BOOT.
bool enterBoot(SimBus& bus, uint16_t n) {
    ec_slavet& s = bus.slave(n);
    s.state = EC_STATE_INIT;
    ecx_writestate(bus.ctx(), n);
    ecx_statecheck(bus.ctx(), n, EC_STATE_INIT, 8000000);
    const uint32_t rx = ecx_readeeprom(bus.ctx(), n, ec::kSiiBootRxMailbox, EC_TIMEOUTEEP);
    const uint32_t tx = ecx_readeeprom(bus.ctx(), n, ec::kSiiBootTxMailbox, EC_TIMEOUTEEP);
    s.SM[0].StartAddr = s.mbx_wo = static_cast<uint16_t>(rx);
    s.SM[0].SMlength = s.mbx_l = static_cast<uint16_t>(rx >> 16);
    s.SM[1].StartAddr = s.mbx_ro = static_cast<uint16_t>(tx);
    s.SM[1].SMlength = s.mbx_rl = static_cast<uint16_t>(tx >> 16);
    ecx_FPWR(bus.ctx(), s.configadr, ec::kRegSm0, sizeof(ec_smt), &s.SM[0], EC_TIMEOUTRET);
    ecx_FPWR(bus.ctx(), s.configadr, ec::kRegSm0 + 8, sizeof(ec_smt), &s.SM[1], EC_TIMEOUTRET);
    s.state = EC_STATE_BOOT;
    ecx_writestate(bus.ctx(), n);
    return ecx_statecheck(bus.ctx(), n, EC_STATE_BOOT, 20000000) == EC_STATE_BOOT;
}

int download(SimBus& bus, uint16_t n, const std::string& name, const std::vector<uint8_t>& file,
             uint32_t password = kPassword) {
    return ecx_FOEwrite(bus.ctx(), n, name.c_str(), password, static_cast<int>(file.size()),
                        file.data(), 2000000000);
}

class FoeFiles : public ::testing::TestWithParam<size_t> {};

TEST_P(FoeFiles, FileArrivesWholeInBoot) {
    SimBus bus(bootChain());
    ASSERT_TRUE(bus.bringUp());
    ASSERT_TRUE(enterBoot(bus, 2));
    EXPECT_EQ(bus.slave(2).mbx_l, kBootWindow);
    const auto file = pattern(GetParam());
    EXPECT_GT(download(bus, 2, "joint.bin", file), 0);
    const auto received = bus.chain->firmware(2);
    ASSERT_TRUE(received);
    EXPECT_TRUE(received->complete);
    EXPECT_EQ(received->name, "joint.bin");
    EXPECT_EQ(received->bytes.size(), file.size());
    EXPECT_TRUE(received->bytes == file);
    bus.slave(2).state = EC_STATE_INIT;
    ecx_writestate(bus.ctx(), 2);
    EXPECT_EQ(ecx_statecheck(bus.ctx(), 2, EC_STATE_INIT, 8000000), EC_STATE_INIT);
}

INSTANTIATE_TEST_SUITE_P(Sizes, FoeFiles,
                         ::testing::Values(size_t{0}, kPacket, 2 * kPacket, kPacket + 1,
                                           size_t{4 * 1024 * 1024}));

TEST(BusFoe, NewFirmwareStartsAfterInitAndTheBusComesBack) {
    SimBus bus(bootChain(1));
    ASSERT_TRUE(bus.bringUp());
    ASSERT_TRUE(enterBoot(bus, 1));
    ASSERT_GT(download(bus, 1, "QJ30-3.1.4.bin", pattern(5000)), 0);
    bus.slave(1).state = EC_STATE_INIT;
    ecx_writestate(bus.ctx(), 1);
    ecx_statecheck(bus.ctx(), 1, EC_STATE_INIT, 8000000);
    ASSERT_TRUE(bus.bringUp());
    char version[32] = {};
    int size = sizeof version - 1;
    ASSERT_GT(ecx_SDOread(bus.ctx(), 1, 0x100A, 0, false, &size, version, EC_TIMEOUTRXM), 0);
    EXPECT_STREQ(version, "3.1.4");
}

TEST(BusFoe, RefusalsAreReportedWithTheirCodes) {
    auto cfg = bootChain();
    SimBus bus(cfg);
    ASSERT_TRUE(bus.bringUp());
    // Outside BOOT the drive only takes files in its bootloader.
    EXPECT_EQ(download(bus, 1, "joint.bin", pattern(10)), EC_FOE_ERRORREPLY);
    ec_errort e{};
    ASSERT_TRUE(ecx_poperror(bus.ctx(), &e));
    EXPECT_EQ(e.Etype, EC_ERR_TYPE_FOE_ERROR);
    EXPECT_EQ(static_cast<uint32_t>(e.AbortCode), 0x8008u);

    ASSERT_TRUE(enterBoot(bus, 1));
    EXPECT_EQ(download(bus, 1, "joint.bin", pattern(10), kPassword + 1), EC_FOE_ERRORREPLY);
    ASSERT_TRUE(ecx_poperror(bus.ctx(), &e));
    EXPECT_EQ(static_cast<uint32_t>(e.AbortCode), 0x800Au);

    ASSERT_TRUE(bus.chain->setMailboxMisbehaviour(1, sim::Misbehaviour::WrongFoeAck));
    EXPECT_EQ(download(bus, 1, "joint.bin", pattern(3000)), EC_FOE_PACKETNUMBER);
    ASSERT_TRUE(ecx_poperror(bus.ctx(), &e));
    EXPECT_EQ(e.Etype, EC_ERR_TYPE_FOE_PACKETNUMBER);
    ASSERT_TRUE(bus.chain->setMailboxMisbehaviour(1, sim::Misbehaviour::None));

    // After all that the next download goes through.
    const auto file = pattern(3 * kPacket);
    EXPECT_GT(download(bus, 1, "joint.bin", file), 0);
    EXPECT_TRUE(bus.chain->firmware(1)->bytes == file);
}

TEST(BusFoe, BusyPacketsAreSentAgain) {
    auto cfg = bootChain(1);
    cfg.slaves[0].foeBusyPackets = {1, 3};
    SimBus bus(cfg);
    ASSERT_TRUE(bus.bringUp());
    ASSERT_TRUE(enterBoot(bus, 1));
    const auto file = pattern(4 * kPacket + 100);
    EXPECT_GT(download(bus, 1, "joint.bin", file), 0);
    EXPECT_TRUE(bus.chain->firmware(1)->complete);
    EXPECT_TRUE(bus.chain->firmware(1)->bytes == file);
}

}  // namespace
