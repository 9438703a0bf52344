// SDO information with the simulated drives: errors, the list bound, replies without end (the
// whole dictionary in fragments and hostile replies: the mailbox trace, wiretrace_test.cpp).
#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <tuple>

#include "sim_bus.h"

using bustest::preOp;
using bustest::SimBus;

namespace {

struct Lists {
    std::unique_ptr<ec_ODlistt> od = std::make_unique<ec_ODlistt>();
    std::unique_ptr<ec_OElistt> oe = std::make_unique<ec_OElistt>();
    uint16_t row(uint16_t index) const {
        return uint16_t(std::find(od->Index, od->Index + od->Entries, index) - od->Index);
    }
};

TEST(BusSdoInfo, ErrorRepliesTheListBoundGapsAndARefusal) {
    const auto bus = preOp(128, 2);
    // Drive 2 gets more objects than a list keeps, one of them without subindex 1.
    sim::ObjectDictionary& dict = bus->chain->drive(2)->dictionary();
    for (int k = 0; k < EC_MAXODLIST; ++k)
        dict.addEntry(uint16_t(0x3000 + k), 0, "Extra", sim::CoeType::Unsigned8,
                      sim::Access::ReadOnly);
    dict.addEntry(0x3000, 2, "Second", sim::CoeType::Boolean, sim::Access::ReadWrite);
    Lists l;
    ASSERT_EQ(ecx_readODlist(bus->ctx(), 2, l.od.get()), 1);
    EXPECT_EQ(std::tuple(l.od->Entries, l.od->Index[EC_MAXODLIST - 1]),
              std::tuple(EC_MAXODLIST, std::next(dict.objects().begin(), EC_MAXODLIST - 1)->first));
    EXPECT_EQ(bus->packetErrors(ec::kPacketBufferTooSmall), 1u);
    const uint16_t row = l.row(0x3000);
    ASSERT_EQ(ecx_readODdescription(bus->ctx(), row, l.od.get()), 1);
    ASSERT_EQ(ecx_readOE(bus->ctx(), row, l.od.get(), l.oe.get()), 1);
    EXPECT_EQ(std::tuple(l.od->MaxSub[row], l.oe->Entries, l.oe->DataType[1], l.oe->Name[1][0],
                         l.oe->BitLength[2], std::string(l.oe->Name[2])),
              std::tuple(2, 3, 0, '\0', 1, "Second"));
    // A name as long as the largest mailbox is read (and cut); one byte more is too long.
    for (const int extra : {0, 1}) {
        dict.addObject(0x3000, std::string(EC_MAXMBX + extra, 'N'));
        EXPECT_EQ((std::tuple{ecx_readODdescription(bus->ctx(), row, l.od.get()),
                              std::string(l.od->Name[row]).size(),
                              bus->packetErrors(ec::kPacketTooLong)}),
                  std::tuple(1 - extra, size_t{EC_MAXNAME}, size_t(extra)));
    }

    // Unknown object and subindex: 0, the abort code in the list.
    std::tie(l.od->Slave, l.od->Index[0], l.od->Index[1]) = std::tuple(1, 0x5555, 0x1000);
    EXPECT_EQ(ecx_readODdescription(bus->ctx(), 0, l.od.get()), 0);
    EXPECT_EQ(ecx_readOEsingle(bus->ctx(), 1, 5, l.od.get(), l.oe.get()), 0);
    EXPECT_EQ(ecx_readOEsingle(bus->ctx(), 1, 1, l.od.get(), nullptr), 0);  // no list to fill
    const auto errors = bus->popErrors();
    ASSERT_EQ(errors.size(), 2u);
    for (const auto& [e, index, sub, code] :
         {std::tuple(errors[0], 0x5555, 0, 0x06020000u), {errors[1], 0x1000, 5, 0x06090011u}})
        EXPECT_EQ(std::tuple(e.Etype, e.Slave, e.Index, e.SubIdx, uint32_t(e.AbortCode)),
                  std::tuple(EC_ERR_TYPE_SDOINFO_ERROR, 1, index, sub, code));
    // Without the SII's SDO information bit, or beyond the list, nothing goes out.
    bus->slave(1).CoEdetails &= uint8_t(~ec::kCoeDetailSdoInfo);
    const uint64_t frames = bus->chain->framesSeen();
    EXPECT_EQ(std::tuple(ecx_readODlist(bus->ctx(), 1, l.od.get()),
                         ecx_readODlist(bus->ctx(), 1, nullptr)),
              std::tuple(0, 0));
    l.od->Entries = 2;
    EXPECT_EQ((std::tuple{ecx_readOE(bus->ctx(), 1, l.od.get(), l.oe.get()),
                          ecx_readODdescription(bus->ctx(), 1, l.od.get()),
                          ecx_readOEsingle(bus->ctx(), 1, 0, l.od.get(), l.oe.get()),
                          ecx_readODdescription(bus->ctx(), 2, l.od.get()),
                          bus->chain->framesSeen(), bus->packetErrors(ec::kPacketRefused)}),
              std::tuple(0, 0, 0, 0, frames, 4u));
}

// Half a millisecond more per frame: 65,535 fragments take more than half a minute to read.
class SlowLine final : public ec::FrameLink {
public:
    explicit SlowLine(std::unique_ptr<ec::FrameLink> line) : line_(std::move(line)) {}
    bool send(std::span<const uint8_t> frame) override {
        std::this_thread::sleep_for(std::chrono::microseconds(500));
        return line_->send(frame);
    }
    int receive(std::span<uint8_t> buf, std::chrono::microseconds timeout) override {
        return line_->receive(buf, timeout);
    }

private:
    std::unique_ptr<ec::FrameLink> line_;
};

// Replies that never end, each fragment in time: a list (65,535 more fragments could be that long),
// a description, an entry; all entries, each only at the master's repeat request (100 ms each).
TEST(BusSdoInfo, RepliesWithoutEndFailWithinTheCallsTime) {
    using M = sim::Misbehaviour;
    const auto call = [](int op, ecx_contextt* c, Lists& l) {
        const uint16_t params = l.row(0x6101);
        return op == 0   ? ecx_readODlist(c, 1, Lists().od.get())
               : op == 1 ? ecx_readODdescription(c, params, l.od.get())
               : op == 2 ? ecx_readOEsingle(c, params, 1, l.od.get(), l.oe.get())
                         : ecx_readOE(c, params, l.od.get(), l.oe.get());
    };
    const std::tuple<int, M, int, uint16_t> rows[] = {
        {0, M::SdoInfoEndlessReply, 0, ec::kPacketOverdue},
        {1, M::SdoInfoEndlessReply, 0, ec::kPacketTooLong},
        {2, M::SdoInfoEndlessReply, 0, ec::kPacketTooLong},
        {3, M::None, 1000, ec::kPacketOverdue}};
    for (const auto& [op, m, dropped, packetError] : rows) {
        SCOPED_TRACE(op);
        const auto bus = preOp(64);
        Lists l;
        ASSERT_EQ(ecx_readODlist(bus->ctx(), 1, l.od.get()), 1);
        ASSERT_EQ(ecx_readODdescription(bus->ctx(), l.row(0x6101), l.od.get()), 1);
        ecx_init_link(bus->ctx(), std::make_unique<SlowLine>(sim::makeVirtualLink(bus->chain)));
        ASSERT_TRUE(bus->chain->setMailboxMisbehaviour(1, m) &&
                    bus->chain->dropMailboxReplies(1, dropped));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(call(op, bus->ctx(), l), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - start,
                  4 * std::chrono::microseconds(EC_TIMEOUTSDOINFO));
        const ec_serviceresultt r = ecx_lastservice(bus->ctx());
        EXPECT_EQ(std::tuple(r.kind, r.code), std::tuple(EC_SERVICE_PACKET_ERROR, packetError));
        EXPECT_EQ(bus->packetErrors(packetError), 1u);
    }
}

}  // namespace
