#pragma once

// Values of object-dictionary entries by their CoE data type, as the window shows and takes them:
// the codec of model/coevalue.h over Qt's strings and byte arrays. Free of widgets and of the bus.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// "UNSIGNED16", "REAL32", ...; "0x0123" for a type this console does not know.
QString dataTypeName(uint16_t dataType);

// "RW", "RO", "WO" or "-" for the access bits in OPERATIONAL, with "P" when the entry maps.
QString accessText(uint16_t access);
bool readableInOp(uint16_t access);
bool writableInOp(uint16_t access);

// The bytes as the type reads (integers in decimal, unsigned ones with their hex beside, text as
// Latin-1). Bytes that do not fit the type show as hex.
QString entryValueText(uint16_t dataType, const QByteArray& bytes);

// The bytes for a typed value (see coeValueBytes), blanks around it ignored: VISIBLE_STRING as
// Latin-1 text and OCTET_STRING as hex pairs of at most bitLength / 8 bytes. Nothing for a text
// the type cannot take.
std::optional<QByteArray> entryValueBytes(uint16_t dataType, uint16_t bitLength,
                                          const QString& text);
