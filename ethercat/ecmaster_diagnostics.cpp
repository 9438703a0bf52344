// Diagnostics of the running bus: every slave's state, error counters and clock difference read
// in one frame beside the cycle, and the cycle's and the link's figures.
#include <QMutexLocker>
#include <QScopeGuard>

#include "ecmaster.h"
#include "ethercat.h"
#include "protocol.h"
#include "wire.h"

namespace {

constexpr int kDiagnosticsTimeoutUs = 20000;
constexpr size_t kRxErrorCounterBytes = 14;  // 0x0300-0x030D: written to clear them
constexpr size_t kLostLinkCounterBytes = 4;

}  // namespace

QList<SlaveDiagnostics> ecmaster::readDiagnostics() {
    // Under the port lock: teardown closes the port under it once `connected` is clear.
    QMutexLocker lock(&state_.portMutex);
    if (!state_.connected) {
        return {};
    }
    const int count = std::min(ec_slavecount, kMaxSlaves);
    struct Registers {
        std::array<uint8_t, 6> al{};
        std::array<uint8_t, 20> counters{};
        std::array<uint8_t, 4> dc{};
    };
    std::vector<Registers> regs(static_cast<size_t>(count));
    std::vector<ec_datagramt> batch;
    batch.reserve(static_cast<size_t>(3 * count));
    for (int n = 1; n <= count; ++n) {
        Registers& r = regs[static_cast<size_t>(n - 1)];
        const uint16_t adr = state_.station(n);
        auto read = [&](uint16_t reg, std::span<uint8_t> in) {
            ec_datagramt d;
            d.cmd = ec::Command::FPRD;
            d.address = ec::physicalAddress(adr, reg);
            d.length = static_cast<uint16_t>(in.size());
            d.in = in;
            batch.push_back(d);
        };
        read(ec::kRegAlStatus, r.al);
        read(ec::kRegRxErrorCounter, r.counters);
        read(ec::kRegDcSystemDiff, r.dc);
    }
    ec_transceive_batch(batch, kDiagnosticsTimeoutUs);

    QList<SlaveDiagnostics> out;
    for (int n = 1; n <= count; ++n) {
        const Registers& r = regs[static_cast<size_t>(n - 1)];
        const size_t first = static_cast<size_t>(3 * (n - 1));
        SlaveDiagnostics d;
        d.position = n;
        d.address = state_.station(n);
        d.name = QString::fromUtf8(ec_slave[n].name);
        d.supervisionMisses = supervisor_.misses(n);
        d.answered = batch[first].wkc > 0;
        if (d.answered) {
            d.alState = ec::getU16(r.al.data());
            d.alStatusCode = ec::getU16(r.al.data() + 4);
            if (batch[first + 1].wkc > 0) {
                d.errorCounters = r.counters;
            }
            d.hasDc = ec_slave[n].hasdc;
            d.referenceClock = d.hasDc && n == ec_group[0].DCnext;
            if (d.hasDc && !d.referenceClock && batch[first + 2].wkc > 0) {
                d.dcDifferenceNs = ec::systemTimeDifferenceNs(ec::getU32(r.dc.data()));
            }
        }
        out.append(d);
    }
    return out;
}

bool ecmaster::resetErrorCounters() {
    QMutexLocker lock(&state_.portMutex);
    if (!state_.connected) {
        return false;
    }
    // A controller clears its RX error counters when any of them is written, its lost-link
    // counters likewise.
    const uint8_t zeros[kRxErrorCounterBytes] = {};
    const int rx =
        ec_BWR(0, ec::kRegRxErrorCounter, kRxErrorCounterBytes, zeros, kDiagnosticsTimeoutUs);
    const int lost =
        ec_BWR(0, ec::kRegLostLinkCounter, kLostLinkCounterBytes, zeros, kDiagnosticsTimeoutUs);
    state_.log(tr("Error counters reset on %1 slaves.").arg(std::max(rx, 0)));
    return rx > 0 && lost > 0;
}

BusFigures ecmaster::busFigures() const {
    BusFigures f;
    f.cycles = cycle_.cycles();
    f.skippedCycles = cycle_.skippedCycles();
    f.wkcMisses = cycle_.wkcMisses();
    f.cycleFrames = ec_processdata_frames();
    {
        QMutexLocker lock(&state_.portMutex);
        if (state_.connected) {
            const ec::PortStats port = ec_port_stats();
            f.framesResent = port.resent;
            f.framesLost = port.lost;
        }
    }
    return f;
}
