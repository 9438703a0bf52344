// The deliberate mailbox faults with which the master's tests meet a hostile slave: each one
// must produce exactly the malformed reply it names, and nothing else.
#include <gtest/gtest.h>

#include "mailbox_client.h"
#include "sim/sii.h"

using namespace simtest;

namespace {

struct MisbehaviourTest : ::testing::Test {
    sim::Chain chain{[] {
        auto cfg = sim::ChainConfig::drives(1);
        cfg.slaves[0].mailboxOutSize = 64;
        cfg.slaves[0].mailboxInSize = 64;
        return cfg;
    }()};
    const uint16_t st = station(1);
    MailboxClient mbx{chain, st, 0x1000, 64, 0x1040, 64};

    void SetUp() override {
        assignStations(chain, 1);
        writeMailboxSms(chain, st, 64, 64);
        requestState(chain, st, ec::kAlStatePreOp);
        ASSERT_EQ(alStatus(chain, st), ec::kAlStatePreOp);
    }
    std::optional<MbxMessage> upload(uint16_t index, uint8_t sub) {
        return mbx.exchange(ec::kMbxTypeCoE, sdoRequest(0x40, index, sub));
    }
};

TEST_F(MisbehaviourTest, OversizedUploadAnnouncesFourBytesAndSendsMore) {
    ASSERT_TRUE(chain.setMailboxMisbehaviour(1, sim::Misbehaviour::OversizedUpload));
    const auto m = upload(0x1000, 0);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->data[2], 0x41) << "normal, not expedited";
    EXPECT_EQ(m->u32(6), 4u) << "announced size";
    EXPECT_EQ(m->length, 64 - 6) << "as much as SM1 holds";
    EXPECT_EQ(m->u32(10), 0x00020192u) << "the real value first";

    ASSERT_TRUE(chain.setMailboxMisbehaviour(1, sim::Misbehaviour::None));
    const auto fine = upload(0x1000, 0);
    ASSERT_TRUE(fine);
    EXPECT_EQ(fine->data[2], 0x43);
}

TEST_F(MisbehaviourTest, SegmentsGoOnBeyondTheAnnouncedSize) {
    ASSERT_TRUE(chain.setMailboxMisbehaviour(1, sim::Misbehaviour::SegmentsBeyondSize));
    auto m = upload(0x1008, 0);  // 16 bytes: would fit in the first reply
    ASSERT_TRUE(m);
    EXPECT_EQ(m->data[2], 0x41);
    const uint32_t announced = m->u32(6);
    EXPECT_EQ(announced, 16u);
    EXPECT_EQ(m->length, 10) << "all the data comes in segments";
    size_t received = 0;
    uint8_t toggle = 0;
    int segments = 0;
    for (;;) {
        m = mbx.exchange(ec::kMbxTypeCoE,
                         sdoRequest(static_cast<uint8_t>(0x60 | toggle << 4), 0, 0));
        ASSERT_TRUE(m);
        ASSERT_FALSE(isAbort(*m));
        ++segments;
        received += m->length > 10 ? m->length - 3u : 7u - ((m->data[2] >> 1) & 7);
        toggle ^= 1;
        if (m->data[2] & 1)
            break;
        ASSERT_LT(segments, 10);
    }
    EXPECT_EQ(received, announced + 26u);
    EXPECT_GE(segments, 1);

    // A 2-byte object goes the same way instead of expedited.
    m = upload(0x6041, 0);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->data[2], 0x41);
    EXPECT_EQ(m->u32(6), 2u);
}

TEST_F(MisbehaviourTest, MailboxLengthShorterThanItsHeader) {
    ASSERT_TRUE(chain.setMailboxMisbehaviour(1, sim::Misbehaviour::ShortMailboxLength));
    const auto m = upload(0x1000, 0);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->length, 2) << "shorter than the 10 bytes of an SDO response";
    EXPECT_EQ(m->type, ec::kMbxTypeCoE);
    EXPECT_EQ(m->window[6 + 2], 0x43) << "the rest of the reply is there";
}

TEST_F(MisbehaviourTest, GarbageInPlaceOfAReply) {
    ASSERT_TRUE(chain.setMailboxMisbehaviour(1, sim::Misbehaviour::Garbage));
    const auto a = upload(0x1000, 0);
    const auto b = upload(0x1000, 0);
    ASSERT_TRUE(a && b);
    EXPECT_GT(a->length, 64 - 6) << "no length that fits the window";
    EXPECT_NE(a->window, b->window);
}

TEST_F(MisbehaviourTest, LostReplyComesBackOnRepeat) {
    ASSERT_TRUE(chain.dropMailboxReplies(1, 1));
    ASSERT_EQ(mbx.write(ec::kMbxTypeCoE, sdoRequest(0x40, 0x1000, 0)), 1);
    EXPECT_FALSE(mbx.read()) << "the reply never shows";
    mbx.repeat();
    const auto m = mbx.read();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->data[2], 0x43);
    EXPECT_EQ(m->u32(6), 0x00020192u);
    // Only one was dropped.
    EXPECT_TRUE(upload(0x1000, 0));
}

TEST_F(MisbehaviourTest, DuplicatedReplyKeepsItsCounter) {
    ASSERT_TRUE(chain.duplicateNextMailboxReply(1));
    const auto first = upload(0x1000, 0);
    const auto second = mbx.read();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->window, second->window);
    EXPECT_FALSE(mbx.read()) << "once only";
    const auto next = upload(0x1000, 0);
    ASSERT_TRUE(next);
    EXPECT_EQ(next->counter, first->counter % 7 + 1);
}

TEST_F(MisbehaviourTest, WrongFoeAckNumber) {
    ASSERT_TRUE(chain.setMailboxMisbehaviour(1, sim::Misbehaviour::WrongFoeAck));
    requestState(chain, st, ec::kAlStateInit);
    fpwr(chain, st, ec::kRegSm0,
         smBytes(sim::layout::kBootOutStart, sim::layout::kBootOutSize, ec::kSmFlagsMailboxOut));
    fpwr(chain, st, ec::kRegSm0 + 8,
         smBytes(sim::layout::kBootInStart, sim::layout::kBootInSize, ec::kSmFlagsMailboxIn));
    requestState(chain, st, ec::kAlStateBoot);
    ASSERT_EQ(alStatus(chain, st), ec::kAlStateBoot);
    MailboxClient boot{chain,
                       st,
                       sim::layout::kBootOutStart,
                       sim::layout::kBootOutSize,
                       sim::layout::kBootInStart,
                       sim::layout::kBootInSize};
    auto m = boot.exchange(ec::kMbxTypeFoE, foeHeader(ec::kFoeWrite, 0, {'f'}));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->data[0], ec::kFoeAck);
    EXPECT_EQ(m->u32(2), 1u) << "ACK 0 expected";
    m = boot.exchange(ec::kMbxTypeFoE, foeHeader(ec::kFoeData, 1, {1, 2, 3}));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->u32(2), 2u) << "ACK 1 expected";
}

TEST(MisbehaviourCoupler, OnlyDrivesTakeMailboxFaults) {
    sim::ChainConfig cfg;
    cfg.slaves.push_back(sim::SlaveConfig::coupler());
    sim::Chain chain(cfg);
    EXPECT_FALSE(chain.setMailboxMisbehaviour(1, sim::Misbehaviour::Garbage));
    EXPECT_FALSE(chain.dropMailboxReplies(1, 1));
    EXPECT_FALSE(chain.sendEmergency(1, 0x1000, 0));
    EXPECT_FALSE(chain.firmware(1));
    EXPECT_FALSE(chain.setMailboxMisbehaviour(2, sim::Misbehaviour::None)) << "no slave 2";
}

}  // namespace
