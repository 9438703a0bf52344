// CoE SDO server of a simulated slave: expedited, normal and segmented upload and download on the
// object dictionary, with toggle checks and the abort codes a master meets on real drives.
// Segment sizes follow the mailbox windows as they stand when the request arrives.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sim/object_dictionary.h"

namespace sim {

class SdoServer {
public:
    explicit SdoServer(ObjectDictionary& od) : od_(od) {}

    // One SDO request: the CoE data of the mailbox message (CoE header first), cut to the length
    // the mailbox header gives. rxWindow/txWindow are the lengths of SM0 and SM1. Returns the CoE
    // data of the reply; empty when none is due (the client aborted).
    std::vector<uint8_t> handle(std::span<const uint8_t> request, size_t rxWindow, size_t txWindow);
    // Forgets a transfer in progress (mailbox restart, power-up).
    void reset();
    bool busy() const { return mode_ != Mode::Idle; }

    // --- deliberate faults (tests of the master against a hostile slave) ----------------------
    // A normal upload response announces the object's size but carries up to 200 bytes.
    bool oversizedUpload = false;
    // Every upload goes segmented (no data in the first reply, none expedited) and the segments
    // go on beyond the announced size.
    bool segmentsBeyondSize = false;
    // Upload segments answer with toggle bit 0 each time.
    bool stuckSegmentToggle = false;

private:
    enum class Mode { Idle, Download, Upload };

    std::vector<uint8_t> abort(uint16_t index, uint8_t sub, uint32_t code);
    std::vector<uint8_t> downloadInit(std::span<const uint8_t> rq);
    std::vector<uint8_t> downloadSegment(std::span<const uint8_t> rq);
    std::vector<uint8_t> uploadInit(std::span<const uint8_t> rq, size_t txWindow);
    std::vector<uint8_t> uploadSegment(std::span<const uint8_t> rq, size_t txWindow);

    ObjectDictionary& od_;
    Mode mode_ = Mode::Idle;
    uint16_t index_ = 0;
    uint8_t sub_ = 0;
    uint8_t toggle_ = 0;         // expected toggle of the next segment request
    size_t announced_ = 0;       // download: complete size given by the client
    std::vector<uint8_t> data_;  // download: received so far; upload: the whole value
    size_t offset_ = 0;          // upload: bytes sent so far
};

}  // namespace sim
