// SDO transfers with the simulated drives: every drive parameter, segmented objects at several
// mailbox sizes, the aborts a drive gives, CoE-based mapping, a hostile slave, and mailbox
// traffic beside the running cycle.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "sim_bus.h"

using bustest::SimBus;

namespace {

constexpr int kSdoTimeout = EC_TIMEOUTRXM;
constexpr uint16_t kParamIndex = 0x6101;

// Bytes each drive parameter (id = subindex - 1) moves over SDO, and which are read-only.
int paramSize(int id) {
    if (id <= 1) {
        return 2;
    }
    if (id <= 7) {
        return 4;
    }
    if (id <= 27) {
        return 1;
    }
    return 4;
}
bool paramReadOnly(int id) {
    return id == 0 || id == 34 || id == 36;
}

std::vector<ec_errort> popErrors(ecx_contextt* ctx) {
    std::vector<ec_errort> list;
    ec_errort e{};
    while (ecx_poperror(ctx, &e)) {
        list.push_back(e);
    }
    return list;
}

// Reads into a heap buffer of exactly `capacity` bytes.
int sdoRead(SimBus& bus, uint16_t slave, uint16_t index, uint8_t sub, int capacity,
            std::vector<uint8_t>* value = nullptr) {
    auto buf = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
    int size = capacity;
    const int wkc = ecx_SDOread(bus.ctx(), slave, index, sub, false, &size, buf.get(), kSdoTimeout);
    if (value != nullptr && wkc > 0) {
        value->assign(buf.get(), buf.get() + size);
    }
    return wkc;
}

int sdoWrite(SimBus& bus, uint16_t slave, uint16_t index, uint8_t sub,
             const std::vector<uint8_t>& value) {
    return ecx_SDOwrite(bus.ctx(), slave, index, sub, false, static_cast<int>(value.size()),
                        value.data(), kSdoTimeout);
}

TEST(BusSdo, EveryDriveParameterRoundTrips) {
    SimBus bus(sim::ChainConfig::drives(2));
    ASSERT_TRUE(bus.bringUp());
    const auto untouched = bus.chain->parameter(1, 1);
    for (int id = 0; id <= 36; ++id) {
        SCOPED_TRACE("parameter " + std::to_string(id));
        const auto sub = static_cast<uint8_t>(id + 1);
        std::vector<uint8_t> value;
        ASSERT_GT(sdoRead(bus, 2, kParamIndex, sub, paramSize(id), &value), 0);
        EXPECT_EQ(static_cast<int>(value.size()), paramSize(id));
        EXPECT_EQ(value, bus.chain->parameter(2, id));
        // Calibration, save and the saving flag start procedures of their own.
        if (paramReadOnly(id) || (id >= 17 && id <= 19)) {
            continue;
        }
        value[0] ^= 0x01;
        ASSERT_GT(sdoWrite(bus, 2, kParamIndex, sub, value), 0);
        EXPECT_EQ(bus.chain->parameter(2, id), value);
        std::vector<uint8_t> back;
        ASSERT_GT(sdoRead(bus, 2, kParamIndex, sub, paramSize(id), &back), 0);
        EXPECT_EQ(back, value);
    }
    // Drive 1 was left alone.
    EXPECT_EQ(bus.chain->parameter(1, 1), untouched);
    EXPECT_TRUE(popErrors(bus.ctx()).empty());
}

TEST(BusSdo, AbortsOfTheDriveAreRecorded) {
    SimBus bus(sim::ChainConfig::drives(1));
    ASSERT_TRUE(bus.bringUp());
    struct Case {
        const char* what;
        std::function<int()> transfer;
        uint16_t index;
        uint8_t sub;
        uint32_t code;
    };
    const std::vector<uint8_t> one{1};
    const std::vector<uint8_t> two{1, 2};
    const Case cases[] = {
        {"no such object", [&] { return sdoRead(bus, 1, 0x5555, 0, 4); }, 0x5555, 0, 0x06020000},
        {"no such subindex", [&] { return sdoRead(bus, 1, kParamIndex, 38, 4); }, kParamIndex, 38,
         0x06090011},
        {"read-only",
         [&] {
             return sdoWrite(bus, 1, kParamIndex, 37, {1, 2, 3, 4});
         },
         kParamIndex, 37, 0x06010002},
        {"write-only", [&] { return sdoRead(bus, 1, 0x2004, 0, 4); }, 0x2004, 0, 0x06010001},
        {"too long", [&] { return sdoWrite(bus, 1, kParamIndex, 9, two); }, kParamIndex, 9,
         0x06070012},
        {"too short", [&] { return sdoWrite(bus, 1, kParamIndex, 3, one); }, kParamIndex, 3,
         0x06070013},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.transfer(), 0);
        const auto errors = popErrors(bus.ctx());
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].Etype, EC_ERR_TYPE_SDO_ERROR);
        EXPECT_EQ(errors[0].Slave, 1);
        EXPECT_EQ(errors[0].Index, c.index);
        EXPECT_EQ(errors[0].SubIdx, c.sub);
        EXPECT_EQ(static_cast<uint32_t>(errors[0].AbortCode), c.code);
    }
    // Complete access: refused by the master while the SII does not offer it, aborted by the
    // drive when the master is made to try.
    int size = 8;
    uint8_t buf[8];
    EXPECT_EQ(ecx_SDOread(bus.ctx(), 1, 0x1018, 1, true, &size, buf, kSdoTimeout), 0);
    EXPECT_EQ(popErrors(bus.ctx()).at(0).Etype, EC_ERR_TYPE_PACKET_ERROR);
    bus.slave(1).CoEdetails |= ec::kCoeDetailCompleteAccess;
    EXPECT_EQ(ecx_SDOread(bus.ctx(), 1, 0x1018, 1, true, &size, buf, kSdoTimeout), 0);
    EXPECT_EQ(static_cast<uint32_t>(popErrors(bus.ctx()).at(0).AbortCode), 0x06010000u);
}

class MailboxSizes : public ::testing::TestWithParam<std::pair<uint16_t, uint16_t>> {};

TEST_P(MailboxSizes, SegmentedTransfersOfTextObjects) {
    auto cfg = sim::ChainConfig::drives(1);
    cfg.slaves[0].mailboxOutSize = GetParam().first;
    cfg.slaves[0].mailboxInSize = GetParam().second;
    SimBus bus(cfg);
    ASSERT_TRUE(bus.bringUp());
    ASSERT_EQ(bus.slave(1).mbx_l, GetParam().first);
    std::vector<uint8_t> name;
    ASSERT_GT(sdoRead(bus, 1, 0x1008, 0, 64, &name), 0);
    EXPECT_EQ(std::string(name.begin(), name.end()), "QJ30 servo joint");
    // A text right at the object's limit and a short one, both ways.
    for (size_t length : {96u, 9u}) {
        std::vector<uint8_t> text(length);
        for (size_t i = 0; i < length; ++i) {
            text[i] = static_cast<uint8_t>('a' + i % 26);
        }
        ASSERT_GT(sdoWrite(bus, 1, 0x2020, 0, text), 0);
        std::vector<uint8_t> back;
        ASSERT_GT(sdoRead(bus, 1, 0x2020, 0, 96, &back), 0);
        EXPECT_EQ(back, text);
    }
    EXPECT_TRUE(popErrors(bus.ctx()).empty());
}

INSTANTIATE_TEST_SUITE_P(Windows, MailboxSizes,
                         ::testing::Values(std::pair<uint16_t, uint16_t>{24, 24},
                                           std::pair<uint16_t, uint16_t>{32, 32},
                                           std::pair<uint16_t, uint16_t>{48, 64},
                                           std::pair<uint16_t, uint16_t>{128, 128}));

std::atomic<int> coeMappings{0};

bool countingCoeReader(ecx_contextt* ctx, uint16_t slave, uint32_t* out, uint32_t* in) {
    const bool ok = ec::readPdoSizesCoE(ctx, slave, out, in);
    coeMappings += ok ? 1 : 0;
    return ok;
}

TEST(BusSdo, MappingOverCoeEqualsTheSiiLayout) {
    auto cfg = sim::ChainConfig::drives(3);
    SimBus coe(cfg);
    SimBus sii(cfg);
    coe.ctx()->readPdoSizes = countingCoeReader;
    sii.ctx()->readPdoSizes = nullptr;
    coeMappings = 0;
    ASSERT_GT(coe.scan(), 0);
    ASSERT_GT(sii.scan(), 0);
    const int coeSize = coe.map();
    ASSERT_GT(coeSize, 0);
    EXPECT_EQ(coeMappings, 3);
    EXPECT_EQ(coeSize, sii.map());
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(coe.slave(n).Obits, sii.slave(n).Obits);
        EXPECT_EQ(coe.slave(n).Ibits, sii.slave(n).Ibits);
        EXPECT_EQ(coe.slave(n).outputs - coe.iomap.data(), sii.slave(n).outputs - sii.iomap.data());
        EXPECT_EQ(coe.slave(n).inputs - coe.iomap.data(), sii.slave(n).inputs - sii.iomap.data());
        for (int sm = 2; sm < 4; ++sm) {
            EXPECT_EQ(coe.slave(n).SM[sm].SMlength, sii.slave(n).SM[sm].SMlength);
            EXPECT_EQ(coe.slave(n).SMtype[sm], sii.slave(n).SMtype[sm]);
        }
    }
    EXPECT_EQ(coe.ctx()->grouplist[0].expectedWKC, sii.ctx()->grouplist[0].expectedWKC);
    ASSERT_TRUE(coe.requestState(EC_STATE_SAFE_OP));
    ASSERT_TRUE(coe.requestState(EC_STATE_OPERATIONAL));
}

TEST(BusSdo, HostileSlaveRepliesFailAndTheNextTransferWorks) {
    // Small windows, so that a 40-byte text goes in segments.
    auto cfg = sim::ChainConfig::drives(1);
    cfg.slaves[0].mailboxOutSize = 32;
    cfg.slaves[0].mailboxInSize = 32;
    SimBus bus(cfg);
    ASSERT_TRUE(bus.bringUp());
    const std::vector<uint8_t> product = bus.chain->parameter(1, 36);
    const std::vector<uint8_t> text(40, 't');
    ASSERT_GT(sdoWrite(bus, 1, 0x2020, 0, text), 0);
    struct Case {
        sim::Misbehaviour m;
        uint16_t index;
        uint8_t sub;
        int capacity;
    };
    const Case cases[] = {
        {sim::Misbehaviour::OversizedUpload, kParamIndex, 37, 4},
        {sim::Misbehaviour::SegmentsBeyondSize, 0x2020, 0, 96},
        {sim::Misbehaviour::ShortMailboxLength, kParamIndex, 37, 4},
        {sim::Misbehaviour::Garbage, kParamIndex, 37, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.m));
        ASSERT_TRUE(bus.chain->setMailboxMisbehaviour(1, c.m));
        EXPECT_LE(sdoRead(bus, 1, c.index, c.sub, c.capacity), 0);
        EXPECT_FALSE(popErrors(bus.ctx()).empty());
        ASSERT_TRUE(bus.chain->setMailboxMisbehaviour(1, sim::Misbehaviour::None));
        std::vector<uint8_t> value;
        ASSERT_GT(sdoRead(bus, 1, kParamIndex, 37, 4, &value), 0);
        EXPECT_EQ(value, product);
        ASSERT_GT(sdoRead(bus, 1, 0x2020, 0, 96, &value), 0);
        EXPECT_EQ(value, text);
        popErrors(bus.ctx());
    }
}

TEST(BusSdo, UploadAnnouncingFourBytesAndSending200Fails) {
    auto cfg = sim::ChainConfig::drives(1);
    cfg.slaves[0].mailboxOutSize = 32;
    cfg.slaves[0].mailboxInSize = 224;
    SimBus bus(cfg);
    ASSERT_TRUE(bus.bringUp());
    ASSERT_TRUE(bus.chain->setMailboxMisbehaviour(1, sim::Misbehaviour::OversizedUpload));
    EXPECT_LE(sdoRead(bus, 1, kParamIndex, 37, 4), 0);
    const auto errors = popErrors(bus.ctx());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].ErrorCode, ec::kPacketOverrun);
    ASSERT_TRUE(bus.chain->setMailboxMisbehaviour(1, sim::Misbehaviour::None));
    std::vector<uint8_t> value;
    ASSERT_GT(sdoRead(bus, 1, kParamIndex, 37, 4, &value), 0);
    EXPECT_EQ(value, bus.chain->parameter(1, 36));
}

TEST(BusSdo, LostDuplicatedAndInterruptedRepliesAreSortedOut) {
    SimBus bus(sim::ChainConfig::drives(1));
    ASSERT_TRUE(bus.bringUp());
    std::vector<uint8_t> value;
    // Lost replies: the repeat request brings them, also in the middle of a segmented upload.
    ASSERT_TRUE(bus.chain->dropMailboxReplies(1, 1));
    ASSERT_GT(sdoRead(bus, 1, kParamIndex, 37, 4, &value), 0);
    EXPECT_EQ(value, bus.chain->parameter(1, 36));
    ASSERT_TRUE(bus.chain->dropMailboxReplies(1, 2));
    ASSERT_GT(sdoRead(bus, 1, 0x1008, 0, 64, &value), 0);
    EXPECT_EQ(std::string(value.begin(), value.end()), "QJ30 servo joint");
    // A duplicate is not the answer to the next request.
    ASSERT_TRUE(bus.chain->duplicateNextMailboxReply(1));
    ASSERT_GT(sdoRead(bus, 1, kParamIndex, 37, 4, &value), 0);
    ASSERT_GT(sdoRead(bus, 1, kParamIndex, 1, 2, &value), 0);
    EXPECT_EQ(value, bus.chain->parameter(1, 0));
    EXPECT_TRUE(popErrors(bus.ctx()).empty());
    // An emergency waiting in the mailbox is recorded, not taken for the reply.
    ASSERT_TRUE(bus.chain->sendEmergency(1, 0x2310, 0x01, {1, 2, 3, 4, 5}));
    ASSERT_GT(sdoRead(bus, 1, kParamIndex, 2, 2, &value), 0);
    EXPECT_EQ(value, bus.chain->parameter(1, 1));
    const auto errors = popErrors(bus.ctx());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].Etype, EC_ERR_TYPE_EMERGENCY);
    EXPECT_EQ(errors[0].ErrorCode, 0x2310);
    EXPECT_EQ(errors[0].ErrorReg, 0x01);
    EXPECT_EQ(errors[0].b1, 1);
}

TEST(BusSdo, TransfersOnTwoThreadsBesideTheCycleMissNoCycle) {
    constexpr int kDrives = 2;
    SimBus bus(sim::ChainConfig::drives(kDrives));
    ASSERT_TRUE(bus.bringUp());
    const int expectedWkc = bus.ctx()->grouplist[0].expectedWKC;
    std::atomic<bool> stop{false};
    std::atomic<int> cycles{0};
    std::atomic<int> badCycles{0};
    std::atomic<int64_t> slowestUs{0};
    std::thread cycle([&] {
        using clock = std::chrono::steady_clock;
        auto next = clock::now();
        while (!stop) {
            next += std::chrono::milliseconds(2);
            std::this_thread::sleep_until(next);
            const auto start = clock::now();
            ecx_send_processdata(bus.ctx());
            // Generous: what is checked is that every cycle gets its reply, not how fast.
            badCycles += ecx_receive_processdata(bus.ctx(), 100000) != expectedWkc;
            const auto us =
                std::chrono::duration_cast<std::chrono::microseconds>(clock::now() - start).count();
            slowestUs = std::max<int64_t>(slowestUs, us);
            ++cycles;
        }
    });
    // Failed writes, failed reads, values read back wrong.
    std::atomic<int> badWrites{0};
    std::atomic<int> badReads{0};
    std::atomic<int> wrongValues{0};
    std::atomic<int> transfers{0};
    auto sdoLoop = [&](uint16_t slave) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        uint8_t v = 0;
        while (std::chrono::steady_clock::now() < end) {
            const std::vector<uint8_t> value{++v};
            badWrites += sdoWrite(bus, slave, kParamIndex, 24, value) <= 0;  // pole pairs
            std::vector<uint8_t> back;
            badReads += sdoRead(bus, slave, kParamIndex, 24, 1, &back) <= 0;
            wrongValues += back != value;
            std::vector<uint8_t> name;
            badReads += sdoRead(bus, slave, 0x1008, 0, 64, &name) <= 0;
            wrongValues += name.size() != 16;
            transfers += 3;
            // The in-process link answers at once, where a wire takes tens of microseconds a
            // frame: without a pause, two threads polling mailboxes back to back would take both
            // cores of a loaded machine away from the cycle thread.
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    };
    std::thread first(sdoLoop, uint16_t{1});
    std::thread second(sdoLoop, uint16_t{2});
    first.join();
    second.join();
    stop = true;
    cycle.join();
    std::printf("cycles %d, SDO transfers %d, slowest cycle %lld us\n", cycles.load(),
                transfers.load(), static_cast<long long>(slowestUs.load()));
    EXPECT_GT(cycles, 100);
    EXPECT_GT(transfers, 30);
    EXPECT_EQ(badCycles, 0);
    EXPECT_EQ(badWrites, 0);
    EXPECT_EQ(badReads, 0);
    EXPECT_EQ(wrongValues, 0);
    for (const auto& e : popErrors(bus.ctx())) {
        ADD_FAILURE() << ec::errorText(e);
    }
}

TEST(BusSdo, BootstrapMailboxIsReadableFromTheSiiAfterBringUp) {
    SimBus bus(sim::ChainConfig::drives(2));
    ASSERT_TRUE(bus.bringUp());
    for (uint16_t n = 1; n <= 2; ++n) {
        EXPECT_EQ(bus.slave(n).eep_pdi, 1) << "handed to the PDI after configuration";
        const uint32_t rx = ecx_readeeprom(bus.ctx(), n, ec::kSiiBootRxMailbox, EC_TIMEOUTEEP);
        const uint32_t tx = ecx_readeeprom(bus.ctx(), n, ec::kSiiBootTxMailbox, EC_TIMEOUTEEP);
        EXPECT_EQ(rx, 0x1800u | 1024u << 16);
        EXPECT_EQ(tx, 0x1C00u | 1024u << 16);
        EXPECT_EQ(ecx_readeeprom(bus.ctx(), n, ec::kSiiProductCode, EC_TIMEOUTEEP),
                  bus.slave(n).eep_id);
    }
}

}  // namespace
