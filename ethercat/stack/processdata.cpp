// Cyclic process data: the LRW frames of group 0 (LRD and LWR where a slave cannot take LRW),
// with the DC system-time datagram behind the first one when the bus has distributed clocks.
#include <algorithm>
#include <cstring>

#include "base.h"
#include "ethercat.h"
#include "wire.h"

namespace {

constexpr auto kSlotWait = std::chrono::microseconds(EC_TIMEOUTRET);

// Drops frames of an earlier cycle nobody collected; their indices are held back from reuse.
void dropPending(ecx_contextt* ctx) {
    for (const auto& f : ctx->pdFrames) {
        ctx->port->release(f.slot);
    }
    ctx->pdFrames.clear();
}

}  // namespace

int ecx_send_processdata(ecx_contextt* ctx) {
    if (ctx == nullptr || !ctx->port) {
        return 0;
    }
    std::lock_guard lock(ctx->pdMutex);
    dropPending(ctx);
    const ec_groupt& g = ctx->grouplist[0];
    if (g.nsegments == 0 || g.outputs == nullptr) {
        return 0;
    }
    ec::Port& port = *ctx->port;
    const bool withDc = g.hasdc && g.DCnext > 0;
    const uint8_t* image = g.outputs;
    uint32_t offset = 0;
    int sent = 0;
    // A slave that cannot take LRW makes the whole group read and write in separate frames.
    const ec::Command kinds[2] = {g.blockLRW ? ec::Command::LRD : ec::Command::LRW,
                                  ec::Command::LWR};
    const int kindCount = g.blockLRW ? 2 : 1;
    for (uint16_t i = 0; i < g.nsegments; ++i) {
        const auto length = static_cast<uint16_t>(g.IOsegment[i]);
        for (int k = 0; k < kindCount; ++k) {
            auto slot = port.claim(ec::Port::Clock::now() + kSlotWait);
            if (!slot) {
                return sent > 0 ? 1 : 0;
            }
            auto& builder = port.engine().builder(*slot);
            builder.add(kinds[k], g.logstartaddr + offset, length, image + offset);
            const bool dc = withDc && i == 0 && k == 0;
            if (dc) {
                uint8_t t[8];
                ec::putU64(t, static_cast<uint64_t>(*ctx->DCtime));
                const uint16_t reference = ctx->slavelist[g.DCnext].configadr;
                builder.add(ec::Command::FRMW, ec::physicalAddress(reference, ec::kRegDcSystemTime),
                            8, t);
            }
            port.transmit(*slot);
            ctx->pdFrames.push_back({*slot, kinds[k], g.logstartaddr + offset, length, dc});
            ++sent;
        }
        offset += length;
    }
    return sent > 0 ? 1 : 0;
}

int ecx_receive_processdata(ecx_contextt* ctx, int timeout) {
    if (ctx == nullptr || !ctx->port) {
        return EC_NOFRAME;
    }
    std::lock_guard lock(ctx->pdMutex);
    ec::Port& port = *ctx->port;
    const ec_groupt& g = ctx->grouplist[0];
    const auto deadline = ec::Port::Clock::now() + std::chrono::microseconds(timeout);
    // Only the input part of the image is written back: outputs belong to the application.
    const uint32_t inputsBegin = g.Obytes;
    const uint32_t inputsEnd = g.Obytes + g.Ibytes;
    int wkc = EC_NOFRAME;
    for (const auto& f : ctx->pdFrames) {
        if (!port.awaitReply(f.slot, deadline)) {
            continue;
        }
        const auto data = port.engine().replyData(f.slot, 0);
        const uint32_t begin = f.logical - g.logstartaddr;
        const uint32_t from = std::max(begin, inputsBegin);
        const uint32_t to = std::min(begin + f.length, inputsEnd);
        if (from < to && g.outputs != nullptr && f.cmd != ec::Command::LWR) {
            std::memcpy(g.outputs + from, data.data() + (from - begin), to - from);
        }
        if (f.carriesDcTime) {
            *ctx->DCtime =
                static_cast<int64_t>(ec::getU64(port.engine().replyData(f.slot, 1).data()));
        }
        // A separate LWR counts each output FMMU once: doubled, the sum matches an LRW's.
        const int factor = f.cmd == ec::Command::LWR ? 2 : 1;
        wkc = (wkc == EC_NOFRAME ? 0 : wkc) + factor * port.engine().replyWkc(f.slot, 0);
    }
    dropPending(ctx);
    return wkc;
}
