#include "base.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "ethercat.h"
#include "wire.h"

namespace ec {

int transceive(ecx_contextt* ctx, Command cmd, uint32_t address, uint16_t length, const void* out,
               void* in, int timeoutUs) {
    if (ctx == nullptr || !ctx->port || length > kMaxDatagramData) {
        return EC_NOFRAME;
    }
    Port& port = *ctx->port;
    const auto timeout = std::chrono::microseconds(std::max(timeoutUs, 1));
    auto slot = port.claim(Port::Clock::now() + timeout);
    if (!slot) {
        return EC_NOFRAME;
    }
    port.engine().builder(*slot).add(cmd, address, length, out);
    int wkc = EC_NOFRAME;
    if (port.exchange(*slot, timeout)) {
        wkc = port.engine().replyWkc(*slot, 0);
        if (in != nullptr && length > 0) {
            const auto reply = port.engine().replyData(*slot, 0);
            std::memcpy(in, reply.data(), length);
        }
    }
    port.release(*slot);
    return wkc;
}

bool addToFrame(FrameBuilder& builder, const ec_datagramt& d) {
    if (d.out.size() >= d.length) {
        return builder.add(d.cmd, d.address, d.length, d.out.data()).has_value();
    }
    // Fewer bytes than the datagram carries: the rest goes out as zeros.
    std::array<uint8_t, kMaxDatagramData> padded{};
    std::copy(d.out.begin(), d.out.end(), padded.begin());
    return builder.add(d.cmd, d.address, d.length, padded.data()).has_value();
}

int transceiveBatch(ecx_contextt* ctx, std::span<ec_datagramt> batch, int timeoutUs) {
    for (ec_datagramt& d : batch) {
        d.wkc = d.length > kMaxDatagramData ? EC_ERROR : EC_NOFRAME;
    }
    if (ctx == nullptr || !ctx->port) {
        return 0;
    }
    Port& port = *ctx->port;
    const auto timeout = std::chrono::microseconds(std::max(timeoutUs, 1));
    int answered = 0;
    size_t next = 0;
    while (next < batch.size()) {
        auto slot = port.claim(Port::Clock::now() + timeout);
        if (!slot) {
            break;
        }
        FrameBuilder& builder = port.engine().builder(*slot);
        // Which datagram of the batch each datagram of this frame is.
        std::array<size_t, kMaxDatagramsPerFrame> members{};
        size_t count = 0;
        for (; next < batch.size(); ++next) {
            if (batch[next].wkc == EC_ERROR) {
                continue;  // too long for any frame
            }
            if (!addToFrame(builder, batch[next])) {
                break;
            }
            members[count++] = next;
        }
        if (count == 0) {
            port.release(*slot);
            break;
        }
        if (port.exchange(*slot, timeout)) {
            for (size_t n = 0; n < count; ++n) {
                ec_datagramt& d = batch[members[n]];
                // The engine took the reply only with every datagram's length as sent, so the
                // data lie inside the frame; the caller's buffer bounds the copy.
                const auto reply = port.engine().replyData(*slot, n);
                d.wkc = port.engine().replyWkc(*slot, n);
                std::copy_n(reply.begin(), std::min(reply.size(), d.in.size()), d.in.begin());
                ++answered;
            }
        }
        port.release(*slot);
    }
    return answered;
}

std::optional<uint16_t> fprd16(ecx_contextt* ctx, uint16_t station, uint16_t reg, int timeoutUs) {
    uint8_t b[2] = {};
    if (transceive(ctx, Command::FPRD, physicalAddress(station, reg), 2, b, b, timeoutUs) <= 0) {
        return std::nullopt;
    }
    return getU16(b);
}

int fpwr8(ecx_contextt* ctx, uint16_t station, uint16_t reg, uint8_t value, int timeoutUs) {
    return transceive(ctx, Command::FPWR, physicalAddress(station, reg), 1, &value, nullptr,
                      timeoutUs);
}

int fpwr16(ecx_contextt* ctx, uint16_t station, uint16_t reg, uint16_t value, int timeoutUs) {
    uint8_t b[2];
    putU16(b, value);
    return transceive(ctx, Command::FPWR, physicalAddress(station, reg), 2, b, nullptr, timeoutUs);
}

int fpwr32(ecx_contextt* ctx, uint16_t station, uint16_t reg, uint32_t value, int timeoutUs) {
    uint8_t b[4];
    putU32(b, value);
    return transceive(ctx, Command::FPWR, physicalAddress(station, reg), 4, b, nullptr, timeoutUs);
}

int fpwr64(ecx_contextt* ctx, uint16_t station, uint16_t reg, uint64_t value, int timeoutUs) {
    uint8_t b[8];
    putU64(b, value);
    return transceive(ctx, Command::FPWR, physicalAddress(station, reg), 8, b, nullptr, timeoutUs);
}

int bwr8(ecx_contextt* ctx, uint16_t reg, uint8_t value, int timeoutUs) {
    return transceive(ctx, Command::BWR, physicalAddress(0, reg), 1, &value, nullptr, timeoutUs);
}

int bwr16(ecx_contextt* ctx, uint16_t reg, uint16_t value, int timeoutUs) {
    uint8_t b[2];
    putU16(b, value);
    return transceive(ctx, Command::BWR, physicalAddress(0, reg), 2, b, nullptr, timeoutUs);
}

}  // namespace ec

using ec::Command;
using ec::physicalAddress;
using ec::transceive;

int ecx_APRD(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, void* data,
             int timeout) {
    return transceive(ctx, Command::APRD, physicalAddress(ADP, ADO), length, data, data, timeout);
}

int ecx_APWR(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, const void* data,
             int timeout) {
    return transceive(ctx, Command::APWR, physicalAddress(ADP, ADO), length, data, nullptr,
                      timeout);
}

int ecx_FPRD(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, void* data,
             int timeout) {
    return transceive(ctx, Command::FPRD, physicalAddress(ADP, ADO), length, data, data, timeout);
}

int ecx_FPWR(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, const void* data,
             int timeout) {
    return transceive(ctx, Command::FPWR, physicalAddress(ADP, ADO), length, data, nullptr,
                      timeout);
}

int ecx_BRD(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, void* data,
            int timeout) {
    return transceive(ctx, Command::BRD, physicalAddress(ADP, ADO), length, data, data, timeout);
}

int ecx_BWR(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, const void* data,
            int timeout) {
    return transceive(ctx, Command::BWR, physicalAddress(ADP, ADO), length, data, nullptr, timeout);
}

int ecx_ARMW(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, void* data,
             int timeout) {
    return transceive(ctx, Command::ARMW, physicalAddress(ADP, ADO), length, data, data, timeout);
}

int ecx_FRMW(ecx_contextt* ctx, uint16_t ADP, uint16_t ADO, uint16_t length, void* data,
             int timeout) {
    return transceive(ctx, Command::FRMW, physicalAddress(ADP, ADO), length, data, data, timeout);
}

int ecx_LRD(ecx_contextt* ctx, uint32_t LogAdr, uint16_t length, void* data, int timeout) {
    return transceive(ctx, Command::LRD, LogAdr, length, data, data, timeout);
}

int ecx_LWR(ecx_contextt* ctx, uint32_t LogAdr, uint16_t length, const void* data, int timeout) {
    return transceive(ctx, Command::LWR, LogAdr, length, data, nullptr, timeout);
}

int ecx_LRW(ecx_contextt* ctx, uint32_t LogAdr, uint16_t length, void* data, int timeout) {
    return transceive(ctx, Command::LRW, LogAdr, length, data, data, timeout);
}

int ecx_transceive_batch(ecx_contextt* ctx, std::span<ec_datagramt> batch, int timeout) {
    return ec::transceiveBatch(ctx, batch, timeout);
}
