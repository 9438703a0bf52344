// Figures of the scope's recording core:
//   - the cycle thread's cost of Recorder::sample() with 16 channels over a bus of 20 drives,
//     each drive's records decoded from its input image as the master's cycle holds it,
//   - the memory of a 10-minute, 16-channel recording at the 2 ms cycle, and of an acquisition
//     keeping 90 % of it as pre-trigger history,
//   - frames lost over a simulated 10-minute run, the cycle paced faster than real time and a
//     consumer taking every 20 ms of simulated time into a triggered acquisition while another
//     thread posts events.
//
//   scope_bench [--speedup N]   the simulated run at N times real time (default 50)
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "model/scaling.h"
#include "scope/recorder.h"
#include "scope/trigger.h"

using namespace scope;

namespace {

constexpr int kDrives = 20;
constexpr int64_t kCycleNs = 2'000'000;
constexpr uint64_t kTenMinutes = 600'000'000'000 / kCycleNs;

int64_t nowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

long rssKiB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return -1;
}

// The bus as the cycle holds it: input images and command records, slave numbers 1 to 20.
struct Bus {
    uint8_t inputs[kDrives + 1][kDriveInputBytes] = {};
    App_SetValue commands[kDrives + 1] = {};

    void advance(uint64_t cycle) {
        for (int d = 1; d <= kDrives; ++d) {
            TCiA402_GetValue v;
            v.statusWord = 0x0237;
            const float turns = std::sin(float(cycle) * 0.002f + float(d));
            v.position = positionToRaw(turns);
            v.velocity = velocityToRaw(turns * 0.5f);
            v.torque = torqueToRaw(turns * 3);
            encodeInputImage(v, inputs[d]);
            commands[d].position = turns + 0.001f;
        }
    }
    bool records(int drive, DriveRecords& out) const {
        if (drive < 1 || drive > kDrives) {
            return false;
        }
        out.inputs = decodeInputImage(inputs[drive]);
        out.commands = commands[drive];
        return true;
    }
};

std::vector<ChannelDef> sixteenChannels() {
    // Spread over drives across the bus, every kind of signal, the derived ones included.
    std::vector<ChannelDef> defs;
    for (int c = 0; c < kMaxChannels; ++c) {
        defs.push_back({.drive = 1 + (c * 7) % kDrives, .signal = Signal(c % kSignalCount)});
    }
    defs[14].signal = Signal::FollowingError;
    defs[15].signal = Signal::VelocityError;
    return defs;
}

double percentile(std::vector<int64_t>& v, double p) {
    const size_t i = std::min(v.size() - 1, size_t(p * double(v.size())));
    std::nth_element(v.begin(), v.begin() + ptrdiff_t(i), v.end());
    return double(v[i]);
}

void sampleCost() {
    Bus bus;
    Recorder recorder;
    recorder.configure(sixteenChannels());
    std::vector<Frame> out(64);
    constexpr int kRuns = 200'000;
    std::vector<int64_t> cost(kRuns);
    const auto records = [&bus](int drive, DriveRecords& r) { return bus.records(drive, r); };
    for (int i = 0; i < kRuns; ++i) {
        bus.advance(uint64_t(i));
        const int64_t t0 = nowNs();
        recorder.sample(uint64_t(i), t0, 0, records);
        cost[i] = nowNs() - t0;
        if (i % 32 == 0) {
            recorder.take(out);
        }
    }
    const double p50 = percentile(cost, 0.5);
    const double p99 = percentile(cost, 0.99);
    const double max = double(*std::max_element(cost.begin(), cost.end()));
    std::printf("sample(): 16 channels over %d drives, %d calls\n", kDrives, kRuns);
    std::printf("  median %.2f us   p99 %.2f us   max %.2f us   (target: median <= 5 us)\n",
                p50 / 1e3, p99 / 1e3, max / 1e3);
    std::printf("  frames turned away: %llu\n",
                static_cast<unsigned long long>(recorder.framesTurnedAway()));
}

void memory() {
    const std::vector<ChannelDef> defs = sixteenChannels();
    Frame f;
    f.values.fill(1.0f);
    {
        const long before = rssKiB();
        Recording r(defs, 0.002);
        r.reserve(kTenMinutes);
        for (uint64_t c = 0; c < kTenMinutes; ++c) {
            r.append(c, int64_t(c) * kCycleNs, f.values.data());
        }
        const long after = rssKiB();
        std::printf("recording: 10 min x 16 channels at 2 ms = %llu samples\n",
                    static_cast<unsigned long long>(r.size()));
        std::printf("  sample vectors %.1f MB   VmRSS +%.1f MB   (target <= 150 MB)\n",
                    double(r.sampleBytes()) / 1e6, double(after - before) * 1024 / 1e6);
    }
    {
        const long before = rssKiB();
        AcquisitionSettings s{.mode = TriggerMode::Single,
                              .trigger = {.kind = TriggerKind::Rising, .level = 0.5},
                              .recordSeconds = 600,
                              .preTriggerFraction = 0.9};
        Acquisition acq(s, 1, defs);
        f.generation = 1;
        for (uint64_t c = 0; c < kTenMinutes; ++c) {
            f.cycle = c;
            // The trigger as late as the record allows, so the history is full.
            f.values[0] = c >= kTenMinutes * 9 / 10 ? 1.0f : 0.0f;
            acq.feed({&f, 1}, {});
        }
        auto r = acq.takeRecording();
        const long after = rssKiB();
        std::printf(
            "acquisition: 10 min record, 90 %% pre-trigger: history and recording"
            " VmRSS +%.1f MB, recording of %zu samples\n",
            double(after - before) * 1024 / 1e6, r ? r->size() : size_t(0));
    }
}

void simulatedRun(int speedup) {
    Bus bus;
    Recorder recorder;
    const auto generation = recorder.configure(sixteenChannels());
    AcquisitionSettings s{
        .mode = TriggerMode::Normal,
        .trigger = {.kind = TriggerKind::Event, .events = eventBit(EventKind::Emergency)},
        .recordSeconds = 2,
        .preTriggerFraction = 0.5};
    Acquisition acq(s, *generation, sixteenChannels());
    std::atomic<bool> done{false};
    const int64_t cyclePeriod = kCycleNs / speedup;
    const int64_t takePeriod = 10 * cyclePeriod;  // every 20 ms of simulated time

    std::thread cycle([&] {
        const auto records = [&bus](int drive, DriveRecords& r) { return bus.records(drive, r); };
        int64_t next = nowNs();
        for (uint64_t c = 0; c < kTenMinutes; ++c) {
            while (nowNs() < next) {
            }
            next += cyclePeriod;
            bus.advance(c);
            recorder.sample(c, int64_t(c) * kCycleNs, 0, records);
        }
        done = true;
    });
    std::thread supervisor([&] {
        while (!done) {
            recorder.postEvent(EventKind::Emergency, 3, "emcy 0x2310");
            std::this_thread::sleep_for(std::chrono::nanoseconds(2500 * cyclePeriod));
        }
    });

    std::vector<Frame> frames(Recorder::kDefaultFrameCapacity);
    std::vector<EventRecord> events(64);
    uint64_t taken = 0;
    size_t largestBatch = 0;
    size_t recordings = 0;
    for (bool last = false; !last;) {
        last = done;
        std::this_thread::sleep_for(std::chrono::nanoseconds(takePeriod));
        const size_t n = recorder.take(frames);
        const size_t e = recorder.takeEvents(events);
        acq.feed({frames.data(), n}, {events.data(), e});
        while (acq.takeRecording()) {
            ++recordings;
        }
        taken += n;
        largestBatch = std::max(largestBatch, n);
    }
    cycle.join();
    supervisor.join();
    std::printf(
        "simulated 10-minute run at %dx: %llu cycles, %llu frames taken, %llu lost,"
        " largest batch %zu of %zu, %zu triggered recordings, %llu events lost\n",
        speedup, static_cast<unsigned long long>(kTenMinutes),
        static_cast<unsigned long long>(taken),
        static_cast<unsigned long long>(recorder.framesTurnedAway()), largestBatch,
        recorder.frameCapacity(), recordings,
        static_cast<unsigned long long>(recorder.eventsLost()));
}

}  // namespace

int main(int argc, char** argv) {
    int speedup = 50;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--speedup") == 0) {
            speedup = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    sampleCost();
    memory();
    simulatedRun(speedup);
    return 0;
}
