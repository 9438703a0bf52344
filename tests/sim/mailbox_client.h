// A master's side of the mailbox for tests: messages written into SM0 and read out of SM1 with
// hand-built frames, and small SDO and FoE clients composed from them. Written from the protocol
// description, independent of the simulator's servers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim_master.h"

namespace simtest {

struct MbxMessage {
    uint16_t length = 0;
    uint8_t type = 0;
    uint8_t counter = 0;
    std::vector<uint8_t> window;  // the whole SM1 window as read
    std::vector<uint8_t> data;    // the `length` bytes after the header (cut to the window)

    // Fields of the data; a read beyond it throws, which fails the test.
    uint16_t u16(size_t off) const {
        return static_cast<uint16_t>(data.at(off) | data.at(off + 1) << 8);
    }
    uint32_t u32(size_t off) const { return u16(off) | static_cast<uint32_t>(u16(off + 2)) << 16; }
    uint8_t coeService() const { return static_cast<uint8_t>(u16(0) >> 12); }
};

class MailboxClient {
public:
    MailboxClient(sim::Chain& chain, uint16_t station, uint16_t rxStart = 0x1000,
                  uint16_t rxLen = 0x80, uint16_t txStart = 0x1080, uint16_t txLen = 0x80)
        : chain_(chain),
          st_(station),
          rxStart_(rxStart),
          rxLen_(rxLen),
          txStart_(txStart),
          txLen_(txLen) {}

    uint16_t rxLen() const { return rxLen_; }
    uint16_t txLen() const { return txLen_; }
    uint8_t lastCounter() const { return counter_; }

    // Writes one message (the whole SM0 window, as masters do); returns the working counter.
    // `counter` 0xFF: the next counter of this client.
    uint16_t write(uint8_t type, const std::vector<uint8_t>& data, uint8_t counter = 0xFF,
                   std::optional<uint16_t> lengthField = std::nullopt) {
        if (counter == 0xFF) {
            counter_ = static_cast<uint8_t>(counter_ % 7 + 1);
            counter = counter_;
        }
        std::vector<uint8_t> m(rxLen_, 0);
        sim::wr16(&m[0], lengthField.value_or(static_cast<uint16_t>(data.size())));
        m[5] = static_cast<uint8_t>((type & 0x0F) | (counter << 4));
        std::copy_n(data.begin(), std::min<size_t>(data.size(), rxLen_ - 6), m.begin() + 6);
        return fpwr(chain_, st_, rxStart_, m).wkc;
    }

    // Reads SM1 once; nothing when it is empty (WKC 0).
    std::optional<MbxMessage> read() {
        const Reply r = fprd(chain_, st_, txStart_, txLen_);
        if (r.wkc != 1)
            return std::nullopt;
        MbxMessage m;
        m.window = r.data;
        m.length = r.u16(0);
        m.type = r.data[5] & 0x0F;
        m.counter = (r.data[5] >> 4) & 0x07;
        const size_t n = std::min<size_t>(m.length, r.data.size() - 6);
        m.data.assign(r.data.begin() + 6, r.data.begin() + 6 + static_cast<std::ptrdiff_t>(n));
        return m;
    }

    // Toggles the repeat request of SM1, as a master does after a lost read.
    void repeat() {
        const uint8_t activate = fprd(chain_, st_, ec::kRegSm0 + 8 + ec::kSmActivate, 1).data[0];
        fpwr(chain_, st_, ec::kRegSm0 + 8 + ec::kSmStatus,
             {0x00, static_cast<uint8_t>(activate ^ ec::kSmActivateRepeat)});
    }

    // One request and its reply.
    std::optional<MbxMessage> exchange(uint8_t type, const std::vector<uint8_t>& data) {
        if (write(type, data) != 1)
            return std::nullopt;
        return read();
    }

private:
    sim::Chain& chain_;
    uint16_t st_;
    uint16_t rxStart_, rxLen_, txStart_, txLen_;
    uint8_t counter_ = 0;
};

// --- SDO ------------------------------------------------------------------------------------

inline std::vector<uint8_t> sdoRequest(uint8_t cmd, uint16_t index, uint8_t sub,
                                       uint32_t value = 0) {
    std::vector<uint8_t> d(10, 0);
    sim::wr16(&d[0], static_cast<uint16_t>(ec::kCoeSdoRequest << 12));
    d[2] = cmd;
    sim::wr16(&d[3], index);
    d[5] = sub;
    sim::wr32(&d[6], value);
    return d;
}

inline bool isAbort(const MbxMessage& m) {
    return m.type == ec::kMbxTypeCoE && m.data.size() >= 10 && m.coeService() == 2 &&
           m.data[2] == 0x80;
}

struct SdoResult {
    uint32_t abort = 0;  // 0: done
    bool noReply = false;
    std::vector<uint8_t> data;
    int segments = 0;
    bool ok() const { return abort == 0 && !noReply; }
};

inline SdoResult sdoUpload(MailboxClient& mbx, uint16_t index, uint8_t sub) {
    SdoResult r;
    auto m = mbx.exchange(ec::kMbxTypeCoE, sdoRequest(0x40, index, sub));
    if (!m) {
        r.noReply = true;
        return r;
    }
    if (isAbort(*m)) {
        r.abort = m->u32(6);
        return r;
    }
    const uint8_t cmd = m->data[2];
    if (cmd & 0x02) {
        const size_t n = (cmd & 0x01) ? 4 - ((cmd >> 2) & 3) : 4;
        r.data.assign(m->data.begin() + 6, m->data.begin() + 6 + static_cast<std::ptrdiff_t>(n));
        return r;
    }
    const uint32_t size = m->u32(6);
    r.data.assign(m->data.begin() + 10, m->data.end());
    uint8_t toggle = 0;
    while (r.data.size() < size) {
        auto s = mbx.exchange(ec::kMbxTypeCoE,
                              sdoRequest(static_cast<uint8_t>(0x60 | toggle << 4), 0, 0));
        if (!s) {
            r.noReply = true;
            return r;
        }
        if (isAbort(*s)) {
            r.abort = s->u32(6);
            return r;
        }
        ++r.segments;
        const uint8_t c = s->data[2];
        EXPECT_EQ((c >> 4) & 1, toggle) << "segment toggle echoed";
        const size_t n = s->length > 10 ? s->length - 3u : 7u - ((c >> 1) & 7);
        r.data.insert(r.data.end(), s->data.begin() + 3,
                      s->data.begin() + 3 + static_cast<std::ptrdiff_t>(n));
        toggle ^= 1;
        if (c & 0x01)
            break;
    }
    return r;
}

// Download as a master does it: expedited up to 4 bytes (unless `normal`), else a normal
// transfer with as much as SM0 takes, then segments.
inline SdoResult sdoDownload(MailboxClient& mbx, uint16_t index, uint8_t sub,
                             const std::vector<uint8_t>& bytes, bool normal = false) {
    SdoResult r;
    std::optional<MbxMessage> m;
    size_t sent = 0;
    if (bytes.size() <= 4 && !bytes.empty() && !normal) {
        auto d = sdoRequest(static_cast<uint8_t>(0x23 | (4 - bytes.size()) << 2), index, sub);
        std::copy(bytes.begin(), bytes.end(), d.begin() + 6);
        m = mbx.exchange(ec::kMbxTypeCoE, d);
        sent = bytes.size();
    } else {
        auto d = sdoRequest(0x21, index, sub, static_cast<uint32_t>(bytes.size()));
        const size_t first = std::min<size_t>(bytes.size(), mbx.rxLen() - 16u);
        d.insert(d.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(first));
        m = mbx.exchange(ec::kMbxTypeCoE, d);
        sent = first;
    }
    uint8_t toggle = 0;
    for (;;) {
        if (!m) {
            r.noReply = true;
            return r;
        }
        if (isAbort(*m)) {
            r.abort = m->u32(6);
            return r;
        }
        if (sent == bytes.size())
            return r;
        const size_t chunk = std::min<size_t>(bytes.size() - sent, mbx.rxLen() - 9u);
        const bool last = sent + chunk == bytes.size();
        std::vector<uint8_t> d(3 + std::max<size_t>(chunk, 7), 0);
        sim::wr16(&d[0], static_cast<uint16_t>(ec::kCoeSdoRequest << 12));
        d[2] =
            static_cast<uint8_t>(toggle << 4 | (chunk < 7 ? (7 - chunk) << 1 : 0) | (last ? 1 : 0));
        std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(sent), chunk, d.begin() + 3);
        m = mbx.exchange(ec::kMbxTypeCoE, d);
        if (m && !isAbort(*m)) {
            EXPECT_EQ(m->data[2], 0x20 | toggle << 4);
        }
        sent += chunk;
        ++r.segments;
        toggle ^= 1;
    }
}

// --- FoE ------------------------------------------------------------------------------------

inline std::vector<uint8_t> foeHeader(uint8_t opcode, uint32_t value,
                                      const std::vector<uint8_t>& payload = {}) {
    std::vector<uint8_t> d(6, 0);
    d[0] = opcode;
    sim::wr32(&d[2], value);
    d.insert(d.end(), payload.begin(), payload.end());
    return d;
}

struct FoeResult {
    bool ok = false;
    uint32_t error = 0;    // ERR code, 0 when none
    uint32_t packets = 0;  // DATA packets sent (re-sends included)
    uint32_t busy = 0;     // BUSY replies
    std::vector<uint32_t> acks;
};

// A file written as a master does: WRQ, then DATA 1.. of SM0 length - 12 bytes, a short (or
// empty) packet last; BUSY answers make it send the same packet again.
inline FoeResult foeWrite(MailboxClient& mbx, const std::string& name, uint32_t password,
                          const std::vector<uint8_t>& file) {
    FoeResult r;
    auto m = mbx.exchange(ec::kMbxTypeFoE,
                          foeHeader(ec::kFoeWrite, password, {name.begin(), name.end()}));
    const size_t packet = mbx.rxLen() - 12u;
    uint32_t number = 0;  // packet in flight (0: the request)
    size_t offset = 0;    // where it starts in the file
    size_t chunk = 0;
    for (;;) {
        if (!m || m->type != ec::kMbxTypeFoE)
            return r;
        if (m->data[0] == ec::kFoeError) {
            r.error = m->u32(2);
            return r;
        }
        if (m->data[0] == ec::kFoeAck) {
            r.acks.push_back(m->u32(2));
            if (number > 0) {
                offset += chunk;
                if (chunk < packet) {
                    r.ok = true;
                    return r;
                }
            }
            ++number;
            chunk = std::min(packet, file.size() - offset);
        } else if (m->data[0] == ec::kFoeBusy) {
            ++r.busy;  // the same packet again
        } else {
            return r;
        }
        std::vector<uint8_t> payload(file.begin() + static_cast<std::ptrdiff_t>(offset),
                                     file.begin() + static_cast<std::ptrdiff_t>(offset + chunk));
        ++r.packets;
        m = mbx.exchange(ec::kMbxTypeFoE, foeHeader(ec::kFoeData, number, payload));
    }
}

}  // namespace simtest
