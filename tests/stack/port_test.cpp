// The port's reply wait when the caller comes too late to wait at all.
#include <gtest/gtest.h>

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
