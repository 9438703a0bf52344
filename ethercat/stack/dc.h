// Distributed clocks: the topology decision behind ecx_configdc's propagation delays.
#pragma once

#include <cstdint>

#include "types.h"

namespace ec {

// The receive time (on the slave's own clock) at which a frame came back through its last open
// port: behind port 0 an ESC passes its ports in the order 3, 1, 2; with none open, port 0's.
int32_t dcReturnTime(const ec_slavet& s);

}  // namespace ec
