// FoE write: a file sent to a slave (in practice a bootloader in BOOT) as WRQ, then DATA packets
// of one mailbox each, every one answered by an ACK of its number; and the switch of a slave to
// the bootstrap mailbox its bootloader speaks through, and back.
#include <algorithm>
#include <cstring>

#include "ethercat.h"
#include "mailbox.h"
#include "wire.h"

namespace {

using ec::MailboxMessage;
using ec::MailboxSession;
using ec::MbxReceive;
using Clock = std::chrono::steady_clock;

// A slave that answers BUSY is given this long before the packet goes again.
constexpr uint32_t kFoeBusyPauseUs = 1000;
constexpr int kBootSiiTimeoutUs = 20000;
constexpr int kBootSmWriteTimeoutUs = 2000;

enum class FoeReply { Ack, Busy, Error, Timeout, Failed };

struct FoeAnswer {
    FoeReply reply = FoeReply::Timeout;
    uint32_t parameter = 0;  // ACK: packet number; ERR: error code
};

FoeAnswer awaitFoe(MailboxSession& mbx, Clock::time_point deadline) {
    MailboxMessage m;
    while (true) {
        switch (mbx.receive(m, deadline)) {
            case MbxReceive::Timeout:
                return {FoeReply::Timeout};
            case MbxReceive::Malformed:
            case MbxReceive::MailboxError:
                return {FoeReply::Failed};
            case MbxReceive::Message:
                break;
        }
        if (m.type() != ec::kMbxTypeFoE) {
            mbx.recordPacketError(ec::kPacketUnexpected);
            continue;
        }
        const auto d = m.data();
        if (d.size() < ec::kFoeHeaderSize) {
            mbx.recordPacketError(ec::kPacketMalformed);
            return {FoeReply::Failed};
        }
        const uint32_t parameter = ec::getU32(d.data() + 2);
        switch (d[0]) {
            case ec::kFoeAck:
                return {FoeReply::Ack, parameter};
            case ec::kFoeBusy:
                return {FoeReply::Busy, parameter};
            case ec::kFoeError:
                return {FoeReply::Error, parameter};
            default:
                mbx.recordPacketError(ec::kPacketUnexpected);
                return {FoeReply::Failed};
        }
    }
}

// Turns an answer that is not the expected ACK into the call's result.
int failure(MailboxSession& mbx, const FoeAnswer& a) {
    ec_errort e{};
    switch (a.reply) {
        case FoeReply::Error:
            e.AbortCode = static_cast<int32_t>(a.parameter);
            e.Etype = a.parameter == ec::kFoeErrorNotFound ? EC_ERR_TYPE_FOE_FILE_NOTFOUND
                                                           : EC_ERR_TYPE_FOE_ERROR;
            mbx.record(e);
            return a.parameter == ec::kFoeErrorNotFound ? EC_FOE_FILENOTFOUND : EC_FOE_ERRORREPLY;
        case FoeReply::Timeout:
            return EC_FOE_NOREPLY;
        case FoeReply::Ack:
            e.Etype = EC_ERR_TYPE_FOE_PACKETNUMBER;
            e.AbortCode = static_cast<int32_t>(a.parameter);
            mbx.record(e);
            return EC_FOE_PACKETNUMBER;
        case FoeReply::Busy:
        case FoeReply::Failed:
            break;
    }
    return EC_ERROR;
}

int foeWrite(ecx_contextt* ctx, uint16_t slave, const char* FileName, uint32_t password, int psize,
             const void* p, int timeout) {
    if (psize < 0 || (psize > 0 && p == nullptr)) {
        return 0;
    }
    MailboxSession mbx(ctx, slave);
    if (!mbx.usable()) {
        return 0;
    }
    const size_t packetSize = mbx.sendCapacity() - ec::kFoeHeaderSize;
    const auto timeoutUs = std::chrono::microseconds(std::max(timeout, 0));
    mbx.drain();

    std::array<uint8_t, EC_MAXMBX> msg{};
    const size_t nameLength = FileName != nullptr ? strnlen(FileName, packetSize) : 0;
    msg[0] = ec::kFoeWrite;
    ec::putU32(msg.data() + 2, password);
    if (nameLength > 0) {  // no name: nothing to copy, and memcpy must not see a null source
        std::memcpy(msg.data() + ec::kFoeHeaderSize, FileName, nameLength);
    }
    if (const int wkc = mbx.send(
            ec::kMbxTypeFoE, std::span<const uint8_t>(msg.data(), ec::kFoeHeaderSize + nameLength));
        wkc <= 0) {
        return wkc < 0 ? EC_FOE_NOREPLY : 0;
    }
    FoeAnswer a = awaitFoe(mbx, Clock::now() + timeoutUs);
    if (a.reply != FoeReply::Ack || a.parameter != 0) {
        return failure(mbx, a);
    }

    const auto* data = static_cast<const uint8_t*>(p);
    const auto size = static_cast<size_t>(psize);
    size_t sent = 0;
    for (uint32_t packet = 1;; ++packet) {
        // A packet shorter than the full size ends the file: when the size is a multiple of it
        // (0 included), an empty packet follows the last full one.
        const size_t chunk = std::min(packetSize, size - sent);
        msg.fill(0);
        msg[0] = ec::kFoeData;
        ec::putU32(msg.data() + 2, packet);
        if (chunk > 0) {
            std::memcpy(msg.data() + ec::kFoeHeaderSize, data + sent, chunk);
        }
        const std::span<const uint8_t> out(msg.data(), ec::kFoeHeaderSize + chunk);
        // BUSY asks for the same packet again later; the reply time counts from its first send.
        const auto deadline = Clock::now() + timeoutUs;
        do {
            if (const int wkc = mbx.send(ec::kMbxTypeFoE, out); wkc <= 0) {
                return wkc < 0 ? EC_FOE_NOREPLY : 0;
            }
            a = awaitFoe(mbx, deadline);
            if (a.reply == FoeReply::Busy) {
                osal_usleep(kFoeBusyPauseUs);
            }
        } while (a.reply == FoeReply::Busy && Clock::now() < deadline);
        if (a.reply != FoeReply::Ack || a.parameter != packet) {
            return a.reply == FoeReply::Busy ? EC_FOE_NOREPLY : failure(mbx, a);
        }
        sent += chunk;
        if (chunk < packetSize) {
            return 1;
        }
    }
}

}  // namespace

int ecx_FOEwrite(ecx_contextt* ctx, uint16_t slave, const char* FileName, uint32_t password,
                 int psize, const void* p, int timeout) {
    ec::serviceStart(ctx, slave);
    return ec::serviceEnd(foeWrite(ctx, slave, FileName, password, psize, p, timeout),
                          EC_FOE_NOREPLY);
}

int ecx_FOEbootmailbox(ecx_contextt* ctx, uint16_t slave, ec_mbxsetupt* standard) {
    if (ctx == nullptr || slave < 1 || slave > *ctx->slavecount) {
        return 0;
    }
    ec_slavet& s = ctx->slavelist[slave];
    if (standard != nullptr) {
        *standard = ec_mbxsetupt{{s.SM[0], s.SM[1]}, s.mbx_wo, s.mbx_l, s.mbx_ro, s.mbx_rl};
    }
    // Each SII word pair holds the offset in its low half and the size in its high half.
    const uint32_t rx = ecx_readeeprom(ctx, slave, ec::kSiiBootRxMailbox, kBootSiiTimeoutUs);
    s.SM[0].StartAddr = static_cast<uint16_t>(rx & 0xFFFF);
    s.mbx_wo = s.SM[0].StartAddr;
    s.SM[0].SMlength = static_cast<uint16_t>(rx >> 16);
    s.mbx_l = s.SM[0].SMlength;
    const uint32_t tx = ecx_readeeprom(ctx, slave, ec::kSiiBootTxMailbox, kBootSiiTimeoutUs);
    s.SM[1].StartAddr = static_cast<uint16_t>(tx & 0xFFFF);
    s.mbx_ro = s.SM[1].StartAddr;
    s.SM[1].SMlength = static_cast<uint16_t>(tx >> 16);
    s.mbx_rl = s.SM[1].SMlength;
    int lowest = 0;
    for (int n = 0; n < 2; ++n) {
        uint8_t sm[ec::kSmSize];
        ec::putU16(sm, s.SM[n].StartAddr);
        ec::putU16(sm + 2, s.SM[n].SMlength);
        ec::putU32(sm + 4, s.SM[n].SMflags);
        const int wkc =
            ecx_FPWR(ctx, s.configadr, static_cast<uint16_t>(ec::kRegSm0 + n * ec::kSmSize),
                     sizeof sm, sm, kBootSmWriteTimeoutUs);
        lowest = n == 0 ? wkc : std::min(lowest, wkc);
    }
    return lowest;
}

void ecx_FOEstdmailbox(ecx_contextt* ctx, uint16_t slave, const ec_mbxsetupt& standard) {
    if (ctx == nullptr || slave < 1 || slave > *ctx->slavecount) {
        return;
    }
    ec_slavet& s = ctx->slavelist[slave];
    s.SM[0] = standard.SM[0];
    s.SM[1] = standard.SM[1];
    s.mbx_wo = standard.mbx_wo;
    s.mbx_l = standard.mbx_l;
    s.mbx_ro = standard.mbx_ro;
    s.mbx_rl = standard.mbx_rl;
}

int ec_FOEbootmailbox(uint16_t slave, ec_mbxsetupt* standard) {
    return ecx_FOEbootmailbox(&ecx_context, slave, standard);
}

void ec_FOEstdmailbox(uint16_t slave, const ec_mbxsetupt& standard) {
    ecx_FOEstdmailbox(&ecx_context, slave, standard);
}
