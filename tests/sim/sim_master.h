// Hand-built EtherCAT frames for driving a simulated chain in tests, and a few master-side steps
// (addressing, SII reads, SyncManager/FMMU set-up) composed from them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "ethercat/stack/protocol.h"
#include "sim/bytes.h"
#include "sim/chain.h"

namespace simtest {

using ec::Command;

// One frame of several datagrams; after passing the chain, each datagram can be read back.
class Frame {
public:
    // Returns the datagram's number within the frame.
    size_t add(Command cmd, uint16_t adp, uint16_t ado, std::vector<uint8_t> data) {
        Entry e{cmd, adp, ado, 0, std::move(data)};
        entries_.push_back(std::move(e));
        return entries_.size() - 1;
    }
    size_t addLogical(Command cmd, uint32_t address, std::vector<uint8_t> data) {
        return add(cmd, static_cast<uint16_t>(address), static_cast<uint16_t>(address >> 16),
                   std::move(data));
    }

    std::vector<uint8_t> bytes(uint8_t index = 0x42) const {
        std::vector<uint8_t> f(ec::kEthHeaderSize + ec::kEcHeaderSize, 0);
        for (int i = 0; i < 6; ++i) {
            f[i] = 0xFF;
            f[6 + i] = ec::kMasterMac[i];
        }
        f[12] = 0x88;
        f[13] = 0xA4;
        for (size_t i = 0; i < entries_.size(); ++i) {
            const auto& e = entries_[i];
            const size_t at = f.size();
            f.resize(at + ec::kDatagramHeaderSize + e.data.size() + ec::kWkcSize, 0);
            f[at] = static_cast<uint8_t>(e.cmd);
            f[at + 1] = index;
            sim::wr16(&f[at + 2], e.adp);
            sim::wr16(&f[at + 4], e.ado);
            uint16_t len = static_cast<uint16_t>(e.data.size());
            if (i + 1 < entries_.size())
                len |= ec::kDatagramMore;
            sim::wr16(&f[at + 6], len);
            std::copy(e.data.begin(), e.data.end(), f.begin() + at + ec::kDatagramHeaderSize);
        }
        const uint16_t length = static_cast<uint16_t>(f.size() - 16);
        sim::wr16(&f[14], static_cast<uint16_t>(0x1000 | length));
        return f;
    }

    // Reads the datagrams back out of a returned frame.
    void parse(const std::vector<uint8_t>& f) {
        size_t at = 16;
        for (auto& e : entries_) {
            e.adp = sim::rd16(&f[at + 2]);
            e.ado = sim::rd16(&f[at + 4]);
            std::copy_n(f.begin() + at + ec::kDatagramHeaderSize, e.data.size(), e.data.begin());
            e.wkc = sim::rd16(&f[at + ec::kDatagramHeaderSize + e.data.size()]);
            at += ec::kDatagramHeaderSize + e.data.size() + ec::kWkcSize;
        }
    }

    // Sends the frame through the chain; false when it was lost.
    bool run(sim::Chain& chain) {
        auto f = bytes();
        if (!chain.processFrame(f))
            return false;
        parse(f);
        return true;
    }

    uint16_t wkc(size_t i) const { return entries_[i].wkc; }
    uint16_t adp(size_t i) const { return entries_[i].adp; }
    const std::vector<uint8_t>& data(size_t i) const { return entries_[i].data; }
    uint16_t u16(size_t i, size_t off = 0) const { return sim::rd16(&entries_[i].data[off]); }
    uint32_t u32(size_t i, size_t off = 0) const { return sim::rd32(&entries_[i].data[off]); }
    uint64_t u64(size_t i, size_t off = 0) const { return sim::rd64(&entries_[i].data[off]); }

private:
    struct Entry {
        Command cmd;
        uint16_t adp, ado, wkc;
        std::vector<uint8_t> data;
    };
    std::vector<Entry> entries_;
};

struct Reply {
    uint16_t wkc = 0;
    std::vector<uint8_t> data;
    uint16_t adp = 0;
    bool lost = false;
    uint16_t u16(size_t off = 0) const { return sim::rd16(&data[off]); }
    uint32_t u32(size_t off = 0) const { return sim::rd32(&data[off]); }
    uint64_t u64(size_t off = 0) const { return sim::rd64(&data[off]); }
};

inline Reply single(sim::Chain& chain, Command cmd, uint16_t adp, uint16_t ado,
                    std::vector<uint8_t> data) {
    Frame f;
    f.add(cmd, adp, ado, std::move(data));
    Reply r;
    r.lost = !f.run(chain);
    r.wkc = f.wkc(0);
    r.data = f.data(0);
    r.adp = f.adp(0);
    return r;
}

inline std::vector<uint8_t> le16(uint16_t v) {
    return {uint8_t(v), uint8_t(v >> 8)};
}
inline std::vector<uint8_t> le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
inline std::vector<uint8_t> le64(uint64_t v) {
    std::vector<uint8_t> out(8);
    sim::wr64(out.data(), v);
    return out;
}
inline std::vector<uint8_t> zeros(size_t n) {
    return std::vector<uint8_t>(n, 0);
}

inline Reply fprd(sim::Chain& c, uint16_t station, uint16_t reg, size_t len) {
    return single(c, Command::FPRD, station, reg, zeros(len));
}
inline Reply fpwr(sim::Chain& c, uint16_t station, uint16_t reg, std::vector<uint8_t> d) {
    return single(c, Command::FPWR, station, reg, std::move(d));
}
inline Reply bwr(sim::Chain& c, uint16_t reg, std::vector<uint8_t> d) {
    return single(c, Command::BWR, 0, reg, std::move(d));
}
inline Reply brd(sim::Chain& c, uint16_t reg, size_t len) {
    return single(c, Command::BRD, 0, reg, zeros(len));
}

inline uint16_t station(int position) {
    return static_cast<uint16_t>(ec::kNodeOffset + position);
}

// Station addresses 0x1000 + position for every slave, by position addressing.
inline void assignStations(sim::Chain& c, int count) {
    for (int n = 1; n <= count; ++n)
        single(c, Command::APWR, static_cast<uint16_t>(1 - n), ec::kRegStationAddress,
               le16(station(n)));
}

// One SII read at word w as a master performs it; returns 4 or 8 bytes.
inline std::vector<uint8_t> siiRead(sim::Chain& c, uint16_t st, uint16_t word) {
    fpwr(c, st, ec::kRegSiiControl, {0x00, 0x01, uint8_t(word), uint8_t(word >> 8), 0, 0});
    const Reply status = fprd(c, st, ec::kRegSiiControl, 2);
    const size_t n = (status.u16() & ec::kSiiRead8Bytes) ? 8 : 4;
    return fprd(c, st, ec::kRegSiiData, n).data;
}

inline std::vector<uint8_t> smBytes(uint16_t start, uint16_t len, uint32_t flags) {
    std::vector<uint8_t> d(8);
    sim::wr16(&d[0], start);
    sim::wr16(&d[2], len);
    sim::wr32(&d[4], flags);
    return d;
}

inline std::vector<uint8_t> fmmuBytes(uint32_t logical, uint16_t len, uint16_t phys, uint8_t type) {
    std::vector<uint8_t> d(16, 0);
    sim::wr32(&d[0], logical);
    sim::wr16(&d[4], len);
    d[6] = 0;
    d[7] = 7;
    sim::wr16(&d[8], phys);
    d[10] = 0;
    d[11] = type;
    d[12] = 1;
    return d;
}

// Mailbox SyncManagers as the SII announces them (SM1 right behind SM0).
inline void writeMailboxSms(sim::Chain& c, uint16_t st, uint16_t outLen = 0x80,
                            uint16_t inLen = 0x80) {
    auto d = smBytes(0x1000, outLen, ec::kSmFlagsMailboxOut);
    auto d1 = smBytes(static_cast<uint16_t>(0x1000 + outLen), inLen, ec::kSmFlagsMailboxIn);
    d.insert(d.end(), d1.begin(), d1.end());
    fpwr(c, st, ec::kRegSm0, d);
}

// Process-data SyncManagers and FMMUs for drive `position` of `count`, as a master maps them:
// outputs of all drives first, then inputs.
inline void writeProcessDataConfig(sim::Chain& c, int position, int count) {
    const uint16_t st = station(position);
    fpwr(c, st, ec::kRegSm0 + 16, smBytes(0x1100, 18, 0x00010064));
    fpwr(c, st, ec::kRegSm0 + 24, smBytes(0x1400, 32, 0x00010020));
    fpwr(c, st, ec::kRegFmmu0,
         fmmuBytes(static_cast<uint32_t>(18 * (position - 1)), 18, 0x1100, ec::kFmmuTypeWrite));
    fpwr(c, st, ec::kRegFmmu0 + 16,
         fmmuBytes(static_cast<uint32_t>(18 * count + 32 * (position - 1)), 32, 0x1400,
                   ec::kFmmuTypeRead));
}

inline Reply requestState(sim::Chain& c, uint16_t st, uint16_t state) {
    return fpwr(c, st, ec::kRegAlControl, le16(state));
}
inline uint16_t alStatus(sim::Chain& c, uint16_t st) {
    return fprd(c, st, ec::kRegAlStatus, 2).u16();
}

// Brings `count` drives to `target` (PRE-OP, SAFE-OP or OP), configured as a master would.
inline void bringUp(sim::Chain& c, int count, uint16_t target) {
    assignStations(c, count);
    for (int n = 1; n <= count; ++n) {
        writeMailboxSms(c, station(n));
        requestState(c, station(n), ec::kAlStatePreOp);
    }
    if (target == ec::kAlStatePreOp)
        return;
    for (int n = 1; n <= count; ++n) {
        writeProcessDataConfig(c, n, count);
        requestState(c, station(n), ec::kAlStateSafeOp);
    }
    if (target == ec::kAlStateSafeOp)
        return;
    for (int n = 1; n <= count; ++n)
        requestState(c, station(n), ec::kAlStateOp);
}

// One process-data exchange: LRW over all outputs then all inputs.
struct Exchange {
    uint16_t wkc = 0;
    std::vector<uint8_t> image;
    bool lost = false;
};
inline Exchange lrw(sim::Chain& c, std::vector<uint8_t> image) {
    Frame f;
    f.addLogical(Command::LRW, 0, std::move(image));
    Exchange x;
    x.lost = !f.run(c);
    x.wkc = f.wkc(0);
    x.image = f.data(0);
    return x;
}

}  // namespace simtest
