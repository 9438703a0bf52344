// Figures of the master's real 2 ms cycle: bring-up through ecmaster, then the cycle on its
// periodic timer thread for a while, measuring
//   - start lateness: when the cycle began against its grid point (the timer's deadline),
//   - cycle time: from the send of the process data to the end of the clock alignment,
//   - frames per cycle: what the cycle sends (process data and clock alignment together).
//
//   cycle_bench [--seconds S]                          in-process chains of 1, 8 and 20 drives,
//                                                        and 20 drives again with the scope
//                                                        recording 16 channels of 16 drives
//   cycle_bench --interface IF --drives N [--seconds S]  a chain served on IF by zentrio-sim
//                                                        (bench/veth_bench.sh BUILD cycle_bench
//                                                        sets it up)
//
// Samples go into buffers allocated before the run; the probe on the timer thread only stores.
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "ecmaster.h"
#include "periodictimer.h"
#include "sim/virtual_link.h"

namespace {

struct Samples {
    std::vector<int64_t> deadline;
    std::vector<int64_t> lateness;
    std::vector<int64_t> duration;
    std::atomic<size_t> count{0};
    size_t capacity = 0;

    void reset(size_t cap) {
        capacity = cap;
        deadline.assign(cap, 0);
        lateness.assign(cap, 0);
        duration.assign(cap, 0);
        count = 0;
    }
};

Samples samples;

void probe(int64_t deadlineNs, int64_t startNs, int64_t sendNs, int64_t alignedNs) {
    const size_t i = samples.count.load(std::memory_order_relaxed);
    if (i >= samples.capacity) {
        return;
    }
    samples.deadline[i] = deadlineNs;
    samples.lateness[i] = startNs - deadlineNs;
    samples.duration[i] = alignedNs - sendNs;
    samples.count.store(i + 1, std::memory_order_release);
}

struct Figures {
    double p50, p99, max;
};

Figures figures(std::vector<int64_t> v) {
    std::sort(v.begin(), v.end());
    auto us = [](int64_t ns) { return static_cast<double>(ns) / 1000.0; };
    return {us(v[v.size() / 2]), us(v[v.size() * 99 / 100]), us(v.back())};
}

// The scope's worst case: every channel on a drive of its own, signals of both records.
std::vector<scope::ChannelDef> scopeChannels(int drives) {
    std::vector<scope::ChannelDef> defs;
    for (int c = 0; c < scope::kMaxChannels; ++c) {
        defs.push_back(
            {.drive = (c * 7) % drives, .signal = scope::Signal(c % scope::kSignalCount)});
    }
    return defs;
}

// One row; the median cycle time in us, nothing when the run failed. `scopeOn`: the scope
// records 16 channels, taken by this thread as a window would.
std::optional<double> run(const std::string& adapter, const char* label, int drives, int seconds,
                          bool scopeOn = false) {
    samples.reset(static_cast<size_t>(seconds) * 500 + 1000);
    ecmaster m;
    if (!m.connectBus(adapter.c_str())) {
        std::fprintf(stderr, "%s, %d drives: bring-up failed\n", label, drives);
        return std::nullopt;
    }
    if (m.driveCount() != drives) {
        std::fprintf(stderr, "%s: %d drives found, %d expected\n", label, m.driveCount(), drives);
    }
    if (scopeOn && !m.configureScope(scopeChannels(drives))) {
        std::fprintf(stderr, "%s: the scope refused its channels\n", label);
        return std::nullopt;
    }
    std::vector<scope::Frame> frames(1024);
    uint64_t framesTaken = 0;
    ecmaster::setCycleProbe(probe);
    static bool told = false;
    if (!told) {
        told = true;
        std::fprintf(stderr, "timer thread %s, memory %s\n",
                     timerThreadIsRealtime() ? "SCHED_FIFO" : "not real-time (no privilege)",
                     timerMemoryIsLocked() ? "locked" : "not locked");
    }
    int shortWkc = 0;
    const int checks = seconds * 10;
    const BusFigures first = m.busFigures();
    for (int i = 0; i < checks; ++i) {
        QThread::msleep(100);
        shortWkc += m.workingCounter() < m.expectedWorkingCounter() ? 1 : 0;
        framesTaken += m.takeScopeFrames(frames);
    }
    const BusFigures last = m.busFigures();
    ecmaster::setCycleProbe(nullptr);
    const double framesPerCycle =
        last.cycles > first.cycles
            ? double(last.cycleFrames - first.cycleFrames) / double(last.cycles - first.cycles)
            : 0.0;
    m.disconnectBus();  // joins the timer: the samples are complete

    const size_t n = samples.count.load(std::memory_order_acquire);
    if (n < 2) {
        std::fprintf(stderr, "%s: no cycles recorded\n", label);
        return std::nullopt;
    }
    if (scopeOn && (framesTaken == 0 || m.scope().framesTurnedAway() != 0)) {
        std::fprintf(stderr, "%s: %llu scope frames taken, %llu turned away\n", label,
                     static_cast<unsigned long long>(framesTaken),
                     static_cast<unsigned long long>(m.scope().framesTurnedAway()));
    }
    std::vector<int64_t> late(samples.lateness.begin(), samples.lateness.begin() + long(n));
    std::vector<int64_t> dur(samples.duration.begin(), samples.duration.begin() + long(n));
    const int64_t span = samples.deadline[n - 1] - samples.deadline[0];
    const int64_t skipped = span / 2000000 + 1 - static_cast<int64_t>(n);
    const Figures l = figures(late);
    const Figures d = figures(dur);
    std::printf("%-8s %6d %8zu %8lld %9.1f %9.1f %9.1f %9.1f %9.1f %9.1f %9d %7.2f\n", label,
                drives, n, static_cast<long long>(skipped), l.p50, l.p99, l.max, d.p50, d.p99,
                d.max, shortWkc, framesPerCycle);
    return d.p50;
}

void header(int seconds) {
    std::printf(
        "%d s per row; lateness = cycle start - 2 ms grid point; cycle = send .. end of "
        "clock alignment\n",
        seconds);
    std::printf("%-8s %6s %8s %8s %9s %9s %9s %9s %9s %9s %9s %7s\n", "link", "drives", "cycles",
                "skipped", "late p50", "late p99", "late max", "cyc p50", "cyc p99", "cyc max",
                "shortwkc", "frames");
    std::printf("%-8s %6s %8s %8s %9s %9s %9s %9s %9s %9s %9s %7s\n", "", "", "", "", "us", "us",
                "us", "us", "us", "us", "/10 Hz", "/cycle");
}

}  // namespace

int main(int argc, char** argv) {
    std::string ifname;
    int drives = 0;
    int seconds = 60;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--interface") == 0) {
            ifname = argv[i + 1];
        } else if (std::strcmp(argv[i], "--drives") == 0) {
            drives = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--seconds") == 0) {
            seconds = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    if (!ifname.empty()) {
        header(seconds);
        return run(ifname, "veth", drives, seconds) ? 0 : 1;
    }
    header(seconds);
    bool ok = true;
    std::optional<double> off;
    for (int n : {1, 8, 20}) {
        sim::registerSimulatedAdapter(n);
        off = run("sim:" + std::to_string(n), "virtual", n, seconds);
        ok = off.has_value() && ok;
    }
    const std::optional<double> on = run("sim:20", "scope16", 20, seconds, true);
    ok = on.has_value() && ok;
    if (off && on) {
        std::printf(
            "scope recording 16 channels, 20 drives: cyc p50 %.1f us against %.1f us off, "
            "%+.1f us (target <= 5 us)\n",
            *on, *off, *on - *off);
    }
    return ok ? 0 : 1;
}
