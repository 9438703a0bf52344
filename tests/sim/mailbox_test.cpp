// The drive's mailbox as a master uses it (transfers through the stack at every window: tests/bus).
#include "sim/cia402_drive.h"
#include "sim/foe_server.h"
#include "sim/sii.h"
#include "sim_fixture.h"

using namespace simtest;
using namespace ec;

namespace {

constexpr uint32_t kAbortToggle = 0x05030000, kAbortCommand = 0x05040001, kAbortAccess = 0x06010000,
                   kAbortReadOnly = 0x06010002, kAbortTooHigh = 0x06070012,
                   kAbortTooLow = 0x06070013, kAbortNoSub = 0x06090011;
constexpr uint16_t kParams = sim::kParamObject, kRxMap = sim::kRxPdoIndex;
constexpr uint32_t kAbortOrder = 0x06010003, kAbortCount = 0x06040043, kPassword = 0x5A0C3E71;

Bytes sdoRequest(uint8_t cmd, uint16_t index, uint8_t sub, uint32_t value = 0) {
    return Bytes{0, kCoeSdoRequest << 4, cmd} + le(index, 2) + Bytes{sub} + le(value, 4);
}
Bytes foeHeader(uint8_t opcode, uint32_t value, const Bytes& payload = {}) {
    return Bytes{opcode, 0} + le(value, 4) + payload;
}
const Bytes kDeviceTypeRequest = sdoRequest(0x40, 0x1000, 0);

struct Message {
    uint8_t type = 0, counter = 0;
    Bytes window, data;  // the whole SM1 window; the announced length behind the header
    uint32_t u32(size_t off) const { return sim::rd32(&data.at(off + 3) - 3); }
    bool abort() const { return type == kMbxTypeCoE && data.size() >= 10 && data[2] == 0x80; }
};

// One drive in PRE-OP with a mailbox client written from the protocol, not from the simulator.
struct MbxTest : ::testing::Test {
    std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
    std::unique_ptr<sim::Chain> chain;
    const uint16_t st = station(1);
    uint16_t rx = 0x1000, out = 0x80, in = 0x80;  // SM0's start, both windows
    uint8_t counter = 0;
    void SetUp() override { make(); }
    void make(uint16_t o = 0x80, uint16_t i = 0x80) {
        chain = makeChain(1, clock, [&](sim::ChainConfig& c) {
            c.slaves[0].mailboxOutSize = o, c.slaves[0].mailboxInSize = i;
            c.slaves[0].foePassword = kPassword;
        });
        assignStations(*chain, 1);
        ASSERT_EQ(mailbox(kAlStatePreOp, 0x1000, o, i), kAlStatePreOp);
    }
    // INIT, both mailbox SyncManagers from `start`, then `state`; the AL status it ends in.
    uint16_t mailbox(uint16_t state, uint16_t start, uint16_t o, uint16_t i) {
        requestState(*chain, st, kAlStateInit | kAlStateAck);
        writeMailboxSms(*chain, st, rx = start, out = o, in = i);
        requestState(*chain, st, state);
        return fprd(*chain, st, kRegAlStatus, 2).u16();
    }
    void preOp() { ASSERT_EQ(mailbox(kAlStatePreOp, 0x1000, 0x80, 0x80), kAlStatePreOp); }
    void boot() {  // the bootstrap mailbox (where the SII puts it: wiretrace_test.cpp)
        using namespace sim::layout;
        ASSERT_EQ(mailbox(kAlStateBoot, kBootOutStart, kBootOutSize, kBootInSize), kAlStateBoot);
    }
    // Writes the whole SM0 window as masters do; counter 0xFF: this client's next own one.
    uint16_t write(uint8_t type, const Bytes& data, uint8_t cnt = 0xFF, int length = -1) {
        if (cnt == 0xFF)
            cnt = counter = uint8_t(counter % 7 + 1);
        Bytes m = le(length < 0 ? data.size() : size_t(length), 2) +
                  Bytes{0, 0, 0, uint8_t(type | cnt << 4)} + data;
        m.resize(out);
        return fpwr(*chain, st, rx, m).wkc;
    }
    std::optional<Message> read() {
        const Datagram r = fprd(*chain, st, uint16_t(rx + out), in);
        if (r.wkc != 1)
            return std::nullopt;
        const uint8_t* d = r.data.data();
        return Message{uint8_t(d[5] & 0x0F), uint8_t((d[5] >> 4) & 7), r.data,
                       Bytes(d + 6, d + 6 + std::min(r.u16(), uint16_t(in - 6)))};
    }
    std::optional<Message> exchange(uint8_t type, const Bytes& data) {
        return write(type, data) == 1 ? read() : std::nullopt;
    }
    uint8_t reg(uint16_t address) { return fprd(*chain, st, address, 1).data[0]; }
    // An upload answered in one message, expedited or normal.
    Bytes up(uint16_t index, uint8_t sub) {
        const auto m = exchange(kMbxTypeCoE, sdoRequest(0x40, index, sub));
        EXPECT_TRUE(m && !m->abort()) << std::hex << index << ":" << int(sub);
        if (!m || m->abort())
            return {};
        const uint8_t c = m->data[2];
        const size_t at = (c & 2) ? 6 : 10;
        const size_t n = (c & 2) ? 4u - ((c & 1) ? (c >> 2) & 3 : 0) : m->u32(6);
        return Bytes(m->data.begin() + long(at),
                     m->data.begin() + long(std::min(at + n, m->data.size())));
    }
    // Expedited up to 4 bytes, else one normal message: the abort code, 0 if done, ~0 unanswered.
    uint32_t down(uint16_t index, uint8_t sub, const Bytes& b) {
        const Bytes v = b + Bytes(4);  // the first four bytes for an expedited request
        const auto m = exchange(
            kMbxTypeCoE, b.size() > 4 ? sdoRequest(0x21, index, sub, uint32_t(b.size())) + b
                                      : sdoRequest(uint8_t(0x23 | (4 - b.size()) << 2), index, sub,
                                                   sim::rd32(v.data())));
        return !m ? ~0u : m->abort() ? m->u32(6) : 0;
    }
};

TEST_F(MbxTest, HandshakeCountersRepeatEmergenciesTransferRefusalsAndAborts) {
    // Two writes in one frame: the second meets a full mailbox. The first starts in the
    // registers before the window: those two bytes are refused, the message is taken whole.
    Bytes request = Bytes{10, 0, 0, 0, 0, kMbxTypeCoE | 7 << 4} + kDeviceTypeRequest;
    request.resize(0x80);
    Frame f;
    ASSERT_TRUE(f.add(Command::FPWR, st, 0x0FFE, Bytes{0xEE, 0xEE} + request)
                    .add(Command::FPWR, st, 0x1000, request)
                    .add(Command::FPRD, st, 0x0805, Bytes(1))  // full until the frame has passed
                    .run(*chain));
    EXPECT_EQ(f.d[0].wkc << 16 | f.d[1].wkc << 8 | f.d[2].data[0], 1 << 16 | 0x09);
    EXPECT_EQ(chain->takeRefusals().size() << 8 | reg(0x0805), 0x100u) << "taken, nothing pending";
    auto m = read();  // SM1 reads only when full
    ASSERT_TRUE(m);
    EXPECT_EQ(std::tuple(m->counter, m->data[2], m->u32(6)), std::tuple(1, 0x43, 0x00020192u));
    EXPECT_FALSE((reg(0x080D) & kSmStatusMailboxFull) || read()) << "read out, nothing more";

    // A repeat request (after a lost read): the last reply again, then an emergency queued since.
    ASSERT_TRUE(chain->sendEmergency(1, 0x7500, 0x81, {1, 2, 3, 4, 5}));
    const uint8_t repeat = (reg(0x080E) ^ kSmActivateRepeat) & kSmActivateRepeat;
    fpwr(*chain, st, 0x080D, {0, uint8_t(reg(0x080E) ^ kSmActivateRepeat)});
    EXPECT_EQ((std::tuple{reg(0x080F) & kSmPdiRepeatAck, read()->window, read().value().data}),
              std::tuple(repeat, m->window, Bytes({0x00, 0x10, 0x00, 0x75, 0x81, 1, 2, 3, 4, 5})));

    // The last counter again is a repeat: no second reply (own ones 1..7, never 0: the traces).
    EXPECT_TRUE(write(kMbxTypeCoE, kDeviceTypeRequest, 7) == 1 && !read());

    // Mailbox errors: PDOs in the mailbox, a foreign type, a short SDO request, a length too long.
    for (auto [type, data, length, code] : std::vector<std::tuple<uint8_t, Bytes, int, int>>{
             {kMbxTypeCoE, {0, kCoeTxPdo << 4, 1, 0, 0, 0, 0, 0}, 8, 4},
             {kMbxTypeVoE, {1, 2, 3, 4}, 4, 2},
             {kMbxTypeCoE, {0, 0x20, 0x40, 0}, 4, 6},
             {kMbxTypeCoE, kDeviceTypeRequest, 0x80 - 5, 8},
             {kMbxTypeCoE, kDeviceTypeRequest, 0x80 - 6, 0}}) {
        ASSERT_EQ(write(type, data, 0xFF, length), 1);
        m = read();
        EXPECT_EQ(m->type, code ? kMbxTypeError : kMbxTypeCoE) << code;
        EXPECT_TRUE(!code || m->data == Bytes({1, 0, uint8_t(code), 0})) << code;
    }
    requestState(*chain, st, kAlStateInit);
    EXPECT_EQ(write(kMbxTypeCoE, kDeviceTypeRequest), 0) << "closed in INIT";
    EXPECT_EQ(reg(0x0807) & 0x01, 1);

    // A 96-byte label in segments through a 24-byte window: a wrong toggle or an abort ends it.
    make(0x80, 24);
    ASSERT_EQ(down(0x2020, 0, Bytes(96, 'x')), 0u);
    EXPECT_EQ(exchange(kMbxTypeCoE, sdoRequest(0x40, 0x2020, 0))->data[2], 0x41);
    EXPECT_EQ(exchange(kMbxTypeCoE, sdoRequest(0x70, 0, 0))->u32(6), kAbortToggle);
    EXPECT_EQ(exchange(kMbxTypeCoE, sdoRequest(0x40, 0x2020, 0))->data[2], 0x41);
    EXPECT_TRUE(write(kMbxTypeCoE, sdoRequest(0x80, 0x2020, 0, 0x05040000)) == 1 && !read());
    EXPECT_EQ(exchange(kMbxTypeCoE, sdoRequest(0x60, 0, 0))->u32(6), kAbortCommand);
    make();
    // Object lists by type (0: their sizes): the drive has none of types 4 and 5; no type 6.
    const auto list = [&](uint8_t t) {
        return exchange(kMbxTypeCoE, {0, kCoeSdoInfo << 4, kSdoInfoListRq, 0, 0, 0, t, 0})->data;
    };
    EXPECT_EQ(std::tuple(list(0).size(), list(0)[14] + list(0)[16], list(5).size(), list(6)[2]),
              std::tuple(18u, 0, 8u, int{kSdoInfoError}));
    auto expedited = [](uint16_t index, uint8_t sub, size_t n) {
        return sdoRequest(uint8_t(0x23 | (4 - n) << 2), index, sub, 0x01020304);
    };
    auto normal = [](uint8_t cmd, uint16_t index, size_t n) {
        return sdoRequest(cmd, index, 0, uint32_t(n)) + Bytes(n, 'z');  // behind the 10-byte header
    };
    // The last four rewrite the mapping as CoE has it: count 0, entries (one unsized), count back.
    // clang-format off
    const std::pair<Bytes, uint32_t> cases[] = {
        {sdoRequest(0x40, 0x1018, 5), kAbortNoSub},   {expedited(0x1000, 0, 4), kAbortReadOnly},
        {expedited(kParams, 1, 2), kAbortReadOnly},   {expedited(kParams, 2, 4), kAbortTooHigh},
        {expedited(kParams, 2, 1), kAbortTooLow},     {expedited(kParams, 3, 3), kAbortTooLow},
        {normal(0x21, 0x2020, 97), kAbortTooHigh},    {normal(0x21, 0x2020, 96), 0},
        {normal(0x31, 0x1018, 4), kAbortAccess},      {sdoRequest(0xE0, 0x1000, 0), kAbortCommand},
        {sdoRequest(0x60, 0x1000, 0), kAbortCommand}, {sdoRequest(0x00, 0x1000, 0), kAbortCommand},
        {expedited(kRxMap, 1, 4), kAbortOrder},       {expedited(kRxMap, 0, 1), kAbortCount},
        {sdoRequest(0x2F, 0x1C12, 0, 2), 0x06090030}, {sdoRequest(0x2F, 0x1C12, 0, 1), 0},
        {sdoRequest(0x2F, kRxMap, 0, 0), 0},          {sdoRequest(0x22, kRxMap, 1, 0x60400010), 0},
        {sdoRequest(0x23, kRxMap, 2, 0x60400010), 0x06040041}, {sdoRequest(0x2F, kRxMap, 0, 8), 0}};
    // clang-format on
    for (const auto& [rq, abort] : cases) {
        const auto reply = exchange(kMbxTypeCoE, rq);
        ASSERT_TRUE(reply && (reply->abort() ? reply->u32(6) : 0) == abort)
            << std::hex << int(rq[2]) << " " << rq[3];
        const bool echoed = abort && rq[2] != 0x60 && rq[2] != 0x00;  // index and sub
        EXPECT_TRUE(!echoed || std::equal(&reply->data[3], &reply->data[6], &rq[3]));
    }
    EXPECT_EQ(exchange(kMbxTypeCoE, sdoRequest(0x40, 0x1001, 0))->data[6], 0) << "no error";
}

TEST_F(MbxTest, BootloaderFilesDictionaryParametersAndSaving) {
    // Wrong password and bootstrap-only refusals reach the stack in tests/bus.
    boot();
    EXPECT_EQ(exchange(kMbxTypeCoE, kDeviceTypeRequest)->data, Bytes({1, 0, 2, 0})) << "no CoE";
    const size_t packet = sim::layout::kBootOutSize - 12u;  // data per FoE DATA packet
    for (auto [data, reply] : std::vector<std::pair<Bytes, Bytes>>{
             {foeHeader(kFoeWrite, kPassword, {'f'}), foeHeader(kFoeAck, 0)},
             {foeHeader(kFoeData, 2, Bytes(packet)),
              foeHeader(kFoeError, sim::foe_error::kPacketNumber)},
             {foeHeader(kFoeData, 1, Bytes(3)), {kFoeError}}}) {  // the write is over
        const Bytes got = exchange(kMbxTypeFoE, data)->data;
        EXPECT_EQ(Bytes(got.begin(), got.begin() + std::min(got.size(), reply.size())), reply);
    }
    EXPECT_FALSE(chain->firmware(1)->complete);

    // A file runs on leaving BOOT, unsaved settings lost; its version: the name's first "x.y.z"
    // (numbers cut to a nibble), or the old one and the file's CRC (all packet sizes: tests/bus).
    preOp();
    ASSERT_EQ(down(kParams, 9, {77}), 0u);
    EXPECT_EQ(chain->parameter(1, 8), Bytes{77});
    for (auto [name, version] : std::vector<std::pair<std::string, std::string>>{
             {"v1.4.2", "1.4.2"}, {"joint-1.5.bin", "1.4.2+55bc801d"}, {"7.1-20.4.5.6", "4.4.5"}}) {
        boot();
        for (auto [data, ack] : std::vector<std::pair<Bytes, uint32_t>>{
                 {foeHeader(kFoeWrite, kPassword, Bytes(name.begin(), name.end())), 0},
                 {foeHeader(kFoeData, 1, {1, 2, 3}), 1}})
            EXPECT_EQ(exchange(kMbxTypeFoE, data)->data, foeHeader(kFoeAck, ack));
        EXPECT_TRUE(chain->firmware(1)->bytes == Bytes({1, 2, 3}) && chain->firmware(1)->complete);
        preOp();
        EXPECT_EQ(up(0x100A, 0), Bytes(version.begin(), version.end())) << name;
    }
    EXPECT_EQ(up(kParams, 1) + chain->parameter(1, 8), le(0x3445, 2) + Bytes{20});

    // Each object of the output image takes an SDO write at its own place in the image.
    const auto value = [](auto& e) { return Bytes(e.bits / 8, uint8_t(e.index + e.subIndex)); };
    for (const sim::PdoEntry& e : sim::kRxPdoEntries)
        EXPECT_EQ(e.index ? down(e.index, e.subIndex, value(e)) : 0u, 0u) << std::hex << e.index;
    for (const sim::PdoEntry& e : sim::kRxPdoEntries)
        EXPECT_EQ(e.index ? up(e.index, e.subIndex) : value(e), value(e)) << std::hex << e.index;
    ASSERT_TRUE(chain->injectFault(1, 0x10, 0x20));
    EXPECT_EQ(up(0x2001, 0) + up(0x2002, 0), le(0x10, 4) + le(0x20, 4)) << "the fault words";
    EXPECT_EQ(down(0x2004, 0, le(1, 4)), 0x08000022u) << "faulted: refused in this state";

    // Saved values survive a power cycle and a cable pull, unsaved ones not; 19 is 1 while saving.
    make();
    ASSERT_EQ((std::tuple{down(kParams, 9, {33}), down(kParams, 19, {14}), up(kParams, 20),
                          down(kParams, 19, {sim::kDriveSaveCommand}), down(kParams, 10, {44})}),
              std::tuple(0u, 0u, Bytes{0}, 0u, 0u));  // 14 is no save command
    clock->advance(50'000'000 - 1);
    EXPECT_EQ(up(kParams, 20), Bytes{1});
    clock->advance(1);
    EXPECT_EQ(up(kParams, 20), Bytes{0});
    // 18 starts calibrating with 16 and reads 1 when it is done, 3 s later; a power cycle ends it.
    ASSERT_EQ(down(kParams, 18, {sim::kCalibrationStart}), 0u);
    clock->advance(3'000'000'000 - 1);
    EXPECT_EQ(std::pair(up(kParams, 18), chain->joint(1)->calibrating), std::pair(Bytes{16}, true));
    clock->advance(1);
    EXPECT_EQ(up(kParams, 18), Bytes{1});
    // Any other value ends it and starts nothing.
    EXPECT_EQ((std::tuple{down(kParams, 18, {0}), up(kParams, 18)}), std::tuple(0u, Bytes{0}));
    preOp();
    EXPECT_EQ(chain->parameter(1, 9), Bytes{44}) << "a reconnect keeps everything";
    chain->powerCycle(1);
    assignStations(*chain, 1);
    preOp();
    EXPECT_EQ(chain->parameter(1, 8) + chain->parameter(1, 9) + chain->parameter(1, 17),
              (Bytes{33, 15, 0}));  // 9 not saved
    ASSERT_EQ(down(kParams, 9, {7}), 0u);
    chain->pullDrive(1), chain->plugDrive(1);
    EXPECT_EQ(chain->parameter(1, 8), Bytes{33});
}

}  // namespace
