#include "sim/esc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ethercat/stack/protocol.h"
#include "sim/application.h"
#include "sim/bytes.h"
#include "sim/sii.h"

namespace sim {

namespace {

// Error counters.
constexpr uint32_t kRegInvalidFrame = 0x0300;    // + 2 * port; RX error at + 1
constexpr uint32_t kRegForwardedError = 0x0308;  // + port
constexpr uint32_t kRegLostLink = 0x0310;        // + port
}  // namespace

namespace {

constexpr uint16_t kDlStatusPdiOperational = 0x0001;
constexpr uint16_t kDlStatusPdiWatchdogOk = 0x0002;
constexpr uint16_t kDlStatusLinkPort0 = 0x0010;
constexpr uint16_t kDlStatusLinkPort1 = 0x0020;
constexpr uint16_t kDlStatusPort0Comm = 0x0200;
constexpr uint16_t kDlStatusPort1Closed = 0x0400;
constexpr uint16_t kDlStatusPort1Comm = 0x0800;
constexpr uint16_t kDlStatusPorts23Closed = 0x5000;
constexpr uint8_t kSmControlWatchdog = 0x40;
constexpr uint8_t kActivationCyclic = 0x01;
constexpr uint8_t kActivationSync0 = 0x02;
constexpr uint8_t kActivationStatusFirstSync0 = 0x01;
constexpr uint8_t kActivationStatusOutOfRange = 0x04;

bool isOpState(uint8_t s) {
    return s == ec::kAlStateSafeOp || s == ec::kAlStateOp;
}

bool overlaps(uint32_t a0, uint32_t alen, uint32_t b0, uint32_t blen) {
    return a0 < b0 + blen && b0 < a0 + alen;
}

}  // namespace

Esc::Esc(const SlaveConfig& cfg, const Clock& clock)
    : cfg_(cfg), clock_(clock), mem_(kMemorySize, 0), sii_(buildSii(cfg)) {
    hasDc_ = cfg_.kind == SlaveKind::Drive;
    powerUp();
}

void Esc::setApplication(SlaveApplication* app) {
    app_ = app;
    if (app_) {
        app_->attach(*this);
        app_->onPowerUp();
    }
}

void Esc::powerUp() {
    std::fill(mem_.begin(), mem_.end(), 0);
    mem_[ec::kRegType] = 0x11;
    mem_[0x0001] = 0x02;       // revision
    setReg16(0x0002, 0x0003);  // build
    mem_[ec::kRegFmmuCount] = kFmmuCount;
    mem_[ec::kRegSmCount] = kSmCount;
    mem_[ec::kRegRamSize] = 8;
    mem_[ec::kRegPortDescriptor] = 0x0F;  // ports 0 and 1 MII
    setReg16(ec::kRegFeatures, hasDc_ ? 0x000C : 0x0000);
    setReg16(ec::kRegStationAlias, sii_[ec::kSiiAlias]);
    setReg16(ec::kRegAlControl, ec::kAlStateInit);
    mem_[ec::kRegPdiControl] = static_cast<uint8_t>(sii_[ec::kSiiPdiControl]);
    mem_[ec::kRegEscConfig] = static_cast<uint8_t>(sii_[ec::kSiiPdiControl] >> 8);
    setReg16(ec::kRegWatchdogDivider, 2498);
    setReg16(ec::kRegWatchdogPdi, 1000);
    setReg16(ec::kRegWatchdogSm, cfg_.smWatchdogTicks);
    mem_[ec::kRegWatchdogSmStatus] = 0x01;
    setReg16(ec::kRegSiiControl, cfg_.siiReads8Bytes ? ec::kSiiRead8Bytes : 0);
    setReg16(ec::kRegDcSpeedStart, 0x1000);
    setReg16(ec::kRegDcFilterDepth, 0x0C00);
    setReg16(ec::kRegDcPulseLength, sii_[ec::kSiiSyncPulse]);

    state_ = ec::kAlStateInit;
    error_ = false;
    statusCode_ = 0;
    pendingAl_ = false;
    refused_ = cfg_.refusedStates;
    for (int n = 0; n < kSmCount; ++n) {
        resetSmRuntime(n);
        setSmPdiDisabled(n, true);
    }
    powerUpHostNs_ = clock_.nowNs();
    steerNs_ = 0;
    sync0Active_ = false;
    sync0StartNs_ = 0;
    sync0CycleNs_ = 0;
    lastOutputsHostNs_ = powerUpHostNs_;
    wdExpired_ = false;
    mbxQueue_.clear();
    mbxLastSent_.clear();
    passage_ = Passage{powerUpHostNs_, powerUpHostNs_, true};
    pw_ = Pending{};
    publishAlStatus();
    if (app_)
        app_->onPowerUp();
}

// --- register helpers -------------------------------------------------------------------------

uint16_t Esc::reg16(uint16_t a) const {
    return rd16(&mem_[a]);
}
uint32_t Esc::reg32(uint16_t a) const {
    return rd32(&mem_[a]);
}
uint64_t Esc::reg64(uint16_t a) const {
    return rd64(&mem_[a]);
}
void Esc::setReg16(uint16_t a, uint16_t v) {
    wr16(&mem_[a], v);
}
void Esc::setReg32(uint16_t a, uint32_t v) {
    wr32(&mem_[a], v);
}
void Esc::setReg64(uint16_t a, uint64_t v) {
    wr64(&mem_[a], v);
}

Esc::SmView Esc::smView(int n) const {
    const uint16_t base = static_cast<uint16_t>(ec::kRegSm0 + ec::kSmSize * n);
    return SmView{reg16(base), reg16(base + 2), mem_[base + ec::kSmControl],
                  mem_[base + ec::kSmActivate]};
}

void Esc::setSmPdiDisabled(int n, bool disabled) {
    sm_[n].pdiDisabled = disabled;
    uint8_t& pdi = mem_[ec::kRegSm0 + ec::kSmSize * n + ec::kSmPdiControl];
    pdi = static_cast<uint8_t>(disabled ? (pdi | 0x01) : (pdi & ~0x01));
}

void Esc::resetSmRuntime(int n) {
    auto& rt = sm_[n];
    rt.full = false;
    rt.writeOpen = false;
    rt.pending.clear();
    rt.completed = false;
    rt.readDone = false;
    rt.buffersWritten = 0;
}

// --- error counters ---------------------------------------------------------------------------

void Esc::setPort1Link(bool link) {
    if (port1Link_ && !link && mem_[kRegLostLink + 1] < 0xFF)
        ++mem_[kRegLostLink + 1];
    port1Link_ = link;
}

void Esc::countInvalidFrame(int port) {
    uint8_t& c = mem_[kRegInvalidFrame + 2 * static_cast<uint32_t>(port & 3)];
    if (c < 0xFF)
        ++c;
}

void Esc::countForwardedError(int port) {
    uint8_t& c = mem_[kRegForwardedError + static_cast<uint32_t>(port & 3)];
    if (c < 0xFF)
        ++c;
}

// --- time ---------------------------------------------------------------------------------------

int64_t Esc::localTimeNs(int64_t hostNs) const {
    const int64_t elapsed = hostNs - powerUpHostNs_;
    const auto drift =
        static_cast<int64_t>(std::llround(static_cast<double>(elapsed) * cfg_.driftPpm * 1e-6));
    return cfg_.localStartNs + elapsed + drift + steerNs_;
}

int64_t Esc::systemTimeNs(int64_t hostNs) const {
    return localTimeNs(hostNs) + static_cast<int64_t>(reg64(ec::kRegDcSystemOffset));
}

uint64_t Esc::sync0Pulses(int64_t hostNs) const {
    if (!sync0Active_)
        return 0;
    const int64_t sys = systemTimeNs(hostNs);
    if (sys < sync0StartNs_)
        return 0;
    if (sync0CycleNs_ == 0)
        return 1;
    return static_cast<uint64_t>((sys - sync0StartNs_) / sync0CycleNs_) + 1;
}

// Registers whose value depends on time or on state kept outside the register file.
void Esc::refreshDynamic(uint32_t address, size_t len) {
    auto touches = [&](uint32_t a, uint32_t n) { return overlaps(address, len, a, n); };
    const int64_t host = passage_.port0HostNs;
    if (touches(ec::kRegDlStatus, 2)) {
        uint16_t dl = kDlStatusPdiOperational | kDlStatusPdiWatchdogOk | kDlStatusLinkPort0 |
                      kDlStatusPort0Comm | kDlStatusPorts23Closed;
        dl |= port1Link_ ? (kDlStatusLinkPort1 | kDlStatusPort1Comm) : kDlStatusPort1Closed;
        setReg16(ec::kRegDlStatus, dl);
    }
    if (touches(ec::kRegSm0, ec::kSmSize * kSmCount)) {
        for (int n = 0; n < kSmCount; ++n) {
            const SmView sm = smView(n);
            uint8_t status = 0;
            if (sm.mailbox()) {
                if (sm_[n].full)
                    status |= ec::kSmStatusMailboxFull | (sm.ecatWrites() ? 0x01 : 0x02);
            } else {
                // Bits 5:4: the buffer written last, 11 while none has been.
                const uint32_t written = sm_[n].buffersWritten;
                status = static_cast<uint8_t>(written == 0 ? 0x30 : ((written - 1) % 3) << 4);
            }
            mem_[ec::kRegSm0 + ec::kSmSize * n + ec::kSmStatus] = status;
        }
    }
    if (!hasDc_)
        return;
    if (touches(ec::kRegDcSystemTime, 8)) {
        const int64_t sys = systemTimeNs(host) - static_cast<int64_t>(reg32(ec::kRegDcSystemDelay));
        setReg64(ec::kRegDcSystemTime, static_cast<uint64_t>(sys));
    }
    if (touches(ec::kRegDcActivationStatus, 1) || touches(ec::kRegDcStartTime, 8)) {
        if (sync0Active_) {
            const int64_t sys = systemTimeNs(host);
            uint8_t& status = mem_[ec::kRegDcActivationStatus];
            if (sys >= sync0StartNs_)
                status &= static_cast<uint8_t>(~kActivationStatusFirstSync0);
            int64_t next = sync0StartNs_;
            if (sys >= sync0StartNs_ && sync0CycleNs_ > 0)
                next = sync0StartNs_ + ((sys - sync0StartNs_) / sync0CycleNs_ + 1) * sync0CycleNs_;
            setReg64(ec::kRegDcStartTime, static_cast<uint64_t>(next));
        }
    }
}

// --- physical access -----------------------------------------------------------------------------

int Esc::smAt(uint32_t address, uint32_t* windowEnd) const {
    for (int n = 0; n < kSmCount; ++n) {
        const SmView sm = smView(n);
        if (sm.enabled() && address >= sm.start && address < uint32_t{sm.start} + sm.len) {
            *windowEnd = uint32_t{sm.start} + sm.len;
            return n;
        }
    }
    return -1;
}

uint32_t Esc::nextSmStart(uint32_t address) const {
    uint32_t next = UINT32_MAX;
    for (int n = 0; n < kSmCount; ++n) {
        const SmView sm = smView(n);
        if (sm.enabled() && sm.start > address)
            next = std::min<uint32_t>(next, sm.start);
    }
    return next;
}

template <class F>
bool Esc::forEachPhysRegion(uint32_t address, size_t len, F&& f) {
    bool counted = false;
    size_t i = 0;
    while (i < len) {
        const uint32_t a = address + static_cast<uint32_t>(i);
        const size_t rest = len - i;
        PhysRegion region = PhysRegion::Unmapped;
        int sm = -1;
        size_t n = rest;
        if (a < kRegisterEnd) {
            region = PhysRegion::Registers;
            n = std::min<size_t>(rest, kRegisterEnd - a);
        } else if (a < kMemorySize) {
            uint32_t windowEnd = 0;
            sm = smAt(a, &windowEnd);
            if (sm >= 0) {
                region = PhysRegion::SyncManager;
                n = std::min<size_t>(rest, windowEnd - a);
            } else {
                region = PhysRegion::Ram;
                n = std::min<size_t>(rest, std::min(kMemorySize, nextSmStart(a)) - a);
            }
        }
        counted |= f(region, sm, a, i, n);
        i += n;
    }
    return counted;
}

bool Esc::physRead(uint32_t address, uint8_t* out, size_t len) {
    return forEachPhysRegion(address, len,
                             [&](PhysRegion region, int sm, uint32_t a, size_t i, size_t n) {
                                 switch (region) {
                                     case PhysRegion::Registers:
                                         readRegisters(a, out + i, n);
                                         return true;
                                     case PhysRegion::SyncManager:
                                         return smRead(sm, smView(sm), a, out + i, n);
                                     case PhysRegion::Ram:
                                         std::memcpy(out + i, &mem_[a], n);
                                         return true;
                                     case PhysRegion::Unmapped:
                                         std::memset(out + i, 0, n);  // not implemented: reads as 0
                                         return true;
                                 }
                                 return false;
                             });
}

bool Esc::physWrite(uint32_t address, const uint8_t* in, size_t len) {
    return forEachPhysRegion(
        address, len, [&](PhysRegion region, int sm, uint32_t a, size_t i, size_t n) {
            switch (region) {
                case PhysRegion::Registers:
                    writeRegisters(a, in + i, n);
                    return true;
                case PhysRegion::SyncManager:
                    return smWrite(sm, smView(sm), a, in + i, n);
                case PhysRegion::Ram:
                    std::memcpy(&mem_[a], in + i, n);
                    return true;
                case PhysRegion::Unmapped:
                    return true;  // writes to unimplemented memory vanish but still count
            }
            return false;
        });
}

void Esc::readRegisters(uint32_t address, uint8_t* out, size_t len) {
    refreshDynamic(address, len);
    std::memcpy(out, &mem_[address], len);
}

void Esc::writeRegisters(uint32_t address, const uint8_t* in, size_t len) {
    size_t refused = 0;
    uint32_t first = 0;
    for (size_t i = 0; i < len; ++i) {
        const uint32_t a = address + static_cast<uint32_t>(i);
        if (!writeRegisterByte(a, in[i]) && refused++ == 0)
            first = a;
    }
    if (refused > 0) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "write of %zu byte(s) at 0x%04X: %zu byte(s) from 0x%04X not writable", len,
                      address, refused, first);
        noteRefusal(text);
    }
}

void Esc::noteRefusal(std::string what) {
    if (refusals_.size() < kMaxRefusals)
        refusals_.push_back(std::move(what));
}

// Which register bytes ECAT may write, and what a write sets off. Everything not listed is
// read-only or reserved and ignores the write. The status and PDI bytes of a SyncManager and the
// reserved tail of an FMMU belong to the record a master writes whole; they are not refused.
bool Esc::writeRegisterByte(uint32_t a, uint8_t v) {
    auto in = [a](uint32_t first, uint32_t count) { return a >= first && a < first + count; };
    if (in(ec::kRegStationAddress, 2) || in(ec::kRegDlControl, 4) || in(ec::kRegEcatEventMask, 2) ||
        in(ec::kRegAlEventMask, 4) || in(ec::kRegWatchdogDivider, 2) ||
        in(ec::kRegWatchdogPdi, 2) || in(ec::kRegWatchdogSm, 2) || in(ec::kRegSiiAddress, 12)) {
        mem_[a] = v;
    } else if (in(ec::kRegAlControl, 2)) {
        mem_[a] = v;
        pw_.alControl = true;
    } else if (in(ec::kRegRxErrorCounter, 14)) {
        pw_.errorCounters = true;
    } else if (in(kRegLostLink, 4)) {
        pw_.lostLinkCounters = true;
    } else if (a == ec::kRegSiiConfig) {
        mem_[a] = v & 0x03;
    } else if (a == ec::kRegSiiControl) {
        mem_[a] = static_cast<uint8_t>((mem_[a] & ~0x01) | (v & 0x01));  // write enable only
        pw_.siiControl = true;
    } else if (a == ec::kRegSiiControl + 1) {
        mem_[a] = static_cast<uint8_t>((mem_[a] & ~0x07) | (v & 0x07));  // command bits only
        pw_.siiControl = true;
    } else if (in(ec::kRegFmmu0, ec::kFmmuSize * kFmmuCount)) {
        const uint32_t b = (a - ec::kRegFmmu0) % ec::kFmmuSize;
        if (b < 13)
            mem_[a] = v;
        if (b == 12)
            pw_.fmmuActivate |= static_cast<uint8_t>(1u << ((a - ec::kRegFmmu0) / ec::kFmmuSize));
    } else if (in(ec::kRegSm0, ec::kSmSize * kSmCount)) {
        const int n = static_cast<int>((a - ec::kRegSm0) / ec::kSmSize);
        const uint32_t b = (a - ec::kRegSm0) % ec::kSmSize;
        const uint32_t base = ec::kRegSm0 + ec::kSmSize * static_cast<uint32_t>(n);
        if (b < ec::kSmStatus) {
            // Start, length and control are fixed while the SyncManager is active: enabled by
            // the master and not deactivated by the firmware (as it does in INIT for the mailbox,
            // so that a master can move it to the bootstrap window).
            if (!(mem_[base + ec::kSmActivate] & ec::kSmActivateEnable) ||
                (mem_[base + ec::kSmPdiControl] & 0x01)) {
                mem_[a] = v;
                pw_.smConfig = static_cast<uint8_t>(pw_.smConfig | (1u << n));
            }
        } else if (b == ec::kSmActivate) {
            if (!(pw_.smActivate & (1u << n))) {
                pw_.smActivateBefore[n] = mem_[a];
                pw_.smActivate = static_cast<uint8_t>(pw_.smActivate | (1u << n));
            }
            mem_[a] = v & 0xC3;
        }
    } else if (!hasDc_) {
        return in(0x0900, 0x100);  // no DC unit: its registers are absent, as on any such slave
    } else if (in(ec::kRegDcRecvTimePort0, 4)) {
        pw_.dcLatch = true;
    } else if (in(ec::kRegDcSystemTime, 8)) {
        pw_.sysTime = true;
        pw_.sysTimeBytes[a - ec::kRegDcSystemTime] = v;
        pw_.sysTimeMask =
            static_cast<uint8_t>(pw_.sysTimeMask | (1u << (a - ec::kRegDcSystemTime)));
    } else if (in(ec::kRegDcSystemOffset, 12) || in(ec::kRegDcSpeedStart, 2) ||
               in(ec::kRegDcFilterDepth, 2) || in(ec::kRegDcCyclicControl, 1) ||
               in(ec::kRegDcStartTime, 8) || in(ec::kRegDcSync0Cycle, 8)) {
        mem_[a] = v;
    } else if (a == ec::kRegDcActivation) {
        mem_[a] = v;
        pw_.activation = true;
    } else {
        return false;
    }
    return true;
}

void Esc::checkSmEnable(int n) {
    const SmView sm = smView(n);
    if (!(sm.activate & ec::kSmActivateEnable))
        return;
    const char* why = nullptr;
    if (sm.len == 0)
        why = "length 0";
    else if (sm.start < kRegisterEnd)
        why = "its window in the registers";
    else if (uint32_t{sm.start} + sm.len > kMemorySize)
        why = "its window past the process RAM";
    if (why == nullptr)
        return;
    mem_[ec::kRegSm0 + ec::kSmSize * n + ec::kSmActivate] &=
        static_cast<uint8_t>(~ec::kSmActivateEnable);
    char text[160];
    std::snprintf(text, sizeof text, "SM%d enabled with %s (0x%04X, length %u)", n, why, sm.start,
                  sm.len);
    noteRefusal(text);
}

void Esc::checkFmmuEnable(int n) {
    uint8_t* f = &mem_[ec::kRegFmmu0 + ec::kFmmuSize * n];
    if (!(f[12] & 0x01))
        return;
    const uint32_t len = rd16(f + 4);
    const char* why = nullptr;
    if (len == 0) {
        why = "length 0";
    } else if (f[6] > 7 || f[7] > 7 || f[10] > 7) {
        why = "a bit offset past 7";
    } else if (!(f[11] & (ec::kFmmuTypeRead | ec::kFmmuTypeWrite))) {
        why = "neither read nor write";
    } else if (len == 1 && f[7] < f[6]) {
        why = "its end bit before its start bit";
    } else {
        const uint64_t bits = (uint64_t{len} - 1) * 8 + f[7] + 1 - f[6];
        if ((uint64_t{rd16(f + 8)} * 8 + f[10] + bits + 7) / 8 > kMemorySize)
            why = "its physical range past the memory";
    }
    if (why == nullptr)
        return;
    f[12] &= static_cast<uint8_t>(~0x01);
    char text[160];
    std::snprintf(text, sizeof text, "FMMU%d enabled with %s (logical 0x%08X, length %u)", n, why,
                  rd32(f), len);
    noteRefusal(text);
}

bool Esc::smRead(int n, const SmView& sm, uint32_t address, uint8_t* out, size_t len) {
    auto& rt = sm_[n];
    if (rt.pdiDisabled)
        return false;
    const uint32_t end = uint32_t{sm.start} + sm.len;
    if (sm.mailbox() && !sm.ecatWrites()) {
        if (!rt.full)
            return false;  // nothing to read: the master must retry
        std::memcpy(out, &mem_[address], len);
        if (address + len == end) {
            rt.full = false;
            rt.readDone = true;
            mbxLastSent_.assign(mem_.begin() + sm.start, mem_.begin() + end);
        }
        return true;
    }
    std::memcpy(out, &mem_[address], len);
    return true;
}

bool Esc::smWrite(int n, const SmView& sm, uint32_t address, const uint8_t* in, size_t len) {
    auto& rt = sm_[n];
    if (rt.pdiDisabled || !sm.ecatWrites())
        return false;
    const uint32_t end = uint32_t{sm.start} + sm.len;
    if (sm.mailbox()) {
        if (rt.full)
            return false;  // previous message not yet taken by the firmware
        std::memcpy(&mem_[address], in, len);
        if (address + len == end) {
            rt.full = true;
            rt.completed = true;
        }
        return true;
    }
    // Buffered: the new buffer becomes visible only once written up to its last byte.
    if (address == sm.start || !rt.writeOpen) {
        rt.pending.assign(mem_.begin() + sm.start, mem_.begin() + end);
        rt.writeOpen = true;
    }
    std::memcpy(rt.pending.data() + (address - sm.start), in, len);
    if (address + len == end) {
        std::copy(rt.pending.begin(), rt.pending.end(), mem_.begin() + sm.start);
        rt.writeOpen = false;
        rt.completed = true;
        ++rt.buffersWritten;
        if (sm.control & kSmControlWatchdog) {
            lastOutputsHostNs_ = passage_.port0HostNs;
            wdExpired_ = false;
            mem_[ec::kRegWatchdogSmStatus] = 0x01;
        }
    }
    return true;
}

// --- logical access ------------------------------------------------------------------------------

uint16_t Esc::logicalAccess(uint8_t cmd, uint32_t logical, uint8_t* data, uint16_t len) {
    const bool wantRead = cmd == static_cast<uint8_t>(ec::Command::LRD) ||
                          cmd == static_cast<uint8_t>(ec::Command::LRW);
    const bool wantWrite = cmd == static_cast<uint8_t>(ec::Command::LWR) ||
                           cmd == static_cast<uint8_t>(ec::Command::LRW);
    const uint64_t d0 = uint64_t{logical} * 8;
    const uint64_t d1 = d0 + uint64_t{len} * 8;  // exclusive
    bool didRead = false;
    bool didWrite = false;
    uint8_t buf[2 * ec::kMaxDatagramData];

    // Writes first, so that a byte both written and read in this slave reads back the new value
    // only through the next frame, as the outputs take effect after the frame passed.
    for (int pass = 0; pass < 2; ++pass) {
        const bool writing = pass == 0;
        if (writing ? !wantWrite : !wantRead)
            continue;
        for (int i = 0; i < kFmmuCount; ++i) {
            const uint8_t* f = &mem_[ec::kRegFmmu0 + ec::kFmmuSize * i];
            const uint32_t logStart = rd32(f);
            const uint16_t flen = rd16(f + 4);
            const uint8_t type = f[11];
            if (!(f[12] & 0x01) || flen == 0)
                continue;
            if (!(type & (writing ? ec::kFmmuTypeWrite : ec::kFmmuTypeRead)))
                continue;
            const uint64_t l0 = uint64_t{logStart} * 8 + (f[6] & 7);
            const uint64_t l1 = (uint64_t{logStart} + flen - 1) * 8 + (f[7] & 7) + 1;  // excl.
            const uint64_t b0 = std::max(l0, d0);
            const uint64_t b1 = std::min(l1, d1);
            if (b0 >= b1)
                continue;
            const uint64_t physBit0 = uint64_t{rd16(f + 8)} * 8 + (f[10] & 7) + (b0 - l0);
            const uint64_t physBit1 = physBit0 + (b1 - b0);  // exclusive
            const uint32_t p0 = static_cast<uint32_t>(physBit0 / 8);
            const size_t pn = static_cast<size_t>((physBit1 + 7) / 8 - p0);
            if (pn > sizeof(buf))
                continue;
            const bool aligned = (b0 % 8) == 0 && (b1 % 8) == 0 && (physBit0 % 8) == 0;
            const size_t dOff = static_cast<size_t>((b0 - d0) / 8);
            if (writing) {
                if (aligned) {
                    std::memcpy(buf, data + dOff, pn);
                } else {
                    std::memcpy(buf, &mem_[std::min<uint32_t>(p0, kMemorySize - 1)],
                                std::min<size_t>(pn, kMemorySize - std::min(p0, kMemorySize)));
                    for (uint64_t b = b0; b < b1; ++b) {
                        const uint64_t db = b - d0;
                        const uint64_t pb = physBit0 + (b - b0) - uint64_t{p0} * 8;
                        const bool bit = (data[db / 8] >> (db % 8)) & 1;
                        buf[pb / 8] = static_cast<uint8_t>(bit ? buf[pb / 8] | (1u << (pb % 8))
                                                               : buf[pb / 8] & ~(1u << (pb % 8)));
                    }
                }
                didWrite |= physWrite(p0, buf, pn);
            } else {
                if (!physRead(p0, buf, pn))
                    continue;
                didRead = true;
                if (aligned) {
                    std::memcpy(data + dOff, buf, pn);
                } else {
                    for (uint64_t b = b0; b < b1; ++b) {
                        const uint64_t db = b - d0;
                        const uint64_t pb = physBit0 + (b - b0) - uint64_t{p0} * 8;
                        const bool bit = (buf[pb / 8] >> (pb % 8)) & 1;
                        data[db / 8] = static_cast<uint8_t>(bit ? data[db / 8] | (1u << (db % 8))
                                                                : data[db / 8] & ~(1u << (db % 8)));
                    }
                }
            }
        }
    }
    if (cmd == static_cast<uint8_t>(ec::Command::LRW))
        return (didRead ? 1 : 0) + (didWrite ? 2 : 0);
    return (didRead || didWrite) ? 1 : 0;
}

// --- datagrams -----------------------------------------------------------------------------------

void Esc::beginFrame(const Passage& passage) {
    passage_ = passage;
}

void Esc::ignoreAccesses(uint16_t address, AccessKind kind, int count) {
    auto& [reads, writes] = ignored_[address];
    (kind == AccessKind::Read ? reads : writes) = std::max(count, 0);
    if (reads + writes == 0)
        ignored_.erase(address);
}

bool Esc::processDatagram(uint8_t* header, uint8_t* data, uint16_t len, uint8_t* wkc) {
    using ec::Command;
    const auto cmd = static_cast<Command>(header[0]);
    const uint16_t adp = rd16(header + 2);
    const uint16_t ado = rd16(header + 4);
    const bool fixedMatch = adp == reg16(ec::kRegStationAddress) ||
                            ((mem_[ec::kRegDlAlias] & 0x01) && adp == reg16(ec::kRegStationAlias));
    const auto incrementAdp = [&] { wr16(header + 2, static_cast<uint16_t>(adp + 1)); };
    uint8_t incoming[2 * ec::kMaxDatagramData];
    uint16_t inc = 0;

    // kind: 0 read, 1 write, 2 read-then-write (the returned data is what memory held before).
    const auto access = [&](int kind) -> uint16_t {
        switch (kind) {
            case 0:
                return physRead(ado, data, len) ? 1 : 0;
            case 1:
                return physWrite(ado, data, len) ? 1 : 0;
            default: {
                std::memcpy(incoming, data, len);
                const bool r = physRead(ado, data, len);
                const bool w = physWrite(ado, incoming, len);
                return static_cast<uint16_t>((r ? 1 : 0) + (w ? 2 : 0));
            }
        }
    };
    const auto broadcastRead = [&]() -> bool {
        uint8_t mem[2 * ec::kMaxDatagramData];
        std::memset(mem, 0, len);
        if (!physRead(ado, mem, len))
            return false;
        for (uint16_t i = 0; i < len; ++i)
            data[i] |= mem[i];
        return true;
    };

    // An access this slave is set to ignore uses one up and goes unanswered.
    const auto dropped = [&](int kind) {
        const int end = ado + len;
        for (auto it = ignored_.lower_bound(ado); it != ignored_.end() && it->first < end; ++it) {
            auto& [reads, writes] = it->second;
            int* left = kind != 1 && reads > 0    ? &reads
                        : kind != 0 && writes > 0 ? &writes
                                                  : nullptr;
            if (!left)
                continue;
            if (--*left == 0 && reads + writes == 0)
                ignored_.erase(it);
            return true;
        }
        return false;
    };

    // Position and station addresses name one slave; broadcast and logical ones name them all.
    bool named = true;
    switch (cmd) {
        case Command::APRD:
        case Command::APWR:
        case Command::APRW: {
            incrementAdp();
            const int kind = header[0] - static_cast<uint8_t>(Command::APRD);
            named = adp == 0;
            if (named && !dropped(kind))
                inc = access(kind);
            break;
        }
        case Command::FPRD:
        case Command::FPWR:
        case Command::FPRW: {
            const int kind = header[0] - static_cast<uint8_t>(Command::FPRD);
            named = fixedMatch;
            if (named && !dropped(kind))
                inc = access(kind);
            break;
        }
        case Command::BRD:
            incrementAdp();
            inc = !dropped(0) && broadcastRead() ? 1 : 0;
            break;
        case Command::BWR:
            incrementAdp();
            inc = !dropped(1) && physWrite(ado, data, len) ? 1 : 0;
            break;
        case Command::BRW: {
            incrementAdp();
            if (dropped(2))
                break;
            std::memcpy(incoming, data, len);
            const bool r = broadcastRead();
            const bool w = physWrite(ado, incoming, len);
            inc = static_cast<uint16_t>((r ? 1 : 0) + (w ? 2 : 0));
            break;
        }
        case Command::LRD:
        case Command::LWR:
        case Command::LRW:
            inc = logicalAccess(header[0], rd32(header + 2), data, len);
            break;
        case Command::ARMW: {
            incrementAdp();
            named = adp == 0;
            const int kind = named ? 0 : 1;
            if (!dropped(kind))
                inc = access(kind);
            break;
        }
        case Command::FRMW: {
            named = fixedMatch;
            const int kind = named ? 0 : 1;
            if (!dropped(kind))
                inc = access(kind);
            break;
        }
        default:
            break;
    }
    if (inc)
        wr16(wkc, static_cast<uint16_t>(rd16(wkc) + inc));
    afterWrite();
    return named;
}

void Esc::afterWrite() {
    Pending p = pw_;
    pw_ = Pending{};
    if (p.errorCounters)
        std::fill(mem_.begin() + kRegInvalidFrame, mem_.begin() + kRegInvalidFrame + 14, 0);
    if (p.lostLinkCounters)
        std::fill(mem_.begin() + kRegLostLink, mem_.begin() + kRegLostLink + 4, 0);
    for (int n = 0; n < kFmmuCount; ++n)
        if (p.fmmuActivate & (1u << n))
            checkFmmuEnable(n);
    for (int n = 0; n < kSmCount; ++n) {
        if ((p.smActivate | p.smConfig) & (1u << n))
            checkSmEnable(n);
        if (!(p.smActivate & (1u << n)))
            continue;
        const uint32_t base = ec::kRegSm0 + ec::kSmSize * static_cast<uint32_t>(n);
        const uint8_t now = mem_[base + ec::kSmActivate];
        if ((now ^ p.smActivateBefore[n]) & ec::kSmActivateEnable)
            resetSmRuntime(n);
        uint8_t& pdi = mem_[base + ec::kSmPdiControl];
        if ((now & ec::kSmActivateRepeat) != (pdi & ec::kSmPdiRepeatAck)) {
            // Repeat request: the firmware puts the last message back and acknowledges.
            const SmView sm = smView(n);
            if (sm.mailbox() && !sm.ecatWrites() && !mbxLastSent_.empty() && sm.enabled()) {
                // A newer message already waiting goes back into the queue, behind the repeat.
                if (sm_[n].full)
                    mbxQueue_.push_front({std::vector<uint8_t>(mem_.begin() + sm.start,
                                                               mem_.begin() + sm.start + sm.len),
                                          false});
                const size_t count = std::min<size_t>(mbxLastSent_.size(), sm.len);
                std::copy_n(mbxLastSent_.begin(), count, mem_.begin() + sm.start);
                sm_[n].full = true;
            }
            pdi =
                static_cast<uint8_t>((pdi & ~ec::kSmPdiRepeatAck) | (now & ec::kSmActivateRepeat));
        }
    }
    if (p.dcLatch)
        dcLatch();
    if (p.sysTime)
        dcSystemTimeWrite(p.sysTimeBytes, p.sysTimeMask);
    if (p.activation)
        dcActivation();
    if (p.siiControl)
        siiCommand();
    if (p.alControl)
        requestAlControl(reg16(ec::kRegAlControl));
}

void Esc::endFrame() {
    for (int n = 0; n < kSmCount; ++n) {
        auto& rt = sm_[n];
        if (!rt.completed)
            continue;
        rt.completed = false;
        const SmView sm = smView(n);
        if (!sm.enabled())
            continue;  // moved away by a later datagram of the same frame
        std::span<const uint8_t> window(&mem_[sm.start], sm.len);
        if (sm.mailbox()) {
            // The firmware takes the message out at once, freeing the mailbox for the next.
            std::vector<uint8_t> message(window.begin(), window.end());
            rt.full = false;
            if (app_)
                app_->onMailbox(message);
        } else if (app_) {
            app_->onOutputs(n, window, state_ == ec::kAlStateOp && !error_);
        }
    }
    for (auto& rt : sm_)
        rt.readDone = false;
    loadMailbox();
}

void Esc::poll() {
    const int64_t now = clock_.nowNs();
    passage_.port0HostNs = now;
    passage_.port1HostNs = now;
    if (pendingAl_ && now >= pendingAlDueNs_) {
        pendingAl_ = false;
        applyAlControl(pendingAlControl_);
    }
    checkWatchdog(now);
}

// --- SII -----------------------------------------------------------------------------------------

void Esc::siiCommand() {
    uint16_t ctl = reg16(ec::kRegSiiControl);
    const uint16_t cmd = ctl & ec::kSiiCmdMask;
    uint16_t errors = 0;
    const uint32_t address = reg32(ec::kRegSiiAddress);
    switch (cmd) {
        case 0:
            break;  // idle: clears the error bits
        case ec::kSiiCmdRead: {
            const int words = (ctl & ec::kSiiRead8Bytes) ? 4 : 2;
            for (int i = 0; i < words; ++i) {
                const uint32_t w = address + static_cast<uint32_t>(i);
                setReg16(static_cast<uint16_t>(ec::kRegSiiData + 2 * i),
                         w < sii_.size() ? sii_[w] : 0xFFFF);
            }
            break;
        }
        case ec::kSiiCmdWrite:
            if (!(ctl & 0x0001)) {
                errors |= 0x4000;  // write enable missing
            } else if (address < sii_.size()) {
                sii_[address] = reg16(ec::kRegSiiData);
            } else {
                errors |= ec::kSiiErrorAck;  // past the EEPROM: not acknowledged
            }
            break;
        case ec::kSiiCmdReload:
            setReg16(ec::kRegStationAlias, sii_[ec::kSiiAlias]);
            mem_[ec::kRegPdiControl] = static_cast<uint8_t>(sii_[ec::kSiiPdiControl]);
            mem_[ec::kRegEscConfig] = static_cast<uint8_t>(sii_[ec::kSiiPdiControl] >> 8);
            break;
        default:
            errors |= ec::kSiiErrorAck;  // invalid command
            break;
    }
    // The EEPROM is instant: never busy; the command bits and write enable clear when done.
    ctl = static_cast<uint16_t>(
        (ctl & ~(ec::kSiiCmdMask | ec::kSiiErrorMask | ec::kSiiBusy | 0x0001)) | errors);
    setReg16(ec::kRegSiiControl, ctl);
}

// --- distributed clocks --------------------------------------------------------------------------

void Esc::dcLatch() {
    const int64_t t0 = localTimeNs(passage_.port0HostNs);
    const int64_t t1 = passage_.lastInLine ? t0 : localTimeNs(passage_.port1HostNs);
    setReg32(ec::kRegDcRecvTimePort0, static_cast<uint32_t>(t0));
    setReg32(ec::kRegDcRecvTimePort1, static_cast<uint32_t>(t1));
    setReg32(ec::kRegDcRecvTimePort2, static_cast<uint32_t>(t0));
    setReg32(ec::kRegDcRecvTimePort3, static_cast<uint32_t>(t0));
    setReg64(ec::kRegDcRecvTimeUnit, static_cast<uint64_t>(t0));
}

// A written system time is not stored: it steers the local clock towards the reference.
void Esc::dcSystemTimeWrite(const uint8_t* bytes, uint8_t mask) {
    const int64_t mine =
        systemTimeNs(passage_.port0HostNs) - static_cast<int64_t>(reg32(ec::kRegDcSystemDelay));
    int64_t diff = 0;
    if (mask == 0xFF) {
        diff = static_cast<int64_t>(rd64(bytes) - static_cast<uint64_t>(mine));
    } else {
        diff = static_cast<int32_t>(rd32(bytes) - static_cast<uint32_t>(mine));
    }
    steerNs_ += std::clamp<int64_t>(diff / 4, -5000, 5000);
    const uint64_t magnitude =
        std::min<uint64_t>(static_cast<uint64_t>(diff < 0 ? -diff : diff), 0x7FFFFFFF);
    setReg32(ec::kRegDcSystemDiff,
             static_cast<uint32_t>(magnitude) | (diff > 0 ? 0x80000000u : 0u));
}

void Esc::dcActivation() {
    const uint8_t act = mem_[ec::kRegDcActivation];
    uint8_t& status = mem_[ec::kRegDcActivationStatus];
    if ((act & kActivationCyclic) && (act & kActivationSync0)) {
        sync0StartNs_ = static_cast<int64_t>(reg64(ec::kRegDcStartTime));
        sync0CycleNs_ = reg32(ec::kRegDcSync0Cycle);
        if (sync0StartNs_ < systemTimeNs(passage_.port0HostNs)) {
            sync0Active_ = false;  // start time already passed: never fires
            status = kActivationStatusOutOfRange;
        } else {
            sync0Active_ = true;
            status = kActivationStatusFirstSync0;
        }
    } else {
        sync0Active_ = false;
        status = 0;
    }
}

// --- mailbox -------------------------------------------------------------------------------------

void Esc::pdiSendMailbox(std::vector<uint8_t> message) {
    mbxQueue_.push_back({std::move(message), false});
    loadMailbox();
}

void Esc::pdiLoseMailbox(std::vector<uint8_t> message) {
    mbxQueue_.push_back({std::move(message), true});
    loadMailbox();
}

void Esc::loadMailbox() {
    for (int n = 0; n < kSmCount && !mbxQueue_.empty(); ++n) {
        const SmView sm = smView(n);
        if (!sm.enabled() || !sm.mailbox() || sm.ecatWrites() || sm_[n].pdiDisabled)
            continue;
        while (!mbxQueue_.empty() && !sm_[n].full) {
            QueuedMessage msg = std::move(mbxQueue_.front());
            mbxQueue_.pop_front();
            std::vector<uint8_t> window(sm.len, 0);
            std::copy_n(msg.bytes.begin(), std::min<size_t>(msg.bytes.size(), sm.len),
                        window.begin());
            if (msg.lost) {
                mbxLastSent_ = std::move(window);
                continue;
            }
            std::copy(window.begin(), window.end(), mem_.begin() + sm.start);
            sm_[n].full = true;
        }
        return;
    }
}

bool Esc::pdiWriteBuffer(int n, std::span<const uint8_t> data) {
    if (n < 0 || n >= kSmCount)
        return false;
    const SmView sm = smView(n);
    if (!sm.inRam())
        return false;
    std::copy_n(data.begin(), std::min<size_t>(data.size(), sm.len), mem_.begin() + sm.start);
    return true;
}

std::span<const uint8_t> Esc::smWindow(int n) const {
    if (n < 0 || n >= kSmCount)
        return {};
    const SmView sm = smView(n);
    if (!sm.inRam())
        return {};
    return {&mem_[sm.start], sm.len};
}

// --- AL state machine ----------------------------------------------------------------------------

void Esc::requestAlControl(uint16_t control) {
    mem_[ec::kRegAlEventRequest] |= 0x01;
    int64_t delay = cfg_.alTransitionDelayNs;
    if ((control & ec::kAlStateMask) == ec::kAlStateBoot && state_ != ec::kAlStateBoot)
        delay += cfg_.bootDelayNs;  // the bootloader takes its time to start
    if (delay > 0) {
        pendingAl_ = true;
        pendingAlControl_ = control;
        pendingAlDueNs_ = clock_.nowNs() + delay;
        return;
    }
    applyAlControl(control);
}

void Esc::applyAlControl(uint16_t control) {
    const auto req = static_cast<uint8_t>(control & ec::kAlStateMask);
    const bool ack = control & ec::kAlStateAck;
    if (error_) {
        // With the error indicated, only an acknowledge or a request for INIT is served.
        if (!ack && req != ec::kAlStateInit)
            return;
        if (ack) {
            error_ = false;
            statusCode_ = 0;
            if (isOpState(state_)) {
                for (int n = 0; n < kSmCount; ++n)
                    if (!smView(n).mailbox())
                        setSmPdiDisabled(n, false);
                lastOutputsHostNs_ = clock_.nowNs();
                wdExpired_ = false;
                mem_[ec::kRegWatchdogSmStatus] = 0x01;
            }
        }
    }
    if (req == state_) {
        publishAlStatus();
        return;
    }
    if (const uint16_t code = checkTransition(state_, req)) {
        refuse(code);
        return;
    }
    enterState(req);
}

uint16_t Esc::checkMailboxSms(uint16_t siiWord, uint16_t code) const {
    const uint16_t rxStart = sii_[siiWord], rxLen = sii_[siiWord + 1];
    const uint16_t txStart = sii_[siiWord + 2], txLen = sii_[siiWord + 3];
    if (rxLen == 0 && txLen == 0)
        return 0;  // no mailbox
    const SmView rx = smView(0), tx = smView(1);
    const bool rxOk =
        rx.enabled() && rx.start == rxStart && rx.len == rxLen && rx.mailbox() && rx.ecatWrites();
    const bool txOk =
        tx.enabled() && tx.start == txStart && tx.len == txLen && tx.mailbox() && !tx.ecatWrites();
    if (!rxOk || !txOk || overlaps(rx.start, rx.len, tx.start, tx.len))
        return code;
    return 0;
}

uint16_t Esc::checkProcessDataSms() const {
    const ProcessDataSizes size = processDataSizes(cfg_.kind);
    if (size.outputs == 0 && size.inputs == 0)
        return 0;
    const SmView o = smView(2), i = smView(3);
    auto buffersInRam = [](const SmView& sm) {  // all three buffers of a buffered SyncManager
        return sm.start >= kRegisterEnd && uint32_t{sm.start} + 3u * sm.len <= kMemorySize;
    };
    if (!o.enabled() || o.len != size.outputs || o.mailbox() || (o.control & 0x03) != 0 ||
        !o.ecatWrites() || !buffersInRam(o))
        return ec::kAlInvalidOutputConfig;
    if (!i.enabled() || i.len != size.inputs || (i.control & 0x03) != 0 || i.ecatWrites() ||
        !buffersInRam(i))
        return ec::kAlInvalidInputConfig;
    // An FMMU may read back the outputs, but nothing may write into the inputs.
    for (int f = 0; f < kFmmuCount; ++f) {
        const uint8_t* fm = &mem_[ec::kRegFmmu0 + ec::kFmmuSize * f];
        if ((fm[12] & 0x01) && (fm[11] & ec::kFmmuTypeWrite) && rd16(fm + 4) > 0 &&
            overlaps(rd16(fm + 8), rd16(fm + 4), i.start, i.len))
            return ec::kAlInvalidInputFmmu;
    }
    // Buffered SyncManagers occupy three times their length.
    const SmView m0 = smView(0), m1 = smView(1);
    const std::array<std::pair<uint32_t, uint32_t>, 4> areas{
        {{m0.start, m0.len}, {m1.start, m1.len}, {o.start, 3u * o.len}, {i.start, 3u * i.len}}};
    for (size_t a = 0; a < areas.size(); ++a)
        for (size_t b = a + 1; b < areas.size(); ++b)
            if (areas[a].second && areas[b].second &&
                overlaps(areas[a].first, areas[a].second, areas[b].first, areas[b].second))
                return ec::kAlInvalidSmConfig;
    return 0;
}

uint16_t Esc::checkTransition(uint8_t from, uint8_t to) const {
    using namespace ec;
    if (to != kAlStateInit && to != kAlStatePreOp && to != kAlStateBoot && to != kAlStateSafeOp &&
        to != kAlStateOp)
        return kAlUnknownState;
    if (auto it = refused_.find(to); it != refused_.end())
        return it->second;
    uint16_t code = 0;
    switch (from) {
        case kAlStateInit:
            if (to == kAlStatePreOp) {
                code = checkMailboxSms(kSiiStdRxMailbox, kAlInvalidMailboxPreOp);
            } else if (to == kAlStateBoot) {
                code = sii_[kSiiBootRxMailbox + 1] == 0
                           ? uint16_t{kAlBootstrapNotSupported}
                           : checkMailboxSms(kSiiBootRxMailbox, kAlInvalidMailboxBoot);
            } else {
                code = kAlInvalidStateChange;
            }
            break;
        case kAlStatePreOp:
            if (to == kAlStateSafeOp)
                code = checkProcessDataSms();
            else if (to != kAlStateInit)
                code = kAlInvalidStateChange;
            break;
        case kAlStateBoot:
            if (to != kAlStateInit)
                code = kAlInvalidStateChange;
            break;
        case kAlStateSafeOp:
        case kAlStateOp:
            if (to == kAlStateBoot)
                code = kAlInvalidStateChange;
            break;
        default:
            break;
    }
    if (code == 0 && app_)
        code = app_->checkTransition(from, to);
    return code;
}

void Esc::enterState(uint8_t to) {
    using namespace ec;
    const uint8_t from = state_;
    const int64_t now = clock_.nowNs();
    if (isOpState(from) && !isOpState(to)) {
        for (int n = 0; n < kSmCount; ++n)
            if (!smView(n).mailbox())
                setSmPdiDisabled(n, true);
    }
    if (from == kAlStateOp && app_)
        app_->onOutputsInvalid();
    if (to == kAlStateInit) {
        for (int n = 0; n < kSmCount; ++n) {
            if (smView(n).mailbox()) {
                setSmPdiDisabled(n, true);
                resetSmRuntime(n);
            }
        }
        mbxQueue_.clear();
    }
    if (from == kAlStateInit && (to == kAlStatePreOp || to == kAlStateBoot)) {
        for (int n = 0; n < kSmCount; ++n) {
            if (smView(n).mailbox()) {
                setSmPdiDisabled(n, false);
                resetSmRuntime(n);
            }
        }
        mbxQueue_.clear();
        mbxLastSent_.clear();
        if (app_)
            app_->onMailboxStart();
    }
    if (!isOpState(from) && isOpState(to)) {
        for (int n = 0; n < kSmCount; ++n) {
            if (!smView(n).mailbox()) {
                setSmPdiDisabled(n, false);
                resetSmRuntime(n);
            }
        }
    }
    if (isOpState(to)) {
        // The watchdog starts over on entering SAFE-OP and OP.
        lastOutputsHostNs_ = now;
        wdExpired_ = false;
        mem_[kRegWatchdogSmStatus] = 0x01;
    }
    state_ = to;
    if (!error_)
        statusCode_ = 0;
    publishAlStatus();
    if (app_)
        app_->onStateChange(from, to);
}

void Esc::refuse(uint16_t code) {
    if (state_ == ec::kAlStateOp) {
        // A fall out of OP with an error stops the outputs as the watchdog does: SM2 stays off
        // until the error is acknowledged, so the master sees the working counter drop.
        state_ = ec::kAlStateSafeOp;
        setSmPdiDisabled(2, true);
        if (app_) {
            app_->onOutputsInvalid();
            app_->onStateChange(ec::kAlStateOp, ec::kAlStateSafeOp);
        }
    }
    error_ = true;
    statusCode_ = code;
    publishAlStatus();
}

void Esc::forceError(uint16_t code) {
    refuse(code);
}

bool Esc::fallBack(uint8_t state) {
    if (!isOpState(state_) || (state != ec::kAlStateInit && state != ec::kAlStatePreOp))
        return false;
    enterState(state);
    return true;
}

void Esc::publishAlStatus() {
    setReg16(ec::kRegAlStatus, static_cast<uint16_t>(state_ | (error_ ? ec::kAlStateError : 0)));
    setReg16(ec::kRegAlStatusCode, statusCode_);
}

// --- SM watchdog ---------------------------------------------------------------------------------

void Esc::checkWatchdog(int64_t hostNs) {
    if (!isOpState(state_) || wdExpired_)
        return;
    const SmView o = smView(2);
    if (!o.enabled() || !(o.control & kSmControlWatchdog) || sm_[2].pdiDisabled)
        return;
    const int64_t tickNs = (int64_t{reg16(ec::kRegWatchdogDivider)} + 2) * 40;
    const int64_t limitNs = int64_t{reg16(ec::kRegWatchdogSm)} * tickNs;
    if (limitNs == 0 || hostNs - lastOutputsHostNs_ <= limitNs)
        return;
    wdExpired_ = true;
    mem_[ec::kRegWatchdogSmStatus] = 0x00;
    if (app_)
        app_->onOutputsInvalid();
    if (state_ == ec::kAlStateOp) {
        // As real slaves do: outputs off, SAFE-OP with error, the outputs SyncManager stays off
        // until the error is acknowledged.
        state_ = ec::kAlStateSafeOp;
        error_ = true;
        statusCode_ = ec::kAlSmWatchdog;
        setSmPdiDisabled(2, true);
        publishAlStatus();
        if (app_)
            app_->onStateChange(ec::kAlStateOp, ec::kAlStateSafeOp);
    }
}

// --- inspection ----------------------------------------------------------------------------------

std::vector<uint8_t> Esc::peek(uint16_t address, size_t len) {
    std::vector<uint8_t> out(len, 0);
    const int64_t now = clock_.nowNs();
    const Passage saved = passage_;
    passage_.port0HostNs = now;
    if (address < kRegisterEnd)
        refreshDynamic(address, len);
    passage_ = saved;
    for (size_t i = 0; i < len; ++i)
        if (uint32_t{address} + i < kMemorySize)
            out[i] = mem_[address + i];
    return out;
}

uint16_t Esc::peek16(uint16_t address) {
    return rd16(peek(address, 2).data());
}
uint32_t Esc::peek32(uint16_t address) {
    return rd32(peek(address, 4).data());
}
uint64_t Esc::peek64(uint16_t address) {
    return rd64(peek(address, 8).data());
}

}  // namespace sim
