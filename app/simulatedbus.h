#pragma once

#include <memory>

#include "startupoptions.h"

namespace sim {
class Chain;
}

// With "--simulate N" on the command line, registers a simulated chain of N drives as the first
// adapter, so the console's adapter selector offers it before the machine's interfaces. Returns
// the chain (null without the option); it stays registered for the life of the process.
std::shared_ptr<sim::Chain> startSimulatedBus(const StartupOptions& options);
