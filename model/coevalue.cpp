#include "coevalue.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

using Kind = CoeValueKind;

constexpr CoeDataTypeInfo kTypes[] = {
    {CoeDataType::Boolean, "BOOLEAN", 1, Kind::Unsigned},
    {CoeDataType::Integer8, "INTEGER8", 1, Kind::Signed},
    {CoeDataType::Integer16, "INTEGER16", 2, Kind::Signed},
    {CoeDataType::Integer32, "INTEGER32", 4, Kind::Signed},
    {CoeDataType::Integer64, "INTEGER64", 8, Kind::Signed},
    {CoeDataType::Unsigned8, "UNSIGNED8", 1, Kind::Unsigned},
    {CoeDataType::Unsigned16, "UNSIGNED16", 2, Kind::Unsigned},
    {CoeDataType::Unsigned32, "UNSIGNED32", 4, Kind::Unsigned},
    {CoeDataType::Unsigned64, "UNSIGNED64", 8, Kind::Unsigned},
    {CoeDataType::Real32, "REAL32", 4, Kind::Real},
    {CoeDataType::Real64, "REAL64", 8, Kind::Real},
    {CoeDataType::VisibleString, "VISIBLE_STRING", 0, Kind::VisibleString},
    {CoeDataType::OctetString, "OCTET_STRING", 0, Kind::OctetString},
};

uint64_t littleEndian(std::span<const uint8_t> bytes) {
    uint64_t v = 0;
    for (size_t i = 0; i < bytes.size() && i < 8; ++i) {
        v |= uint64_t{bytes[i]} << (8 * i);
    }
    return v;
}

std::vector<uint8_t> littleEndianBytes(uint64_t v, size_t n) {
    std::vector<uint8_t> b(n);
    for (size_t i = 0; i < n; ++i) {
        b[i] = static_cast<uint8_t>(v >> (8 * i));
    }
    return b;
}

bool isBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// printf's %.*g, except that a value exactly halfway at the last digit rounds away from zero
// (printf rounds it to even): the texts the console showed before this codec came from Qt, which
// rounds so, and they keep their digits. Any NaN is "nan".
std::string generalText(double v, int precision) {
    if (std::isnan(v)) {
        return "nan";
    }
    if (std::isinf(v)) {
        return v < 0 ? "-inf" : "inf";
    }
    // A double's exact decimal expansion has at most 767 significant digits.
    char exact[800];
    std::snprintf(exact, sizeof exact, "%.766e", std::fabs(v));
    std::string digits = std::string(1, exact[0]) + std::string(exact + 2, 766);
    int exponent = std::atoi(std::strchr(exact, 'e') + 1);
    const bool roundUp = digits[static_cast<size_t>(precision)] >= '5';
    digits.resize(static_cast<size_t>(precision));
    if (roundUp) {
        size_t i = digits.size();
        while (i > 0 && digits[i - 1] == '9') {
            digits[--i] = '0';
        }
        if (i == 0) {
            digits.insert(digits.begin(), '1');
            digits.pop_back();
            ++exponent;
        } else {
            ++digits[i - 1];
        }
    }
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    std::string text = std::signbit(v) ? "-" : "";
    if (exponent < -4 || exponent >= precision) {
        text += digits[0];
        if (digits.size() > 1) {
            text += '.' + digits.substr(1);
        }
        char e[16];
        std::snprintf(e, sizeof e, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
        return text + e;
    }
    if (exponent < 0) {
        return text + "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    }
    const auto whole = static_cast<size_t>(exponent) + 1;
    if (digits.size() <= whole) {
        return text + digits + std::string(whole - digits.size(), '0');
    }
    return text + digits.substr(0, whole) + '.' + digits.substr(whole);
}

struct Magnitude {
    bool negative;
    uint64_t value;
};

// [+|-] then decimal digits or 0x and hex digits, all of the text.
std::optional<Magnitude> parseInteger(std::string_view s) {
    const bool negative = !s.empty() && s.front() == '-';
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        s.remove_prefix(1);
    }
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    // from_chars would take a second sign.
    if (s.empty() || s.front() == '-' || s.front() == '+') {
        return std::nullopt;
    }
    uint64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (ec != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;
    }
    return Magnitude{negative, v};
}

std::optional<std::vector<uint8_t>> integerBytes(const CoeDataTypeInfo& t, std::string_view text) {
    const auto m = parseInteger(trimmed(text));
    if (!m) {
        return std::nullopt;
    }
    const int bits = t.type == CoeDataType::Boolean ? 1 : static_cast<int>(8 * t.size);
    if (t.kind == Kind::Signed) {
        const uint64_t limit = uint64_t{1} << (bits - 1);  // |min|; max is one less
        if (m->value > (m->negative ? limit : limit - 1)) {
            return std::nullopt;
        }
        return littleEndianBytes(m->negative ? ~m->value + 1 : m->value, t.size);
    }
    if (m->negative || (bits < 64 && m->value >> bits)) {
        return std::nullopt;
    }
    return littleEndianBytes(m->value, t.size);
}

std::optional<std::vector<uint8_t>> realBytes(const CoeDataTypeInfo& t, std::string_view text) {
    std::string_view s = trimmed(text);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
        if (!s.empty() && s.front() == '-') {
            return std::nullopt;
        }
    }
    double v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || end != s.data() + s.size() ||
        (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        return std::nullopt;
    }
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone: strtod tells an underflow (to 0, taken) from an
        // overflow (to inf, refused below).
        v = std::strtod(std::string(s).c_str(), nullptr);
    }
    if (!std::isfinite(v)) {
        return std::nullopt;
    }
    if (t.type == CoeDataType::Real64) {
        return littleEndianBytes(std::bit_cast<uint64_t>(v), 8);
    }
    // Halfway between the largest float and 2^128: from here on a float would be inf.
    constexpr double kReal32Overflow = 0x1.ffffffp+127;
    if (std::fabs(v) >= kReal32Overflow) {
        return std::nullopt;
    }
    return littleEndianBytes(std::bit_cast<uint32_t>(static_cast<float>(v)), 4);
}

std::optional<std::vector<uint8_t>> octetBytes(std::string_view text, size_t capacity) {
    std::string digits;
    for (const char c : text) {
        if (!isBlank(c) && c != ':') {
            digits += c;
        }
    }
    if (digits.size() % 2 != 0 || digits.size() / 2 > capacity) {
        return std::nullopt;
    }
    std::vector<uint8_t> out;
    for (size_t i = 0; i < digits.size(); i += 2) {
        uint8_t byte = 0;
        const char* first = digits.data() + i;
        const auto [end, ec] = std::from_chars(first, first + 2, byte, 16);
        if (ec != std::errc() || end != first + 2) {
            return std::nullopt;
        }
        out.push_back(byte);
    }
    return out;
}

}  // namespace

const CoeDataTypeInfo* coeDataTypeInfo(uint16_t code) {
    for (const CoeDataTypeInfo& t : kTypes) {
        if (static_cast<uint16_t>(t.type) == code) {
            return &t;
        }
    }
    return nullptr;
}

std::string coeDataTypeName(uint16_t code) {
    if (const CoeDataTypeInfo* t = coeDataTypeInfo(code)) {
        return t->name;
    }
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", code);
    return text;
}

size_t coeDataTypeSize(CoeDataType type) {
    const CoeDataTypeInfo* t = coeDataTypeInfo(type);
    return t ? t->size : 0;
}

std::string coeHexText(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0F];
    }
    return text;
}

std::string shortestReal32Text(float value) {
    if (std::isfinite(value)) {
        // Read back as the parsers here read it: through a double, refused beyond the float
        // range (so near the largest float a text must not round up).
        for (int digits = 6; digits < 9; ++digits) {
            const std::string text = generalText(static_cast<double>(value), digits);
            const double back = std::strtod(text.c_str(), nullptr);
            if (std::fabs(back) <= std::numeric_limits<float>::max() &&
                static_cast<float>(back) == value) {
                return text;
            }
        }
    }
    return generalText(static_cast<double>(value), 9);
}

std::optional<std::string> coeValueText(CoeDataType type, std::span<const uint8_t> bytes,
                                        CoeReal32Text real32) {
    const CoeDataTypeInfo* t = coeDataTypeInfo(type);
    if (t == nullptr) {
        return std::nullopt;
    }
    switch (t->kind) {
        case Kind::VisibleString: {
            const auto end = std::find(bytes.begin(), bytes.end(), uint8_t{0});
            return std::string(bytes.begin(), end);
        }
        case Kind::OctetString:
            return coeHexText(bytes);
        default:
            break;
    }
    if (bytes.size() != t->size) {
        return std::nullopt;
    }
    const uint64_t raw = littleEndian(bytes);
    switch (t->kind) {
        case Kind::Unsigned:
            return std::to_string(raw);
        case Kind::Signed: {
            const int shift = static_cast<int>(64 - 8 * t->size);
            return std::to_string(static_cast<int64_t>(raw << shift) >> shift);
        }
        default:
            break;
    }
    if (type == CoeDataType::Real64) {
        return generalText(std::bit_cast<double>(raw), 17);
    }
    const auto f = std::bit_cast<float>(static_cast<uint32_t>(raw));
    return real32 == CoeReal32Text::Shortest ? shortestReal32Text(f)
                                             : generalText(static_cast<double>(f), 9);
}

std::optional<std::vector<uint8_t>> coeValueBytes(CoeDataType type, std::string_view text,
                                                  size_t capacity) {
    const CoeDataTypeInfo* t = coeDataTypeInfo(type);
    if (t == nullptr) {
        return std::nullopt;
    }
    switch (t->kind) {
        case Kind::Unsigned:
        case Kind::Signed:
            return integerBytes(*t, text);
        case Kind::Real:
            return realBytes(*t, text);
        case Kind::VisibleString:
            if (text.size() > capacity) {
                return std::nullopt;
            }
            return std::vector<uint8_t>(text.begin(), text.end());
        case Kind::OctetString:
            return octetBytes(text, capacity);
    }
    return std::nullopt;
}
