#include "sii.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "base.h"
#include "ethercat.h"
#include "wire.h"

namespace ec {

namespace {

// No real SII is larger than 64 KiB words; a chain that long is corrupt.
constexpr uint32_t kSiiMaxWords = 0x8000;
constexpr int kSiiMaxCategories = 256;

// Bytes of one category, read through the word reader on demand and bounded by its size.
class CategoryBytes {
public:
    CategoryBytes(const SiiWordReader& read, uint32_t firstWord, uint32_t sizeWords)
        : read_(read), first_(firstWord), size_(sizeWords * 2) {}
    size_t size() const { return size_; }
    // Byte at offset, nullopt beyond the category or the readable image.
    std::optional<uint8_t> at(size_t offset) const {
        if (offset >= size_) {
            return std::nullopt;
        }
        const auto w = read_(first_ + static_cast<uint32_t>(offset / 2));
        if (!w) {
            return std::nullopt;
        }
        return static_cast<uint8_t>(offset % 2 ? *w >> 8 : *w & 0xFF);
    }
    std::optional<uint16_t> u16(size_t offset) const {
        const auto lo = at(offset);
        const auto hi = at(offset + 1);
        if (!lo || !hi) {
            return std::nullopt;
        }
        return static_cast<uint16_t>(*lo | *hi << 8);
    }

private:
    const SiiWordReader& read_;
    uint32_t first_;
    size_t size_;
};

bool parseStrings(const CategoryBytes& c, SiiInfo& info) {
    const auto count = c.at(0);
    if (!count) {
        return false;
    }
    size_t at = 1;
    for (unsigned n = 0; n < *count; ++n) {
        const auto len = c.at(at);
        if (!len) {
            return false;
        }
        std::string s;
        for (size_t i = 0; i < *len; ++i) {
            const auto ch = c.at(at + 1 + i);
            if (!ch) {
                return false;
            }
            s.push_back(static_cast<char>(*ch));
        }
        info.strings.push_back(std::move(s));
        at += 1 + *len;
    }
    return true;
}

bool parseGeneral(const CategoryBytes& c, SiiInfo& info) {
    SiiGeneral g;
    const auto name = c.at(3);
    const auto coe = c.at(5);
    const auto foe = c.at(6);
    const auto eoe = c.at(7);
    const auto soe = c.at(8);
    const auto flags = c.at(11);
    const auto ebus = c.u16(12);
    if (!name || !coe || !foe || !eoe || !soe || !flags || !ebus) {
        return false;
    }
    g.nameIndex = *name;
    g.coeDetails = *coe;
    g.foeDetails = *foe;
    g.eoeDetails = *eoe;
    g.soeChannels = *soe;
    g.flags = *flags;
    g.ebusCurrent = static_cast<int16_t>(*ebus);
    info.general = g;
    return true;
}

bool parseFmmu(const CategoryBytes& c, SiiInfo& info) {
    for (size_t i = 0; i < c.size(); ++i) {
        const auto b = c.at(i);
        if (!b) {
            return false;
        }
        info.fmmuUsage.push_back(*b);
    }
    return true;
}

bool parseSyncManagers(const CategoryBytes& c, SiiInfo& info) {
    for (size_t at = 0; at + 8 <= c.size(); at += 8) {
        const auto start = c.u16(at);
        const auto length = c.u16(at + 2);
        const auto control = c.at(at + 4);
        const auto enable = c.at(at + 6);
        const auto type = c.at(at + 7);
        if (!start || !length || !control || !enable || !type) {
            return false;
        }
        info.syncManagers.push_back(SiiSyncManager{*start, *length, *control, *enable, *type});
    }
    return true;
}

bool parsePdos(const CategoryBytes& c, std::optional<SiiPdoBits>& out) {
    SiiPdoBits bits;
    size_t at = 0;
    bool ok = true;
    while (at + 8 <= c.size()) {
        const auto entries = c.at(at + 2);
        const auto sm = c.at(at + 3);
        if (!entries || !sm) {
            ok = false;
            break;
        }
        at += 8;
        if (at + 8u * *entries > c.size()) {
            ok = false;  // entries announced beyond the category
            break;
        }
        uint32_t pdoBits = 0;
        for (unsigned e = 0; e < *entries; ++e, at += 8) {
            const auto bitLength = c.at(at + 5);
            if (!bitLength) {
                return false;
            }
            pdoBits += *bitLength;
        }
        if (*sm < 8) {  // 0xFF and the like: PDO not assigned
            bits.perSm[*sm] += pdoBits;
            bits.total += pdoBits;
        }
    }
    // Accumulate with an earlier category of the same kind.
    if (out) {
        for (int i = 0; i < 8; ++i) {
            out->perSm[i] += bits.perSm[i];
        }
        out->total += bits.total;
    } else {
        out = bits;
    }
    return ok;
}

}  // namespace

void applySii(ec_slavet& s, const SiiInfo& sii, SiiPdoSizes& pdo) {
    const std::string name = sii.string(1);
    if (!name.empty()) {
        std::snprintf(s.name, sizeof s.name, "%s", name.c_str());
    } else {
        std::snprintf(s.name, sizeof s.name, "? M:%8.8x I:%8.8x", s.eep_man, s.eep_id);
    }
    if (sii.general) {
        s.CoEdetails = sii.general->coeDetails;
        s.FoEdetails = sii.general->foeDetails;
        s.EoEdetails = sii.general->eoeDetails;
        s.SoEdetails = sii.general->soeChannels;
        s.Ebuscurrent = sii.general->ebusCurrent;
        s.blockLRW = (sii.general->flags & kSiiFlagNotLrw) ? 1 : 0;
    }
    uint8_t* funcs[EC_MAXFMMU] = {&s.FMMU0func, &s.FMMU1func, &s.FMMU2func, &s.FMMU3func};
    for (size_t i = 0; i < sii.fmmuUsage.size() && i < EC_MAXFMMU; ++i) {
        *funcs[i] = sii.fmmuUsage[i];
    }
    for (size_t i = 0; i < sii.syncManagers.size() && i < EC_MAXSM; ++i) {
        const SiiSyncManager& sm = sii.syncManagers[i];
        s.SM[i].StartAddr = sm.start;
        s.SM[i].SMlength = sm.length;
        s.SM[i].SMflags = sm.control | ((sm.enable & 0x01u) << 16);
        s.SMtype[i] = sm.type;
    }
    if (sii.rxPdo) {
        std::copy(std::begin(sii.rxPdo->perSm), std::end(sii.rxPdo->perSm), pdo.outputBits);
    }
    if (sii.txPdo) {
        std::copy(std::begin(sii.txPdo->perSm), std::end(sii.txPdo->perSm), pdo.inputBits);
    }
}

std::string SiiInfo::string(size_t n) const {
    if (n == 0 || n > strings.size()) {
        return {};
    }
    return strings[n - 1];
}

SiiInfo parseSiiCategories(const SiiWordReader& read) {
    SiiInfo info;
    uint32_t word = kSiiFirstCategory;
    for (int n = 0; n < kSiiMaxCategories && word < kSiiMaxWords; ++n) {
        const auto type = read(word);
        if (!type) {
            return info;
        }
        if (*type == kSiiCatEnd) {
            info.complete = true;
            return info;
        }
        const auto size = word + 1 < kSiiMaxWords ? read(word + 1) : std::nullopt;
        if (!size) {
            return info;
        }
        const CategoryBytes c(read, word + 2, *size);
        bool ok = true;
        switch (*type & 0x7FFF) {  // bit 15 marks vendor-specific variants
            case kSiiCatStrings:
                ok = parseStrings(c, info);
                break;
            case kSiiCatGeneral:
                ok = parseGeneral(c, info);
                break;
            case kSiiCatFmmu:
                ok = parseFmmu(c, info);
                break;
            case kSiiCatSyncManager:
                ok = parseSyncManagers(c, info);
                break;
            case kSiiCatTxPdo:
                ok = parsePdos(c, info.txPdo);
                break;
            case kSiiCatRxPdo:
                ok = parsePdos(c, info.rxPdo);
                break;
            default:
                break;
        }
        if (!ok) {
            return info;
        }
        word += 2 + *size;
    }
    return info;
}

SiiInfo parseSiiImage(std::span<const uint8_t> image) {
    return parseSiiCategories([image](uint32_t word) -> std::optional<uint16_t> {
        const size_t at = static_cast<size_t>(word) * 2;
        if (at + 2 > image.size()) {
            return std::nullopt;
        }
        return getU16(image.data() + at);
    });
}

uint8_t siiHeaderCrc(std::span<const uint8_t> first14Bytes) {
    uint8_t crc = 0xFF;
    for (uint8_t b : first14Bytes) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
        }
    }
    return crc;
}

namespace {

// Control/status, address and data registers of the SII interface, read as one block.
constexpr uint16_t kSiiInterfaceBytes = kRegSiiData + kSiiDataSize - kRegSiiControl;
constexpr size_t kSiiAddressAt = kRegSiiAddress - kRegSiiControl;
constexpr size_t kSiiDataAt = kRegSiiData - kRegSiiControl;

}  // namespace

std::optional<SiiChunk> siiReadFP(ecx_contextt* ctx, uint16_t station, uint16_t word,
                                  int timeoutUs) {
    const auto deadline = Port::Clock::now() + std::chrono::microseconds(timeoutUs);
    for (int attempt = 0; attempt < EC_DEFAULTRETRIES; ++attempt) {
        // The command and a first look at the interface in one frame: control/status, address
        // and data registers in one read. An EEPROM that is done by the time the frame comes by
        // delivers its data at once; a busy one is polled.
        uint8_t cmd[6] = {};
        putU16(cmd, kSiiCmdRead);
        putU16(cmd + 2, word);
        uint8_t regs[kSiiInterfaceBytes] = {};
        std::array<ec_datagramt, 2> batch{
            ec_datagramt{
                Command::FPWR, physicalAddress(station, kRegSiiControl), sizeof cmd, cmd, {}},
            ec_datagramt{
                Command::FPRD, physicalAddress(station, kRegSiiControl), sizeof regs, {}, regs},
        };
        transceiveBatch(ctx, batch, ec::kConfigTimeoutUs);
        bool answered = batch[1].wkc > 0;
        while (answered && (getU16(regs) & kSiiBusy)) {
            if (Port::Clock::now() >= deadline) {
                return std::nullopt;
            }
            osal_usleep(EC_LOCALDELAY);
            answered = transceive(ctx, Command::FPRD, physicalAddress(station, kRegSiiControl),
                                  sizeof regs, nullptr, regs, ec::kConfigTimeoutUs) > 0;
        }
        if (!answered) {
            continue;
        }
        const uint16_t status = getU16(regs);
        if (status & kSiiErrorMask) {
            // Not acknowledged, or the command was refused: clear the error bits and ask again.
            fpwr16(ctx, station, kRegSiiControl, 0, ec::kConfigTimeoutUs);
            continue;
        }
        if (batch[0].wkc <= 0 || getU16(regs + kSiiAddressAt) != word) {
            continue;  // the interface was busy with another command and did not take ours
        }
        const uint16_t length = (status & kSiiRead8Bytes) ? 8 : 4;
        const uint64_t data = getU64(regs + kSiiDataAt);
        return SiiChunk{length == 8 ? data : data & 0xFFFFFFFFu, length / 2u};
    }
    return std::nullopt;
}

std::optional<uint16_t> SiiBusReader::word(uint32_t word) {
    if (word > 0xFFFF) {
        return std::nullopt;
    }
    if (cachedStart_ == UINT32_MAX || word < cachedStart_ || word >= cachedStart_ + cached_.words) {
        const auto chunk = siiReadFP(ctx_, station_, static_cast<uint16_t>(word), timeoutUs_);
        if (!chunk) {
            return std::nullopt;
        }
        cachedStart_ = word;
        cached_ = *chunk;
    }
    return static_cast<uint16_t>(cached_.value >> (16 * (word - cachedStart_)));
}

}  // namespace ec

uint32_t ecx_readeeprom(ecx_contextt* ctx, uint16_t slave, uint16_t eeproma, int timeout) {
    if (ctx == nullptr || slave < 1 || slave > *ctx->slavecount) {
        return 0;
    }
    ecx_eeprom2master(ctx, slave);
    const auto v = ec::siiReadFP(ctx, ctx->slavelist[slave].configadr, eeproma, timeout);
    return v ? static_cast<uint32_t>(v->value) : 0;
}

void ecx_eeprom2master(ecx_contextt* ctx, uint16_t slave) {
    ec_slavet& s = ctx->slavelist[slave];
    if (s.eep_pdi) {
        // Force the ECAT side, then release the force: the master owns the SII again.
        ec::fpwr8(ctx, s.configadr, ec::kRegSiiConfig, 0x02, ec::kConfigTimeoutUs);
        if (ec::fpwr8(ctx, s.configadr, ec::kRegSiiConfig, 0x00, ec::kConfigTimeoutUs) > 0) {
            s.eep_pdi = 0;
        }
    }
}

void ecx_eeprom2pdi(ecx_contextt* ctx, uint16_t slave) {
    ec_slavet& s = ctx->slavelist[slave];
    if (!s.eep_pdi) {
        if (ec::fpwr8(ctx, s.configadr, ec::kRegSiiConfig, 0x01, ec::kConfigTimeoutUs) > 0) {
            s.eep_pdi = 1;
        }
    }
}
