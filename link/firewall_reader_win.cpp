#include "link/firewall_reader_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <netfw.h>
#include <netlistmgr.h>
#include <oleauto.h>

#include <vector>

namespace firewall {
namespace {

// The classes, written here: libuuid would bring every GUID of both headers.
constexpr GUID netFwPolicy2{0xe2b3c97f, 0x6ae1, 0x41ac, {0x81, 0x7a, 0xf6, 0xf9, 0x21, 0x66, 0xd7, 0xdd}};
constexpr GUID netFwProducts{0xcc19079b, 0x8272, 0x4d73, {0xbb, 0x70, 0xcd, 0xb5, 0x33, 0x52, 0x7b, 0x61}};
constexpr GUID networkListManager{0xdcb00c01, 0x570f, 0x4a9b, {0x8d, 0x69, 0x19, 0x9f, 0xdb, 0xa5, 0x72, 0x3b}};

// Owns one COM reference.
template <typename T>
class Com {
public:
    Com() = default;
    ~Com() {
        if (p_) p_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T** put() { return &p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    template <typename U>
    bool as(Com<U>& other) const {
        return p_ && SUCCEEDED(p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(other.put())));
    }

private:
    T* p_ = nullptr;
};

class ComApartment {
public:
    ComApartment() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~ComApartment() {
        if (ok_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_;
};

// A BSTR property as text; empty when unset or unreadable.
template <typename T>
std::wstring text(T* object, HRESULT (STDMETHODCALLTYPE T::*get)(BSTR*)) {
    BSTR value = nullptr;
    if (FAILED((object->*get)(&value)) || !value) return {};
    std::wstring out(value, SysStringLen(value));
    SysFreeString(value);
    return out;
}

bool anyOrEmpty(const std::wstring& value, const wchar_t* any) {
    return value.empty() || _wcsicmp(value.c_str(), any) == 0;
}

RawRule rawRule(INetFwRule* rule) {
    RawRule raw;
    VARIANT_BOOL enabled = VARIANT_FALSE;
    NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_MAX;
    NET_FW_ACTION action = NET_FW_ACTION_MAX;
    rule->get_Enabled(&enabled);
    rule->get_Direction(&direction);
    rule->get_Action(&action);
    rule->get_Profiles(&raw.profiles);
    rule->get_Protocol(&raw.protocol);
    raw.enabled = enabled != VARIANT_FALSE;
    raw.direction = direction;
    raw.action = action;
    VARIANT interfaces;
    VariantInit(&interfaces);
    raw.interfaces = SUCCEEDED(rule->get_Interfaces(&interfaces)) && interfaces.vt != VT_EMPTY;
    VariantClear(&interfaces);
    raw.application = text(rule, &INetFwRule::get_ApplicationName);
    raw.localPorts = text(rule, &INetFwRule::get_LocalPorts);
    raw.localAddresses = text(rule, &INetFwRule::get_LocalAddresses);
    raw.remoteAddresses = text(rule, &INetFwRule::get_RemoteAddresses);
    raw.interfaceTypes = text(rule, &INetFwRule::get_InterfaceTypes);
    raw.service = text(rule, &INetFwRule::get_ServiceName);
    Com<INetFwRule3> third;
    if (SUCCEEDED(rule->QueryInterface(__uuidof(INetFwRule3), reinterpret_cast<void**>(third.put()))))
        third->get_SecureFlags(&raw.secureFlags);
    return raw;
}

// The GUID of the adapter that holds `address`, matched through its LUID.
bool adapterOf(const std::string& address, GUID& adapter) {
    in_addr wanted{};
    if (inet_pton(AF_INET, address.c_str(), &wanted) != 1) return false;
    ULONG size = 16384;
    std::vector<unsigned long long> buffer;
    ULONG status = ERROR_BUFFER_OVERFLOW;
    for (int call = 0; call < 3 && status == ERROR_BUFFER_OVERFLOW; ++call) {
        buffer.assign((size + 7) / 8, 0);
        status = GetAdaptersAddresses(AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (status != NO_ERROR) return false;
    for (auto* each = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); each; each = each->Next)
        for (auto* unicast = each->FirstUnicastAddress; unicast; unicast = unicast->Next) {
            const SOCKADDR* socketAddress = unicast->Address.lpSockaddr;
            if (!socketAddress || socketAddress->sa_family != AF_INET) continue;
            if (reinterpret_cast<const sockaddr_in*>(socketAddress)->sin_addr.s_addr != wanted.s_addr) continue;
            return ConvertInterfaceLuidToGuid(&each->Luid, &adapter) == NO_ERROR;
        }
    return false;
}

// The firewall profile of the network on that adapter: 0 when unknown.
std::uint32_t profileOf(const GUID& adapter) {
    Com<INetworkListManager> manager;
    Com<IEnumNetworkConnections> connections;
    if (FAILED(CoCreateInstance(networkListManager, nullptr, CLSCTX_ALL, __uuidof(INetworkListManager),
                                reinterpret_cast<void**>(manager.put()))) ||
        FAILED(manager->GetNetworkConnections(connections.put())))
        return 0;
    for (int each = 0; each < 256; ++each) {
        Com<INetworkConnection> connection;
        if (connections->Next(1, connection.put(), nullptr) != S_OK) return 0;
        GUID id{};
        Com<INetwork> network;
        NLM_NETWORK_CATEGORY category{};
        if (FAILED(connection->GetAdapterId(&id)) || !IsEqualGUID(id, adapter)) continue;
        if (FAILED(connection->GetNetwork(network.put())) || FAILED(network->GetCategory(&category))) return 0;
        switch (category) {
        case NLM_NETWORK_CATEGORY_PUBLIC: return publicProfile;
        case NLM_NETWORK_CATEGORY_PRIVATE: return privateProfile;
        case NLM_NETWORK_CATEGORY_DOMAIN_AUTHENTICATED: return domainProfile;
        }
        return 0;
    }
    return 0;
}

std::optional<std::wstring> environmentVariable(const std::wstring& name) {
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(name.c_str(), value, 1024);
    if (length == 0 || length >= 1024) return std::nullopt;
    return std::wstring(value, length);
}

// Fills in the profile's state and the rules; false when any of it cannot be read
// in time.
bool readPolicy(Situation& situation, std::uint64_t deadline) {
    Com<INetFwPolicy2> policy;
    if (FAILED(CoCreateInstance(netFwPolicy2, nullptr, CLSCTX_ALL, __uuidof(INetFwPolicy2),
                                reinterpret_cast<void**>(policy.put()))))
        return false;
    const auto profile = static_cast<NET_FW_PROFILE_TYPE2>(situation.profile);
    VARIANT_BOOL enabled = VARIANT_FALSE;
    VARIANT_BOOL blockAll = VARIANT_FALSE;
    NET_FW_ACTION action = NET_FW_ACTION_MAX;
    NET_FW_MODIFY_STATE modify = NET_FW_MODIFY_STATE_OK;
    Com<INetFwRules> rules;
    Com<IUnknown> enumerator;
    Com<IEnumVARIANT> items;
    if (FAILED(policy->get_FirewallEnabled(profile, &enabled)) ||
        FAILED(policy->get_BlockAllInboundTraffic(profile, &blockAll)) ||
        FAILED(policy->get_DefaultInboundAction(profile, &action)) ||
        FAILED(policy->get_LocalPolicyModifyState(&modify)) || FAILED(policy->get_Rules(rules.put())) ||
        FAILED(rules->get__NewEnum(enumerator.put())) || !enumerator.as(items))
        return false;
    situation.state = {enabled != VARIANT_FALSE, blockAll != VARIANT_FALSE, action != NET_FW_ACTION_ALLOW};
    // Group policy overrides the local rules, or a firewall of another vendor is
    // registered with Windows (which then usually turns its own off).
    Com<INetFwProducts> products;
    long registered = 0;
    if (SUCCEEDED(CoCreateInstance(netFwProducts, nullptr, CLSCTX_ALL, __uuidof(INetFwProducts),
                                   reinterpret_cast<void**>(products.put()))))
        products->get_Count(&registered);
    situation.managedElsewhere = modify != NET_FW_MODIFY_STATE_OK || registered > 0;
    while (GetTickCount64() < deadline) {
        VARIANT item;
        VariantInit(&item);
        if (items->Next(1, &item, nullptr) != S_OK) return true;
        Com<INetFwRule> rule;
        if (item.vt == VT_DISPATCH && item.pdispVal &&
            SUCCEEDED(item.pdispVal->QueryInterface(__uuidof(INetFwRule), reinterpret_cast<void**>(rule.put()))))
            situation.rules.push_back(ruleFrom(rawRule(rule.operator->())));
        VariantClear(&item);
    }
    return false;
}

}  // namespace

Rule ruleFrom(const RawRule& raw) {
    Rule rule;
    rule.enabled = raw.enabled;
    rule.inbound = raw.direction == NET_FW_RULE_DIR_IN;
    rule.allow = raw.action == NET_FW_ACTION_ALLOW;
    rule.profiles = static_cast<std::uint32_t>(raw.profiles);
    rule.protocol = static_cast<int>(raw.protocol);
    rule.program = raw.application;
    rule.localPorts = raw.localPorts;
    rule.scoped = raw.interfaces || !anyOrEmpty(raw.localAddresses, L"*") || !anyOrEmpty(raw.remoteAddresses, L"*") ||
                  !anyOrEmpty(raw.interfaceTypes, L"All") || !raw.service.empty();
    rule.secured = raw.secureFlags != 0;
    return rule;
}

Finding readFinding(const std::string& address, std::uint16_t port, std::uint64_t limitMs) {
    const std::uint64_t deadline = GetTickCount64() + limitMs;
    ComApartment apartment;
    GUID adapter{};
    if (!apartment.ok() || !adapterOf(address, adapter)) return {};
    Situation situation;
    situation.profile = profileOf(adapter);
    situation.port = port;
    situation.variable = environmentVariable;
    situation.program.resize(MAX_PATH);
    situation.program.resize(GetModuleFileNameW(nullptr, situation.program.data(), MAX_PATH));
    if (situation.profile == 0 || situation.program.empty() || !readPolicy(situation, deadline)) return {};
    return judge(situation);
}

}  // namespace firewall
