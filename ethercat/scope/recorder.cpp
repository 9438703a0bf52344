#include "recorder.h"

#include <bit>
#include <thread>

namespace scope {

namespace {

size_t powerOfTwoAtLeast(size_t n) {
    return std::bit_ceil(std::max<size_t>(n, 2));
}

constexpr size_t kRememberedGenerations = 8;

}  // namespace

Recorder::Recorder(size_t frameCapacity, size_t eventCapacity)
    : activeConfig_(&configs_[0]),
      frames_(powerOfTwoAtLeast(frameCapacity)),
      frameMask_(frames_.size() - 1),
      events_(std::make_unique<EventCell[]>(powerOfTwoAtLeast(eventCapacity))),
      eventMask_(powerOfTwoAtLeast(eventCapacity) - 1) {
    for (size_t i = 0; i <= eventMask_; ++i) {
        events_[i].sequence.store(i, std::memory_order_relaxed);
    }
}

// --- configuration -----------------------------------------------------------------------------

std::optional<uint32_t> Recorder::configure(std::span<const ChannelDef> channels) {
    if (channels.size() > kMaxChannels) {
        return std::nullopt;
    }
    std::lock_guard lock(configMutex_);
    const Config* active = activeConfig_.load(std::memory_order_seq_cst);
    Config& target = active == &configs_[0] ? configs_[1] : configs_[0];
    // The cycle marks the slot it reads and then checks the slot is still the active one, so
    // once it is seen away from `target` it cannot come back to it before the next publish.
    while (configInUse_.load(std::memory_order_seq_cst) == &target) {
        std::this_thread::yield();
    }

    target.generation = nextGeneration_++;
    target.channelCount = static_cast<int>(channels.size());
    target.driveCount = 0;
    for (int c = 0; c < target.channelCount; ++c) {
        const ChannelDef& def = channels[c];
        target.channels[c] = def;
        target.channelSignals[c] = def.signal;
        int d = 0;
        while (d < target.driveCount && target.drives[d] != def.drive) {
            ++d;
        }
        if (d == target.driveCount) {
            target.drives[target.driveCount++] = def.drive;
        }
        target.driveOfChannel[c] = d;
    }
    activeConfig_.store(&target, std::memory_order_seq_cst);

    history_.push_back({target.generation, {channels.begin(), channels.end()}});
    if (history_.size() > kRememberedGenerations) {
        history_.erase(history_.begin());
    }
    return target.generation;
}

std::optional<std::vector<ChannelDef>> Recorder::channelsOf(uint32_t generation) const {
    std::lock_guard lock(configMutex_);
    for (const Published& p : history_) {
        if (p.generation == generation) {
            return p.channels;
        }
    }
    return std::nullopt;
}

const Recorder::Config* Recorder::enterConfig() {
    const Config* config = activeConfig_.load(std::memory_order_seq_cst);
    for (;;) {
        configInUse_.store(config, std::memory_order_seq_cst);
        const Config* now = activeConfig_.load(std::memory_order_seq_cst);
        if (now == config) {
            return config;
        }
        // Published between the load and the mark: the marked slot may be being written.
        config = now;
    }
}

// --- frames ------------------------------------------------------------------------------------

Frame* Recorder::frameSlot() {
    const uint64_t head = frameHead_.load(std::memory_order_relaxed);
    if (head - frameTail_.load(std::memory_order_acquire) >= frames_.size()) {
        return nullptr;
    }
    return &frames_[head & frameMask_];
}

size_t Recorder::take(std::span<Frame> out) {
    const uint64_t tail = frameTail_.load(std::memory_order_relaxed);
    const uint64_t head = frameHead_.load(std::memory_order_acquire);
    const size_t n = std::min<uint64_t>(head - tail, out.size());
    for (size_t i = 0; i < n; ++i) {
        out[i] = frames_[(tail + i) & frameMask_];
    }
    frameTail_.store(tail + n, std::memory_order_release);
    return n;
}

// A sequence lock of sequentially consistent atomics (no fences, which ThreadSanitizer cannot
// follow): a reader that saw any part of a newer stamp sees the sequence moved on and retries.
void Recorder::publishStamp(uint64_t cycle, int64_t timeNs) {
    const uint32_t seq = stampSequence_.load(std::memory_order_relaxed);
    stampSequence_.store(seq + 1);
    stampCycle_.store(cycle);
    stampTimeNs_.store(timeNs);
    stampSequence_.store(seq + 2);
}

std::pair<uint64_t, int64_t> Recorder::lastSample() const {
    for (;;) {
        const uint32_t before = stampSequence_.load();
        const uint64_t cycle = stampCycle_.load();
        const int64_t timeNs = stampTimeNs_.load();
        if ((before & 1) == 0 && stampSequence_.load() == before) {
            return {cycle, timeNs};
        }
    }
}

// --- events ------------------------------------------------------------------------------------

bool Recorder::postEvent(EventKind kind, int drive, std::string_view text) {
    const auto [cycle, timeNs] = lastSample();
    return postEvent(kind, drive, cycle, timeNs, text);
}

bool Recorder::postEvent(EventKind kind, int drive, uint64_t cycle, int64_t timeNs,
                         std::string_view text) {
    // A cell is free for the producer of position p when its sequence reads p, and holds that
    // producer's record for the consumer when it reads p + 1.
    uint64_t pos = eventHead_.load(std::memory_order_relaxed);
    EventCell* cell;
    for (;;) {
        cell = &events_[pos & eventMask_];
        const uint64_t seq = cell->sequence.load(std::memory_order_acquire);
        if (seq == pos) {
            if (eventHead_.compare_exchange_weak(pos, pos + 1, std::memory_order_relaxed)) {
                break;
            }
        } else if (seq < pos) {
            eventsLost_.fetch_add(1, std::memory_order_relaxed);
            return false;
        } else {
            pos = eventHead_.load(std::memory_order_relaxed);
        }
    }
    cell->record.cycle = cycle;
    cell->record.timeNs = timeNs;
    cell->record.drive = drive;
    cell->record.kind = kind;
    cell->record.setText(text);
    cell->sequence.store(pos + 1, std::memory_order_release);
    return true;
}

size_t Recorder::takeEvents(std::span<EventRecord> out) {
    uint64_t tail = eventTail_.load(std::memory_order_relaxed);
    size_t n = 0;
    while (n < out.size()) {
        EventCell& cell = events_[tail & eventMask_];
        if (cell.sequence.load(std::memory_order_acquire) != tail + 1) {
            break;  // empty, or its producer is still writing it
        }
        out[n++] = cell.record;
        cell.sequence.store(tail + eventMask_ + 1, std::memory_order_release);
        ++tail;
    }
    eventTail_.store(tail, std::memory_order_relaxed);
    return n;
}

}  // namespace scope
