#include "entryvalue.h"

#include <QRegularExpression>

#include <bit>
#include <cmath>
#include <limits>

#include "model/paramtable.h"

namespace {

// CoE basic data types.
enum : uint16_t {
    kBoolean = 0x0001,
    kInteger8 = 0x0002,
    kInteger16 = 0x0003,
    kInteger32 = 0x0004,
    kUnsigned8 = 0x0005,
    kUnsigned16 = 0x0006,
    kUnsigned32 = 0x0007,
    kReal32 = 0x0008,
    kVisibleString = 0x0009,
    kOctetString = 0x000A,
    kReal64 = 0x0011,
    kInteger64 = 0x0015,
    kUnsigned64 = 0x001B,
};

struct IntegerType {
    int bytes;
    bool isSigned;
};

std::optional<IntegerType> integerType(uint16_t type) {
    switch (type) {
        case kBoolean:
        case kUnsigned8:
            return IntegerType{1, false};
        case kInteger8:
            return IntegerType{1, true};
        case kInteger16:
            return IntegerType{2, true};
        case kUnsigned16:
            return IntegerType{2, false};
        case kInteger32:
            return IntegerType{4, true};
        case kUnsigned32:
            return IntegerType{4, false};
        case kInteger64:
            return IntegerType{8, true};
        case kUnsigned64:
            return IntegerType{8, false};
        default:
            return std::nullopt;
    }
}

uint64_t littleEndian(const QByteArray& bytes) {
    uint64_t v = 0;
    for (int i = 0; i < bytes.size() && i < 8; ++i) {
        v |= uint64_t{static_cast<uint8_t>(bytes[i])} << (8 * i);
    }
    return v;
}

QByteArray littleEndianBytes(uint64_t v, int n) {
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i) {
        b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    return b;
}

QString hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' '));
}

}  // namespace

QString dataTypeName(uint16_t type) {
    switch (type) {
        case kBoolean:
            return QStringLiteral("BOOLEAN");
        case kInteger8:
            return QStringLiteral("INTEGER8");
        case kInteger16:
            return QStringLiteral("INTEGER16");
        case kInteger32:
            return QStringLiteral("INTEGER32");
        case kInteger64:
            return QStringLiteral("INTEGER64");
        case kUnsigned8:
            return QStringLiteral("UNSIGNED8");
        case kUnsigned16:
            return QStringLiteral("UNSIGNED16");
        case kUnsigned32:
            return QStringLiteral("UNSIGNED32");
        case kUnsigned64:
            return QStringLiteral("UNSIGNED64");
        case kReal32:
            return QStringLiteral("REAL32");
        case kReal64:
            return QStringLiteral("REAL64");
        case kVisibleString:
            return QStringLiteral("VISIBLE_STRING");
        case kOctetString:
            return QStringLiteral("OCTET_STRING");
        default:
            return QStringLiteral("0x%1").arg(type, 4, 16, QLatin1Char('0'));
    }
}

bool readableInOp(uint16_t access) {
    return (access & 0x04) != 0;
}

bool writableInOp(uint16_t access) {
    return (access & 0x20) != 0;
}

QString accessText(uint16_t access) {
    const bool r = readableInOp(access);
    const bool w = writableInOp(access);
    QString text = r && w ? QStringLiteral("RW")
                   : r    ? QStringLiteral("RO")
                   : w    ? QStringLiteral("WO")
                          : QStringLiteral("-");
    if (access & 0xC0) {
        text += QStringLiteral(" P");
    }
    return text;
}

QString entryValueText(uint16_t type, const QByteArray& bytes) {
    if (const auto t = integerType(type)) {
        if (bytes.size() != t->bytes) {
            return hex(bytes);
        }
        const uint64_t raw = littleEndian(bytes);
        if (t->isSigned) {
            const int shift = 64 - 8 * t->bytes;
            return QString::number(static_cast<int64_t>(raw << shift) >> shift);
        }
        return QStringLiteral("%1 (0x%2)").arg(raw).arg(raw, 2 * t->bytes, 16, QLatin1Char('0'));
    }
    if (type == kReal32 && bytes.size() == 4) {
        return shortestFloatText(std::bit_cast<float>(static_cast<uint32_t>(littleEndian(bytes))));
    }
    if (type == kReal64 && bytes.size() == 8) {
        return QString::number(std::bit_cast<double>(littleEndian(bytes)), 'g', 17);
    }
    if (type == kVisibleString) {
        const qsizetype end = bytes.indexOf('\0');
        return QString::fromLatin1(end < 0 ? bytes : bytes.left(end));
    }
    return hex(bytes);
}

std::optional<QByteArray> entryValueBytes(uint16_t type, uint16_t bitLength, const QString& text) {
    const QString t = text.trimmed();
    if (const auto it = integerType(type)) {
        bool ok = false;
        const bool negative = t.startsWith(QLatin1Char('-'));
        const QString digits = negative ? t.mid(1) : t;
        const bool isHex = digits.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive);
        const uint64_t magnitude =
            isHex ? digits.mid(2).toULongLong(&ok, 16) : digits.toULongLong(&ok, 10);
        if (!ok || digits.isEmpty() || (negative && (!it->isSigned || isHex))) {
            return std::nullopt;
        }
        const int bits = type == kBoolean ? 1 : 8 * it->bytes;
        if (it->isSigned) {
            const uint64_t limit = uint64_t{1} << (bits - 1);  // |min|; max is one less
            if (magnitude > (negative ? limit : limit - 1)) {
                return std::nullopt;
            }
            const uint64_t raw = negative ? ~magnitude + 1 : magnitude;
            return littleEndianBytes(raw, it->bytes);
        }
        if (bits < 64 && magnitude >> bits) {
            return std::nullopt;
        }
        return littleEndianBytes(magnitude, it->bytes);
    }
    if (type == kReal32 || type == kReal64) {
        bool ok = false;
        const double v = t.toDouble(&ok);
        if (!ok || !std::isfinite(v)) {
            return std::nullopt;
        }
        if (type == kReal64) {
            return littleEndianBytes(std::bit_cast<uint64_t>(v), 8);
        }
        if (std::fabs(v) > std::numeric_limits<float>::max()) {
            return std::nullopt;
        }
        return littleEndianBytes(std::bit_cast<uint32_t>(static_cast<float>(v)), 4);
    }
    const int capacity = bitLength / 8;
    if (type == kVisibleString) {
        const QByteArray latin = t.toLatin1();
        if (latin.size() > capacity || QString::fromLatin1(latin) != t) {
            return std::nullopt;
        }
        return latin;
    }
    if (type == kOctetString) {
        static const QRegularExpression pairs(QStringLiteral("^([0-9A-Fa-f]{2}\\s*)*$"));
        if (!pairs.match(t).hasMatch()) {
            return std::nullopt;
        }
        const QByteArray bytes = QByteArray::fromHex(t.toLatin1());
        return bytes.size() <= capacity ? std::optional(bytes) : std::nullopt;
    }
    return std::nullopt;
}
