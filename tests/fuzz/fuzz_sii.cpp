// An arbitrary EEPROM image: parsed in memory, then scanned and mapped on a one-slave line.

#include "sii.h"

#include "fuzz_support.h"

namespace {

using namespace fuzz;

constexpr size_t kBusImageLimit = 1024;  // beyond it the in-memory pass covers the parser
constexpr size_t kIoMapSize = 4096;

// A slave whose SII interface reads 8 bytes at a time from the image.
class SiiEsc final : public FakeEsc {
public:
    explicit SiiEsc(Bytes image) : image_(std::move(image)) {
        ec::putU16(reg(ec::kRegSiiControl), ec::kSiiRead8Bytes);
        ec::putU16(reg(ec::kRegType), 0x0011);
    }

protected:
    bool write(uint16_t address, const uint8_t* data, uint16_t len) override {
        if (address == ec::kRegSiiControl && len >= 2) {
            uint16_t status = ec::kSiiRead8Bytes;
            if ((ec::getU16(data) & ec::kSiiCmdMask) == ec::kSiiCmdRead && len >= 4) {
                const size_t at = size_t{ec::getU16(data + 2)} * 2;
                if (at >= image_.size()) {
                    status |= ec::kSiiErrorAck;  // no such word
                } else {
                    uint8_t* out = reg(ec::kRegSiiData);
                    std::memset(out, 0xFF, 8);
                    std::memcpy(out, &image_[at], std::min<size_t>(8, image_.size() - at));
                }
            }
            ec::putU16(reg(ec::kRegSiiControl), status);
            return true;
        }
        return FakeEsc::write(address, data, len);
    }

private:
    Bytes image_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> image(data, size);
    const ec::SiiInfo info = ec::parseSiiImage(image);
    if (info.general && !info.string(info.general->nameIndex).empty() &&
        info.general->nameIndex > info.strings.size())
        abortWith("a string index beyond the strings category gave a name");

    auto esc = std::make_shared<SiiEsc>(Bytes(data, data + std::min(size, kBusImageLimit)));
    ec::OwnedContext master;
    master->readPdoSizes = nullptr;
    connect(master, esc);
    const ec_slavet& s = master.slave(1);
    if (ecx_config_init(master.get(), 0) != 1 || strnlen(s.name, sizeof s.name) > EC_MAXNAME)
        abortWith("the one slave was not found, or its name not terminated");
    std::unique_ptr<uint8_t[]> iomap(new uint8_t[kIoMapSize]);
    const int mapped = ecx_config_map_sized(master.get(), iomap.get(), kIoMapSize);
    if (mapped < 0 || static_cast<size_t>(mapped) > kIoMapSize)
        abortWith("image larger than the buffer it was mapped into");
    if (mapped > 0) {
        if (master.slave(0).Obytes + master.slave(0).Ibytes != static_cast<uint32_t>(mapped))
            abortWith("image size disagrees with its parts");
        ecx_send_processdata(master.get()), ecx_receive_processdata(master.get(), 1);
    }
    ecx_close(master.get());
    return 0;
}
