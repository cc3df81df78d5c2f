#include "link/local_addresses.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <cstring>

namespace {

constexpr ULONG initialBufferBytes = 16384;
constexpr int maximumCalls = 3;

bool hasIpv4Gateway(const IP_ADAPTER_GATEWAY_ADDRESS_LH* gateway) {
    for (; gateway; gateway = gateway->Next) {
        const SOCKADDR* socketAddress = gateway->Address.lpSockaddr;
        if (!socketAddress || socketAddress->sa_family != AF_INET) continue;
        // An unset gateway is written as 0.0.0.0.
        if (reinterpret_cast<const sockaddr_in*>(socketAddress)->sin_addr.s_addr != 0) return true;
    }
    return false;
}

}  // namespace

std::optional<LocalAddressList> readLocalAddresses() {
    try {
        const ULONG flags =
            GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER | GAA_FLAG_INCLUDE_GATEWAYS;
        // 8-byte elements keep the adapter records aligned.
        std::vector<unsigned long long> buffer((initialBufferBytes + 7) / 8, 0);
        ULONG size = initialBufferBytes;
        ULONG status = ERROR_BUFFER_OVERFLOW;
        for (int call = 0; call < maximumCalls; ++call) {
            status = GetAdaptersAddresses(AF_INET, flags, nullptr,
                                          reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
            if (status != ERROR_BUFFER_OVERFLOW) break;
            buffer.assign((size + 7) / 8, 0);  // the size the system asked for, zeroed
        }
        if (status == ERROR_NO_DATA) return LocalAddressList{};  // no adapter with an IPv4 address
        if (status != NO_ERROR) return std::nullopt;

        std::vector<AdapterInfo> adapters;
        for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter; adapter = adapter->Next) {
            AdapterInfo info;
            if (adapter->FriendlyName) info.name = adapter->FriendlyName;
            if (adapter->Description) info.description = adapter->Description;
            info.up = adapter->OperStatus == IfOperStatusUp;
            info.type = adapter->IfType;
            info.gateway = hasIpv4Gateway(adapter->FirstGatewayAddress);
            for (auto* unicast = adapter->FirstUnicastAddress; unicast; unicast = unicast->Next) {
                AdapterInfo::Address address;
                const SOCKADDR* socketAddress = unicast->Address.lpSockaddr;
                if (socketAddress && socketAddress->sa_family == AF_INET) {
                    const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(socketAddress);
                    address.ipv4 = true;
                    std::memcpy(address.octets.data(), &ipv4->sin_addr, 4);
                }
                info.unicast.push_back(address);
            }
            adapters.push_back(std::move(info));
        }
        return usableAddresses(adapters);
    } catch (...) {
        return std::nullopt;  // memory exhaustion: nothing known
    }
}
