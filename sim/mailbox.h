// The mailbox side of a simulated drive's firmware: message counters (a repeated counter is a
// repeated write and is dropped; own messages are numbered 1..7), mailbox error replies, and the
// deliberate faults with which tests of the master play a hostile slave.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace sim {

class Esc;

// What a misbehaving slave does to its mailbox replies, until set back to None.
enum class Misbehaviour {
    None,
    // A normal SDO upload response announces the object's size (4 bytes for a U32) but carries
    // up to 200 bytes of data (as many as SM1 holds).
    OversizedUpload,
    // A segmented SDO upload sends further segments beyond the announced complete size.
    SegmentsBeyondSize,
    // Every SDO upload segment carries toggle bit 0, whatever the request's toggle.
    StuckSegmentToggle,
    // Every SDO initiate response comes after the same response for another object (index + 1).
    SdoOtherObjectFirst,
    // The mailbox header gives a data length (2) shorter than the protocol header behind it.
    ShortMailboxLength,
    // FoE ACKs carry the wrong packet number (the right one plus one).
    WrongFoeAck,
    // Pseudo-random bytes, header included, fill the send mailbox in place of the reply.
    Garbage,
    // No reply at all: requests are taken and never answered, as by a hung firmware.
    Silent,
    // SDO information replies come in fragments of at most 8 data bytes, each one but the last
    // claiming as many fragments left as the first.
    SdoInfoFragmentCount,
    // An SDO information reply ends one byte short of its fixed fields (a list: inside its first
    // index), further fragments are not sent.
    SdoInfoShortReply,
    // Object and entry names are 600 characters long (in fragments as the window needs).
    SdoInfoLongNames,
    // Every SDO information reply comes after the same reply for another object (index + 1) or,
    // for a list, another list type.
    SdoInfoOtherObjectFirst,
    // Every SDO information answer (error replies aside) announces 65,535 further fragments after
    // its first and sends them, two bytes each: each one in time, the whole never ending for a
    // master that takes whatever is announced.
    SdoInfoEndlessReply,
};

// Mailbox error codes (mailbox type 0).
namespace mbx_error {
inline constexpr uint16_t kProtocolNotSupported = 0x0002;
inline constexpr uint16_t kServiceNotSupported = 0x0004;
inline constexpr uint16_t kDataTooShort = 0x0006;
inline constexpr uint16_t kLengthInconsistent = 0x0008;
}  // namespace mbx_error

class MailboxEndpoint {
public:
    // Mailbox (re)started: both counters start over.
    void restart();
    // Whether a received message with this counter is new (false: a repeated write, drop it).
    bool acceptCounter(uint8_t counter);

    // Sends one message of `type` with the next own counter, through the faults set below.
    void send(Esc& esc, uint8_t type, std::span<const uint8_t> payload);
    void sendError(Esc& esc, uint16_t code);

    Misbehaviour misbehaviour = Misbehaviour::None;
    int dropReplies = 0;         // the next n messages are lost on their way to the master
    bool duplicateNext = false;  // the next message comes twice, with the same counter

private:
    uint8_t nextCounter();

    uint8_t rxCounter_ = 0;
    uint8_t txCounter_ = 0;
    uint32_t garbageSeed_ = 0x2545F491u;
};

}  // namespace sim
