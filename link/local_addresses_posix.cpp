#include "link/local_addresses.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>
#include <memory>

#include "base/text.h"

namespace {

struct InterfaceListDeleter {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

}  // namespace

// getifaddrs lists one entry per (interface, address); they are grouped back
// into adapters in the order the interfaces first appear.
LocalAddressList localAddresses() {
    try {
        ifaddrs* raw = nullptr;
        if (getifaddrs(&raw) != 0) return {};
        std::unique_ptr<ifaddrs, InterfaceListDeleter> list(raw);

        std::vector<AdapterInfo> adapters;
        std::vector<std::string> names;
        for (const ifaddrs* entry = list.get(); entry; entry = entry->ifa_next) {
            if (!entry->ifa_name) continue;
            std::size_t index = 0;
            while (index < names.size() && names[index] != entry->ifa_name) ++index;
            if (index == names.size()) {
                AdapterInfo info;
                try {
                    info.name = wide(entry->ifa_name);
                } catch (const std::exception&) {
                    // A name that is not UTF-8 is shown as the generic label.
                }
                info.up = (entry->ifa_flags & IFF_UP) && (entry->ifa_flags & IFF_RUNNING);
                info.type = (entry->ifa_flags & IFF_LOOPBACK) ? AdapterInfo::softwareLoopback : AdapterInfo::ethernet;
                adapters.push_back(std::move(info));
                names.emplace_back(entry->ifa_name);
            }
            if (!entry->ifa_addr) continue;
            AdapterInfo::Address address;
            if (entry->ifa_addr->sa_family == AF_INET) {
                const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
                address.ipv4 = true;
                std::memcpy(address.octets.data(), &ipv4->sin_addr, 4);
            } else if (entry->ifa_addr->sa_family != AF_INET6) {
                continue;  // link-layer entries carry no address to offer
            }
            adapters[index].unicast.push_back(address);
        }
        return usableAddresses(adapters);
    } catch (...) {
        return {};  // memory exhaustion: no list rather than a failure
    }
}
