#include "iomap.h"

#include <algorithm>

namespace ec {

uint8_t IoPlace::endBit() const {
    if (bits >= 8 || bits == 0) {
        return 7;
    }
    return static_cast<uint8_t>((startBit + bits - 1) & 7);
}

namespace {

// Places images one after the other from byte `start`. Returns the end (whole bytes).
uint32_t placeAll(std::span<const IoSlaveBits> slaves, bool outputs, uint32_t start,
                  std::vector<IoPlace>& places) {
    uint32_t byte = start;
    uint32_t bit = 0;  // next free bit in `byte` when packing
    for (const IoSlaveBits& s : slaves) {
        const uint32_t bits = outputs ? s.outputBits : s.inputBits;
        IoPlace p;
        p.bits = bits;
        if (bits == 0) {
            places.push_back(p);
            continue;
        }
        if (bits < 8) {
            if (bit + bits > 8) {
                ++byte;
                bit = 0;
            }
            p.offset = byte;
            p.startBit = static_cast<uint8_t>(bit);
            p.bytes = 1;
            bit += bits;
            if (bit == 8) {
                ++byte;
                bit = 0;
            }
        } else {
            if (bit > 0) {
                ++byte;
                bit = 0;
            }
            p.offset = byte;
            p.bytes = (bits + 7) / 8;
            byte += p.bytes;
        }
        places.push_back(p);
    }
    return bit > 0 ? byte + 1 : byte;
}

}  // namespace

std::optional<IoLayout> computeIoLayout(std::span<const IoSlaveBits> slaves, uint32_t maxSegment,
                                        size_t maxSegments) {
    IoLayout layout;
    layout.outputBytes = placeAll(slaves, true, 0, layout.outputs);
    const uint32_t end = placeAll(slaves, false, layout.outputBytes, layout.inputs);
    layout.inputBytes = end - layout.outputBytes;
    for (const IoSlaveBits& s : slaves) {
        layout.outputsWkc += s.outputBits > 0;
        layout.inputsWkc += s.inputBits > 0;
    }

    // Blocks in logical order; a segment may only end where a block starts on a byte of its own.
    struct Block {
        uint32_t begin, end;
    };
    std::vector<Block> blocks;
    for (const auto* places : {&layout.outputs, &layout.inputs}) {
        for (const IoPlace& p : *places) {
            if (p.bytes > 0) {
                blocks.push_back({p.offset, p.offset + p.bytes});
            }
        }
    }
    uint32_t segStart = 0;
    uint32_t covered = 0;  // end of the blocks taken so far
    for (const Block& b : blocks) {
        if (b.end - segStart > maxSegment) {
            if (b.begin < covered || b.begin == segStart) {
                return std::nullopt;  // cannot cut here: the block shares a byte or is too big
            }
            layout.segments.push_back(b.begin - segStart);
            segStart = b.begin;
            if (b.end - segStart > maxSegment) {
                return std::nullopt;
            }
        }
        covered = std::max(covered, b.end);
    }
    if (end > segStart) {
        layout.segments.push_back(end - segStart);
    }
    if (layout.segments.size() > maxSegments) {
        return std::nullopt;
    }
    // Where the inputs begin.
    uint32_t at = 0;
    for (size_t i = 0; i < layout.segments.size(); ++i) {
        if (layout.outputBytes < at + layout.segments[i]) {
            layout.inputSegment = static_cast<uint16_t>(i);
            layout.inputSegmentOffset = layout.outputBytes - at;
            break;
        }
        at += layout.segments[i];
    }
    return layout;
}

}  // namespace ec
