// The frame and datagram receive path given arbitrary frames in reply to real requests.
//
// Input format: fuzz_support.h. Each frame the master sends is answered with the next reply
// record (and the ones after it while kReplyMore is set), then by itself.
// kReplyFixIndex writes the sent frame's index into every datagram header of the reply, so that the
// deeper layout checks are reached; kReplyOverlay makes the reply the sent frame, returned by a
// slave, with the bytes XORed over it. Whatever the master accepts must match what it sent, and
// what a call hands back must be the data of a matching reply.
#include "fuzz_support.h"

namespace {

using namespace fuzz;

struct Exchange {
    Bytes sent;
    std::vector<Bytes> replies;
};

// Writes the index of the sent frame into each datagram header the reply seems to have.
void fixIndex(Bytes& reply, uint8_t index) {
    size_t at = ec::kFrameHeaderSize;
    for (int n = 0; n < 256 && at + ec::kDatagramHeaderSize + ec::kWkcSize <= reply.size(); ++n) {
        reply[at + 1] = index;
        const uint16_t len = ec::getU16(&reply[at + 6]);
        at += ec::kDatagramHeaderSize + (len & ec::kDatagramLengthMask) + ec::kWkcSize;
        if ((len & ec::kDatagramMore) == 0) {
            break;
        }
    }
}

// Our own reading of "this reply answers that frame": same datagram bytes length, same commands,
// index and lengths in the same order, "more" set on all but the last. Returns the offsets of the
// datagrams' data in the reply, or an empty list.
std::vector<size_t> matchingLayout(const Bytes& sent, const Bytes& reply) {
    if (reply.size() < ec::kFrameHeaderSize || ec::getU16be(&reply[12]) != ec::kEtherType) {
        return {};
    }
    const uint16_t header = ec::getU16(&reply[ec::kEthHeaderSize]);
    const uint16_t sentHeader = ec::getU16(&sent[ec::kEthHeaderSize]);
    if (header >> 12 != ec::kEcFrameTypeDatagrams ||
        (header & ec::kEcLengthMask) != (sentHeader & ec::kEcLengthMask) ||
        (header & ec::kEcLengthMask) > reply.size() - ec::kFrameHeaderSize) {
        return {};
    }
    std::vector<size_t> places;
    size_t at = ec::kFrameHeaderSize;
    const size_t end = ec::kFrameHeaderSize + (sentHeader & ec::kEcLengthMask);
    while (at < end) {
        const uint16_t sentLen = ec::getU16(&sent[at + 6]);
        const uint16_t len = ec::getU16(&reply[at + 6]);
        if (reply[at] != sent[at] || reply[at + 1] != sent[at + 1] ||
            (len & ec::kDatagramLengthMask) != (sentLen & ec::kDatagramLengthMask) ||
            (len & ec::kDatagramMore) != (sentLen & ec::kDatagramMore)) {
            return {};
        }
        places.push_back(at + ec::kDatagramHeaderSize);
        at += ec::kDatagramHeaderSize + (sentLen & ec::kDatagramLengthMask) + ec::kWkcSize;
    }
    return places;
}

// Group 0 of the process-data scenarios at logical address 0, outputs first, from a shape byte.
void layOutGroup(ec_groupt& g, uint8_t shape, bool split) {
    g = ec_groupt{};
    g.nsegments = (shape & 1) ? 2 : 1;
    g.IOsegment[0] = 1 + (shape >> 1) % 64;
    g.IOsegment[1] = g.nsegments == 2 ? 1 + (shape >> 3) % 32 : 0;
    g.Obytes = g.IOsegment[0] / 2;
    g.Ibytes = g.IOsegment[0] + g.IOsegment[1] - g.Obytes;
    g.blockLRW = split ? 1 : 0;
    g.hasdc = (shape & 0x80) != 0;
    g.DCnext = 1;
}

class Harness {
public:
    explicit Harness(FuzzInput& in) : in_(in) {}

    void respond(const Bytes& sent, std::deque<Bytes>& queue) {
        Exchange x{sent, {}};
        uint8_t flags = kReplyMore;
        while ((flags & kReplyMore) && !in_.empty()) {
            flags = in_.u8();
            const auto bytes = in_.record();
            Bytes reply(bytes.begin(), bytes.end());
            if (flags & kReplyOverlay) {  // the sent frame, returned by a slave, XOR the bytes
                reply.resize(std::max(reply.size(), sent.size()));
                for (size_t i = 0; i < sent.size(); ++i) {
                    reply[i] ^= sent[i] | (i == 6 ? ec::kMacReturnBit : 0);
                }
            }
            if (flags & kReplyFixIndex) {
                fixIndex(reply, sent[ec::kFrameHeaderSize + 1]);
            }
            x.replies.push_back(reply);
            queue.push_back(std::move(reply));
        }
        // Behind the replies of the input the frame comes back unchanged, as from a line
        // without slaves, so that the call ends at once instead of waiting out a resend
        // interval; kReplyThenSilence leaves it at the input's replies.
        if ((flags & ~kReplyFlagBits) != kReplyThenSilence) {
            Bytes reply = sent;
            reply[6] |= ec::kMacReturnBit;
            x.replies.push_back(reply);
            queue.push_back(std::move(reply));
        }
        exchanges_.push_back(std::move(x));
    }

    // The data of datagram n in the first reply to exchange e that matches; null when none does.
    const uint8_t* matchedData(size_t e, size_t n, uint16_t* wkc, size_t length) const {
        if (e >= exchanges_.size()) {
            return nullptr;
        }
        for (const Bytes& r : exchanges_[e].replies) {
            const auto places = matchingLayout(exchanges_[e].sent, r);
            if (n < places.size()) {
                *wkc = ec::getU16(&r[places[n] + length]);
                return &r[places[n]];
            }
        }
        return nullptr;
    }
    size_t exchanges() const { return exchanges_.size(); }

private:
    FuzzInput& in_;
    std::vector<Exchange> exchanges_;
};

// A register read: a result >= 0 needs a matching reply, and the caller gets its data and WKC.
void checkRead(const Harness& h, int wkc, const uint8_t* buf, size_t length) {
    if (wkc == EC_NOFRAME) {
        return;
    }
    for (size_t e = 0; e < h.exchanges(); ++e) {
        uint16_t replyWkc = 0;
        const uint8_t* data = h.matchedData(e, 0, &replyWkc, length);
        if (data != nullptr) {
            if (replyWkc != wkc || std::memcmp(data, buf, length) != 0) {
                abortWith("the caller got other data than the matching reply carried");
            }
            return;
        }
    }
    abortWith("a reply was taken that does not match the request");
}

void runProcessData(ecx_contextt* ctx, FuzzInput& in, bool split) {
    ec_groupt& g = ctx->grouplist[0];
    layOutGroup(g, in.u8(), split);
    const size_t size = g.IOsegment[0] + g.IOsegment[1];  // exactly: a write past it shows
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[size]);
    uint8_t* image = buffer.get();
    std::memset(image, 0x5A, size);
    g.outputs = image;
    g.inputs = image + g.Obytes;
    *ctx->slavecount = 1;
    ctx->slavelist[1].configadr = kStationReadStation;
    ecx_send_processdata(ctx);
    const int wkc = ecx_receive_processdata(ctx, 1);
    if (wkc < EC_NOFRAME) {
        abortWith("negative working counter");
    }
    // Outputs are the application's: no reply may change them.
    for (uint32_t i = 0; i < g.Obytes; ++i) {
        if (image[i] != 0x5A) {
            abortWith("a reply changed the output image");
        }
    }
    g = ec_groupt{};  // the image goes away with this call
}

void runMultiDatagram(ecx_contextt* ctx, FuzzInput& in, const Harness& h) {
    ec::Port& port = *ctx->port;
    auto slot = port.claim(ec::Port::Clock::now() + std::chrono::milliseconds(1));
    if (!slot) {
        abortWith("no free frame slot on a fresh port");
    }
    const size_t count = 1 + in.u8() % 4;
    uint16_t lengths[4] = {};
    auto& builder = port.engine().builder(*slot);
    for (size_t n = 0; n < count; ++n) {
        lengths[n] = in.u8() % 48;
        builder.add(kMultiDatagramCommands[n], 0x1000u << 16 | static_cast<uint32_t>(n),
                    lengths[n]);
    }
    if (port.exchange(*slot, std::chrono::microseconds(1))) {
        // The reply taken answers the first sending of the frame that got a matching one.
        size_t e = 0;
        uint16_t wkc = 0;
        while (e < h.exchanges() && h.matchedData(e, 0, &wkc, lengths[0]) == nullptr) {
            ++e;
        }
        for (size_t n = 0; n < count; ++n) {
            const auto data = port.engine().replyData(*slot, n);
            const uint8_t* expected = h.matchedData(e, n, &wkc, lengths[n]);
            if (data.size() != lengths[n] || expected == nullptr ||
                std::memcmp(expected, data.data(), data.size()) != 0 ||
                port.engine().replyWkc(*slot, n) != wkc) {
                abortWith("a multi-datagram reply was taken that does not match");
            }
        }
    }
    port.release(*slot);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const auto scenario = static_cast<FrameScenario>(in.u8() % kFrameScenarioCount);
    const uint8_t detail = in.u8();
    Harness h(in);
    ec::OwnedContext master;
    ecx_init_link(master.get(),
                  std::make_unique<FakeLink>([&h](const Bytes& sent, std::deque<Bytes>& queue) {
                      h.respond(sent, queue);
                  }));
    switch (scenario) {
        case kBroadcastRead: {
            uint8_t b[2] = {0xEE, 0xEE};
            checkRead(h, ecx_BRD(master.get(), 0, ec::kRegType, sizeof b, b, 1), b, sizeof b);
            break;
        }
        case kStationRead: {
            const size_t length = 1 + detail % 8;
            std::vector<uint8_t> b(length, 0xEE);  // exactly the caller's size
            checkRead(h,
                      ecx_FPRD(master.get(), kStationReadStation, ec::kRegAlStatus,
                               static_cast<uint16_t>(length), b.data(), 1),
                      b.data(), length);
            break;
        }
        case kProcessData:
        case kProcessDataSplit:
            runProcessData(master.get(), in, scenario == kProcessDataSplit);
            break;
        case kMultiDatagram:
            runMultiDatagram(master.get(), in, h);
            break;
        case kFrameScenarioCount:
            break;
    }
    ecx_close(master.get());
    return 0;
}
