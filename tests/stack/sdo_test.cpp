// The SDO client against a fake slave: transfers of every kind and size, buffer bounds, and a
// slave that answers wrongly, late or not at all.
#include <gtest/gtest.h>

#include <memory>

#include "mailbox_fixture.h"

using namespace ectest;

namespace {

constexpr int kTimeout = EC_TIMEOUTRXM;
constexpr int kShortTimeout = 30000;

class SdoTest : public MailboxTest {
protected:
    void SetUp() override {
        MailboxTest::SetUp();
        sdo.objects[{0x6101, 1}] = {0x34, 0x12};
        sdo.objects[{0x6101, 3}] = {1, 2, 3, 4};
        sdo.objects[{0x6101, 9}] = {7};
        serveSdo();
    }

    // Reads into a heap buffer of exactly `capacity` bytes, so that a write past it is caught.
    int read(uint16_t index, uint8_t sub, int capacity, Bytes* value = nullptr,
             int timeout = kTimeout) {
        auto buf = std::make_unique<uint8_t[]>(static_cast<size_t>(std::max(capacity, 1)));
        int size = capacity;
        const int wkc = ecx_SDOread(ctx(), 1, index, sub, false, &size, buf.get(), timeout);
        if (value != nullptr && wkc > 0) {
            value->assign(buf.get(), buf.get() + size);
        }
        return wkc;
    }

    // The fake answers the next request with `replies` once, then serves normally again.
    void answerOnce(std::vector<Bytes> replies) {
        setFirmware([this, replies, used = false](const Bytes& m) mutable {
            if (used) {
                return sdo.firmware()(m);
            }
            used = true;
            return replies;
        });
    }
};

TEST_F(SdoTest, ExpeditedTransfersOfOneTwoAndFourBytes) {
    for (const auto& [sub, value] : std::vector<std::pair<uint8_t, Bytes>>{
             {9, {0xA5}}, {1, {0xCD, 0xAB}}, {3, {0xEF, 0xBE, 0xAD, 0xDE}}}) {
        ASSERT_GT(ecx_SDOwrite(ctx(), 1, 0x6101, sub, false, static_cast<int>(value.size()),
                               value.data(), kTimeout),
                  0);
        EXPECT_EQ((sdo.objects[{0x6101, sub}]), value);
        Bytes back;
        ASSERT_GT(read(0x6101, sub, 4, &back), 0);
        EXPECT_EQ(back, value) << "subindex " << int(sub);
    }
    // An expedited request is one 10-byte CoE message with the size in the command.
    const Bytes last = slave.received().back();
    EXPECT_EQ(ec::getU16(last.data()), 10);
    EXPECT_EQ(last[6 + 2], 0x40);
}

struct SizeCase {
    size_t size;
    uint16_t window;
};

class SdoSizes : public SdoTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(SdoSizes, NormalAndSegmentedRoundTrip) {
    const auto [size, window] = GetParam();
    setWindows(window, window);
    sdo.objects[{0x1008, 0}] = Bytes(size, 0);
    const Bytes value = pattern(size, static_cast<uint8_t>(size));
    ASSERT_GT(
        ecx_SDOwrite(ctx(), 1, 0x1008, 0, false, static_cast<int>(size), value.data(), kTimeout),
        0);
    EXPECT_EQ((sdo.objects[{0x1008, 0}]), value);
    Bytes back;
    ASSERT_GT(read(0x1008, 0, static_cast<int>(size), &back), 0);
    EXPECT_EQ(back, value);
    EXPECT_TRUE(popErrors().empty());
}

// Sizes around the expedited limit, the first message's room (window - 16), and the padded
// 7-byte segment minimum.
INSTANTIATE_TEST_SUITE_P(Sizes, SdoSizes,
                         ::testing::Values(SizeCase{5, 128}, SizeCase{112, 128}, SizeCase{113, 128},
                                           SizeCase{119, 128}, SizeCase{300, 128},
                                           SizeCase{1000, 128}, SizeCase{16, 32}, SizeCase{17, 32},
                                           SizeCase{40, 32}, SizeCase{42, 32}, SizeCase{200, 32},
                                           SizeCase{2000, 1486}));

TEST_F(SdoTest, ObjectLargerThanTheBufferFailsWithoutWritingPastIt) {
    sdo.objects[{0x1008, 0}] = pattern(300);
    EXPECT_LE(read(0x1008, 0, 299), 0);
    EXPECT_LE(read(0x6101, 3, 3), 0);  // expedited, 4 bytes
    const auto errors = popErrors();
    ASSERT_EQ(errors.size(), 2u);
    for (const auto& e : errors) {
        EXPECT_EQ(e.Etype, EC_ERR_TYPE_PACKET_ERROR);
        EXPECT_EQ(e.ErrorCode, ec::kPacketBufferTooSmall);
        EXPECT_EQ(e.Slave, 1);
    }
    // The next transfer works.
    Bytes back;
    ASSERT_GT(read(0x1008, 0, 300, &back), 0);
    EXPECT_EQ(back, pattern(300));
}

TEST_F(SdoTest, HostileRepliesFailAndTheNextTransferWorks) {
    struct Case {
        const char* what;
        std::vector<Bytes> replies;
        uint16_t packetError;
    };
    // Upload response announcing 4 bytes and carrying 100.
    Bytes oversized = coeSdo(0x41, 0x6101, 3, 4);
    const Bytes junk = pattern(100, 9);
    oversized.insert(oversized.end(), junk.begin(), junk.end());
    Bytes shortHeader = mailboxMessage(ec::kMbxTypeCoE, coeSdo(0x43, 0x6101, 3, 0x01020304));
    ec::putU16(shortHeader.data(), 2);  // shorter than the CoE SDO header behind it
    Bytes beyondWindow = mailboxMessage(ec::kMbxTypeCoE, coeSdo(0x43, 0x6101, 3, 1));
    ec::putU16(beyondWindow.data(), 500);
    const Case cases[] = {
        {"announces 4 sends 100", {mailboxMessage(ec::kMbxTypeCoE, oversized)}, ec::kPacketOverrun},
        {"length shorter than header", {shortHeader}, ec::kPacketMalformed},
        {"length beyond the window", {beyondWindow}, ec::kPacketMalformed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        answerOnce(c.replies);
        EXPECT_LE(read(0x6101, 3, 4), 0);
        const auto errors = popErrors();
        ASSERT_FALSE(errors.empty());
        EXPECT_EQ(errors.front().Etype, EC_ERR_TYPE_PACKET_ERROR);
        EXPECT_EQ(errors.front().ErrorCode, c.packetError);
        serveSdo();
        Bytes back;
        ASSERT_GT(read(0x6101, 3, 4, &back), 0);
        EXPECT_EQ(back, (Bytes{1, 2, 3, 4}));
    }
}

TEST_F(SdoTest, GarbageInPlaceOfAReplyFails) {
    for (uint8_t seed = 1; seed < 6; ++seed) {
        answerOnce({pattern(128, seed)});
        EXPECT_LE(read(0x6101, 3, 4, nullptr, kShortTimeout), 0);
        serveSdo();
        Bytes back;
        ASSERT_GT(read(0x6101, 3, 4, &back), 0);
        EXPECT_EQ(back, (Bytes{1, 2, 3, 4}));
    }
}

TEST_F(SdoTest, SegmentsBeyondTheAnnouncedSizeFail) {
    // 20 bytes announced, 10 in the first reply, then segments of 10 that never end.
    Bytes first = coeSdo(0x41, 0x1008, 0, 20);
    const Bytes ten = pattern(10);
    first.insert(first.end(), ten.begin(), ten.end());
    uint8_t toggle = 0;
    setFirmware([&, first](const Bytes& m) mutable {
        const uint8_t cmd = m[8];
        if ((cmd & 0xE0) == ec::kSdoUploadInitRq) {
            toggle = 0;
            return std::vector<Bytes>{mailboxMessage(ec::kMbxTypeCoE, first)};
        }
        if ((cmd & 0xE0) == ec::kSdoUploadSegmentRq) {
            Bytes seg(3, 0);
            ec::putU16(seg.data(), ec::kCoeSdoResponse << 12);
            seg[2] = toggle;  // never the last
            toggle ^= 0x10;
            seg.insert(seg.end(), ten.begin(), ten.end());
            return std::vector<Bytes>{mailboxMessage(ec::kMbxTypeCoE, seg)};
        }
        return std::vector<Bytes>{};
    });
    EXPECT_LE(read(0x1008, 0, 20), 0);
    EXPECT_LE(read(0x1008, 0, 64), 0);
    for (const auto& e : popErrors()) {
        EXPECT_EQ(e.ErrorCode, ec::kPacketOverrun);
    }
}

TEST_F(SdoTest, AbortIsRecordedWithCodeAndText) {
    EXPECT_EQ(read(0x6101, 99, 4), 0);
    const uint8_t v = 1;
    EXPECT_EQ(ecx_SDOwrite(ctx(), 1, 0x7000, 2, false, 1, &v, kTimeout), 0);
    ASSERT_TRUE(ecx_iserror(ctx()));
    ec_errort e{};
    ASSERT_TRUE(ecx_poperror(ctx(), &e));
    EXPECT_EQ(e.Etype, EC_ERR_TYPE_SDO_ERROR);
    EXPECT_EQ(e.Slave, 1);
    EXPECT_EQ(e.Index, 0x6101);
    EXPECT_EQ(e.SubIdx, 99);
    EXPECT_EQ(static_cast<uint32_t>(e.AbortCode), 0x06020000u);
    const std::string rest = ecx_elist2string(ctx());
    EXPECT_NE(rest.find("index:7000.02"), std::string::npos) << rest;
    EXPECT_NE(rest.find("Object does not exist in the object dictionary"), std::string::npos);
    EXPECT_FALSE(ecx_iserror(ctx()));
}

TEST_F(SdoTest, EmergencyWhileWaitingIsQueuedAndTheWaitGoesOn) {
    Bytes emcy(10, 0);
    ec::putU16(emcy.data(), ec::kCoeEmergency << 12);
    ec::putU16(emcy.data() + 2, 0x8611);
    emcy[4] = 0x81;
    emcy[5] = 0xAA;
    ec::putU16(emcy.data() + 6, 0x1234);
    ec::putU16(emcy.data() + 8, 0x5678);
    answerOnce({mailboxMessage(ec::kMbxTypeCoE, emcy),
                mailboxMessage(ec::kMbxTypeCoE, coeSdo(0x4B, 0x6101, 1, 0x1234))});
    Bytes back;
    ASSERT_GT(read(0x6101, 1, 2, &back), 0);
    EXPECT_EQ(back, (Bytes{0x34, 0x12}));
    const auto errors = popErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].Etype, EC_ERR_TYPE_EMERGENCY);
    EXPECT_EQ(errors[0].ErrorCode, 0x8611);
    EXPECT_EQ(errors[0].ErrorReg, 0x81);
    EXPECT_EQ(errors[0].b1, 0xAA);
    EXPECT_EQ(errors[0].w1, 0x1234);
    EXPECT_EQ(errors[0].w2, 0x5678);
}

TEST_F(SdoTest, ReplyToAnotherObjectIsNotTheAnswer) {
    answerOnce({mailboxMessage(ec::kMbxTypeCoE, coeSdo(0x4F, 0x6101, 2, 0xEE)),
                mailboxMessage(ec::kMbxTypeCoE, coeSdo(0x4F, 0x6102, 1, 0xDD)),
                mailboxMessage(ec::kMbxTypeCoE, coeSdo(0x4F, 0x6101, 9, 0x07))});
    Bytes back;
    ASSERT_GT(read(0x6101, 9, 1, &back), 0);
    EXPECT_EQ(back, Bytes{0x07});
    // Only wrong ones: no answer in time.
    answerOnce({mailboxMessage(ec::kMbxTypeCoE, coeSdo(0x4F, 0x6101, 2, 0xEE))});
    EXPECT_EQ(read(0x6101, 9, 1, &back, kShortTimeout), EC_TIMEOUT);
}

TEST_F(SdoTest, LostReplyIsBroughtBackByARepeatRequest) {
    {
        auto l = slave.lock();
        slave.loseReadFrames = 1;
    }
    Bytes back;
    ASSERT_GT(read(0x6101, 3, 4, &back), 0);
    EXPECT_EQ(back, (Bytes{1, 2, 3, 4}));
    const int afterLostRead = slave.repeatRequests();
    EXPECT_GE(afterLostRead, 1);
    // A reply that never shows in the mailbox: the master asks again after a quiet while.
    {
        auto l = slave.lock();
        slave.hideReplies = 1;
    }
    sdo.objects[{0x1008, 0}] = pattern(300);
    ASSERT_GT(read(0x1008, 0, 300, &back), 0);
    EXPECT_EQ(back, pattern(300));
    EXPECT_GT(slave.repeatRequests(), afterLostRead);
}

TEST_F(SdoTest, DuplicatedReplyIsNotTakenForTheNextAnswer) {
    const Bytes reply = mailboxMessage(ec::kMbxTypeCoE, coeSdo(0x4B, 0x6101, 1, 0x1234), 5);
    answerOnce({reply, reply});
    Bytes back;
    ASSERT_GT(read(0x6101, 1, 2, &back), 0);
    ASSERT_GT(read(0x6101, 3, 4, &back), 0);
    EXPECT_EQ(back, (Bytes{1, 2, 3, 4}));
}

TEST_F(SdoTest, MailboxErrorReplyFailsAndIsRecorded) {
    Bytes err(4, 0);
    ec::putU16(err.data(), 1);
    ec::putU16(err.data() + 2, 0x0004);
    answerOnce({mailboxMessage(ec::kMbxTypeError, err)});
    EXPECT_EQ(read(0x6101, 3, 4), 0);
    const auto errors = popErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].Etype, EC_ERR_TYPE_MBX_ERROR);
    EXPECT_EQ(errors[0].ErrorCode, 0x0004);
}

TEST_F(SdoTest, MessageCountersRunOneToSevenAndWrapToOne) {
    for (int i = 0; i < 9; ++i) {
        ASSERT_GT(read(0x6101, 9, 1), 0);
    }
    std::vector<int> counters;
    for (const Bytes& m : slave.received()) {
        counters.push_back((m[5] >> 4) & 7);
    }
    EXPECT_EQ(counters, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 1, 2}));
}

TEST_F(SdoTest, CompleteAccessNeedsTheSlavesConsent) {
    const size_t before = script->sentCount();
    EXPECT_EQ(read(0x6101, 3, 4), 1);
    const size_t perRead = script->sentCount() - before;
    int size = 4;
    uint8_t buf[4];
    EXPECT_EQ(ecx_SDOread(ctx(), 1, 0x1C12, 0, true, &size, buf, kTimeout), 0);
    EXPECT_EQ(script->sentCount() - before, perRead);  // nothing sent
    EXPECT_EQ(popErrors().at(0).ErrorCode, ec::kPacketRefused);

    master.slave(1).CoEdetails |= ec::kCoeDetailCompleteAccess;
    sdo.objects[{0x1C12, 1}] = {0x00, 0x16};
    size = 4;
    EXPECT_GT(ecx_SDOread(ctx(), 1, 0x1C12, 5, true, &size, buf, kTimeout), 0);
    const Bytes rq = slave.received().back();
    EXPECT_EQ(rq[6 + 2], 0x50);  // upload with complete access
    EXPECT_EQ(rq[6 + 5], 1);     // from subindex 1
}

TEST_F(SdoTest, SlaveWithoutMailboxIsRefused) {
    master.slave(1).mbx_l = 0;
    int size = 4;
    uint8_t buf[4];
    EXPECT_EQ(ecx_SDOread(ctx(), 1, 0x6101, 3, false, &size, buf, kTimeout), 0);
    EXPECT_EQ(ecx_SDOread(ctx(), 2, 0x6101, 3, false, &size, buf, kTimeout), 0);
    EXPECT_EQ(script->sentCount(), 0u);
}

TEST_F(SdoTest, PdoSizesFromTheAssignmentObjects) {
    auto& od = sdo.objects;
    od[{0x1C00, 0}] = {4};
    od[{0x1C00, 1}] = {1};
    od[{0x1C00, 2}] = {2};
    od[{0x1C00, 3}] = {3};
    od[{0x1C00, 4}] = {4};
    od[{0x1C12, 0}] = {1};
    od[{0x1C12, 1}] = {0x00, 0x16};
    od[{0x1C13, 0}] = {1};
    od[{0x1C13, 1}] = {0x00, 0x1A};
    od[{0x1600, 0}] = {3};
    od[{0x1600, 1}] = {0x10, 0x00, 0x40, 0x60};  // 0x6040:00, 16 bits
    od[{0x1600, 2}] = {0x08, 0x00, 0x60, 0x60};  // 0x6060:00, 8 bits
    od[{0x1600, 3}] = {0x08, 0x00, 0x00, 0x00};  // 8 bits of padding
    od[{0x1A00, 0}] = {2};
    od[{0x1A00, 1}] = {0x10, 0x00, 0x41, 0x60};
    od[{0x1A00, 2}] = {0x20, 0x00, 0x64, 0x60};
    uint32_t out = 0;
    uint32_t in = 0;
    ASSERT_TRUE(ec::readPdoSizesCoE(ctx(), 1, &out, &in));
    EXPECT_EQ(out, 32u);
    EXPECT_EQ(in, 48u);
    const ec_slavet& s = master.slave(1);
    EXPECT_EQ(s.SMtype[2], EC_SMTYPE_OUTPUTS);
    EXPECT_EQ(s.SM[2].SMlength, 4);
    EXPECT_EQ(s.SMtype[3], EC_SMTYPE_INPUTS);
    EXPECT_EQ(s.SM[3].SMlength, 6);

    // A mapping that cannot be read completely leaves the record alone: the SII decides.
    od.erase({0x1A00, 2});
    master.slave(1).SM[3].SMlength = 32;
    EXPECT_FALSE(ec::readPdoSizesCoE(ctx(), 1, &out, &in));
    EXPECT_EQ(master.slave(1).SM[3].SMlength, 32);
    // Without PDO assignment in the CoE details nothing is asked.
    master.slave(1).CoEdetails = ec::kCoeDetailSdo;
    const size_t before = script->sentCount();
    EXPECT_FALSE(ec::readPdoSizesCoE(ctx(), 1, &out, &in));
    EXPECT_EQ(script->sentCount(), before);
}

}  // namespace
