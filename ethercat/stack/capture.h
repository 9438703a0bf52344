// Capture of the frames a link carries, written as pcapng (Ethernet link type, nanosecond
// timestamps) so the traffic opens in the usual network analysers.
//
// The thread that sends or receives a frame only copies it into a bounded queue; a writer thread
// of the capture's own empties the queue into the file. A full queue drops the frame and counts
// it, so a slow disk never delays the cycle.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace ec {

enum class CaptureDirection : uint8_t { Inbound = 1, Outbound = 2 };  // pcapng epb_flags values

// --- pcapng blocks (little endian) ---
// Section header and one Ethernet interface with nanosecond timestamps; `name` is the
// interface name recorded in the file.
std::vector<uint8_t> pcapngPreamble(const std::string& name);
// One enhanced packet block for `frame`, timestamp in nanoseconds since the epoch.
void appendPcapngPacket(std::vector<uint8_t>& out, uint64_t timestampNs,
                        std::span<const uint8_t> frame, CaptureDirection direction);

struct CaptureStats {
    uint64_t written = 0;  // frames in the file
    uint64_t dropped = 0;  // frames lost to a full queue
};

class FrameCapture {
public:
    static constexpr size_t kQueueFrames = 4096;
    static constexpr size_t kMaxFrame = 1518;

    // Opens `path` for writing and starts the writer. Null when the file cannot be created.
    static std::unique_ptr<FrameCapture> start(const std::string& path,
                                               const std::string& interfaceName);
    ~FrameCapture();  // stops and closes, as stop()
    FrameCapture(const FrameCapture&) = delete;
    FrameCapture& operator=(const FrameCapture&) = delete;

    // Queues one frame; never blocks on the file. Any thread.
    void record(std::span<const uint8_t> frame, CaptureDirection direction);

    // Writes what is queued, closes the file and returns the totals. False when writing failed
    // at any point (the file is incomplete). Idempotent.
    bool stop(CaptureStats* stats = nullptr);

    CaptureStats stats() const;

private:
    struct Entry {
        uint64_t timestampNs = 0;
        uint16_t length = 0;
        CaptureDirection direction = CaptureDirection::Inbound;
        std::array<uint8_t, kMaxFrame> bytes{};
    };

    explicit FrameCapture(std::FILE* file);
    void writerLoop();

    std::FILE* file_;  // only the writer thread, then stop(), use it
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<Entry> ring_;  // guarded by mutex_ (slots head_..head_+count_ are filled)
    size_t head_ = 0;          // guarded by mutex_
    size_t count_ = 0;         // guarded by mutex_
    bool stopping_ = false;    // guarded by mutex_
    bool failed_ = false;      // guarded by mutex_: a write to the file failed
    CaptureStats stats_;       // guarded by mutex_
    std::mutex stopMutex_;     // serialises stop()
    std::thread writer_;
};

}  // namespace ec
