#pragma once

// A finished scope recording: channel definitions, one cycle number and time per sample, the
// values column by column, the trigger's sample, the events in its span, the drives' identities
// and the operator's notes; and its file.
//
// Gaps: a cycle that never reached the consumer (a frame turned away, or the bus down) leaves no
// row. The samples on either side keep their own cycle numbers and gapBefore(i) tells a reader the
// line must break there; nothing is interpolated or filled in.
//
// File: a first line "ZENTRIO-SCOPE <version> <header bytes>", a YAML header of that many bytes
// describing everything (its `binary` key gives the layout), then the binary part: the cycle
// numbers as little-endian uint64, the times as int64 nanoseconds, then each channel's values as
// float32, one channel after the other.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "channel.h"
#include "event.h"

namespace scope {

struct RecordedEvent {
    EventKind kind = EventKind::Manual;
    int drive = kAllDrives;
    uint64_t cycle = 0;
    int64_t timeNs = 0;
    std::string text;

    bool operator==(const RecordedEvent&) const = default;
};

// Free key/value strings of one drive: product type, software version, serial number...
using DriveIdentity = std::map<std::string, std::string>;

class Recording {
public:
    static constexpr int kFormatVersion = 1;
    // Bounds a file must keep to be read: a 10-minute record at 8 kHz fits.
    static constexpr uint64_t kMaxSamples = uint64_t{1} << 23;
    static constexpr uint64_t kMaxEvents = 1u << 20;
    static constexpr uint64_t kMaxHeaderBytes = uint64_t{64} << 20;

    Recording() = default;
    Recording(std::vector<ChannelDef> channels, double cycleTimeS);

    const std::vector<ChannelDef>& channels() const { return channels_; }
    int channelCount() const { return static_cast<int>(channels_.size()); }
    double cycleTimeS() const { return cycleTimeS_; }
    size_t size() const { return cycles_.size(); }

    // --- samples -------------------------------------------------------------------------------
    void reserve(size_t samples);
    // One sample: its cycle, time and one value per channel (values.size() >= channelCount()).
    void append(uint64_t cycle, int64_t timeNs, const float* values);
    uint64_t cycle(size_t i) const { return cycles_[i]; }
    int64_t timeNs(size_t i) const { return times_[i]; }
    float value(int channel, size_t i) const { return values_[channel][i]; }
    const std::vector<float>& column(int channel) const { return values_[channel]; }
    const std::vector<uint64_t>& cycles() const { return cycles_; }
    const std::vector<int64_t>& times() const { return times_; }
    // Whether cycles are missing between sample i − 1 and sample i.
    bool gapBefore(size_t i) const { return i > 0 && cycles_[i] != cycles_[i - 1] + 1; }
    size_t gapCount() const;

    // The trigger's sample; nothing for a roll record or before the trigger.
    std::optional<size_t> triggerIndex() const { return triggerIndex_; }
    void setTriggerIndex(std::optional<size_t> index) { triggerIndex_ = index; }

    // --- what goes with the samples ------------------------------------------------------------
    std::vector<RecordedEvent> events;
    std::map<int, DriveIdentity> identities;  // by drive
    std::string notes;

    // Bytes held by the samples (capacities, not sizes), for the memory budget.
    size_t sampleBytes() const;

    // --- files ---------------------------------------------------------------------------------
    // Writes a temporary file beside `path` and renames it over `path`. False with a reason.
    bool save(const std::string& path, std::string* error = nullptr) const;
    // Refuses anything malformed, with a reason, reading nothing outside what the file holds.
    static std::optional<Recording> load(const std::string& path, std::string* error = nullptr);
    static std::optional<Recording> fromBytes(std::string_view bytes, std::string* error);
    std::string toBytes() const;
    // The samples as CSV (cycle, time in s, gap before the row, then each channel as
    // "label [unit]"), and the events in a second file, eventsCsvPath(path).
    bool writeCsv(const std::string& path, std::string* error = nullptr) const;
    static std::string eventsCsvPath(const std::string& path);

    bool operator==(const Recording& other) const;

private:
    std::vector<ChannelDef> channels_;
    double cycleTimeS_ = 0.002;
    std::vector<uint64_t> cycles_;
    std::vector<int64_t> times_;
    std::vector<std::vector<float>> values_;  // by channel
    std::optional<size_t> triggerIndex_;
};

}  // namespace scope
