#pragma once

// The scope's trigger and acquisition, on the consumer's side: frames and events taken from the
// Recorder go through an Acquisition in order; it keeps the pre-trigger history, finds the frame
// where the trigger's condition is first met and hands out a finished Recording once the part
// after the trigger is complete.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "recorder.h"
#include "recording.h"

namespace scope {

enum class TriggerKind : uint8_t {
    Rising,           // a channel's value crosses `level` upwards (from below to at or above)
    Falling,          // a channel's value crosses `level` downwards (from above to at or below)
    StatusBitRising,  // `bit` of a status-word channel comes on
    StatusBitFalling,
    FaultEntry,  // a status-word channel's drive enters Fault reaction active or Fault
    Event,       // an event of a kind in `events` (for `drive`, or any)
    Manual,      // Acquisition::triggerNow()
};

enum class TriggerMode : uint8_t {
    Single,      // one recording, then stopped
    Normal,      // a recording per trigger, re-armed after each
    Continuous,  // no trigger: the last record length rolls (Acquisition::snapshot)
};

struct TriggerSettings {
    TriggerKind kind = TriggerKind::Manual;
    int channel = 0;  // for the value and status kinds; FaultEntry: −1 for any status-word channel
    double level = 0;
    int bit = 0;
    uint32_t events = 0;  // eventBit() of each kind; WorkingCounterShort also fires on the flag
    int drive = kAllDrives;
};

// Whether the condition is met at a frame, by its values against each channel's last value seen.
// Frames must come in order; a NaN (drive missing) is passed over, so an edge across it counts at
// the first value after it.
class Trigger {
public:
    explicit Trigger(TriggerSettings settings = {}) : s_(settings) { reset(); }
    const TriggerSettings& settings() const { return s_; }
    void setChannelSignals(std::span<const Signal> channelSignals);
    // Forgets the values seen: the next frame is compared with nothing.
    void reset() { last_.fill(kNoValue); }
    // `due` holds the events that belong to this frame (cycle at or before it).
    bool check(const Frame& frame, std::span<const RecordedEvent> due);

private:
    bool fires(const Frame& frame, std::span<const RecordedEvent> due) const;
    bool statusChannel(int channel) const;

    TriggerSettings s_;
    std::vector<Signal> signals_;
    std::array<float, kMaxChannels> last_;  // NaN: none seen yet
};

struct AcquisitionSettings {
    TriggerMode mode = TriggerMode::Single;
    TriggerSettings trigger;
    double cycleTimeS = 0.002;
    double recordSeconds = 1.0;       // 0.1 s to 10 min
    double preTriggerFraction = 0.1;  // 0 to 0.9 of the record
};

// Lives on the consumer's thread, like the frames it is fed: nothing in it is shared.
class Acquisition {
public:
    static constexpr double kMinRecordSeconds = 0.1;
    static constexpr double kMaxRecordSeconds = 600;

    // Out-of-range settings are brought into range. Allocates the history and the recording.
    Acquisition(AcquisitionSettings settings, uint32_t generation,
                std::vector<ChannelDef> channels);

    const AcquisitionSettings& settings() const { return s_; }
    size_t recordLength() const { return length_; }
    size_t preTriggerLength() const { return pre_; }

    // A trigger met before the history holds the whole pre-trigger part gives a shorter one; the
    // part from the trigger on keeps its length.
    // Frames of another generation are skipped, counted, and their generation noted so that
    // the owner can start an Acquisition with the new channels.
    // Take the frames from the Recorder before the events: an event stamped with the last cycle
    // sampled then finds its frame in the same batch. One whose frame was fed in an earlier batch
    // belongs to the next frame fed.
    void feed(std::span<const Frame> frames, std::span<const EventRecord> events);
    // Fires at the next frame fed (while armed).
    void triggerNow() { manual_ = true; }
    // Re-arms after a single shot.
    void arm();
    bool armed() const { return state_ != State::Stopped; }
    bool triggered() const { return state_ == State::Post; }

    // A finished recording, oldest first; nothing when none is waiting.
    std::optional<Recording> takeRecording();
    // What the history holds now (roll mode's view), as a recording without trigger.
    Recording snapshot() const;

    uint64_t framesOfOtherGenerations() const { return otherFrames_; }
    std::optional<uint32_t> newerGeneration() const { return newerGeneration_; }
    std::map<int, DriveIdentity> identities;  // copied into each recording
    std::string notes;                        // copied into each recording

private:
    enum class State { Pre, Post, Stopped };

    void feedFrame(const Frame& frame);
    void startRecording(const Frame& triggerFrame);
    void finishRecording();
    void pushHistory(const Frame& frame);
    void collectEvents(Recording& r) const;
    void pruneEvents(uint64_t lastCycle);

    AcquisitionSettings s_;
    uint32_t generation_;
    std::vector<ChannelDef> channels_;
    size_t length_;
    size_t pre_;
    Trigger trigger_;
    State state_ = State::Pre;
    bool manual_ = false;

    // The history ring: the last frames seen (the record length in roll mode, the pre-trigger
    // part otherwise).
    std::vector<Frame> history_;
    size_t historyStart_ = 0;
    size_t historySize_ = 0;

    std::vector<RecordedEvent> pending_;  // events whose frame has not come yet
    std::vector<RecordedEvent> events_;   // events of the span the history or recording covers
    std::vector<RecordedEvent> due_;      // the current frame's, for the trigger
    Recording current_;
    std::vector<Recording> finished_;
    uint64_t otherFrames_ = 0;
    std::optional<uint32_t> newerGeneration_;
};

}  // namespace scope
