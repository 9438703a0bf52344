#include "bustool.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <thread>

#include <time.h>

#include "capture.h"
#include "errorlist.h"
#include "ethercat.h"
#include "model/coevalue.h"
#include "protocol.h"
#include "scope/trigger.h"
#include "sii.h"
#include "sim/virtual_link.h"
#include "wire.h"

namespace bustool {

namespace {

using Args = std::vector<std::string>;

constexpr int kRegisterTimeoutUs = 20000;
constexpr int kMailboxTimeoutUs = EC_TIMEOUTRXM;
constexpr int kStateTimeoutUs = EC_TIMEOUTSTATE;
constexpr int kFoeTimeoutUs = 5000000;
constexpr size_t kSdoBufferBytes = 4096;
constexpr size_t kFirmwareLimitBytes = 16 * 1024 * 1024;
constexpr std::chrono::milliseconds kCycle{2};

// --- output: plain text, or one JSON document -------------------------------------------------

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", u);
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// A flat record of named values, printed as "name: value" lines or as a JSON object.
class Record {
public:
    Record& add(const std::string& key, const std::string& value) {
        fields_.emplace_back(key, jsonString(value), value);
        return *this;
    }
    Record& add(const std::string& key, long long value) {
        fields_.emplace_back(key, std::to_string(value), std::to_string(value));
        return *this;
    }
    Record& hex(const std::string& key, unsigned long long value, int digits) {
        std::ostringstream text;
        text << "0x" << std::hex << std::setw(digits) << std::setfill('0') << value;
        fields_.emplace_back(key, std::to_string(value), text.str());
        return *this;
    }
    Record& raw(const std::string& key, const std::string& json, const std::string& text) {
        fields_.emplace_back(key, json, text);
        return *this;
    }
    std::string json() const {
        std::string out = "{";
        for (size_t i = 0; i < fields_.size(); ++i) {
            out += (i ? ", " : "") + jsonString(std::get<0>(fields_[i])) + ": " +
                   std::get<1>(fields_[i]);
        }
        return out + "}";
    }
    std::string text() const {
        std::string out;
        for (size_t i = 0; i < fields_.size(); ++i) {
            out += (i ? "  " : "") + std::get<0>(fields_[i]) + " " + std::get<2>(fields_[i]);
        }
        return out;
    }

private:
    std::vector<std::tuple<std::string, std::string, std::string>> fields_;  // key, json, text
};

// Prints a list of records under `name`: one line each, or {"name": [...]}.
void printList(std::ostream& out, bool json, const std::string& name,
               const std::vector<Record>& records) {
    if (json) {
        out << "{" << jsonString(name) << ": [";
        for (size_t i = 0; i < records.size(); ++i) {
            out << (i ? ", " : "") << records[i].json();
        }
        out << "]}\n";
        return;
    }
    for (const Record& r : records) {
        out << r.text() << "\n";
    }
}

void printRecord(std::ostream& out, bool json, const Record& r) {
    out << (json ? r.json() : r.text()) << "\n";
}

// --- parsing ----------------------------------------------------------------------------------

std::optional<unsigned long long> parseUnsigned(const std::string& s) {
    int base = 10;
    std::string_view v = s;
    if (v.size() > 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
        base = 16;
        v.remove_prefix(2);
    }
    unsigned long long value = 0;
    const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value, base);
    if (ec != std::errc() || end != v.data() + v.size() || v.empty()) {
        return std::nullopt;
    }
    return value;
}

std::optional<long long> parseSigned(const std::string& s) {
    if (!s.empty() && s[0] == '-') {
        const auto magnitude = parseUnsigned(s.substr(1));
        if (!magnitude || *magnitude > 1ULL << 63) {
            return std::nullopt;
        }
        return static_cast<long long>(0 - *magnitude);
    }
    const auto v = parseUnsigned(s);
    if (!v || *v > static_cast<unsigned long long>(INT64_MAX)) {
        return std::nullopt;
    }
    return static_cast<long long>(*v);
}

// A finite decimal number, nothing after it.
std::optional<double> parseReal(const std::string& s) {
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(s.c_str(), &end);
    if (s.empty() || end != s.c_str() + s.size() || errno != 0 || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

const std::map<std::string, uint16_t>& stateNames() {
    static const std::map<std::string, uint16_t> names = {{"INIT", EC_STATE_INIT},
                                                          {"PREOP", EC_STATE_PRE_OP},
                                                          {"BOOT", EC_STATE_BOOT},
                                                          {"SAFEOP", EC_STATE_SAFE_OP},
                                                          {"OP", EC_STATE_OPERATIONAL}};
    return names;
}

std::string stateName(uint16_t state) {
    std::string name = "NONE";
    for (const auto& [n, v] : stateNames()) {
        if (v == (state & 0x0F)) {
            name = n;
        }
    }
    return (state & EC_STATE_ERROR) ? name + "+ERR" : name;
}

// Value types of SDO transfers by their names here.
struct ValueType {
    const char* name;
    CoeDataType type;
};
constexpr ValueType kTypes[] = {
    {"u8", CoeDataType::Unsigned8},         {"u16", CoeDataType::Unsigned16},
    {"u32", CoeDataType::Unsigned32},       {"u64", CoeDataType::Unsigned64},
    {"i8", CoeDataType::Integer8},          {"i16", CoeDataType::Integer16},
    {"i32", CoeDataType::Integer32},        {"i64", CoeDataType::Integer64},
    {"f32", CoeDataType::Real32},           {"f64", CoeDataType::Real64},
    {"string", CoeDataType::VisibleString}, {"hex", CoeDataType::OctetString}};

const ValueType* findType(const std::string& name) {
    for (const ValueType& t : kTypes) {
        if (name == t.name) {
            return &t;
        }
    }
    return nullptr;
}

std::string hexBytes(const uint8_t* p, size_t n) {
    return coeHexText({p, n});
}

// The value of `n` bytes read as `type`, for text and JSON; nullopt when the size does not fit.
std::optional<std::pair<std::string, std::string>> formatValue(const ValueType& type,
                                                               const uint8_t* p, size_t n) {
    const auto text = coeValueText(type.type, {p, n}, CoeReal32Text::NineDigits);
    if (!text) {
        return std::nullopt;
    }
    // JSON has no inf and no nan: those go quoted, as the strings do.
    const CoeValueKind kind = coeDataTypeInfo(type.type)->kind;
    const bool number =
        kind == CoeValueKind::Unsigned || kind == CoeValueKind::Signed ||
        (kind == CoeValueKind::Real && std::isfinite(std::strtod(text->c_str(), nullptr)));
    return std::pair{*text, number ? *text : jsonString(*text)};
}

// --- the bus ----------------------------------------------------------------------------------

// Options common to every subcommand, and the positional arguments left.
struct ObjectAddress {
    int slave;
    uint16_t index;
    uint8_t sub;
};

// How a command finds the slaves: counted only, scanned as they stand (addresses and AL states
// kept), or scanned after a reset of the whole bus to INIT.
enum class Scan { Count, Keep, Reset };

struct Options {
    std::string interface;
    bool json = false;
    std::optional<int> slave;
    std::string type;
    std::string out;
    std::string capture;
    std::optional<uint32_t> password;
    std::optional<double> seconds;
    // record: as given, checked by checkRecord
    Args channels;
    std::map<std::string, std::string> recordArgs;  // --trigger, --level, ...
    Args positional;
    // From the positional arguments, checked before the bus is opened.
    uint16_t state = 0;
    ObjectAddress at{};
    const ValueType* valueType = nullptr;  // null: from the drive's SDO information
    // record
    std::vector<scope::ChannelDef> channelDefs;
    scope::AcquisitionSettings acquisition;
    double timeoutS = 0;
};

// The system's reason for the last failed file operation.
std::string reason() {
    return errno != 0 ? std::strerror(errno) : "unknown error";
}

class Bus {
public:
    explicit Bus(std::ostream& err) : err_(err) {}
    ~Bus() {
        if (master_.get()->port) {
            ecx_close(master_.get());
        }
    }

    // Opens the adapter ("sim:N" is an in-process chain of N drives) and scans the slaves into
    // PRE-OP; `passive` only counts them, leaving every register as it is. kExitOk, or the exit
    // code of what failed.
    int open(const Options& o, Scan scan) {
        if (o.interface.rfind("sim:", 0) == 0) {
            const auto n = parseUnsigned(o.interface.substr(4));
            if (!n || *n < 1 || *n > 200) {
                err_ << "zentrio-bus: " << o.interface << ": give sim:N with N from 1 to 200\n";
                return kExitUsage;
            }
            // A chain registered before (by a test bench in this process) is used as it is.
            const auto adapters = ec::listAdapters();
            if (std::none_of(adapters.begin(), adapters.end(),
                             [&](const ec::AdapterInfo& a) { return a.name == o.interface; })) {
                sim::registerSimulatedAdapter(static_cast<int>(*n));
            }
        }
        if (ecx_init(ctx(), o.interface.c_str()) <= 0) {
            err_ << "zentrio-bus: cannot open adapter '"
                 << o.interface << "' (unknown, or raw sockets not permitted)\n";
            return kExitNoBus;
        }
        errno = 0;
        if (!o.capture.empty() && ecx_capture_start(ctx(), o.capture.c_str()) <= 0) {
            err_ << "zentrio-bus: cannot write '" << o.capture << "': " << reason() << "\n";
            return kExitFailed;
        }
        if (scan == Scan::Count) {
            uint8_t type[2] = {};
            passiveCount_ = ecx_BRD(ctx(), 0, ec::kRegType, 2, type, kRegisterTimeoutUs);
            if (passiveCount_ <= 0) {
                err_ << "zentrio-bus: no slaves on " << o.interface << "\n";
                return kExitNoBus;
            }
            return kExitOk;
        }
        const int count =
            scan == Scan::Keep ? ecx_config_inspect(ctx()) : ecx_config_init(ctx(), FALSE);
        if (count <= 0) {
            err_ << "zentrio-bus: no slaves on " << o.interface << "\n";
            return kExitNoBus;
        }
        if (scan == Scan::Reset) {
            ecx_statecheck(ctx(), 0, EC_STATE_PRE_OP, kStateTimeoutUs);
        }
        ecx_readstate(ctx());
        return kExitOk;
    }

    // Ends a capture begun with --capture; kExitFailed when its file is incomplete.
    int close(const Options& o) {
        if (o.capture.empty()) {
            return kExitOk;
        }
        ec::CaptureStats stats;
        const bool complete = ecx_capture_stop(ctx(), &stats) > 0;
        err_ << "zentrio-bus: capture " << o.capture << ": " << stats.written << " frames, "
             << stats.dropped << " dropped\n";
        return complete ? kExitOk : kExitFailed;
    }

    ecx_contextt* ctx() { return master_.get(); }
    int count() { return passiveCount_ > 0 ? passiveCount_ : master_.slavecount(); }
    ec_slavet& slave(int n) { return master_.slave(n); }

    bool validSlave(int n) {
        if (n >= 1 && n <= count()) {
            return true;
        }
        err_ << "zentrio-bus: no slave " << n << " (the bus has " << count() << ")\n";
        return false;
    }

    // The exit code for a failed mailbox call, with the slave's reason printed.
    int mailboxFailure(int result, const char* what) {
        ec_errort e{};
        int code = result == EC_TIMEOUT || result == EC_FOE_NOREPLY ? kExitTimeout : kExitFailed;
        while (ecx_poperror(ctx(), &e)) {
            if (e.Etype == EC_ERR_TYPE_SDO_ERROR) {
                const auto abort = static_cast<uint32_t>(e.AbortCode);
                err_ << "zentrio-bus: " << what << " aborted: 0x" << std::hex << std::setw(8)
                     << std::setfill('0') << abort << std::dec << " " << ec_sdoerror2string(abort)
                     << "\n";
                code = kExitAbort;
            } else if (e.Etype == EC_ERR_TYPE_FOE_ERROR ||
                       e.Etype == EC_ERR_TYPE_FOE_FILE_NOTFOUND) {
                err_ << "zentrio-bus: " << what << " refused by the slave: FoE error 0x" << std::hex
                     << e.AbortCode << std::dec << "\n";
                code = kExitAbort;
            } else if (e.Etype == EC_ERR_TYPE_PACKET_ERROR || e.Etype == EC_ERR_TYPE_MBX_ERROR) {
                err_ << "zentrio-bus: " << what << ": " << ec::errorText(e) << "\n";
            }
        }
        if (code == kExitTimeout) {
            err_ << "zentrio-bus: " << what << ": no reply in time\n";
        } else if (code == kExitFailed) {
            err_ << "zentrio-bus: " << what << " failed (" << result << ")\n";
        }
        return code;
    }

    // Requests `state` of one slave (0: all) and waits for it, through the states the AL state
    // machine needs on the way (INIT before BOOT, PRE-OP before SAFE-OP); SAFE-OP and OP are
    // reached with the process image mapped and exchanged every cycle meanwhile.
    bool reachState(int n, uint16_t state) {
        ecx_readstate(ctx());
        if (state == EC_STATE_BOOT) {
            return (slave(n).state & 0x0F) == EC_STATE_BOOT ||
                   (request(n, EC_STATE_INIT) && enterBoot(n));
        }
        if (state >= EC_STATE_PRE_OP) {
            for (int k = n == 0 ? 1 : n; k <= (n == 0 ? count() : n); ++k) {
                if (!preOp(k)) {
                    return false;
                }
            }
        }
        if (state >= EC_STATE_SAFE_OP && !mapped_) {
            iomap_.assign(4096, 0);
            if (ecx_config_map_slave(ctx(), iomap_.data(), iomap_.size(),
                                     static_cast<uint16_t>(n)) <= 0) {
                err_ << "zentrio-bus: the process image could not be mapped\n";
                return false;
            }
            ecx_configdc(ctx());
            mapped_ = true;
        }
        if (state == EC_STATE_OPERATIONAL && !request(n, EC_STATE_SAFE_OP)) {
            return false;
        }
        return request(n, state);
    }

    // Slave n at PRE-OP or above, where its mailbox works: taken there from INIT or BOOT.
    bool mailboxReady(int n) {
        ecx_readstate(ctx());
        if (!preOp(n)) {
            err_ << "zentrio-bus: slave " << n << " did not reach PREOP for its mailbox\n";
            return false;
        }
        return true;
    }

    // One process-data exchange; the working counter that came back.
    int exchange() {
        ecx_send_processdata(ctx());
        return ecx_receive_processdata(ctx(), EC_TIMEOUTRET);
    }

    // The slaves with a full drive image once the process image is mapped, in bus order: what
    // the console counts as its drives (index 0, 1, ...).
    std::vector<int> drives() {
        std::vector<int> list;
        for (int n = 1; n <= std::min(count(), kMaxSlaves); ++n) {
            const ec_slavet& s = slave(n);
            if (s.outputs != nullptr && s.inputs != nullptr &&
                s.Obytes >= static_cast<uint32_t>(kDriveOutputBytes) &&
                s.Ibytes >= static_cast<uint32_t>(kDriveInputBytes)) {
                list.push_back(n);
            }
        }
        return list;
    }

private:
    // Requests `state` (one AL transition) and waits for it.
    bool request(int n, uint16_t state) {
        const auto target = static_cast<uint16_t>(n);
        // A slave that shows an error (as one left in OP without process data does once its
        // SyncManager watchdog runs out) takes no new state until the error is acknowledged.
        const bool error = (slave(n).state & EC_STATE_ERROR) != 0;
        slave(n).state = static_cast<uint16_t>(state | (error ? EC_STATE_ACK : 0));
        ecx_writestate(ctx(), target);
        if (!mapped_) {
            return ecx_statecheck(ctx(), target, state, kStateTimeoutUs) == state;
        }
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::microseconds(kStateTimeoutUs);
        while (std::chrono::steady_clock::now() < deadline) {
            exchange();
            if (ecx_statecheck(ctx(), target, state, 0) == state) {
                return true;
            }
            std::this_thread::sleep_for(kCycle);
        }
        return false;
    }

    // Writes SyncManagers 0 and 1 of slave n as mailbox windows at rx and tx (offset, size << 16).
    void mailboxWindows(int n, uint32_t rx, uint32_t tx) {
        ec_slavet& s = slave(n);
        s.SM[0] = ec_smt{static_cast<uint16_t>(rx), static_cast<uint16_t>(rx >> 16),
                         ec::kSmFlagsMailboxOut};
        s.SM[1] = ec_smt{static_cast<uint16_t>(tx), static_cast<uint16_t>(tx >> 16),
                         ec::kSmFlagsMailboxIn};
        s.mbx_wo = s.SM[0].StartAddr;
        s.mbx_l = s.SM[0].SMlength;
        s.mbx_ro = s.SM[1].StartAddr;
        s.mbx_rl = s.SM[1].SMlength;
        uint8_t sms[2 * ec::kSmSize];
        std::memcpy(sms, &s.SM[0], ec::kSmSize);
        std::memcpy(sms + ec::kSmSize, &s.SM[1], ec::kSmSize);
        ecx_FPWR(ctx(), s.configadr, ec::kRegSm0, sizeof sms, sms, kRegisterTimeoutUs);
    }

    // From INIT: the bootloader answers on the bootstrap mailbox of the SII.
    bool enterBoot(int n) {
        const auto at = static_cast<uint16_t>(n);
        const uint32_t rx = ecx_readeeprom(ctx(), at, ec::kSiiBootRxMailbox, EC_TIMEOUTEEP);
        const uint32_t tx = ecx_readeeprom(ctx(), at, ec::kSiiBootTxMailbox, EC_TIMEOUTEEP);
        ecx_eeprom2pdi(ctx(), at);
        if ((rx >> 16) > 0 && (tx >> 16) > 0) {
            mailboxWindows(n, rx, tx);
        }
        return request(n, EC_STATE_BOOT);
    }

    // A slave found below PRE-OP (INIT, or BOOT through INIT) gets its standard mailbox and
    // PRE-OP; slaves at PRE-OP or above are left as they are.
    bool preOp(int n) {
        const ec_slavet& s = slave(n);
        const uint16_t now = s.state & 0x0F;
        if (now == EC_STATE_PRE_OP || now >= EC_STATE_SAFE_OP) {
            return true;
        }
        if (now == EC_STATE_BOOT && !request(n, EC_STATE_INIT)) {
            return false;
        }
        if (s.mbx_l > 0) {
            const uint16_t at = static_cast<uint16_t>(n);
            const uint32_t rx = ecx_readeeprom(ctx(), at, ec::kSiiStdRxMailbox, EC_TIMEOUTEEP);
            const uint32_t tx = ecx_readeeprom(ctx(), at, ec::kSiiStdTxMailbox, EC_TIMEOUTEEP);
            ecx_eeprom2pdi(ctx(), at);
            mailboxWindows(n, rx, (tx >> 16) > 0 ? tx : (tx | (rx & 0xFFFF0000)));
        }
        return request(n, EC_STATE_PRE_OP);
    }

public:
private:
    std::ostream& err_;
    ec::OwnedContext master_;
    std::vector<uint8_t> iomap_;
    bool mapped_ = false;
    int passiveCount_ = 0;  // slaves counted without a scan
};

// --- subcommands ------------------------------------------------------------------------------

struct Command {
    const char* name;
    const char* synopsis;
    const char* help;
    size_t positional;  // arguments after the subcommand
    Scan scan;
    // Checks and converts the arguments before the bus is opened: kExitOk or the exit code.
    int (*check)(Options& o, std::ostream& err);
    int (*run)(Bus& bus, const Options& o, std::ostream& out, std::ostream& err);
};

// --- argument checks (no bus yet) ---------------------------------------------------------------

int noCheck(Options&, std::ostream&) {
    return kExitOk;
}

std::optional<int> slaveNumber(const std::string& arg, std::ostream& err) {
    const auto n = parseUnsigned(arg);
    if (!n || *n < 1 || *n > 0xFFFF) {
        err << "zentrio-bus: slave '" << arg << "' is no position from 1 to 65535\n";
        return std::nullopt;
    }
    return static_cast<int>(*n);
}

int checkSlave(Options& o, std::ostream& err) {
    const auto n = slaveNumber(o.positional[0], err);
    if (!n) {
        return kExitUsage;
    }
    o.at.slave = *n;
    return kExitOk;
}

int checkState(Options& o, std::ostream& err) {
    const auto it = stateNames().find(o.positional[0]);
    if (it == stateNames().end()) {
        err << "zentrio-bus: unknown state '" << o.positional[0]
            << "' (INIT, PREOP, BOOT, SAFEOP, OP)\n";
        return kExitUsage;
    }
    if (it->second == EC_STATE_BOOT && o.slave.value_or(0) == 0) {
        err << "zentrio-bus: BOOT is requested one slave at a time (--slave N)\n";
        return kExitUsage;
    }
    o.state = it->second;
    return kExitOk;
}

// SLAVE INDEX SUB, and the type when --type names one.
int checkObject(Options& o, std::ostream& err) {
    if (const int r = checkSlave(o, err); r != kExitOk) {
        return r;
    }
    const auto index = parseUnsigned(o.positional[1]);
    if (!index || *index > 0xFFFF) {
        err << "zentrio-bus: index '" << o.positional[1] << "' is out of range 0..0xffff\n";
        return kExitUsage;
    }
    const auto sub = parseUnsigned(o.positional[2]);
    if (!sub || *sub > 0xFF) {
        err << "zentrio-bus: subindex '" << o.positional[2] << "' is out of range 0..255\n";
        return kExitUsage;
    }
    o.at.index = static_cast<uint16_t>(*index);
    o.at.sub = static_cast<uint8_t>(*sub);
    if (!o.type.empty() && (o.valueType = findType(o.type)) == nullptr) {
        err << "zentrio-bus: --type '" << o.type << "' is unknown\n";
        return kExitUsage;
    }
    return kExitOk;
}

std::optional<std::vector<uint8_t>> valueBytes(const ValueType& type, const std::string& text,
                                               std::ostream& err) {
    auto bytes = coeValueBytes(type.type, text);
    if (!bytes || bytes->empty()) {
        err << "zentrio-bus: value '" << text << "' is no " << type.name << " value\n";
        return std::nullopt;
    }
    return bytes;
}

int checkDownload(Options& o, std::ostream& err) {
    if (const int r = checkObject(o, err); r != kExitOk) {
        return r;
    }
    return o.valueType && !valueBytes(*o.valueType, o.positional[3], err) ? kExitUsage : kExitOk;
}

int checkFoe(Options& o, std::ostream& err) {
    if (const int r = checkSlave(o, err); r != kExitOk) {
        return r;
    }
    errno = 0;
    if (!std::ifstream(o.positional[1], std::ios::binary)) {
        err << "zentrio-bus: cannot read '" << o.positional[1] << "': " << reason() << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int checkCapture(Options& o, std::ostream& err) {
    if (!o.capture.empty()) {
        err << "zentrio-bus: capture records by itself; --capture does not go with it\n";
        return kExitUsage;
    }
    if (!o.seconds || !(*o.seconds > 0.0) || *o.seconds > 86400.0) {
        err << "zentrio-bus: capture needs --seconds S, above 0 and up to 86400\n";
        return kExitUsage;
    }
    return kExitOk;
}

// record: FILE's directory, the channels, the trigger and the record's times.
int checkRecord(Options& o, std::ostream& err) {
    auto fail = [&](const std::string& what) {
        err << "zentrio-bus: " << what << "\n";
        return kExitUsage;
    };
    const std::filesystem::path file(o.positional[0]);
    std::error_code ec;
    const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : ".";
    if (!std::filesystem::is_directory(dir, ec)) {
        err << "zentrio-bus: cannot write '" << o.positional[0] << "': no directory '"
            << dir.string() << "'\n";
        return kExitFailed;
    }
    if (o.channels.empty() || o.channels.size() > static_cast<size_t>(scope::kMaxChannels)) {
        return fail("record takes 1 to " + std::to_string(scope::kMaxChannels) +
                    " --channel DRIVE:SIGNAL[:SCALE]");
    }
    for (const std::string& text : o.channels) {
        std::vector<std::string> parts;
        for (size_t at = 0;;) {
            const size_t colon = text.find(':', at);
            parts.push_back(text.substr(at, colon - at));
            if (colon == std::string::npos) {
                break;
            }
            at = colon + 1;
        }
        const auto drive = parseUnsigned(parts[0]);
        const auto signal =
            parts.size() >= 2 ? scope::signalFromName(parts[1]) : std::optional<scope::Signal>{};
        const auto scale = parts.size() == 3 ? parseReal(parts[2]) : std::optional<double>{1.0};
        if (parts.size() < 2 || parts.size() > 3 || !drive || *drive >= kMaxSlaves || !signal ||
            !scale || *scale == 0.0) {
            std::string names;
            for (int i = 0; i < scope::kSignalCount; ++i) {
                names += std::string(i ? " " : "") + scope::signalName(scope::Signal(i));
            }
            return fail(
                "--channel '" + text +
                "' is no DRIVE:SIGNAL[:SCALE] (DRIVE from 0, SCALE not 0; signals: " + names + ")");
        }
        o.channelDefs.push_back(
            {.drive = static_cast<int>(*drive), .signal = *signal, .scale = *scale});
    }
    auto real = [&](const char* name, double low, double high,
                    double fallback) -> std::optional<double> {
        const auto it = o.recordArgs.find(name);
        if (it == o.recordArgs.end()) {
            return fallback;
        }
        const auto v = parseReal(it->second);
        if (!v || *v < low || *v > high) {
            std::ostringstream text;
            text << name << " '" << it->second << "' is out of range " << low << " to " << high;
            fail(text.str());
            return std::nullopt;
        }
        return v;
    };
    scope::AcquisitionSettings& a = o.acquisition;
    a.mode = scope::TriggerMode::Single;
    a.cycleTimeS = std::chrono::duration<double>(kCycle).count();
    const auto length = real("--length", scope::Acquisition::kMinRecordSeconds,
                             scope::Acquisition::kMaxRecordSeconds, 1.0);
    const auto pre = real("--pretrigger", 0, 90, 10);
    if (!length || !pre) {
        return kExitUsage;
    }
    const auto timeout = real("--timeout", 0.01, 86400, *length + 10);
    const auto channels = static_cast<double>(o.channelDefs.size());
    const auto triggerChannel = real("--trigger-channel", 0, channels - 1, -1);
    const auto level = real("--level", -HUGE_VAL, HUGE_VAL, 0);
    if (!timeout || !triggerChannel || !level) {
        return kExitUsage;
    }
    if (*triggerChannel != std::floor(*triggerChannel)) {
        return fail("--trigger-channel takes a channel's number, 0 for the first");
    }
    a.recordSeconds = *length;
    a.preTriggerFraction = *pre / 100;
    o.timeoutS = *timeout;
    a.trigger.channel = static_cast<int>(*triggerChannel);
    a.trigger.level = *level;
    const auto kind = o.recordArgs.count("--trigger") ? o.recordArgs["--trigger"] : "manual";
    const bool given = a.trigger.channel >= 0;
    if (kind == "rising" || kind == "falling") {
        if (!given || !o.recordArgs.count("--level")) {
            return fail("a " + kind + " trigger needs --trigger-channel N and --level X");
        }
        a.trigger.kind =
            kind == "rising" ? scope::TriggerKind::Rising : scope::TriggerKind::Falling;
    } else if (kind == "fault") {
        // On the status word of the channel given, or of any channel recording one.
        const auto& defs = o.channelDefs;
        if (given ? defs[static_cast<size_t>(a.trigger.channel)].signal != scope::Signal::StatusWord
                  : std::none_of(defs.begin(), defs.end(), [](const scope::ChannelDef& c) {
                        return c.signal == scope::Signal::StatusWord;
                    })) {
            return fail("a fault trigger watches a status_word channel");
        }
        a.trigger.kind = scope::TriggerKind::FaultEntry;
    } else if (kind == "manual") {
        a.trigger.kind = scope::TriggerKind::Manual;
    } else {
        return fail("--trigger '" + kind + "' is unknown (rising, falling, fault, manual)");
    }
    return kExitOk;
}

int cmdSlaves(Bus& bus, const Options& o, std::ostream& out, std::ostream&) {
    std::vector<Record> list;
    for (int n = 1; n <= bus.count(); ++n) {
        const ec_slavet& s = bus.slave(n);
        list.push_back(Record()
                           .add("position", n)
                           .hex("address", s.configadr, 4)
                           .add("state", stateName(s.state))
                           .hex("vendor", s.eep_man, 8)
                           .hex("product", s.eep_id, 8)
                           .hex("revision", s.eep_rev, 8)
                           .add("name", s.name));
    }
    printList(out, o.json, "slaves", list);
    return kExitOk;
}

int cmdStates(Bus& bus, const Options& o, std::ostream& out, std::ostream&) {
    std::vector<Record> list;
    for (int n = 1; n <= bus.count(); ++n) {
        const ec_slavet& s = bus.slave(n);
        list.push_back(Record()
                           .add("position", n)
                           .add("state", stateName(s.state))
                           .hex("al_status_code", s.ALstatuscode, 4)
                           .add("al_status", ec_ALstatuscode2string(s.ALstatuscode)));
    }
    printList(out, o.json, "states", list);
    return kExitOk;
}

int cmdState(Bus& bus, const Options& o, std::ostream& out, std::ostream& err) {
    const bool reached = bus.reachState(o.slave.value_or(0), o.state);
    ecx_readstate(bus.ctx());
    cmdStates(bus, o, out, err);
    if (!reached) {
        err << "zentrio-bus: state " << o.positional[0] << " not reached\n";
        return kExitFailed;
    }
    return kExitOk;
}

// The object's type for an SDO transfer: --type, else the entry's type in the drive's SDO
// information, else `fallback`. Null (said why) when the slave is not there or not in a state with
// a mailbox.
const ValueType* sdoType(Bus& bus, const Options& o, const char* fallback) {
    if (!bus.mailboxReady(o.at.slave)) {
        return nullptr;
    }
    if (o.valueType != nullptr) {
        return o.valueType;
    }
    auto od = std::make_unique<ec_ODlistt>();
    auto oe = std::make_unique<ec_OElistt>();
    od->Slave = static_cast<uint16_t>(o.at.slave);
    od->Entries = 1;
    od->Index[0] = o.at.index;
    if (ecx_readOEsingle(bus.ctx(), 0, o.at.sub, od.get(), oe.get()) > 0) {
        for (const ValueType& t : kTypes) {
            if (static_cast<uint16_t>(t.type) == oe->DataType[o.at.sub]) {
                return &t;
            }
        }
    }
    ec_errort e{};
    while (ecx_poperror(bus.ctx(), &e)) {
    }
    return findType(fallback);
}

Record objectRecord(const ObjectAddress& at) {
    Record r;
    r.add("slave", at.slave).hex("index", at.index, 4).hex("sub", at.sub, 2);
    return r;
}

int cmdSdoUpload(Bus& bus, const Options& o, std::ostream& out, std::ostream& err) {
    const ValueType* type = sdoType(bus, o, "hex");
    if (type == nullptr) {
        return kExitFailed;
    }
    const ObjectAddress& at = o.at;
    std::vector<uint8_t> buf(kSdoBufferBytes);
    int size = static_cast<int>(buf.size());
    const int result = ecx_SDOread(bus.ctx(), static_cast<uint16_t>(at.slave), at.index, at.sub,
                                   false, &size, buf.data(), kMailboxTimeoutUs);
    if (result <= 0) {
        return bus.mailboxFailure(result, "SDO upload");
    }
    const auto value = formatValue(*type, buf.data(), static_cast<size_t>(size));
    if (!value) {
        err << "zentrio-bus: the object holds " << size << " bytes, not a " << type->name << "\n";
        return kExitFailed;
    }
    printRecord(out, o.json,
                objectRecord(at).add("size", size).raw("value", value->second, value->first));
    return kExitOk;
}

int cmdSdoDownload(Bus& bus, const Options& o, std::ostream& out, std::ostream& err) {
    const ValueType* type = sdoType(bus, o, "u32");
    if (type == nullptr) {
        return kExitFailed;
    }
    const ObjectAddress& at = o.at;
    const auto bytes = valueBytes(*type, o.positional[3], err);
    if (!bytes) {
        return kExitUsage;
    }
    const int result =
        ecx_SDOwrite(bus.ctx(), static_cast<uint16_t>(at.slave), at.index, at.sub, false,
                     static_cast<int>(bytes->size()), bytes->data(), kMailboxTimeoutUs);
    if (result <= 0) {
        return bus.mailboxFailure(result, "SDO download");
    }
    printRecord(out, o.json,
                objectRecord(at)
                    .add("size", static_cast<long long>(bytes->size()))
                    .add("written", hexBytes(bytes->data(), bytes->size())));
    return kExitOk;
}

int cmdSiiRead(Bus& bus, const Options& o, std::ostream& out, std::ostream& err) {
    const int n = o.at.slave;
    ec::SiiBusReader reader(bus.ctx(), bus.slave(n).configadr, EC_TIMEOUTEEP);
    std::vector<uint8_t> image;
    std::optional<size_t> failed;
    // Word 0x3E: EEPROM size in KiBit minus one. Read up to the end of the categories.
    const auto sizeWord = reader.word(0x3E);
    const size_t words = sizeWord ? std::min<size_t>((*sizeWord + 1u) * 1024 / 16, 0x8000) : 0;
    if (!sizeWord) {
        failed = 0x3E;
    }
    for (size_t w = 0; w < words && !failed; ++w) {
        const auto v = reader.word(static_cast<uint32_t>(w));
        if (!v) {
            failed = w;
            break;
        }
        image.push_back(static_cast<uint8_t>(*v));
        image.push_back(static_cast<uint8_t>(*v >> 8));
        // Past the category list's end (0xFFFF) only erased words follow.
        if (w >= 0x41 && w % 2 == 1 && ec::getU32(&image[2 * (w - 1)]) == 0xFFFFFFFF) {
            break;
        }
    }
    ecx_eeprom2pdi(bus.ctx(), static_cast<uint16_t>(n));
    if (failed) {
        err << "zentrio-bus: SII word 0x" << std::hex << *failed << std::dec << " of slave " << n
            << " could not be read\n";
        return kExitTimeout;
    }
    if (!o.out.empty()) {
        errno = 0;
        std::ofstream file(o.out, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(image.data()),
                   static_cast<std::streamsize>(image.size()));
        if (!file.flush()) {
            err << "zentrio-bus: cannot write '" << o.out << "': " << reason() << "\n";
            return kExitFailed;
        }
    }
    Record r;
    r.add("slave", n).add("bytes", static_cast<long long>(image.size()));
    if (o.out.empty()) {
        r.add("data", hexBytes(image.data(), image.size()));
    } else {
        r.add("file", o.out);
    }
    printRecord(out, o.json, r);
    return kExitOk;
}

int cmdPdos(Bus& bus, const Options& o, std::ostream& out, std::ostream&) {
    const auto slave = static_cast<uint16_t>(o.at.slave);
    if (!bus.mailboxReady(slave)) {
        return kExitFailed;
    }
    auto read = [&](uint16_t index, uint8_t sub, int size, uint32_t& value) {
        uint8_t b[4] = {};
        int got = size;
        const int r = ecx_SDOread(bus.ctx(), slave, index, sub, false, &got, b, kMailboxTimeoutUs);
        value = ec::getU32(b);
        return r;
    };
    std::vector<Record> list;
    for (uint16_t assign : {uint16_t{0x1C12}, uint16_t{0x1C13}}) {
        uint32_t pdoCount = 0;
        if (int r = read(assign, 0, 1, pdoCount); r <= 0) {
            return bus.mailboxFailure(r, "PDO assignment");
        }
        for (uint32_t j = 1; j <= std::min<uint32_t>(pdoCount, 0xFE); ++j) {
            uint32_t pdo = 0;
            uint32_t entries = 0;
            if (int r = read(assign, static_cast<uint8_t>(j), 2, pdo); r <= 0) {
                return bus.mailboxFailure(r, "PDO assignment");
            }
            if (int r = read(static_cast<uint16_t>(pdo), 0, 1, entries); r <= 0) {
                return bus.mailboxFailure(r, "PDO mapping");
            }
            for (uint32_t k = 1; k <= std::min<uint32_t>(entries, 0xFE); ++k) {
                uint32_t entry = 0;
                if (int r = read(static_cast<uint16_t>(pdo), static_cast<uint8_t>(k), 4, entry);
                    r <= 0) {
                    return bus.mailboxFailure(r, "PDO mapping");
                }
                list.push_back(Record()
                                   .add("direction", assign == 0x1C12 ? "rx" : "tx")
                                   .hex("pdo", pdo & 0xFFFF, 4)
                                   .hex("index", entry >> 16, 4)
                                   .hex("sub", (entry >> 8) & 0xFF, 2)
                                   .add("bits", entry & 0xFF));
            }
        }
    }
    printList(out, o.json, "pdos", list);
    return kExitOk;
}

int cmdFoeWrite(Bus& bus, const Options& o, std::ostream& out, std::ostream& err) {
    const int n = o.at.slave;
    const std::string& path = o.positional[1];
    errno = 0;
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        err << "zentrio-bus: cannot read '" << path << "': " << reason() << "\n";
        return kExitFailed;
    }
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
    if (data.size() > kFirmwareLimitBytes) {
        err << "zentrio-bus: '" << path << "' is larger than " << kFirmwareLimitBytes << " bytes\n";
        return kExitFailed;
    }
    const auto slave = static_cast<uint16_t>(n);
    if (!bus.reachState(n, EC_STATE_BOOT)) {
        err << "zentrio-bus: slave " << n << " did not enter BOOT\n";
        return kExitFailed;
    }
    std::string name = path.substr(path.find_last_of('/') + 1);
    const int result = ecx_FOEwrite(bus.ctx(), slave, name.c_str(), o.password.value_or(0),
                                    static_cast<int>(data.size()), data.data(), kFoeTimeoutUs);
    bus.reachState(n, EC_STATE_INIT);
    if (result <= 0) {
        return bus.mailboxFailure(result, "FoE write");
    }
    printRecord(out, o.json,
                Record()
                    .add("slave", n)
                    .add("file", name)
                    .add("bytes", static_cast<long long>(data.size())));
    return kExitOk;
}

int cmdDiag(Bus& bus, const Options& o, std::ostream& out, std::ostream& err) {
    // Every slave's registers in one batch, by position: the bus is read as it stands, without a
    // scan that would clear the counters. AL status and code, error counters, DC difference and
    // station address, and whether the slave has DC.
    const int count = bus.count();
    std::vector<std::array<uint8_t, 2>> features(static_cast<size_t>(count));
    std::vector<std::array<uint8_t, 6>> al(static_cast<size_t>(count));
    std::vector<std::array<uint8_t, 20>> counters(static_cast<size_t>(count));
    std::vector<std::array<uint8_t, 4>> dc(static_cast<size_t>(count));
    std::vector<std::array<uint8_t, 2>> station(static_cast<size_t>(count));
    std::vector<ec_datagramt> batch;
    for (int n = 1; n <= count; ++n) {
        const auto adp = static_cast<uint16_t>(1 - n);
        const auto i = static_cast<size_t>(n - 1);
        auto aprd = [&](uint16_t reg, std::span<uint8_t> in) {
            ec_datagramt d;
            d.cmd = ec::Command::APRD;
            d.address = adp | uint32_t{reg} << 16;
            d.length = static_cast<uint16_t>(in.size());
            d.in = in;
            batch.push_back(d);
        };
        aprd(ec::kRegAlStatus, al[i]);
        aprd(ec::kRegRxErrorCounter, counters[i]);
        aprd(ec::kRegDcSystemDiff, dc[i]);
        aprd(ec::kRegStationAddress, station[i]);
        aprd(ec::kRegFeatures, features[i]);
    }
    if (ecx_transceive_batch(bus.ctx(), batch, kRegisterTimeoutUs) <= 0) {
        err << "zentrio-bus: the diagnostic registers did not come back\n";
        return kExitTimeout;
    }
    constexpr size_t kPerSlave = 5;
    std::vector<Record> list;
    int silent = 0;
    bool referenceSeen = false;
    for (int n = 1; n <= count; ++n) {
        const auto i = static_cast<size_t>(n - 1);
        Record r;
        r.add("position", n);
        // A slave answered when every one of its reads came back with it counted; a frame lost
        // on the way leaves its reads at EC_NOFRAME.
        if (!std::all_of(batch.begin() + static_cast<long>(kPerSlave * i),
                         batch.begin() + static_cast<long>(kPerSlave * (i + 1)),
                         [](const ec_datagramt& d) { return d.wkc == 1; })) {
            list.push_back(r.add("answering", "no"));
            ++silent;
            continue;
        }
        const uint8_t* c = counters[i].data();
        const uint16_t code = ec::getU16(al[i].data() + 4);
        const long long dcNs = ec::systemTimeDifferenceNs(ec::getU32(dc[i].data()));
        r.hex("address", ec::getU16(station[i].data()), 4)
            .add("state", stateName(ec::getU16(al[i].data())))
            .hex("al_status_code", code, 4)
            .add("al_status", ec_ALstatuscode2string(code));
        for (int p = 0; p < 4; ++p) {
            const std::string port = "port" + std::to_string(p) + "_";
            r.add(port + "invalid_frames", c[2 * p])
                .add(port + "rx_errors", c[2 * p + 1])
                .add(port + "forwarded_errors", c[8 + p])
                .add(port + "lost_links", c[16 + p]);
        }
        r.add("processing_errors", c[12]);
        // The first slave with DC is the reference clock: its 0x092C only holds what the
        // bring-up's reset of the system time left, never a distribution difference.
        if ((ec::getU16(features[i].data()) & ec::kFeatureDc) == 0) {
            r.add("dc_difference_ns", "no DC");
        } else if (!referenceSeen) {
            referenceSeen = true;
            r.add("dc_difference_ns", "reference");
        } else {
            r.add("dc_difference_ns", dcNs);
        }
        list.push_back(r);
    }
    printList(out, o.json, "diagnostics", list);
    if (silent > 0) {
        err << "zentrio-bus: " << silent << " of " << count << " slaves did not answer\n";
        return kExitTimeout;
    }
    return kExitOk;
}

int cmdCapture(Bus& bus, const Options& o, std::ostream& out, std::ostream& err) {
    const double seconds = *o.seconds;
    const std::string& path = o.positional[0];
    errno = 0;
    if (ecx_capture_start(bus.ctx(), path.c_str()) <= 0) {
        err << "zentrio-bus: cannot write '" << path << "': " << reason() << "\n";
        return kExitFailed;
    }
    // The bus brought to OP with process data every cycle, as a master keeps it.
    const bool op = bus.reachState(0, EC_STATE_OPERATIONAL);
    const auto end = std::chrono::steady_clock::now() +
                     std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                         std::chrono::duration<double>(seconds));
    auto next = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < end) {
        bus.exchange();
        next += kCycle;
        std::this_thread::sleep_until(next);
    }
    bus.reachState(0, EC_STATE_PRE_OP);
    ec::CaptureStats stats;
    const bool complete = ecx_capture_stop(bus.ctx(), &stats) > 0;
    printRecord(out, o.json,
                Record()
                    .add("file", path)
                    .add("frames", static_cast<long long>(stats.written))
                    .add("dropped", static_cast<long long>(stats.dropped)));
    if (!complete) {
        err << "zentrio-bus: writing '" << path << "' failed\n";
        return kExitFailed;
    }
    if (!op) {
        err << "zentrio-bus: the bus did not reach OP; the capture shows the attempt\n";
        return kExitFailed;
    }
    return kExitOk;
}

int64_t monotonicNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return int64_t{t.tv_sec} * 1'000'000'000 + t.tv_nsec;
}

// The scope on the command line: the bus in OP, a cycle of its own that samples every drive's
// input record (and zero commands) into a Recorder, whose frames the same thread feeds to the
// trigger's Acquisition right after, until the recording is complete or no trigger came in time.
int cmdRecord(Bus& bus, const Options& o, std::ostream& out, std::ostream& err) {
    const std::string& path = o.positional[0];
    if (!bus.reachState(0, EC_STATE_OPERATIONAL)) {
        bus.reachState(0, EC_STATE_PRE_OP);
        err << "zentrio-bus: the bus did not reach OP\n";
        return kExitFailed;
    }
    const std::vector<int> drives = bus.drives();
    for (const scope::ChannelDef& c : o.channelDefs) {
        if (c.drive >= static_cast<int>(drives.size())) {
            bus.reachState(0, EC_STATE_PRE_OP);
            err << "zentrio-bus: no drive " << c.drive << " (the bus has " << drives.size()
                << ", counted from 0)\n";
            return kExitUsage;
        }
    }
    scope::Recorder recorder;
    const auto generation = recorder.configure(o.channelDefs);
    scope::Acquisition acquisition(o.acquisition, generation.value_or(0), o.channelDefs);
    const bool manual = o.acquisition.trigger.kind == scope::TriggerKind::Manual;
    const int expectedWkc = bus.ctx()->grouplist[0].expectedWKC;
    auto records = [&](int drive, scope::DriveRecords& r) {
        r.inputs = decodeInputImage(bus.slave(drives[static_cast<size_t>(drive)]).inputs);
        r.commands = App_SetValue{};
        return true;
    };
    std::vector<scope::Frame> frames(64);
    const int64_t cycleNs = std::chrono::nanoseconds(kCycle).count();
    const int64_t startNs = monotonicNs();
    const auto timeoutNs = static_cast<int64_t>(o.timeoutS * 1e9);
    int64_t nextNs = startNs;
    std::optional<scope::Recording> recording;
    size_t fed = 0;
    for (uint64_t cycle = 0; !recording; ++cycle) {
        const int wkc = bus.exchange();
        const int64_t nowNs = monotonicNs();
        recorder.sample(cycle, nowNs - startNs,
                        wkc < expectedWkc ? scope::kFrameWorkingCounterShort : 0, records);
        const size_t taken = recorder.take(frames);
        // A manual trigger comes once the pre-trigger part is there: the record has its length.
        if (manual && !acquisition.triggered() && fed >= acquisition.preTriggerLength()) {
            acquisition.triggerNow();
        }
        fed += taken;
        acquisition.feed(std::span(frames.data(), taken), {});
        recording = acquisition.takeRecording();
        if (!recording && !acquisition.triggered() && nowNs - startNs >= timeoutNs) {
            break;
        }
        // Absolute deadlines; a cycle that overran starts the count anew instead of bursting.
        nextNs = std::max(nextNs + cycleNs, monotonicNs());
        const timespec at{static_cast<time_t>(nextNs / 1'000'000'000),
                          static_cast<long>(nextNs % 1'000'000'000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
        }
    }
    bus.reachState(0, EC_STATE_PRE_OP);
    if (!recording) {
        err << "zentrio-bus: no trigger within " << o.timeoutS << " s; nothing written\n";
        return kExitTimeout;
    }
    std::string why;
    if (!recording->save(path, &why)) {
        err << "zentrio-bus: cannot write '" << path << "': " << why << "\n";
        return kExitFailed;
    }
    printRecord(
        out, o.json,
        Record()
            .add("file", path)
            .add("samples", static_cast<long long>(recording->size()))
            .add("trigger_sample", static_cast<long long>(recording->triggerIndex().value_or(0)))
            .add("gaps", static_cast<long long>(recording->gapCount())));
    return kExitOk;
}

// Commands that only read keep the slaves' AL states (a slave found in INIT or BOOT is taken to
// PRE-OP for a mailbox command); `state` and `foe-write` change the named slave's state only;
// `capture` resets the whole bus.
const Command kCommands[] = {
    {"slaves", "slaves", "Position, station address, state, identity and name of every slave.", 0,
     Scan::Keep, noCheck, cmdSlaves},
    {"states", "states", "AL state and AL status code of every slave.", 0, Scan::Keep, noCheck,
     cmdStates},
    {"state", "state STATE [--slave N]",
     "Requests INIT, PREOP, BOOT, SAFEOP or OP of one slave or all and waits for it, through the "
     "states needed on the way; other slaves keep their state.",
     1, Scan::Keep, checkState, cmdState},
    {"sdo-upload", "sdo-upload SLAVE INDEX SUB [--type T]",
     "Reads an object over CoE. Types: u8 u16 u32 u64 i8 i16 i32 i64 f32 f64 string hex; "
     "without --type the entry's type from the drive's SDO information (hex when it has none). "
     "A slave in INIT or BOOT is taken to PREOP.",
     3, Scan::Keep, checkObject, cmdSdoUpload},
    {"sdo-download", "sdo-download SLAVE INDEX SUB VALUE [--type T]",
     "Writes an object over CoE; without --type in the entry's type from the drive's SDO "
     "information (u32 when it has none); hex takes bytes as 'de ad be ef'. A slave in INIT or "
     "BOOT is taken to PREOP.",
     4, Scan::Keep, checkDownload, cmdSdoDownload},
    {"sii-read", "sii-read SLAVE [--out FILE]",
     "Reads the slave's SII EEPROM up to the end of its categories; hex, or binary to FILE.", 1,
     Scan::Keep, checkSlave, cmdSiiRead},
    {"pdos", "pdos SLAVE",
     "The PDO assignment and mapping the slave reports over CoE. A slave in INIT or BOOT is taken "
     "to PREOP.",
     1, Scan::Keep, checkSlave, cmdPdos},
    {"foe-write", "foe-write SLAVE FILE [--password HEX]",
     "Downloads FILE in BOOT over FoE, then returns the slave to INIT.", 2, Scan::Keep, checkFoe,
     cmdFoeWrite},
    {"diag", "diag",
     "Per slave by position, without a scan (counters are kept): AL state and status code, "
     "port error counters, lost links and the DC system time difference (\"reference\" for the "
     "reference clock, \"no DC\" for slaves without; a number otherwise). A slave that does not "
     "answer exits 3.",
     0, Scan::Count, noCheck, cmdDiag},
    {"capture", "capture FILE --seconds S",
     "Resets every slave to INIT, brings the bus to OP and writes S seconds of its traffic to a "
     "pcapng file; exits 5 when OP is not reached.",
     1, Scan::Reset, checkCapture, cmdCapture},
    {"record",
     "record FILE --channel DRIVE:SIGNAL[:SCALE] [--channel ...] "
     "[--trigger rising|falling|fault|manual] [--trigger-channel N] [--level X] [--length S] "
     "[--pretrigger PERCENT] [--timeout S]",
     "Resets every slave to INIT, brings the bus to OP with process data every 2 ms (zero "
     "commands: the drives stay disabled) and writes a scope recording to FILE, the file the "
     "console's Scope window opens. DRIVE counts from 0 among the slaves with a drive's process "
     "image, as the console's drive list; SIGNAL is a scope signal (position, velocity, torque, "
     "status_word, following_error, ...); SCALE a display factor. The trigger: manual (default) "
     "records at once; rising and falling watch channel N (0 for the first --channel) cross "
     "level X; fault fires when a status_word channel (N, or any) enters Fault. --length 0.1 to "
     "600 s (default 1), --pretrigger 0 to 90 % of it (default 10). No trigger within --timeout "
     "(default length + 10 s) exits 3 and writes nothing. The bus is left in PREOP.",
     1, Scan::Reset, checkRecord, cmdRecord},
};

void usage(std::ostream& out) {
    out << "usage: zentrio-bus COMMAND --interface IF [options]\n"
           "  IF: a network interface, or sim:N for N simulated drives in this process\n"
           "  --json prints one JSON document; --capture FILE records the traffic as pcapng\n"
           "commands:\n";
    for (const Command& c : kCommands) {
        out << "  " << c.synopsis << "\n";
    }
    out << "exit codes: 0 ok, 1 usage, 2 no bus or no slaves, 3 timeout, 4 abort by the slave, "
           "5 failure\n"
           "slaves, states, sdo-upload, sii-read, pdos and diag keep the slaves' states (a slave "
           "in "
           "INIT or BOOT is\ntaken to PREOP for CoE); state and foe-write change the named slave's "
           "only; capture and record reset the bus and leave it in PREOP\n"
           "'zentrio-bus COMMAND --help' describes one command.\n";
}

// Options may stand anywhere after the command.
std::optional<Options> parse(const Args& args, size_t from, std::ostream& err, bool& help) {
    Options o;
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                err << "zentrio-bus: " << a << " needs a value\n";
                return std::nullopt;
            }
            return args[++i];
        };
        std::optional<std::string> v;
        if (a == "--help" || a == "-h") {
            help = true;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--interface" || a == "-i") {
            if (!(v = value()))
                return std::nullopt;
            o.interface = *v;
        } else if (a == "--slave") {
            if (!(v = value()))
                return std::nullopt;
            const auto n = parseUnsigned(*v);
            if (!n || *n > 0xFFFF) {
                err << "zentrio-bus: --slave takes a number\n";
                return std::nullopt;
            }
            o.slave = static_cast<int>(*n);
        } else if (a == "--type") {
            if (!(v = value()))
                return std::nullopt;
            o.type = *v;
        } else if (a == "--out") {
            if (!(v = value()))
                return std::nullopt;
            o.out = *v;
        } else if (a == "--capture") {
            if (!(v = value()))
                return std::nullopt;
            o.capture = *v;
        } else if (a == "--password") {
            if (!(v = value()))
                return std::nullopt;
            const auto p = parseUnsigned(v->rfind("0x", 0) == 0 ? *v : "0x" + *v);
            if (!p || *p > 0xFFFFFFFF) {
                err << "zentrio-bus: --password takes up to 8 hex digits\n";
                return std::nullopt;
            }
            o.password = static_cast<uint32_t>(*p);
        } else if (a == "--seconds") {
            if (!(v = value()))
                return std::nullopt;
            try {
                o.seconds = std::stod(*v);
            } catch (...) {
                err << "zentrio-bus: --seconds takes a number\n";
                return std::nullopt;
            }
        } else if (a == "--channel") {
            if (!(v = value()))
                return std::nullopt;
            o.channels.push_back(*v);
        } else if (a == "--trigger" || a == "--trigger-channel" || a == "--level" ||
                   a == "--length" || a == "--pretrigger" || a == "--timeout") {
            if (!(v = value()))
                return std::nullopt;
            o.recordArgs[a] = *v;
        } else if (a.size() > 1 && a[0] == '-' && !parseSigned(a)) {
            err << "zentrio-bus: unknown option " << a << "\n";
            return std::nullopt;
        } else {
            o.positional.push_back(a);
        }
    }
    return o;
}

}  // namespace

int run(const Args& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h") {
        usage(args.empty() ? err : out);
        return args.empty() ? kExitUsage : kExitOk;
    }
    const Command* command = nullptr;
    for (const Command& c : kCommands) {
        if (args[0] == c.name) {
            command = &c;
        }
    }
    if (command == nullptr) {
        err << "zentrio-bus: unknown command '" << args[0] << "'\n";
        usage(err);
        return kExitUsage;
    }
    bool help = false;
    const auto options = parse(args, 1, err, help);
    if (help) {
        out << "usage: zentrio-bus " << command->synopsis << " --interface IF [--json]\n"
            << command->help << "\n";
        return kExitOk;
    }
    if (!options) {
        return kExitUsage;
    }
    if (options->interface.empty() || options->positional.size() != command->positional) {
        err << "usage: zentrio-bus " << command->synopsis << " --interface IF [--json]\n";
        return kExitUsage;
    }
    Options o = *options;
    if (const int checked = command->check(o, err); checked != kExitOk) {
        return checked;
    }
    Bus bus(err);
    if (const int opened = bus.open(o, command->scan); opened != kExitOk) {
        return opened;
    }
    // A slave the bus does not have is a wrong argument too, found once the slaves are counted.
    const int target = o.at.slave != 0 ? o.at.slave : o.slave.value_or(0);
    const int result =
        target != 0 && !bus.validSlave(target) ? kExitUsage : command->run(bus, o, out, err);
    const int closed = bus.close(o);
    return result != kExitOk ? result : closed;
}

}  // namespace bustool
