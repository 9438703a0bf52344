// Layout of a group's process image: where each slave's outputs and inputs sit in the caller's
// buffer (and in logical address space), and how the image is cut into LRW datagrams.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace ec {

// Room for the LRW data of one frame, leaving space behind it for the DC time datagram.
inline constexpr uint32_t kMaxSegmentBytes = 1486 - 20;

struct IoSlaveBits {
    uint32_t outputBits = 0;
    uint32_t inputBits = 0;
};

struct IoPlace {
    uint32_t offset = 0;   // byte offset from the start of the image
    uint8_t startBit = 0;  // first bit in that byte (slaves smaller than a byte are packed)
    uint32_t bits = 0;
    uint32_t bytes = 0;  // bytes touched
    // Last bit used in the last byte: images of a byte or more map whole bytes.
    uint8_t endBit() const;
};

struct IoLayout {
    std::vector<IoPlace> outputs;  // one per slave, in slave order (empty place: no outputs)
    std::vector<IoPlace> inputs;
    uint32_t outputBytes = 0;  // inputs start here
    uint32_t inputBytes = 0;
    std::vector<uint32_t> segments;  // bytes per LRW datagram, in logical order
    uint16_t inputSegment = 0;       // segment holding the first input byte
    uint32_t inputSegmentOffset = 0;
    uint16_t outputsWkc = 0;  // slaves with outputs (each adds 2 to an LRW's WKC)
    uint16_t inputsWkc = 0;   // slaves with inputs (each adds 1)
    uint32_t totalBytes() const { return outputBytes + inputBytes; }
    uint16_t expectedWkc() const { return static_cast<uint16_t>(outputsWkc * 2 + inputsWkc); }
};

// Outputs of all slaves first, then inputs; byte-sized images byte-aligned, smaller ones packed
// bit by bit. Segments are cut at slave boundaries and hold at most `maxSegment` bytes. Nullopt
// when one slave's image alone exceeds a segment or there are more than `maxSegments`.
std::optional<IoLayout> computeIoLayout(std::span<const IoSlaveBits> slaves,
                                        uint32_t maxSegment = kMaxSegmentBytes,
                                        size_t maxSegments = 64);

}  // namespace ec
