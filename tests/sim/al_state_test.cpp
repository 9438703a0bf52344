// The AL state machine: what the controller checks before each transition, how refusals are
// reported, and how the error is acknowledged.
#include <gtest/gtest.h>

#include "sim/sii.h"
#include "sim_master.h"

using namespace simtest;

namespace {

constexpr uint16_t kInit = ec::kAlStateInit;
constexpr uint16_t kPreOp = ec::kAlStatePreOp;
constexpr uint16_t kBoot = ec::kAlStateBoot;
constexpr uint16_t kSafeOp = ec::kAlStateSafeOp;
constexpr uint16_t kOp = ec::kAlStateOp;
constexpr uint16_t kErr = ec::kAlStateError;

struct AlTest : ::testing::Test {
    sim::Chain chain{sim::ChainConfig::drives(2)};
    const uint16_t st = station(1);

    void SetUp() override { assignStations(chain, 2); }

    // AL status and code as a master reads them (6 bytes at 0x0130).
    std::pair<uint16_t, uint16_t> status() {
        const Reply r = fprd(chain, st, ec::kRegAlStatus, 6);
        return {r.u16(0), r.u16(4)};
    }
    void expectStatus(uint16_t state, uint16_t code) {
        const auto [s, c] = status();
        EXPECT_EQ(s, state);
        EXPECT_EQ(c, code);
    }
};

TEST_F(AlTest, PowerOnRegisters) {
    expectStatus(kInit, 0);
    EXPECT_EQ(fprd(chain, st, ec::kRegWatchdogDivider, 2).u16(), 2498);
    EXPECT_EQ(fprd(chain, st, ec::kRegWatchdogSm, 2).u16(), 1000);
    EXPECT_EQ(fprd(chain, st, ec::kRegDcSpeedStart, 2).u16(), 0x1000);
    EXPECT_EQ(fprd(chain, st, ec::kRegPdiControl, 2).u16(), 0x0C05);
    EXPECT_EQ(fprd(chain, st, ec::kRegPortDescriptor, 1).data[0], 0x0F);
    EXPECT_EQ(fprd(chain, station(1), ec::kRegDlStatus, 2).u16(), 0x5A33) << "middle of the line";
    EXPECT_EQ(fprd(chain, station(2), ec::kRegDlStatus, 2).u16(), 0x5613) << "end of the line";
}

TEST_F(AlTest, PreOpNeedsTheMailboxSyncManagersOfTheEeprom) {
    requestState(chain, st, kPreOp);
    expectStatus(kInit | kErr, ec::kAlInvalidMailboxPreOp);

    // Wrong length on SM0.
    requestState(chain, st, kInit | kErr);
    expectStatus(kInit, 0);
    fpwr(chain, st, ec::kRegSm0, smBytes(0x1000, 0x40, ec::kSmFlagsMailboxOut));
    fpwr(chain, st, ec::kRegSm0 + 8, smBytes(0x1080, 0x80, ec::kSmFlagsMailboxIn));
    requestState(chain, st, kPreOp);
    expectStatus(kInit | kErr, ec::kAlInvalidMailboxPreOp);

    // SM1 disabled. (A window can only move while its SyncManager is off.)
    requestState(chain, st, kInit | kErr);
    bwr(chain, ec::kRegSm0, zeros(16));
    fpwr(chain, st, ec::kRegSm0, smBytes(0x1000, 0x80, ec::kSmFlagsMailboxOut));
    fpwr(chain, st, ec::kRegSm0 + 8, smBytes(0x1080, 0x80, 0x00000022));
    requestState(chain, st, kPreOp);
    expectStatus(kInit | kErr, ec::kAlInvalidMailboxPreOp);

    requestState(chain, st, kInit | kErr);
    bwr(chain, ec::kRegSm0, zeros(16));
    writeMailboxSms(chain, st);
    requestState(chain, st, kPreOp);
    expectStatus(kPreOp, 0);
}

TEST_F(AlTest, SyncManagerWindowIsFixedWhileActive) {
    writeMailboxSms(chain, st);
    requestState(chain, st, kPreOp);
    fpwr(chain, st, ec::kRegSm0, smBytes(0x1200, 0x20, ec::kSmFlagsMailboxOut));
    EXPECT_EQ(fprd(chain, st, ec::kRegSm0, 4).u32(), 0x00801000u);
    // Disabled by the master, the window can move.
    fpwr(chain, st, ec::kRegSm0 + ec::kSmActivate, {0x00});
    fpwr(chain, st, ec::kRegSm0, smBytes(0x1200, 0x20, ec::kSmFlagsMailboxOut));
    EXPECT_EQ(fprd(chain, st, ec::kRegSm0, 4).u32(), 0x00201200u);

    // In INIT the firmware has deactivated the mailbox: a plain rewrite moves it (the bootstrap
    // procedure relies on that).
    writeMailboxSms(chain, st);
    requestState(chain, st, kInit);
    fpwr(chain, st, ec::kRegSm0, smBytes(0x1800, 0x400, ec::kSmFlagsMailboxOut));
    EXPECT_EQ(fprd(chain, st, ec::kRegSm0, 4).u32(), 0x04001800u);
}

TEST_F(AlTest, InvalidAndUnknownTransitions) {
    struct Case {
        uint16_t request;
        uint16_t code;
    };
    for (const Case c :
         {Case{kSafeOp, ec::kAlInvalidStateChange}, Case{kOp, ec::kAlInvalidStateChange},
          Case{5, ec::kAlUnknownState}, Case{0x0F, ec::kAlUnknownState}}) {
        requestState(chain, st, c.request);
        expectStatus(kInit | kErr, c.code);
        requestState(chain, st, kInit | kErr);
        expectStatus(kInit, 0);
    }
    writeMailboxSms(chain, st);
    requestState(chain, st, kPreOp);
    for (const Case c :
         {Case{kOp, ec::kAlInvalidStateChange}, Case{kBoot, ec::kAlInvalidStateChange}}) {
        requestState(chain, st, c.request);
        expectStatus(kPreOp | kErr, c.code);
        requestState(chain, st, kPreOp | kErr);
        expectStatus(kPreOp, 0);
    }
}

TEST_F(AlTest, SafeOpChecksTheProcessDataSyncManagers) {
    writeMailboxSms(chain, st);
    requestState(chain, st, kPreOp);

    struct Case {
        const char* what;
        std::vector<uint8_t> sm2, sm3;
        uint16_t code;
    };
    const std::vector<Case> cases{
        {"no outputs", smBytes(0x1100, 0, 0), smBytes(0x1400, 32, 0x00010020),
         ec::kAlInvalidOutputConfig},
        {"outputs too short", smBytes(0x1100, 16, 0x00010064), smBytes(0x1400, 32, 0x00010020),
         ec::kAlInvalidOutputConfig},
        {"outputs in the wrong direction", smBytes(0x1100, 18, 0x00010060),
         smBytes(0x1400, 32, 0x00010020), ec::kAlInvalidOutputConfig},
        {"outputs as mailbox", smBytes(0x1100, 18, 0x00010066), smBytes(0x1400, 32, 0x00010020),
         ec::kAlInvalidOutputConfig},
        {"inputs too long", smBytes(0x1100, 18, 0x00010064), smBytes(0x1400, 40, 0x00010020),
         ec::kAlInvalidInputConfig},
        {"inputs disabled", smBytes(0x1100, 18, 0x00010064), smBytes(0x1400, 32, 0x00000020),
         ec::kAlInvalidInputConfig},
        {"inputs in the outputs' buffers", smBytes(0x1100, 18, 0x00010064),
         smBytes(0x1120, 32, 0x00010020), ec::kAlInvalidSmConfig},
        {"outputs over the mailbox", smBytes(0x1070, 18, 0x00010064),
         smBytes(0x1400, 32, 0x00010020), ec::kAlInvalidSmConfig},
    };
    for (const auto& c : cases) {
        // Disable first so the window may change.
        fpwr(chain, st, ec::kRegSm0 + 16, smBytes(0, 0, 0));
        fpwr(chain, st, ec::kRegSm0 + 24, smBytes(0, 0, 0));
        fpwr(chain, st, ec::kRegSm0 + 16, c.sm2);
        fpwr(chain, st, ec::kRegSm0 + 24, c.sm3);
        requestState(chain, st, kSafeOp);
        expectStatus(kPreOp | kErr, c.code);
        SCOPED_TRACE(c.what);
        requestState(chain, st, kPreOp | kErr);
    }
    fpwr(chain, st, ec::kRegSm0 + 16, smBytes(0, 0, 0));
    fpwr(chain, st, ec::kRegSm0 + 24, smBytes(0, 0, 0));
    writeProcessDataConfig(chain, 1, 2);
    // An FMMU writing into the inputs.
    fpwr(chain, st, ec::kRegFmmu0 + 32, fmmuBytes(0x100, 4, 0x1408, ec::kFmmuTypeWrite));
    requestState(chain, st, kSafeOp);
    expectStatus(kPreOp | kErr, ec::kAlInvalidInputFmmu);
    requestState(chain, st, kPreOp | kErr);
    fpwr(chain, st, ec::kRegFmmu0 + 32, zeros(16));
    // FMMUs themselves are not required yet: a master may program them after SAFE-OP.
    fpwr(chain, st, ec::kRegFmmu0, zeros(32));
    requestState(chain, st, kSafeOp);
    expectStatus(kSafeOp, 0);
    writeProcessDataConfig(chain, 1, 2);
    requestState(chain, st, kOp);
    expectStatus(kOp, 0);
}

TEST_F(AlTest, ErrorIndicationBlocksRequestsUntilAcknowledged) {
    requestState(chain, st, kOp);
    expectStatus(kInit | kErr, ec::kAlInvalidStateChange);
    writeMailboxSms(chain, st);
    requestState(chain, st, kPreOp);  // no ack: ignored
    expectStatus(kInit | kErr, ec::kAlInvalidStateChange);
    requestState(chain, st, kPreOp | kErr);  // ack and request together
    expectStatus(kPreOp, 0);

    requestState(chain, st, kBoot);
    expectStatus(kPreOp | kErr, ec::kAlInvalidStateChange);
    requestState(chain, st, kInit);  // INIT is served even without ack
    EXPECT_EQ(status().first & ec::kAlStateMask, kInit);
}

TEST_F(AlTest, BootNeedsTheBootstrapMailbox) {
    writeMailboxSms(chain, st);
    requestState(chain, st, kBoot);
    expectStatus(kInit | kErr, ec::kAlInvalidMailboxBoot);
    requestState(chain, st, kInit | kErr);

    fpwr(chain, st, ec::kRegSm0 + ec::kSmActivate, {0});
    fpwr(chain, st, ec::kRegSm0 + 8 + ec::kSmActivate, {0});
    fpwr(chain, st, ec::kRegSm0,
         smBytes(sim::layout::kBootOutStart, sim::layout::kBootOutSize, ec::kSmFlagsMailboxOut));
    fpwr(chain, st, ec::kRegSm0 + 8,
         smBytes(sim::layout::kBootInStart, sim::layout::kBootInSize, ec::kSmFlagsMailboxIn));
    requestState(chain, st, kBoot);
    expectStatus(kBoot, 0);
    requestState(chain, st, kSafeOp);
    expectStatus(kBoot | kErr, ec::kAlInvalidStateChange);
    requestState(chain, st, kInit | kErr);
    expectStatus(kInit, 0);
}

TEST(AlCoupler, CouplerWalksWithoutSyncManagersAndHasNoBootloader) {
    sim::ChainConfig cfg;
    cfg.slaves.push_back(sim::SlaveConfig::coupler());
    sim::Chain chain(cfg);
    assignStations(chain, 1);
    const uint16_t st = station(1);
    for (uint16_t s : {kPreOp, kSafeOp, kOp}) {
        requestState(chain, st, s);
        EXPECT_EQ(alStatus(chain, st), s);
    }
    requestState(chain, st, kInit);
    requestState(chain, st, kBoot);
    EXPECT_EQ(alStatus(chain, st), kInit | kErr);
    EXPECT_EQ(fprd(chain, st, ec::kRegAlStatusCode, 2).u16(), ec::kAlBootstrapNotSupported);
    EXPECT_EQ(fprd(chain, st, ec::kRegFeatures, 2).u16() & ec::kFeatureDc, 0);
}

TEST_F(AlTest, RefusedStateAndForcedErrorAreAcknowledged) {
    bringUp(chain, 2, kSafeOp);
    chain.refuseState(1, kOp, ec::kAlNoSyncError);
    requestState(chain, st, kOp);
    expectStatus(kSafeOp | kErr, ec::kAlNoSyncError);
    EXPECT_EQ(chain.alState(2), kSafeOp) << "only slave 1 refuses";

    chain.acceptState(1, kOp);
    requestState(chain, st, kSafeOp | kErr);  // acknowledging the current state
    expectStatus(kSafeOp, 0);
    requestState(chain, st, kOp);
    expectStatus(kOp, 0);

    chain.forceSafeOpError(1, ec::kAlSyncError);
    expectStatus(kSafeOp | kErr, ec::kAlSyncError);
    requestState(chain, st, kOp);  // no ack: ignored
    expectStatus(kSafeOp | kErr, ec::kAlSyncError);
    requestState(chain, st, kSafeOp | kErr);
    requestState(chain, st, kOp);
    expectStatus(kOp, 0);
}

TEST_F(AlTest, ForcedErrorBelowSafeOpKeepsTheState) {
    bringUp(chain, 2, kPreOp);
    chain.forceSafeOpError(1, ec::kAlInvalidOutputMapping);
    expectStatus(kPreOp | kErr, ec::kAlInvalidOutputMapping);
}

TEST_F(AlTest, RefusalInOpDropsToSafeOp) {
    bringUp(chain, 2, kOp);
    requestState(chain, st, kBoot);
    expectStatus(kSafeOp | kErr, ec::kAlInvalidStateChange);
}

TEST_F(AlTest, GoingBackDownIsAlwaysAllowed) {
    for (uint16_t from : {kPreOp, kSafeOp, kOp}) {
        for (uint16_t to : {kInit, kPreOp, kSafeOp}) {
            if (to >= from)
                continue;
            bringUp(chain, 2, from);
            requestState(chain, st, to);
            EXPECT_EQ(alStatus(chain, st), to) << from << " -> " << to;
            requestState(chain, st, kInit);
        }
    }
}

TEST_F(AlTest, BroadcastStateRequestAndOrOfStates) {
    bringUp(chain, 2, kPreOp);
    chain.refuseState(2, kSafeOp, ec::kAlInvalidInputMapping);
    for (int n = 1; n <= 2; ++n)
        writeProcessDataConfig(chain, n, 2);
    EXPECT_EQ(bwr(chain, ec::kRegAlControl, le16(kSafeOp)).wkc, 2);
    const Reply r = brd(chain, ec::kRegAlStatus, 2);
    EXPECT_EQ(r.wkc, 2);
    EXPECT_EQ(r.u16(), kSafeOp | kPreOp | kErr);
    EXPECT_EQ(chain.alStatusCode(2), ec::kAlInvalidInputMapping);
}

TEST(AlDelay, DelayedTransitionShowsOnlyAfterItsTime) {
    auto clock = std::make_shared<sim::ManualClock>();
    auto cfg = sim::ChainConfig::drives(1);
    cfg.clock = clock;
    cfg.slaves[0].alTransitionDelayNs = 5'000'000;
    sim::Chain chain(cfg);
    assignStations(chain, 1);
    writeMailboxSms(chain, station(1));
    requestState(chain, station(1), kPreOp);
    EXPECT_EQ(alStatus(chain, station(1)), kInit);
    clock->advance(4'000'000);
    EXPECT_EQ(alStatus(chain, station(1)), kInit);
    clock->advance(1'000'000);
    EXPECT_EQ(alStatus(chain, station(1)), kPreOp);
}

}  // namespace
