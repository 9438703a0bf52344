#include "paramtable.h"

#include <QCoreApplication>

#include <bit>
#include <limits>

#include "coevalue.h"

namespace {

struct ParamRow {
    int id;
    int typeCode;
    int size;
    int access;
    int displayKind;
    int decimals;
    const char* name;  // UTF-8; the key, translated only where shown (paramDisplayName)
};

// clang-format off
constexpr ParamRow kRows[kParamCount] = {
    // id type size access kind dec  name
    {0,  3, 2, 0, 0, 0, QT_TRANSLATE_NOOP("ParamTable", "软件版本")},
    {1,  3, 2, 2, 3, 5, QT_TRANSLATE_NOOP("ParamTable", "转矩常数")},
    {2,  4, 4, 2, 5, 5, QT_TRANSLATE_NOOP("ParamTable", "电机转动惯量")},
    {3,  4, 4, 2, 5, 5, QT_TRANSLATE_NOOP("ParamTable", "电机粘性摩擦")},
    {4,  4, 4, 2, 5, 5, QT_TRANSLATE_NOOP("ParamTable", "电机静摩擦")},
    {5,  4, 4, 2, 5, 5, QT_TRANSLATE_NOOP("ParamTable", "堵转触发电流")},
    {6,  4, 4, 2, 5, 5, QT_TRANSLATE_NOOP("ParamTable", "堵转触发速度")},
    {7,  4, 4, 2, 5, 5, QT_TRANSLATE_NOOP("ParamTable", "堵住触发时间")},
    {8,  2, 1, 2, 2, 0, QT_TRANSLATE_NOOP("ParamTable", "力矩电流限值")},
    {9,  2, 1, 2, 2, 0, QT_TRANSLATE_NOOP("ParamTable", "最大母线电流")},
    {10, 2, 1, 2, 2, 0, QT_TRANSLATE_NOOP("ParamTable", "最大漏电流")},
    {11, 2, 1, 2, 2, 0, QT_TRANSLATE_NOOP("ParamTable", "欠压保护阈值")},
    {12, 2, 1, 2, 2, 0, QT_TRANSLATE_NOOP("ParamTable", "过压保护阈值")},
    {13, 2, 1, 2, 2, 0, QT_TRANSLATE_NOOP("ParamTable", "相电流保护阈值")},
    {14, 2, 1, 2, 2, 0, QT_TRANSLATE_NOOP("ParamTable", "MCU高温保护值")},
    {15, 2, 1, 2, 2, 0, QT_TRANSLATE_NOOP("ParamTable", "MOS高温保护值")},
    {16, 2, 1, 2, 2, 0, QT_TRANSLATE_NOOP("ParamTable", "电机高温保护值")},
    {17, 2, 1, 2, 0, 0, QT_TRANSLATE_NOOP("ParamTable", "校准")},
    {18, 2, 1, 2, 0, 0, QT_TRANSLATE_NOOP("ParamTable", "保存设置")},
    {19, 2, 1, 2, 0, 0, QT_TRANSLATE_NOOP("ParamTable", "保存设置中")},
    {20, 1, 1, 2, 1, 0, QT_TRANSLATE_NOOP("ParamTable", "MCU低温保护值")},
    {21, 1, 1, 2, 1, 0, QT_TRANSLATE_NOOP("ParamTable", "MOS低温保护值")},
    {22, 1, 1, 2, 1, 0, QT_TRANSLATE_NOOP("ParamTable", "电机低温保护值")},
    {23, 2, 1, 2, 2, 0, QT_TRANSLATE_NOOP("ParamTable", "反转方向")},
    {24, 2, 1, 2, 2, 0, QT_TRANSLATE_NOOP("ParamTable", "电机极对数")},
    {25, 2, 1, 2, 2, 0, QT_TRANSLATE_NOOP("ParamTable", "校准电流")},
    {26, 2, 1, 2, 2, 0, QT_TRANSLATE_NOOP("ParamTable", "校准电压")},
    {27, 2, 1, 2, 2, 0, QT_TRANSLATE_NOOP("ParamTable", "减速比")},
    {28, 4, 4, 2, 5, 5, QT_TRANSLATE_NOOP("ParamTable", "电机相电阻")},
    {29, 4, 4, 2, 5, 5, QT_TRANSLATE_NOOP("ParamTable", "电机相电感")},
    {30, 4, 4, 2, 5, 5, QT_TRANSLATE_NOOP("ParamTable", "电机转速限值")},
    {31, 4, 4, 2, 4, 0, QT_TRANSLATE_NOOP("ParamTable", "突破电流")},
    {32, 4, 4, 2, 5, 5, QT_TRANSLATE_NOOP("ParamTable", "力矩比例")},
    {33, 4, 4, 2, 5, 5, QT_TRANSLATE_NOOP("ParamTable", "电流比例")},
    {34, 2, 4, 0, 0, 5, QT_TRANSLATE_NOOP("ParamTable", "产品批号")},
    {35, 2, 4, 2, 0, 5, QT_TRANSLATE_NOOP("ParamTable", "未使用")},
    {36, 4, 4, 0, 0, 0, QT_TRANSLATE_NOOP("ParamTable", "产品类型")},
};
// clang-format on

// A parameter's id is its row, and its subindex on the drive is one more: each id once, in order.
constexpr bool idsAreTheRows() {
    for (int i = 0; i < kParamCount; ++i) {
        if (kRows[i].id != i) {
            return false;
        }
    }
    return true;
}
static_assert(idsAreTheRows());

ParamTable buildParamTable() {
    ParamTable table;
    for (const ParamRow& r : kRows) {
        ParamInfo info;
        info.index = kParamObjectIndex;
        // The drive numbers its sub-entries from 1; subindex 0 holds the entry count.
        info.subIndex = static_cast<uint8_t>(r.id + 1);
        info.typeCode = r.typeCode;
        info.size = r.size;
        info.access = r.access;
        info.name = QString::fromUtf8(r.name);
        info.displayKind = r.displayKind;
        info.decimals = r.decimals;
        table.insert(r.id, info);
    }
    return table;
}

// Truncation toward zero that stays defined for any double; integer rows keep the low bits.
int64_t truncateToInt64(double v) {
    if (!(v > -9223372036854775808.0 && v < 9223372036854775808.0)) {
        return 0;
    }
    return static_cast<int64_t>(v);
}

// Narrowing that stays defined beyond the float range: such values go to infinity.
float toFloat(double v) {
    if (v > static_cast<double>(std::numeric_limits<float>::max())) {
        return std::numeric_limits<float>::infinity();
    }
    if (v < -static_cast<double>(std::numeric_limits<float>::max())) {
        return -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(v);
}

QByteArray littleEndianBytes(uint32_t value, int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size && i < 4; ++i) {
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
    }
    return bytes;
}

// Built before main runs; the function-local static keeps the order safe for any static
// initialiser elsewhere that already asks for the table.
[[maybe_unused]] const ParamTable& gTableBuiltAtStartup = paramTable();

}  // namespace

const ParamTable& paramTable() {
    static const ParamTable table = buildParamTable();
    return table;
}

const ParamInfo* findParam(int id) {
    const ParamTable& table = paramTable();
    const auto it = table.constFind(id);
    return it == table.cend() ? nullptr : &it.value();
}

QString paramDisplayName(const ParamInfo& info) {
    return QCoreApplication::translate("ParamTable", info.name.toUtf8().constData());
}

QString paramDisplayName(int id) {
    const ParamInfo* info = findParam(id);
    return info == nullptr ? QString() : paramDisplayName(*info);
}

EditorRange editorRangeFor(int displayKind) {
    switch (displayKind) {
        case kDisplaySmallInt:
            return {-100.0, 100.0};
        case kDisplayUInt:
        case kDisplayThousandths:
        case kDisplayUInt32:
        case kDisplayFloat:
            return {0.0, 10000.0};
        default:
            return {};
    }
}

QString versionText(uint16_t version) {
    return QString::asprintf("%d.%d.%d", (version >> 8) & 0xF, (version >> 4) & 0xF, version & 0xF);
}

int familyDigit(uint16_t version) {
    return (version >> 12) & 0xF;
}

uint32_t littleEndianValue(const QByteArray& bytes) {
    uint32_t value = 0;
    for (int i = 0; i < bytes.size() && i < 4; ++i) {
        value |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << (8 * i);
    }
    return value;
}

int batchNumber(uint32_t value) {
    return static_cast<int>(value & 0xFFu);
}

QString productTypeName(uint32_t value) {
    QByteArray text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((value >> shift) & 0xFFu);
        if (c == '\0') {
            break;
        }
        text.append(c);
    }
    return QString::fromLatin1(text);
}

QString shortestFloatText(float value) {
    return QString::fromStdString(shortestReal32Text(value));
}

QString fallbackProductType(int digit) {
    return QString::asprintf("QJ%d0", digit);
}

std::optional<double> editorValueFromBytes(int id, const QByteArray& bytes) {
    const ParamInfo* info = findParam(id);
    if (info == nullptr || id == kParamIdSaveSettings) {
        return std::nullopt;
    }
    const uint32_t raw = littleEndianValue(bytes.left(info->size));
    if (id == kParamIdTorqueConstant) {
        return static_cast<uint16_t>(raw) / 1000.0;
    }
    switch (info->typeCode) {
        case kParamTypeInt8:
            return static_cast<int8_t>(static_cast<uint8_t>(raw));
        case kParamTypeUInt8:
            return static_cast<uint8_t>(raw);
        case kParamTypeUInt16:
            return static_cast<uint16_t>(raw);
        case kParamType32Bit:
            if (info->displayKind == kDisplayFloat) {
                return std::bit_cast<float>(raw);
            }
            return raw;
        default:
            return std::nullopt;
    }
}

QByteArray bytesFromEditorValue(int id, double value) {
    const ParamInfo* info = findParam(id);
    if (info == nullptr) {
        return {};
    }
    if (id == kParamIdSaveSettings) {
        return littleEndianBytes(kSaveSettingsCommand, info->size);
    }
    if (id == kParamIdTorqueConstant) {
        return littleEndianBytes(static_cast<uint16_t>(truncateToInt64(value * 1000.0)),
                                 info->size);
    }
    switch (info->typeCode) {
        case kParamTypeInt8:
        case kParamTypeUInt8:
            return littleEndianBytes(static_cast<uint8_t>(truncateToInt64(value)), info->size);
        case kParamTypeUInt16:
            return littleEndianBytes(static_cast<uint16_t>(truncateToInt64(value)), info->size);
        case kParamType32Bit:
            if (info->displayKind == kDisplayFloat) {
                return littleEndianBytes(std::bit_cast<uint32_t>(toFloat(value)), info->size);
            }
            return littleEndianBytes(static_cast<uint32_t>(truncateToInt64(value)), info->size);
        default:
            return {};
    }
}
