#include "rawsocket.h"

#include <arpa/inet.h>
#include <linux/if_packet.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "../protocol.h"

namespace ec {

std::unique_ptr<RawSocketLink> RawSocketLink::open(const std::string& ifname,
                                                   RawSocketOptions options) {
    if (ifname.empty() || ifname.size() >= IFNAMSIZ) {
        return nullptr;
    }
    const unsigned index = if_nametoindex(ifname.c_str());
    if (index == 0) {
        return nullptr;
    }
    // Protocol 0: the socket receives nothing until bind() names the EtherType and the interface
    // together. A socket opened with the EtherType would first listen on every interface, and
    // binding it would then wait out a network-wide synchronisation of several milliseconds.
    const int fd = ::socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return nullptr;
    }
#ifdef PACKET_IGNORE_OUTGOING
    // Our own transmissions are not replies; older kernels lack this and the source check in
    // receive() does the same job.
    const int one = 1;
    setsockopt(fd, SOL_PACKET, PACKET_IGNORE_OUTGOING, &one, sizeof one);
#endif
    packet_mreq mreq{};
    mreq.mr_ifindex = static_cast<int>(index);
    mreq.mr_type = PACKET_MR_PROMISC;
    setsockopt(fd, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &mreq, sizeof mreq);

    sockaddr_ll addr{};
    addr.sll_family = AF_PACKET;
    addr.sll_protocol = htons(kEtherType);
    addr.sll_ifindex = static_cast<int>(index);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::array<uint8_t, 6> address = kMasterMac;
    ifreq req{};
    std::memcpy(req.ifr_name, ifname.c_str(), ifname.size() + 1);
    if (::ioctl(fd, SIOCGIFHWADDR, &req) == 0) {
        std::array<uint8_t, 6> hw{};
        std::memcpy(hw.data(), req.ifr_hwaddr.sa_data, 6);
        // A group or all-zero address is no source; keep the fallback then.
        if ((hw[0] & 0x01) == 0 && hw != std::array<uint8_t, 6>{}) {
            address = hw;
        }
    }
    return std::unique_ptr<RawSocketLink>(new RawSocketLink(fd, options, address));
}

std::unique_ptr<RawSocketLink> RawSocketLink::adopt(int fd, RawSocketOptions options,
                                                    const std::array<uint8_t, 6>& address) {
    return std::unique_ptr<RawSocketLink>(new RawSocketLink(fd, options, address));
}

RawSocketLink::RawSocketLink(int fd, RawSocketOptions options,
                             const std::array<uint8_t, 6>& address)
    : fd_(fd), options_(options), address_(address) {}

RawSocketLink::~RawSocketLink() {
    ::close(fd_);
}

bool RawSocketLink::send(std::span<const uint8_t> frame) {
    const ssize_t n = ::send(fd_, frame.data(), frame.size(), 0);
    return n == static_cast<ssize_t>(frame.size());
}

int RawSocketLink::receive(std::span<uint8_t> buf, std::chrono::microseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + timeout;
    std::array<uint8_t, kEthMaxFrame + 4> frame{};
    // A zero timeout still looks once at what the socket holds.
    bool looked = false;
    while (true) {
        auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            if (looked) {
                return 0;
            }
            left = std::chrono::microseconds{0};
        }
        looked = true;
        // poll() counts in milliseconds; ppoll takes the exact remainder.
        timespec ts{static_cast<time_t>(left.count() / 1000000),
                    static_cast<long>(left.count() % 1000000) * 1000};
        pollfd pfd{fd_, POLLIN, 0};
        const int ready = ::ppoll(&pfd, 1, &ts, nullptr);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (ready == 0) {
            return 0;
        }
        if (pfd.revents & (POLLERR | POLLNVAL)) {
            return -1;
        }
        sockaddr_ll from{};
        socklen_t fromLen = sizeof from;
        const ssize_t n = ::recvfrom(fd_, frame.data(), frame.size(), MSG_DONTWAIT,
                                     reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (from.sll_pkttype == PACKET_OUTGOING || static_cast<size_t>(n) < kEthHeaderSize) {
            continue;
        }
        // A frame back with our own source address passed no slave. That tells only with a
        // universally administered address: a slave's return bit leaves a local one unchanged.
        if (!options_.acceptUnprocessed && (address_[0] & kMacReturnBit) == 0 &&
            std::equal(address_.begin(), address_.end(), frame.begin() + 6)) {
            continue;
        }
        const size_t copy = std::min(static_cast<size_t>(n), buf.size());
        std::copy_n(frame.begin(), copy, buf.begin());
        return static_cast<int>(copy);
    }
}

}  // namespace ec
