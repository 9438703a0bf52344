// Trigger kinds at the exact frame with the asked pre-trigger part, the modes, events and gaps.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "scope/trigger.h"

using namespace scope;

namespace {

// Channel 0 carries a value, channel 1 a drive's status word.
const std::vector<ChannelDef> kChannels = {{.drive = 1},
                                           {.drive = 1, .signal = Signal::StatusWord}};
constexpr uint16_t kEnabled = 0x0237;
constexpr uint16_t kFaulted = 0x0218;

Frame frameAt(uint64_t cycle, float value, uint16_t status = kEnabled, uint32_t flags = 0) {
    Frame f{.cycle = cycle, .timeNs = int64_t(cycle) * 2'000'000, .flags = flags, .generation = 1};
    f.values[0] = value;
    f.values[1] = status;
    return f;
}

// 0.1 s at 2 ms: 50 frames, 10 of them before the trigger.
AcquisitionSettings settingsFor(TriggerMode mode, TriggerSettings trigger) {
    return {.mode = mode, .trigger = trigger, .recordSeconds = 0.1, .preTriggerFraction = 0.2};
}

}  // namespace

TEST(ScopeTrigger, FiresAtTheFrameWhereTheConditionIsFirstMet) {
    using Make = std::function<Frame(uint64_t)>;
    const EventRecord emcy{.cycle = 33, .drive = 2, .kind = EventKind::Emergency};
    const struct {
        const char* name;
        TriggerSettings trigger;
        Make make;
        uint64_t expectedCycle;
        std::vector<EventRecord> events = {};
    } rows[] = {
        {"rising",
         {.kind = TriggerKind::Rising, .level = 30.5},
         [](uint64_t c) { return frameAt(c, float(c)); },
         31},
        {"rising reaches the level",
         {.kind = TriggerKind::Rising, .level = 30},
         [](uint64_t c) { return frameAt(c, float(c)); },
         30},
        {"falling",
         {.kind = TriggerKind::Falling, .level = 60.5},
         [](uint64_t c) { return frameAt(c, 100.0f - float(c)); },
         40},
        {"edge against the last value seen",
         {.kind = TriggerKind::Rising, .level = 30.5},
         [](uint64_t c) { return frameAt(c, c == 31 ? NAN : float(c)); },
         32},
        {"status bit rising",
         {.kind = TriggerKind::StatusBitRising, .channel = 1, .bit = 10},
         [](uint64_t c) { return frameAt(c, 0, c >= 37 ? kEnabled | 0x400 : kEnabled); },
         37},
        {"status bit falling",
         {.kind = TriggerKind::StatusBitFalling, .channel = 1, .bit = 2},
         [](uint64_t c) { return frameAt(c, 0, c >= 44 ? 0x0233 : kEnabled); },
         44},
        {"status bit of a value channel",
         {.kind = TriggerKind::StatusBitRising, .bit = 0},
         [](uint64_t c) { return frameAt(c, float(c % 2)); },
         0},
        {"fault entry",
         {.kind = TriggerKind::FaultEntry, .channel = -1},
         [](uint64_t c) { return frameAt(c, 0, c >= 45 ? kFaulted : kEnabled); },
         45},
        {"fault reaction is entry",
         {.kind = TriggerKind::FaultEntry, .channel = 1},
         [](uint64_t c) { return frameAt(c, 0, c >= 45 ? 0x021F : kEnabled); },
         45},
        {"emergency",
         {.kind = TriggerKind::Event, .events = eventBit(EventKind::Emergency)},
         [](uint64_t c) { return frameAt(c, 0); },
         33,
         {emcy}},
        {"emergency of another drive",
         {.kind = TriggerKind::Event, .events = eventBit(EventKind::Emergency), .drive = 3},
         [](uint64_t c) { return frameAt(c, 0); },
         0,
         {emcy}},
        {"working counter flag",
         {.kind = TriggerKind::Event, .events = eventBit(EventKind::WorkingCounterShort)},
         [](uint64_t c) { return frameAt(c, 0, kEnabled, c == 52 ? 1 : 0); },
         52},
    };
    for (const auto& row : rows) {
        Acquisition acq(settingsFor(TriggerMode::Single, row.trigger), 1, kChannels);
        acq.feed({}, row.events);
        for (uint64_t c = 1; c <= 200; ++c) {
            const Frame f = row.make(c);
            acq.feed({&f, 1}, {});
        }
        auto r = acq.takeRecording();
        ASSERT_EQ(r.has_value(), row.expectedCycle != 0) << row.name;
        if (!r) {
            continue;
        }
        ASSERT_EQ(r->size(), 50u) << row.name;
        ASSERT_EQ(r->triggerIndex(), 10u) << row.name;
        EXPECT_EQ(r->cycle(10), row.expectedCycle) << row.name;
        EXPECT_EQ(r->cycle(0), row.expectedCycle - 10) << row.name;
        EXPECT_EQ(r->events.size(), row.events.size()) << row.name;
        EXPECT_FALSE(acq.takeRecording()) << row.name << ": single shot";
    }
}

TEST(ScopeTrigger, ModesShotsAndRoll) {
    // A sawtooth reaching 50 at cycles 50, 150, 250, ...
    const auto saw = [](uint64_t c) { return frameAt(c, float(c % 100)); };
    const TriggerSettings rising{.kind = TriggerKind::Rising, .level = 50};
    const struct {
        TriggerMode mode;
        size_t recordings;
        bool armedAfter;
    } rows[] = {{TriggerMode::Single, 1, false},
                {TriggerMode::Normal, 10, true},
                {TriggerMode::Continuous, 0, true}};
    for (const auto& row : rows) {
        Acquisition acq(settingsFor(row.mode, rising), 1, kChannels);
        std::vector<Frame> frames;
        for (uint64_t c = 1; c <= 1000; ++c) {
            frames.push_back(saw(c));
        }
        acq.feed(frames, {});
        std::vector<uint64_t> triggerCycles;
        while (auto r = acq.takeRecording()) {
            triggerCycles.push_back(r->cycle(*r->triggerIndex()));
        }
        ASSERT_EQ(triggerCycles.size(), row.recordings);
        for (size_t i = 0; i < triggerCycles.size(); ++i) {
            EXPECT_EQ(triggerCycles[i], 50 + 100 * i);
        }
        EXPECT_EQ(acq.armed(), row.armedAfter);
        const Recording roll = acq.snapshot();
        EXPECT_EQ(roll.size(), row.mode == TriggerMode::Continuous ? 50u : 10u);
        EXPECT_EQ(roll.cycle(roll.size() - 1), 1000u);
        EXPECT_FALSE(roll.triggerIndex());
    }
    // Single shot re-armed: the next crossing.
    Acquisition acq(settingsFor(TriggerMode::Single, rising), 1, kChannels);
    for (uint64_t c = 1; c <= 300; ++c) {
        const Frame f = saw(c);
        acq.feed({&f, 1}, {});
        if (c == 120) {
            EXPECT_TRUE(acq.takeRecording());
            acq.arm();
        }
    }
    auto r = acq.takeRecording();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->cycle(*r->triggerIndex()), 150u);
}

TEST(ScopeTrigger, ManualTriggerGapsAndForeignGenerations) {
    Acquisition acq(settingsFor(TriggerMode::Single, {}), 1, kChannels);
    std::vector<Frame> frames;
    for (uint64_t c = 1; c <= 100; ++c) {
        if (c != 25 && c != 26) {  // two cycles never reached the consumer
            frames.push_back(frameAt(c, float(c)));
        }
    }
    frames[80].generation = 2;  // after the recording's end
    acq.feed({frames.data(), 20}, {});
    acq.triggerNow();
    acq.feed({frames.data() + 20, frames.size() - 20}, {});
    auto r = acq.takeRecording();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->triggerIndex(), 10u);
    EXPECT_EQ(r->cycle(10), 21u);
    EXPECT_EQ(r->gapCount(), 1u);
    EXPECT_TRUE(r->gapBefore(14));
    EXPECT_EQ(r->cycle(14), 27u);
    EXPECT_EQ(r->value(0, 14), 27.0f) << "nothing filled in";
    EXPECT_EQ(acq.framesOfOtherGenerations(), 1u);
    EXPECT_EQ(acq.newerGeneration(), 2u);
}
