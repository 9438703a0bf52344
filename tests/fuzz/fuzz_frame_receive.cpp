// The frame and datagram receive path given arbitrary frames in reply to real requests (input
// format and reply flags: fuzz_support.h). What a call hands back must be what a reply carried.
#include "fuzz_support.h"

namespace {

using namespace fuzz;

// Writes the sent index into each datagram header the reply seems to have.
void fixIndex(Bytes& reply, uint8_t index) {
    for (size_t at = ec::kFrameHeaderSize, n = 0;
         n < 256 && at + ec::kDatagramHeaderSize + ec::kWkcSize <= reply.size(); ++n) {
        reply[at + 1] = index;
        const uint16_t len = ec::getU16(&reply[at + 6]);
        at = (len & ec::kDatagramMore)
                 ? at + ec::kDatagramHeaderSize + (len & ec::kDatagramLengthMask) + ec::kWkcSize
                 : reply.size();
    }
}

class Harness {
public:
    explicit Harness(FuzzInput& in) : in_(in) {}

    void respond(const Bytes& sent, std::deque<Bytes>& queue) {
        sent_ = sent;
        uint8_t flags = kReplyMore;
        while ((flags & kReplyMore) && !in_.empty()) {
            flags = in_.u8();
            const auto bytes = in_.record();
            Bytes reply(bytes.begin(), bytes.end());
            if (flags & kReplyOverlay) {  // the sent frame, returned by a slave, XOR the bytes
                reply.resize(std::max(reply.size(), sent.size()));
                for (size_t i = 0; i < sent.size(); ++i)
                    reply[i] ^= sent[i] | (i == 6 ? ec::kMacReturnBit : 0);
            }
            if (flags & kReplyFixIndex)
                fixIndex(reply, sent[ec::kFrameHeaderSize + 1]);
            replies_.push_back(reply);
            queue.push_back(std::move(reply));
        }
        // Then the frame unchanged, so the call ends without a resend (unless kReplyThenSilence).
        if ((flags & ~kReplyFlagBits) != kReplyThenSilence) {
            replies_.push_back(sent);
            replies_.back()[6] |= ec::kMacReturnBit;
            queue.push_back(replies_.back());
        }
    }

    // A call that took a reply hands over datagram n's data and WKC as one of the replies carried
    // them where the sent frame has them (which replies count: tests/stack).
    void expectTaken(size_t n, std::span<const uint8_t> data, int wkc) const {
        size_t at = ec::kFrameHeaderSize;
        for (size_t i = 0; i < n; ++i)
            at += ec::kDatagramHeaderSize + (ec::getU16(&sent_[at + 6]) & ec::kDatagramLengthMask) +
                  ec::kWkcSize;
        const size_t place = at + ec::kDatagramHeaderSize;
        if ((ec::getU16(&sent_[at + 6]) & ec::kDatagramLengthMask) != data.size() ||
            std::none_of(replies_.begin(), replies_.end(), [&](const Bytes& r) {
                return r.size() >= place + data.size() + ec::kWkcSize &&
                       std::equal(data.begin(), data.end(), r.begin() + long(place)) &&
                       ec::getU16(&r[place + data.size()]) == wkc;
            }))
            abortWith("the caller got other data or another WKC than any reply carried");
    }

private:
    FuzzInput& in_;
    Bytes sent_;
    std::vector<Bytes> replies_;
};

// Group 0 at address 0, outputs first, one or two segments (shape byte); the image exactly fits.
void runProcessData(ecx_contextt* ctx, uint8_t shape, bool split) {
    ec_groupt& g = ctx->grouplist[0];
    g = ec_groupt{};
    g.nsegments = (shape & 1) ? 2 : 1;
    g.IOsegment[0] = 1 + (shape >> 1) % 64;
    g.IOsegment[1] = g.nsegments == 2 ? 1 + (shape >> 3) % 32 : 0;
    g.Obytes = g.IOsegment[0] / 2;
    g.Ibytes = g.IOsegment[0] + g.IOsegment[1] - g.Obytes;
    g.blockLRW = split ? 1 : 0, g.hasdc = (shape & 0x80) != 0, g.DCnext = 1;
    std::vector<uint8_t> image(g.IOsegment[0] + g.IOsegment[1], 0x5A);
    g.outputs = image.data(), g.inputs = image.data() + g.Obytes;
    *ctx->slavecount = 1, ctx->slavelist[1].configadr = kStationReadStation;
    ecx_send_processdata(ctx);
    if (ecx_receive_processdata(ctx, 1) < EC_NOFRAME)
        abortWith("negative working counter");
    if (std::any_of(image.begin(), image.begin() + g.Obytes, [](uint8_t b) { return b != 0x5A; }))
        abortWith("a reply changed the output image");  // outputs are the application's
    g = ec_groupt{};                                    // the image goes away with this call
}

void runMultiDatagram(ecx_contextt* ctx, FuzzInput& in, const Harness& h) {
    ec::Port& port = *ctx->port;
    const auto slot = port.claim(ec::Port::Clock::now() + std::chrono::milliseconds(1));
    if (!slot)
        abortWith("no free frame slot on a fresh port");
    const size_t count = 1 + in.u8() % 4;
    for (size_t n = 0; n < count; ++n)
        port.engine().builder(*slot).add(kMultiDatagramCommands[n],
                                         0x1000u << 16 | static_cast<uint32_t>(n), in.u8() % 48);
    if (port.exchange(*slot, std::chrono::microseconds(1)))
        for (size_t n = 0; n < count; ++n)
            h.expectTaken(n, port.engine().replyData(*slot, n), port.engine().replyWkc(*slot, n));
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
    // A register read into exactly the caller's size (BRD: 2 bytes, FPRD: 1..8 as detail says).
    std::vector<uint8_t> b(scenario == kStationRead ? 1 + detail % 8 : 2, 0xEE);
    const auto len = static_cast<uint16_t>(b.size());
    int wkc = EC_NOFRAME;
    if (scenario == kBroadcastRead)
        wkc = ecx_BRD(master.get(), 0, ec::kRegType, len, b.data(), 1);
    else if (scenario == kStationRead)
        wkc = ecx_FPRD(master.get(), kStationReadStation, ec::kRegAlStatus, len, b.data(), 1);
    else if (scenario == kProcessData || scenario == kProcessDataSplit)
        runProcessData(master.get(), in.u8(), scenario == kProcessDataSplit);
    else if (scenario == kMultiDatagram)
        runMultiDatagram(master.get(), in, h);
    if (wkc != EC_NOFRAME)
        h.expectTaken(0, b, wkc);
    ecx_close(master.get());
    return 0;
}
