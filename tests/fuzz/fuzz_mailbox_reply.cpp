// SDO and FoE reply parsing from an SM1 serving the input (fuzz_support.h); exact caller buffers.

#include "fuzz_support.h"

namespace {

constexpr int kTimeoutUs = 1000;
// A lost read costs the master a register timeout (2 ms): a few per input are enough.
constexpr int kMaxLostReads = 2;

using namespace fuzz;

// A slave whose SM1 holds, one after the other, the messages of the input.
class MailboxEsc final : public WindowedEsc {
public:
    size_t requests = 0;
    int lostReads = 0;
    bool errorWhenEmpty = false;  // after the input: answer every read with a mailbox error

protected:
    bool read(uint16_t address, uint8_t* data, uint16_t len) override {
        // A mailbox error ends a service at once instead of letting it wait out its timeout.
        if (errorWhenEmpty && visible && messages.empty())
            messages.push_back({4, 0, 0, 0, 0, ec::kMbxTypeError, 1, 0, 2, 0});
        const bool full = visible && !messages.empty();
        if (len >= 1 && (address == ec::kRegSm0Status || address == ec::kRegSm1Status ||
                         address == ec::kRegSm1PdiControl)) {
            // SM0 taken at once, SM1 full while a message waits, a repeat request acknowledged.
            data[0] = address == ec::kRegSm1Status   ? (full ? ec::kSmStatusMailboxFull : 0)
                      : address == ec::kRegSm0Status ? 0
                                                     : activate_ & ec::kSmActivateRepeat;
            if (address == ec::kRegSm1Status && len >= 2)
                data[1] = activate_;
            return true;
        }
        if (address == inStart && len == inLength) {
            std::memset(data, 0, len);
            // The marker: the next message's read is lost after SM1 emptied; a repeat brings it.
            if (full && messages.front() == Bytes{kLostReadMarker} && lostReads < kMaxLostReads) {
                ++lostReads;
                messages.pop_front();
                loseReply_ = true;
            }
            if (full && !messages.empty()) {
                last_ = std::move(messages.front());
                messages.pop_front();
                std::copy_n(last_.begin(), std::min<size_t>(last_.size(), len), data);
            }
            return true;
        }
        return FakeEsc::read(address, data, len);
    }

    bool write(uint16_t address, const uint8_t* data, uint16_t len) override {
        if (address == kWindowStart && len == outLength) {
            visible = true;
            ++requests;
            return true;
        }
        if (address == ec::kRegSm1Status && len == 2) {
            if ((activate_ ^ data[1]) & ec::kSmActivateRepeat)
                messages.push_front(last_);  // the repeat request puts the last message back
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
    const uint8_t op = in.u8(), windows = in.u8();
    const size_t length = in.u16() & 0x07FF;
    const uint8_t coeDetails = in.u8();
    const uint16_t index = in.u16();
    const uint8_t subindex = in.u8();

    auto esc = std::make_shared<MailboxEsc>();
    ec::OwnedContext master;
    ec_slavet& s = mailboxSlave(master, esc, windows, in);
    esc->visible = (op & kOpVisibleBeforeRequest) != 0;
    s.mbx_proto = ec::kMbxProtoCoE | ec::kMbxProtoFoE, s.CoEdetails = coeDetails;

    const bool ca = (op & kOpCompleteAccess) != 0;
    const size_t capacity = (op & kOpMask) == kSdoReadSmall ? length % 9 : length;
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[std::max<size_t>(capacity, 1)]{0xA5});
    int got = static_cast<int>(capacity);
    if (op & kOpPdoSizes) {
        // The CoE reads of the PDO assignment, each into a buffer of the object's exact size.
        esc->errorWhenEmpty = true;
        uint32_t outputBits = 0, inputBits = 0;
        ec::readPdoSizesCoE(master.get(), 1, &outputBits, &inputBits);
    } else if ((op & kOpMask) == kSdoRead || (op & kOpMask) == kSdoReadSmall) {
        if (ecx_SDOread(master.get(), 1, index, subindex, ca, &got, buffer.get(), kTimeoutUs) > 0 &&
            (got < 0 || static_cast<size_t>(got) > capacity))
            abortWith("SDO upload reports more bytes than the caller's buffer holds");
    } else if ((op & kOpMask) == kSdoWrite) {
        ecx_SDOwrite(master.get(), 1, index, subindex, ca, got, buffer.get(), kTimeoutUs);
    } else if (ecx_FOEwrite(master.get(), 1, (op & kOpNoFileName) ? nullptr : "fw.bin", 0, got,
                            buffer.get(), kTimeoutUs) > 0 &&
               esc->requests < 2) {  // a file without a name is allowed: the request carries none
        abortWith("FoE write succeeded without sending the file");
    }
    if (ecx_elist2string(master.get()) == nullptr)  // every recorded entry turns into text
        abortWith("no error text");
    ecx_close(master.get());
    return 0;
}
