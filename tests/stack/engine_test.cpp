// Frame engine, port, adapter registry, the raw socket's receive (its interface side: tests/veth).
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <set>
#include <thread>

#include "base.h"
#include "fixture.h"
#include "osal/rawsocket.h"
#include "port.h"

using namespace ectest;
using ec::Command;
using ec::FrameEngine;
using ec::Intake;

namespace {

// Every datagram answered with WKC 1 and its register address as its first two data bytes.
std::vector<Bytes> echoAddress(const Bytes& sent) {
    return {answer(sent, [](const DatagramView& d, Bytes& f) -> uint16_t {
        if (d.length >= 2)
            ec::putU16(&f[d.data()], d.ado);
        return 1;
    })};
}

struct PortTest : ::testing::Test {
    std::shared_ptr<LinkScript> script = std::make_shared<LinkScript>();
    ec::OwnedContext master;
    void SetUp() override {
        script->respond = echoAddress;
        ASSERT_GT(ecx_init_link(master.get(), std::make_unique<ScriptedLink>(script)), 0);
    }
    ec::Port& port() { return *master->port; }
    FrameEngine::Stats stats() { return port().engine().stats(); }
    std::pair<int, int> read(uint16_t reg, int timeoutUs) {  // WKC and value
        uint8_t b[2] = {};
        const int wkc = ecx_FPRD(master.get(), 0x1001, reg, 2, b, timeoutUs);
        return {wkc, ec::getU16(b)};
    }
};

void setEcLength(Bytes& f, size_t len) {
    ec::putU16(&f[14], static_cast<uint16_t>(0x1000 | len));
}

}  // namespace

TEST(FrameBuilder, EncodesDatagramsWithOneIndexPadsAndRefusesWhatDoesNotFit) {
    ec::FrameBuilder b;
    const uint8_t payload[2] = {0x34, 0x12};
    ASSERT_EQ(b.add(Command::BRD, ec::physicalAddress(0, 0x0130), 2), 0u);
    ASSERT_EQ(b.add(Command::FPWR, ec::physicalAddress(0x1001, 0x0120), 2, payload), 1u);
    const auto f = b.finish(0x5A);
    ASSERT_EQ(f.size(), ec::kEthMinFrame);
    const Bytes head(f.begin() + 12, f.begin() + 44);
    const Bytes expected = {0x88, 0xA4, 28,   0x10,  // type 1, two datagrams of 10 + 2 + 2
                            0x07, 0x5A, 0,    0,    0x30, 0x01, 2, 0x80, 0, 0, 0,    0,    0, 0,
                            0x05, 0x5A, 0x01, 0x10, 0x20, 0x01, 2, 0x00, 0, 0, 0x34, 0x12, 0, 0};
    EXPECT_EQ(head, expected);
    EXPECT_TRUE(std::all_of(f.begin() + 44, f.end(), [](uint8_t v) { return v == 0; }));

    ec::FrameBuilder full, c;
    EXPECT_TRUE(full.add(Command::LRW, 0, ec::kMaxDatagramData) && !full.add(Command::FRMW, 0, 8));
    EXPECT_TRUE(!c.add(Command::LRW, 0, ec::kMaxDatagramData + 1) && c.add(Command::LRW, 0, 1466));
    EXPECT_TRUE(c.add(Command::FRMW, 0, 8).has_value());  // the DC datagram behind the LRW fits
    EXPECT_LE(c.finish(1).size(), ec::kEthMaxFrame);
}

TEST(FrameEngine, DropsDamagedAndForeignRepliesAndHoldsAbandonedIndicesBack) {
    // Reply to a frame of two 2-byte reads: 16 + 2 * 14 = 44 bytes, padded to 60.
    using enum Intake;
    const struct {
        const char* name;
        std::function<void(Bytes&)> apply;
        Intake expected;
    } cases[] = {
        {"runt", [](Bytes& f) { f.resize(10); }, Malformed},
        {"cut in the first datagram", [](Bytes& f) { f.resize(26); }, Malformed},
        {"cut in the second datagram", [](Bytes& f) { f.resize(40); }, Malformed},
        {"header length beyond the frame", [](Bytes& f) { setEcLength(f, 60); }, Malformed},
        {"header length short", [](Bytes& f) { setEcLength(f, 24); }, Malformed},
        {"header length long", [](Bytes& f) { setEcLength(f, 32); }, Malformed},
        {"datagram beyond the frame", [](Bytes& f) { ec::putU16(&f[22], 0x87FF); }, Malformed},
        {"second past the end, more", [](Bytes& f) { ec::putU16(&f[36], 0x800C); }, Malformed},
        {"last claims more", [](Bytes& f) { ec::putU16(&f[36], 0x8002); }, Malformed},
        // Frames that end where their header says, with a "more" that would lead past the end.
        {"cut in the last header", [](Bytes& f) { setEcLength(f, 24), f[37] = 0x80, f.resize(40); },
         Malformed},
        {"last without its counter", [](Bytes& f) { ec::putU16(&f[36], 0x8004), f.resize(44); },
         Malformed},
        {"EtherType", [](Bytes& f) { f[13] = 0x00; }, Malformed},
        {"frame type", [](Bytes& f) { ec::putU16(&f[14], 0x4000 | 28); }, Malformed},
        {"unknown index", [](Bytes& f) { ++f[17], ++f[31]; }, Unmatched},
        {"second index differs", [](Bytes& f) { ++f[31]; }, Mismatched},
        {"wrong command", [](Bytes& f) { f[30] = uint8_t(Command::APRD); }, Mismatched},
        // One 16-byte read instead of two 2-byte reads: 28 bytes as well.
        {"other lengths", [](Bytes& f) { ec::putU16(&f[22], 16); }, Mismatched},
        {"intact", [](Bytes&) {}, Accepted},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FrameEngine engine;
        const auto slot = engine.claim();
        ASSERT_TRUE(slot);
        engine.builder(*slot).add(Command::FPRD, ec::physicalAddress(0x1001, 0x0130), 2);
        engine.builder(*slot).add(Command::FPRD, ec::physicalAddress(0x1002, 0x0130), 2);
        const auto sent = engine.markSent(*slot);
        Bytes reply = answer(Bytes(sent.begin(), sent.end()), [](const DatagramView& d, Bytes& f) {
            f[d.data()] = static_cast<uint8_t>(d.adp);
            return static_cast<uint16_t>(d.adp - 0x1000 + 6);
        });
        c.apply(reply);
        const Bytes exact(reply.begin(), reply.end());  // a read past it trips the sanitizer
        EXPECT_EQ(engine.accept(exact), c.expected);
        const bool taken = c.expected == Accepted;
        EXPECT_EQ(engine.state(*slot),
                  taken ? FrameEngine::SlotState::Received : FrameEngine::SlotState::InFlight);
        if (taken) {
            EXPECT_EQ((std::tuple{engine.replyWkc(*slot, 0), engine.replyWkc(*slot, 1),
                                  engine.replyData(*slot, 1)[0], engine.accept(exact)}),
                      std::tuple(7, 8, 0x02, Unmatched));  // a duplicate has no taker
        }
    }

    // Every slot holds its own index; one given up on the wire is held back from reuse for a while.
    FrameEngine engine;
    std::set<uint8_t> indices;
    std::optional<ec::SlotId> slot, first = engine.claim();
    engine.builder(*first).add(Command::BRD, 0, 2);
    engine.markSent(*first);
    for (indices.insert(engine.index(*first)); (slot = engine.claim());)
        indices.insert(engine.index(*slot));
    EXPECT_EQ(indices.size(), ec::kFrameSlots) << "all slots taken, each with its own index";
    const uint8_t abandoned = engine.index(*first);
    const auto start = std::chrono::steady_clock::now();
    engine.release(*first);
    int claims = 0, reused = 0;  // more claims than indices: all others come round
    for (; claims < 300 && (slot = engine.claim()); ++claims) {
        reused += engine.index(*slot) == abandoned;
        engine.release(*slot);
    }
    EXPECT_EQ(claims, 300);
    EXPECT_TRUE(reused == 0 || std::chrono::steady_clock::now() - start >= ec::kIndexQuarantine);
}

TEST_F(PortTest, ResendsLostDamagedAndLateFramesNeverAnsweredOnesAndPairsEachReply) {
    ASSERT_EQ(read(0x0130, 200000), std::pair(1, 0x0130));

    int lost = 2;  // two transmissions lost: the call succeeds on the third
    script->respond = [&](const Bytes& f) {
        return lost-- > 0 ? std::vector<Bytes>{} : echoAddress(f);
    };
    ASSERT_EQ(read(0x0134, 200000), std::pair(1, 0x0134));
    auto frames = script->sentFrames();
    ASSERT_EQ(frames.size(), 4u);  // an answered frame is not sent again
    EXPECT_TRUE(frames[1] == frames[2] && frames[2] == frames[3]) << "a resend repeats the frame";

    bool damage = true;  // a damaged reply counts as none
    script->respond = [&](const Bytes& f) {
        Bytes reply = echoAddress(f)[0];
        if (std::exchange(damage, false))
            setEcLength(reply, 200);
        return std::vector<Bytes>{reply};
    };
    ASSERT_EQ(read(0x0138, 200000), std::pair(1, 0x0138));
    EXPECT_EQ(std::tuple(script->sentCount(), stats().malformed), std::tuple(6u, 1u));

    script->respond = nullptr;  // a reply after the timeout is discarded
    EXPECT_EQ(read(0x0130, 1000).first, EC_NOFRAME);
    const Bytes late = echoAddress(script->sentFrames().back())[0];
    script->respond = echoAddress;
    script->inject(late);
    EXPECT_EQ(read(0x0134, 100000), std::pair(1, 0x0134));
    EXPECT_EQ(stats().unmatched, 1u);

    // A wait already past its deadline (descheduled after sending) takes a reply that is there.
    for (const bool answered : {true, false}) {
        script->respond = answered ? echoAddress : nullptr;
        const auto slot = port().claim(ec::Port::Clock::now() + std::chrono::milliseconds(10));
        ASSERT_TRUE(slot);
        port().engine().builder(*slot).add(Command::BRD, 0, 2);
        ASSERT_TRUE(port().transmit(*slot));
        EXPECT_EQ(port().awaitReply(*slot, ec::Port::Clock::now() - std::chrono::milliseconds(1)),
                  answered);
        EXPECT_EQ(answered ? port().engine().replyWkc(*slot, 0) : 1, 1);
        port().release(*slot);
    }

    // Two callers, the second one's reply first: each caller and each datagram gets its own.
    const auto deadline = ec::Port::Clock::now() + std::chrono::seconds(1);
    const auto first = port().claim(deadline), second = port().claim(deadline);
    ASSERT_TRUE(first && second);
    port().engine().builder(*first).add(Command::FPRD, ec::physicalAddress(0x1001, 0x0010), 2);
    port().engine().builder(*first).add(Command::BWR, ec::physicalAddress(0, 0x0120), 2);
    port().engine().builder(*second).add(Command::FPRD, ec::physicalAddress(0x1002, 0x0012), 2);
    const size_t before = script->sentCount();
    port().transmit(*first), port().transmit(*second);
    const auto sent = script->sentFrames();
    ASSERT_EQ(sent.size(), before + 2);
    script->inject(echoAddress(sent.back())[0]);  // the second caller's reply arrives first
    script->inject(echoAddress(sent[before])[0]);
    ASSERT_TRUE(port().awaitReply(*first, deadline));
    EXPECT_EQ(ec::getU16(port().engine().replyData(*first, 0).data()), 0x0010);
    EXPECT_EQ(port().engine().replyWkc(*first, 1), 1);
    ASSERT_TRUE(port().awaitReply(*second, ec::Port::Clock::now()));  // its reply came first
    EXPECT_EQ(ec::getU16(port().engine().replyData(*second, 0).data()), 0x0012);
    port().release(*first), port().release(*second);
}

// No link, or no context where checked: every call refuses, sends nothing, reports nothing done.
TEST(Context, CallsWithoutALinkRefuse) {
    ec::OwnedContext closed;
    uint8_t b[8] = {};
    ec_mbxsetupt box{};
    for (ecx_contextt* ctx : {static_cast<ecx_contextt*>(nullptr), closed.get()}) {
        EXPECT_EQ(std::tuple(ecx_config_init(ctx, 0), ecx_config_inspect(ctx),
                             ecx_config_map_sized(ctx, b, sizeof b), ecx_reconfig_slave(ctx, 1, 9),
                             ecx_recover_slave(ctx, 1, 9), ecx_writestate(ctx, 0),
                             ecx_statecheck(ctx, 0, EC_STATE_INIT, 9), ecx_readstate(ctx)),
                  std::tuple(0, 0, 0, 0, 0, EC_NOFRAME, 0, 0));
        EXPECT_EQ(std::tuple(ecx_configdc(ctx), ecx_readeeprom(ctx, 1, 0, 9),
                             ecx_FOEbootmailbox(ctx, 1, &box), ecx_send_processdata(ctx),
                             ecx_receive_processdata(ctx, 9), ecx_capture_start(ctx, "x.pcapng"),
                             ecx_capture_stop(ctx, nullptr)),
                  std::tuple(false, 0u, 0, 0, EC_NOFRAME, 0, 0));
        ecx_dcsync0(ctx, 1, true, 2'000'000, 0), ecx_FOEstdmailbox(ctx, 1, box), ecx_close(ctx);
    }
    int size = 2;
    EXPECT_EQ(std::tuple(ecx_BRD(closed.get(), 0, 0, 2, b, 9), ecx_LRW(closed.get(), 0, 2, b, 9),
                         ecx_SDOread(closed.get(), 1, 0x1000, 0, false, &size, b, 9),
                         ecx_SDOwrite(closed.get(), 1, 0x1000, 0, false, 2, b, 9)),
              std::tuple(EC_NOFRAME, EC_NOFRAME, 0, 0));
    // Sizes or buffers that cannot be right are refused before anything else is looked at.
    EXPECT_EQ(std::tuple(ecx_SDOread(closed.get(), 1, 0x1000, 0, false, nullptr, b, 9),
                         ecx_SDOwrite(closed.get(), 1, 0x1000, 0, false, -1, b, 9),
                         ecx_SDOwrite(closed.get(), 1, 0x1000, 0, false, 2, nullptr, 9),
                         ecx_FOEwrite(closed.get(), 1, "f", 0, 4, nullptr, 9)),
              std::tuple(0, 0, 0, 0));
    constexpr auto kMost = static_cast<uint16_t>(ec::kMaxDatagramData);  // one more: an error
    std::array<ec_datagramt, 3> three{ec_datagramt{Command::FPRD, 1, 2, {}, b},
                                      {Command::FPRD, 1, kMost, {}, {}},
                                      {Command::FPRD, 1, kMost + 1, {}, {}}};
    EXPECT_EQ(std::tuple(ecx_transceive_batch(closed.get(), three, 9), three[0].wkc, three[1].wkc,
                         three[2].wkc),
              std::tuple(0, EC_NOFRAME, EC_NOFRAME, EC_ERROR));
}

// 100 8-byte reads in two frames, each copied within its buffer; a reply laid out otherwise: none.
TEST_F(PortTest, BatchFillsEachDatagramAndTrustsOnlyRepliesLaidOutAsSent) {
    bool tamper = false;
    script->respond = [&tamper](const Bytes& f) {
        Bytes reply = answer(f, [](const DatagramView& d, Bytes& frame) {
            std::fill_n(frame.begin() + static_cast<long>(d.data()), d.length,
                        static_cast<uint8_t>(d.adp));
            return d.adp % 3 == 0 ? 0 : 1;
        });
        if (tamper) {  // first datagram 4 bytes longer, second 4 shorter: the chain adds up
            const auto ds = datagrams(reply);
            ec::putU16(&reply[ds[0].header + 6], ec::getU16(&reply[ds[0].header + 6]) + 4);
            ec::putU16(&reply[ds[1].header + 6], ec::getU16(&reply[ds[1].header + 6]) - 4);
        }
        return std::vector<Bytes>{reply};
    };
    ecx_contextt* ctx = master.get();
    constexpr size_t kReads = 100;
    std::vector<std::array<uint8_t, 8>> data(kReads);
    std::array<uint8_t, 5> shortBuffer{};
    std::vector<ec_datagramt> batch(kReads);
    for (size_t i = 0; i < kReads; ++i)
        batch[i] = ec_datagramt{Command::FPRD, static_cast<uint32_t>(i + 1), 8, {}, data[i]};
    batch.back().in = std::span(shortBuffer).first(4);
    EXPECT_EQ(ecx_transceive_batch(ctx, batch, 5000), static_cast<int>(kReads));
    EXPECT_EQ(script->sentCount(), 2u);
    for (size_t i = 0; i < kReads; ++i) {
        EXPECT_EQ(batch[i].wkc, (i + 1) % 3 == 0 ? 0 : 1) << i;
        EXPECT_EQ(i + 1 < kReads ? data[i][0] : shortBuffer[3], static_cast<uint8_t>(i + 1)) << i;
    }
    EXPECT_EQ(shortBuffer[4], 0);
    tamper = true;
    std::array<uint8_t, 8> first{};
    std::array<ec_datagramt, 2> two{ec_datagramt{Command::FPRD, 1, 8, {}, first},
                                    ec_datagramt{Command::FPRD, 2, 8, {}, {}}};
    EXPECT_EQ(ecx_transceive_batch(ctx, two, 3000), 0);
    EXPECT_EQ(std::tuple(two[0].wkc, first[0]), std::tuple(EC_NOFRAME, 0));
}

TEST(Links, VirtualAdaptersComeFirstInRegistrationOrder) {
    const std::string longDesc(300, 'd');
    const auto silent = [] {
        return std::make_unique<ScriptedLink>(std::make_shared<LinkScript>());
    };
    ec::registerVirtualAdapter("test:b", "second", silent);
    ec::registerVirtualAdapter("test:a", longDesc, silent);
    ec::registerVirtualAdapter("test:b", "second again", nullptr);  // replaces, keeps its place
    const auto list = ec::listAdapters();
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(std::tuple(list[0].name, list[0].desc, list[1].name),
              std::tuple("test:b", "second again", "test:a"));
    EXPECT_TRUE(std::none_of(list.begin(), list.end(), [](auto& a) { return a.name == "lo"; }));
    ec_adaptert* head = ec_find_adapters();
    ASSERT_TRUE(head && head->next);
    EXPECT_STREQ(head->name, "test:b");
    EXPECT_EQ(std::string(head->next->desc), longDesc.substr(0, 127));
    ec_free_adapters(head);
    EXPECT_NE(ec::openLink("test:a"), nullptr);
    ec::unregisterVirtualAdapter("test:a");
    ec::unregisterVirtualAdapter("test:b");
    EXPECT_EQ(ec::listAdapters().size(), list.size() - 2);
    EXPECT_EQ(ec::openLink("no-such-adapter-zz"), nullptr);
}

// A signal interrupting the wait is no error (the receive waits on); our own frame back: no reply.
TEST(Links, RawSocketWaitsThroughSignalsAndSkipsItsOwnFrames) {
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0, fds), 0);
    const std::array<uint8_t, 6> own{0x00, 0x1B, 0x21, 0x3C, 0x4D, 0x5E};
    const auto link = ec::RawSocketLink::adopt(fds[0], {}, own);
    struct sigaction quiet {
    }, old{};
    quiet.sa_handler = [](int) {};  // no SA_RESTART: ppoll fails with EINTR
    ASSERT_EQ(sigaction(SIGUSR1, &quiet, &old), 0);
    const pthread_t receiver = pthread_self();
    std::thread other([&] {
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            pthread_kill(receiver, SIGUSR1);
        }
        Bytes echo(60, 0xA5), reply(64, 0xA5);
        std::copy(own.begin(), own.end(), echo.begin() + 6);
        EXPECT_EQ(send(fds[1], echo.data(), echo.size(), 0), 60);
        EXPECT_EQ(send(fds[1], reply.data(), 13, 0), 13);  // shorter than an Ethernet header
        EXPECT_EQ(send(fds[1], reply.data(), reply.size(), 0), 64);
    });
    std::array<uint8_t, 62> buf{};
    EXPECT_EQ(link->receive(buf, std::chrono::seconds(5)), 62);  // cut to the buffer
    EXPECT_EQ(buf[61], 0xA5);
    other.join();
    EXPECT_EQ(link->receive(buf, std::chrono::microseconds(0)), 0);
    sigaction(SIGUSR1, &old, nullptr);
    close(fds[1]);
}
