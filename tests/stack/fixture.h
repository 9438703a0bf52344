// A FrameLink whose far end is a script: frames sent are recorded and answered, or injected.
#pragma once

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "ethercat.h"
#include "frame.h"
#include "link.h"
#include "wire.h"

namespace ectest {

using Bytes = std::vector<uint8_t>;

struct LinkScript {
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Bytes> pending;                                // guarded by mutex
    std::vector<Bytes> sent;                                  // guarded by mutex
    std::function<std::vector<Bytes>(const Bytes&)> respond;  // set before use

    void inject(Bytes frame) {
        std::lock_guard lock(mutex);
        pending.push_back(std::move(frame));
        arrived.notify_all();
    }
    std::vector<Bytes> sentFrames() {
        std::lock_guard lock(mutex);
        return sent;
    }
    size_t sentCount() { return sentFrames().size(); }
};

class ScriptedLink final : public ec::FrameLink {
public:
    explicit ScriptedLink(std::shared_ptr<LinkScript> script) : script_(std::move(script)) {}
    bool send(std::span<const uint8_t> frame) override {
        const Bytes copy(frame.begin(), frame.end());
        std::unique_lock lock(script_->mutex);
        script_->sent.push_back(copy);
        lock.unlock();  // inject() below takes it
        if (script_->respond)
            for (Bytes& reply : script_->respond(copy))
                script_->inject(std::move(reply));
        return true;
    }
    int receive(std::span<uint8_t> buf, std::chrono::microseconds timeout) override {
        std::unique_lock lock(script_->mutex);
        if (!script_->arrived.wait_for(lock, timeout, [&] { return !script_->pending.empty(); }))
            return 0;
        const Bytes frame = std::move(script_->pending.front());
        script_->pending.pop_front();
        const size_t n = std::min(frame.size(), buf.size());
        return std::copy_n(frame.begin(), n, buf.begin()), static_cast<int>(n);
    }

private:
    std::shared_ptr<LinkScript> script_;
};

struct DatagramView {
    size_t header;  // offset of the datagram header in the frame
    uint8_t cmd;
    uint16_t adp, ado, length;
    size_t data() const { return header + ec::kDatagramHeaderSize; }
    size_t wkc() const { return data() + length; }
};

inline std::vector<DatagramView> datagrams(const Bytes& frame) {
    std::vector<DatagramView> result;
    size_t at = ec::kFrameHeaderSize;
    while (at + ec::kDatagramHeaderSize + ec::kWkcSize <= frame.size()) {
        const uint16_t len = ec::getU16(&frame[at + 6]);
        result.push_back({at, frame[at], ec::getU16(&frame[at + 2]), ec::getU16(&frame[at + 4]),
                          static_cast<uint16_t>(len & 0x7FF)});
        at += ec::kDatagramHeaderSize + result.back().length + ec::kWkcSize;
        if ((len & ec::kDatagramMore) == 0)
            break;
    }
    return result;
}

// The frame as a chain returns it: source marked processed, each WKC (and maybe data) set by `wkc`.
inline Bytes answer(Bytes frame, const std::function<uint16_t(const DatagramView&, Bytes&)>& wkc) {
    frame[6] |= ec::kMacReturnBit;
    for (const DatagramView& d : datagrams(frame))
        ec::putU16(&frame[d.wkc()], wkc(d, frame));
    return frame;
}

}  // namespace ectest
