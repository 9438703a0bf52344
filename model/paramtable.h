#pragma once

// The drive parameters: sub-entries of the manufacturer object 0x6101, known to the rest of the
// console only by their id. The table is fixed, built before main runs and never changes.

#include <QByteArray>
#include <QMap>
#include <QString>

#include <cstdint>
#include <optional>

inline constexpr uint16_t kParamObjectIndex = 0x6101;
inline constexpr int kParamCount = 37;

// How the transferred bytes read as a number (ParamInfo::typeCode).
inline constexpr int kParamTypeInt8 = 1;
inline constexpr int kParamTypeUInt8 = 2;
inline constexpr int kParamTypeUInt16 = 3;
inline constexpr int kParamType32Bit = 4;  // unsigned integer or float, by display kind

// ParamInfo::access
inline constexpr int kParamReadOnly = 0;
inline constexpr int kParamWriteOnly = 1;
inline constexpr int kParamReadWrite = 2;

// ParamInfo::displayKind: which editor the parameter page gives the row.
inline constexpr int kDisplayNone = 0;  // dedicated control or none
inline constexpr int kDisplaySmallInt = 1;
inline constexpr int kDisplayUInt = 2;
inline constexpr int kDisplayThousandths = 3;
inline constexpr int kDisplayUInt32 = 4;
inline constexpr int kDisplayFloat = 5;

// Parameter ids used by code rather than by the generic page.
inline constexpr int kParamIdSoftwareVersion = 0;
inline constexpr int kParamIdTorqueConstant = 1;
inline constexpr int kParamIdCalibration = 17;
inline constexpr int kParamIdSaveSettings = 18;
inline constexpr int kParamIdProductBatch = 34;
inline constexpr int kParamIdProductType = 36;

// Writing this byte to the save-settings parameter makes the drive store its settings.
inline constexpr uint8_t kSaveSettingsCommand = 15;

struct ParamInfo {
    uint16_t index = kParamObjectIndex;
    uint8_t subIndex = 0;
    int32_t typeCode = 0;
    int32_t size = 0;  // bytes over the mailbox: 1, 2 or 4
    int32_t access = kParamReadOnly;
    // Chinese name: the key of parameter-set files and lookups by name (e.g. "产品类型"). Never
    // translated here; windows and the log show paramDisplayName.
    QString name;
    int32_t displayKind = kDisplayNone;
    int32_t decimals = 0;  // digits after the point in the row's editor
};

// Parameter id -> row, in ascending id order.
using ParamTable = QMap<int32_t, ParamInfo>;

// The process-wide table.
const ParamTable& paramTable();

// Row of an id, or nullptr for an id the table does not hold.
const ParamInfo* findParam(int id);

// The name as operators read it: ParamInfo::name translated (context "ParamTable"). Empty for an
// id the table does not hold.
QString paramDisplayName(int id);
QString paramDisplayName(const ParamInfo& info);

inline bool isParamReadable(const ParamInfo& p) {
    return p.access != kParamWriteOnly;
}
inline bool isParamWritable(const ParamInfo& p) {
    return p.access != kParamReadOnly;
}

// Editor range of a display kind; kind 0 has no editor and gives {0, 0}.
struct EditorRange {
    double minimum = 0.0;
    double maximum = 0.0;
};
EditorRange editorRangeFor(int displayKind);

// --- identity values ---

// Software version word: major in bits 8-11, minor in 4-7, patch in 0-3, shown "major.minor.patch".
QString versionText(uint16_t version);
// Bits 12-15 of the software version word: the product family digit.
int familyDigit(uint16_t version);
// Little-endian value of up to four bytes; missing bytes count as zero.
uint32_t littleEndianValue(const QByteArray& bytes);
// Product batch: the low 8 bits of the little-endian 4-byte value.
int batchNumber(uint32_t value);
// Product type: up to four ASCII characters, most significant byte first, ending at the first
// zero byte (a zero top byte gives an empty name).
QString productTypeName(uint32_t value);
// Product type when it cannot be read: built from the family digit, e.g. 3 -> "QJ30".
QString fallbackProductType(int familyDigit);

// --- value conversions ---

// The shortest text that reads back as the same 32-bit float ("0.1", not "0.100000001"): the
// codec's (coevalue.h), so that the dictionary window shows a REAL32 entry the same way.
QString shortestFloatText(float value);

// Number shown in the editor for the bytes read from the drive. Empty for an unknown id and for
// the save-settings command, which is never read back.
std::optional<double> editorValueFromBytes(int id, const QByteArray& bytes);

// Bytes written to the drive (the row's size, little-endian) for an editor value. Integer rows
// truncate toward zero; save settings always sends kSaveSettingsCommand. Empty for an unknown id.
QByteArray bytesFromEditorValue(int id, double value);
