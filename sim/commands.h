// The simulator program's fault-injection commands, one per line of standard input:
//   pull K | plug K            cable into slave K out / back in (K and everything behind it)
//   remove K | restore K       slave K alone out of / back into the line
//   safeop-error K CODE        slave K to SAFE-OP+ERROR with AL status CODE
//   fall-back K STATE          slave K drops from SAFE-OP or OP to STATE (1 INIT, 2 PRE-OP)
//   refuse K STATE CODE        slave K refuses requests for STATE with CODE
//   accept K STATE             slave K accepts STATE again
//   ignore K ADDRESS read|write N  slave K leaves its next N reads (writes) touching register
//                              byte ADDRESS unanswered; N 0 answers them again
//   loss FRACTION SEED [return] [at K]  lose this fraction of frames, seeded, on the cable into
//                              slave K (default 1); on the way back: after the slaves acted on
//                              them. The slaves count them in their error counters.
//   corrupt K [return]         the next frame is corrupted on the cable into slave K
//   fault K ERRORWORD [DRVERRORWORD]  drive K faults with these bits in its motor (and drive)
//                              error word; a fault reset clears them
//   joint K                    the joint of drive K: mode, position, velocity, torque, current,
//                              bus voltage, temperatures
//   state K                    AL state and status code of slave K
//   emergency K CODE [REG]     drive K sends an emergency with this error code (and register)
//   power-cycle K              slave K off and on again (unsaved drive settings are lost)
//   firmware K                 name, size and CRC-32 of the last file drive K received over FoE
//   param K ID                 raw bytes and value of drive parameter ID (0x6101:ID+1)
//   misbehave K MODE           mailbox replies of drive K malformed: none, oversized-upload,
//                              segments-beyond-size, stuck-toggle, other-object, short-length,
//                              wrong-foe-ack, garbage, silent, info-fragment-count,
//                              info-short-reply, info-long-names, info-other-object
//   refuse-sdo K INDEX:SUB CODE  drive K answers every SDO upload and download of entry
//                              INDEX:SUB (hexadecimal index) with abort CODE; CODE 0 takes them
//                              again
//   drop K N | duplicate K     lose drive K's next N mailbox replies / send the next one twice
//   stats                      frames seen and lost, slaves reachable, datagrams to nobody
//   quit
// Numbers may be decimal or 0x-prefixed hexadecimal.
#pragma once

#include <optional>
#include <string>

#include "sim/chain.h"

namespace sim {

// A whole unsigned number: decimal or 0x-prefixed hexadecimal (or in `base`). A sign, a character
// left over or a value past the range gives nothing.
std::optional<unsigned long long> parseUnsigned(const std::string& text, int base = 0);

class CommandInterpreter {
public:
    explicit CommandInterpreter(Chain& chain) : chain_(chain) {}
    // Runs one command line and returns the one line to print (without newline). Blank lines
    // return an empty string.
    std::string execute(const std::string& line);
    bool quitRequested() const { return quit_; }

private:
    Chain& chain_;
    bool quit_ = false;
};

}  // namespace sim
