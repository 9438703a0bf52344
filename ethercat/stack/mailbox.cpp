#include "mailbox.h"

#include <algorithm>
#include <cstring>

#include "base.h"
#include "ethercat.h"
#include "wire.h"

namespace ec {

namespace {

// Smallest window a service can use: header plus an SDO request.
constexpr size_t kMinWindow = kMbxHeaderSize + kSdoHeaderSize;
// Longest wait for the slave to acknowledge a repeat request.
constexpr auto kRepeatAckWait = std::chrono::milliseconds(100);
constexpr int kMinPolls = 3;

bool windowUsable(uint16_t offset, uint16_t length) {
    return offset != 0 && length >= kMinWindow && length <= EC_MAXMBX;
}

}  // namespace

void mailboxRestarted(ecx_contextt* ctx, uint16_t slave) {
    if (ctx == nullptr) {
        return;
    }
    if (slave != 0) {
        if (slave < EC_MAXSLAVE) {
            ctx->mailboxes[slave].lastCounter.store(0);
        }
        return;
    }
    for (int n = 0; n < EC_MAXSLAVE; ++n) {
        ctx->mailboxes[n].lastCounter.store(0);
    }
}

MailboxSession::MailboxSession(ecx_contextt* ctx, uint16_t slave) : ctx_(ctx), slave_(slave) {
    if (ctx_ != nullptr && ctx_->port && slave_ >= 1 && slave_ <= *ctx_->slavecount &&
        slave_ < EC_MAXSLAVE) {
        lock_ = std::unique_lock(ctx_->mailboxes[slave_].mutex);
        const ec_slavet& s = ctx_->slavelist[slave_];
        usable_ = windowUsable(s.mbx_wo, s.mbx_l) && windowUsable(s.mbx_ro, s.mbx_rl);
    }
    if (!usable_) {
        serviceNoMailbox();
    }
}

MailboxSession::MailboxSession(ecx_contextt* ctx, uint16_t slave, std::try_to_lock_t)
    : ctx_(ctx), slave_(slave) {
    if (ctx_ == nullptr || !ctx_->port || slave_ < 1 || slave_ > *ctx_->slavecount ||
        slave_ >= EC_MAXSLAVE) {
        return;
    }
    lock_ = std::unique_lock(ctx_->mailboxes[slave_].mutex, std::try_to_lock);
    const ec_slavet& s = ctx_->slavelist[slave_];
    usable_ =
        lock_.owns_lock() && windowUsable(s.mbx_wo, s.mbx_l) && windowUsable(s.mbx_ro, s.mbx_rl);
}

bool MailboxSession::takeUnsolicited() {
    if (!usable_) {
        return false;
    }
    MailboxMessage message;
    MbxReceive verdict = MbxReceive::Timeout;
    const ReadResult r = readIfFull(message, verdict);
    return r == ReadResult::Skipped || r == ReadResult::Taken;
}

size_t MailboxSession::sendCapacity() const {
    return usable_ ? ctx_->slavelist[slave_].mbx_l - kMbxHeaderSize : 0;
}

size_t MailboxSession::receiveCapacity() const {
    return usable_ ? ctx_->slavelist[slave_].mbx_rl - kMbxHeaderSize : 0;
}

void MailboxSession::record(ec_errort e) {
    e.Slave = slave_;
    ctx_->errors.push(e);
    serviceRecorded(e);
}

void MailboxSession::recordPacketError(uint16_t code, uint16_t index, uint8_t subindex) {
    ec_errort e{};
    e.Etype = EC_ERR_TYPE_PACKET_ERROR;
    e.ErrorCode = code;
    e.Index = index;
    e.SubIdx = subindex;
    record(e);
}

void MailboxSession::drain() {
    if (!usable_ || !ctx_->mailboxes[slave_].replyPending) {
        return;
    }
    MailboxMessage stale;
    MbxReceive verdict = MbxReceive::Timeout;
    if (readIfFull(stale, verdict) != ReadResult::Lost) {
        ctx_->mailboxes[slave_].replyPending = false;
    }
}

bool MailboxSession::awaitReceiveMailboxFree(Clock::time_point deadline) {
    const ec_slavet& s = ctx_->slavelist[slave_];
    // A few polls always, so that a thread held up past the deadline still looks.
    for (int poll = 1;; ++poll) {
        uint8_t status = 0;
        const int wkc =
            ecx_FPRD(ctx_, s.configadr, kRegSm0Status, sizeof status, &status, EC_TIMEOUTRET);
        if (wkc > 0 && (status & kSmStatusMailboxFull) == 0) {
            return true;
        }
        if (Clock::now() >= deadline && poll >= kMinPolls) {
            return false;
        }
        osal_usleep(kMbxPollPauseUs);
    }
}

int MailboxSession::send(uint8_t type, std::span<const uint8_t> data, int timeoutUs) {
    if (!usable_ || data.size() > sendCapacity()) {
        return 0;
    }
    ec_slavet& s = ctx_->slavelist[slave_];
    const auto deadline = Clock::now() + std::chrono::microseconds(timeoutUs);
    // Counted even when the write fails: the slave may have received it all the same, and drops a
    // message whose counter equals the one before.
    // After a scan that kept the slave running, the counter its firmware saw last is unknown:
    // the first message carries 0, which it never takes for a repetition.
    s.mbx_cnt =
        s.mbx_cnt == kMbxCounterUnknown ? 0 : static_cast<uint8_t>(s.mbx_cnt % kMbxCounterMax + 1);
    std::array<uint8_t, EC_MAXMBX> frame{};
    putU16(frame.data(), static_cast<uint16_t>(data.size()));
    frame[5] = static_cast<uint8_t>((type & kMbxTypeMask) | s.mbx_cnt << kMbxCounterShift);
    std::copy(data.begin(), data.end(), frame.begin() + kMbxHeaderSize);
    ctx_->mailboxes[slave_].replyPending = true;
    // Written again with the same counter until it lands: a refused write never reached the
    // slave's firmware, and where the refusal or a lost frame hid a copy that did arrive, the
    // slave drops the next one as a repetition. Tries are paced like the reply's polls, never back
    // to back beside the cycle.
    int wkc = ecx_FPWR(ctx_, s.configadr, s.mbx_wo, s.mbx_l, frame.data(), EC_TIMEOUTRET3);
    while (wkc <= 0 && Clock::now() < deadline) {
        if (wkc == 0 && !awaitReceiveMailboxFree(deadline)) {
            break;
        }
        osal_usleep(kMbxPollPauseUs);
        wkc = ecx_FPWR(ctx_, s.configadr, s.mbx_wo, s.mbx_l, frame.data(), EC_TIMEOUTRET3);
    }
    return wkc > 0 ? wkc : EC_TIMEOUT;
}

MailboxSession::ReadResult MailboxSession::readIfFull(MailboxMessage& out, MbxReceive& verdict) {
    const ec_slavet& s = ctx_->slavelist[slave_];
    // Status and message in one frame: the ESC refuses the read of an empty mailbox (working
    // counter 0) and hands out a full one, so the status only confirms what the read found.
    uint8_t status[2] = {};
    auto& buf = out.buffer();
    std::array<ec_datagramt, 2> poll{
        ec_datagramt{
            Command::FPRD, physicalAddress(s.configadr, kRegSm1Status), sizeof status, {}, status},
        ec_datagramt{Command::FPRD,
                     physicalAddress(s.configadr, s.mbx_ro),
                     s.mbx_rl,
                     {},
                     std::span(buf.data(), s.mbx_rl)},
    };
    transceiveBatch(ctx_, poll, EC_TIMEOUTRET);
    lastPollAnswered_ = poll[0].wkc > 0 || poll[1].wkc > 0;
    if (poll[1].wkc > 0) {
        const auto taken = take(out);
        if (!taken) {
            return ReadResult::Skipped;
        }
        verdict = *taken;
        return ReadResult::Taken;
    }
    // One attempt only: a frame lost on its way back may have emptied the mailbox, and a read
    // sent again would find nothing. Only a repeat request brings such a message back.
    if (poll[1].wkc < 0 || (poll[0].wkc > 0 && (status[0] & kSmStatusMailboxFull) != 0)) {
        return ReadResult::Lost;
    }
    return ReadResult::Empty;
}

std::optional<MbxReceive> MailboxSession::take(MailboxMessage& m) {
    const ec_slavet& s = ctx_->slavelist[slave_];
    const auto& buf = m.buffer();
    const size_t length = getU16(buf.data());
    // The header's length must stay inside the window that was read.
    if (length > static_cast<size_t>(s.mbx_rl) - kMbxHeaderSize) {
        recordPacketError(kPacketMalformed);
        return MbxReceive::Malformed;
    }
    m.setLength(length);
    const uint8_t counter = m.counter();
    auto& last = ctx_->mailboxes[slave_].lastCounter;
    if (counter != 0 && counter == last.load()) {
        return std::nullopt;  // the same message again (a repetition or a duplicate)
    }
    last.store(counter);
    const auto data = m.data();
    if (m.type() == kMbxTypeError) {
        ec_errort e{};
        e.Etype = EC_ERR_TYPE_MBX_ERROR;
        // Data: 16-bit type (1 = error), 16-bit detail code.
        e.ErrorCode = data.size() >= 4 ? getU16(data.data() + 2) : 0;
        record(e);
        return MbxReceive::MailboxError;
    }
    if (m.type() == kMbxTypeCoE) {
        if (data.size() < kCoeHeaderSize) {
            recordPacketError(kPacketMalformed);
            return MbxReceive::Malformed;
        }
        if ((getU16(data.data()) >> kCoeServiceShift) == kCoeEmergency) {
            if (data.size() < kSdoHeaderSize) {
                recordPacketError(kPacketMalformed);
                return MbxReceive::Malformed;
            }
            ec_errort e{};
            e.Etype = EC_ERR_TYPE_EMERGENCY;
            e.ErrorCode = getU16(data.data() + 2);
            e.ErrorReg = data[4];
            e.b1 = data[5];
            e.w1 = getU16(data.data() + 6);
            e.w2 = getU16(data.data() + 8);
            record(e);
            return std::nullopt;  // not an answer: the wait goes on
        }
    }
    return MbxReceive::Message;
}

void MailboxSession::requestRepeat(Clock::time_point deadline) {
    const ec_slavet& s = ctx_->slavelist[slave_];
    // Status and activate bytes; the status byte is read-only for the master and ignored.
    uint8_t regs[2] = {};
    if (ecx_FPRD(ctx_, s.configadr, kRegSm1Status, sizeof regs, regs, EC_TIMEOUTRET) <= 0) {
        return;
    }
    regs[1] ^= kSmActivateRepeat;
    if (ecx_FPWR(ctx_, s.configadr, kRegSm1Status, sizeof regs, regs, EC_TIMEOUTRET3) <= 0) {
        return;
    }
    const uint8_t wanted = regs[1] & kSmActivateRepeat;
    const auto until = std::min(deadline, Clock::now() + kRepeatAckWait);
    while (Clock::now() < until) {
        uint8_t pdi = 0;
        if (ecx_FPRD(ctx_, s.configadr, kRegSm1PdiControl, sizeof pdi, &pdi, EC_TIMEOUTRET) > 0 &&
            (pdi & kSmPdiRepeatAck) == wanted) {
            return;
        }
        osal_usleep(kMbxPollPauseUs);
    }
}

MbxReceive MailboxSession::receive(MailboxMessage& out, Clock::time_point deadline) {
    if (!usable_) {
        return MbxReceive::Timeout;
    }
    const auto start = Clock::now();
    auto quietSince = start;
    auto answeredAt = start;
    while (true) {
        MbxReceive verdict = MbxReceive::Timeout;
        const ReadResult read = readIfFull(out, verdict);
        if (read == ReadResult::Taken) {
            ctx_->mailboxes[slave_].replyPending = false;
            return verdict;
        }
        const auto now = Clock::now();
        if (lastPollAnswered_) {
            answeredAt = now;
        }
        if (now >= deadline || now - answeredAt >= kMbxSlaveGoneAfter) {
            return MbxReceive::Timeout;
        }
        if (read == ReadResult::Lost || now - quietSince >= kMbxRepeatAfter) {
            requestRepeat(deadline);
            quietSince = Clock::now();
        } else if (read == ReadResult::Skipped) {
            quietSince = now;
        } else if (now - start >= kMbxBackToBackPolls) {
            osal_usleep(kMbxPollPauseUs);
        }
    }
}

}  // namespace ec

int ecx_mbxpoll(ecx_contextt* ctx, uint16_t slave) {
    ec::MailboxSession session(ctx, slave, std::try_to_lock);
    return session.takeUnsolicited() ? 1 : 0;
}
