// The records of the operated drive from the cycle to the window, without a signal per cycle:
// the cycle puts each record into a ring, and the window takes what has gathered on its own
// refresh timer.
//
// One producer (the cycle thread) and one consumer at a time (the GUI thread); neither waits on
// the other. A full ring takes no more records until the consumer catches up, and counts what it
// turned away, so the records taken are always consecutive runs of the cycle's.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/processdata.h"

struct TimedRecord {
    TCiA402_GetValue data;
    uint64_t timestamp = 0;  // ns on the master's clock, when the cycle received it
};

class RecordRing {
public:
    // Two seconds of cycles.
    static constexpr size_t kCapacity = 1024;

    // The cycle thread.
    void push(const TCiA402_GetValue& data, uint64_t timestamp) {
        const size_t head = head_.load(std::memory_order_relaxed);
        if (head - tail_.load(std::memory_order_acquire) == kCapacity) {
            turnedAway_.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        slots_[head % kCapacity] = TimedRecord{data, timestamp};
        head_.store(head + 1, std::memory_order_release);
    }

    // The consumer: moves up to out.size() of the oldest records into `out`; returns how many.
    size_t take(std::span<TimedRecord> out) {
        const size_t tail = tail_.load(std::memory_order_relaxed);
        const size_t available = head_.load(std::memory_order_acquire) - tail;
        const size_t n = available < out.size() ? available : out.size();
        for (size_t i = 0; i < n; ++i) {
            out[i] = slots_[(tail + i) % kCapacity];
        }
        tail_.store(tail + n, std::memory_order_release);
        return n;
    }

    // Records the ring had no room for, ever.
    uint64_t turnedAway() const { return turnedAway_.load(std::memory_order_relaxed); }

private:
    std::array<TimedRecord, kCapacity> slots_{};
    std::atomic<size_t> head_{0};  // written by the producer
    std::atomic<size_t> tail_{0};  // written by the consumer
    std::atomic<uint64_t> turnedAway_{0};
};
