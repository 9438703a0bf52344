// How a mailbox service ended, as ecx_lastservice tells the thread that ran it (aborted and
// failed transfers: the mailbox trace).
#include <algorithm>
#include <functional>
#include <string>
#include <thread>
#include <tuple>

#include "sim_bus.h"

using bustest::SimBus;

namespace {

using M = sim::Misbehaviour;

TEST(BusServiceOutcome, EachEndingHasItsKindObjectCodeAndTextForTheThreadThatRanIt) {
    const auto bus = bustest::preOp(128, 2);
    uint8_t buf[8];
    int size = sizeof buf;
    auto od = std::make_unique<ec_ODlistt>();
    const struct {
        std::function<int(SimBus&)> call;
        ec_servicekind kind;
        uint32_t code;
        uint16_t index;
        uint8_t subindex;
        std::string text;
    } rows[] = {
        // An emergency met on the way is recorded, not taken for the outcome.
        {[](SimBus& b) {
             b.chain->sendEmergency(1, 0x2310, 0x01, {1, 2, 3, 4, 5});
             return b.sdoRead(1, 0x1018, 1, 4);
         },
         EC_SERVICE_OK, 0, 0x1018, 1, "ok"},
        {[&](SimBus& b) {
             std::tie(od->Slave, od->Entries, od->Index[0]) = std::tuple(2, 1, 0x5555);
             return ecx_readODdescription(b.ctx(), 0, od.get());
         },
         EC_SERVICE_SDOINFO_ERROR, 0x06020000, 0x5555, 0,
         "SDO information error 0x06020000 Object does not exist in the object dictionary at "
         "0x5555:00"},
        {[](SimBus& b) { return ecx_FOEwrite(b.ctx(), 2, "a.bin", 0, 3, "abc", EC_TIMEOUTRXM); },
         EC_SERVICE_FOE_ERROR, 0x8008, 0, 0, "FoE error 0x8008 Bootstrap only"},
        {[&](SimBus& b) { return ecx_SDOread(b.ctx(), 1, 0x1018, 1, true, &size, buf, 100000); },
         EC_SERVICE_REFUSED, ec::kPacketRefused, 0x1018, 1,
         "refused: Request not supported by the slave at 0x1018:01"},
        {[&](SimBus& b) { return ecx_SDOread(b.ctx(), 1, 0x1018, 1, false, nullptr, buf, 1000); },
         EC_SERVICE_REFUSED, 0, 0x1018, 1, "refused: Request not placed at 0x1018:01"},
        {[](SimBus& b) { return b.sdoRead(7, 0x1018, 1, 4); }, EC_SERVICE_NO_MAILBOX, 0, 0x1018, 1,
         "no mailbox at slave 7"},
        {[&](SimBus& b) {
             b.chain->setMailboxMisbehaviour(2, M::Silent);
             const int r = ecx_SDOread(b.ctx(), 2, 0x1018, 1, false, &size, buf, 100000);
             b.chain->setMailboxMisbehaviour(2, M::None);
             return r;
         },
         EC_SERVICE_TIMEOUT, 0, 0x1018, 1, "no reply in time"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.call(*bus) > 0, row.kind == EC_SERVICE_OK);
        const ec_serviceresultt r = ecx_lastservice(bus->ctx());
        EXPECT_EQ(std::tuple(r.kind, r.code, r.index, r.subindex, ec::serviceResultText(r)),
                  std::tuple(row.kind, row.code, row.index, row.subindex, row.text));
    }
    const auto errors = bus->popErrors();  // the error list is filled as before
    const auto emergency = [](const ec_errort& x) { return x.Etype == EC_ERR_TYPE_EMERGENCY; };
    ASSERT_EQ(std::count_if(errors.begin(), errors.end(), emergency), 1);
    const auto e = std::find_if(errors.begin(), errors.end(), emergency);
    EXPECT_EQ(std::tuple(e->ErrorCode, e->ErrorReg, e->b1), std::tuple(0x2310, 0x01, 1));

    // Another thread's services leave this thread's outcome.
    const auto reads = [&bus](int n) {
        for (int i = 0; i < n; ++i) {
            EXPECT_GT(bus->sdoRead(2, 0x1018, 1, 4), 0);
            EXPECT_EQ(ecx_lastservice(bus->ctx()).kind, EC_SERVICE_OK);
        }
    };
    std::thread beside(reads, 50);
    for (int i = 0; i < 50; ++i)  // braces: the read, then its outcome
        EXPECT_EQ((std::tuple{bus->sdoRead(1, 0x5555, uint8_t(i), 4),
                              ecx_lastservice(bus->ctx()).subindex}),
                  std::tuple(0, i));
    beside.join();
    std::thread(reads, 1).join();  // surely after this thread's last
    const ec_serviceresultt r = ecx_lastservice(bus->ctx());
    EXPECT_EQ(std::tuple(r.kind, r.subindex), std::tuple(EC_SERVICE_ABORTED, 49));
    EXPECT_EQ(bus->popErrors().size(), 50u);  // the aborts, no more
    // Nor does a context this thread has not used have one.
    EXPECT_EQ(ecx_lastservice(bustest::preOp()->ctx()).kind, EC_SERVICE_NONE);
}

}  // namespace
