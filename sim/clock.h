// Time source of the simulated slaves. Every local clock, watchdog and delayed transition reads the
// host's time through this interface, so tests can step time instead of sleeping.
#pragma once

#include <atomic>
#include <cstdint>

namespace sim {

class Clock {
public:
    virtual ~Clock() = default;
    // Monotonic nanoseconds; the origin is arbitrary but fixed for the clock's lifetime.
    virtual int64_t nowNs() const = 0;
};

// The host's monotonic clock (std::chrono::steady_clock).
class SteadyClock final : public Clock {
public:
    int64_t nowNs() const override;
};

// A clock that moves only when told to. Thread-safe.
class ManualClock final : public Clock {
public:
    explicit ManualClock(int64_t startNs = 1'000'000'000) : now_(startNs) {}
    int64_t nowNs() const override { return now_.load(); }
    void advance(int64_t ns) { now_.fetch_add(ns); }
    void set(int64_t ns) { now_.store(ns); }

private:
    std::atomic<int64_t> now_;
};

}  // namespace sim
