// The mailbox reply parsers: SDO upload (expedited, normal, segmented) and download replies,
// aborts, FoE replies and emergencies, as the real services ecx_SDOread, ecx_SDOwrite and
// ecx_FOEwrite receive them from a slave whose send mailbox (SM1) serves the fuzz input.
//
// Input format: fuzz_support.h. Caller buffers have exactly the size asked for, so that a write
// past them shows.

#include "fuzz_support.h"

namespace {

constexpr uint16_t kWindowStart = 0x1000;
constexpr int kTimeoutUs = 1000;
// A lost read costs the master a register timeout (2 ms): a few per input are enough.
constexpr int kMaxLostReads = 2;

using namespace fuzz;

// A slave whose SM1 holds, one after the other, the messages of the input.
class MailboxEsc final : public FakeEsc {
public:
    uint16_t outStart = kWindowStart;
    uint16_t outLength = 128;
    uint16_t inStart = kWindowStart + 128;
    uint16_t inLength = 128;
    std::deque<Bytes> messages;
    bool visible = false;  // messages show only after the master's first request
    size_t requests = 0;
    int lostReads = 0;
    bool errorWhenEmpty = false;  // after the input: answer every read with a mailbox error

protected:
    bool read(uint16_t address, uint8_t* data, uint16_t len) override {
        if (errorWhenEmpty && visible && messages.empty()) {
            // A mailbox error ends a service at once instead of letting it wait out its timeout.
            messages.push_back({4, 0, 0, 0, 0, ec::kMbxTypeError, 1, 0, 2, 0});
        }
        const bool full = visible && !messages.empty();
        if (address == ec::kRegSm0Status && len >= 1) {
            data[0] = 0;  // the firmware takes every request at once
            return true;
        }
        if (address == ec::kRegSm1Status && len >= 1) {
            data[0] = full ? ec::kSmStatusMailboxFull : 0;
            if (len >= 2) {
                data[1] = activate_;
            }
            return true;
        }
        if (address == ec::kRegSm1PdiControl && len >= 1) {
            data[0] = activate_ & ec::kSmActivateRepeat;  // repeat acknowledged at once
            return true;
        }
        if (address == inStart && len == inLength) {
            std::memset(data, 0, len);
            if (full && messages.front() == Bytes{kLostReadMarker} && lostReads < kMaxLostReads) {
                // The read of the next message is lost after the slave emptied SM1; only a repeat
                // request brings that message back.
                ++lostReads;
                messages.pop_front();
                if (!messages.empty()) {
                    last_ = std::move(messages.front());
                    messages.pop_front();
                }
                loseReply_ = true;
            } else if (full) {
                last_ = std::move(messages.front());
                messages.pop_front();
                std::copy_n(last_.begin(), std::min<size_t>(last_.size(), len), data);
            }
            return true;
        }
        return FakeEsc::read(address, data, len);
    }

    bool write(uint16_t address, const uint8_t* data, uint16_t len) override {
        if (address == outStart && len == outLength) {
            visible = true;
            ++requests;
            return true;
        }
        if (address == ec::kRegSm1Status && len == 2) {
            if ((activate_ ^ data[1]) & ec::kSmActivateRepeat) {
                messages.push_front(last_);  // the repeat request puts the last message back
            }
            activate_ = data[1];
            return true;
        }
        return FakeEsc::write(address, data, len);
    }

private:
    uint8_t activate_ = ec::kSmActivateEnable;
    Bytes last_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    // Header: op, windows, 16-bit size of the caller's data, SII CoE details, object index and
    // subindex.
    const uint8_t op = in.u8();
    const uint8_t windows = in.u8();
    const size_t length = in.u16() & 0x07FF;
    const uint8_t coeDetails = in.u8();
    const uint16_t index = in.u16();
    const uint8_t subindex = in.u8();

    auto esc = std::make_shared<MailboxEsc>();
    esc->setStation(kMailboxStation);
    esc->outLength = kMailboxWindows[(windows & 0x0F) % kMailboxWindows.size()];
    esc->inLength = kMailboxWindows[(windows >> 4) % kMailboxWindows.size()];
    esc->inStart = static_cast<uint16_t>(kWindowStart + esc->outLength);
    esc->visible = (op & kOpVisibleBeforeRequest) != 0;
    while (!in.empty()) {
        const auto m = in.record();
        esc->messages.emplace_back(m.begin(), m.end());
    }

    ec::OwnedContext master;
    ecx_init_link(master.get(),
                  std::make_unique<FakeLink>([esc](const Bytes& sent, std::deque<Bytes>& replies) {
                      esc->respond(sent, replies);
                  }));
    *master.get()->slavecount = 1;
    ec_slavet& s = master.slave(1);
    s.configadr = kMailboxStation;
    s.mbx_wo = esc->outStart;
    s.mbx_l = esc->outLength;
    s.mbx_ro = esc->inStart;
    s.mbx_rl = esc->inLength;
    s.mbx_proto = ec::kMbxProtoCoE | ec::kMbxProtoFoE;
    s.CoEdetails = coeDetails;

    if (op & kOpPdoSizes) {
        // The CoE reads of the PDO assignment: one SDO upload after the other, each into a
        // buffer of the object's exact size.
        esc->errorWhenEmpty = true;
        uint32_t outputBits = 0;
        uint32_t inputBits = 0;
        ec::readPdoSizesCoE(master.get(), 1, &outputBits, &inputBits);
        ecx_elist2string(master.get());
        ecx_close(master.get());
        return 0;
    }
    const bool ca = (op & kOpCompleteAccess) != 0;
    // Exactly the caller's size: one byte more written shows as a heap overflow.
    const size_t capacity = (op & kOpMask) == kSdoReadSmall ? length % 9 : length;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[std::max<size_t>(capacity, 1)]);
    std::memset(buffer.get(), 0xA5, std::max<size_t>(capacity, 1));

    switch (static_cast<MailboxOp>(op & kOpMask)) {
        case kSdoRead:
        case kSdoReadSmall: {
            int got = static_cast<int>(capacity);
            const int r =
                ecx_SDOread(master.get(), 1, index, subindex, ca, &got, buffer.get(), kTimeoutUs);
            if (r > 0 && (got < 0 || static_cast<size_t>(got) > capacity)) {
                abortWith("SDO upload reports more bytes than the caller's buffer holds");
            }
            break;
        }
        case kSdoWrite:
            ecx_SDOwrite(master.get(), 1, index, subindex, ca, static_cast<int>(capacity),
                         buffer.get(), kTimeoutUs);
            break;
        case kFoeWrite: {
            // A file without a name is allowed: the request then carries none.
            const char* name = (op & kOpNoFileName) ? nullptr : "fw.bin";
            const int r = ecx_FOEwrite(master.get(), 1, name, 0, static_cast<int>(capacity),
                                       buffer.get(), kTimeoutUs);
            if (r > 0 && esc->requests < 2) {
                abortWith("FoE write succeeded without sending the file");
            }
            break;
        }
    }
    // Every recorded entry must turn into text.
    const char* text = ecx_elist2string(master.get());
    if (text == nullptr) {
        abortWith("no error text");
    }
    ecx_close(master.get());
    return 0;
}
