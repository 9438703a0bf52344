#include "entryvalue.h"

#include <algorithm>
#include <span>

#include "model/coevalue.h"

namespace {

std::span<const uint8_t> byteSpan(const QByteArray& bytes) {
    return {reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<size_t>(bytes.size())};
}

QString hex(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' '));
}

}  // namespace

QString dataTypeName(uint16_t type) {
    return QString::fromStdString(coeDataTypeName(type));
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
    const auto dataType = static_cast<CoeDataType>(type);
    const std::optional<std::string> text = coeValueText(dataType, byteSpan(bytes));
    if (!text) {
        return hex(bytes);
    }
    const CoeDataTypeInfo* info = coeDataTypeInfo(type);
    if (info->kind == CoeValueKind::Unsigned) {
        // The hex beside: the little-endian bytes read backwards.
        QByteArray bigEndian = bytes;
        std::reverse(bigEndian.begin(), bigEndian.end());
        return QStringLiteral("%1 (0x%2)")
            .arg(QString::fromStdString(*text), QString::fromLatin1(bigEndian.toHex()));
    }
    if (info->kind == CoeValueKind::VisibleString) {
        return QString::fromLatin1(text->data(), static_cast<qsizetype>(text->size()));
    }
    return QString::fromStdString(*text);
}

std::optional<QByteArray> entryValueBytes(uint16_t type, uint16_t bitLength, const QString& text) {
    // Text goes to a drive in Latin-1; a character that has none is refused, not replaced.
    const QString t = text.trimmed();
    const QByteArray latin = t.toLatin1();
    if (QString::fromLatin1(latin) != t) {
        return std::nullopt;
    }
    const auto bytes =
        coeValueBytes(static_cast<CoeDataType>(type),
                      std::string_view(latin.constData(), latin.size()), bitLength / 8);
    if (!bytes) {
        return std::nullopt;
    }
    return QByteArray(reinterpret_cast<const char*>(bytes->data()),
                      static_cast<qsizetype>(bytes->size()));
}
