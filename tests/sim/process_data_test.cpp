// Process data through FMMUs and SyncManagers, the mailbox SyncManagers, the SM watchdog and the
// CiA 402 drive behind them.
#include <gtest/gtest.h>

#include "model/processdata.h"
#include "sim/cia402_drive.h"
#include "sim_master.h"

using namespace simtest;

namespace {

constexpr int kOut = kDriveOutputBytes;
constexpr int kIn = kDriveInputBytes;

struct PdTest : ::testing::Test {
    std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
    int drives = 3;
    std::unique_ptr<sim::Chain> chain;
    std::vector<uint8_t> image;

    void SetUp() override {
        buildChain(sim::ChainConfig::drives(drives));
        image.assign(static_cast<size_t>(drives) * (kOut + kIn), 0);
    }
    // The chain under test, on the fixture's clock.
    void buildChain(sim::ChainConfig cfg) {
        cfg.clock = clock;
        chain = std::make_unique<sim::Chain>(cfg);
    }
    uint8_t* outputs(int position) { return &image[static_cast<size_t>(kOut * (position - 1))]; }
    // The record is packed: assertions take its fields by value (unary +), never by reference.
    TCiA402_GetValue inputs(const Exchange& x, int position) {
        return decodeInputImage(
            &x.image[static_cast<size_t>(kOut * drives + kIn * (position - 1))]);
    }
    // One 2 ms cycle.
    Exchange cycle() {
        clock->advance(2'000'000);
        return lrw(*chain, image);
    }
    void setControlWord(int position, uint16_t cw) {
        storeLe16(outputs(position) + kOutControlWord, cw);
    }
};

TEST_F(PdTest, NoProcessDataBeforeSafeOp) {
    bringUp(*chain, drives, ec::kAlStatePreOp);
    for (int n = 1; n <= drives; ++n)
        writeProcessDataConfig(*chain, n, drives);
    EXPECT_EQ(cycle().wkc, 0);
}

TEST_F(PdTest, SafeOpExchangesButDoesNotApplyOutputs) {
    bringUp(*chain, drives, ec::kAlStateSafeOp);
    storeLe16(outputs(1) + kOutMode, 9);
    Exchange x = cycle();
    EXPECT_EQ(x.wkc, 3 * drives);
    x = cycle();
    EXPECT_EQ(+inputs(x, 1).statusWord, 0x0250);
    EXPECT_EQ(+inputs(x, 1).modeDisplay, 0) << "outputs are not applied in SAFE-OP";
}

TEST_F(PdTest, OpExchangesImagesOfEveryDrive) {
    bringUp(*chain, drives, ec::kAlStateOp);
    for (int n = 1; n <= drives; ++n) {
        storeLe16(outputs(n) + kOutMode, static_cast<uint16_t>(8 + n));
        storeLe32(outputs(n) + kOutTargetVelocity, 1000u * n);
    }
    Exchange x = cycle();
    EXPECT_EQ(x.wkc, 3 * drives);
    // The outputs landed in each drive's SM2 buffer.
    for (int n = 1; n <= drives; ++n)
        EXPECT_EQ(chain->readRegisters(n, 0x1100, kOut),
                  std::vector<uint8_t>(outputs(n), outputs(n) + kOut));
    // Outputs of this cycle show in the inputs of the next.
    EXPECT_EQ(+inputs(x, 2).modeDisplay, 0);
    x = cycle();
    for (int n = 1; n <= drives; ++n) {
        const auto v = inputs(x, n);
        EXPECT_EQ(+v.statusWord, 0x0250);
        EXPECT_EQ(+v.modeDisplay, 8 + n);
        EXPECT_GE(+v.busVoltage, 47u);
        EXPECT_LE(+v.busVoltage, 49u);
        EXPECT_EQ(+v.mcuTemp, 38);
        EXPECT_EQ(+v.mosTemp, 35);
        EXPECT_EQ(+v.motorTemp, 25) << "a cold motor sits at ambient";
        EXPECT_EQ(+v.velocity, 0) << "not enabled";
    }
    // The output part of the frame comes back as sent.
    EXPECT_EQ(std::vector<uint8_t>(x.image.begin(), x.image.begin() + kOut * drives),
              std::vector<uint8_t>(image.begin(), image.begin() + kOut * drives));
}

TEST_F(PdTest, OutputsStatusTellsTheLastWrittenBuffer) {
    bringUp(*chain, drives, ec::kAlStateOp);
    auto lastBuffer = [&] { return (fprd(*chain, station(1), 0x0815, 1).data[0] >> 4) & 3; };
    EXPECT_EQ(lastBuffer(), 3) << "none yet";
    for (int i = 0; i < 4; ++i) {
        cycle();
        EXPECT_EQ(lastBuffer(), i % 3);
    }
}

TEST_F(PdTest, SeparateReadAndWriteCountOncePerSlave) {
    bringUp(*chain, drives, ec::kAlStateOp);
    Frame f;
    const size_t w = f.addLogical(Command::LWR, 0, zeros(kOut * drives));
    const size_t r = f.addLogical(Command::LRD, kOut * drives, zeros(kIn * drives));
    const size_t both = f.addLogical(Command::LRD, 0, zeros((kOut + kIn) * drives));
    const size_t none = f.addLogical(Command::LRW, 0x10000, zeros(8));
    ASSERT_TRUE(f.run(*chain));
    EXPECT_EQ(f.wkc(w), drives);
    EXPECT_EQ(f.wkc(r), drives);
    EXPECT_EQ(f.wkc(both), drives) << "the write FMMUs do not take part in a read";
    EXPECT_EQ(f.wkc(none), 0);
    EXPECT_EQ(f.u16(r), 0x0250);
}

TEST_F(PdTest, PartialLogicalWindowsAndBitFmmus) {
    bringUp(*chain, drives, ec::kAlStateOp);
    // Only the inputs of drive 2.
    Frame f;
    const size_t r = f.addLogical(Command::LRD, kOut * drives + kIn, zeros(2));
    ASSERT_TRUE(f.run(*chain));
    EXPECT_EQ(f.wkc(r), 1);
    EXPECT_EQ(f.u16(r), 0x0250);

    // A bit-wise FMMU: logical 0x8000.2-0x8000.5 onto SM-free RAM 0x1800 bits 4..7.
    std::vector<uint8_t> fmmu(16, 0);
    sim::wr32(&fmmu[0], 0x8000);
    sim::wr16(&fmmu[4], 1);
    fmmu[6] = 2;
    fmmu[7] = 5;
    sim::wr16(&fmmu[8], 0x1800);
    fmmu[10] = 4;
    fmmu[11] = ec::kFmmuTypeRead | ec::kFmmuTypeWrite;
    fmmu[12] = 1;
    fpwr(*chain, station(1), ec::kRegFmmu0 + 32, fmmu);
    const Reply w = single(*chain, Command::LWR, 0x8000, 0, {0xFF});
    EXPECT_EQ(w.wkc, 1);
    EXPECT_EQ(chain->readRegisters(1, 0x1800, 1)[0], 0xF0);
    fpwr(*chain, station(1), 0x1800, {0x50});  // bits 4 and 6
    const Reply rd = single(*chain, Command::LRD, 0x8000, 0, {0x83});
    EXPECT_EQ(rd.wkc, 1);
    EXPECT_EQ(rd.data[0], 0x97) << "bits 2 and 4 from memory, 0, 1 and 7 passed through";
}

TEST_F(PdTest, InactiveFmmuIsIgnored) {
    bringUp(*chain, drives, ec::kAlStateOp);
    fpwr(*chain, station(2), ec::kRegFmmu0 + 12, {0x00});
    fpwr(*chain, station(2), ec::kRegFmmu0 + 16 + 12, {0x00});
    EXPECT_EQ(cycle().wkc, 3 * (drives - 1));
}

TEST_F(PdTest, WatchdogStopsOutputsWhenProcessDataStops) {
    bringUp(*chain, drives, ec::kAlStateOp);
    for (uint16_t cw : {0x06, 0x07, 0x0F}) {
        setControlWord(1, cw);
        cycle();
    }
    EXPECT_EQ(+inputs(cycle(), 1).statusWord, 0x0237);

    // 100 ms default: 1000 x (2498 + 2) x 40 ns. Below it nothing happens.
    clock->advance(99'000'000);
    chain->poll();
    EXPECT_EQ(chain->alState(1), ec::kAlStateOp);
    clock->advance(2'000'000);
    chain->poll();
    EXPECT_EQ(chain->alState(1), ec::kAlStateSafeOp | ec::kAlStateError);
    EXPECT_EQ(chain->alStatusCode(1), ec::kAlSmWatchdog);
    EXPECT_EQ(chain->readRegisters(1, ec::kRegWatchdogSmStatus, 1)[0] & 1, 0) << "expired";

    // Every drive went without outputs equally long. SM2 stays off until the error is
    // acknowledged: only the inputs count.
    EXPECT_EQ(chain->alState(2), ec::kAlStateSafeOp | ec::kAlStateError);
    const Exchange x = lrw(*chain, image);
    EXPECT_EQ(x.wkc, 1 * drives);
    EXPECT_EQ(+inputs(x, 1).statusWord, 0x0250) << "drive disabled itself";

    for (int n = 1; n <= drives; ++n) {
        requestState(*chain, station(n), ec::kAlStateSafeOp | ec::kAlStateAck);
        requestState(*chain, station(n), ec::kAlStateOp);
    }
    EXPECT_EQ(cycle().wkc, 3 * drives);
    EXPECT_EQ(chain->alState(1), ec::kAlStateOp);
}

TEST_F(PdTest, ErrorOutOfOpStopsOutputsUntilAcknowledged) {
    bringUp(*chain, drives, ec::kAlStateOp);
    EXPECT_EQ(cycle().wkc, 3 * drives);
    chain->forceSafeOpError(2, 0x1B);
    EXPECT_EQ(cycle().wkc, 3 * drives - 2) << "drive 2 reads its inputs, takes no outputs";
    requestState(*chain, station(2), ec::kAlStateOp);  // no acknowledge: ignored
    EXPECT_EQ(cycle().wkc, 3 * drives - 2);
    requestState(*chain, station(2), ec::kAlStateSafeOp | ec::kAlStateAck);
    requestState(*chain, station(2), ec::kAlStateOp);
    EXPECT_EQ(cycle().wkc, 3 * drives);
}

TEST_F(PdTest, WatchdogInSafeOpOnlyMarksExpiry) {
    bringUp(*chain, drives, ec::kAlStateSafeOp);
    clock->advance(150'000'000);
    chain->poll();
    EXPECT_EQ(chain->alState(1), ec::kAlStateSafeOp);
    EXPECT_EQ(chain->readRegisters(1, ec::kRegWatchdogSmStatus, 1)[0] & 1, 0);
    cycle();
    EXPECT_EQ(chain->readRegisters(1, ec::kRegWatchdogSmStatus, 1)[0] & 1, 1) << "retriggered";
}

TEST_F(PdTest, WatchdogCanBeSwitchedOff) {
    bringUp(*chain, drives, ec::kAlStateOp);
    bwr(*chain, ec::kRegWatchdogSm, le16(0));
    clock->advance(10'000'000'000);
    chain->poll();
    EXPECT_EQ(chain->alState(1), ec::kAlStateOp);
}

// A drive configured with a longer watchdog: the register starts with it, and it holds.
TEST_F(PdTest, WatchdogTimeComesFromTheConfiguration) {
    auto cfg = sim::ChainConfig::drives(drives);
    for (auto& slave : cfg.slaves)
        slave.smWatchdogTicks = 20000;  // 2 s
    buildChain(cfg);
    bringUp(*chain, drives, ec::kAlStateOp);
    EXPECT_EQ(fprd(*chain, station(1), ec::kRegWatchdogSm, 2).u16(), 20000);
    cycle();
    clock->advance(1'900'000'000);
    chain->poll();
    EXPECT_EQ(chain->alState(1), ec::kAlStateOp);
    clock->advance(200'000'000);
    chain->poll();
    EXPECT_EQ(chain->alState(1), ec::kAlStateSafeOp | ec::kAlStateError);
    EXPECT_EQ(chain->alStatusCode(1), ec::kAlSmWatchdog);
}

// --- CiA 402 ------------------------------------------------------------------------------------

struct Cia402Case {
    const char* name;
    std::vector<uint16_t> controlWords;
    uint16_t statusWord;
};

class Cia402Table : public ::testing::TestWithParam<Cia402Case> {};

TEST_P(Cia402Table, ControlWordSequenceEndsInStatusWord) {
    sim::Cia402Drive drive;
    EXPECT_EQ(drive.statusWord(), 0x0250);
    for (uint16_t cw : GetParam().controlWords)
        drive.applyControlWord(cw);
    EXPECT_EQ(drive.statusWord(), GetParam().statusWord);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Cia402Table,
    ::testing::Values(Cia402Case{"idle", {0x00}, 0x0250}, Cia402Case{"shutdown", {0x06}, 0x0231},
                      Cia402Case{"switch_on", {0x06, 0x07}, 0x0233},
                      Cia402Case{"enable", {0x06, 0x07, 0x0F}, 0x0237},
                      Cia402Case{"enable_from_ready", {0x06, 0x0F}, 0x0237},
                      Cia402Case{"switch_on_needs_ready", {0x07}, 0x0250},
                      Cia402Case{"enable_needs_ready", {0x0F}, 0x0250},
                      Cia402Case{"disable_operation", {0x06, 0x0F, 0x07}, 0x0233},
                      Cia402Case{"shutdown_from_enabled", {0x06, 0x0F, 0x06}, 0x0231},
                      Cia402Case{"disable_voltage_from_enabled", {0x06, 0x0F, 0x00}, 0x0250},
                      Cia402Case{"quick_stop", {0x06, 0x0F, 0x02}, 0x0217},
                      Cia402Case{"quick_stop_back_to_enabled", {0x06, 0x0F, 0x02, 0x0F}, 0x0237},
                      Cia402Case{
                          "quick_stop_then_disable_voltage", {0x06, 0x0F, 0x02, 0x00}, 0x0250},
                      Cia402Case{"quick_stop_from_ready", {0x06, 0x02}, 0x0250},
                      Cia402Case{"quick_stop_from_switched_on", {0x06, 0x07, 0x0B}, 0x0250},
                      Cia402Case{"fault_reset_bit_blocks_shutdown", {0x86}, 0x0250},
                      Cia402Case{"halt_bit_does_not_matter", {0x106, 0x107, 0x10F}, 0x0237}),
    [](const ::testing::TestParamInfo<Cia402Case>& p) { return std::string(p.param.name); });

TEST(Cia402Fault, FaultNeedsARisingEdgeOfBit7) {
    sim::Cia402Drive drive;
    drive.applyControlWord(0x06);
    drive.injectFault(0x1, 0x0);
    EXPECT_EQ(drive.statusWord(), 0x021F) << "fault reaction active";
    drive.applyControlWord(0x80);
    EXPECT_EQ(drive.statusWord(), 0x0218) << "reaction done: fault";
    drive.applyControlWord(0x80);
    EXPECT_EQ(drive.statusWord(), 0x0218) << "bit 7 held high is no edge";
    drive.applyControlWord(0x00);
    drive.applyControlWord(0x0F);
    EXPECT_EQ(drive.statusWord(), 0x0218) << "enable does not leave fault";
    drive.applyControlWord(0x80);
    EXPECT_EQ(drive.statusWord(), 0x0250);
}

TEST_F(PdTest, DriveFollowsControlWordsCycleByCycle) {
    bringUp(*chain, drives, ec::kAlStateOp);
    storeLe16(outputs(2) + kOutMode, 9);
    storeLe32(outputs(2) + kOutTargetVelocity, 10'000'000);  // 1 turn/s
    const std::vector<std::pair<uint16_t, uint16_t>> steps{{0x06, 0x0231}, {0x07, 0x0233},
                                                           {0x0F, 0x0237}, {0x0F, 0x0237},
                                                           {0x02, 0x0217}, {0x00, 0x0250}};
    cycle();
    for (const auto& [cw, sw] : steps) {
        setControlWord(2, cw);
        cycle();
        const auto v = inputs(cycle(), 2);
        EXPECT_EQ(+v.statusWord, sw) << std::hex << cw;
        EXPECT_EQ(+inputs(lrw(*chain, image), 1).statusWord, 0x0250) << "drive 1 untouched";
    }
    // While enabled the axis turned at the commanded speed.
    EXPECT_GT(+inputs(lrw(*chain, image), 2).position, 0);

    // A fault reaches the master and is reset by an edge of bit 7.
    chain->drive(3)->injectFault(0x4, 0x8);
    Exchange x = cycle();
    x = cycle();
    EXPECT_EQ(+inputs(x, 3).statusWord, 0x0218);
    EXPECT_EQ(+inputs(x, 3).errorWord, 0x4u);
    EXPECT_EQ(+inputs(x, 3).drvErrorWord, 0x8u);
    setControlWord(3, 0x80);
    cycle();
    x = cycle();
    EXPECT_EQ(+inputs(x, 3).statusWord, 0x0250);
    EXPECT_EQ(+inputs(x, 3).errorWord, 0u);
}

TEST_F(PdTest, LeavingOpDisablesTheDrive) {
    bringUp(*chain, drives, ec::kAlStateOp);
    for (uint16_t cw : {0x06, 0x0F}) {
        setControlWord(1, cw);
        cycle();
    }
    EXPECT_EQ(chain->drive(1)->statusWord(), 0x0237);
    requestState(*chain, station(1), ec::kAlStateSafeOp);
    EXPECT_EQ(chain->drive(1)->statusWord(), 0x0250);
}

// --- mailbox SyncManagers ----------------------------------------------------------------------

struct MailboxTest : ::testing::Test {
    sim::Chain chain{sim::ChainConfig::drives(1)};
    const uint16_t st = station(1);
    void SetUp() override { bringUp(chain, 1, ec::kAlStatePreOp); }
    static std::vector<uint8_t> coeRequest(uint8_t counter) {
        std::vector<uint8_t> m(0x80, 0);
        m[0] = 10;
        m[5] = static_cast<uint8_t>(ec::kMbxTypeCoE | (counter << 4));
        m[6] = 0x00;
        m[7] = 0x20;  // SDO request
        m[8] = 0x40;
        sim::wr16(&m[9], 0x1000);
        return m;
    }
    bool sm1Full() { return fprd(chain, st, 0x080D, 1).data[0] & ec::kSmStatusMailboxFull; }
};

TEST_F(MailboxTest, WriteIsBlockedWhileFullAndReadWhileEmpty) {
    EXPECT_EQ(fprd(chain, st, 0x1080, 0x80).wkc, 0) << "nothing to read yet";

    Frame f;
    const size_t first = f.add(Command::FPWR, st, 0x1000, coeRequest(1));
    const size_t second = f.add(Command::FPWR, st, 0x1000, coeRequest(2));
    ASSERT_TRUE(f.run(chain));
    EXPECT_EQ(f.wkc(first), 1);
    EXPECT_EQ(f.wkc(second), 0) << "mailbox full until the firmware takes the message";
    EXPECT_EQ(fprd(chain, st, 0x0805, 1).data[0] & ec::kSmStatusMailboxFull, 0)
        << "taken after the frame";

    ASSERT_TRUE(sm1Full());
    const Reply r = fprd(chain, st, 0x1080, 0x80);
    EXPECT_EQ(r.wkc, 1);
    EXPECT_EQ(r.data[5] & 0x0F, ec::kMbxTypeCoE);
    EXPECT_EQ(r.data[8], 0x43) << "expedited upload of the device type";
    EXPECT_EQ(r.u32(12), 0x00020192u);
    EXPECT_FALSE(sm1Full());
    EXPECT_EQ(fprd(chain, st, 0x1080, 0x80).wkc, 0);
}

TEST_F(MailboxTest, RepeatRequestPresentsTheLastMessageAgain) {
    fpwr(chain, st, 0x1000, coeRequest(1));
    const Reply first = fprd(chain, st, 0x1080, 0x80);
    ASSERT_EQ(first.wkc, 1);
    // Toggle the repeat bit (activate bit 1) with the 2-byte write at 0x080D.
    const uint8_t activate = fprd(chain, st, 0x080E, 1).data[0];
    fpwr(chain, st, 0x080D, {0x00, static_cast<uint8_t>(activate ^ ec::kSmActivateRepeat)});
    EXPECT_EQ(fprd(chain, st, 0x080F, 1).data[0] & ec::kSmPdiRepeatAck,
              (activate ^ ec::kSmActivateRepeat) & ec::kSmActivateRepeat);
    EXPECT_TRUE(sm1Full());
    const Reply again = fprd(chain, st, 0x1080, 0x80);
    EXPECT_EQ(again.wkc, 1);
    EXPECT_EQ(again.data, first.data);
}

TEST_F(MailboxTest, MailboxIsClosedInInit) {
    requestState(chain, st, ec::kAlStateInit);
    EXPECT_EQ(fpwr(chain, st, 0x1000, coeRequest(1)).wkc, 0);
    EXPECT_EQ(fprd(chain, st, 0x0807, 1).data[0] & 0x01, 1) << "deactivated by the PDI";
}

}  // namespace

// --- Firmware quirks a test or the standalone simulator can configure ------------------------

TEST(Cia402Quirks, FaultedPowerUpRefusedStepAndIgnoredMode) {
    auto cfg = sim::ChainConfig::drives(3);
    cfg.slaves[0].powerUpFaultWord = 0x0040;
    cfg.slaves[1].ignoredControlWords = {0x000F};
    cfg.slaves[2].ignoresMode = true;
    sim::Chain chain(cfg);

    sim::Cia402Drive& faulted = *chain.drive(1);
    EXPECT_EQ(faulted.statusWord(), 0x0218) << "powers up in Fault";
    faulted.applyControlWord(0x80);
    EXPECT_EQ(faulted.statusWord(), 0x0250) << "a fault reset clears it";

    sim::Cia402Drive& stubborn = *chain.drive(2);
    for (uint16_t cw : {0x06, 0x07, 0x0F}) {
        stubborn.applyControlWord(cw);
    }
    EXPECT_EQ(stubborn.statusWord(), 0x0233) << "stays switched on: enable is refused";
    stubborn.applyControlWord(0x06);
    EXPECT_EQ(stubborn.statusWord(), 0x0231) << "other steps still work";

    std::vector<uint8_t> outputs(kDriveOutputBytes, 0);
    storeLe16(outputs.data() + kOutMode, 9);
    chain.drive(3)->onOutputs(2, outputs, true);
    chain.drive(1)->onOutputs(2, outputs, true);
    EXPECT_EQ(chain.drive(3)->modeDisplay(), 0) << "the mode field is ignored";
    EXPECT_EQ(chain.drive(1)->modeDisplay(), 9);
}
