// Bring-up and teardown of the bus, its adapters and the capture of its frames.
#include "bussession.h"

#include <QDebug>
#include <QThread>

#include "ethercat.h"
#include "model/scaling.h"
#include "periodictimer.h"

namespace {

constexpr int kConnectAttempts = 10;
constexpr int kStepPauseMs = 50;
constexpr int kAttemptPauseMs = 100;
constexpr int kDcSettleMs = 20;
constexpr int kStateTimeoutUs = 2000000;
constexpr int kFirstExchangeTimeoutUs = 2000;
constexpr uint32_t kCyclePeriodMs = 2;
constexpr uint32_t kSync0CycleNs = 2000000;

// Bytes the slaves' process-data SyncManagers ask for, as the mapping sized them.
uint32_t processImageBytesNeeded() {
    uint32_t bytes = 0;
    for (int slave = 1; slave <= ec_slavecount; ++slave) {
        const ec_slavet& s = ec_slave[slave];
        for (int sm = 0; sm < EC_MAXSM; ++sm) {
            if (s.SMtype[sm] == EC_SMTYPE_OUTPUTS || s.SMtype[sm] == EC_SMTYPE_INPUTS) {
                bytes += s.SM[sm].SMlength;
            }
        }
    }
    return bytes;
}

void pauseMs(int ms) {
    QThread::msleep(static_cast<unsigned long>(ms));
}

}  // namespace

QStringList BusSession::listAdapters() {
    adapters_.clear();
    QStringList descriptions;
    ec_adaptert* list = ec_find_adapters();
    for (ec_adaptert* a = list; a != nullptr; a = a->next) {
        const QString desc = QString::fromLocal8Bit(a->desc);
        descriptions.append(desc);
        adapters_.emplace_back(desc, QString::fromLocal8Bit(a->name));
    }
    ec_free_adapters(list);
    return descriptions;
}

// --- bring-up and teardown ----------------------------------------------------------------------

bool BusSession::connectBus(const char* ifname) {
    if (s_.connected) {
        qDebug() << "当前已处于连接状态";
        return false;
    }
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        const int result = initBus(ifname);
        if (result == kBusOk) {
            return true;
        }
        if (result == kBusSlaveStuckInOp) {
            s_.log(tr("电机状态异常，请重新上电！"));
            return false;
        }
        pauseMs(kAttemptPauseMs);
    }
    return false;
}

int BusSession::fallBack(int code) {
    requestState(EC_STATE_INIT);
    ec_close();
    linkOpen_ = false;
    pauseMs(kStepPauseMs);
    return code;
}

int BusSession::initBus(const char* ifname) {
    if (ec_init(ifname) == 0) {
        s_.log(tr("[Init] Initialization on %1 failed.").arg(QString::fromUtf8(ifname)));
        return kBusUnusable;
    }
    linkOpen_ = true;
    cycle_.resetFigures();
    supervisor_.clearRecord();
    const int found = ec_config_init(FALSE);
    if (found < 1) {
        s_.log(tr("[Init] No slaves found!"));
        return fallBack(kBusUnusable);
    }
    s_.log(tr("[Init] %1 slaves found!").arg(found));
    // The tables serve slave numbers 1..kMaxSlaves only; a longer bus would overrun them.
    if (found > kMaxSlaves) {
        s_.log(tr("[Init] Bus refused: more than %1 slaves.").arg(kMaxSlaves));
        return fallBack(kBusUnusable);
    }
    pauseMs(kStepPauseMs);
    // The image must fit the buffer; the sized mapping maps nothing when it would not. (A bus
    // without process data maps nothing either, and is refused further on for lack of drives.)
    if (ecx_config_map_sized(&ecx_context, s_.IOmap.data(), s_.IOmap.size()) <= 0) {
        const uint32_t needed = processImageBytesNeeded();
        if (needed > kProcessImageBytes) {
            s_.log(tr("[Init] Bus refused: process image of %1 bytes exceeds the %2-byte "
                      "buffer.")
                       .arg(needed)
                       .arg(kProcessImageBytes));
            return fallBack(kBusUnusable);
        }
    }
    pauseMs(kStepPauseMs);

    int r = requestState(EC_STATE_PRE_OP);
    if (r != kBusOk) {
        s_.log(tr("EC_STATE_PRE_OP error"));
        return fallBack(r);
    }
    pauseMs(kStepPauseMs);
    if (!ec_configdc()) {
        s_.log(tr("[Init] DC configured failed."));
    }
    writeSlaveDetails();
    pauseMs(kStepPauseMs);

    chooseValidDrives();
    if (s_.validDrives.isEmpty()) {
        s_.log(tr("[Init] 没有有效从站."));
        return fallBack(kBusUnusable);
    }
    s_.log(tr("[Init] %1 slaves valid!").arg(s_.validDrives.size()));
    s_.selectedSlave.store(s_.validDrives.first(), std::memory_order_relaxed);

    ec_send_processdata();
    ec_receive_processdata(kFirstExchangeTimeoutUs);

    r = requestState(EC_STATE_SAFE_OP);
    if (r != kBusOk) {
        s_.log(tr("EC_STATE_SAFE_OP error"));
        return fallBack(r);
    }
    r = requestState(EC_STATE_OPERATIONAL);
    if (r != kBusOk) {
        s_.log(tr("EC_STATE_OPERATIONAL error"));
        return fallBack(r);
    }

    // The cycle idles until `connected` is set below.
    timerId_ = timeSetEvent(kCyclePeriodMs, 0, &CycleExchange::timerCallback,
                            reinterpret_cast<uintptr_t>(&cycle_), TIME_PERIODIC);
    if (timerId_ == 0) {
        s_.log(tr("[Init] Cycle timer could not be started."));
        return fallBack(kBusUnusable);
    }
    for (const int slave : s_.validDrives) {
        ec_dcsync0(static_cast<uint16_t>(slave), TRUE, kSync0CycleNs, 0);
    }
    pauseMs(kDcSettleMs);
    cycle_.readClockOffsets();
    writeCycleDetails();
    s_.connected = true;
    s_.busSessions.fetch_add(1);
    s_.inOperation = true;

    if (checkMode(kModeNone) && checkMode(kModeSpeedRamp)) {
        return kBusOk;
    }
    s_.log(tr("Communication error"));
    disconnectBus();
    return kBusModeCheckFailed;
}

QString syncManagerDetail(int n, const ec_smt& sm) {
    return QString::asprintf(" SM%d A:%4.4x L:%4d F:%8.8x", n, sm.StartAddr, sm.SMlength,
                             sm.SMflags);
}

// Each slave's configuration as mapped, for the log file: what service asks for when a bus
// misbehaves (identity, addresses, process image places, SyncManagers, FMMUs, clock).
void BusSession::writeSlaveDetails() const {
    const auto at = [this](const uint8_t* p) {
        return p != nullptr ? static_cast<int>(p - s_.IOmap.data()) : -1;
    };
    for (int n = 1; n <= ec_slavecount; ++n) {  // a longer bus than the tables take is refused
        const ec_slavet& s = ec_slave[n];
        s_.detail(QString::asprintf("Slave %d: %s  man 0x%8.8x id 0x%8.8x rev 0x%8.8x", n, s.name,
                                    s.eep_man, s.eep_id, s.eep_rev));
        s_.detail(
            QString::asprintf(" Addr 0x%4.4x alias %d  O %d bits at %d.%d  I %d bits at %d.%d"
                              "  DC %d delay %d ns",
                              s.configadr, s.aliasadr, s.Obits, at(s.outputs), s.Ostartbit, s.Ibits,
                              at(s.inputs), s.Istartbit, s.hasdc, s.pdelay));
        s_.detail(QString::asprintf(
            " Ports 0x%2.2x active 0x%x (%d)  parent %d  DC next %d previous %d", s.ptype,
            s.activeports, s.topology, s.parent, s.DCnext, s.DCprevious));
        if (s.mbx_l > 0) {
            s_.detail(
                QString::asprintf(" Mbx out 0x%4.4x L:%d in 0x%4.4x L:%d proto 0x%4.4x  CoE 0x%2.2x"
                                  " FoE 0x%2.2x  SII %d-byte reads",
                                  s.mbx_wo, s.mbx_l, s.mbx_ro, s.mbx_rl, s.mbx_proto, s.CoEdetails,
                                  s.FoEdetails, s.eep_8byte ? 8 : 4));
        }
        for (int i = 0; i < EC_MAXSM; ++i) {
            if (s.SM[i].StartAddr != 0) {
                s_.detail(syncManagerDetail(i, s.SM[i]) +
                          QStringLiteral(" Type:%1").arg(s.SMtype[i]));
            }
        }
        for (int i = 0; i < s.FMMUunused && i < EC_MAXFMMU; ++i) {
            const ec_fmmut& f = s.FMMU[i];
            s_.detail(
                QString::asprintf(" FMMU%d Ls:%8.8x Ll:%4d Lsb:%d Leb:%d Ps:%4.4x Psb:%d "
                                  "Ty:%2.2x Act:%2.2x",
                                  i, f.LogStart, f.LogLength, f.LogStartbit, f.LogEndbit,
                                  f.PhysStart, f.PhysStartBit, f.FMMUtype, f.FMMUactive));
        }
    }
}

// What the cycle runs with, for the log file: the image and its segments, the working counter
// expected back, and each drive's SYNC0.
void BusSession::writeCycleDetails() const {
    const ec_groupt& g = ec_group[0];
    s_.detail(
        QString::asprintf("Image %u output / %u input bytes in %d frame segment(s), inputs "
                          "from segment %d offset %d; working counter %d expected, %d by "
                          "the group's reckoning",
                          g.Obytes, g.Ibytes, g.nsegments, g.Isegment, g.Ioffset,
                          s_.expectedWKC.load(), g.expectedWKC));
    for (const int slave : s_.validDrives) {
        const ec_slavet& s = ec_slave[slave];
        s_.detail(QString::asprintf("Slave %d: SYNC0 every %d ns, shift %d ns, %s", slave,
                                    s.DCcycle, s.DCshift, s.DCactive ? "active" : "off"));
    }
}

void BusSession::chooseValidDrives() {
    s_.validDrives.clear();
    s_.images.fill(MasterState::DriveImage{});  // nothing left over from a bus seen before
    // The exchange's working counter also counts the slaves left alone: 2 for outputs written, 1
    // for inputs read. Without them a drive dropping out could go unnoticed.
    int othersWkc = 0;
    const int count = std::min(ec_slavecount, kMaxSlaves);
    for (int slave = 1; slave <= count; ++slave) {
        s_.stations[static_cast<size_t>(slave)].store(ec_slave[slave].configadr);
    }
    for (int slave = 1; slave <= count; ++slave) {
        const ec_slavet& s = ec_slave[slave];
        if (s.state == (EC_STATE_PRE_OP | EC_STATE_ERROR)) {
            continue;
        }
        // Only a full drive image can take the command records and the input decoding; a smaller
        // image would have them run into its neighbours or past the end of IOmap.
        if (s.outputs == nullptr || s.inputs == nullptr ||
            s.Obytes < static_cast<uint32_t>(kDriveOutputBytes) ||
            s.Ibytes < static_cast<uint32_t>(kDriveInputBytes)) {
            s_.log(tr("[Init] Slave %1 is no drive (%2 output / %3 input bytes), left "
                      "alone.")
                       .arg(slave)
                       .arg(s.Obytes)
                       .arg(s.Ibytes));
            othersWkc += (s.outputs != nullptr ? 2 : 0) + (s.inputs != nullptr ? 1 : 0);
            continue;
        }
        s_.images[static_cast<size_t>(slave)] = MasterState::DriveImage{s.outputs, s.inputs};
        cycle_.resetCommandRecord(slave);
        s_.validDrives.append(slave);
    }
    s_.expectedWKC.store(3 * static_cast<int>(s_.validDrives.size()) + othersWkc,
                         std::memory_order_relaxed);
}

bool BusSession::checkMode(uint16_t mode) {
    {
        QMutexLocker lock(&s_.pdMutex);
        for (const int slave : s_.validDrives) {
            storeLe16(s_.images[static_cast<size_t>(slave)].outputs + kOutMode, mode);
        }
    }
    pauseMs(kStepPauseMs);
    QMutexLocker lock(&s_.inputMutex);
    for (const int slave : s_.validDrives) {
        const uint8_t* in = s_.images[static_cast<size_t>(slave)].inputs;
        if (in == nullptr || decodeInputImage(in).modeDisplay != static_cast<int16_t>(mode)) {
            return false;
        }
    }
    return true;
}

int BusSession::requestState(uint16_t state) {
    ec_slave[0].state = state;
    ec_writestate(0);
    ec_statecheck(0, state, kStateTimeoutUs);
    if (ec_slave[0].state == state) {
        return kBusOk;
    }
    ec_readstate();
    if (ec_slavecount < 1) {
        return kBusStateNotReached;
    }
    for (int i = 1; i <= ec_slavecount; ++i) {
        const ec_slavet& s = ec_slave[i];
        if (s.state == state) {
            continue;
        }
        s_.log(tr("[EtherCAT Error] Slave %1 State=0x%2 StatusCode=0x%3 : %4\n")
                   .arg(i)
                   .arg(s.state, 2, 16, QLatin1Char('0'))
                   .arg(s.ALstatuscode, 4, 16, QLatin1Char('0'))
                   .arg(QString::fromUtf8(ec_ALstatuscode2string(s.ALstatuscode))));
        if (s.state == EC_STATE_OPERATIONAL) {
            return kBusSlaveStuckInOp;
        }
    }
    return kBusStateNotReached;
}

void BusSession::stopCycle() {
    if (s_.connected.exchange(false)) {
        s_.busSessions.fetch_add(1);
    }
    // Cleared in this order; an enable walk ending now relies on it (markEnabled).
    s_.connected = false;
    s_.enabled = false;
    s_.inOperation = false;
}

void BusSession::disconnectBus() {
    stopCycle();
    pauseMs(kStepPauseMs);
    if (timerId_ != 0) {
        // Returns only when no cycle runs and none will start again.
        timeKillEvent(timerId_);
        timerId_ = 0;
    }
    {
        // A check in progress ends first, then a firmware download (its frames would meet a
        // closed port), then a transfer in flight (within its exchange); transfers that come
        // later find `connected` clear and leave the port alone.
        const QMutexLocker check(&s_.checkMutex);
        const QMutexLocker firmware(&s_.firmwareMutex);
        const QMutexLocker mailbox(&s_.mailboxMutex);
        const QMutexLocker port(&s_.portMutex);
        // A second teardown (the destructor after a disconnect) finds the link closed: there is
        // no bus left to send to INIT.
        if (linkOpen_) {
            requestState(EC_STATE_INIT);
            if (captureRunning_) {
                endCapture(nullptr, nullptr);
            }
            ec_close();
            linkOpen_ = false;
        }
    }
    pauseMs(kStepPauseMs);
}

// --- capture ------------------------------------------------------------------------------------

bool BusSession::startCapture(const QString& path) {
    QMutexLocker lock(&s_.portMutex);
    if (!s_.connected) {
        return false;
    }
    captureRunning_ = ec_capture_start(path.toUtf8().constData()) > 0;
    if (captureRunning_) {
        s_.log(tr("Capturing bus traffic to %1").arg(path));
    }
    return captureRunning_;
}

bool BusSession::stopCapture(uint64_t* frames, uint64_t* dropped) {
    QMutexLocker lock(&s_.portMutex);
    return endCapture(frames, dropped);
}

bool BusSession::endCapture(uint64_t* frames, uint64_t* dropped) {
    ec::CaptureStats stats;
    const bool complete = ec_capture_stop(&stats) > 0;
    const bool ran = captureRunning_.exchange(false);
    if (frames != nullptr) {
        *frames = stats.written;
    }
    if (dropped != nullptr) {
        *dropped = stats.dropped;
    }
    if (ran) {
        s_.log(tr("Capture ended: %1 frames, %2 dropped%3")
                   .arg(stats.written)
                   .arg(stats.dropped)
                   .arg(complete ? QString() : tr(", file incomplete")));
    }
    return ran && complete;
}

bool BusSession::capturing() const {
    return captureRunning_ && s_.connected;
}
