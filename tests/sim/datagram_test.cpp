// Datagram commands, addressing and working-counter rules, and frames that are not what they
// claim to be.
#include <gtest/gtest.h>

#include <random>

#include "sim_master.h"

using namespace simtest;

namespace {

sim::ChainConfig drivesWithAlias(int n, uint16_t alias) {
    auto cfg = sim::ChainConfig::drives(n);
    cfg.slaves[1].alias = alias;
    return cfg;
}

TEST(Datagrams, BroadcastReadCountsSlavesAndAdvancesAdp) {
    sim::Chain chain(sim::ChainConfig::drives(3));
    const Reply r = brd(chain, ec::kRegType, 2);
    EXPECT_EQ(r.wkc, 3);
    EXPECT_EQ(r.adp, 3);
}

TEST(Datagrams, PositionAddressingReachesTheNthSlave) {
    sim::Chain chain(sim::ChainConfig::drives(3));
    // Slave 2 has ADP 0xFFFF; every slave increments the ADP.
    Reply w = single(chain, Command::APWR, 0xFFFF, ec::kRegStationAddress, le16(0x1234));
    EXPECT_EQ(w.wkc, 1);
    EXPECT_EQ(w.adp, 0x0002);
    EXPECT_EQ(chain.readRegisters(2, ec::kRegStationAddress, 2), le16(0x1234));
    EXPECT_EQ(chain.readRegisters(1, ec::kRegStationAddress, 2), le16(0));
    EXPECT_EQ(chain.readRegisters(3, ec::kRegStationAddress, 2), le16(0));

    Reply r = single(chain, Command::APRD, 0xFFFF, ec::kRegStationAddress, zeros(2));
    EXPECT_EQ(r.wkc, 1);
    EXPECT_EQ(r.u16(), 0x1234);

    // Nobody at position 4.
    r = single(chain, Command::APRD, static_cast<uint16_t>(-3), ec::kRegStationAddress,
               {0xAA, 0xBB});
    EXPECT_EQ(r.wkc, 0);
    EXPECT_EQ(r.data, (std::vector<uint8_t>{0xAA, 0xBB}));
}

TEST(Datagrams, ConfiguredAddressingAfterStationAssignment) {
    sim::Chain chain(sim::ChainConfig::drives(3));
    assignStations(chain, 3);
    for (int n = 1; n <= 3; ++n) {
        const Reply r = fprd(chain, station(n), ec::kRegStationAddress, 2);
        EXPECT_EQ(r.wkc, 1);
        EXPECT_EQ(r.u16(), station(n));
        EXPECT_EQ(r.adp, station(n)) << "FPRD leaves the address alone";
    }
    const Reply none = fprd(chain, 0x2000, ec::kRegStationAddress, 2);
    EXPECT_EQ(none.wkc, 0);
    EXPECT_EQ(fpwr(chain, station(2), ec::kRegDlControl, {1, 0}).wkc, 1);
}

TEST(Datagrams, AliasAddressingOnlyWhenEnabled) {
    sim::Chain chain(drivesWithAlias(3, 0x0077));
    assignStations(chain, 3);
    EXPECT_EQ(fprd(chain, station(2), ec::kRegStationAlias, 2).u16(), 0x0077);
    EXPECT_EQ(fprd(chain, 0x0077, ec::kRegType, 1).wkc, 0);
    fpwr(chain, station(2), ec::kRegDlAlias, {0x01});
    EXPECT_EQ(fprd(chain, 0x0077, ec::kRegType, 1).wkc, 1);
}

TEST(Datagrams, ReadOnlyRegistersIgnoreWritesButCount) {
    sim::Chain chain(sim::ChainConfig::drives(2));
    const Reply w = bwr(chain, ec::kRegAlStatus, le16(0x0008));
    EXPECT_EQ(w.wkc, 2);
    EXPECT_EQ(w.adp, 2);
    EXPECT_EQ(brd(chain, ec::kRegAlStatus, 2).u16(), ec::kAlStateInit);
    // Reserved bytes read as zero and still count.
    const Reply r = brd(chain, 0x0F00, 4);
    EXPECT_EQ(r.wkc, 2);
    EXPECT_EQ(r.data, zeros(4));
}

TEST(Datagrams, BroadcastReadOrsTheSlavesTogether) {
    sim::Chain chain(sim::ChainConfig::drives(3));
    assignStations(chain, 3);
    // Station addresses 0x1001 | 0x1002 | 0x1003 = 0x1003, ORed into the datagram's own bits.
    const Reply r = single(chain, Command::BRD, 0, ec::kRegStationAddress, {0x10, 0x20});
    EXPECT_EQ(r.u16(), 0x1003 | 0x2010);
}

TEST(Datagrams, ReadModifyWriteDistributesTheAddressedSlavesValue) {
    sim::Chain chain(sim::ChainConfig::drives(3));
    assignStations(chain, 3);
    for (int n = 1; n <= 3; ++n)
        fpwr(chain, station(n), ec::kRegDcSystemOffset, le64(100u * n));

    Reply r = single(chain, Command::FRMW, station(1), ec::kRegDcSystemOffset, zeros(8));
    EXPECT_EQ(r.wkc, 3);
    EXPECT_EQ(r.u64(), 100u);
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(fprd(chain, station(n), ec::kRegDcSystemOffset, 8).u64(), 100u);

    fpwr(chain, station(1), ec::kRegDcSystemOffset, le64(7));
    r = single(chain, Command::ARMW, 0, ec::kRegDcSystemOffset, zeros(8));
    EXPECT_EQ(r.wkc, 3);
    EXPECT_EQ(r.adp, 3);
    EXPECT_EQ(r.u64(), 7u);
    EXPECT_EQ(fprd(chain, station(3), ec::kRegDcSystemOffset, 8).u64(), 7u);
}

TEST(Datagrams, ReadWriteCommandsReturnOldValueAndCountThree) {
    sim::Chain chain(sim::ChainConfig::drives(2));
    assignStations(chain, 2);
    fpwr(chain, station(1), ec::kRegEcatEventMask, le16(0x0004));
    Reply r = single(chain, Command::FPRW, station(1), ec::kRegEcatEventMask, le16(0x0101));
    EXPECT_EQ(r.wkc, 3);
    EXPECT_EQ(r.u16(), 0x0004);
    EXPECT_EQ(fprd(chain, station(1), ec::kRegEcatEventMask, 2).u16(), 0x0101);

    r = single(chain, Command::APRW, 0xFFFF, ec::kRegEcatEventMask, le16(0x0202));
    EXPECT_EQ(r.wkc, 3);
    EXPECT_EQ(r.u16(), 0x0000);

    r = single(chain, Command::BRW, 0, ec::kRegEcatEventMask, le16(0x0000));
    EXPECT_EQ(r.wkc, 6);
    EXPECT_EQ(r.u16(), 0x0101 | 0x0202);
    // Each slave stores the data as it arrives there, already ORed by the slaves before it.
    EXPECT_EQ(fprd(chain, station(1), ec::kRegEcatEventMask, 2).u16(), 0);
    EXPECT_EQ(fprd(chain, station(2), ec::kRegEcatEventMask, 2).u16(), 0x0101);
}

TEST(Datagrams, NopAndUnknownCommandsTouchNothing) {
    sim::Chain chain(sim::ChainConfig::drives(2));
    for (uint8_t cmd : {uint8_t{0}, uint8_t{15}, uint8_t{0xFF}}) {
        const Reply r = single(chain, static_cast<Command>(cmd), 0, ec::kRegType, {0x5A, 0xA5});
        EXPECT_FALSE(r.lost);
        EXPECT_EQ(r.wkc, 0);
        EXPECT_EQ(r.adp, 0);
        EXPECT_EQ(r.data, (std::vector<uint8_t>{0x5A, 0xA5}));
    }
}

TEST(Datagrams, FramePassesWithIndexKeptAndReturnBitSet) {
    sim::Chain chain(sim::ChainConfig::drives(2));
    Frame f;
    const size_t a = f.add(Command::BRD, 0, ec::kRegType, zeros(2));
    const size_t b = f.add(Command::BWR, 0, ec::kRegEcatEventMask, le16(4));
    const size_t c = f.add(Command::APRD, 0xFFFF, ec::kRegFeatures, zeros(2));
    auto bytes = f.bytes(0x5C);
    const size_t size = bytes.size();
    ASSERT_TRUE(chain.processFrame(bytes));
    EXPECT_EQ(bytes.size(), size);
    EXPECT_EQ(bytes[6], 0x03) << "locally administered bit set on the first source octet";
    EXPECT_EQ(bytes[7], 0x01);
    EXPECT_EQ(bytes[17], 0x5C);
    f.parse(bytes);
    EXPECT_EQ(f.wkc(a), 2);
    EXPECT_EQ(f.wkc(b), 2);
    EXPECT_EQ(f.wkc(c), 1);
    EXPECT_EQ(f.u16(c), 0x000C) << "DC, 64 bit";
}

TEST(Datagrams, ShortFramesAndPaddingAreHandled) {
    sim::Chain chain(sim::ChainConfig::drives(1));
    Frame f;
    f.add(Command::BRD, 0, ec::kRegType, zeros(2));
    auto bytes = f.bytes();
    bytes.resize(60, 0);  // Ethernet padding behind the datagrams
    ASSERT_TRUE(chain.processFrame(bytes));
    EXPECT_EQ(bytes.size(), 60u);
    f.parse(bytes);
    EXPECT_EQ(f.wkc(0), 1);
}

TEST(Datagrams, MalformedFramesComeBackUnchanged) {
    sim::Chain chain(sim::ChainConfig::drives(2));
    Frame f;
    f.add(Command::BWR, 0, ec::kRegStationAddress, le16(0x4444));
    const auto good = f.bytes();

    std::vector<std::vector<uint8_t>> bad;
    bad.push_back({});
    bad.push_back(std::vector<uint8_t>(good.begin(), good.begin() + 15));
    auto wrongType = good;
    wrongType[13] = 0x00;  // 0x8800
    bad.push_back(wrongType);
    auto notDatagrams = good;
    notDatagrams[15] = 0x40;  // EtherCAT type 4
    bad.push_back(notDatagrams);
    auto longHeader = good;
    sim::wr16(&longHeader[14], 0x1000 | 0x7FF);  // length beyond the buffer
    bad.push_back(longHeader);
    auto longDatagram = good;
    sim::wr16(&longDatagram[16 + 6], 200);  // datagram beyond the EtherCAT length
    bad.push_back(longDatagram);
    auto moreMissing = good;
    sim::wr16(&moreMissing[16 + 6], 2 | ec::kDatagramMore);  // announces one that is not there
    bad.push_back(moreMissing);

    for (size_t i = 0; i < bad.size(); ++i) {
        auto copy = bad[i];
        EXPECT_TRUE(chain.processFrame(copy)) << i;
        EXPECT_EQ(copy, bad[i]) << i;
    }
    EXPECT_EQ(chain.readRegisters(1, ec::kRegStationAddress, 2), le16(0));
}

TEST(Datagrams, TruncatedAndCorruptedFramesNeverReadOutsideTheBuffer) {
    sim::Chain chain(sim::ChainConfig::drives(3));
    Frame f;
    f.add(Command::BRD, 0, ec::kRegType, zeros(2));
    f.add(Command::LRW, 0, 0, zeros(150));
    f.add(Command::FPRD, 0x1001, ec::kRegAlStatus, zeros(6));
    const auto good = f.bytes();
    std::mt19937 rng(5);
    for (size_t cut = 0; cut < good.size(); ++cut) {
        std::vector<uint8_t> part(good.begin(), good.begin() + static_cast<long>(cut));
        chain.processFrame(part);
        EXPECT_EQ(part.size(), cut);
    }
    for (int i = 0; i < 2000; ++i) {
        auto fuzzed = good;
        for (int k = 0; k < 4; ++k)
            fuzzed[14 + rng() % (fuzzed.size() - 14)] = static_cast<uint8_t>(rng());
        chain.processFrame(fuzzed);
        EXPECT_EQ(fuzzed.size(), good.size());
    }
}

TEST(Datagrams, MemoryBeyondTheControllerReadsZero) {
    sim::Chain chain(sim::ChainConfig::drives(1));
    const Reply r = single(chain, Command::APRD, 0, 0xFFF0, std::vector<uint8_t>(32, 0xEE));
    EXPECT_EQ(r.wkc, 1);
    EXPECT_EQ(r.data, zeros(32));
}

}  // namespace
