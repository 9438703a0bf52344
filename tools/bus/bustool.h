// zentrio-bus: the master stack from the command line, for scripted benches and production
// (scan, states, SDO, SII, PDO assignment, firmware over FoE, diagnostics, capture).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace bustool {

// Exit codes a script can test.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;    // bad arguments
inline constexpr int kExitNoBus = 2;    // adapter cannot be opened, or no slaves answer
inline constexpr int kExitTimeout = 3;  // a slave did not answer in time
inline constexpr int kExitAbort = 4;    // SDO abort or FoE error from the slave
inline constexpr int kExitFailed = 5;   // anything else (state not reached, file, range)

// Runs one command line (without the program name). Results go to `out`, messages to `err`.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace bustool
