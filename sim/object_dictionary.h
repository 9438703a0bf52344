// The CoE object dictionary of a simulated slave: device -> object -> sub-object. Each sub-object
// has a data type, a size, an access right and optional read/write handlers that return an SDO
// abort code, so live values (status word, temperatures) and side effects (save settings) hang
// off the entries that carry them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "model/coevalue.h"

namespace sim {

// The CoE data types of model/coevalue.h; the simulator's sources call them CoeType.
using CoeType = ::CoeDataType;

enum class Access : uint8_t { ReadOnly, WriteOnly, ReadWrite };
// Which PDO an entry may be mapped into (as SDO information reports it).
enum class PdoMapping : uint8_t { None, Rx, Tx };

// SDO abort codes the server sends.
namespace sdo_abort {
inline constexpr uint32_t kToggle = 0x05030000;
inline constexpr uint32_t kCommandSpecifier = 0x05040001;
inline constexpr uint32_t kUnsupportedAccess = 0x06010000;
inline constexpr uint32_t kWriteOnly = 0x06010001;
inline constexpr uint32_t kReadOnly = 0x06010002;
inline constexpr uint32_t kSubIndexZeroFirst = 0x06010003;
inline constexpr uint32_t kNoObject = 0x06020000;
inline constexpr uint32_t kNotMappable = 0x06040041;
inline constexpr uint32_t kPdoTooLong = 0x06040042;
inline constexpr uint32_t kParameterIncompatible = 0x06040043;
inline constexpr uint32_t kLengthMismatch = 0x06070010;
inline constexpr uint32_t kLengthTooHigh = 0x06070012;
inline constexpr uint32_t kLengthTooLow = 0x06070013;
inline constexpr uint32_t kNoSubIndex = 0x06090011;
inline constexpr uint32_t kValueRange = 0x06090030;
inline constexpr uint32_t kGeneral = 0x08000000;
inline constexpr uint32_t kDeviceState = 0x08000022;
}  // namespace sdo_abort

struct SubObject {
    std::string name;
    CoeType type = CoeType::Unsigned8;
    Access access = Access::ReadOnly;
    PdoMapping mapping = PdoMapping::None;
    // Fixed types: exactly this many bytes. Strings: the capacity; any shorter length is taken.
    size_t size = 1;
    std::vector<uint8_t> value;
    // Refreshes `value` before an upload (live values). Returns an abort code, 0 to go on.
    std::function<uint32_t(SubObject&)> onRead;
    // Checks and applies a download whose size already fits. Returns an abort code; on 0 the
    // bytes are stored as the new value.
    std::function<uint32_t(std::span<const uint8_t>)> onWrite;
    // An abort code every SDO upload and download of the entry gets (a fault set from outside,
    // e.g. a value locked in the drive's state); 0 takes them again.
    uint32_t refusal = 0;

    bool isString() const { return type == CoeType::VisibleString || type == CoeType::OctetString; }
    bool readable() const { return access != Access::WriteOnly; }
    bool writable() const { return access != Access::ReadOnly; }
};

struct CoeObject {
    std::string name;
    std::map<uint8_t, SubObject> subs;
};

class ObjectDictionary {
public:
    // --- building ------------------------------------------------------------------------------
    CoeObject& addObject(uint16_t index, std::string name);
    // A fixed-size entry with an initial integer value (little-endian, cut to the type's size).
    SubObject& addEntry(uint16_t index, uint8_t sub, std::string name, CoeType type, Access access,
                        uint32_t value = 0);
    SubObject& addFloat(uint16_t index, uint8_t sub, std::string name, Access access, float value);
    SubObject& addString(uint16_t index, uint8_t sub, std::string name, Access access,
                         const std::string& value, size_t capacity = 0);

    // --- SDO side ------------------------------------------------------------------------------
    // Finds an entry for an SDO access: kNoObject / kNoSubIndex when it is not there.
    uint32_t locate(uint16_t index, uint8_t sub, SubObject** entry);
    // Upload: access check, read handler, value.
    uint32_t upload(uint16_t index, uint8_t sub, std::vector<uint8_t>& out);
    // Whether a download of `size` bytes can start (existence, access, length).
    uint32_t checkDownload(uint16_t index, uint8_t sub, size_t size);
    // Download: the checks above, then the write handler, then the value is stored.
    uint32_t download(uint16_t index, uint8_t sub, std::span<const uint8_t> data);

    // --- firmware side (no access checks) ------------------------------------------------------
    SubObject* entry(uint16_t index, uint8_t sub);
    const SubObject* entry(uint16_t index, uint8_t sub) const;
    uint32_t u32(uint16_t index, uint8_t sub) const;  // integer value, 0 when missing
    void setU32(uint16_t index, uint8_t sub, uint32_t value);
    const std::map<uint16_t, CoeObject>& objects() const { return objects_; }

private:
    std::map<uint16_t, CoeObject> objects_;
};

}  // namespace sim
