// Whole exchanges as the wire carries them, against traces reviewed once and kept in data/: every
// register, SII word, mailbox message and image byte that the master and the drives exchange. The
// steps need no checks of their own: whatever goes otherwise changes the trace.
// ZENTRIO_UPDATE_TRACES=1 writes the traces anew; review the difference before committing it.
#include <cstdio>
#include <fstream>
#include <functional>
#include <numeric>
#include <sstream>

#include "frame.h"
#include "sim_bus.h"

using bustest::Bytes;
using bustest::SimBus;

namespace {

// Passes frames through and writes down each datagram as it comes back: command, address, length,
// working counter and data, clock times blanked. A poll answered unchanged makes one line.
class TracingLink final : public ec::FrameLink {
public:
    TracingLink(std::shared_ptr<sim::Chain> chain, std::string* trace)
        : inner_(sim::makeVirtualLink(std::move(chain))), trace_(trace) {}
    bool send(std::span<const uint8_t> frame) override { return inner_->send(frame); }
    int receive(std::span<uint8_t> buf, std::chrono::microseconds timeout) override {
        const int n = inner_->receive(buf, timeout);
        // Well-formed frames only (a malformed one fails the fixture's teardown anyway).
        const auto datagrams = n > 0 ? ec::checkFrame(buf.first(size_t(n))) : std::nullopt;
        for (size_t at = 0; datagrams && at < datagrams->size();) {
            const uint8_t* d = datagrams->data() + at;
            const size_t len = ec::getU16(d + 6) & ec::kDatagramLengthMask;
            at += ec::kDatagramHeaderSize + len + ec::kWkcSize;
            const uint16_t ado = ec::getU16(d + 4);
            const bool clock = (ado >= 0x0900 && ado < 0x0928) || ado == ec::kRegDcStartTime;
            char text[40];
            std::snprintf(text, sizeof text, "%02u %04x %04x %4zu wkc %u ", d[0], ec::getU16(d + 2),
                          ado, len, ec::getU16(d + 10 + len));
            std::string line = text;
            for (size_t i = 0; i < len; ++i)
                std::snprintf(text, sizeof text, "%02x", clock ? 0 : d[10 + i]), line += text;
            if (line != last_)
                *trace_ += (last_ = line) + '\n';
        }
        return n;
    }

private:
    std::unique_ptr<ec::FrameLink> inner_;
    std::string* trace_;
    std::string last_;
};

void expectTrace(const std::string& name, sim::ChainConfig cfg,
                 const std::function<void(SimBus&)>& steps) {
    for (auto& slave : cfg.slaves)
        slave.smWatchdogTicks = 0;  // a stall of the test's host does not change the trace
    std::string got;
    {
        SimBus bus(cfg);
        ecx_init_link(bus.ctx(), std::make_unique<TracingLink>(bus.chain, &got));
        steps(bus);
        bus.popErrors();
    }
    const std::string path = ZENTRIO_TEST_DATA_DIR "/" + name + ".trace";
    if (std::getenv("ZENTRIO_UPDATE_TRACES") != nullptr)
        std::ofstream(path) << got;
    std::stringstream want;
    want << std::ifstream(path).rdbuf();
    EXPECT_EQ(got, want.str()) << path;
}

TEST(WireTrace, BringUpOperationFaultsAndShutDown) {
    expectTrace("bringup", sim::ChainConfig::drives(3), [](SimBus& bus) {
        bus.bringUp(), ecx_readstate(bus.ctx());  // all in OP: one broadcast read tells
        bus.exchange(), bus.exchange(), bus.exchange();
        // Targets in the image, then read through the dictionary: each object at its own bytes.
        std::iota(bus.slave(1).outputs + 2, bus.slave(1).outputs + 18, uint8_t{1});
        bus.exchange();
        for (uint16_t index : {0x6040, 0x6071, 0x607A, 0x60FF, 0x6060})
            bus.sdoRead(1, index, 0, 4);
        ecx_dcsync0(bus.ctx(), 1, true, 2000000, 0);
        for (uint16_t state : {EC_STATE_SAFE_OP, EC_STATE_PRE_OP, EC_STATE_INIT})
            bus.requestState(state);
    });
    // A coupler, a drive that reads its SII four bytes at a time, a drive, an I/O terminal; then
    // every register of each as the master left it.
    sim::ChainConfig mixed;
    mixed.slaves = {sim::SlaveConfig::coupler(), sim::SlaveConfig::drive(1),
                    sim::SlaveConfig::drive(2), sim::SlaveConfig::ioTerminal()};
    mixed.slaves[1].siiReads8Bytes = false;
    expectTrace("mixed", mixed, [](SimBus& bus) {
        bus.bringUp(), bus.exchange();
        for (uint16_t n = 1; n <= 4; ++n)
            for (uint16_t at = 0; at < 0x1000; at += 0x100)
                ecx_FPRD(bus.ctx(), bus.slave(n).configadr, at, 0x100, Bytes(0x100).data(), 100000);
        for (uint16_t word = 0; word < 0x400; word += 2)  // and their whole SII
            ecx_readeeprom(bus.ctx(), 2, word, 100000), ecx_readeeprom(bus.ctx(), 3, word, 100000);
    });
    // A lost frame, a local error acknowledged, a pulled cable and the drive's return.
    expectTrace("faults", sim::ChainConfig::drives(2), [](SimBus& bus) {
        bus.bringUp();
        bus.chain->corruptNextFrame(2);
        bus.exchange();
        bus.chain->forceSafeOpError(2, ec::kAlSmWatchdog);
        ecx_readstate(bus.ctx());
        bus.requestState(EC_STATE_SAFE_OP | EC_STATE_ACK, 2);
        bus.chain->pullDrive(2);
        bus.exchange(), ecx_readstate(bus.ctx());
        bus.chain->plugDrive(2);
        ecx_recover_slave(bus.ctx(), 2, 500), ecx_reconfig_slave(bus.ctx(), 2, 500);
        bus.requestState(EC_STATE_OPERATIONAL, 2), bus.exchange();
    });
}

// SDO transfers in a small and a standard window, an abort, a refusal, SDO information; then a
// file through the bootstrap mailbox in BOOT; then segment boundaries in windows of every size.
TEST(WireTrace, MailboxServices) {
    auto cfg = sim::ChainConfig::drives(2);
    cfg.slaves[0].mailboxOutSize = cfg.slaves[0].mailboxInSize = 32;
    cfg.slaves[1].foeBusyPackets = {2};
    cfg.slaves[1].foeCapacityBytes = 4000;
    expectTrace("mailbox", cfg, [](SimBus& bus) {
        bus.scan(), bus.requestState(EC_STATE_PRE_OP);
        bus.sdoRead(1, 0x1008, 0, 64), bus.sdoRead(2, 0x1008, 0, 64), bus.sdoRead(2, 0x6060, 0, 1);
        bus.sdoWrite(1, 0x6060, 0, Bytes{8}), bus.sdoWrite(1, 0x1008, 0, Bytes(40, 'x'));
        bus.sdoRead(2, 0x5FFF, 0, 4);
        auto od = std::make_unique<ec_ODlistt>();
        auto oe = std::make_unique<ec_OElistt>();
        ecx_readODlist(bus.ctx(), 1, od.get());
        for (uint16_t item : {0, 3})
            ecx_readODdescription(bus.ctx(), item, od.get()),
                ecx_readOE(bus.ctx(), item, od.get(), oe.get());
        // Replies a drive should not give, to SDO transfers and information.
        using enum sim::Misbehaviour;
        for (const auto m : {OversizedUpload, SegmentsBeyondSize, StuckSegmentToggle,
                             SdoOtherObjectFirst, ShortMailboxLength, Garbage, SdoInfoFragmentCount,
                             SdoInfoShortReply, SdoInfoLongNames, SdoInfoOtherObjectFirst, None}) {
            bus.chain->setMailboxMisbehaviour(1, m);
            bus.sdoRead(1, 0x1008, 0, 64), bus.sdoRead(1, 0x6060, 0, 1);
            ecx_readODlist(bus.ctx(), 1, od.get()), ecx_readODdescription(bus.ctx(), 3, od.get());
        }
        // The second drive's whole dictionary as it leaves the factory: every object, entry and
        // value.
        ecx_readODlist(bus.ctx(), 2, od.get());
        for (uint16_t item = 0; item < od->Entries; ++item) {
            ecx_readODdescription(bus.ctx(), item, od.get());
            ecx_readOE(bus.ctx(), item, od.get(), oe.get());
            for (uint8_t sub = 0; sub < oe->Entries; ++sub)
                bus.sdoRead(2, od->Index[item], sub, 512);
        }
        ec_mbxsetupt standard{};
        bus.requestState(EC_STATE_INIT, 2), ecx_FOEbootmailbox(bus.ctx(), 2, &standard);
        bus.requestState(EC_STATE_BOOT, 2);
        for (const int size : {3000, 5000}) {  // the second one past the flash
            const Bytes file(size_t(size), 0xA5);
            ecx_FOEwrite(bus.ctx(), 2, "joint.bin", 0, size, file.data(), EC_TIMEOUTRXM);
        }
        bus.chain->setMailboxMisbehaviour(2, sim::Misbehaviour::WrongFoeAck);
        ecx_FOEwrite(bus.ctx(), 2, "joint.bin", 0, 3000, Bytes(3000).data(), EC_TIMEOUTRXM);
        ecx_FOEstdmailbox(bus.ctx(), 2, standard);
        bus.requestState(EC_STATE_INIT, 2);
    });
    // Texts of sizes around the expedited limit, the first message's room (window - 16), a
    // segment's (window - 9) and the padded 7-byte segment, written and read back in windows of
    // 24 to 128 bytes.
    cfg = sim::ChainConfig::drives(5);
    for (size_t n = 0; n < 5; ++n)
        cfg.slaves[n].mailboxOutSize = cfg.slaves[n].mailboxInSize =
            std::array{24, 32, 48, 64, 128}[n];
    expectTrace("windows", cfg, [](SimBus& bus) {
        bus.scan(), bus.requestState(EC_STATE_PRE_OP);
        for (uint16_t n = 1; n <= 5; ++n) {
            const int w = bus.slave(n).mbx_l;
            for (const int size :
                 {5, w - 17, w - 16, w - 15, w - 9, w - 8, 2 * w - 25, 2 * w - 24}) {
                Bytes text(size_t(std::clamp(size, 5, 96)));
                std::iota(text.begin(), text.end(), uint8_t(size));
                bus.sdoWrite(n, 0x2020, 0, text), bus.sdoRead(n, 0x2020, 0, 96);
            }
        }
    });
}

}  // namespace
