// Links: the adapter registry and list, the raw socket on a veth pair that the test creates in a
// network namespace of its own, and the OS thread helpers.
#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "ethercat.h"
#include "frame.h"
#include "osal/rawsocket.h"

namespace {

class NullLink final : public ec::FrameLink {
public:
    bool send(std::span<const uint8_t>) override { return true; }
    int receive(std::span<uint8_t>, std::chrono::microseconds) override { return 0; }
};

}  // namespace

TEST(Adapters, VirtualAdaptersComeFirstAndLoopbackIsLeftOut) {
    const std::string longDesc(300, 'd');
    ec::registerVirtualAdapter("test:b", "second", [] { return std::make_unique<NullLink>(); });
    ec::registerVirtualAdapter("test:a", longDesc, [] { return std::make_unique<NullLink>(); });
    ec::registerVirtualAdapter("test:b", "second again", nullptr);  // replaces, keeps its place

    const auto list = ec::listAdapters();
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(list[0].name, "test:b");
    EXPECT_EQ(list[0].desc, "second again");
    EXPECT_EQ(list[1].name, "test:a");
    for (const auto& a : list) {
        EXPECT_NE(a.name, "lo");
    }

    ec_adaptert* head = ec_find_adapters();
    ASSERT_NE(head, nullptr);
    EXPECT_STREQ(head->name, "test:b");
    ASSERT_NE(head->next, nullptr);
    EXPECT_EQ(std::string(head->next->desc), longDesc.substr(0, 127)) << "cut to 127 characters";
    size_t count = 0;
    for (ec_adaptert* a = head; a != nullptr; a = a->next) {
        ++count;
    }
    EXPECT_EQ(count, list.size());
    ec_free_adapters(head);

    EXPECT_NE(ec::openLink("test:a"), nullptr);
    ec::unregisterVirtualAdapter("test:a");
    ec::unregisterVirtualAdapter("test:b");
    EXPECT_EQ(ec::listAdapters().size(), list.size() - 2);
    EXPECT_EQ(ec::openLink("no-such-adapter-zz"), nullptr);
}

TEST(RawSocket, ExchangesFramesOverAVethPairInItsOwnNamespace) {
    // Everything runs on a thread that has left the host's network namespace: the veth pair exists
    // only there and disappears with it.
    std::string skip;
    std::thread([&] {
        if (unshare(CLONE_NEWNET) != 0) {
            skip = "no permission for a network namespace";
            return;
        }
        if (std::system("ip link add zt0 type veth peer name zt1 >/dev/null 2>&1 && "
                        "ip link set zt0 up && ip link set zt1 up") != 0) {
            skip = "cannot create a veth pair";
            return;
        }
        auto master = ec::RawSocketLink::open("zt0");
        auto far = ec::RawSocketLink::open("zt1", {.acceptUnprocessed = true});
        ASSERT_NE(master, nullptr);
        ASSERT_NE(far, nullptr);

        ec::FrameBuilder b;
        b.add(ec::Command::BRD, 0, 2);
        const auto sent = b.finish(0x21);
        ASSERT_TRUE(master->send(sent));

        std::array<uint8_t, ec::kEthMaxFrame> buf{};
        const int n = far->receive(buf, std::chrono::seconds(2));
        ASSERT_EQ(n, static_cast<int>(sent.size()));
        EXPECT_TRUE(std::equal(sent.begin(), sent.end(), buf.begin()));
        // The master's own transmission never comes back to it as a reply.
        EXPECT_EQ(master->receive(buf, std::chrono::milliseconds(20)), 0);

        // Returned as a slave would: source marked as processed.
        buf[6] |= ec::kMacReturnBit;
        ASSERT_TRUE(far->send(std::span<const uint8_t>(buf.data(), static_cast<size_t>(n))));
        std::array<uint8_t, ec::kEthMaxFrame> got{};
        ASSERT_EQ(master->receive(got, std::chrono::seconds(2)), n);
        EXPECT_EQ(got[6], 0x03);
        EXPECT_EQ(got[17], 0x21);
        EXPECT_EQ(far->receive(buf, std::chrono::milliseconds(20)), 0) << "own reply not seen";

        // A frame that passed no slave (source unchanged) is not taken by the master.
        std::vector<uint8_t> unprocessed(sent.begin(), sent.end());
        ASSERT_TRUE(far->send(unprocessed));
        EXPECT_EQ(master->receive(got, std::chrono::milliseconds(20)), 0);
        master.reset();

        // A master opened by interface name, answered by one "slave" on the far end.
        ec::OwnedContext ctx;
        ASSERT_GT(ecx_init(ctx.get(), "zt0"), 0);
        std::thread slave([&far] {
            std::array<uint8_t, ec::kEthMaxFrame> f{};
            const int len = far->receive(f, std::chrono::seconds(2));
            if (len >= 34) {
                f[6] |= ec::kMacReturnBit;
                f[16 + 10] = 0x5A;  // data of the BRD
                f[16 + 12] = 1;     // working counter
                far->send(std::span<const uint8_t>(f.data(), static_cast<size_t>(len)));
            }
        });
        uint8_t data[2] = {};
        EXPECT_EQ(ecx_BRD(ctx.get(), 0, ec::kRegType, 2, data, 500000), 1);
        EXPECT_EQ(data[0], 0x5A);
        slave.join();
        ecx_close(ctx.get());
    }).join();
    if (!skip.empty()) {
        GTEST_SKIP() << skip;
    }
}

TEST(RawSocket, UnknownInterfaceDoesNotOpen) {
    EXPECT_EQ(ec::RawSocketLink::open("zz-no-such-if"), nullptr);
    EXPECT_EQ(ec::RawSocketLink::open(std::string(40, 'x')), nullptr);
}

namespace {

std::atomic<int> threadRan{0};
OSAL_THREAD_FUNC markRun(void* param) {
    threadRan = *static_cast<int*>(param);
}

}  // namespace

TEST(Osal, ThreadReceivesItsParameterAndCanBeJoined) {
    int param = 42;
    OSAL_THREAD_HANDLE handle{};
    ASSERT_EQ(osal_thread_create(&handle, 128000, markRun, &param), 1);
    ASSERT_EQ(osal_thread_join(&handle), 1);
    EXPECT_EQ(threadRan.load(), 42);

    int other = 7;
    ASSERT_EQ(osal_thread_create(&handle, 0, reinterpret_cast<void*>(&markRun), &other), 1);
    ASSERT_EQ(osal_thread_join(&handle), 1);
    EXPECT_EQ(threadRan.load(), 7);
}
