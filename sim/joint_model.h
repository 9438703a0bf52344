// The physical joint behind a simulated drive: a rotating load with inertia and friction, the
// motor current that moves it, the bus voltage that sags under that current and three
// temperatures that follow it. The drive firmware (Cia402Drive) decides what the motor is asked
// to do; this model turns it into what the drive measures.
//
// Units inside: turns, turn/s, turn/s², N·m, A, V, °C, seconds. The raw accessors convert into
// the fields of the input image with the record's scales (65535 counts per turn, 1e-7 turn/s per
// count, 32767 counts = 80 N·m) and never leave their range.
#pragma once

#include <cstdint>
#include <random>

#include "model/processdata.h"
#include "sim/config.h"

namespace sim {

// What the power stage does, set by the CiA 402 state.
enum class JointPower {
    Off,     // no torque: the joint coasts to rest on its friction
    Stop,    // quick stop / fault reaction: brake at the quick-stop deceleration, then hold
    Follow,  // Operation enabled: follow the active mode
};

class JointModel {
public:
    explicit JointModel(const JointConfig& cfg, uint64_t seed);

    // The drive restarted: motion state and encoder start over; the temperatures stay.
    void powerUp();

    // Runs the joint for dt seconds under the commands of the output image (mode, setpoints,
    // gains as raw fields). Long steps are cut into the model's own integration step.
    void advance(double dt, JointPower power, const DriveOutputImage& cmd);

    // Identification excitation: a torque chirp of the given amplitude (N·m) for `seconds`.
    // While it runs the position and velocity fields carry iq and the middle velocity as
    // single-precision bit patterns, as the drive's identification routine reports them.
    void startIdentification(double amplitude, double seconds);
    void stopIdentification();
    bool identifying() const { return identRemaining_ > 0.0; }
    // True once after an excitation ran to its end (not after stopIdentification).
    bool takeIdentificationEnd();

    // Current drawn without motion (e.g. the calibration's alignment current), in A.
    void setStandbyCurrent(double amps) { standbyCurrent_ = amps; }

    // --- physical state -------------------------------------------------------------------
    double position() const { return p_; }       // turns
    double velocity() const { return v_; }       // turn/s
    double torque() const { return tau_; }       // N·m delivered by the motor
    double current() const { return current_; }  // A, magnitude
    double iq() const;                           // A, signed torque-forming current
    double busVoltage() const { return bus_; }   // V
    double motorTemp() const { return motorT_; }
    double mosTemp() const { return mosT_; }
    double mcuTemp() const { return mcuT_; }

    // --- input image fields -----------------------------------------------------------------
    int32_t positionField() const;
    int32_t velocityField() const;
    int16_t torqueField() const;
    uint32_t busVoltageField() const;
    int16_t motorTempField() const;
    int16_t mosTempField() const;
    int16_t mcuTempField() const;

private:
    void step(double h, JointPower power, const DriveOutputImage& cmd);
    // Kinematic modes: the drive's stiff position loop makes the joint move as planned; the
    // torque is what that motion costs (inverse dynamics).
    void moveWith(double a, double h);
    void rampVelocity(double target, double accel, double h);
    void profileTo(double target, double h);
    void followSine(const DriveOutputImage& cmd, double h);
    // Torque modes: the torque drives the load (forward dynamics with friction).
    void driveWith(double torque, double h);
    void hybridStep(const DriveOutputImage& cmd, double feedForward, double h);
    void identifyStep(double h);
    void updateHeat(double h);
    double friction(double v) const;

    JointConfig cfg_;
    double jEff_;        // inertia in N·m per turn/s²
    double accelLimit_;  // what the torque limit allows after friction at full speed

    // Motion.
    double p_ = 0.0;
    double v_ = 0.0;
    double tau_ = 0.0;
    double current_ = 0.0;
    double standbyCurrent_ = 0.0;
    // Mode bookkeeping: a mode starts from where the joint is when it becomes active.
    int activeMode_ = -1;
    JointPower lastPower_ = JointPower::Off;
    double rampTorque_ = 0.0;  // torque ramp and torque calibration: torque reached so far
    double sinePhase_ = 0.0;
    double sineOrigin_ = 0.0;

    // Identification.
    double identRemaining_ = 0.0;
    double identDuration_ = 0.0;
    double identAmplitude_ = 0.0;
    double identPhase_ = 0.0;
    bool identEnded_ = false;

    // Electrics and heat.
    double bus_;
    double motorT_, mosT_, mcuT_;
    std::mt19937_64 rng_;
    std::normal_distribution<double> noise_{0.0, 1.0};
};

}  // namespace sim
