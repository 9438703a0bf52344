// The drive's mailbox as a master uses it: the SyncManager handshake, counters and repeat,
// CoE SDO transfers of every kind with their aborts, the dictionary and the drive parameters,
// the bootloader's FoE, and the malformed replies that can be switched on.
#include <numeric>

#include "sim/cia402_drive.h"
#include "sim/foe_server.h"
#include "sim/sii.h"
#include "sim_fixture.h"

using namespace simtest;
using namespace ec;

namespace {

constexpr uint32_t kAbortToggle = 0x05030000, kAbortCommand = 0x05040001, kAbortAccess = 0x06010000,
                   kAbortWriteOnly = 0x06010001, kAbortReadOnly = 0x06010002,
                   kAbortNoObject = 0x06020000, kAbortTooHigh = 0x06070012,
                   kAbortTooLow = 0x06070013, kAbortNoSub = 0x06090011,
                   kAbortDeviceState = 0x08000022;
constexpr uint16_t kParams = sim::kParamObject;
constexpr uint32_t kPassword = 0x5A0C3E71;
constexpr size_t kPacket = sim::layout::kBootOutSize - 12u;  // data per FoE DATA packet
const Bytes kDeviceTypeRequest = sdoRequest(0x40, 0x1000, 0);

struct MbxTest : ::testing::Test {
    std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
    std::unique_ptr<sim::Chain> chain;
    const uint16_t st = station(1);
    std::unique_ptr<MailboxClient> mbx;
    void SetUp() override { make(); }
    uint16_t out = 0x80, in = 0x80;  // mailbox windows
    void make(uint16_t o = 0x80, uint16_t i = 0x80) {
        auto cfg = sim::ChainConfig::drives(1);
        cfg.clock = clock;
        cfg.slaves[0].mailboxOutSize = out = o;
        cfg.slaves[0].mailboxInSize = in = i;
        cfg.slaves[0].foePassword = kPassword;
        chain = std::make_unique<sim::Chain>(cfg);
        assignStations(*chain, 1);
        preOp();
    }
    void preOp() {
        requestState(*chain, st, kAlStateInit | kAlStateAck);
        writeMailboxSms(*chain, st, 0x1000, out, in);
        requestState(*chain, st, kAlStatePreOp);
        ASSERT_EQ(alStatus(*chain, st), kAlStatePreOp);
        mbx = std::make_unique<MailboxClient>(MailboxClient{*chain, st, 0x1000, out, in});
    }
    // The bootstrap procedure: INIT, the mailbox moved to the SII's bootstrap words, BOOT.
    uint16_t boot() {
        requestState(*chain, st, kAlStateInit | kAlStateAck);
        const uint32_t rx = sim::rd32(siiRead(*chain, st, kSiiBootRxMailbox).data());
        const auto start = uint16_t(rx), size = uint16_t(rx >> 16);
        writeMailboxSms(*chain, st, start, size, size);
        requestState(*chain, st, kAlStateBoot);
        mbx = std::make_unique<MailboxClient>(MailboxClient{*chain, st, start, size, size});
        return alStatus(*chain, st);
    }
    SdoResult up(uint16_t index, uint8_t sub) { return sdoUpload(*mbx, index, sub); }
    SdoResult down(uint16_t index, uint8_t sub, const Bytes& b) {
        return sdoDownload(*mbx, index, sub, b);
    }
    uint32_t value(uint16_t index, uint8_t sub, size_t size) {
        const auto r = up(index, sub);
        EXPECT_TRUE(r.ok()) << std::hex << index << ":" << int(sub) << " abort " << r.abort;
        EXPECT_EQ(r.data.size(), size) << std::hex << index << ":" << int(sub);
        Bytes d = r.data;
        d.resize(4);
        return sim::rd32(d.data());
    }
    bool sm1Full() { return fprd(*chain, st, 0x080D, 1).data[0] & kSmStatusMailboxFull; }
};

TEST_F(MbxTest, HandshakeCountersRepeatAndEmergencies) {
    EXPECT_FALSE(mbx->read()) << "nothing unasked";
    // Two writes in one frame: the second meets a full mailbox.
    Bytes request = Bytes{10, 0, 0, 0, 0, kMbxTypeCoE | 7 << 4} + kDeviceTypeRequest;
    request.resize(0x80);
    Frame f;
    ASSERT_TRUE(f.add(Command::FPWR, st, 0x1000, request)
                    .add(Command::FPWR, st, 0x1000, request)
                    .run(*chain));
    EXPECT_EQ(f.d[0].wkc << 8 | f.d[1].wkc, 1 << 8);
    EXPECT_EQ(fprd(*chain, st, 0x0805, 1).data[0] & kSmStatusMailboxFull, 0) << "taken";
    EXPECT_TRUE(sm1Full());
    auto m = mbx->read();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->counter, 1);
    EXPECT_EQ(m->data[2], 0x43) << "expedited upload";
    EXPECT_EQ(m->u32(6), 0x00020192u);
    EXPECT_FALSE(sm1Full());
    EXPECT_FALSE(mbx->read());

    // Repeat: the last reply again, with an emergency queued meanwhile coming after it.
    ASSERT_TRUE(chain->sendEmergency(1, 0x7500, 0x81, {1, 2, 3, 4, 5}));
    const uint8_t activate = fprd(*chain, st, 0x080E, 1).data[0];
    mbx->repeat();
    EXPECT_EQ(fprd(*chain, st, 0x080F, 1).data[0] & kSmPdiRepeatAck,
              (activate ^ kSmActivateRepeat) & kSmActivateRepeat);
    EXPECT_EQ(mbx->read()->window, m->window);
    m = mbx->read();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->data, Bytes({0x00, 0x10, 0x00, 0x75, 0x81, 1, 2, 3, 4, 5})) << "emergency";

    // Own counters run 1..7 and wrap to 1; a write with the last counter again is a repeat
    // and gets no second reply; counter 0 is never taken for one.
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(mbx->exchange(kMbxTypeCoE, kDeviceTypeRequest)->counter, (i + 2) % 7 + 1);
    EXPECT_EQ(mbx->write(kMbxTypeCoE, kDeviceTypeRequest, mbx->counter), 1);
    EXPECT_FALSE(mbx->read());

    // Mailbox error replies for what is not served: SDO information, a foreign type, a short
    // SDO request, a length beyond the window.
    for (auto [type, data, length, code] : std::vector<std::tuple<uint8_t, Bytes, int, int>>{
             {kMbxTypeCoE, {0, kCoeSdoInfo << 4, 1, 0, 0, 0, 0, 0}, 8, 4},
             {kMbxTypeVoE, {1, 2, 3, 4}, 4, 2},
             {kMbxTypeCoE, {0, 0x20, 0x40, 0}, 4, 6},
             {kMbxTypeCoE, kDeviceTypeRequest, 0x80 - 5, 8},
             {kMbxTypeCoE, kDeviceTypeRequest, 0x80 - 6, 0}}) {
        ASSERT_EQ(mbx->write(type, data, 0xFF, uint16_t(length)), 1);
        m = mbx->read();
        EXPECT_EQ(m->type, code ? kMbxTypeError : kMbxTypeCoE) << code;
        EXPECT_TRUE(!code || m->data == Bytes({1, 0, uint8_t(code), 0})) << code;
    }
    requestState(*chain, st, kAlStateInit);
    EXPECT_EQ(mbx->write(kMbxTypeCoE, kDeviceTypeRequest), 0) << "closed in INIT";
    EXPECT_EQ(fprd(*chain, st, 0x0807, 1).data[0] & 0x01, 1);
}

TEST_F(MbxTest, DictionaryParametersAndSaving) {
    ASSERT_TRUE(chain->injectFault(1, 0x10, 0x20));
    EXPECT_EQ(value(0x2001, 0, 4) << 8 | value(0x2002, 0, 4), 0x1020u) << "the fault words";
    EXPECT_EQ(down(0x2004, 0, le(1, 4)).abort, kAbortDeviceState) << "faulted";

    EXPECT_EQ(down(kParams, 1, {0x25, 0x31}).abort, kAbortReadOnly) << "software version";
    EXPECT_EQ(up(kParams, 38).abort, kAbortNoSub);

    // Saved values survive a power cycle (and a cable pull), unsaved ones do not; parameter 19
    // reads 1 for the saving time.
    make();
    ASSERT_TRUE(down(kParams, 9, {33}).ok());
    ASSERT_TRUE(down(kParams, 19, {14}).ok());
    EXPECT_EQ(value(kParams, 20, 1), 0u) << "14 is no save command";
    ASSERT_TRUE(down(kParams, 19, {sim::kDriveSaveCommand}).ok());
    ASSERT_TRUE(down(kParams, 10, {44}).ok());
    clock->advance(50'000'000 - 1);
    EXPECT_EQ(value(kParams, 20, 1), 1u);
    clock->advance(1);
    EXPECT_EQ(value(kParams, 20, 1), 0u);
    preOp();
    EXPECT_EQ(chain->parameter(1, 9), Bytes{44}) << "a reconnect keeps everything";
    chain->powerCycle(1);
    assignStations(*chain, 1);
    preOp();
    EXPECT_EQ(chain->parameter(1, 8), Bytes{33});
    EXPECT_EQ(chain->parameter(1, 9), Bytes{15}) << "unsaved value lost";
    ASSERT_TRUE(down(kParams, 9, {7}).ok());
    chain->pullDrive(1);
    chain->plugDrive(1);
    EXPECT_EQ(chain->parameter(1, 8), Bytes{33});
}

TEST_F(MbxTest, TransfersSegmentsAndAborts) {
    make(0x80, 24);  // a label of 96 bytes comes back in 6 segments; wrong toggle, an abort
    Bytes label(96);
    std::iota(label.begin(), label.end(), uint8_t('0'));
    EXPECT_TRUE(down(0x2020, 0, label).ok());
    const SdoResult r = up(0x2020, 0);
    EXPECT_EQ(r.data, label);
    EXPECT_EQ(r.segments, 6);
    EXPECT_EQ(mbx->exchange(kMbxTypeCoE, sdoRequest(0x40, 0x2020, 0))->data[2], 0x41);
    EXPECT_EQ(mbx->exchange(kMbxTypeCoE, sdoRequest(0x70, 0, 0))->u32(6), kAbortToggle);
    EXPECT_EQ(mbx->exchange(kMbxTypeCoE, sdoRequest(0x40, 0x2020, 0))->data[2], 0x41);
    EXPECT_EQ(mbx->write(kMbxTypeCoE, sdoRequest(0x80, 0x2020, 0, 0x05040000)), 1);
    EXPECT_FALSE(mbx->read());
    EXPECT_EQ(mbx->exchange(kMbxTypeCoE, sdoRequest(0x60, 0, 0))->u32(6), kAbortCommand);
    make();
    std::optional<MbxMessage> m;
    auto expedited = [](uint16_t index, uint8_t sub, size_t n) {
        return sdoRequest(uint8_t(0x23 | (4 - n) << 2), index, sub, 0x01020304);
    };
    auto normal = [](uint8_t cmd, uint16_t index, size_t n) {
        Bytes d = sdoRequest(cmd, index, 0, uint32_t(n));
        d.resize(10 + n, 'z');
        return d;
    };
    const std::pair<Bytes, uint32_t> cases[] = {{sdoRequest(0x40, 0x5000, 0), kAbortNoObject},
                                                {sdoRequest(0x40, 0x1018, 5), kAbortNoSub},
                                                {expedited(0x1000, 0, 4), kAbortReadOnly},
                                                {expedited(kParams, 1, 2), kAbortReadOnly},
                                                {sdoRequest(0x40, 0x2004, 0), kAbortWriteOnly},
                                                {expedited(kParams, 2, 4), kAbortTooHigh},
                                                {expedited(kParams, 2, 1), kAbortTooLow},
                                                {expedited(kParams, 3, 3), kAbortTooLow},
                                                {normal(0x21, 0x2020, 97), kAbortTooHigh},
                                                {normal(0x21, 0x2020, 96), 0},
                                                {sdoRequest(0x50, 0x1018, 1), kAbortAccess},
                                                {normal(0x31, 0x1018, 4), kAbortAccess},
                                                {sdoRequest(0xE0, 0x1000, 0), kAbortCommand},
                                                {sdoRequest(0x60, 0x1000, 0), kAbortCommand},
                                                {sdoRequest(0x00, 0x1000, 0), kAbortCommand}};
    for (const auto& [request, abort] : cases) {
        m = mbx->exchange(kMbxTypeCoE, request);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->abort() ? m->u32(6) : 0, abort)
            << std::hex << int(request[2]) << " " << request[3];
        if (abort && request[2] != 0x60 && request[2] != 0x00) {
            EXPECT_EQ(Bytes(m->data.begin() + 3, m->data.begin() + 6),
                      Bytes(request.begin() + 3, request.begin() + 6));
        }
    }
}

TEST_F(MbxTest, BootloaderTakesFilesByFoe) {
    auto m = mbx->exchange(kMbxTypeFoE, foeHeader(kFoeWrite, kPassword, {'f'}));
    EXPECT_EQ(Bytes(m->data.begin(), m->data.begin() + 6),
              foeHeader(kFoeError, sim::foe_error::kBootstrapOnly));
    ASSERT_EQ(boot(), kAlStateBoot);
    EXPECT_EQ(mbx->exchange(kMbxTypeCoE, kDeviceTypeRequest)->data, Bytes({1, 0, 2, 0}))
        << "no CoE";

    m = mbx->exchange(kMbxTypeFoE, foeHeader(kFoeWrite, kPassword + 1, {'f'}));
    EXPECT_EQ(Bytes(m->data.begin(), m->data.begin() + 6),
              foeHeader(kFoeError, sim::foe_error::kNoRights));
    m = mbx->exchange(kMbxTypeFoE, foeHeader(kFoeWrite, kPassword, {'f'}));
    EXPECT_EQ(m->data, foeHeader(kFoeAck, 0));
    m = mbx->exchange(kMbxTypeFoE, foeHeader(kFoeData, 2, Bytes(kPacket)));
    EXPECT_EQ(Bytes(m->data.begin(), m->data.begin() + 6),
              foeHeader(kFoeError, sim::foe_error::kPacketNumber));
    m = mbx->exchange(kMbxTypeFoE, foeHeader(kFoeData, 1, Bytes(3)));
    EXPECT_EQ(m->data[0], kFoeError) << "the write is over";
    EXPECT_FALSE(chain->firmware(1)->complete);

    // A whole file (one full DATA packet, then an empty one) runs on leaving BOOT, without the
    // old image's unsaved settings.
    ASSERT_TRUE(down(kParams, 9, {77}).ok());
    ASSERT_EQ(boot(), kAlStateBoot);
    Bytes file(kPacket);
    std::iota(file.begin(), file.end(), uint8_t(7));
    for (auto [data, ack] : std::vector<std::pair<Bytes, uint32_t>>{
             {foeHeader(kFoeWrite, kPassword, {'v', '1', '.', '4', '.', '2'}), 0},
             {foeHeader(kFoeData, 1, file), 1},
             {foeHeader(kFoeData, 2), 2}})
        EXPECT_EQ(mbx->exchange(kMbxTypeFoE, data)->data, foeHeader(kFoeAck, ack));
    EXPECT_TRUE(chain->firmware(1)->bytes == file && chain->firmware(1)->complete);
    preOp();
    EXPECT_EQ(up(0x100A, 0).data, Bytes({'1', '.', '4', '.', '2'}));
    EXPECT_EQ(value(kParams, 1, 2), 0x3142u);
    EXPECT_EQ(chain->parameter(1, 8), Bytes{20});
}

TEST_F(MbxTest, MalformedRepliesWhenSwitchedOn) {
    using M = sim::Misbehaviour;
    // Length, command and size (or value) of the reply to an upload as each fault shapes it.
    for (auto [mode, index, length, command, value] :
         std::vector<std::tuple<M, uint16_t, int, int, uint32_t>>{
             {M::OversizedUpload, 0x1000, 0x80 - 6, 0x41, 4},  // the value behind, to the end
             {M::SegmentsBeyondSize, 0x1008, 10, 0x41, 16},
             {M::SegmentsBeyondSize, 0x6041, 10, 0x41, 2},
             {M::ShortMailboxLength, 0x1000, 2, 0x43, 0x00020192},
             {M::None, 0x1000, 10, 0x43, 0x00020192}}) {
        ASSERT_TRUE(chain->setMailboxMisbehaviour(1, mode));
        const Bytes w = mbx->exchange(kMbxTypeCoE, sdoRequest(0x40, index, 0))->window;
        EXPECT_EQ(std::tuple(sim::rd16(&w[0]), w[8], sim::rd32(&w[12])),
                  std::tuple(length, command, value));
    }
    ASSERT_TRUE(chain->dropMailboxReplies(1, 1));
    EXPECT_EQ(mbx->write(kMbxTypeCoE, kDeviceTypeRequest), 1);
    EXPECT_FALSE(mbx->read()) << "the reply never shows";
    mbx->repeat();
    EXPECT_EQ(mbx->read()->u32(6), 0x00020192u) << "but comes on a repeat request";
    ASSERT_TRUE(chain->setMailboxMisbehaviour(1, M::WrongFoeAck));
    ASSERT_EQ(boot(), kAlStateBoot);
    EXPECT_EQ(mbx->exchange(kMbxTypeFoE, foeHeader(kFoeWrite, kPassword, {'f'}))->data,
              foeHeader(kFoeAck, 1));
}

}  // namespace
