#pragma once

// Bus and drive events on the scope's time axis: what happened, to which drive, at which cycle.

#include <cstdint>
#include <optional>
#include <string_view>

namespace scope {

enum class EventKind : uint8_t {
    SupervisionLost,
    SupervisionRecovered,
    SupervisionAcknowledged,
    Emergency,
    StateChange,  // a drive's CiA 402 state changed
    Stop,
    Enable,
    Disable,
    WorkingCounterShort,
    Manual,
};
inline constexpr int kEventKindCount = 10;

// Bit of a kind in an event mask (the trigger's set of kinds).
constexpr uint32_t eventBit(EventKind kind) {
    return 1u << static_cast<unsigned>(kind);
}
inline constexpr uint32_t kSupervisionEvents = eventBit(EventKind::SupervisionLost) |
                                               eventBit(EventKind::SupervisionRecovered) |
                                               eventBit(EventKind::SupervisionAcknowledged);

// The kind's name in files ("working_counter_short").
const char* eventKindName(EventKind kind);
std::optional<EventKind> eventKindFromName(std::string_view name);

// A drive number for events of the whole bus.
inline constexpr int kAllDrives = -1;

// The fixed-size record the event ring carries; the text is NUL-terminated, cut at a character
// boundary when it is longer.
struct EventRecord {
    static constexpr int kTextBytes = 64;

    uint64_t cycle = 0;
    int64_t timeNs = 0;
    int32_t drive = kAllDrives;
    EventKind kind = EventKind::Manual;
    char text[kTextBytes] = {};

    std::string_view textView() const;
    // Copies `text` in, at most kTextBytes − 1 bytes and never half a UTF-8 sequence.
    void setText(std::string_view text);
};

}  // namespace scope
