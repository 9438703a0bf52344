// Process-image layout and mapping: offsets, FMMU and SyncManager images written to the slaves,
// expected working counter, splitting into several frames, and refusing an image that does not
// fit the caller's buffer. The bus is a script that records every write.
#include <gtest/gtest.h>

#include <map>

#include "ethercat.h"
#include "iomap.h"
#include "scripted_link.h"

using namespace ectest;

namespace {

constexpr uint32_t kDriveOutputBits = 18 * 8;
constexpr uint32_t kDriveInputBits = 32 * 8;

struct RecordingBus : ::testing::Test {
    std::shared_ptr<LinkScript> script = std::make_shared<LinkScript>();
    ec::OwnedContext master;

    void SetUp() override {
        script->respond = [](const Bytes& sent) -> std::vector<Bytes> {
            return {answer(sent, [](const DatagramView& d, Bytes& f) -> uint16_t {
                if (d.cmd == static_cast<uint8_t>(ec::Command::LRW) ||
                    d.cmd == static_cast<uint8_t>(ec::Command::LRD)) {
                    std::fill_n(f.begin() + static_cast<long>(d.data()), d.length, 0xAB);
                }
                return 1;
            })};
        };
        ASSERT_GT(ecx_init_link(master.get(), std::make_unique<ScriptedLink>(script)), 0);
        master->siiPdo.assign(EC_MAXSLAVE, ec::SiiPdoSizes{});
    }

    // Records as a scan of n of the project's drives leaves them.
    void drives(int n) {
        *master->slavecount = n;
        for (int i = 1; i <= n; ++i) {
            ec_slavet& s = master.slave(i);
            s.configadr = static_cast<uint16_t>(0x1000 + i);
            s.SM[2] = ec_smt{0x1100, 0, 0x00010064};
            s.SM[3] = ec_smt{0x1400, 0, 0x00010020};
            s.SMtype[2] = EC_SMTYPE_OUTPUTS;
            s.SMtype[3] = EC_SMTYPE_INPUTS;
            s.FMMU0func = 1;
            s.FMMU1func = 2;
            master->siiPdo[static_cast<size_t>(i)].outputBits[2] = kDriveOutputBits;
            master->siiPdo[static_cast<size_t>(i)].inputBits[3] = kDriveInputBits;
        }
    }

    // Data of every FPWR, by station address and register.
    std::map<std::pair<uint16_t, uint16_t>, Bytes> writes() {
        std::map<std::pair<uint16_t, uint16_t>, Bytes> result;
        for (const Bytes& f : script->sentFrames()) {
            for (const DatagramView& d : datagrams(f)) {
                if (d.cmd == static_cast<uint8_t>(ec::Command::FPWR)) {
                    result[{d.adp, d.ado}] =
                        Bytes(f.begin() + static_cast<long>(d.data()),
                              f.begin() + static_cast<long>(d.data() + d.length));
                }
            }
        }
        return result;
    }
};

}  // namespace

TEST(IoLayout, DrivesAreLaidOutOutputsFirstThenInputs) {
    constexpr int kDrives = 5;
    std::vector<ec::IoSlaveBits> bits(kDrives, {kDriveOutputBits, kDriveInputBits});
    const auto layout = ec::computeIoLayout(bits);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->outputBytes, 18u * kDrives);
    EXPECT_EQ(layout->inputBytes, 32u * kDrives);
    for (int i = 0; i < kDrives; ++i) {
        EXPECT_EQ(layout->outputs[static_cast<size_t>(i)].offset, 18u * i);
        EXPECT_EQ(layout->inputs[static_cast<size_t>(i)].offset, 18u * kDrives + 32u * i);
    }
    EXPECT_EQ(layout->expectedWkc(), 3 * kDrives);
    EXPECT_EQ(layout->segments, std::vector<uint32_t>{50u * kDrives});
}

TEST(IoLayout, SmallImagesArePackedAndSlavesWithoutDataTakeNoRoom) {
    // A 2-bit and a 4-bit output slave share a byte; a coupler takes nothing; a byte-sized slave
    // starts on the next whole byte.
    const std::vector<ec::IoSlaveBits> bits = {{2, 0}, {4, 0}, {0, 0}, {16, 8}, {3, 1}};
    const auto layout = ec::computeIoLayout(bits);
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->outputs[0].offset, 0u);
    EXPECT_EQ(layout->outputs[1].offset, 0u);
    EXPECT_EQ(layout->outputs[1].startBit, 2);
    EXPECT_EQ(layout->outputs[1].endBit(), 5);
    EXPECT_EQ(layout->outputs[2].bytes, 0u);
    EXPECT_EQ(layout->outputs[3].offset, 1u);
    EXPECT_EQ(layout->outputs[3].endBit(), 7);
    EXPECT_EQ(layout->outputs[4].offset, 3u);
    EXPECT_EQ(layout->outputBytes, 4u);
    EXPECT_EQ(layout->inputs[3].offset, 4u);
    EXPECT_EQ(layout->inputs[4].offset, 5u);
    EXPECT_EQ(layout->outputsWkc, 4);
    EXPECT_EQ(layout->inputsWkc, 2);
}

TEST(IoLayout, LargeImagesAreCutAtSlaveBoundaries) {
    constexpr int kDrives = 40;  // 2000 bytes: more than one datagram carries
    std::vector<ec::IoSlaveBits> bits(kDrives, {kDriveOutputBits, kDriveInputBits});
    const auto layout = ec::computeIoLayout(bits);
    ASSERT_TRUE(layout);
    ASSERT_EQ(layout->segments.size(), 2u);
    EXPECT_EQ(layout->segments[0] + layout->segments[1], 2000u);
    EXPECT_LE(layout->segments[0], ec::kMaxSegmentBytes);
    // The cut falls on the start of an input image.
    EXPECT_EQ((layout->segments[0] - 18u * kDrives) % 32, 0u);
    EXPECT_EQ(layout->inputSegment, 0);
    EXPECT_EQ(layout->inputSegmentOffset, 18u * kDrives);

    // One slave larger than a segment cannot be cut.
    const std::vector<ec::IoSlaveBits> huge = {{8 * 1500, 0}};
    EXPECT_FALSE(ec::computeIoLayout(huge));
}

TEST_F(RecordingBus, MappingWritesTheFmmusAndSyncManagersOfEachDrive) {
    constexpr int kDrives = 3;
    drives(kDrives);
    uint8_t iomap[1024] = {};
    EXPECT_EQ(ecx_config_map_sized(master.get(), iomap, sizeof iomap), 50 * kDrives);

    auto w = writes();
    auto at = [&w](uint16_t station, uint16_t reg) { return w[{station, reg}]; };
    const Bytes fmmu0{0x00, 0x00, 0x00, 0x00, 0x12, 0x00, 0x00, 0x07,
                      0x00, 0x11, 0x00, 0x02, 0x01, 0x00, 0x00, 0x00};
    const Bytes sm2{0x00, 0x11, 0x12, 0x00, 0x64, 0x00, 0x01, 0x00};
    EXPECT_EQ(at(0x1001, 0x0600), fmmu0);
    EXPECT_EQ(at(0x1001, 0x0810), sm2);
    for (int i = 1; i <= kDrives; ++i) {
        const auto station = static_cast<uint16_t>(0x1000 + i);
        const Bytes out = at(station, 0x0600);
        const Bytes in = at(station, 0x0610);
        ASSERT_EQ(out.size(), 16u);
        ASSERT_EQ(in.size(), 16u);
        EXPECT_EQ(ec::getU32(&out[0]), 18u * (i - 1));
        EXPECT_EQ(ec::getU32(&in[0]), 18u * kDrives + 32u * (i - 1));
        EXPECT_EQ(ec::getU16(&in[4]), 32);
        EXPECT_EQ(ec::getU16(&in[8]), 0x1400);
        EXPECT_EQ(in[11], ec::kFmmuTypeRead);
        EXPECT_EQ(at(station, 0x0120), (Bytes{0x04, 0x00})) << "SAFE-OP requested";
        EXPECT_EQ(master.slave(i).outputs, iomap + 18 * (i - 1));
        EXPECT_EQ(master.slave(i).inputs, iomap + 18 * kDrives + 32 * (i - 1));
    }
    EXPECT_EQ(master.slave(0).outputs, iomap);
    EXPECT_EQ(master.slave(0).inputs, iomap + 18 * kDrives);
    EXPECT_EQ(master.group(0).outputsWKC, kDrives);
    EXPECT_EQ(master.group(0).inputsWKC, kDrives);
    EXPECT_EQ(master.group(0).expectedWKC, 3 * kDrives);
}

TEST_F(RecordingBus, ExchangeSplitsTheImageAndWritesBackOnlyInputs) {
    constexpr int kDrives = 40;
    drives(kDrives);
    std::vector<uint8_t> iomap(2000, 0x11);
    ASSERT_EQ(ecx_config_map(master.get(), iomap.data()), 2000);
    master.group(0).hasdc = true;
    master.group(0).DCnext = 1;
    const size_t before = script->sentCount();

    ASSERT_EQ(ecx_send_processdata(master.get()), 1);
    EXPECT_EQ(ecx_receive_processdata(master.get(), 100000), 2) << "one LRW per frame counted";

    const auto frames = script->sentFrames();
    ASSERT_EQ(frames.size() - before, 2u);
    const auto first = datagrams(frames[before]);
    const auto second = datagrams(frames[before + 1]);
    ASSERT_EQ(first.size(), 2u);
    EXPECT_EQ(first[0].cmd, static_cast<uint8_t>(ec::Command::LRW));
    EXPECT_EQ(first[1].cmd, static_cast<uint8_t>(ec::Command::FRMW));
    EXPECT_EQ(first[1].adp, 0x1001);
    EXPECT_EQ(first[1].ado, 0x0910);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(first[0].length + second[0].length, 2000);
    EXPECT_EQ(second[0].adp | second[0].ado << 16, first[0].length) << "logical address";
    for (size_t i = 0; i < iomap.size(); ++i) {
        ASSERT_EQ(iomap[i], i < 18u * kDrives ? 0x11 : 0xAB) << "byte " << i;
    }
}

TEST_F(RecordingBus, SmallSlavesWithoutMailboxShareAByte) {
    // Two digital output terminals whose outputs sit in SM0: 4 and 2 bits.
    *master->slavecount = 2;
    const uint32_t bits[] = {4, 2};
    for (int i = 1; i <= 2; ++i) {
        ec_slavet& s = master.slave(i);
        s.configadr = static_cast<uint16_t>(0x1000 + i);
        s.SM[0] = ec_smt{0x0F00, 0, 0x00010044};
        s.SMtype[0] = EC_SMTYPE_OUTPUTS;
        s.FMMU0func = 1;
        master->siiPdo[static_cast<size_t>(i)].outputBits[0] = bits[i - 1];
    }
    uint8_t iomap[8] = {};
    ASSERT_EQ(ecx_config_map_sized(master.get(), iomap, sizeof iomap), 1);
    auto w = writes();
    const Bytes second = w[std::make_pair(uint16_t{0x1002}, uint16_t{0x0600})];
    ASSERT_EQ(second.size(), 16u);
    EXPECT_EQ(ec::getU32(&second[0]), 0u);
    EXPECT_EQ(ec::getU16(&second[4]), 1);
    EXPECT_EQ(second[6], 4) << "start bit";
    EXPECT_EQ(second[7], 5) << "stop bit";
    EXPECT_EQ(ec::getU16(&second[8]), 0x0F00);
    EXPECT_EQ(w[std::make_pair(uint16_t{0x1001}, uint16_t{0x0800})],
              (Bytes{0x00, 0x0F, 0x01, 0x00, 0x44, 0x00, 0x01, 0x00}));
    EXPECT_EQ(master.slave(2).Ostartbit, 4);
    EXPECT_EQ(master.slave(2).outputs, iomap);
    EXPECT_EQ(master.group(0).expectedWKC, 4);
}

TEST_F(RecordingBus, GroupWithoutLrwReadsAndWritesSeparately) {
    drives(2);
    master.slave(2).blockLRW = 1;
    std::vector<uint8_t> iomap(100, 0x11);
    ASSERT_EQ(ecx_config_map(master.get(), iomap.data()), 100);
    EXPECT_EQ(master.group(0).blockLRW, 1);
    const size_t before = script->sentCount();
    ASSERT_EQ(ecx_send_processdata(master.get()), 1);
    // The script counts 1 per datagram: LRD 1 + LWR 1 doubled.
    EXPECT_EQ(ecx_receive_processdata(master.get(), 100000), 3);
    const auto frames = script->sentFrames();
    ASSERT_EQ(frames.size() - before, 2u);
    EXPECT_EQ(datagrams(frames[before])[0].cmd, static_cast<uint8_t>(ec::Command::LRD));
    EXPECT_EQ(datagrams(frames[before + 1])[0].cmd, static_cast<uint8_t>(ec::Command::LWR));
    for (size_t i = 0; i < iomap.size(); ++i) {
        ASSERT_EQ(iomap[i], i < 36 ? 0x11 : 0xAB) << "byte " << i;
    }
}

TEST_F(RecordingBus, SizedMappingRefusesABusThatDoesNotFit) {
    drives(21);  // 1050 bytes
    uint8_t iomap[1024] = {};
    EXPECT_EQ(ecx_config_map_sized(master.get(), iomap, sizeof iomap), 0);
    EXPECT_EQ(script->sentCount(), 0u) << "nothing written to the slaves";
    EXPECT_EQ(master.slave(21).outputs, nullptr);
    EXPECT_EQ(master.slave(0).outputs, nullptr);
    EXPECT_EQ(master.group(0).nsegments, 0);
    EXPECT_EQ(ecx_send_processdata(master.get()), 0);
}

TEST_F(RecordingBus, ScanRefusesMoreSlavesThanTheRecordsHold) {
    script->respond = [](const Bytes& sent) -> std::vector<Bytes> {
        return {answer(sent, [](const DatagramView& d, Bytes&) -> uint16_t {
            return d.cmd == static_cast<uint8_t>(ec::Command::BRD) ? EC_MAXSLAVE + 50 : 1;
        })};
    };
    EXPECT_EQ(ecx_config_init(master.get(), FALSE), EC_SLAVECOUNTEXCEEDED);
    EXPECT_EQ(master.slavecount(), 0);
}
