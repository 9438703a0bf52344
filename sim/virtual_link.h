// Connects the master stack to an in-process simulated chain: frames the master sends pass the
// chain at once and their replies wait in a queue for the master's receive.
#pragma once

#include <memory>
#include <string>

#include "ethercat/stack/link.h"
#include "sim/chain.h"

namespace sim {

std::unique_ptr<ec::FrameLink> makeVirtualLink(std::shared_ptr<Chain> chain);

// Registers adapter "sim:N" ("Simulated drive chain (N drives)") with the stack. Every link opened
// on it talks to the same chain, which lives as long as the registration: like real drives, the
// slaves keep their state when the master closes and reopens the adapter. Returns that chain for
// fault injection.
std::shared_ptr<Chain> registerSimulatedAdapter(int drives);
// The same for a chain of drives built from `config`, named after the number of its slaves.
std::shared_ptr<Chain> registerSimulatedAdapter(const ChainConfig& config);
// Registers an arbitrary chain under a name of the caller's choosing.
void registerSimulatedAdapter(const std::string& name, const std::string& desc,
                              std::shared_ptr<Chain> chain);

}  // namespace sim
