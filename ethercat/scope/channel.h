#pragma once

// What one scope channel records: a signal of one drive, taken from the drive's input record or
// from the command record the master sends it, in engineering units. Plain C++ without Qt: the
// cycle thread, the window and zentrio-bus share it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/processdata.h"

namespace scope {

// A scope records at most this many channels, of any drives.
inline constexpr int kMaxChannels = 16;

enum class Signal : uint8_t {
    // input record (TCiA402_GetValue)
    Position,      // turn
    Velocity,      // turn/s
    Torque,        // N·m
    BusVoltage,    // as the drive reports it, unscaled
    MotorTemp,     // °C
    MosTemp,       // °C
    McuTemp,       // °C
    StatusWord,    // CiA 402 status word
    ErrorWord,     // motor fault bits
    DrvErrorWord,  // power-stage fault bits
    ModeDisplay,   // active mode of operation
    // command record (App_SetValue)
    TargetPosition,  // turn
    TargetVelocity,  // turn/s
    TargetTorque,    // N·m
    ControlWord,
    Mode,
    // derived
    FollowingError,  // target position − actual position, turn
    VelocityError,   // target velocity − actual velocity, turn/s
};
inline constexpr int kSignalCount = 18;

// Whether a signal is a word of bits (status, control, fault words) rather than a quantity. The
// 16-bit words are exact in a float sample; the 32-bit fault words are exact up to bit 23, which
// covers every bit our drives define (0 to 14).
bool isWordSignal(Signal signal);

// The signal in engineering units, converted with the drive interface's own scalings
// (model/scaling.h): the derived errors subtract in double after each side is scaled.
double signalValue(Signal signal, const TCiA402_GetValue& inputs, const App_SetValue& commands);

// The signal's name in files and on the command line ("following_error") and its unit ("turn",
// "" for words and codes).
const char* signalName(Signal signal);
const char* signalUnit(Signal signal);
std::optional<Signal> signalFromName(std::string_view name);

struct ChannelDef {
    int drive = 0;  // the drive by its index in the master's list of valid drives (0-based)
    Signal signal = Signal::Position;
    double scale = 1;               // display factor; samples stay in the signal's own unit
    std::string unit{};             // display unit; empty: the signal's
    uint32_t colour = 0xFF0000FFu;  // 0xAARRGGBB
    std::string label{};

    bool operator==(const ChannelDef&) const = default;
};

}  // namespace scope
