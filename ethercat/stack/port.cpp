#include "port.h"

#include <algorithm>

namespace ec {

Port::Port(std::unique_ptr<FrameLink> link) : link_(std::move(link)) {
    engine_.setSourceAddress(link_->address());
}

std::optional<SlotId> Port::claim(Clock::time_point deadline) {
    std::unique_lock lock(waitMutex_);
    while (true) {
        if (auto slot = engine_.claim()) {
            return slot;
        }
        if (changed_.wait_until(lock, deadline) == std::cv_status::timeout) {
            return engine_.claim();
        }
    }
}

bool Port::transmit(SlotId slot) {
    std::lock_guard lock(txMutex_);
    const auto bytes = engine_.markSent(slot);
    const bool sent = link_->send(bytes);
    if (sent) {
        record(bytes, CaptureDirection::Outbound);
    }
    return sent;
}

void Port::setCapture(std::shared_ptr<FrameCapture> capture) {
    std::lock_guard lock(captureMutex_);
    capture_ = std::move(capture);
}

void Port::record(std::span<const uint8_t> frame, CaptureDirection direction) {
    std::shared_ptr<FrameCapture> capture;
    {
        std::lock_guard lock(captureMutex_);
        capture = capture_;
    }
    if (capture) {
        capture->record(frame, direction);
    }
}

void Port::file(int received) {
    const std::span<const uint8_t> frame(rxBuf_.data(), static_cast<size_t>(received));
    record(frame, CaptureDirection::Inbound);
    engine_.accept(frame);
}

bool Port::awaitReply(SlotId slot, Clock::time_point deadline) {
    std::unique_lock lock(waitMutex_);
    while (true) {
        if (engine_.state(slot) == FrameEngine::SlotState::Received) {
            return true;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            // The reply may be waiting in the link although the deadline passed while this
            // thread was not running. Another thread reading the link files it in a moment;
            // otherwise file what is there before giving up.
            const auto grace = now + kLateReplyGrace;
            while (receiving_ && engine_.state(slot) != FrameEngine::SlotState::Received) {
                if (changed_.wait_until(lock, grace) == std::cv_status::timeout) {
                    break;
                }
            }
            if (engine_.state(slot) == FrameEngine::SlotState::Received) {
                return true;
            }
            if (receiving_) {
                return false;
            }
            receiving_ = true;
            lock.unlock();
            for (size_t i = 0; i < kFrameSlots; ++i) {
                const int n = link_->receive(rxBuf_, std::chrono::microseconds{0});
                if (n <= 0) {
                    break;
                }
                file(n);
            }
            lock.lock();
            receiving_ = false;
            changed_.notify_all();
            return engine_.state(slot) == FrameEngine::SlotState::Received;
        }
        if (receiving_) {
            changed_.wait_until(lock, deadline);
            continue;
        }
        // Take the receive role: read one frame, file it, hand the role back.
        receiving_ = true;
        lock.unlock();
        const auto wait = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
        const int n = link_->receive(rxBuf_, std::max(wait, std::chrono::microseconds{1}));
        if (n > 0) {
            file(n);
        }
        lock.lock();
        receiving_ = false;
        changed_.notify_all();
        if (n < 0) {
            // The link failed: nothing will arrive before the deadline.
            changed_.wait_until(lock, deadline);
        }
    }
}

bool Port::exchange(SlotId slot, std::chrono::microseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    // A thread woken late can find the whole timeout spent on its first wait; one lost frame must
    // not fail the call for that, so a frame without reply always goes out a second time.
    for (int sent = 1;; ++sent) {
        if (sent > 1) {
            resent_.fetch_add(1, std::memory_order_relaxed);
        }
        transmit(slot);
        const auto now = Clock::now();
        const auto retry =
            now < deadline ? std::min(deadline, now + kResendInterval) : now + kResendInterval;
        if (awaitReply(slot, retry)) {
            return true;
        }
        if (sent >= kMinTransmissions && Clock::now() >= deadline) {
            lost_.fetch_add(1, std::memory_order_relaxed);
            return false;
        }
    }
}

void Port::release(SlotId slot) {
    engine_.release(slot);
    std::lock_guard lock(waitMutex_);
    changed_.notify_all();
}

}  // namespace ec
