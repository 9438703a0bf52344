// One slave controller reduced to what the fuzz targets need: a register and memory file that
// datagrams read and write, position, station and broadcast addressing, the AL control/status
// pair and the SII read command. Targets derive from it to serve the mailbox or the EEPROM from
// the fuzz input.
#pragma once

#include <cstring>
#include <deque>
#include <span>
#include <vector>

#include "fake_link.h"
#include "frame.h"
#include "protocol.h"
#include "wire.h"

namespace fuzz {

class FakeEsc {
public:
    static constexpr size_t kMemorySize = 0x2000;

    FakeEsc() : mem_(kMemorySize, 0) {}
    virtual ~FakeEsc() = default;

    uint16_t station() const { return ec::getU16(&mem_[ec::kRegStationAddress]); }
    void setStation(uint16_t station) { ec::putU16(&mem_[ec::kRegStationAddress], station); }
    uint8_t* reg(uint16_t address) { return &mem_[address]; }

    // The frame as it comes back from a line of this one slave.
    void respond(const Bytes& sent, std::deque<Bytes>& replies) {
        Bytes frame = sent;
        const auto datagrams = ec::checkFrame(frame);
        if (!datagrams) {
            return;  // a real slave forwards it unchanged; the master ignores it either way
        }
        frame[6] |= ec::kMacReturnBit;
        size_t at = ec::kFrameHeaderSize;
        while (true) {
            uint8_t* d = frame.data() + at;
            const auto cmd = static_cast<ec::Command>(d[0]);
            const uint16_t adp = ec::getU16(d + 2);
            const uint16_t ado = ec::getU16(d + 4);
            const uint16_t lenField = ec::getU16(d + 6);
            const uint16_t len = lenField & ec::kDatagramLengthMask;
            uint8_t* data = d + ec::kDatagramHeaderSize;
            const uint16_t wkc = datagram(cmd, adp, ado, data, len);
            ec::putU16(data + len, static_cast<uint16_t>(ec::getU16(data + len) + wkc));
            // Position addresses count up in every slave they pass.
            if (cmd == ec::Command::APRD || cmd == ec::Command::APWR || cmd == ec::Command::APRW ||
                cmd == ec::Command::ARMW) {
                ec::putU16(d + 2, static_cast<uint16_t>(adp + 1));
            }
            at += ec::kDatagramHeaderSize + len + ec::kWkcSize;
            if ((lenField & ec::kDatagramMore) == 0) {
                break;
            }
        }
        if (loseReply_) {
            loseReply_ = false;  // the slaves acted on the frame, but it never comes back
            return;
        }
        replies.push_back(std::move(frame));
    }

protected:
    // Register reads and writes; overrides handle their special addresses and call these.
    virtual bool read(uint16_t address, uint8_t* data, uint16_t len) {
        if (size_t{address} + len > mem_.size()) {
            return false;
        }
        std::memcpy(data, &mem_[address], len);
        return true;
    }
    virtual bool write(uint16_t address, const uint8_t* data, uint16_t len) {
        if (size_t{address} + len > mem_.size()) {
            return false;
        }
        std::memcpy(&mem_[address], data, len);
        if (address <= ec::kRegAlControl && address + len > ec::kRegAlControl) {
            // The requested state is reached at once; the acknowledge bit clears the error.
            mem_[ec::kRegAlStatus] = mem_[ec::kRegAlControl] & ec::kAlStateMask;
        }
        return true;
    }

    std::vector<uint8_t> mem_;
    bool loseReply_ = false;  // set by a handler: the frame being answered is lost

private:
    uint16_t datagram(ec::Command cmd, uint16_t adp, uint16_t ado, uint8_t* data, uint16_t len) {
        bool addressed = false;
        bool reads = false;
        bool writes = false;
        switch (cmd) {
            case ec::Command::APRD:
            case ec::Command::APWR:
            case ec::Command::APRW:
            case ec::Command::ARMW:
                addressed = adp == 0;
                break;
            case ec::Command::FPRD:
            case ec::Command::FPWR:
            case ec::Command::FPRW:
            case ec::Command::FRMW:
                addressed = adp == station();
                break;
            case ec::Command::BRD:
            case ec::Command::BWR:
            case ec::Command::BRW:
                addressed = true;
                break;
            default:
                return 0;  // logical and NOP datagrams map nothing here
        }
        if (!addressed) {
            return 0;
        }
        reads = cmd == ec::Command::APRD || cmd == ec::Command::FPRD || cmd == ec::Command::BRD ||
                cmd == ec::Command::ARMW || cmd == ec::Command::FRMW;
        writes = cmd == ec::Command::APWR || cmd == ec::Command::FPWR || cmd == ec::Command::BWR;
        if (reads) {
            return read(ado, data, len) ? 1 : 0;
        }
        if (writes) {
            return write(ado, data, len) ? 1 : 0;
        }
        return 0;
    }
};

}  // namespace fuzz
