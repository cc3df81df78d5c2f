#include "link/local_addresses.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <sstream>
#include <utility>

namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

AdapterInfo::Address v4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
    AdapterInfo::Address address;
    address.ipv4 = true;
    address.octets = {a, b, c, d};
    return address;
}

AdapterInfo::Address v6() { return AdapterInfo::Address{}; }

AdapterInfo adapter(const std::wstring& name, std::initializer_list<AdapterInfo::Address> addresses, bool up = true,
                    std::uint32_t type = AdapterInfo::ethernet) {
    AdapterInfo info;
    info.name = name;
    info.up = up;
    info.type = type;
    info.unicast = addresses;
    return info;
}

std::vector<std::string> addressesOf(const LocalAddressList& list) {
    std::vector<std::string> result;
    for (const auto& entry : list) result.push_back(entry.second);
    return result;
}

}  // namespace

TEST(UsableAddresses, PhysicalPrivateFirstVirtualPublicLast) {
    const LocalAddressList list = usableAddresses({
        adapter(L"Contoso VPN", {v4(10, 8, 0, 2)}),
        adapter(L"Docker Desktop", {v4(198, 51, 100, 7)}),
        adapter(L"vEthernet (Default Switch)", {v4(172, 28, 0, 1)}),
        adapter(L"Wi-Fi", {v4(203, 0, 113, 5)}),
        adapter(L"Ethernet", {v4(192, 168, 1, 20)}),
    });
    EXPECT_THAT(list, ElementsAre(Pair(L"Ethernet \u00b7 192.168.1.20", "192.168.1.20"),
                                  Pair(L"Wi-Fi \u00b7 203.0.113.5", "203.0.113.5"),
                                  Pair(L"Contoso VPN \u00b7 10.8.0.2", "10.8.0.2"),
                                  Pair(L"vEthernet (Default Switch) \u00b7 172.28.0.1", "172.28.0.1"),
                                  Pair(L"Docker Desktop \u00b7 198.51.100.7", "198.51.100.7")));
}

TEST(UsableAddresses, EqualScoresKeepTheSystemOrder) {
    EXPECT_THAT(addressesOf(usableAddresses(
                    {adapter(L"Wi-Fi", {v4(192, 168, 0, 12)}), adapter(L"Ethernet", {v4(10, 0, 0, 3)})})),
                ElementsAre("192.168.0.12", "10.0.0.3"));
    EXPECT_THAT(addressesOf(usableAddresses(
                    {adapter(L"Ethernet", {v4(10, 0, 0, 3)}), adapter(L"Wi-Fi", {v4(192, 168, 0, 12)})})),
                ElementsAre("10.0.0.3", "192.168.0.12"));
}

// Any of the words anywhere in the label, in any letter case, marks the
// adapter as virtual: all of these rank below a physical public address.
TEST(UsableAddresses, VirtualWordsMatchAsSubstringsInAnyCase) {
    const LocalAddressList list = usableAddresses({
        adapter(L"Teredo Tunneling Pseudo-Interface", {v4(192, 168, 5, 1)}),
        adapter(L"TAP-Windows Adapter V9", {v4(192, 168, 5, 2)}),
        adapter(L"WireGuard wg0", {v4(192, 168, 5, 3)}),
        adapter(L"Tailscale", {v4(192, 168, 5, 4)}),
        adapter(L"ZeroTier One", {v4(192, 168, 5, 5)}),
        adapter(L"VirtualBox Host-Only", {v4(192, 168, 5, 6)}),
        adapter(L"Office VPN", {v4(192, 168, 5, 7)}),
        adapter(L"Ethernet 2", {v4(8, 8, 4, 4)}),
        adapter(L"Tap Room Wi-Fi", {v4(192, 168, 5, 8)}),  // "tap" without the dash is physical
        adapter(L"VMware Bridge", {v4(192, 168, 5, 9)}),
        adapter(L"vmnet8", {v4(192, 168, 5, 10)}),
        adapter(L"Microsoft Hyper-V Network Adapter", {v4(192, 168, 5, 11)}),
        adapter(L"WAN Miniport (IP)", {v4(192, 168, 5, 12)}),
        adapter(L"PANGP Ethernet", {v4(192, 168, 5, 13)}),
        adapter(L"Fortinet SSL", {v4(192, 168, 5, 14)}),
    });
    EXPECT_THAT(addressesOf(list),
                ElementsAre("192.168.5.8", "8.8.4.4", "192.168.5.1", "192.168.5.2", "192.168.5.3", "192.168.5.4",
                            "192.168.5.5", "192.168.5.6", "192.168.5.7", "192.168.5.9", "192.168.5.10", "192.168.5.11",
                            "192.168.5.12", "192.168.5.13", "192.168.5.14"));
}

TEST(UsableAddresses, PrivateRangesHaveExactBounds) {
    const LocalAddressList list =
        usableAddresses({adapter(L"Ethernet", {v4(172, 15, 255, 255), v4(172, 16, 0, 0), v4(172, 32, 0, 1),
                                               v4(172, 31, 255, 254), v4(192, 167, 1, 1), v4(192, 168, 255, 1),
                                               v4(11, 0, 0, 1), v4(10, 255, 255, 254), v4(192, 169, 0, 1)})});
    EXPECT_THAT(addressesOf(list),
                ElementsAre("172.16.0.0", "172.31.255.254", "192.168.255.1", "10.255.255.254", "172.15.255.255",
                            "172.32.0.1", "192.167.1.1", "11.0.0.1", "192.169.0.1"));
}

TEST(UsableAddresses, SkipsWhatAPhoneCannotReach) {
    const LocalAddressList list = usableAddresses({
        adapter(L"Loopback Pseudo-Interface 1", {v4(192, 168, 9, 1)}, true, AdapterInfo::softwareLoopback),
        adapter(L"isatap", {v4(192, 168, 9, 2)}, true, AdapterInfo::tunnel),
        adapter(L"Ethernet (cable out)", {v4(192, 168, 9, 3)}, false),
        adapter(L"Wi-Fi", {v6(), v4(127, 0, 0, 1), v4(127, 255, 0, 9), v4(169, 254, 10, 20), v4(0, 0, 0, 0),
                           v4(169, 253, 1, 1), v4(169, 255, 1, 1), v4(126, 1, 1, 1), v4(0, 0, 0, 1)}),
    });
    EXPECT_THAT(addressesOf(list), ElementsAre("169.253.1.1", "169.255.1.1", "126.1.1.1", "0.0.0.1"));
}

TEST(UsableAddresses, OneEntryPerAddressAndAGenericNameWhenMissing) {
    EXPECT_THAT(
        usableAddresses(
            {adapter(L"Wi-Fi", {v4(192, 168, 1, 4), v6(), v4(10, 1, 2, 3)}), adapter(L"", {v4(192, 168, 7, 7)})}),
        ElementsAre(Pair(L"Wi-Fi \u00b7 192.168.1.4", "192.168.1.4"), Pair(L"Wi-Fi \u00b7 10.1.2.3", "10.1.2.3"),
                    Pair(L"R\u00e9seau \u00b7 192.168.7.7", "192.168.7.7")));
    EXPECT_TRUE(usableAddresses({}).empty());
    EXPECT_TRUE(usableAddresses({adapter(L"Wi-Fi", {})}).empty());
}

// Adapter lists of typical PCs as Windows reports them (FriendlyName,
// Description, IfType, gateway), in the system's order. Many virtual and VPN
// adapters are named "Ethernet 2" and the like: only their description or
// type tells them apart from the Wi-Fi card the phone shares.
namespace {

constexpr std::uint32_t wifi = 71;  // IF_TYPE_IEEE80211

AdapterInfo windowsAdapter(const std::wstring& name, const std::wstring& description, std::uint32_t type,
                           std::initializer_list<AdapterInfo::Address> addresses, bool gateway = false,
                           bool up = true) {
    AdapterInfo info = adapter(name, addresses, up, type);
    info.description = description;
    info.gateway = gateway;
    return info;
}

}  // namespace

// A home laptop on Wi-Fi with a corporate VPN client. Every client here routes
// everything through its adapter (a default gateway on it), and it is listed
// before the Wi-Fi: the Wi-Fi must still come first, and the VPN stay offered.
TEST(RecordedPcs, HomeLaptopWithACorporateVpnOffersTheWifiFirst) {
    struct Vpn {
        const wchar_t* name;
        const wchar_t* description;
        std::uint32_t type;
        AdapterInfo::Address address;
        const char* dotted;
    } const vpns[] = {
        {L"Ethernet 2", L"Cisco AnyConnect Secure Mobility Client Virtual Miniport Adapter for Windows x64",
         AdapterInfo::ethernet, v4(10, 64, 12, 83), "10.64.12.83"},
        {L"Ethernet 3", L"PANGP Virtual Ethernet Adapter", AdapterInfo::ethernet, v4(10, 200, 4, 17), "10.200.4.17"},
        {L"Ethernet 4", L"Fortinet SSL VPN Virtual Ethernet Adapter", AdapterInfo::ethernet, v4(10, 212, 134, 200),
         "10.212.134.200"},
        {L"Ethernet 2", L"TAP-Windows Adapter V9", AdapterInfo::ethernet, v4(10, 8, 0, 6), "10.8.0.6"},
        {L"office", L"WireGuard Tunnel", AdapterInfo::propVirtual, v4(10, 66, 66, 2), "10.66.66.2"},
        {L"office", L"Wintun Userspace Tunnel", AdapterInfo::propVirtual, v4(10, 66, 66, 3), "10.66.66.3"},
        // The system's own VPN connection: name and description are the name the user gave it.
        {L"Contoso", L"Contoso", AdapterInfo::ppp, v4(10, 10, 5, 3), "10.10.5.3"},
    };
    for (const Vpn& vpn : vpns) {
        SCOPED_TRACE(::testing::PrintToString(std::wstring(vpn.description)));
        const LocalAddressList list = usableAddresses({
            windowsAdapter(vpn.name, vpn.description, vpn.type, {vpn.address}, true),
            windowsAdapter(L"Wi-Fi", L"Intel(R) Wi-Fi 6 AX201 160MHz", wifi, {v6(), v4(192, 168, 1, 34)}, true),
            windowsAdapter(L"Ethernet", L"Intel(R) Ethernet Connection (10) I219-V", AdapterInfo::ethernet, {}, false,
                           false),
            windowsAdapter(L"Bluetooth Network Connection", L"Bluetooth Device (Personal Area Network)",
                           AdapterInfo::ethernet, {v4(169, 254, 80, 9)}, false, false),
            windowsAdapter(L"Loopback Pseudo-Interface 1", L"Software Loopback Interface 1",
                           AdapterInfo::softwareLoopback, {v4(127, 0, 0, 1)}),
        });
        ASSERT_FALSE(list.empty());
        EXPECT_EQ(list.front(),
                  std::make_pair(std::wstring(L"Wi-Fi \u00b7 192.168.1.34"), std::string("192.168.1.34")));
        EXPECT_THAT(addressesOf(list), ElementsAre("192.168.1.34", vpn.dotted));
    }
}

// Dial-up and the system's own VPN connections (PPP) and tunnels of type
// proprietary virtual are never a LAN card, whatever they are named: they
// rank below even a physical public address.
TEST(RecordedPcs, TypesThatAreNeverALanCardCountAsVirtual) {
    EXPECT_THAT(addressesOf(usableAddresses({
                    windowsAdapter(L"Contoso", L"Contoso", AdapterInfo::ppp, {v4(10, 10, 5, 3)}, true),
                    windowsAdapter(L"office", L"", AdapterInfo::propVirtual, {v4(10, 66, 66, 2)}),
                    windowsAdapter(L"Wi-Fi", L"Intel(R) Wi-Fi 6 AX201 160MHz", wifi, {v4(203, 0, 113, 5)}, true),
                })),
                ElementsAre("203.0.113.5", "10.10.5.3", "10.66.66.2"));
}

// A developer PC: Hyper-V and WSL switches, two VMware networks and VirtualBox's
// host-only network, all host-side addresses without a gateway, around the Wi-Fi.
TEST(RecordedPcs, DeveloperPcWithVmwareAndHyperVOffersTheWifiFirst) {
    const LocalAddressList list = usableAddresses({
        windowsAdapter(L"vEthernet (Default Switch)", L"Hyper-V Virtual Ethernet Adapter", AdapterInfo::ethernet,
                       {v4(172, 25, 224, 1)}),
        windowsAdapter(L"vEthernet (WSL)", L"Hyper-V Virtual Ethernet Adapter #2", AdapterInfo::ethernet,
                       {v4(172, 29, 80, 1)}),
        windowsAdapter(L"VMware Network Adapter VMnet1", L"VMware Virtual Ethernet Adapter for VMnet1",
                       AdapterInfo::ethernet, {v4(192, 168, 211, 1)}),
        windowsAdapter(L"VMware Network Adapter VMnet8", L"VMware Virtual Ethernet Adapter for VMnet8",
                       AdapterInfo::ethernet, {v4(192, 168, 126, 1)}),
        windowsAdapter(L"Wi-Fi", L"Intel(R) Wi-Fi 6 AX201 160MHz", wifi, {v4(192, 168, 1, 23)}, true),
        windowsAdapter(L"Ethernet 3", L"VirtualBox Host-Only Ethernet Adapter", AdapterInfo::ethernet,
                       {v4(192, 168, 56, 1)}),
        windowsAdapter(L"Ethernet", L"Realtek PCIe GbE Family Controller", AdapterInfo::ethernet, {}, false, false),
    });
    ASSERT_FALSE(list.empty());
    EXPECT_EQ(list.front(), std::make_pair(std::wstring(L"Wi-Fi \u00b7 192.168.1.23"), std::string("192.168.1.23")));
    EXPECT_THAT(addressesOf(list), ElementsAre("192.168.1.23", "172.25.224.1", "172.29.80.1", "192.168.211.1",
                                               "192.168.126.1", "192.168.56.1"));
}

// A PC on Ethernet and Wi-Fi, both physical and private, one of them reaching
// the router: that one comes first, whichever the system lists first. A gateway
// only breaks ties: it never lifts a public or a virtual address over a
// physical private one.
TEST(RecordedPcs, EthernetAndWifiOfferTheOneWithTheGatewayFirst) {
    const AdapterInfo cableToNas = windowsAdapter(L"Ethernet", L"Intel(R) Ethernet Connection (7) I219-LM",
                                                  AdapterInfo::ethernet, {v4(10, 0, 0, 2)});
    const AdapterInfo wifiAtHome =
        windowsAdapter(L"Wi-Fi", L"Killer(R) Wi-Fi 6 AX1650i 160MHz Wireless Network Adapter (201NGW)", wifi,
                       {v4(192, 168, 1, 40)}, true);
    EXPECT_THAT(
        usableAddresses({cableToNas, wifiAtHome}),
        ElementsAre(Pair(L"Wi-Fi \u00b7 192.168.1.40", "192.168.1.40"), Pair(L"Ethernet \u00b7 10.0.0.2", "10.0.0.2")));
    EXPECT_THAT(addressesOf(usableAddresses({wifiAtHome, cableToNas})), ElementsAre("192.168.1.40", "10.0.0.2"));

    const AdapterInfo publicWithGateway =
        windowsAdapter(L"Wi-Fi", L"Intel(R) Wi-Fi 6 AX201 160MHz", wifi, {v4(203, 0, 113, 40)}, true);
    const AdapterInfo vpnWithGateway = windowsAdapter(L"Ethernet 3", L"PANGP Virtual Ethernet Adapter",
                                                      AdapterInfo::ethernet, {v4(10, 200, 4, 17)}, true);
    EXPECT_THAT(addressesOf(usableAddresses({publicWithGateway, vpnWithGateway, cableToNas})),
                ElementsAre("10.0.0.2", "203.0.113.40", "10.200.4.17"));
}

// The system's own list, in a namespace whose interfaces in_own_network.sh set up
// and named: exactly the addresses a phone could reach, likeliest first, each label
// ending with its address.
TEST(LocalAddresses, SystemListHoldsExactlyTheReachableAddresses) {
    const char* given = std::getenv("TOLVENAIRE_EXPECTED_ADDRESSES");
    ASSERT_NE(given, nullptr) << "run through tests/link/in_own_network.sh";
    std::vector<std::string> expected;
    std::istringstream words(given);
    for (std::string word; words >> word;) expected.push_back(word);
    ASSERT_FALSE(expected.empty());

    const LocalAddressList list = localAddresses();
    EXPECT_EQ(addressesOf(list), expected);
    for (const auto& [label, address] : list) {
        const std::wstring suffix = L" \u00b7 " + std::wstring(address.begin(), address.end());
        ASSERT_GE(label.size(), suffix.size());
        EXPECT_EQ(label.substr(label.size() - suffix.size()), suffix);
    }
}
