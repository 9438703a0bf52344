#pragma once

// The CiA 402 power state machine as master, simulated drives and console all read it: the
// control words the master sends (object 0x6040), the status-word bits a drive answers with
// (0x6041), the states and their names. Plain C++ without Qt.

#include <cstdint>

// --- control words ------------------------------------------------------------------------------

// The device-control commands as whole words. Switch on and disable operation are the same word:
// which one it is depends on the state it reaches the drive in.
inline constexpr uint16_t kControlWordDisableVoltage = 0x0000;
inline constexpr uint16_t kControlWordQuickStop = 0x0002;
inline constexpr uint16_t kControlWordShutdown = 0x0006;
inline constexpr uint16_t kControlWordSwitchOn = 0x0007;
inline constexpr uint16_t kControlWordDisableOperation = 0x0007;
inline constexpr uint16_t kControlWordEnableOperation = 0x000F;
// Bit 7: a drive resets a fault on its rising edge, not on its level.
inline constexpr uint16_t kControlWordFaultReset = 0x0080;

// --- status word --------------------------------------------------------------------------------

inline constexpr uint16_t kStatusWordReadyToSwitchOn = 1u << 0;
inline constexpr uint16_t kStatusWordSwitchedOn = 1u << 1;
inline constexpr uint16_t kStatusWordOperationEnabled = 1u << 2;
inline constexpr uint16_t kStatusWordFault = 1u << 3;
inline constexpr uint16_t kStatusWordVoltageEnabled = 1u << 4;
inline constexpr uint16_t kStatusWordQuickStop = 1u << 5;  // set while quick stop is NOT active
inline constexpr uint16_t kStatusWordSwitchOnDisabled = 1u << 6;
inline constexpr uint16_t kStatusWordWarning = 1u << 7;
inline constexpr uint16_t kStatusWordRemote = 1u << 9;
inline constexpr uint16_t kStatusWordTargetReached = 1u << 10;
inline constexpr uint16_t kStatusWordInternalLimit = 1u << 11;
// The bits that tell the states apart; the quick-stop bit only matters for the states it splits.
inline constexpr uint16_t kStatusWordStateMask = 0x004F;
inline constexpr uint16_t kStatusWordStateMaskWithQuickStop = 0x006F;

// --- states -------------------------------------------------------------------------------------

// The codes are the master's drive state codes: its walks step through them by adding and
// subtracting one, so the order and the values are fixed.
enum class Cia402State : int {
    NotReadyToSwitchOn = 0,
    SwitchOnDisabled = 1,
    ReadyToSwitchOn = 2,
    SwitchedOn = 3,
    OperationEnabled = 4,
    QuickStopActive = 5,
    FaultReactionActive = 6,
    Fault = 7,
    Unknown = 8,  // a status word that matches no state
};

// The state a status word reports, by the master's rules (see cia402.cpp for their order).
Cia402State cia402StateFromStatusWord(uint16_t statusWord);

// The state bits a drive in `state` reports (within kStatusWordStateMaskWithQuickStop); 0 for
// Unknown. A drive adds voltage-enabled, remote and the rest itself.
uint16_t cia402StatusBits(Cia402State state);

// The profile's English name ("Operation enabled"); "Unknown" for Unknown and any other code.
// Untranslated: cia402StateNameText (cia402text.h) gives it in the operator's language.
const char* cia402StateName(Cia402State state);
// Whether a drive's record is news against the drive's record before it: the fault bit came on,
// or an error word changed to a value other than 0. A fault going away is not (its reset says so).
struct TCiA402_GetValue;
bool isFaultNews(const TCiA402_GetValue& before, const TCiA402_GetValue& now);

// The name the console shows operators in the log and the drive overview (UTF-8, Chinese);
// "未知状态" for Unknown and any other code. Untranslated: windows show cia402StateDisplayText.
const char* cia402StateDisplayName(Cia402State state);
