#include "clockalignment.h"

#include <algorithm>

#include "protocol.h"

namespace {

std::span<uint8_t> bytesOf(int64_t& value) {
    return {reinterpret_cast<uint8_t*>(&value), sizeof value};
}

}  // namespace

int64_t alignedClockOffset(int64_t offset, int64_t masterNs, int64_t reading) {
    return static_cast<int64_t>(static_cast<uint64_t>(offset) + static_cast<uint64_t>(masterNs) -
                                static_cast<uint64_t>(reading));
}

void ClockAlignment::start(std::span<const Drive> drives) {
    count_ = std::min(drives.size(), drives_.size());
    for (size_t i = 0; i < count_; ++i) {
        drives_[i] = State{drives[i].station, drives[i].offset};
    }
    writes_ = 0;
}

std::span<ec_datagramt> ClockAlignment::datagrams() {
    for (size_t i = 0; i < count_; ++i) {
        State& d = drives_[i];
        datagrams_[i] = ec_datagramt{ec::Command::FPRD,
                                     ec::physicalAddress(d.station, ec::kRegDcSystemTime),
                                     sizeof(int64_t),
                                     {},
                                     bytesOf(d.reading)};
    }
    writes_ = 0;
    for (size_t i = 0; i < count_; ++i) {
        State& d = drives_[i];
        if (!d.due) {
            continue;
        }
        d.sent = d.next;
        d.due = false;
        writer_[writes_] = i;
        datagrams_[count_ + writes_++] =
            ec_datagramt{ec::Command::FPWR,
                         ec::physicalAddress(d.station, ec::kRegDcSystemOffset),
                         sizeof(int64_t),
                         bytesOf(d.sent),
                         {}};
    }
    return {datagrams_.data(), count_ + writes_};
}

void ClockAlignment::settle(int64_t masterNs) {
    // The readings were taken before this cycle's writes reached the drives: each is compared
    // with the offset on record before them.
    for (size_t i = 0; i < count_; ++i) {
        State& d = drives_[i];
        if (datagrams_[i].wkc == 1) {
            d.next = alignedClockOffset(d.offset, masterNs, d.reading);
            d.due = true;
        }
    }
    for (size_t k = 0; k < writes_; ++k) {
        if (datagrams_[count_ + k].wkc == 1) {
            State& d = drives_[writer_[k]];
            d.offset = d.sent;
        }
    }
    writes_ = 0;
}
