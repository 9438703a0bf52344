// What the fuzz targets share, and their input formats (the committed corpora: keep them stable).
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "ethercat.h"
#include "frame.h"
#include "fuzz_abort.h"
#include "link.h"
#include "protocol.h"
#include "wire.h"

namespace fuzz {

using Bytes = std::vector<uint8_t>;

// Running out of input yields zeros and empty records, never an out-of-range read.
class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data, size) {}
    bool empty() const { return at_ >= data_.size(); }
    uint8_t u8() { return empty() ? 0 : data_[at_++]; }
    uint16_t u16() {
        const uint8_t lo = u8();
        return static_cast<uint16_t>(lo | u8() << 8);
    }
    std::span<const uint8_t> record() {  // 16-bit length, then up to that many bytes
        const auto s = data_.subspan(at_, std::min<size_t>(u16(), data_.size() - at_));
        at_ += s.size();
        return s;
    }

private:
    std::span<const uint8_t> data_;
    size_t at_ = 0;
};

// Every frame sent goes to a responder whose frames wait for receive(), which never blocks.
class FakeLink final : public ec::FrameLink {
public:
    using Responder = std::function<void(const Bytes& sent, std::deque<Bytes>& replies)>;
    explicit FakeLink(Responder respond) : respond_(std::move(respond)) {}
    bool send(std::span<const uint8_t> frame) override {
        respond_(Bytes(frame.begin(), frame.end()), queue_);
        return true;
    }
    int receive(std::span<uint8_t> buf, std::chrono::microseconds) override {
        if (queue_.empty())
            return 0;
        const Bytes frame = std::move(queue_.front());
        queue_.pop_front();
        const size_t n = std::min(frame.size(), buf.size());
        return std::copy_n(frame.begin(), n, buf.begin()), static_cast<int>(n);
    }

private:
    Responder respond_;
    std::deque<Bytes> queue_;
};

// Registers and memory for position, station and broadcast datagrams; AL status follows control.
class FakeEsc {
public:
    FakeEsc() : mem_(0x2000, 0) {}
    virtual ~FakeEsc() = default;
    uint16_t station() const { return ec::getU16(&mem_[ec::kRegStationAddress]); }
    void setStation(uint16_t station) { ec::putU16(&mem_[ec::kRegStationAddress], station); }
    uint8_t* reg(uint16_t address) { return &mem_[address]; }

    // The frame as it comes back from a line of this one slave.
    void respond(const Bytes& sent, std::deque<Bytes>& replies) {
        Bytes frame = sent;
        if (!ec::checkFrame(frame))
            return;  // a slave forwards it unchanged; the master ignores it either way
        frame[6] |= ec::kMacReturnBit;
        // Per command (NOP..FRMW): position, station or broadcast addressing; read (r), write (w).
        static constexpr const char* kModes[] = {"--", "Pr", "Pw", "P-", "Fr", "Fw", "F-", "Br",
                                                 "Bw", "B-", "--", "--", "--", "Pr", "Fr"};
        for (size_t at = ec::kFrameHeaderSize;;) {
            uint8_t* d = frame.data() + at;
            const char* mode = d[0] < std::size(kModes) ? kModes[d[0]] : "--";
            const uint16_t adp = ec::getU16(d + 2), ado = ec::getU16(d + 4),
                           lenField = ec::getU16(d + 6), len = lenField & ec::kDatagramLengthMask;
            uint8_t* data = d + ec::kDatagramHeaderSize;
            uint16_t wkc = 0;
            if ((mode[0] == 'P' && adp == 0) || (mode[0] == 'F' && adp == station()) ||
                mode[0] == 'B')
                wkc = mode[1] == 'r'   ? read(ado, data, len)
                      : mode[1] == 'w' ? write(ado, data, len)
                                       : 0;
            ec::putU16(data + len, static_cast<uint16_t>(ec::getU16(data + len) + wkc));
            if (mode[0] == 'P')  // the position counts up in every slave passed
                ec::putU16(d + 2, static_cast<uint16_t>(adp + 1));
            at += ec::kDatagramHeaderSize + len + ec::kWkcSize;
            if ((lenField & ec::kDatagramMore) == 0)
                break;
        }
        if (!std::exchange(loseReply_, false))  // else: acted on, but never comes back
            replies.push_back(std::move(frame));
    }

protected:
    virtual bool read(uint16_t address, uint8_t* data, uint16_t len) {
        return size_t{address} + len <= mem_.size() && std::memcpy(data, &mem_[address], len);
    }
    virtual bool write(uint16_t address, const uint8_t* data, uint16_t len) {
        if (size_t{address} + len > mem_.size())
            return false;
        std::memcpy(&mem_[address], data, len);
        if (address <= ec::kRegAlControl && address + len > ec::kRegAlControl)
            mem_[ec::kRegAlStatus] = mem_[ec::kRegAlControl] & ec::kAlStateMask;  // reached at once
        return true;
    }
    std::vector<uint8_t> mem_;
    bool loseReply_ = false;  // set by a handler: the frame being answered is lost
};

// --- fuzz_frame_receive: scenario byte, detail byte, then per frame sent the reply records
// [flags][16-bit length][bytes] (process data and multi-datagram scenarios read their shape bytes
// first). Behind them the frame comes back unchanged, unless the last record's upper flag bits
// are exactly kReplyThenSilence.
enum FrameScenario : uint8_t {
    kBroadcastRead,     // BRD of the type register, as the scan counts slaves
    kStationRead,       // FPRD of the AL status into a caller buffer of 1..8 bytes (detail)
    kProcessData,       // LRW (+ FRMW of the DC time) over one or two segments (shape byte)
    kProcessDataSplit,  // LRD and LWR for a group with a slave that cannot take LRW
    kMultiDatagram,     // one frame of 1..4 register datagrams (count byte, length bytes)
    kFrameScenarioCount,
};
inline constexpr uint8_t kReplyFixIndex = 0x01;  // the sent index written into each datagram
inline constexpr uint8_t kReplyOverlay = 0x02;   // reply = sent frame XOR the bytes
inline constexpr uint8_t kReplyMore = 0x04;      // another reply to the same frame follows
inline constexpr uint8_t kReplyFlagBits = 0x07, kReplyThenSilence = 0x08;
inline constexpr uint16_t kStationReadStation = 0x1001;
inline constexpr std::array<ec::Command, 4> kMultiDatagramCommands = {
    ec::Command::APRD, ec::Command::FPWR, ec::Command::BRD, ec::Command::LRW};

// --- fuzz_mailbox_reply: op, windows (SM0 index low nibble, SM1 index high nibble into
// kMailboxWindows), 16-bit size of the caller's data, SII CoE details, 16-bit object index,
// subindex; then records [16-bit length][bytes], each the SM1 contents of one read. The record
// {kLostReadMarker} loses the frame that reads the next message.
enum MailboxOp : uint8_t { kSdoRead, kSdoWrite, kFoeWrite, kSdoReadSmall };
inline constexpr uint8_t kOpMask = 0x03, kOpCompleteAccess = 0x04;
inline constexpr uint8_t kOpVisibleBeforeRequest = 0x08;  // the drain before the request takes one
inline constexpr uint8_t kOpNoFileName = 0x10;
inline constexpr uint8_t kOpPdoSizes = 0x20;  // readPdoSizesCoE instead; mailbox errors at the end
inline constexpr uint8_t kLostReadMarker = 0xFF;
inline constexpr uint16_t kMailboxStation = 0x1001;
inline constexpr std::array<uint16_t, 12> kMailboxWindows = {16,  17,  18,   24,   32, 64,
                                                             128, 256, 1024, 1486, 15, 1487};

inline void connect(ec::OwnedContext& master, std::shared_ptr<FakeEsc> esc) {
    ecx_init_link(master.get(),
                  std::make_unique<FakeLink>(
                      [esc](const Bytes& sent, std::deque<Bytes>& r) { esc->respond(sent, r); }));
}

// A slave with a mailbox: SM0 at kWindowStart, SM1 right behind it, the messages SM1 serves.
struct WindowedEsc : FakeEsc {
    static constexpr uint16_t kWindowStart = 0x1000;
    uint16_t outLength = 128, inStart = 0, inLength = 128;
    std::deque<Bytes> messages;
    bool visible = false;  // whether SM1 shows the messages yet
};

// The master's link to `esc` and its slave 1, windows from the windows byte, records as messages.
template <class Esc>
ec_slavet& mailboxSlave(ec::OwnedContext& master, const std::shared_ptr<Esc>& esc, uint8_t windows,
                        FuzzInput& in) {
    connect(master, esc);
    *master->slavecount = 1;
    ec_slavet& s = master.slave(1);
    esc->setStation(s.configadr = kMailboxStation);
    s.mbx_wo = Esc::kWindowStart;
    esc->outLength = s.mbx_l = kMailboxWindows[(windows & 0x0F) % kMailboxWindows.size()];
    esc->inLength = s.mbx_rl = kMailboxWindows[(windows >> 4) % kMailboxWindows.size()];
    esc->inStart = s.mbx_ro = static_cast<uint16_t>(Esc::kWindowStart + esc->outLength);
    while (!in.empty()) {
        const auto m = in.record();
        esc->messages.emplace_back(m.begin(), m.end());
    }
    return s;
}

}  // namespace fuzz
