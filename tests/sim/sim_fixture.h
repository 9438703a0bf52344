// What the simulator tests share: hand-built frames as a master sends them, the master's set-up
// steps, a mailbox client (SDO both ways, FoE write) written from the protocol description and
// independent of the simulator's servers, and a rig that cycles process data on a manual clock.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ethercat/stack/protocol.h"
#include "model/processdata.h"
#include "model/scaling.h"
#include "sim/bytes.h"
#include "sim/chain.h"

namespace simtest {

using ec::Command;
using Bytes = std::vector<uint8_t>;

inline Bytes le(uint64_t v, size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(v >> (8 * i));
    return b;
}
inline Bytes zeros(size_t n) {
    return Bytes(n, 0);
}
inline uint16_t station(int position) {
    return static_cast<uint16_t>(ec::kNodeOffset + position);
}

// One frame of several datagrams; after passing the chain each datagram reads back.
class Frame {
public:
    size_t add(Command cmd, uint16_t adp, uint16_t ado, Bytes data) {
        e_.push_back({cmd, adp, ado, 0, std::move(data)});
        return e_.size() - 1;
    }
    size_t addLogical(Command cmd, uint32_t address, Bytes data) {
        return add(cmd, uint16_t(address), uint16_t(address >> 16), std::move(data));
    }
    Bytes bytes(uint8_t index = 0x42) const {
        Bytes f(16, 0);
        for (int i = 0; i < 6; ++i) {
            f[i] = 0xFF;
            f[6 + i] = ec::kMasterMac[i];
        }
        f[12] = 0x88;
        f[13] = 0xA4;
        for (size_t i = 0; i < e_.size(); ++i) {
            const size_t at = f.size();
            f.resize(at + 12 + e_[i].data.size(), 0);
            f[at] = static_cast<uint8_t>(e_[i].cmd);
            f[at + 1] = index;
            sim::wr16(&f[at + 2], e_[i].adp);
            sim::wr16(&f[at + 4], e_[i].ado);
            sim::wr16(&f[at + 6], uint16_t(e_[i].data.size() | (i + 1 < e_.size() ? 0x8000 : 0)));
            std::copy(e_[i].data.begin(), e_[i].data.end(), f.begin() + long(at) + 10);
        }
        sim::wr16(&f[14], static_cast<uint16_t>(0x1000 | (f.size() - 16)));
        return f;
    }
    void parse(const Bytes& f) {
        size_t at = 16;
        for (auto& e : e_) {
            e.adp = sim::rd16(&f[at + 2]);
            std::copy_n(f.begin() + long(at) + 10, e.data.size(), e.data.begin());
            e.wkc = sim::rd16(&f[at + 10 + e.data.size()]);
            at += 12 + e.data.size();
        }
    }
    bool run(sim::Chain& chain) {
        auto f = bytes();
        if (!chain.processFrame(f))
            return false;
        parse(f);
        return true;
    }
    uint16_t wkc(size_t i) const { return e_[i].wkc; }
    uint16_t adp(size_t i) const { return e_[i].adp; }
    const Bytes& data(size_t i) const { return e_[i].data; }
    uint16_t u16(size_t i) const { return sim::rd16(e_[i].data.data()); }
    uint64_t u64(size_t i) const { return sim::rd64(e_[i].data.data()); }

private:
    struct Entry {
        Command cmd;
        uint16_t adp, ado, wkc;
        Bytes data;
    };
    std::vector<Entry> e_;
};

struct Reply {
    uint16_t wkc = 0, adp = 0;
    Bytes data;
    bool lost = false;
    uint16_t u16(size_t off = 0) const { return sim::rd16(&data.at(off)); }
    uint32_t u32(size_t off = 0) const { return sim::rd32(&data.at(off)); }
    uint64_t u64(size_t off = 0) const { return sim::rd64(&data.at(off)); }
};

inline Reply single(sim::Chain& c, Command cmd, uint16_t adp, uint16_t ado, Bytes data) {
    Frame f;
    f.add(cmd, adp, ado, std::move(data));
    Reply r;
    r.lost = !f.run(c);
    r.wkc = f.wkc(0);
    r.adp = f.adp(0);
    r.data = f.data(0);
    return r;
}
inline Reply fprd(sim::Chain& c, uint16_t st, uint16_t reg, size_t len) {
    return single(c, Command::FPRD, st, reg, zeros(len));
}
inline Reply fpwr(sim::Chain& c, uint16_t st, uint16_t reg, Bytes d) {
    return single(c, Command::FPWR, st, reg, std::move(d));
}
inline Reply brd(sim::Chain& c, uint16_t reg, size_t len) {
    return single(c, Command::BRD, 0, reg, zeros(len));
}
inline Reply bwr(sim::Chain& c, uint16_t reg, Bytes d) {
    return single(c, Command::BWR, 0, reg, std::move(d));
}
inline void assignStations(sim::Chain& c, int count) {
    for (int n = 1; n <= count; ++n)
        single(c, Command::APWR, uint16_t(1 - n), ec::kRegStationAddress, le(station(n), 2));
}
// One SII read at word w as a master performs it: 4 or 8 bytes.
inline Bytes siiRead(sim::Chain& c, uint16_t st, uint16_t word) {
    fpwr(c, st, ec::kRegSiiControl, {0x00, 0x01, uint8_t(word), uint8_t(word >> 8), 0, 0});
    const bool eight = fprd(c, st, ec::kRegSiiControl, 2).u16() & ec::kSiiRead8Bytes;
    return fprd(c, st, ec::kRegSiiData, eight ? 8 : 4).data;
}
inline Bytes smBytes(uint16_t start, uint16_t len, uint32_t flags) {
    Bytes d = le(start, 2), l = le(len, 2), f = le(flags, 4);
    d.insert(d.end(), l.begin(), l.end());
    d.insert(d.end(), f.begin(), f.end());
    return d;
}
inline Bytes fmmuBytes(uint32_t logical, uint16_t len, uint16_t phys, uint8_t type) {
    Bytes d(16, 0);
    sim::wr32(&d[0], logical);
    sim::wr16(&d[4], len);
    d[7] = 7;
    sim::wr16(&d[8], phys);
    d[11] = type;
    d[12] = 1;
    return d;
}
inline Reply requestState(sim::Chain& c, uint16_t st, uint16_t state) {
    return fpwr(c, st, ec::kRegAlControl, le(state, 2));
}
inline uint16_t alStatus(sim::Chain& c, uint16_t st) {
    return fprd(c, st, ec::kRegAlStatus, 2).u16();
}
// Both mailbox SyncManagers in one write, SM1 right behind SM0.
inline void writeMailboxSms(sim::Chain& c, uint16_t st, uint16_t start = 0x1000,
                            uint16_t outLen = 0x80, uint16_t inLen = 0x80) {
    auto d = smBytes(start, outLen, ec::kSmFlagsMailboxOut);
    auto d1 = smBytes(uint16_t(start + outLen), inLen, ec::kSmFlagsMailboxIn);
    d.insert(d.end(), d1.begin(), d1.end());
    fpwr(c, st, ec::kRegSm0, d);
}
// Process-data SMs and FMMUs of drive `position` of `count`: all outputs first, then inputs.
inline void writeProcessDataConfig(sim::Chain& c, int position, int count) {
    const uint16_t st = station(position);
    const auto i = static_cast<uint32_t>(position - 1), n = static_cast<uint32_t>(count);
    fpwr(c, st, ec::kRegSm0 + 16, smBytes(0x1100, 18, 0x00010064));
    fpwr(c, st, ec::kRegSm0 + 24, smBytes(0x1400, 32, 0x00010020));
    fpwr(c, st, ec::kRegFmmu0, fmmuBytes(18 * i, 18, 0x1100, ec::kFmmuTypeWrite));
    fpwr(c, st, ec::kRegFmmu0 + 16, fmmuBytes(18 * n + 32 * i, 32, 0x1400, ec::kFmmuTypeRead));
}
// Brings `count` drives to `target` (PRE-OP, SAFE-OP or OP) as a master does.
inline void bringUp(sim::Chain& c, int count, uint16_t target) {
    assignStations(c, count);
    for (uint16_t s : {ec::kAlStatePreOp, ec::kAlStateSafeOp, ec::kAlStateOp}) {
        for (int n = 1; n <= count; ++n) {
            if (s == ec::kAlStatePreOp)
                writeMailboxSms(c, station(n));
            if (s == ec::kAlStateSafeOp)
                writeProcessDataConfig(c, n, count);
            requestState(c, station(n), s);
        }
        if (s == target)
            return;
    }
}
inline Reply lrw(sim::Chain& c, Bytes image) {
    Frame f;
    f.addLogical(Command::LRW, 0, std::move(image));
    return Reply{f.run(c) ? f.wkc(0) : uint16_t(0), 0, f.data(0), false};
}

// --- mailbox ------------------------------------------------------------------------------------

struct MbxMessage {
    uint16_t length = 0;
    uint8_t type = 0, counter = 0;
    Bytes window, data;  // the whole SM1 window; the `length` bytes after the header
    uint16_t u16(size_t off) const { return uint16_t(data.at(off) | data.at(off + 1) << 8); }
    uint32_t u32(size_t off) const { return u16(off) | uint32_t(u16(off + 2)) << 16; }
};

class MailboxClient {
public:
    MailboxClient(sim::Chain& chain, uint16_t st, uint16_t start = 0x1000, uint16_t outLen = 0x80,
                  uint16_t inLen = 0x80)
        : c_(chain),
          st_(st),
          rx_(start),
          rxLen_(outLen),
          tx_(uint16_t(start + outLen)),
          txLen_(inLen) {}
    uint16_t rxLen() const { return rxLen_; }
    uint8_t counter() const { return counter_; }
    // Writes the whole SM0 window (as masters do); counter 0xFF: this client's next one.
    uint16_t write(uint8_t type, const Bytes& data, uint8_t counter = 0xFF,
                   std::optional<uint16_t> length = std::nullopt) {
        if (counter == 0xFF)
            counter = counter_ = uint8_t(counter_ % 7 + 1);
        Bytes m(rxLen_, 0);
        sim::wr16(&m[0], length.value_or(uint16_t(data.size())));
        m[5] = uint8_t((type & 0x0F) | counter << 4);
        std::copy_n(data.begin(), std::min<size_t>(data.size(), rxLen_ - 6u), m.begin() + 6);
        return fpwr(c_, st_, rx_, m).wkc;
    }
    std::optional<MbxMessage> read() {
        const Reply r = fprd(c_, st_, tx_, txLen_);
        if (r.wkc != 1)
            return std::nullopt;
        MbxMessage m{r.u16(), uint8_t(r.data[5] & 0x0F), uint8_t((r.data[5] >> 4) & 7), r.data, {}};
        m.data.assign(r.data.begin() + 6,
                      r.data.begin() + 6 + std::min<long>(m.length, txLen_ - 6));
        return m;
    }
    // Toggles SM1's repeat request, as a master does after a lost read.
    void repeat() {
        const uint8_t act = fprd(c_, st_, ec::kRegSm0 + 8 + ec::kSmActivate, 1).data[0];
        fpwr(c_, st_, ec::kRegSm0 + 8 + ec::kSmStatus, {0, uint8_t(act ^ ec::kSmActivateRepeat)});
    }
    std::optional<MbxMessage> exchange(uint8_t type, const Bytes& data) {
        return write(type, data) == 1 ? read() : std::nullopt;
    }

private:
    sim::Chain& c_;
    uint16_t st_, rx_, rxLen_, tx_, txLen_;
    uint8_t counter_ = 0;
};

inline Bytes sdoRequest(uint8_t cmd, uint16_t index, uint8_t sub, uint32_t value = 0) {
    Bytes d =
        le(uint32_t(ec::kCoeSdoRequest) << 12 | uint32_t(cmd) << 16 | uint32_t(index) << 24, 4);
    d.push_back(uint8_t(index >> 8));
    d.push_back(sub);
    auto v = le(value, 4);
    d.insert(d.end(), v.begin(), v.end());
    return d;
}
inline bool isAbort(const MbxMessage& m) {
    return m.type == ec::kMbxTypeCoE && m.data.size() >= 10 && m.u16(0) >> 12 == 2 &&
           m.data[2] == 0x80;
}

struct SdoResult {
    uint32_t abort = 0;
    bool noReply = false;
    Bytes data;
    int segments = 0;
    bool ok() const { return abort == 0 && !noReply; }
    // Ends the transfer on a missing reply or an abort.
    bool done(const std::optional<MbxMessage>& m) {
        noReply = !m;
        abort = m && isAbort(*m) ? m->u32(6) : 0;
        return !ok();
    }
};

inline SdoResult sdoUpload(MailboxClient& mbx, uint16_t index, uint8_t sub) {
    SdoResult r;
    auto m = mbx.exchange(ec::kMbxTypeCoE, sdoRequest(0x40, index, sub));
    if (r.done(m))
        return r;
    const uint8_t cmd = m->data[2];
    if (cmd & 0x02) {  // expedited
        r.data.assign(m->data.begin() + 6, m->data.begin() + 10 - ((cmd & 1) ? (cmd >> 2) & 3 : 0));
        return r;
    }
    const uint32_t size = m->u32(6);
    r.data.assign(m->data.begin() + 10, m->data.end());
    for (uint8_t toggle = 0; r.data.size() < size; toggle ^= 1) {
        m = mbx.exchange(ec::kMbxTypeCoE, sdoRequest(uint8_t(0x60 | toggle << 4), 0, 0));
        if (r.done(m))
            return r;
        ++r.segments;
        const uint8_t c = m->data[2];
        EXPECT_EQ((c >> 4) & 1, toggle) << "segment toggle echoed";
        const size_t n = m->length > 10 ? m->length - 3u : 7u - ((c >> 1) & 7);
        r.data.insert(r.data.end(), m->data.begin() + 3, m->data.begin() + 3 + long(n));
        if (c & 0x01)
            break;
    }
    return r;
}

// Expedited up to 4 bytes (unless `normal`), else a normal transfer with as much as SM0 takes,
// then segments.
inline SdoResult sdoDownload(MailboxClient& mbx, uint16_t index, uint8_t sub, const Bytes& bytes,
                             bool normal = false) {
    SdoResult r;
    size_t sent = 0;
    Bytes d;
    if (bytes.size() <= 4 && !bytes.empty() && !normal) {
        d = sdoRequest(uint8_t(0x23 | (4 - bytes.size()) << 2), index, sub);
        std::copy(bytes.begin(), bytes.end(), d.begin() + 6);
        sent = bytes.size();
    } else {
        d = sdoRequest(0x21, index, sub, uint32_t(bytes.size()));
        sent = std::min<size_t>(bytes.size(), mbx.rxLen() - 16u);
        d.insert(d.end(), bytes.begin(), bytes.begin() + long(sent));
    }
    auto m = mbx.exchange(ec::kMbxTypeCoE, d);
    for (uint8_t toggle = 0; !r.done(m) && sent < bytes.size(); toggle ^= 1) {
        const size_t chunk = std::min<size_t>(bytes.size() - sent, mbx.rxLen() - 9u);
        const bool last = sent + chunk == bytes.size();
        Bytes s(3 + std::max<size_t>(chunk, 7), 0);
        s[1] = uint8_t(ec::kCoeSdoRequest << 4);
        s[2] = uint8_t(toggle << 4 | (chunk < 7 ? (7 - chunk) << 1 : 0) | (last ? 1 : 0));
        std::copy_n(bytes.begin() + long(sent), chunk, s.begin() + 3);
        m = mbx.exchange(ec::kMbxTypeCoE, s);
        if (m && !isAbort(*m)) {
            EXPECT_EQ(m->data[2], 0x20 | toggle << 4);
        }
        sent += chunk;
        ++r.segments;
    }
    return r;
}

inline Bytes foeHeader(uint8_t opcode, uint32_t value, const Bytes& payload = {}) {
    Bytes d = le(opcode, 2), v = le(value, 4);
    d.insert(d.end(), v.begin(), v.end());
    d.insert(d.end(), payload.begin(), payload.end());
    return d;
}

struct FoeResult {
    bool ok = false;
    uint32_t error = 0, packets = 0, busy = 0;  // packets: DATA sent, re-sends included
    std::vector<uint32_t> acks;
};

// WRQ, then DATA 1.. of SM0 length - 12 bytes, a short (or empty) packet last; BUSY makes it
// send the same packet again.
inline FoeResult foeWrite(MailboxClient& mbx, const std::string& name, uint32_t password,
                          const Bytes& file) {
    FoeResult r;
    auto m = mbx.exchange(ec::kMbxTypeFoE,
                          foeHeader(ec::kFoeWrite, password, {name.begin(), name.end()}));
    const size_t packet = mbx.rxLen() - 12u;
    uint32_t number = 0;
    size_t offset = 0, chunk = 0;
    for (;;) {
        if (!m || m->type != ec::kMbxTypeFoE)
            return r;
        if (m->data[0] == ec::kFoeError) {
            r.error = m->u32(2);
            return r;
        }
        if (m->data[0] == ec::kFoeAck) {
            r.acks.push_back(m->u32(2));
            offset += chunk;
            if (number > 0 && chunk < packet) {
                r.ok = true;
                return r;
            }
            ++number;
            chunk = std::min(packet, file.size() - offset);
        } else if (m->data[0] == ec::kFoeBusy) {
            ++r.busy;
        } else {
            return r;
        }
        ++r.packets;
        m = mbx.exchange(ec::kMbxTypeFoE, foeHeader(ec::kFoeData, number,
                                                    {file.begin() + long(offset),
                                                     file.begin() + long(offset + chunk)}));
    }
}

// --- process data ---------------------------------------------------------------------------

// n drives in OP driven through the process image, one command record per drive, one LRW per
// 2 ms cycle on a manual clock.
class DriveRig {
public:
    explicit DriveRig(int n, const std::function<void(sim::SlaveConfig&)>& tweak = {})
        : n_(n), cmds_(size_t(n) + 1), image_(size_t(n) * (kDriveOutputBytes + kDriveInputBytes)) {
        auto cfg = sim::ChainConfig::drives(n);
        cfg.clock = clock_;
        for (auto& s : cfg.slaves) {
            if (tweak)
                tweak(s);
        }
        chain_ = std::make_unique<sim::Chain>(cfg);
        bringUp(*chain_, n, ec::kAlStateOp);
        cycle();
    }
    sim::Chain& chain() { return *chain_; }
    sim::ManualClock& clock() { return *clock_; }
    App_SetValue& cmd(int k) { return cmds_[size_t(k)]; }
    const Bytes& image() const { return last_.data; }
    void cycle() {
        for (int k = 1; k <= n_; ++k)
            encodeOutputImage(cmd(k), &image_[size_t(kDriveOutputBytes * (k - 1))]);
        clock_->advance(2'000'000);
        last_ = lrw(*chain_, image_);
        ASSERT_EQ(last_.wkc, 3 * n_);
    }
    // Cycles for `seconds`, calling `each` with drive k's record after every cycle.
    void run(double seconds, int k = 1,
             const std::function<void(const TCiA402_GetValue&)>& each = {}) {
        for (int i = 0; i < int(seconds * 500 + 0.5); ++i) {
            cycle();
            if (each)
                each(in(k));
        }
    }
    TCiA402_GetValue in(int k) const {
        return decodeInputImage(
            &last_.data[size_t(kDriveOutputBytes * n_ + kDriveInputBytes * (k - 1))]);
    }
    // Control word, then one more cycle so the answer is in the record.
    uint16_t send(int k, uint16_t cw) {
        cmd(k).controlWord = cw;
        cycle();
        cycle();
        return in(k).statusWord;
    }
    void enable(int k) {
        for (uint16_t cw : {0x06, 0x07, 0x0F})
            send(k, cw);
        ASSERT_EQ(in(k).statusWord, 0x0237);
    }

private:
    std::shared_ptr<sim::ManualClock> clock_ = std::make_shared<sim::ManualClock>();
    int n_;
    std::unique_ptr<sim::Chain> chain_;
    std::vector<App_SetValue> cmds_;
    Bytes image_;
    Reply last_;
};

inline double turns(const TCiA402_GetValue& v) {
    return rawToPosition(v.position);
}
inline double turnsPerSecond(const TCiA402_GetValue& v) {
    return rawToVelocity(v.velocity);
}
inline double newtonMetres(const TCiA402_GetValue& v) {
    return rawToTorque(v.torque);
}

}  // namespace simtest
