#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The PC's usable IPv4 addresses for the link server, likeliest first: each a
// display label ("<adapter name> · <address>") and the dotted address.
using LocalAddressList = std::vector<std::pair<std::wstring, std::string>>;

// Enumerates the adapters of the system (GetAdaptersAddresses with gateways on
// Windows, getifaddrs and the kernel's route table natively) and returns usableAddresses() of them. Never raises for
// platform failures: an enumeration that fails gives an empty list.
LocalAddressList localAddresses();
// The same, with a failed enumeration (the system's error, three buffer overflows while
// adapters change, no memory) told apart from "no address": it says nothing about
// which addresses the PC has.
std::optional<LocalAddressList> readLocalAddresses();

// One adapter as the system reports it, reduced to what the choice depends on.
struct AdapterInfo {
    static constexpr std::uint32_t softwareLoopback = 24;  // IF_TYPE_SOFTWARE_LOOPBACK
    static constexpr std::uint32_t tunnel = 131;           // IF_TYPE_TUNNEL
    static constexpr std::uint32_t ethernet = 6;           // IF_TYPE_ETHERNET_CSMACD
    static constexpr std::uint32_t ppp = 23;               // IF_TYPE_PPP: dial-up and built-in VPN connections
    static constexpr std::uint32_t propVirtual = 53;       // IF_TYPE_PROP_VIRTUAL: WireGuard, Wintun

    struct Address {
        bool ipv4 = false;
        std::array<std::uint8_t, 4> octets{};  // meaningful when ipv4, in written order
    };

    std::wstring name;         // friendly name; may be empty
    std::wstring description;  // the driver's own name of the adapter; may be empty
    bool up = false;           // operational status up
    bool gateway = false;      // has an IPv4 default gateway
    std::uint32_t type = ethernet;
    std::vector<Address> unicast;  // in the system's order
};

// Keeps the IPv4 addresses of adapters that are up and neither loopback nor
// tunnel, minus 0.0.0.0, 127.0.0.0/8 and 169.254.0.0/16, and orders them by
// descending score (4 for a physical adapter, plus 2 for a private range); an
// adapter is virtual when its label or description names a virtual or VPN
// adapter, or its type is PPP or proprietary virtual. Between equal scores an
// adapter with a default gateway comes first, then the system's order holds.
LocalAddressList usableAddresses(const std::vector<AdapterInfo>& adapters);
