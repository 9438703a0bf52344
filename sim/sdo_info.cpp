#include "sim/sdo_info.h"

#include <algorithm>

#include "ethercat/stack/protocol.h"
#include "sim/bytes.h"

namespace sim {

namespace {

constexpr size_t kHeader = ec::kSdoInfoHeaderSize;
constexpr size_t kFaultyFragment = 8;
constexpr size_t kLongName = 600;
constexpr size_t kEndlessPiece = 2;

void put16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

bool inList(const CoeObject& o, uint16_t type) {
    const auto mapped = [&o](PdoMapping m) {
        return std::any_of(o.subs.begin(), o.subs.end(),
                           [m](const auto& s) { return s.second.mapping == m; });
    };
    switch (type) {
        case ec::kOdListAll:
            return true;
        case ec::kOdListRxPdo:
            return mapped(PdoMapping::Rx);
        case ec::kOdListTxPdo:
            return mapped(PdoMapping::Tx);
        default:  // nothing is kept for a device replacement, nothing is a startup parameter
            return false;
    }
}

// Bytes of the fixed fields of a reply, before any name or list.
size_t fixedSize(uint8_t opcode) {
    switch (opcode) {
        case ec::kSdoInfoListRsp:
            return 4;  // list type and one index
        case ec::kSdoInfoObjectRsp:
            return ec::kObjectDescriptionSize;
        case ec::kSdoInfoEntryRsp:
            return ec::kEntryDescriptionSize;
        default:
            return 4;  // abort code
    }
}

}  // namespace

std::vector<std::vector<uint8_t>> SdoInfoServer::handle(std::span<const uint8_t> rq,
                                                        size_t txWindow) const {
    if (rq.size() < kHeader) {
        return {};
    }
    const auto data = rq.subspan(kHeader);
    Reply reply;
    switch (rq[2] & ec::kSdoInfoOpcodeMask) {
        case ec::kSdoInfoListRq:
            if (data.size() < 2)
                return {};
            reply = list(rd16(data.data()));
            break;
        case ec::kSdoInfoObjectRq:
            if (data.size() < 2)
                return {};
            reply = object(rd16(data.data()));
            break;
        case ec::kSdoInfoEntryRq:
            // Value info (data[3]) asks for unit, default and limits: the drive has none to give.
            if (data.size() < 4)
                return {};
            reply = entry(rd16(data.data()), data[2]);
            break;
        default:
            reply = error(sdo_abort::kCommandSpecifier);
            break;
    }
    auto messages = fragments(reply, txWindow);
    if (misbehaviour == Misbehaviour::SdoInfoOtherObjectFirst &&
        reply.opcode != ec::kSdoInfoError) {
        Reply other = reply;
        wr16(other.data.data(), static_cast<uint16_t>(rd16(other.data.data()) + 1));
        auto first = fragments(other, txWindow);
        messages.insert(messages.begin(), first.begin(), first.end());
    }
    return messages;
}

SdoInfoServer::Reply SdoInfoServer::error(uint32_t code) {
    Reply r{ec::kSdoInfoError, std::vector<uint8_t>(4)};
    wr32(r.data.data(), code);
    return r;
}

SdoInfoServer::Reply SdoInfoServer::list(uint16_t type) const {
    if (type > ec::kOdListLast)
        return error(sdo_abort::kValueRange);
    Reply r{ec::kSdoInfoListRsp, {}};
    put16(r.data, type);
    const auto& objects = od_.objects();
    if (type == ec::kOdListSizes) {
        for (uint16_t t = ec::kOdListAll; t <= ec::kOdListLast; ++t) {
            put16(r.data, static_cast<uint16_t>(
                              std::count_if(objects.begin(), objects.end(),
                                            [t](const auto& o) { return inList(o.second, t); })));
        }
        return r;
    }
    for (const auto& [index, o] : objects) {
        if (inList(o, type))
            put16(r.data, index);
    }
    return r;
}

SdoInfoServer::Reply SdoInfoServer::object(uint16_t index) const {
    const auto it = od_.objects().find(index);
    if (it == od_.objects().end())
        return error(sdo_abort::kNoObject);
    const auto& subs = it->second.subs;
    uint8_t code = ec::kObjectCodeVar;
    uint8_t maxSub = 0;
    CoeType type{};
    if (!subs.empty()) {
        maxSub = subs.rbegin()->first;
        type = subs.begin()->second.type;
        // With entries beyond subindex 0: the type of the first one; an array when all share it.
        if (const auto firstEntry = subs.upper_bound(0); firstEntry != subs.end()) {
            type = firstEntry->second.type;
            code = std::all_of(firstEntry, subs.end(),
                               [type](const auto& s) { return s.second.type == type; })
                       ? ec::kObjectCodeArray
                       : ec::kObjectCodeRecord;
        }
    }
    Reply r{ec::kSdoInfoObjectRsp, {}};
    put16(r.data, index);
    put16(r.data, static_cast<uint16_t>(type));
    r.data.push_back(maxSub);
    r.data.push_back(code);
    const auto text = name(it->second.name);
    r.data.insert(r.data.end(), text.begin(), text.end());
    return r;
}

SdoInfoServer::Reply SdoInfoServer::entry(uint16_t index, uint8_t sub) const {
    const SubObject* s = od_.entry(index, sub);
    if (s == nullptr)
        return error(od_.objects().count(index) ? sdo_abort::kNoSubIndex : sdo_abort::kNoObject);
    uint16_t access =
        (s->readable() ? ec::kEntryReadable : 0) | (s->writable() ? ec::kEntryWritable : 0);
    if (s->mapping == PdoMapping::Rx)
        access |= ec::kEntryRxPdoMappable;
    else if (s->mapping == PdoMapping::Tx)
        access |= ec::kEntryTxPdoMappable;
    Reply r{ec::kSdoInfoEntryRsp, {}};
    put16(r.data, index);
    r.data.push_back(sub);
    r.data.push_back(0);  // value info: no value data follows
    put16(r.data, static_cast<uint16_t>(s->type));
    // Strings count with their capacity.
    put16(r.data, static_cast<uint16_t>(s->type == CoeType::Boolean ? 1 : 8 * s->size));
    put16(r.data, access);
    const auto text = name(s->name);
    r.data.insert(r.data.end(), text.begin(), text.end());
    return r;
}

std::vector<uint8_t> SdoInfoServer::name(const std::string& text) const {
    std::vector<uint8_t> b(text.begin(), text.end());
    if (misbehaviour == Misbehaviour::SdoInfoLongNames && b.size() < kLongName)
        b.resize(kLongName, '~');
    return b;
}

std::vector<std::vector<uint8_t>> SdoInfoServer::fragments(const Reply& reply,
                                                           size_t txWindow) const {
    std::span<const uint8_t> data = reply.data;
    const size_t overhead = ec::kMbxHeaderSize + kHeader;
    size_t room = txWindow > overhead ? txWindow - overhead : 1;
    const bool miscount = misbehaviour == Misbehaviour::SdoInfoFragmentCount;
    if (miscount)
        room = std::min(room, kFaultyFragment);
    if (misbehaviour == Misbehaviour::SdoInfoShortReply)
        data = data.first(std::min({data.size(), fixedSize(reply.opcode) - 1, room}));
    const size_t count = std::max<size_t>(1, (data.size() + room - 1) / room);
    std::vector<std::vector<uint8_t>> out;
    for (size_t i = 0; i < count; ++i) {
        const auto left = static_cast<uint16_t>(count - 1 - i);
        const auto chunk = data.subspan(i * room, std::min(room, data.size() - i * room));
        std::vector<uint8_t> m(kHeader);
        wr16(&m[0], static_cast<uint16_t>(ec::kCoeSdoInfo << ec::kCoeServiceShift));
        m[2] = static_cast<uint8_t>(reply.opcode | (left > 0 ? ec::kSdoInfoIncomplete : 0));
        wr16(&m[4], miscount && left > 0 ? static_cast<uint16_t>(count - 1) : left);
        m.insert(m.end(), chunk.begin(), chunk.end());
        out.push_back(std::move(m));
    }
    if (misbehaviour == Misbehaviour::SdoInfoEndlessReply && reply.opcode != ec::kSdoInfoError) {
        // The first fragment as it is, then the most any count can announce, piece by piece.
        out.resize(1);
        out[0][2] |= ec::kSdoInfoIncomplete;
        for (uint32_t left = 0xFFFF; left-- > 0;) {
            std::vector<uint8_t> m(out[0].begin(), out[0].begin() + kHeader + kEndlessPiece);
            wr16(&m[4], static_cast<uint16_t>(left));
            if (left == 0)
                m[2] &= static_cast<uint8_t>(~ec::kSdoInfoIncomplete);
            out.push_back(std::move(m));
        }
        wr16(&out[0][4], 0xFFFF);
    }
    return out;
}

}  // namespace sim
