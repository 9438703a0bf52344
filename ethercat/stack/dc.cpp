// Distributed clocks: latching receive times, offsets of every local clock to the master's system
// time, propagation delays along the line, and the SYNC0 unit.
#include <cstring>
#include <vector>

#include "dc.h"

#include "base.h"
#include "ethercat.h"
#include "wire.h"

namespace {

constexpr int64_t kSyncStartMarginNs = 100000000;  // first SYNC0 lies this far ahead
constexpr uint8_t kDcActivateCyclicSync0 = 0x03;

// Time the frame spent downstream of this slave.
int32_t downstreamTime(const ec_slavet& s) {
    return static_cast<int32_t>(static_cast<uint32_t>(ec::dcReturnTime(s)) -
                                static_cast<uint32_t>(s.DCrtA));
}

}  // namespace

int32_t ec::dcReturnTime(const ec_slavet& s) {
    const int32_t times[4] = {s.DCrtA, s.DCrtB, s.DCrtC, s.DCrtD};
    int32_t t = s.DCrtA;  // a slave with no further open port returns the frame at once
    for (int p : {3, 1, 2}) {
        if (s.activeports & (1 << p)) {
            t = times[p];
        }
    }
    return t;
}

bool ecx_configdc(ecx_contextt* ctx) {
    if (ctx == nullptr || !ctx->port) {
        return false;
    }
    const int count = *ctx->slavecount;
    ec_slavet& all = ctx->slavelist[0];
    all.hasdc = false;
    ec_groupt& g = ctx->grouplist[0];
    g.hasdc = false;
    g.DCnext = 0;

    // Every DC slave latches its port receive times on this write.
    const uint8_t zeros[4] = {};
    ecx_BWR(ctx, 0, ec::kRegDcRecvTimePort0, 4, zeros, ec::kConfigTimeoutUs);
    const int64_t masterTime = ec::systemTimeNs();

    // All latched times in one batch: receive times of ports 0-3 and the local receive time.
    struct Latched {
        uint8_t ports[16];
        uint8_t local[8];
    };
    std::vector<Latched> latched(static_cast<size_t>(count) + 1, Latched{});
    std::vector<ec_datagramt> reads;
    for (int n = 1; n <= count; ++n) {
        const ec_slavet& s = ctx->slavelist[n];
        if (s.hasdc) {
            Latched& l = latched[static_cast<size_t>(n)];
            reads.push_back(ec_datagramt{ec::Command::FPRD,
                                         ec::physicalAddress(s.configadr, ec::kRegDcRecvTimePort0),
                                         sizeof l.ports,
                                         {},
                                         l.ports});
            reads.push_back(ec_datagramt{ec::Command::FPRD,
                                         ec::physicalAddress(s.configadr, ec::kRegDcRecvTimeUnit),
                                         sizeof l.local,
                                         {},
                                         l.local});
        }
    }
    ec::transceiveBatch(ctx, reads, ec::kConfigTimeoutUs);

    // Then offsets and delays, again in one batch.
    struct Written {
        uint8_t offset[8];
        uint8_t delay[4];
    };
    std::vector<Written> written(static_cast<size_t>(count) + 1, Written{});
    std::vector<ec_datagramt> writes;
    uint16_t previous = 0;
    for (int n = 1; n <= count; ++n) {
        ec_slavet& s = ctx->slavelist[n];
        s.DCnext = 0;
        s.DCprevious = 0;
        s.pdelay = 0;
        if (!s.hasdc) {
            continue;
        }
        const Latched& l = latched[static_cast<size_t>(n)];
        Written& w = written[static_cast<size_t>(n)];
        s.DCrtA = static_cast<int32_t>(ec::getU32(l.ports));
        s.DCrtB = static_cast<int32_t>(ec::getU32(l.ports + 4));
        s.DCrtC = static_cast<int32_t>(ec::getU32(l.ports + 8));
        s.DCrtD = static_cast<int32_t>(ec::getU32(l.ports + 12));
        const int64_t localReceive = static_cast<int64_t>(ec::getU64(l.local));
        ec::putU64(w.offset, static_cast<uint64_t>(masterTime - localReceive));
        writes.push_back(ec_datagramt{ec::Command::FPWR,
                                      ec::physicalAddress(s.configadr, ec::kRegDcSystemOffset),
                                      sizeof w.offset,
                                      w.offset,
                                      {}});

        if (previous == 0) {
            // First DC slave: the reference clock.
            all.hasdc = true;
            g.hasdc = true;
            g.DCnext = static_cast<uint16_t>(n);
            all.DCnext = static_cast<uint16_t>(n);
        } else {
            ec_slavet& p = ctx->slavelist[previous];
            p.DCnext = static_cast<uint16_t>(n);
            s.DCprevious = previous;
            // Half of what the frame spent downstream of the previous clock but not downstream
            // of this one is the hop between them.
            s.pdelay = p.pdelay + (downstreamTime(p) - downstreamTime(s)) / 2;
            ec::putU32(w.delay, static_cast<uint32_t>(s.pdelay));
            writes.push_back(ec_datagramt{ec::Command::FPWR,
                                          ec::physicalAddress(s.configadr, ec::kRegDcSystemDelay),
                                          sizeof w.delay,
                                          w.delay,
                                          {}});
        }
        previous = static_cast<uint16_t>(n);
    }
    ec::transceiveBatch(ctx, writes, ec::kConfigTimeoutUs);
    return all.hasdc;
}

void ecx_dcsync0(ecx_contextt* ctx, uint16_t slave, bool act, uint32_t CyclTime,
                 int32_t CyclShift) {
    if (ctx == nullptr || slave < 1 || slave > *ctx->slavecount) {
        return;
    }
    ec_slavet& s = ctx->slavelist[slave];
    ec::fpwr8(ctx, s.configadr, ec::kRegDcActivation, 0, ec::kConfigTimeoutUs);
    ec::fpwr8(ctx, s.configadr, ec::kRegDcCyclicControl, 0,
              ec::kConfigTimeoutUs);  // ECAT owns the unit
    uint8_t b[8] = {};
    ecx_FPRD(ctx, s.configadr, ec::kRegDcSystemTime, sizeof b, b, ec::kConfigTimeoutUs);
    const int64_t now = static_cast<int64_t>(ec::getU64(b));
    // Start on a whole cycle far enough ahead that the write arrives before it.
    int64_t start = now + kSyncStartMarginNs;
    if (CyclTime > 0) {
        start = (start / CyclTime) * CyclTime + CyclTime;
    }
    start += CyclShift;
    ec::fpwr64(ctx, s.configadr, ec::kRegDcStartTime, static_cast<uint64_t>(start),
               ec::kConfigTimeoutUs);
    ec::fpwr32(ctx, s.configadr, ec::kRegDcSync0Cycle, CyclTime, ec::kConfigTimeoutUs);
    ec::fpwr8(ctx, s.configadr, ec::kRegDcActivation, act ? kDcActivateCyclicSync0 : 0,
              ec::kConfigTimeoutUs);
    s.DCactive = act ? 1 : 0;
    s.DCcycle = static_cast<int32_t>(CyclTime);
    s.DCshift = CyclShift;
}
