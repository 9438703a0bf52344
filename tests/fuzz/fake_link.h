// A FrameLink for fuzz targets: every frame the master sends goes to a responder, whose frames
// wait in a queue for receive(). receive() never blocks: the targets run with short timeouts, so
// an exchange that gets no usable answer ends quickly and deterministically.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "link.h"

namespace fuzz {

using Bytes = std::vector<uint8_t>;

class FakeLink final : public ec::FrameLink {
public:
    using Responder = std::function<void(const Bytes& sent, std::deque<Bytes>& replies)>;

    explicit FakeLink(Responder respond) : respond_(std::move(respond)) {}

    bool send(std::span<const uint8_t> frame) override {
        respond_(Bytes(frame.begin(), frame.end()), queue_);
        return true;
    }

    int receive(std::span<uint8_t> buf, std::chrono::microseconds) override {
        if (queue_.empty()) {
            return 0;
        }
        const Bytes frame = std::move(queue_.front());
        queue_.pop_front();
        const size_t n = std::min(frame.size(), buf.size());
        std::copy_n(frame.begin(), n, buf.begin());
        return static_cast<int>(n);
    }

private:
    Responder respond_;
    std::deque<Bytes> queue_;
};

}  // namespace fuzz
