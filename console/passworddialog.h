// The FoE password prompt of the firmware upgrade: the operator types the drive's 32-bit
// bootloader password as hexadecimal text.
#pragma once

#include <QString>

#include <cstdint>

class QObject;
class QValidator;
class QWidget;

// Results of askFirmwarePassword.
inline constexpr int kPasswordAccepted = 0;
inline constexpr int kPasswordCancelled = 1;
inline constexpr int kPasswordInvalid = -1;

// Lets only hexadecimal digits (either case) into a field; an empty field stays acceptable, so
// the parse below is what refuses it.
QValidator* createHexPasswordValidator(QObject* parent);

// Reads the text as an unsigned 32-bit number in base 16, most significant digit first. False for
// an empty text, a character that is not a hexadecimal digit, or a value above 0xFFFFFFFF.
bool parseFirmwarePassword(const QString& text, uint32_t& password);

// Modal prompt, pre-filled with "0". Returns kPasswordAccepted with `password` set,
// kPasswordCancelled when the operator cancels, or kPasswordInvalid after a warning box when the
// text is no valid password.
int askFirmwarePassword(QWidget* parent, uint32_t& password);
