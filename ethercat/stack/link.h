// Frame transport underneath the master stack.
//
// A FrameLink moves whole Ethernet frames (destination MAC up to the end of the payload, no FCS)
// between the master and a segment of slaves. Two kinds exist: a raw packet socket bound to one of
// the machine's interfaces (osal/rawsocket.h), and virtual links to in-process slave chains, which
// their owners register here by name. The stack itself knows nothing about what sits behind a
// virtual link.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace ec {

class FrameLink {
public:
    virtual ~FrameLink() = default;

    // Hands one frame to the wire. False when the link cannot send (interface down, closed).
    virtual bool send(std::span<const uint8_t> frame) = 0;

    // Waits at most `timeout` for one frame addressed to us and copies at most buf.size() bytes of
    // it into buf. Returns the number of bytes copied, 0 when nothing arrived in time, -1 when the
    // link failed. Never spins: the wait sleeps in the kernel or on a condition variable.
    virtual int receive(std::span<uint8_t> buf, std::chrono::microseconds timeout) = 0;

    // The source address the master sends with: the adapter's own, or for a link without one a
    // fixed locally administered address.
    virtual std::array<uint8_t, 6> address() const;
};

// One adapter as offered to the operator: `name` opens it, `desc` is for display.
struct AdapterInfo {
    std::string name;
    std::string desc;
};

using LinkFactory = std::function<std::unique_ptr<FrameLink>()>;

// Virtual adapters are listed before the machine's interfaces, in registration order.
// Registering a name again replaces the earlier factory. Thread-safe.
void registerVirtualAdapter(const std::string& name, const std::string& desc, LinkFactory factory);
void unregisterVirtualAdapter(const std::string& name);

// The registered virtual adapters first, then the machine's Ethernet interfaces (loopback left
// out).
std::vector<AdapterInfo> listAdapters();

// Opens the adapter of that name: a registered virtual adapter, else a raw socket on the interface.
// Null when neither can be opened (unknown name, no permission for raw sockets).
std::unique_ptr<FrameLink> openLink(const std::string& name);

}  // namespace ec
