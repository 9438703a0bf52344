// CoE SDO information server of a simulated slave: the object lists, object descriptions and entry
// descriptions of its dictionary. A reply longer than the send mailbox goes in fragments, each one
// filling the window.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim/mailbox.h"
#include "sim/object_dictionary.h"

namespace sim {

class SdoInfoServer {
public:
    explicit SdoInfoServer(const ObjectDictionary& od) : od_(od) {}

    // One request: the CoE data of the mailbox message (CoE header first). txWindow is the length
    // of SM1. Returns the CoE data of the reply's messages in order; empty when the request is too
    // short for its opcode.
    std::vector<std::vector<uint8_t>> handle(std::span<const uint8_t> request,
                                             size_t txWindow) const;

    // The deliberate faults of the SdoInfo* kinds; the others do not concern this server.
    Misbehaviour misbehaviour = Misbehaviour::None;

private:
    struct Reply {
        uint8_t opcode;
        std::vector<uint8_t> data;
    };
    static Reply error(uint32_t code);
    Reply list(uint16_t type) const;
    Reply object(uint16_t index) const;
    Reply entry(uint16_t index, uint8_t sub) const;
    std::vector<std::vector<uint8_t>> fragments(const Reply& reply, size_t txWindow) const;
    std::vector<uint8_t> name(const std::string& text) const;

    const ObjectDictionary& od_;
};

}  // namespace sim
