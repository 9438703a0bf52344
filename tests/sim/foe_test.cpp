// The drive's bootloader: entering BOOT on the bootstrap mailbox, FoE writes of every shape,
// their errors and BUSY answers, and the restart with the new image.
#include <gtest/gtest.h>

#include <memory>

#include "mailbox_client.h"
#include "sim/cia402_drive.h"
#include "sim/foe_server.h"
#include "sim/sii.h"

using namespace simtest;

namespace {

constexpr uint32_t kPassword = 0x5A0C3E71;
constexpr size_t kPacket = sim::layout::kBootOutSize - 12u;  // data per DATA packet

std::vector<uint8_t> fileOf(size_t n) {
    std::vector<uint8_t> f(n);
    for (size_t i = 0; i < n; ++i)
        f[i] = static_cast<uint8_t>((i * 131 + 7) ^ (i >> 8));
    return f;
}

struct BootTest : ::testing::Test {
    std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
    sim::ChainConfig cfg = [this] {
        auto c = sim::ChainConfig::drives(2);
        c.clock = clock;
        for (auto& s : c.slaves)
            s.foePassword = kPassword;
        return c;
    }();
    std::unique_ptr<sim::Chain> chain;
    const uint16_t st = station(1);

    void SetUp() override { start(); }
    void start() {
        chain = std::make_unique<sim::Chain>(cfg);
        bringUp(*chain, 2, ec::kAlStatePreOp);
    }
    // The bootstrap procedure: INIT, the mailbox moved to the SII bootstrap words, BOOT.
    void moveToBootMailbox() {
        requestState(*chain, st, ec::kAlStateInit);
        const auto rx = sim::rd32(siiRead(*chain, st, ec::kSiiBootRxMailbox).data());
        const auto tx = sim::rd32(siiRead(*chain, st, ec::kSiiBootTxMailbox).data());
        fpwr(*chain, st, ec::kRegSm0,
             smBytes(static_cast<uint16_t>(rx), static_cast<uint16_t>(rx >> 16),
                     ec::kSmFlagsMailboxOut));
        fpwr(*chain, st, ec::kRegSm0 + 8,
             smBytes(static_cast<uint16_t>(tx), static_cast<uint16_t>(tx >> 16),
                     ec::kSmFlagsMailboxIn));
    }
    void enterBoot() {
        moveToBootMailbox();
        requestState(*chain, st, ec::kAlStateBoot);
        ASSERT_EQ(alStatus(*chain, st), ec::kAlStateBoot);
    }
    MailboxClient bootMailbox() {
        return MailboxClient(*chain, st, sim::layout::kBootOutStart, sim::layout::kBootOutSize,
                             sim::layout::kBootInStart, sim::layout::kBootInSize);
    }
    // Back to INIT, standard mailbox, PRE-OP.
    void restartToPreOp() {
        requestState(*chain, st, ec::kAlStateInit);
        writeMailboxSms(*chain, st);
        requestState(*chain, st, ec::kAlStatePreOp);
        ASSERT_EQ(alStatus(*chain, st), ec::kAlStatePreOp);
    }
};

TEST_F(BootTest, BootNeedsTheBootstrapWindows) {
    requestState(*chain, st, ec::kAlStateInit);
    requestState(*chain, st, ec::kAlStateBoot);
    EXPECT_EQ(alStatus(*chain, st), ec::kAlStateInit | ec::kAlStateError)
        << "standard mailbox kept";
    EXPECT_EQ(chain->alStatusCode(1), ec::kAlInvalidMailboxBoot);
    requestState(*chain, st, ec::kAlStateInit | ec::kAlStateError);
    enterBoot();
    EXPECT_EQ(chain->alState(2), ec::kAlStatePreOp) << "the other drive goes on";
}

TEST_F(BootTest, BootRefusedOrLate) {
    cfg.slaves[0].bootSupported = false;
    start();
    moveToBootMailbox();
    requestState(*chain, st, ec::kAlStateBoot);
    EXPECT_EQ(chain->alStatusCode(1), ec::kAlBootstrapNotSupported);

    cfg.slaves[0].bootSupported = true;
    cfg.slaves[0].bootDelayNs = 3'000'000'000;
    start();
    moveToBootMailbox();
    requestState(*chain, st, ec::kAlStateBoot);
    EXPECT_EQ(alStatus(*chain, st), ec::kAlStateInit);
    clock->advance(2'900'000'000);
    EXPECT_EQ(alStatus(*chain, st), ec::kAlStateInit);
    clock->advance(200'000'000);
    EXPECT_EQ(alStatus(*chain, st), ec::kAlStateBoot);
}

TEST_F(BootTest, FilesOfEveryShapeArriveWhole) {
    enterBoot();
    auto mbx = bootMailbox();
    for (size_t size :
         {size_t{0}, size_t{1}, kPacket - 1, kPacket, kPacket + 1, 2 * kPacket, 3 * kPacket + 17}) {
        SCOPED_TRACE("file of " + std::to_string(size) + " bytes");
        const auto file = fileOf(size);
        const FoeResult r = foeWrite(mbx, "drive.bin", kPassword, file);
        ASSERT_TRUE(r.ok) << std::hex << r.error;
        // Full packets, then a short or empty one.
        const uint32_t packets = static_cast<uint32_t>(size / kPacket + 1);
        EXPECT_EQ(r.packets, packets);
        ASSERT_EQ(r.acks.size(), packets + 1);
        for (uint32_t i = 0; i <= packets; ++i)
            EXPECT_EQ(r.acks[i], i);
        const auto got = chain->firmware(1);
        ASSERT_TRUE(got);
        EXPECT_EQ(got->name, "drive.bin");
        EXPECT_EQ(got->bytes, file);
        EXPECT_EQ(got->crc32, sim::crc32(file));
        EXPECT_TRUE(got->complete);
    }
}

TEST(Crc32, KnownVector) {
    const std::string s = "123456789";
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    EXPECT_EQ(sim::crc32({p, s.size()}), 0xCBF43926u);
    EXPECT_EQ(sim::crc32Update(sim::crc32({p, 4}), {p + 4, s.size() - 4}), 0xCBF43926u);
    EXPECT_EQ(sim::crc32({}), 0u);
}

TEST_F(BootTest, WrongPasswordAndWrongPacketNumber) {
    enterBoot();
    auto mbx = bootMailbox();
    FoeResult r = foeWrite(mbx, "drive.bin", kPassword + 1, fileOf(10));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, sim::foe_error::kNoRights);
    EXPECT_TRUE(chain->firmware(1)->name.empty()) << "nothing taken";

    auto m = mbx.exchange(ec::kMbxTypeFoE, foeHeader(ec::kFoeWrite, kPassword, {'f'}));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->data[0], ec::kFoeAck);
    EXPECT_EQ(m->u32(2), 0u);
    m = mbx.exchange(ec::kMbxTypeFoE, foeHeader(ec::kFoeData, 2, fileOf(kPacket)));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->data[0], ec::kFoeError);
    EXPECT_EQ(m->u32(2), sim::foe_error::kPacketNumber);
    // The transfer is over: DATA 1 now finds no write.
    m = mbx.exchange(ec::kMbxTypeFoE, foeHeader(ec::kFoeData, 1, fileOf(3)));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->data[0], ec::kFoeError);
    EXPECT_FALSE(chain->firmware(1)->complete);
}

TEST_F(BootTest, BusyAtConfiguredPacketsMakesTheMasterSendAgain) {
    cfg.slaves[0].foeBusyPackets = {3, 7};
    start();
    enterBoot();
    auto mbx = bootMailbox();
    const auto file = fileOf(8 * kPacket + 100);
    const FoeResult r = foeWrite(mbx, "drive.bin", kPassword, file);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.busy, 2u);
    EXPECT_EQ(r.packets, 9u + 2u) << "packets 3 and 7 twice";
    EXPECT_EQ(chain->firmware(1)->bytes, file);
    // Once per packet number and write: a second write meets BUSY again.
    const FoeResult again = foeWrite(mbx, "drive.bin", kPassword, fileOf(4 * kPacket));
    EXPECT_TRUE(again.ok);
    EXPECT_EQ(again.busy, 1u);
}

TEST_F(BootTest, FoeOutsideBootAndCoeInsideBoot) {
    MailboxClient std{*chain, st};
    auto m = std.exchange(ec::kMbxTypeFoE, foeHeader(ec::kFoeWrite, kPassword, {'f'}));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->type, ec::kMbxTypeFoE);
    EXPECT_EQ(m->data[0], ec::kFoeError);
    EXPECT_EQ(m->u32(2), sim::foe_error::kBootstrapOnly);

    enterBoot();
    auto mbx = bootMailbox();
    m = mbx.exchange(ec::kMbxTypeCoE, sdoRequest(0x40, 0x1000, 0));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->type, ec::kMbxTypeError);
    EXPECT_EQ(m->u16(2), 0x0002);
    m = mbx.exchange(ec::kMbxTypeFoE, foeHeader(ec::kFoeRead, kPassword, {'f'}));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->data[0], ec::kFoeError) << "nothing to read";
}

TEST_F(BootTest, NewFirmwareRunsAfterBoot) {
    enterBoot();
    auto mbx = bootMailbox();
    ASSERT_TRUE(foeWrite(mbx, "qj30_fw_v1.4.2.bin", kPassword, fileOf(3000)).ok);
    EXPECT_EQ(chain->drive(1)->softwareVersion(), 0x3125) << "runs on leaving BOOT";
    restartToPreOp();
    MailboxClient std{*chain, st};
    const auto text = sdoUpload(std, 0x100A, 0).data;
    EXPECT_EQ(std::string(text.begin(), text.end()), "1.4.2");
    EXPECT_EQ(sdoUpload(std, sim::kParamObject, 1).data, (std::vector<uint8_t>{0x42, 0x31}));

    // Flash keeps it over a power cycle; a file without a version shows its checksum.
    chain->powerCycle(1);
    bringUp(*chain, 1, ec::kAlStatePreOp);
    EXPECT_EQ(chain->drive(1)->softwareVersionText(), "1.4.2");
    enterBoot();
    auto boot = bootMailbox();
    const auto image = fileOf(50);
    ASSERT_TRUE(foeWrite(boot, "image.bin", kPassword, image).ok);
    restartToPreOp();
    char expect[32];
    std::snprintf(expect, sizeof expect, "1.4.2+%08x", sim::crc32(image));
    EXPECT_EQ(chain->drive(1)->softwareVersionText(), expect);
}

TEST_F(BootTest, IncompleteFileLeavesTheOldFirmware) {
    enterBoot();
    auto mbx = bootMailbox();
    ASSERT_TRUE(mbx.exchange(ec::kMbxTypeFoE,
                             foeHeader(ec::kFoeWrite, kPassword, {'v', '2', '.', '0', '.', '0'})));
    ASSERT_TRUE(mbx.exchange(ec::kMbxTypeFoE, foeHeader(ec::kFoeData, 1, fileOf(kPacket))));
    restartToPreOp();
    EXPECT_EQ(chain->drive(1)->softwareVersionText(), "1.2.5");
    EXPECT_EQ(chain->firmware(1)->bytes.size(), kPacket);
    EXPECT_FALSE(chain->firmware(1)->complete);
}

TEST_F(BootTest, UnsavedSettingsAreLostWhenTheNewFirmwareStarts) {
    MailboxClient std{*chain, st};
    ASSERT_TRUE(sdoDownload(std, sim::kParamObject, 9, {77}).ok());
    enterBoot();
    auto mbx = bootMailbox();
    ASSERT_TRUE(foeWrite(mbx, "v1.3.0", kPassword, fileOf(10)).ok);
    restartToPreOp();
    EXPECT_EQ(chain->parameter(1, 8), std::vector<uint8_t>{20});
}

}  // namespace
