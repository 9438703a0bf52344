// Records the seed corpora of the fuzz targets from real sessions with the simulated chain: the
// master brings drives up, exchanges process data, reads and writes objects (expedited, normal,
// segmented, aborted), downloads firmware in BOOT and meets emergencies and misbehaving mailboxes,
// while a link between master and chain keeps every frame. What came back is written in each
// target's input format (input_formats.h):
//
//   record_fuzz_seeds <corpus dir> [<source dir>]
//
// writes <corpus dir>/fuzz_frame_receive, fuzz_mailbox_reply, fuzz_sii and fuzz_stateconfig (the
// last from state_config.yaml and tests/model/data of the source dir).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ethercat.h"
#include "input_formats.h"
#include "sim/chain.h"
#include "sim/sii.h"
#include "sim/virtual_link.h"
#include "wire.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using namespace fuzz;

struct Exchange {
    Bytes sent;
    Bytes reply;  // empty: nothing came back
};

// Passes frames between the master and a chain and keeps each frame sent with its reply.
class RecordingLink final : public ec::FrameLink {
public:
    RecordingLink(std::unique_ptr<ec::FrameLink> inner, std::vector<Exchange>& log)
        : inner_(std::move(inner)), log_(log) {}

    bool send(std::span<const uint8_t> frame) override {
        log_.push_back({Bytes(frame.begin(), frame.end()), {}});
        return inner_->send(frame);
    }
    int receive(std::span<uint8_t> buf, std::chrono::microseconds timeout) override {
        const int n = inner_->receive(buf, timeout);
        if (n > static_cast<int>(ec::kFrameHeaderSize)) {
            const uint8_t index = buf[ec::kFrameHeaderSize + 1];
            // The newest frame of that index without a reply yet is the one answered.
            for (auto it = log_.rbegin(); it != log_.rend(); ++it) {
                if (it->reply.empty() && it->sent.size() > ec::kFrameHeaderSize &&
                    it->sent[ec::kFrameHeaderSize + 1] == index) {
                    it->reply.assign(buf.begin(), buf.begin() + n);
                    break;
                }
            }
        }
        return n;
    }

private:
    std::unique_ptr<ec::FrameLink> inner_;
    std::vector<Exchange>& log_;
};

class Writer {
public:
    explicit Writer(fs::path dir) : dir_(std::move(dir)) {}

    void write(const std::string& target, const std::string& name, const Bytes& bytes) {
        const fs::path d = dir_ / target;
        fs::create_directories(d);
        std::ofstream out(d / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        ++counts_[target];
    }
    void summary() const {
        for (const auto& [target, n] : counts_) {
            std::printf("%-20s %zu seeds\n", target.c_str(), n);
        }
    }

private:
    fs::path dir_;
    std::map<std::string, size_t> counts_;
};

void putU16(Bytes& b, size_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

// A master on its own recording link to `chain`.
struct Session {
    std::vector<Exchange> log;
    ec::OwnedContext master;

    explicit Session(const std::shared_ptr<sim::Chain>& chain) {
        ecx_init_link(master.get(),
                      std::make_unique<RecordingLink>(sim::makeVirtualLink(chain), log));
    }
    ecx_contextt* ctx() { return master.get(); }
};

bool bringUp(Session& s, uint8_t* iomap, size_t size) {
    if (ecx_config_init(s.ctx(), 0) <= 0) {
        return false;
    }
    ecx_config_map_sized(s.ctx(), iomap, size);
    ecx_configdc(s.ctx());
    ecx_statecheck(s.ctx(), 0, EC_STATE_SAFE_OP, EC_TIMEOUTSTATE);
    for (int i = 0; i < 3; ++i) {
        ecx_send_processdata(s.ctx());
        ecx_receive_processdata(s.ctx(), EC_TIMEOUTRET);
    }
    s.master.slave(0).state = EC_STATE_OPERATIONAL;
    ecx_writestate(s.ctx(), 0);
    return ecx_statecheck(s.ctx(), 0, EC_STATE_OPERATIONAL, EC_TIMEOUTSTATE) ==
           EC_STATE_OPERATIONAL;
}

// --- fuzz_frame_receive ---------------------------------------------------------------------

// Reply records for the frames sent from `from` on: the real reply with the index fixed up, or
// as an overlay (reply XOR sent) that keeps the target's own index.
Bytes replyRecords(const std::vector<Exchange>& log, size_t from, bool overlay) {
    Bytes out;
    for (size_t i = from; i < log.size(); ++i) {
        const Exchange& x = log[i];
        Bytes r = x.reply;
        if (overlay) {
            for (size_t k = 0; k < r.size() && k < x.sent.size(); ++k) {
                r[k] ^= x.sent[k];
            }
        }
        out.push_back(overlay ? kReplyOverlay : kReplyFixIndex);
        putU16(out, r.size());
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

void writeFrameSeed(Writer& w, const std::string& name, const Bytes& head,
                    const std::vector<Exchange>& log, size_t from) {
    for (const bool overlay : {false, true}) {
        Bytes seed = head;
        const Bytes records = replyRecords(log, from, overlay);
        seed.insert(seed.end(), records.begin(), records.end());
        w.write("fuzz_frame_receive", name + (overlay ? "_overlay" : "_reply"), seed);
    }
}

void recordFrames(Writer& w, const std::shared_ptr<sim::Chain>& chain) {
    Session s(chain);
    uint8_t b[8] = {};
    size_t from = s.log.size();
    ecx_BRD(s.ctx(), 0, ec::kRegType, 2, b, EC_TIMEOUTRET);
    writeFrameSeed(w, "brd_type", {kBroadcastRead, 0}, s.log, from);

    for (uint8_t detail : {1, 5, 7}) {
        from = s.log.size();
        ecx_FPRD(s.ctx(), kStationReadStation, ec::kRegAlStatus,
                 static_cast<uint16_t>(stationReadLength(detail)), b, EC_TIMEOUTRET);
        writeFrameSeed(w, "fprd_al_status_" + std::to_string(stationReadLength(detail)),
                       {kStationRead, detail}, s.log, from);
    }

    // Process data in the target's own shapes against the running chain.
    uint8_t image[2 * 128] = {};
    for (uint8_t shape : {0x24, 0xA4, 0x25, 0xFF, 0x02}) {
        for (const bool split : {false, true}) {
            layOutProcessDataGroup(s.master.group(0), processDataShape(shape), image, split);
            *s.ctx()->slavecount = std::max(*s.ctx()->slavecount, 1);
            s.master.slave(1).configadr = kStationReadStation;
            from = s.log.size();
            ecx_send_processdata(s.ctx());
            ecx_receive_processdata(s.ctx(), EC_TIMEOUTRET);
            char name[48];
            std::snprintf(name, sizeof name, "process_data_%s_%02x", split ? "split" : "lrw",
                          shape);
            writeFrameSeed(w, name, {split ? kProcessDataSplit : kProcessData, 0, shape}, s.log,
                           from);
        }
    }

    // Several datagrams in one frame.
    for (const Bytes& shape : {Bytes{3, 2, 4, 8, 16}, Bytes{0, 6}, Bytes{1, 47, 0}}) {
        ec::Port& port = *s.ctx()->port;
        auto slot = port.claim(ec::Port::Clock::now() + std::chrono::milliseconds(10));
        if (!slot) {
            continue;
        }
        const size_t count = multiDatagramCount(shape[0]);
        auto& builder = port.engine().builder(*slot);
        for (size_t n = 0; n < count && n + 1 < shape.size(); ++n) {
            builder.add(kMultiDatagramCommands[n], multiDatagramAddress(n),
                        multiDatagramLength(shape[n + 1]));
        }
        from = s.log.size();
        port.exchange(*slot, std::chrono::microseconds(EC_TIMEOUTRET));
        port.release(*slot);
        Bytes head = {kMultiDatagram, 0};
        head.insert(head.end(), shape.begin(), shape.end());
        writeFrameSeed(w, "multi_datagram_" + std::to_string(count), head, s.log, from);
    }
}

// --- fuzz_mailbox_reply -----------------------------------------------------------------------

// The SM1 windows read from `slave` since `from`, cut to their message, and whether the first of
// them was read before the request was written.
struct MailboxReads {
    std::vector<Bytes> windows;
    bool beforeRequest = false;
};

MailboxReads mailboxReads(const std::vector<Exchange>& log, size_t from, const ec_slavet& slave) {
    MailboxReads reads;
    bool requested = false;
    for (size_t i = from; i < log.size(); ++i) {
        const Exchange& x = log[i];
        if (x.sent.size() < ec::kFrameHeaderSize + 12) {
            continue;
        }
        const uint8_t* d = x.sent.data() + ec::kFrameHeaderSize;
        const auto cmd = static_cast<ec::Command>(d[0]);
        const uint16_t adp = ec::getU16(d + 2);
        const uint16_t ado = ec::getU16(d + 4);
        const uint16_t len = ec::getU16(d + 6) & ec::kDatagramLengthMask;
        const bool windowRead = cmd == ec::Command::FPRD && adp == slave.configadr &&
                                ado == slave.mbx_ro && len == slave.mbx_rl;
        if (x.reply.size() < x.sent.size()) {
            // A lost read of a full SM1 is marked; each read goes out once.
            const bool resent = i + 1 < log.size() && log[i + 1].sent == x.sent;
            if (windowRead && !resent) {
                if (reads.windows.empty()) {
                    reads.beforeRequest = !requested;
                }
                reads.windows.push_back({kLostReadMarker});
            }
            continue;
        }
        const uint8_t* r = x.reply.data() + ec::kFrameHeaderSize + ec::kDatagramHeaderSize;
        if (adp != slave.configadr || ec::getU16(r + len) == 0) {
            continue;
        }
        if (cmd == ec::Command::FPWR && ado == slave.mbx_wo) {
            requested = true;
        }
        if (windowRead) {
            const size_t length = std::min<size_t>(ec::kMbxHeaderSize + ec::getU16(r), len);
            if (reads.windows.empty()) {
                reads.beforeRequest = !requested;
            }
            reads.windows.emplace_back(r, r + length);
        }
    }
    return reads;
}

struct MailboxCall {
    uint8_t op;
    size_t size;
    uint16_t index;
    uint8_t subindex;
};

void writeMailboxSeed(Writer& w, const std::string& name, const MailboxCall& c,
                      const ec_slavet& slave, const MailboxReads& reads) {
    Bytes seed;
    seed.push_back(
        static_cast<uint8_t>(c.op | (reads.beforeRequest ? kOpVisibleBeforeRequest : 0)));
    seed.push_back(static_cast<uint8_t>(mailboxWindowIndex(slave.mbx_l) |
                                        mailboxWindowIndex(slave.mbx_rl) << 4));
    putU16(seed, c.size);
    seed.push_back(slave.CoEdetails);
    putU16(seed, c.index);
    seed.push_back(c.subindex);
    for (const Bytes& m : reads.windows) {
        putU16(seed, m.size());
        seed.insert(seed.end(), m.begin(), m.end());
    }
    w.write("fuzz_mailbox_reply", name, seed);
}

// Runs one SDO transfer on slave 1 of the session and writes what the slave sent as a seed.
void sdo(Writer& w, Session& s, const std::string& name, bool read, uint16_t index,
         uint8_t subindex, Bytes value, int timeout = EC_TIMEOUTRXM) {
    const size_t from = s.log.size();
    MailboxCall c{static_cast<uint8_t>(read ? kSdoRead : kSdoWrite), value.size(), index, subindex};
    if (read) {
        int size = static_cast<int>(value.size());
        ecx_SDOread(s.ctx(), 1, index, subindex, false, &size, value.data(), timeout);
    } else {
        ecx_SDOwrite(s.ctx(), 1, index, subindex, false, static_cast<int>(value.size()),
                     value.data(), timeout);
    }
    writeMailboxSeed(w, name, c, s.master.slave(1), mailboxReads(s.log, from, s.master.slave(1)));
}

Bytes text(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) {
        b[i] = static_cast<uint8_t>('a' + i % 26);
    }
    return b;
}

void recordMailbox(Writer& w, const std::shared_ptr<sim::Chain>& chain, const char* prefix) {
    Session s(chain);
    uint8_t iomap[4096];
    if (!bringUp(s, iomap, sizeof iomap)) {
        std::fprintf(stderr, "bring-up failed\n");
    }
    const std::string p = prefix;
    sdo(w, s, p + "sdo_read_expedited_1018_01", true, 0x1018, 1, Bytes(4));
    sdo(w, s, p + "sdo_read_normal_1008", true, 0x1008, 0, Bytes(64));
    sdo(w, s, p + "sdo_read_small_buffer_1008", true, 0x1008, 0, Bytes(8));
    sdo(w, s, p + "sdo_write_text_2020", false, 0x2020, 0, text(96));
    sdo(w, s, p + "sdo_read_text_2020", true, 0x2020, 0, Bytes(128));
    sdo(w, s, p + "sdo_write_expedited_6060", false, 0x6060, 0, Bytes{8});
    sdo(w, s, p + "sdo_read_abort_missing_object", true, 0x5555, 0, Bytes(4));
    sdo(w, s, p + "sdo_write_abort_read_only", false, 0x6041, 0, Bytes{1, 2});
    sdo(w, s, p + "sdo_read_pdo_assign_1c12_00", true, 0x1C12, 0, Bytes(1));
    sdo(w, s, p + "sdo_read_mapping_1a00_01", true, 0x1A00, 1, Bytes(4));

    {
        const size_t from = s.log.size();
        uint32_t outputBits = 0;
        uint32_t inputBits = 0;
        ec::readPdoSizesCoE(s.ctx(), 1, &outputBits, &inputBits);
        writeMailboxSeed(w, p + "pdo_sizes_coe", {kOpPdoSizes, 0, 0, 0}, s.master.slave(1),
                         mailboxReads(s.log, from, s.master.slave(1)));
    }

    chain->sendEmergency(1, 0x8611, 0x80, {1, 2, 3, 4, 5});
    sdo(w, s, p + "emergency_then_sdo_read", true, 0x1018, 2, Bytes(4));

    chain->duplicateNextMailboxReply(1);
    sdo(w, s, p + "duplicate_reply", true, 0x1018, 3, Bytes(4));
    chain->dropMailboxReplies(1, 1);
    sdo(w, s, p + "dropped_reply_repeat", true, 0x1018, 4, Bytes(4));
    // Frames lost on their way back: lost SM1 reads are answered with repeat requests.
    chain->setFrameLoss(0.5, 3, sim::LossPoint::Return);
    sdo(w, s, p + "lossy_sdo_read_2020", true, 0x2020, 0, Bytes(128));
    chain->setFrameLoss(0.0, 7);

    const std::pair<sim::Misbehaviour, const char*> faults[] = {
        {sim::Misbehaviour::OversizedUpload, "misbehave_oversized_upload"},
        {sim::Misbehaviour::SegmentsBeyondSize, "misbehave_segments_beyond_size"},
        {sim::Misbehaviour::ShortMailboxLength, "misbehave_short_mailbox_length"},
        {sim::Misbehaviour::Garbage, "misbehave_garbage"},
    };
    for (const auto& [m, name] : faults) {
        chain->setMailboxMisbehaviour(1, m);
        sdo(w, s, p + name + "_1008", true, 0x1008, 0, Bytes(64), 20000);
        sdo(w, s, p + name + "_2020", true, 0x2020, 0, Bytes(128), 20000);
        chain->setMailboxMisbehaviour(1, sim::Misbehaviour::None);
    }

    // FoE outside BOOT: the drive answers ERR.
    {
        const size_t from = s.log.size();
        const Bytes file = text(40);
        ecx_FOEwrite(s.ctx(), 1, "fw.bin", 0, static_cast<int>(file.size()), file.data(),
                     EC_TIMEOUTRXM);
        writeMailboxSeed(w, p + "foe_error_not_in_boot", {kFoeWrite, file.size(), 0, 0},
                         s.master.slave(1), mailboxReads(s.log, from, s.master.slave(1)));
    }
}

// Firmware download through the bootstrap mailbox, as the console does it.
void recordFoe(Writer& w, const std::shared_ptr<sim::Chain>& chain, const std::string& name,
               size_t size, uint32_t password) {
    Session s(chain);
    if (ecx_config_init(s.ctx(), 0) <= 0) {
        return;
    }
    ecx_statecheck(s.ctx(), 0, EC_STATE_PRE_OP, EC_TIMEOUTSTATE);
    ec_slavet& rec = s.master.slave(1);
    rec.state = EC_STATE_INIT;
    ecx_writestate(s.ctx(), 1);
    ecx_statecheck(s.ctx(), 1, EC_STATE_INIT, EC_TIMEOUTSTATE);
    const uint32_t rx = ecx_readeeprom(s.ctx(), 1, ec::kSiiBootRxMailbox, EC_TIMEOUTEEP);
    const uint32_t tx = ecx_readeeprom(s.ctx(), 1, ec::kSiiBootTxMailbox, EC_TIMEOUTEEP);
    rec.SM[0].StartAddr = rec.mbx_wo = static_cast<uint16_t>(rx);
    rec.SM[0].SMlength = rec.mbx_l = static_cast<uint16_t>(rx >> 16);
    rec.SM[1].StartAddr = rec.mbx_ro = static_cast<uint16_t>(tx);
    rec.SM[1].SMlength = rec.mbx_rl = static_cast<uint16_t>(tx >> 16);
    ecx_FPWR(s.ctx(), rec.configadr, ec::kRegSm0, sizeof(ec_smt), &rec.SM[0], EC_TIMEOUTRET3);
    ecx_FPWR(s.ctx(), rec.configadr, ec::kRegSm0 + ec::kSmSize, sizeof(ec_smt), &rec.SM[1],
             EC_TIMEOUTRET3);
    rec.state = EC_STATE_BOOT;
    ecx_writestate(s.ctx(), 1);
    if (ecx_statecheck(s.ctx(), 1, EC_STATE_BOOT, EC_TIMEOUTSTATE) != EC_STATE_BOOT) {
        std::fprintf(stderr, "BOOT not reached\n");
        return;
    }
    const size_t from = s.log.size();
    const Bytes file = text(size);
    ecx_FOEwrite(s.ctx(), 1, "fw.bin", password, static_cast<int>(file.size()), file.data(),
                 EC_TIMEOUTRXM);
    writeMailboxSeed(w, name, {kFoeWrite, size, 0, 0}, rec, mailboxReads(s.log, from, rec));
}

// --- fuzz_sii -------------------------------------------------------------------------------

void recordSii(Writer& w, const std::shared_ptr<sim::Chain>& chain, int position,
               const std::string& name) {
    chain->withSlave(position, [&](sim::Esc& esc, sim::SlaveApplication*) {
        Bytes image;
        for (uint16_t word : esc.sii()) {
            putU16(image, word);
        }
        w.write("fuzz_sii", name, image);
    });
}

// --- fuzz_stateconfig -------------------------------------------------------------------------

void copyYaml(Writer& w, const fs::path& source) {
    std::vector<fs::path> files = {source / "state_config.yaml"};
    for (const fs::path& dir :
         {source / "tests/model/data", source / "tests/model/data/malformed"}) {
        if (!fs::is_directory(dir)) {
            continue;
        }
        for (const auto& e : fs::directory_iterator(dir)) {
            if (e.is_regular_file()) {
                files.push_back(e.path());
            }
        }
    }
    for (const fs::path& f : files) {
        std::ifstream in(f, std::ios::binary);
        const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!bytes.empty()) {
            const std::string prefix =
                f.parent_path().filename() == "malformed" ? "malformed_" : "";
            w.write("fuzz_stateconfig", prefix + f.filename().string(), bytes);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: record_fuzz_seeds <corpus dir> [<source dir>]\n");
        return 2;
    }
    Writer w(argv[1]);

    auto chain = std::make_shared<sim::Chain>(sim::ChainConfig::drives(2));
    recordMailbox(w, chain, "");
    recordFrames(w, chain);
    recordSii(w, chain, 1, "drive");

    // Small windows: every transfer longer than a few bytes goes in segments.
    sim::ChainConfig small = sim::ChainConfig::drives(1);
    small.slaves[0].mailboxOutSize = 32;
    small.slaves[0].mailboxInSize = 32;
    auto smallChain = std::make_shared<sim::Chain>(small);
    recordMailbox(w, smallChain, "window32_");
    recordSii(w, smallChain, 1, "drive_window32");

    sim::ChainConfig boot = sim::ChainConfig::drives(1);
    boot.slaves[0].foeBusyPackets = {2};
    recordFoe(w, std::make_shared<sim::Chain>(boot), "foe_write_boot_busy", 2000, 0);
    recordFoe(w, std::make_shared<sim::Chain>(sim::ChainConfig::drives(1)), "foe_write_boot", 1012,
              0);
    recordFoe(w, std::make_shared<sim::Chain>(sim::ChainConfig::drives(1)),
              "foe_write_boot_wrong_password", 100, 0x1234);

    sim::ChainConfig mixed;
    mixed.slaves = {sim::SlaveConfig::coupler(), sim::SlaveConfig::drive(7)};
    mixed.slaves[1].name = "A drive with a name longer than the slave record holds";
    mixed.slaves[1].siiReads8Bytes = false;
    auto mixedChain = std::make_shared<sim::Chain>(mixed);
    recordSii(w, mixedChain, 1, "coupler");
    recordSii(w, mixedChain, 2, "drive_long_name");

    copyYaml(w, argc > 2 ? fs::path(argv[2]) : fs::path(ZENTRIO_SOURCE_DIR));
    w.summary();
    return 0;
}
