#include "link.h"

#include <ifaddrs.h>
#include <net/if.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>

#include "osal/rawsocket.h"
#include "protocol.h"

namespace ec {

std::array<uint8_t, 6> FrameLink::address() const {
    return kMasterMac;
}

namespace {

struct VirtualAdapter {
    std::string name;
    std::string desc;
    LinkFactory factory;
};

std::mutex registryMutex;
std::vector<VirtualAdapter>& registry() {  // guarded by registryMutex
    static std::vector<VirtualAdapter> adapters;
    return adapters;
}

std::vector<AdapterInfo> machineInterfaces() {
    std::vector<AdapterInfo> result;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) {
        std::fprintf(stderr, "Error in pcap_findalldevs_ex: %s\n", std::strerror(errno));
        return result;
    }
    std::set<std::string> seen;
    for (const ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_name == nullptr || (a->ifa_flags & IFF_LOOPBACK)) {
            continue;
        }
        if (seen.insert(a->ifa_name).second) {
            result.push_back({a->ifa_name, a->ifa_name});
        }
    }
    freeifaddrs(list);
    return result;
}

}  // namespace

void registerVirtualAdapter(const std::string& name, const std::string& desc, LinkFactory factory) {
    std::lock_guard lock(registryMutex);
    auto& adapters = registry();
    auto it = std::find_if(adapters.begin(), adapters.end(),
                           [&](const VirtualAdapter& a) { return a.name == name; });
    if (it != adapters.end()) {
        it->desc = desc;
        it->factory = std::move(factory);
    } else {
        adapters.push_back({name, desc, std::move(factory)});
    }
}

void unregisterVirtualAdapter(const std::string& name) {
    std::lock_guard lock(registryMutex);
    auto& adapters = registry();
    std::erase_if(adapters, [&](const VirtualAdapter& a) { return a.name == name; });
}

std::vector<AdapterInfo> listAdapters() {
    std::vector<AdapterInfo> result;
    {
        std::lock_guard lock(registryMutex);
        for (const VirtualAdapter& a : registry()) {
            result.push_back({a.name, a.desc});
        }
    }
    for (AdapterInfo& a : machineInterfaces()) {
        result.push_back(std::move(a));
    }
    return result;
}

std::unique_ptr<FrameLink> openLink(const std::string& name) {
    LinkFactory factory;
    {
        std::lock_guard lock(registryMutex);
        for (const VirtualAdapter& a : registry()) {
            if (a.name == name) {
                factory = a.factory;
            }
        }
    }
    // The factory runs outside the lock: it may itself register or look up adapters.
    if (factory) {
        return factory();
    }
    return RawSocketLink::open(name);
}

}  // namespace ec
