#pragma once

// The cycle thread's side of the scope. The cycle calls sample() once per cycle: it evaluates the
// configured channels and pushes one frame into a single-producer single-consumer ring, with no
// lock, no allocation and no system call. A consumer thread (the window's or zentrio-bus's) takes
// the frames in batches. Any thread posts bus and drive events into a multi-producer ring of
// fixed-size records, which the same consumer takes.
//
// Configuration happens off the cycle thread into the one of two preallocated slots the cycle is
// not reading, then is published; every frame carries the generation of the configuration it was
// made with, so the consumer knows which channel list its values belong to.

#include <array>
#include <atomic>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "channel.h"
#include "event.h"

namespace scope {

// A channel whose drive is not on the bus, and the unused channels of a frame.
inline constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

// Frame flags.
inline constexpr uint32_t kFrameWorkingCounterShort = 1u << 0;

struct Frame {
    uint64_t cycle = 0;
    int64_t timeNs = 0;
    uint32_t flags = 0;
    uint32_t generation = 0;  // of the configuration the values were made with
    std::array<float, kMaxChannels> values{};
};

// The records of one drive as the cycle holds them when it samples.
struct DriveRecords {
    TCiA402_GetValue inputs;
    App_SetValue commands;
};

class Recorder {
public:
    // 4096 frames: 8 s at the 2 ms cycle, so a consumer may fall 4 s behind without a loss.
    static constexpr size_t kDefaultFrameCapacity = 4096;
    static constexpr size_t kDefaultEventCapacity = 1024;

    // Capacities are rounded up to powers of two. Everything is allocated here.
    explicit Recorder(size_t frameCapacity = kDefaultFrameCapacity,
                      size_t eventCapacity = kDefaultEventCapacity);
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // --- configuration (any thread but the cycle's) -------------------------------------------
    // Takes effect at the next sample(); returns its generation (1, 2, ...), or nothing for more
    // than kMaxChannels channels. An empty list stops the recording: sample() pushes nothing.
    // Waits, without blocking the cycle, while the cycle is reading the slot it is to fill.
    std::optional<uint32_t> configure(std::span<const ChannelDef> channels);
    // The channels of a generation still remembered (the last eight), for the consumer.
    std::optional<std::vector<ChannelDef>> channelsOf(uint32_t generation) const;

    // --- the cycle thread ---------------------------------------------------------------------
    // `records(int drive, DriveRecords& out) -> bool` fills a drive's records, or returns false
    // for a drive that is not on the bus (its channels read NaN). It is called once per distinct
    // drive of the configuration.
    template <class RecordsOf>
    void sample(uint64_t cycle, int64_t timeNs, uint32_t flags, RecordsOf&& records);

    // --- the consumer thread ------------------------------------------------------------------
    // Moves up to out.size() frames, oldest first; returns how many.
    size_t take(std::span<Frame> out);
    // Frames the full ring turned away since construction.
    uint64_t framesTurnedAway() const { return framesTurnedAway_.load(std::memory_order_relaxed); }
    size_t frameCapacity() const { return frames_.size(); }

    // --- events: any thread -------------------------------------------------------------------
    // Stamped with the last cycle sampled and its time, or with the caller's. Never blocks; a
    // full ring counts the event as lost and returns false.
    bool postEvent(EventKind kind, int drive, std::string_view text);
    bool postEvent(EventKind kind, int drive, uint64_t cycle, int64_t timeNs,
                   std::string_view text);
    // The consumer: moves up to out.size() events in the order they were posted.
    size_t takeEvents(std::span<EventRecord> out);
    uint64_t eventsLost() const { return eventsLost_.load(std::memory_order_relaxed); }

    // The last cycle sampled and its time, consistent with each other; any thread.
    std::pair<uint64_t, int64_t> lastSample() const;

private:
    struct Config {
        uint32_t generation = 0;
        int channelCount = 0;
        std::array<ChannelDef, kMaxChannels> channels{};
        // The distinct drives, each fetched once per sample, and each channel's index into them.
        int driveCount = 0;
        std::array<int, kMaxChannels> drives{};
        std::array<int, kMaxChannels> driveOfChannel{};
        std::array<Signal, kMaxChannels> channelSignals{};
    };
    struct alignas(64) EventCell {
        std::atomic<uint64_t> sequence{0};
        EventRecord record;
    };

    // The cycle's entry and exit around reading a configuration slot.
    const Config* enterConfig();
    void leaveConfig() { configInUse_.store(nullptr, std::memory_order_release); }
    Frame* frameSlot();  // the slot to fill, or null when the ring is full
    void publishStamp(uint64_t cycle, int64_t timeNs);

    // Two slots, written only by configure() under configMutex_ while the cycle does not read
    // them, then constant until the next configure() targets them.
    std::array<Config, 2> configs_{};
    std::atomic<const Config*> activeConfig_;          // atomic; published by configure()
    std::atomic<const Config*> configInUse_{nullptr};  // atomic; the cycle thread's hazard mark
    mutable std::mutex configMutex_;                   // configure() and channelsOf()
    uint32_t nextGeneration_ = 1;                      // guarded by configMutex_
    struct Published {
        uint32_t generation;
        std::vector<ChannelDef> channels;
    };
    std::vector<Published> history_;  // guarded by configMutex_

    // The frame ring: slots written by the cycle between head and tail, read by the consumer.
    std::vector<Frame> frames_;
    size_t frameMask_;
    alignas(64) std::atomic<uint64_t> frameHead_{0};         // atomic; written by the cycle thread
    alignas(64) std::atomic<uint64_t> frameTail_{0};         // atomic; written by the consumer
    alignas(64) std::atomic<uint64_t> framesTurnedAway_{0};  // atomic; written by the cycle
    // The last sample's stamp under a sequence lock: written by the cycle thread only.
    std::atomic<uint32_t> stampSequence_{0};
    std::atomic<uint64_t> stampCycle_{0};
    std::atomic<int64_t> stampTimeNs_{0};
    std::array<DriveRecords, kMaxChannels> records_{};  // the cycle thread only

    // The event ring: a bounded multi-producer queue whose cells carry their own sequence.
    std::unique_ptr<EventCell[]> events_;
    size_t eventMask_;
    alignas(64) std::atomic<uint64_t> eventHead_{0};  // atomic; claimed by producers
    alignas(64) std::atomic<uint64_t> eventTail_{0};  // atomic; the consumer's
    std::atomic<uint64_t> eventsLost_{0};             // atomic
};

template <class RecordsOf>
void Recorder::sample(uint64_t cycle, int64_t timeNs, uint32_t flags, RecordsOf&& records) {
    const Config* config = enterConfig();
    if (config->channelCount > 0) {
        if (Frame* frame = frameSlot()) {
            bool present[kMaxChannels];
            for (int d = 0; d < config->driveCount; ++d) {
                present[d] = records(config->drives[d], records_[d]);
            }
            frame->cycle = cycle;
            frame->timeNs = timeNs;
            frame->flags = flags;
            frame->generation = config->generation;
            for (int c = 0; c < config->channelCount; ++c) {
                const int d = config->driveOfChannel[c];
                frame->values[c] =
                    present[d]
                        ? static_cast<float>(signalValue(config->channelSignals[c],
                                                         records_[d].inputs, records_[d].commands))
                        : kNoValue;
            }
            for (int c = config->channelCount; c < kMaxChannels; ++c) {
                frame->values[c] = kNoValue;
            }
            frameHead_.store(frameHead_.load(std::memory_order_relaxed) + 1,
                             std::memory_order_release);
        } else {
            framesTurnedAway_.fetch_add(1, std::memory_order_relaxed);
        }
    }
    leaveConfig();
    publishStamp(cycle, timeNs);
}

}  // namespace scope
