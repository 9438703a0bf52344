// The slave controllers as a master meets them on the wire: datagram addressing and working
// counters, the AL state machine and its refusals, the EEPROM, distributed clocks, process data
// through FMMUs and SyncManagers with the watchdog, and the faults injected into the line.
#include <random>

#include "sim/sii.h"
#include "sim_fixture.h"

using namespace simtest;

namespace {

constexpr uint16_t kInit = ec::kAlStateInit, kPreOp = ec::kAlStatePreOp, kBoot = ec::kAlStateBoot,
                   kSafeOp = ec::kAlStateSafeOp, kOp = ec::kAlStateOp, kErr = ec::kAlStateError;

TEST(Datagrams, EachCommandAddressesCountsAndIncrements) {
    sim::Chain chain(sim::ChainConfig::drives(3));
    assignStations(chain, 3);
    struct Case {
        uint8_t cmd;
        uint16_t adp, ado;
        Bytes in;
        uint16_t wkc, adpBack;
        Bytes out;
    };
    const Case cases[] = {
        // Station addresses 0x1001 | 0x1002 | 0x1003, ORed into the datagram's own bits.
        {7, 0, ec::kRegStationAddress, {0x10, 0x20}, 3, 3, le(0x1003 | 0x2010, 2)},
        {1, 0xFFFF, ec::kRegStationAddress, zeros(2), 1, 2, le(0x1002, 2)},
        {1, 0xFFFD, ec::kRegStationAddress, {0xAA, 0xBB}, 0, 0, {0xAA, 0xBB}},  // no 4th slave
        {4, 0x1003, ec::kRegStationAddress, zeros(2), 1, 0x1003, le(0x1003, 2)},
        {4, 0x2000, ec::kRegStationAddress, zeros(2), 0, 0x2000, zeros(2)},
        {1, 0, 0xFFF0, Bytes(32, 0xEE), 1, 3, zeros(32)},        // beyond the memory: zero, counted
        {7, 0, 0x0F00, Bytes(4, 0xEE), 3, 3, Bytes(4, 0xEE)},    // reserved: ORs nothing in
        {8, 0, ec::kRegAlStatus, le(kOp, 2), 3, 3, le(kOp, 2)},  // read-only: ignored, counted
        {0, 0, ec::kRegType, {0x5A, 0xA5}, 0, 0, {0x5A, 0xA5}},
        {15, 0, ec::kRegType, {0x5A, 0xA5}, 0, 0, {0x5A, 0xA5}},
        {0xFF, 0, ec::kRegType, {0x5A, 0xA5}, 0, 0, {0x5A, 0xA5}},
    };
    for (const Case& c : cases) {
        const Reply r = single(chain, Command(c.cmd), c.adp, c.ado, c.in);
        SCOPED_TRACE(testing::Message() << "cmd " << int(c.cmd) << " adp " << c.adp);
        EXPECT_FALSE(r.lost);
        EXPECT_EQ(r.wkc, c.wkc);
        EXPECT_EQ(r.adp, c.adpBack);
        EXPECT_EQ(r.data, c.out);
    }
    EXPECT_EQ(brd(chain, ec::kRegAlStatus, 2).u16(), kInit);
    EXPECT_EQ(chain.readRegisters(2, ec::kRegStationAddress, 2), le(0x1002, 2));

    // Read-write: the old value back, counted 3 per slave; each slave stores what reaches it.
    fpwr(chain, station(1), ec::kRegEcatEventMask, le(4, 2));
    Reply r = single(chain, Command::FPRW, station(1), ec::kRegEcatEventMask, le(0x0101, 2));
    EXPECT_EQ(r.wkc, 3);
    EXPECT_EQ(r.u16(), 4);
    r = single(chain, Command::APRW, 0xFFFF, ec::kRegEcatEventMask, le(0x0202, 2));
    EXPECT_EQ(r.wkc, 3);
    EXPECT_EQ(r.u16(), 0);
    r = single(chain, Command::BRW, 0, ec::kRegEcatEventMask, zeros(2));
    EXPECT_EQ(r.wkc, 9);
    EXPECT_EQ(r.u16(), 0x0303);
    EXPECT_EQ(fprd(chain, station(2), ec::kRegEcatEventMask, 2).u16(), 0x0101);
    EXPECT_EQ(fprd(chain, station(3), ec::kRegEcatEventMask, 2).u16(), 0x0303);
    // Read-multiple-write: the addressed slave's value lands in all the others (DC time spread).
    for (int n = 1; n <= 3; ++n)
        fpwr(chain, station(n), ec::kRegDcSystemOffset, le(100u * n, 8));
    r = single(chain, Command::FRMW, station(1), ec::kRegDcSystemOffset, zeros(8));
    EXPECT_EQ(r.wkc, 3);
    EXPECT_EQ(r.u64(), 100u);
    EXPECT_EQ(fprd(chain, station(2), ec::kRegDcSystemOffset, 8).u64(), 100u);
    EXPECT_EQ(fprd(chain, station(3), ec::kRegDcSystemOffset, 8).u64(), 100u);
    fpwr(chain, station(1), ec::kRegDcSystemOffset, le(7, 8));
    r = single(chain, Command::ARMW, 0, ec::kRegDcSystemOffset, zeros(8));
    EXPECT_EQ(r.wkc, 3);
    EXPECT_EQ(r.adp, 3);
    EXPECT_EQ(fprd(chain, station(3), ec::kRegDcSystemOffset, 8).u64(), 7u);

    // Alias addressing only once the DL control enables it.
    sim::ChainConfig cfg = sim::ChainConfig::drives(2);
    cfg.slaves[1].alias = 0x0077;
    sim::Chain aliased(cfg);
    assignStations(aliased, 2);
    EXPECT_EQ(fprd(aliased, 0x0077, ec::kRegType, 1).wkc, 0);
    fpwr(aliased, station(2), ec::kRegDlAlias, {0x01});
    EXPECT_EQ(fprd(aliased, 0x0077, ec::kRegType, 1).wkc, 1);
}

TEST(Datagrams, FramesPassWholeAndMalformedOnesUntouched) {
    sim::Chain chain(sim::ChainConfig::drives(2));
    Frame f;
    f.add(Command::BRD, 0, ec::kRegType, zeros(2));
    f.add(Command::BWR, 0, ec::kRegEcatEventMask, le(4, 2));
    f.add(Command::APRD, 0xFFFF, ec::kRegFeatures, zeros(2));
    auto bytes = f.bytes(0x5C);
    bytes.resize(bytes.size() + 9, 0);  // Ethernet padding behind the datagrams
    const size_t size = bytes.size();
    ASSERT_TRUE(chain.processFrame(bytes));
    EXPECT_EQ(bytes.size(), size);
    EXPECT_EQ(bytes[6], 0x03) << "locally administered bit set on the way back";
    EXPECT_EQ(bytes[17], 0x5C) << "index kept";
    f.parse(bytes);
    EXPECT_EQ(f.wkc(0), 2);
    EXPECT_EQ(f.wkc(1), 2);
    EXPECT_EQ(f.wkc(2), 1);
    EXPECT_EQ(f.u16(2), 0x000C) << "DC, 64 bit";

    Frame w;
    w.add(Command::BWR, 0, ec::kRegStationAddress, le(0x4444, 2));
    const Bytes good = w.bytes();
    std::vector<Bytes> bad{{}, Bytes(good.begin(), good.begin() + 15)};
    for (auto [at, v] : {std::pair<size_t, uint16_t>{12, 0x0088},
                         {14, 0x4000 | 14},
                         {14, 0x17FF},
                         {22, 200},
                         {22, 0x8002}}) {
        bad.push_back(good);
        sim::wr16(&bad.back()[at], v);  // not 0x88A4, type 4, too long, datagram beyond, "more"
    }
    for (size_t i = 0; i < bad.size(); ++i) {
        auto copy = bad[i];
        EXPECT_TRUE(chain.processFrame(copy)) << i;
        EXPECT_EQ(copy, bad[i]) << i;
    }
    EXPECT_EQ(chain.readRegisters(1, ec::kRegStationAddress, 2), le(0, 2));
    std::mt19937 rng(5);
    for (int i = 0; i < 500; ++i) {  // cut and corrupted frames never reach outside the buffer
        Bytes fuzz(good.begin(), good.begin() + long(i % good.size()));
        for (size_t k = 14; k < fuzz.size(); k += 1 + rng() % 6)
            fuzz[k] = uint8_t(rng());
        const size_t n = fuzz.size();
        chain.processFrame(fuzz);
        EXPECT_EQ(fuzz.size(), n);
    }
}

struct AlTest : ::testing::Test {
    sim::Chain chain{sim::ChainConfig::drives(2)};
    const uint16_t st = station(1);
    void SetUp() override { assignStations(chain, 2); }
    // Requests `state` and checks AL status and code as a master reads them (0x0130, 6 bytes).
    void expect(uint16_t request, uint16_t state, uint16_t code) {
        requestState(chain, st, request);
        const Reply r = fprd(chain, st, ec::kRegAlStatus, 6);
        EXPECT_EQ(r.u16(0), state) << "request " << request;
        EXPECT_EQ(r.u16(4), code) << "request " << request;
    }
};

TEST_F(AlTest, PowerOnRegistersAndRefusedTransitions) {
    EXPECT_EQ(fprd(chain, st, ec::kRegWatchdogDivider, 2).u16(), 2498);
    EXPECT_EQ(fprd(chain, st, ec::kRegWatchdogSm, 2).u16(), 1000);
    EXPECT_EQ(fprd(chain, st, ec::kRegPdiControl, 2).u16(), 0x0C05);
    EXPECT_EQ(fprd(chain, station(1), ec::kRegDlStatus, 2).u16(), 0x5A33) << "middle of the line";
    EXPECT_EQ(fprd(chain, station(2), ec::kRegDlStatus, 2).u16(), 0x5613) << "end of the line";
    struct Case {
        uint16_t request, state, code;
    };
    for (const Case c : {Case{kSafeOp, kInit | kErr, ec::kAlInvalidStateChange},
                         {kInit | kErr, kInit, 0},
                         {kOp, kInit | kErr, ec::kAlInvalidStateChange},
                         {kPreOp, kInit | kErr, ec::kAlInvalidStateChange},  // no ack: ignored
                         {kInit | kErr, kInit, 0},
                         {5, kInit | kErr, ec::kAlUnknownState},
                         {kInit, kInit | kErr, ec::kAlUnknownState},  // served, error kept
                         {0x0F | kErr, kInit | kErr, ec::kAlUnknownState},
                         {kPreOp | kErr, kInit | kErr, ec::kAlInvalidMailboxPreOp},
                         {kBoot | kErr, kInit | kErr, ec::kAlInvalidMailboxBoot}})
        expect(c.request, c.state, c.code);

    // PRE-OP needs exactly the mailbox SyncManagers of the EEPROM.
    for (auto [len, flags] : {std::pair<uint16_t, uint32_t>{0x40, ec::kSmFlagsMailboxIn},
                              {0x80, 0x00000022},
                              {0x80, ec::kSmFlagsMailboxIn}}) {
        bwr(chain, ec::kRegSm0, zeros(16));
        fpwr(chain, st, ec::kRegSm0, smBytes(0x1000, 0x80, ec::kSmFlagsMailboxOut));
        fpwr(chain, st, ec::kRegSm0 + 8, smBytes(0x1080, len, flags));
        const bool good = flags == ec::kSmFlagsMailboxIn && len == 0x80;
        expect(kPreOp | kErr, good ? kPreOp : kInit | kErr, good ? 0 : ec::kAlInvalidMailboxPreOp);
    }
    // The window is fixed while the SyncManager is on.
    fpwr(chain, st, ec::kRegSm0, smBytes(0x1200, 0x20, ec::kSmFlagsMailboxOut));
    EXPECT_EQ(fprd(chain, st, ec::kRegSm0, 4).u32(), 0x00801000u);
    for (uint16_t to : {kOp, kBoot}) {
        expect(to, kPreOp | kErr, ec::kAlInvalidStateChange);
        expect(kPreOp | kErr, kPreOp, 0);
    }
    // SAFE-OP checks the process-data SyncManagers and FMMUs.
    struct Pd {
        uint16_t sm2Start, sm2Len;
        uint32_t sm2Flags;
        uint16_t sm3Start, sm3Len;
        uint32_t sm3Flags;
        uint16_t code;
    };
    for (const Pd& c : {Pd{0x1100, 0, 0, 0x1400, 32, 0x10020, ec::kAlInvalidOutputConfig},
                        {0x1100, 17, 0x10064, 0x1400, 32, 0x10020, ec::kAlInvalidOutputConfig},
                        {0x1100, 19, 0x10064, 0x1400, 32, 0x10020, ec::kAlInvalidOutputConfig},
                        {0x1100, 18, 0x10060, 0x1400, 32, 0x10020, ec::kAlInvalidOutputConfig},
                        {0x1100, 18, 0x10066, 0x1400, 32, 0x10020, ec::kAlInvalidOutputConfig},
                        {0x1100, 18, 0x10064, 0x1400, 33, 0x10020, ec::kAlInvalidInputConfig},
                        {0x1100, 18, 0x10064, 0x1400, 31, 0x10020, ec::kAlInvalidInputConfig},
                        {0x1100, 18, 0x10064, 0x1400, 32, 0x00020, ec::kAlInvalidInputConfig},
                        {0x1100, 18, 0x10064, 0x1120, 32, 0x10020, ec::kAlInvalidSmConfig},
                        {0x1070, 18, 0x10064, 0x1400, 32, 0x10020, ec::kAlInvalidSmConfig}}) {
        fpwr(chain, st, ec::kRegSm0 + 16, zeros(16));
        fpwr(chain, st, ec::kRegSm0 + 16, smBytes(c.sm2Start, c.sm2Len, c.sm2Flags));
        fpwr(chain, st, ec::kRegSm0 + 24, smBytes(c.sm3Start, c.sm3Len, c.sm3Flags));
        expect(kSafeOp, kPreOp | kErr, c.code);
        expect(kPreOp | kErr, kPreOp, 0);
    }
    fpwr(chain, st, ec::kRegSm0 + 16, zeros(16));
    writeProcessDataConfig(chain, 1, 2);
    fpwr(chain, st, ec::kRegFmmu0 + 32, fmmuBytes(0x100, 4, 0x1408, ec::kFmmuTypeWrite));
    expect(kSafeOp, kPreOp | kErr, ec::kAlInvalidInputFmmu);
    fpwr(chain, st, ec::kRegFmmu0 + 32, zeros(16));
    expect(kSafeOp | kErr, kSafeOp, 0);
    expect(kBoot, kSafeOp | kErr, ec::kAlInvalidStateChange);
    expect(kSafeOp | kErr, kSafeOp, 0);
    expect(kOp, kOp, 0);
    expect(kBoot, kSafeOp | kErr, ec::kAlInvalidStateChange);  // a refusal in OP drops to SAFE-OP
    expect(kInit, kInit | kErr, ec::kAlInvalidStateChange);    // INIT served without acknowledge
    // In INIT the firmware has switched the mailbox off: a plain rewrite moves it (bootstrap).
    fpwr(chain, st, ec::kRegSm0, smBytes(0x1800, 0x400, ec::kSmFlagsMailboxOut));
    EXPECT_EQ(fprd(chain, st, ec::kRegSm0, 4).u32(), 0x04001800u);
}

TEST_F(AlTest, GoingDownRefusalsForcedErrorsAndBroadcast) {
    for (uint16_t from : {kPreOp, kSafeOp, kOp})
        for (uint16_t to : {kInit, kPreOp, kSafeOp})
            if (to < from) {
                bringUp(chain, 2, from);
                expect(to, to, 0);
            }
    bringUp(chain, 2, kSafeOp);
    chain.refuseState(1, kOp, ec::kAlNoSyncError);
    expect(kOp, kSafeOp | kErr, ec::kAlNoSyncError);
    EXPECT_EQ(chain.alState(2), kSafeOp);
    chain.acceptState(1, kOp);
    expect(kSafeOp | kErr, kSafeOp, 0);
    expect(kOp, kOp, 0);
    chain.forceSafeOpError(1, ec::kAlSyncError);
    expect(kOp, kSafeOp | kErr, ec::kAlSyncError);  // no acknowledge: ignored
    expect(kSafeOp | kErr, kSafeOp, 0);
    bringUp(chain, 2, kPreOp);
    chain.forceSafeOpError(1, ec::kAlInvalidOutputMapping);
    expect(kPreOp, kPreOp | kErr, ec::kAlInvalidOutputMapping);  // the state stays, with error
    expect(kPreOp | kErr, kPreOp, 0);
    for (int n = 1; n <= 2; ++n)
        writeProcessDataConfig(chain, n, 2);

    chain.refuseState(2, kSafeOp, ec::kAlInvalidInputMapping);
    EXPECT_EQ(bwr(chain, ec::kRegAlControl, le(kSafeOp, 2)).wkc, 2);
    EXPECT_EQ(brd(chain, ec::kRegAlStatus, 2).u16(), kSafeOp | kPreOp | kErr);
    EXPECT_EQ(chain.alStatusCode(2), ec::kAlInvalidInputMapping);

    sim::ChainConfig cfg;  // a coupler walks up without SyncManagers, has no bootloader, no DC
    cfg.slaves.push_back(sim::SlaveConfig::coupler());
    sim::Chain coupler(cfg);
    assignStations(coupler, 1);
    for (uint16_t s : {kPreOp, kSafeOp, kOp, kInit, kBoot})
        requestState(coupler, station(1), s);
    EXPECT_EQ(alStatus(coupler, station(1)), kInit | kErr);
    EXPECT_EQ(coupler.alStatusCode(1), ec::kAlBootstrapNotSupported);
    EXPECT_EQ(fprd(coupler, station(1), ec::kRegFeatures, 2).u16() & ec::kFeatureDc, 0);
    EXPECT_EQ(sim::rd32(siiRead(coupler, station(1), ec::kSiiStdRxMailbox).data()), 0u);
}

TEST(Al, DelayedTransitionShowsOnlyAfterItsTime) {
    auto clock = std::make_shared<sim::ManualClock>();
    auto cfg = sim::ChainConfig::drives(1);
    cfg.clock = clock;
    cfg.slaves[0].alTransitionDelayNs = 5'000'000;
    sim::Chain chain(cfg);
    bringUp(chain, 1, kPreOp);
    EXPECT_EQ(alStatus(chain, station(1)), kInit);
    clock->advance(4'999'999);
    EXPECT_EQ(alStatus(chain, station(1)), kInit);
    clock->advance(1);
    EXPECT_EQ(alStatus(chain, station(1)), kPreOp);
}

TEST(Sii, ReadOutMatchesTheImageAndWritesNeedEnable) {
    auto cfg = sim::ChainConfig::drives(2);
    cfg.slaves[1].siiReads8Bytes = false;
    cfg.slaves[1].identity.serial = 0xABCDEF01;
    sim::Chain chain(cfg);
    assignStations(chain, 2);
    const uint16_t st = station(1);
    EXPECT_EQ(siiRead(chain, st, ec::kSiiVendorId),
              Bytes({0x7A, 0x0B, 0, 0, 0x30, 0x33, 0x4A, 0x51}));
    EXPECT_EQ(siiRead(chain, station(2), ec::kSiiSerial), le(0xABCDEF01, 4));
    EXPECT_EQ(siiRead(chain, station(2), ec::kSiiStdRxMailbox), le(0x00801000, 4));
    EXPECT_EQ(siiRead(chain, st, 0x3000), Bytes(8, 0xFF)) << "beyond the image: erased";

    std::vector<uint16_t> img, read;
    chain.withSlave(1, [&img](sim::Esc& esc, sim::SlaveApplication*) { img = esc.sii(); });
    for (uint16_t w = 0; read.size() < img.size(); w = uint16_t(w + 4)) {
        const Bytes d = siiRead(chain, st, w);
        for (size_t i = 0; i < 8; i += 2)
            read.push_back(sim::rd16(&d[i]));
    }
    read.resize(img.size());
    EXPECT_EQ(read, img);
    EXPECT_EQ(img[ec::kSiiChecksum], sim::siiChecksum(img));
    EXPECT_EQ(sim::siiChecksum(std::vector<uint16_t>{0x0104, 0, 0, 0x000F, 0, 0, 0}), 0xD8);
    EXPECT_EQ(img[ec::kSiiMailboxProtocols], ec::kMbxProtoCoE | ec::kMbxProtoFoE);

    fpwr(chain, st, ec::kRegSiiControl, {0x00, 0x03});  // no such command
    EXPECT_TRUE(fprd(chain, st, ec::kRegSiiControl, 2).u16() & ec::kSiiErrorAck);
    fpwr(chain, st, ec::kRegSiiControl, {0x00, 0x00});
    EXPECT_EQ(fprd(chain, st, ec::kRegSiiControl, 2).u16() & ec::kSiiErrorMask, 0);
    for (uint8_t enable : {0, 1}) {
        fpwr(chain, st, ec::kRegSiiAddress, le(ec::kSiiAlias, 4));
        fpwr(chain, st, ec::kRegSiiData, le(0x0042, 2));
        fpwr(chain, st, ec::kRegSiiControl, {enable, 0x02});
        EXPECT_EQ(bool(fprd(chain, st, ec::kRegSiiControl, 2).u16() & 0x4000), !enable);
        EXPECT_EQ(sim::rd16(siiRead(chain, st, ec::kSiiAlias).data()), enable ? 0x42 : 0);
    }
    fpwr(chain, st, ec::kRegSiiControl, {0x00, 0x04});  // reload
    EXPECT_EQ(fprd(chain, st, ec::kRegStationAlias, 2).u16(), 0x0042);
}

TEST(Dc, DelaysOffsetDriftSteeringAndSync0) {
    auto clock = std::make_shared<sim::ManualClock>(5'000'000'000);
    auto cfg = sim::ChainConfig::drives(4);
    cfg.clock = clock;
    for (int i = 0; i < 4; ++i) {
        cfg.slaves[size_t(i)].hopDelayNs = 300;
        cfg.slaves[size_t(i)].localStartNs = 7'000'000LL * (i + 1);
    }
    cfg.slaves[3].driftPpm = 100.0;
    sim::Chain chain(cfg);
    assignStations(chain, 4);
    auto sysTime = [&](int n) { return fprd(chain, station(n), ec::kRegDcSystemTime, 8).u64(); };

    // Port receive times: the spread shrinks by twice the hop per slave down the line.
    const uint64_t t0 = sysTime(1);  // an offset write acts at once
    fpwr(chain, station(1), ec::kRegDcSystemOffset, le(1'000'000'000, 8));
    EXPECT_EQ(sysTime(1) - t0, 1'000'000'000u);
    EXPECT_EQ(bwr(chain, ec::kRegDcRecvTimePort0, zeros(4)).wkc, 4);
    const uint64_t master = 1'000'000'000'000ULL;
    for (int n = 1; n <= 4; ++n) {
        const Reply r = fprd(chain, station(n), ec::kRegDcRecvTimePort0, 8);
        EXPECT_EQ(int32_t(r.u32(4) - r.u32(0)), 600 * (4 - n)) << n;
        const uint64_t recv = fprd(chain, station(n), ec::kRegDcRecvTimeUnit, 8).u64();
        EXPECT_EQ(uint32_t(recv), r.u32(0));
        fpwr(chain, station(n), ec::kRegDcSystemOffset, le(master - recv, 8));
        fpwr(chain, station(n), ec::kRegDcSystemDelay, le(300u * uint32_t(n - 1), 4));
    }
    clock->advance(1'000'000);
    Frame f;
    for (int n = 1; n <= 4; ++n)
        f.add(Command::FPRD, station(n), ec::kRegDcSystemTime, zeros(8));
    ASSERT_TRUE(f.run(chain));
    EXPECT_EQ(f.u64(0) - master, 1'000'000u);
    for (size_t n = 1; n < 3; ++n)
        EXPECT_EQ(int64_t(f.u64(0) - f.u64(n)), 300 * int64_t(n)) << "trails by the line delay";

    // The last clock runs 100 ppm fast until written system times steer it back.
    const uint64_t ref0 = sysTime(1), fast0 = sysTime(4);
    clock->advance(1'000'000'000);
    EXPECT_EQ(sysTime(1) - ref0, 1'000'000'000u);
    EXPECT_EQ(sysTime(4) - fast0, 1'000'100'000u);
    auto deviation = [&] {
        Frame g;
        g.add(Command::FPRD, station(1), ec::kRegDcSystemTime, zeros(8));
        g.add(Command::FPRD, station(4), ec::kRegDcSystemTime, zeros(8));
        g.run(chain);
        return int64_t(g.u64(1) - g.u64(0));
    };
    EXPECT_GT(deviation(), 90'000);
    for (int i = 0; i < 2000; ++i) {
        clock->advance(2'000'000);
        single(chain, Command::FRMW, station(1), ec::kRegDcSystemTime, zeros(8));
    }
    EXPECT_LT(std::abs(deviation()), 2'000) << "steered close to the reference";
    const uint64_t before = sysTime(3);
    fpwr(chain, station(3), ec::kRegDcSystemTime, le(before + 5'000'000'000ULL, 8));
    EXPECT_LT(sysTime(3) - before, 1'000'000u) << "the written value itself is not stored";
    EXPECT_TRUE(fprd(chain, station(3), ec::kRegDcSystemDiff, 4).u32() & 0x80000000u);

    // SYNC0 as a master activates it; a start time in the past is out of range.
    const uint16_t st = station(2);
    const uint32_t cycle = 2'000'000;
    const uint64_t start = (sysTime(2) / cycle + 51) * cycle;
    fpwr(chain, st, ec::kRegDcStartTime, le(start, 8));
    fpwr(chain, st, ec::kRegDcSync0Cycle, le(cycle, 4));
    fpwr(chain, st, ec::kRegDcActivation, {0x03});
    EXPECT_EQ(fprd(chain, st, ec::kRegDcActivationStatus, 1).data[0] & 1, 1) << "SYNC0 pending";
    clock->advance(int64_t(start - sysTime(2)) + 5'000'000);
    EXPECT_EQ(fprd(chain, st, ec::kRegDcActivationStatus, 1).data[0] & 1, 0);
    const uint64_t next = fprd(chain, st, ec::kRegDcStartTime, 8).u64();
    EXPECT_EQ(next, start + 3 * cycle);
    uint64_t pulses = 0;
    chain.withSlave(2, [&](sim::Esc& esc, sim::SlaveApplication*) {
        pulses = esc.sync0Pulses(esc.hostNowNs());
    });
    EXPECT_EQ(pulses, 3u);
    fpwr(chain, station(1), ec::kRegDcStartTime, le(sysTime(1) - 1'000'000, 8));
    fpwr(chain, station(1), ec::kRegDcSync0Cycle, le(1'000'000, 4));
    fpwr(chain, station(1), ec::kRegDcActivation, {0x03});
    EXPECT_EQ(fprd(chain, station(1), ec::kRegDcActivationStatus, 1).data[0], 0x04);
}

struct PdTest : ::testing::Test {
    std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
    std::unique_ptr<sim::Chain> chain;
    Bytes image = zeros(3 * 50);
    void SetUp() override { make(1000); }
    void make(uint16_t watchdogTicks) {
        auto cfg = sim::ChainConfig::drives(3);
        cfg.clock = clock;
        for (auto& s : cfg.slaves)
            s.smWatchdogTicks = watchdogTicks;
        chain = std::make_unique<sim::Chain>(cfg);
    }
    uint8_t* out(int n) { return &image[size_t(18 * (n - 1))]; }
    static TCiA402_GetValue in(const Reply& x, int n) {
        return decodeInputImage(&x.data[size_t(54 + 32 * (n - 1))]);
    }
    Reply cycle() {
        clock->advance(2'000'000);
        return lrw(*chain, image);
    }
    // At the watchdog time after drive 1 took its last outputs (120 ns down the line), 1 ns on.
    void watchdogAt(int64_t ns) {
        clock->advance(ns + 120);
        chain->poll();
        EXPECT_EQ(chain->alState(1), kOp);
        clock->advance(1);
        chain->poll();
        EXPECT_EQ(chain->alState(1), kSafeOp | kErr);
        EXPECT_EQ(chain->alStatusCode(1), ec::kAlSmWatchdog);
    }
};

TEST_F(PdTest, ImagesMoveOnlyInTheirStatesAndWindows) {
    bringUp(*chain, 3, kPreOp);
    for (int n = 1; n <= 3; ++n) {
        writeProcessDataConfig(*chain, n, 3);
        storeLe16(out(n) + kOutMode, uint16_t(8 + n));
    }
    EXPECT_EQ(cycle().wkc, 0) << "no process data before SAFE-OP";
    for (uint16_t s : {kSafeOp, kOp})
        for (int n = 1; n <= 3; ++n)
            requestState(*chain, station(n), s);
    auto lastBuffer = [&] { return (fprd(*chain, station(1), 0x0815, 1).data[0] >> 4) & 3; };
    EXPECT_EQ(lastBuffer(), 3) << "none written yet";
    Reply x = cycle();
    EXPECT_EQ(lastBuffer(), 0);
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(chain->readRegisters(n, 0x1100, 18), Bytes(out(n), out(n) + 18));
    x = cycle();
    EXPECT_EQ(lastBuffer(), 1);
    EXPECT_EQ(Bytes(x.data.begin(), x.data.begin() + 54), Bytes(image.begin(), image.begin() + 54));
    for (int n = 1; n <= 3; ++n) {
        EXPECT_EQ(+in(x, n).statusWord, 0x0250);
        EXPECT_EQ(+in(x, n).modeDisplay, 8 + n);
        EXPECT_EQ(+in(x, n).mcuTemp, 38);
        EXPECT_EQ(+in(x, n).mosTemp, 35);
        EXPECT_EQ(+in(x, n).motorTemp, 25);
    }
    cycle();
    EXPECT_EQ(lastBuffer(), 2);
    cycle();
    EXPECT_EQ(lastBuffer(), 0);
    for (int n = 1; n <= 3; ++n)
        requestState(*chain, station(n), kSafeOp);
    storeLe16(out(1) + kOutMode, 6);
    EXPECT_EQ(cycle().wkc, 9);
    EXPECT_NE(+in(cycle(), 1).modeDisplay, 6) << "outputs are not applied in SAFE-OP";
    for (int n = 1; n <= 3; ++n)
        requestState(*chain, station(n), kOp);

    Frame f;  // separate reads and writes count once per slave
    f.addLogical(Command::LWR, 0, zeros(54));
    f.addLogical(Command::LRD, 54, zeros(96));
    f.addLogical(Command::LRD, 0, zeros(150));
    f.addLogical(Command::LRW, 0x10000, zeros(8));
    f.addLogical(Command::LRD, 54 + 32, zeros(2));
    ASSERT_TRUE(f.run(*chain));
    for (auto [i, wkc] : {std::pair<size_t, int>{0, 3}, {1, 3}, {2, 3}, {3, 0}, {4, 1}})
        EXPECT_EQ(f.wkc(i), wkc) << i;
    EXPECT_EQ(f.u16(4), 0x0250) << "drive 2's status word alone";

    // A bit-wise FMMU: logical 0x8000 bits 2..5 onto RAM 0x1800 bits 4..7.
    Bytes fmmu = fmmuBytes(0x8000, 1, 0x1800, ec::kFmmuTypeRead | ec::kFmmuTypeWrite);
    fmmu[6] = 2;
    fmmu[7] = 5;
    fmmu[10] = 4;
    fpwr(*chain, station(1), ec::kRegFmmu0 + 32, fmmu);
    EXPECT_EQ(single(*chain, Command::LWR, 0x8000, 0, {0xFF}).wkc, 1);
    EXPECT_EQ(chain->readRegisters(1, 0x1800, 1)[0], 0xF0);
    fpwr(*chain, station(1), 0x1800, {0x50});
    EXPECT_EQ(single(*chain, Command::LRD, 0x8000, 0, {0x83}).data[0], 0x97);
    fpwr(*chain, station(2), ec::kRegFmmu0 + 12, {0x00});  // inactive FMMUs take no part
    fpwr(*chain, station(2), ec::kRegFmmu0 + 28, {0x00});
    EXPECT_EQ(cycle().wkc, 6);
}

TEST_F(PdTest, WatchdogAndErrorsStopTheOutputs) {
    bringUp(*chain, 3, kOp);
    for (uint16_t cw : {0x06, 0x07, 0x0F}) {
        storeLe16(out(1) + kOutControlWord, cw);
        cycle();
    }
    EXPECT_EQ(+in(cycle(), 1).statusWord, 0x0237);
    watchdogAt(100'000'000);  // 1000 x (2498 + 2) x 40 ns
    EXPECT_EQ(chain->readRegisters(1, ec::kRegWatchdogSmStatus, 1)[0] & 1, 0) << "expired";
    EXPECT_EQ(chain->alState(3), kOp) << "drive 3 took its outputs 240 ns later";
    clock->advance(240);
    chain->poll();
    EXPECT_EQ(chain->alState(3), kSafeOp | kErr);
    const Reply x = lrw(*chain, image);
    EXPECT_EQ(x.wkc, 3) << "SM2 stays off until acknowledged: only the inputs count";
    EXPECT_EQ(+in(x, 1).statusWord, 0x0250) << "the drive disabled itself";
    for (int n = 1; n <= 3; ++n) {
        requestState(*chain, station(n), kSafeOp | ec::kAlStateAck);
        requestState(*chain, station(n), kOp);
    }
    EXPECT_EQ(cycle().wkc, 9);
    EXPECT_EQ(chain->readRegisters(1, ec::kRegWatchdogSmStatus, 1)[0] & 1, 1) << "retriggered";

    chain->forceSafeOpError(2, 0x1B);
    EXPECT_EQ(cycle().wkc, 7) << "drive 2 reads its inputs, takes no outputs";
    requestState(*chain, station(2), kOp);
    EXPECT_EQ(cycle().wkc, 7);
    requestState(*chain, station(2), kSafeOp | ec::kAlStateAck);
    requestState(*chain, station(2), kOp);
    EXPECT_EQ(cycle().wkc, 9);
    requestState(*chain, station(1), kSafeOp);
    EXPECT_EQ(chain->drive(1)->statusWord(), 0x0250) << "leaving OP disables the drive";

    bwr(*chain, ec::kRegWatchdogSm, le(0, 2));  // switched off
    clock->advance(10'000'000'000);
    chain->poll();
    EXPECT_EQ(chain->alState(2), kOp);
    make(20000);  // 2 s from the configuration
    bringUp(*chain, 3, kOp);
    EXPECT_EQ(fprd(*chain, station(1), ec::kRegWatchdogSm, 2).u16(), 20000);
    cycle();
    watchdogAt(2'000'000'000);
}

TEST(Faults, LossCablesAndRemovedSlaves) {
    sim::Chain a(sim::ChainConfig::drives(3)), b(sim::ChainConfig::drives(3));
    auto pattern = [](sim::Chain& c, uint64_t seed, double loss) {
        c.setFrameLoss(loss, seed);
        std::vector<bool> lost;
        for (int i = 0; i < 1000; ++i)
            lost.push_back(brd(c, ec::kRegType, 1).lost);
        return lost;
    };
    const auto pa = pattern(a, 7, 0.2);
    const auto lost = std::count(pa.begin(), pa.end(), true);
    EXPECT_EQ(pa, pattern(b, 7, 0.2)) << "seeded: reproducible";
    EXPECT_NE(pa, pattern(b, 8, 0.2));
    EXPECT_GT(lost, 150);
    EXPECT_LT(lost, 250);
    EXPECT_EQ(a.framesLost(), uint64_t(lost));
    EXPECT_EQ(pattern(a, 1, 1.0), std::vector<bool>(1000, true));
    EXPECT_EQ(pattern(a, 1, 0.0), std::vector<bool>(1000, false));
    a.setFrameLoss(1.0, 1, sim::LossPoint::Return);  // after the slaves acted
    EXPECT_TRUE(bwr(a, ec::kRegStationAddress, le(0x0BAD, 2)).lost);
    a.setFrameLoss(1.0, 1, sim::LossPoint::Outbound);
    EXPECT_TRUE(bwr(a, ec::kRegStationAddress, le(0x0123, 2)).lost);
    EXPECT_EQ(a.readRegisters(2, ec::kRegStationAddress, 2), le(0x0BAD, 2));

    sim::Chain chain(sim::ChainConfig::drives(3));
    bringUp(chain, 3, kOp);
    chain.pullDrive(2);
    EXPECT_EQ(chain.reachable(), 1u);
    EXPECT_EQ(brd(chain, ec::kRegType, 1).wkc, 1);
    EXPECT_EQ(fprd(chain, station(1), ec::kRegDlStatus, 2).u16(), 0x5613) << "now the last";
    EXPECT_EQ(lrw(chain, zeros(150)).wkc, 3);
    chain.plugDrive(2);
    EXPECT_EQ(fprd(chain, station(1), ec::kRegDlStatus, 2).u16(), 0x5A33);
    EXPECT_EQ(alStatus(chain, station(1)), kOp) << "slave 1 never lost power";
    for (int n = 2; n <= 3; ++n) {
        EXPECT_EQ(chain.readRegisters(n, ec::kRegStationAddress, 2), zeros(2)) << "powered up anew";
        EXPECT_EQ(chain.alState(n), kInit);
    }
    bringUp(chain, 3, kOp);
    EXPECT_EQ(lrw(chain, zeros(150)).wkc, 9);
    chain.removeSlave(2);
    EXPECT_EQ(single(chain, Command::APRD, 0xFFFF, ec::kRegStationAddress, zeros(2)).u16(),
              station(3));
    chain.restoreSlave(2);
    EXPECT_EQ(brd(chain, ec::kRegType, 1).wkc, 3);
    EXPECT_EQ(chain.alState(2), kInit);
    chain.pullDrive(1);
    EXPECT_TRUE(brd(chain, ec::kRegType, 1).lost) << "nobody on the line";
    chain.plugDrive(1);
    for (int p : {0, -1, 4}) {
        chain.pullDrive(p);
        chain.removeSlave(p);
        chain.forceSafeOpError(p, 0x1B);
        EXPECT_EQ(chain.alState(p), 0);
    }
    EXPECT_EQ(brd(chain, ec::kRegType, 1).wkc, 3);
}

}  // namespace
