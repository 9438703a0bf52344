// The drive's CoE mailbox: the object dictionary as a master reads it, SDO transfers of every
// kind with their aborts, the mailbox counters and repeat, emergencies, and the drive parameters
// with save settings.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "mailbox_client.h"
#include "sim/cia402_drive.h"
#include "sim/drive_image.h"

using namespace simtest;

namespace {

constexpr uint32_t kAbortToggle = 0x05030000;
constexpr uint32_t kAbortCommand = 0x05040001;
constexpr uint32_t kAbortAccess = 0x06010000;
constexpr uint32_t kAbortWriteOnly = 0x06010001;
constexpr uint32_t kAbortReadOnly = 0x06010002;
constexpr uint32_t kAbortNoObject = 0x06020000;
constexpr uint32_t kAbortLength = 0x06070010;
constexpr uint32_t kAbortTooHigh = 0x06070012;
constexpr uint32_t kAbortTooLow = 0x06070013;
constexpr uint32_t kAbortNoSub = 0x06090011;
constexpr uint32_t kAbortDeviceState = 0x08000022;

std::vector<uint8_t> bytesOf(uint32_t v, size_t n) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(v >> (8 * i));
    return b;
}
uint32_t valueOf(const std::vector<uint8_t>& b) {
    uint32_t v = 0;
    for (size_t i = 0; i < b.size() && i < 4; ++i)
        v |= static_cast<uint32_t>(b[i]) << (8 * i);
    return v;
}
std::vector<uint8_t> floatBytes(float f) {
    uint32_t v = 0;
    std::memcpy(&v, &f, 4);
    return bytesOf(v, 4);
}
std::string text(const std::vector<uint8_t>& b) {
    return {b.begin(), b.end()};
}

struct CoeTest : ::testing::Test {
    std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
    sim::Chain chain{[this] {
        auto cfg = sim::ChainConfig::drives(1);
        cfg.clock = clock;
        return cfg;
    }()};
    const uint16_t st = station(1);
    MailboxClient mbx{chain, st};

    void SetUp() override { bringUp(chain, 1, ec::kAlStatePreOp); }
    SdoResult up(uint16_t index, uint8_t sub) { return sdoUpload(mbx, index, sub); }
    SdoResult down(uint16_t index, uint8_t sub, const std::vector<uint8_t>& b) {
        return sdoDownload(mbx, index, sub, b);
    }
    uint32_t upValue(uint16_t index, uint8_t sub, size_t expectSize) {
        const auto r = up(index, sub);
        EXPECT_TRUE(r.ok()) << std::hex << index << ":" << int(sub) << " abort " << r.abort;
        EXPECT_EQ(r.data.size(), expectSize) << std::hex << index << ":" << int(sub);
        return valueOf(r.data);
    }
};

// --- the dictionary as a master reads it -------------------------------------------------------

TEST_F(CoeTest, MappingReadsGiveExactSizesAndSumToTheImages) {
    // The reads a master makes to size the process data without complete access.
    const uint32_t smCount = upValue(0x1C00, 0, 1);
    ASSERT_EQ(smCount, 4u);
    const uint8_t types[] = {1, 2, 3, 4};
    for (uint8_t i = 1; i <= 4; ++i)
        EXPECT_EQ(upValue(0x1C00, i, 1), types[i - 1]);
    uint32_t bits[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
        const auto assign = static_cast<uint16_t>(0x1C12 + k);
        const uint32_t pdos = upValue(assign, 0, 1);
        ASSERT_EQ(pdos, 1u);
        const auto pdo = static_cast<uint16_t>(upValue(assign, 1, 2));
        EXPECT_EQ(pdo, k == 0 ? 0x1600 : 0x1A00);
        const uint32_t entries = upValue(pdo, 0, 1);
        for (uint8_t e = 1; e <= entries; ++e)
            bits[k] += upValue(pdo, e, 4) & 0xFF;
    }
    EXPECT_EQ(bits[0], 144u) << "18-byte output image";
    EXPECT_EQ(bits[1], 256u) << "32-byte input image";
}

TEST_F(CoeTest, MappingMatchesTheEepromPdoCategories) {
    std::vector<uint16_t> sii;
    chain.withSlave(1, [&](sim::Esc& esc, sim::SlaveApplication*) { sii = esc.sii(); });
    for (const auto& [category, pdo] :
         {std::pair<uint16_t, uint16_t>{ec::kSiiCatRxPdo, 0x1600}, {ec::kSiiCatTxPdo, 0x1A00}}) {
        size_t w = ec::kSiiFirstCategory;
        while (sii[w] != category && sii[w] != ec::kSiiCatEnd)
            w += 2u + sii[w + 1];
        ASSERT_EQ(sii[w], category);
        std::vector<uint8_t> body;
        for (size_t i = 0; i < sii[w + 1]; ++i) {
            body.push_back(static_cast<uint8_t>(sii[w + 2 + i]));
            body.push_back(static_cast<uint8_t>(sii[w + 2 + i] >> 8));
        }
        EXPECT_EQ(sim::rd16(&body[0]), pdo);
        const uint8_t n = body[2];
        ASSERT_EQ(upValue(pdo, 0, 1), n);
        for (uint8_t e = 0; e < n; ++e) {
            const uint8_t* entry = &body[8 + 8 * e];
            const uint32_t fromSii =
                (uint32_t{sim::rd16(entry)} << 16) | (uint32_t{entry[2]} << 8) | entry[5];
            EXPECT_EQ(upValue(pdo, static_cast<uint8_t>(e + 1), 4), fromSii) << "entry " << int(e);
        }
    }
}

TEST_F(CoeTest, PdoConfigurationInPreOpMustKeepTheImages) {
    // The CoE way: count 0, entries, count back. Only what the drive has is taken.
    ASSERT_TRUE(down(0x1C12, 0, {0}).ok());
    requestState(chain, st, ec::kAlStateInit);
    writeMailboxSms(chain, st);
    requestState(chain, st, ec::kAlStatePreOp);
    writeProcessDataConfig(chain, 1, 1);
    requestState(chain, st, ec::kAlStateSafeOp);
    EXPECT_EQ(chain.alStatusCode(1), ec::kAlInvalidOutputMapping) << "nothing assigned to SM2";
    requestState(chain, st, ec::kAlStatePreOp | ec::kAlStateError);
    ASSERT_EQ(alStatus(chain, st), ec::kAlStatePreOp);
    MailboxClient m2{chain, st};
    EXPECT_EQ(sdoDownload(m2, 0x1C12, 1, bytesOf(0x1601, 2)).abort, 0x06090030u);
    EXPECT_TRUE(sdoDownload(m2, 0x1C12, 1, bytesOf(0x1600, 2)).ok());
    EXPECT_EQ(sdoDownload(m2, 0x1C12, 0, {2}).abort, 0x06090030u);
    EXPECT_TRUE(sdoDownload(m2, 0x1C12, 0, {1}).ok());
    EXPECT_EQ(sdoDownload(m2, 0x1C12, 1, bytesOf(0x1600, 2)).abort, 0x06010003u)
        << "count first to 0";

    EXPECT_TRUE(sdoDownload(m2, 0x1A00, 0, {0}).ok());
    EXPECT_EQ(sdoDownload(m2, 0x1A00, 1, bytesOf(0x60640020, 4)).abort, 0x06040041u);
    EXPECT_TRUE(sdoDownload(m2, 0x1A00, 1, bytesOf(0x60410010, 4)).ok());
    EXPECT_EQ(sdoDownload(m2, 0x1A00, 0, {13}).abort, 0x06040042u);
    EXPECT_EQ(sdoDownload(m2, 0x1A00, 0, {5}).abort, 0x06040043u);
    requestState(chain, st, ec::kAlStateSafeOp);
    EXPECT_EQ(chain.alStatusCode(1), ec::kAlInvalidInputMapping);
    requestState(chain, st, ec::kAlStatePreOp | ec::kAlStateError);
    EXPECT_TRUE(sdoDownload(m2, 0x1A00, 0, {12}).ok());
    requestState(chain, st, ec::kAlStateSafeOp);
    ASSERT_EQ(alStatus(chain, st), ec::kAlStateSafeOp);
    EXPECT_EQ(sdoDownload(m2, 0x1C13, 0, {0}).abort, kAbortDeviceState) << "PRE-OP only";

    // A power cycle brings the fixed configuration back.
    requestState(chain, st, ec::kAlStateInit);
    writeMailboxSms(chain, st);
    requestState(chain, st, ec::kAlStatePreOp);
    MailboxClient m3{chain, st};
    ASSERT_TRUE(sdoDownload(m3, 0x1C13, 0, {0}).ok());
    chain.powerCycle(1);
    bringUp(chain, 1, ec::kAlStateSafeOp);
    EXPECT_EQ(alStatus(chain, st), ec::kAlStateSafeOp);
}

TEST_F(CoeTest, IdentityObjects) {
    EXPECT_EQ(upValue(0x1000, 0, 4), 0x00020192u);
    EXPECT_EQ(upValue(0x1001, 0, 1), 0u);
    EXPECT_EQ(upValue(0x1018, 0, 1), 4u);
    const auto& id = sim::SlaveConfig::drive(1).identity;
    EXPECT_EQ(upValue(0x1018, 1, 4), id.vendorId);
    EXPECT_EQ(upValue(0x1018, 2, 4), id.productCode);
    EXPECT_EQ(upValue(0x1018, 3, 4), id.revision);
    EXPECT_EQ(upValue(0x1018, 4, 4), 1u) << "serial of drive 1";
    EXPECT_EQ(text(up(0x1008, 0).data), "QJ30 servo joint");
    EXPECT_EQ(text(up(0x1009, 0).data), "B2");
    EXPECT_EQ(text(up(0x100A, 0).data), "1.2.5");
}

TEST_F(CoeTest, ImageObjectsShowLiveValues) {
    auto* drive = chain.drive(1);
    EXPECT_EQ(upValue(0x6041, 0, 2), drive->statusWord());
    EXPECT_EQ(upValue(0x2003, 0, 1), 3u);
    EXPECT_EQ(upValue(0x2003, 1, 2), 38u) << "MCU temperature";
    EXPECT_EQ(upValue(0x6079, 0, 4), 48u) << "bus voltage";
    EXPECT_EQ(upValue(0x6061, 0, 1), 0u);

    chain.withSlave(1, [](sim::Esc&, sim::SlaveApplication* app) {
        static_cast<sim::Cia402Drive*>(app)->injectFault(0x10, 0x20);
    });
    EXPECT_EQ(upValue(0x1001, 0, 1), 1u) << "generic error";
    EXPECT_EQ(upValue(0x2001, 0, 4), 0x10u);
    EXPECT_EQ(upValue(0x2002, 0, 4), 0x20u);
    EXPECT_EQ(upValue(0x6041, 0, 2) & 0x4F, 0x0Fu) << "fault reaction active";
    EXPECT_EQ(up(0x2004, 0).abort, kAbortWriteOnly);
    EXPECT_EQ(down(0x2004, 0, bytesOf(1, 4)).abort, kAbortDeviceState);

    // Outputs written by SDO read back until the next cycle brings its own.
    EXPECT_TRUE(down(0x607A, 0, bytesOf(123456, 4)).ok());
    EXPECT_EQ(upValue(0x607A, 0, 4), 123456u);
    EXPECT_TRUE(down(0x6060, 0, {8}).ok());
    EXPECT_EQ(upValue(0x6060, 0, 1), 8u);
}

// --- the drive parameters ----------------------------------------------------------------------

struct ParamRow {
    int id;
    size_t size;
    bool readOnly;
};

// Sizes and access of 0x6101:id+1 as the console's parameter table gives them.
constexpr ParamRow kParamRows[] = {
    {0, 2, true},   {1, 2, false},  {2, 4, false},  {3, 4, false},  {4, 4, false},  {5, 4, false},
    {6, 4, false},  {7, 4, false},  {8, 1, false},  {9, 1, false},  {10, 1, false}, {11, 1, false},
    {12, 1, false}, {13, 1, false}, {14, 1, false}, {15, 1, false}, {16, 1, false}, {17, 1, false},
    {18, 1, false}, {19, 1, false}, {20, 1, false}, {21, 1, false}, {22, 1, false}, {23, 1, false},
    {24, 1, false}, {25, 1, false}, {26, 1, false}, {27, 1, false}, {28, 4, false}, {29, 4, false},
    {30, 4, false}, {31, 4, false}, {32, 4, false}, {33, 4, false}, {34, 4, true},  {35, 4, false},
    {36, 4, true},
};

TEST_F(CoeTest, EveryParameterRowRoundTrips) {
    EXPECT_EQ(upValue(sim::kParamObject, 0, 1), 37u);
    EXPECT_EQ(up(sim::kParamObject, 38).abort, kAbortNoSub);
    for (const ParamRow& row : kParamRows) {
        SCOPED_TRACE("parameter " + std::to_string(row.id));
        const auto sub = static_cast<uint8_t>(row.id + 1);
        const auto before = up(sim::kParamObject, sub);
        ASSERT_TRUE(before.ok());
        ASSERT_EQ(before.data.size(), row.size);
        // A value of the row's size that differs from the one there (never the save command).
        auto value = bytesOf(0x5A3C1E00u + static_cast<uint32_t>(row.id), row.size);
        if (value == before.data)
            value[0] ^= 0xFF;
        const auto w = down(sim::kParamObject, sub, value);
        if (row.readOnly) {
            EXPECT_EQ(w.abort, kAbortReadOnly);
            EXPECT_EQ(up(sim::kParamObject, sub).data, before.data);
            continue;
        }
        EXPECT_TRUE(w.ok()) << std::hex << w.abort;
        if (row.id == sim::kDriveParamSaving)
            continue;  // reads the drive's own saving state
        EXPECT_EQ(up(sim::kParamObject, sub).data, value);
        EXPECT_EQ(chain.parameter(1, row.id), value);
    }
}

TEST_F(CoeTest, IdentityParametersOfAQj30) {
    const uint32_t version = upValue(sim::kParamObject, 1, 2);
    EXPECT_EQ(version >> 12, 3u) << "family digit";
    EXPECT_EQ(text(up(0x100A, 0).data), std::to_string((version >> 8) & 0xF) + "." +
                                            std::to_string((version >> 4) & 0xF) + "." +
                                            std::to_string(version & 0xF));
    EXPECT_EQ(up(sim::kParamObject, 37).data, (std::vector<uint8_t>{0x30, 0x33, 0x4A, 0x51}));
    EXPECT_GT(upValue(sim::kParamObject, 35, 4) & 0xFF, 0u) << "batch number";
    EXPECT_EQ(upValue(sim::kParamObject, 25, 1), 14u) << "pole pairs";
    EXPECT_EQ(up(sim::kParamObject, 3).data, floatBytes(0.00012f)) << "rotor inertia";
}

TEST_F(CoeTest, SavedSettingsSurviveAPowerCycleUnsavedOnesDoNot) {
    ASSERT_TRUE(down(sim::kParamObject, 3, floatBytes(0.5f)).ok());
    ASSERT_TRUE(down(sim::kParamObject, 9, {33}).ok());
    ASSERT_TRUE(down(sim::kParamObject, 19, {sim::kDriveSaveCommand}).ok());
    ASSERT_TRUE(down(sim::kParamObject, 10, {44}).ok());  // after the save

    // A master reconnecting (INIT, PRE-OP again) finds everything as written.
    requestState(chain, st, ec::kAlStateInit);
    requestState(chain, st, ec::kAlStatePreOp);
    MailboxClient again{chain, st};
    EXPECT_EQ(sdoUpload(again, sim::kParamObject, 10).data, std::vector<uint8_t>{44});

    chain.powerCycle(1);
    bringUp(chain, 1, ec::kAlStatePreOp);
    MailboxClient fresh{chain, st};
    EXPECT_EQ(sdoUpload(fresh, sim::kParamObject, 3).data, floatBytes(0.5f));
    EXPECT_EQ(sdoUpload(fresh, sim::kParamObject, 9).data, std::vector<uint8_t>{33});
    EXPECT_EQ(sdoUpload(fresh, sim::kParamObject, 10).data, std::vector<uint8_t>{15})
        << "unsaved value lost";

    // Pulling the cable is a power cycle too; a value written without saving is gone after it.
    ASSERT_TRUE(sdoDownload(fresh, sim::kParamObject, 9, {7}).ok());
    chain.pullDrive(1);
    chain.plugDrive(1);
    bringUp(chain, 1, ec::kAlStatePreOp);
    MailboxClient plugged{chain, st};
    EXPECT_EQ(sdoUpload(plugged, sim::kParamObject, 9).data, std::vector<uint8_t>{33});
}

TEST_F(CoeTest, SavingReadsOneForTheSavingTime) {
    EXPECT_EQ(upValue(sim::kParamObject, 20, 1), 0u);
    ASSERT_TRUE(down(sim::kParamObject, 19, {sim::kDriveSaveCommand}).ok());
    EXPECT_EQ(upValue(sim::kParamObject, 20, 1), 1u);
    clock->advance(49'000'000);
    EXPECT_EQ(upValue(sim::kParamObject, 20, 1), 1u);
    clock->advance(2'000'000);
    EXPECT_EQ(upValue(sim::kParamObject, 20, 1), 0u);
    // Any other byte is no save command.
    ASSERT_TRUE(down(sim::kParamObject, 19, {14}).ok());
    EXPECT_EQ(upValue(sim::kParamObject, 20, 1), 0u);
}

// --- transfers ---------------------------------------------------------------------------------

struct WindowSizes {
    uint16_t out, in;
};

class SegmentedTest : public ::testing::TestWithParam<WindowSizes> {
protected:
    sim::Chain chain{[] {
        auto cfg = sim::ChainConfig::drives(1);
        cfg.slaves[0].mailboxOutSize = GetParam().out;
        cfg.slaves[0].mailboxInSize = GetParam().in;
        return cfg;
    }()};
    const uint16_t st = station(1);
    MailboxClient mbx{
        chain,        st, 0x1000, GetParam().out, static_cast<uint16_t>(0x1000 + GetParam().out),
        GetParam().in};

    void SetUp() override {
        assignStations(chain, 1);
        writeMailboxSms(chain, st, GetParam().out, GetParam().in);
        requestState(chain, st, ec::kAlStatePreOp);
        ASSERT_EQ(alStatus(chain, st), ec::kAlStatePreOp);
    }
};

size_t segmentsFor(size_t size, size_t first, size_t each) {
    return size <= first ? 0 : (size - first + each - 1) / each;
}

TEST_P(SegmentedTest, LabelRoundTripsInSegmentsOfTheWindowSizes) {
    const auto [out, in] = GetParam();
    for (size_t n : {5u, 7u, 8u, 23u, 60u, 96u}) {
        SCOPED_TRACE("label of " + std::to_string(n) + " bytes");
        std::vector<uint8_t> label(n);
        for (size_t i = 0; i < n; ++i)
            label[i] = static_cast<uint8_t>('a' + i % 26);
        const auto w = sdoDownload(mbx, 0x2020, 0, label, true);
        ASSERT_TRUE(w.ok()) << std::hex << w.abort;
        EXPECT_EQ(static_cast<size_t>(w.segments), segmentsFor(n, out - 16u, out - 9u));
        const auto r = sdoUpload(mbx, 0x2020, 0);
        ASSERT_TRUE(r.ok()) << std::hex << r.abort;
        EXPECT_EQ(r.data, label);
        EXPECT_EQ(static_cast<size_t>(r.segments), n <= 4 ? 0 : segmentsFor(n, in - 16u, in - 9u));
    }
    const auto name = sdoUpload(mbx, 0x1008, 0);
    EXPECT_EQ(std::string(name.data.begin(), name.data.end()), "QJ30 servo joint");
}

INSTANTIATE_TEST_SUITE_P(Windows, SegmentedTest,
                         ::testing::Values(WindowSizes{32, 32}, WindowSizes{48, 24},
                                           WindowSizes{128, 128}, WindowSizes{40, 200}));

struct SmallWindowTest : ::testing::Test {
    sim::Chain chain{[] {
        auto cfg = sim::ChainConfig::drives(1);
        cfg.slaves[0].mailboxOutSize = 32;
        cfg.slaves[0].mailboxInSize = 32;
        return cfg;
    }()};
    const uint16_t st = station(1);
    MailboxClient mbx{chain, st, 0x1000, 32, 0x1020, 32};

    void SetUp() override {
        assignStations(chain, 1);
        writeMailboxSms(chain, st, 32, 32);
        requestState(chain, st, ec::kAlStatePreOp);
    }
    // A download segment of 7 bytes with the given toggle; returns the reply.
    std::optional<MbxMessage> segment(uint8_t toggle, bool last, size_t count = 7) {
        std::vector<uint8_t> d(10, 'x');
        sim::wr16(&d[0], static_cast<uint16_t>(ec::kCoeSdoRequest << 12));
        d[2] =
            static_cast<uint8_t>(toggle << 4 | (count < 7 ? (7 - count) << 1 : 0) | (last ? 1 : 0));
        return mbx.exchange(ec::kMbxTypeCoE, d);
    }
    std::optional<MbxMessage> startDownload(uint32_t announced, size_t first) {
        auto d = sdoRequest(0x21, 0x2020, 0, announced);
        d.resize(10 + first, 'y');
        return mbx.exchange(ec::kMbxTypeCoE, d);
    }
};

TEST_F(SmallWindowTest, WrongToggleAbortsDownloadAndUpload) {
    auto m = startDownload(40, 16);
    ASSERT_TRUE(m && !isAbort(*m));
    m = segment(0, false);
    ASSERT_TRUE(m && !isAbort(*m));
    m = segment(0, false);  // should have been 1
    ASSERT_TRUE(m && isAbort(*m));
    EXPECT_EQ(m->u32(6), kAbortToggle);
    m = segment(1, false);
    ASSERT_TRUE(m && isAbort(*m)) << "the transfer is over";
    EXPECT_EQ(m->u32(6), kAbortCommand);

    m = mbx.exchange(ec::kMbxTypeCoE, sdoRequest(0x40, 0x1008, 0));
    ASSERT_TRUE(m && m->data[2] == 0x41);
    EXPECT_EQ(m->u32(6), 16u);
    ASSERT_TRUE(sdoDownload(mbx, 0x2020, 0, std::vector<uint8_t>(40, 'q')).ok());
    m = mbx.exchange(ec::kMbxTypeCoE, sdoRequest(0x40, 0x2020, 0));
    ASSERT_TRUE(m && m->data[2] == 0x41);
    m = mbx.exchange(ec::kMbxTypeCoE, sdoRequest(0x70, 0, 0));  // toggle 1 first
    ASSERT_TRUE(m && isAbort(*m));
    EXPECT_EQ(m->u32(6), kAbortToggle);
}

TEST_F(SmallWindowTest, SegmentsMustAddUpToTheAnnouncedSize) {
    // 20 announced, 16 in the request, then 7 more: beyond the announcement.
    ASSERT_TRUE(startDownload(20, 16));
    auto m = segment(0, true);
    ASSERT_TRUE(m && isAbort(*m));
    EXPECT_EQ(m->u32(6), kAbortLength);
    // 30 announced, 16 + 3 sent, the last segment ends short of it.
    ASSERT_TRUE(startDownload(30, 16));
    m = segment(0, true, 3);
    ASSERT_TRUE(m && isAbort(*m));
    EXPECT_EQ(m->u32(6), kAbortLength);
    // The label is still the default.
    EXPECT_EQ(sdoUpload(mbx, 0x2020, 0).data, (std::vector<uint8_t>{'j', 'o', 'i', 'n', 't'}));
}

struct AbortCase {
    const char* name;
    std::vector<uint8_t> request;
    uint32_t abort;
};

TEST_F(CoeTest, EveryAbortPath) {
    auto expedited = [](uint16_t index, uint8_t sub, size_t n) {
        return sdoRequest(static_cast<uint8_t>(0x23 | (4 - n) << 2), index, sub, 0x01020304);
    };
    auto normal = [](uint16_t index, uint8_t sub, size_t n) {
        auto d = sdoRequest(0x21, index, sub, static_cast<uint32_t>(n));
        d.resize(10 + n, 'z');
        return d;
    };
    const AbortCase cases[] = {
        {"missing object", sdoRequest(0x40, 0x5000, 0), kAbortNoObject},
        {"missing subindex", sdoRequest(0x40, 0x1018, 9), kAbortNoSub},
        {"write to read-only", expedited(0x1000, 0, 4), kAbortReadOnly},
        {"write to read-only parameter", expedited(sim::kParamObject, 1, 2), kAbortReadOnly},
        {"read of write-only", sdoRequest(0x40, 0x2004, 0), kAbortWriteOnly},
        {"too long for a U16", expedited(sim::kParamObject, 2, 4), kAbortTooHigh},
        {"too short for a U16", expedited(sim::kParamObject, 2, 1), kAbortTooLow},
        {"too short for a float", expedited(sim::kParamObject, 3, 3), kAbortTooLow},
        {"label beyond capacity", normal(0x2020, 0, 97), kAbortTooHigh},
        {"complete access upload", sdoRequest(0x50, 0x1018, 1), kAbortAccess},
        {"complete access download", normal(0x1018, 1, 4) /* patched below */, kAbortAccess},
        {"unknown command specifier", sdoRequest(0xE0, 0x1000, 0), kAbortCommand},
        {"upload segment without upload", sdoRequest(0x60, 0x1000, 0), kAbortCommand},
        {"download segment without download", sdoRequest(0x00, 0x1000, 0), kAbortCommand},
    };
    for (AbortCase c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name) == "complete access download")
            c.request[2] = 0x31;
        const auto m = mbx.exchange(ec::kMbxTypeCoE, c.request);
        ASSERT_TRUE(m);
        ASSERT_TRUE(isAbort(*m));
        EXPECT_EQ(m->u32(6), c.abort) << std::hex << m->u32(6);
        if (c.request[2] != 0x60 && c.request[2] != 0x00) {
            EXPECT_EQ(m->u16(3), sim::rd16(&c.request[3])) << "index echoed";
        }
    }
}

TEST_F(CoeTest, ClientAbortEndsATransferWithoutReply) {
    ASSERT_TRUE(down(0x2020, 0, std::vector<uint8_t>(96, 'k')).ok());
    auto m = mbx.exchange(ec::kMbxTypeCoE, sdoRequest(0x40, 0x2020, 0));
    ASSERT_TRUE(m && m->data[2] == 0x41);
    EXPECT_EQ(mbx.write(ec::kMbxTypeCoE, sdoRequest(0x80, 0x2020, 0, 0x05040000)), 1);
    EXPECT_FALSE(mbx.read());
    m = mbx.exchange(ec::kMbxTypeCoE, sdoRequest(0x60, 0, 0));
    ASSERT_TRUE(m && isAbort(*m));
    EXPECT_EQ(m->u32(6), kAbortCommand);
}

// --- the mailbox layer -------------------------------------------------------------------------

TEST_F(CoeTest, MailboxErrorsForWhatIsNotServed) {
    struct Case {
        const char* name;
        uint8_t type;
        std::vector<uint8_t> data;
        std::optional<uint16_t> length;
        uint16_t code;
    };
    std::vector<uint8_t> info(8, 0);
    sim::wr16(&info[0], static_cast<uint16_t>(ec::kCoeSdoInfo << 12));
    info[2] = 0x01;  // get OD list
    std::vector<uint8_t> rxPdo(4, 0);
    sim::wr16(&rxPdo[0], static_cast<uint16_t>(ec::kCoeRxPdo << 12));
    const Case cases[] = {
        {"SDO information", ec::kMbxTypeCoE, info, std::nullopt, 0x0004},
        {"PDO over the mailbox", ec::kMbxTypeCoE, rxPdo, std::nullopt, 0x0004},
        {"SoE", ec::kMbxTypeSoE, {1, 2, 3, 4}, std::nullopt, 0x0002},
        {"EoE", ec::kMbxTypeEoE, {1, 2, 3, 4}, std::nullopt, 0x0002},
        {"vendor type", ec::kMbxTypeVoE, {1, 2, 3, 4}, std::nullopt, 0x0002},
        {"short SDO request", ec::kMbxTypeCoE, {0x00, 0x20, 0x40, 0x00}, std::nullopt, 0x0006},
        {"length beyond the window", ec::kMbxTypeCoE, sdoRequest(0x40, 0x1000, 0), 200, 0x0008},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(mbx.write(c.type, c.data, 0xFF, c.length), 1);
        const auto m = mbx.read();
        ASSERT_TRUE(m);
        EXPECT_EQ(m->type, ec::kMbxTypeError);
        EXPECT_EQ(m->length, 4);
        EXPECT_EQ(m->u16(0), 0x0001);
        EXPECT_EQ(m->u16(2), c.code);
    }
}

TEST_F(CoeTest, CountersNumberRepliesAndDropRepeatedWrites) {
    // Own messages count 1..7 and wrap to 1.
    for (int i = 1; i <= 9; ++i) {
        const auto m = mbx.exchange(ec::kMbxTypeCoE, sdoRequest(0x40, 0x1000, 0));
        ASSERT_TRUE(m);
        EXPECT_EQ(m->counter, (i - 1) % 7 + 1);
    }
    // The same counter again is a repeated write: no second reply.
    const uint8_t c = mbx.lastCounter();
    EXPECT_EQ(mbx.write(ec::kMbxTypeCoE, sdoRequest(0x40, 0x1000, 0), c), 1);
    EXPECT_FALSE(mbx.read());
    // Counter 0 is unused and never taken for a repeat.
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(mbx.write(ec::kMbxTypeCoE, sdoRequest(0x40, 0x1000, 0), 0), 1);
        EXPECT_TRUE(mbx.read());
    }

    // A restarted mailbox counts from 1 and takes any counter again.
    requestState(chain, st, ec::kAlStateInit);
    requestState(chain, st, ec::kAlStatePreOp);
    EXPECT_EQ(mbx.write(ec::kMbxTypeCoE, sdoRequest(0x40, 0x1000, 0), 3), 1);
    const auto m = mbx.read();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->counter, 1);
    EXPECT_EQ(mbx.write(ec::kMbxTypeCoE, sdoRequest(0x40, 0x1000, 0), 3), 1);
    EXPECT_FALSE(mbx.read()) << "3 twice in a row";
}

TEST_F(CoeTest, RepeatBringsBackALostReplyWithoutLosingTheNext) {
    const auto first = mbx.exchange(ec::kMbxTypeCoE, sdoRequest(0x40, 0x1000, 0));
    ASSERT_TRUE(first);
    // An emergency arrives after the reply was read; the master then asks for a repeat (its
    // read came back with WKC 0, say): the reply comes first, the emergency after it.
    chain.sendEmergency(1, 0x2310, 0x01);
    mbx.repeat();
    const auto again = mbx.read();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->window, first->window);
    const auto emcy = mbx.read();
    ASSERT_TRUE(emcy);
    EXPECT_EQ(emcy->coeService(), ec::kCoeEmergency);
}

TEST_F(CoeTest, EmergencyOnDemandOnly) {
    EXPECT_FALSE(mbx.read()) << "nothing unasked";
    ASSERT_TRUE(chain.sendEmergency(1, 0x7500, 0x81, {1, 2, 3, 4, 5}));
    const auto m = mbx.read();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->type, ec::kMbxTypeCoE);
    EXPECT_EQ(m->length, 10);
    EXPECT_EQ(m->coeService(), ec::kCoeEmergency);
    EXPECT_EQ(m->u16(2), 0x7500);
    EXPECT_EQ(m->data[4], 0x81);
    EXPECT_EQ(std::vector<uint8_t>(m->data.begin() + 5, m->data.end()),
              (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    // The next reply follows the emergency in order.
    const auto r = mbx.exchange(ec::kMbxTypeCoE, sdoRequest(0x40, 0x1000, 0));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->coeService(), ec::kCoeSdoResponse);
}

}  // namespace
