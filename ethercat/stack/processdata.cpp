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
    return ecx_send_processdata(ctx, {});
}

int ecx_send_processdata(ecx_contextt* ctx, std::span<ec_datagramt> extra) {
    for (ec_datagramt& d : extra) {
        d.wkc = d.length > ec::kMaxDatagramData ? EC_ERROR : EC_NOFRAME;
    }
    if (ctx == nullptr || !ctx->port) {
        return 0;
    }
    std::lock_guard lock(ctx->pdMutex);
    dropPending(ctx);
    ctx->pdExtras = extra;
    const ec_groupt& g = ctx->grouplist[0];
    if (g.nsegments == 0 || g.outputs == nullptr) {
        return 0;
    }
    ec::Port& port = *ctx->port;
    const bool withDc = g.hasdc && g.DCnext > 0;
    const uint8_t* image = g.outputs;
    uint32_t offset = 0;
    int sent = 0;
    size_t nextExtra = 0;
    // Appends the caller's datagrams from `nextExtra` on while they fit; records them in `f`.
    const auto addExtras = [&](ec::FrameBuilder& builder, ec::ProcessDataFrame& f) {
        f.extraFirst = nextExtra;
        f.extraPlace = builder.datagramCount();
        for (; nextExtra < extra.size(); ++nextExtra) {
            if (extra[nextExtra].wkc == EC_ERROR) {
                if (f.extraCount == 0) {
                    f.extraFirst = nextExtra + 1;
                    continue;
                }
                break;  // a frame's extras are consecutive: the rest go into the next frame
            }
            if (!ec::addToFrame(builder, extra[nextExtra])) {
                break;
            }
            ++f.extraCount;
        }
    };
    const auto transmit = [&](ec::SlotId slot, const ec::ProcessDataFrame& f) {
        port.transmit(slot);
        ctx->pdFrames.push_back(f);
        ctx->pdFramesSent.fetch_add(1, std::memory_order_relaxed);
        ++sent;
    };
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
            ec::ProcessDataFrame f{*slot, kinds[k], g.logstartaddr + offset, length, dc};
            if (i == 0 && k == 0) {
                addExtras(builder, f);
            }
            transmit(*slot, f);
        }
        offset += length;
    }
    // What the first frame had no room for goes right behind it, in frames of its own.
    while (nextExtra < extra.size()) {
        auto slot = port.claim(ec::Port::Clock::now() + kSlotWait);
        if (!slot) {
            break;
        }
        ec::ProcessDataFrame f{*slot, ec::Command::NOP, 0, 0, false};
        addExtras(port.engine().builder(*slot), f);
        if (f.extraCount == 0) {
            port.release(*slot);
            break;
        }
        transmit(*slot, f);
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
        // The engine took the reply only with every datagram's length as sent, so the data lie
        // inside the frame; the caller's buffers bound the copies.
        for (size_t n = 0; n < f.extraCount; ++n) {
            ec_datagramt& d = ctx->pdExtras[f.extraFirst + n];
            const auto reply = port.engine().replyData(f.slot, f.extraPlace + n);
            d.wkc = port.engine().replyWkc(f.slot, f.extraPlace + n);
            std::copy_n(reply.begin(), std::min(reply.size(), d.in.size()), d.in.begin());
        }
        if (f.cmd == ec::Command::NOP) {
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
    ctx->pdExtras = {};
    return wkc;
}

uint64_t ecx_processdata_frames(ecx_contextt* ctx) {
    return ctx == nullptr ? 0 : ctx->pdFramesSent.load(std::memory_order_relaxed);
}
