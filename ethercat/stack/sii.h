// Slave information interface (SII EEPROM): reading words over the bus, and decoding the
// categories the master needs (strings, general, FMMU, SyncManager, TxPDO/RxPDO).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "context.h"

namespace ec {

struct SiiGeneral {
    uint8_t nameIndex = 0;
    uint8_t coeDetails = 0;
    uint8_t foeDetails = 0;
    uint8_t eoeDetails = 0;
    uint8_t soeChannels = 0;
    uint8_t flags = 0;  // bit 1: slave cannot take LRW
    int16_t ebusCurrent = 0;
};
inline constexpr uint8_t kSiiFlagNotLrw = 0x02;

struct SiiSyncManager {
    uint16_t start = 0;
    uint16_t length = 0;
    uint8_t control = 0;
    uint8_t enable = 0;
    uint8_t type = 0;  // EC_SMTYPE_*
};

// Bits a PDO category assigns to each SyncManager (entries of all assigned PDOs summed).
struct SiiPdoBits {
    uint32_t perSm[8] = {};
    uint32_t total = 0;
};

struct SiiInfo {
    std::vector<std::string> strings;  // strings[0] is string index 1
    std::optional<SiiGeneral> general;
    std::vector<uint8_t> fmmuUsage;  // one byte per FMMU
    std::vector<SiiSyncManager> syncManagers;
    std::optional<SiiPdoBits> txPdo;  // inputs
    std::optional<SiiPdoBits> rxPdo;  // outputs
    // False when the chain of categories ran past the readable words or a category's content
    // ran past its size; what was decoded before that point is kept.
    bool complete = false;

    // String n (1-based), empty when absent.
    std::string string(size_t n) const;
};

// Returns SII word `word`, or nullopt when it cannot be read (past the image, bus error).
using SiiWordReader = std::function<std::optional<uint16_t>(uint32_t word)>;

// Walks the categories from word 0x40 to the end marker. Reads no word beyond what `read`
// offers; unknown categories are skipped by their size.
SiiInfo parseSiiCategories(const SiiWordReader& read);

// The same over an image in memory (little-endian words).
SiiInfo parseSiiImage(std::span<const uint8_t> image);

// What the categories give a slave's record: its name (string 1, else one made of vendor and
// product), the mailbox protocols' details, FMMU use and SyncManagers as far as the record holds
// them, and the PDO bits per SyncManager.
void applySii(ec_slavet& s, const SiiInfo& sii, SiiPdoSizes& pdo);

// CRC-8 of the SII header (words 0-6), stored in the low byte of word 7.
uint8_t siiHeaderCrc(std::span<const uint8_t> first14Bytes);

// What one read delivers: 2 or 4 words from the word address on, as the slave's interface reads.
struct SiiChunk {
    uint64_t value = 0;
    uint32_t words = 0;
};

// Reads at `word` of the slave with configured address `station`, following the ESC's
// command/busy handshake.
std::optional<SiiChunk> siiReadFP(ecx_contextt* ctx, uint16_t station, uint16_t word,
                                  int timeoutUs);

// Caches reads of one slave's SII so that category scans read each chunk once.
class SiiBusReader {
public:
    SiiBusReader(ecx_contextt* ctx, uint16_t station, int timeoutUs)
        : ctx_(ctx), station_(station), timeoutUs_(timeoutUs) {}
    std::optional<uint16_t> word(uint32_t word);

private:
    ecx_contextt* ctx_;
    uint16_t station_;
    int timeoutUs_;
    uint32_t cachedStart_ = UINT32_MAX;
    SiiChunk cached_;
};

}  // namespace ec
