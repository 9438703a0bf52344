// The cycle's clock alignment: every drive's DC system time pulled onto the master's clock by
// register datagrams that ride in the process-data frames.
//
// Each cycle reads every drive's system time (0x0910) against one master time, the moment the
// frames leave, and writes the offsets (0x0920) computed from the previous cycle's readings.
// The reads come first in the frames and the writes after them, so a cycle's readings were all
// taken under the offsets confirmed before that cycle: an answered reading gives exactly one
// write, offset + master time - reading, and no correction is counted twice. A drive whose
// reading got no answer is left alone; a write without an answer leaves the offset on record as
// it was.
//
// The cycle thread only (and bring-up before the timer starts). No Qt, no allocation per cycle.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "model/processdata.h"
#include "types.h"

// `offset` moved by what a drive's DC system time `reading` lags the master's clock `masterNs`.
// Wraps around as the drive's 64-bit clock registers do, so a garbage reading cannot overflow.
int64_t alignedClockOffset(int64_t offset, int64_t masterNs, int64_t reading);

class ClockAlignment {
public:
    struct Drive {
        uint16_t station = 0;  // configured address
        int64_t offset = 0;    // the system time offset the drive holds, as read at bring-up
    };

    // Bring-up: the drives in the order of the valid-drive list (at most kMaxSlaves are taken).
    void start(std::span<const Drive> drives);
    void clear() { count_ = 0; }

    // This cycle's datagrams: the reads of every drive, then the writes from the last readings.
    // Valid until the next call; the exchange fills in the readings and working counters.
    std::span<ec_datagramt> datagrams();
    // After the exchange, with the master time the frames left at: answered writes become the
    // offsets on record, answered readings the writes of the next cycle.
    void settle(int64_t masterNs);

    int64_t offset(size_t drive) const { return drives_[drive].offset; }

private:
    struct State {
        uint16_t station = 0;
        int64_t offset = 0;   // on record: the last offset the drive confirmed
        int64_t reading = 0;  // this cycle's system time
        int64_t next = 0;     // to be written in the next cycle
        int64_t sent = 0;     // written in this cycle
        bool due = false;     // `next` holds a write
    };

    std::array<State, kMaxSlaves> drives_{};
    size_t count_ = 0;
    // Reads first (one per drive), then the writes; `writer_[k]` is the drive of write k.
    std::array<ec_datagramt, 2 * kMaxSlaves> datagrams_{};
    std::array<size_t, kMaxSlaves> writer_{};
    size_t writes_ = 0;
};
