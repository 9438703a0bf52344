#include "errorlist.h"

#include <cstdio>

#include "ethercat.h"

namespace ec {

void ErrorList::push(ec_errort entry) {
    entry.Signal = true;
    entry.Time = osal_current_time();
    std::lock_guard lock(mutex_);
    if (count_ == ring_.size()) {
        head_ = (head_ + 1) % ring_.size();
        --count_;
    }
    ring_[(head_ + count_) % ring_.size()] = entry;
    ++count_;
}

std::optional<ec_errort> ErrorList::pop() {
    std::lock_guard lock(mutex_);
    if (count_ == 0) {
        return std::nullopt;
    }
    ec_errort e = ring_[head_];
    head_ = (head_ + 1) % ring_.size();
    --count_;
    return e;
}

bool ErrorList::empty() const {
    std::lock_guard lock(mutex_);
    return count_ == 0;
}

void ErrorList::clear() {
    std::lock_guard lock(mutex_);
    head_ = 0;
    count_ = 0;
}

namespace {

template <typename Code>
struct Text {
    Code code;
    const char* text;
};

template <typename Code, size_t N>
const char* lookup(const Text<Code> (&table)[N], Code code, const char* otherwise) {
    for (const auto& t : table) {
        if (t.code == code) {
            return t.text;
        }
    }
    return otherwise;
}

constexpr Text<uint32_t> kSdoAborts[] = {
    {0x05030000, "Toggle bit not changed"},
    {0x05040000, "SDO protocol timeout"},
    {0x05040001, "Client/server command specifier not valid or unknown"},
    {0x05040002, "Invalid block size"},
    {0x05040003, "Invalid sequence number"},
    {0x05040004, "CRC error"},
    {0x05040005, "Out of memory"},
    {0x06010000, "Unsupported access to an object"},
    {0x06010001, "Attempt to read a write-only object"},
    {0x06010002, "Attempt to write a read-only object"},
    {0x06010003, "Subindex cannot be written, SI0 must be 0 for write access"},
    {0x06010004, "Complete access not supported for variable-length objects"},
    {0x06010005, "Object length exceeds mailbox size"},
    {0x06010006, "Object mapped to RxPDO, SDO download blocked"},
    {0x06020000, "Object does not exist in the object dictionary"},
    {0x06040041, "Object cannot be mapped into the PDO"},
    {0x06040042, "Number and length of mapped objects would exceed PDO length"},
    {0x06040043, "General parameter incompatibility"},
    {0x06040047, "General internal incompatibility in the device"},
    {0x06060000, "Access failed due to a hardware error"},
    {0x06070010, "Data type does not match, length of service parameter does not match"},
    {0x06070012, "Data type does not match, length of service parameter too high"},
    {0x06070013, "Data type does not match, length of service parameter too low"},
    {0x06090011, "Subindex does not exist"},
    {0x06090030, "Value range of parameter exceeded (write)"},
    {0x06090031, "Value written too high"},
    {0x06090032, "Value written too low"},
    {0x06090036, "Maximum value is less than minimum value"},
    {0x08000000, "General error"},
    {0x08000020, "Data cannot be transferred or stored to the application"},
    {0x08000021,
     "Data cannot be transferred or stored to the application because of local control"},
    {0x08000022,
     "Data cannot be transferred or stored to the application because of the present device "
     "state"},
    {0x08000023, "Object dictionary dynamic generation fails or no object dictionary is present"},
};

constexpr Text<uint16_t> kMailboxErrors[] = {
    {0x0001, "Mailbox header syntax wrong"}, {0x0002, "Mailbox protocol not supported"},
    {0x0003, "Mailbox channel wrong"},       {0x0004, "Mailbox service not supported"},
    {0x0005, "Mailbox header invalid"},      {0x0006, "Mailbox data too short"},
    {0x0007, "No more memory in slave"},     {0x0008, "Mailbox length inconsistent"},
};

constexpr Text<uint32_t> kFoeErrors[] = {
    {0x8000, "Not defined"},      {0x8001, "Not found"},
    {0x8002, "Access denied"},    {0x8003, "Disk full"},
    {0x8004, "Illegal"},          {0x8005, "Packet number wrong"},
    {0x8006, "Already exists"},   {0x8007, "No user"},
    {0x8008, "Bootstrap only"},   {0x8009, "Not allowed in bootstrap"},
    {0x800A, "No rights"},        {0x800B, "Program error"},
    {0x800C, "Invalid checksum"}, {0x800D, "Invalid firmware"},
};

constexpr Text<uint16_t> kPacketErrors[] = {
    {kPacketUnexpected, "Reply to another request"},
    {kPacketMalformed, "Malformed mailbox message"},
    {kPacketBufferTooSmall, "Data container too small for the object"},
    {kPacketOverrun, "More data than announced"},
    {kPacketRefused, "Request not supported by the slave"},
    {kPacketTooLong, "Reply longer than what it describes can be"},
    {kPacketOverdue, "Reply not complete when the call's time was up"},
};

double seconds(const ec_timet& t) {
    return t.sec + t.usec / 1e6;
}

// The service the thread runs or ran last. Only the thread itself reads or writes it.
struct ThreadService {
    uint64_t context = 0;  // serial of the context it ran on
    bool running = false;
    ec_serviceresultt result;
};
thread_local ThreadService thisThread;

void settle(ec_serviceresultt& r, ec_servicekind kind, uint32_t code, const char* text) {
    r.kind = kind;
    r.code = code;
    r.text = text;
}

}  // namespace

void serviceStart(const ecx_contextt* ctx, uint16_t slave, uint16_t index, uint8_t subindex) {
    thisThread.context = ctx != nullptr ? ctx->serial : 0;
    thisThread.running = true;
    // Refused until the service gives another reason or ends: nothing has been asked yet.
    thisThread.result = {EC_SERVICE_REFUSED, slave, index, subindex, 0, "Request not placed"};
}

void serviceRecorded(const ec_errort& e) {
    if (!thisThread.running || e.Etype == EC_ERR_TYPE_EMERGENCY) {
        return;  // an emergency met on the way is the slave's news, not the service's outcome
    }
    ec_serviceresultt& r = thisThread.result;
    const auto code = static_cast<uint32_t>(e.AbortCode);
    switch (e.Etype) {
        case EC_ERR_TYPE_SDO_ERROR:
        case EC_ERR_TYPE_SDOINFO_ERROR:
            settle(r,
                   e.Etype == EC_ERR_TYPE_SDO_ERROR ? EC_SERVICE_ABORTED : EC_SERVICE_SDOINFO_ERROR,
                   code, ec_sdoerror2string(code));
            r.index = e.Index;
            r.subindex = e.SubIdx;
            break;
        case EC_ERR_TYPE_MBX_ERROR:
            settle(r, EC_SERVICE_MBX_ERROR, e.ErrorCode, mailboxErrorText(e.ErrorCode));
            break;
        case EC_ERR_TYPE_FOE_ERROR:
        case EC_ERR_TYPE_FOE_FILE_NOTFOUND:
            settle(r, EC_SERVICE_FOE_ERROR, code, foeErrorText(code));
            break;
        case EC_ERR_TYPE_FOE_PACKETNUMBER:
            settle(r, EC_SERVICE_FOE_ERROR, kFoeErrorPacketNumber,
                   foeErrorText(kFoeErrorPacketNumber));
            break;
        default:  // packet errors; those of the mailbox layer name no object
            settle(r, e.ErrorCode == kPacketRefused ? EC_SERVICE_REFUSED : EC_SERVICE_PACKET_ERROR,
                   e.ErrorCode, packetErrorText(e.ErrorCode));
            if (e.Index != 0) {
                r.index = e.Index;
                r.subindex = e.SubIdx;
            }
            break;
    }
}

void serviceNoMailbox() {
    if (thisThread.running) {
        settle(thisThread.result, EC_SERVICE_NO_MAILBOX, 0, "No mailbox the master can use");
    }
}

int serviceEnd(int result, int timeoutResult) {
    ec_serviceresultt& r = thisThread.result;
    if (result > 0) {
        settle(r, EC_SERVICE_OK, 0, "");
    } else if (result == timeoutResult) {
        settle(r, EC_SERVICE_TIMEOUT, 0, "No reply in time");
    }
    thisThread.running = false;
    return result;
}

ec_serviceresultt lastService(const ecx_contextt* ctx) {
    if (ctx == nullptr || ctx->serial != thisThread.context) {
        return {};
    }
    return thisThread.result;
}

std::string serviceResultText(const ec_serviceresultt& r) {
    char at[24] = "";
    if (r.index != 0 || r.subindex != 0) {
        std::snprintf(at, sizeof at, " at 0x%04x:%02x", r.index, r.subindex);
    }
    char line[256] = "";
    switch (r.kind) {
        case EC_SERVICE_NONE:
            return "no service";
        case EC_SERVICE_OK:
            return "ok";
        case EC_SERVICE_TIMEOUT:
            return "no reply in time";
        case EC_SERVICE_ABORTED:
        case EC_SERVICE_SDOINFO_ERROR:
            std::snprintf(line, sizeof line, "%s 0x%08x %s%s",
                          r.kind == EC_SERVICE_ABORTED ? "abort" : "SDO information error", r.code,
                          r.text, at);
            break;
        case EC_SERVICE_PACKET_ERROR:
            std::snprintf(line, sizeof line, "packet error %u %s%s", r.code, r.text, at);
            break;
        case EC_SERVICE_MBX_ERROR:
        case EC_SERVICE_FOE_ERROR:
            std::snprintf(line, sizeof line, "%s error 0x%04x %s",
                          r.kind == EC_SERVICE_MBX_ERROR ? "mailbox" : "FoE", r.code, r.text);
            break;
        case EC_SERVICE_REFUSED:
            std::snprintf(line, sizeof line, "refused: %s%s", r.text, at);
            break;
        case EC_SERVICE_NO_MAILBOX:
            std::snprintf(line, sizeof line, "no mailbox at slave %u", r.slave);
            break;
    }
    return line;
}

const char* mailboxErrorText(uint16_t code) {
    return lookup(kMailboxErrors, code, "Unknown mailbox error");
}

const char* foeErrorText(uint32_t code) {
    return lookup(kFoeErrors, code, "Unknown FoE error");
}

const char* packetErrorText(uint16_t code) {
    return lookup(kPacketErrors, code, "Unknown packet error");
}

std::string errorText(const ec_errort& e) {
    char line[256];
    const double t = seconds(e.Time);
    switch (e.Etype) {
        case EC_ERR_TYPE_SDO_ERROR:
        case EC_ERR_TYPE_SDOINFO_ERROR:
            std::snprintf(line, sizeof line,
                          "Time:%12.3f %s slave:%d index:%4.4x.%2.2x error:%8.8x %s", t,
                          e.Etype == EC_ERR_TYPE_SDO_ERROR ? "SDO" : "SDO info", e.Slave, e.Index,
                          e.SubIdx, static_cast<uint32_t>(e.AbortCode),
                          ec_sdoerror2string(static_cast<uint32_t>(e.AbortCode)));
            break;
        case EC_ERR_TYPE_EMERGENCY:
            std::snprintf(line, sizeof line,
                          "Time:%12.3f EMERGENCY slave:%d error:%4.4x register:%2.2x data:%2.2x "
                          "%4.4x %4.4x",
                          t, e.Slave, e.ErrorCode, e.ErrorReg, e.b1, e.w1, e.w2);
            break;
        case EC_ERR_TYPE_PACKET_ERROR:
            std::snprintf(line, sizeof line,
                          "Time:%12.3f PACKET slave:%d index:%4.4x.%2.2x error:%d %s", t, e.Slave,
                          e.Index, e.SubIdx, e.ErrorCode, packetErrorText(e.ErrorCode));
            break;
        case EC_ERR_TYPE_MBX_ERROR:
            std::snprintf(line, sizeof line, "Time:%12.3f MBX slave:%d error:%4.4x %s", t, e.Slave,
                          e.ErrorCode, mailboxErrorText(e.ErrorCode));
            break;
        case EC_ERR_TYPE_FOE_ERROR:
        case EC_ERR_TYPE_FOE_FILE_NOTFOUND:
            std::snprintf(line, sizeof line, "Time:%12.3f FoE slave:%d error:%8.8x %s", t, e.Slave,
                          static_cast<uint32_t>(e.AbortCode),
                          foeErrorText(static_cast<uint32_t>(e.AbortCode)));
            break;
        case EC_ERR_TYPE_FOE_PACKETNUMBER:
            std::snprintf(line, sizeof line, "Time:%12.3f FoE slave:%d packet number wrong:%u", t,
                          e.Slave, static_cast<uint32_t>(e.AbortCode));
            break;
        default:
            std::snprintf(line, sizeof line, "Time:%12.3f error type %d slave:%d", t,
                          static_cast<int>(e.Etype), e.Slave);
            break;
    }
    return line;
}

}  // namespace ec

const char* ec_sdoerror2string(uint32_t sdoerrorcode) {
    return ec::lookup(ec::kSdoAborts, sdoerrorcode, "Unknown abort");
}

const char* ec_mbxerror2string(uint16_t errorcode) {
    return ec::mailboxErrorText(errorcode);
}

bool ecx_iserror(ecx_contextt* ctx) {
    return ctx != nullptr && !ctx->errors.empty();
}

bool ecx_poperror(ecx_contextt* ctx, ec_errort* ec) {
    if (ctx == nullptr) {
        return false;
    }
    const auto e = ctx->errors.pop();
    if (!e) {
        return false;
    }
    if (ec != nullptr) {
        *ec = *e;
    }
    return true;
}

ec_serviceresultt ecx_lastservice(ecx_contextt* ctx) {
    return ec::lastService(ctx);
}

const char* ecx_elist2string(ecx_contextt* ctx) {
    // One buffer per thread, so two threads listing errors do not overwrite each other's text.
    thread_local std::string text;
    text.clear();
    ec_errort e;
    while (ecx_poperror(ctx, &e)) {
        text += ec::errorText(e);
        text += '\n';
    }
    return text.c_str();
}
