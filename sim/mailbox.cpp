#include "sim/mailbox.h"

#include "ethercat/stack/protocol.h"
#include "sim/bytes.h"
#include "sim/esc.h"

namespace sim {

void MailboxEndpoint::restart() {
    rxCounter_ = 0;
    txCounter_ = 0;
}

bool MailboxEndpoint::acceptCounter(uint8_t counter) {
    if (counter != 0 && counter == rxCounter_)
        return false;
    rxCounter_ = counter;
    return true;
}

uint8_t MailboxEndpoint::nextCounter() {
    txCounter_ = static_cast<uint8_t>(txCounter_ % 7 + 1);
    return txCounter_;
}

void MailboxEndpoint::sendError(Esc& esc, uint16_t code) {
    uint8_t body[4];
    wr16(&body[0], 0x0001);  // service: mailbox error
    wr16(&body[2], code);
    send(esc, ec::kMbxTypeError, body);
}

void MailboxEndpoint::send(Esc& esc, uint8_t type, std::span<const uint8_t> payload) {
    if (misbehaviour == Misbehaviour::Silent)
        return;  // nothing sent and no counter used: a repeat request finds only older replies
    std::vector<uint8_t> msg(ec::kMbxHeaderSize + payload.size(), 0);
    wr16(&msg[0], static_cast<uint16_t>(payload.size()));
    msg[5] = static_cast<uint8_t>((type & 0x0F) | (nextCounter() << 4));
    std::copy(payload.begin(), payload.end(), msg.begin() + ec::kMbxHeaderSize);

    if (misbehaviour == Misbehaviour::ShortMailboxLength) {
        wr16(&msg[0], 2);
    } else if (misbehaviour == Misbehaviour::Garbage) {
        msg.assign(esc.smWindow(1).size(), 0);
        for (auto& b : msg) {
            // xorshift32: the same garbage for the same history, so failures reproduce.
            garbageSeed_ ^= garbageSeed_ << 13;
            garbageSeed_ ^= garbageSeed_ >> 17;
            garbageSeed_ ^= garbageSeed_ << 5;
            b = static_cast<uint8_t>(garbageSeed_);
        }
        // A length beyond the window, so no parser can take it for a message.
        if (msg.size() >= 2)
            wr16(&msg[0], static_cast<uint16_t>(0xF000 | (msg[0] << 4)));
    }

    if (dropReplies > 0) {
        --dropReplies;
        esc.pdiLoseMailbox(std::move(msg));
        return;
    }
    if (duplicateNext) {
        duplicateNext = false;
        esc.pdiSendMailbox(msg);
    }
    esc.pdiSendMailbox(std::move(msg));
}

}  // namespace sim
