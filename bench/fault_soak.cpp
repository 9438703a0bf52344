// Fault soak: the console's master against an in-process simulated chain for a given time, with
// the faults a commissioning bench sees, answered the way the console answers them.
//
//   fault_soak [--seconds S] [--drives N] [--loss F] [--pull-period S] [--seed N]
//              [--safeop-period S] [--verbose]
//
//   - seeded frame loss on the chain (outbound and return losses alternate every pull period);
//   - every pull period the cable in front of one of the last three drives is pulled (taking that
//     drive and the ones behind it off the line) and put back 3-5 s later; a lost drive is
//     answered as the console does: disconnect at once, connect again on a pool thread once the
//     cable is back;
//   - every 20 s (--safeop-period; between the pulls) one drive drops to SAFE-OP+ERROR; supervision
//   must bring it
//     back to OPERATIONAL without declaring it lost;
//   - every 100 ms a parameter read over SDO, rotating over drives and parameters, on a worker
//     thread as the parameter page's Read ALL runs;
//   - once per pull period a firmware download to another drive, followed as by the console's
//     upgrade flow: the bus is taken down afterwards and connected again.
//
// The soak runs in a child process (the same program with --child) so that a crash or a
// sanitizer report ends the child, not the figures: the parent counts it, starts a new child for
// the time left and exits non-zero on a crash, a sanitizer report, a hang or a drive declared lost
// that was not pulled.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFutureWatcher>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <QtConcurrent>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <shared_mutex>
#include <string>
#include <thread>
#include <vector>

#include "ecmaster.h"
#include "ethercat.h"
#include "model/paramtable.h"
#include "sim/chain.h"
#include "sim/virtual_link.h"

namespace {

struct Options {
    int seconds = 600;
    int drives = 20;
    double loss = 0.01;
    int pullPeriod = 60;
    double safeOpPeriod = 20.0;
    uint64_t seed = 1;
    bool verbose = false;  // every master log line to stderr
    bool child = false;
};

// --- schedule ---------------------------------------------------------------------------------

constexpr double kSafeOpFirstS = 5.0;
constexpr double kSafeOpGiveUpS = 10.0;  // not back in OP by then: supervision failed
constexpr double kSafeOpSlowS = 2.0;     // back, but slow enough to show the master's log
constexpr double kPlugMinS = 3.0;
constexpr double kPlugMaxS = 5.0;
constexpr double kQuietEndS = 6.0;    // no new fault this close to the end
constexpr double kPostponeS = 1.0;    // a fault due while another is under way waits this long
constexpr int kPulledCandidates = 3;  // pulls rotate over the cables in front of the last drives
constexpr int kSdoPeriodMs = 100;
constexpr int kProgressPeriodS = 10;
constexpr int kTickMs = 50;
constexpr int kReconnectDelayMs = 500;  // the operator connects again after a firmware download
constexpr int kConnectRetryMs = 1000;
constexpr uint16_t kAlSyncManagerWatchdog = 0x001B;
constexpr int kFirmwareBytes = 48 * 1024;
constexpr uint32_t kFirmwarePassword = 0;  // the simulated bootloader's default
constexpr int kLogTail = 40;               // master log lines kept for a false-loss report
constexpr int kFalseLossExit = 1;
constexpr int kNoBusExit = 2;

// Parameters read in turn (ids of the parameter table, all readable).
constexpr int kReadIds[] = {
    kParamIdSoftwareVersion, kParamIdTorqueConstant, 2, 3, kParamIdCalibration,
    kParamIdProductBatch,    kParamIdProductType};

// --- per-cycle figures, counted on the timer thread --------------------------------------------

std::atomic<uint64_t> cyclesRun{0};             // atomic
std::atomic<uint64_t> cyclesNoReply{0};         // atomic
std::atomic<uint64_t> cyclesShortWkc{0};        // atomic
std::atomic<uint64_t> cyclesMissedOut{0};       // atomic; missed while a drive was deliberately out
std::atomic<bool> driveDeliberatelyOut{false};  // atomic; set by the soak's GUI thread

// The soak's master while it lives (the cycle probe takes no argument to reach it by).
std::atomic<const ecmaster*> soakMaster{nullptr};  // atomic

// Runs at the end of every cycle the master exchanged, on the timer thread.
void countCycle(int64_t, int64_t, int64_t, int64_t) {
    const ecmaster* m = soakMaster.load(std::memory_order_acquire);
    if (m == nullptr) {
        return;
    }
    cyclesRun.fetch_add(1, std::memory_order_relaxed);
    const int wkc = m->workingCounter();
    if (wkc >= m->expectedWorkingCounter()) {
        return;
    }
    (wkc <= 0 ? cyclesNoReply : cyclesShortWkc).fetch_add(1, std::memory_order_relaxed);
    if (driveDeliberatelyOut.load(std::memory_order_relaxed)) {
        cyclesMissedOut.fetch_add(1, std::memory_order_relaxed);
    }
}

uint32_t positionBit(int position) {
    return 1u << (position - 1);
}

QString hex(uint32_t v) {
    return QStringLiteral("0x%1").arg(v, 0, 16);
}

// --- the soak ------------------------------------------------------------------------------------

class Soak : public QObject {
    Q_OBJECT

public:
    explicit Soak(const Options& opt) : opt_(opt), rng_(opt.seed) {
        chain_ = sim::registerSimulatedAdapter(opt_.drives);
        adapter_ = "sim:" + std::to_string(opt_.drives);
        chain_->setFrameLoss(opt_.loss, opt_.seed, sim::LossPoint::Outbound);
        nextPullAt_ = opt_.pullPeriod / 2.0;
        nextFirmwareAt_ = opt_.pullPeriod * 0.9;
        nextSafeOpAt_ = kSafeOpFirstS;

        connect(&master_, &ecmaster::writeLog, this, &Soak::onLog, Qt::QueuedConnection);
        connect(&master_, &ecmaster::slaveLost, this, &Soak::onSlaveLost, Qt::QueuedConnection);
        connect(&master_, &ecmaster::supervisionEvent, this, &Soak::onSupervisionEvent,
                Qt::QueuedConnection);
        soakMaster.store(&master_, std::memory_order_release);
        ecmaster::setCycleProbe(&countCycle);
        connect(&tick_, &QTimer::timeout, this, &Soak::onTick);
    }

    ~Soak() override {
        ecmaster::setCycleProbe(nullptr);
        soakMaster.store(nullptr, std::memory_order_release);
        stopReader();
    }

    void start() {
        std::printf(
            "fault soak: %d drives on %s, %d s, frame loss %.2f %%, pull period %d s, "
            "seed %llu\n",
            opt_.drives, adapter_.c_str(), opt_.seconds, opt_.loss * 100.0, opt_.pullPeriod,
            static_cast<unsigned long long>(opt_.seed));
        std::fflush(stdout);
        clock_.start();
        reader_ = std::thread([this] { readParameters(); });
        tick_.start(kTickMs);
        startConnect(Reason::Start);
    }

private:
    enum class Bus { Down, Connecting, Up };
    enum class Reason { Start, Pull, Firmware, Retry };

    struct Pull {
        bool active = false;
        int position = 0;
        double at = 0.0;
        double plugAt = 0.0;
        bool plugged = false;
        bool detected = false;
    };
    struct SafeOp {
        bool active = false;
        int position = 0;
        double at = 0.0;
    };
    struct Firmware {
        bool active = false;  // from the download's start until the bus is up again
        bool running = false;
        int position = 0;
        QString path;
        QByteArray image;
    };

    void setBus(Bus b) {
        if (b == Bus::Up && bus_ != Bus::Up) {
            upSince_ = now();
        } else if (b != Bus::Up && bus_ == Bus::Up) {
            upSeconds_ += now() - upSince_;
        }
        bus_ = b;
        busUpForReads_.store(b == Bus::Up);
    }
    double now() const { return static_cast<double>(clock_.nsecsElapsed()) / 1e9; }
    bool disturbed() const { return pull_.active || firmware_.active || safeOp_.active; }
    void updateDisturbed() { driveDeliberatelyOut.store(disturbed(), std::memory_order_relaxed); }

    // --- the schedule, on every tick ---

    void onTick() {
        std::array<TimedRecord, 256> batch;
        for (size_t n = batch.size(); n == batch.size();) {
            n = master_.takeRecords(batch);
            records_ += n;
        }
        const double t = now();
        if (t >= opt_.seconds) {
            finishing_ = true;
        }
        followPull(t);
        followSafeOp(t);
        if (finishing_) {
            tryFinish();
            return;
        }
        const bool mayStart = bus_ == Bus::Up && !disturbed() && t < opt_.seconds - kQuietEndS;
        if (t >= nextPullAt_) {
            if (mayStart) {
                startPull(t);
                nextPullAt_ += opt_.pullPeriod;
            } else {
                nextPullAt_ = t + kPostponeS;
            }
        } else if (t >= nextFirmwareAt_) {
            if (mayStart) {
                startFirmware();
                nextFirmwareAt_ += opt_.pullPeriod;
            } else {
                nextFirmwareAt_ = t + kPostponeS;
            }
        } else if (t >= nextSafeOpAt_) {
            if (mayStart) {
                startSafeOp(t);
                nextSafeOpAt_ += opt_.safeOpPeriod;
            } else {
                nextSafeOpAt_ = t + kPostponeS;
            }
        }
        if (t >= nextProgressAt_) {
            nextProgressAt_ += kProgressPeriodS;
            progress(t);
        }
    }

    // --- cable pulls ---

    void startPull(double t) {
        // Alternate where frames get lost with every pull: before the slaves acted, or after.
        lossOnReturn_ = !lossOnReturn_;
        chain_->setFrameLoss(opt_.loss, opt_.seed + static_cast<uint64_t>(pulls_),
                             lossOnReturn_ ? sim::LossPoint::Return : sim::LossPoint::Outbound);
        const int candidates = std::min(kPulledCandidates, opt_.drives);
        pull_ = Pull{};
        pull_.active = true;
        pull_.position = opt_.drives - (pulls_ % candidates);
        pull_.at = t;
        pull_.plugAt = t + std::uniform_real_distribution<double>(kPlugMinS, kPlugMaxS)(rng_);
        uint32_t out = 0;
        for (int p = pull_.position; p <= opt_.drives; ++p) {
            out |= positionBit(p);
        }
        outMask_.fetch_or(out);
        ++pulls_;
        drivesPulled_ += opt_.drives - pull_.position + 1;
        updateDisturbed();
        chain_->pullDrive(pull_.position);
    }

    void followPull(double t) {
        if (!pull_.active || pull_.plugged || t < pull_.plugAt) {
            return;
        }
        chain_->plugDrive(pull_.position);
        pull_.plugged = true;
        if (!pull_.detected) {
            ++undetectedPulls_;
            std::fprintf(stderr,
                         "[%7.2f s] cable in front of slave %d pulled %.1f s ago, no loss "
                         "reported\n",
                         t, pull_.position, t - pull_.at);
            if (bus_ == Bus::Up) {
                master_.disconnectBus();
                setBus(Bus::Down);
            }
        }
        if (bus_ == Bus::Down) {
            startConnect(Reason::Pull);
        }
    }

    // --- SAFE-OP+ERROR ---

    void startSafeOp(double t) {
        safeOp_ = SafeOp{true, std::uniform_int_distribution<int>(1, opt_.drives)(rng_), t};
        ++safeOpsForced_;
        updateDisturbed();
        chain_->forceSafeOpError(safeOp_.position, kAlSyncManagerWatchdog);
    }

    void followSafeOp(double t) {
        if (!safeOp_.active) {
            return;
        }
        if (chain_->alState(safeOp_.position) == EC_STATE_OPERATIONAL) {
            ++safeOpsReturned_;
            safeOpMaxReturnS_ = std::max(safeOpMaxReturnS_, t - safeOp_.at);
            if (t - safeOp_.at > kSafeOpSlowS) {
                std::fprintf(stderr,
                             "[%7.2f s] slave %d back in OP only %.1f s after "
                             "SAFE-OP+ERROR. Master log:\n",
                             t, safeOp_.position, t - safeOp_.at);
                dumpLogTail();
            }
        } else if (bus_ != Bus::Up) {
            ++safeOpsInterrupted_;
        } else if (t - safeOp_.at > kSafeOpGiveUpS) {
            ++safeOpsStuck_;
            std::fprintf(stderr,
                         "[%7.2f s] slave %d still in AL state 0x%02x %.1f s after "
                         "SAFE-OP+ERROR\n",
                         t, safeOp_.position, chain_->alState(safeOp_.position), t - safeOp_.at);
        } else {
            return;
        }
        safeOp_.active = false;
        updateDisturbed();
    }

    // --- firmware downloads ---

    void startFirmware() {
        // Any drive in front of the pulled cables; the console always takes the first.
        const int candidates = std::max(1, opt_.drives - kPulledCandidates);
        const int index = firmwareDownloads_ % candidates;
        firmware_ = Firmware{};
        firmware_.active = true;
        firmware_.running = true;
        firmware_.position = index + 1;
        // "x.y.z" in the name becomes the drive's new version.
        firmware_.path = firmwareDir_.filePath(QStringLiteral("QJ30_3.%1.%2.efw")
                                                   .arg(firmwareDownloads_ / 10)
                                                   .arg(firmwareDownloads_ % 10));
        firmware_.image.resize(kFirmwareBytes);
        std::uniform_int_distribution<int> byte(0, 255);
        for (char& b : firmware_.image) {
            b = static_cast<char>(byte(rng_));
        }
        QFile f(firmware_.path);
        if (!f.open(QIODevice::WriteOnly) || f.write(firmware_.image) != firmware_.image.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(firmware_.path));
        }
        f.close();
        ++firmwareDownloads_;
        outMask_.fetch_or(positionBit(firmware_.position));
        updateDisturbed();

        auto* watcher = new QFutureWatcher<int>(this);
        connect(watcher, &QFutureWatcher<int>::finished, this, [this, watcher] {
            onFirmwareFinished(watcher->result());
            watcher->deleteLater();
        });
        const QString path = firmware_.path;
        watcher->setFuture(QtConcurrent::run([this, path, index] {
            // Waits for a read of this drive already under way, as the console's modal upgrade
            // dialog keeps the operator from starting one.
            { const std::unique_lock barrier(busLock_); }
            return master_.downloadFirmware(path, index, kFirmwarePassword);
        }));
    }

    void onFirmwareFinished(int result) {
        firmware_.running = false;
        const std::optional<sim::FirmwareFile> got = chain_->firmware(firmware_.position);
        const bool arrived =
            got && got->complete &&
            QByteArray(reinterpret_cast<const char*>(got->bytes.data()),
                       static_cast<qsizetype>(got->bytes.size())) == firmware_.image;
        if (result >= 1 && arrived) {
            ++firmwareOk_;
        } else {
            ++firmwareFailed_[result >= 1 ? QStringLiteral("reported written, file differs")
                                          : QStringLiteral("result %1").arg(result)];
            std::fprintf(stderr, "[%7.2f s] firmware download to slave %d: result %d, file %s\n",
                         now(), firmware_.position, result, arrived ? "arrived" : "not arrived");
        }
        // The upgrade flow takes the bus down whatever the result; the operator connects again.
        if (bus_ == Bus::Up) {
            master_.disconnectBus();
            setBus(Bus::Down);
        }
        if (!finishing_) {
            QTimer::singleShot(kReconnectDelayMs, this, [this] {
                if (bus_ == Bus::Down && !finishing_) {
                    startConnect(Reason::Firmware);
                }
            });
        }
        tryFinish();
    }

    // --- bus up and down, as the console's Connect button and lost-drive reaction ---

    void startConnect(Reason reason) {
        setBus(Bus::Connecting);
        auto* watcher = new QFutureWatcher<bool>(this);
        connect(watcher, &QFutureWatcher<bool>::finished, this, [this, watcher, reason] {
            onConnectFinished(watcher->result(), reason);
            watcher->deleteLater();
        });
        watcher->setFuture(QtConcurrent::run([this] {
            // Bring-up rebuilds the valid-drive list; no parameter read may look at it meanwhile.
            std::unique_lock lock(busLock_);
            return master_.connectBus(adapter_.c_str());
        }));
    }

    void onConnectFinished(bool ok, Reason reason) {
        if (!ok) {
            setBus(Bus::Down);
            ++connectFailures_;
            std::fprintf(stderr, "[%7.2f s] bring-up failed\n", now());
            if (!finishing_) {
                QTimer::singleShot(kConnectRetryMs, this, [this, reason] {
                    if (bus_ == Bus::Down && !finishing_) {
                        startConnect(reason);
                    }
                });
            }
            tryFinish();
            return;
        }
        setBus(Bus::Up);
        everUp_ = true;
        if (master_.driveCount() != opt_.drives) {
            std::fprintf(stderr, "[%7.2f s] bus up with %d drives, %d expected\n", now(),
                         master_.driveCount(), opt_.drives);
        }
        if (reason == Reason::Pull || (reason == Reason::Retry && pull_.active)) {
            ++reconnectsAfterPull_;
        } else if (reason == Reason::Firmware || firmware_.active) {
            ++reconnectsAfterFirmware_;
        }
        // Everything deliberately taken out is back on a freshly configured bus.
        pull_.active = false;
        firmware_.active = false;
        outMask_.store(0);
        updateDisturbed();
        tryFinish();
    }

    void onSlaveLost() {
        ++lostSignals_;
        if (bus_ != Bus::Up) {
            return;  // the console's Connect button no longer reads "Disconnect"
        }
        master_.disconnectBus();
        setBus(Bus::Down);
        if (pull_.active && pull_.plugged) {
            startConnect(Reason::Pull);  // the cable is already back
        } else if (!pull_.active && !firmware_.active) {
            // Nothing was pulled: the bus is taken down all the same; bring it up again so the
            // soak goes on (the false loss is counted from the log line).
            QTimer::singleShot(kConnectRetryMs, this, [this] {
                if (bus_ == Bus::Down && !finishing_) {
                    startConnect(Reason::Retry);
                }
            });
        }
    }

    void onLog(const QString& text) {
        const double t = now();
        if (opt_.verbose) {
            std::fprintf(stderr, "[%7.2f s] %s\n", t, qPrintable(text));
        }
        logTail_.push_back(QStringLiteral("[%1 s] %2").arg(t, 7, 'f', 2).arg(text));
        if (logTail_.size() > kLogTail) {
            logTail_.pop_front();
        }
        // Supervision's verdicts come typed (onSupervisionEvent); this one has no event.
        if (text == QLatin1String("OK : all slaves resumed OPERATIONAL.")) {
            ++allResumed_;
        }
    }

    void onSupervisionEvent(int slave, SupervisionKind kind, const QString&) {
        switch (kind) {
            case SupervisionKind::Lost:
                countLoss(slave, now());
                break;
            case SupervisionKind::Recovered:
            case SupervisionKind::Reconfigured:
                ++slaveReturns_[supervisionKindName(kind)];
                break;
            case SupervisionKind::Acknowledged:
                ++safeOpAcks_;
                break;
            case SupervisionKind::Emergency:
                break;
        }
    }

    void countLoss(int slave, double t) {
        const bool pulled = pull_.active && slave >= pull_.position;
        const bool underFirmware = firmware_.active && slave == firmware_.position;
        if (pulled) {
            ++realLosses_;
            if (!pull_.detected) {
                pull_.detected = true;
                detectionS_.push_back(t - pull_.at);
            }
        } else if (underFirmware) {
            ++firmwareLosses_;
        } else {
            ++falseLosses_;
            std::fprintf(
                stderr,
                "[%7.2f s] FALSE LOSS: slave %d declared lost, nothing pulled "
                "(pull %s, firmware %s, SAFE-OP+ERROR %s). Master log before:\n",
                t, slave, pull_.active ? qPrintable(QString::number(pull_.position)) : "none",
                firmware_.active ? qPrintable(QString::number(firmware_.position)) : "none",
                safeOp_.active ? qPrintable(QString::number(safeOp_.position)) : "none");
            dumpLogTail();
        }
    }

    void dumpLogTail() const {
        for (const QString& line : logTail_) {
            std::fprintf(stderr, "    %s\n", qPrintable(line));
        }
    }

    // --- parameter reads, on their own thread ---

    void readParameters() {
        using Clock = std::chrono::steady_clock;
        auto next = Clock::now();
        int turn = 0;
        while (!stopReader_.load()) {
            next += std::chrono::milliseconds(kSdoPeriodMs);
            std::this_thread::sleep_until(next);
            if (!busUpForReads_.load()) {
                continue;
            }
            const int id = kReadIds[turn % std::size(kReadIds)];
            int position = 1 + turn % opt_.drives;
            ++turn;
            // The mask is read under the lock so that a download, which sets its drive's bit and
            // then passes the lock exclusively once, never overlaps a read of that drive.
            std::shared_lock lock(busLock_);
            const uint32_t out = outMask_.load();
            for (int i = 0; i < opt_.drives && (out & positionBit(position)); ++i) {
                position = position % opt_.drives + 1;
            }
            if (out & positionBit(position)) {
                continue;
            }
            uint8_t value[8] = {};
            const TransferResult read = master_.parameterRead(position - 1, id, value);
            const int result = parameterCode(read);
            // A drive pulled or taken to BOOT while its read ran fails for a reason of its own.
            const bool outMeanwhile = (outMask_.load() & positionBit(position)) != 0;
            QString cause;
            switch (read.status) {
                case TransferResult::Status::Aborted:
                    cause = QStringLiteral("SDO abort %1").arg(hex(read.abortCode));
                    break;
                case TransferResult::Status::Timeout:
                    cause = QStringLiteral("no reply, or request not delivered");
                    break;
                default:
                    cause = read.text();
                    break;
            }
            std::lock_guard guard(readsMutex_);
            if (result == kParamOk) {
                ++readsOk_;
                continue;
            }
            const QString key =
                QStringLiteral("%1 (%2)%3")
                    .arg(result)
                    .arg(result == kParamFailed         ? cause
                         : result == kParamNotConnected ? QStringLiteral("not connected")
                                                        : QStringLiteral("other"))
                    .arg(outMeanwhile ? QStringLiteral(", drive taken out meanwhile") : QString());
            ++readsFailed_[key];
            if (!outMeanwhile && result == kParamFailed) {
                std::fprintf(stderr, "[%7.2f s] parameter %d of slave %d: %s\n", now(), id,
                             position, qPrintable(cause));
            }
        }
    }

    void stopReader() {
        stopReader_ = true;
        if (reader_.joinable()) {
            reader_.join();
        }
    }

    // --- figures ---

    void progress(double t) {
        int ok = 0;
        int failed = 0;
        {
            std::lock_guard guard(readsMutex_);
            ok = readsOk_;
            for (const auto& [key, n] : readsFailed_) {
                failed += n;
            }
        }
        std::printf(
            "[%4.0f s] cycles %llu, missed %llu, lost real %d false %d, reconnects %d, "
            "SAFE-OP returns %d/%d, SDO ok %d failed %d, firmware ok %d of %d\n",
            t, static_cast<unsigned long long>(cyclesRun.load()),
            static_cast<unsigned long long>(cyclesNoReply.load() + cyclesShortWkc.load()),
            realLosses_, falseLosses_, reconnectsAfterPull_ + reconnectsAfterFirmware_,
            safeOpsReturned_, safeOpsForced_, ok, failed, firmwareOk_, firmwareDownloads_);
        std::fflush(stdout);
    }

    void tryFinish() {
        if (!finishing_ || finished_ || bus_ == Bus::Connecting || firmware_.running) {
            return;
        }
        finished_ = true;
        tick_.stop();
        stopReader();
        const double ran = now();
        if (bus_ == Bus::Up) {
            master_.disconnectBus();
            setBus(Bus::Down);
        }
        report(ran);
        int code = 0;
        if (!everUp_) {
            code = kNoBusExit;
        } else if (falseLosses_ > 0) {
            code = kFalseLossExit;
        }
        QCoreApplication::exit(code);
    }

    void report(double ran) {
        const uint64_t missed = cyclesNoReply.load() + cyclesShortWkc.load();
        std::sort(detectionS_.begin(), detectionS_.end());
        const double detectMax = detectionS_.empty() ? 0.0 : detectionS_.back();
        const double detectMedian = detectionS_.empty() ? 0.0 : detectionS_[detectionS_.size() / 2];
        QStringList returns;
        for (auto it = slaveReturns_.cbegin(); it != slaveReturns_.cend(); ++it) {
            returns << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        }

        std::printf("== fault soak figures ==\n");
        std::printf("seconds run:                  %.1f\n", ran);
        std::printf(
            "cycles run:                   %llu in %.1f s of bus up (%.0f at 2 ms), records "
            "received %llu\n",
            static_cast<unsigned long long>(cyclesRun.load()), upSeconds_, upSeconds_ * 500.0,
            static_cast<unsigned long long>(records_));
        std::printf(
            "cycle replies missed:         %llu (no reply %llu, working counter short "
            "%llu); while a drive was deliberately out %llu, on a whole bus %llu\n",
            static_cast<unsigned long long>(missed),
            static_cast<unsigned long long>(cyclesNoReply.load()),
            static_cast<unsigned long long>(cyclesShortWkc.load()),
            static_cast<unsigned long long>(cyclesMissedOut.load()),
            static_cast<unsigned long long>(missed - cyclesMissedOut.load()));
        std::printf("frames through the chain:     %llu, lost by injection %llu\n",
                    static_cast<unsigned long long>(chain_->framesSeen()),
                    static_cast<unsigned long long>(chain_->framesLost()));
        std::printf(
            "cable pulls:                  %d (%d drives taken off), loss not reported "
            "%d, detection median %.0f ms max %.0f ms\n",
            pulls_, drivesPulled_, undetectedPulls_, detectMedian * 1000.0, detectMax * 1000.0);
        std::printf("drives falsely declared lost: %d\n", falseLosses_);
        std::printf(
            "real losses detected:         %d (slaveLost signals %d; losses of a drive "
            "under firmware download %d)\n",
            realLosses_, lostSignals_, firmwareLosses_);
        std::printf(
            "recoveries:                   reconnects %d after a pull, %d after a "
            "firmware download; SAFE-OP+ERROR back in OP %d of %d (max %.0f ms, %d "
            "interrupted, %d stuck); supervision: %d acks, \"all slaves resumed\" %d%s%s\n",
            reconnectsAfterPull_, reconnectsAfterFirmware_, safeOpsReturned_, safeOpsForced_,
            safeOpMaxReturnS_ * 1000.0, safeOpsInterrupted_, safeOpsStuck_, safeOpAcks_,
            allResumed_, returns.isEmpty() ? "" : ", ",
            qPrintable(returns.join(QStringLiteral(", "))));
        std::printf("failed bring-ups:             %d\n", connectFailures_);
        {
            std::lock_guard guard(readsMutex_);
            int failed = 0;
            for (const auto& [key, n] : readsFailed_) {
                failed += n;
            }
            std::printf("SDO reads:                    %d ok, %d failed\n", readsOk_, failed);
            for (const auto& [key, n] : readsFailed_) {
                std::printf("  failed %-50s %d\n", qPrintable(key), n);
            }
        }
        int fwFailed = 0;
        for (const auto& [key, n] : firmwareFailed_) {
            fwFailed += n;
        }
        std::printf("firmware downloads:           %d ok (file verified on the drive), %d failed\n",
                    firmwareOk_, fwFailed);
        for (const auto& [key, n] : firmwareFailed_) {
            std::printf("  failed %-50s %d\n", qPrintable(key), n);
        }
        std::fflush(stdout);
    }

    const Options opt_;
    std::mt19937_64 rng_;                // GUI thread only
    std::shared_ptr<sim::Chain> chain_;  // locks itself
    std::string adapter_;
    ecmaster master_;
    QElapsedTimer clock_;
    QTimer tick_;
    QTemporaryDir firmwareDir_;

    // GUI thread only
    Bus bus_ = Bus::Down;
    bool everUp_ = false;
    double upSince_ = 0.0;
    double upSeconds_ = 0.0;
    bool finishing_ = false;
    bool finished_ = false;
    bool lossOnReturn_ = false;
    double nextPullAt_ = 0.0;
    double nextFirmwareAt_ = 0.0;
    double nextSafeOpAt_ = 0.0;
    double nextProgressAt_ = kProgressPeriodS;
    Pull pull_;
    SafeOp safeOp_;
    Firmware firmware_;
    std::deque<QString> logTail_;
    uint64_t records_ = 0;
    int pulls_ = 0;
    int drivesPulled_ = 0;
    int undetectedPulls_ = 0;
    std::vector<double> detectionS_;
    int falseLosses_ = 0;
    int realLosses_ = 0;
    int firmwareLosses_ = 0;
    int lostSignals_ = 0;
    int reconnectsAfterPull_ = 0;
    int reconnectsAfterFirmware_ = 0;
    int connectFailures_ = 0;
    int safeOpsForced_ = 0;
    int safeOpsReturned_ = 0;
    int safeOpsInterrupted_ = 0;
    int safeOpsStuck_ = 0;
    double safeOpMaxReturnS_ = 0.0;
    int safeOpAcks_ = 0;
    int allResumed_ = 0;
    QMap<QString, int> slaveReturns_;
    int firmwareDownloads_ = 0;
    int firmwareOk_ = 0;
    std::map<QString, int> firmwareFailed_;

    // Shared with the reader thread.
    std::atomic<uint32_t> outMask_{0};  // atomic; positions deliberately out (pulled or in BOOT)
    std::atomic<bool> busUpForReads_{false};  // atomic
    std::atomic<bool> stopReader_{false};     // atomic
    std::shared_mutex busLock_;  // shared by a parameter read, exclusive for a bring-up
    std::mutex readsMutex_;
    int readsOk_ = 0;                     // guarded by readsMutex_
    std::map<QString, int> readsFailed_;  // guarded by readsMutex_
    std::thread reader_;
};

// --- the parent: runs the soak in children and judges them -------------------------------------

bool isSanitizerReport(const QByteArray& line) {
    return (line.contains("Sanitizer") && (line.contains("ERROR:") || line.contains("WARNING:"))) ||
           line.contains("runtime error:");
}

int runParent(const Options& opt, const QStringList& passOn) {
    constexpr int kMaxRuns = 5;
    constexpr int kMinRerunS = 15;
    constexpr int kHangMarginS = 120;
    static const QRegularExpression falseLine(
        QStringLiteral("^drives falsely declared lost: +(\\d+)"));

    QElapsedTimer total;
    total.start();
    int runs = 0;
    int crashes = 0;
    int sanitizerReports = 0;
    int hangs = 0;
    int falseLosses = 0;
    int otherFailures = 0;
    int left = opt.seconds;
    while (runs < kMaxRuns) {
        ++runs;
        QProcess child;
        QStringList args = passOn;
        args << QStringLiteral("--child") << QStringLiteral("--seconds") << QString::number(left)
             << QStringLiteral("--seed") << QString::number(opt.seed + uint64_t(runs - 1));
        QByteArray outLine;
        QByteArray errLine;
        bool sanitizer = false;
        int childFalse = -1;
        QObject::connect(&child, &QProcess::readyReadStandardOutput, [&] {
            const QByteArray data = child.readAllStandardOutput();
            std::fwrite(data.constData(), 1, size_t(data.size()), stdout);
            std::fflush(stdout);
            for (const char c : data) {
                if (c != '\n') {
                    outLine.append(c);
                    continue;
                }
                if (const auto m = falseLine.match(QString::fromUtf8(outLine)); m.hasMatch()) {
                    childFalse = m.captured(1).toInt();
                }
                outLine.clear();
            }
        });
        QObject::connect(&child, &QProcess::readyReadStandardError, [&] {
            const QByteArray data = child.readAllStandardError();
            std::fwrite(data.constData(), 1, size_t(data.size()), stderr);
            std::fflush(stderr);
            for (const char c : data) {
                if (c != '\n') {
                    errLine.append(c);
                    continue;
                }
                sanitizer = sanitizer || isSanitizerReport(errLine);
                errLine.clear();
            }
        });
        QEventLoop loop;
        QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&child, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart) {
                loop.quit();
            }
        });
        QTimer hang;
        hang.setSingleShot(true);
        bool hung = false;
        QObject::connect(&hang, &QTimer::timeout, &loop, [&] {
            hung = true;
            child.kill();
        });
        hang.start((left + kHangMarginS) * 1000);
        child.start(QCoreApplication::applicationFilePath(), args);
        loop.exec();
        if (child.state() != QProcess::NotRunning) {
            child.waitForFinished(5000);
        }
        sanitizer = sanitizer || isSanitizerReport(errLine);

        const bool crashed =
            child.exitStatus() == QProcess::CrashExit || child.error() == QProcess::FailedToStart;
        if (hung) {
            ++hangs;
            std::printf("child %d: HUNG, killed after %d s\n", runs, left + kHangMarginS);
        } else if (sanitizer) {
            ++sanitizerReports;
            std::printf("child %d: SANITIZER REPORT (exit %s %d)\n", runs,
                        crashed ? "by signal" : "code", child.exitCode());
        } else if (crashed) {
            ++crashes;
            std::printf("child %d: CRASHED (%s)\n", runs, qPrintable(child.errorString()));
        } else if (child.exitCode() != 0 && childFalse <= 0) {
            ++otherFailures;
            std::printf("child %d: failed with exit code %d\n", runs, child.exitCode());
        }
        falseLosses += std::max(childFalse, 0);
        const bool died = hung || sanitizer || crashed;
        left = opt.seconds - static_cast<int>(total.elapsed() / 1000);
        if (!died || left < kMinRerunS) {
            break;
        }
        std::printf("starting a new child for the %d s left\n", left);
    }
    std::printf("== fault soak verdict ==\n");
    std::printf(
        "child runs: %d, crashes: %d, sanitizer reports: %d, hangs: %d, false losses: %d, "
        "other failures: %d\n",
        runs, crashes, sanitizerReports, hangs, falseLosses, otherFailures);
    const bool pass = crashes + sanitizerReports + hangs + falseLosses + otherFailures == 0;
    std::printf("result: %s\n", pass ? "PASS" : "FAIL");
    std::fflush(stdout);
    return pass ? 0 : 1;
}

bool parseOptions(const QStringList& args, Options& opt, QStringList& passOn) {
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--child")) {
            opt.child = true;
            continue;
        }
        if (a == QLatin1String("--verbose")) {
            opt.verbose = true;
            passOn << a;
            continue;
        }
        if (i + 1 >= args.size()) {
            return false;
        }
        const QString v = args[++i];
        bool ok = false;
        bool childGetsIt = true;  // the parent hands each child its own time and seed
        if (a == QLatin1String("--seconds")) {
            opt.seconds = v.toInt(&ok);
            ok = ok && opt.seconds > 0;
            childGetsIt = false;
        } else if (a == QLatin1String("--seed")) {
            opt.seed = v.toULongLong(&ok);
            childGetsIt = false;
        } else if (a == QLatin1String("--drives")) {
            opt.drives = v.toInt(&ok);
            ok = ok && opt.drives >= 1 && opt.drives <= kMaxSlaves;
        } else if (a == QLatin1String("--loss")) {
            opt.loss = v.toDouble(&ok);
            ok = ok && opt.loss >= 0.0 && opt.loss < 1.0;
        } else if (a == QLatin1String("--safeop-period")) {
            opt.safeOpPeriod = v.toDouble(&ok);
            ok = ok && opt.safeOpPeriod >= 1.0;
        } else if (a == QLatin1String("--pull-period")) {
            opt.pullPeriod = v.toInt(&ok);
            ok = ok && opt.pullPeriod >= 10;
        }
        if (!ok) {
            return false;
        }
        if (childGetsIt) {
            passOn << a << v;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options opt;
    QStringList passOn;
    if (!parseOptions(QCoreApplication::arguments(), opt, passOn)) {
        std::fprintf(stderr,
                     "usage: fault_soak [--seconds S] [--drives N] [--loss F] [--pull-period S] "
                     "[--seed N] [--safeop-period S] [--verbose]\n");
        return 2;
    }
    if (!opt.child) {
        return runParent(opt, passOn);
    }
    Soak soak(opt);
    QTimer::singleShot(0, &soak, &Soak::start);
    return app.exec();
}

#include "fault_soak.moc"
