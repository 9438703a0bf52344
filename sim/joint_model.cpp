#include "sim/joint_model.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace sim {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kCountsPerTurn = 65535.0;
constexpr double kVelocityPerCount = 1e-7;
constexpr double kTorqueFullScale = 80.0;
constexpr double kTorqueCounts = 32767.0;
// Gaps longer than this (a master that paused and came back) are not integrated step by step:
// the joint keeps its speed and the temperatures settle in closed form.
constexpr double kMaxIntegratedS = 5.0;
// The sine mode's tracking loop: critically damped at this bandwidth.
constexpr double kSineLoopHz = 20.0;
constexpr double kMaxSineHz = 20.0;
// Below this speed a joint whose torque cannot overcome static friction sticks.
constexpr double kStictionVelocity = 1e-4;

double sign(double x) {
    return x > 0.0 ? 1.0 : (x < 0.0 ? -1.0 : 0.0);
}

template <class Int>
Int clampRound(double x) {
    constexpr double lo = static_cast<double>(std::numeric_limits<Int>::min());
    constexpr double hi = static_cast<double>(std::numeric_limits<Int>::max());
    return static_cast<Int>(std::llround(std::clamp(x, lo, hi)));
}

double settle(double temp, double target, double h, double tau) {
    return temp + (target - temp) * (1.0 - std::exp(-h / std::max(tau, 1e-6)));
}

}  // namespace

JointModel::JointModel(const JointConfig& cfg, uint64_t seed)
    : cfg_(cfg),
      jEff_(kTwoPi * cfg.inertia),
      bus_(cfg.busNominal),
      motorT_(cfg.ambient + cfg.motor.idleRise),
      mosT_(cfg.ambient + cfg.mos.idleRise),
      mcuT_(cfg.ambient + cfg.mcu.idleRise),
      rng_(seed) {
    jEff_ = std::max(jEff_, 1e-6);
    cfg_.stepS = std::max(cfg_.stepS, 1e-6);
    const double spare =
        cfg.torqueLimit - cfg.coulombFriction - cfg.viscousFriction * cfg.maxVelocity;
    accelLimit_ = std::max(spare / jEff_, 0.1);
}

void JointModel::powerUp() {
    // The encoder counts from zero after a restart; the joint itself is at rest.
    p_ = 0.0;
    v_ = 0.0;
    tau_ = 0.0;
    current_ = 0.0;
    standbyCurrent_ = 0.0;
    activeMode_ = -1;
    lastPower_ = JointPower::Off;
    rampTorque_ = 0.0;
    identRemaining_ = 0.0;
    identEnded_ = false;
}

void JointModel::advance(double dt, JointPower power, const DriveOutputImage& cmd) {
    if (!(dt > 0.0))
        return;
    const double integrated = std::min(dt, kMaxIntegratedS);
    const int n = std::max(1, static_cast<int>(std::ceil(integrated / cfg_.stepS - 1e-9)));
    const double h = integrated / n;
    for (int i = 0; i < n; ++i)
        step(h, power, cmd);
    const double rest = dt - integrated;
    if (rest > 0.0) {
        p_ += v_ * rest;
        updateHeat(rest);
    }
    // One ripple sample per exchange: the drive measures the bus once per cycle.
    bus_ = cfg_.busNominal - cfg_.busResistance * current_ + cfg_.busNoise * noise_(rng_);
}

void JointModel::step(double h, JointPower power, const DriveOutputImage& cmd) {
    const int mode = power == JointPower::Follow ? cmd.mode : -1;
    if (power != lastPower_ || mode != activeMode_) {
        // A mode starts from where the joint stands.
        activeMode_ = mode;
        lastPower_ = power;
        rampTorque_ = 0.0;
        sinePhase_ = 0.0;
        sineOrigin_ = p_;
    }
    if (identifying() && power != JointPower::Follow)
        stopIdentification();

    if (identifying()) {
        identifyStep(h);
    } else if (power == JointPower::Off) {
        driveWith(0.0, h);
    } else if (power == JointPower::Stop) {
        rampVelocity(0.0, cfg_.quickStopDeceleration, h);
    } else {
        const double feedForward = cmd.torque * kTorqueFullScale / kTorqueCounts;
        switch (cmd.mode) {
            case kModeProfilePosition:
                profileTo(cmd.targetPosition / kCountsPerTurn, h);
                break;
            case kModeSpeedRamp:
                rampVelocity(std::clamp(cmd.targetVelocity * kVelocityPerCount, -cfg_.maxVelocity,
                                        cfg_.maxVelocity),
                             cfg_.rampAcceleration, h);
                break;
            case kModeForcePositionHybrid:
                hybridStep(cmd, feedForward, h);
                break;
            case kModeSineCurve:
                followSine(cmd, h);
                break;
            case kModeTorqueRamp: {
                const double target = std::clamp(feedForward, -cfg_.torqueLimit, cfg_.torqueLimit);
                const double slope = cfg_.torqueSlope * h;
                rampTorque_ += std::clamp(target - rampTorque_, -slope, slope);
                driveWith(rampTorque_, h);
                break;
            }
            case kModeTorqueCalibration:
                // The output sits in a torque fixture: once stopped it cannot turn, and the
                // torque follows the command with the fixture's lag.
                if (v_ != 0.0) {
                    rampVelocity(0.0, cfg_.quickStopDeceleration, h);
                } else {
                    const double target =
                        std::clamp(feedForward, -cfg_.torqueLimit, cfg_.torqueLimit);
                    rampTorque_ = settle(rampTorque_, target, h, cfg_.calibrationTorqueLagS);
                    tau_ = rampTorque_;
                }
                break;
            default:
                // A mode this drive does not know: stop and hold.
                rampVelocity(0.0, cfg_.quickStopDeceleration, h);
                break;
        }
    }
    current_ = std::abs(tau_) / std::max(cfg_.torqueConstant, 1e-6) + standbyCurrent_;
    updateHeat(h);
}

double JointModel::friction(double v) const {
    if (v == 0.0)
        return 0.0;
    return cfg_.viscousFriction * v + cfg_.coulombFriction * sign(v);
}

void JointModel::moveWith(double a, double h) {
    const double v0 = v_;
    const double v1 = std::clamp(v0 + a * h, -cfg_.maxVelocity, cfg_.maxVelocity);
    a = (v1 - v0) / h;
    p_ += 0.5 * (v0 + v1) * h;
    v_ = v1;
    const double vm = 0.5 * (v0 + v1);
    const double fr = vm != 0.0 ? friction(vm) : cfg_.staticFriction * sign(a);
    tau_ = std::clamp(jEff_ * a + fr, -cfg_.torqueLimit, cfg_.torqueLimit);
}

void JointModel::rampVelocity(double target, double accel, double h) {
    accel = std::min(accel, accelLimit_);
    const double dv = target - v_;
    if (std::abs(dv) <= accel * h) {
        moveWith(dv / h, h);
        v_ = target;  // land exactly: a joint at rest reads 0, not a rounding residue
    } else {
        moveWith(sign(dv) * accel, h);
    }
}

void JointModel::profileTo(double target, double h) {
    const double vmax = std::min(cfg_.profileVelocity, cfg_.maxVelocity);
    const double amax = std::min(cfg_.profileAcceleration, accelLimit_);
    const double d = target - p_;
    if (d == 0.0 && v_ == 0.0) {
        tau_ = 0.0;
        return;
    }
    const double dir = d != 0.0 ? sign(d) : -sign(v_);
    const double stopping = v_ * v_ / (2.0 * amax);
    double a;
    bool braking = false;
    if (v_ * dir < 0.0) {
        a = dir * amax;  // moving away: turn round
    } else if (stopping >= std::abs(d)) {
        braking = true;
        a = std::abs(d) > 0.0 ? -sign(v_) * std::min(v_ * v_ / (2.0 * std::abs(d)), 2.0 * amax)
                              : -sign(v_) * amax;
    } else {
        a = std::clamp((dir * vmax - v_) / h, -amax, amax);
    }
    const double v1 = v_ + a * h;
    const double p1 = p_ + 0.5 * (v_ + v1) * h;
    if (braking && ((p1 - target) * dir >= 0.0 || v1 * dir <= 0.0)) {
        // Arrival within this step: stand on the target.
        p_ = target;
        v_ = 0.0;
        tau_ = 0.0;
        return;
    }
    moveWith(a, h);
}

void JointModel::followSine(const DriveOutputImage& cmd, double h) {
    // Amplitude from the position field (turns), frequency from the velocity field (read as
    // Hz); the amplitude shrinks where the peak speed would pass the joint's limit.
    const double f = std::min(std::abs(cmd.targetVelocity * kVelocityPerCount), kMaxSineHz);
    const double w = kTwoPi * f;
    double amp = cmd.targetPosition / kCountsPerTurn;
    if (w * std::abs(amp) > cfg_.maxVelocity)
        amp = sign(amp) * cfg_.maxVelocity / w;
    sinePhase_ = std::fmod(sinePhase_ + w * h, kTwoPi);
    const double s = std::sin(sinePhase_);
    const double pr = sineOrigin_ + amp * s;
    const double vr = amp * w * std::cos(sinePhase_);
    const double ar = -amp * w * w * s;
    constexpr double wl = kTwoPi * kSineLoopHz;
    const double a = ar + wl * wl * (pr - p_) + 2.0 * wl * (vr - v_);
    moveWith(std::clamp(a, -accelLimit_, accelLimit_), h);
}

void JointModel::hybridStep(const DriveOutputImage& cmd, double feedForward, double h) {
    // The drive takes no negative gains: a spring or damper pushing the wrong way would run away.
    const double kp = std::max(0.0, cmd.kp * cfg_.kpPerCount);
    const double kd = std::max(0.0, cmd.kd * cfg_.kdPerCount);
    const double pt = cmd.targetPosition / kCountsPerTurn;
    const double vt = cmd.targetVelocity * kVelocityPerCount;
    // Stiff gains would make an explicit step blow up: take the spring and the damper at the
    // end of the step (backward Euler), friction at its start.
    const double k = h / jEff_;
    const double v1 = (v_ + k * (kp * (pt - p_) + kd * vt + feedForward - friction(v_))) /
                      (1.0 + k * (kp * h + kd));
    const double tau = kp * (pt - p_ - h * v1) + kd * (vt - v1) + feedForward;
    driveWith(tau, h);
}

void JointModel::driveWith(double torque, double h) {
    double tau =
        std::isfinite(torque) ? std::clamp(torque, -cfg_.torqueLimit, cfg_.torqueLimit) : 0.0;
    double net;
    if (v_ == 0.0) {
        if (std::abs(tau) <= cfg_.staticFriction) {
            tau_ = tau;  // stiction holds it
            return;
        }
        net = tau - cfg_.coulombFriction * sign(tau);
    } else {
        net = tau - friction(v_);
    }
    double v1 = v_ + net / jEff_ * h;
    // Friction stops the joint, it does not push it back; and a creeping joint that the torque
    // cannot break loose sticks.
    if (std::abs(tau) <= cfg_.staticFriction &&
        ((v_ != 0.0 && v1 * v_ <= 0.0) || std::abs(v1) < kStictionVelocity))
        v1 = 0.0;
    if (std::abs(v1) > cfg_.maxVelocity) {
        // The speed limit takes torque away.
        v1 = sign(v1) * cfg_.maxVelocity;
        tau = std::clamp(jEff_ * (v1 - v_) / h + friction(v1), -cfg_.torqueLimit, cfg_.torqueLimit);
    }
    p_ += 0.5 * (v_ + v1) * h;
    v_ = v1;
    tau_ = tau;
}

void JointModel::startIdentification(double amplitude, double seconds) {
    identAmplitude_ = std::clamp(amplitude, -cfg_.torqueLimit, cfg_.torqueLimit);
    identDuration_ = std::max(seconds, 1e-9);
    identRemaining_ = identDuration_;
    identPhase_ = 0.0;
    identEnded_ = false;
}

void JointModel::stopIdentification() {
    identRemaining_ = 0.0;
}

bool JointModel::takeIdentificationEnd() {
    const bool ended = identEnded_;
    identEnded_ = false;
    return ended;
}

void JointModel::identifyStep(double h) {
    // A linear chirp: the frequency sweeps from start to end over the run.
    const double elapsed = identDuration_ - identRemaining_;
    const double f =
        cfg_.identificationStartHz +
        (cfg_.identificationEndHz - cfg_.identificationStartHz) * elapsed / identDuration_;
    identPhase_ = std::fmod(identPhase_ + kTwoPi * f * h, kTwoPi);
    driveWith(identAmplitude_ * std::sin(identPhase_), h);
    identRemaining_ -= h;
    if (identRemaining_ <= 1e-12) {
        identRemaining_ = 0.0;
        identEnded_ = true;
    }
}

void JointModel::updateHeat(double h) {
    const double i2 = current_ * current_;
    const auto node = [&](double temp, const ThermalNode& n) {
        return settle(temp, cfg_.ambient + n.idleRise + n.risePerAmpSquared * i2, h,
                      n.timeConstantS);
    };
    motorT_ = node(motorT_, cfg_.motor);
    mosT_ = node(mosT_, cfg_.mos);
    mcuT_ = node(mcuT_, cfg_.mcu);
}

double JointModel::iq() const {
    return tau_ / std::max(cfg_.torqueConstant, 1e-6);
}

int32_t JointModel::positionField() const {
    if (identifying())
        return std::bit_cast<int32_t>(static_cast<float>(iq()));
    // A multi-turn counter: it rolls over at the ends of its 32 bits.
    const double counts = std::fmod(std::round(p_ * kCountsPerTurn), 4294967296.0);
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(counts)));
}

int32_t JointModel::velocityField() const {
    if (identifying())
        return std::bit_cast<int32_t>(static_cast<float>(v_));
    return clampRound<int32_t>(v_ / kVelocityPerCount);
}

int16_t JointModel::torqueField() const {
    return static_cast<int16_t>(
        std::clamp(std::llround(tau_ * kTorqueCounts / kTorqueFullScale), -32767LL, 32767LL));
}

uint32_t JointModel::busVoltageField() const {
    return static_cast<uint32_t>(std::llround(std::max(bus_, 0.0)));
}

int16_t JointModel::motorTempField() const {
    return clampRound<int16_t>(motorT_);
}
int16_t JointModel::mosTempField() const {
    return clampRound<int16_t>(mosT_);
}
int16_t JointModel::mcuTempField() const {
    return clampRound<int16_t>(mcuT_);
}

}  // namespace sim
