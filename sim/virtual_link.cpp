#include "sim/virtual_link.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

namespace sim {

namespace {

class VirtualLink final : public ec::FrameLink {
public:
    explicit VirtualLink(std::shared_ptr<Chain> chain) : chain_(std::move(chain)) {}

    bool send(std::span<const uint8_t> frame) override {
        std::vector<uint8_t> f(frame.begin(), frame.end());
        if (!chain_->processFrame(f))
            return true;  // lost on the wire: the send itself worked
        {
            std::lock_guard lock(mutex_);
            // A master that stops reading must not make us hoard frames: drop the oldest, as a
            // NIC's receive ring overflows.
            if (replies_.size() >= kMaxQueued)
                replies_.pop_front();
            replies_.push_back(std::move(f));
        }
        ready_.notify_one();
        return true;
    }

    int receive(std::span<uint8_t> buf, std::chrono::microseconds timeout) override {
        std::unique_lock lock(mutex_);
        if (!ready_.wait_for(lock, timeout, [this] { return !replies_.empty(); }))
            return 0;
        std::vector<uint8_t> f = std::move(replies_.front());
        replies_.pop_front();
        const size_t n = std::min(buf.size(), f.size());
        std::memcpy(buf.data(), f.data(), n);
        return static_cast<int>(n);
    }

private:
    static constexpr size_t kMaxQueued = 64;
    std::shared_ptr<Chain> chain_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::vector<uint8_t>> replies_;  // guarded by mutex_
};

}  // namespace

std::unique_ptr<ec::FrameLink> makeVirtualLink(std::shared_ptr<Chain> chain) {
    return std::make_unique<VirtualLink>(std::move(chain));
}

void registerSimulatedAdapter(const std::string& name, const std::string& desc,
                              std::shared_ptr<Chain> chain) {
    ec::registerVirtualAdapter(name, desc, [chain] { return makeVirtualLink(chain); });
}

std::shared_ptr<Chain> registerSimulatedAdapter(int drives) {
    return registerSimulatedAdapter(ChainConfig::drives(drives));
}

std::shared_ptr<Chain> registerSimulatedAdapter(const ChainConfig& config) {
    auto chain = std::make_shared<Chain>(config);
    const std::size_t drives = config.slaves.size();
    const std::string n = std::to_string(drives);
    registerSimulatedAdapter(
        "sim:" + n, "Simulated drive chain (" + n + (drives == 1 ? " drive)" : " drives)"), chain);
    return chain;
}

}  // namespace sim
