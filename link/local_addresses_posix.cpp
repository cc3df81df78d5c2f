#include "link/local_addresses.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "base/text.h"

namespace {

struct InterfaceListDeleter {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

// Interfaces that carry an IPv4 default route through a gateway, from the
// kernel's route table (a header line, then "Iface Destination Gateway Flags
// RefCnt Use Metric Mask ..." in hexadecimal). No table: no gateways.
std::vector<std::string> interfacesWithGateway() {
    constexpr unsigned long routeUpViaGateway = 0x3;  // RTF_UP | RTF_GATEWAY
    std::vector<std::string> found;
    std::ifstream table("/proc/net/route");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string name, destination, gateway, mask, unused;
        unsigned long flags = 0;
        fields >> name >> destination >> gateway >> std::hex >> flags >> unused >> unused >> unused >> mask;
        if (fields && destination == "00000000" && mask == "00000000" &&
            (flags & routeUpViaGateway) == routeUpViaGateway)
            found.push_back(name);
    }
    return found;
}

}  // namespace

// getifaddrs lists one entry per (interface, address); they are grouped back
// into adapters in the order the interfaces first appear.
std::optional<LocalAddressList> readLocalAddresses() {
    try {
        ifaddrs* raw = nullptr;
        if (getifaddrs(&raw) != 0) return std::nullopt;
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
        const std::vector<std::string> withGateway = interfacesWithGateway();
        for (std::size_t index = 0; index < names.size(); ++index)
            adapters[index].gateway =
                std::find(withGateway.begin(), withGateway.end(), names[index]) != withGateway.end();
        return usableAddresses(adapters);
    } catch (...) {
        return std::nullopt;  // memory exhaustion: nothing known
    }
}
