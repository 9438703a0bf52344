// A FrameLink on one of the machine's Ethernet interfaces: an AF_PACKET raw socket for EtherType
// 0x88A4, bound to the interface, in promiscuous mode.
#pragma once

#include <memory>
#include <string>

#include "../link.h"

namespace ec {

struct RawSocketOptions {
    // Frames that come back with the source address we transmit with have passed no slave (our
    // own transmission, or a cable looped back); a master drops them. A simulator serving the far
    // end of a link must accept them, since that is what the master sends.
    bool acceptUnprocessed = false;
};

class RawSocketLink final : public FrameLink {
public:
    // Null when the interface does not exist or raw sockets are not permitted.
    static std::unique_ptr<RawSocketLink> open(const std::string& ifname,
                                               RawSocketOptions options = {});
    // Takes over a descriptor already open for datagrams (a socket pair in tests); closes it.
    static std::unique_ptr<RawSocketLink> adopt(int fd, RawSocketOptions options,
                                                const std::array<uint8_t, 6>& address);
    ~RawSocketLink() override;

    bool send(std::span<const uint8_t> frame) override;
    int receive(std::span<uint8_t> buf, std::chrono::microseconds timeout) override;
    // The interface's hardware address; the fixed fallback when it has none.
    std::array<uint8_t, 6> address() const override { return address_; }

private:
    RawSocketLink(int fd, RawSocketOptions options, const std::array<uint8_t, 6>& address);

    int fd_;
    RawSocketOptions options_;
    std::array<uint8_t, 6> address_;
};

}  // namespace ec
