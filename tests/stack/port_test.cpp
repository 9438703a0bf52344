// The port's reply wait and resend when the caller comes too late to wait at all.
#include <gtest/gtest.h>

#include <thread>

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
