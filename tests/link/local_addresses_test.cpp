#include "link/local_addresses.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <sstream>

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
        adapter(L"TAP-Windows Adapter V9", {v4(192, 168, 5, 2)}), adapter(L"WireGuard wg0", {v4(192, 168, 5, 3)}),
        adapter(L"Tailscale", {v4(192, 168, 5, 4)}), adapter(L"ZeroTier One", {v4(192, 168, 5, 5)}),
        adapter(L"VirtualBox Host-Only", {v4(192, 168, 5, 6)}), adapter(L"Office VPN", {v4(192, 168, 5, 7)}),
        adapter(L"Ethernet 2", {v4(8, 8, 4, 4)}),
        adapter(L"Tap Room Wi-Fi", {v4(192, 168, 5, 8)}),  // "tap" without the dash is physical
    });
    EXPECT_THAT(addressesOf(list), ElementsAre("192.168.5.8", "8.8.4.4", "192.168.5.1", "192.168.5.2", "192.168.5.3",
                                               "192.168.5.4", "192.168.5.5", "192.168.5.6", "192.168.5.7"));
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
