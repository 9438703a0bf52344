#include "simulatedbus.h"

#include "sim/virtual_link.h"

std::shared_ptr<sim::Chain> startSimulatedBus(const StartupOptions& options) {
    if (!options.simulate) {
        return nullptr;
    }
    return sim::registerSimulatedAdapter(options.simulatedDrives);
}
