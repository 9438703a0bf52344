// The slave controllers as a master meets them on the wire, faults injected into the line included.
#include "sim/sii.h"
#include "sim_fixture.h"

using namespace simtest;
using namespace ec;

namespace {

constexpr uint16_t kInit = kAlStateInit, kPreOp = kAlStatePreOp, kBoot = kAlStateBoot,
                   kSafeOp = kAlStateSafeOp, kOp = kAlStateOp, kErr = kAlStateError,
                   kInitE = kInit | kErr, kBootE = kBoot | kErr, kPreOpE = kPreOp | kErr,
                   kSafeOpE = kSafeOp | kErr;

TEST(Datagrams, EachCommandAddressesCountsAndIncrements) {
    sim::Chain chain(sim::ChainConfig::drives(3));
    assignStations(chain, 3);
    fpwr(chain, station(1), kRegEcatEventMask, le(4, 2));
    for (int n = 1; n <= 3; ++n)
        fpwr(chain, station(n), kRegDcSystemOffset, le(100u * n, 8));
    const Bytes x{0x5A, 0xA5};
    fpwr(chain, station(2), 0x1000, x);
    fpwr(chain, station(3), 0x1000, {1, 2, 3, 4, 5, 6, 7, 8});  // under SM0, SM1 (empty)
    fpwr(chain, station(3), kRegSm0,
         smBytes(0x1000, 2, kSmFlagsMailboxOut) + smBytes(0x1004, 4, kSmFlagsMailboxIn));
    // Command, address, offset, data sent; working counter, address and data back.
    for (auto [cmd, adp, ado, data, wkc, adpBack, back] :
         std::vector<std::tuple<uint8_t, uint16_t, uint16_t, Bytes, int, int, Bytes>>{
             {7, 0, kRegStationAddress, {0x10, 0x20}, 3, 3, le(0x1003 | 0x2010, 2)},  // ORed
             {1, 0xFFFD, kRegStationAddress, x, 0, 0, x},  // nobody at position 4
             {4, 0x2000, kRegStationAddress, Bytes(2), 0, 0x2000, Bytes(2)},
             {1, 0, 0xFFF0, Bytes(32, 0xEE), 1, 3, Bytes(32)},      // beyond the memory
             {1, 0xFFFF, 0x0FFE, Bytes(4), 1, 2, Bytes{0, 0} + x},  // registers, then RAM
             {4, station(3), 0x1002, Bytes(6), 1, station(3), Bytes{3, 4, 0, 0, 0, 0}},
             {7, 0, 0x0F00, Bytes(4, 0xEE), 3, 3, Bytes(4, 0xEE)},  // reserved: nothing ORed in
             {8, 0, kRegAlStatus, le(kOp, 2), 3, 3, le(kOp, 2)},    // read-only: counted
             {0, 0, kRegType, x, 0, 0, x},
             {15, 0, kRegType, x, 0, 0, x},
             // Read-write: the old value back, 3 per slave; each stores what reaches it.
             {6, station(1), kRegEcatEventMask, le(0x0101, 2), 3, station(1), le(4, 2)},
             {3, 0xFFFF, kRegEcatEventMask, le(0x0202, 2), 3, 2, Bytes(2)},
             {9, 0, kRegEcatEventMask, Bytes(2), 9, 3, le(0x0303, 2)},
             {4, station(3), kRegEcatEventMask, Bytes(2), 1, station(3), le(0x0303, 2)},
             // Read-multiple-write: slave 1's value into all the others (DC time spread).
             {14, station(1), kRegDcSystemOffset, Bytes(8), 3, station(1), le(100, 8)},
             {4, station(3), kRegDcSystemOffset, Bytes(8), 1, station(3), le(100, 8)},
             {13, 0, kRegDcSystemOffset, Bytes(8), 3, 3, le(100, 8)},
             // The event mask takes two bytes; the byte behind it stays reserved.
             {5, station(1), kRegEcatEventMask, le(0x123456, 3), 1, station(1), le(0x123456, 3)},
             {4, station(1), kRegEcatEventMask, Bytes(3), 1, station(1), le(0x3456, 3)}}) {
        const Datagram r = single(chain, Command(cmd), adp, ado, data);
        EXPECT_EQ(std::tuple(int(r.wkc), int(r.adp), r.data), std::tuple(wkc, adpBack, back))
            << int(cmd) << " " << adp;
    }
    EXPECT_EQ(single(chain, Command::BRD, 0, kRegAlStatus, Bytes(2)).u16(), kInit);
    EXPECT_EQ(fprd(chain, station(2), kRegEcatEventMask, 2).u16(), 0x0101);
    // Slave 2 leaves one read or write of the mask's second byte unanswered (a read-write: either).
    constexpr auto R = sim::Esc::AccessKind::Read, W = sim::Esc::AccessKind::Write;
    // clang-format off
    for (auto [kind, cmd, adp, wkc, adpBack] :
         std::vector<std::tuple<sim::Esc::AccessKind, uint8_t, uint16_t, int, int>>{
             {R, 1, 0xFFFF, 0, 2}, {W, 1, 0xFFFF, 1, 2}, {R, 2, 0xFFFF, 1, 2}, {W, 2, 0xFFFF, 0, 2},
             {W, 3, 0xFFFF, 0, 2}, {R, 6, station(2), 0, station(2)}, {R, 7, 0, 2, 3}, {W, 8, 0, 2, 3},
             {R, 9, 0, 6, 3}, {R, 13, 0xFFFF, 2, 2}, {W, 13, 0xFFFF, 3, 2},
             {W, 14, station(1), 2, station(1)}, {W, 5, station(2), 0, station(2)}}) {
        // clang-format on
        chain.ignoreAccesses(2, kRegEcatEventMask + 1, R, kind == R);
        chain.ignoreAccesses(2, kRegEcatEventMask + 1, W, kind == W);
        const Datagram r = single(chain, Command(cmd), adp, kRegEcatEventMask, le(0x0101, 2));
        EXPECT_EQ(std::tuple(int(r.wkc), int(r.adp)), std::tuple(wkc, adpBack)) << int(cmd);
    }
    EXPECT_EQ(fpwr(chain, station(2), kRegEcatEventMask, le(0x0C0D, 2)).wkc, 1);  // used up
    EXPECT_EQ(chain.datagramsToNobody(), 2u);  // position 4 and station 0x2000 above

    // Bit FMMUs: logical bit 3 of byte 0 to bit 6 of byte 1 onto physical bits 1..12, and back.
    fpwr(chain, station(1), kRegFmmu0,
         fmmuBytes(0x200, 2, 0x1F00, kFmmuTypeWrite, 3, 6, 1) +
             fmmuBytes(0x300, 2, 0x1F00, kFmmuTypeRead, 3, 6, 1));
    for (auto [logical, physical] : {std::pair(Bytes{0xFF, 0xFF}, Bytes{0xFE, 0x1F}),
                                     {Bytes{0xB7, 0x5A}, Bytes{0xAC, 0x16}}}) {
        EXPECT_EQ(single(chain, Command::LWR, 0x200, 0, logical).wkc, 1);
        EXPECT_EQ(chain.readRegisters(1, 0x1F00, 2), physical);
    }
    const Datagram back = single(chain, Command::LRD, 0x300, 0, {0x00, 0x80});
    EXPECT_EQ(std::tuple(back.wkc, back.data), std::tuple(1, Bytes{0xB0, 0xDA}));
    // From logical bit 3 to its byte's end onto physical bit 0: shifted, not copied byte-wise.
    fpwr(chain, station(1), kRegFmmu0 + 32, fmmuBytes(0x400, 1, 0x1F10, kFmmuTypeWrite, 3));
    EXPECT_EQ(single(chain, Command::LWR, 0x400, 0, {0xB7, 0x5A}).wkc, 1);
    EXPECT_EQ(chain.readRegisters(1, 0x1F10, 2), (Bytes{0x16, 0x00}));
    // Nine bits from a byte's start: the second byte takes its first bit only.
    fpwr(chain, station(1), kRegFmmu0 + 48, fmmuBytes(0x900, 2, 0x1F20, kFmmuTypeWrite, 0, 0));
    EXPECT_EQ(single(chain, Command::LWR, 0x900, 0, {0xFF, 0xFF}).wkc, 1);
    EXPECT_EQ(chain.readRegisters(1, 0x1F20, 2), (Bytes{0xFF, 0x01}));
}

TEST(Datagrams, FramesPassWholeMalformedOnesAndRefusedWritesAreNotedTheEepromHasItsSize) {
    sim::Chain chain(sim::ChainConfig::drives(1));
    Frame f;
    f.add(Command::BRD, 0, kRegType, Bytes(2)).add(Command::BWR, 0, kRegEcatEventMask, {4, 0});
    auto bytes = f.bytes(0x5C) + Bytes(9);  // Ethernet padding behind the datagrams
    bytes[6] = 0x00;                        // a universally administered source address
    ASSERT_TRUE(chain.processFrame(bytes));
    f.parse(bytes);  // source address locally administered on the way back, index kept
    EXPECT_EQ(std::tuple(bytes[6], bytes[17], bytes.size(), f.d[0].wkc, f.d[1].wkc),
              std::tuple(0x02, 0x5C, 16u + 2 * 14 + 9, 1, 1));

    const Bytes good = Frame().add(Command::BWR, 0, kRegStationAddress, {0x44, 0x44}).bytes();
    std::vector<Bytes> bad{{}, Bytes(good.begin(), good.begin() + 15)};
    // Not 0x88A4, EtherCAT type 4, length beyond the buffer or a header alone, datagram beyond it,
    // "more" missing.
    for (auto [at, v] : std::vector<std::pair<size_t, uint16_t>>{
             {12, 0x0088}, {14, 0x400E}, {14, 0x17FF}, {14, 0x100A}, {22, 200}, {22, 0x8002}})
        bad.push_back(good), sim::wr16(&bad.back()[at], v);
    for (size_t cut = 0; cut < good.size(); cut += 5)
        bad.emplace_back(good.begin(), good.begin() + long(cut));
    for (const Bytes& b : bad) {
        auto copy = b;
        EXPECT_TRUE(chain.processFrame(copy) && copy == b);
    }
    EXPECT_EQ(chain.readRegisters(1, kRegStationAddress, 2), Bytes(2)) << "none of them acted";
    // Foreign traffic passes unnoted; EtherCAT frames whose lengths do not add up are noted.
    const std::string at30 = "frame of 30 bytes: ", past = " past the EtherCAT length",
                      cut = " bytes: EtherCAT length past the frame";
    EXPECT_EQ(chain.takeRefusals(),
              (std::vector{at30 + "EtherCAT length past the frame", at30 + "datagram" + past,
                           at30 + "datagram" + past, at30 + "datagram header" + past,
                           "frame of 20" + cut, "frame of 25" + cut}));

    // Refused writes are noted and a refused SM or FMMU stays off; a byte shorter is taken.
    assignStations(chain, 1);
    const uint16_t st = station(1), sm2 = kRegSm0 + 16;
    const auto pd = ec::kSmFlagsMailboxIn & ~0x02u;  // buffered, ECAT reads, enabled
    const char* past7 = "FMMU0 enabled with a bit offset past 7";
    const char* pastMemory = "FMMU0 enabled with its physical range past the memory";
    const std::tuple<uint16_t, Bytes, const char*> rows[] = {
        {kRegAlControl, le(2, 3), "write of 3 byte(s) at 0x0120: 1 byte(s) from 0x0122"},
        {kRegStationAddress, le(0x1001, 3), "write of 3 byte(s) at 0x0010: 1 byte(s) from 0x0012"},
        {kRegSiiConfig, le(0, 2), "write of 2 byte(s) at 0x0500: 1 byte(s) from 0x0501"},
        {kRegAlStatus, le(0, 2), "write of 2 byte(s) at 0x0130: 2 byte(s) from 0x0130"},
        {kRegDcActivation - 1, le(0, 2), nullptr},
        {kRegDcFilterDepth, le(0, 3), "write of 3 byte(s) at 0x0934: 1 byte(s) from 0x0936"},
        {kRegDcActivation, le(0, 2), "write of 2 byte(s) at 0x0981: 1 byte(s) from 0x0982"},
        {0x0FFE, Bytes(4), "write of 2 byte(s) at 0x0FFE: 2 byte(s) from 0x0FFE"},  // then RAM
        {0x0310, Bytes(5), "write of 5 byte(s) at 0x0310: 1 byte(s) from 0x0314"},  // lost links
        {sm2, smBytes(0x1800, 0, pd), "SM2 enabled with length 0"},
        {sm2, smBytes(0x0FF0, 8, pd), "SM2 enabled with its window in the registers"},
        {sm2, smBytes(0x2FF0, 17, pd), "SM2 enabled with its window past the process RAM"},
        {sm2, smBytes(0x2FF0, 16, pd), nullptr},
        {kRegFmmu0, fmmuBytes(0x10000, 0, 0x1000, 1), "FMMU0 enabled with length 0"},
        {kRegFmmu0, fmmuBytes(0x10000, 2, 0x1000, 1, 8), past7},
        {kRegFmmu0, fmmuBytes(0x10000, 2, 0x1000, 1, 0, 8), past7},
        {kRegFmmu0, fmmuBytes(0x10000, 2, 0x1000, 1, 0, 7, 8), past7},
        {kRegFmmu0, fmmuBytes(0x10000, 1, 0x1000, 1, 5, 4),
         "FMMU0 enabled with its end bit before its start bit"},
        {kRegFmmu0, fmmuBytes(0x10000, 1, 0x1000, 1, 5, 5), nullptr},  // a single bit
        {kRegFmmu0, fmmuBytes(0x10000, 2, 0x1000, 0), "FMMU0 enabled with neither read nor write"},
        {kRegFmmu0, fmmuBytes(0x10000, 17, 0x2FF0, 1), pastMemory},
        {kRegFmmu0, fmmuBytes(0x10000, 16, 0x2FF0, 1, 0, 7, 1), pastMemory},
        {kRegFmmu0, fmmuBytes(0x10000, 16, 0x2FF0, 1, 7, 7, 7), nullptr},  // every bit at 7
    };
    for (const auto& [reg, data, refusal] : rows) {  // refusal: how the note starts; null: taken
        SCOPED_TRACE(refusal ? refusal : "taken");
        const bool record = reg == sm2 || reg == kRegFmmu0;
        if (record)
            fpwr(chain, st, reg, Bytes(data.size()));  // off, as it was
        EXPECT_EQ(fpwr(chain, st, reg, data).wkc, 1);
        const auto refusals = chain.takeRefusals();
        ASSERT_EQ(refusals.size(), refusal ? 1u : 0u);
        EXPECT_TRUE(!refusal || refusals[0].starts_with("slave 1: " + std::string(refusal)));
        const uint16_t activate = reg + (reg == sm2 ? 6 : 12);
        EXPECT_TRUE(!record || (fprd(chain, st, activate, 1).data[0] & 1) == (refusal ? 0 : 1));
    }

    // An EEPROM of its header's size ((code + 1) kbit): words in it read back; past it, no ack.
    const auto command = [&](uint16_t cmd, uint32_t word) {
        fpwr(chain, st, kRegSiiControl, le(cmd, 2) + le(word, 4));
        return fprd(chain, st, kRegSiiControl, 2).u16() & ec::kSiiErrorMask;
    };
    const auto write = [&](uint32_t word, uint32_t value) {
        fpwr(chain, st, kRegSiiData, le(value, 2));
        return command(ec::kSiiCmdWrite | 1, word);
    };
    const uint16_t header[8] = {0x0104, 0, 0, 0x000F, 0, 0, 0, 0xFFFF};  // CRC of words 0 to 6
    EXPECT_EQ(sim::siiChecksum(header), 0xD8);
    ASSERT_EQ(command(ec::kSiiCmdRead, ec::kSiiSizeCode), 0);
    const uint32_t words = (fprd(chain, st, kRegSiiData, 2).u16() + 1u) * 1024 / 16;
    for (const uint32_t word : {0x200u, words - 1})
        EXPECT_EQ((std::tuple{write(word, 0xBEEF ^ word), command(ec::kSiiCmdRead, word),
                              fprd(chain, st, kRegSiiData, 2).u16()}),
                  std::tuple(0, 0, 0xBEEF ^ word));
    EXPECT_EQ(command(ec::kSiiCmdWrite | 1, words), ec::kSiiErrorAck);
    // A reload takes alias, PDI control and ESC configuration from the words as they are now; the
    // alias addresses the slave only once the DL control enables it.
    EXPECT_EQ(
        (std::tuple{write(ec::kSiiAlias, 0x4321), write(ec::kSiiPdiControl, 0x0D06),
                    command(ec::kSiiCmdReload, 0), fprd(chain, st, ec::kRegStationAlias, 2).u16(),
                    fprd(chain, st, ec::kRegPdiControl, 2).u16(), fprd(chain, 0x4321, 0, 1).wkc}),
        std::tuple(0, 0, 0, 0x4321, 0x0D06, 0));
}

struct AlTest : ::testing::Test {
    sim::Chain chain{sim::ChainConfig::drives(2)};
    const uint16_t st = station(1);
    void SetUp() override { assignStations(chain, 2); }
    // Requests, each followed by the AL status and code it leaves (6 bytes at 0x0130).
    void walk(std::initializer_list<std::array<uint16_t, 3>> steps) {
        for (auto [request, state, code] : steps) {
            requestState(chain, st, request);
            const Datagram r = fprd(chain, st, kRegAlStatus, 6);
            EXPECT_EQ(r.u16(0) << 16 | r.u16(4), state << 16 | code) << "request " << request;
        }
    }
};

TEST_F(AlTest, PowerOnRegistersAndRefusedTransitions) {
    const Bytes sms = fprd(chain, st, kRegSm0, 32).data;  // every SM held off (the rest: traces)
    EXPECT_EQ(std::tuple(sms[7], sms[15], sms[23], sms[31]), std::tuple(1, 1, 1, 1));
    // Refused and acknowledged, unknown states, PRE-OP and BOOT without mailbox SyncManagers.
    // clang-format off
    walk({{kSafeOp, kInitE, kAlInvalidStateChange}, {kInitE, kInit, 0},
          {kOp, kInitE, kAlInvalidStateChange}, {kPreOp, kInitE, kAlInvalidStateChange},
          {kInitE, kInit, 0}, {5, kInitE, kAlUnknownState}, {kInit, kInitE, kAlUnknownState},
          {0x1F, kInitE, kAlUnknownState}, {kPreOpE, kInitE, kAlInvalidMailboxPreOp},
          {kBootE, kInitE, kAlInvalidMailboxBoot}});
    // clang-format on
    fpwr(chain, st, kRegSm0,
         smBytes(0x1000, 0x80, kSmFlagsMailboxOut) + smBytes(0x1080, 0x7F, 0x10022));
    walk({{kPreOpE, kInitE, kAlInvalidMailboxPreOp}});  // SM1 a byte short
    writeMailboxSms(chain, st);
    walk({{kPreOpE, kPreOp, 0}});
    fpwr(chain, st, kRegSm0, smBytes(0x1200, 0x20, kSmFlagsMailboxOut));
    EXPECT_EQ(fprd(chain, st, kRegSm0, 4).u32(), 0x00801000u) << "fixed while the SM is on";
    // clang-format off
    walk({{kOp, kPreOpE, kAlInvalidStateChange}, {kPreOpE, kPreOp, 0},
          {kBoot, kPreOpE, kAlInvalidStateChange}, {kPreOpE, kPreOp, 0}});
    // SAFE-OP checks SM2/SM3 (start, length, flags) one field off at a time, overlaps, FMMUs.
    const uint16_t out = kAlInvalidOutputConfig, in = kAlInvalidInputConfig;
    for (auto [field, value, code] : std::initializer_list<std::tuple<int, uint32_t, uint16_t>>{
             {1, 0, out}, {2, 0, out}, {1, 17, out}, {1, 19, out}, {2, 0x10060, out},
             {2, 0x10066, out}, {4, 33, in}, {4, 31, in}, {5, 0x20, in},
             {3, 0x1120, kAlInvalidSmConfig}, {0, 0x1070, kAlInvalidSmConfig}}) {
        // clang-format on
        uint32_t sm[6] = {0x1100, 18, 0x10064, 0x1400, 32, 0x10020};
        sm[field] = value;
        fpwr(chain, st, kRegSm0 + 16, Bytes(16));
        fpwr(chain, st, kRegSm0 + 16,
             smBytes(uint16_t(sm[0]), uint16_t(sm[1]), sm[2]) +
                 smBytes(uint16_t(sm[3]), uint16_t(sm[4]), sm[5]));
        walk({{kSafeOp, kPreOpE, code}, {kPreOpE, kPreOp, 0}});
    }
    fpwr(chain, st, kRegSm0 + 16, Bytes(16));
    writeProcessDataConfig(chain, 1, 2);
    fpwr(chain, st, kRegFmmu0 + 32, fmmuBytes(0x100, 4, 0x1408, kFmmuTypeWrite));
    walk({{kSafeOp, kPreOpE, kAlInvalidInputFmmu}, {kInitE, kInit, 0}});
    fpwr(chain, st, kRegFmmu0 + 32, Bytes(16));
    bringUp(chain, 2, kSafeOp);
    fpwr(chain, st, 0x1109, Bytes(9, 0xB2));  // SM2's first write since SAFE-OP, from its middle
    EXPECT_EQ(fprd(chain, st, 0x1100, 18).data, Bytes(9) + Bytes(9, 0xB2));
    // BOOT refused in SAFE-OP and in OP (which drops to SAFE-OP); INIT without acknowledge.
    // clang-format off
    walk({{kBoot, kSafeOpE, kAlInvalidStateChange}, {kSafeOpE, kSafeOp, 0}, {kOp, kOp, 0},
          {kBoot, kSafeOpE, kAlInvalidStateChange}, {kInit, kInitE, kAlInvalidStateChange},
          {kInitE, kInit, 0}});
    // clang-format on
    bringUp(chain, 2, kSafeOp);
    walk({{kInit, kInit, 0}});
    // A PDO assignment or mapping left half-done in PRE-OP, one count off at a time.
    bringUp(chain, 2, kPreOp);
    writeProcessDataConfig(chain, 1, 2);
    for (auto [index, code] : {std::pair(sim::kRxPdoAssign, kAlInvalidOutputMapping),
                               {sim::kRxPdoIndex, kAlInvalidOutputMapping},
                               {sim::kTxPdoAssign, kAlInvalidInputMapping},
                               {sim::kTxPdoIndex, kAlInvalidInputMapping}}) {
        sim::ObjectDictionary& od = chain.drive(1)->dictionary();
        od.setU32(index, 0, od.u32(index, 0) ^ 0x40);  // a count off, and back
        walk({{kSafeOp, kPreOpE, code}, {kPreOpE, kPreOp, 0}});
        od.setU32(index, 0, od.u32(index, 0) ^ 0x40);
    }
    // Forced errors keep the state; a refused transition on one slave shows in a broadcast read.
    bringUp(chain, 2, kPreOp);
    chain.forceSafeOpError(1, kAlInvalidOutputMapping);
    walk({{kPreOp, kPreOpE, kAlInvalidOutputMapping}, {kPreOpE, kPreOp, 0}});
    chain.refuseState(2, kSafeOp, kAlInvalidInputMapping);
    for (int n = 1; n <= 2; ++n)
        writeProcessDataConfig(chain, n, 2);
    EXPECT_EQ(single(chain, Command::BWR, 0, kRegAlControl, le(kSafeOp, 2)).wkc, 2);
    EXPECT_EQ(single(chain, Command::BRD, 0, kRegAlStatus, Bytes(2)).u16(), kSafeOp | kPreOpE);
}

TEST(Dc, DelaysOffsetDriftSteeringAndSync0) {
    auto clock = std::make_shared<sim::ManualClock>(5'000'000'000);
    auto chain = makeChain(4, clock, [](sim::ChainConfig& cfg) {
        for (int i = 0; i < 4; ++i) {
            cfg.slaves[size_t(i)].hopDelayNs = 300;
            cfg.slaves[size_t(i)].localStartNs = 7'000'000LL * (i + 1);
        }
        cfg.slaves[3].driftPpm = 100.0;
    });
    assignStations(*chain, 4);
    auto sysTime = [&](int n) { return fprd(*chain, station(n), kRegDcSystemTime, 8).u64(); };
    // Offsets and delays as a master writes them (from the ports' receive times: the traces).
    EXPECT_EQ(single(*chain, Command::BWR, 0, kRegDcRecvTimePort0, Bytes(4)).wkc, 4);
    for (int n = 1; n <= 4; ++n) {
        const uint64_t recv = fprd(*chain, station(n), kRegDcRecvTimeUnit, 8).u64();
        fpwr(*chain, station(n), kRegDcSystemOffset, le(1'000'000'000'000 - recv, 8));
        fpwr(*chain, station(n), kRegDcSystemDelay, le(300u * uint32_t(n - 1), 4));
    }
    Frame f;  // read in one frame, slave 3 is off by its written delay until steered
    ASSERT_TRUE(f.add(Command::FPRD, station(1), kRegDcSystemTime, Bytes(8))
                    .add(Command::FPRD, station(3), kRegDcSystemTime, Bytes(8))
                    .run(*chain));
    EXPECT_EQ(f.d[0].u64() - f.d[1].u64(), 600u);
    // The last clock runs 100 ppm fast until written system times steer it back.
    const uint64_t ref0 = sysTime(1), fast0 = sysTime(4);
    clock->advance(1'000'000'000);
    EXPECT_EQ(std::pair(sysTime(1) - ref0, sysTime(4) - fast0),
              std::pair(uint64_t(1'000'000'000), uint64_t(1'000'100'000)));
    const auto deviation = [&] { return std::abs(int64_t(sysTime(4) - sysTime(1))); };
    const int64_t before = deviation();
    for (int i = 0; i < 2000; ++i) {
        clock->advance(2'000'000);
        single(*chain, Command::FRMW, station(1), kRegDcSystemTime, Bytes(8));
    }
    EXPECT_LT(deviation(), before / 100) << "steered towards the reference";

    // SYNC0 as a master activates it; a start time in the past is out of range.
    const auto sync0 = [&](int n, uint64_t start, uint32_t cycle) {
        fpwr(*chain, station(n), kRegDcStartTime, le(start, 8));
        fpwr(*chain, station(n), kRegDcSync0Cycle, le(cycle, 4));
        fpwr(*chain, station(n), kRegDcActivation, {0x03});
        return fprd(*chain, station(n), kRegDcActivationStatus, 1).data[0];
    };
    const uint64_t start = (sysTime(2) / 2'000'000 + 51) * 2'000'000;
    EXPECT_EQ(sync0(2, start, 2'000'000) & 1, 1) << "pending";
    clock->advance(int64_t(start - sysTime(2)) + 5'000'000);
    EXPECT_EQ(fprd(*chain, station(2), kRegDcActivationStatus, 1).data[0] & 1, 0);
    EXPECT_EQ(fprd(*chain, station(2), kRegDcStartTime, 8).u64(), start + 3 * 2'000'000);
    EXPECT_EQ(sync0(1, sysTime(1) - 1'000'000, 1'000'000), 0x04);
    // The difference to a written time: bit 31 when the clock lags, at most 2^31 - 1 ns; none: 0.
    const auto diffTo = [&](int64_t ahead) {
        fpwr(*chain, station(4), kRegDcSystemTime, le(sysTime(4) + uint64_t(ahead), 8));
        return fprd(*chain, station(4), kRegDcSystemDiff, 4).u32();
    };
    EXPECT_EQ((std::tuple{diffTo(3'000'000'000), diffTo(-1000), diffTo(0)}),
              std::tuple(0xFFFFFFFFu, 1000u, 0u));
}

struct PdTest : ::testing::Test {
    std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
    std::unique_ptr<sim::Chain> chain = make(1000);
    Bytes image = Bytes(3 * 50);
    std::unique_ptr<sim::Chain> make(uint16_t watchdogTicks) {
        return makeChain(3, clock, [&](auto& c) { c.slaves[0].smWatchdogTicks = watchdogTicks; });
    }
    uint8_t* out(int n) { return &image[size_t(18 * (n - 1))]; }
    static TCiA402_GetValue in(const Datagram& x, int n) {
        return decodeInputImage(&x.data[size_t(54 + 32 * (n - 1))]);
    }
    Datagram cycle() {
        clock->advance(2'000'000);
        return lrw(*chain, image);
    }
    void all(std::initializer_list<uint16_t> states) {  // each state requested of every drive
        for (uint16_t state : states)
            for (int n = 1; n <= 3; ++n)
                requestState(*chain, station(n), state);
    }
    void after(int64_t ns) { clock->advance(ns), chain->poll(); }
    // At the watchdog time after drive n took its outputs (120 ns per slave) and 1 ns after it.
    void watchdogAt(int64_t ns, int n) {
        after(ns + 120 * n);
        EXPECT_EQ(chain->alState(n), kOp);
        after(1);
        EXPECT_EQ(chain->alState(n) << 16 | chain->alStatusCode(n), kSafeOpE << 16 | kAlSmWatchdog);
    }
};

TEST_F(PdTest, ImagesMoveOnlyInTheirStatesAndWindowsUntilACableIsPulled) {
    // Frames lost after the slaves acted, and before.
    chain->setFrameLoss(1.0, 1, sim::LossPoint::Return);
    EXPECT_TRUE(single(*chain, Command::BWR, 0, kRegStationAddress, le(0x0BAD, 2)).lost);
    chain->setFrameLoss(1.0, 1, sim::LossPoint::Outbound);
    EXPECT_TRUE(single(*chain, Command::BWR, 0, kRegStationAddress, le(0x0123, 2)).lost);
    EXPECT_EQ(chain->readRegisters(3, kRegStationAddress, 2), le(0x0BAD, 2));
    chain->setFrameLoss(0, 1);

    bringUp(*chain, 3, kPreOp);
    for (int n = 1; n <= 3; ++n)
        writeProcessDataConfig(*chain, n, 3), storeLe16(out(n) + kOutMode, uint16_t(8 + n));
    EXPECT_EQ(cycle().wkc, 0) << "no process data before SAFE-OP";
    all({kSafeOp, kOp});
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ((fprd(*chain, station(1), 0x0815, 1).data[0] >> 4) & 3, i ? (i - 1) % 3 : 3)
            << "the buffer written last";
        const Datagram x = cycle();
        EXPECT_EQ(std::pair(x.wkc, Bytes(x.data.begin(), x.data.begin() + 54)),
                  std::pair(uint16_t{9}, Bytes(image.begin(), image.begin() + 54)));
        for (int n = 1; n <= 3 && i > 0; ++n) {
            EXPECT_EQ(chain->readRegisters(n, 0x1100, 18), Bytes(out(n), out(n) + 18));
            EXPECT_EQ(in(x, n).statusWord << 8 | in(x, n).modeDisplay, 0x025000 | (8 + n));
        }
    }
    all({kSafeOp});
    storeLe16(out(1) + kOutMode, 6);
    EXPECT_EQ(cycle().wkc, 9);
    EXPECT_NE(+in(cycle(), 1).modeDisplay, 6) << "outputs are not applied in SAFE-OP";
    all({kOp});
    // A buffer written in two pieces shows once its last byte is in, both pieces whole.
    fpwr(*chain, station(1), 0x1100, Bytes(9, 0x11));
    fpwr(*chain, station(1), 0x1109, Bytes(9, 0x22));
    EXPECT_EQ(chain->readRegisters(1, 0x1100, 18), Bytes(9, 0x11) + Bytes(9, 0x22));

    Frame f;  // separate reads and writes count once per slave
    f.add(Command::LWR, 0, 0, Bytes(54)).add(Command::LRD, 54, 0, Bytes(96));
    f.add(Command::LRD, 0, 0, Bytes(150)).add(Command::LRW, 0, 1, Bytes(8));
    f.add(Command::LRD, 54 + 32, 0, Bytes(2));
    ASSERT_TRUE(f.run(*chain));
    for (auto [i, wkc] : {std::pair<size_t, int>{0, 3}, {1, 3}, {2, 3}, {3, 0}, {4, 1}})
        EXPECT_EQ(f.d[i].wkc, wkc) << i;
    EXPECT_EQ(f.d[4].u16(), 0x0250) << "drive 2's status word alone";

    fpwr(*chain, station(2), kRegFmmu0 + 12, {0x00});  // inactive FMMUs are left out
    fpwr(*chain, station(2), kRegFmmu0 + 28, {0x00});
    EXPECT_EQ(cycle().wkc, 6);
    // A pulled cable: slave 1 closes the line (fresh slaves coming back: tests/bus).
    chain->pullDrive(2);
    EXPECT_EQ(fprd(*chain, station(1), kRegDlStatus, 2).u16() << 8 | cycle().wkc, 0x5613 << 8 | 3);
    chain->plugDrive(2);
    EXPECT_EQ(fprd(*chain, station(1), kRegDlStatus, 2).u16(), 0x5A33);
    for (int i = 0; i < 300; ++i)  // slave 1 counts the lost links on port 1 up to 255
        chain->pullDrive(2), chain->plugDrive(2);
    EXPECT_EQ(std::tuple(chain->alState(1), chain->alState(3), chain->readRegisters(1, 0x0311, 1)),
              std::tuple(kOp, kInit, Bytes{0xFF}));
}

TEST_F(PdTest, WatchdogAndErrorsStopTheOutputs) {
    bringUp(*chain, 3, kOp);
    for (uint16_t cw : {0x06, 0x07, 0x0F})
        storeLe16(out(1) + kOutControlWord, cw), cycle();
    EXPECT_EQ(+in(cycle(), 1).statusWord, 0x0237);
    watchdogAt(100'000'000, 1);  // power-on 1000 x (2498 + 2) x 40 ns
    EXPECT_EQ(chain->readRegisters(1, kRegWatchdogSmStatus, 1)[0] & 1, 0) << "expired";
    EXPECT_EQ(chain->alState(3), kOp) << "drive 3 took its outputs 240 ns later";
    after(240);
    EXPECT_EQ(chain->alState(3), kSafeOpE);
    const Datagram x = lrw(*chain, image);
    EXPECT_EQ(x.wkc, 3) << "SM2 stays off until acknowledged: only the inputs count";
    EXPECT_EQ(+in(x, 1).statusWord, 0x0250) << "the drive disabled itself";
    all({kSafeOp | kAlStateAck, kOp});
    EXPECT_EQ(cycle().wkc, 9);
    EXPECT_EQ(chain->readRegisters(1, kRegWatchdogSmStatus, 1)[0] & 1, 1) << "retriggered";

    chain->forceSafeOpError(2, 0x1B);
    EXPECT_EQ(cycle().wkc, 7) << "drive 2 reads its inputs, takes no outputs";
    for (auto [state, wkc] : {std::pair(kOp, 7), {kSafeOp | kAlStateAck, 9}, {kOp, 9}}) {
        requestState(*chain, station(2), uint16_t(state));
        EXPECT_EQ(cycle().wkc, wkc) << state;
    }
    requestState(*chain, station(1), kSafeOp);
    EXPECT_EQ(chain->drive(1)->statusWord(), 0x0250) << "leaving OP disables the drive";

    chain = make(20000);  // 2 s from the configuration
    bringUp(*chain, 3, kOp), cycle();
    watchdogAt(2'000'000'000, 1);
}

}  // namespace
