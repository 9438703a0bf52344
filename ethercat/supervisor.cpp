// Supervision of the running bus and the record of what it saw.
#include "supervisor.h"

#include <QMutexLocker>
#include <QScopeGuard>
#include <QStringList>

#include <cstdio>
#include <vector>

#include "ethercat.h"
#include "protocol.h"

namespace {

constexpr uint32_t kLoopPauseUs = 10000;
constexpr int kRecoverTimeoutUs = 500;
constexpr int kLostCheckTimeoutUs = 2000;
constexpr int kEmergencyPollTimeoutUs = 20000;
constexpr int kSupervisionStackBytes = 128000;
// Send mailboxes are looked at for emergencies every this many loops (100 ms).
constexpr int kEmergencyPollLoops = 10;
// A slave is lost only when it stays silent across checks for this long. One check can time out
// while the host stalls for tens of milliseconds with the slave sound; a slave that truly heard
// nothing for longer than its SyncManager watchdog (100 ms as the ESCs ship) has left OP by its
// own hand anyway, so waiting that long costs nothing a quicker verdict would have saved.
constexpr int64_t kLostAfterSilentMs = 100;

QString alStateText(uint16_t state) {
    return QStringLiteral("0x%1").arg(state, 2, 16, QLatin1Char('0'));
}

}  // namespace

QString supervisionKindName(SupervisionKind kind) {
    switch (kind) {
        case SupervisionKind::Lost:
            return QCoreApplication::translate("Supervisor", "lost");
        case SupervisionKind::Recovered:
            return QCoreApplication::translate("Supervisor", "recovered");
        case SupervisionKind::Acknowledged:
            return QCoreApplication::translate("Supervisor", "acknowledged");
        case SupervisionKind::Reconfigured:
            return QCoreApplication::translate("Supervisor", "reconfigured");
        case SupervisionKind::Emergency:
            return QCoreApplication::translate("Supervisor", "emergency");
    }
    return QString();
}

QString emergencyText(int drive, const ec_errort& e) {
    const uint8_t manufacturer[5] = {e.b1, static_cast<uint8_t>(e.w1),
                                     static_cast<uint8_t>(e.w1 >> 8), static_cast<uint8_t>(e.w2),
                                     static_cast<uint8_t>(e.w2 >> 8)};
    QStringList bytes;
    for (const uint8_t b : manufacturer) {
        bytes << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
    }
    return QCoreApplication::translate(
               "Supervisor",
               "EMCY drive %1 (slave %2): error code 0x%3, error register 0x%4, "
               "manufacturer bytes %5")
        .arg(drive)
        .arg(e.Slave)
        .arg(e.ErrorCode, 4, 16, QLatin1Char('0'))
        .arg(e.ErrorReg, 2, 16, QLatin1Char('0'))
        .arg(bytes.join(QLatin1Char(' ')));
}

void Supervisor::start() {
    started_ =
        osal_thread_create(&thread_, kSupervisionStackBytes, &Supervisor::ecatcheck, this) == 1;
}

void Supervisor::join() {
    if (started_) {
        osal_thread_join(&thread_);
        started_ = false;
    }
}

void Supervisor::ecatcheck(void* self) {
    auto* sup = static_cast<Supervisor*>(self);
    MasterState& s = sup->s_;
    s.inOperation = true;
    int loops = 0;
    while (s.running) {
        if (++loops % kEmergencyPollLoops == 0) {
            sup->pollEmergencies();
        }
        if (s.inOperation && s.connected) {
            // The flags again under the lock: a teardown may have begun since.
            QMutexLocker lock(&s.checkMutex);
            if (s.inOperation && s.connected &&
                (s.wkc.load(std::memory_order_relaxed) <
                     s.expectedWKC.load(std::memory_order_relaxed) ||
                 ec_group[s.currentgroup].docheckstate)) {
                sup->runCheck();
            }
        }
        osal_usleep(kLoopPauseUs);
    }
    s.log(tr("End ethercat check."));
}

void Supervisor::runCheck() {
    ec_groupt& group = ec_group[s_.currentgroup];
    group.docheckstate = false;
    ec_readstate();
    for (const int drive : s_.validDrives) {
        const auto slave = static_cast<uint16_t>(drive);
        ec_slavet& s = ec_slave[slave];
        if (s.state != EC_STATE_NONE && isTableSlave(drive)) {  // it answered: no silence
            silentSinceMs_[static_cast<size_t>(drive)].store(-1, std::memory_order_relaxed);
            lastState_[static_cast<size_t>(drive)].store(s.state, std::memory_order_relaxed);
        }
        if (s.group == s_.currentgroup && s.state != EC_STATE_OPERATIONAL) {
            group.docheckstate = true;
            if (drive >= 0 && drive < kSlaveTableSize) {
                misses_[static_cast<size_t>(drive)].fetch_add(1, std::memory_order_relaxed);
            }
            if (s.state == (EC_STATE_SAFE_OP | EC_STATE_ERROR)) {
                s_.log(tr("ERROR : slave %1 is in SAFE_OP + ERROR, attempting ack.").arg(drive));
                troubleLogged_ = true;
                s.state = EC_STATE_SAFE_OP | EC_STATE_ACK;
                ec_writestate(slave);
                recordEvent(drive, SupervisionKind::Acknowledged);
            } else if (s.state == EC_STATE_SAFE_OP) {
                s_.log(tr("WARNING : slave %1 is in SAFE_OP, change to OPERATIONAL.").arg(drive));
                troubleLogged_ = true;
                s.state = EC_STATE_OPERATIONAL;
                ec_writestate(slave);
            } else if (s.state > EC_STATE_NONE) {
                // Reconfiguration steers the slave up to SAFE-OP (a later check asks for
                // OPERATIONAL) and returns the state reached: any other is a failure, tried again
                // at the next check.
                const int reached = ec_reconfig_slave(slave, kRecoverTimeoutUs);
                s_.stations[static_cast<size_t>(drive)].store(s.configadr);
                if (reached == EC_STATE_SAFE_OP) {
                    s.islost = false;
                    s_.log(tr("MESSAGE : slave %1 reconfigured.").arg(drive));
                    troubleLogged_ = true;
                    recordEvent(drive, SupervisionKind::Reconfigured);
                }
            } else if (!s.islost) {
                ec_statecheck(slave, EC_STATE_OPERATIONAL, kLostCheckTimeoutUs);
                if (s.state == EC_STATE_NONE) {
                    declareLostIfSilent(drive, s);
                }
            }
        }
        if (s.islost) {
            if (s.state != EC_STATE_NONE) {
                s.islost = false;
                s_.log(tr("MESSAGE : slave %1 found.").arg(drive));
                troubleLogged_ = true;
                recordEvent(drive, SupervisionKind::Recovered);
            } else {
                // Recovery gives the slave its address again by way of a temporary one; the
                // cycle and the diagnostics go on addressing it by the copy until it is back.
                const int recovered = ec_recover_slave(slave, kRecoverTimeoutUs);
                s_.stations[static_cast<size_t>(drive)].store(s.configadr);
                if (recovered) {
                    s.islost = false;
                    s_.log(tr("MESSAGE : slave %1 recovered.").arg(drive));
                    troubleLogged_ = true;
                    recordEvent(drive, SupervisionKind::Recovered);
                }
            }
        }
        // The scope's copy follows, once the check is done with the slave (a loss sets it first).
        if (isTableSlave(drive)) {
            s_.lostDrives[static_cast<size_t>(drive)].store(s.islost, std::memory_order_relaxed);
        }
    }
    // A working-counter shortfall that found every slave in OP is only counted (the cycle's
    // misses, shown by the diagnostics); the all-clear closes a trouble that was logged.
    if (!group.docheckstate && troubleLogged_.exchange(false)) {
        s_.log(tr("OK : all slaves resumed OPERATIONAL."));
    }
}

void Supervisor::declareLostIfSilent(int drive, ec_slavet& s) {
    if (!isTableSlave(drive)) {
        return;
    }
    const auto at = static_cast<size_t>(drive);
    const int64_t now = s_.elapsedTimer.elapsed();
    int64_t since = silentSinceMs_[at].load(std::memory_order_relaxed);
    if (since < 0) {
        since = now;
        silentSinceMs_[at].store(now, std::memory_order_relaxed);
    }
    if (now - since < kLostAfterSilentMs) {
        return;  // the next check looks again: docheckstate stays set
    }
    const uint16_t last = lastState_[at].load(std::memory_order_relaxed);
    const QString reason =
        tr("no answer for %1 ms; last answered in AL state %2, AL status code 0x%3 (%4)")
            .arg(now - since)
            .arg(alStateText(last))
            .arg(s.ALstatuscode, 4, 16, QLatin1Char('0'))
            .arg(QString::fromUtf8(ec_ALstatuscode2string(s.ALstatuscode)));
    s.islost = true;
    s_.lostDrives[at].store(true, std::memory_order_relaxed);
    silentSinceMs_[at].store(-1, std::memory_order_relaxed);
    s_.enabled = false;
    s_.inOperation = false;
    s_.log(tr("ERROR : slave %1 lost.").arg(drive));
    s_.log(tr("ERROR : slave %1 lost: %2.").arg(drive).arg(reason));
    troubleLogged_ = true;
    // Recorded before the report: the window reads why from the events when the report arrives.
    recordEvent(drive, SupervisionKind::Lost, reason);
    s_.slaveLost();
}

void Supervisor::pollEmergencies() {
    // Never waits behind a transfer: the next poll comes soon enough.
    if (!s_.mailboxMutex.tryLock()) {
        return;
    }
    const auto unlock = qScopeGuard([this] { s_.mailboxMutex.unlock(); });
    if (!s_.connected || s_.firmwareSlave != 0) {
        return;
    }
    // Every drive's send-mailbox status in one frame; only full ones are read.
    const int count = static_cast<int>(s_.validDrives.size());
    std::array<uint8_t, kMaxSlaves> status{};
    std::vector<ec_datagramt> batch;
    for (int i = 0; i < count && i < kMaxSlaves; ++i) {
        ec_datagramt d;
        d.cmd = ec::Command::FPRD;
        d.address = s_.station(s_.validDrives.at(i)) | uint32_t{ec::kRegSm1Status} << 16;
        d.length = 1;
        d.in = std::span<uint8_t>(&status[static_cast<size_t>(i)], 1);
        batch.push_back(d);
    }
    ec_transceive_batch(batch, kEmergencyPollTimeoutUs);
    for (size_t i = 0; i < batch.size(); ++i) {
        if (batch[i].wkc > 0 && (status[i] & ec::kSmStatusMailboxFull)) {
            ec_mbxpoll(static_cast<uint16_t>(s_.validDrives.at(static_cast<int>(i))));
        }
    }
    ec_errort e{};
    while (ec_poperror(&e)) {
        if (e.Etype == EC_ERR_TYPE_EMERGENCY) {
            const QString text =
                emergencyText(static_cast<int>(s_.validDrives.indexOf(e.Slave)), e);
            s_.log(text);
            recordEvent(e.Slave, SupervisionKind::Emergency, text);
            char scopeText[scope::EventRecord::kTextBytes];
            std::snprintf(scopeText, sizeof scopeText,
                          "EMCY error code 0x%04x, error register 0x%02x", unsigned{e.ErrorCode},
                          unsigned{e.ErrorReg});
            s_.scopeEvent(scope::EventKind::Emergency, e.Slave, scopeText);
        }
    }
}

void Supervisor::recordEvent(int slave, SupervisionKind kind, const QString& detail) {
    // The scope's record, in English: it lands in recordings and their CSV files.
    switch (kind) {
        case SupervisionKind::Lost:
            s_.scopeEvent(scope::EventKind::SupervisionLost, slave, "lost: no answer");
            break;
        case SupervisionKind::Recovered:
            s_.scopeEvent(scope::EventKind::SupervisionRecovered, slave, "back in the cycle");
            break;
        case SupervisionKind::Acknowledged:
            s_.scopeEvent(scope::EventKind::SupervisionAcknowledged, slave,
                          "SAFE-OP + ERROR acknowledged");
            break;
        case SupervisionKind::Reconfigured:
        case SupervisionKind::Emergency:  // posted with its codes by pollEmergencies
            break;
    }
    {
        QMutexLocker lock(&eventsMutex_);
        events_.push_back({QDateTime::currentDateTime(), slave, kind, detail});
        while (events_.size() > kMaxEvents) {
            events_.pop_front();
        }
    }
    s_.supervisionEvent(slave, kind, detail);
}

QList<SupervisionEvent> Supervisor::events() const {
    QMutexLocker lock(&eventsMutex_);
    return QList<SupervisionEvent>(events_.begin(), events_.end());
}

uint64_t Supervisor::misses(int slave) const {
    return isTableSlave(slave) ? misses_[static_cast<size_t>(slave)].load() : 0;
}

void Supervisor::clearRecord() {
    for (auto& m : misses_) {
        m = 0;
    }
    for (auto& t : silentSinceMs_) {
        t = -1;
    }
    for (auto& l : lastState_) {
        l = EC_STATE_OPERATIONAL;
    }
    for (auto& lost : s_.lostDrives) {
        lost.store(false, std::memory_order_relaxed);
    }
    troubleLogged_ = false;
    QMutexLocker lock(&eventsMutex_);
    events_.clear();
}
