#include "sim/sii.h"

#include <algorithm>
#include <string>

#include "ethercat/stack/protocol.h"
#include "sim/drive_image.h"

namespace sim {

namespace {

// Appends bytes of a category body and turns them into words at the end.
class CategoryWriter {
public:
    void u8(uint8_t v) { bytes_.push_back(v); }
    void u16(uint16_t v) {
        u8(static_cast<uint8_t>(v));
        u8(static_cast<uint8_t>(v >> 8));
    }
    void fill(size_t n, uint8_t v = 0) { bytes_.insert(bytes_.end(), n, v); }
    void text(const std::string& s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); }

    void emit(std::vector<uint16_t>& image, uint16_t type) {
        if (bytes_.size() % 2)
            bytes_.push_back(0);
        image.push_back(type);
        image.push_back(static_cast<uint16_t>(bytes_.size() / 2));
        for (size_t i = 0; i < bytes_.size(); i += 2)
            image.push_back(static_cast<uint16_t>(bytes_[i] | (bytes_[i + 1] << 8)));
        bytes_.clear();
    }

private:
    std::vector<uint8_t> bytes_;
};

// String indices in the Strings category.
enum : uint8_t { kStrName = 1, kStrGroup = 2, kStrOrder = 3, kStrRxPdo = 4, kStrTxPdo = 5 };

template <size_t N>
void writePdo(CategoryWriter& w, uint16_t pdoIndex, uint8_t sm, uint8_t nameIdx,
              const std::array<PdoEntry, N>& entries) {
    w.u16(pdoIndex);
    w.u8(static_cast<uint8_t>(N));
    w.u8(sm);
    w.u8(0);  // DC sync
    w.u8(nameIdx);
    w.u16(0);  // flags
    for (const auto& e : entries) {
        w.u16(e.index);
        w.u8(e.subIndex);
        w.u8(0);  // name index
        w.u8(e.index ? static_cast<uint8_t>(e.type) : 0);
        w.u8(e.bits);
        w.u16(0);
    }
}

void writeSm(CategoryWriter& w, uint16_t start, uint16_t len, uint8_t control, uint8_t type) {
    w.u16(start);
    w.u16(len);
    w.u8(control);
    w.u8(0);
    w.u8(len > 0 ? 1 : 0);  // enable
    w.u8(type);
}

// The terminal has no dictionary: its PDOs exist only in the SII.
inline constexpr std::array<PdoEntry, 1> kTerminalRxPdoEntries{{
    {0x7000, 1, 16, CoeType::Unsigned16, "Outputs"},
}};
inline constexpr std::array<PdoEntry, 1> kTerminalTxPdoEntries{{
    {0x6000, 1, 16, CoeType::Unsigned16, "Inputs"},
}};

}  // namespace

ProcessDataSizes processDataSizes(SlaveKind kind) {
    switch (kind) {
        case SlaveKind::Drive:
            return {static_cast<uint16_t>(out::kSize), static_cast<uint16_t>(in::kSize)};
        case SlaveKind::IoTerminal:
            return {static_cast<uint16_t>(pdoBytes(kTerminalRxPdoEntries)),
                    static_cast<uint16_t>(pdoBytes(kTerminalTxPdoEntries))};
        case SlaveKind::Coupler:
            break;
    }
    return {};
}

uint8_t siiChecksum(std::span<const uint16_t> words) {
    uint8_t crc = 0xFF;
    for (size_t i = 0; i < 7 && i < words.size(); ++i) {
        for (uint8_t b : {static_cast<uint8_t>(words[i]), static_cast<uint8_t>(words[i] >> 8)}) {
            crc ^= b;
            for (int bit = 0; bit < 8; ++bit)
                crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
        }
    }
    return crc;
}

std::vector<uint16_t> buildSii(const SlaveConfig& cfg) {
    const bool drive = cfg.kind == SlaveKind::Drive;
    const bool terminal = cfg.kind == SlaveKind::IoTerminal;
    std::vector<uint16_t> img(ec::kSiiFirstCategory, 0);
    const uint16_t mbxOutStart = layout::kMbxOutStart;
    const auto mbxInStart = static_cast<uint16_t>(layout::kMbxOutStart + cfg.mailboxOutSize);

    // PDI control: SPI to the drive's µC, SYNC out and latch in enabled; the terminal's pins are
    // the ESC's digital I/O. The coupler has no PDI.
    img[ec::kSiiPdiControl] = drive ? 0x0C05 : terminal ? 0x0004 : 0x0000;
    img[ec::kSiiSyncPulse] = drive ? 1000 : 0;  // 10 µs
    img[ec::kSiiAlias] = cfg.alias;
    auto put32 = [&img](uint16_t word, uint32_t v) {
        img[word] = static_cast<uint16_t>(v);
        img[word + 1] = static_cast<uint16_t>(v >> 16);
    };
    put32(ec::kSiiVendorId, cfg.identity.vendorId);
    put32(ec::kSiiProductCode, cfg.identity.productCode);
    put32(ec::kSiiRevision, cfg.identity.revision);
    put32(ec::kSiiSerial, cfg.identity.serial);
    if (drive) {
        put32(ec::kSiiBootRxMailbox,
              layout::kBootOutStart | (uint32_t{layout::kBootOutSize} << 16));
        put32(ec::kSiiBootTxMailbox, layout::kBootInStart | (uint32_t{layout::kBootInSize} << 16));
        put32(ec::kSiiStdRxMailbox, mbxOutStart | (uint32_t{cfg.mailboxOutSize} << 16));
        put32(ec::kSiiStdTxMailbox, mbxInStart | (uint32_t{cfg.mailboxInSize} << 16));
        img[ec::kSiiMailboxProtocols] = ec::kMbxProtoCoE | ec::kMbxProtoFoE;
    }
    img[ec::kSiiSizeCode] = 0x000F;
    img[ec::kSiiVersion] = 1;
    img[ec::kSiiChecksum] = siiChecksum(img);

    CategoryWriter w;
    const std::string group = drive ? "Servo Drives" : terminal ? "I/O Terminals" : "Couplers";
    std::vector<std::string> strings{cfg.name, group, cfg.name};
    if (drive || terminal) {
        strings.push_back("RxPDO");
        strings.push_back("TxPDO");
    }
    w.u8(static_cast<uint8_t>(strings.size()));
    for (const auto& s : strings) {
        w.u8(static_cast<uint8_t>(s.size()));
        w.text(s);
    }
    w.emit(img, ec::kSiiCatStrings);

    // General: 32 bytes. CoE with SDO, SDO information, PDO assign and PDO configuration (no
    // complete access), FoE.
    w.u8(kStrGroup);
    w.u8(0);  // image
    w.u8(kStrOrder);
    w.u8(kStrName);
    w.u8(0);
    w.u8(drive ? ec::kCoeDetailSdo | ec::kCoeDetailSdoInfo | ec::kCoeDetailPdoAssign |
                     ec::kCoeDetailPdoConfig
               : 0x00);         // CoE details
    w.u8(drive ? 0x01 : 0x00);  // FoE details
    w.u8(0);                    // EoE
    w.u8(0);                    // SoE channels
    w.u8(0);                    // DS402 channels
    w.u8(0);                    // sysman class
    w.u8(0);                    // flags
    w.u16(0);                   // E-bus current
    w.fill(32 - 14);
    w.emit(img, ec::kSiiCatGeneral);

    if (drive || terminal) {
        w.u8(0x01);  // FMMU0 outputs
        w.u8(0x02);  // FMMU1 inputs
        w.emit(img, ec::kSiiCatFmmu);

        if (drive) {
            writeSm(w, mbxOutStart, cfg.mailboxOutSize, 0x26, 1);
            writeSm(w, mbxInStart, cfg.mailboxInSize, 0x22, 2);
        } else {
            writeSm(w, 0, 0, 0, 0);  // no mailbox: SM0 and SM1 unused
            writeSm(w, 0, 0, 0, 0);
        }
        const ProcessDataSizes size = processDataSizes(cfg.kind);
        writeSm(w, layout::kOutputsStart, size.outputs, layout::kSm2Control, 3);
        writeSm(w, layout::kInputsStart, size.inputs, layout::kSm3Control, 4);
        w.emit(img, ec::kSiiCatSyncManager);

        if (drive) {
            writePdo(w, kTxPdoIndex, 3, kStrTxPdo, kTxPdoEntries);
            w.emit(img, ec::kSiiCatTxPdo);
            writePdo(w, kRxPdoIndex, 2, kStrRxPdo, kRxPdoEntries);
            w.emit(img, ec::kSiiCatRxPdo);
        } else {
            writePdo(w, kTxPdoIndex, 3, kStrTxPdo, kTerminalTxPdoEntries);
            w.emit(img, ec::kSiiCatTxPdo);
            writePdo(w, kRxPdoIndex, 2, kStrRxPdo, kTerminalRxPdoEntries);
            w.emit(img, ec::kSiiCatRxPdo);
        }
    }
    img.push_back(ec::kSiiCatEnd);
    img.push_back(0xFFFF);
    // The rest of the EEPROM the size code declares ((code + 1) kbit) is erased.
    img.resize(std::max<size_t>(img.size(), (img[ec::kSiiSizeCode] + 1u) * 1024u / 16u), 0xFFFF);
    return img;
}

}  // namespace sim
