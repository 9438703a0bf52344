// Signals in engineering units; frame and event rings: wrap, overflow, reconfiguration, threads.
#include <gtest/gtest.h>

#include <cmath>
#include <string_view>
#include <thread>
#include <vector>

#include "scope/recorder.h"

using namespace scope;

namespace {

// Drive d reads position d turns; drives above 10 are not on the bus.
bool drivesUpToTen(int drive, DriveRecords& out) {
    out.inputs.position = drive * 65535;
    return drive >= 1 && drive <= 10;
}

}  // namespace

TEST(ScopeSignal, ConvertsTheRecordsToEngineeringUnits) {
    const TCiA402_GetValue in{0x0237, -2 * 65535, 15'000'000, -32767, 48, 0x4001,
                              0x20,   41,         -5,         63,     9};
    const App_SetValue cmd{0x000F, 2.5f, 1.0f, 0.5f, -1.75f, 1.0f, 10};
    // By Signal, in its order: the input record's, the command record's, the derived ones.
    const double expected[] = {-2.0, 1.5, -80.0, 48,  63,  -5,     41, 0x0237, 0x4001,
                               0x20, 9,   -1.75, 1.0, 2.5, 0x000F, 10, 0.25,   -0.5};
    static_assert(std::size(expected) == kSignalCount);
    for (int i = 0; i < kSignalCount; ++i) {
        const auto signal = Signal(i);
        const char* name = signalName(signal);
        EXPECT_NEAR(signalValue(signal, in, cmd), expected[i], 1e-6) << name;
        EXPECT_EQ(signalFromName(name), signal) << name;
        EXPECT_EQ(isWordSignal(signal), std::string_view(name).ends_with("_word")) << name;
    }
}

TEST(ScopeRecorder, RingWrapsCountsWhatAFullRingTurnsAwayAndFramesFollowTheirConfiguration) {
    const struct {
        size_t takeEvery;  // cycles between takes
        size_t batch;      // frames per take
        bool loses;
    } rows[] = {{1, 1, false}, {3, 2, true},    {5, 8, false},
                {8, 8, false}, {40, 100, true}, {7, 3, true}};
    for (const auto& row : rows) {
        Recorder recorder(8);
        // Two signals of one drive: each channel its own signal.
        const ChannelDef defs[] = {{.drive = 3}, {.drive = 3, .signal = Signal::FollowingError}};
        ASSERT_TRUE(recorder.configure(defs));
        std::vector<Frame> out(row.batch);
        uint64_t taken = 0, lastCycle = 0;
        for (uint64_t cycle = 1; cycle <= 400; ++cycle) {
            recorder.sample(cycle, int64_t(cycle) * 2'000'000, 0, drivesUpToTen);
            const size_t n = cycle % row.takeEvery == 0 ? recorder.take(out) : 0;
            for (size_t i = 0; i < n; ++i) {
                EXPECT_GT(out[i].cycle, std::exchange(lastCycle, out[i].cycle));
                EXPECT_EQ(std::pair(out[i].values[0], out[i].values[1]), std::pair(3.0f, -3.0f));
            }
            taken += n;
        }
        out.resize(16);
        taken += recorder.take(out);
        EXPECT_EQ(taken + recorder.framesTurnedAway(), 400u) << row.takeEvery << "/" << row.batch;
        EXPECT_EQ(recorder.framesTurnedAway() > 0, row.loses) << row.takeEvery << "/" << row.batch;
    }

    Recorder recorder(1024);
    std::jthread cycle([&](std::stop_token stop) {
        for (uint64_t c = 1; !stop.stop_requested(); ++c)
            recorder.sample(c, 0, 0, drivesUpToTen);
    });
    // Configuration k records drives k % 7 + 1 ... with k % 16 + 1 channels.
    std::vector<Frame> frames(2048);  // drains the ring: channelsOf() keeps eight
    for (int k = 0; k < 300; ++k) {
        std::vector<ChannelDef> defs;
        for (int c = 0; c <= k % 16; ++c)
            defs.push_back({.drive = k % 7 + 1 + c});
        ASSERT_EQ(recorder.configure(defs), uint32_t(k + 1));
        // Until the cycle has sampled with this configuration.
        for (bool adopted = false; !adopted;)
            for (size_t n = recorder.take(frames), i = 0; i < n; ++i) {
                const auto channels = recorder.channelsOf(frames[i].generation);
                ASSERT_TRUE(channels);
                adopted = frames[i].generation == uint32_t(k + 1);
                for (int c = 0; c < kMaxChannels; ++c) {
                    const bool onBus = c < int(channels->size()) && (*channels)[c].drive <= 10;
                    const float v = frames[i].values[c];
                    EXPECT_TRUE(onBus ? v == float((*channels)[c].drive) : std::isnan(v))
                        << "generation " << frames[i].generation << " channel " << c;
                }
            }
    }
    EXPECT_TRUE(recorder.channelsOf(300 - 7) && !recorder.channelsOf(300 - 8));  // the last eight
}

TEST(ScopeRecorder, EventRingStampsTruncatesCountsLossesAndKeepsEachThreadsOrder) {
    Recorder recorder(8, 4);
    recorder.sample(77, 154'000'000, 0, drivesUpToTen);
    // 62 ASCII bytes and a three-byte character: the character does not fit and goes whole.
    const std::string longText = std::string(62, 'x') + "故障";
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(recorder.postEvent(EventKind::Stop, kAllDrives, longText), i < 4);
    EXPECT_EQ(recorder.eventsLost(), 2u);
    std::vector<EventRecord> out(8);
    ASSERT_EQ(recorder.takeEvents(out), 4u);
    EXPECT_EQ(std::tuple(out[0].cycle, out[0].timeNs, out[0].textView()),
              std::tuple(77u, 154'000'000, std::string(62, 'x')));

    // Producers on several threads: each one's events arrive once and in order.
    Recorder shared(8, 64);
    constexpr int kThreads = 4, kEach = 2000;
    std::vector<std::jthread> producers;
    for (int t = 0; t < kThreads; ++t)
        producers.emplace_back([&shared, t](std::stop_token stop) {
            for (int i = 0; i < kEach; ++i)
                while (!shared.postEvent(EventKind::Emergency, t, uint64_t(i), 0, "emcy") &&
                       !stop.stop_requested())
                    std::this_thread::yield();
        });
    std::vector<int> next(kThreads, 0);
    for (int seen = 0; seen < kThreads * kEach;)
        for (size_t n = shared.takeEvents(out), i = 0; i < n; ++i, ++seen)
            ASSERT_EQ(std::tuple(out[i].cycle, out[i].textView()),
                      std::tuple(uint64_t(next[out[i].drive]++), "emcy"));
}
