// A master context wired to a simulated chain, with the console's bring-up steps.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "ethercat.h"
#include "model/processdata.h"
#include "sim/chain.h"
#include "sim/virtual_link.h"
#include "wire.h"

namespace bustest {

using Bytes = std::vector<uint8_t>;
inline constexpr int kStateTimeoutUs = 2000000;

struct SimBus {
    std::shared_ptr<sim::Chain> chain;
    ec::OwnedContext master;
    Bytes iomap = Bytes(kProcessImageBytes);

    explicit SimBus(sim::ChainConfig cfg) : chain(std::make_shared<sim::Chain>(std::move(cfg))) {
        ecx_init_link(master.get(), sim::makeVirtualLink(chain));
    }
    // Nothing the master sent may be what a real controller refuses.
    // Nor may a frame come back that the master cannot read, a wait running out included.
    ~SimBus() {
        EXPECT_EQ(chain->takeRefusals(), std::vector<std::string>{});
        EXPECT_EQ(ctx()->port ? ctx()->port->engine().stats().malformed : 0, 0u);
        const auto left = popErrors();  // every error a test provokes, it takes and checks
        EXPECT_TRUE(left.empty()) << "unexpected: " << ec::errorText(left.front());
    }
    ecx_contextt* ctx() { return master.get(); }
    ec_slavet& slave(int n) { return master.slave(n); }
    int scan() { return ecx_config_init(ctx(), FALSE); }
    int map() { return ecx_config_map_sized(ctx(), iomap.data(), iomap.size()); }
    Bytes reg(int position, uint16_t address, size_t len) {
        return chain->readRegisters(position, address, len);
    }
    // State request to one slave (or all: 0), then wait until it is reached.
    bool requestState(uint16_t state, uint16_t n = 0, int timeoutUs = kStateTimeoutUs) {
        slave(n).state = state;
        ecx_writestate(ctx(), n);
        return ecx_statecheck(ctx(), n, state & 0x0F, timeoutUs) == (state & 0x0F);
    }
    int exchange() {
        EXPECT_EQ(ecx_send_processdata(ctx()), 1) << "a frame left";
        return ecx_receive_processdata(ctx(), 100000);
    }
    // Scan, map, DC, SAFE-OP, OP: the order of the console's bring-up.
    bool bringUp() {
        if (scan() < 1 || map() <= 0 || !requestState(EC_STATE_PRE_OP))
            return false;
        ecx_configdc(ctx());
        exchange();
        return requestState(EC_STATE_SAFE_OP) && requestState(EC_STATE_OPERATIONAL);
    }
    std::vector<ec_errort> popErrors() {
        std::vector<ec_errort> list;
        for (ec_errort e{}; ecx_poperror(ctx(), &e);)
            list.push_back(e);
        return list;
    }
    // Takes the error list; how many of its entries are packet errors with `code`.
    size_t packetErrors(uint16_t code) {
        const auto errors = popErrors();
        return size_t(std::count_if(errors.begin(), errors.end(), [code](const ec_errort& e) {
            return e.Etype == EC_ERR_TYPE_PACKET_ERROR && e.ErrorCode == code;
        }));
    }
    // Reads into a heap buffer of exactly `capacity` bytes, so that a write past it is caught.
    int sdoRead(uint16_t n, uint16_t index, uint8_t sub, int capacity, Bytes* value = nullptr) {
        auto buf = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
        int size = capacity;
        const int wkc = ecx_SDOread(ctx(), n, index, sub, false, &size, buf.get(), EC_TIMEOUTRXM);
        if (value != nullptr && wkc > 0)
            value->assign(buf.get(), buf.get() + size);
        return wkc;
    }
    int sdoWrite(uint16_t n, uint16_t index, uint8_t sub, const Bytes& value) {
        return ecx_SDOwrite(ctx(), n, index, sub, false, static_cast<int>(value.size()),
                            value.data(), EC_TIMEOUTRXM);
    }
};

// `drives` drives in PRE-OP, the first with mailbox windows of `window` bytes.
inline std::unique_ptr<SimBus> preOp(uint16_t window = 128, int drives = 1) {
    auto cfg = sim::ChainConfig::drives(drives);
    cfg.slaves[0].mailboxOutSize = cfg.slaves[0].mailboxInSize = window;
    auto bus = std::make_unique<SimBus>(cfg);
    EXPECT_TRUE(bus->scan() == drives && bus->requestState(EC_STATE_PRE_OP));
    return bus;
}

}  // namespace bustest
