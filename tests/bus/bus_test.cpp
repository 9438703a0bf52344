// The stack against the simulated chains that the traces do not cover: other shapes and sizes,
// clocks, states that differ, a new scan and a drive of another product (wiretrace_test.cpp: the
// plain cases, records and a pulled cable).
#include <tuple>

#include "sim/cia402_drive.h"
#include "sim/drive_image.h"
#include "sim_bus.h"

using bustest::Bytes;
using bustest::SimBus;

namespace {

constexpr int kDrives = 3;

TEST(Bus, ChainsOfOtherShapesSizesAndARefusedTransition) {
    sim::ChainConfig mixed;  // a coupler, a drive with 4-byte SII reads refusing SAFE-OP, a drive
    mixed.slaves = {sim::SlaveConfig::coupler(), sim::SlaveConfig::drive(1),
                    sim::SlaveConfig::drive(2)};
    mixed.slaves[1].siiReads8Bytes = false, mixed.slaves[1].name = "QJ30-B";
    SimBus bus(mixed);
    bus.chain->ignoreAccesses(3, ec::kRegPortDescriptor, sim::Esc::AccessKind::Read, 1);
    ASSERT_EQ((std::pair{bus.scan(), int(bus.slave(3).ptype)}), std::pair(3, 0));  // unanswered
    bus.chain->refuseState(2, EC_STATE_SAFE_OP, ec::kAlInvalidOutputConfig);
    // The first drive is the reference clock; a bus of a coupler alone has none.
    mixed.slaves.resize(1);
    SimBus plain(mixed);
    ASSERT_EQ((std::tuple{ecx_configdc(bus.ctx()), bus.master.group(0).DCnext, plain.scan(),
                          ecx_configdc(plain.ctx()), plain.master.group(0).hasdc, bus.map()}),
              std::tuple(true, 2, 1, false, false, 100));
    EXPECT_EQ((std::tuple{bus.requestState(EC_STATE_SAFE_OP, 0, 50000), ecx_readstate(bus.ctx()),
                          bus.slave(1).state, bus.slave(2).state, bus.slave(2).ALstatuscode,
                          bus.slave(3).state, std::string(bus.slave(2).name)}),
              std::tuple(false, EC_STATE_PRE_OP, EC_STATE_SAFE_OP, EC_STATE_PRE_OP | EC_STATE_ERROR,
                         ec::kAlInvalidOutputConfig, EC_STATE_SAFE_OP, "QJ30-B"));
    bus.chain->acceptState(2, EC_STATE_SAFE_OP);  // a request with acknowledge clears the error
    ASSERT_TRUE(bus.requestState(EC_STATE_SAFE_OP | EC_STATE_ACK, 2) &&
                bus.requestState(EC_STATE_OPERATIONAL) && bus.exchange() == 6);

    // As many slaves as the list holds (entry 0 is the summary), more than a frame of state reads:
    // errors on both sides of the split are seen. One more is refused by either scan.
    SimBus longBus(sim::ChainConfig::drives(EC_MAXSLAVE - 1)),
        tooMany(sim::ChainConfig::drives(EC_MAXSLAVE));
    EXPECT_EQ((std::tuple{longBus.scan(), ecx_config_inspect(longBus.ctx()), tooMany.scan(),
                          ecx_config_inspect(tooMany.ctx()), tooMany.master.slavecount()}),
              std::tuple(EC_MAXSLAVE - 1, EC_MAXSLAVE - 1, EC_SLAVECOUNTEXCEEDED,
                         EC_SLAVECOUNTEXCEEDED, 0));
    ASSERT_TRUE(longBus.requestState(EC_STATE_PRE_OP));
    longBus.chain->forceSafeOpError(64, ec::kAlInvalidOutputConfig);
    longBus.chain->forceSafeOpError(65, ec::kAlInvalidOutputConfig);
    EXPECT_EQ(ecx_readstate(longBus.ctx()), EC_STATE_PRE_OP);
    for (int n : {63, 64, 65, 66}) {
        const bool faulted = n == 64 || n == 65;
        EXPECT_EQ(std::tuple(longBus.slave(n).state, longBus.slave(n).ALstatuscode),
                  std::tuple(EC_STATE_PRE_OP | (faulted ? EC_STATE_ERROR : 0),
                             faulted ? ec::kAlInvalidOutputConfig : 0))
            << n;
    }

    SimBus big(sim::ChainConfig::drives(21));  // 1050 bytes for a 1024-byte image
    ASSERT_EQ(big.scan(), 21);
    // The last drive claims a second RxPDO it cannot read out: a half-read assignment is not taken.
    big.chain->drive(21)->dictionary().setU32(sim::kRxPdoAssign, 0, 2);
    EXPECT_EQ((std::tuple{big.map(), big.popErrors().size()}), std::tuple(0, 1u));  // 0x1C12:02
    for (int n = 0; n <= 21; ++n)
        EXPECT_EQ(big.slave(n).outputs, nullptr);
    EXPECT_EQ(big.reg(21, 0x0600, 16), Bytes(16, 0)) << "no FMMU written";
    EXPECT_EQ(big.chain->alState(1), EC_STATE_PRE_OP) << "no SAFE-OP request";
    // Each object of the assignment in turn answers too long, or empty: sizes from the SII, not a
    // cut read or a count of nothing.
    const std::pair<uint16_t, uint8_t> objects[] = {
        {0x1C00, 3}, {0x1C12, 0}, {0x1C12, 1}, {sim::kRxPdoIndex, 0}, {sim::kRxPdoIndex, 1}};
    for (const char* value : {"12345", ""})
        for (const auto& [index, sub] : objects) {
            SimBus one(sim::ChainConfig::drives(1));
            ASSERT_EQ(one.scan(), 1);
            one.chain->drive(1)->dictionary().addString(index, sub, "odd", sim::Access::ReadOnly,
                                                        value);
            EXPECT_EQ(one.map(), kDriveOutputBytes + kDriveInputBytes) << index;
            EXPECT_EQ(one.popErrors().size(), *value ? 1u : 0u) << index;
        }
}

TEST(Bus, ClocksStatesARescanAndAnotherProduct) {
    auto cfg = sim::ChainConfig::drives(kDrives);
    cfg.slaves[1].localStartNs = 3'000'000'000'000LL;  // its own clock far from the master's
    SimBus bus(cfg);
    ASSERT_TRUE(bus.bringUp());
    for (int n = 1; n <= kDrives; ++n) {  // the rest of the records: the bring-up trace
        const ec_slavet& s = bus.slave(n);
        const auto rt = std::array{s.DCrtA, s.DCrtB, s.DCrtC, s.DCrtD};  // as the ports latched
        EXPECT_EQ(bus.reg(n, 0x0900, 16), Bytes(reinterpret_cast<const uint8_t*>(rt.data()),
                                                reinterpret_cast<const uint8_t*>(rt.data()) + 16));
        uint8_t t[8] = {};  // system times are the master's
        ASSERT_EQ(ecx_FPRD(bus.ctx(), s.configadr, ec::kRegDcSystemTime, 8, t, 100000), 1);
        EXPECT_LT(std::llabs(int64_t(ec::getU64(t)) - ec::systemTimeNs()), 1'000'000'000LL);
    }
    ASSERT_EQ(bus.exchange(), 3 * kDrives);
    EXPECT_NE(*bus.ctx()->DCtime, 0) << "the reference time travels behind the process data";
    uint8_t before[8] = {};
    ecx_FPRD(bus.ctx(), 0x1002, ec::kRegDcSystemTime, 8, before, 100000);
    constexpr uint32_t kCycle = 2000000;
    ecx_dcsync0(bus.ctx(), 2, true, kCycle, 0);  // the master owns the unit
    const uint64_t start = ec::getU64(bus.reg(2, 0x0990, 8).data());
    EXPECT_EQ(std::tuple(start % kCycle, start > ec::getU64(before) + 100000000,
                         bus.slave(2).DCactive, bus.slave(2).DCcycle),
              std::tuple(0u, true, 1, int32_t(kCycle)));
    ecx_dcsync0(bus.ctx(), 3, false, 0, 0);  // off is all off, cyclic operation included
    EXPECT_EQ(bus.reg(3, 0x0981, 1)[0], 0);

    // States that differ, none in error: the broadcast read tells no state, each is read apart.
    ASSERT_TRUE(bus.requestState(EC_STATE_SAFE_OP, 3));
    EXPECT_EQ((std::tuple{ecx_readstate(bus.ctx()), bus.slave(3).state, bus.slave(2).state}),
              std::tuple(EC_STATE_SAFE_OP, EC_STATE_SAFE_OP, EC_STATE_OPERATIONAL));

    // A new scan stops the SYNC0 unit left running, and forgets the group's clock and image.
    ASSERT_EQ((std::tuple{bus.scan(), bus.master.group(0).hasdc, bus.master.group(0).DCnext,
                          bus.master.group(0).expectedWKC, bus.master.group(0).outputs}),
              std::tuple(kDrives, false, 0, 0, nullptr));
    bus.chain->withSlave(2, [](sim::Esc& esc, sim::SlaveApplication*) {
        EXPECT_EQ(std::tuple(esc.peek(0x0981, 1)[0], esc.sync0Pulses(esc.hostNowNs() + 1000000000)),
                  std::tuple(0, 0u));
    });
    uint8_t slave3[2] = {0x03, 0x10};  // position 2 answers with slave 3's address: left alone
    ASSERT_EQ(ecx_FPWR(bus.ctx(), 0x1002, ec::kRegStationAddress, 2, slave3, 500), 1);
    EXPECT_EQ(std::pair(ecx_recover_slave(bus.ctx(), 2, 500), bus.reg(2, 0x0010, 2)),
              std::pair(0, Bytes{0x03, 0x10}));
    bus.chain->pullDrive(2), bus.chain->plugDrive(2);
    bus.chain->ignoreAccesses(2, ec::kRegStationAddress, sim::Esc::AccessKind::Write, 1);
    bus.slave(2).eep_pdi = 0;  // its address write unanswered, the record stays as it was
    EXPECT_EQ(std::tuple(ecx_recover_slave(bus.ctx(), 2, 500), bus.slave(2).eep_pdi),
              std::tuple(0, 0));
    bus.slave(2).eep_id = 0x12345678;  // the master expected another product there
    EXPECT_EQ((std::tuple{ecx_recover_slave(bus.ctx(), 2, 500), bus.reg(2, 0x0010, 2),
                          bus.slave(2).configadr}),
              std::tuple(0, Bytes{0x00, 0x00}, 0x1002));
    ecx_close(bus.ctx());  // a teardown may ask once more: nobody answers
    EXPECT_EQ(std::tuple(ecx_readstate(bus.ctx()), bus.slave(1).state), std::tuple(0, 0));
}

}  // namespace
