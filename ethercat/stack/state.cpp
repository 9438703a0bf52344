// AL state machine services: request a state, wait for it, read every slave's state and status
// code, and the texts of the AL status codes.
#include <algorithm>

#include "base.h"
#include "ethercat.h"
#include "mailbox.h"
#include "wire.h"

namespace {

constexpr uint32_t kStatePollUs = 1000;
// Slaves whose AL status one frame reads when states have to be read one by one.
constexpr int kStatusReadsPerFrame = 64;
constexpr uint16_t kAlStatusReadSize = 6;  // status, reserved, status code

bool isSingleState(uint16_t bitwise) {
    // The OR of several different states is no valid state, except INIT | PRE-OP, which reads as
    // BOOT: that case is resolved by reading each slave.
    switch (bitwise) {
        case EC_STATE_INIT:
        case EC_STATE_PRE_OP:
        case EC_STATE_SAFE_OP:
        case EC_STATE_OPERATIONAL:
            return true;
        default:
            return false;
    }
}

// One frame of FPRD 0x0130 (6 bytes) for slaves first..last; a slave that does not answer reads
// as state 0.
void readStatesIndividually(ecx_contextt* ctx, int first, int last) {
    for (int s = first; s <= last; ++s) {
        ctx->slavelist[s].state = 0;
        ctx->slavelist[s].ALstatuscode = 0;
    }
    if (!ctx->port) {
        return;  // closed: nobody answers
    }
    ec::Port& port = *ctx->port;
    const auto timeout = std::chrono::microseconds(ec::kConfigTimeoutUs);
    auto slot = port.claim(ec::Port::Clock::now() + timeout);
    if (!slot) {
        return;
    }
    auto& builder = port.engine().builder(*slot);
    for (int s = first; s <= last; ++s) {
        builder.add(ec::Command::FPRD,
                    ec::physicalAddress(ctx->slavelist[s].configadr, ec::kRegAlStatus),
                    kAlStatusReadSize);
    }
    if (port.exchange(*slot, timeout)) {
        for (int s = first; s <= last; ++s) {
            const size_t n = static_cast<size_t>(s - first);
            if (port.engine().replyWkc(*slot, n) == 0) {
                continue;
            }
            const auto data = port.engine().replyData(*slot, n);
            ctx->slavelist[s].state = ec::getU16(data.data());
            ctx->slavelist[s].ALstatuscode = ec::getU16(data.data() + 4);
        }
    }
    port.release(*slot);
}

}  // namespace

int ecx_writestate(ecx_contextt* ctx, uint16_t slave) {
    if (ctx == nullptr || slave > *ctx->slavecount) {
        return EC_NOFRAME;
    }
    const uint16_t state = ctx->slavelist[slave].state;
    ec::mailboxRestarted(ctx, slave);
    if (slave == 0) {
        return ec::bwr16(ctx, ec::kRegAlControl, state, ec::kConfigTimeoutUs);
    }
    return ec::fpwr16(ctx, ctx->slavelist[slave].configadr, ec::kRegAlControl, state,
                      ec::kConfigTimeoutUs);
}

uint16_t ecx_statecheck(ecx_contextt* ctx, uint16_t slave, uint16_t reqstate, int timeout) {
    if (ctx == nullptr || slave > *ctx->slavecount) {
        return 0;
    }
    const auto deadline = ec::Port::Clock::now() + std::chrono::microseconds(timeout);
    uint16_t status = 0;
    uint16_t state = 0;
    while (true) {
        status = 0;
        // Each read may be sent again while time is left, but never past the caller's deadline.
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - ec::Port::Clock::now());
        const int pollTimeout =
            std::clamp(static_cast<int>(left.count()), EC_TIMEOUTRET, ec::kConfigTimeoutUs);
        if (slave == 0) {
            // Every slave ORs its state into the broadcast read.
            uint8_t b[2] = {};
            if (ecx_BRD(ctx, 0, ec::kRegAlStatus, sizeof b, b, pollTimeout) > 0) {
                status = ec::getU16(b);
            }
        } else {
            uint8_t b[kAlStatusReadSize] = {};
            if (ecx_FPRD(ctx, ctx->slavelist[slave].configadr, ec::kRegAlStatus, kAlStatusReadSize,
                         b, pollTimeout) > 0) {
                status = ec::getU16(b);
                ctx->slavelist[slave].ALstatuscode = ec::getU16(b + 4);
            }
        }
        state = status & ec::kAlStateMask;
        if (state == reqstate || ec::Port::Clock::now() >= deadline) {
            break;
        }
        osal_usleep(kStatePollUs);
    }
    ctx->slavelist[slave].state = status;
    return state;
}

int ecx_readstate(ecx_contextt* ctx) {
    if (ctx == nullptr) {
        return 0;
    }
    const int count = *ctx->slavecount;
    uint8_t b[2] = {};
    const int wkc = ecx_BRD(ctx, 0, ec::kRegAlStatus, sizeof b, b, ec::kConfigTimeoutUs);
    const uint16_t all = ec::getU16(b);
    if (wkc >= count && wkc > 0 && (all & EC_STATE_ERROR) == 0 &&
        isSingleState(all & ec::kAlStateMask)) {
        for (int s = 1; s <= count; ++s) {
            ctx->slavelist[s].state = all;
            ctx->slavelist[s].ALstatuscode = 0;
        }
    } else {
        for (int first = 1; first <= count; first += kStatusReadsPerFrame) {
            readStatesIndividually(ctx, first, std::min(count, first + kStatusReadsPerFrame - 1));
        }
    }
    uint16_t lowest = count > 0 ? 0xFF : 0;
    for (int s = 1; s <= count; ++s) {
        lowest = std::min<uint16_t>(lowest, ctx->slavelist[s].state & ec::kAlStateMask);
    }
    ctx->slavelist[0].state = lowest;
    return lowest;
}

const char* ec_ALstatuscode2string(uint16_t ALstatuscode) {
    struct Entry {
        uint16_t code;
        const char* text;
    };
    static constexpr Entry kTexts[] = {
        {0x0000, "No error"},
        {0x0001, "Unspecified error"},
        {0x0002, "No memory"},
        {0x0011, "Invalid requested state change"},
        {0x0012, "Unknown requested state"},
        {0x0013, "Bootstrap not supported"},
        {0x0014, "No valid firmware"},
        {0x0015, "Invalid mailbox configuration"},
        {0x0016, "Invalid mailbox configuration"},
        {0x0017, "Invalid sync manager configuration"},
        {0x0018, "No valid inputs available"},
        {0x0019, "No valid outputs"},
        {0x001A, "Synchronization error"},
        {0x001B, "Sync manager watchdog"},
        {0x001C, "Invalid sync Manager types"},
        {0x001D, "Invalid output configuration"},
        {0x001E, "Invalid input configuration"},
        {0x001F, "Invalid watchdog configuration"},
        {0x0020, "Slave needs cold start"},
        {0x0021, "Slave needs INIT"},
        {0x0022, "Slave needs PREOP"},
        {0x0023, "Slave needs SAFEOP"},
        {0x0024, "Invalid input mapping"},
        {0x0025, "Invalid output mapping"},
        {0x0026, "Inconsistent settings"},
        {0x0027, "Freerun not supported"},
        {0x0028, "Synchronisation not supported"},
        {0x0029, "Freerun needs 3buffer mode"},
        {0x002A, "Background watchdog"},
        {0x002B, "No valid Inputs and Outputs"},
        {0x002C, "Fatal sync error"},
        {0x002D, "No sync error"},
        {0x002E, "Invalid input FMMU configuration"},
        {0x0030, "Invalid DC SYNC configuration"},
        {0x0031, "Invalid DC latch configuration"},
        {0x0032, "PLL error"},
        {0x0033, "DC sync IO error"},
        {0x0034, "DC sync timeout error"},
        {0x0035, "DC invalid sync cycle time"},
        {0x0036, "DC invalid sync0 cycle time"},
        {0x0037, "DC invalid sync1 cycle time"},
        {0x0041, "MBX_AOE"},
        {0x0042, "MBX_EOE"},
        {0x0043, "MBX_COE"},
        {0x0044, "MBX_FOE"},
        {0x0045, "MBX_SOE"},
        {0x004F, "MBX_VOE"},
        {0x0050, "EEPROM no access"},
        {0x0051, "EEPROM error"},
        {0x0060, "Slave restarted locally"},
        {0x0061, "Device identification value updated"},
        {0x00F0, "Application controller available"},
    };
    for (const Entry& e : kTexts) {
        if (e.code == ALstatuscode) {
            return e.text;
        }
    }
    return "Unknown";
}
