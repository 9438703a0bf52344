// The drive's own routines a master starts: calibration through parameter 17 and identification
// in the sine mode with a torque command.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>

#include "drive_rig.h"
#include "mailbox_client.h"
#include "sim/cia402_drive.h"

using namespace simtest;

namespace {

constexpr uint16_t kParams = 0x6101;
constexpr uint8_t kCalibrationSub = 18;  // parameter 17
constexpr uint32_t kAbortDeviceState = 0x08000022;

uint8_t readCalibration(MailboxClient& mbx) {
    const SdoResult r = sdoUpload(mbx, kParams, kCalibrationSub);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.data.size(), 1u);
    return r.data.empty() ? 0xFF : r.data[0];
}

// --- calibration ----------------------------------------------------------------------------

struct CalibrationCase {
    const char* name;
    bool neverEnds;
    int64_t durationNs;
    int64_t waitNs;
    uint8_t expected;
};

class Calibration : public ::testing::TestWithParam<CalibrationCase> {};

TEST_P(Calibration, SixteenStartsItAndOneTellsItFinished) {
    const CalibrationCase& c = GetParam();
    DriveRig rig(1, [&](sim::SlaveConfig& s) {
        s.calibrationDurationNs = c.durationNs;
        s.calibrationNeverEnds = c.neverEnds;
    });
    MailboxClient mbx(rig.chain(), station(1));
    EXPECT_EQ(readCalibration(mbx), 0);
    ASSERT_TRUE(sdoDownload(mbx, kParams, kCalibrationSub, {sim::kCalibrationStart}).ok());
    if (c.durationNs > 0) {
        EXPECT_EQ(readCalibration(mbx), sim::kCalibrationStart) << "running";
        EXPECT_TRUE(rig.chain().joint(1)->calibrating);
    }
    rig.clock().advance(c.waitNs);
    EXPECT_EQ(readCalibration(mbx), c.expected);
    EXPECT_EQ(rig.chain().parameter(1, sim::kDriveParamCalibration),
              std::vector<uint8_t>{c.expected});
}

INSTANTIATE_TEST_SUITE_P(
    Durations, Calibration,
    ::testing::Values(CalibrationCase{"done_at_once", false, 0, 0, 1},
                      CalibrationCase{"not_yet", false, 300'000'000, 299'000'000, 16},
                      CalibrationCase{"done_on_time", false, 300'000'000, 300'000'000, 1},
                      CalibrationCase{"never", true, 300'000'000, 100'000'000'000, 16}),
    [](const ::testing::TestParamInfo<CalibrationCase>& p) { return std::string(p.param.name); });

TEST(CalibrationRules, RefusedWhileEnabledAndRestartable) {
    DriveRig rig(1, [](sim::SlaveConfig& s) { s.calibrationDurationNs = 1'000'000'000; });
    MailboxClient mbx(rig.chain(), station(1));
    rig.cmd(1).mode = kModeSpeedRamp;
    rig.enable(1);
    EXPECT_EQ(sdoDownload(mbx, kParams, kCalibrationSub, {sim::kCalibrationStart}).abort,
              kAbortDeviceState)
        << "it needs the motor to itself";
    EXPECT_EQ(readCalibration(mbx), 0);

    rig.send(1, 0x06);
    ASSERT_TRUE(sdoDownload(mbx, kParams, kCalibrationSub, {sim::kCalibrationStart}).ok());
    rig.run(0.5);
    // The alignment current (parameter 25: 5 A) warms the drive while the joint stays put.
    EXPECT_NEAR(rig.chain().joint(1)->current, 5.0, 1e-9);
    EXPECT_EQ(+rig.in(1).velocity, 0);
    rig.run(0.6);
    EXPECT_EQ(readCalibration(mbx), 1);
    EXPECT_EQ(rig.chain().joint(1)->current, 0.0);

    // Another 16 starts it over; another value just stays.
    ASSERT_TRUE(sdoDownload(mbx, kParams, kCalibrationSub, {sim::kCalibrationStart}).ok());
    EXPECT_EQ(readCalibration(mbx), 16);
    ASSERT_TRUE(sdoDownload(mbx, kParams, kCalibrationSub, {7}).ok());
    rig.clock().advance(2'000'000'000);
    EXPECT_EQ(readCalibration(mbx), 7);
}

// --- identification -------------------------------------------------------------------------

float bitsAsFloat(int32_t raw) {
    return std::bit_cast<float>(raw);
}

struct Identification : ::testing::Test {
    DriveRig rig{1, [](sim::SlaveConfig& s) { s.identificationDurationNs = 1'000'000'000; }};

    // As the console starts it: sine mode, enable, then a torque of 1 N·m.
    void start() {
        rig.cmd(1).mode = kModeSineCurve;
        rig.enable(1);
        rig.cmd(1).torque = 1.0f;
        rig.cycle();
    }
};

TEST_F(Identification, ReportsIqAndMiddleVelocityAsFloatsThenSwitchesOff) {
    start();
    const double iqPeak = torqueToRaw(1.0f) * 80.0 / 32767.0 / sim::JointConfig{}.torqueConstant;
    double iqMax = 0, velMax = 0;
    rig.run(0.9, 1, [&](const TCiA402_GetValue& v) {
        EXPECT_EQ(+v.statusWord, 0x0237);
        EXPECT_EQ(+v.modeDisplay, kModeSineCurve);
        const float iq = bitsAsFloat(v.position);
        const float vel = bitsAsFloat(v.velocity);
        ASSERT_TRUE(std::isfinite(iq) && std::isfinite(vel));
        EXPECT_LE(std::abs(iq), iqPeak + 1e-4);
        EXPECT_LE(std::abs(vel), 5.0f);
        // The torque field keeps its scale and agrees with iq.
        EXPECT_NEAR(newtonMetres(v), iq * sim::JointConfig{}.torqueConstant, 0.01);
        iqMax = std::max(iqMax, static_cast<double>(std::abs(iq)));
        velMax = std::max(velMax, static_cast<double>(std::abs(vel)));
    });
    EXPECT_GT(iqMax, 0.9 * iqPeak) << "the excitation reached its amplitude";
    EXPECT_GT(velMax, 0.3) << "and moved the joint";
    EXPECT_TRUE(rig.chain().joint(1)->identifying);

    // At the end the drive switches itself off and stays off though the master still holds
    // "enable operation".
    rig.run(0.2);
    EXPECT_EQ(+rig.in(1).statusWord, 0x0233);
    rig.run(3.0);
    const TCiA402_GetValue after = rig.in(1);
    EXPECT_EQ(+after.statusWord, 0x0233);
    EXPECT_FALSE(rig.chain().joint(1)->identifying);
    EXPECT_EQ(+after.velocity, 0) << "plain counts again, the joint at rest";
    EXPECT_NEAR(turns(after), rig.chain().joint(1)->position, 1e-4);

    // The console's disable: from Switched on, shutdown.
    EXPECT_EQ(rig.send(1, 0x06), 0x0231);
}

TEST_F(Identification, EnablingAgainWithATorqueRunsItAgain) {
    start();
    rig.run(1.2);
    ASSERT_EQ(+rig.in(1).statusWord, 0x0233);
    EXPECT_EQ(rig.send(1, 0x0F), 0x0233) << "the held word is not acted on";
    EXPECT_EQ(rig.send(1, 0x07), 0x0233);
    EXPECT_EQ(rig.send(1, 0x0F), 0x0237) << "a new enable operation is";
    EXPECT_TRUE(rig.chain().joint(1)->identifying);
}

TEST_F(Identification, SineModeWithoutTorqueDoesNotStartIt) {
    rig.cmd(1).mode = kModeSineCurve;
    rig.enable(1);
    rig.run(0.2);
    EXPECT_FALSE(rig.chain().joint(1)->identifying);
    EXPECT_EQ(+rig.in(1).position, 0);
    EXPECT_EQ(+rig.in(1).velocity, 0) << "at rest: the console may start an identification";
}

TEST_F(Identification, LeavingOperationEnabledStopsIt) {
    start();
    rig.run(0.3);
    EXPECT_EQ(rig.send(1, 0x07), 0x0233);
    EXPECT_FALSE(rig.chain().joint(1)->identifying);
    rig.run(3.0);
    EXPECT_EQ(+rig.in(1).velocity, 0);
    EXPECT_EQ(+rig.in(1).torque, 0);
}

TEST(RoutineDefaults, FitTheConsoleProcedures) {
    // The console polls calibration and identification once a second for at most 90 s and
    // records identification rows between 1 s and 45 s: the hardware-free drives must finish
    // within the polls, and identify for longer than the recording window.
    const sim::SlaveConfig s = sim::SlaveConfig::drive(1);
    EXPECT_GT(s.calibrationDurationNs, 1'000'000'000);
    EXPECT_LT(s.calibrationDurationNs, 90'000'000'000);
    EXPECT_FALSE(s.calibrationNeverEnds);
    EXPECT_GT(s.identificationDurationNs, 45'000'000'000);
    EXPECT_LT(s.identificationDurationNs, 89'000'000'000);
}

}  // namespace
