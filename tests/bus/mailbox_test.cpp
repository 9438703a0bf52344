// SDO and FoE with the simulated drives, firmware through the bootstrap mailbox in BOOT included.
#include <tuple>

#include "mailbox.h"
#include "sim_bus.h"

using bustest::Bytes;
using bustest::SimBus;

namespace {

constexpr uint16_t kParams = 0x6101;
constexpr size_t kBootWindow = 1024, kPacket = kBootWindow - 12;
constexpr uint32_t kPassword = 0x5A17C0DE;

Bytes pattern(size_t n, uint32_t x = 0x12345678) {
    Bytes b(n);
    for (auto& v : b)
        x = x * 1103515245u + 12345u, v = static_cast<uint8_t>('a' + (x >> 16) % 26);
    return b;
}

sim::ChainConfig windows(uint16_t out, uint16_t in, int drives = 1) {
    auto cfg = sim::ChainConfig::drives(drives);
    for (auto& s : cfg.slaves)
        std::tie(s.mailboxOutSize, s.mailboxInSize, s.foePassword, s.foeCapacityBytes) =
            std::tuple(out, in, kPassword, size_t{4 << 20});
    return cfg;
}

TEST(BusSdo, HostileLostDuplicatedAndInterruptedRepliesAreSortedOut) {
    SimBus bus(windows(32, 32));  // a 40-byte text goes in segments
    ASSERT_TRUE(bus.bringUp());
    const Bytes product = bus.chain->parameter(1, 36), text = pattern(40);
    ASSERT_EQ(bus.sdoWrite(1, 0x2020, 0, {}), 1);  // an empty text, then 40 bytes in segments
    ASSERT_EQ(bus.sdoWrite(1, 0x2020, 0, text), 1);
    const auto expectTransfersWork = [&](int attempt = 0) {
        SCOPED_TRACE(attempt);
        Bytes value, label;
        EXPECT_EQ(std::tuple(bus.sdoRead(1, kParams, 37, 4, &value), value,
                             bus.sdoRead(1, 0x2020, 0, 96, &label), label),
                  std::tuple(1, product, 1, text));
    };
    // Other replies a drive should not give, and the transfer after each: the mailbox trace.
    ASSERT_TRUE(bus.chain->setMailboxMisbehaviour(1, sim::Misbehaviour::SdoOtherObjectFirst));
    EXPECT_EQ(bus.sdoWrite(1, kParams, 9, {7}), 1);  // confirmed by its own reply, not another's
    EXPECT_EQ(bus.packetErrors(ec::kPacketUnexpected), 1u);
    expectTransfersWork();  // each reply for another object passed over and recorded
    EXPECT_EQ(bus.packetErrors(ec::kPacketUnexpected), 2u);
    ASSERT_TRUE(bus.chain->setMailboxMisbehaviour(1, sim::Misbehaviour::None));
    // Lost replies: the repeat request brings them, also in the middle of a segmented upload.
    for (const int lost : {1, 2}) {
        ASSERT_TRUE(bus.chain->dropMailboxReplies(1, lost));
        expectTransfersWork();
    }
    ASSERT_TRUE(bus.chain->duplicateNextMailboxReply(1));  // not the answer to the next request
    expectTransfersWork();
    EXPECT_TRUE(bus.popErrors().empty());
    // An emergency waiting in the mailbox: tests/bus/outcome_test.cpp.

    // Frames lost on the way back: a write is resent with its counter; none back is a timeout.
    bus.chain->setFrameLoss(0.3, 11, sim::LossPoint::Return);
    for (int i = 1; i <= 10; ++i)
        expectTransfersWork(i);
    bus.chain->setFrameLoss(1.0, 11, sim::LossPoint::Return);
    EXPECT_EQ(bus.sdoRead(1, kParams, 37, 4), EC_TIMEOUT);
    bus.chain->setFrameLoss(0.0, 11);
    bus.popErrors();
    expectTransfersWork();

    SimBus wide(windows(32, 224));  // an upload announcing 4 bytes and sending 200
    ASSERT_TRUE(wide.bringUp());
    ASSERT_TRUE(wide.chain->setMailboxMisbehaviour(1, sim::Misbehaviour::OversizedUpload));
    EXPECT_LE(wide.sdoRead(1, kParams, 37, 4), 0);
    EXPECT_EQ(wide.packetErrors(ec::kPacketOverrun), 1u);
}

// Replies laid into the send mailbox as given, header fields at distinct values: what the session
// makes of each, what it records, and that a length one past the receive window is refused.
TEST(BusMailbox, RepliesAreJudgedByTheirHeaderWithinTheReceiveWindow) {
    SimBus bus(windows(40, 48));
    ASSERT_TRUE(bus.scan() == 1 && bus.requestState(EC_STATE_PRE_OP));
    using ec::MbxReceive;
    const auto reply = [](size_t length, uint8_t typeCounter, Bytes data) {
        data.insert(data.begin(),
                    {uint8_t(length), uint8_t(length >> 8), 0x34, 0x12, 0, typeCounter});
        return data;
    };
    const Bytes emergency{0x00, 0x10, 0x10, 0x23, 0x04, 0x11, 0x22, 0x33, 0x44, 0x55};
    using Error = std::tuple<int, uint16_t, uint8_t, uint8_t, uint16_t, uint16_t>;
    const Error none{}, malformed{EC_ERR_TYPE_PACKET_ERROR, ec::kPacketMalformed, 0, 0, 0, 0},
        refused{EC_ERR_TYPE_MBX_ERROR, 7, 0, 0, 0, 0},
        emcy{EC_ERR_TYPE_EMERGENCY, 0x2310, 0x04, 0x11, 0x3322, 0x5544};
    const std::tuple<Bytes, MbxReceive, Error> rows[] = {
        {reply(42, 0x13, pattern(42)), MbxReceive::Message, none},  // fills the window
        {reply(43, 0x23, pattern(42)), MbxReceive::Malformed, malformed},
        {reply(4, 0x30, {0x01, 0x00, 0x07, 0x00}), MbxReceive::MailboxError, refused},
        {reply(1, 0x43, {0x00}), MbxReceive::Malformed, malformed},
        {reply(9, 0x53, emergency), MbxReceive::Malformed, malformed},
        {reply(10, 0x63, emergency), MbxReceive::Timeout, emcy},    // recorded, not an answer
        {reply(2, 0x63, {0x00, 0x30}), MbxReceive::Timeout, none},  // its counter again
        {reply(6, 0x74, pattern(6)), MbxReceive::Message, none}};
    for (const auto& [bytes, verdict, error] : rows) {
        SCOPED_TRACE(testing::PrintToString(bytes));
        bus.chain->withSlave(
            1, [&](sim::Esc& esc, sim::SlaveApplication*) { esc.pdiSendMailbox(bytes); });
        ec::MailboxMessage m;
        ec::MailboxSession session(bus.ctx(), 1);
        EXPECT_EQ(
            session.receive(m, std::chrono::steady_clock::now() + std::chrono::milliseconds(30)),
            verdict);
        if (verdict == MbxReceive::Message || verdict == MbxReceive::MailboxError) {
            EXPECT_EQ(std::tuple(m.data().size(), m.type(), m.counter()),
                      std::tuple(size_t{bytes[0]}, bytes[5] & 0x0F, bytes[5] >> 4));
            EXPECT_TRUE(std::equal(m.data().begin(), m.data().end(), bytes.begin() + 6));
        }
        const auto errors = bus.popErrors();
        const auto e = errors.empty() ? ec_errort{} : errors[0];
        EXPECT_EQ(Error(e.Etype, e.ErrorCode, e.ErrorReg, e.b1, e.w1, e.w2), error);
        EXPECT_LE(errors.size(), 1u);
    }
}

int download(SimBus& bus, uint16_t n, const Bytes& file, uint32_t password = kPassword) {
    return ecx_FOEwrite(bus.ctx(), n, "joint.bin", password, static_cast<int>(file.size()),
                        file.data(), 2000000000);
}

// Expedited SDO transfers on the indexed drive; then files for the second drive in BOOT.
TEST(BusMailbox, ExpeditedSdoAbortsRefusalsThenFilesOfEveryShapeInBoot) {
    auto cfg = windows(128, 128, 2);
    cfg.slaves[1].foeBusyPackets = {1, 3};  // answered once with BUSY: sent again
    SimBus bus(cfg);
    ASSERT_TRUE(bus.bringUp());
    // Expedited transfers of 2, 4 and 1 bytes land on the indexed drive only.
    for (const auto& [id, size] : {std::pair(1, 2), {2, 4}, {8, 1}}) {
        const auto sub = static_cast<uint8_t>(id + 1);
        Bytes value;
        ASSERT_EQ(bus.sdoRead(2, kParams, sub, size, &value), 1);
        EXPECT_EQ(value, bus.chain->parameter(2, id));
        value[0] ^= 0x01;
        ASSERT_EQ(bus.sdoWrite(2, kParams, sub, value), 1);
        EXPECT_TRUE(bus.chain->parameter(2, id) == value && bus.chain->parameter(1, id) != value);
    }
    // Aborts, buffers too small, requests refused unsent, files past the flash, wrong
    // acknowledges: the mailbox trace.
    ec_mbxsetupt standard{};  // the console's download: INIT, the bootstrap mailbox, BOOT
    ASSERT_TRUE(bus.requestState(EC_STATE_INIT, 2, 8000000) &&
                ecx_FOEbootmailbox(bus.ctx(), 2, &standard) == 1 &&
                bus.requestState(EC_STATE_BOOT, 2, 20000000));
    for (const size_t size :
         {size_t{0}, kPacket - 1, kPacket, kPacket + 1, 2 * kPacket, size_t{4 << 20}}) {
        SCOPED_TRACE(size);
        const Bytes file = pattern(size, static_cast<uint32_t>(size));
        EXPECT_EQ(download(bus, 2, file), 1);
        const auto received = bus.chain->firmware(2).value();
        EXPECT_TRUE(received.complete && received.name == "joint.bin" && received.bytes == file);
    }
    EXPECT_EQ(download(bus, 2, pattern(10), kPassword + 1), EC_FOE_ERRORREPLY);
    const ec_errort e = bus.popErrors().at(0);  // (outside BOOT, files are refused: outcome_test)
    EXPECT_EQ(std::pair(e.Etype, uint32_t(e.AbortCode)), std::pair(EC_ERR_TYPE_FOE_ERROR, 0x800Au));
    EXPECT_EQ(download(bus, 2, pattern(5000)), 1);  // the file runs on leaving BOOT: tests/sim
    EXPECT_EQ(bus.chain->firmware(1)->bytes.size(), 0u) << "the other drive took nothing";
}

}  // namespace
