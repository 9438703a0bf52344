// The port's reply wait and resend when the caller comes too late to wait at all, and datagram
// batches over it.
#include <gtest/gtest.h>

#include <thread>

#include "ethercat.h"
#include "port.h"
#include "scripted_link.h"

using namespace ectest;

TEST(Port, ReplyAlreadyInTheLinkIsTakenAfterTheDeadline) {
    auto script = std::make_shared<LinkScript>();
    script->respond = [](const Bytes& f) {
        return std::vector<Bytes>{answer(f, [](const DatagramView&, Bytes&) { return 1; })};
    };
    ec::Port port(std::make_unique<ScriptedLink>(script));
    const auto slot = port.claim(ec::Port::Clock::now() + std::chrono::milliseconds(10));
    ASSERT_TRUE(slot);
    port.engine().builder(*slot).add(ec::Command::BRD, 0, 2);
    ASSERT_TRUE(port.transmit(*slot));
    // As if the thread had been descheduled past its deadline between sending and waiting.
    EXPECT_TRUE(port.awaitReply(*slot, ec::Port::Clock::now() - std::chrono::milliseconds(1)));
    EXPECT_EQ(port.engine().replyWkc(*slot, 0), 1);
    port.release(*slot);

    // Nothing in the link: the late wait gives up at once.
    script->respond = nullptr;
    const auto silent = port.claim(ec::Port::Clock::now() + std::chrono::milliseconds(10));
    ASSERT_TRUE(silent);
    port.engine().builder(*silent).add(ec::Command::BRD, 0, 2);
    ASSERT_TRUE(port.transmit(*silent));
    EXPECT_FALSE(port.awaitReply(*silent, ec::Port::Clock::now() - std::chrono::milliseconds(1)));
    port.release(*silent);
}

// A link whose first frame is lost and whose receive wakes the waiter far too late, as on a
// loaded machine: the whole timeout is gone after the first wait.
class LateWakingLink final : public ec::FrameLink {
public:
    explicit LateWakingLink(std::shared_ptr<LinkScript> script) : inner_(std::move(script)) {}

    bool send(std::span<const uint8_t> frame) override {
        if (dropNext_) {
            dropNext_ = false;
            return true;
        }
        return inner_.send(frame);
    }
    int receive(std::span<uint8_t> buf, std::chrono::microseconds timeout) override {
        const int n = inner_.receive(buf, timeout);
        if (n == 0 && !overslept_) {
            overslept_ = true;
            std::this_thread::sleep_for(4 * ec::kResendInterval);
        }
        return n;
    }

private:
    ScriptedLink inner_;
    bool dropNext_ = true;
    bool overslept_ = false;
};

TEST(Port, LostFrameIsSentAgainWhenTheFirstWaitOverranTheTimeout) {
    auto script = std::make_shared<LinkScript>();
    script->respond = [](const Bytes& f) {
        return std::vector<Bytes>{answer(f, [](const DatagramView&, Bytes&) { return 1; })};
    };
    ec::Port port(std::make_unique<LateWakingLink>(script));
    const auto slot = port.claim(ec::Port::Clock::now() + std::chrono::milliseconds(10));
    ASSERT_TRUE(slot);
    port.engine().builder(*slot).add(ec::Command::FPWR, 0x10000000, 2);
    EXPECT_TRUE(port.exchange(*slot, 3 * ec::kResendInterval));
    EXPECT_EQ(port.engine().replyWkc(*slot, 0), 1);
    EXPECT_EQ(script->sentCount(), 1u);  // the second transmission; the first never left
    port.release(*slot);
}

// 100 register reads of 8 bytes need two frames; each datagram gets its own working counter and
// data, copied no further than the caller's buffer reaches. A reply whose datagram lengths differ
// from what was sent delivers nothing.
TEST(Port, BatchFillsEachDatagramAndTrustsOnlyRepliesLaidOutAsSent) {
    auto script = std::make_shared<LinkScript>();
    bool tamper = false;
    script->respond = [&tamper](const Bytes& f) {
        Bytes reply = answer(f, [](const DatagramView& d, Bytes& frame) {
            std::fill_n(frame.begin() + static_cast<long>(d.data()), d.length,
                        static_cast<uint8_t>(d.adp));
            return d.adp % 3 == 0 ? 0 : 1;
        });
        if (tamper) {
            // First datagram claims 4 bytes more, second 4 fewer: the chain still adds up.
            const auto ds = datagrams(reply);
            ec::putU16(&reply[ds[0].header + 6], ec::getU16(&reply[ds[0].header + 6]) + 4);
            ec::putU16(&reply[ds[1].header + 6], ec::getU16(&reply[ds[1].header + 6]) - 4);
        }
        return std::vector<Bytes>{reply};
    };
    ec::OwnedContext ctx;
    ASSERT_GT(ecx_init_link(ctx.get(), std::make_unique<ScriptedLink>(script)), 0);

    constexpr size_t kReads = 100;
    std::vector<std::array<uint8_t, 8>> data(kReads);
    std::array<uint8_t, 5> shortBuffer{};  // the last read keeps only 4 of its 8 bytes
    std::vector<ec_datagramt> batch(kReads);
    for (size_t i = 0; i < kReads; ++i) {
        batch[i] = ec_datagramt{ec::Command::FPRD, static_cast<uint32_t>(i + 1), 8, {}, data[i]};
    }
    batch.back().in = std::span(shortBuffer).first(4);
    EXPECT_EQ(ecx_transceive_batch(ctx.get(), batch, 5000), static_cast<int>(kReads));
    EXPECT_EQ(script->sentCount(), 2u);
    for (size_t i = 0; i < kReads; ++i) {
        EXPECT_EQ(batch[i].wkc, (i + 1) % 3 == 0 ? 0 : 1) << i;
        if (i + 1 < kReads) {
            EXPECT_EQ(data[i][0], static_cast<uint8_t>(i + 1)) << i;
        }
    }
    EXPECT_EQ(shortBuffer[3], kReads);
    EXPECT_EQ(shortBuffer[4], 0);

    tamper = true;
    std::array<uint8_t, 8> first{};
    std::array<ec_datagramt, 2> two{ec_datagramt{ec::Command::FPRD, 1, 8, {}, first},
                                    ec_datagramt{ec::Command::FPRD, 2, 8, {}, {}}};
    EXPECT_EQ(ecx_transceive_batch(ctx.get(), two, 3000), 0);
    EXPECT_EQ(two[0].wkc, EC_NOFRAME);
    EXPECT_EQ(first[0], 0);
    ecx_close(ctx.get());
}
