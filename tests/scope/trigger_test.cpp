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

Frame frameAt(uint64_t cycle, float value, uint16_t status = kEnabled, uint32_t flags = 0) {
    Frame f{.cycle = cycle, .timeNs = int64_t(cycle) * 2'000'000, .flags = flags, .generation = 1};
    f.values = {value, float(status)};
    return f;
}

// 0.1 s at 2 ms: 50 frames, 10 of them before the trigger.
AcquisitionSettings settingsFor(TriggerMode mode, TriggerSettings trigger) {
    return {.mode = mode, .trigger = trigger, .recordSeconds = 0.1, .preTriggerFraction = 0.2};
}

}  // namespace

TEST(ScopeTrigger, FiresAtTheFrameWhereTheConditionIsFirstMet) {
    using enum TriggerKind;
    // A ramp with cycle 31's value missing, the working counter short at cycle 20.
    const auto ramp = [](uint64_t c) {
        return frameAt(c, c == 31 ? NAN : float(c), kEnabled,
                       c == 20 ? kFrameWorkingCounterShort : 0);
    };
    const auto fall = [](uint64_t c) { return frameAt(c, 100.0f - float(c)); };
    const auto status = [](uint64_t from, uint16_t word) {
        return [=](uint64_t c) { return frameAt(c, 0, c >= from ? word : kEnabled); };
    };
    const uint32_t emcyBit = eventBit(EventKind::Emergency);
    const uint32_t wcBit = eventBit(EventKind::WorkingCounterShort);
    const EventRecord emcy{.cycle = 33, .drive = 2, .kind = EventKind::Emergency};
    const struct {
        const char* name;
        TriggerSettings trigger;
        std::function<Frame(uint64_t)> make;
        uint64_t expectedCycle;  // 0: never
        std::vector<EventRecord> events = {};
    } rows[] = {
        {"rising reaches the level", {.kind = Rising, .level = 30}, ramp, 30},
        {"falling reaches the level", {.kind = Falling, .level = 60}, fall, 40},
        {"edge across a missing value", {.kind = Rising, .level = 30.5}, ramp, 32},
        {"bit rising", {.kind = StatusBitRising, .channel = 1, .bit = 15}, status(37, 0x8237), 37},
        {"bit falling", {.kind = StatusBitFalling, .channel = 1, .bit = 0}, status(44, 0x0236), 44},
        {"bit of a value channel", {.kind = StatusBitRising, .bit = 0}, ramp, 0},
        {"fault", {.kind = FaultEntry, .channel = -1}, status(45, 0x0218), 45},
        {"fault reaction is entry", {.kind = FaultEntry, .channel = 1}, status(45, 0x021F), 45},
        {"emergency", {.kind = Event, .events = emcyBit}, ramp, 33, {emcy}},
        {"other drive", {.kind = Event, .events = emcyBit, .drive = 3}, ramp, 0, {emcy}},
        {"working counter flag", {.kind = Event, .events = wcBit}, ramp, 20},
    };
    for (const auto& row : rows) {
        Acquisition acq(settingsFor(TriggerMode::Single, row.trigger), 1, kChannels);
        acq.feed({}, row.events);
        for (uint64_t c = 1; c <= 200; ++c)
            acq.feed(std::array{row.make(c)}, {});
        const auto r = acq.takeRecording();
        ASSERT_EQ(r.has_value(), row.expectedCycle != 0) << row.name;
        if (r) {
            ASSERT_EQ(std::tuple(r->size(), r->triggerIndex()), std::tuple(50u, 10u)) << row.name;
            EXPECT_EQ(std::tuple(r->cycle(10), r->cycle(0), r->events.size()),
                      std::tuple(row.expectedCycle, row.expectedCycle - 10, row.events.size()))
                << row.name;
        }
    }
}

TEST(ScopeTrigger, ModesShotsRollAndSettingsTakenWithinTheirRanges) {
    // A sawtooth reaching 50 at cycles 50, 150, 250, ... in two batches, arm() between them.
    const struct {
        TriggerMode mode;
        std::vector<uint64_t> triggerCycles;
        bool armedAfter;
    } rows[] = {{TriggerMode::Single, {50, 550}, false},
                {TriggerMode::Normal, {50, 150, 250, 350, 450, 550, 650, 750, 850, 950}, true},
                {TriggerMode::Continuous, {}, true}};
    for (const auto& row : rows) {
        Acquisition acq(settingsFor(row.mode, {.kind = TriggerKind::Rising, .level = 50}), 1,
                        kChannels);
        std::vector<uint64_t> triggerCycles;
        for (uint64_t from = 1; from <= 1000; from += 500) {
            acq.arm();
            std::vector<Frame> frames;
            for (uint64_t c = from; c < from + 500; ++c)
                frames.push_back(frameAt(c, float(c % 100)));
            acq.feed(frames, {});
            while (auto r = acq.takeRecording())
                triggerCycles.push_back(r->cycle(*r->triggerIndex()));
        }
        const Recording roll = acq.snapshot();
        EXPECT_EQ(std::tuple(triggerCycles, acq.armed(), roll.size(), roll.cycle(roll.size() - 1)),
                  std::tuple(row.triggerCycles, row.armedAfter,
                             row.mode == TriggerMode::Continuous ? 50u : 10u, 1000u));
    }
    Acquisition one(settingsFor(TriggerMode::Continuous, {}), 1, kChannels);  // a roll of a frame
    one.feed(std::array{frameAt(7, 1)},
             std::array{EventRecord{.cycle = 7, .drive = 1, .kind = EventKind::Emergency}});
    EXPECT_EQ(one.snapshot().events.size(), 1u);

    // Settings outside their ranges are brought into them: a cycle time that is no time, a record
    // too short or too long, a pre-trigger fraction below none or above nine tenths.
    // cycle time, seconds, pre-trigger fraction -> record length, pre-trigger length (frames)
    const std::tuple<double, double, double, size_t, size_t> ranges[] = {
        {0.004, 0.2, 0.2, 50, 10},  {0, 0.1, -1, 50, 0},        {NAN, 0.1, NAN, 50, 0},
        {0.002, 0.1, 0.95, 50, 45}, {0.002, 0.01, 0.5, 50, 25}, {0.1, 1e9, 0.5, 6000, 3000},
        {0.1, 0.1, 0.5, 2, 1}};
    for (const auto& [cycle, seconds, pre, length, before] : ranges) {
        const Acquisition acq({TriggerMode::Single, {}, cycle, seconds, pre}, 1, kChannels);
        EXPECT_EQ(std::pair(acq.recordLength(), acq.preTriggerLength()), std::pair(length, before))
            << cycle << " " << seconds << " " << pre;
    }
}

TEST(ScopeTrigger, ManualTriggerGapsAndForeignGenerations) {
    Acquisition acq(settingsFor(TriggerMode::Single, {}), 1, kChannels);
    std::vector<Frame> frames;
    for (uint64_t c = 1; c <= 100; ++c)
        if (c != 12 && c != 25 && c != 26)  // three cycles never reached the consumer
            frames.push_back(frameAt(c, float(c)));
    frames[80].generation = 2;       // after the recording's end
    std::vector<EventRecord> edges;  // before, at the first and at the last recorded cycle, after
    for (const uint64_t c : {10, 11, 63, 64})
        edges.push_back({.cycle = c, .drive = 1, .kind = EventKind::Emergency});
    acq.feed({frames.data(), 20}, edges);
    acq.triggerNow();
    acq.feed({frames.data() + 20, frames.size() - 20}, {});
    auto r = acq.takeRecording();
    ASSERT_TRUE(r);  // the gaps of cycle 12 (after the first sample) and 25-26: nothing filled in
    EXPECT_EQ(std::tuple(r->triggerIndex(), r->cycle(10), r->gapCount(), r->cycle(14),
                         r->value(0, 14), acq.framesOfOtherGenerations(), acq.newerGeneration()),
              std::tuple(10u, 22u, 2u, 28u, 28.0f, 1u, 2u));
    ASSERT_EQ(r->events.size(), 2u);
    EXPECT_EQ(std::pair(r->events.front().cycle, r->events.back().cycle),
              std::pair(uint64_t{11}, uint64_t{63}));
}
