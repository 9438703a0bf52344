// Reading a fuzz input as a little structure: single bytes, 16-bit values and length-prefixed
// records. Running out of input yields zeros and empty records, never an out-of-range read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace fuzz {

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data, size) {}

    bool empty() const { return at_ >= data_.size(); }
    size_t left() const { return data_.size() - at_; }

    uint8_t u8() { return empty() ? 0 : data_[at_++]; }
    uint16_t u16() {
        const uint8_t lo = u8();
        return static_cast<uint16_t>(lo | u8() << 8);
    }
    // Up to n bytes (fewer at the end of the input).
    std::span<const uint8_t> take(size_t n) {
        const size_t k = n < left() ? n : left();
        const auto s = data_.subspan(at_, k);
        at_ += k;
        return s;
    }
    // A record: 16-bit length, then that many bytes.
    std::span<const uint8_t> record() { return take(u16()); }
    std::span<const uint8_t> rest() { return take(left()); }

private:
    std::span<const uint8_t> data_;
    size_t at_ = 0;
};

}  // namespace fuzz
