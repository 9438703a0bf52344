#include "channel.h"

#include <array>

#include "model/scaling.h"

namespace scope {

namespace {

struct SignalInfo {
    Signal signal;
    const char* name;
    const char* unit;
    bool word;
};

constexpr std::array<SignalInfo, kSignalCount> kSignals = {{
    {Signal::Position, "position", "turn", false},
    {Signal::Velocity, "velocity", "turn/s", false},
    {Signal::Torque, "torque", "N·m", false},
    {Signal::BusVoltage, "bus_voltage", "", false},
    {Signal::MotorTemp, "motor_temperature", "°C", false},
    {Signal::MosTemp, "mos_temperature", "°C", false},
    {Signal::McuTemp, "mcu_temperature", "°C", false},
    {Signal::StatusWord, "status_word", "", true},
    {Signal::ErrorWord, "error_word", "", true},
    {Signal::DrvErrorWord, "drive_error_word", "", true},
    {Signal::ModeDisplay, "mode_display", "", false},
    {Signal::TargetPosition, "target_position", "turn", false},
    {Signal::TargetVelocity, "target_velocity", "turn/s", false},
    {Signal::TargetTorque, "target_torque", "N·m", false},
    {Signal::ControlWord, "control_word", "", true},
    {Signal::Mode, "mode", "", false},
    {Signal::FollowingError, "following_error", "turn", false},
    {Signal::VelocityError, "velocity_error", "turn/s", false},
}};

constexpr bool tableInOrder() {
    for (int i = 0; i < kSignalCount; ++i) {
        if (static_cast<int>(kSignals[i].signal) != i) {
            return false;
        }
    }
    return true;
}
static_assert(tableInOrder());

const SignalInfo* info(Signal signal) {
    const auto i = static_cast<size_t>(signal);
    return i < kSignals.size() ? &kSignals[i] : nullptr;
}

}  // namespace

bool isWordSignal(Signal signal) {
    const SignalInfo* s = info(signal);
    return s && s->word;
}

double signalValue(Signal signal, const TCiA402_GetValue& in, const App_SetValue& cmd) {
    switch (signal) {
        case Signal::Position:
            return rawToPosition(in.position);
        case Signal::Velocity:
            return rawToVelocity(in.velocity);
        case Signal::Torque:
            return rawToTorque(in.torque);
        case Signal::BusVoltage:
            return in.busVoltage;
        case Signal::MotorTemp:
            return in.motorTemp;
        case Signal::MosTemp:
            return in.mosTemp;
        case Signal::McuTemp:
            return in.mcuTemp;
        case Signal::StatusWord:
            return in.statusWord;
        case Signal::ErrorWord:
            return in.errorWord;
        case Signal::DrvErrorWord:
            return in.drvErrorWord;
        case Signal::ModeDisplay:
            return in.modeDisplay;
        case Signal::TargetPosition:
            return cmd.position;
        case Signal::TargetVelocity:
            return cmd.velocity;
        case Signal::TargetTorque:
            return cmd.torque;
        case Signal::ControlWord:
            return cmd.controlWord;
        case Signal::Mode:
            return cmd.mode;
        case Signal::FollowingError:
            return double{cmd.position} - double{rawToPosition(in.position)};
        case Signal::VelocityError:
            return double{cmd.velocity} - double{rawToVelocity(in.velocity)};
    }
    return 0.0;
}

const char* signalName(Signal signal) {
    const SignalInfo* s = info(signal);
    return s ? s->name : "unknown";
}

const char* signalUnit(Signal signal) {
    const SignalInfo* s = info(signal);
    return s ? s->unit : "";
}

std::optional<Signal> signalFromName(std::string_view name) {
    for (const SignalInfo& s : kSignals) {
        if (name == s.name) {
            return s.signal;
        }
    }
    return std::nullopt;
}

}  // namespace scope
