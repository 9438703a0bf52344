// Signals in engineering units; the recorder's frame and event rings under wrap, overflow,
// reconfiguration while sampling and producers on several threads.
#include <gtest/gtest.h>

#include <cmath>
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
    TCiA402_GetValue in;
    in.statusWord = 0x0237;
    in.position = -2 * 65535;
    in.velocity = 15'000'000;
    in.torque = -32767;
    in.busVoltage = 48;
    in.errorWord = 0x4001;
    in.drvErrorWord = 0x20;
    in.mcuTemp = 41;
    in.mosTemp = -5;
    in.motorTemp = 63;
    in.modeDisplay = 9;
    App_SetValue cmd{0x000F, 2.5f, 1.0f, 0.5f, -1.75f, 1.0f, 10};
    const struct {
        Signal signal;
        double expected;
        const char* unit;
    } rows[] = {
        {Signal::Position, -2.0, "turn"},
        {Signal::Velocity, 1.5, "turn/s"},
        {Signal::Torque, -80.0, "N·m"},
        {Signal::BusVoltage, 48, ""},
        {Signal::MotorTemp, 63, "°C"},
        {Signal::MosTemp, -5, "°C"},
        {Signal::McuTemp, 41, "°C"},
        {Signal::StatusWord, 0x0237, ""},
        {Signal::ErrorWord, 0x4001, ""},
        {Signal::DrvErrorWord, 0x20, ""},
        {Signal::ModeDisplay, 9, ""},
        {Signal::TargetPosition, -1.75, "turn"},
        {Signal::TargetVelocity, 1.0, "turn/s"},
        {Signal::TargetTorque, 2.5, "N·m"},
        {Signal::ControlWord, 0x000F, ""},
        {Signal::Mode, 10, ""},
        {Signal::FollowingError, 0.25, "turn"},
        {Signal::VelocityError, -0.5, "turn/s"},
    };
    static_assert(std::size(rows) == kSignalCount);
    for (const auto& row : rows) {
        const char* name = signalName(row.signal);
        EXPECT_NEAR(signalValue(row.signal, in, cmd), row.expected, 1e-6) << name;
        EXPECT_STREQ(signalUnit(row.signal), row.unit) << name;
        EXPECT_EQ(signalFromName(name), row.signal) << name;
    }
    EXPECT_FALSE(signalFromName("Position"));
}

TEST(ScopeRecorder, RingWrapsAndCountsWhatAFullRingTurnsAway) {
    const struct {
        size_t takeEvery;  // cycles between takes
        size_t batch;      // frames per take
        bool loses;
    } rows[] = {{1, 1, false}, {3, 2, true},    {5, 8, false},
                {8, 8, false}, {40, 100, true}, {7, 3, true}};
    for (const auto& row : rows) {
        Recorder recorder(8);
        const ChannelDef defs[] = {{.drive = 3}, {.drive = 12, .signal = Signal::Velocity}};
        ASSERT_TRUE(recorder.configure(defs));
        std::vector<Frame> out(row.batch);
        uint64_t taken = 0;
        uint64_t lastCycle = 0;
        for (uint64_t cycle = 1; cycle <= 400; ++cycle) {
            recorder.sample(cycle, int64_t(cycle) * 2'000'000, 0, drivesUpToTen);
            if (cycle % row.takeEvery != 0) {
                continue;
            }
            const size_t n = recorder.take(out);
            for (size_t i = 0; i < n; ++i) {
                EXPECT_GT(out[i].cycle, lastCycle);
                lastCycle = out[i].cycle;
                EXPECT_EQ(out[i].values[0], 3.0f);
                EXPECT_TRUE(std::isnan(out[i].values[1])) << "drive 12 is not on the bus";
            }
            taken += n;
        }
        std::vector<Frame> rest(16);
        taken += recorder.take(rest);
        EXPECT_EQ(taken + recorder.framesTurnedAway(), 400u) << row.takeEvery << "/" << row.batch;
        EXPECT_EQ(recorder.framesTurnedAway() > 0, row.loses) << row.takeEvery << "/" << row.batch;
    }
}

TEST(ScopeRecorder, FramesFollowTheirConfigurationWhileItChanges) {
    Recorder recorder(1024);
    std::atomic<bool> done{false};
    std::thread cycle([&] {
        for (uint64_t c = 1; !done.load(); ++c) {
            recorder.sample(c, 0, 0, drivesUpToTen);
        }
    });
    // Configuration k records drives k % 7 + 1 ... with k % 16 + 1 channels.
    std::vector<Frame> frames(2048);  // drains the ring: channelsOf() keeps eight
    size_t checked = 0;
    for (int k = 0; k < 300; ++k) {
        std::vector<ChannelDef> defs;
        for (int c = 0; c <= k % 16; ++c) {
            defs.push_back({.drive = k % 7 + 1 + c});
        }
        ASSERT_EQ(recorder.configure(defs), uint32_t(k + 1));
        // Until the cycle has sampled with this configuration.
        for (bool adopted = false; !adopted;) {
            for (size_t n = recorder.take(frames), i = 0; i < n; ++i, ++checked) {
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
    }
    done = true;
    cycle.join();
    EXPECT_GT(checked, 0u);
}

TEST(ScopeRecorder, EventsFromSeveralThreadsArriveOnceInTheirOrder) {
    constexpr int kThreads = 4;
    constexpr int kEach = 2000;
    Recorder recorder(8, 64);
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([&recorder, t] {
            for (int i = 0; i < kEach; ++i) {
                while (!recorder.postEvent(EventKind::Emergency, t, uint64_t(i), 0, "emcy")) {
                    std::this_thread::yield();
                }
            }
        });
    }
    std::vector<int> next(kThreads, 0);
    std::vector<EventRecord> out(16);
    for (int seen = 0; seen < kThreads * kEach;) {
        for (size_t n = recorder.takeEvents(out), i = 0; i < n; ++i, ++seen) {
            ASSERT_EQ(out[i].cycle, uint64_t(next[out[i].drive]++));
            ASSERT_EQ(out[i].textView(), "emcy");
        }
    }
    for (auto& p : producers) {
        p.join();
    }
}

TEST(ScopeRecorder, EventRingStampsTruncatesAndCountsLosses) {
    Recorder recorder(8, 4);
    recorder.sample(77, 154'000'000, 0, drivesUpToTen);
    // 62 ASCII bytes and a three-byte character: the character does not fit and goes whole.
    const std::string longText = std::string(62, 'x') + "故障";
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(recorder.postEvent(EventKind::Stop, kAllDrives, longText), i < 4);
    }
    EXPECT_EQ(recorder.eventsLost(), 2u);
    std::vector<EventRecord> out(8);
    ASSERT_EQ(recorder.takeEvents(out), 4u);
    EXPECT_EQ(out[0].cycle, 77u);
    EXPECT_EQ(out[0].timeNs, 154'000'000);
    EXPECT_EQ(out[0].textView(), std::string(62, 'x'));
}
