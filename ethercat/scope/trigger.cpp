#include "trigger.h"

#include <algorithm>
#include <cmath>

#include "model/cia402.h"

namespace scope {

namespace {

bool faulted(float statusWord) {
    const Cia402State state = cia402StateFromStatusWord(static_cast<uint16_t>(statusWord));
    return state == Cia402State::Fault || state == Cia402State::FaultReactionActive;
}

bool bitOf(float word, int bit) {
    return (static_cast<uint32_t>(word) >> bit) & 1u;
}

RecordedEvent recorded(const EventRecord& e) {
    return {e.kind, e.drive, e.cycle, e.timeNs, std::string(e.textView())};
}

}  // namespace

// --- Trigger -----------------------------------------------------------------------------------

void Trigger::setChannelSignals(std::span<const Signal> channelSignals) {
    signals_.assign(channelSignals.begin(), channelSignals.end());
    reset();
}

bool Trigger::statusChannel(int channel) const {
    return channel >= 0 && channel < static_cast<int>(signals_.size()) &&
           signals_[channel] == Signal::StatusWord;
}

bool Trigger::check(const Frame& frame, std::span<const RecordedEvent> due) {
    const bool met = fires(frame, due);
    for (int c = 0; c < kMaxChannels; ++c) {
        if (!std::isnan(frame.values[c])) {
            last_[c] = frame.values[c];
        }
    }
    return met;
}

bool Trigger::fires(const Frame& frame, std::span<const RecordedEvent> due) const {
    const int ch = s_.channel;
    const bool channelValid = ch >= 0 && ch < static_cast<int>(signals_.size());
    float before = 0;
    float now = 0;
    if (channelValid) {
        before = last_[ch];
        now = frame.values[ch];
    }
    const bool edge = channelValid && !std::isnan(before) && !std::isnan(now);

    switch (s_.kind) {
        case TriggerKind::Rising:
            return edge && before < s_.level && now >= s_.level;
        case TriggerKind::Falling:
            return edge && before > s_.level && now <= s_.level;
        case TriggerKind::StatusBitRising:
        case TriggerKind::StatusBitFalling: {
            if (!edge || !statusChannel(ch) || s_.bit < 0 || s_.bit > 15) {
                return false;
            }
            const bool rising = s_.kind == TriggerKind::StatusBitRising;
            return bitOf(before, s_.bit) != rising && bitOf(now, s_.bit) == rising;
        }
        case TriggerKind::FaultEntry: {
            for (int c = 0; c < static_cast<int>(signals_.size()); ++c) {
                if ((ch == -1 || c == ch) && statusChannel(c) && !std::isnan(frame.values[c]) &&
                    !std::isnan(last_[c]) && faulted(frame.values[c]) && !faulted(last_[c])) {
                    return true;
                }
            }
            return false;
        }
        case TriggerKind::Event:
            if ((s_.events & eventBit(EventKind::WorkingCounterShort)) &&
                (frame.flags & kFrameWorkingCounterShort)) {
                return true;
            }
            return std::any_of(due.begin(), due.end(), [this](const RecordedEvent& e) {
                return (s_.events & eventBit(e.kind)) &&
                       (s_.drive == kAllDrives || e.drive == s_.drive);
            });
        case TriggerKind::Manual:
            return false;
    }
    return false;
}

// --- Acquisition -------------------------------------------------------------------------------

Acquisition::Acquisition(AcquisitionSettings settings, uint32_t generation,
                         std::vector<ChannelDef> channels)
    : s_(settings), generation_(generation), channels_(std::move(channels)) {
    if (!(s_.cycleTimeS > 0)) {
        s_.cycleTimeS = 0.002;
    }
    s_.recordSeconds = std::clamp(s_.recordSeconds, kMinRecordSeconds, kMaxRecordSeconds);
    if (!(s_.preTriggerFraction >= 0)) {
        s_.preTriggerFraction = 0;
    }
    s_.preTriggerFraction = std::min(s_.preTriggerFraction, 0.9);
    length_ =
        std::max<size_t>(2, static_cast<size_t>(std::llround(s_.recordSeconds / s_.cycleTimeS)));
    pre_ = static_cast<size_t>(static_cast<double>(length_) * s_.preTriggerFraction);
    history_.resize(s_.mode == TriggerMode::Continuous ? length_ : pre_);

    std::vector<Signal> signals;
    for (const ChannelDef& c : channels_) {
        signals.push_back(c.signal);
    }
    trigger_ = Trigger(s_.trigger);
    trigger_.setChannelSignals(signals);
    current_ = Recording(channels_, s_.cycleTimeS);
}

void Acquisition::feed(std::span<const Frame> frames, std::span<const EventRecord> events) {
    for (const EventRecord& e : events) {
        // Posted from several threads, so not quite in order: keep the list sorted by cycle.
        const auto at = std::upper_bound(
            pending_.begin(), pending_.end(), e.cycle,
            [](uint64_t cycle, const RecordedEvent& p) { return cycle < p.cycle; });
        pending_.insert(at, recorded(e));
    }
    for (const Frame& frame : frames) {
        if (frame.generation != generation_) {
            ++otherFrames_;
            if (frame.generation > generation_) {
                newerGeneration_ = frame.generation;
            }
            continue;
        }
        feedFrame(frame);
    }
}

void Acquisition::feedFrame(const Frame& frame) {
    // Events at or before this frame's cycle belong to it; one that arrives after its own
    // frame has gone by belongs to the next frame fed.
    due_.clear();
    size_t n = 0;
    while (n < pending_.size() && pending_[n].cycle <= frame.cycle) {
        due_.push_back(pending_[n++]);
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(n));
    events_.insert(events_.end(), due_.begin(), due_.end());

    const bool met = trigger_.check(frame, due_);
    switch (state_) {
        case State::Pre:
            if (s_.mode != TriggerMode::Continuous && (met || manual_)) {
                manual_ = false;
                startRecording(frame);
            }
            break;
        case State::Post:
            current_.append(frame.cycle, frame.timeNs, frame.values.data());
            if (current_.size() == length_ - pre_ + *current_.triggerIndex()) {
                finishRecording();
            }
            break;
        case State::Stopped:
            break;
    }
    pushHistory(frame);
    if (state_ != State::Post) {
        pruneEvents(frame.cycle);
    }
}

void Acquisition::startRecording(const Frame& triggerFrame) {
    current_ = Recording(channels_, s_.cycleTimeS);
    current_.reserve(length_);
    for (size_t i = 0; i < historySize_; ++i) {
        const Frame& f = history_[(historyStart_ + i) % history_.size()];
        current_.append(f.cycle, f.timeNs, f.values.data());
    }
    current_.setTriggerIndex(historySize_);
    current_.append(triggerFrame.cycle, triggerFrame.timeNs, triggerFrame.values.data());
    state_ = State::Post;
    if (length_ - pre_ == 1) {
        finishRecording();
    }
}

void Acquisition::finishRecording() {
    collectEvents(current_);
    current_.identities = identities;
    current_.notes = notes;
    finished_.push_back(std::move(current_));
    current_ = Recording(channels_, s_.cycleTimeS);
    state_ = s_.mode == TriggerMode::Single ? State::Stopped : State::Pre;
}

void Acquisition::pushHistory(const Frame& frame) {
    if (history_.empty()) {
        return;
    }
    if (historySize_ < history_.size()) {
        history_[(historyStart_ + historySize_++) % history_.size()] = frame;
    } else {
        history_[historyStart_] = frame;
        historyStart_ = (historyStart_ + 1) % history_.size();
    }
}

void Acquisition::collectEvents(Recording& r) const {
    r.events.clear();
    if (r.size() == 0) {
        return;
    }
    const uint64_t first = r.cycle(0);
    const uint64_t last = r.cycle(r.size() - 1);
    for (const RecordedEvent& e : events_) {
        if (e.cycle >= first && e.cycle <= last) {
            r.events.push_back(e);
        }
    }
}

void Acquisition::pruneEvents(uint64_t lastCycle) {
    if (events_.empty()) {
        return;
    }
    // Keep what the history still covers; with no history, only what the last frame carried.
    const uint64_t oldest = historySize_ > 0 ? history_[historyStart_].cycle : lastCycle;
    std::erase_if(events_, [oldest](const RecordedEvent& e) { return e.cycle < oldest; });
}

void Acquisition::arm() {
    if (state_ == State::Stopped) {
        state_ = State::Pre;
        manual_ = false;
    }
}

std::optional<Recording> Acquisition::takeRecording() {
    if (finished_.empty()) {
        return std::nullopt;
    }
    Recording r = std::move(finished_.front());
    finished_.erase(finished_.begin());
    return r;
}

Recording Acquisition::snapshot() const {
    Recording r(channels_, s_.cycleTimeS);
    r.reserve(historySize_);
    for (size_t i = 0; i < historySize_; ++i) {
        const Frame& f = history_[(historyStart_ + i) % history_.size()];
        r.append(f.cycle, f.timeNs, f.values.data());
    }
    collectEvents(r);
    r.identities = identities;
    r.notes = notes;
    return r;
}

}  // namespace scope
