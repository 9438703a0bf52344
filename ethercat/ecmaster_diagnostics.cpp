// Diagnostics of the running bus: every slave's state, error counters and clock difference read
// in one frame beside the cycle, the cycle's and the link's figures, and supervision's events.
#include <QMutexLocker>
#include <QScopeGuard>

#include "ecmaster.h"
#include "ethercat.h"
#include "periodictimer.h"
#include "protocol.h"
#include "wire.h"

namespace {

constexpr int kDiagnosticsTimeoutUs = 20000;
constexpr uint16_t kRegErrorCounters = 0x0300;
constexpr uint16_t kRegLostLinkCounters = 0x0310;
constexpr size_t kRxErrorCounterBytes = 14;  // 0x0300-0x030D: written to clear them
constexpr size_t kLostLinkCounterBytes = 4;
constexpr int64_t kCyclePeriodNs = 2'000'000;

}  // namespace

QString supervisionKindName(SupervisionKind kind) {
    switch (kind) {
        case SupervisionKind::Lost:
            return QStringLiteral("lost");
        case SupervisionKind::Recovered:
            return QStringLiteral("recovered");
        case SupervisionKind::Acknowledged:
            return QStringLiteral("acknowledged");
        case SupervisionKind::Reconfigured:
            return QStringLiteral("reconfigured");
        case SupervisionKind::Emergency:
            return QStringLiteral("emergency");
    }
    return QString();
}

void ecmaster::recordEvent(int slave, SupervisionKind kind, const QString& detail) {
    {
        QMutexLocker lock(&eventsMutex);
        events.push_back({QDateTime::currentDateTime(), slave, supervisionKindName(kind), kind});
        while (events.size() > kMaxEvents) {
            events.pop_front();
        }
    }
    emit supervisionEvent(slave, kind, detail);
}

void ecmaster::countCycle(int receivedWkc) {
    cycleCount.fetch_add(1, std::memory_order_relaxed);
    if (receivedWkc < expectedWKC.load(std::memory_order_relaxed)) {
        wkcMissCount.fetch_add(1, std::memory_order_relaxed);
    }
    const int64_t deadline = timerCurrentDeadlineNs();
    if (deadline != 0 && lastCycleDeadlineNs != 0 && deadline > lastCycleDeadlineNs) {
        const int64_t periods = (deadline - lastCycleDeadlineNs) / kCyclePeriodNs;
        if (periods > 1) {
            skippedCycleCount.fetch_add(static_cast<uint64_t>(periods - 1),
                                        std::memory_order_relaxed);
        }
    }
    lastCycleDeadlineNs = deadline;
}

void ecmaster::resetDiagnostics() {
    cycleCount = 0;
    skippedCycleCount = 0;
    wkcMissCount = 0;
    for (auto& misses : supervisionMisses) {
        misses = 0;
    }
    lastCycleDeadlineNs = 0;
    QMutexLocker lock(&eventsMutex);
    events.clear();
}

QString emergencyText(int drive, const ec_errort& e) {
    const uint8_t manufacturer[5] = {e.b1, static_cast<uint8_t>(e.w1),
                                     static_cast<uint8_t>(e.w1 >> 8), static_cast<uint8_t>(e.w2),
                                     static_cast<uint8_t>(e.w2 >> 8)};
    QStringList bytes;
    for (const uint8_t b : manufacturer) {
        bytes << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
    }
    return QStringLiteral(
               "EMCY drive %1 (slave %2): error code 0x%3, error register 0x%4, "
               "manufacturer bytes %5")
        .arg(drive)
        .arg(e.Slave)
        .arg(e.ErrorCode, 4, 16, QLatin1Char('0'))
        .arg(e.ErrorReg, 2, 16, QLatin1Char('0'))
        .arg(bytes.join(QLatin1Char(' ')));
}

void ecmaster::pollEmergencies() {
    // Never waits behind a transfer: the next poll comes soon enough.
    if (!mailboxMutex.tryLock()) {
        return;
    }
    const auto unlock = qScopeGuard([this] { mailboxMutex.unlock(); });
    if (!connected || firmwareSlave != 0) {
        return;
    }
    // Every drive's send-mailbox status in one frame; only full ones are read.
    const int count = static_cast<int>(validDrives.size());
    std::array<uint8_t, kMaxSlaves> status{};
    std::vector<ec_datagramt> batch;
    for (int i = 0; i < count && i < kMaxSlaves; ++i) {
        ec_datagramt d;
        d.cmd = ec::Command::FPRD;
        d.address = ec_slave[validDrives[i]].configadr | uint32_t{ec::kRegSm1Status} << 16;
        d.length = 1;
        d.in = std::span<uint8_t>(&status[static_cast<size_t>(i)], 1);
        batch.push_back(d);
    }
    ec_transceive_batch(batch, kDiagnosticsTimeoutUs);
    for (size_t i = 0; i < batch.size(); ++i) {
        if (batch[i].wkc > 0 && (status[i] & ec::kSmStatusMailboxFull)) {
            ec_mbxpoll(static_cast<uint16_t>(validDrives[static_cast<int>(i)]));
        }
    }
    ec_errort e{};
    while (ec_poperror(&e)) {
        if (e.Etype == EC_ERR_TYPE_EMERGENCY) {
            const QString text = emergencyText(static_cast<int>(validDrives.indexOf(e.Slave)), e);
            log(text);
            recordEvent(e.Slave, SupervisionKind::Emergency, text);
        }
    }
}

QList<SlaveDiagnostics> ecmaster::readDiagnostics() {
    // Under the port lock: teardown closes the port under it once `connected` is clear.
    QMutexLocker lock(&portMutex);
    if (!connected) {
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
        const uint16_t adr = ec_slave[n].configadr;
        auto read = [&](uint16_t reg, std::span<uint8_t> in) {
            ec_datagramt d;
            d.cmd = ec::Command::FPRD;
            d.address = adr | uint32_t{reg} << 16;
            d.length = static_cast<uint16_t>(in.size());
            d.in = in;
            batch.push_back(d);
        };
        read(ec::kRegAlStatus, r.al);
        read(kRegErrorCounters, r.counters);
        read(ec::kRegDcSystemDiff, r.dc);
    }
    ec_transceive_batch(batch, kDiagnosticsTimeoutUs);

    QList<SlaveDiagnostics> out;
    for (int n = 1; n <= count; ++n) {
        const Registers& r = regs[static_cast<size_t>(n - 1)];
        const size_t first = static_cast<size_t>(3 * (n - 1));
        SlaveDiagnostics d;
        d.position = n;
        d.address = ec_slave[n].configadr;
        d.name = QString::fromUtf8(ec_slave[n].name);
        d.supervisionMisses = supervisionMisses[static_cast<size_t>(n)].load();
        d.answered = batch[first].wkc > 0;
        if (d.answered) {
            d.alState = ec::getU16(r.al.data());
            d.alStatusCode = ec::getU16(r.al.data() + 4);
            if (batch[first + 1].wkc > 0) {
                d.errorCounters = r.counters;
            }
            if (ec_slave[n].hasdc && batch[first + 2].wkc > 0) {
                d.dcDifferenceNs = ec::systemTimeDifferenceNs(ec::getU32(r.dc.data()));
            }
        }
        out.append(d);
    }
    return out;
}

bool ecmaster::resetErrorCounters() {
    QMutexLocker lock(&portMutex);
    if (!connected) {
        return false;
    }
    // A controller clears its RX error counters when any of them is written, its lost-link
    // counters likewise.
    const uint8_t zeros[kRxErrorCounterBytes] = {};
    const int rx = ec_BWR(0, kRegErrorCounters, kRxErrorCounterBytes, zeros, kDiagnosticsTimeoutUs);
    const int lost =
        ec_BWR(0, kRegLostLinkCounters, kLostLinkCounterBytes, zeros, kDiagnosticsTimeoutUs);
    log(QStringLiteral("Error counters reset on %1 slaves.").arg(std::max(rx, 0)));
    return rx > 0 && lost > 0;
}

BusFigures ecmaster::busFigures() const {
    BusFigures f;
    f.cycles = cycleCount.load(std::memory_order_relaxed);
    f.skippedCycles = skippedCycleCount.load(std::memory_order_relaxed);
    f.wkcMisses = wkcMissCount.load(std::memory_order_relaxed);
    {
        QMutexLocker lock(&portMutex);
        if (connected) {
            const ec::PortStats port = ec_port_stats();
            f.framesResent = port.resent;
            f.framesLost = port.lost;
        }
    }
    return f;
}

QList<SupervisionEvent> ecmaster::supervisionEvents() const {
    QMutexLocker lock(&eventsMutex);
    return QList<SupervisionEvent>(events.begin(), events.end());
}

bool ecmaster::startCapture(const QString& path) {
    QMutexLocker lock(&portMutex);
    if (!connected) {
        return false;
    }
    captureRunning = ec_capture_start(path.toUtf8().constData()) > 0;
    if (captureRunning) {
        log(QStringLiteral("Capturing bus traffic to %1").arg(path));
    }
    return captureRunning;
}

bool ecmaster::stopCapture(uint64_t* frames, uint64_t* dropped) {
    QMutexLocker lock(&portMutex);
    return endCapture(frames, dropped);
}

bool ecmaster::endCapture(uint64_t* frames, uint64_t* dropped) {
    ec::CaptureStats stats;
    const bool complete = ec_capture_stop(&stats) > 0;
    const bool ran = captureRunning.exchange(false);
    if (frames != nullptr) {
        *frames = stats.written;
    }
    if (dropped != nullptr) {
        *dropped = stats.dropped;
    }
    if (ran) {
        log(QStringLiteral("Capture ended: %1 frames, %2 dropped%3")
                .arg(stats.written)
                .arg(stats.dropped)
                .arg(complete ? QString() : QStringLiteral(", file incomplete")));
    }
    return ran && complete;
}

bool ecmaster::capturing() const {
    return captureRunning && connected;
}
