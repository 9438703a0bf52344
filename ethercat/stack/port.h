// A port couples the frame engine with one link and lets several threads share it: the cycle, the
// supervision and mailbox callers each claim their own frame slot, transmit, and wait for their
// reply. Whichever waiter finds the link idle reads from it and files every frame it receives
// with the engine, so a reply that another caller is waiting for is kept for that caller.
//
// Locks: the engine's own mutex (slot table), txMutex_ (one frame on the link at a time) and
// waitMutex_ (who reads the link; wakes waiters). None is held across a wait on the wire except
// the receive role, which only the thread holding it uses.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

#include "capture.h"
#include "frame.h"
#include "link.h"

namespace ec {

// Blocking calls send their frame again after this long without a reply, and send it at least
// this often before giving up, however short the caller's timeout.
inline constexpr std::chrono::microseconds kResendInterval{2000};
inline constexpr int kMinTransmissions = 2;
// A waiter that finds its deadline passed gives a thread reading the link this long to file a
// reply that may already be there.
inline constexpr std::chrono::microseconds kLateReplyGrace{1000};

// Frames of blocking exchanges: sent again for want of a reply, and given up without one.
struct PortStats {
    uint64_t resent = 0;
    uint64_t lost = 0;
};

class Port {
public:
    using Clock = std::chrono::steady_clock;

    explicit Port(std::unique_ptr<FrameLink> link);
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    FrameEngine& engine() { return engine_; }

    // Claims a frame slot, waiting until `deadline` when all are in use.
    std::optional<SlotId> claim(Clock::time_point deadline);

    // Sends the slot's frame (again). False when the link refused it.
    bool transmit(SlotId slot);

    // Waits until the slot's reply has arrived or `deadline` passes.
    bool awaitReply(SlotId slot, Clock::time_point deadline);

    // Transmits and waits, sending again every kResendInterval while no frame came back, until
    // `timeout` has passed and the frame went out kMinTransmissions times. True when the reply
    // is in.
    bool exchange(SlotId slot, std::chrono::microseconds timeout);

    void release(SlotId slot);

    // Every frame sent and received from now on is also handed to `capture`; null stops that.
    // Returns at once; a frame being recorded while the capture is replaced still reaches the
    // capture it started with, which the port keeps alive until then.
    void setCapture(std::shared_ptr<FrameCapture> capture);

    PortStats stats() const { return {resent_.load(), lost_.load()}; }

private:
    void record(std::span<const uint8_t> frame, CaptureDirection direction);
    void file(int received);  // records and files a frame the link delivered into rxBuf_

    FrameEngine engine_;
    std::unique_ptr<FrameLink> link_;
    std::mutex txMutex_;  // serialises link_->send
    std::mutex waitMutex_;
    std::condition_variable changed_;  // a reply was filed, the receive role or a slot freed
    bool receiving_ = false;           // guarded by waitMutex_
    std::array<uint8_t, kEthMaxFrame> rxBuf_{};  // used only by the thread with the receive role
    std::atomic<uint64_t> resent_{0};
    std::atomic<uint64_t> lost_{0};
    std::mutex captureMutex_;
    std::shared_ptr<FrameCapture> capture_;  // guarded by captureMutex_
};

}  // namespace ec
