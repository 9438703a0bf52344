// The cyclic exchange and the command records it sends.
#include "cycleexchange.h"

#include <algorithm>
#include <span>

#include "ethercat.h"
#include "model/cia402.h"
#include "model/scaling.h"
#include "periodictimer.h"
#include "protocol.h"

namespace {

constexpr int kCycleReceiveTimeoutUs = 2000;
constexpr int kRegisterTimeoutUs = 2000;
constexpr int64_t kCyclePeriodNs = 2'000'000;

std::atomic<CycleProbe> cycleProbe{nullptr};

}  // namespace

void CycleExchange::setCycleProbe(CycleProbe probe) {
    cycleProbe.store(probe);
}

void CycleExchange::timerCallback(uint32_t, uint32_t, uintptr_t user, uintptr_t, uintptr_t) {
    reinterpret_cast<CycleExchange*>(user)->runCycle();
}

// --- commands -----------------------------------------------------------------------------------

void CycleExchange::applyCommandField(int slave, int code) {
    if (!s_.hasImage(slave)) {
        s_.log(tr("struct null ptr warnning."));
        return;
    }
    writeCommandField(s_.images[static_cast<size_t>(slave)].outputs,
                      s_.commands[static_cast<size_t>(slave)], code);
}

void CycleExchange::resetCommandRecord(int slave) {
    const bool hasImage = s_.hasImage(slave);
    for (int code = kCmdControlWord; code <= kCmdMode; ++code) {
        if (!hasImage) {
            s_.log(tr("Fail: null ptr warnning"));
            continue;
        }
        QMutexLocker lock(&s_.pdMutex);
        App_SetValue& c = s_.commands[static_cast<size_t>(slave)];
        switch (code) {
            case kCmdControlWord:
                c.controlWord = 0;
                break;
            case kCmdTorque:
                c.torque = 0.0f;
                break;
            case kCmdKp:
                c.kp = 0.0f;
                break;
            case kCmdKd:
                c.kd = 0.0f;
                break;
            case kCmdPosition:
                c.position = 0.0f;
                break;
            case kCmdVelocity:
                c.velocity = 0.0f;
                break;
            default:
                c.mode = 0;
                break;
        }
        applyCommandField(slave, code);
    }
}

void CycleExchange::storeCommand(int slave, int code, bool isWord, uint16_t word, float value) {
    if (!s_.hasImage(slave)) {
        s_.log(tr("Fail: null ptr warnning"));
        return;
    }
    bool accepted = true;
    {
        QMutexLocker lock(&s_.pdMutex);
        App_SetValue& c = s_.commands[static_cast<size_t>(slave)];
        if (isWord && code == kCmdControlWord) {
            c.controlWord = word;
        } else if (isWord && code == kCmdMode) {
            c.mode = word;
        } else if (!isWord && code == kCmdTorque) {
            c.torque = value;
        } else if (!isWord && code == kCmdKp) {
            c.kp = value;
        } else if (!isWord && code == kCmdKd) {
            c.kd = value;
        } else if (!isWord && code == kCmdPosition) {
            c.position = value;
        } else if (!isWord && code == kCmdVelocity) {
            c.velocity = value;
        } else {
            accepted = false;
        }
        if (accepted) {
            applyCommandField(slave, code);
        }
    }
    if (!accepted) {
        s_.log(tr("error with set parameter: %1").arg(code));
    }
}

void CycleExchange::setCommandWord(int code, uint16_t value, int index) {
    if (const int slave = s_.slaveAt(index)) {
        storeCommand(slave, code, true, value, 0.0f);
    }
}

void CycleExchange::setCommandValue(int code, float value, int index) {
    if (const int slave = s_.slaveAt(index)) {
        storeCommand(slave, code, false, 0, value);
    }
}

void CycleExchange::setCommandWordAll(int code, uint16_t value) {
    for (const int slave : s_.validDrives) {
        storeCommand(slave, code, true, value, 0.0f);
    }
}

void CycleExchange::setCommandValueAll(int code, float value) {
    for (const int slave : s_.validDrives) {
        storeCommand(slave, code, false, 0, value);
    }
}

void CycleExchange::selectDrive(int index) {
    if (const int slave = s_.slaveAt(index)) {
        s_.selectedSlave.store(slave, std::memory_order_relaxed);
    }
}

App_SetValue CycleExchange::commandRecord(int slave) const {
    if (!isTableSlave(slave)) {
        return {};
    }
    const QMutexLocker lock(&s_.pdMutex);
    return s_.commands[static_cast<size_t>(slave)];
}

std::optional<TCiA402_GetValue> CycleExchange::driveInputs(int index) const {
    const int slave = s_.slaveAt(index);
    if (slave == 0) {
        return std::nullopt;
    }
    QMutexLocker lock(&s_.inputMutex);
    const uint8_t* in = s_.images[static_cast<size_t>(slave)].inputs;
    if (in == nullptr) {
        return std::nullopt;
    }
    return decodeInputImage(in);
}

std::optional<DriveOutputImage> CycleExchange::driveOutputs(int slave) const {
    if (!s_.hasImage(slave)) {
        return std::nullopt;
    }
    const QMutexLocker lock(&s_.pdMutex);
    return decodeOutputImage(s_.images[static_cast<size_t>(slave)].outputs);
}

// --- the cycle ----------------------------------------------------------------------------------

void CycleExchange::readClockOffsets() {
    std::array<ClockAlignment::Drive, kMaxSlaves> drives{};
    size_t count = 0;
    for (const int slave : s_.validDrives) {
        if (count == drives.size()) {
            break;
        }
        ClockAlignment::Drive& d = drives[count++];
        d.station = s_.station(slave);
        ec_FPRD(d.station, ec::kRegDcSystemOffset, sizeof(int64_t), &d.offset, kRegisterTimeoutUs);
    }
    clock_.start({drives.data(), count});
}

// One exchange: the process data, and in the same frames the clock alignment's reads of every
// drive's system time and its writes from the last cycle's readings (a second frame only when
// the first has no room left). Both sides wait for a single round trip.
void CycleExchange::runCycle() {
    if (!s_.running || !s_.connected) {
        return;
    }
    const CycleProbe probe = cycleProbe.load(std::memory_order_relaxed);
    const int64_t startNs = probe ? timerMonotonicNowNs() : 0;
    {
        QMutexLocker pdLock(&s_.pdMutex);
        const std::span<ec_datagramt> clock = clock_.datagrams();
        const int64_t sendNs = probe ? timerMonotonicNowNs() : 0;
        const int64_t masterNs = s_.elapsedTimer.nsecsElapsed();
        ec_send_processdata(clock);
        QMutexLocker inLock(&s_.inputMutex);
        const auto t = static_cast<uint64_t>(s_.elapsedTimer.nsecsElapsed());
        const int received = ec_receive_processdata(kCycleReceiveTimeoutUs);
        s_.wkc.store(received, std::memory_order_relaxed);
        countCycle(received, static_cast<int64_t>(t));
        const int selected = s_.selectedSlave.load(std::memory_order_relaxed);
        if (isTableSlave(selected) && s_.images[static_cast<size_t>(selected)].inputs != nullptr) {
            s_.records.push(decodeInputImage(s_.images[static_cast<size_t>(selected)].inputs), t);
        }
        if (s_.scopeOn.load(std::memory_order_relaxed)) {
            sampleScope(received, static_cast<int64_t>(t));
        }
        watchFaults(static_cast<int64_t>(t));
        inLock.unlock();
        pdLock.unlock();

        clock_.settle(masterNs);
        if (probe) {
            probe(timerCurrentDeadlineNs(), startNs, sendNs, timerMonotonicNowNs());
        }
    }
}

void CycleExchange::sampleScope(int receivedWkc, int64_t timeNs) {
    const uint32_t flags = receivedWkc < s_.expectedWKC.load(std::memory_order_relaxed)
                               ? scope::kFrameWorkingCounterShort
                               : 0;
    s_.scope.sample(cycleNumber_, timeNs, flags, [this](int index, scope::DriveRecords& out) {
        const int slave = s_.slaveAt(index);
        const auto at = static_cast<size_t>(slave);
        if (slave == 0 || s_.images[at].inputs == nullptr ||
            s_.lostDrives[at].load(std::memory_order_relaxed)) {
            return false;
        }
        out.inputs = decodeInputImage(s_.images[at].inputs);
        out.commands = s_.commands[at];
        return true;
    });
}

void CycleExchange::watchFaults(int64_t timeNs) {
    const qsizetype drives = s_.validDrives.size();
    for (qsizetype index = 0; index < drives; ++index) {
        const int slave = s_.validDrives.at(index);
        if (!isTableSlave(slave) || s_.images[static_cast<size_t>(slave)].inputs == nullptr) {
            continue;
        }
        const TCiA402_GetValue in = decodeInputImage(s_.images[static_cast<size_t>(slave)].inputs);
        const FaultMark mark{(in.statusWord & kStatusWordFault) != 0, in.errorWord,
                             in.drvErrorWord};
        FaultMark& last = faultMarks_[static_cast<size_t>(slave)];
        if (mark != last) {
            last = mark;
            s_.faultChanged(static_cast<int>(index), in);
        }
        const auto state = static_cast<uint8_t>(cia402StateFromStatusWord(in.statusWord));
        uint8_t& lastState = lastStates_[static_cast<size_t>(slave)];
        if (state != lastState) {
            if (lastState != kNoState && s_.scopeOn.load(std::memory_order_relaxed)) {
                s_.scope.postEvent(scope::EventKind::StateChange, static_cast<int>(index),
                                   cycleNumber_, timeNs,
                                   cia402StateName(static_cast<Cia402State>(state)));
            }
            lastState = state;
        }
    }
}

void CycleExchange::countCycle(int receivedWkc, int64_t timeNs) {
    cycleCount_.fetch_add(1, std::memory_order_relaxed);
    if (receivedWkc < s_.expectedWKC.load(std::memory_order_relaxed)) {
        wkcMissCount_.fetch_add(1, std::memory_order_relaxed);
    }
    const int64_t deadline = timerCurrentDeadlineNs();
    int64_t periods = 1;
    if (deadline != 0 && lastCycleDeadlineNs_ != 0 && deadline > lastCycleDeadlineNs_) {
        periods = std::max<int64_t>(1, (deadline - lastCycleDeadlineNs_) / kCyclePeriodNs);
        if (periods > 1) {
            skippedCycleCount_.fetch_add(static_cast<uint64_t>(periods - 1),
                                         std::memory_order_relaxed);
        }
    }
    // A session's first cycle goes on from the master's time: the bus was down in between.
    cycleNumber_ = lastCycleDeadlineNs_ == 0
                       ? std::max(cycleNumber_ + 1, static_cast<uint64_t>(timeNs / kCyclePeriodNs))
                       : cycleNumber_ + static_cast<uint64_t>(periods);
    lastCycleDeadlineNs_ = deadline;
}

void CycleExchange::resetFigures() {
    cycleCount_ = 0;
    skippedCycleCount_ = 0;
    wkcMissCount_ = 0;
    lastCycleDeadlineNs_ = 0;
    faultMarks_.fill(FaultMark{});
    lastStates_.fill(kNoState);
}
