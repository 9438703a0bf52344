// Shared by the simulator tests: hand-built frames as a master sends them, its set-up steps.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "ethercat/stack/protocol.h"
#include "model/processdata.h"
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
inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline uint16_t station(int position) {
    return static_cast<uint16_t>(ec::kNodeOffset + position);
}

// One datagram as sent and, after the chain, as it came back.
struct Datagram {
    Command cmd;
    uint16_t adp = 0, ado = 0;
    Bytes data;
    uint16_t wkc = 0;
    bool lost = false;
    uint16_t u16(size_t off = 0) const { return sim::rd16(&data.at(off)); }
    uint32_t u32(size_t off = 0) const { return sim::rd32(&data.at(off)); }
    uint64_t u64(size_t off = 0) const { return sim::rd64(&data.at(off)); }
};

// A frame of datagrams; run() passes it through the chain and reads the datagrams back.
struct Frame {
    std::vector<Datagram> d;
    Frame& add(Command cmd, uint16_t adp, uint16_t ado, Bytes data) {
        d.push_back({cmd, adp, ado, std::move(data)});
        return *this;
    }
    Bytes bytes(uint8_t index = 0x42) const {
        Bytes f = Bytes(6, 0xFF) + Bytes(ec::kMasterMac.begin(), ec::kMasterMac.end()) +
                  Bytes{0x88, 0xA4, 0, 0};
        for (size_t i = 0; i < d.size(); ++i)
            f = f + Bytes{uint8_t(d[i].cmd), index} + le(d[i].adp, 2) + le(d[i].ado, 2) +
                le(d[i].data.size() | (i + 1 < d.size() ? 0x8000 : 0), 4) + d[i].data + le(0, 2);
        sim::wr16(&f[14], static_cast<uint16_t>(0x1000 | (f.size() - 16)));
        return f;
    }
    void parse(const Bytes& f) {
        size_t at = 16;
        for (auto& e : d) {
            e.adp = sim::rd16(&f[at + 2]);
            std::copy_n(f.begin() + long(at) + 10, e.data.size(), e.data.begin());
            e.wkc = sim::rd16(&f[at + 10 + e.data.size()]);
            at += 12 + e.data.size();
        }
    }
    bool run(sim::Chain& chain) {
        auto f = bytes();
        return chain.processFrame(f) && (parse(f), true);
    }
};

// A chain of `count` drives on `clock`, its configuration changed by `tweak` first.
inline std::unique_ptr<sim::Chain> makeChain(
    int count, std::shared_ptr<sim::Clock> clock,
    const std::function<void(sim::ChainConfig&)>& tweak = [](sim::ChainConfig&) {}) {
    auto cfg = sim::ChainConfig::drives(count);
    cfg.clock = std::move(clock);
    tweak(cfg);
    return std::make_unique<sim::Chain>(cfg);
}
inline Datagram single(sim::Chain& c, Command cmd, uint16_t adp, uint16_t ado, Bytes data) {
    Frame f = Frame().add(cmd, adp, ado, std::move(data));
    f.d[0].lost = !f.run(c);
    return f.d[0];
}
inline Datagram fprd(sim::Chain& c, uint16_t st, uint16_t reg, size_t len) {
    return single(c, Command::FPRD, st, reg, Bytes(len));
}
inline Datagram fpwr(sim::Chain& c, uint16_t st, uint16_t reg, Bytes d) {
    return single(c, Command::FPWR, st, reg, std::move(d));
}
inline Datagram lrw(sim::Chain& c, Bytes image) {
    return single(c, Command::LRW, 0, 0, std::move(image));
}
inline void assignStations(sim::Chain& c, int count) {
    for (int n = 1; n <= count; ++n)
        single(c, Command::APWR, uint16_t(1 - n), ec::kRegStationAddress, le(station(n), 2));
}
inline Bytes smBytes(uint16_t start, uint16_t len, uint32_t flags) {
    return le(start, 2) + le(len, 2) + le(flags, 4);
}
// Active FMMU: logical bits `startBit` (first byte) to `stopBit` (last), physically from `physBit`.
inline Bytes fmmuBytes(uint32_t logical, uint16_t len, uint16_t phys, uint8_t type,
                       uint8_t startBit = 0, uint8_t stopBit = 7, uint8_t physBit = 0) {
    return le(logical, 4) + le(len, 2) + Bytes{startBit, stopBit} + le(phys, 2) +
           Bytes{physBit, type, 1, 0, 0, 0};
}
inline void requestState(sim::Chain& c, uint16_t st, uint16_t state) {
    fpwr(c, st, ec::kRegAlControl, le(state, 2));
}
// Both mailbox SyncManagers in one write, SM1 right behind SM0.
inline void writeMailboxSms(sim::Chain& c, uint16_t st, uint16_t start = 0x1000,
                            uint16_t outLen = 0x80, uint16_t inLen = 0x80) {
    fpwr(c, st, ec::kRegSm0,
         smBytes(start, outLen, ec::kSmFlagsMailboxOut) +
             smBytes(uint16_t(start + outLen), inLen, ec::kSmFlagsMailboxIn));
}
// Process-data SMs and FMMUs of drive `position` of `count`: all outputs first, then inputs.
inline void writeProcessDataConfig(sim::Chain& c, int position, int count) {
    const uint16_t st = station(position);
    const auto i = uint32_t(position - 1), n = uint32_t(count);
    fpwr(c, st, ec::kRegSm0 + 16,
         smBytes(0x1100, 18, 0x00010064) + smBytes(0x1400, 32, 0x00010020));
    fpwr(c, st, ec::kRegFmmu0,
         fmmuBytes(18 * i, 18, 0x1100, ec::kFmmuTypeWrite) +
             fmmuBytes(18 * n + 32 * i, 32, 0x1400, ec::kFmmuTypeRead));
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

}  // namespace simtest
