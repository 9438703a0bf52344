// CoE SDO client (expedited, normal and segmented upload and download) and the CoE reads of the
// PDO assignment that size a slave's process data.
#include <algorithm>
#include <cstring>
#include <optional>

#include "ethercat.h"
#include "mailbox.h"
#include "wire.h"

namespace {

using ec::MailboxMessage;
using ec::MailboxSession;
using ec::MbxReceive;
using Clock = std::chrono::steady_clock;

// Abort codes the client sends when it gives up on a transfer.
constexpr uint32_t kAbortTimeout = 0x05040000;
constexpr uint32_t kAbortOutOfMemory = 0x05040005;
constexpr uint32_t kAbortLength = 0x06070010;

constexpr int kSuccess = 1;

struct Transfer {
    MailboxSession& mbx;
    uint16_t index;
    uint8_t subindex;
    int timeoutUs;
};

enum class Outcome { Answer, Aborted, Failed, Timeout };

Clock::time_point deadlineAfter(int timeoutUs) {
    return Clock::now() + std::chrono::microseconds(std::max(timeoutUs, 0));
}

void putSdoHeader(uint8_t* msg, uint8_t command, uint16_t index, uint8_t subindex) {
    ec::putU16(msg, static_cast<uint16_t>(ec::kCoeSdoRequest << ec::kCoeServiceShift));
    msg[2] = command;
    ec::putU16(msg + 3, index);
    msg[5] = subindex;
}

// > 0 when sent; otherwise what the SDO call returns (EC_TIMEOUT: no write landed in time).
int sendSdo(Transfer& t, std::span<const uint8_t> msg) {
    return t.mbx.send(ec::kMbxTypeCoE, msg);
}

// Tells the slave that the client gives up, so that its server does not wait for the rest of a
// transfer. Nothing answers an abort.
void sendAbort(Transfer& t, uint32_t code) {
    uint8_t msg[ec::kSdoHeaderSize] = {};
    putSdoHeader(msg, ec::kSdoAbort, t.index, t.subindex);
    ec::putU32(msg + 6, code);
    t.mbx.send(ec::kMbxTypeCoE, msg);
}

// Waits for the reply whose command passes `isAnswer`. Initiate replies must name the transfer's
// index and subindex; segment replies carry data in those bytes. Other messages are recorded and
// the wait goes on.
template <typename IsAnswer>
Outcome awaitReply(Transfer& t, MailboxMessage& m, bool segment, IsAnswer isAnswer,
                   uint32_t& abortCode) {
    const auto deadline = deadlineAfter(t.timeoutUs);
    while (true) {
        switch (t.mbx.receive(m, deadline)) {
            case MbxReceive::Timeout:
                return Outcome::Timeout;
            case MbxReceive::Malformed:
            case MbxReceive::MailboxError:
                return Outcome::Failed;
            case MbxReceive::Message:
                break;
        }
        const auto d = m.data();
        if (m.type() != ec::kMbxTypeCoE) {
            t.mbx.recordPacketError(ec::kPacketUnexpected, t.index, t.subindex);
            continue;
        }
        if (d.size() < ec::kSdoHeaderSize) {
            t.mbx.recordPacketError(ec::kPacketMalformed, t.index, t.subindex);
            return Outcome::Failed;
        }
        const auto service = static_cast<uint8_t>(ec::getU16(d.data()) >> ec::kCoeServiceShift);
        const uint8_t command = d[2];
        const bool sameObject = ec::getU16(d.data() + 3) == t.index && d[5] == t.subindex;
        const bool sdo = service == ec::kCoeSdoResponse || service == ec::kCoeSdoRequest;
        if (sdo && command == ec::kSdoAbort && sameObject) {
            abortCode = ec::getU32(d.data() + 6);
            return Outcome::Aborted;
        }
        if (service == ec::kCoeSdoResponse && (segment || sameObject) && isAnswer(command)) {
            return Outcome::Answer;
        }
        t.mbx.recordPacketError(ec::kPacketUnexpected, t.index, t.subindex);
    }
}

// What a failed wait means for the caller; sends the abort the slave's server needs.
int finishFailed(Transfer& t, Outcome outcome, uint32_t abortCode) {
    switch (outcome) {
        case Outcome::Aborted: {
            ec_errort e{};
            e.Etype = EC_ERR_TYPE_SDO_ERROR;
            e.Index = t.index;
            e.SubIdx = t.subindex;
            e.AbortCode = static_cast<int32_t>(abortCode);
            t.mbx.record(e);
            return 0;
        }
        case Outcome::Timeout:
            sendAbort(t, kAbortTimeout);
            return EC_TIMEOUT;
        case Outcome::Failed:
        case Outcome::Answer:
            break;
    }
    return 0;
}

// Gives up on a reply the client cannot take (recorded as a packet error).
int reject(Transfer& t, uint16_t packetError, uint32_t abortCode) {
    t.mbx.recordPacketError(packetError, t.index, t.subindex);
    sendAbort(t, abortCode);
    return 0;
}

bool isSegment(uint8_t command, uint8_t specifier, uint8_t toggle) {
    return (command & ec::kSdoCsMask) == specifier && (command & ec::kSdoToggle) == toggle;
}

// Refuses complete access on a slave whose SII does not offer it.
bool completeAccessRefused(ecx_contextt* ctx, MailboxSession& mbx, bool CA, uint16_t index,
                           uint8_t subindex) {
    if (CA && (ctx->slavelist[mbx.slave()].CoEdetails & ec::kCoeDetailCompleteAccess) == 0) {
        mbx.recordPacketError(ec::kPacketRefused, index, subindex);
        return true;
    }
    return false;
}

int sdoRead(ecx_contextt* ctx, uint16_t slave, uint16_t index, uint8_t subindex, bool CA,
            int* psize, void* p, int timeout) {
    if (psize == nullptr || p == nullptr || *psize < 0) {
        return 0;
    }
    MailboxSession mbx(ctx, slave);
    if (!mbx.usable() || completeAccessRefused(ctx, mbx, CA, index, subindex)) {
        return 0;
    }
    // Complete access starts at subindex 0 or 1.
    const uint8_t sub = CA && subindex > 1 ? 1 : subindex;
    Transfer t{mbx, index, sub, timeout};
    mbx.drain();

    uint8_t rq[ec::kSdoHeaderSize] = {};
    putSdoHeader(rq, static_cast<uint8_t>(ec::kSdoUploadInitRq | (CA ? ec::kSdoCompleteAccess : 0)),
                 index, sub);
    if (const int wkc = sendSdo(t, rq); wkc <= 0) {
        return wkc;
    }
    MailboxMessage m;
    uint32_t abortCode = 0;
    const auto initOutcome = awaitReply(
        t, m, false, [](uint8_t c) { return (c & ec::kSdoCsMask) == ec::kSdoUploadInitRsp; },
        abortCode);
    if (initOutcome != Outcome::Answer) {
        return finishFailed(t, initOutcome, abortCode);
    }

    auto* out = static_cast<uint8_t*>(p);
    const auto capacity = static_cast<size_t>(*psize);
    auto d = m.data();
    const uint8_t command = d[2];
    if (command & ec::kSdoExpedited) {
        const size_t size =
            (command & ec::kSdoSizeIndicated) ? 4u - ((command >> ec::kSdoSizeShift) & 0x03u) : 4u;
        if (size > capacity) {
            mbx.recordPacketError(ec::kPacketBufferTooSmall, index, sub);
            return 0;
        }
        std::memcpy(out, d.data() + 6, size);
        *psize = static_cast<int>(size);
        return kSuccess;
    }

    // Normal transfer: the complete size, then as much as the first message holds.
    const uint32_t total = ec::getU32(d.data() + 6);
    if (total > capacity) {
        return reject(t, ec::kPacketBufferTooSmall, kAbortOutOfMemory);
    }
    size_t received = d.size() - ec::kSdoHeaderSize;
    if (received > total) {
        return reject(t, ec::kPacketOverrun, kAbortLength);
    }
    std::memcpy(out, d.data() + ec::kSdoHeaderSize, received);
    uint8_t toggle = 0;
    while (received < total) {
        uint8_t srq[ec::kSdoHeaderSize] = {};
        putSdoHeader(srq, static_cast<uint8_t>(ec::kSdoUploadSegmentRq | toggle), 0, 0);
        if (const int wkc = sendSdo(t, srq); wkc <= 0) {
            return wkc;
        }
        const auto outcome = awaitReply(
            t, m, true,
            [toggle](uint8_t c) { return isSegment(c, ec::kSdoUploadSegmentRsp, toggle); },
            abortCode);
        if (outcome != Outcome::Answer) {
            return finishFailed(t, outcome, abortCode);
        }
        d = m.data();
        const uint8_t sc = d[2];
        size_t chunk = d.size() - ec::kSdoSegmentHeaderSize;
        // A short last segment is padded to the minimum; its unused count says how much is real.
        if (chunk == ec::kSdoSegmentMinData) {
            chunk -= (sc >> ec::kSdoSegmentShift) & 0x07u;
        }
        if (chunk > total - received) {
            return reject(t, ec::kPacketOverrun, kAbortLength);
        }
        std::memcpy(out + received, d.data() + ec::kSdoSegmentHeaderSize, chunk);
        received += chunk;
        if (sc & ec::kSdoLastSegment) {
            break;
        }
        if (received == total) {
            // All announced bytes are in, yet the slave has more to send.
            return reject(t, ec::kPacketOverrun, kAbortLength);
        }
        toggle ^= ec::kSdoToggle;
    }
    *psize = static_cast<int>(received);
    return kSuccess;
}

int sdoWrite(ecx_contextt* ctx, uint16_t slave, uint16_t index, uint8_t subindex, bool CA,
             int psize, const void* p, int timeout) {
    if (psize < 0 || (psize > 0 && p == nullptr)) {
        return 0;
    }
    MailboxSession mbx(ctx, slave);
    if (!mbx.usable() || completeAccessRefused(ctx, mbx, CA, index, subindex)) {
        return 0;
    }
    const uint8_t sub = CA && subindex > 1 ? 1 : subindex;
    Transfer t{mbx, index, sub, timeout};
    mbx.drain();
    const auto* in = static_cast<const uint8_t*>(p);
    const auto size = static_cast<size_t>(psize);
    MailboxMessage m;
    uint32_t abortCode = 0;
    const auto initAnswer = [](uint8_t c) {
        return (c & ec::kSdoCsMask) == ec::kSdoDownloadInitRsp;
    };

    if (!CA && size >= 1 && size <= 4) {
        uint8_t rq[ec::kSdoHeaderSize] = {};
        putSdoHeader(rq,
                     static_cast<uint8_t>(ec::kSdoDownloadInitRq | ec::kSdoExpedited |
                                          ec::kSdoSizeIndicated | (4 - size) << ec::kSdoSizeShift),
                     index, sub);
        std::memcpy(rq + 6, in, size);
        if (const int wkc = sendSdo(t, rq); wkc <= 0) {
            return wkc;
        }
        const auto outcome = awaitReply(t, m, false, initAnswer, abortCode);
        return outcome == Outcome::Answer ? kSuccess : finishFailed(t, outcome, abortCode);
    }

    // Normal transfer: complete size and the first chunk, then segments with alternating toggle.
    std::array<uint8_t, EC_MAXMBX> msg{};
    const size_t first = std::min(size, mbx.sendCapacity() - ec::kSdoHeaderSize);
    putSdoHeader(msg.data(),
                 static_cast<uint8_t>(ec::kSdoDownloadInitRq | ec::kSdoSizeIndicated |
                                      (CA ? ec::kSdoCompleteAccess : 0)),
                 index, sub);
    ec::putU32(msg.data() + 6, static_cast<uint32_t>(size));
    if (first > 0) {
        std::memcpy(msg.data() + ec::kSdoHeaderSize, in, first);
    }
    if (const int wkc =
            sendSdo(t, std::span<const uint8_t>(msg.data(), ec::kSdoHeaderSize + first));
        wkc <= 0) {
        return wkc;
    }
    auto outcome = awaitReply(t, m, false, initAnswer, abortCode);
    if (outcome != Outcome::Answer) {
        return finishFailed(t, outcome, abortCode);
    }
    size_t sent = first;
    uint8_t toggle = 0;
    while (sent < size) {
        const size_t chunk = std::min(size - sent, mbx.sendCapacity() - ec::kSdoSegmentHeaderSize);
        const bool last = sent + chunk == size;
        // A segment is at least 7 data bytes long; the unused count tells the padding.
        const size_t unused = chunk < ec::kSdoSegmentMinData ? ec::kSdoSegmentMinData - chunk : 0;
        msg.fill(0);
        ec::putU16(msg.data(), static_cast<uint16_t>(ec::kCoeSdoRequest << ec::kCoeServiceShift));
        msg[2] =
            static_cast<uint8_t>(ec::kSdoDownloadSegmentRq | toggle |
                                 unused << ec::kSdoSegmentShift | (last ? ec::kSdoLastSegment : 0));
        std::memcpy(msg.data() + ec::kSdoSegmentHeaderSize, in + sent, chunk);
        const size_t length = ec::kSdoSegmentHeaderSize + chunk + unused;
        if (const int wkc = sendSdo(t, std::span<const uint8_t>(msg.data(), length)); wkc <= 0) {
            return wkc;
        }
        outcome = awaitReply(
            t, m, true,
            [toggle](uint8_t c) { return isSegment(c, ec::kSdoDownloadSegmentRsp, toggle); },
            abortCode);
        if (outcome != Outcome::Answer) {
            return finishFailed(t, outcome, abortCode);
        }
        sent += chunk;
        toggle ^= ec::kSdoToggle;
    }
    return kSuccess;
}

}  // namespace

int ecx_SDOread(ecx_contextt* ctx, uint16_t slave, uint16_t index, uint8_t subindex, bool CA,
                int* psize, void* p, int timeout) {
    ec::serviceStart(ctx, slave, index, subindex);
    return ec::serviceEnd(sdoRead(ctx, slave, index, subindex, CA, psize, p, timeout), EC_TIMEOUT);
}

int ecx_SDOwrite(ecx_contextt* ctx, uint16_t slave, uint16_t index, uint8_t subindex, bool CA,
                 int psize, const void* p, int timeout) {
    ec::serviceStart(ctx, slave, index, subindex);
    return ec::serviceEnd(sdoWrite(ctx, slave, index, subindex, CA, psize, p, timeout), EC_TIMEOUT);
}

namespace ec {

bool readPdoSizesCoE(ecx_contextt* ctx, uint16_t slave, uint32_t* outputBits, uint32_t* inputBits) {
    ec_slavet& s = ctx->slavelist[slave];
    if ((s.mbx_proto & kMbxProtoCoE) == 0 || (s.CoEdetails & kCoeDetailPdoAssign) == 0) {
        return false;
    }
    // Objects are read into buffers of their exact size: a longer reply fails the read.
    auto read = [&](uint16_t index, uint8_t sub, int size) -> std::optional<uint32_t> {
        uint8_t b[4] = {};
        int n = size;
        if (ecx_SDOread(ctx, slave, index, sub, false, &n, b, EC_TIMEOUTRXM) <= 0 || n <= 0) {
            return std::nullopt;
        }
        return getU32(b);
    };
    const auto smCount = read(kObjSmCommType, 0, 1);
    // SyncManagers 0 and 1 are the mailbox; without more there is no process data to assign.
    if (!smCount || *smCount <= 2) {
        return false;
    }
    struct SmBits {
        uint8_t type = 0;
        uint32_t bits = 0;
    };
    std::array<SmBits, EC_MAXSM> sms{};
    const uint32_t count = std::min<uint32_t>(*smCount, EC_MAXSM);
    for (uint32_t i = 2; i < count; ++i) {
        const auto type = read(kObjSmCommType, static_cast<uint8_t>(i + 1), 1);
        if (!type) {
            return false;
        }
        if (*type != EC_SMTYPE_OUTPUTS && *type != EC_SMTYPE_INPUTS) {
            continue;
        }
        const auto assign = static_cast<uint16_t>(kObjSmPdoAssign + i);
        const auto pdoCount = read(assign, 0, 2);
        if (!pdoCount) {
            return false;
        }
        uint32_t bits = 0;
        for (uint32_t j = 1; j <= std::min<uint32_t>(*pdoCount, 0xFE); ++j) {
            const auto pdo = read(assign, static_cast<uint8_t>(j), 2);
            if (!pdo) {
                return false;
            }
            const auto pdoIndex = static_cast<uint16_t>(*pdo);
            const auto entries = read(pdoIndex, 0, 1);
            if (!entries) {
                return false;
            }
            for (uint32_t k = 1; k <= std::min<uint32_t>(*entries, 0xFE); ++k) {
                const auto entry = read(pdoIndex, static_cast<uint8_t>(k), 4);
                if (!entry) {
                    return false;
                }
                // Entry: index << 16 | subindex << 8 | bit length; gaps count like objects.
                const uint32_t length = *entry & 0xFF;
                if (length != 0xFF) {
                    bits += length;
                }
            }
        }
        sms[i] = SmBits{static_cast<uint8_t>(*type), bits};
    }
    // Only a complete reading changes the record.
    uint32_t outBits = 0;
    uint32_t inBits = 0;
    for (uint32_t i = 2; i < count; ++i) {
        if (sms[i].type == 0) {
            continue;
        }
        s.SMtype[i] = sms[i].type;
        s.SM[i].SMlength = static_cast<uint16_t>((sms[i].bits + 7) / 8);
        (sms[i].type == EC_SMTYPE_OUTPUTS ? outBits : inBits) += sms[i].bits;
    }
    *outputBits = outBits;
    *inputBits = inBits;
    return true;
}

}  // namespace ec
