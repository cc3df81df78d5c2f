// The firewall reader under Wine: each rule's properties, as Windows hands them,
// become what the judgement reads; and the reading itself, which Wine cannot answer,
// ends in "unknown" within its time.

#include <windows.h>
#include <icftypes.h>

#include <gtest/gtest.h>

#include <vector>

#include "link/firewall_reader_win.h"

namespace {

using namespace firewall;

// A rule as Windows' prompt writes it: every property at its documented "any" value
// ("*" addresses, interface types "All", no interfaces, no service).
RawRule promptRule() {
    RawRule raw;
    raw.enabled = true;
    raw.direction = NET_FW_RULE_DIR_IN;
    raw.action = NET_FW_ACTION_ALLOW;
    raw.profiles = NET_FW_PROFILE2_PRIVATE;
    raw.protocol = NET_FW_IP_PROTOCOL_TCP;
    raw.application = L"C:\\Tools\\TolvenaireAndroid.exe";
    raw.localPorts = L"*";
    raw.localAddresses = L"*";
    raw.remoteAddresses = L"*";
    raw.interfaceTypes = L"All";
    return raw;
}

TEST(FirewallReader, RulePropertiesAsWindowsGivesThem) {
    const Rule plain = ruleFrom(promptRule());
    EXPECT_TRUE(plain.enabled && plain.inbound && plain.allow);
    EXPECT_EQ(plain.profiles, static_cast<std::uint32_t>(privateProfile));
    EXPECT_EQ(plain.protocol, tcp);
    EXPECT_EQ(plain.program, L"C:\\Tools\\TolvenaireAndroid.exe");
    EXPECT_FALSE(plain.scoped || plain.secured);

    struct Row {
        const char* name;
        void (*change)(RawRule&);
        bool (*holds)(const Rule&);
    };
    const std::vector<Row> rows{
        {"outbound", [](RawRule& r) { r.direction = NET_FW_RULE_DIR_OUT; }, [](const Rule& r) { return !r.inbound; }},
        {"block", [](RawRule& r) { r.action = NET_FW_ACTION_BLOCK; }, [](const Rule& r) { return !r.allow; }},
        {"disabled", [](RawRule& r) { r.enabled = false; }, [](const Rule& r) { return !r.enabled; }},
        {"local subnet only", [](RawRule& r) { r.remoteAddresses = L"LocalSubnet"; },
         [](const Rule& r) { return r.scoped; }},
        {"one local address", [](RawRule& r) { r.localAddresses = L"192.168.1.20"; },
         [](const Rule& r) { return r.scoped; }},
        {"wireless only", [](RawRule& r) { r.interfaceTypes = L"Wireless"; }, [](const Rule& r) { return r.scoped; }},
        {"interface types in lower case", [](RawRule& r) { r.interfaceTypes = L"all"; },
         [](const Rule& r) { return !r.scoped; }},
        {"listed interfaces", [](RawRule& r) { r.interfaces = true; }, [](const Rule& r) { return r.scoped; }},
        {"a service", [](RawRule& r) { r.service = L"Spooler"; }, [](const Rule& r) { return r.scoped; }},
        {"authenticated", [](RawRule& r) { r.secureFlags = 1; }, [](const Rule& r) { return r.secured; }},
        {"any protocol, all profiles",
         [](RawRule& r) {
             r.protocol = 256;
             r.profiles = NET_FW_PROFILE2_ALL;
         },
         [](const Rule& r) { return r.protocol == anyProtocol && r.profiles == everyProfile; }},
    };
    for (const Row& row : rows) {
        RawRule raw = promptRule();
        row.change(raw);
        EXPECT_TRUE(row.holds(ruleFrom(raw))) << row.name;
    }
}

// Wine's firewall object answers E_NOTIMPL: the reading says nothing, and says it at once.
TEST(FirewallReader, UnderWineTheReadingEndsInUnknown) {
    for (const char* address : {"127.0.0.1", "127.0.0.77", "not an address"}) {
        const ULONGLONG started = GetTickCount64();
        EXPECT_EQ(readFinding(address, 8765, 5000), Finding{}) << address;
        EXPECT_LT(GetTickCount64() - started, 5000u) << address;
    }
}

}  // namespace
