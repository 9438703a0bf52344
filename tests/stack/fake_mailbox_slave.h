// A slave with nothing but a mailbox, for tests of the master's mailbox services over a scripted
// link: SyncManager 0/1 handshake (full/empty, repeat request and acknowledge), message counters,
// and a replaceable firmware that turns each message into replies. Servers for SDO and FoE sit
// on top; tests wrap them to play a hostile slave.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "scripted_link.h"

namespace ectest {

inline constexpr uint16_t kFakeStation = 0x1001;

// A mailbox message: header (length, address, channel, type | counter << 4), then data.
inline Bytes mailboxMessage(uint8_t type, const Bytes& data, uint8_t counter = 0) {
    Bytes m(ec::kMbxHeaderSize + data.size());
    ec::putU16(m.data(), static_cast<uint16_t>(data.size()));
    m[5] = static_cast<uint8_t>(type | counter << 4);
    std::copy(data.begin(), data.end(), m.begin() + ec::kMbxHeaderSize);
    return m;
}

inline Bytes coeSdo(uint8_t command, uint16_t index, uint8_t sub, uint32_t value = 0,
                    uint8_t service = ec::kCoeSdoResponse) {
    Bytes d(10, 0);
    ec::putU16(d.data(), static_cast<uint16_t>(service << 12));
    d[2] = command;
    ec::putU16(d.data() + 3, index);
    d[5] = sub;
    ec::putU32(d.data() + 6, value);
    return d;
}

class FakeMailboxSlave {
public:
    // Takes one message from the master (cut to its header length) and returns the replies,
    // complete with header. A reply without counter gets the next one.
    using Firmware = std::function<std::vector<Bytes>(const Bytes& message)>;

    uint16_t outStart = 0x1000;  // SM0, master -> slave
    uint16_t outLength = 128;
    uint16_t inStart = 0x1080;  // SM1, slave -> master
    uint16_t inLength = 128;
    Firmware firmware;

    // --- faults, set under lock() -----------------------------------------------------------
    int loseReadFrames = 0;  // SM1 reads whose frame never comes back (the mailbox empties)
    int hideReplies = 0;     // replies that never show in SM1 (only a repeat request brings them)

    std::unique_lock<std::mutex> lock() { return std::unique_lock(mutex_); }
    // Messages received from the master (after the counter check), header included.
    std::vector<Bytes> received() {
        std::lock_guard l(mutex_);
        return received_;
    }
    int repeatRequests() {
        std::lock_guard l(mutex_);
        return repeats_;
    }
    // Puts a message into the send mailbox without a request (an emergency, say).
    void push(Bytes message) {
        std::lock_guard l(mutex_);
        queue(std::move(message));
    }

    // LinkScript responder.
    std::vector<Bytes> respond(const Bytes& frame) {
        std::lock_guard l(mutex_);
        bool lost = false;
        Bytes reply =
            answer(frame, [&](const DatagramView& d, Bytes& f) { return datagram(d, f, lost); });
        if (lost) {
            return {};
        }
        return {reply};
    }

private:
    uint16_t datagram(const DatagramView& d, Bytes& f, bool& lost) {
        if (d.adp != kFakeStation) {
            return 0;
        }
        uint8_t* data = &f[d.data()];
        const auto cmd = static_cast<ec::Command>(d.cmd);
        if (cmd == ec::Command::FPRD) {
            if (d.ado == ec::kRegSm0Status && d.length >= 1) {
                data[0] = 0;  // the firmware takes every message at once
                return 1;
            }
            if (d.ado == ec::kRegSm1Status && d.length >= 2) {
                data[0] = sm1Full_ ? ec::kSmStatusMailboxFull : 0;
                data[1] = activate_;
                return 1;
            }
            if (d.ado == ec::kRegSm1PdiControl && d.length >= 1) {
                data[0] = pdiControl_;
                return 1;
            }
            if (d.ado == inStart && d.length == inLength) {
                if (!sm1Full_) {
                    return 0;
                }
                std::fill(data, data + d.length, 0);
                std::copy_n(current_.begin(), std::min<size_t>(current_.size(), d.length), data);
                sm1Full_ = false;
                loadNext();
                if (loseReadFrames > 0) {
                    --loseReadFrames;
                    lost = true;
                }
                return 1;
            }
            return 0;
        }
        if (cmd == ec::Command::FPWR) {
            if (d.ado == outStart && d.length == outLength) {
                take(Bytes(data, data + d.length));
                return 1;
            }
            if (d.ado == ec::kRegSm1Status && d.length == 2) {
                const uint8_t toggled = (activate_ ^ data[1]) & ec::kSmActivateRepeat;
                activate_ = data[1];
                if (toggled) {
                    ++repeats_;
                    if (!lastSent_.empty()) {
                        if (sm1Full_) {
                            pending_.push_front(current_);
                        }
                        current_ = lastSent_;
                        sm1Full_ = true;
                    }
                    pdiControl_ = static_cast<uint8_t>((pdiControl_ & ~ec::kSmPdiRepeatAck) |
                                                       (activate_ & ec::kSmActivateRepeat));
                }
                return 1;
            }
        }
        return 0;
    }

    void take(Bytes window) {
        const size_t length = std::min<size_t>(ec::getU16(window.data()), window.size() - 6);
        const uint8_t counter = (window[5] >> 4) & 0x07;
        if (counter != 0 && counter == rxCounter_) {
            return;  // a repeated write
        }
        rxCounter_ = counter;
        window.resize(ec::kMbxHeaderSize + length);
        received_.push_back(window);
        if (firmware) {
            for (Bytes& r : firmware(window)) {
                queue(std::move(r));
            }
        }
    }

    void queue(Bytes message) {
        if (message.size() > 5 && (message[5] & 0x70) == 0) {
            txCounter_ = static_cast<uint8_t>(txCounter_ % 7 + 1);
            message[5] = static_cast<uint8_t>(message[5] | txCounter_ << 4);
        }
        pending_.push_back(std::move(message));
        if (!sm1Full_) {
            loadNext();
        }
    }

    void loadNext() {
        while (!pending_.empty() && !sm1Full_) {
            current_ = std::move(pending_.front());
            pending_.pop_front();
            lastSent_ = current_;
            if (hideReplies > 0) {
                --hideReplies;
                continue;
            }
            sm1Full_ = true;
        }
    }

    std::mutex mutex_;
    bool sm1Full_ = false;
    Bytes current_;
    Bytes lastSent_;
    std::deque<Bytes> pending_;
    uint8_t activate_ = ec::kSmActivateEnable;
    uint8_t pdiControl_ = 0;
    uint8_t rxCounter_ = 0;
    uint8_t txCounter_ = 0;
    int repeats_ = 0;
    std::vector<Bytes> received_;
};

// SDO server over a small object dictionary: expedited, normal and segmented transfers both ways
// with toggle checks, segments sized by the mailbox windows.
class FakeSdoServer {
public:
    std::map<std::pair<uint16_t, uint8_t>, Bytes> objects;
    size_t rxWindow = 128;  // SM0 length
    size_t txWindow = 128;  // SM1 length

    // CoE data of a request -> CoE data of the replies.
    std::vector<Bytes> handle(const Bytes& rq) {
        if (rq.size() < 10) {
            return {};
        }
        const uint8_t cmd = rq[2];
        if ((ec::getU16(rq.data()) >> 12) != ec::kCoeSdoRequest) {
            return {};
        }
        if (cmd == ec::kSdoAbort) {
            mode_ = Mode::Idle;
            return {};
        }
        switch (cmd & ec::kSdoCsMask) {
            case ec::kSdoUploadInitRq:
                return {uploadInit(rq)};
            case ec::kSdoUploadSegmentRq:
                return {uploadSegment(rq)};
            case ec::kSdoDownloadInitRq:
                return {downloadInit(rq)};
            case ec::kSdoDownloadSegmentRq:
                return {downloadSegment(rq)};
            default:
                return {abort(0x05040001)};
        }
    }

    // Mailbox firmware serving CoE with this server.
    FakeMailboxSlave::Firmware firmware() {
        return [this](const Bytes& m) {
            std::vector<Bytes> out;
            if ((m[5] & 0x0F) != ec::kMbxTypeCoE) {
                return out;
            }
            for (const Bytes& r : handle(Bytes(m.begin() + 6, m.end()))) {
                out.push_back(mailboxMessage(ec::kMbxTypeCoE, r));
            }
            return out;
        };
    }

private:
    enum class Mode { Idle, Upload, Download };

    Bytes abort(uint32_t code) {
        mode_ = Mode::Idle;
        return coeSdo(ec::kSdoAbort, index_, sub_, code, ec::kCoeSdoRequest);
    }

    Bytes uploadInit(const Bytes& rq) {
        index_ = ec::getU16(&rq[3]);
        sub_ = rq[5];
        const auto it = objects.find({index_, sub_});
        if (it == objects.end()) {
            return abort(0x06020000);
        }
        value_ = it->second;
        if (value_.size() <= 4) {
            mode_ = Mode::Idle;
            Bytes r = coeSdo(static_cast<uint8_t>(0x43 | (4 - value_.size()) << 2), index_, sub_);
            std::copy(value_.begin(), value_.end(), r.begin() + 6);
            return r;
        }
        Bytes r = coeSdo(0x41, index_, sub_, static_cast<uint32_t>(value_.size()));
        const size_t first = std::min(value_.size(), txWindow - 16);
        r.insert(r.end(), value_.begin(), value_.begin() + static_cast<long>(first));
        offset_ = first;
        toggle_ = 0;
        mode_ = offset_ < value_.size() ? Mode::Upload : Mode::Idle;
        return r;
    }

    Bytes uploadSegment(const Bytes& rq) {
        if (mode_ != Mode::Upload) {
            return abort(0x05040001);
        }
        if ((rq[2] & ec::kSdoToggle) != toggle_) {
            return abort(0x05030000);
        }
        const size_t chunk = std::min(value_.size() - offset_, txWindow - 9);
        const bool last = offset_ + chunk == value_.size();
        const size_t unused = chunk < 7 ? 7 - chunk : 0;
        Bytes r(3 + chunk + unused, 0);
        ec::putU16(r.data(), static_cast<uint16_t>(ec::kCoeSdoResponse << 12));
        r[2] = static_cast<uint8_t>(toggle_ | unused << 1 | (last ? 1 : 0));
        std::copy_n(value_.begin() + static_cast<long>(offset_), chunk, r.begin() + 3);
        offset_ += chunk;
        toggle_ ^= ec::kSdoToggle;
        if (last) {
            mode_ = Mode::Idle;
        }
        return r;
    }

    Bytes downloadInit(const Bytes& rq) {
        index_ = ec::getU16(&rq[3]);
        sub_ = rq[5];
        const auto it = objects.find({index_, sub_});
        if (it == objects.end()) {
            return abort(0x06020000);
        }
        const uint8_t cmd = rq[2];
        if (cmd & ec::kSdoExpedited) {
            const size_t size = 4 - ((cmd >> 2) & 3);
            if (size != it->second.size()) {
                return abort(0x06070010);
            }
            it->second.assign(rq.begin() + 6, rq.begin() + 6 + static_cast<long>(size));
            mode_ = Mode::Idle;
            return coeSdo(0x60, index_, sub_);
        }
        announced_ = ec::getU32(&rq[6]);
        value_.assign(rq.begin() + 10, rq.end());
        toggle_ = 0;
        mode_ = Mode::Download;
        if (value_.size() >= announced_) {
            finishDownload();
        }
        return coeSdo(0x60, index_, sub_);
    }

    Bytes downloadSegment(const Bytes& rq) {
        if (mode_ != Mode::Download) {
            return abort(0x05040001);
        }
        const uint8_t cmd = rq[2];
        if ((cmd & ec::kSdoToggle) != toggle_) {
            return abort(0x05030000);
        }
        size_t chunk = rq.size() - 3;
        if (chunk == 7) {
            chunk -= (cmd >> 1) & 7;
        }
        value_.insert(value_.end(), rq.begin() + 3, rq.begin() + 3 + static_cast<long>(chunk));
        Bytes r(10, 0);
        ec::putU16(r.data(), static_cast<uint16_t>(ec::kCoeSdoResponse << 12));
        r[2] = static_cast<uint8_t>(0x20 | toggle_);
        toggle_ ^= ec::kSdoToggle;
        if (cmd & 1) {
            finishDownload();
        }
        return r;
    }

    void finishDownload() {
        objects[{index_, sub_}] = value_;
        mode_ = Mode::Idle;
    }

    Mode mode_ = Mode::Idle;
    uint16_t index_ = 0;
    uint8_t sub_ = 0;
    Bytes value_;
    size_t offset_ = 0;
    size_t announced_ = 0;
    uint8_t toggle_ = 0;
};

// FoE write server of a bootloader: WRQ with password, DATA n answered by ACK n, end on a short
// packet; optional BUSY for chosen packets and a wrong ACK number.
class FakeFoeServer {
public:
    uint32_t password = 0;
    size_t rxWindow = 128;
    std::vector<uint32_t> busyOnce;  // packets answered once with BUSY
    bool wrongAck = false;

    std::string name;
    Bytes file;
    bool complete = false;
    std::vector<uint32_t> dataPackets;  // numbers of all DATA packets received, repeats included

    FakeMailboxSlave::Firmware firmware() {
        return [this](const Bytes& m) {
            std::vector<Bytes> out;
            if ((m[5] & 0x0F) == ec::kMbxTypeFoE && m.size() >= 12) {
                out.push_back(
                    mailboxMessage(ec::kMbxTypeFoE, handle(Bytes(m.begin() + 6, m.end()))));
            }
            return out;
        };
    }

private:
    static Bytes reply(uint8_t opcode, uint32_t parameter) {
        Bytes r(6, 0);
        r[0] = opcode;
        ec::putU32(r.data() + 2, parameter);
        return r;
    }

    Bytes handle(const Bytes& d) {
        const uint32_t parameter = ec::getU32(d.data() + 2);
        if (d[0] == ec::kFoeWrite) {
            if (parameter != password) {
                return reply(ec::kFoeError, 0x800A);
            }
            name.assign(d.begin() + 6, d.end());
            file.clear();
            complete = false;
            expected_ = 1;
            return reply(ec::kFoeAck, 0);
        }
        if (d[0] == ec::kFoeData) {
            dataPackets.push_back(parameter);
            if (parameter != expected_) {
                return reply(ec::kFoeError, 0x8005);
            }
            const auto busy = std::find(busyOnce.begin(), busyOnce.end(), parameter);
            if (busy != busyOnce.end()) {
                busyOnce.erase(busy);
                return reply(ec::kFoeBusy, 0);
            }
            file.insert(file.end(), d.begin() + 6, d.end());
            ++expected_;
            if (d.size() - 6 < rxWindow - 12) {
                complete = true;
            }
            return reply(ec::kFoeAck, wrongAck ? parameter + 1 : parameter);
        }
        return reply(ec::kFoeError, 0x8004);
    }

    uint32_t expected_ = 1;
};

}  // namespace ectest
