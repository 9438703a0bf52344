// The object dictionary of the simulated drive: identity, SyncManager types and PDO mapping (built
// from the same entry tables as the SII and the images), the CiA 402 objects of the images with
// their live values, and the drive parameters of object 0x6101.
#include <cstdio>
#include <cstring>

#include "ethercat/stack/protocol.h"
#include "sim/bytes.h"
#include "sim/cia402_drive.h"
#include "sim/esc.h"

namespace sim {

namespace {

constexpr Access RO = Access::ReadOnly;
constexpr Access WO = Access::WriteOnly;
constexpr Access RW = Access::ReadWrite;

struct ParamDefault {
    CoeType type;
    Access access;
    double value;
    const char* name;
};

// Factory settings of a QJ30 joint. Sizes and access follow the console's parameter table; the
// batch number and the spare word travel as 4 bytes though only the low byte means anything.
constexpr ParamDefault kParams[kDriveParamCount] = {
    {CoeType::Unsigned16, RO, 0, "Software version"},
    {CoeType::Unsigned16, RW, 850, "Torque constant (mNm/A)"},
    {CoeType::Real32, RW, 0.00012, "Rotor inertia"},
    {CoeType::Real32, RW, 0.0021, "Viscous friction"},
    {CoeType::Real32, RW, 0.045, "Static friction"},
    {CoeType::Real32, RW, 12.0, "Stall trigger current"},
    {CoeType::Real32, RW, 0.5, "Stall trigger speed"},
    {CoeType::Real32, RW, 2.0, "Stall trigger time"},
    {CoeType::Unsigned8, RW, 20, "Torque current limit"},
    {CoeType::Unsigned8, RW, 15, "Maximum bus current"},
    {CoeType::Unsigned8, RW, 5, "Maximum leakage current"},
    {CoeType::Unsigned8, RW, 36, "Undervoltage threshold"},
    {CoeType::Unsigned8, RW, 60, "Overvoltage threshold"},
    {CoeType::Unsigned8, RW, 40, "Phase current threshold"},
    {CoeType::Unsigned8, RW, 85, "MCU over-temperature"},
    {CoeType::Unsigned8, RW, 90, "MOSFET over-temperature"},
    {CoeType::Unsigned8, RW, 100, "Motor over-temperature"},
    {CoeType::Unsigned8, RW, 0, "Calibration"},
    {CoeType::Unsigned8, RW, 0, "Save settings"},
    {CoeType::Unsigned8, RW, 0, "Saving"},
    {CoeType::Integer8, RW, -20, "MCU under-temperature"},
    {CoeType::Integer8, RW, -20, "MOSFET under-temperature"},
    {CoeType::Integer8, RW, -20, "Motor under-temperature"},
    {CoeType::Unsigned8, RW, 0, "Reverse direction"},
    {CoeType::Unsigned8, RW, 14, "Pole pairs"},
    {CoeType::Unsigned8, RW, 5, "Calibration current"},
    {CoeType::Unsigned8, RW, 3, "Calibration voltage"},
    {CoeType::Unsigned8, RW, 10, "Gear ratio"},
    {CoeType::Real32, RW, 0.35, "Phase resistance"},
    {CoeType::Real32, RW, 0.00021, "Phase inductance"},
    {CoeType::Real32, RW, 30.0, "Speed limit"},
    {CoeType::Unsigned32, RW, 2000, "Breakthrough current"},
    {CoeType::Real32, RW, 1.0, "Torque ratio"},
    {CoeType::Real32, RW, 1.0, "Current ratio"},
    {CoeType::Unsigned32, RO, 23, "Batch number"},
    {CoeType::Unsigned32, RW, 0, "Spare"},
    {CoeType::Unsigned32, RO, 0x514A3330, "Product type"},  // "QJ30", first letter on top
};

std::string versionText(uint16_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u", (v >> 8) & 0xFu, (v >> 4) & 0xFu, v & 0xFu);
    return buf;
}

}  // namespace

void Cia402Drive::buildDictionary() {
    const auto& id = cfg_.identity;
    od_.addObject(0x1000, "Device type");
    od_.addEntry(0x1000, 0, "Device type", CoeType::Unsigned32, RO, 0x00020192);
    od_.addObject(0x1001, "Error register");
    od_.addEntry(0x1001, 0, "Error register", CoeType::Unsigned8, RO).onRead = [this](auto& e) {
        const bool fault =
            state_ == Cia402State::Fault || state_ == Cia402State::FaultReactionActive;
        e.value = {static_cast<uint8_t>(fault || errorWord_ || drvErrorWord_ ? 0x01 : 0x00)};
        return uint32_t{0};
    };
    od_.addObject(0x1008, "Device name");
    od_.addString(0x1008, 0, "Device name", RO, cfg_.name + " servo joint");
    od_.addObject(0x1009, "Hardware version");
    od_.addString(0x1009, 0, "Hardware version", RO, "B2");
    od_.addObject(0x100A, "Software version");
    od_.addString(0x100A, 0, "Software version", RO, "", 32);

    od_.addObject(0x1018, "Identity");
    od_.addEntry(0x1018, 0, "Number of entries", CoeType::Unsigned8, RO, 4);
    od_.addEntry(0x1018, 1, "Vendor ID", CoeType::Unsigned32, RO, id.vendorId);
    od_.addEntry(0x1018, 2, "Product code", CoeType::Unsigned32, RO, id.productCode);
    od_.addEntry(0x1018, 3, "Revision", CoeType::Unsigned32, RO, id.revision);
    od_.addEntry(0x1018, 4, "Serial number", CoeType::Unsigned32, RO, id.serial);

    // PDO mapping and assignment. The images are fixed, but a master may configure them the way
    // CoE prescribes (count 0, entries, count back) in PRE-OP, as long as it writes what the drive
    // has; SAFE-OP then needs them complete again.
    const auto preOpOnly = [this]() -> uint32_t {
        return esc_ && esc_->alState() == ec::kAlStatePreOp ? 0 : sdo_abort::kDeviceState;
    };
    const auto countFirst = [this, preOpOnly](uint16_t index) {
        return [this, preOpOnly, index](std::span<const uint8_t>) -> uint32_t {
            if (const uint32_t code = preOpOnly())
                return code;
            return od_.u32(index, 0) == 0 ? 0 : sdo_abort::kSubIndexZeroFirst;
        };
    };
    auto mapping = [&](uint16_t index, const char* name, const auto& entries) {
        const auto n = static_cast<uint32_t>(entries.size());
        od_.addObject(index, name);
        od_.addEntry(index, 0, "Number of entries", CoeType::Unsigned8, RW, n).onWrite =
            [preOpOnly, n](std::span<const uint8_t> d) -> uint32_t {
            if (const uint32_t code = preOpOnly())
                return code;
            if (d[0] > n)
                return sdo_abort::kPdoTooLong;
            return d[0] == 0 || d[0] == n ? 0 : sdo_abort::kParameterIncompatible;
        };
        uint8_t k = 1;
        for (const PdoEntry& e : entries) {
            const uint32_t v = (uint32_t{e.index} << 16) | (uint32_t{e.subIndex} << 8) | e.bits;
            od_.addEntry(index, k, "Mapped object " + std::to_string(k), CoeType::Unsigned32, RW, v)
                .onWrite = [check = countFirst(index), v](std::span<const uint8_t> d) {
                if (const uint32_t code = check(d))
                    return code;
                return rd32(d.data()) == v ? 0 : sdo_abort::kNotMappable;
            };
            ++k;
        }
    };
    mapping(kRxPdoIndex, "RxPDO", kRxPdoEntries);
    mapping(kTxPdoIndex, "TxPDO", kTxPdoEntries);
    od_.addObject(0x1C00, "SyncManager types");
    od_.addEntry(0x1C00, 0, "Number of SyncManagers", CoeType::Unsigned8, RO, 4);
    for (uint8_t sm = 1; sm <= 4; ++sm)
        od_.addEntry(0x1C00, sm, "SM" + std::to_string(sm - 1), CoeType::Unsigned8, RO, sm);
    // SyncManager parameters of a drive run on SYNC0, with the subindexes such drives leave out
    // (3, the shift time): a reader of the dictionary meets a gap.
    for (const uint16_t index : {uint16_t{0x1C32}, uint16_t{0x1C33}}) {
        od_.addObject(index, index == 0x1C32 ? "SM output parameter" : "SM input parameter");
        od_.addEntry(index, 0, "Number of entries", CoeType::Unsigned8, RO, 4);
        od_.addEntry(index, 1, "Synchronization type", CoeType::Unsigned16, RO, 2);  // SYNC0
        od_.addEntry(index, 2, "Cycle time", CoeType::Unsigned32, RO).onRead = [this](auto& e) {
            wr32(e.value.data(), esc_ ? esc_->peek32(ec::kRegDcSync0Cycle) : 0);
            return uint32_t{0};
        };
        od_.addEntry(index, 4, "Synchronization types supported", CoeType::Unsigned16, RO, 0x4);
    }
    for (const auto& [index, pdo] :
         {std::pair<uint16_t, uint16_t>{kRxPdoAssign, kRxPdoIndex}, {kTxPdoAssign, kTxPdoIndex}}) {
        od_.addObject(index, index == kRxPdoAssign ? "RxPDO assign" : "TxPDO assign");
        od_.addEntry(index, 0, "Number of PDOs", CoeType::Unsigned8, RW, 1).onWrite =
            [preOpOnly](std::span<const uint8_t> d) -> uint32_t {
            if (const uint32_t code = preOpOnly())
                return code;
            return d[0] <= 1 ? 0 : sdo_abort::kValueRange;
        };
        od_.addEntry(index, 1, "PDO", CoeType::Unsigned16, RW, pdo).onWrite =
            [check = countFirst(index), pdo = pdo](std::span<const uint8_t> d) {
                if (const uint32_t code = check(d))
                    return code;
                return rd16(d.data()) == pdo ? 0 : sdo_abort::kValueRange;
            };
    }

    // The objects of the images read their live values: outputs as last received (an SDO write
    // lands there too, until the next cycle overwrites it), inputs as the drive sends them now.
    size_t offset = 0;
    for (const PdoEntry& e : kRxPdoEntries) {
        const size_t at = offset;
        const size_t n = e.bits / 8;
        offset += n;
        if (e.index == 0)
            continue;
        od_.addObject(e.index, e.name);
        SubObject& s = od_.addEntry(e.index, e.subIndex, e.name, e.type, RW);
        s.mapping = PdoMapping::Rx;
        s.onRead = [this, at, n](SubObject& self) {
            self.value.assign(outputs_.begin() + static_cast<std::ptrdiff_t>(at),
                              outputs_.begin() + static_cast<std::ptrdiff_t>(at + n));
            return uint32_t{0};
        };
        s.onWrite = [this, at](std::span<const uint8_t> data) {
            std::copy(data.begin(), data.end(), outputs_.begin() + static_cast<std::ptrdiff_t>(at));
            return uint32_t{0};
        };
    }
    offset = 0;
    for (const PdoEntry& e : kTxPdoEntries) {
        const size_t at = offset;
        const size_t n = e.bits / 8;
        offset += n;
        if (e.index == 0)
            continue;
        od_.addObject(e.index, e.name);
        SubObject& s = od_.addEntry(e.index, e.subIndex, e.name, e.type, RO);
        s.mapping = PdoMapping::Tx;
        s.onRead = [this, at, n](SubObject& self) {
            const auto img = inputImage();
            self.value.assign(img.begin() + static_cast<std::ptrdiff_t>(at),
                              img.begin() + static_cast<std::ptrdiff_t>(at + n));
            return uint32_t{0};
        };
    }
    od_.addObject(kObjGains, "Gains");
    od_.addEntry(kObjGains, 0, "Number of entries", CoeType::Unsigned8, RO, 2);
    od_.addObject(kObjTemperatures, "Temperatures");
    od_.addEntry(kObjTemperatures, 0, "Number of entries", CoeType::Unsigned8, RO, 3);

    // Manufacturer extras: a write-only command and a free-text label that a master may set.
    od_.addObject(0x2004, "Clear fault history");
    od_.addEntry(0x2004, 0, "Clear fault history", CoeType::Unsigned32, WO).onWrite =
        [this](std::span<const uint8_t>) {
            if (state_ == Cia402State::Fault || state_ == Cia402State::FaultReactionActive)
                return sdo_abort::kDeviceState;
            errorWord_ = 0;
            drvErrorWord_ = 0;
            return uint32_t{0};
        };
    od_.addObject(0x2020, "Joint label");
    od_.addString(0x2020, 0, "Joint label", RW, "joint", 96);

    // Drive parameters.
    od_.addObject(kParamObject, "Drive parameters");
    od_.addEntry(kParamObject, 0, "Number of entries", CoeType::Unsigned8, RO, kDriveParamCount);
    for (int i = 0; i < kDriveParamCount; ++i) {
        const ParamDefault& p = kParams[i];
        const auto sub = static_cast<uint8_t>(i + 1);
        if (p.type == CoeType::Real32)
            od_.addFloat(kParamObject, sub, p.name, p.access, static_cast<float>(p.value));
        else
            od_.addEntry(kParamObject, sub, p.name, p.type, p.access,
                         static_cast<uint32_t>(static_cast<int64_t>(p.value)));
    }
    od_.entry(kParamObject, kDriveParamSaveSettings + 1)->onWrite =
        [this](std::span<const uint8_t> data) {
            if (data[0] != kDriveSaveCommand)
                return uint32_t{0};
            savedParams_.clear();
            for (const auto& [sub, e] : od_.objects().at(kParamObject).subs)
                if (sub != 0)
                    savedParams_[sub] = e.value;
            // The commands themselves are not settings.
            savedParams_[kDriveParamSaveSettings + 1] = {0};
            savedParams_[kDriveParamSaving + 1] = {0};
            savingUntilNs_ = now() + saveDurationNs_;
            return uint32_t{0};
        };
    // Calibration: 16 starts the drive's own routine (not while it is enabled: it needs the
    // motor to itself); the parameter then reads 1 once it is done.
    SubObject& calibration = *od_.entry(kParamObject, kDriveParamCalibration + 1);
    calibration.onWrite = [this](std::span<const uint8_t> data) {
        if (data[0] != kCalibrationStart) {
            calibrating_ = false;
            return uint32_t{0};
        }
        if (state_ == Cia402State::OperationEnabled)
            return sdo_abort::kDeviceState;
        calibrating_ = true;
        calibrationStartNs_ = now();
        return uint32_t{0};
    };
    calibration.onRead = [this](SubObject& e) {
        if (calibrationFinished())
            e.value = {kCalibrationDone};
        return uint32_t{0};
    };
    od_.entry(kParamObject, kDriveParamSaving + 1)->onRead = [this](SubObject& e) {
        e.value = {static_cast<uint8_t>(now() < savingUntilNs_ ? 1 : 0)};
        return uint32_t{0};
    };

    setSoftware(swVersion_, versionText(swVersion_));
    // What leaves the factory is what a power-up starts from.
    for (const auto& [sub, e] : od_.objects().at(kParamObject).subs)
        if (sub != 0)
            savedParams_[sub] = e.value;
}

void Cia402Drive::setSoftware(uint16_t version, std::string text) {
    swVersion_ = version;
    swText_ = std::move(text);
    const auto sub = static_cast<uint8_t>(kDriveParamSoftwareVersion + 1);
    od_.setU32(kParamObject, sub, version);
    savedParams_[sub] = od_.entry(kParamObject, sub)->value;
    od_.entry(0x100A, 0)->value.assign(swText_.begin(), swText_.end());
}

// The first "x.y.z" (three dot-separated decimal numbers) in a file name, each part cut to the
// nibble a software version holds; false when the name has none.
static bool versionFromFileName(const std::string& name, uint16_t parts[3]) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    for (size_t start = 0; start < name.size(); ++start) {
        if (!isDigit(name[start]) || (start > 0 && isDigit(name[start - 1]))) {
            continue;
        }
        size_t pos = start;
        int found = 0;
        while (found < 3) {
            unsigned value = 0;
            const size_t first = pos;
            while (pos < name.size() && isDigit(name[pos])) {
                value = (value * 10 + unsigned(name[pos] - '0')) & 0xFFFF;
                ++pos;
            }
            if (pos == first) {
                break;
            }
            parts[found++] = static_cast<uint16_t>(value & 0xF);
            if (found < 3) {
                if (pos >= name.size() || name[pos] != '.') {
                    break;
                }
                ++pos;
            }
        }
        if (found == 3) {
            return true;
        }
    }
    return false;
}

// The bootloader hands over to the new image: its version comes from the file name ("x.y.z"),
// else from the file's checksum; the drive restarts from its saved settings.
void Cia402Drive::startNewFirmware() {
    const FirmwareFile& f = foe_.lastFile();
    uint16_t part[3] = {};
    if (versionFromFileName(f.name, part)) {
        const auto v =
            static_cast<uint16_t>((swVersion_ & 0xF000) | part[0] << 8 | part[1] << 4 | part[2]);
        setSoftware(v, versionText(v));
    } else {
        char buf[16];
        std::snprintf(buf, sizeof buf, "+%08x", f.crc32);
        setSoftware(swVersion_, versionText(swVersion_) + buf);
    }
    onPowerUp();
}

}  // namespace sim
