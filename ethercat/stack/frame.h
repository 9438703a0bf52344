// Frames and datagrams: building a frame of one or more datagrams, checking a returned frame
// against what was sent, and the table of frame slots that pairs replies with their senders.
//
// The engine is passive: it hands out frames to transmit and takes frames received, but never
// touches a link. The port (port.h) drives it; tests drive it the same way.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>

#include "protocol.h"

namespace ec {

inline constexpr size_t kFrameSlots = 16;
inline constexpr size_t kMaxDatagramsPerFrame = 128;
inline constexpr size_t kFrameHeaderSize = kEthHeaderSize + kEcHeaderSize;
// An index whose frame may still be on the wire (sent again, or abandoned by its caller) is not
// handed out again before this much time has passed, so a late reply cannot be taken for the reply
// to a new frame.
inline constexpr std::chrono::milliseconds kIndexQuarantine{100};

// Where one datagram sits in a frame.
struct DatagramPlace {
    Command cmd;
    uint16_t length;    // data bytes
    size_t dataOffset;  // from the start of the Ethernet frame
};

// Encodes one frame. Datagrams are appended in order; finish() writes the index into every
// datagram, the EtherCAT header length and the "more" flags, and pads to the Ethernet minimum.
class FrameBuilder {
public:
    FrameBuilder() { reset(); }

    void reset();
    // The Ethernet source address of the frames built from now on (after the next reset()).
    void setSource(const std::array<uint8_t, 6>& mac) { source_ = mac; }

    // Appends a datagram whose address is ADP | ADO << 16 (logical commands: the 32-bit logical
    // address). `data` null sends zeros. Returns the datagram's number in the frame, or nullopt
    // when it does not fit.
    std::optional<size_t> add(Command cmd, uint32_t address, uint16_t length,
                              const void* data = nullptr);

    std::span<const uint8_t> finish(uint8_t index);

    size_t datagramCount() const { return count_; }
    const DatagramPlace& place(size_t n) const { return places_[n]; }
    // Bytes of all datagrams (the EtherCAT header's length field).
    size_t datagramBytes() const { return size_ - kFrameHeaderSize; }
    std::span<const uint8_t> bytes() const { return {bytes_.data(), frameSize_}; }

private:
    std::array<uint8_t, kEthMaxFrame> bytes_{};
    std::array<uint8_t, 6> source_ = kMasterMac;
    std::array<DatagramPlace, kMaxDatagramsPerFrame> places_{};
    size_t count_ = 0;
    size_t size_ = 0;       // header + datagrams
    size_t frameSize_ = 0;  // after padding, set by finish()
    size_t lastHeader_ = 0;
};

// Why a returned frame was not taken.
enum class Intake {
    Accepted,    // stored for the slot that sent it
    Malformed,   // not an EtherCAT datagram frame, or its lengths disagree
    Unmatched,   // no frame with that index is waiting (late, duplicate or foreign)
    Mismatched,  // index matches but the datagrams differ from what was sent
};

// Checks that `frame` is a well-formed EtherCAT frame: Ethernet header, EtherType, frame type,
// header length within the frame, datagrams that chain exactly to that length. Returns the datagram
// bytes (without padding) or nullopt.
std::optional<std::span<const uint8_t>> checkFrame(std::span<const uint8_t> frame);

using SlotId = size_t;

// The frame slots of one port.
//
// Slot states and transitions (all under the engine's mutex):
//   Free      --claim()-->          Building   (a fresh index is bound to the slot)
//   Building  --markSent()-->       InFlight   (the caller transmits the bytes)
//   InFlight  --markSent()-->       InFlight   (sent again; the index is then quarantined later)
//   InFlight  --accept(reply)-->    Received   (the reply is stored for the owner)
//   Received  --release()-->        Free       (owner has read the reply)
//   InFlight  --release()-->        Free       (owner gave up; the index is quarantined)
//   Building  --release()-->        Free       (never sent)
// A reply is only ever taken by a slot in InFlight whose index and datagram layout match.
class FrameEngine {
public:
    enum class SlotState { Free, Building, InFlight, Received };
    using Clock = std::chrono::steady_clock;

    FrameEngine();

    // Source address of every frame; set before the engine is used.
    void setSourceAddress(const std::array<uint8_t, 6>& mac);

    // Binds a free slot to a fresh index; nullopt when no slot or index is available.
    std::optional<SlotId> claim();

    // The builder of a slot in Building. Only the owner touches it.
    FrameBuilder& builder(SlotId slot) { return slots_[slot].tx; }

    // Finishes the frame (first time) and moves the slot to InFlight. Returns the bytes to send.
    std::span<const uint8_t> markSent(SlotId slot);

    // Takes a frame received from the link.
    Intake accept(std::span<const uint8_t> frame);

    SlotState state(SlotId slot) const;
    uint8_t index(SlotId slot) const;

    // Data and working counter of datagram n of a Received slot (only the owner calls these).
    std::span<const uint8_t> replyData(SlotId slot, size_t n) const;
    uint16_t replyWkc(SlotId slot, size_t n) const;

    void release(SlotId slot);

    // Counters for diagnosis and tests.
    struct Stats {
        uint64_t accepted = 0;
        uint64_t malformed = 0;
        uint64_t unmatched = 0;
        uint64_t mismatched = 0;
    };
    Stats stats() const;

private:
    struct Slot {
        SlotState state = SlotState::Free;
        uint8_t index = 0;
        bool resent = false;
        bool finished = false;
        FrameBuilder tx;
        std::array<uint8_t, kEthMaxFrame> rx{};
    };

    bool indexAvailable(uint8_t index, Clock::time_point now) const;

    mutable std::mutex mutex_;
    std::array<Slot, kFrameSlots> slots_;                    // guarded by mutex_ (builders: owner)
    std::array<Clock::time_point, 256> quarantinedUntil_{};  // guarded by mutex_
    std::array<bool, 256> indexInUse_{};                     // guarded by mutex_
    uint8_t nextIndex_ = 0;                                  // guarded by mutex_
    Stats stats_;                                            // guarded by mutex_
};

}  // namespace ec
