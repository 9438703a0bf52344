// The frame engine and the port: frame encoding, pairing replies with their senders while several
// threads share the port, resending, and dropping frames that come back damaged.
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <set>
#include <thread>

#include "base.h"
#include "ethercat.h"
#include "scripted_link.h"

using namespace ectest;
using ec::Command;
using ec::FrameEngine;
using ec::Intake;

namespace {

// Answers every datagram of every frame with WKC 1; reads return the register address in the
// first two data bytes so each caller can tell its own reply.
std::vector<Bytes> echoAddress(const Bytes& sent) {
    return {answer(sent, [](const DatagramView& d, Bytes& f) -> uint16_t {
        if (d.length >= 2) {
            ec::putU16(&f[d.data()], d.ado);
        }
        return 1;
    })};
}

struct PortFixture : ::testing::Test {
    std::shared_ptr<LinkScript> script = std::make_shared<LinkScript>();
    ec::OwnedContext master;

    void SetUp() override {
        script->respond = echoAddress;
        ASSERT_GT(ecx_init_link(master.get(), std::make_unique<ScriptedLink>(script)), 0);
    }
    ec::Port& port() { return *master->port; }
    int readRegister(uint16_t reg, int timeoutUs, uint16_t* value) {
        uint8_t b[2] = {};
        const int wkc = ecx_FPRD(master.get(), 0x1001, reg, 2, b, timeoutUs);
        *value = ec::getU16(b);
        return wkc;
    }
};

}  // namespace

// --- Encoding
// ----------------------------------------------------------------------------------------

TEST(FrameBuilder, EncodesDatagramsWithOneIndexAndPadsToMinimum) {
    ec::FrameBuilder b;
    const uint8_t payload[2] = {0x34, 0x12};
    ASSERT_EQ(b.add(Command::BRD, ec::physicalAddress(0, 0x0130), 2), 0u);
    ASSERT_EQ(b.add(Command::FPWR, ec::physicalAddress(0x1001, 0x0120), 2, payload), 1u);
    const auto f = b.finish(0x5A);

    ASSERT_EQ(f.size(), ec::kEthMinFrame);
    EXPECT_EQ(f[12], 0x88);
    EXPECT_EQ(f[13], 0xA4);
    EXPECT_EQ(ec::getU16(&f[14]), 0x1000 | 28);  // type 1, two datagrams of 10 + 2 + 2
    EXPECT_EQ(f[16], static_cast<uint8_t>(Command::BRD));
    EXPECT_EQ(f[17], 0x5A);
    EXPECT_EQ(ec::getU16(&f[22]), ec::kDatagramMore | 2);
    EXPECT_EQ(f[30], static_cast<uint8_t>(Command::FPWR));
    EXPECT_EQ(f[31], 0x5A);
    EXPECT_EQ(ec::getU16(&f[32]), 0x1001);
    EXPECT_EQ(ec::getU16(&f[34]), 0x0120);
    EXPECT_EQ(ec::getU16(&f[36]), 2);  // last: no "more" flag
    EXPECT_EQ(ec::getU16(&f[40]), 0x1234);
    for (size_t i = 44; i < f.size(); ++i) {
        EXPECT_EQ(f[i], 0) << "padding byte " << i;
    }
}

TEST(FrameBuilder, RefusesDatagramsBeyondTheFrame) {
    ec::FrameBuilder b;
    EXPECT_TRUE(b.add(Command::LRW, 0, ec::kMaxDatagramData).has_value());
    EXPECT_FALSE(b.add(Command::FRMW, 0, 8).has_value());  // 1486 + 12 leaves nothing
    ec::FrameBuilder c;
    EXPECT_FALSE(c.add(Command::LRW, 0, ec::kMaxDatagramData + 1).has_value());
    EXPECT_TRUE(c.add(Command::LRW, 0, 1466).has_value());
    EXPECT_TRUE(c.add(Command::FRMW, 0, 8).has_value());  // the DC datagram behind the LRW fits
    EXPECT_LE(c.finish(1).size(), ec::kEthMaxFrame);
}

// --- Returned frames that must be dropped
// ---------------------------------------------------------------

namespace {

struct Damage {
    const char* name;
    std::function<void(Bytes&)> apply;
    Intake expected;
};

void setEcLength(Bytes& f, size_t len) {
    ec::putU16(&f[14], static_cast<uint16_t>(0x1000 | len));
}

}  // namespace

TEST(FrameEngineIntake, DropsDamagedFramesWithoutReadingPastThem) {
    // Reply to a frame of two 2-byte reads: 16 + 2 * 14 = 44 bytes, padded to 60.
    const std::vector<Damage> cases = {
        {"runt", [](Bytes& f) { f.resize(10); }, Intake::Malformed},
        {"truncated inside the first datagram", [](Bytes& f) { f.resize(26); }, Intake::Malformed},
        {"truncated inside the second datagram", [](Bytes& f) { f.resize(40); }, Intake::Malformed},
        {"header length beyond the frame", [](Bytes& f) { setEcLength(f, 60); }, Intake::Malformed},
        {"header length shorter than the datagrams", [](Bytes& f) { setEcLength(f, 24); },
         Intake::Malformed},
        {"header length longer than the datagrams", [](Bytes& f) { setEcLength(f, 32); },
         Intake::Malformed},
        {"datagram length beyond the frame",
         [](Bytes& f) { ec::putU16(&f[22], ec::kDatagramMore | 0x7FF); }, Intake::Malformed},
        {"second datagram beyond the header length", [](Bytes& f) { ec::putU16(&f[36], 12); },
         Intake::Malformed},
        {"last datagram claims more follow",
         [](Bytes& f) { ec::putU16(&f[36], ec::kDatagramMore | 2); }, Intake::Malformed},
        {"wrong EtherType", [](Bytes& f) { f[13] = 0x00; }, Intake::Malformed},
        {"wrong frame type", [](Bytes& f) { ec::putU16(&f[14], 0x4000 | 28); }, Intake::Malformed},
        {"unknown index",
         [](Bytes& f) {
             ++f[17];
             ++f[31];
         },
         Intake::Unmatched},
        {"second datagram with another index", [](Bytes& f) { ++f[31]; }, Intake::Mismatched},
        {"wrong command", [](Bytes& f) { f[30] = static_cast<uint8_t>(Command::APRD); },
         Intake::Mismatched},
        {"other datagram lengths, consistent in themselves",
         [](Bytes& f) {
             // One 16-byte read instead of two 2-byte reads: 10 + 16 + 2 = 28 bytes as well.
             ec::putU16(&f[22], 16);
         },
         Intake::Mismatched},
    };
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.name);
        FrameEngine engine;
        const auto slot = engine.claim();
        ASSERT_TRUE(slot);
        engine.builder(*slot).add(Command::FPRD, ec::physicalAddress(0x1001, 0x0130), 2);
        engine.builder(*slot).add(Command::FPRD, ec::physicalAddress(0x1002, 0x0130), 2);
        const auto sent = engine.markSent(*slot);
        Bytes reply = answer(Bytes(sent.begin(), sent.end()),
                             [](const DatagramView&, Bytes&) -> uint16_t { return 1; });
        c.apply(reply);
        // Exactly as long as the damaged frame, so a read past it trips the address sanitizer.
        const Bytes exact(reply.begin(), reply.end());
        EXPECT_EQ(engine.accept(exact), c.expected);
        EXPECT_EQ(engine.state(*slot), FrameEngine::SlotState::InFlight);
    }
}

TEST(FrameEngineIntake, TakesAnIntactReplyAndIgnoresPadding) {
    FrameEngine engine;
    const auto slot = engine.claim();
    ASSERT_TRUE(slot);
    engine.builder(*slot).add(Command::BRD, ec::physicalAddress(0, 0x0000), 2);
    const auto sent = engine.markSent(*slot);
    const Bytes reply =
        answer(Bytes(sent.begin(), sent.end()), [](const DatagramView& d, Bytes& f) -> uint16_t {
            f[d.data()] = 0x11;
            return 7;
        });
    EXPECT_EQ(engine.accept(reply), Intake::Accepted);
    EXPECT_EQ(engine.state(*slot), FrameEngine::SlotState::Received);
    EXPECT_EQ(engine.replyWkc(*slot, 0), 7);
    EXPECT_EQ(engine.replyData(*slot, 0)[0], 0x11);
    // A duplicate of the same reply no longer has a taker.
    EXPECT_EQ(engine.accept(reply), Intake::Unmatched);
}

// --- Indices
// ---------------------------------------------------------------------------------------------

TEST(FrameEngineIndex, SlotsInUseHoldDistinctIndicesAndAbandonedIndicesAreHeldBack) {
    FrameEngine engine;
    std::set<uint8_t> indices;
    std::vector<ec::SlotId> slots;
    for (size_t i = 0; i < ec::kFrameSlots; ++i) {
        const auto slot = engine.claim();
        ASSERT_TRUE(slot);
        slots.push_back(*slot);
        indices.insert(engine.index(*slot));
    }
    EXPECT_EQ(indices.size(), ec::kFrameSlots);
    EXPECT_FALSE(engine.claim().has_value()) << "all slots taken";

    // Give up on a frame that is on the wire: its index must not come back soon.
    engine.builder(slots[0]).add(Command::BRD, 0, 2);
    engine.markSent(slots[0]);
    const uint8_t abandoned = engine.index(slots[0]);
    const auto start = std::chrono::steady_clock::now();
    engine.release(slots[0]);
    bool reused = false;
    for (int i = 0; i < 300; ++i) {
        const auto slot = engine.claim();
        ASSERT_TRUE(slot);
        reused |= engine.index(*slot) == abandoned;
        engine.release(*slot);
    }
    if (std::chrono::steady_clock::now() - start < ec::kIndexQuarantine) {
        EXPECT_FALSE(reused);
    }
}

// --- Through the port
// ----------------------------------------------------------------------------------------

TEST_F(PortFixture, MultiDatagramFrameGivesEachDatagramItsReply) {
    const auto slot = port().claim(ec::Port::Clock::now() + std::chrono::milliseconds(10));
    ASSERT_TRUE(slot);
    auto& b = port().engine().builder(*slot);
    b.add(Command::FPRD, ec::physicalAddress(0x1001, 0x0130), 2);
    b.add(Command::FPRD, ec::physicalAddress(0x1002, 0x0134), 2);
    b.add(Command::BWR, ec::physicalAddress(0, 0x0120), 2);
    ASSERT_TRUE(port().exchange(*slot, std::chrono::milliseconds(100)));
    EXPECT_EQ(ec::getU16(port().engine().replyData(*slot, 0).data()), 0x0130);
    EXPECT_EQ(ec::getU16(port().engine().replyData(*slot, 1).data()), 0x0134);
    EXPECT_EQ(port().engine().replyWkc(*slot, 2), 1);
    port().release(*slot);
    EXPECT_EQ(script->sentCount(), 1u);
}

TEST_F(PortFixture, ReplyForAnotherCallerIsKeptForIt) {
    script->respond = nullptr;  // replies are injected by hand
    const auto deadline = ec::Port::Clock::now() + std::chrono::seconds(1);
    const auto first = port().claim(deadline);
    const auto second = port().claim(deadline);
    ASSERT_TRUE(first && second);
    port().engine().builder(*first).add(Command::FPRD, ec::physicalAddress(0x1001, 0x0010), 2);
    port().engine().builder(*second).add(Command::FPRD, ec::physicalAddress(0x1002, 0x0012), 2);
    port().transmit(*first);
    port().transmit(*second);
    const auto sent = script->sentFrames();
    ASSERT_EQ(sent.size(), 2u);
    // The second caller's reply arrives first.
    script->inject(echoAddress(sent[1])[0]);
    script->inject(echoAddress(sent[0])[0]);

    ASSERT_TRUE(port().awaitReply(*first, deadline));
    EXPECT_EQ(ec::getU16(port().engine().replyData(*first, 0).data()), 0x0010);
    EXPECT_EQ(port().engine().state(*second), FrameEngine::SlotState::Received);
    ASSERT_TRUE(port().awaitReply(*second, ec::Port::Clock::now()));
    EXPECT_EQ(ec::getU16(port().engine().replyData(*second, 0).data()), 0x0012);
    port().release(*first);
    port().release(*second);
}

TEST_F(PortFixture, TwoThreadsSharingThePortEachGetTheirOwnReply) {
    // Hold the first frame until a frame with another index is sent, then answer in reverse order.
    std::mutex m;
    std::vector<Bytes> held;
    bool released = false;
    script->respond = [&](const Bytes& sent) -> std::vector<Bytes> {
        std::lock_guard lock(m);
        if (released) {
            return echoAddress(sent);
        }
        for (const Bytes& h : held) {
            if (h[17] == sent[17]) {
                return {};  // the same frame sent again while we hold it
            }
        }
        held.push_back(sent);
        if (held.size() < 2) {
            return {};
        }
        released = true;
        return {echoAddress(held[1])[0], echoAddress(held[0])[0]};
    };

    constexpr int kRounds = 50;
    std::atomic<int> wrong{0};
    std::barrier start(2);
    auto worker = [&](uint16_t reg) {
        start.arrive_and_wait();
        for (int i = 0; i < kRounds; ++i) {
            uint16_t value = 0;
            if (readRegister(reg, 200000, &value) != 1 || value != reg) {
                ++wrong;
            }
        }
    };
    std::thread a(worker, uint16_t{0x0130});
    std::thread b(worker, uint16_t{0x0910});
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(port().engine().stats().mismatched, 0u);
}

TEST_F(PortFixture, LateReplyAfterTimeoutIsDiscarded) {
    script->respond = nullptr;
    uint16_t value = 0;
    EXPECT_EQ(readRegister(0x0130, 1000, &value), EC_NOFRAME);
    const Bytes late = echoAddress(script->sentFrames().front())[0];

    script->respond = echoAddress;
    script->inject(late);  // arrives while the next caller waits
    EXPECT_EQ(readRegister(0x0134, 100000, &value), 1);
    EXPECT_EQ(value, 0x0134);
    EXPECT_EQ(port().engine().stats().unmatched, 1u);
}

TEST_F(PortFixture, ResendsOnlyWhileNoFrameCameBack) {
    uint16_t value = 0;
    ASSERT_EQ(readRegister(0x0130, 200000, &value), 1);
    EXPECT_EQ(script->sentCount(), 1u) << "an answered frame is not sent again";

    // The first two transmissions are lost: the call succeeds on the third.
    int lost = 2;
    script->respond = [&](const Bytes& sent) -> std::vector<Bytes> {
        if (lost > 0) {
            --lost;
            return {};
        }
        return echoAddress(sent);
    };
    ASSERT_EQ(readRegister(0x0134, 200000, &value), 1);
    EXPECT_EQ(value, 0x0134);
    const auto frames = script->sentFrames();
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[1], frames[2]) << "a resend repeats the frame, index included";
    EXPECT_EQ(frames[2], frames[3]);
}

TEST_F(PortFixture, DamagedReplyCountsAsNoFrameAndIsResent) {
    bool damage = true;
    script->respond = [&](const Bytes& sent) -> std::vector<Bytes> {
        Bytes reply = echoAddress(sent)[0];
        if (damage) {
            damage = false;
            setEcLength(reply, 200);
        }
        return {reply};
    };
    uint16_t value = 0;
    ASSERT_EQ(readRegister(0x0130, 200000, &value), 1);
    EXPECT_EQ(value, 0x0130);
    EXPECT_EQ(script->sentCount(), 2u);
    EXPECT_EQ(port().engine().stats().malformed, 1u);
}

TEST_F(PortFixture, RegisterCallsReturnNoFrameWithoutLink) {
    ec::OwnedContext closed;
    uint8_t b[2] = {};
    EXPECT_EQ(ecx_BRD(closed.get(), 0, 0, 2, b, 1000), EC_NOFRAME);
    EXPECT_EQ(ecx_LRW(closed.get(), 0, 2, b, 1000), EC_NOFRAME);
}
