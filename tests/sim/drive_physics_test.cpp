// The joint behind each simulated drive as a master sees it through the process image: every
// mode's response, stopping, bus voltage, temperatures, injected faults, determinism.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "drive_rig.h"
#include "sim/cia402_drive.h"
#include "sim/commands.h"

using namespace simtest;

namespace {

constexpr double kAny = std::numeric_limits<double>::quiet_NaN();
const sim::JointConfig kJoint;  // the defaults every case below runs with

// What every record must satisfy whatever the mode: inside the joint's limits, and so inside the
// range of the record's fields.
void expectPlausible(const TCiA402_GetValue& v) {
    EXPECT_LE(std::abs(turnsPerSecond(v)), kJoint.maxVelocity + 1e-6);
    EXPECT_LE(std::abs(newtonMetres(v)), kJoint.torqueLimit + 0.01);
    EXPECT_GE(+v.busVoltage, 44u);
    EXPECT_LE(+v.busVoltage, 52u);
    for (int16_t t : {v.mcuTemp, v.mosTemp, v.motorTemp}) {
        EXPECT_GE(t, 20);
        EXPECT_LE(t, 100);
    }
}

struct ModeCase {
    const char* name;
    uint16_t mode;
    float torque, kp, kd, position, velocity;  // the command record
    double seconds;
    double position_, velocity_, torque_;  // expected at the end (NaN: not checked)
    double tolerance;                      // on each of them, in its unit
};

class ModeResponse : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ModeResponse, ReachesItsTargetWithinTheJointsLimits) {
    const ModeCase& c = GetParam();
    DriveRig rig(1);
    rig.cmd(1).mode = c.mode;
    rig.enable(1);
    App_SetValue& cmd = rig.cmd(1);
    cmd.torque = c.torque;
    cmd.kp = c.kp;
    cmd.kd = c.kd;
    cmd.position = c.position;
    cmd.velocity = c.velocity;
    rig.run(c.seconds, 1, [&](const TCiA402_GetValue& v) {
        expectPlausible(v);
        EXPECT_EQ(+v.statusWord, 0x0237);
        EXPECT_EQ(+v.modeDisplay, c.mode);
    });
    const TCiA402_GetValue v = rig.in(1);
    if (!std::isnan(c.position_)) {
        EXPECT_NEAR(turns(v), c.position_, c.tolerance);
    }
    if (!std::isnan(c.velocity_)) {
        EXPECT_NEAR(turnsPerSecond(v), c.velocity_, c.tolerance);
    }
    if (!std::isnan(c.torque_)) {
        EXPECT_NEAR(newtonMetres(v), c.torque_, c.tolerance);
    }
}

// Joint defaults: 0.02 kg·m², friction 0.1 N·m/(turn/s) + 0.2 N·m (0.3 to break away), 30 N·m,
// 5 turn/s. At constant speed the motor carries only the friction: 0.1·v + 0.2.
INSTANTIATE_TEST_SUITE_P(
    Modes, ModeResponse,
    ::testing::Values(
        // Speed ramp: 10 turn/s² up to the command; 0.05 turn lost to the ramp.
        ModeCase{"speed_ramp", 9, 0, 0, 0, 0, 1.0f, 1.0, 0.948, 1.0, 0.3, 0.01},
        ModeCase{"speed_ramp_reverse", 9, 0, 0, 0, 0, -2.0f, 1.0, kAny, -2.0, -0.4, 0.01},
        ModeCase{"speed_ramp_beyond_the_limit", 9, 0, 0, 0, 0, 100.0f, 1.0, kAny, 5.0, 0.7, 0.01},
        // Profile position: trapezoid at 2 turn/s, 10 turn/s², ends standing on the target.
        ModeCase{"profile_position", 8, 0, 0, 0, 3.0f, 0, 2.5, 3.0, 0.0, 0.0, 1e-6},
        ModeCase{"profile_position_back", 8, 0, 0, 0, -0.5f, 0, 1.5, -0.5, 0.0, 0.0, 2e-5},
        // Force-position hybrid: Kp 100 → 100 N·m/turn, Kd 10 → 10 N·m/(turn/s); stiction
        // leaves at most 0.3 N·m / 100 N·m/turn of error.
        ModeCase{"hybrid_spring", 10, 0, 100, 10, 0.5f, 0, 2.0, 0.5, 0.0, kAny, 0.0035},
        ModeCase{"hybrid_feed_forward", 10, 2.0f, 0, 0, 0, 0, 2.0, kAny, 5.0, 0.7, 0.01},
        // Kd 20 → 20 N·m/(turn/s) towards 1 turn/s against the friction: 19.8 / 20.1 turn/s.
        ModeCase{"hybrid_velocity_damping", 10, 0, 0, 20, 0, 1.0f, 2.0, kAny, 0.985, kAny, 0.01},
        // Negative gains are not taken: the joint stays where it is.
        ModeCase{"hybrid_negative_gains", 10, 0, -100, -50, 1.0f, 0, 1.0, 0.0, 0.0, 0.0, 0.0},
        // Torque ramp: 20 N·m/s to the command, the free joint speeds up to the limit.
        ModeCase{"torque_ramp", 12, 3.0f, 0, 0, 0, 0, 3.0, kAny, 5.0, 0.7, 0.01},
        ModeCase{"torque_ramp_below_breakaway", 12, 0.25f, 0, 0, 0, 0, 1.0, 0.0, 0.0, 0.249, 0.002},
        // Torque calibration: the output is held, the torque follows the command.
        ModeCase{"torque_calibration", 13, 10.0f, 0, 0, 0, 0, 0.5, 0.0, 0.0, 10.0, 0.01},
        ModeCase{"unknown_mode_holds", 42, 1.0f, 0, 0, 1.0f, 1.0f, 0.5, 0.0, 0.0, 0.0, 0.0},
        ModeCase{"no_mode_holds", 0, 1.0f, 0, 0, 1.0f, 1.0f, 0.5, 0.0, 0.0, 0.0, 0.0}),
    [](const ::testing::TestParamInfo<ModeCase>& p) { return std::string(p.param.name); });

TEST(ModeDetails, SpeedRampAcceleratesAtItsRampAndTorqueCarriesTheInertia) {
    DriveRig rig(1);
    rig.cmd(1).mode = kModeSpeedRamp;
    rig.enable(1);
    rig.cmd(1).velocity = 2.0f;
    rig.run(0.1);
    // Half-way up the ramp (less the exchange's delay): about 1 turn/s, torque = inertia
    // (2π·0.02 · 10) + friction.
    EXPECT_NEAR(turnsPerSecond(rig.in(1)), 1.0, 0.05);
    EXPECT_NEAR(newtonMetres(rig.in(1)), 0.1257 * 10 + 0.1 * 1.0 + 0.2, 0.05);
    rig.cmd(1).velocity = 0.0f;
    rig.run(0.5);
    EXPECT_EQ(+rig.in(1).velocity, 0) << "at rest it reads exactly 0";
    EXPECT_EQ(+rig.in(1).torque, 0);
}

TEST(ModeDetails, ProfilePositionTakesANewTargetInFlight) {
    DriveRig rig(1);
    rig.cmd(1).mode = kModeProfilePosition;
    rig.enable(1);
    rig.cmd(1).position = 1.0f;
    double peak = 0;
    rig.run(0.4, 1, [&](const TCiA402_GetValue& v) { peak = std::max(peak, turnsPerSecond(v)); });
    EXPECT_NEAR(peak, 2.0, 1e-6) << "cruises at the profile velocity";
    rig.cmd(1).position = -1.0f;
    double lowest = 0;
    rig.run(2.0, 1, [&](const TCiA402_GetValue& v) { lowest = std::min(lowest, turns(v)); });
    EXPECT_EQ(+rig.in(1).position, positionToRaw(-1.0f));
    EXPECT_GE(lowest, -1.0 - 1e-4) << "no overshoot";
}

TEST(ModeDetails, SineFollowsAmplitudeAndFrequencyFromThePositionAndVelocityFields) {
    DriveRig rig(1);
    rig.cmd(1).mode = kModeProfilePosition;
    rig.cmd(1).position = 2.0f;
    rig.enable(1);
    rig.run(2.0);
    ASSERT_NEAR(turns(rig.in(1)), 2.0, 1e-6);
    // Sine about where the joint stands: 0.25 turn at 1 Hz.
    rig.cmd(1).mode = kModeSineCurve;
    rig.cmd(1).position = 0.25f;
    rig.cmd(1).velocity = 1.0f;
    rig.run(1.0);
    double lo = 10, hi = -10, vmax = 0;
    int crossings = 0;
    double previous = turns(rig.in(1)) - 2.0;
    rig.run(2.0, 1, [&](const TCiA402_GetValue& v) {
        const double p = turns(v) - 2.0;
        lo = std::min(lo, p);
        hi = std::max(hi, p);
        vmax = std::max(vmax, std::abs(turnsPerSecond(v)));
        crossings += (p > 0) != (previous > 0);
        previous = p;
        expectPlausible(v);
    });
    EXPECT_NEAR(hi, 0.25, 0.01);
    EXPECT_NEAR(lo, -0.25, 0.01);
    EXPECT_NEAR(vmax, 2 * M_PI * 0.25, 0.05);
    EXPECT_EQ(crossings, 4) << "two periods in two seconds";

    // A peak speed beyond the joint's limit shrinks the amplitude.
    rig.cmd(1).position = 10.0f;
    rig.run(2.0, 1, [](const TCiA402_GetValue& v) { expectPlausible(v); });
}

TEST(ModeDetails, HybridWithStiffGainsStaysStable) {
    DriveRig rig(1);
    rig.cmd(1).mode = kModeForcePositionHybrid;
    rig.enable(1);
    rig.cmd(1).kp = 131068.0f;  // field maximum 32767: 131068 N·m/turn
    rig.cmd(1).kd = 250.0f;     // about critical damping for that spring
    rig.cmd(1).position = 0.2f;
    rig.run(1.0, 1, [](const TCiA402_GetValue& v) { expectPlausible(v); });
    EXPECT_NEAR(turns(rig.in(1)), 0.2, 1e-4);
    rig.cmd(1).kd = 0.0f;
    rig.cmd(1).position = 0.0f;
    double worst = 0;
    rig.run(1.0, 1, [&](const TCiA402_GetValue& v) {
        expectPlausible(v);
        worst = std::max(worst, std::abs(turns(v)));
    });
    EXPECT_LT(worst, 0.25) << "an undamped spring does not gain energy";
}

// --- leaving Operation enabled ----------------------------------------------------------------

TEST(Stopping, QuickStopBrakesAndHolds) {
    DriveRig rig(1);
    rig.cmd(1).mode = kModeSpeedRamp;
    rig.enable(1);
    rig.cmd(1).velocity = 2.0f;
    rig.run(0.5);
    ASSERT_NEAR(turnsPerSecond(rig.in(1)), 2.0, 1e-6);
    EXPECT_EQ(rig.send(1, 0x02), 0x0217);
    rig.run(0.05);  // 50 turn/s² from 2 turn/s: 40 ms
    EXPECT_EQ(+rig.in(1).velocity, 0);
    const int32_t held = rig.in(1).position;
    rig.run(0.5);
    EXPECT_EQ(+rig.in(1).position, held);
    EXPECT_EQ(+rig.in(1).statusWord, 0x0217) << "quick stop active stays";
}

TEST(Stopping, DisableLetsTheJointCoastToRest) {
    DriveRig rig(1);
    rig.cmd(1).mode = kModeSpeedRamp;
    rig.enable(1);
    rig.cmd(1).velocity = 2.0f;
    rig.run(0.5);
    EXPECT_EQ(rig.send(1, 0x07), 0x0233);
    double previous = turnsPerSecond(rig.in(1));
    EXPECT_GT(previous, 1.5) << "no brake: it keeps turning";
    rig.run(2.0, 1, [&](const TCiA402_GetValue& v) {
        EXPECT_EQ(+v.torque, 0);
        EXPECT_LE(turnsPerSecond(v), previous);
        EXPECT_GE(turnsPerSecond(v), 0.0);
        previous = turnsPerSecond(v);
    });
    EXPECT_EQ(+rig.in(1).velocity, 0);
}

// --- electrics and heat ----------------------------------------------------------------------

void fastThermal(sim::SlaveConfig& s) {
    s.joint.motor.timeConstantS = 0.5;
    s.joint.mos.timeConstantS = 0.3;
    s.joint.mcu.timeConstantS = 0.4;
}

TEST(Heat, TemperaturesRiseWithCurrentAndCoolAtRest) {
    DriveRig rig(1, fastThermal);
    const TCiA402_GetValue cold = rig.in(1);
    EXPECT_EQ(+cold.motorTemp, 25) << "the motor sits at ambient";
    EXPECT_EQ(+cold.mosTemp, 35);
    EXPECT_EQ(+cold.mcuTemp, 38);

    // 20 N·m held in the calibration fixture: 23.5 A.
    rig.cmd(1).mode = kModeTorqueCalibration;
    rig.enable(1);
    rig.cmd(1).torque = 20.0f;
    TCiA402_GetValue previous = rig.in(1);
    rig.run(3.0, 1, [&](const TCiA402_GetValue& v) {
        EXPECT_GE(+v.motorTemp, previous.motorTemp);
        EXPECT_GE(+v.mosTemp, previous.mosTemp);
        EXPECT_GE(+v.mcuTemp, previous.mcuTemp);
        previous = v;
    });
    const TCiA402_GetValue hot = rig.in(1);
    EXPECT_GE(+hot.motorTemp, 75);
    EXPECT_GE(+hot.mosTemp, 62);
    EXPECT_GE(+hot.mcuTemp, 42);
    EXPECT_GT(hot.motorTemp - +cold.motorTemp, hot.mcuTemp - +cold.mcuTemp) << "the winding most";

    rig.cmd(1).torque = 0.0f;
    rig.send(1, 0x06);
    rig.run(5.0, 1, [&](const TCiA402_GetValue& v) {
        EXPECT_LE(+v.motorTemp, previous.motorTemp);
        previous = v;
    });
    EXPECT_EQ(+rig.in(1).motorTemp, 25);
    EXPECT_EQ(+rig.in(1).mosTemp, 35);
    EXPECT_EQ(+rig.in(1).mcuTemp, 38);
}

TEST(Heat, OverTemperatureFaultsUntilCooled) {
    DriveRig rig(1, [](sim::SlaveConfig& s) {
        fastThermal(s);
        s.joint.motor.risePerAmpSquared = 0.5;  // 23.5 A would settle near 300 °C
    });
    rig.cmd(1).mode = kModeTorqueCalibration;
    rig.enable(1);
    rig.cmd(1).torque = 20.0f;
    for (int i = 0; i < 500 && (rig.in(1).statusWord & 0x08) == 0; ++i)
        rig.cycle();
    TCiA402_GetValue v = rig.in(1);
    EXPECT_EQ(v.statusWord & 0x4F, 0x08) << "fault";
    EXPECT_EQ(+v.errorWord, sim::kErrorMotorOverTemp);
    EXPECT_EQ(+v.drvErrorWord, 0u);
    EXPECT_GE(+v.motorTemp, 100);
    EXPECT_LE(+v.motorTemp, 101) << "the power stage switched off at the limit";
    rig.cycle();
    EXPECT_EQ(+rig.in(1).torque, 0);

    EXPECT_EQ(rig.send(1, 0x80) & 0x4F, 0x08) << "a reset needs 5 K below the limit";
    EXPECT_EQ(+rig.in(1).errorWord, sim::kErrorMotorOverTemp);
    rig.send(1, 0x00);
    rig.run(3.0);
    EXPECT_EQ(rig.send(1, 0x80), 0x0250);
    EXPECT_EQ(+rig.in(1).errorWord, 0u);
}

TEST(Electrics, BusVoltageRipplesAboutFortyEightAndSagsUnderCurrent) {
    DriveRig rig(1);
    double sum = 0;
    int n = 0;
    rig.run(1.0, 1, [&](const TCiA402_GetValue& v) {
        EXPECT_GE(+v.busVoltage, 47u);
        EXPECT_LE(+v.busVoltage, 49u);
        sum += v.busVoltage;
        ++n;
    });
    const double idle = sum / n;
    EXPECT_NEAR(idle, 48.0, 0.1);

    rig.cmd(1).mode = kModeTorqueCalibration;
    rig.enable(1);
    rig.cmd(1).torque = 25.0f;  // 29.4 A: 1.5 V across the supply's resistance
    rig.run(0.2);
    sum = 0;
    n = 0;
    rig.run(1.0, 1, [&](const TCiA402_GetValue& v) {
        sum += v.busVoltage;
        ++n;
    });
    EXPECT_NEAR(sum / n, 48.0 - 0.05 * 25.0 / 0.85, 0.2);
}

// --- fault words ---------------------------------------------------------------------------

TEST(FaultWords, InjectedFaultStopsTheDriveUntilAFaultReset) {
    DriveRig rig(2);
    rig.cmd(1).mode = kModeSpeedRamp;
    rig.enable(1);
    rig.cmd(1).velocity = 1.0f;
    rig.run(0.5);
    ASSERT_TRUE(rig.chain().injectFault(1, 0x408, 0x20));
    rig.cycle();
    TCiA402_GetValue v = rig.in(1);
    EXPECT_EQ(v.statusWord & 0x08, 0x08) << "fault bit";
    EXPECT_EQ(+v.errorWord, 0x408u);
    EXPECT_EQ(+v.drvErrorWord, 0x20u);
    rig.run(1.0);
    v = rig.in(1);
    EXPECT_EQ(+v.statusWord, 0x0218);
    EXPECT_EQ(+v.velocity, 0) << "came to rest";
    EXPECT_EQ(+rig.in(2).errorWord, 0u) << "the neighbour is untouched";

    // More bits while faulted are added; enable is refused until a reset.
    ASSERT_TRUE(rig.chain().injectFault(1, 0x1, 0));
    EXPECT_EQ(rig.send(1, 0x0F), 0x0218);
    EXPECT_EQ(+rig.in(1).errorWord, 0x409u);
    EXPECT_EQ(rig.send(1, 0x80), 0x0250);
    EXPECT_EQ(+rig.in(1).errorWord, 0u);
    EXPECT_EQ(+rig.in(1).drvErrorWord, 0u);
    rig.enable(1);

    EXPECT_FALSE(rig.chain().injectFault(3, 1, 1)) << "no such slave";
    const auto j = rig.chain().joint(1);
    ASSERT_TRUE(j.has_value());
    EXPECT_EQ(j->state, sim::Cia402State::OperationEnabled);
}

TEST(FaultWords, SimulatorCommandsInjectAndShow) {
    DriveRig rig(1);
    sim::CommandInterpreter cli(rig.chain());
    EXPECT_EQ(cli.execute("fault 1 0x8 0x20"), "fault 1 0x8 0x20");
    EXPECT_EQ(cli.execute("fault 1 4"), "fault 1 4");
    rig.cycle();
    EXPECT_EQ(+rig.in(1).errorWord, 0xCu);
    EXPECT_EQ(+rig.in(1).drvErrorWord, 0x20u);
    EXPECT_EQ(cli.execute("fault 1"), "error: usage: fault K ERRORWORD [DRVERRORWORD]");
    EXPECT_EQ(cli.execute("fault 1 1 0x100000000"),
              "error: usage: fault K ERRORWORD [DRVERRORWORD]");
    EXPECT_EQ(cli.execute("fault 2 1"), "error: usage: fault K ERRORWORD [DRVERRORWORD]");
    const std::string joint = cli.execute("joint 1");
    EXPECT_EQ(joint.rfind("joint 1 mode 0 pos 0.0000 turn vel 0.0000 turn/s", 0), 0u) << joint;
    EXPECT_NE(joint.find("temp motor 25.0"), std::string::npos) << joint;
}

TEST(FaultWords, BitsTheDriveSetsItselfAreNamedInTheDefinitionsFile) {
    // The console decodes the words through state_config.yaml; the drive's own over-temperature
    // bits must be the ones the file names so.
    FILE* f = std::fopen(ZENTRIO_SOURCE_DIR "/state_config.yaml", "rb");
    ASSERT_NE(f, nullptr);
    std::string text;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        text.append(buf, n);
    std::fclose(f);
    const size_t qj30 = text.find("QJ30:");
    ASSERT_NE(qj30, std::string::npos);
    const size_t error = text.find("  error_word:", qj30);
    const size_t drv = text.find("  drv_error_word:", qj30);
    ASSERT_NE(error, std::string::npos);
    ASSERT_NE(drv, std::string::npos);
    EXPECT_NE(text.find("1<<3: 电机过温", error), std::string::npos);
    EXPECT_LT(text.find("1<<3: 电机过温", error), drv);
    EXPECT_NE(text.find("1<<5: MOS过温", drv), std::string::npos);
    EXPECT_NE(text.find("1<<7: MCU过温", drv), std::string::npos);
}

// --- determinism -----------------------------------------------------------------------------

// Every input image of a run that goes through several modes.
std::vector<std::vector<uint8_t>> scenario(uint64_t seed) {
    DriveRig rig(2, [seed](sim::SlaveConfig& s) {
        s.noiseSeed = seed;
        s.joint.busNoise = 1.0;
    });
    std::vector<std::vector<uint8_t>> images;
    const auto record = [&](double seconds) {
        const auto n = static_cast<int>(seconds / 0.002 + 0.5);
        for (int i = 0; i < n; ++i) {
            rig.cycle();
            images.push_back(rig.inputBytes());
        }
    };
    for (int k = 1; k <= 2; ++k) {
        rig.cmd(k).mode = kModeSpeedRamp;
        rig.enable(k);
        rig.cmd(k).velocity = 0.5f * static_cast<float>(k);
    }
    record(0.3);
    rig.cmd(1).mode = kModeSineCurve;
    rig.cmd(1).position = 0.1f;
    rig.cmd(2).mode = kModeTorqueRamp;
    rig.cmd(2).torque = -1.0f;
    record(0.3);
    rig.chain().injectFault(2, 0x1, 0x2);
    record(0.1);
    return images;
}

std::vector<uint32_t> voltages(const std::vector<std::vector<uint8_t>>& images, int k) {
    std::vector<uint32_t> v;
    for (const auto& img : images)
        v.push_back(
            decodeInputImage(&img[static_cast<size_t>(kDriveInputBytes * (k - 1))]).busVoltage);
    return v;
}

TEST(Determinism, SameSeedSameRunOtherSeedOtherRipple) {
    const auto a = scenario(7);
    EXPECT_EQ(a, scenario(7));
    const auto b = scenario(8);
    EXPECT_NE(voltages(a, 1), voltages(b, 1));
    EXPECT_NE(voltages(a, 1), voltages(a, 2)) << "drives of one chain ripple differently";
}

}  // namespace
