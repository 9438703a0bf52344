// Decoding SII categories from hand-built EEPROM images, damaged ones included, and the read
// handshake with an EEPROM slower than the simulator's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ethercat.h"
#include "scripted_link.h"
#include "sii.h"
#include "wire.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Builds an image: a 0x40-word header, then categories, then (optionally) the end marker.
class SiiImage {
public:
    SiiImage() : bytes_(0x80, 0) {}
    SiiImage& category(uint16_t type, Bytes data) {
        if (data.size() % 2) {
            data.push_back(0);
        }
        put16(type);
        put16(static_cast<uint16_t>(data.size() / 2));
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        return *this;
    }
    SiiImage& end() {
        put16(0xFFFF);
        return *this;
    }
    Bytes bytes() const { return bytes_; }

private:
    void put16(uint16_t v) {
        bytes_.push_back(static_cast<uint8_t>(v));
        bytes_.push_back(static_cast<uint8_t>(v >> 8));
    }
    Bytes bytes_;
};

Bytes strings(const std::vector<std::string>& list) {
    Bytes b{static_cast<uint8_t>(list.size())};
    for (const auto& s : list) {
        b.push_back(static_cast<uint8_t>(s.size()));
        b.insert(b.end(), s.begin(), s.end());
    }
    return b;
}

Bytes general(uint8_t coe, uint8_t foe, uint8_t flags, int16_t ebus) {
    Bytes b(32, 0);
    b[3] = 1;  // name: string 1
    b[5] = coe;
    b[6] = foe;
    b[11] = flags;
    ec::putU16(&b[12], static_cast<uint16_t>(ebus));
    return b;
}

Bytes syncManager(uint16_t start, uint16_t length, uint8_t control, uint8_t enable, uint8_t type) {
    Bytes b(8, 0);
    ec::putU16(&b[0], start);
    ec::putU16(&b[2], length);
    b[4] = control;
    b[6] = enable;
    b[7] = type;
    return b;
}

// One PDO with entries of the given bit lengths, assigned to `sm`.
Bytes pdo(uint16_t index, uint8_t sm, const std::vector<uint8_t>& bitLengths) {
    Bytes b(8, 0);
    ec::putU16(&b[0], index);
    b[2] = static_cast<uint8_t>(bitLengths.size());
    b[3] = sm;
    for (uint8_t bits : bitLengths) {
        Bytes e(8, 0);
        e[5] = bits;
        b.insert(b.end(), e.begin(), e.end());
    }
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

// The categories of one of the project's drives.
SiiImage driveImage() {
    SiiImage img;
    img.category(ec::kSiiCatStrings, strings({"QJ30", "Servo"}))
        .category(ec::kSiiCatGeneral, general(0x0D, 0x01, 0x00, -200))
        .category(ec::kSiiCatFmmu, {0x01, 0x02, 0x03, 0xFF})
        .category(
            ec::kSiiCatSyncManager,
            concat({syncManager(0x1000, 128, 0x26, 1, 1), syncManager(0x1080, 128, 0x22, 1, 2),
                    syncManager(0x1100, 0, 0x64, 1, 3), syncManager(0x1400, 0, 0x20, 1, 4)}))
        .category(ec::kSiiCatTxPdo, pdo(0x1A00, 3, {16, 32, 32, 16, 16, 16, 32, 32, 32, 32}))
        .category(ec::kSiiCatRxPdo, pdo(0x1600, 2, {16, 32, 32, 16, 16, 16, 16}))
        .end();
    return img;
}

}  // namespace

TEST(SiiCategories, DecodesTheCategoriesOfADrive) {
    const Bytes image = driveImage().bytes();
    const ec::SiiInfo info = ec::parseSiiImage(image);
    EXPECT_TRUE(info.complete);
    EXPECT_EQ(info.string(1), "QJ30");
    EXPECT_EQ(info.string(2), "Servo");
    EXPECT_EQ(info.string(3), "");
    ASSERT_TRUE(info.general);
    EXPECT_EQ(info.general->coeDetails, 0x0D);
    EXPECT_EQ(info.general->foeDetails, 0x01);
    EXPECT_EQ(info.general->ebusCurrent, -200);
    EXPECT_EQ(info.fmmuUsage, (std::vector<uint8_t>{0x01, 0x02, 0x03, 0xFF}));
    ASSERT_EQ(info.syncManagers.size(), 4u);
    EXPECT_EQ(info.syncManagers[2].start, 0x1100);
    EXPECT_EQ(info.syncManagers[2].control, 0x64);
    EXPECT_EQ(info.syncManagers[3].type, 4);
    ASSERT_TRUE(info.rxPdo && info.txPdo);
    EXPECT_EQ(info.rxPdo->perSm[2], 18u * 8);
    EXPECT_EQ(info.txPdo->perSm[3], 32u * 8);
}

TEST(SiiCategories, SkipsUnknownCategoriesAndUnassignedPdos) {
    SiiImage img;
    img.category(0x0800, Bytes(6, 0xAB))  // vendor category
        .category(ec::kSiiCatDc, Bytes(24, 0x55))
        .category(ec::kSiiCatRxPdo, concat({pdo(0x1600, 2, {16, 8}), pdo(0x1601, 0xFF, {32})}))
        .end();
    const ec::SiiInfo info = ec::parseSiiImage(img.bytes());
    EXPECT_TRUE(info.complete);
    ASSERT_TRUE(info.rxPdo);
    EXPECT_EQ(info.rxPdo->perSm[2], 24u);
    EXPECT_EQ(info.rxPdo->total, 24u);
}

TEST(SiiCategories, DamagedImagesAreNeverReadBeyondTheirEnd) {
    const Bytes whole = driveImage().bytes();
    // Cut the image at every length: decoding stops where the image does.
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        const Bytes part(whole.begin(), whole.begin() + static_cast<long>(cut));
        const ec::SiiInfo info = ec::parseSiiImage(part);
        EXPECT_FALSE(info.complete) << "cut at " << cut;
    }
}

TEST(SiiCategories, ContentLongerThanItsCategoryIsRejected) {
    struct Case {
        const char* name;
        Bytes image;
    };
    // A string whose length runs past the category; a PDO announcing more entries than fit; a
    // category size running past the image; a chain without end marker.
    Bytes longString = SiiImage().category(ec::kSiiCatStrings, {1, 40, 'A', 'B'}).end().bytes();
    Bytes manyEntries = SiiImage()
                            .category(ec::kSiiCatTxPdo,
                                      [] {
                                          Bytes p = pdo(0x1A00, 3, {16});
                                          p[2] = 200;
                                          return p;
                                      }())
                            .end()
                            .bytes();
    Bytes oversized = SiiImage().category(ec::kSiiCatFmmu, {1, 2}).end().bytes();
    ec::putU16(&oversized[0x80 + 2], 0x7000);  // size word of the first category
    Bytes endless = SiiImage().category(ec::kSiiCatFmmu, {1, 2}).bytes();
    const std::vector<Case> cases = {{"string past its category", longString},
                                     {"PDO entries past their category", manyEntries},
                                     {"category size past the image", oversized},
                                     {"no end marker", endless}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes exact(c.image.begin(), c.image.end());
        const ec::SiiInfo info = ec::parseSiiImage(exact);
        EXPECT_FALSE(info.complete);
    }
    EXPECT_TRUE(ec::parseSiiImage(longString).strings.empty());
}

TEST(SiiCategories, HeaderChecksumMatchesTheKnownExample) {
    const uint8_t header[14] = {0x04, 0x01, 0x00, 0x00, 0x00, 0x00, 0x0F,
                                0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(ec::siiHeaderCrc(header), 0xD8);
}

// An ESC whose EEPROM stays busy for two status reads after each command, and which ignores the
// first command because it is still busy with one of its own: the read waits, notices that the
// data are not for its word, and asks again.
TEST(SiiRead, BusyEepromIsPolledAndAnIgnoredCommandIsIssuedAgain) {
    auto script = std::make_shared<ectest::LinkScript>();
    int busyReads = 2;
    int ignore = 1;
    uint16_t address = 0x0777;
    script->respond = [&](const ectest::Bytes& f) {
        return std::vector<ectest::Bytes>{ectest::answer(f, [&](const ectest::DatagramView& d,
                                                                ectest::Bytes& frame) {
            uint8_t* data = &frame[d.data()];
            if (d.cmd == static_cast<uint8_t>(ec::Command::FPWR) && d.ado == ec::kRegSiiControl) {
                if (ignore-- <= 0) {
                    address = ec::getU16(data + 2);
                }
                busyReads = 2;
            } else if (d.cmd == static_cast<uint8_t>(ec::Command::FPRD) &&
                       d.ado == ec::kRegSiiControl) {
                std::fill_n(data, d.length, 0);
                ec::putU16(data, busyReads-- > 0 ? ec::kSiiBusy : ec::kSiiRead8Bytes);
                if (d.length >= 14) {
                    ec::putU16(data + 2, address);
                    ec::putU32(data + 6, 0xA0000000u | address);
                }
            }
            return uint16_t{1};
        })};
    };
    ec::OwnedContext ctx;
    ASSERT_GT(ecx_init_link(ctx.get(), std::make_unique<ectest::ScriptedLink>(script)), 0);
    const auto chunk = ec::siiReadFP(ctx.get(), 0x1001, 0x0040, EC_TIMEOUTEEP);
    ASSERT_TRUE(chunk);
    EXPECT_EQ(chunk->words, 4u);
    EXPECT_EQ(static_cast<uint32_t>(chunk->value), 0xA0000040u);
    ecx_close(ctx.get());
}
