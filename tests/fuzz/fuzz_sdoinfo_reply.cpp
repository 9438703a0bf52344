// SDO information reply parsing from an SM1 serving the input; records on the heap at exact size.
// Input: op (bits 0-1: list, object, entry, all entries), windows, SII CoE details, 16-bit index,
// subindex, max subindex; then SM1 records as in fuzz_mailbox_reply, behind them mailbox errors.

#include <tuple>

#include "fuzz_support.h"

namespace {

using namespace fuzz;

// A slave whose SM1 holds, from the first request on, the input's messages, then mailbox errors.
class InfoEsc final : public WindowedEsc {
protected:
    bool read(uint16_t address, uint8_t* data, uint16_t len) override {
        if (address != inStart || len != inLength)
            return FakeEsc::read(address, data, len);
        if (!visible)
            return false;  // an empty mailbox refuses the read
        Bytes m{4, 0, 0, 0, 0, ec::kMbxTypeError, 1, 0, 2, 0};
        if (!messages.empty()) {
            m = std::move(messages.front());
            messages.pop_front();
        }
        std::memset(data, 0, len);
        std::copy_n(m.begin(), std::min<size_t>(m.size(), len), data);
        return true;
    }
    bool write(uint16_t address, const uint8_t* data, uint16_t len) override {
        visible = visible || (address == kWindowStart && len == outLength);
        return FakeEsc::write(address, data, len);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const uint8_t op = in.u8() & 0x03, windows = in.u8(), coeDetails = in.u8();
    const uint16_t index = in.u16();
    const uint8_t subindex = in.u8(), maxSub = in.u8();

    auto esc = std::make_shared<InfoEsc>();
    ec::OwnedContext master;
    ec_slavet& s = mailboxSlave(master, esc, windows, in);
    s.mbx_proto = ec::kMbxProtoCoE, s.CoEdetails = coeDetails;

    auto od = std::make_unique<ec_ODlistt>();
    auto oe = std::make_unique<ec_OElistt>();
    std::tie(od->Slave, od->Entries, od->Index[0], od->MaxSub[0]) = std::tuple(1, 1, index, maxSub);
    const int result = op == 0   ? ecx_readODlist(master.get(), 1, od.get())
                       : op == 1 ? ecx_readODdescription(master.get(), 0, od.get())
                       : op == 2 ? ecx_readOEsingle(master.get(), 0, subindex, od.get(), oe.get())
                                 : ecx_readOE(master.get(), 0, od.get(), oe.get());
    // A name cut without its terminator would leave the row's last byte set.
    const auto unterminated = [](const auto& names) {
        return std::any_of(std::begin(names), std::end(names),
                           [](const auto& name) { return name[EC_MAXNAME] != 0; });
    };
    if ((result < 0 && result != EC_TIMEOUT) || od->Entries > EC_MAXODLIST ||
        oe->Entries > EC_MAXOELIST || (op == 0 && result <= 0 && od->Entries != 0) ||
        unterminated(od->Name) || unterminated(oe->Name) ||
        ecx_elist2string(master.get()) == nullptr)
        abortWith(
            "result outside its set, list past its bound, name unterminated or no error text");
    ecx_close(master.get());
    return 0;
}
