#include "event.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace scope {

namespace {

constexpr std::array<const char*, kEventKindCount> kEventNames = {
    "supervision_lost",
    "supervision_recovered",
    "supervision_acknowledged",
    "emergency",
    "state_change",
    "stop",
    "enable",
    "disable",
    "working_counter_short",
    "manual",
};

}  // namespace

const char* eventKindName(EventKind kind) {
    const auto i = static_cast<size_t>(kind);
    return i < kEventNames.size() ? kEventNames[i] : "unknown";
}

std::optional<EventKind> eventKindFromName(std::string_view name) {
    for (size_t i = 0; i < kEventNames.size(); ++i) {
        if (name == kEventNames[i]) {
            return static_cast<EventKind>(i);
        }
    }
    return std::nullopt;
}

std::string_view EventRecord::textView() const {
    return {text, strnlen(text, kTextBytes)};
}

void EventRecord::setText(std::string_view source) {
    size_t n = std::min(source.size(), size_t{kTextBytes - 1});
    if (n < source.size()) {
        // Back off over continuation bytes so the cut falls before a sequence's lead byte.
        while (n > 0 && (static_cast<uint8_t>(source[n]) & 0xC0) == 0x80) {
            --n;
        }
    }
    // An empty view may have no data at all: copy() takes none from it, memcpy may not be given it.
    source.copy(text, n);
    std::memset(text + n, 0, kTextBytes - n);
}

}  // namespace scope
