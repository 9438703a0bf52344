// Supervision of the running bus: every 10 ms, when the last cycle's working counter fell short or
// a check is pending, read all slave states and steer each valid drive back to OPERATIONAL, or
// declare it lost.
#include "ecmaster.h"
#include "ethercat.h"

namespace {

constexpr uint32_t kLoopPauseUs = 10000;
constexpr int kRecoverTimeoutUs = 500;
constexpr int kLostCheckTimeoutUs = 2000;
// Send mailboxes are looked at for emergencies every this many loops (100 ms).
constexpr int kEmergencyPollLoops = 10;

}  // namespace

void ecmaster::ecatcheck(void*) {
    ecmaster* m = instance.load(std::memory_order_acquire);
    if (m == nullptr) {
        return;
    }
    m->inOperation = true;
    int loops = 0;
    while (m->running) {
        if (++loops % kEmergencyPollLoops == 0) {
            m->pollEmergencies();
        }
        if (m->inOperation && m->connected) {
            // The flags again under the lock: a teardown may have begun since.
            QMutexLocker lock(&m->checkMutex);
            if (m->inOperation && m->connected &&
                (m->wkc.load(std::memory_order_relaxed) <
                     m->expectedWKC.load(std::memory_order_relaxed) ||
                 ec_group[m->currentgroup].docheckstate)) {
                m->runCheck();
            }
        }
        osal_usleep(kLoopPauseUs);
    }
    m->log(QStringLiteral("End ethercat check."));
}

void ecmaster::runCheck() {
    ec_groupt& group = ec_group[currentgroup];
    group.docheckstate = false;
    ec_readstate();
    for (const int drive : validDrives) {
        const auto slave = static_cast<uint16_t>(drive);
        ec_slavet& s = ec_slave[slave];
        if (s.group == currentgroup && s.state != EC_STATE_OPERATIONAL) {
            group.docheckstate = true;
            if (drive >= 0 && drive < kSlaveTableSize) {
                supervisionMisses[static_cast<size_t>(drive)].fetch_add(1,
                                                                        std::memory_order_relaxed);
            }
            if (s.state == (EC_STATE_SAFE_OP | EC_STATE_ERROR)) {
                log(QStringLiteral("ERROR : slave %1 is in SAFE_OP + ERROR, attempting ack.")
                        .arg(drive));
                s.state = EC_STATE_SAFE_OP | EC_STATE_ACK;
                ec_writestate(slave);
                recordEvent(drive, SupervisionKind::Acknowledged);
            } else if (s.state == EC_STATE_SAFE_OP) {
                log(QStringLiteral("WARNING : slave %1 is in SAFE_OP, change to OPERATIONAL.")
                        .arg(drive));
                s.state = EC_STATE_OPERATIONAL;
                ec_writestate(slave);
            } else if (s.state > EC_STATE_NONE) {
                // Reconfiguration steers the slave up to SAFE-OP (a later check asks for
                // OPERATIONAL) and returns the state reached: any other is a failure, tried again
                // at the next check.
                if (ec_reconfig_slave(slave, kRecoverTimeoutUs) == EC_STATE_SAFE_OP) {
                    s.islost = false;
                    log(QStringLiteral("MESSAGE : slave %1 reconfigured.").arg(drive));
                    recordEvent(drive, SupervisionKind::Reconfigured);
                }
            } else if (!s.islost) {
                ec_statecheck(slave, EC_STATE_OPERATIONAL, kLostCheckTimeoutUs);
                if (s.state == EC_STATE_NONE) {
                    s.islost = true;
                    enabled.exchange(false);
                    inOperation.exchange(false);
                    emit slaveLost();
                    log(QStringLiteral("ERROR : slave %1 lost.").arg(drive));
                    recordEvent(drive, SupervisionKind::Lost);
                }
            }
        }
        if (s.islost) {
            if (s.state != EC_STATE_NONE) {
                s.islost = false;
                log(QStringLiteral("MESSAGE : slave %1 found.").arg(drive));
                recordEvent(drive, SupervisionKind::Recovered);
            } else if (ec_recover_slave(slave, kRecoverTimeoutUs)) {
                s.islost = false;
                log(QStringLiteral("MESSAGE : slave %1 recovered.").arg(drive));
                recordEvent(drive, SupervisionKind::Recovered);
            }
        }
    }
    if (!group.docheckstate) {
        log(QStringLiteral("OK : all slaves resumed OPERATIONAL."));
    }
}
