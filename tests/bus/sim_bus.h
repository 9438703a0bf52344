// A master context wired to a simulated chain, with the bring-up steps the console performs.
#pragma once

#include <memory>
#include <vector>

#include "ethercat.h"
#include "model/processdata.h"
#include "sim/chain.h"
#include "sim/virtual_link.h"

namespace bustest {

inline constexpr int kStateTimeoutUs = 2000000;

struct SimBus {
    std::shared_ptr<sim::Chain> chain;
    ec::OwnedContext master;
    std::vector<uint8_t> iomap = std::vector<uint8_t>(kProcessImageBytes);

    explicit SimBus(sim::ChainConfig cfg) : chain(std::make_shared<sim::Chain>(std::move(cfg))) {
        ecx_init_link(master.get(), sim::makeVirtualLink(chain));
    }

    ecx_contextt* ctx() { return master.get(); }
    ec_slavet& slave(int n) { return master.slave(n); }
    int scan() { return ecx_config_init(ctx(), FALSE); }
    int map() { return ecx_config_map_sized(ctx(), iomap.data(), iomap.size()); }

    // Broadcast request, then wait until every slave reports the state.
    bool requestState(uint16_t state, int timeoutUs = kStateTimeoutUs) {
        slave(0).state = state;
        ecx_writestate(ctx(), 0);
        return ecx_statecheck(ctx(), 0, state, timeoutUs) == state && slave(0).state == state;
    }

    int exchange() {
        ecx_send_processdata(ctx());
        return ecx_receive_processdata(ctx(), 100000);
    }

    // Scan, map, DC, SAFE-OP, OP: the order of the console's bring-up.
    bool bringUp() {
        if (scan() < 1 || map() <= 0 || !requestState(EC_STATE_PRE_OP)) {
            return false;
        }
        ecx_configdc(ctx());
        exchange();
        return requestState(EC_STATE_SAFE_OP) && requestState(EC_STATE_OPERATIONAL);
    }

    // Output/input image of drive n.
    uint8_t* out(int n) { return slave(n).outputs; }
    const uint8_t* in(int n) { return slave(n).inputs; }
    uint16_t statusWord(int n) { return loadLe16(in(n)); }
    int16_t modeDisplay(int n) { return static_cast<int16_t>(loadLe16(in(n) + 30)); }
    void setControlWord(int n, uint16_t cw) { storeLe16(out(n) + kOutControlWord, cw); }
    void setMode(int n, uint16_t mode) { storeLe16(out(n) + kOutMode, mode); }
};

}  // namespace bustest
