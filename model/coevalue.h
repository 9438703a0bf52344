#pragma once

// CoE data types and values of them: the type codes as SDO information and the SII report them,
// their names and sizes, and the text of a value against the little-endian bytes an SDO
// transfers. Plain C++ without Qt: the object dictionary window, zentrio-bus and the simulated
// drives share it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The basic data types of the drives' dictionaries.
enum class CoeDataType : uint16_t {
    Boolean = 0x0001,
    Integer8 = 0x0002,
    Integer16 = 0x0003,
    Integer32 = 0x0004,
    Unsigned8 = 0x0005,
    Unsigned16 = 0x0006,
    Unsigned32 = 0x0007,
    Real32 = 0x0008,
    VisibleString = 0x0009,
    OctetString = 0x000A,
    Real64 = 0x0011,
    Integer64 = 0x0015,
    Unsigned64 = 0x001B,
};

// How a type's bytes read. BOOLEAN is an unsigned byte that takes 0 and 1 only.
enum class CoeValueKind { Unsigned, Signed, Real, VisibleString, OctetString };

struct CoeDataTypeInfo {
    CoeDataType type;
    const char* name;  // "UNSIGNED16"
    size_t size;       // bytes; 0 for the strings, whose length varies
    CoeValueKind kind;
};

// The table row of a type code; nullptr for a code the table does not hold.
const CoeDataTypeInfo* coeDataTypeInfo(uint16_t code);
inline const CoeDataTypeInfo* coeDataTypeInfo(CoeDataType type) {
    return coeDataTypeInfo(static_cast<uint16_t>(type));
}
// "UNSIGNED16", "REAL32", ...; "0x0123" for a code the table does not hold.
std::string coeDataTypeName(uint16_t code);
// Bytes of a fixed-size type; 0 for the strings and for codes the table does not hold.
size_t coeDataTypeSize(CoeDataType type);

// How a REAL32 reads: the shortest text that reads back as the same float ("0.1"), or always
// nine significant digits ("0.100000001"), the command-line tool's form.
enum class CoeReal32Text { Shortest, NineDigits };

// The text of a value from its bytes: integers in decimal, REAL64 with 17 significant digits,
// "inf", "-inf" and "nan" for the reals that are no number, VISIBLE_STRING up to its first zero
// byte, OCTET_STRING as hex pairs ("0a ff"). Nothing when the bytes do not fit the type's size or
// the type is not in the table.
std::optional<std::string> coeValueText(CoeDataType type, std::span<const uint8_t> bytes,
                                        CoeReal32Text real32 = CoeReal32Text::Shortest);

// The bytes for a value's text, or nothing for a text the type cannot take:
// - integers: decimal or 0x-hex, with a sign where the type has one, within the type's range
//   (BOOLEAN: 0 and 1);
// - reals: a finite decimal number; a REAL32 within the float range (nothing rounds to inf);
// - VISIBLE_STRING: the text's bytes as they are, at most `capacity` of them;
// - OCTET_STRING: hex pairs, blanks and colons between them ignored, at most `capacity` bytes.
// Blanks around a number are ignored.
std::optional<std::vector<uint8_t>> coeValueBytes(CoeDataType type, std::string_view text,
                                                  size_t capacity = SIZE_MAX);

// Bytes as lower-case hex pairs separated by blanks: "0a ff".
std::string coeHexText(std::span<const uint8_t> bytes);

// The shortest text (six to nine significant digits) that reads back as the same float.
std::string shortestReal32Text(float value);
