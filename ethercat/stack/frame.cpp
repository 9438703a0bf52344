#include "frame.h"

#include <algorithm>
#include <cstring>

#include "wire.h"

namespace ec {

// --- FrameBuilder --------------------------------------------------------------------------------

void FrameBuilder::reset() {
    std::fill(bytes_.begin(), bytes_.begin() + kFrameHeaderSize, 0);
    std::fill(bytes_.begin(), bytes_.begin() + 6, 0xFF);  // slaves ignore the destination
    std::copy(source_.begin(), source_.end(), bytes_.begin() + 6);
    putU16be(bytes_.data() + 12, kEtherType);
    count_ = 0;
    size_ = kFrameHeaderSize;
    frameSize_ = 0;
    lastHeader_ = 0;
}

std::optional<size_t> FrameBuilder::add(Command cmd, uint32_t address, uint16_t length,
                                        const void* data) {
    const size_t needed = kDatagramHeaderSize + length + kWkcSize;
    if (frameSize_ != 0 || count_ >= kMaxDatagramsPerFrame || length > kMaxDatagramData ||
        size_ - kFrameHeaderSize + needed > kMaxDatagramBytes) {
        return std::nullopt;
    }
    uint8_t* d = bytes_.data() + size_;
    d[0] = static_cast<uint8_t>(cmd);
    d[1] = 0;  // index, written by finish()
    putU32(d + 2, address);
    putU16(d + 6, length);
    putU16(d + 8, 0);
    if (data != nullptr) {
        std::memcpy(d + kDatagramHeaderSize, data, length);
    } else {
        std::memset(d + kDatagramHeaderSize, 0, length);
    }
    putU16(d + kDatagramHeaderSize + length, 0);  // working counter
    if (count_ > 0) {
        uint8_t* prev = bytes_.data() + lastHeader_;
        putU16(prev + 6, getU16(prev + 6) | kDatagramMore);
    }
    places_[count_] = DatagramPlace{cmd, length, size_ + kDatagramHeaderSize};
    lastHeader_ = size_;
    size_ += kDatagramHeaderSize + length + kWkcSize;
    return count_++;
}

std::span<const uint8_t> FrameBuilder::finish(uint8_t index) {
    const size_t datagramBytes = size_ - kFrameHeaderSize;
    putU16(bytes_.data() + kEthHeaderSize,
           static_cast<uint16_t>((kEcFrameTypeDatagrams << 12) | datagramBytes));
    size_t at = kFrameHeaderSize;
    for (size_t n = 0; n < count_; ++n) {
        bytes_[at + 1] = index;
        at += kDatagramHeaderSize + places_[n].length + kWkcSize;
    }
    frameSize_ = std::max(size_, kEthMinFrame);
    std::fill(bytes_.begin() + size_, bytes_.begin() + frameSize_, 0);
    return bytes();
}

// --- Checking a returned frame -------------------------------------------------------------------

std::optional<std::span<const uint8_t>> checkFrame(std::span<const uint8_t> frame) {
    if (frame.size() < kFrameHeaderSize + kDatagramHeaderSize + kWkcSize) {
        return std::nullopt;
    }
    if (getU16be(frame.data() + 12) != kEtherType) {
        return std::nullopt;
    }
    const uint16_t header = getU16(frame.data() + kEthHeaderSize);
    if ((header >> 12) != kEcFrameTypeDatagrams) {
        return std::nullopt;
    }
    const size_t length = header & kEcLengthMask;
    if (length > frame.size() - kFrameHeaderSize) {
        return std::nullopt;
    }
    // Datagrams must chain exactly to the header length: each one inside it, "more" set on all but
    // the last.
    std::span<const uint8_t> datagrams = frame.subspan(kFrameHeaderSize, length);
    size_t at = 0;
    while (true) {
        if (datagrams.size() - at < kDatagramHeaderSize + kWkcSize) {
            return std::nullopt;
        }
        const uint16_t lenField = getU16(datagrams.data() + at + 6);
        const size_t dataLength = lenField & kDatagramLengthMask;
        if (dataLength > datagrams.size() - at - kDatagramHeaderSize - kWkcSize) {
            return std::nullopt;
        }
        at += kDatagramHeaderSize + dataLength + kWkcSize;
        if ((lenField & kDatagramMore) == 0) {
            break;
        }
    }
    if (at != datagrams.size()) {
        return std::nullopt;
    }
    return datagrams;
}

// --- FrameEngine ---------------------------------------------------------------------------------

FrameEngine::FrameEngine() = default;

void FrameEngine::setSourceAddress(const std::array<uint8_t, 6>& mac) {
    std::lock_guard lock(mutex_);
    for (auto& slot : slots_) {
        slot.tx.setSource(mac);
        slot.tx.reset();
    }
}

bool FrameEngine::indexAvailable(uint8_t index, Clock::time_point now) const {
    return !indexInUse_[index] && quarantinedUntil_[index] <= now;
}

std::optional<SlotId> FrameEngine::claim() {
    std::lock_guard lock(mutex_);
    auto slot = std::find_if(slots_.begin(), slots_.end(),
                             [](const Slot& s) { return s.state == SlotState::Free; });
    if (slot == slots_.end()) {
        return std::nullopt;
    }
    const auto now = Clock::now();
    for (int tries = 0; tries < 256; ++tries) {
        const uint8_t index = nextIndex_++;
        if (indexAvailable(index, now)) {
            indexInUse_[index] = true;
            slot->state = SlotState::Building;
            slot->index = index;
            slot->resent = false;
            slot->finished = false;
            slot->tx.reset();
            return static_cast<SlotId>(slot - slots_.begin());
        }
    }
    return std::nullopt;
}

std::span<const uint8_t> FrameEngine::markSent(SlotId slot) {
    std::lock_guard lock(mutex_);
    Slot& s = slots_[slot];
    if (s.state == SlotState::InFlight) {
        s.resent = true;
    }
    s.state = SlotState::InFlight;
    if (!s.finished) {
        s.tx.finish(s.index);
        s.finished = true;
    }
    return s.tx.bytes();
}

Intake FrameEngine::accept(std::span<const uint8_t> frame) {
    const auto datagrams = checkFrame(frame);
    std::lock_guard lock(mutex_);
    if (!datagrams) {
        ++stats_.malformed;
        return Intake::Malformed;
    }
    const uint8_t index = (*datagrams)[1];
    auto slot = std::find_if(slots_.begin(), slots_.end(), [index](const Slot& s) {
        return s.state == SlotState::InFlight && s.index == index;
    });
    if (slot == slots_.end()) {
        ++stats_.unmatched;
        return Intake::Unmatched;
    }
    // Same datagrams as sent: count, commands, lengths and index. Only then are the data offsets
    // of the sent frame valid for the reply.
    const FrameBuilder& tx = slot->tx;
    bool same = datagrams->size() == tx.datagramBytes();
    size_t at = 0;
    for (size_t n = 0; same && n < tx.datagramCount(); ++n) {
        const DatagramPlace& p = tx.place(n);
        const uint8_t* d = datagrams->data() + at;
        same = d[0] == static_cast<uint8_t>(p.cmd) && d[1] == index &&
               (getU16(d + 6) & kDatagramLengthMask) == p.length;
        at += kDatagramHeaderSize + p.length + kWkcSize;
    }
    if (!same) {
        ++stats_.mismatched;
        return Intake::Mismatched;
    }
    const size_t size = kFrameHeaderSize + datagrams->size();
    std::copy_n(frame.begin(), size, slot->rx.begin());
    slot->state = SlotState::Received;
    ++stats_.accepted;
    return Intake::Accepted;
}

FrameEngine::SlotState FrameEngine::state(SlotId slot) const {
    std::lock_guard lock(mutex_);
    return slots_[slot].state;
}

uint8_t FrameEngine::index(SlotId slot) const {
    std::lock_guard lock(mutex_);
    return slots_[slot].index;
}

std::span<const uint8_t> FrameEngine::replyData(SlotId slot, size_t n) const {
    const Slot& s = slots_[slot];
    const DatagramPlace& p = s.tx.place(n);
    return {s.rx.data() + p.dataOffset, p.length};
}

uint16_t FrameEngine::replyWkc(SlotId slot, size_t n) const {
    const Slot& s = slots_[slot];
    const DatagramPlace& p = s.tx.place(n);
    return getU16(s.rx.data() + p.dataOffset + p.length);
}

void FrameEngine::release(SlotId slot) {
    std::lock_guard lock(mutex_);
    Slot& s = slots_[slot];
    if (s.state == SlotState::Free) {
        return;
    }
    // A frame that was sent more than once, or whose reply never came, may still come back.
    if (s.state == SlotState::InFlight || s.resent) {
        quarantinedUntil_[s.index] = Clock::now() + kIndexQuarantine;
    }
    indexInUse_[s.index] = false;
    s.state = SlotState::Free;
}

FrameEngine::Stats FrameEngine::stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

}  // namespace ec
