#include "sim/object_dictionary.h"

#include <algorithm>
#include <cstring>

namespace sim {

CoeObject& ObjectDictionary::addObject(uint16_t index, std::string name) {
    CoeObject& o = objects_[index];
    o.name = std::move(name);
    return o;
}

SubObject& ObjectDictionary::addEntry(uint16_t index, uint8_t sub, std::string name, CoeType type,
                                      Access access, uint32_t value) {
    SubObject& s = objects_[index].subs[sub];
    s.name = std::move(name);
    s.type = type;
    s.access = access;
    s.size = coeDataTypeSize(type);
    s.value.assign(s.size, 0);
    for (size_t i = 0; i < s.size; ++i)
        s.value[i] = static_cast<uint8_t>(value >> (8 * i));
    return s;
}

SubObject& ObjectDictionary::addFloat(uint16_t index, uint8_t sub, std::string name, Access access,
                                      float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return addEntry(index, sub, std::move(name), CoeType::Real32, access, bits);
}

SubObject& ObjectDictionary::addString(uint16_t index, uint8_t sub, std::string name, Access access,
                                       const std::string& value, size_t capacity) {
    SubObject& s = objects_[index].subs[sub];
    s.name = std::move(name);
    s.type = CoeType::VisibleString;
    s.access = access;
    s.size = std::max(capacity, value.size());
    s.value.assign(value.begin(), value.end());
    return s;
}

SubObject* ObjectDictionary::entry(uint16_t index, uint8_t sub) {
    auto o = objects_.find(index);
    if (o == objects_.end())
        return nullptr;
    auto s = o->second.subs.find(sub);
    return s == o->second.subs.end() ? nullptr : &s->second;
}

const SubObject* ObjectDictionary::entry(uint16_t index, uint8_t sub) const {
    return const_cast<ObjectDictionary*>(this)->entry(index, sub);
}

uint32_t ObjectDictionary::u32(uint16_t index, uint8_t sub) const {
    const SubObject* s = entry(index, sub);
    if (!s)
        return 0;
    uint32_t v = 0;
    for (size_t i = 0; i < s->value.size() && i < 4; ++i)
        v |= static_cast<uint32_t>(s->value[i]) << (8 * i);
    return v;
}

void ObjectDictionary::setU32(uint16_t index, uint8_t sub, uint32_t value) {
    SubObject* s = entry(index, sub);
    if (!s || s->isString())
        return;
    for (size_t i = 0; i < s->value.size(); ++i)
        s->value[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t ObjectDictionary::locate(uint16_t index, uint8_t sub, SubObject** out) {
    auto o = objects_.find(index);
    if (o == objects_.end())
        return sdo_abort::kNoObject;
    auto s = o->second.subs.find(sub);
    if (s == o->second.subs.end())
        return sdo_abort::kNoSubIndex;
    *out = &s->second;
    return 0;
}

uint32_t ObjectDictionary::upload(uint16_t index, uint8_t sub, std::vector<uint8_t>& out) {
    SubObject* s = nullptr;
    if (const uint32_t abort = locate(index, sub, &s))
        return abort;
    if (s->refusal != 0)
        return s->refusal;
    if (!s->readable())
        return sdo_abort::kWriteOnly;
    if (s->onRead) {
        if (const uint32_t abort = s->onRead(*s))
            return abort;
    }
    out = s->value;
    return 0;
}

uint32_t ObjectDictionary::checkDownload(uint16_t index, uint8_t sub, size_t size) {
    SubObject* s = nullptr;
    if (const uint32_t abort = locate(index, sub, &s))
        return abort;
    if (s->refusal != 0)
        return s->refusal;
    if (!s->writable())
        return sdo_abort::kReadOnly;
    if (size > s->size)
        return sdo_abort::kLengthTooHigh;
    if (size < s->size && !s->isString())
        return sdo_abort::kLengthTooLow;
    return 0;
}

uint32_t ObjectDictionary::download(uint16_t index, uint8_t sub, std::span<const uint8_t> data) {
    if (const uint32_t abort = checkDownload(index, sub, data.size()))
        return abort;
    SubObject* s = entry(index, sub);
    if (s->onWrite) {
        if (const uint32_t abort = s->onWrite(data))
            return abort;
    }
    s->value.assign(data.begin(), data.end());
    return 0;
}

}  // namespace sim
