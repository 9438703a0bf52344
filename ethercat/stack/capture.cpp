#include "capture.h"

#include <algorithm>
#include <chrono>

#include "wire.h"

namespace ec {

namespace {

constexpr uint32_t kBlockSectionHeader = 0x0A0D0D0A;
constexpr uint32_t kBlockInterface = 0x00000001;
constexpr uint32_t kBlockEnhancedPacket = 0x00000006;
constexpr uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr uint16_t kLinkTypeEthernet = 1;
constexpr uint16_t kOptEnd = 0;
constexpr uint16_t kOptIfName = 2;
constexpr uint16_t kOptIfTsResol = 9;
constexpr uint16_t kOptEpbFlags = 2;
constexpr uint8_t kTsResolNanoseconds = 9;

size_t padded(size_t n) {
    return (n + 3) & ~size_t{3};
}

void put16(std::vector<uint8_t>& out, uint16_t v) {
    const size_t at = out.size();
    out.resize(at + 2);
    putU16(out.data() + at, v);
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    const size_t at = out.size();
    out.resize(at + 4);
    putU32(out.data() + at, v);
}

void putBytesPadded(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
    out.resize(out.size() + padded(bytes.size()) - bytes.size(), 0);
}

void putOption(std::vector<uint8_t>& out, uint16_t code, std::span<const uint8_t> value) {
    put16(out, code);
    put16(out, static_cast<uint16_t>(value.size()));
    putBytesPadded(out, value);
}

// Opens a block at the end of `out`; closeBlock fills in its length at both ends.
size_t openBlock(std::vector<uint8_t>& out, uint32_t type) {
    const size_t start = out.size();
    put32(out, type);
    put32(out, 0);
    return start;
}

void closeBlock(std::vector<uint8_t>& out, size_t start) {
    const auto length = static_cast<uint32_t>(out.size() - start + 4);
    putU32(out.data() + start + 4, length);
    put32(out, length);
}

uint64_t realtimeNs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count());
}

}  // namespace

std::vector<uint8_t> pcapngPreamble(const std::string& name) {
    std::vector<uint8_t> out;
    size_t b = openBlock(out, kBlockSectionHeader);
    put32(out, kByteOrderMagic);
    put16(out, 1);  // version 1.0
    put16(out, 0);
    put32(out, 0xFFFFFFFF);  // section length not given
    put32(out, 0xFFFFFFFF);
    closeBlock(out, b);

    b = openBlock(out, kBlockInterface);
    put16(out, kLinkTypeEthernet);
    put16(out, 0);
    put32(out, 0);  // no snapshot limit
    if (!name.empty()) {
        const auto* p = reinterpret_cast<const uint8_t*>(name.data());
        putOption(out, kOptIfName, std::span<const uint8_t>(p, std::min<size_t>(name.size(), 255)));
    }
    const uint8_t resolution = kTsResolNanoseconds;
    putOption(out, kOptIfTsResol, std::span<const uint8_t>(&resolution, 1));
    putOption(out, kOptEnd, {});
    closeBlock(out, b);
    return out;
}

void appendPcapngPacket(std::vector<uint8_t>& out, uint64_t timestampNs,
                        std::span<const uint8_t> frame, CaptureDirection direction) {
    const size_t b = openBlock(out, kBlockEnhancedPacket);
    put32(out, 0);  // interface 0
    put32(out, static_cast<uint32_t>(timestampNs >> 32));
    put32(out, static_cast<uint32_t>(timestampNs));
    put32(out, static_cast<uint32_t>(frame.size()));
    put32(out, static_cast<uint32_t>(frame.size()));
    putBytesPadded(out, frame);
    uint8_t flags[4];
    putU32(flags, static_cast<uint32_t>(direction));
    putOption(out, kOptEpbFlags, flags);
    putOption(out, kOptEnd, {});
    closeBlock(out, b);
}

std::unique_ptr<FrameCapture> FrameCapture::start(const std::string& path,
                                                  const std::string& interfaceName) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return nullptr;
    }
    const auto preamble = pcapngPreamble(interfaceName);
    if (std::fwrite(preamble.data(), 1, preamble.size(), file) != preamble.size()) {
        std::fclose(file);
        return nullptr;
    }
    std::unique_ptr<FrameCapture> capture(new FrameCapture(file));
    capture->writer_ = std::thread([c = capture.get()] { c->writerLoop(); });
    return capture;
}

FrameCapture::FrameCapture(std::FILE* file) : file_(file), ring_(kQueueFrames) {}

FrameCapture::~FrameCapture() {
    stop();
}

void FrameCapture::record(std::span<const uint8_t> frame, CaptureDirection direction) {
    const uint64_t now = realtimeNs();
    {
        std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        if (count_ == ring_.size()) {
            ++stats_.dropped;
            return;
        }
        Entry& e = ring_[(head_ + count_) % ring_.size()];
        e.timestampNs = now;
        e.direction = direction;
        e.length = static_cast<uint16_t>(std::min(frame.size(), kMaxFrame));
        std::copy_n(frame.begin(), e.length, e.bytes.begin());
        ++count_;
    }
    wake_.notify_one();
}

void FrameCapture::writerLoop() {
    std::vector<uint8_t> block;
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return count_ > 0 || stopping_; });
        if (count_ == 0) {
            return;  // stopping, and all written
        }
        // Encode under the lock (a copy of at most one frame), write without it.
        block.clear();
        const Entry& e = ring_[head_];
        appendPcapngPacket(block, e.timestampNs, std::span<const uint8_t>(e.bytes.data(), e.length),
                           e.direction);
        head_ = (head_ + 1) % ring_.size();
        --count_;
        lock.unlock();
        const bool ok = std::fwrite(block.data(), 1, block.size(), file_) == block.size();
        lock.lock();
        if (ok) {
            ++stats_.written;
        } else {
            failed_ = true;
        }
    }
}

bool FrameCapture::stop(CaptureStats* stats) {
    std::lock_guard stopLock(stopMutex_);
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    if (writer_.joinable()) {
        writer_.join();
    }
    if (file_ != nullptr) {
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        std::lock_guard lock(mutex_);
        failed_ = failed_ || !closed;
    }
    std::lock_guard lock(mutex_);
    if (stats != nullptr) {
        *stats = stats_;
    }
    return !failed_;
}

CaptureStats FrameCapture::stats() const {
    std::lock_guard lock(mutex_);
    return stats_;
}

}  // namespace ec
