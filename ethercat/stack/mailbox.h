// Mailbox exchange with one slave over SyncManager 0 (master -> slave) and 1 (slave -> master):
// message counters, the full/empty handshake by SyncManager status, the repeat request for a
// reply whose read went wrong, and defensive parsing of what the slave sends.
//
// A MailboxSession holds the slave's mailbox lock for one service (an SDO transfer, an FoE
// write), so that the messages of two services never interleave. It only uses register
// datagrams through the shared port: the cycle's process-data frames pass alongside.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>

#include "context.h"
#include "types.h"

namespace ec {

// While a reply is awaited and the send mailbox stays empty this long, the master asks for the
// last message again: its read may have been lost, and only the repeat request brings it back.
inline constexpr std::chrono::milliseconds kMbxRepeatAfter{100};
// Pause between two polls of a SyncManager status.
inline constexpr uint32_t kMbxPollPauseUs = EC_LOCALDELAY;
// A reply is polled for without pauses this long: most slaves answer within a few round trips,
// and a sleep costs more than the wait it saves.
inline constexpr std::chrono::microseconds kMbxBackToBackPolls{1000};
// A slave whose SyncManager status goes unanswered this long while a reply is awaited is gone (a
// pulled cable, a powered-off drive): the wait ends then, however long the service would wait
// for a slow answer. A busy firmware still answers register reads; its controller does.
inline constexpr std::chrono::milliseconds kMbxSlaveGoneAfter{1000};

// A message as read from the send mailbox, cut to the length its header gives.
class MailboxMessage {
public:
    uint8_t type() const { return bytes_[5] & kMbxTypeMask; }
    uint8_t counter() const { return (bytes_[5] >> kMbxCounterShift) & kMbxCounterMask; }
    // The data behind the 6-byte header.
    std::span<const uint8_t> data() const { return {bytes_.data() + kMbxHeaderSize, length_}; }
    // Called by the session only.
    std::array<uint8_t, EC_MAXMBX>& buffer() { return bytes_; }
    void setLength(size_t length) { length_ = length; }

private:
    std::array<uint8_t, EC_MAXMBX> bytes_{};
    size_t length_ = 0;
};

enum class MbxReceive {
    Message,       // a message for the service
    Timeout,       // nothing in time
    Malformed,     // the slave sent something that is no valid message (recorded)
    MailboxError,  // the slave answered with a mailbox error (recorded)
};

// ec_slavet::mbx_cnt of a slave whose firmware's last counter is unknown (ecx_config_inspect).
inline constexpr uint8_t kMbxCounterUnknown = 0xFF;

// The slave's mailbox starts over (state request, restart, new scan): it numbers its messages
// afresh, so the counter of the last one taken no longer tells a repetition. Slave 0: all.
void mailboxRestarted(ecx_contextt* ctx, uint16_t slave);

class MailboxSession {
public:
    using Clock = std::chrono::steady_clock;

    // A service's session; when unusable, "no mailbox" is the service's outcome.
    MailboxSession(ecx_contextt* ctx, uint16_t slave);
    // Only when no other service holds the slave's mailbox; unusable() otherwise.
    MailboxSession(ecx_contextt* ctx, uint16_t slave, std::try_to_lock_t);
    MailboxSession(const MailboxSession&) = delete;
    MailboxSession& operator=(const MailboxSession&) = delete;

    // False when the slave has no mailbox the master can use (no slave, no or odd windows).
    bool usable() const { return usable_; }
    uint16_t slave() const { return slave_; }
    // Data bytes one message to / from the slave can carry (window minus header).
    size_t sendCapacity() const;
    size_t receiveCapacity() const;

    // Reads and drops what the send mailbox holds (an emergency is still recorded), so that a
    // stale message is not taken for the reply to the next request. Costs nothing when every
    // request before has had its reply taken.
    void drain();

    // Sends one message of `type` with the next counter. The write goes out at once: a slave
    // whose receive mailbox still holds the previous message refuses it (working counter 0), and
    // it is written again once the slave has taken that; a write whose frame did not come back
    // goes out again. The message fills the whole window (zeros behind the data). Returns the
    // working counter of the write (> 0 sent), 0 when the session is unusable or the message too
    // long, EC_TIMEOUT when no write landed within `timeoutUs`.
    int send(uint8_t type, std::span<const uint8_t> data, int timeoutUs = EC_TIMEOUTTXM);

    // Waits for the next message until `deadline`. Emergencies are recorded and skipped,
    // repetitions of the last message skipped.
    MbxReceive receive(MailboxMessage& out, Clock::time_point deadline);

    // Reads a message the slave put into its send mailbox unasked (an emergency is recorded).
    // True when one was read.
    bool takeUnsolicited();

    // Records an entry in the context's error list with this slave's number; it is also the
    // reason of the running service's failure, should the service fail (ec::serviceRecorded).
    void record(ec_errort e);
    void recordPacketError(uint16_t code, uint16_t index = 0, uint8_t subindex = 0);

private:
    bool lastPollAnswered_ = false;  // the last readIfFull's status read came back answered
    enum class ReadResult {
        Empty,    // nothing waiting
        Lost,     // the read did not come back: a message may have been taken with it
        Skipped,  // a message that is no answer (emergency, repetition)
        Taken,    // `verdict` says what it was
    };

    ReadResult readIfFull(MailboxMessage& out, MbxReceive& verdict);
    // Polls SM0 until the slave has taken the last message; false when it still holds it at
    // `deadline`.
    bool awaitReceiveMailboxFree(Clock::time_point deadline);
    // Checks a message read; nullopt when it is to be skipped.
    std::optional<MbxReceive> take(MailboxMessage& m);
    void requestRepeat(Clock::time_point deadline);

    ecx_contextt* ctx_;
    uint16_t slave_;
    bool usable_ = false;
    std::unique_lock<std::mutex> lock_;
};

}  // namespace ec
