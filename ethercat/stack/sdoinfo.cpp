// CoE SDO information client: a slave's object list, object descriptions and entry descriptions,
// replies in fragments joined. Every length a reply brings is checked against the message and the
// caller's records before anything is copied.
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "ethercat.h"
#include "mailbox.h"
#include "wire.h"

namespace {

using ec::MailboxMessage;
using ec::MailboxSession;
using ec::MbxReceive;
using Clock = std::chrono::steady_clock;

constexpr int kSuccess = 1;
constexpr uint32_t kAbortNoSubIndex = 0x06090011;
constexpr size_t kListTypeSize = 2;
static_assert(EC_MAXOELIST > 0xFF, "every subindex has its row");

// Longest replies taken, fragments joined. A list names each 16-bit index at most once; one
// longer than the records keep is still read whole (and cut), so its bound is the index space.
constexpr size_t kListReplyBound = kListTypeSize + 2 * 0x10000;
// A name longer than the largest mailbox is no name (EC_MAXNAME of it is kept anyway).
constexpr size_t kNameBound = EC_MAXMBX;
constexpr size_t kObjectReplyBound = ec::kObjectDescriptionSize + kNameBound;
constexpr size_t kEntryReplyBound = ec::kEntryDescriptionSize + kNameBound;

enum class Outcome { Answer, Aborted, Failed, Timeout };

// One request and its reply. The reply's first fragment has the answering opcode and starts with
// the request's first `keySize` bytes (list type, index, index and subindex); later fragments count
// down. Their data is joined in `data` up to `limit` bytes; `total` counts all of it, which may not
// pass `bound`. The whole reply must be in by `until`, the end of the call.
struct Exchange {
    MailboxSession& mbx;
    Clock::time_point until;
    uint8_t opcode;
    std::array<uint8_t, 4> request;
    size_t requestSize;
    size_t keySize;
    size_t limit;
    size_t bound;
    uint16_t index = 0;  // for the error list
    uint8_t subindex = 0;
    std::vector<uint8_t> data{};
    size_t total = 0;
    uint32_t abortCode = 0;

    void recordPacketError(uint16_t code) { mbx.recordPacketError(code, index, subindex); }
};

// A request naming an object (index) or an entry (index, subindex, value info 0: no value data).
Exchange objectExchange(MailboxSession& mbx, Clock::time_point until, uint16_t index,
                        std::optional<uint8_t> subindex) {
    const bool entry = subindex.has_value();
    Exchange x{mbx,
               until,
               entry ? ec::kSdoInfoEntryRq : ec::kSdoInfoObjectRq,
               {},
               entry ? 4u : 2u,
               entry ? 3u : 2u,
               (entry ? ec::kEntryDescriptionSize : ec::kObjectDescriptionSize) + EC_MAXNAME,
               entry ? kEntryReplyBound : kObjectReplyBound,
               index,
               subindex.value_or(0)};
    ec::putU16(x.request.data(), index);
    x.request[2] = subindex.value_or(0);
    return x;
}

Clock::time_point deadlineAfter(int timeoutUs) {
    return Clock::now() + std::chrono::microseconds(timeoutUs);
}

// The end of a call started now.
Clock::time_point callDeadline() {
    return deadlineAfter(EC_TIMEOUTSDOINFO);
}

Outcome failWith(Exchange& x, uint16_t packetError) {
    x.recordPacketError(packetError);
    return Outcome::Failed;
}

Outcome transfer(Exchange& x) {
    if (Clock::now() >= x.until) {
        return failWith(x, ec::kPacketOverdue);  // nothing sent whose reply would be left behind
    }
    x.mbx.drain();
    std::array<uint8_t, ec::kSdoInfoHeaderSize + 4> rq{};
    ec::putU16(rq.data(), static_cast<uint16_t>(ec::kCoeSdoInfo << ec::kCoeServiceShift));
    rq[2] = x.opcode;
    std::copy_n(x.request.begin(), x.requestSize, rq.begin() + ec::kSdoInfoHeaderSize);
    if (const int wkc = x.mbx.send(ec::kMbxTypeCoE,
                                   std::span(rq.data(), ec::kSdoInfoHeaderSize + x.requestSize));
        wkc <= 0) {
        return wkc == 0 ? Outcome::Failed : Outcome::Timeout;
    }
    const auto answer = static_cast<uint8_t>(x.opcode + 1);
    const auto key = std::span(x.request.data(), x.keySize);
    bool first = true;
    uint16_t left = 0;  // fragments still due after the last one taken
    MailboxMessage m;
    // The timeout applies to each fragment; messages skipped on the way do not extend it. The
    // call's end bounds them all: a slave may announce 65,535 fragments, each one in time.
    auto deadline = deadlineAfter(EC_TIMEOUTRXM);
    while (true) {
        if (Clock::now() >= x.until) {
            return failWith(x, ec::kPacketOverdue);
        }
        switch (x.mbx.receive(m, std::min(deadline, x.until))) {
            case MbxReceive::Timeout:
                return Clock::now() >= x.until ? failWith(x, ec::kPacketOverdue) : Outcome::Timeout;
            case MbxReceive::Malformed:
            case MbxReceive::MailboxError:
                return Outcome::Failed;
            case MbxReceive::Message:
                break;
        }
        const auto d = m.data();
        if (m.type() != ec::kMbxTypeCoE ||
            (ec::getU16(d.data()) >> ec::kCoeServiceShift) != ec::kCoeSdoInfo) {
            x.recordPacketError(ec::kPacketUnexpected);
            continue;
        }
        if (d.size() < ec::kSdoInfoHeaderSize) {
            x.recordPacketError(ec::kPacketMalformed);
            return Outcome::Failed;
        }
        const uint8_t opcode = d[2] & ec::kSdoInfoOpcodeMask;
        const bool more = (d[2] & ec::kSdoInfoIncomplete) != 0;
        const uint16_t fragmentsLeft = ec::getU16(d.data() + 4);
        const auto payload = d.subspan(ec::kSdoInfoHeaderSize);
        if (opcode == ec::kSdoInfoError) {
            if (payload.size() < 4) {
                x.recordPacketError(ec::kPacketMalformed);
                return Outcome::Failed;
            }
            x.abortCode = ec::getU32(payload.data());
            return Outcome::Aborted;
        }
        // A reply to another request (or the rest of one given up on) is not the answer.
        if (opcode != answer || (first && (payload.size() < key.size() ||
                                           !std::equal(key.begin(), key.end(), payload.begin())))) {
            x.recordPacketError(ec::kPacketUnexpected);
            continue;
        }
        if (more != (fragmentsLeft > 0) || (!first && fragmentsLeft + 1 != left)) {
            return failWith(x, ec::kPacketMalformed);
        }
        // Every fragment still due brings at least a byte.
        if (x.total + payload.size() + fragmentsLeft > x.bound) {
            return failWith(x, ec::kPacketTooLong);
        }
        const size_t keep = std::min(payload.size(), x.limit - x.data.size());
        x.data.insert(x.data.end(), payload.begin(),
                      payload.begin() + static_cast<std::ptrdiff_t>(keep));
        x.total += payload.size();
        if (!more) {
            return Outcome::Answer;
        }
        first = false;
        left = fragmentsLeft;
        deadline = deadlineAfter(EC_TIMEOUTRXM);
    }
}

// What a transfer that brought no answer returns; an error reply goes to the list.
int failed(Exchange& x, Outcome outcome) {
    if (outcome == Outcome::Aborted) {
        ec_errort e{};
        e.Etype = EC_ERR_TYPE_SDOINFO_ERROR;
        e.Index = x.index;
        e.SubIdx = x.subindex;
        e.AbortCode = static_cast<int32_t>(x.abortCode);
        x.mbx.record(e);
    }
    return outcome == Outcome::Timeout ? EC_TIMEOUT : 0;
}

// Refuses, without traffic, a slave whose SII does not offer SDO information.
bool refused(ecx_contextt* ctx, MailboxSession& mbx, uint16_t index = 0, uint8_t subindex = 0) {
    const ec_slavet& s = ctx->slavelist[mbx.slave()];
    if ((s.mbx_proto & ec::kMbxProtoCoE) != 0 && (s.CoEdetails & ec::kCoeDetailSdoInfo) != 0) {
        return false;
    }
    mbx.recordPacketError(ec::kPacketRefused, index, subindex);
    return true;
}

void copyName(char (&name)[EC_MAXNAME + 1], std::span<const uint8_t> text) {
    const size_t n = std::min<size_t>(text.size(), EC_MAXNAME);
    std::memcpy(name, text.data(), n);
    name[n] = '\0';
}

bool validItem(const ec_ODlistt* od, uint16_t item) {
    return od != nullptr && item < od->Entries && item < EC_MAXODLIST;
}

// Fills row `subindex` of `oe`. A subindex the slave reports missing leaves an empty row and counts
// as read when `gapAllowed` (the object's entries need not be contiguous).
int readEntry(MailboxSession& mbx, Clock::time_point until, uint16_t index, uint8_t subindex,
              ec_OElistt& oe, bool gapAllowed) {
    Exchange x = objectExchange(mbx, until, index, subindex);
    const Outcome outcome = transfer(x);
    if (outcome == Outcome::Aborted && gapAllowed && x.abortCode == kAbortNoSubIndex) {
        return kSuccess;
    }
    if (outcome != Outcome::Answer) {
        return failed(x, outcome);
    }
    // Value data (unit, default, minimum, maximum) was not asked for: its size would be unknown.
    if (x.total < ec::kEntryDescriptionSize || x.data[3] != 0) {
        x.recordPacketError(ec::kPacketMalformed);
        return 0;
    }
    oe.ValueInfo[subindex] = x.data[3];
    oe.DataType[subindex] = ec::getU16(&x.data[4]);
    oe.BitLength[subindex] = ec::getU16(&x.data[6]);
    oe.ObjAccess[subindex] = ec::getU16(&x.data[8]);
    copyName(oe.Name[subindex], std::span(x.data).subspan(ec::kEntryDescriptionSize));
    return kSuccess;
}

int readODlist(ecx_contextt* ctx, uint16_t slave, ec_ODlistt* pODlist) {
    if (pODlist == nullptr) {
        return 0;
    }
    std::memset(pODlist, 0, sizeof *pODlist);
    pODlist->Slave = slave;
    MailboxSession mbx(ctx, slave);
    if (!mbx.usable() || refused(ctx, mbx)) {
        return 0;
    }
    Exchange x{mbx,
               callDeadline(),
               ec::kSdoInfoListRq,
               {},
               kListTypeSize,
               kListTypeSize,
               kListTypeSize + 2 * EC_MAXODLIST,
               kListReplyBound};
    ec::putU16(x.request.data(), ec::kOdListAll);
    const Outcome outcome = transfer(x);
    if (outcome != Outcome::Answer) {
        return failed(x, outcome);
    }
    if (x.total % 2 != 0) {  // an index cut in half
        x.recordPacketError(ec::kPacketMalformed);
        return 0;
    }
    const size_t entries = (x.total - kListTypeSize) / 2;
    const size_t kept = std::min<size_t>(entries, EC_MAXODLIST);
    for (size_t i = 0; i < kept; ++i) {
        pODlist->Index[i] = ec::getU16(&x.data[kListTypeSize + 2 * i]);
    }
    pODlist->Entries = static_cast<uint16_t>(kept);
    if (kept < entries) {
        x.recordPacketError(ec::kPacketBufferTooSmall);
    }
    return kSuccess;
}

int readODdescription(ecx_contextt* ctx, uint16_t item, ec_ODlistt* pODlist) {
    if (!validItem(pODlist, item)) {
        return 0;
    }
    const uint16_t index = pODlist->Index[item];
    MailboxSession mbx(ctx, pODlist->Slave);
    if (!mbx.usable() || refused(ctx, mbx, index)) {
        return 0;
    }
    Exchange x = objectExchange(mbx, callDeadline(), index, std::nullopt);
    const Outcome outcome = transfer(x);
    if (outcome != Outcome::Answer) {
        return failed(x, outcome);
    }
    if (x.total < ec::kObjectDescriptionSize) {
        x.recordPacketError(ec::kPacketMalformed);
        return 0;
    }
    pODlist->DataType[item] = ec::getU16(&x.data[2]);
    pODlist->MaxSub[item] = x.data[4];
    pODlist->ObjectCode[item] = x.data[5];
    copyName(pODlist->Name[item], std::span(x.data).subspan(ec::kObjectDescriptionSize));
    return kSuccess;
}

int readOEsingle(ecx_contextt* ctx, uint16_t item, uint8_t subindex, ec_ODlistt* pODlist,
                 ec_OElistt* pOElist) {
    if (!validItem(pODlist, item) || pOElist == nullptr) {
        return 0;
    }
    const uint16_t index = pODlist->Index[item];
    MailboxSession mbx(ctx, pODlist->Slave);
    if (!mbx.usable() || refused(ctx, mbx, index, subindex)) {
        return 0;
    }
    return readEntry(mbx, callDeadline(), index, subindex, *pOElist, false);
}

int readOE(ecx_contextt* ctx, uint16_t item, ec_ODlistt* pODlist, ec_OElistt* pOElist) {
    if (!validItem(pODlist, item) || pOElist == nullptr) {
        return 0;
    }
    std::memset(pOElist, 0, sizeof *pOElist);
    const uint16_t index = pODlist->Index[item];
    MailboxSession mbx(ctx, pODlist->Slave);
    if (!mbx.usable() || refused(ctx, mbx, index)) {
        return 0;
    }
    // Up to 256 exchanges, all within the one call's time.
    const auto until = callDeadline();
    const int last = pODlist->MaxSub[item];
    for (int sub = 0; sub <= last; ++sub) {
        if (const int r = readEntry(mbx, until, index, static_cast<uint8_t>(sub), *pOElist, true);
            r <= 0) {
            return r;
        }
    }
    pOElist->Entries = static_cast<uint16_t>(last + 1);
    return kSuccess;
}

// The object a call names, for its outcome; 0 for a list or an item outside it.
uint16_t objectOf(const ec_ODlistt* od, uint16_t item) {
    return validItem(od, item) ? od->Index[item] : 0;
}

}  // namespace

int ecx_readODlist(ecx_contextt* ctx, uint16_t slave, ec_ODlistt* pODlist) {
    ec::serviceStart(ctx, slave);
    return ec::serviceEnd(readODlist(ctx, slave, pODlist), EC_TIMEOUT);
}

int ecx_readODdescription(ecx_contextt* ctx, uint16_t item, ec_ODlistt* pODlist) {
    ec::serviceStart(ctx, pODlist != nullptr ? pODlist->Slave : 0, objectOf(pODlist, item));
    return ec::serviceEnd(readODdescription(ctx, item, pODlist), EC_TIMEOUT);
}

int ecx_readOEsingle(ecx_contextt* ctx, uint16_t item, uint8_t subindex, ec_ODlistt* pODlist,
                     ec_OElistt* pOElist) {
    ec::serviceStart(ctx, pODlist != nullptr ? pODlist->Slave : 0, objectOf(pODlist, item),
                     subindex);
    return ec::serviceEnd(readOEsingle(ctx, item, subindex, pODlist, pOElist), EC_TIMEOUT);
}

int ecx_readOE(ecx_contextt* ctx, uint16_t item, ec_ODlistt* pODlist, ec_OElistt* pOElist) {
    ec::serviceStart(ctx, pODlist != nullptr ? pODlist->Slave : 0, objectOf(pODlist, item));
    return ec::serviceEnd(readOE(ctx, item, pODlist, pOElist), EC_TIMEOUT);
}
