// The CiA 402 drive as a master sees it in the process image, and the simulator's command lines.
#include <cmath>
#include <fstream>
#include <functional>
#include <sstream>

#include "model/scaling.h"
#include "sim/cia402_drive.h"
#include "sim/commands.h"
#include "sim/joint_model.h"
#include "sim_fixture.h"

using namespace simtest;

namespace {

TEST(Cia402, ControlWordSequencesAndFaultReset) {
    // Control words in turn (f: a fault, i: outputs invalid), then the status; reset: bit 7 rising.
    for (const std::string row :
         {"0=250",        "6=231",           "6 7=233",     "7=250",         "6 7 F=237",
          "6 F=237",      "F=250",           "6 F 7=233",   "6 F 6=231",     "6 F 0=250",
          "6 F 2=217",    "6 F 2 F=237",     "6 F 2 0=250", "6 2=250",       "6 7 B=250",
          "86=250",       "106 107 10F=237", "6 f 80=218",  "6 f 80 80=218", "6 f 80 0 F=218",
          "6 f 0 80=250", "6 i=250",         "f 0 i=218",   "6 7 F 2 i=250"}) {
        sim::Cia402Drive drive;
        std::istringstream in(row.substr(0, row.find('=')));
        for (std::string cw; in >> cw;)
            cw == "f"   ? void(drive.injectFault(1, 0))
            : cw == "i" ? drive.onOutputsInvalid()
                        : drive.applyControlWord(uint16_t(std::stoi(cw, nullptr, 16)));
        EXPECT_EQ(drive.statusWord(), std::stoi(row.substr(row.find('=') + 1), nullptr, 16)) << row;
    }
}

// One drive in OP driven through the process image, one LRW per 2 ms cycle on a manual clock.
struct Rig {
    std::shared_ptr<sim::ManualClock> clock = std::make_shared<sim::ManualClock>();
    std::unique_ptr<sim::Chain> chain;
    App_SetValue cmd{};
    Bytes image = Bytes(kDriveOutputBytes + kDriveInputBytes);
    explicit Rig(const std::function<void(sim::ChainConfig&)>& tweak = [](auto&) {})
        : chain(makeChain(1, clock, tweak)) {
        bringUp(*chain, 1, ec::kAlStateOp), cycle();
    }
    void cycle() {
        encodeOutputImage(cmd, image.data());
        clock->advance(2'000'000);
        const Datagram x = lrw(*chain, image);
        ASSERT_EQ(x.wkc, 3);
        image = x.data;
    }
    TCiA402_GetValue in() const { return decodeInputImage(&image[kDriveOutputBytes]); }
    // Cycles for `seconds`, calling `each` with the drive's record after every cycle.
    void run(double seconds, const std::function<void(const TCiA402_GetValue&)>& each = {}) {
        for (int i = 0; i < int(seconds * 500 + 0.5); ++i) {
            cycle();
            if (each)
                each(in());
        }
    }
    uint16_t send(uint16_t cw) {  // two cycles, so that the answer is in the record
        cmd.controlWord = cw;
        run(0.004);
        return in().statusWord;
    }
    void enable() {
        for (uint16_t cw : {0x06, 0x07, 0x0F})
            send(cw);
        ASSERT_EQ(in().statusWord, 0x0237);
    }
};

TEST(Joint, EachModeReachesItsTargetWithinTheLimitsAndThePositionCounterWraps) {
    const double any = NAN;
    // mode, torque, kp, kd, position, velocity; seconds; position, velocity, torque; tolerance.
    // Joint defaults: friction 0.1 N·m/(turn/s) + 0.2 N·m (0.3 to break away), 30 N·m, 5 turn/s.
    for (const auto& c : std::vector<std::array<double, 11>>{
             {9, 0, 0, 0, 0, 1, 1.0, 0.948, 1.0, 0.3, 0.01},         // speed ramp, 10 turn/s²
             {9, 0, 0, 0, 0, 100, 1.0, any, 5.0, 0.7, 0.01},         // clamped to the joint's limit
             {8, 0, 0, 0, 3, 0, 2.5, 3.0, 0.0, 0.0, 1e-6},           // profile position
             {10, 0, 100, 10, 0.5, 0, 2.0, 0.5, 0.0, any, 0.0035},   // hybrid spring
             {10, 0, 0, 20, 0, 1, 2.0, any, 0.985, any, 0.01},       // hybrid damping
             {10, 0, -100, -50, 1, 0, 1.0, 0.0, 0.0, 0.0, 0.0},      // negative gains not taken
             {11, 0, 0, 0, 0.5, 1, 0.25, 0.5, any, any, 0.02},       // sine: a quarter period in
             {12, 3, 0, 0, 0, 0, 3.0, any, 5.0, 0.7, 0.01},          // torque ramp to the limit
             {12, 0.25, 0, 0, 0, 0, 1.0, 0.0, 0.0, 0.249, 0.002},    // below breakaway
             {12, 1, 0, 0, 0, 0, 0.2, any, 0.98725, 0.99857, 5e-4},  // friction takes its share
             {13, 10, 0, 0, 0, 0, 0.5, 0.0, 0.0, 10.0, 0.01},        // calibration: held
             {42, 1, 0, 0, 1, 1, 0.5, 0.0, 0.0, 0.0, 0.0}}) {        // unknown mode holds
        Rig rig;
        rig.cmd.mode = uint16_t(c[0]);
        rig.enable();
        rig.cmd = {0x0F,        float(c[1]), float(c[2]),   float(c[3]),
                   float(c[4]), float(c[5]), uint16_t(c[0])};
        double last = 0.0;  // no jump: at most 5 turn/s over a 2 ms cycle
        rig.run(c[6], [&](const TCiA402_GetValue& v) {
            ASSERT_EQ(v.statusWord << 8 | v.modeDisplay, 0x023700 | int(c[0]));
            const double p = rawToPosition(v.position);
            ASSERT_LE(std::abs(p - std::exchange(last, p)), 0.0101);
            ASSERT_LE(std::abs(rawToVelocity(v.velocity)), 5.0 + 1e-6);
            ASSERT_LE(std::abs(rawToTorque(v.torque)), 30.01);
        });
        const auto v = rig.in();
        for (auto [got, want] : {std::pair{rawToPosition(v.position), c[7]},
                                 {rawToVelocity(v.velocity), c[8]},
                                 {rawToTorque(v.torque), c[9]}})
            EXPECT_TRUE(std::isnan(want) || std::abs(got - want) <= c[10])
                << "mode " << c[0] << ": " << got << " for " << want;
    }

    sim::JointModel joint(sim::JointConfig{}, 1);  // 7000 s at 5 turn/s: the counter wraps
    DriveOutputImage speed;
    speed.mode = kModeSpeedRamp, speed.targetVelocity = 50'000'000;
    joint.advance(7001.0, sim::JointPower::Follow, speed);
    EXPECT_EQ(
        int64_t(std::llround(joint.position() * 65535.0) - joint.positionField()) % (1LL << 32), 0);
    EXPECT_LT(joint.positionField(), 0);
}

TEST(Joint, FaultsStopTheDriveUntilAResetAndHeatFaultsUntilCooled) {
    Rig rig([](auto& c) { c.slaves[0].joint.motor = {0.0, 0.5, 0.5}; });  // 23.5 A: near 300 °C
    rig.cmd.mode = kModeSpeedRamp;
    rig.enable();
    rig.cmd.velocity = 1.0f;
    rig.run(0.5);
    rig.cmd.mode = kModeProfilePosition;  // a target behind the moving joint: it turns round
    rig.cmd.position = -1.0f;
    rig.run(0.01);
    EXPECT_GT(rawToPosition(rig.in().position), 0.45) << "not snapped onto the target";
    // The motion stops and a reset clears the fault words (their texts: tests/console).
    ASSERT_TRUE(rig.chain->injectFault(1, 0x408, 0x20));
    EXPECT_FALSE(rig.chain->injectFault(2, 1, 1)) << "no such slave";
    rig.run(1.0);
    EXPECT_EQ(rig.in().statusWord << 16 | rig.in().velocity, 0x0218 << 16) << "at rest";
    EXPECT_EQ(rig.send(0x80), 0x0250);
    EXPECT_EQ(rig.in().errorWord | rig.in().drvErrorWord, 0u);
    // A buffered SyncManager other than SM2 carries nothing the drive takes for commands.
    fpwr(*rig.chain, station(1), ec::kRegSm0 + 32, smBytes(0x1600, 18, 0x10064));
    fpwr(*rig.chain, station(1), 0x1600, le(0x06, 2) + Bytes(16));
    EXPECT_EQ(rig.chain->drive(1)->state(), Cia402State::SwitchOnDisabled);

    rig.send(0);
    rig.cmd.mode = kModeTorqueCalibration;
    rig.enable();
    rig.cmd.torque = 20.0f;
    for (int i = 0; i < 1000 && (rig.in().statusWord & 0x08) == 0; ++i)
        rig.cycle();
    EXPECT_EQ(rig.in().errorWord << 16 | rig.in().statusWord,
              sim::kErrorMotorOverTemp << 16 | 0x0218);
    EXPECT_EQ((rig.in().motorTemp - 100) / 2, 0) << "switched off at the limit";
    EXPECT_EQ(rig.send(0x80), 0x0218) << "a reset needs 5 K below the limit";
    rig.send(0x00);
    rig.run(3.0);
    EXPECT_EQ(rig.send(0x80), 0x0250);
}

TEST(Commands, EachLineActsOnTheChainAndAnswersOneLine) {
    auto cfg = sim::ChainConfig::drives(3);
    cfg.slaves[0] = sim::SlaveConfig::coupler();
    auto chain = std::make_shared<sim::Chain>(cfg);
    sim::CommandInterpreter cmd(*chain);
    EXPECT_EQ(cmd.execute("remove 2") + cmd.execute("pull 3"), "removed 2pulled 3");
    EXPECT_EQ(chain->reachable(), 1u);
    std::ifstream script(ZENTRIO_TEST_DATA_DIR "/commands.script");
    int lines = 0;
    for (std::string row; std::getline(script, row) && ++lines;) {
        if (row.starts_with('#'))
            continue;
        const std::string line = row.substr(0, row.find('|')), reply = row.substr(line.size() + 1);
        EXPECT_EQ(cmd.execute(line).substr(0, reply == "error:" ? 6 : std::string::npos), reply)
            << line;
    }
    const auto r = chain->drive(3)->readings();
    EXPECT_EQ(std::tuple(lines, chain->reachable(), cmd.quitRequested(), chain->drive(3)->state(),
                         r.errorWord, r.drvErrorWord),
              std::tuple(85, 3u, true, sim::Cia402State::FaultReactionActive, ~0u, 0x7FFFFFFFu));
}

}  // namespace

// An integer read takes an entry's first four bytes, however many it holds; nothing for none.
TEST(Dictionary, IntegerReadsTakeAtMostFourBytes) {
    sim::ObjectDictionary od;
    od.addString(0x2100, 0, "long", sim::Access::ReadOnly, "\x01\x02\x03\x04\x85");
    od.addString(0x2100, 1, "short", sim::Access::ReadOnly, "\x01\x82");
    EXPECT_EQ(std::tuple(od.u32(0x2100, 0), od.u32(0x2100, 1), od.u32(0x2100, 2)),
              std::tuple(0x04030201u, 0x8201u, 0u));
}
