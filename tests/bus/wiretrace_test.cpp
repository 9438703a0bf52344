// Whole exchanges against traces reviewed once and kept in data/: every datagram the master and
// the drives exchange, and what the master made of it. Whatever goes otherwise changes the trace.
// ZENTRIO_UPDATE_TRACES=1 writes the traces anew; review the difference before committing it.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <numeric>
#include <sstream>

#include "frame.h"
#include "sim_bus.h"

using bustest::Bytes;
using bustest::SimBus;

namespace {

std::string hex(std::span<const uint8_t> bytes) {
    std::string text;
    for (const uint8_t b : bytes)
        text += "0123456789abcdef"[b >> 4], text += "0123456789abcdef"[b & 15];
    return text;
}

// Passes frames through and writes down each datagram as it comes back: command, address, length,
// working counter and data, clock times blanked. A poll answered unchanged adds nothing.
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
            const std::string line =
                text + (clock ? std::string(2 * len, '0') : hex({d + 10, len}));
            if (line != last_[0] && line != last_[1])  // a poll of one or two datagrams
                *trace_ += line + '\n', last_[1] = std::exchange(last_[0], line);
        }
        return n;
    }

private:
    std::unique_ptr<ec::FrameLink> inner_;
    std::string* trace_;
    std::string last_[2];
};

// Between the datagrams: what the calls returned and what the master made of the replies, then
// what the error list took meanwhile (as its texts say it, times left out).
std::string* notes = nullptr;
SimBus* noted = nullptr;
void note(const std::string& what, std::initializer_list<int64_t> values) {  // in their order
    std::string line = "= " + what;
    for (const int64_t v : values)
        line += ' ' + std::to_string(v);
    *notes += line + '\n';
    for (ec_errort e : noted->popErrors())
        e.Time = {}, *notes += "= " + ec::errorText(e) + '\n';
}
// Every slave's record and the group's, image places as offsets (receive times: too fine to keep).
void noteRecords(SimBus& bus) {
    const auto at = [&bus](const uint8_t* p) { return p ? int(p - bus.iomap.data()) : -1; };
    for (int n = 1; n <= bus.master.slavecount(); ++n) {
        const ec_slavet& s = bus.slave(n);
        note("slave " + std::string(s.name),
             {s.state, s.ALstatuscode, s.configadr, s.aliasadr, s.eep_man, s.eep_id, s.eep_rev,
              s.Itype, s.Dtype, s.eep_8byte, s.eep_pdi, s.islost, s.configindex, s.SIIindex});
        note("image", {s.Obits, s.Obytes, at(s.outputs), s.Ostartbit, s.Ibits, s.Ibytes,
                       at(s.inputs), s.Istartbit, s.FMMU0func, s.FMMU1func, s.FMMU2func,
                       s.FMMU3func, s.FMMUunused, s.group, s.blockLRW, s.Ebuscurrent});
        for (int i = 0; i < EC_MAXSM; ++i)
            note("sm", {s.SM[i].StartAddr, s.SM[i].SMlength, s.SM[i].SMflags, s.SMtype[i]});
        for (const ec_fmmut& f : s.FMMU)
            note("fmmu", {f.LogStart, f.LogLength, f.LogStartbit, f.LogEndbit, f.PhysStart,
                          f.PhysStartBit, f.FMMUtype, f.FMMUactive});
        note("mailbox", {s.mbx_l, s.mbx_wo, s.mbx_rl, s.mbx_ro, s.mbx_proto, s.CoEdetails,
                         s.FoEdetails, s.EoEdetails, s.SoEdetails});
        note("ports",
             {s.hasdc, s.ptype, s.topology, s.activeports, s.consumedports, s.parent, s.parentport,
              s.entryport, s.DCnext, s.DCprevious, s.DCcycle, s.DCshift, s.DCactive});
    }
    const ec_groupt& g = bus.master.group(0);
    note("group",
         {g.logstartaddr, g.Obytes, at(g.outputs), g.Ibytes, at(g.inputs), g.hasdc, g.DCnext,
          g.Ebuscurrent, g.blockLRW, g.nsegments, g.Isegment, g.Ioffset, g.outputsWKC, g.inputsWKC,
          g.expectedWKC, g.docheckstate, g.IOsegment[0], g.IOsegment[1]});
}
// A row of the object list and the object's entries; the first byte of the names that follow.
void noteLists(uint16_t row, const ec_ODlistt& od, const ec_OElistt& oe) {
    const auto name = [](const char* n) { return std::string(n, strnlen(n, EC_MAXNAME + 1)); };
    note(name(od.Name[row]),
         {od.Index[row], od.DataType[row], od.ObjectCode[row], od.MaxSub[row], od.Name[row + 1][0],
          oe.Name[std::min(oe.Entries, uint16_t(255))][0]});
    for (int sub = 0; sub < oe.Entries; ++sub)
        note(name(oe.Name[sub]),
             {oe.ValueInfo[sub], oe.DataType[sub], oe.BitLength[sub], oe.ObjAccess[sub]});
}

// Edits a simulated drive's SII category in place, before the master reads it.
template <typename Edit>
void editSii(SimBus& bus, int position, uint16_t category, Edit edit) {
    bus.chain->withSlave(position, [&](sim::Esc& esc, sim::SlaveApplication*) {
        auto& sii = const_cast<std::vector<uint16_t>&>(esc.sii());
        for (size_t w = 0x40; w + 3 < sii.size() && sii[w] != 0xFFFF; w += 2u + sii[w + 1])
            if (sii[w] == category)
                edit(&sii[w]);
    });
}

void expectTrace(const std::string& name, sim::ChainConfig cfg,
                 const std::function<void(SimBus&)>& steps) {
    for (auto& slave : cfg.slaves)
        slave.smWatchdogTicks = 0;  // a stall of the test's host does not change the trace
    std::string got;
    {
        SimBus bus(cfg);
        ecx_init_link(bus.ctx(), std::make_unique<TracingLink>(bus.chain, &got));
        std::tie(notes, noted) = std::tuple(&got, &bus);
        steps(bus);
        note("end", {});
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
        note("up", {bus.bringUp(), ecx_readstate(bus.ctx())});  // all in OP: one broadcast read
        noteRecords(bus);
        note("wkc", {bus.exchange(), bus.exchange(), bus.exchange()});
        // Targets in the image, then read through the dictionary: each object at its own bytes.
        std::iota(bus.slave(1).outputs + 2, bus.slave(1).outputs + 18, uint8_t{1});
        bus.exchange();
        for (uint16_t index : {0x6040, 0x6071, 0x607A, 0x60FF, 0x6060}) {
            Bytes value;
            note("read", {bus.sdoRead(1, index, 0, 4, &value)}),
                *notes += "= value " + hex(value) + '\n';
        }
        ecx_dcsync0(bus.ctx(), 1, true, 2000000, 0);
        for (uint16_t state : {EC_STATE_SAFE_OP, EC_STATE_PRE_OP, EC_STATE_INIT})
            note("state", {bus.requestState(state)});
    });
    // A coupler, a drive that reads its SII four bytes at a time, a drive, an I/O terminal; then
    // every register of each as the master left it.
    sim::ChainConfig mixed;
    mixed.slaves = {sim::SlaveConfig::coupler(), sim::SlaveConfig::drive(1),
                    sim::SlaveConfig::drive(2), sim::SlaveConfig::ioTerminal()};
    mixed.slaves[1].siiReads8Bytes = false;
    expectTrace("mixed", mixed, [](SimBus& bus) {
        note("up", {bus.bringUp(), bus.exchange()});
        noteRecords(bus);
        for (uint16_t n = 1; n <= 4; ++n)
            for (uint16_t at = 0; at < 0x1000; at += 0x100)
                ecx_FPRD(bus.ctx(), bus.slave(n).configadr, at, 0x100, Bytes(0x100).data(), 100000);
        for (uint16_t word = 0; word < 0x400; word += 2)  // and their whole SII
            ecx_readeeprom(bus.ctx(), 2, word, 100000), ecx_readeeprom(bus.ctx(), 3, word, 100000);
    });
    // A drive whose SII lacks the SyncM category (the mailbox from the SII words alone), one whose
    // FMMU category names FMMU0 for the mailbox status (the next free ones carry the image).
    expectTrace("sii", sim::ChainConfig::drives(2), [](SimBus& bus) {
        editSii(bus, 1, ec::kSiiCatSyncManager, [](uint16_t* c) { c[0] = 0x0800; });  // a vendor's
        editSii(bus, 2, ec::kSiiCatFmmu, [](uint16_t* c) { c[2] = 3; });
        note("up", {bus.scan(), bus.map(), bus.requestState(EC_STATE_PRE_OP),
                    bus.sdoRead(1, 0x1008, 0, 64), bus.requestState(EC_STATE_SAFE_OP, 2),
                    bus.requestState(EC_STATE_OPERATIONAL, 2), bus.exchange()});
        noteRecords(bus);
    });
    // A lost frame, a local error acknowledged, a pulled cable and the drive's return.
    expectTrace("faults", sim::ChainConfig::drives(2), [](SimBus& bus) {
        const auto states = [&bus] {
            note("states", {ecx_readstate(bus.ctx()), bus.slave(1).state, bus.slave(1).ALstatuscode,
                            bus.slave(2).state, bus.slave(2).ALstatuscode});
        };
        bus.bringUp();
        bus.chain->corruptNextFrame(2);
        note("wkc", {bus.exchange()});
        bus.chain->forceSafeOpError(2, ec::kAlSmWatchdog);
        states();
        note("ack", {bus.requestState(EC_STATE_SAFE_OP | EC_STATE_ACK, 2)});
        bus.chain->pullDrive(2);  // nobody at the position: nothing to recover, the SII not taken
        note("wkc", {bus.exchange()}), states();
        note("recover",
             {ecx_recover_slave(bus.ctx(), 2, 500), ecx_reconfig_slave(bus.ctx(), 2, 500)});
        ecx_eeprom2master(bus.ctx(), 2);
        note("pdi", {bus.slave(2).eep_pdi});
        bus.chain->plugDrive(2);  // back, freshly powered; then asked again once it is there
        note("recover",
             {ecx_recover_slave(bus.ctx(), 2, 500), ecx_reconfig_slave(bus.ctx(), 2, 500),
              ecx_recover_slave(bus.ctx(), 2, 500), ecx_recover_slave(bus.ctx(), 1, 500)});
        note("op", {bus.requestState(EC_STATE_OPERATIONAL, 2), bus.exchange()});
        states();
        note("inspect", {ecx_config_inspect(bus.ctx())}), noteRecords(bus);  // running: kept as is
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
        const auto read = [&bus](uint16_t n, uint16_t index, uint8_t sub, int capacity) {
            Bytes value;
            const int wkc = bus.sdoRead(n, index, sub, capacity, &value);
            note("read " + ec::serviceResultText(ecx_lastservice(bus.ctx())), {wkc});
            *notes += "= value " + hex(value) + '\n';
        };
        bus.scan(), bus.requestState(EC_STATE_PRE_OP);
        read(1, 0x1008, 0, 64), read(2, 0x1008, 0, 64), read(2, 0x6060, 0, 1);
        note("write",
             {bus.sdoWrite(1, 0x6060, 0, Bytes{8}), bus.sdoWrite(1, 0x2020, 0, Bytes(40, 'y')),
              bus.sdoWrite(1, 0x1008, 0, Bytes(40, 'x'))});  // read-only
        note(ec::serviceResultText(ecx_lastservice(bus.ctx())), {});
        read(2, 0x5FFF, 0, 4);
        note("poll",  // an emergency waiting, then none, then a slave not there
             {bus.chain->sendEmergency(1, 0x2310, 1, {1, 2, 3, 4, 5}), ecx_mbxpoll(bus.ctx(), 1),
              ecx_mbxpoll(bus.ctx(), 1), ecx_mbxpoll(bus.ctx(), 9)});
        // Aborts both ways; buffers too small; requests refused unsent (complete access not
        // offered, no data, a size < 0); complete access offered, and aborted.
        read(2, 0x6101, 38, 4), read(2, 0x1008, 0, 15), read(2, 0x6101, 3, 3),
            read(2, 0x6101, 3, 0);
        note("write", {bus.sdoWrite(2, 0x6101, 9, Bytes(2, 1))});
        int caSize = 8;
        uint8_t buf[8];
        note("refused", {ecx_SDOread(bus.ctx(), 2, 0x1018, 1, true, &caSize, buf, EC_TIMEOUTRXM),
                         ecx_SDOwrite(bus.ctx(), 2, 0x6101, 9, false, 1, nullptr, EC_TIMEOUTRXM),
                         ecx_SDOwrite(bus.ctx(), 2, 0x6101, 9, false, -1, buf, EC_TIMEOUTRXM),
                         ecx_SDOwrite(bus.ctx(), 2, 0x6101, 9, true, 1, buf, EC_TIMEOUTRXM)});
        bus.slave(2).CoEdetails |= ec::kCoeDetailCompleteAccess;
        note("complete", {ecx_SDOread(bus.ctx(), 2, 0x1018, 1, true, &caSize, buf, EC_TIMEOUTRXM)});
        auto od = std::make_unique<ec_ODlistt>();
        auto oe = std::make_unique<ec_OElistt>();
        // The whole dictionary, in fragments of the small window: every object, entry and value.
        note("list", {ecx_readODlist(bus.ctx(), 1, od.get()), od->Entries});
        for (uint16_t item = 0; item < od->Entries; ++item) {
            note("info", {ecx_readODdescription(bus.ctx(), item, od.get()),
                          ecx_readOE(bus.ctx(), item, od.get(), oe.get())});
            noteLists(item, *od, *oe);
            for (uint8_t sub = 0; sub < oe->Entries; ++sub)
                read(1, od->Index[item], sub, 512);
        }
        // Replies a drive should not give, to SDO transfers and information; each time the next
        // request after them.
        const auto params =
            uint16_t(std::find(od->Index, od->Index + od->Entries, 0x6101) - od->Index);
        using enum sim::Misbehaviour;
        for (const auto m :
             {OversizedUpload, SegmentsBeyondSize, StuckSegmentToggle, SdoOtherObjectFirst,
              SdoInfoFragmentCount, SdoInfoShortReply, SdoInfoLongNames, SdoInfoOtherObjectFirst,
              ShortMailboxLength, Garbage}) {
            note("misbehaviour", {bus.chain->setMailboxMisbehaviour(1, m), int(m)});
            read(1, 0x1008, 0, 64), read(1, 0x6060, 0, 1), read(1, 0x2020, 0, 96);
            std::memset(od->Name, 0x5A, sizeof od->Name),
                std::memset(oe->Name, 0x5A, sizeof oe->Name);
            auto list = std::make_unique<ec_ODlistt>();
            note("info", {ecx_readODlist(bus.ctx(), 1, list.get()), list->Entries,
                          ecx_readODdescription(bus.ctx(), params, od.get()),
                          ecx_readOE(bus.ctx(), params, od.get(), oe.get())});
            noteLists(params, *od, *oe);
            bus.chain->setMailboxMisbehaviour(1, None);
            note("next", {ecx_readODlist(bus.ctx(), 1, list.get()), list->Entries});
            read(1, 0x2020, 0, 96);
        }
        ec_mbxsetupt standard{};
        note("boot",
             {bus.requestState(EC_STATE_INIT, 2), ecx_FOEbootmailbox(bus.ctx(), 2, &standard),
              bus.requestState(EC_STATE_BOOT, 2)});
        for (const int size : {3000, 5000}) {  // the second one past the flash
            const Bytes file(size_t(size), 0xA5);
            note("foe",
                 {ecx_FOEwrite(bus.ctx(), 2, "joint.bin", 0, size, file.data(), EC_TIMEOUTRXM)});
        }
        bus.chain->setMailboxMisbehaviour(2, sim::Misbehaviour::WrongFoeAck);
        note("foe",
             {ecx_FOEwrite(bus.ctx(), 2, "joint.bin", 0, 3000, Bytes(3000).data(), EC_TIMEOUTRXM)});
        ecx_FOEstdmailbox(bus.ctx(), 2, standard);
        note("init", {bus.requestState(EC_STATE_INIT, 2)});
    });
    // Texts around the expedited limit, the first message's room (window - 16), a segment's
    // (window - 9) and the padded 7-byte segment, written and read back in windows of 24 to 128.
    cfg = sim::ChainConfig::drives(5);
    for (size_t n = 0; n < 5; ++n)
        cfg.slaves[n].mailboxOutSize = cfg.slaves[n].mailboxInSize =
            std::array{24, 32, 48, 64, 128}[n];
    expectTrace("windows", cfg, [](SimBus& bus) {
        bus.scan(), bus.requestState(EC_STATE_PRE_OP);
        for (uint16_t n = 1; n <= 5; ++n) {
            const int w = bus.slave(n).mbx_l;
            for (const int size :
                 {4, 5, w - 17, w - 16, w - 15, w - 9, w - 8, 2 * w - 25, 2 * w - 24}) {
                Bytes text(size_t(std::clamp(size, 4, 96)));
                std::iota(text.begin(), text.end(), uint8_t(size));
                Bytes back;
                note("text", {bus.sdoWrite(n, 0x2020, 0, text),
                              bus.sdoRead(n, 0x2020, 0, 96, &back), back == text});
            }
        }
    });
}

}  // namespace
