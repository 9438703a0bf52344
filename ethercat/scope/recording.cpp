#include "recording.h"

#include <fcntl.h>
#include <unistd.h>
#include <yaml-cpp/yaml.h>

#include <bit>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace scope {

namespace {

constexpr std::string_view kMagic = "ZENTRIO-SCOPE ";
constexpr size_t kMaxMagicLine = 64;

bool fail(std::string* error, std::string reason) {
    if (error) {
        *error = std::move(reason);
    }
    return false;
}

// --- little-endian columns ---

template <class T>
void appendLe(std::string& out, const std::vector<T>& column) {
    static_assert(sizeof(T) == 4 || sizeof(T) == 8);
    for (const T& v : column) {
        using U = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
        const U bits = std::bit_cast<U>(v);
        for (size_t b = 0; b < sizeof(U); ++b) {
            out.push_back(static_cast<char>(static_cast<uint8_t>(bits >> (8 * b))));
        }
    }
}

template <class T>
void readLe(const char* p, size_t count, std::vector<T>& column) {
    using U = std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>;
    column.resize(count);
    for (size_t i = 0; i < count; ++i, p += sizeof(U)) {
        U bits = 0;
        for (size_t b = 0; b < sizeof(U); ++b) {
            bits |= static_cast<U>(static_cast<uint8_t>(p[b])) << (8 * b);
        }
        column[i] = std::bit_cast<T>(bits);
    }
}

std::string colourText(uint32_t colour) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%08X", static_cast<unsigned>(colour));
    return buf;
}

std::optional<uint32_t> colourFromText(const std::string& text) {
    if (text.size() != 9 || text[0] != '#') {
        return std::nullopt;
    }
    uint32_t v = 0;
    const auto [end, ec] = std::from_chars(text.data() + 1, text.data() + text.size(), v, 16);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return v;
}

size_t binaryBytes(size_t samples, size_t channels) {
    return samples * (sizeof(uint64_t) + sizeof(int64_t) + channels * sizeof(float));
}

// --- the header ---

// Every free text goes double-quoted, so that a label such as "~" or "no" reads back as the
// text and not as a null or a boolean.
std::string headerYaml(const Recording& r) {
    YAML::Emitter y;
    y.SetDoublePrecision(17);
    y << YAML::BeginMap;
    y << YAML::Key << "cycle_time_s" << YAML::Value << r.cycleTimeS();
    y << YAML::Key << "samples" << YAML::Value << r.size();
    if (r.triggerIndex()) {
        y << YAML::Key << "trigger_index" << YAML::Value << *r.triggerIndex();
    }
    y << YAML::Key << "channels" << YAML::Value << YAML::BeginSeq;
    for (const ChannelDef& c : r.channels()) {
        y << YAML::BeginMap;
        y << YAML::Key << "drive" << YAML::Value << c.drive;
        y << YAML::Key << "signal" << YAML::Value << signalName(c.signal);
        y << YAML::Key << "scale" << YAML::Value << c.scale;
        y << YAML::Key << "unit" << YAML::Value << YAML::DoubleQuoted << c.unit;
        y << YAML::Key << "colour" << YAML::Value << colourText(c.colour);
        y << YAML::Key << "label" << YAML::Value << YAML::DoubleQuoted << c.label;
        y << YAML::EndMap;
    }
    y << YAML::EndSeq;
    y << YAML::Key << "events" << YAML::Value << YAML::BeginSeq;
    for (const RecordedEvent& e : r.events) {
        y << YAML::Flow << YAML::BeginMap;
        y << YAML::Key << "kind" << YAML::Value << eventKindName(e.kind);
        y << YAML::Key << "drive" << YAML::Value << e.drive;
        y << YAML::Key << "cycle" << YAML::Value << e.cycle;
        y << YAML::Key << "time_ns" << YAML::Value << e.timeNs;
        y << YAML::Key << "text" << YAML::Value << YAML::DoubleQuoted << e.text;
        y << YAML::EndMap;
    }
    y << YAML::EndSeq;
    y << YAML::Key << "identities" << YAML::Value << YAML::BeginMap;
    for (const auto& [drive, identity] : r.identities) {
        y << YAML::Key << drive << YAML::Value << YAML::BeginMap;
        for (const auto& [key, value] : identity) {
            y << YAML::Key << YAML::DoubleQuoted << key << YAML::Value << YAML::DoubleQuoted
              << value;
        }
        y << YAML::EndMap;
    }
    y << YAML::EndMap;
    y << YAML::Key << "notes" << YAML::Value << YAML::DoubleQuoted << r.notes;
    y << YAML::Key << "binary" << YAML::Value << YAML::BeginMap;
    y << YAML::Key << "byte_order" << YAML::Value << "little";
    y << YAML::Key << "layout" << YAML::Value << YAML::Flow << YAML::BeginSeq << "cycle uint64"
      << "time_ns int64"
      << "channels float32 column-major" << YAML::EndSeq;
    y << YAML::Key << "bytes" << YAML::Value << binaryBytes(r.size(), r.channels().size());
    y << YAML::EndMap;
    y << YAML::EndMap;
    std::string text = y.c_str();
    text += '\n';
    return text;
}

// Strict UTF-8 (no overlong forms, no surrogates, nothing beyond U+10FFFF): the texts of a file
// are UTF-8, and the emitter would replace what is not when the recording is saved again.
bool validUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<uint8_t>(s[i]);
        const size_t n = b < 0x80             ? 1
                         : (b & 0xE0) == 0xC0 ? 2
                         : (b & 0xF0) == 0xE0 ? 3
                         : (b & 0xF8) == 0xF0 ? 4
                                              : 0;
        if (n == 0 || n > s.size() - i) {
            return false;
        }
        uint32_t cp = n == 1 ? b : b & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            const auto c = static_cast<uint8_t>(s[i + k]);
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        constexpr uint32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if ((n > 1 && cp < kSmallest[n]) || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        i += n;
    }
    return true;
}

std::string utf8(const YAML::Node& node) {
    std::string s = node.as<std::string>();
    if (!validUtf8(s)) {
        throw std::runtime_error("a text is not UTF-8");
    }
    return s;
}

template <class T>
T need(const YAML::Node& map, const char* key) {
    const YAML::Node node = map[key];
    if (!node.IsDefined() || !node.IsScalar()) {
        throw std::runtime_error(std::string("no scalar '") + key + "'");
    }
    if constexpr (std::is_same_v<T, std::string>) {
        return utf8(node);
    } else {
        return node.as<T>();
    }
}

YAML::Node needSeqOrMap(const YAML::Node& map, const char* key, bool seq) {
    const YAML::Node node = map[key];
    if (!node.IsDefined() || (seq ? !node.IsSequence() : !node.IsMap())) {
        throw std::runtime_error(std::string("'") + key + "' is not a " +
                                 (seq ? "sequence" : "map"));
    }
    return node;
}

// Fills `r` from the header, all but the samples; throws with the reason.
void readHeader(const YAML::Node& root, Recording& r, uint64_t& samples) {
    if (!root.IsMap()) {
        throw std::runtime_error("the header is not a map");
    }
    const double cycleTime = need<double>(root, "cycle_time_s");
    if (!(cycleTime > 0 && cycleTime <= 1)) {
        throw std::runtime_error("cycle time out of range");
    }
    samples = need<uint64_t>(root, "samples");
    if (samples > Recording::kMaxSamples) {
        throw std::runtime_error("sample count " + std::to_string(samples) + " too large");
    }

    const YAML::Node channels = needSeqOrMap(root, "channels", true);
    if (channels.size() > kMaxChannels) {
        throw std::runtime_error("more than 16 channels");
    }
    std::vector<ChannelDef> defs;
    for (const YAML::Node& c : channels) {
        ChannelDef def;
        def.drive = need<int>(c, "drive");
        const auto signal = signalFromName(need<std::string>(c, "signal"));
        if (!signal) {
            throw std::runtime_error("unknown signal " + need<std::string>(c, "signal"));
        }
        def.signal = *signal;
        def.scale = need<double>(c, "scale");
        if (!std::isfinite(def.scale)) {
            throw std::runtime_error("scale not finite");
        }
        def.unit = need<std::string>(c, "unit");
        const auto colour = colourFromText(need<std::string>(c, "colour"));
        if (!colour) {
            throw std::runtime_error("bad colour");
        }
        def.colour = *colour;
        def.label = need<std::string>(c, "label");
        defs.push_back(std::move(def));
    }
    r = Recording(std::move(defs), cycleTime);

    if (root["trigger_index"].IsDefined()) {
        const auto index = need<uint64_t>(root, "trigger_index");
        if (index >= samples) {
            throw std::runtime_error("trigger index beyond the samples");
        }
        r.setTriggerIndex(index);
    }

    const YAML::Node events = needSeqOrMap(root, "events", true);
    if (events.size() > Recording::kMaxEvents) {
        throw std::runtime_error("too many events");
    }
    for (const YAML::Node& e : events) {
        RecordedEvent event;
        const auto kind = eventKindFromName(need<std::string>(e, "kind"));
        if (!kind) {
            throw std::runtime_error("unknown event kind");
        }
        event.kind = *kind;
        event.drive = need<int>(e, "drive");
        event.cycle = need<uint64_t>(e, "cycle");
        event.timeNs = need<int64_t>(e, "time_ns");
        event.text = need<std::string>(e, "text");
        r.events.push_back(std::move(event));
    }

    for (const auto& entry : needSeqOrMap(root, "identities", false)) {
        if (!entry.second.IsMap()) {
            throw std::runtime_error("an identity is not a map");
        }
        DriveIdentity& identity = r.identities[entry.first.as<int>()];
        for (const auto& kv : entry.second) {
            identity[utf8(kv.first)] = utf8(kv.second);
        }
    }
    r.notes = need<std::string>(root, "notes");

    const YAML::Node binary = needSeqOrMap(root, "binary", false);
    if (need<std::string>(binary, "byte_order") != "little") {
        throw std::runtime_error("byte order is not little-endian");
    }
    if (need<uint64_t>(binary, "bytes") != binaryBytes(samples, r.channels().size())) {
        throw std::runtime_error("binary size does not match samples and channels");
    }
}

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\n\r") == std::string_view::npos) {
        return std::string(text);
    }
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + '"';
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
    const std::string temp = path + ".part";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return fail(error, "cannot create " + temp + ": " + std::strerror(errno));
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const std::string reason = std::strerror(errno);
            ::close(fd);
            ::unlink(temp.c_str());
            return fail(error, "cannot write " + temp + ": " + reason);
        }
        done += static_cast<size_t>(n);
    }
    const bool synced = ::fsync(fd) == 0;  // closed either way
    if (::close(fd) != 0 || !synced) {
        ::unlink(temp.c_str());
        return fail(error, "cannot flush " + temp);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        ::unlink(temp.c_str());
        return fail(error, "cannot rename to " + path + ": " + reason);
    }
    return true;
}

}  // namespace

Recording::Recording(std::vector<ChannelDef> channels, double cycleTimeS)
    : channels_(std::move(channels)), cycleTimeS_(cycleTimeS), values_(channels_.size()) {}

void Recording::reserve(size_t samples) {
    cycles_.reserve(samples);
    times_.reserve(samples);
    for (auto& column : values_) {
        column.reserve(samples);
    }
}

void Recording::append(uint64_t cycle, int64_t timeNs, const float* values) {
    cycles_.push_back(cycle);
    times_.push_back(timeNs);
    for (size_t c = 0; c < values_.size(); ++c) {
        values_[c].push_back(values[c]);
    }
}

size_t Recording::gapCount() const {
    size_t n = 0;
    for (size_t i = 1; i < cycles_.size(); ++i) {
        n += gapBefore(i);
    }
    return n;
}

size_t Recording::sampleBytes() const {
    size_t bytes = cycles_.capacity() * sizeof(uint64_t) + times_.capacity() * sizeof(int64_t);
    for (const auto& column : values_) {
        bytes += column.capacity() * sizeof(float);
    }
    return bytes;
}

bool Recording::operator==(const Recording& o) const {
    if (channels_ != o.channels_ || cycleTimeS_ != o.cycleTimeS_ || cycles_ != o.cycles_ ||
        times_ != o.times_ || triggerIndex_ != o.triggerIndex_ || events != o.events ||
        identities != o.identities || notes != o.notes) {
        return false;
    }
    // Bit for bit, so that the NaN of a missing drive compares equal to itself. (A channel
    // without samples may have no storage at all: memcmp is not given its null pointer.)
    for (size_t c = 0; c < values_.size(); ++c) {
        if (!values_[c].empty() &&
            std::memcmp(values_[c].data(), o.values_[c].data(), values_[c].size() * 4) != 0) {
            return false;
        }
    }
    return true;
}

// --- files -------------------------------------------------------------------------------------

std::string Recording::toBytes() const {
    const std::string header = headerYaml(*this);
    std::string out = std::string(kMagic) + std::to_string(kFormatVersion) + ' ' +
                      std::to_string(header.size()) + '\n' + header;
    out.reserve(out.size() + binaryBytes(size(), channels_.size()));
    appendLe(out, cycles_);
    appendLe(out, times_);
    for (const auto& column : values_) {
        appendLe(out, column);
    }
    return out;
}

std::optional<Recording> Recording::fromBytes(std::string_view bytes, std::string* error) {
    const size_t eol = bytes.substr(0, kMaxMagicLine).find('\n');
    if (!bytes.starts_with(kMagic) || eol == std::string_view::npos) {
        fail(error, "not a scope recording (no first line)");
        return std::nullopt;
    }
    // "<version> <header bytes>"
    const char* p = bytes.data() + kMagic.size();
    const char* lineEnd = bytes.data() + eol;
    int version = 0;
    uint64_t headerBytes = 0;
    auto r1 = std::from_chars(p, lineEnd, version);
    if (r1.ec != std::errc() || r1.ptr == lineEnd || *r1.ptr != ' ') {
        fail(error, "malformed first line");
        return std::nullopt;
    }
    auto r2 = std::from_chars(r1.ptr + 1, lineEnd, headerBytes);
    if (r2.ec != std::errc() || r2.ptr != lineEnd) {
        fail(error, "malformed first line");
        return std::nullopt;
    }
    if (version != kFormatVersion) {
        fail(error, "format version " + std::to_string(version) + " not supported");
        return std::nullopt;
    }
    const size_t headerStart = eol + 1;
    if (headerBytes > kMaxHeaderBytes || headerBytes > bytes.size() - headerStart) {
        fail(error, "header truncated or too large");
        return std::nullopt;
    }

    Recording r;
    uint64_t samples = 0;
    try {
        const YAML::Node root = YAML::Load(std::string(bytes.substr(headerStart, headerBytes)));
        readHeader(root, r, samples);
    } catch (const std::exception& e) {
        fail(error, std::string("bad header: ") + e.what());
        return std::nullopt;
    }

    const std::string_view binary = bytes.substr(headerStart + headerBytes);
    const size_t expected = binaryBytes(samples, r.channels_.size());
    if (binary.size() != expected) {
        fail(error, "binary part holds " + std::to_string(binary.size()) + " bytes, header says " +
                        std::to_string(expected));
        return std::nullopt;
    }
    const char* q = binary.data();
    readLe(q, samples, r.cycles_);
    q += samples * sizeof(uint64_t);
    readLe(q, samples, r.times_);
    q += samples * sizeof(int64_t);
    for (auto& column : r.values_) {
        readLe(q, samples, column);
        q += samples * sizeof(float);
    }
    return r;
}

bool Recording::save(const std::string& path, std::string* error) const {
    return writeFileAtomically(path, toBytes(), error);
}

std::optional<Recording> Recording::load(const std::string& path, std::string* error) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        fail(error, "cannot read " + path + ": " + ec.message());
        return std::nullopt;
    }
    const uintmax_t largest =
        kMaxMagicLine + kMaxHeaderBytes + binaryBytes(kMaxSamples, kMaxChannels);
    if (size > largest) {
        fail(error, "file too large for a recording");
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) {
        fail(error, "cannot read " + path);
        return std::nullopt;
    }
    return fromBytes(bytes, error);
}

std::string Recording::eventsCsvPath(const std::string& path) {
    std::filesystem::path p(path);
    p.replace_filename(p.stem().string() + "-events.csv");
    return p.string();
}

bool Recording::writeCsv(const std::string& path, std::string* error) const {
    std::string out = "cycle,time_s,gap";
    for (const ChannelDef& c : channels_) {
        const std::string unit = c.unit.empty() ? signalUnit(c.signal) : c.unit;
        out += ',' + csvField(unit.empty() ? c.label : c.label + " [" + unit + "]");
    }
    out += '\n';
    char buf[48];
    for (size_t i = 0; i < size(); ++i) {
        std::snprintf(buf, sizeof buf, "%llu,%.9f,%d", static_cast<unsigned long long>(cycles_[i]),
                      static_cast<double>(times_[i]) * 1e-9, gapBefore(i) ? 1 : 0);
        out += buf;
        for (const auto& column : values_) {
            // A missing value stays an empty field.
            if (std::isnan(column[i])) {
                out += ',';
            } else {
                std::snprintf(buf, sizeof buf, ",%.9g", static_cast<double>(column[i]));
                out += buf;
            }
        }
        out += '\n';
    }
    if (!writeFileAtomically(path, out, error)) {
        return false;
    }

    std::string ev = "cycle,time_s,kind,drive,text\n";
    for (const RecordedEvent& e : events) {
        std::snprintf(buf, sizeof buf, "%llu,%.9f,", static_cast<unsigned long long>(e.cycle),
                      static_cast<double>(e.timeNs) * 1e-9);
        ev += buf;
        ev += std::string(eventKindName(e.kind)) + ',' + std::to_string(e.drive) + ',' +
              csvField(e.text) + '\n';
    }
    return writeFileAtomically(eventsCsvPath(path), ev, error);
}

}  // namespace scope
