// The joint model on its own: what the process image cannot show quickly (long gaps, the
// counter's roll-over) and the friction that brings a joint exactly to rest.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "sim/joint_model.h"

namespace {

DriveOutputImage speed(double turnsPerSecond) {
    DriveOutputImage cmd;
    cmd.mode = kModeSpeedRamp;
    cmd.targetVelocity = static_cast<int32_t>(turnsPerSecond * 1e7);
    return cmd;
}

TEST(JointModel, PositionCounterRollsOverAtThirtyTwoBits) {
    sim::JointModel joint(sim::JointConfig{}, 1);
    joint.advance(1.0, sim::JointPower::Follow, speed(5.0));
    ASSERT_EQ(joint.velocity(), 5.0);
    // 7000 s at 5 turn/s: 35000 turns, past the 32767.99 turns the counter holds.
    joint.advance(7000.0, sim::JointPower::Follow, speed(5.0));
    EXPECT_GT(joint.position(), 35000.0);
    const auto counts = static_cast<int64_t>(std::llround(joint.position() * 65535.0));
    EXPECT_LT(joint.positionField(), 0) << "wrapped";
    EXPECT_EQ((counts - joint.positionField()) % (int64_t{1} << 32), 0);
    EXPECT_EQ(joint.velocityField(), 50'000'000);
}

TEST(JointModel, LongGapSettlesTheTemperatures) {
    sim::JointConfig cfg;
    sim::JointModel joint(cfg, 1);
    DriveOutputImage hold;
    hold.mode = kModeTorqueCalibration;
    hold.torque = 8191;  // 20 N·m
    joint.advance(30.0, sim::JointPower::Follow, hold);
    const double hot = joint.motorTemp();
    EXPECT_GT(hot, cfg.ambient + 20.0);
    joint.advance(3600.0, sim::JointPower::Off, hold);
    EXPECT_NEAR(joint.motorTemp(), cfg.ambient + cfg.motor.idleRise, 0.01);
    EXPECT_NEAR(joint.mosTemp(), cfg.ambient + cfg.mos.idleRise, 0.01);
    EXPECT_NEAR(joint.mcuTemp(), cfg.ambient + cfg.mcu.idleRise, 0.01);
}

TEST(JointModel, FrictionStopsACoastingJointExactly) {
    sim::JointModel joint(sim::JointConfig{}, 1);
    joint.advance(1.0, sim::JointPower::Follow, speed(-3.0));
    ASSERT_EQ(joint.velocity(), -3.0);
    double previous = joint.velocity();
    for (int i = 0; i < 1000 && joint.velocity() != 0.0; ++i) {
        joint.advance(0.002, sim::JointPower::Off, speed(-3.0));
        EXPECT_GE(joint.velocity(), previous) << "slows down, never turns back";
        previous = joint.velocity();
    }
    EXPECT_EQ(joint.velocity(), 0.0);
    EXPECT_EQ(joint.velocityField(), 0);
    EXPECT_EQ(joint.torqueField(), 0);
    const double stopped = joint.position();
    joint.advance(1.0, sim::JointPower::Off, speed(-3.0));
    EXPECT_EQ(joint.position(), stopped);
}

TEST(JointModel, IdentificationEndsOnceAfterItsTime) {
    sim::JointModel joint(sim::JointConfig{}, 1);
    DriveOutputImage sine;
    sine.mode = kModeSineCurve;
    joint.startIdentification(2.0, 0.5);
    joint.advance(0.3, sim::JointPower::Follow, sine);
    EXPECT_TRUE(joint.identifying());
    EXPECT_FALSE(joint.takeIdentificationEnd());
    joint.advance(0.3, sim::JointPower::Follow, sine);
    EXPECT_FALSE(joint.identifying());
    EXPECT_TRUE(joint.takeIdentificationEnd());
    EXPECT_FALSE(joint.takeIdentificationEnd());

    joint.startIdentification(2.0, 0.5);
    joint.advance(0.1, sim::JointPower::Off, sine);
    EXPECT_FALSE(joint.identifying()) << "power off ends it";
    joint.advance(1.0, sim::JointPower::Follow, sine);
    EXPECT_FALSE(joint.takeIdentificationEnd()) << "a broken-off run is no end";
}

}  // namespace
