#include "sim/foe_server.h"

#include <algorithm>
#include <array>

#include "ethercat/stack/protocol.h"
#include "sim/bytes.h"

namespace sim {

namespace {

constexpr size_t kFoeHeader = 6;  // opcode, reserved, password / packet number / error code
constexpr size_t kPacketOverhead = ec::kMbxHeaderSize + kFoeHeader;

std::array<uint32_t, 256> crcTable() {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[i] = c;
    }
    return t;
}

}  // namespace

uint32_t crc32Update(uint32_t crc, std::span<const uint8_t> data) {
    static const std::array<uint32_t, 256> table = crcTable();
    uint32_t c = crc ^ 0xFFFFFFFFu;
    for (uint8_t b : data)
        c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

uint32_t crc32(std::span<const uint8_t> data) {
    return crc32Update(0, data);
}

void FoeServer::reset() {
    writing_ = false;
    expected_ = 0;
    busyDone_.clear();
}

bool FoeServer::takeCompletedFile() {
    const bool done = completed_;
    completed_ = false;
    return done;
}

std::vector<uint8_t> FoeServer::error(uint32_t code, const std::string& text) {
    reset();
    std::vector<uint8_t> r(kFoeHeader + text.size(), 0);
    r[0] = ec::kFoeError;
    wr32(&r[2], code);
    std::copy(text.begin(), text.end(), r.begin() + kFoeHeader);
    return r;
}

std::vector<uint8_t> FoeServer::ack(uint32_t packet) {
    std::vector<uint8_t> r(kFoeHeader, 0);
    r[0] = ec::kFoeAck;
    wr32(&r[2], wrongAckNumber ? packet + 1 : packet);
    return r;
}

std::vector<uint8_t> FoeServer::handle(std::span<const uint8_t> msg, size_t rxWindow, bool inBoot) {
    if (msg.size() < kFoeHeader)
        return error(foe_error::kIllegal, "short request");
    const uint8_t opcode = msg[0];
    const uint32_t value = rd32(&msg[2]);
    const auto payload = msg.subspan(kFoeHeader);
    if (!inBoot)
        return error(foe_error::kBootstrapOnly, "bootstrap only");

    switch (opcode) {
        case ec::kFoeWrite: {
            if (value != password)
                return error(foe_error::kNoRights, "wrong password");
            reset();
            writing_ = true;
            expected_ = 1;
            completed_ = false;
            file_ = FirmwareFile{};
            file_.name.assign(payload.begin(), payload.end());
            return ack(0);
        }
        case ec::kFoeData: {
            if (!writing_)
                return error(foe_error::kIllegal, "no write in progress");
            if (value != expected_)
                return error(foe_error::kPacketNumber, "packet number wrong");
            const size_t packetSize = rxWindow > kPacketOverhead ? rxWindow - kPacketOverhead : 0;
            if (payload.size() > packetSize)
                return error(foe_error::kIllegal, "packet too long");
            if (capacity > 0 && file_.bytes.size() + payload.size() > capacity)
                return error(foe_error::kDiskFull, "disk full");
            if (busyPackets.count(value) && !busyDone_.count(value)) {
                // Not ready: the packet is not taken, the master sends it again.
                busyDone_.insert(value);
                std::vector<uint8_t> r(kFoeHeader, 0);
                r[0] = ec::kFoeBusy;
                wr16(&r[2], static_cast<uint16_t>(value));
                wr16(&r[4], static_cast<uint16_t>(value + 1));
                return r;
            }
            file_.bytes.insert(file_.bytes.end(), payload.begin(), payload.end());
            file_.crc32 = crc32Update(file_.crc32, payload);  // files run to megabytes
            ++expected_;
            if (payload.size() < packetSize) {
                file_.complete = true;
                completed_ = true;
                writing_ = false;
            }
            return ack(value);
        }
        case ec::kFoeRead:
            return error(foe_error::kNotFound, "not found");
        case ec::kFoeError:
            reset();  // the master gave up
            return {};
        default:
            return error(foe_error::kIllegal, "illegal request");
    }
}

}  // namespace sim
