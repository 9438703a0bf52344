// The firmware behind a simulated slave controller. The ESC calls these hooks from its PDI side;
// all of them run under the chain's lock, after the frame that caused them has passed the slave.
#pragma once

#include <cstdint>
#include <span>

namespace sim {

class Esc;

class SlaveApplication {
public:
    virtual ~SlaveApplication() = default;

    // The ESC this application runs behind; called once before any other hook.
    virtual void attach(Esc& esc) { esc_ = &esc; }

    // Power-on (also after being plugged back into the chain).
    virtual void onPowerUp() {}

    // Extra checks of a requested AL transition beyond what the controller checks itself (PDO
    // mapping, DC settings). Returns an AL status code, 0 to accept.
    virtual uint16_t checkTransition(uint8_t /*from*/, uint8_t /*to*/) { return 0; }
    virtual void onStateChange(uint8_t /*from*/, uint8_t /*to*/) {}

    // A complete buffer arrived in buffered SyncManager `sm` (the outputs). `apply` is false in
    // SAFE-OP, where outputs are accepted but must not act.
    virtual void onOutputs(int /*sm*/, std::span<const uint8_t> /*data*/, bool /*apply*/) {}
    // Outputs are no longer valid (SM watchdog expired, or OP left): go to a safe state.
    virtual void onOutputsInvalid() {}

    // A complete mailbox message arrived in the receive mailbox (whole SM0 window).
    virtual void onMailbox(std::span<const uint8_t> /*message*/) {}
    // The mailbox was (re)started on INIT -> PRE-OP or INIT -> BOOT: counters start over.
    virtual void onMailboxStart() {}

protected:
    Esc* esc_ = nullptr;
};

}  // namespace sim
