#include "sim/config.h"

namespace sim {

SlaveConfig SlaveConfig::drive(uint32_t serial) {
    SlaveConfig c;
    c.kind = SlaveKind::Drive;
    c.identity.serial = serial;
    return c;
}

SlaveConfig SlaveConfig::coupler() {
    SlaveConfig c;
    c.kind = SlaveKind::Coupler;
    c.identity.productCode = 0x43503130;  // "CP10"
    c.identity.revision = 0x00010000;
    c.name = "CP10 Coupler";
    return c;
}

SlaveConfig SlaveConfig::ioTerminal() {
    SlaveConfig c;
    c.kind = SlaveKind::IoTerminal;
    c.identity.productCode = 0x494F3232;  // "IO22"
    c.identity.revision = 0x00010000;
    c.name = "IO22 Terminal";
    return c;
}

ChainConfig ChainConfig::drives(int n) {
    ChainConfig cfg;
    for (int i = 1; i <= n; ++i)
        cfg.slaves.push_back(SlaveConfig::drive(static_cast<uint32_t>(i)));
    return cfg;
}

}  // namespace sim
