// Configuration: SII images and reads, the process image's layout, FMMU/SM images, the error ring.
#include <algorithm>
#include <array>
#include <chrono>
#include <tuple>

#include "dc.h"
#include "fixture.h"
#include "iomap.h"
#include "mailbox.h"
#include "sii.h"

using namespace ectest;

namespace {

// An image: a 0x40-word header, then categories, then (optionally) the end marker.
struct SiiImage {
    Bytes bytes = Bytes(0x80, 0);
    SiiImage& category(uint16_t type, Bytes data) {
        data.resize((data.size() + 1) / 2 * 2);
        put16(type);
        put16(static_cast<uint16_t>(data.size() / 2));
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }
    SiiImage& end() { return put16(0xFFFF), *this; }
    void put16(uint16_t v) { bytes.insert(bytes.end(), {uint8_t(v), uint8_t(v >> 8)}); }
};

// Every field at a value of its own: length start + 0x321, enable type + 0x40.
Bytes syncManager(uint16_t start, uint8_t control, uint8_t type) {
    const auto len = static_cast<uint16_t>(start + 0x321);
    return {uint8_t(start), uint8_t(start >> 8),  uint8_t(len), uint8_t(len >> 8), control,
            0x5A,           uint8_t(type + 0x40), type};
}

Bytes pdo(uint16_t index, uint8_t sm, const std::vector<uint8_t>& bitLengths) {
    Bytes b = {uint8_t(index), uint8_t(index >> 8), uint8_t(bitLengths.size()), sm, 0, 0, 0, 0};
    for (uint8_t bits : bitLengths)
        b.insert(b.end(), {0, 0, 0, 0, 0, bits, 0, 0});
    return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST(Sii, DecodesADrivesCategoriesRejectsEveryDamagedImageAndPollsABusyEeprom) {
    Bytes general(32, 0);  // every byte distinct: a field read off by one shows
    for (size_t i = 0; i < general.size(); ++i)
        general[i] = static_cast<uint8_t>(0x80 + i);
    general[3] = 1;  // name: string 1
    ec::putU16(&general[12], static_cast<uint16_t>(-200));
    const Bytes image =
        SiiImage()
            .category(0x0800, Bytes(6, 0xAB))  // vendor category, skipped
            .category(ec::kSiiCatStrings, {2, 4, 'Q', 'J', '3', '0', 5, 'S', 'e', 'r', 'v', 'o'})
            .category(ec::kSiiCatGeneral, general)
            .category(ec::kSiiCatFmmu, {0x01, 0x02, 0x03, 0xFF})
            .category(ec::kSiiCatSyncManager,
                      syncManager(0x1000, 0x26, 1) + syncManager(0x1080, 0x22, 2) +
                          syncManager(0x1100, 0x64, 3) + syncManager(0x1400, 0x20, 4))
            .category(ec::kSiiCatTxPdo, pdo(0x1A00, 3, {16, 32, 32, 16, 16, 16, 32, 32, 32, 32}))
            .category(ec::kSiiCatRxPdo, pdo(0x1600, 2, {16, 32, 32, 16}))  // one kind twice: summed
            .category(ec::kSiiCatRxPdo, pdo(0x1601, 2, {16, 16, 16}) + pdo(0x1602, 0xFF, {32}))
            .end()
            .bytes;
    const ec::SiiInfo info = ec::parseSiiImage(image);
    EXPECT_EQ(std::tuple(info.complete, info.string(1), info.string(2), info.string(3)),
              std::tuple(true, "QJ30", "Servo", ""));
    ASSERT_TRUE(info.general);
    const ec::SiiGeneral& g = *info.general;
    ASSERT_EQ((std::tuple{g.nameIndex, g.coeDetails, g.foeDetails, g.eoeDetails, g.soeChannels,
                          g.flags, g.ebusCurrent, info.fmmuUsage, info.syncManagers.size()}),
              std::tuple(1, 0x85, 0x86, 0x87, 0x88, 0x8B, -200,
                         (std::vector<uint8_t>{0x01, 0x02, 0x03, 0xFF}), 4u));
    for (uint8_t n = 0; n < 4; ++n) {
        const ec::SiiSyncManager& sm = info.syncManagers[n];
        EXPECT_EQ(std::tuple(sm.length - sm.start, sm.enable, sm.type, sm.start, sm.control),
                  std::tuple(0x321, n + 0x41, n + 1, std::array{0x1000, 0x1080, 0x1100, 0x1400}[n],
                             std::array{0x26, 0x22, 0x64, 0x20}[n]));
    }
    ASSERT_TRUE(info.rxPdo && info.txPdo);
    EXPECT_EQ(std::tuple(info.rxPdo->perSm[2], info.rxPdo->total, info.txPdo->perSm[3]),
              std::tuple(18u * 8, 18u * 8, 32u * 8));  // the unassigned PDO takes nothing
    ec_slavet s{};
    ec::SiiInfo more = info;  // more FMMUs and SyncManagers than the record holds
    more.fmmuUsage.push_back(4), more.syncManagers.resize(EC_MAXSM + 1, info.syncManagers[0]);
    ec::SiiPdoSizes bits{};
    ec::applySii(s, more, bits);
    EXPECT_EQ(
        (std::vector<int64_t>{s.CoEdetails, s.FoEdetails, s.EoEdetails, s.SoEdetails, s.Ebuscurrent,
                              s.blockLRW, s.FMMU0func, s.FMMU1func, s.FMMU2func, s.FMMU3func,
                              s.SM[1].StartAddr, s.SM[1].SMlength, s.SM[1].SMflags, s.SM[3].SMflags,
                              s.SMtype[0], s.SMtype[3], bits.outputBits[2], bits.inputBits[3]}),
        (std::vector<int64_t>{0x85, 0x86, 0x87, 0x88, -200, 1, 1, 2, 3, 0xFF, 0x1080, 0x13A1, 0x22,
                              0x20, 1, 4, 18 * 8, 32 * 8}));
    ec::applySii(s, {}, bits);
    EXPECT_EQ(std::string(s.name), "? M:00000000 I:00000000");
    for (size_t cut = 0; cut < image.size(); ++cut)  // cut at every length: never complete
        EXPECT_FALSE(ec::parseSiiImage(std::span(image).first(cut)).complete) << cut;
    Bytes manyEntries = pdo(0x1A00, 3, {});  // a PDO's header alone, announcing an entry
    manyEntries[2] = 1;
    Bytes oversized = SiiImage().category(ec::kSiiCatFmmu, {1, 2}).end().bytes;
    ec::putU16(&oversized[0x82], 0x7000);
    const Bytes longString = SiiImage().category(ec::kSiiCatStrings, {1, 3, 'A', 'B'}).end().bytes;
    for (const Bytes& damaged :
         {longString, SiiImage().category(ec::kSiiCatTxPdo, manyEntries).end().bytes, oversized,
          SiiImage().category(ec::kSiiCatFmmu, {1, 2}).bytes})
        EXPECT_FALSE(ec::parseSiiImage(damaged).complete);
    EXPECT_TRUE(ec::parseSiiImage(longString).strings.empty());
    // The end marker in the EEPROM's last word (0x7FFF) closes a complete image.
    const Bytes full = SiiImage().category(0x0800, Bytes((0x8000 - 0x43) * 2, 0)).end().bytes;
    EXPECT_EQ(std::pair(full.size(), ec::parseSiiImage(full).complete), std::pair(0x10000ul, true));
    SiiImage many;  // 255 categories and the end marker are read; 256 and the end are too many
    for (int n = 0; n < 256; ++n)
        EXPECT_EQ(ec::parseSiiImage(SiiImage(many.category(0x0800, {})).end().bytes).complete,
                  n < 255);
    const uint8_t header[14] = {0x04, 0x01, 0, 0, 0, 0, 0x0F, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(ec::siiHeaderCrc(header), 0xD8);

    // An EEPROM busy for two status reads after each command, ignoring the first command: the read
    // waits, sees that the data are not for its word, and asks again; a few times, not forever.
    auto script = std::make_shared<LinkScript>();
    int busyReads = 2, ignore = 1, commands = 0;
    uint16_t address = 0x0777;
    script->respond = [&](const Bytes& f) {
        return std::vector<Bytes>{answer(f, [&](const DatagramView& d, Bytes& frame) {
            uint8_t* data = &frame[d.data()];
            if (d.ado != ec::kRegSiiControl) {
            } else if (d.cmd == static_cast<uint8_t>(ec::Command::FPWR)) {
                address = ignore-- <= 0 ? ec::getU16(data + 2) : address;
                ++commands;
                busyReads = 2;
            } else if (d.cmd == static_cast<uint8_t>(ec::Command::FPRD)) {
                std::fill_n(data, d.length, 0);
                ec::putU16(data, busyReads-- > 0 ? ec::kSiiBusy : ec::kSiiRead8Bytes);
                if (d.length >= 14)
                    ec::putU16(data + 2, address), ec::putU32(data + 6, 0xA0000000u | address);
            }
            return uint16_t{1};
        })};
    };
    ec::OwnedContext ctx;
    ASSERT_GT(ecx_init_link(ctx.get(), std::make_unique<ScriptedLink>(script)), 0);
    const auto chunk = ec::siiReadFP(ctx.get(), 0x1001, 0x0040, EC_TIMEOUTEEP).value();
    EXPECT_EQ(std::pair(chunk.words, uint32_t(chunk.value)), std::pair(4u, 0xA0000040u));
    std::tie(ignore, commands) = std::pair(100, 0);  // an EEPROM that takes no command at all
    EXPECT_FALSE(ec::siiReadFP(ctx.get(), 0x1001, 0x0041, EC_TIMEOUTEEP));
    EXPECT_EQ(commands, EC_DEFAULTRETRIES);
    ecx_close(ctx.get());
}

TEST(IoLayout, PacksSmallImagesCutsLargeOnesAtSlaveBoundariesAndRefusesTheUncuttable) {
    const std::vector<ec::IoSlaveBits> small = {{2, 0}, {4, 0}, {0, 0}, {16, 8}, {3, 1}};
    auto layout = ec::computeIoLayout(small);
    ASSERT_TRUE(layout);
    const auto& out = layout->outputs;
    EXPECT_EQ(std::vector<int64_t>(
                  {out[1].offset, out[1].startBit, out[1].endBit(), out[2].bytes, out[3].offset,
                   out[3].endBit(), out[4].offset, layout->outputBytes, layout->inputs[3].offset,
                   layout->inputs[4].offset, layout->outputsWkc, layout->inputsWkc}),
              std::vector<int64_t>({0, 2, 5, 0, 1, 7, 3, 4, 4, 5, 4, 2}));
    // Packing on: an image that does not fit the rest of a byte, one that fills it.
    using Packed = std::tuple<std::vector<uint32_t>, std::vector<uint32_t>, uint32_t>;
    for (const auto& [bits, places, bytes] : {Packed{{6, 3, 2}, {0, 0, 1, 0, 1, 3}, 2},
                                              {{4, 4, 1}, {0, 0, 0, 4, 1, 0}, 2},
                                              {{4, 4, 8, 1}, {0, 0, 0, 4, 1, 0, 2, 0}, 3}}) {
        std::vector<ec::IoSlaveBits> slaves;
        for (const uint32_t b : bits)
            slaves.push_back({b, 0});
        const ec::IoLayout packed = ec::computeIoLayout(slaves).value();
        std::vector<uint32_t> got;
        for (const ec::IoPlace& p : packed.outputs)
            got.insert(got.end(), {p.offset, p.startBit});
        EXPECT_EQ(std::pair(got, packed.outputBytes), std::pair(places, bytes));
    }
    for (const int drives : {5, 40}) {  // 40 drives: 2000 bytes, more than one datagram carries
        layout = ec::computeIoLayout(std::vector<ec::IoSlaveBits>(drives, {18 * 8, 32 * 8}));
        ASSERT_TRUE(layout);
        const auto& seg = layout->segments;
        EXPECT_EQ(
            std::vector<int64_t>({layout->outputs.back().offset, layout->inputs.back().offset,
                                  layout->expectedWkc(), int64_t(seg.size()),
                                  seg[0] + (drives == 5 ? 0 : seg.back()),
                                  layout->inputSegmentOffset}),
            std::vector<int64_t>({18 * (drives - 1), 18 * drives + 32 * (drives - 1), 3 * drives,
                                  drives == 5 ? 1 : 2, 50 * drives, 18 * drives}));
        EXPECT_TRUE(seg[0] <= ec::kMaxSegmentBytes && (seg[0] - 18u * drives) % 32 == 0)
            << seg[0] << ": within a datagram, cut at an input image";
    }
    EXPECT_FALSE(ec::computeIoLayout(std::vector<ec::IoSlaveBits>{{8 * 1500, 0}}));
    const uint32_t full = 8 * ec::kMaxSegmentBytes;  // outputs fill a datagram, inputs the next
    layout = ec::computeIoLayout(std::vector<ec::IoSlaveBits>{{full, 0}, {0, full}});
    EXPECT_EQ(std::tuple(layout.value().segments.size(), layout->inputSegment,
                         layout->inputSegmentOffset),
              std::tuple(2u, 1, 0u));
    // Nothing to exchange: no segment at all, not one of zero bytes (an LRW of length 0).
    EXPECT_TRUE(
        ec::computeIoLayout(std::vector<ec::IoSlaveBits>(3, {0, 0})).value().segments.empty());
}

namespace {

struct RecordingBus : ::testing::Test {
    std::shared_ptr<LinkScript> script = std::make_shared<LinkScript>();
    ec::OwnedContext master;
    void SetUp() override {
        script->respond = [](const Bytes& sent) -> std::vector<Bytes> {
            return {answer(sent, [](const DatagramView& d, Bytes& f) -> uint16_t {
                if (d.cmd == static_cast<uint8_t>(ec::Command::LRW) ||
                    d.cmd == static_cast<uint8_t>(ec::Command::LRD))
                    std::fill_n(f.begin() + static_cast<long>(d.data()), d.length, 0xAB);
                return 1;
            })};
        };
        ASSERT_GT(ecx_init_link(master.get(), std::make_unique<ScriptedLink>(script)), 0);
        master->siiPdo.assign(EC_MAXSLAVE, ec::SiiPdoSizes{});
    }
    void drives(int n) {  // records as a scan of n drives leaves them
        *master->slavecount = n;
        for (int i = 1; i <= n; ++i) {
            ec_slavet& s = master.slave(i);
            s.configadr = static_cast<uint16_t>(0x1000 + i);
            s.SM[2] = ec_smt{0x1100, 0, 0x00010064}, s.SM[3] = ec_smt{0x1400, 0, 0x00010020};
            s.SMtype[2] = EC_SMTYPE_OUTPUTS, s.SMtype[3] = EC_SMTYPE_INPUTS;
            s.FMMU0func = 1, s.FMMU1func = 2;
            master->siiPdo[size_t(i)].outputBits[2] = 18 * 8;
            master->siiPdo[size_t(i)].inputBits[3] = 32 * 8;
        }
    }
    Bytes written(uint16_t station, uint16_t reg) {  // data of the last FPWR there
        Bytes result;
        for (const Bytes& f : script->sentFrames())
            for (const DatagramView& d : datagrams(f))
                if (d.cmd == static_cast<uint8_t>(ec::Command::FPWR) && d.adp == station &&
                    d.ado == reg)
                    result.assign(f.begin() + long(d.data()), f.begin() + long(d.wkc()));
        return result;
    }
    std::vector<DatagramView> exchange(int wkc, size_t frames) {
        const size_t before = script->sentCount();
        EXPECT_EQ(ecx_send_processdata(master.get()), 1);
        EXPECT_EQ(ecx_receive_processdata(master.get(), 100000), wkc);
        const auto sent = script->sentFrames();
        EXPECT_EQ(sent.size() - before, frames);
        std::vector<DatagramView> all;
        for (size_t i = before; i < sent.size(); ++i)
            for (const DatagramView& d : datagrams(sent[i]))
                all.push_back(d);
        return all;
    }
};

}  // namespace

TEST_F(RecordingBus, ExchangeSplitsTheImageOrItsCommandsAndWritesBackOnlyInputs) {
    drives(40);
    std::vector<uint8_t> iomap(2000, 0x11);
    ASSERT_EQ(ecx_config_map(master.get(), iomap.data()), 2000);
    std::tie(master.group(0).hasdc, master.group(0).DCnext) = std::pair(true, 1);
    auto ds = exchange(2, 2);  // one LRW per frame counted
    ASSERT_EQ(ds.size(), 3u);  // the second frame's LRW at the logical address the first ends
    EXPECT_EQ(std::vector<int>({ds[0].cmd, ds[1].cmd, ds[1].adp, ds[1].ado,
                                ds[0].length + ds[2].length, ds[2].adp | ds[2].ado << 16}),
              std::vector<int>({int(ec::Command::LRW), int(ec::Command::FRMW), 0x1001, 0x0910, 2000,
                                ds[0].length}));
    const auto image = [](size_t size, long outputs) {  // outputs kept, inputs as the chain sent
        Bytes b(size, 0xAB);
        return std::fill_n(b.begin(), outputs, 0x11), b;
    };
    EXPECT_EQ(iomap, image(2000, 18 * 40));
    // A group with a slave that cannot take LRW reads and writes separately.
    master.group(0) = ec_groupt{};
    std::fill_n(&master.slave(1), 40, ec_slavet{});
    drives(2);
    master.slave(2).blockLRW = 1;
    std::fill(iomap.begin(), iomap.end(), 0x11);
    ASSERT_EQ(ecx_config_map(master.get(), iomap.data()), 100);
    ds = exchange(3, 2);  // the script counts 1 per datagram: LRD 1 + LWR 1 doubled
    EXPECT_EQ(std::tuple(master.group(0).blockLRW, ds[0].cmd, ds[1].cmd),
              std::tuple(1, uint8_t(ec::Command::LRD), uint8_t(ec::Command::LWR)));
    EXPECT_EQ(Bytes(iomap.begin(), iomap.begin() + 100), image(100, 36));
    std::vector<ec::SlotId> taken;  // every frame slot held elsewhere: nothing sent, none reported
    while (const auto slot = master->port->claim(ec::Port::Clock::now()))
        taken.push_back(*slot);
    const size_t sent = script->sentCount();
    EXPECT_EQ((std::tuple{ecx_send_processdata(master.get()), script->sentCount()}),
              std::tuple(0, sent));
}

// Register datagrams ride behind the process data in the room its frame leaves, the rest in a
// frame of their own right behind; each gets its own reply, or EC_NOFRAME with its frame lost.
TEST_F(RecordingBus, RegisterDatagramsRideInTheProcessDataFrames) {
    drives(20);
    std::vector<uint8_t> iomap(1000, 0x11);
    ASSERT_EQ(ecx_config_map(master.get(), iomap.data()), 1000);
    std::tie(master.group(0).hasdc, master.group(0).DCnext) = std::pair(true, 1);
    bool loseSecond = false;
    script->respond = [&loseSecond](const Bytes& sent) -> std::vector<Bytes> {
        if (loseSecond && datagrams(sent).front().cmd != uint8_t(ec::Command::LRW))
            return {};
        return {answer(sent, [](const DatagramView& d, Bytes& f) -> uint16_t {
            if (d.cmd == uint8_t(ec::Command::FPRD))  // each station answers with its own number
                ec::putU16(&f[d.data()], d.adp);
            return 1;
        })};
    };
    std::array<std::array<uint8_t, 8>, 42> replies{};
    std::array<ec_datagramt, 42> all{};  // the first and the last fit no frame
    const std::span extra(all.begin() + 1, 40);
    for (size_t i = 0; i < 42; ++i) {
        const auto station = static_cast<uint16_t>(0x1001 + (i + 19) % 20);
        const uint16_t reg = i <= 20 ? 0x0910 : 0x0920;
        all[i].cmd = i <= 20 ? ec::Command::FPRD : ec::Command::FPWR;
        all[i].address = static_cast<uint32_t>(station) | static_cast<uint32_t>(reg) << 16;
        all[i].length = i % 41 == 0 ? ec::kMaxDatagramData + 1 : 8, all[i].in = replies[i];
    }
    for (const bool lost : {false, true}) {
        loseSecond = lost;
        const size_t before = script->sentCount();
        const uint64_t framesBefore = ecx_processdata_frames(master.get());
        replies = {};
        ASSERT_EQ(ecx_send_processdata(master.get(), all), 1);
        EXPECT_EQ(ecx_receive_processdata(master.get(), 100000), 1);
        const auto sent = script->sentFrames();
        ASSERT_EQ(sent.size() - before, 2u);
        EXPECT_EQ(ecx_processdata_frames(master.get()) - framesBefore, 2u);
        const auto first = datagrams(sent[before]), second = datagrams(sent[before + 1]);
        // LRW, the reference clock's FRMW, then the extras in order as far as room goes.
        const size_t inFirst = first.size() - 2;
        EXPECT_EQ(std::tuple(first.front().length, inFirst + second.size()), std::tuple(1000, 40u));
        EXPECT_GE(inFirst, 20u);  // every read of the clocks in the frame of the process data
        for (size_t i = 0; i < 40; ++i) {
            const DatagramView& d = i < inFirst ? first[i + 2] : second[i - inFirst];
            const bool answered = !lost || i < inFirst;
            EXPECT_EQ(
                std::tuple(d.cmd, d.adp, d.ado, extra[i].wkc, ec::getU16(replies[i + 1].data())),
                std::tuple(uint8_t(extra[i].cmd), uint16_t(0x1001 + i % 20),
                           uint16_t(i < 20 ? 0x0910 : 0x0920), answered ? 1 : EC_NOFRAME,
                           answered && i < 20 ? 0x1001 + i : 0))
                << i;
        }
        EXPECT_EQ(std::pair(all[0].wkc, all[41].wkc), std::pair(EC_ERROR, EC_ERROR));
    }
}

// A drive that refuses its mailbox writes while its status says the mailbox is free: the write is
// tried again at the poll's pace, not back to back, until the transfer's time is up. While the
// status says full (the drive has not taken the last message), it is not written again at all.
TEST_F(RecordingBus, RefusedMailboxWritesArePacedAndASlaveSilentInTheScanGivesNoBus) {
    drives(1);
    ec_slavet& s = master.slave(1);
    std::tie(s.mbx_wo, s.mbx_l, s.mbx_ro, s.mbx_rl) = std::tuple(0x1000, 128, 0x1080, 128);
    s.mbx_proto = ec::kMbxProtoCoE;
    bool full = false;
    script->respond = [&full](const Bytes& sent) -> std::vector<Bytes> {
        return {answer(sent, [&full](const DatagramView& d, Bytes& f) -> uint16_t {
            if (d.cmd == uint8_t(ec::Command::FPRD) && d.ado == ec::kRegSm0Status)
                f[d.data()] = full ? ec::kSmStatusMailboxFull : 0;
            return d.cmd == uint8_t(ec::Command::FPWR) && d.ado == 0x1000 ? 0 : 1;
        })};
    };
    for (const bool statusFull : {false, true}) {
        full = statusFull;
        const size_t before = script->sentCount();
        uint32_t value = 0;
        int size = sizeof value;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_LE(ecx_SDOread(master.get(), 1, 0x6041, 0, false, &size, &value, 20000), 0);
        const auto spent = std::chrono::steady_clock::now() - start;
        const auto sent = script->sentFrames();
        const auto writes = std::count_if(sent.begin() + long(before), sent.end(), [](auto& f) {
            const DatagramView d = datagrams(f).front();
            return d.cmd == uint8_t(ec::Command::FPWR) && d.ado == 0x1000;
        });
        const long most = full ? 1 : spent / std::chrono::microseconds(ec::kMbxPollPauseUs) + 1;
        EXPECT_TRUE(writes >= (full ? 1 : 2) && writes <= most) << writes << ", at most " << most;
    }

    // Three counted, the second silent at its address, or none counted: no bus, not a shorter one.
    for (const int counted : {3, 0}) {
        script->respond = [counted](const Bytes& f) {
            return std::vector<Bytes>{answer(f, [counted](const DatagramView& d, Bytes&) {
                const bool silent = d.cmd == uint8_t(ec::Command::APRD) && d.adp == 0xFFFF;
                return uint16_t(d.cmd == uint8_t(ec::Command::BRD) ? counted : silent ? 0 : 1);
            })};
        };
        EXPECT_EQ((std::tuple{ecx_config_inspect(master.get()), master.slavecount()}),
                  std::tuple(0, 0));  // braces: the scan, then the count it left
    }
}

TEST_F(RecordingBus, SmallSlavesWithoutMailboxShareAByte) {
    uint8_t iomap[8] = {};
    ASSERT_EQ(ecx_config_map_sized(master.get(), iomap, sizeof iomap), 0);  // no slave yet
    // Output terminals with outputs in SM0: 4 bits, 1 bit, and a byte with a byte of inputs.
    *master->slavecount = 3;
    for (int i = 1; i <= 3; ++i) {
        ec_slavet& s = master.slave(i);
        s.configadr = static_cast<uint16_t>(0x1000 + i);
        s.SM[0] = ec_smt{0x0F00, 0, 0x00010044}, s.SMtype[0] = EC_SMTYPE_OUTPUTS, s.FMMU0func = 1;
        master->siiPdo[size_t(i)].outputBits[0] = i == 1 ? 4 : i == 2 ? 1 : 8;
    }
    ec_slavet& io = master.slave(3);
    io.SM[1] = ec_smt{0x1000, 0, 0x00010020}, io.SMtype[1] = EC_SMTYPE_INPUTS, io.FMMU1func = 2;
    master->siiPdo[3].inputBits[1] = 8;
    ASSERT_EQ(ecx_config_map_sized(master.get(), iomap, sizeof iomap), 3);
    EXPECT_EQ(written(0x1002, 0x0600), (Bytes{0, 0, 0, 0, 1, 0, 4, 4, 0, 0x0F, 0, 2, 1, 0, 0, 0}));
    EXPECT_EQ(written(0x1001, 0x0800), (Bytes{0x00, 0x0F, 0x01, 0x00, 0x44, 0x00, 0x01, 0x00}));
    EXPECT_EQ(written(0x1002, 0x0800).at(2) << 8 | written(0x1003, 0x0800).at(2), 0x0101);
    const ec_slavet& all = master.slave(0);
    EXPECT_EQ(
        std::tuple(master.slave(2).Ostartbit, master.slave(2).outputs, master.group(0).expectedWKC,
                   master.slave(1).Obytes, io.Obytes, io.Ibytes, io.inputs, all.Obits, all.Ibits,
                   all.inputs, master.group(0).inputs, master.slave(1).FMMUunused, io.FMMUunused,
                   master.group(0).docheckstate),
        std::tuple(4, iomap, 7, 0, 1, 1, iomap + 2, 16, 8, iomap + 2, iomap + 2, 1, 2, false));
    // With every other FMMU taken, the inputs stay unmapped rather than take the outputs' FMMU.
    io.FMMU1func = io.FMMU2func = io.FMMU3func = 3;
    ASSERT_EQ(ecx_config_map_sized(master.get(), iomap, sizeof iomap), 3);
    EXPECT_EQ(written(0x1003, 0x0600).at(11), ec::kFmmuTypeWrite);
}

TEST(ErrorList, FirstInFirstOutNewestKeptWhenFull) {
    ec::ErrorList list;
    EXPECT_TRUE(list.empty() && !list.pop());
    for (ec_errort e{}; e.Slave < EC_MAXELIST + 10; ++e.Slave)
        list.push(e);
    for (uint16_t n = 10; n < EC_MAXELIST + 10; ++n) {
        const auto e = list.pop();
        ASSERT_TRUE(e && e->Signal && e->Slave == n);
    }
    EXPECT_TRUE(list.empty());
}

// A frame comes back through the last open port in the order 3, 1, 2 behind port 0.
TEST(Dc, ReturnTimeIsThatOfTheLastPortTheFramePasses) {
    ec_slavet s{};
    s.DCrtA = 1000, s.DCrtB = 2000, s.DCrtC = 3000, s.DCrtD = 4000;
    const std::pair<uint8_t, int32_t> rows[] = {{0x01, 1000}, {0x03, 2000}, {0x05, 3000},
                                                {0x09, 4000}, {0x0B, 2000}, {0x0D, 3000},
                                                {0x07, 3000}, {0x0F, 3000}, {0x00, 1000}};
    for (const auto& [ports, time] : rows) {
        s.activeports = ports;
        EXPECT_EQ(ec::dcReturnTime(s), time) << int(ports);
    }
}
