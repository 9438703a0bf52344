// Figures of the master's real 2 ms cycle: bring-up through ecmaster, then the cycle on its
// periodic timer thread for a while, measuring
//   - start lateness: when the cycle began against its grid point (the timer's deadline),
//   - cycle time: from the send of the process data to the end of the clock alignment,
//   - frames per cycle: what the cycle sends (process data and clock alignment together).
//
//   cycle_bench [--seconds S]                          in-process chains of 1, 8 and 20 drives
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

bool run(const std::string& adapter, const char* label, int drives, int seconds) {
    samples.reset(static_cast<size_t>(seconds) * 500 + 1000);
    ecmaster m;
    if (!m.connectBus(adapter.c_str())) {
        std::fprintf(stderr, "%s, %d drives: bring-up failed\n", label, drives);
        return false;
    }
    if (m.driveCount() != drives) {
        std::fprintf(stderr, "%s: %d drives found, %d expected\n", label, m.driveCount(), drives);
    }
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
        return false;
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
    return true;
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
    for (int n : {1, 8, 20}) {
        sim::registerSimulatedAdapter(n);
        ok = run("sim:" + std::to_string(n), "virtual", n, seconds) && ok;
    }
    return ok ? 0 : 1;
}
