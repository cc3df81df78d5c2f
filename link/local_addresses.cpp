#include "link/local_addresses.h"

#include <algorithm>
#include <iterator>

namespace {

using Octets = std::array<std::uint8_t, 4>;

// Words that mark a virtual, container or VPN adapter: a phone is rarely on
// the other side of one of those. Windows names many of them "Ethernet 2" and
// the like, so the description is searched too ("Cisco AnyConnect ... Virtual
// Miniport Adapter", "PANGP Virtual Ethernet Adapter", "VMware Virtual Ethernet
// Adapter for VMnet8").
constexpr const wchar_t* virtualWords[] = {
    L"vpn", L"wireguard", L"tailscale", L"zerotier", L"virtual",  L"vethernet", L"docker",   L"tap-",
    L"tun", L"vmware",    L"vmnet",     L"hyper-v",  L"miniport", L"pangp",     L"fortinet", L"wintun"};

std::string dotted(const Octets& octets) {
    std::string text;
    for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i != 0) text += '.';
        text += std::to_string(octets[i]);
    }
    return text;
}

bool usable(const Octets& o) {
    if (o[0] == 127) return false;                 // loopback
    if (o[0] == 169 && o[1] == 254) return false;  // link-local
    return !(o[0] == 0 && o[1] == 0 && o[2] == 0 && o[3] == 0);
}

bool privateRange(const Octets& o) {
    return o[0] == 10 || (o[0] == 172 && o[1] >= 16 && o[1] <= 31) || (o[0] == 192 && o[1] == 168);
}

bool namesVirtualAdapter(const std::wstring& text) {
    std::wstring lower = text;
    // ASCII folding is enough: every word looked for is ASCII, and a locale's
    // own folding differs between systems.
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; });
    return std::any_of(std::begin(virtualWords), std::end(virtualWords),
                       [&](const wchar_t* word) { return lower.find(word) != std::wstring::npos; });
}

// PPP carries dial-up and the system's own VPN connections; proprietary
// virtual is what WireGuard and Wintun tunnels report. Neither is a LAN card.
bool virtualAdapter(const AdapterInfo& adapter, const std::wstring& label) {
    return adapter.type == AdapterInfo::ppp || adapter.type == AdapterInfo::propVirtual || namesVirtualAdapter(label) ||
           namesVirtualAdapter(adapter.description);
}

struct Candidate {
    std::wstring label;
    std::string address;
    int score;
    bool gateway;
};

}  // namespace

LocalAddressList usableAddresses(const std::vector<AdapterInfo>& adapters) {
    std::vector<Candidate> candidates;
    for (const AdapterInfo& adapter : adapters) {
        if (!adapter.up) continue;
        if (adapter.type == AdapterInfo::softwareLoopback || adapter.type == AdapterInfo::tunnel) continue;
        for (const AdapterInfo::Address& address : adapter.unicast) {
            if (!address.ipv4 || !usable(address.octets)) continue;
            std::string text = dotted(address.octets);
            std::wstring label = adapter.name.empty() ? std::wstring(L"R\u00e9seau") : adapter.name;
            label += L" \u00b7 ";
            label.append(text.begin(), text.end());  // dotted digits are ASCII
            const int score = (virtualAdapter(adapter, label) ? 0 : 4) + (privateRange(address.octets) ? 2 : 0);
            candidates.push_back({std::move(label), std::move(text), score, adapter.gateway});
        }
    }
    // The adapter that reaches the router is the one a phone on the same
    // network shares; a host-only or direct-cable network has none.
    std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return a.score != b.score ? a.score > b.score : a.gateway && !b.gateway;
    });
    LocalAddressList result;
    result.reserve(candidates.size());
    for (Candidate& candidate : candidates)
        result.emplace_back(std::move(candidate.label), std::move(candidate.address));
    return result;
}

LocalAddressList localAddresses() { return readLocalAddresses().value_or(LocalAddressList{}); }
