// The EEPROM image and its read-out through the SII registers.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "sim/sii.h"
#include "sim_master.h"

using namespace simtest;

namespace {

TEST(SiiChecksum, MatchesTheKnownVector) {
    // 04 01 00 00 00 00 0F 00 00 00 00 00 00 00 -> 0xD8
    const std::vector<uint16_t> words{0x0104, 0x0000, 0x0000, 0x000F, 0x0000, 0x0000, 0x0000};
    EXPECT_EQ(sim::siiChecksum(words), 0xD8);
}

// Reads the whole image through the register interface, as a master's category scan does.
std::vector<uint16_t> readAll(sim::Chain& chain, uint16_t st, size_t words) {
    std::vector<uint16_t> out;
    for (uint16_t w = 0; out.size() < words;) {
        const auto d = siiRead(chain, st, w);
        for (size_t i = 0; i + 1 < d.size(); i += 2)
            out.push_back(sim::rd16(&d[i]));
        w = static_cast<uint16_t>(w + d.size() / 2);
    }
    out.resize(words);
    return out;
}

struct Category {
    std::vector<uint8_t> bytes;
};

std::map<uint16_t, Category> categories(const std::vector<uint16_t>& img) {
    std::map<uint16_t, Category> cats;
    size_t w = ec::kSiiFirstCategory;
    while (w + 1 < img.size() && img[w] != ec::kSiiCatEnd) {
        const uint16_t type = img[w];
        const uint16_t size = img[w + 1];
        Category c;
        for (size_t i = 0; i < size && w + 2 + i < img.size(); ++i) {
            c.bytes.push_back(static_cast<uint8_t>(img[w + 2 + i]));
            c.bytes.push_back(static_cast<uint8_t>(img[w + 2 + i] >> 8));
        }
        cats[type] = c;
        w += 2u + size;
    }
    return cats;
}

struct SiiTest : ::testing::Test {
    sim::Chain chain{[] {
        auto cfg = sim::ChainConfig::drives(2);
        cfg.slaves[1].siiReads8Bytes = false;
        cfg.slaves[1].identity.serial = 0xABCDEF01;
        return cfg;
    }()};
    void SetUp() override { assignStations(chain, 2); }
};

TEST_F(SiiTest, IdentityWordsThroughEightAndFourByteReads) {
    const auto a = siiRead(chain, station(1), ec::kSiiVendorId);
    ASSERT_EQ(a.size(), 8u);
    EXPECT_EQ(sim::rd32(&a[0]), 0x00000B7Au);
    EXPECT_EQ(sim::rd32(&a[4]), 0x514A3330u);

    const auto b = siiRead(chain, station(2), ec::kSiiSerial);
    ASSERT_EQ(b.size(), 4u);
    EXPECT_EQ(sim::rd32(&b[0]), 0xABCDEF01u);
    EXPECT_EQ(fprd(chain, station(2), ec::kRegSiiControl, 2).u16() & 0xF800, 0)
        << "not busy, no error";

    const auto mbx = siiRead(chain, station(2), ec::kSiiStdRxMailbox);
    EXPECT_EQ(sim::rd32(&mbx[0]), 0x00801000u) << "offset | size << 16";
}

TEST_F(SiiTest, HeaderChecksumIsValid) {
    const auto img = readAll(chain, station(1), ec::kSiiFirstCategory);
    EXPECT_EQ(img[ec::kSiiChecksum], sim::siiChecksum(img));
    EXPECT_EQ(img[ec::kSiiMailboxProtocols], ec::kMbxProtoCoE | ec::kMbxProtoFoE);
    EXPECT_EQ(img[ec::kSiiBootRxMailbox + 1], sim::layout::kBootOutSize);
}

TEST_F(SiiTest, CategoriesDescribeTheDrive) {
    std::vector<uint16_t> img;
    chain.withSlave(1, [&img](sim::Esc& esc, sim::SlaveApplication*) { img = esc.sii(); });
    EXPECT_EQ(readAll(chain, station(1), img.size()), img) << "register read-out = image";

    auto cats = categories(img);
    ASSERT_TRUE(cats.count(ec::kSiiCatStrings));
    const auto& s = cats[ec::kSiiCatStrings].bytes;
    ASSERT_GE(s.size(), 6u);
    EXPECT_EQ(std::string(s.begin() + 2, s.begin() + 2 + s[1]), "QJ30") << "string 1 is the name";

    ASSERT_TRUE(cats.count(ec::kSiiCatGeneral));
    const auto& g = cats[ec::kSiiCatGeneral].bytes;
    EXPECT_EQ(g.size(), 32u);
    EXPECT_EQ(g[3], 1) << "name string";
    EXPECT_EQ(g[5], 0x0D) << "SDO, PDO assign and configuration, no complete access";
    EXPECT_EQ(g[6], 0x01) << "FoE";

    ASSERT_TRUE(cats.count(ec::kSiiCatFmmu));
    EXPECT_EQ(cats[ec::kSiiCatFmmu].bytes, (std::vector<uint8_t>{0x01, 0x02}));

    ASSERT_TRUE(cats.count(ec::kSiiCatSyncManager));
    const auto& sm = cats[ec::kSiiCatSyncManager].bytes;
    ASSERT_EQ(sm.size(), 32u);
    EXPECT_EQ(std::vector<uint8_t>(sm.begin() + 16, sm.begin() + 24),
              (std::vector<uint8_t>{0x00, 0x11, 18, 0x00, 0x64, 0x00, 0x01, 0x03}));
    EXPECT_EQ(std::vector<uint8_t>(sm.begin() + 24, sm.end()),
              (std::vector<uint8_t>{0x00, 0x14, 32, 0x00, 0x20, 0x00, 0x01, 0x04}));
    EXPECT_EQ(sm[7], 1);
    EXPECT_EQ(sm[15], 2);

    // PDO categories: entry bit lengths add up to the images.
    auto pdoBits = [](const std::vector<uint8_t>& b, uint8_t* smOut) {
        unsigned bits = 0;
        *smOut = b[3];
        for (unsigned e = 0; e < b[2]; ++e)
            bits += b[8 + 8 * e + 5];
        return bits;
    };
    uint8_t smOf = 0;
    ASSERT_TRUE(cats.count(ec::kSiiCatTxPdo));
    EXPECT_EQ(pdoBits(cats[ec::kSiiCatTxPdo].bytes, &smOf), 32u * 8);
    EXPECT_EQ(smOf, 3);
    EXPECT_EQ(sim::rd16(&cats[ec::kSiiCatTxPdo].bytes[8]), 0x6041) << "status word first";
    ASSERT_TRUE(cats.count(ec::kSiiCatRxPdo));
    EXPECT_EQ(pdoBits(cats[ec::kSiiCatRxPdo].bytes, &smOf), 18u * 8);
    EXPECT_EQ(smOf, 2);
    EXPECT_EQ(sim::rd16(&cats[ec::kSiiCatRxPdo].bytes[8]), 0x6040) << "control word first";
}

TEST_F(SiiTest, BeyondTheImageReadsErased) {
    const auto d = siiRead(chain, station(1), 0x3000);
    EXPECT_EQ(d, std::vector<uint8_t>(8, 0xFF));
}

TEST_F(SiiTest, InvalidCommandsSetErrorBitsThatACommandZeroClears) {
    const uint16_t st = station(1);
    fpwr(chain, st, ec::kRegSiiControl, {0x00, 0x03});  // command 3 does not exist
    EXPECT_TRUE(fprd(chain, st, ec::kRegSiiControl, 2).u16() & ec::kSiiErrorAck);
    fpwr(chain, st, ec::kRegSiiControl, {0x00, 0x00});
    EXPECT_EQ(fprd(chain, st, ec::kRegSiiControl, 2).u16() & ec::kSiiErrorMask, 0);

    // Writing without write enable fails and leaves the word alone.
    fpwr(chain, st, ec::kRegSiiAddress, le32(ec::kSiiAlias));
    fpwr(chain, st, ec::kRegSiiData, le16(0x0042));
    fpwr(chain, st, ec::kRegSiiControl, {0x00, 0x02});
    EXPECT_TRUE(fprd(chain, st, ec::kRegSiiControl, 2).u16() & 0x4000);
    EXPECT_EQ(sim::rd16(siiRead(chain, st, ec::kSiiAlias).data()), 0);

    // With write enable, then a reload puts the new alias into 0x0012.
    fpwr(chain, st, ec::kRegSiiAddress, le32(ec::kSiiAlias));
    fpwr(chain, st, ec::kRegSiiData, le16(0x0042));
    fpwr(chain, st, ec::kRegSiiControl, {0x01, 0x02});
    EXPECT_EQ(fprd(chain, st, ec::kRegSiiControl, 2).u16() & ec::kSiiErrorMask, 0);
    EXPECT_EQ(sim::rd16(siiRead(chain, st, ec::kSiiAlias).data()), 0x0042);
    fpwr(chain, st, ec::kRegSiiControl, {0x00, 0x04});
    EXPECT_EQ(fprd(chain, st, ec::kRegStationAlias, 2).u16(), 0x0042);
}

TEST(SiiCoupler, CouplerHasIdentityButNoMailbox) {
    sim::ChainConfig cfg;
    cfg.slaves.push_back(sim::SlaveConfig::coupler());
    sim::Chain chain(cfg);
    assignStations(chain, 1);
    const auto d = siiRead(chain, station(1), ec::kSiiStdRxMailbox);
    EXPECT_EQ(sim::rd32(&d[0]), 0u);
    std::vector<uint16_t> img;
    chain.withSlave(1, [&img](sim::Esc& esc, sim::SlaveApplication*) { img = esc.sii(); });
    EXPECT_EQ(img[ec::kSiiChecksum], sim::siiChecksum(img));
    auto cats = categories(img);
    EXPECT_TRUE(cats.count(ec::kSiiCatGeneral));
    EXPECT_FALSE(cats.count(ec::kSiiCatSyncManager));
}

}  // namespace
