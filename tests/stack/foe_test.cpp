// FoE write against a fake bootloader: packet sizes and the end of file, refusals, wrong ACKs,
// BUSY and silence.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "mailbox.h"
#include "mailbox_fixture.h"

using namespace ectest;

namespace {

constexpr int kTimeout = 200000;
constexpr size_t kPacket = 128 - 12;  // SM0 length minus mailbox and FoE headers

class FoeTest : public MailboxTest {
protected:
    void SetUp() override {
        MailboxTest::SetUp();
        foe.password = 0x12345678;
        serveFoe();
    }
    int write(const Bytes& file, uint32_t password = 0x12345678, const char* name = "fw.bin",
              int timeout = kTimeout) {
        // A heap copy of exactly the file's size: a read past it is caught.
        auto buf = std::make_unique<uint8_t[]>(std::max<size_t>(file.size(), 1));
        if (!file.empty()) {
            std::memcpy(buf.get(), file.data(), file.size());
        }
        return ecx_FOEwrite(ctx(), 1, name, password, static_cast<int>(file.size()), buf.get(),
                            timeout);
    }
};

struct FileCase {
    size_t size;
    std::vector<uint32_t> packets;  // DATA packet numbers the slave sees
};

class FoeSizes : public FoeTest, public ::testing::WithParamInterface<FileCase> {};

TEST_P(FoeSizes, FileArrivesWhole) {
    const auto& [size, packets] = GetParam();
    const Bytes file = pattern(size, 3);
    ASSERT_GT(write(file), 0);
    EXPECT_TRUE(foe.complete);
    EXPECT_EQ(foe.file, file);
    EXPECT_EQ(foe.name, "fw.bin");
    EXPECT_EQ(foe.dataPackets, packets);
    EXPECT_FALSE(ecx_iserror(ctx()));
}

// A file that is a multiple of the packet size (0 included) ends with an empty packet.
INSTANTIATE_TEST_SUITE_P(Sizes, FoeSizes,
                         ::testing::Values(FileCase{0, {1}}, FileCase{1, {1}},
                                           FileCase{kPacket - 1, {1}}, FileCase{kPacket, {1, 2}},
                                           FileCase{kPacket + 1, {1, 2}},
                                           FileCase{2 * kPacket, {1, 2, 3}},
                                           FileCase{1000, {1, 2, 3, 4, 5, 6, 7, 8, 9}}));

TEST_F(FoeTest, LastPacketOfAFullMultipleIsEmpty) {
    ASSERT_GT(write(pattern(2 * kPacket)), 0);
    const auto msgs = slave.received();
    ASSERT_EQ(msgs.size(), 4u);  // WRQ, DATA 1, 2, 3
    EXPECT_EQ(ec::getU16(msgs[1].data()), 6 + kPacket);
    EXPECT_EQ(ec::getU16(msgs[3].data()), 6u);
}

TEST_F(FoeTest, FileNameIsCutToOnePacket) {
    const std::string name(300, 'n');
    ASSERT_GT(write(pattern(10), 0x12345678, name.c_str()), 0);
    EXPECT_EQ(foe.name, std::string(kPacket, 'n'));
}

TEST_F(FoeTest, WrongPasswordIsAnErrorReplyWithItsCode) {
    EXPECT_EQ(write(pattern(10), 0x1), EC_FOE_ERRORREPLY);
    ec_errort e{};
    ASSERT_TRUE(ecx_poperror(ctx(), &e));
    EXPECT_EQ(e.Etype, EC_ERR_TYPE_FOE_ERROR);
    EXPECT_EQ(static_cast<uint32_t>(e.AbortCode), 0x800Au);
    EXPECT_TRUE(foe.dataPackets.empty());
}

TEST_F(FoeTest, AckWithAnotherPacketNumberIsDistinct) {
    foe.wrongAck = true;
    EXPECT_EQ(write(pattern(300)), EC_FOE_PACKETNUMBER);
    ec_errort e{};
    ASSERT_TRUE(ecx_poperror(ctx(), &e));
    EXPECT_EQ(e.Etype, EC_ERR_TYPE_FOE_PACKETNUMBER);
    EXPECT_EQ(foe.dataPackets, std::vector<uint32_t>{1});
}

TEST_F(FoeTest, BusyPacketIsSentAgainAndTheFileCompletes) {
    foe.busyOnce = {2, 3};
    const Bytes file = pattern(3 * kPacket + 5);
    ASSERT_GT(write(file), 0);
    EXPECT_EQ(foe.file, file);
    EXPECT_EQ(foe.dataPackets, (std::vector<uint32_t>{1, 2, 2, 3, 3, 4}));
}

TEST_F(FoeTest, SlowAckIsNotConfusedWithTheOneBeforeIt) {
    // The ACK of packet 2 comes late. Meanwhile the master's repeat request brings back ACK 1,
    // which must not be taken for a wrong packet number.
    std::atomic<bool> held{false};
    Bytes heldAck;
    setFirmware([&, inner = foe.firmware()](const Bytes& m) {
        auto replies = inner(m);
        if (m[6] == ec::kFoeData && ec::getU32(&m[8]) == 2 && !held) {
            heldAck = replies.at(0);
            held = true;
            return std::vector<Bytes>{};
        }
        return replies;
    });
    std::thread late([&] {
        while (!held) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::this_thread::sleep_for(3 * ec::kMbxRepeatAfter);
        slave.push(heldAck);
    });
    const Bytes file = pattern(3 * kPacket);
    EXPECT_GT(write(file, 0x12345678, "fw.bin", 2000000), 0);
    late.join();
    EXPECT_EQ(foe.file, file);
}

TEST_F(FoeTest, SilenceIsATimeoutNotAnErrorReply) {
    setFirmware([](const Bytes&) { return std::vector<Bytes>{}; });
    EXPECT_EQ(write(pattern(10)), EC_FOE_NOREPLY);
    EXPECT_FALSE(ecx_iserror(ctx()));
}

TEST_F(FoeTest, FileNotFoundHasItsOwnResult) {
    Bytes err(6, 0);
    err[0] = ec::kFoeError;
    ec::putU32(err.data() + 2, 0x8001);
    setFirmware([err](const Bytes&) { return std::vector<Bytes>{mailboxMessage(4, err)}; });
    EXPECT_EQ(write(pattern(10)), EC_FOE_FILENOTFOUND);
    ec_errort e{};
    ASSERT_TRUE(ecx_poperror(ctx(), &e));
    EXPECT_EQ(e.Etype, EC_ERR_TYPE_FOE_FILE_NOTFOUND);
}

}  // namespace
